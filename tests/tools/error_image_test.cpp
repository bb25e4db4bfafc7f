// Error images: the per-pixel formula on a small self-describing image, the
// background estimate on known noise, and the psfpick-errimage program.
#include "tools/error_image.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "sci/fits_card.h"
#include "sci/fits_writer.h"
#include "tests/support/float_compare.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"
#include "tools/fits_image.h"
#include "tools/random.h"

namespace {

using testsupport::runProgram;
using testsupport::TempDir;

std::string const kErrImage = std::string(PSFPICK_TOOLS_DIR) + "/psfpick-errimage";
constexpr double kFloatTolerance = 1e-6;  // float storage of the error values
// The lower-side noise of 50,000 pixels, clipped at 3 sigma, scatters by
// well under 1 %; 2.5 % also covers the clipping bias (about 0.3 %).
constexpr double kNoiseTolerance = 0.025;
// The median sits above 0 by a fraction of the star light's tail.
constexpr double kLevelTolerance = 2.0;
// Products of small exact numbers: at most one rounding.
constexpr double kExact = 1e-15;
// sqrt(sky/gain + rn^2) with the sky estimated from 65,536 pixels: the noise
// estimate scatters by about 0.5 %, its square by 1 %.
constexpr double kSkyNoiseTolerance = 0.03;

// Pixel (x, y) = 100 x + y - 1905: negative, zero (at (19, 5)) and positive values; the
// literal formula err = sqrt(max(v, 0)/g + sky/g + rn^2), 0 where v = 0.
std::vector<float> fixture(long nx, long ny) {
    std::vector<float> v;
    for (long y = 1; y <= ny; ++y)
        for (long x = 1; x <= nx; ++x) v.push_back(static_cast<float>(100 * x + y - 1905));
    return v;
}

double expectedError(double v, double gain, double rn, double sky) {
    if (v == 0.0) return 0.0;
    return std::sqrt(std::max(v, 0.0) / gain + sky / gain + rn * rn);
}

TEST(ErrorImage, FollowsTheFormulaPixelByPixel) {
    std::vector<float> const image = fixture(30, 10);
    std::vector<float> const err = tools::errorImage(image, 2.5, 4.0, 800.0);
    ASSERT_EQ(err.size(), image.size());
    long zeros = 0;
    for (size_t k = 0; k < image.size(); ++k) {
        EXPECT_CLOSE(err[k], expectedError(image[k], 2.5, 4.0, 800.0), kFloatTolerance) << k;
        zeros += image[k] == 0.0f;
    }
    EXPECT_EQ(zeros, 1);
    EXPECT_EQ(err[4 * 30 + 18], 0.0f);  // pixel (19, 5)
}

TEST(ErrorImage, BackgroundEstimateRecoversTheNoise) {
    tools::Random rng(3);
    std::vector<float> image(200000);
    for (float& v : image) v = static_cast<float>(20.0 * rng.normal());
    // A tenth of the pixels carry star light; the side below 0 does not see it.
    for (size_t k = 0; k < image.size(); k += 10) image[k] += 500.0f;
    for (size_t k = 5; k < image.size(); k += 1000) image[k] = 0.0f;  // bad pixels
    tools::BackgroundEstimate const b = tools::estimateBackground(image, 50000);
    EXPECT_NEAR(b.lowerNoise, 20.0, kNoiseTolerance * 20.0);
    EXPECT_NEAR(b.level, 0.0, kLevelTolerance);
    // sky/gain + rn^2 = noise^2.
    EXPECT_CLOSE(tools::skyFromNoise(20.0, 2.0, 5.0), 2.0 * (400.0 - 25.0), kExact);
    EXPECT_EQ(tools::skyFromNoise(3.0, 2.0, 5.0), 0.0);
}

TEST(ErrorImage, BackgroundOfAnAllBadImageIsRefused) {
    std::vector<float> image(100, 0.0f);
    try {
        tools::estimateBackground(image, 100);
        FAIL() << "no exception";
    } catch (std::exception const& e) {
        EXPECT_STREQ(e.what(), "too few non-zero pixels to estimate the background");
    }
}

TEST(ErrImageProgram, WritesTheErrorImageBesideTheImage) {
    TempDir dir;
    std::vector<float> const pixels = fixture(30, 10);
    std::vector<std::string> cards = {sci::FitsFloatCard("GAIN    ", 2.5, false, "").writeCard(),
                                      sci::FitsFloatCard("CRVAL1  ", 12.5, false, "").writeCard()};
    tools::writeFloatFits(dir.file("img.fits"), 30, 10, pixels.data(), cards);
    // The gain from the header, the read noise and the sky given.
    testsupport::RunResult const r =
        runProgram(kErrImage, {"-r", "4", "--sky", "800", "img.fits"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "wrote e.img.fits\n");
    tools::FloatImage const err = tools::readFitsImage(dir.file("e.img.fits"));
    ASSERT_EQ(err.nx, 30);
    ASSERT_EQ(err.ny, 10);
    for (size_t k = 0; k < pixels.size(); ++k)
        EXPECT_CLOSE(err.pixels[k], expectedError(pixels[k], 2.5, 4.0, 800.0), kFloatTolerance);
    // The WCS cards are copied.
    EXPECT_EQ(tools::readWcsCards(dir.file("e.img.fits")),
              tools::readWcsCards(dir.file("img.fits")));
}

TEST(ErrImageProgram, EstimatesTheSkyFromTheNoise) {
    TempDir dir;
    tools::Random rng(8);
    std::vector<float> pixels(256 * 256);
    // sky 1000, gain 2, read noise 5: sigma^2 = 525.
    for (float& v : pixels) v = static_cast<float>(std::sqrt(525.0) * rng.normal());
    tools::writeFloatFits(dir.file("n.fits"), 256, 256, pixels.data(), {});
    testsupport::RunResult const r =
        runProgram(kErrImage, {"-g", "2", "-r", "5", "-o", "err.fits", "n.fits"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    tools::FloatImage const err = tools::readFitsImage(dir.file("err.fits"));
    // Zero-signal pixels carry sqrt(sky/gain + rn^2) = the noise, to the
    // accuracy of the sky estimate (a few percent in sigma^2 from 65536 pixels).
    long checked = 0;
    for (size_t k = 0; k < pixels.size(); ++k)
        if (pixels[k] <= 0) {
            EXPECT_CLOSE(err.pixels[k], std::sqrt(525.0), kSkyNoiseTolerance);
            ++checked;
        }
    EXPECT_GT(checked, 30000);
}

TEST(ErrImageProgram, ReportsMissingFilesAndBadUsage) {
    TempDir dir;
    testsupport::RunResult const missing =
        runProgram(kErrImage, {"-g", "2", "-r", "5", "none.fits"}, dir.path());
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "psfpick-errimage: error: cannot open file 'none.fits' for reading\n");

    std::vector<float> const pixels = fixture(30, 10);
    tools::writeFloatFits(dir.file("img.fits"), 30, 10, pixels.data(), {});
    testsupport::RunResult const noGain = runProgram(kErrImage, {"img.fits"}, dir.path());
    EXPECT_EQ(noGain.status, 2);
    EXPECT_EQ(noGain.err.substr(0, noGain.err.find('\n')),
              "psfpick-errimage: no gain: give --gain (the header of 'img.fits' has no positive "
              "GAIN)");
    for (std::vector<std::string> const& args : {std::vector<std::string>{},
                                                 {"-g", "0", "img.fits"},
                                                 {"--gain", "x", "img.fits"},
                                                 {"img.fits", "other.fits"},
                                                 {"--bogus", "img.fits"}}) {
        testsupport::RunResult const r = runProgram(kErrImage, args, dir.path());
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("\n\nusage: psfpick-errimage [options] IMAGE\n"), std::string::npos)
            << r.err;
    }
}

}  // namespace
