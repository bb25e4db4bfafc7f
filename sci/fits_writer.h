// A small FITS writer for primary images, used by the tests and the companion
// tools: card images in fixed format, header blocks padded with blanks and
// big-endian data blocks padded with zeros to whole 2880-byte records. The
// raw-card level lets a caller build deliberately odd or damaged files.
// Axes are numbered from 1; axis 1 varies fastest in the data.
#pragma once

#include <string>
#include <vector>

#include "sci/marray.h"

namespace sci {

// name blank-padded to an 8-character keyword (a longer name is kept whole).
std::string fitsKeyword(std::string const& name);
// text blank-padded (or cut) to one 80-character card image.
std::string fitsRawCard(std::string const& text);
// The mandatory cards of a primary image, in fixed format: SIMPLE = T,
// BITPIX, NAXIS and NAXIS1..NAXISn with the given axis lengths.
std::vector<std::string> fitsImageCards(int bitpix, std::vector<long> const& naxes);
// The cards, followed by an END card when withEnd, padded with blanks to a
// whole number of 2880-byte records. Each card is taken as fitsRawCard(card).
std::string fitsHeaderBlock(std::vector<std::string> const& cards, bool withEnd = true);
// Stored element values as big-endian elements of bitpix (8, 16, 32, -32,
// -64), padded with zero bytes to whole records when pad. Integer types take
// the value rounded to the nearest integer; a value outside the type's range
// (or NaN) throws FitsException.
std::string fitsDataBlock(std::vector<double> const& stored, int bitpix, bool pad = true);
// The stored value that represents physical value v: (v - bzero) / bscale.
double fitsStoredValue(double physical, double bscale, double bzero);
// Writes bytes to path, replacing the file; throws FitsException
// "cannot open file '<path>' for writing" on failure.
void writeFitsFile(std::string const& path, std::string const& bytes);

// A primary image of nx by ny pixels: pixels[(y - 1) * nx + (x - 1)] is pixel
// (x, y), first pixel (1, 1). Stored as bitpix with the given BSCALE and BZERO
// (written as cards unless exactly 1 and 0), followed by extraCards (80-
// character card images) in the header.
void writeFitsImage(std::string const& path, long nx, long ny, std::vector<double> const& pixels,
                    int bitpix, double bscale = 1.0, double bzero = 0.0,
                    std::vector<std::string> const& extraCards = {});

// The same for an array: element (x, y) at its bases is pixel (1, 1).
void writeFitsImage(std::string const& path, MArray<float, 2> const& image, int bitpix,
                    double bscale = 1.0, double bzero = 0.0,
                    std::vector<std::string> const& extraCards = {});

}  // namespace sci
