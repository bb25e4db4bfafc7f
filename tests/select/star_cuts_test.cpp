#include "select/star_cuts.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using selection::Fate;
using selection::Parameter;
using selection::StarRecord;

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
