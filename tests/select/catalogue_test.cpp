#include "select/catalogue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "sci/exceptions.h"
#include "sci/fits_writer.h"
#include "tests/support/cards.h"
#include "tests/support/float_compare.h"
#include "tests/support/messages.h"
#include "tests/support/temp_dir.h"

namespace {

using selection::Catalogue;
using selection::FitsFiles;
using selection::Parameter;
using selection::readCatalogue;

// Rows: id x y RA DEC mag flag class; the columns the run reads by default.
constexpr char kTable[] =
    "# id x y RA DEC mag flag class\n"
    "7 10.5 20.25 0 0 20 3 0.9\n"
    "8 30 40 0 0 -2.5 0 0.1\n"
    "9 50 60 0 0 0 1 0.5\n";

// Magnitudes become fluxes 10^(-0.4 m) in double, rounded to float; the other
// columns are read as they stand and, without an image, the sky positions are 0.
TEST(ReadCatalogue, PixelPositionsWithMagnitudes) {
    testsupport::TempDir dir;
    Parameter P;
    P.input = dir.write("cat.txt", kTable);
    P.id_column = 1;
    P.x_column = 2;
    P.flux_column = 6;
    P.flag_column = 7;
    P.class_column = 8;
    P.mag = true;
    std::ostringstream out, err;
    FitsFiles fits;
    Catalogue const c = readCatalogue(P, "", fits, out, err);
    ASSERT_EQ(c.N, 3);
    EXPECT_EQ(std::vector<float>({c.flux(1), c.flux(2), c.flux(3)}),
              std::vector<float>({static_cast<float>(std::pow(10.0, -8.0)), 10.0f, 1.0f}));
    EXPECT_EQ(std::vector<float>({c.x(1), c.y(1), c.classStar(2), c.RA(2), c.DEC(3)}),
              std::vector<float>({10.5f, 20.25f, 0.1f, 0.0f, 0.0f}));
    EXPECT_EQ(std::vector<int>({c.id(3), c.flag(1), c.Nv}), std::vector<int>({9, 3, 0}));
    EXPECT_EQ(out.str() + err.str(), "");

    // Without --mag the column is the flux itself.
    P.mag = false;
    EXPECT_EQ(readCatalogue(P, "", fits, out, err).flux(1), 20.0f);
}

// Tangent point (kRa0, kDec0) degrees at pixel (kCrpix, kCrpix); degrees per
// pixel kScaleX along x (RA falls with x) and kScaleY along y.
constexpr double kRa0 = 150.0;
constexpr double kDec0 = 30.0;
constexpr double kCrpix = 10.0;
constexpr double kScaleX = -1e-3;
constexpr double kScaleY = 2e-3;
// Sky positions are floats near 150 degrees (ulp 1.5e-5); pixels from them
// carry that error divided by the scale.
constexpr double kPixelTol = 2e-3;
constexpr double kDegToRad = 3.14159265358979323846 / 180.0;

// A 20 x 20 image of ones with these cards after the image's own.
std::string writeImage(testsupport::TempDir const& dir, std::vector<std::string> const& extra) {
    std::vector<std::string> cards = sci::fitsImageCards(-32, {20, 20});
    cards.insert(cards.end(), extra.begin(), extra.end());
    std::string const path = dir.file("image.fits");
    sci::writeFitsFile(
        path, sci::fitsHeaderBlock(cards) + sci::fitsDataBlock(std::vector<double>(400, 1.0), -32));
    return path;
}

// Sky positions (x_column = -RA column: RA in column 4, DEC in 5) get pixel
// positions from the image's gnomonic projection, variable objects alike,
// and the run reports the projection's reference values and scales. Along
// the reference row and column: RA = RA0 + atan(xi / cos DEC0), DEC = DEC0 +
// atan(eta), with xi, eta the offsets from the reference pixel in radians.
TEST(ReadCatalogue, PositionsThroughTheImageProjection) {
    testsupport::TempDir dir;
    std::string const image = writeImage(
        dir,
        {"CTYPE1  = 'RA---TAN'", "CTYPE2  = 'DEC--TAN'", testsupport::numberCard("CRVAL1", kRa0),
         testsupport::numberCard("CRVAL2", kDec0), testsupport::numberCard("CRPIX1", kCrpix),
         testsupport::numberCard("CRPIX2", kCrpix), testsupport::numberCard("CDELT1", kScaleX),
         testsupport::numberCard("CDELT2", kScaleY)});
    double const xi = 10 * kScaleX * kDegToRad;   // 10 pixels along x
    double const eta = 10 * kScaleY * kDegToRad;  // 10 pixels along y
    double const ra2 = kRa0 + std::atan(xi / std::cos(kDec0 * kDegToRad)) / kDegToRad;
    double const dec3 = kDec0 + std::atan(eta) / kDegToRad;
    char table[256];
    std::snprintf(table, sizeof table,
                  "# id x y RA DEC flux\n1 10 10 150 30 5\n2 20 10 %.9f 30 6\n3 10 20 150 %.9f 7\n",
                  ra2, dec3);
    Parameter P;
    P.input = dir.write("cat.txt", table);
    P.id_column = 1;
    P.x_column = -4;
    P.flux_column = 6;
    P.variables = dir.write("var.txt", table);
    std::ostringstream skyOut, skyErr;
    FitsFiles fits;
    Catalogue const sky = readCatalogue(P, image, fits, skyOut, skyErr);
    EXPECT_EQ(skyOut.str(), "150 30 10 10 -0.001 0.002\n");
    EXPECT_EQ(skyErr.str(), "");
    ASSERT_EQ(sky.N, 3);
    ASSERT_EQ(sky.Nv, 3);
    double const expectedX[] = {10, 20, 10};
    double const expectedY[] = {10, 10, 20};
    for (int k = 1; k <= 3; ++k) {
        EXPECT_CLOSE(sky.x(k), expectedX[k - 1], kPixelTol) << "row " << k;
        EXPECT_CLOSE(sky.y(k), expectedY[k - 1], kPixelTol) << "row " << k;
        EXPECT_CLOSE(sky.vx(k), expectedX[k - 1], kPixelTol) << "variable " << k;
        EXPECT_CLOSE(sky.vy(k), expectedY[k - 1], kPixelTol) << "variable " << k;
    }
}

// An image that lacks keywords of its projection: the message names the first
// missing keyword, then what the projection is needed for and every keyword
// missing (the first use asks: here the variables table, read first).
TEST(ReadCatalogue, AnImageWithoutItsProjectionSaysWhatItLacksAndWhy) {
    testsupport::TempDir dir;
    std::string const image =
        writeImage(dir, {"CRVAL1  =                  150", "CRVAL2  =                   30",
                         "CRPIX1  =                   10", "CD1_1   =               0.0001",
                         "CDELT2  =               0.0001"});
    Parameter P;
    P.input = dir.write("cat.txt", "1 150 30 5\n");
    P.x_column = -2;
    P.flux_column = 4;
    auto messageOf = [&] {
        FitsFiles fits;
        std::ostringstream out, err;
        return testsupport::messageOf<sci::FitsException>(
            [&] { readCatalogue(P, image, fits, out, err); });
    };
    auto expected = [&image](std::string const& table) {
        return image + ": cannot find keyword 'CDELT1  ' (the " + table +
               " gives RA and DEC (--x_column < 0), and turning them into pixels needs the "
               "image's projection, but the image lacks CRPIX2 and CD2_2 or CDELT1)";
    };
    EXPECT_EQ(messageOf(), expected("catalogue"));
    P.variables = P.input;
    EXPECT_EQ(messageOf(), expected("variables table"));
}

}  // namespace
