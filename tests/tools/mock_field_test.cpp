// Mock fields: reproducibility, noise against the error image, saturation,
// bad pixels, pairs, the PSF's variation, the WCS of the catalogue against the
// header written, and the psfpick-mock program's files and exit statuses.
#include "tools/mock_field.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <optional>
#include <sstream>

#include "sci/fits_card.h"
#include "sci/fits_header.h"
#include "sci/tan_wcs.h"
#include "tests/support/float_compare.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"
#include "tools/fits_image.h"

namespace {

using testsupport::readFile;
using testsupport::runProgram;
using testsupport::TempDir;

std::string const kMock = std::string(PSFPICK_TOOLS_DIR) + "/psfpick-mock";
constexpr double kPi = 3.141592653589793;
// A few roundings of double arithmetic.
constexpr double kRounding = 1e-15;
// The catalogue prints 4 decimals of a pixel (0.4" pixels: 4e-6 deg at most
// between the printed and the exact position) and 8 of a degree.
constexpr double kCatalogueDegrees = 1e-7;
// Arcseconds: the tangent plane's distortion one pixel from the centre.
constexpr double kScaleArcsec = 1e-6;
// Standard errors of a sample mean or deviation that no correct noise crosses.
constexpr double kSigmas = 5.0;

tools::MockConfig smallConfig() {
    tools::MockConfig c;
    c.nx = 200;
    c.ny = 150;
    c.sources = 60;
    c.seed = 9;
    return c;
}

TEST(MockField, SameSeedGivesTheSameFieldOtherSeedAnother) {
    tools::MockConfig c = smallConfig();
    tools::MockField const a = tools::makeMockField(c);
    tools::MockField const b = tools::makeMockField(c);
    EXPECT_EQ(a.image, b.image);
    EXPECT_EQ(a.error, b.error);
    ASSERT_EQ(a.sources.size(), 60u);
    c.seed = 10;
    tools::MockField const d = tools::makeMockField(c);
    EXPECT_NE(a.image, d.image);
    EXPECT_NE(a.sources[0].x, d.sources[0].x);
}

// Without stars the image is pure noise: mean 0 and standard deviation
// sqrt(sky/gain + readnoise^2), which the error image holds per pixel.
TEST(MockField, NoiseOfAnEmptyFieldMatchesTheErrorImage) {
    tools::MockConfig c = smallConfig();
    c.nx = c.ny = 400;
    c.sources = 1;
    c.fluxRange = {1e-3, 1e-3};
    c.badColumns = c.badRows = 0;
    c.badPixelFraction = 0;
    tools::MockField const f = tools::makeMockField(c);
    double const sigma = std::sqrt(c.sky / c.gain + c.readNoise * c.readNoise);
    double sum = 0, sum2 = 0;
    for (size_t k = 0; k < f.image.size(); ++k) {
        sum += f.image[k];
        sum2 += f.image[k] * static_cast<double>(f.image[k]);
        ASSERT_CLOSE(f.error[k], sigma, 1e-6);
    }
    double const n = static_cast<double>(f.image.size());
    EXPECT_NEAR(sum / n, 0.0, kSigmas * sigma / std::sqrt(n));
    EXPECT_NEAR(std::sqrt(sum2 / n), sigma, kSigmas * sigma / std::sqrt(2 * n));
}

TEST(MockField, BadColumnsRowsAndPixelsAreZeroInBothImages) {
    tools::MockConfig c = smallConfig();
    c.badColumns = 3;
    c.badRows = 2;
    c.badPixelFraction = 1e-3;
    tools::MockField const f = tools::makeMockField(c);
    long zeros = 0;
    for (size_t k = 0; k < f.image.size(); ++k) {
        EXPECT_EQ(f.image[k] == 0.0f, f.error[k] == 0.0f) << "pixel " << k;
        zeros += f.image[k] == 0.0f ? 1 : 0;
    }
    EXPECT_EQ(zeros, f.badPixels);
    // At least the distinct columns and rows (which may coincide) are there.
    EXPECT_GE(zeros, c.ny + c.nx);
    EXPECT_LE(zeros, 3 * c.ny + 2 * c.nx + 30);
    c.badColumns = c.badRows = 0;
    c.badPixelFraction = 0;
    tools::MockField const clean = tools::makeMockField(c);
    EXPECT_EQ(clean.badPixels, 0);
    for (float v : clean.image) ASSERT_NE(v, 0.0f);
}

TEST(MockField, SaturatedStarsAreFlaggedAndClipped) {
    tools::MockConfig c = smallConfig();
    c.fluxRange = {1e6, 3e6};
    c.badColumns = c.badRows = 0;
    c.badPixelFraction = 0;
    tools::MockField const f = tools::makeMockField(c);
    float const clip = static_cast<float>(c.saturation - c.sky);
    long saturated = 0;
    for (tools::MockSource const& s : f.sources) {
        // Peak above the saturation level: flagged, and its centre pixel clips.
        EXPECT_EQ(s.saturated, s.peak + c.sky >= c.saturation || s.saturated) << s.id;
        if (s.peak + c.sky > 1.5 * c.saturation) {
            EXPECT_TRUE(s.saturated);
            long const ix = std::lround(s.x), iy = std::lround(s.y);
            EXPECT_EQ(f.image[static_cast<size_t>((iy - 1) * c.nx + (ix - 1))], clip);
        }
        saturated += s.saturated;
    }
    EXPECT_GT(saturated, 0);
    for (float v : f.image) ASSERT_LE(v, clip);
}

TEST(MockField, PairsAreCloseAndPointAtEachOther) {
    tools::MockConfig c = smallConfig();
    c.sources = 100;
    c.pairFraction = 0.4;
    tools::MockField const f = tools::makeMockField(c);
    long members = 0;
    for (tools::MockSource const& s : f.sources) {
        if (!s.partner) continue;
        ++members;
        tools::MockSource const& p = f.sources[static_cast<size_t>(s.partner - 1)];
        EXPECT_EQ(p.partner, s.id);
        double const d = std::hypot(s.x - p.x, s.y - p.y);
        EXPECT_LE(d, c.pairSeparation[1] * c.fwhm + 1e-9);
    }
    EXPECT_EQ(members, 40);
}

TEST(MockField, PsfVariesLinearlyAcrossTheField) {
    tools::MockConfig c = smallConfig();
    c.fwhmSlope = {2.0, -1.0};
    c.angleSlope = {10.0, 0.0};
    double const xc = 0.5 * (c.nx + 1), yc = 0.5 * (c.ny + 1);
    tools::MoffatShape const centre = tools::mockShapeAt(c, xc, yc);
    EXPECT_CLOSE(centre.fwhm1, c.fwhm, kRounding);
    EXPECT_CLOSE(centre.fwhm2, c.fwhm * (1 - c.ellipticity), kRounding);
    tools::MoffatShape const right = tools::mockShapeAt(c, xc + c.nx, yc);
    EXPECT_CLOSE(right.fwhm1, c.fwhm + 2.0, kRounding);
    EXPECT_CLOSE(right.angle, (c.angle + 10.0) * kPi / 180, kRounding);
    tools::MoffatShape const top = tools::mockShapeAt(c, xc, yc + c.ny);
    EXPECT_CLOSE(top.fwhm1, c.fwhm - 1.0, kRounding);
    c.fwhmSlope = {-20.0, 0.0};  // would reach a negative width
    EXPECT_THROW(tools::makeMockField(c), std::exception);
}

// The catalogue's RA and DEC are what a reader of the written header computes
// from the catalogue's pixel positions.
TEST(MockField, CatalogueSkyPositionsFollowTheWrittenHeader) {
    for (bool const cdelt : {false, true}) {
        TempDir dir;
        tools::MockConfig c = smallConfig();
        c.rotation = 20.0;
        c.cdeltForm = cdelt;
        tools::MockField const f = tools::makeMockField(c);
        std::string const path = dir.file("m.fits");
        tools::writeMockField(f, c, path, dir.file("m.cat"), dir.file("m.truth"));
        sci::FitsHeader const header(path, true, false);
        auto number = [&](std::string const& k) -> std::optional<double> {
            sci::FitsCard const* card = header.findValueCard(k);
            if (!card) return std::nullopt;
            return card->getFloat();
        };
        auto text = [&](std::string const& k) -> std::optional<std::string> {
            sci::FitsCard const* card = header.findValueCard(k);
            if (!card) return std::nullopt;
            return card->getString();
        };
        sci::TanWcs const wcs = sci::readTanWcs(path, number, text);
        EXPECT_TRUE(wcs.warnings.empty());
        EXPECT_EQ(wcs.source, cdelt ? sci::LinearKeywords::kCdeltCrota2 : sci::LinearKeywords::kCd);
        std::ifstream cat(dir.file("m.cat"));
        std::string line;
        long rows = 0;
        while (std::getline(cat, line)) {
            if (line[0] == '#') continue;
            std::istringstream in(line);
            long id = 0;
            int flags = 0;
            double x, y, ra, dec, flux, cls;
            in >> id >> x >> y >> ra >> dec >> flux >> flags >> cls;
            ASSERT_TRUE(in) << line;
            sci::FVector<double, 2> const sky = wcs.ccs.solve(sci::FVector<double, 2>(x, y));
            // The catalogue prints 4 decimals of a pixel and 8 of a degree.
            EXPECT_NEAR(sky(1), ra, kCatalogueDegrees);
            EXPECT_NEAR(sky(2), dec, kCatalogueDegrees);
            ++rows;
        }
        EXPECT_EQ(rows, c.sources);
        // North is up: a pixel step in +y raises DEC by the scale (rotation 20).
        sci::FVector<double, 2> const a = wcs.ccs.solve(sci::FVector<double, 2>(100.0, 75.0));
        sci::FVector<double, 2> const b = wcs.ccs.solve(sci::FVector<double, 2>(100.0, 76.0));
        EXPECT_NEAR((b(2) - a(2)) * 3600, c.pixelScale * std::cos(20 * kPi / 180), kScaleArcsec);
    }
}

TEST(MockField, ErrorImageNameAndExtensions) {
    EXPECT_EQ(tools::errorImageName("a.fits"), "e.a.fits");
    EXPECT_EQ(tools::errorImageName("dir/sub/a.fits"), "dir/sub/e.a.fits");
    EXPECT_EQ(tools::replaceExtension("dir.x/a.fits", ".cat"), "dir.x/a.cat");
    EXPECT_EQ(tools::replaceExtension("dir.x/a", ".cat"), "dir.x/a.cat");
    EXPECT_EQ(tools::replaceExtension(".hidden", ".cat"), ".hidden.cat");
    EXPECT_EQ(tools::replaceExtension("a.b.fits", ".tbl"), "a.b.tbl");
}

std::string readImageError(std::string const& path) {
    try {
        tools::readFitsImage(path);
    } catch (std::exception const& e) {
        return e.what();
    }
    return "";
}

// A header that promises 100000 x 100000 pixels over a few records is refused
// before anything is allocated, and so is a file cut short.
TEST(FitsImage, RefusesTruncatedFilesBeforeAllocating) {
    TempDir dir;
    std::vector<float> const pixels(20 * 10, 1.0f);
    tools::writeFloatFits(dir.file("ok.fits"), 20, 10, pixels.data(), {});
    std::string bytes = readFile(dir.file("ok.fits"));
    std::string const promise = "NAXIS1  =               100000";
    bytes.replace(bytes.find("NAXIS1  ="), promise.size(), promise);
    std::string const naxis2 = "NAXIS2  =               100000";
    bytes.replace(bytes.find("NAXIS2  ="), naxis2.size(), naxis2);
    std::string const big = dir.write("big.fits", bytes);
    EXPECT_EQ(readImageError(big), "image '" + big + "' is shorter than its header says");
    std::string const cut =
        dir.write("cut.fits", readFile(dir.file("ok.fits")).substr(0, 2880 + 100));
    EXPECT_EQ(readImageError(cut), "image '" + cut + "' is shorter than its header says");
    tools::FloatImage const ok = tools::readFitsImage(dir.file("ok.fits"));
    EXPECT_EQ(ok.pixels, pixels);
}

TEST(MockProgram, WritesImageErrorImageCatalogueAndTruth) {
    TempDir dir;
    testsupport::RunResult const r = runProgram(
        kMock, {"-o", "f.fits", "--size", "128,96", "-n", "40", "--seed", "3"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    tools::FloatImage const image = tools::readFitsImage(dir.file("f.fits"));
    tools::FloatImage const error = tools::readFitsImage(dir.file("e.f.fits"));
    EXPECT_EQ(image.nx, 128);
    EXPECT_EQ(image.ny, 96);
    EXPECT_EQ(error.nx, 128);
    EXPECT_EQ(error.ny, 96);
    // 8 header lines and 40 rows of 8 columns; the truth: 3 header lines, 40 rows.
    std::string const cat = readFile(dir.file("f.cat"));
    std::string const truth = readFile(dir.file("f.truth"));
    EXPECT_EQ(std::count(cat.begin(), cat.end(), '\n'), 48);
    EXPECT_EQ(std::count(truth.begin(), truth.end(), '\n'), 43);
    // The same seed writes the same bytes.
    testsupport::RunResult const again = runProgram(
        kMock, {"-o", "g.fits", "-c", "f2.cat", "--size", "128,96", "-n", "40", "--seed", "3"},
        dir.path());
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(readFile(dir.file("g.fits")), readFile(dir.file("f.fits")));
    EXPECT_EQ(readFile(dir.file("f2.cat")), cat);
    EXPECT_FALSE(readFile(dir.file("f2.truth")).empty());
}

TEST(MockProgram, BadUsageExitsWithStatusTwoAndTheUsage) {
    TempDir dir;
    for (std::vector<std::string> const& args : {std::vector<std::string>{"--size", "8"},
                                                 {"--sampling", "box"},
                                                 {"--bogus"},
                                                 {"extra"},
                                                 {"--crval", "10,95"}}) {
        std::vector<std::string> argv;
        argv.insert(argv.end(), args.begin(), args.end());
        testsupport::RunResult const r = runProgram(kMock, argv, dir.path());
        EXPECT_EQ(r.status, 2) << args[0];
        EXPECT_NE(r.err.find("\n\nusage: psfpick-mock [options]\n"), std::string::npos) << r.err;
    }
    testsupport::RunResult const bad = runProgram(kMock, {"--sampling", "box"}, dir.path());
    EXPECT_EQ(bad.err.substr(0, bad.err.find('\n')),
              "psfpick-mock: option '--sampling' expects integrated or centre, not 'box'");
    testsupport::RunResult const help = runProgram(kMock, {"--help"}, dir.path());
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: psfpick-mock [options]\n", 0), 0u);
}

TEST(MockProgram, UnwritableOutputFailsWithStatusOne) {
    TempDir dir;
    testsupport::RunResult const r =
        runProgram(kMock, {"-o", "missing/f.fits", "--size", "32", "-n", "5"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "psfpick-mock: error: cannot open file 'missing/f.fits' for writing\n");
}

}  // namespace
