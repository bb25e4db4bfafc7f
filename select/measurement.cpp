#include "select/measurement.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "fit/moffat.h"
#include "sci/angles.h"
#include "select/exchange_order.h"
#include "select/stamp_levels.h"
#include "select/star_cuts.h"

namespace selection {

int nearestPixel(float v) {
    float const r = std::nearbyint(v);  // halves to even: the default rounding mode
    // Positions far outside any image are refused by the stamp bounds anyway.
    if (!(std::fabs(r) < 1e9f)) return 0;
    return static_cast<int>(r);
}

FitModel fitModel(Parameter const& P) {
    FitModel m;
    bool const fitted = P.beta == 0;
    m.betaMin = fitted ? kFittedBetaMin : static_cast<float>(P.beta);
    m.betaMax = fitted ? kFittedBetaMax : static_cast<float>(P.beta);
    m.fwhmMin = static_cast<float>(P.fwhm_range[0]);
    m.fwhmMax = static_cast<float>(P.fwhm_range[1]);
    m.subsample = P.subsample;
    return m;
}

StarStamps readStarStamps(StarRecord const& star, int boxlen, StampReader& stamps) {
    StarStamps s;
    s.inside = stamps.read(nearestPixel(star.x), nearestPixel(star.y), boxlen, s.image, s.error);
    return s;
}

void measureOnStamps(StarRecord& star, Parameter const& P, StarStamps const& stamps,
                     std::ostream& fitText) {
    FitModel const model = fitModel(P);
    int const ix = nearestPixel(star.x);
    int const iy = nearestPixel(star.y);
    sci::MArray<float, 2> const& image = stamps.image;
    sci::MArray<float, 2> const& error = stamps.error;
    float nchi = 0, xscale = 0, yscale = 0, beta = 0;
    // A stamp that is not wholly inside the image counts as a failed fit.
    star.fitStatus = kFitStampOff;
    float amplitude = 0, angle = 0;
    float xcen = star.x, ycen = star.y;
    if (stamps.inside) {
        float surface = kHeldBackground, ax = kHeldBackground, ay = kHeldBackground;
        star.fitStatus =
            fit::fmoffat(image, error, surface, ax, ay, model.betaMin, model.betaMax, model.fwhmMin,
                         model.fwhmMax, xcen, ycen, amplitude, xscale, yscale, angle, beta, nchi,
                         P.verbose, fitText, fit::makeClassMoffatFit, model.subsample);
        // A successful fit leaves its centre in stamp indices in xcen, ycen.
        FittedProfile const profile{amplitude, xscale, yscale, angle,
                                    beta,      xcen,   ycen,   model.subsample};
        star.stamp = measureStampLevels(image, error, star.x - static_cast<float>(ix),
                                        star.y - static_cast<float>(iy),
                                        star.fitStatus == fit::kMoffatOk ? &profile : nullptr);
    }
    if (star.fitStatus == fit::kMoffatOk) {
        // FWHM = 2 sqrt(2^(1/beta) - 1) / scale, in double from the fitted floats.
        star.xfwhm = static_cast<float>(fit::moffatFwhm(beta, xscale));
        star.yfwhm = static_cast<float>(fit::moffatFwhm(beta, yscale));
        star.fwhm = (star.xfwhm + star.yfwhm) * 0.5f;
        star.nchi = nchi;
        star.amplitude = amplitude;
        star.angle = static_cast<float>(angle * sci::kRadToDeg);
        star.beta = beta;
        FittedProfile const profile{amplitude, xscale, yscale, angle,
                                    beta,      xcen,   ycen,   model.subsample};
        star.asymmetry = stampAsymmetry(image, error, profile, kAsymmetryCoreFwhm * star.fwhm);
    } else {
        star.xfwhm = star.yfwhm = star.fwhm = star.nchi = kFitFailed;
    }
}

void measureStar(StarRecord& star, Parameter const& P, StampReader& stamps, std::ostream& fitText) {
    measureOnStamps(star, P, readStarStamps(star, P.boxlen, stamps), fitText);
}

void writeFitTableStart(std::ostream& out, int verbose) {
    if (verbose <= 2) return;
    out << "\n";
    if (verbose > 4) out << "start of moffat fits...\n";
    out << "        nchi  iterations        good     surface          ax          ay   amplitude"
        << "        xcen        ycen       xfwhm       yfwhm       angle        beta\n";
    out << std::string(84, '-') << std::string(72, '-') << "\n";
}

void writeFitTableEnd(std::ostream& out, int verbose) {
    if (verbose > 4) out << "...end of moffat fits\n";
    if (verbose > 2) out << "\n";
}

void StampMeasure::measure(StarRecord& star, std::ostream& fitText) {
    measureStar(star, P_, stamps_, fitText);
}

int measureStars(SelectedStars& s, Parameter const& P, StarMeasure& measure, std::ostream& out) {
    for (StarRecord const& star : s.stars) measure.expect(star, out);
    writeFitTableStart(out, P.verbose);
    for (StarRecord& star : s.stars) measure.measure(star, out);
    writeFitTableEnd(out, P.verbose);
    // The cuts drop the fitted stars that fail them; the others keep their order.
    std::vector<StarRecord> kept;
    for (StarRecord const& star : s.stars) {
        Fate const cut = star.fitStatus == fit::kMoffatOk ? starCut(star, P) : Fate::kSelected;
        if (cut == Fate::kSelected)
            kept.push_back(star);
        else
            s.dropped.push_back(DroppedStar{star, cut});
    }
    s.stars.swap(kept);
    return rejectStars(s, P, out);
}

int rejectStars(SelectedStars& s, Parameter const& P, std::ostream& out) {
    int const verbose = P.verbose;
    int taken = static_cast<int>(s.stars.size());
    // One rejection stage: drop stars from the end of the order by key,
    // keeping at least one.
    auto dropLargest = [&s, &taken](int drop, Fate fate, auto key) {
        taken = std::max(taken - drop, 1);
        sortInExchangeOrder(s.stars, key);
        for (size_t k = static_cast<size_t>(taken); k < s.stars.size(); ++k)
            s.dropped.push_back(DroppedStar{s.stars[k], fate});
        if (static_cast<size_t>(taken) < s.stars.size()) s.stars.resize(static_cast<size_t>(taken));
    };

    if (P.nchi_reject > 0) {
        if (verbose > 3)
            out << "P.nchi_reject=" << P.nchi_reject << "\n  taken_in=" << taken << "\n";
        dropLargest(P.nchi_reject, Fate::kDroppedNchi,
                    [](StarRecord const& star) { return star.nchi; });
    }
    if (verbose > 3) out << "  taken=" << taken << "\n\n";
    if (verbose > 4) writeLengths(out, measuredLengths(s));

    if (P.fwhm_reject > 0) {
        if (verbose > 3)
            out << "P.fwhm_reject=" << P.fwhm_reject << "\n  taken_in=" << taken << "\n";
        int const k1 = P.fwhm_reject / 2;
        int const k2 = P.fwhm_reject - k1;
        if (k1 > 0) {
            // Ellipticity key |1 - xfwhm / yfwhm|, the quotient in single precision.
            dropLargest(k1, Fate::kDroppedFwhm, [](StarRecord const& star) {
                float const ratio = star.xfwhm / star.yfwhm;
                return static_cast<float>(std::fabs(1.0 - static_cast<double>(ratio)));
            });
            if (verbose > 4) writeLengths(out, measuredLengths(s));
        }
        if (k2 > 0) {
            // Size key sqrt(xfwhm^2 + yfwhm^2), in double.
            dropLargest(k2, Fate::kDroppedFwhm, [](StarRecord const& star) {
                double const a = star.xfwhm, b = star.yfwhm;
                return static_cast<float>(std::sqrt(a * a + b * b));
            });
            if (verbose > 4) writeLengths(out, measuredLengths(s));
        }
        if (verbose > 3) out << "  taken=" << taken << "\n\n";
    }
    return taken;
}

}  // namespace selection
