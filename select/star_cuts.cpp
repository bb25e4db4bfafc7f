#include "select/star_cuts.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "sci/angles.h"

namespace selection {

namespace {

bool usable(float v, float e) {
    return std::isfinite(v) && v != 0.0f && std::isfinite(e) && e > 0.0f;
}

// Differences within this many standard deviations are taken for noise.
constexpr double kNoiseSigmas = 2.0;
// Offsets along one line only (det = 0 up to rounding) give no gradient.
constexpr double kFlatDeterminant = 1e-9;

}  // namespace

float stampAsymmetry(sci::MArray<float, 2> const& image, sci::MArray<float, 2> const& error,
                     FittedProfile const& f, double core) {
    double const flux = sci::kPi * f.amplitude / ((f.beta - 1) * f.xscale * f.yscale);
    if (!(std::isfinite(flux) && flux > 0)) return std::numeric_limits<float>::quiet_NaN();
    int const i1 = image.base(1), i2 = image.last(1);
    int const j1 = image.base(2), j2 = image.last(2);
    double const r = (i2 - i1) * 0.5;
    double const disk = (r + 1) * r;
    // The residual of a pixel: its value less the fitted profile.
    auto residual = [&](int i, int j) { return image(i, j) - f.pixel(i, j); };
    // Per pixel beyond the core: its offset from the centre, d and s.
    struct Pair {
        double dx, dy, d, s;
    };
    std::vector<Pair> pairs;
    for (int i = i1; i <= i2; ++i) {
        for (int j = j1; j <= j2; ++j) {
            float const v = image(i, j), e = error(i, j);
            double const dx = i - f.xcen, dy = j - f.ycen;
            double const d2 = dx * dx + dy * dy;
            if (!usable(v, e) || d2 > disk || d2 <= core * core) continue;
            // The mirror point and the four pixels around it.
            double const qx = f.xcen - dx, qy = f.ycen - dy;
            double const fx = std::floor(qx), fy = std::floor(qy);
            if (!(fx >= i1 && fx + 1 <= i2 && fy >= j1 && fy + 1 <= j2)) continue;
            int const qi = static_cast<int>(fx), qj = static_cast<int>(fy);
            double const wx = qx - fx, wy = qy - fy;
            double const w[4] = {(1 - wx) * (1 - wy), wx * (1 - wy), (1 - wx) * wy, wx * wy};
            int const ki[4] = {qi, qi + 1, qi, qi + 1};
            int const kj[4] = {qj, qj, qj + 1, qj + 1};
            double mirror = 0, mirrorVar = 0;
            bool complete = true;
            for (int k = 0; k < 4 && complete; ++k) {
                complete = usable(image(ki[k], kj[k]), error(ki[k], kj[k]));
                if (!complete) break;
                double const ek = error(ki[k], kj[k]);
                mirror += w[k] * residual(ki[k], kj[k]);
                mirrorVar += w[k] * w[k] * ek * ek;
            }
            if (!complete) continue;
            double const own = residual(i, j);
            pairs.push_back(
                {dx, dy, own - mirror, std::sqrt(static_cast<double>(e) * e + mirrorVar)});
        }
    }
    // The gradient G = 2 g of d = G.(p - c): the normal equations
    //     [sxx sxy; sxy syy] G = [sxd; syd].
    double sxx = 0, sxy = 0, syy = 0, sxd = 0, syd = 0;
    for (Pair const& p : pairs) {
        sxx += p.dx * p.dx;
        sxy += p.dx * p.dy;
        syy += p.dy * p.dy;
        sxd += p.dx * p.d;
        syd += p.dy * p.d;
    }
    double const det = sxx * syy - sxy * sxy;
    double gx = 0, gy = 0;
    if (det > kFlatDeterminant * (sxx * syy)) {
        gx = (syy * sxd - sxy * syd) / det;
        gy = (sxx * syd - sxy * sxd) / det;
    }
    double excess = 0;
    for (Pair const& p : pairs)
        excess += std::max(0.0, std::fabs(p.d - gx * p.dx - gy * p.dy) - kNoiseSigmas * p.s);
    return static_cast<float>(excess / (2 * flux));
}

double ellipticity(StarRecord const& star) {
    double const a = star.xfwhm, b = star.yfwhm;
    return 1.0 - std::min(a, b) / std::max(a, b);
}

Fate starCut(StarRecord const& star, Parameter const& P) {
    if (P.max_peak > 0) {
        if (star.stamp.peak >= P.max_peak) return Fate::kSaturated;
        if (star.stamp.flatPixels >= kFlatTopPixels) return Fate::kFlatTop;
    }
    if (P.max_ellipticity > 0 && ellipticity(star) > P.max_ellipticity) return Fate::kElongated;
    if (P.max_asymmetry > 0 && !(star.asymmetry <= P.max_asymmetry)) return Fate::kAsymmetric;
    return Fate::kSelected;
}

}  // namespace selection
