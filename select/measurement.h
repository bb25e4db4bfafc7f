// Profile measurement of a subfield's taken stars and the rejection of the
// worst: each star is fitted with an elliptical Moffat profile (beta held at
// 2.9, background held at 0) on a stamp of (2 boxlen + 1)^2 pixels of the
// image, weighted by the error image; then the stars with the highest nchi,
// the most elongated and the widest profiles are dropped.
// Positions: FITS pixels, first pixel = 1; widths in pixels.
#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "sci/fits_in.h"
#include "sci/marray.h"
#include "select/parameter.h"
#include "select/selected_stars.h"

namespace selection {

// The error image of an image: "e." put in front of the file name, the
// directory part kept ("data/field.fits" -> "data/e.field.fits").
std::string errorImageName(std::string const& image);

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

// Sets the region of in to the (2r + 1)^2 pixels around (ix, iy) (the first
// plane of images with more than two axes) and maps its bytes, so that a
// region beyond the end of the file throws sci::FitsException before any
// array is made for it. The caller makes sure that the box lies inside the image.
void selectStamp(sci::FitsIn& in, int ix, int iy, int r);

// Reads the region of selectStamp into a stamp indexed -r..r.
void readStamp(sci::FitsIn& in, int ix, int iy, int r, sci::MArray<float, 2>& stamp);

// Measures stars 1..taken of s (select_x, select_y; select_nchi and select_fwhm
// receive the fit, -1 for a failed fit or a stamp not inside the image) and
// drops nchi_reject stars by nchi, then fwhm_reject stars by ellipticity and
// size. Writes the fit table and the rejection counts to out as verbose asks.
// Returns the number of stars left; select_x, select_y, select_closest_dist,
// select_closest_flux, select_nchi and select_fwhm then hold exactly those,
// in the order of the last sort applied. fitted grows by the number of
// successful fits.
int measureStars(SelectedStars& s, int taken, Parameter const& P, StampReader& stamps,
                 std::ostream& out, int& fitted);

// The rejection part of measureStars, on stars 1..taken whose select_nchi,
// select_fwhm and widths xfwhm, yfwhm (pixels, -1 for a failed fit) are known:
//   by nchi (nchi_reject > 0): the stars with the lowest nchi are kept, in
//     ascending nchi;
//   by width (fwhm_reject > 0): fwhm_reject / 2 stars by ellipticity
//     |1 - xfwhm / yfwhm|, then the rest by size sqrt(xfwhm^2 + yfwhm^2);
// every step keeps at least one star and sorts with the exchange sort's order
// among equal keys. Returns the number of stars left.
int rejectStars(SelectedStars& s, sci::MArray<float, 1>& xfwhm, sci::MArray<float, 1>& yfwhm,
                int taken, Parameter const& P, std::ostream& out);

}  // namespace selection
