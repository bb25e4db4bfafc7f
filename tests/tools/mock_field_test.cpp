// Mock fields: reproducibility, saturation, bad pixels, pairs, the PSF's variation, the WCS of the
// catalogue against the header written, and the psfpick-mock program's files and exit statuses.
#include "tools/mock_field.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "sci/angles.h"
#include "sci/fits_header.h"
#include "sci/header_wcs.h"
#include "tests/support/float_compare.h"
#include "tests/tools/tool_test_util.h"
#include "tools/fits_image.h"
#include "tools/mock_files.h"

namespace {

using namespace tooltest;

std::string const kMock = tool("psfpick-mock");
using sci::kPi;
// The catalogue prints 4 decimals of a pixel (0.4" pixels: 4e-6 deg at most
// between the printed and the exact position) and 8 of a degree.
constexpr double kCatalogueDegrees = 1e-7;
// Arcseconds: the tangent plane's distortion one pixel from the centre.
constexpr double kScaleArcsec = 1e-6;

tools::MockConfig smallConfig(bool clean = false) {
    tools::MockConfig c;
    c.nx = 200;
    c.ny = 150;
    c.sources = 60;
    c.seed = 9;
    if (clean) {
        c.badColumns = c.badRows = 0;
        c.badPixelFraction = 0;
    }
    return c;
}

// One field with bad columns, rows and pixels, saturated stars and pairs.
TEST(MockField, BadPixelsSaturationAndPairs) {
    tools::MockConfig c = smallConfig();
    c.sources = 100;
    c.badColumns = 3;
    c.badRows = 2;
    c.badPixelFraction = 1e-3;
    c.fluxRange = {1e6, 3e6};
    c.pairFraction = 0.4;
    tools::MockField const f = tools::makeMockField(c);
    // Bad pixels are 0 in both images; at least the distinct columns and rows.
    long zeros = 0;
    for (size_t k = 0; k < f.image.size(); ++k) {
        EXPECT_EQ(f.image[k] == 0.0f, f.error[k] == 0.0f) << "pixel " << k;
        zeros += f.image[k] == 0.0f ? 1 : 0;
    }
    EXPECT_EQ(zeros, f.badPixels);
    EXPECT_GE(zeros, c.ny + c.nx);
    EXPECT_LE(zeros, 3 * c.ny + 2 * c.nx + 30);
    // A peak well above the saturation level is flagged; nothing exceeds the
    // clip level. Partners are close and point back.
    float const clip = static_cast<float>(c.saturation - c.sky);
    long members = 0;
    for (tools::MockSource const& s : f.sources) {
        if (s.peak + c.sky > 1.5 * c.saturation) {
            EXPECT_TRUE(s.saturated) << s.id;
        }
        if (!s.partner) continue;
        ++members;
        tools::MockSource const& p = f.sources[static_cast<size_t>(s.partner - 1)];
        EXPECT_EQ(p.partner, s.id);
        EXPECT_LE(std::hypot(s.x - p.x, s.y - p.y), c.pairSeparation[1] * c.fwhm + 1e-9);
    }
    EXPECT_EQ(members, 40);
    EXPECT_EQ(*std::max_element(f.image.begin(), f.image.end()), clip);
}

// The catalogue's RA and DEC are what a reader of the written header computes
// from the catalogue's pixel positions, with CD or CDELT/CROTA2 keywords.
TEST(MockField, CatalogueSkyPositionsFollowTheWrittenHeader) {
    for (bool const cdelt : {false, true}) {
        TempDir dir;
        tools::MockConfig c = smallConfig();
        c.rotation = 20.0;
        c.cdeltForm = cdelt;
        tools::MockField const f = tools::makeMockField(c);
        std::string const path = dir.file("m.fits");
        tools::writeMockField(f, c, path, dir.file("m.cat"), dir.file("m.truth"));
        sci::FitsHeader const header(path, sci::CardWarnings::kQuiet);
        sci::TanWcs const wcs = sci::readHeaderTanWcs(header, path);
        EXPECT_TRUE(wcs.warnings.empty());
        EXPECT_EQ(wcs.source, cdelt ? sci::LinearKeywords::kCdeltCrota2 : sci::LinearKeywords::kCd);
        // Catalogue rows: id x y RA DEC flux flags class_star.
        std::vector<std::vector<double>> const rows = numberRows(readFile(dir.file("m.cat")), 8);
        EXPECT_EQ(static_cast<long>(rows.size()), c.sources);
        for (std::vector<double> const& r : rows) {
            sci::FVector<double, 2> const sky = wcs.ccs.solve(sci::FVector<double, 2>(r[1], r[2]));
            EXPECT_NEAR(sky(1), r[3], kCatalogueDegrees);
            EXPECT_NEAR(sky(2), r[4], kCatalogueDegrees);
        }
        // North is up: a pixel step in +y raises DEC by the scale (rotation 20).
        sci::FVector<double, 2> const a = wcs.ccs.solve(sci::FVector<double, 2>(100.0, 75.0));
        sci::FVector<double, 2> const b = wcs.ccs.solve(sci::FVector<double, 2>(100.0, 76.0));
        EXPECT_NEAR((b(2) - a(2)) * 3600, c.pixelScale * std::cos(20 * kPi / 180), kScaleArcsec);
    }
}

// A header that promises 100000 x 100000 pixels over a few records is refused
// before anything is allocated, and so is a file cut short.
TEST(FitsImage, RefusesTruncatedFilesBeforeAllocating) {
    TempDir dir;
    std::vector<float> const pixels(20 * 10, 1.0f);
    tools::writeFloatFits(dir.file("ok.fits"), 20, 10, pixels.data(), {});
    std::string const ok = readFile(dir.file("ok.fits"));
    std::string big = ok;
    for (std::string const key : {"NAXIS1  =", "NAXIS2  ="})
        big.replace(big.find(key), 30, key + "               100000");
    for (std::string const& name :
         {dir.write("big.fits", big), dir.write("cut.fits", ok.substr(0, 2880 + 100))})
        EXPECT_EQ(errorOf([&] { tools::readFitsImage(name); }),
                  "image '" + name + "' is shorter than its header says");
    EXPECT_EQ(tools::readFitsImage(dir.file("ok.fits")).pixels, pixels);
}

TEST(MockProgram, WritesImageErrorImageCatalogueAndTruthTheSameForTheSameSeed) {
    TempDir dir;
    std::vector<std::string> const args = {"--size", "128,96", "-n", "40", "--seed", "3"};
    auto mock = [&](std::vector<std::string> names) {
        names.insert(names.end(), args.begin(), args.end());
        RunResult const r = runProgram(kMock, names, dir.path());
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
    };
    mock({"-o", "f.fits"});
    for (char const* name : {"f.fits", "e.f.fits"}) {
        tools::FloatImage const image = tools::readFitsImage(dir.file(name));
        EXPECT_EQ(std::vector<long>({image.nx, image.ny}), std::vector<long>({128, 96})) << name;
    }
    // 40 rows of 8 columns; the truth: 40 rows of 12 columns.
    std::string const cat = readFile(dir.file("f.cat")), truth = readFile(dir.file("f.truth"));
    EXPECT_EQ(numberRows(cat, 8).size(), 40u);
    EXPECT_EQ(numberRows(truth, 12).size(), 40u);
    // The first source as both files write it (this seed's random stream).
    EXPECT_NE(cat.find("\n         1     94.3715     44.2654  202.46511506  +47.19952938       "
                       "1416.834    0  0.776\n"),
              std::string::npos);
    EXPECT_NE(truth.find("\n1 94.47395 44.38447 1520.0678 4.00000 3.60000 30.0000 3.80000 2.9000 "
                         "68.9488 0 0\n"),
              std::string::npos);
    // The same seed writes the same bytes (the truth's first line names the image).
    mock({"-o", "g.fits", "-c", "f2.cat"});
    EXPECT_EQ(readFile(dir.file("g.fits")), readFile(dir.file("f.fits")));
    EXPECT_EQ(readFile(dir.file("f2.cat")), cat);
    EXPECT_EQ(readFile(dir.file("f2.truth")).substr(truth.find('\n')),
              truth.substr(truth.find('\n')));
}

}  // namespace
