// The tangent-plane projection of an image from its FITS header: the
// keyword lookups of sci::readTanWcs over the cards of a sci::FitsHeader.
// Pixels follow the FITS convention (the first pixel is 1); angles in degrees.
#pragma once

#include <string>

#include "sci/fits_header.h"
#include "sci/tan_wcs.h"

namespace sci {

// readTanWcs(imageName, number, text) over the header's cards. A keyword
// without a card is absent. A CD element (CDi_j) whose value cannot be read
// as a number counts as absent too, so that the CDELT keywords serve instead;
// for any other keyword with a card, what reading its value throws passes to
// the caller (FitsException, without the file name).
TanWcs readHeaderTanWcs(FitsHeader const& header, std::string const& imageName);

// missingTanKeywords over the header's cards, with the lookups of
// readHeaderTanWcs (a CD element that cannot be read counts as missing).
std::string missingHeaderTanKeywords(FitsHeader const& header);

}  // namespace sci
