// Error images: the background estimate and the sky it gives, and
// psfpick-errimage's per-pixel formula on chosen pixels of a self-describing image.
#include "tools/error_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "sci/fits_card.h"
#include "tests/support/float_compare.h"
#include "tests/tools/tool_test_util.h"
#include "tools/fits_image.h"

namespace {

using namespace tooltest;

std::string const kErrImage = tool("psfpick-errimage");
constexpr double kFloatTolerance = 1e-6;  // float storage of the error values
constexpr double kExact = 1e-15;          // products of small exact numbers

// err = sqrt(max(v, 0)/gain + sky/gain + rn^2), 0 on a bad (zero) pixel; with
// gain 2.5, read noise 4 and sky 800 the constant part is 320 + 16 = 336.
struct Pixel {
    long x, y;
    double error;
};
std::vector<Pixel> const kExpected = {{1, 1, std::sqrt(336.0)},            // v = -1804
                                      {19, 5, 0.0},                        // v = 0: bad
                                      {20, 1, std::sqrt(96 / 2.5 + 336)},  // v = 96
                                      {30, 10, std::sqrt(442.0 + 336)}};   // v = 1105

// Forty values k + 1/4, k = -20..19: an even count, so the median is the
// mean of the two middle values, -1/4; deviations from it 1/2..39/2 in pairs
// (MAD 10; no value clipped). |median| < noise marks a sky-subtracted image,
// so the lower side is measured from 0: the 20 negative values lie 3/4..79/4
// below it, median 41/4.
TEST(ErrorImage, BackgroundOfEvenCountAndLowerSideFromZero) {
    std::vector<float> image;
    for (int k = -20; k < 20; ++k) image.push_back(static_cast<float>(k) + 0.25f);
    tools::BackgroundEstimate const b = tools::estimateBackground(image, image.size());
    EXPECT_CLOSE(b.level, -0.25, kExact);
    EXPECT_CLOSE(b.noise, tools::kMadToSigma * 10.0, kExact);
    EXPECT_CLOSE(b.lowerNoise, tools::kMadToSigma * 10.25, kExact);
    EXPECT_EQ(b.pixels, image.size());
    // sky/gain + rn^2 = noise^2, never below 0.
    EXPECT_CLOSE(tools::skyFromNoise(20.0, 2.0, 5.0), 2.0 * (400.0 - 25.0), kExact);
    EXPECT_EQ(tools::skyFromNoise(3.0, 2.0, 5.0), 0.0);
    EXPECT_EQ(messageOf([] { tools::estimateBackground(std::vector<float>(100, 0.0f), 100); }),
              "too few non-zero pixels to estimate the background");
}

// The gain from the header, the read noise and the sky given.
TEST(ErrImageProgram, WritesTheErrorImageBesideTheImage) {
    TempDir dir;
    // 30 x 10 pixels, (x, y) = 100 x + y - 1905: negative, zero (at (19, 5)) and positive.
    std::vector<float> pixels;
    for (long y = 1; y <= 10; ++y)
        for (long x = 1; x <= 30; ++x) pixels.push_back(static_cast<float>(100 * x + y - 1905));
    std::vector<std::string> cards = {sci::FitsFloatCard("GAIN    ", 2.5, false, "").writeCard(),
                                      sci::FitsFloatCard("CRVAL1  ", 12.5, false, "").writeCard()};
    tools::writeFloatFits(dir.file("img.fits"), 30, 10, pixels.data(), cards);
    RunResult const r = runProgram(kErrImage, {"-r", "4", "--sky", "800", "img.fits"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "wrote e.img.fits\n");
    tools::FloatImage const err = tools::readFitsImage(dir.file("e.img.fits"));
    ASSERT_EQ(std::vector<long>({err.nx, err.ny, static_cast<long>(err.pixels.size())}),
              std::vector<long>({30, 10, 300}));
    for (Pixel const& p : kExpected)
        EXPECT_CLOSE(err.pixels[static_cast<size_t>((p.y - 1) * 30 + p.x - 1)], p.error,
                     kFloatTolerance)
            << p.x << "," << p.y;
    EXPECT_EQ(std::count(err.pixels.begin(), err.pixels.end(), 0.0f), 1);
    // The WCS cards are copied.
    EXPECT_EQ(tools::readWcsCards(dir.file("e.img.fits")),
              tools::readWcsCards(dir.file("img.fits")));
}

}  // namespace
