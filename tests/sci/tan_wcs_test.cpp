// The warning for image headers that name another projection than TAN, and
// the projection where asin leaves its domain. The projections themselves are
// cross-checked against wcslib in ccs_tan_xcheck_test.cpp.
#include "sci/tan_wcs.h"
#include "sci/ccs_tan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

using Vec2 = sci::FVector<double, 2>;
using Mat2 = sci::FMatrix<double, 2, 2>;

// Reads a header with the reference (150, 30) at pixel (100.5, 200.25), the
// given CTYPE cards and 1e-4 degree pixels, plus the extra number cards.
sci::TanWcs readWcs(std::map<std::string, std::string> const& texts,
                    std::map<std::string, double> const& extra = {}) {
    std::map<std::string, double> numbers = {{"CRVAL1  ", 150.0}, {"CRVAL2  ", 30.0},
                                             {"CRPIX1  ", 100.5}, {"CRPIX2  ", 200.25},
                                             {"CDELT1  ", -1e-4}, {"CDELT2  ", 1e-4}};
    numbers.insert(extra.begin(), extra.end());
    auto find = [](auto const& values, std::string const& key) {
        auto const it = values.find(key);
        return it == values.end() ? std::nullopt : std::optional(it->second);
    };
    return sci::readTanWcs(
        "img.fits", [&](std::string const& key) { return find(numbers, key); },
        [&](std::string const& key) { return find(texts, key); });
}

// Headers often carry several forms at once: CD wins over CDELT, PC over CROTA2.
TEST(TanWcs, CdThenPcThenCrota2) {
    using K = sci::LinearKeywords;
    EXPECT_EQ(readWcs({}).source, K::kCdelt);
    EXPECT_EQ(readWcs({}, {{"CROTA2  ", 30.0}}).source, K::kCdeltCrota2);
    EXPECT_EQ(readWcs({}, {{"CROTA2  ", 30.0}, {"PC1_2   ", 0.5}}).source, K::kCdeltPc);
    sci::TanWcs const cd = readWcs(
        {}, {{"CROTA2  ", 30.0}, {"PC1_2   ", 0.5}, {"CD1_1   ", -2e-4}, {"CD2_2   ", 2e-4}});
    EXPECT_EQ(cd.source, K::kCd);
    EXPECT_EQ(cd.cdelt(1), -2e-4);
}

// Trailing blanks carry no meaning; the suffix alone ends in "-TAN" as well;
// without CTYPE TAN is assumed silently.
TEST(TanWcs, NonTanProjectionsGiveOneWarningLine) {
    for (char const* silent : {"RA---TAN", "RA---TAN    ", "-TAN"})
        EXPECT_TRUE(readWcs({{"CTYPE1  ", silent}, {"CTYPE2  ", "DEC--TAN"}}).warnings.empty())
            << silent;
    EXPECT_TRUE(readWcs({}).warnings.empty());
    EXPECT_EQ(readWcs({{"CTYPE1  ", "RA---SIN"}, {"CTYPE2  ", "DEC--TAN-SIP"}}).warnings,
              std::vector<std::string>{"warning: image 'img.fits' has CTYPE1 'RA---SIN' and CTYPE2 "
                                       "'DEC--TAN-SIP', not a TAN projection; using TAN"});
    EXPECT_EQ(readWcs({{"CTYPE1  ", "RA---TAN"}, {"CTYPE2  ", "DEC--TAN-SIP"}}).warnings,
              std::vector<std::string>{"warning: image 'img.fits' has CTYPE2 'DEC--TAN-SIP', not "
                                       "a TAN projection; using TAN"});
}

// The projection where asin leaves its domain: 1e-4 degree pixels, the
// first axis flipped, the reference at pixel (100, 100).
TEST(CcsTan, AsinArgumentsRoundedBeyondOneGiveNoNaN) {
    // For these references sin(d)^2 + cos(d)^2 rounds to 1 + 2^-52, outside asin's
    // domain; they must land on the reference pixel. With 1e-4 degree pixels theta
    // is still off by up to ~1.5e-8 radian = 0.01 pixel (asin near 1).
    constexpr double kReferenceTol = 0.05;
    for (auto [ra0, dec0] : {std::pair{150.0, 0.0074}, {150.0, -89.92}, {150.0, 0.0128}}) {
        Vec2 const pixel =
            sci::CCS_TAN(Vec2(100, 100), Mat2::identity(), Vec2(-1e-4, 1e-4), Vec2(ra0, dec0))
                .solve_inv(Vec2(ra0, dec0));
        EXPECT_NEAR(pixel(1), 100, kReferenceTol) << dec0;
        EXPECT_NEAR(pixel(2), 100, kReferenceTol) << dec0;
    }
    // Found by search: a pixel on the north pole where the sum rounds to 1 + 2^-52.
    double const dec0 = 89.939337301989639, scale = 0.00062090762243883048;
    sci::CCS_TAN const tan(Vec2(0, 0), Mat2::identity(), Vec2(-scale, scale), Vec2(10, dec0));
    Vec2 const sky = tan.solve(Vec2(0, 97.700037521630904));
    EXPECT_FALSE(std::isnan(sky(1)));
    EXPECT_EQ(sky(2), 90.0);
}

}  // namespace
