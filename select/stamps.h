// Square stamps of pixels around a star, read from FITS images: the region
// that the bad-pixel test and the profile fits cut, and a reader of fitting
// stamps from an image and its error image.
// Positions: FITS pixels, first pixel = 1; a stamp of half side r is indexed
// -r..r in both dimensions, so that stamp(0, 0) is the star's pixel.
#pragma once

#include <memory>
#include <string>

#include "sci/fits_in.h"
#include "sci/marray.h"

namespace selection {

// Sets the region of in to the (2r + 1)^2 pixels around (ix, iy) (the first
// plane of images with more than two axes) and maps its bytes, so that a
// region beyond the end of the file throws sci::FitsException before any
// array is made for it. The caller makes sure that the box lies inside the image.
void selectStamp(sci::FitsIn& in, int ix, int iy, int r);

// Reads the region of selectStamp into a stamp indexed -r..r.
void readStamp(sci::FitsIn& in, int ix, int iy, int r, sci::MArray<float, 2>& stamp);

// Reads fitting stamps from an image and its error image, each opened once.
// Throws sci::FitsException "<file>: <reason>" when either cannot be read
// (select/file_errors.h), and, naming both files, when their NAXIS1/NAXIS2
// differ.
class StampReader {
  public:
    StampReader(std::string const& image, std::string const& errorImage);

    // The stamps of (2 boxlen + 1)^2 pixels around pixel (ix, iy), indexed
    // -boxlen..boxlen in both dimensions (stamp(0, 0) = pixel (ix, iy)).
    // False, with nothing read, when the stamp is not wholly inside the image.
    bool read(int ix, int iy, int boxlen, sci::MArray<float, 2>& image,
              sci::MArray<float, 2>& error);

  private:
    std::unique_ptr<sci::FitsIn> image_;
    std::unique_ptr<sci::FitsIn> error_;
    int naxis1_ = 0;
    int naxis2_ = 0;
};

}  // namespace selection
