// Square stamps of pixels around a star, read from FITS images: the region
// that the bad-pixel test and the profile fits cut, and a reader of fitting
// stamps from an image and its error image.
// Positions: FITS pixels, first pixel = 1; a stamp of half side r is indexed
// -r..r in both dimensions, so that stamp(0, 0) is the star's pixel.
#pragma once

#include <string>

#include "sci/fits_in.h"
#include "sci/marray.h"
#include "select/fits_files.h"

namespace selection {

// Sets the region of in to the (2r + 1)^2 pixels around (ix, iy) (the first
// plane of images with more than two axes) and maps its bytes, so that a
// region beyond the end of the file throws sci::FitsException before any
// array is made for it. The caller makes sure that the box lies inside the image.
void selectStamp(sci::FitsIn& in, int ix, int iy, int r);

// Reads the region of selectStamp into a stamp indexed -r..r.
void readStamp(sci::FitsIn& in, int ix, int iy, int r, sci::MArray<float, 2>& stamp);

// Reads fitting stamps from an image and its error image (named by
// errorImageName, select/image_names.h), both opened through the run's
// files and checked when the reader is made. Throws sci::FitsException
// "<file>: <reason>" when either cannot be read (select/file_errors.h), a
// failure with the error image ending with errorImageNote(image); "image
// '<image>' is not a two-dimensional image"; and, naming both files, when
// their NAXIS1/NAXIS2 differ. The last two end with
// sci::tileCompressedNote() when the file at fault is tile-compressed.
class StampReader {
  public:
    StampReader(std::string const& image, FitsFiles& files);

    // The stamps of (2 boxlen + 1)^2 pixels around pixel (ix, iy), indexed
    // -boxlen..boxlen in both dimensions (stamp(0, 0) = pixel (ix, iy)).
    // False, with nothing read, when the stamp is not wholly inside the image.
    bool read(int ix, int iy, int boxlen, sci::MArray<float, 2>& image,
              sci::MArray<float, 2>& error);

  private:
    sci::FitsIn* image_;
    sci::FitsIn* error_;
    int naxis1_ = 0;
    int naxis2_ = 0;
};

}  // namespace selection
