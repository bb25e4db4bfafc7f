#include "select/run_warnings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "fit/moffat.h"
#include "sci/median.h"
#include "select/flux_limits.h"
#include "select/measurement.h"
#include "select/stamp_levels.h"
#include "select/subfield_grid.h"

namespace selection {

namespace {

// The sky check and the background cause: edges above zero by more than
// this many times their error, on median.
constexpr double kBackgroundSigmas = 0.5;
// What light under the stamps may be.
constexpr char kLightUnderStamps[] =
    "sky not subtracted, or the light of an extended object or of crowded sources";
// A median over fewer stamps than this follows the neighbours and halos of
// single stars: it shows background only when it is far above zero.
constexpr int kMinSkyStamps = 3;
constexpr double kFewStampsBackgroundSigmas = 5.0;
// A stamp with usable errors in fewer than this fraction of its pixels.
constexpr float kFewErrors = 0.5f;
// Refits free both FWHM within the run's range widened by this much at both
// ends: its mean stays, so they start from the same widths (0.25 to 20.75
// pixels for the default range).
constexpr float kRefitFwhmMargin = 0.75f;
// A boxlen below this many FWHM cuts the stars; about three serve.
constexpr double kSmallBoxlenFwhm = 1.5;
constexpr double kGoodBoxlenFwhm = 3.0;

double medianOf(std::vector<float> const& v) {
    std::vector<double> d;
    for (float f : v)
        if (std::isfinite(f)) d.push_back(f);
    return sci::median(d);
}

// "+300.2 (1.5 sigma)": the level and its ratio to the error.
std::string levelText(double level, double error) {
    return (level >= 0 ? "+" : "") + decimalText(level, 1) + " (" + decimalText(level / error, 1) +
           " sigma)";
}

// Whether the median edge level of `stamps` stamps shows background.
bool aboveZero(double level, double error, int stamps) {
    double const sigmas = stamps >= kMinSkyStamps ? kBackgroundSigmas : kFewStampsBackgroundSigmas;
    return std::isfinite(level) && std::isfinite(error) && error > 0 && level > sigmas * error;
}

// The name of a fit status of fit/moffat.h.
char const* statusName(int status) {
    switch (status) {
        case fit::kMoffatFewPixels:
            return "fewer than 10 usable pixels";
        case fit::kMoffatWidthOutOfRange:
            return "FWHM out of range";
        case fit::kMoffatBetaOutOfRange:
            return "beta out of range";
        case fit::kMoffatCentreOutside:
            return "centre outside the stamp";
        case fit::kMoffatAmplitudeUncertain:
            return "amplitude uncertain";
    }
    return "failed";
}

}  // namespace

std::string decimalText(double v, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

std::string counted(long long n, char const* singular, char const* plural) {
    return std::to_string(n) + " " + (n == 1 ? singular : plural);
}

void warnCatalogueOutsideImage(std::ostream& err, sci::MArray<float, 1> const& x,
                               sci::MArray<float, 1> const& y, sci::MArray<float, 1> const& flux,
                               long naxis1, long naxis2, std::string const& catalogue,
                               std::string const& image) {
    long part = 0, outside = 0;
    int const n = catalogueRows(x);
    for (int row = 1; row <= n; ++row) {
        if (!rowTakesPart(x, y, flux, row)) continue;
        ++part;
        // Pixel k covers k - 0.5 .. k + 0.5.
        float const a = x(x.base() + row - 1);
        float const b = y(y.base() + row - 1);
        if (a < 0.5 || a > naxis1 + 0.5 || b < 0.5 || b > naxis2 + 0.5) ++outside;
    }
    Extent e{};
    if (2 * outside <= part || !catalogueExtent(x, y, flux, e)) return;
    err << "warning: " << outside << " of " << part << " rows of catalogue '" << catalogue
        << "' lie outside image '" << image << "' (" << naxis1 << " x " << naxis2
        << " pixels; the rows span x " << decimalText(e.minX, 1) << " to " << decimalText(e.maxX, 1)
        << ", y " << decimalText(e.minY, 1) << " to " << decimalText(e.maxY, 1)
        << "): the catalogue does not seem to belong to the image\n";
}

void StampSurvey::add(StarRecord const& star) {
    if (star.fitStatus == kFitNotMade || star.fitStatus == kFitStampOff) return;
    background_.push_back(star.stamp.background);
    backgroundError_.push_back(star.stamp.backgroundError);
    if (star.fitStatus == fit::kMoffatOk) return;
    failedBackground_.push_back(star.stamp.background);
    failedBackgroundError_.push_back(star.stamp.backgroundError);
    if (star.stamp.usableErrors < kFewErrors) ++failedFewErrors_;
    ++failedStatus_[star.fitStatus];
    if (static_cast<int>(refitX_.size()) < kRefits) {
        refitX_.push_back(star.x);
        refitY_.push_back(star.y);
    }
}

bool StampSurvey::checkSky(std::ostream& err) const {
    double const level = medianOf(background_);
    double const error = medianOf(backgroundError_);
    if (!aboveZero(level, error, measured())) return false;
    err << "warning: the outer rings of the "
        << counted(measured(), "measured stamp", "measured stamps") << " sit at "
        << levelText(level, error) << " above zero on median: the image holds background ("
        << kLightUnderStamps << "), and the fit holds the background at 0\n";
    return true;
}

FitFailureDiagnosis StampSurvey::diagnose(StampReader& stamps, int boxlen,
                                          std::string const& errorImage, FitModel const& model,
                                          WorkPool* pool) const {
    FitFailureDiagnosis d;
    d.failed = failed();
    d.measured = measured();
    if (d.failed == 0) return d;

    if (2 * failedFewErrors_ > d.failed) {
        d.cause = FitFailureCause::kZeroErrors;
        d.text = "error image '" + errorImage + "' holds no usable error (0 or less, or not a " +
                 "number) in most pixels of " + std::to_string(failedFewErrors_) + " of the " +
                 std::to_string(d.failed) + " failed stamps";
        return d;
    }
    // Refit the first failed stamps with the FWHM limits relaxed: the stamps
    // read here, in order, the fits on the pool's threads (each with its own
    // stamps), the widths kept in order.
    size_t const count = refitX_.size();
    std::vector<StarStamps> read(count);
    for (size_t k = 0; k < count; ++k) {
        int const ix = nearestPixel(refitX_[k]);
        int const iy = nearestPixel(refitY_[k]);
        read[k].inside = stamps.read(ix, iy, boxlen, read[k].image, read[k].error);
    }
    std::vector<double> width(count, 0.0);
    std::vector<char> fitted(count, 0);
    auto refit = [&](int k) {
        StarStamps const& s = read[static_cast<size_t>(k)];
        if (!s.inside) return;
        float surface = kHeldBackground, ax = kHeldBackground, ay = kHeldBackground;
        float xcen = refitX_[static_cast<size_t>(k)], ycen = refitY_[static_cast<size_t>(k)];
        float amplitude = 0, xscale = 0, yscale = 0, angle = 0, beta = 0, nchi = 0;
        std::ostringstream quiet;  // verbose 0: the fit writes nothing
        int const status =
            fit::fmoffat(s.image, s.error, surface, ax, ay, model.betaMin, model.betaMax,
                         model.fwhmMin - kRefitFwhmMargin, model.fwhmMax + kRefitFwhmMargin, xcen,
                         ycen, amplitude, xscale, yscale, angle, beta, nchi, 0, quiet,
                         fit::makeClassMoffatFit, model.subsample);
        if (status != fit::kMoffatOk) return;
        fitted[static_cast<size_t>(k)] = 1;
        width[static_cast<size_t>(k)] =
            0.5 * (fit::moffatFwhm(beta, xscale) + fit::moffatFwhm(beta, yscale));
    };
    if (pool != nullptr)
        pool->forEach(static_cast<int>(count), refit);
    else
        for (size_t k = 0; k < count; ++k) refit(static_cast<int>(k));
    std::vector<double> widths;
    for (size_t k = 0; k < count; ++k)
        if (fitted[k]) widths.push_back(width[k]);
    int const refitted = static_cast<int>(widths.size());
    double const fwhm = sci::median(widths);
    std::string const refits = "refitted without the FWHM limits, " + std::to_string(refitted) +
                               " of " + std::to_string(refitX_.size()) +
                               " failed stamps give a median FWHM of " + decimalText(fwhm, 2) +
                               " pixels";
    if (refitted > 0 && fwhm < model.fwhmMin) {
        char lowest[32];
        std::snprintf(lowest, sizeof lowest, "%g", static_cast<double>(model.fwhmMin));
        d.cause = FitFailureCause::kUndersampled;
        d.text = "the stars are narrower than the fit's smallest FWHM of " + std::string(lowest) +
                 (model.fwhmMin == 1.0f ? " pixel" : " pixels") +
                 " (an undersampled image): " + refits;
        return d;
    }
    // Light under the failed stamps: everywhere (background in the image), or
    // only under them (neighbours, or an extended object).
    double const level = medianOf(failedBackground_);
    double const error = medianOf(failedBackgroundError_);
    double const allLevel = medianOf(background_);
    double const allError = medianOf(backgroundError_);
    if (aboveZero(level, error, d.failed)) {
        if (aboveZero(allLevel, allError, d.measured)) {
            d.cause = FitFailureCause::kBackground;
            d.text = "background in the image: the outer rings of the failed stamps sit at " +
                     levelText(level, error) +
                     " above zero on median, and the fit holds the background at 0";
        } else {
            d.cause = FitFailureCause::kCrowded;
            d.text =
                "the failed stamps sit on the light of neighbours or of an extended object: "
                "their outer rings at " +
                levelText(level, error) + " on median, against " + levelText(allLevel, allError) +
                " over all " + std::to_string(d.measured) + " measured stamps";
        }
        return d;
    }
    if (refitted > 0 && kSmallBoxlenFwhm * fwhm > boxlen) {
        d.cause = FitFailureCause::kBoxlenSmall;
        d.text = "--boxlen " + std::to_string(boxlen) + " is small against the stars: " + refits +
                 "; about " + decimalText(kGoodBoxlenFwhm, 0) + " x FWHM serves: try --boxlen " +
                 std::to_string(static_cast<int>(std::ceil(kGoodBoxlenFwhm * fwhm)));
        return d;
    }
    d.cause = FitFailureCause::kOther;
    d.text = "fit statuses";
    char const* separator = " ";
    for (auto it = failedStatus_.rbegin(); it != failedStatus_.rend(); ++it) {
        d.text += separator + std::to_string(it->second) + " " + statusName(it->first) + " (" +
                  std::to_string(it->first) + ")";
        separator = ", ";
    }
    if (std::isfinite(level) && std::isfinite(error) && error > 0)
        d.text += "; the outer rings of the failed stamps sit at " + levelText(level, error) +
                  " on median";
    if (refitted > 0) d.text += "; " + refits;
    return d;
}

void StampSurvey::warnFailedFits(std::ostream& err, FitFailureDiagnosis const& d) {
    if (d.failed == 0 || 2 * d.failed < d.measured) return;
    err << "warning: " << d.failed << " of " << d.measured << " profile fits failed: " << d.text
        << "\n";
}

}  // namespace selection
