// The files of a mock field (tools/mock_field.h): the image and its error
// image (FITS, BITPIX -32, with the field's header cards), the catalogue that
// psfpick reads (id x y RA DEC flux flags class_star, one row per source) and
// the truth (each source as generated). Positions are FITS pixels (the first
// pixel is 1); RA and DEC in degrees; fluxes in ADU.
#pragma once

#include <string>

#include "tools/mock_field.h"

namespace tools {

// Bits of the catalogue's flag column.
constexpr int kFlagPair = 2;       // member of a close pair
constexpr int kFlagSaturated = 4;  // a pixel within one pixel of the centre clips

// Writes the image (path), the error image (selection::errorImageName(path)),
// the catalogue (catPath) and the truth (truthPath). Throws ToolError "cannot
// open file '<path>' for writing" or "cannot write file '<path>'".
void writeMockField(MockField const& field, MockConfig const& c, std::string const& path,
                    std::string const& catPath, std::string const& truthPath);

}  // namespace tools
