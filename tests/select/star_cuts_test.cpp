#include "select/star_cuts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/support/synthetic_field.h"

namespace {

using selection::Fate;
using selection::FittedProfile;
using selection::Parameter;
using selection::stampAsymmetry;
using selection::StarRecord;

constexpr int kHalf = 10;
// An elliptical star of FWHM about 3 pixels (beta 2.9, scales 0.34 and 0.3
// per pixel), tilted, off the pixel grid; its total flux
// pi A / ((beta - 1) xscale yscale).
FittedProfile const kStar{1000.0, 0.34, 0.30, 0.4, 2.9, 0.3, -0.2};

// A stamp of the star, plus a plane and a neighbour (the star's shape,
// `share` of its flux, at (nx, ny)), plus Gaussian noise of deviation sigma;
// the error stamp holds `error`.
struct Stamp {
    sci::MArray<float, 2> image{sci::Range(-kHalf, kHalf), sci::Range(-kHalf, kHalf)};
    sci::MArray<float, 2> error{sci::Range(-kHalf, kHalf), sci::Range(-kHalf, kHalf)};
    Stamp(double plane, double share, double nx, double ny, double sigma, double errorValue) {
        FittedProfile neighbour = kStar;
        neighbour.amplitude *= share;
        neighbour.xcen = nx;
        neighbour.ycen = ny;
        testsupport::GaussianNoise noise(3);
        for (int i = -kHalf; i <= kHalf; ++i)
            for (int j = -kHalf; j <= kHalf; ++j) {
                image(i, j) = static_cast<float>(kStar.at(i, j) + plane * (5 + 0.7 * i - 0.4 * j) +
                                                 neighbour.at(i, j) + sigma * noise.next());
                error(i, j) = static_cast<float>(errorValue);
            }
    }
};

// The core left out: 1 FWHM of the star.
constexpr double kCore = 3.0;
// Rounding of the float stamp against the star's flux of about 3.2e4.
constexpr double kRounding = 1e-6;
// A neighbour's wings that fall in the core or beyond the disk are not
// counted, and the fitted plane takes a little of it.
constexpr double kNeighbourShare = 0.015;
// Noise of deviation 2 over some 300 pixels, against the star's flux.
constexpr double kNoiseScatter = 0.01;

TEST(StampAsymmetry, ZeroForAStarOnAPlaneTheNeighboursShareOtherwise) {
    Stamp const clean(1, 0, 0, 0, 0, 1);
    EXPECT_NEAR(stampAsymmetry(clean.image, clean.error, kStar, kCore), 0.0, kRounding);
    // A neighbour of 10 % at 7 pixels: about 0.1, whatever the plane.
    for (double plane : {0.0, 1.0}) {
        Stamp const pair(plane, 0.1, 5.0, 5.0, 0.2, 0.2);
        EXPECT_NEAR(stampAsymmetry(pair.image, pair.error, kStar, kCore), 0.1, kNeighbourShare);
    }
    // Noise alone scores about 0, also with an error stamp that states half
    // or twice the true deviation.
    for (double error : {1.0, 2.0, 4.0}) {
        Stamp const noisy(1, 0, 0, 0, 2.0, error);
        EXPECT_NEAR(stampAsymmetry(noisy.image, noisy.error, kStar, kCore), 0.0, kNoiseScatter)
            << error;
    }
    // Without a flux there is no asymmetry.
    FittedProfile flat = kStar;
    flat.amplitude = 0;
    EXPECT_TRUE(std::isnan(stampAsymmetry(clean.image, clean.error, flat, kCore)));
}

// The first cut a star fails, in the order peak, flat top, ellipticity,
// asymmetry; a cut of 0 is off.
TEST(StarCut, FirstFailingCutOfTheOnesGiven) {
    StarRecord star;
    star.stamp.peak = 5000;
    star.stamp.flatPixels = 5;
    star.xfwhm = 2.0f;
    star.yfwhm = 2.5f;  // ellipticity 0.2
    star.asymmetry = 0.25f;
    Parameter P;
    EXPECT_EQ(selection::starCut(star, P), Fate::kSelected);
    P.max_asymmetry = 0.25;
    EXPECT_EQ(selection::starCut(star, P), Fate::kSelected);  // at the limit
    P.max_asymmetry = 0.24;
    EXPECT_EQ(selection::starCut(star, P), Fate::kAsymmetric);
    P.max_ellipticity = 0.19;
    EXPECT_EQ(selection::starCut(star, P), Fate::kElongated);
    P.max_peak = 5001;
    EXPECT_EQ(selection::starCut(star, P), Fate::kFlatTop);
    P.max_peak = 5000;
    EXPECT_EQ(selection::starCut(star, P), Fate::kSaturated);
    // Four pixels near the top are no flat top; a NaN asymmetry fails.
    star.stamp.flatPixels = 4;
    star.stamp.peak = 10;
    star.xfwhm = star.yfwhm;
    star.asymmetry = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(selection::starCut(star, P), Fate::kAsymmetric);
    EXPECT_DOUBLE_EQ(selection::ellipticity(star), 0.0);
}

}  // namespace
