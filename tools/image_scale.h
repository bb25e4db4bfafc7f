// The pixel scale of a FITS image from its TAN world-coordinate keywords.
#pragma once

#include <string>

namespace tools {

// sqrt(|det C|) * 3600, arcseconds per pixel, where C is the linear
// transformation (degrees per pixel) of the header's CD or CDELT keywords.
// Throws what reading the header or its keywords throws (naming the file).
double imagePixelScale(std::string const& path);

}  // namespace tools
