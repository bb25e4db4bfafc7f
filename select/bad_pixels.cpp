#include "select/bad_pixels.h"

#include <cmath>

#include "select/file_errors.h"
#include "select/stamps.h"

namespace selection {

BadPixelCheck::BadPixelCheck(std::list<std::string> const& files, int r, long naxis1, long naxis2,
                             FitsFiles& fits)
    : names_(files), r_(r), naxis1_(naxis1), naxis2_(naxis2), fits_(fits) {}

void BadPixelCheck::open_() {
    for (std::string const& name : names_) files_.push_back(&fits_.open(name));
    names_.clear();
}

bool BadPixelCheck::passes(float x, float y) {
    if (r_ == 0) return true;
    // trunc(x + 0.5) in double, so that no position can overflow an int.
    double const fx = std::trunc(static_cast<double>(x) + 0.5);
    double const fy = std::trunc(static_cast<double>(y) + 0.5);
    double const r = r_;
    if (!(fx > r && fx <= static_cast<double>(naxis1_) - r && fy > r &&
          fy <= static_cast<double>(naxis2_) - r))
        return false;
    int const ix = static_cast<int>(fx);
    int const iy = static_cast<int>(fy);
    if (files_.empty()) open_();

    double const limit = r * (r - 1.0);  // r (r - 1), compared in double
    bool bad = false;
    // The stamp is made once the first file holds its pixels: a header may
    // declare far more pixels than its file holds.
    sci::MArray<float, 2> stamp;
    for (sci::FitsIn* file : files_) {
        namingFile(file->getFilename(), [&] {
            selectStamp(*file, ix, iy, r_);
            if (!stamp.hasStorage())
                stamp.makeReference(
                    sci::MArray<float, 2>(sci::Range(-r_, r_), sci::Range(-r_, r_)));
            sci::readRegion(*file, stamp);
        });
        for (int v = -r_; v <= r_; ++v)
            for (int u = -r_; u <= r_; ++u)
                if (stamp(u, v) == 0.0f &&
                    static_cast<double>(u) * u + static_cast<double>(v) * v <= limit)
                    bad = true;
    }
    return !bad;
}

}  // namespace selection
