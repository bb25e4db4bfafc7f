#include "select/catalogue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "tests/support/temp_dir.h"

namespace {

// Rows: id x y RA DEC mag flag class; the columns the run reads by default.
constexpr char kTable[] =
    "# id x y RA DEC mag flag class\n"
    "7 10.5 20.25 0 0 20 3 0.9\n"
    "8 30 40 0 0 -2.5 0 0.1\n"
    "9 50 60 0 0 0 1 0.5\n";

Parameter pixelRun(testsupport::TempDir const& dir) {
    Parameter P;
    P.input = dir.write("cat.txt", kTable);
    P.id_column = 1;
    P.x_column = 2;
    P.flux_column = 6;
    P.flag_column = 7;
    P.class_column = 8;
    return P;
}

}  // namespace

// Magnitudes become fluxes 10^(-0.4 m) in double, rounded to float; the other
// columns are read as they stand and, without an image, the sky positions are 0.
TEST(ReadCatalogue, PixelPositionsWithMagnitudes) {
    testsupport::TempDir dir;
    Parameter P = pixelRun(dir);
    P.mag = true;
    std::ostringstream out, err;
    Catalogue const c = readCatalogue(P, "", out, err);
    ASSERT_EQ(c.N, 3);
    EXPECT_EQ(c.flux(1), static_cast<float>(std::pow(10.0, -8.0)));
    EXPECT_EQ(c.flux(2), 10.0f);
    EXPECT_EQ(c.flux(3), 1.0f);
    EXPECT_EQ(c.x(1), 10.5f);
    EXPECT_EQ(c.y(1), 20.25f);
    EXPECT_EQ(c.id(3), 9);
    EXPECT_EQ(c.flag(1), 3);
    EXPECT_EQ(c.classStar(2), 0.1f);
    EXPECT_EQ(c.RA(2), 0.0f);
    EXPECT_EQ(c.DEC(3), 0.0f);
    EXPECT_EQ(c.Nv, 0);
    EXPECT_EQ(out.str() + err.str(), "");

    // Without --mag the column is the flux itself.
    P.mag = false;
    EXPECT_EQ(readCatalogue(P, "", out, err).flux(1), 20.0f);
}

// The variable objects are read from the same x and y columns as the catalogue.
TEST(ReadCatalogue, VariableObjectsFromTheCatalogueColumns) {
    testsupport::TempDir dir;
    Parameter P = pixelRun(dir);
    P.variables = dir.write("var.txt", "# x y\n1 5.5 6.5\n2 7 8\n");
    std::ostringstream out, err;
    Catalogue const c = readCatalogue(P, "", out, err);
    ASSERT_EQ(c.Nv, 2);
    EXPECT_EQ(c.vx(1), 5.5f);
    EXPECT_EQ(c.vy(1), 6.5f);
    EXPECT_EQ(c.vy(2), 8.0f);
}
