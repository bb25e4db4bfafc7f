// The bad-pixel test of candidates: a pixel whose value is exactly 0.0 marks a
// defect, and a candidate with such a pixel near its centre in any of the FITS
// file arguments is refused. Positions: FITS pixels, first pixel = 1.
#pragma once

#include <list>
#include <string>
#include <vector>

#include "sci/fits_in.h"
#include "select/fits_files.h"

namespace selection {

class BadPixelCheck {
  public:
    // files: every FITS file to search, each opened through fits (which
    // must outlive the check) when the first candidate reaches the pixel
    // test (so a run that never tests a candidate never opens them), its
    // pixels then read per candidate; r: the check radius (0 = no check);
    // naxis1, naxis2: the size of the image, which bounds the candidates. A
    // file that cannot be read throws sci::FitsException naming it
    // (select/file_errors.h) from passes().
    BadPixelCheck(std::list<std::string> const& files, int r, long naxis1, long naxis2,
                  FitsFiles& fits);

    // True when the candidate at (x, y) passes: r = 0; or, with ix = trunc(x + 0.5)
    // and iy = trunc(y + 0.5), r < ix <= naxis1 - r and r < iy <= naxis2 - r, and
    // no file holds a pixel of value 0.0 at an offset (u, v) from (ix, iy) with
    // u^2 + v^2 <= r (r - 1). Bad pixels in the outer ring are tolerated. Every
    // file is read, also after one has refused the candidate.
    bool passes(float x, float y);

  private:
    void open_();

    std::list<std::string> names_;
    int r_;
    long naxis1_, naxis2_;
    FitsFiles& fits_;
    std::vector<sci::FitsIn*> files_;
};

}  // namespace selection
