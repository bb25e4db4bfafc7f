#include "select/measurement.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "fit/moffat.h"
#include "sci/parallel_sort.h"

namespace selection {

namespace {

// Fit settings of every star: the background and its slopes held at 0, beta
// held at 2.9 (in single precision, 2.9000000953674316), widths accepted from
// 1 to 20 pixels. Six parameters remain free.
constexpr float kHeldBackground = 0.0f;
constexpr float kBeta = 2.9f;
constexpr float kFwhmMin = 1.0f;
constexpr float kFwhmMax = 20.0f;
// Widths and nchi of a star whose fit failed.
constexpr float kFailed = -1.0f;

// The nearest integer, halves to even (the default rounding mode).
int nearestPixel(float v) {
    float const r = std::nearbyint(v);
    // Positions far outside any image are refused by the stamp bounds anyway.
    if (!(std::fabs(r) < 1e9f)) return 0;
    return static_cast<int>(r);
}

void writeFitTableHeader(std::ostream& out, int verbose) {
    out << "\n";
    if (verbose > 4) out << "start of moffat fits...\n";
    out << "        nchi  iterations        good     surface          ax          ay   amplitude"
        << "        xcen        ycen       xfwhm       yfwhm       angle        beta\n";
    out << std::string(84, '-') << std::string(72, '-') << "\n";
}

}  // namespace

int measureStars(SelectedStars& s, int taken, Parameter const& P, StampReader& stamps,
                 std::ostream& out, int& fitted) {
    int const verbose = P.verbose;
    sci::MArray<float, 1> xfwhm(taken);
    sci::MArray<float, 1> yfwhm(taken);

    if (verbose > 2) writeFitTableHeader(out, verbose);
    for (int i = 1; i <= taken; ++i) {
        int const ix = nearestPixel(s.select_x(i));
        int const iy = nearestPixel(s.select_y(i));
        sci::MArray<float, 2> image, error;
        float nchi = 0, xscale = 0, yscale = 0, beta = 0;
        // A stamp that is not wholly inside the image counts as a failed fit.
        bool ok = false;
        if (stamps.read(ix, iy, P.boxlen, image, error)) {
            float surface = kHeldBackground, ax = kHeldBackground, ay = kHeldBackground;
            float xcen = s.select_x(i), ycen = s.select_y(i);
            float amplitude = 0, angle = 0;
            ok = fmoffat(image, error, surface, ax, ay, kBeta, kBeta, kFwhmMin, kFwhmMax, xcen,
                         ycen, amplitude, xscale, yscale, angle, beta, nchi, verbose) == kMoffatOk;
        }
        if (ok) {
            ++fitted;
            // FWHM = 2 sqrt(2^(1/beta) - 1) / scale, in double from the fitted floats.
            xfwhm(i) = static_cast<float>(moffatFwhm(beta, xscale));
            yfwhm(i) = static_cast<float>(moffatFwhm(beta, yscale));
            s.select_fwhm(i) = (xfwhm(i) + yfwhm(i)) * 0.5f;
            s.select_nchi(i) = nchi;
        } else {
            xfwhm(i) = yfwhm(i) = s.select_fwhm(i) = s.select_nchi(i) = kFailed;
        }
    }
    if (verbose > 4) out << "...end of moffat fits\n";
    if (verbose > 2) out << "\n";
    return rejectStars(s, xfwhm, yfwhm, taken, P, out);
}

int rejectStars(SelectedStars& s, sci::MArray<float, 1>& xfwhm, sci::MArray<float, 1>& yfwhm,
                int taken, Parameter const& P, std::ostream& out) {
    int const verbose = P.verbose;
    if (P.nchi_reject > 0) {
        if (verbose > 3)
            out << "P.nchi_reject=" << P.nchi_reject << "\n  taken_in=" << taken << "\n";
        taken = std::max(taken - P.nchi_reject, 1);
        sort8(s.select_nchi, xfwhm, yfwhm, s.select_fwhm, s.select_closest_dist,
              s.select_closest_flux, s.select_x, s.select_y);
        for (auto* a : {&s.select_nchi, &xfwhm, &yfwhm, &s.select_fwhm, &s.select_closest_dist,
                        &s.select_closest_flux, &s.select_x, &s.select_y})
            keepFirst(*a, taken);
    }
    if (verbose > 3) out << "  taken=" << taken << "\n\n";
    if (verbose > 4) s.writeLengths(out);

    if (P.fwhm_reject > 0) {
        if (verbose > 3)
            out << "P.fwhm_reject=" << P.fwhm_reject << "\n  taken_in=" << taken << "\n";
        int const k1 = P.fwhm_reject / 2;
        int const k2 = P.fwhm_reject - k1;
        if (k1 > 0) {
            // Ellipticity key |1 - xfwhm / yfwhm|, the quotient in single precision.
            sci::MArray<float, 1> r(taken);
            for (int i = 1; i <= taken; ++i) {
                float const ratio = xfwhm(i) / yfwhm(i);
                r(i) = static_cast<float>(std::fabs(1.0 - static_cast<double>(ratio)));
            }
            taken = std::max(taken - k1, 1);
            sort9(r, xfwhm, yfwhm, s.select_fwhm, s.select_nchi, s.select_closest_dist,
                  s.select_closest_flux, s.select_x, s.select_y);
            for (auto* a : {&xfwhm, &yfwhm, &s.select_fwhm, &s.select_nchi, &s.select_closest_dist,
                            &s.select_closest_flux, &s.select_x, &s.select_y})
                keepFirst(*a, taken);
            if (verbose > 4) s.writeLengths(out);
        }
        if (k2 > 0) {
            // Size key sqrt(xfwhm^2 + yfwhm^2), in double.
            sci::MArray<float, 1> size(taken);
            for (int i = 1; i <= taken; ++i) {
                double const a = xfwhm(i), b = yfwhm(i);
                size(i) = static_cast<float>(std::sqrt(a * a + b * b));
            }
            taken = std::max(taken - k2, 1);
            sort7(size, s.select_fwhm, s.select_nchi, s.select_closest_dist, s.select_closest_flux,
                  s.select_x, s.select_y);
            for (auto* a : {&s.select_fwhm, &s.select_nchi, &s.select_closest_dist,
                            &s.select_closest_flux, &s.select_x, &s.select_y})
                keepFirst(*a, taken);
            if (verbose > 4) s.writeLengths(out);
        }
        if (verbose > 3) out << "  taken=" << taken << "\n\n";
    }
    return taken;
}

}  // namespace selection
