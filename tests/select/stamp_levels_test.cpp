#include "select/stamp_levels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "sci/median.h"

namespace {

using selection::FittedProfile;
using selection::measureStampLevels;
using selection::StampLevels;

// A stamp of half side 2 with value 10 i + j + 100 at (i, j): every pixel
// tells where it lies. Errors 1, but 0 in column i = -2 (those pixels are not
// usable) and NaN at (2, 2).
struct Stamp {
    sci::MArray<float, 2> image{sci::Range(-2, 2), sci::Range(-2, 2)};
    sci::MArray<float, 2> error{sci::Range(-2, 2), sci::Range(-2, 2)};
    Stamp() {
        for (int i = -2; i <= 2; ++i)
            for (int j = -2; j <= 2; ++j) {
                image(i, j) = static_cast<float>(10 * i + j + 100);
                error(i, j) = i == -2 ? 0.0f : 1.0f;
            }
        error(2, 2) = std::nanf("");
    }
};

// The peak within the fitting disk (i - dx)^2 + (j - dy)^2 <= 6; the medians
// of the usable edge pixels; the fraction of usable errors.
TEST(StampLevels, PeakInTheDiskMediansOfTheEdgeAndUsableErrors) {
    Stamp s;
    StampLevels const centred = measureStampLevels(s.image, s.error, 0.0f, 0.0f);
    EXPECT_EQ(centred.peak, 121.0f);  // (2, 1); (2, 2) is outside the disk and not usable
    // The usable edge: i = 2 with j = -2..1, and j = +-2 with i = -1..1.
    std::vector<double> edge = {118, 119, 120, 121, 88, 98, 108, 92, 102, 112};
    EXPECT_EQ(centred.background, static_cast<float>(sci::median(edge)));
    EXPECT_EQ(centred.backgroundError, 1.0f);
    EXPECT_EQ(centred.usableErrors, 19.0f / 25.0f);
    // Within 3 % of the peak (117.37 and up) in the disk: (2, -1), (2, 0), (2, 1).
    EXPECT_EQ(centred.flatPixels, 3);
    // Centred at (-1.5, -1.5) the disk ends before (1, 0) (distance^2 8.5)
    // and (0, 1): its highest usable pixel is (0, 0).
    EXPECT_EQ(measureStampLevels(s.image, s.error, -1.5f, -1.5f).peak, 100.0f);

    // A fitted profile is taken off the edge pixels before the median.
    FittedProfile const profile{50.0, 0.5, 0.25, 0.3, 2.9, 0.2, -0.1};
    for (double& v : edge) v = 0;
    int k = 0;
    for (int j = -2; j <= 1; ++j) edge[k++] = 10 * 2 + j + 100 - profile.at(2, j);
    for (int j : {-2, 2})
        for (int i = -1; i <= 1; ++i) edge[k++] = 10 * i + j + 100 - profile.at(i, j);
    EXPECT_EQ(measureStampLevels(s.image, s.error, 0.0f, 0.0f, &profile).background,
              static_cast<float>(sci::median(edge)));
}

}  // namespace
