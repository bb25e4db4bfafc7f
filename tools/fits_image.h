// Whole-image FITS input and output for the companion tools. An image is a
// row-major float buffer with x fastest: element (y - 1) * nx + (x - 1) holds
// FITS pixel (x, y), the first pixel being (1, 1). Values in image units.
#pragma once

#include <string>
#include <vector>

namespace tools {

struct FloatImage {
    long nx = 0;
    long ny = 0;
    std::vector<float> pixels;  // nx * ny values

    float at(long x, long y) const { return pixels[static_cast<size_t>((y - 1) * nx + (x - 1))]; }
};

// Reads the primary image of path (BITPIX 8, 16, 32, -32 or -64, scaled by
// BSCALE/BZERO). Throws ToolError "image '<path>' is not two-dimensional" for
// NAXIS other than 2 and "image '<path>' is shorter than its header says"
// for a truncated file (before any pixel buffer is allocated); the reader's
// own errors (missing file, damaged header) pass through as
// sci::FitsException naming the file.
FloatImage readFitsImage(std::string const& path);

// The header cards of path that describe its sky coordinates (CTYPEi, CRVALi,
// CRPIXi, CDi_j, CDELTi, CROTA2, PCi_j, EQUINOX, RADESYS), as 80-character
// card images in that order; absent keywords are skipped.
std::vector<std::string> readWcsCards(std::string const& path);

// Card images (80 characters) for the extra cards of writeFloatFits, in the
// free format that sci::FitsCard writes: keyword (without padding), value and
// comment; a float as the shortest text that reads back as the same double.
std::string floatCard(std::string const& keyword, double value, std::string const& comment);
std::string intCard(std::string const& keyword, long value, std::string const& comment);
std::string stringCard(std::string const& keyword, std::string const& value,
                       std::string const& comment);

// Writes a BITPIX -32 primary image of nx * ny pixels with the extra card
// images after the mandatory cards, streaming the data in blocks (the file
// never exists twice in memory). Throws ToolError "cannot open file '<path>'
// for writing" or "cannot write file '<path>'".
void writeFloatFits(std::string const& path, long nx, long ny, float const* pixels,
                    std::vector<std::string> const& extraCards);

}  // namespace tools
