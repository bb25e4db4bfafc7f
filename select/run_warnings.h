// The warnings of a selecting run that name a measured cause: a catalogue
// that does not belong to the image, background left in the image (the sky
// check of every run that measures stars), and why profile fits failed.
// Positions in FITS pixels (first pixel = 1); levels in image units; widths
// in pixels. Each warning is one line on the error stream.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "sci/marray.h"
#include "select/measurement.h"
#include "select/parameter.h"
#include "select/selected_stars.h"
#include "select/stamps.h"
#include "select/work_pool.h"

namespace selection {

// v in fixed notation with the given digits after the point ("%.*f").
std::string decimalText(double v, int decimals);

// n and the singular or plural noun: "1 star", "7 stars".
std::string counted(long long n, char const* singular, char const* plural);

// More than half of the rows that take part (finite position and flux) lying
// outside the image of naxis1 x naxis2 pixels (x < 0.5, x > naxis1 + 0.5, the
// same in y): one warning naming both files, the counts and the rows' extent.
// x, y, flux: catalogue columns, index base 1.
void warnCatalogueOutsideImage(std::ostream& err, sci::MArray<float, 1> const& x,
                               sci::MArray<float, 1> const& y, sci::MArray<float, 1> const& flux,
                               long naxis1, long naxis2, std::string const& catalogue,
                               std::string const& image);

// What the failed fits of a run show, first match in this order.
enum class FitFailureCause {
    kNone,          // no fit failed
    kZeroErrors,    // most failed stamps have usable errors in fewer than half their pixels
    kUndersampled,  // refitted without the FWHM limits, narrower than the run's lowest FWHM
                    // on median
    kBackground,    // their edges, and those of all stamps, sit above zero on median
                    // as the sky check judges it
    kCrowded,       // only the edges of the failed stamps do
    kBoxlenSmall,   // refitted without the FWHM limits, wider than boxlen / 1.5 on median
    kOther,         // none of these: the statuses are listed
};

struct FitFailureDiagnosis {
    FitFailureCause cause = FitFailureCause::kNone;
    int failed = 0;    // fits that failed (stamps inside the image)
    int measured = 0;  // fits made
    std::string text;  // the cause, as the warning and the hint give it
};

// The stamps a run measured, in run order, for the sky check and the
// diagnosis of failed fits: a few numbers per stamp, and the positions of
// the first kRefits failed ones.
class StampSurvey {
  public:
    static constexpr int kRefits = 12;

    // A taken star after its measurement; stars without a stamp inside the
    // image are not counted.
    void add(StarRecord const& star);

    int measured() const { return static_cast<int>(background_.size()); }
    int failed() const { return static_cast<int>(failedBackground_.size()); }

    // The sky check: the medians over the measured stamps of their edge
    // medians (B) and of their edge errors (E); one warning when B > E / 2,
    // or B > 5 E when fewer than three stamps were measured. Returns whether
    // it warned.
    bool checkSky(std::ostream& err) const;

    // Why fits failed. Refits (background held at 0, the run's model with
    // its FWHM range widened by 0.75 pixels at both ends) read their stamps
    // again from stamps, on this thread, and run on the threads of pool when
    // one is given; errorImage names the error image in the text.
    FitFailureDiagnosis diagnose(StampReader& stamps, int boxlen, std::string const& errorImage,
                                 FitModel const& model, WorkPool* pool = nullptr) const;

    // The diagnosis as a warning, when at least half of the fits failed.
    static void warnFailedFits(std::ostream& err, FitFailureDiagnosis const& d);

  private:
    std::vector<float> background_, backgroundError_;              // every stamp
    std::vector<float> failedBackground_, failedBackgroundError_;  // the failed ones
    int failedFewErrors_ = 0;             // failed stamps with usable errors in < half
    std::map<int, int> failedStatus_;     // fit status -> failed fits
    std::vector<float> refitX_, refitY_;  // positions of the first kRefits failed
};

}  // namespace selection
