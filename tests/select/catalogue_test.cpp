#include "select/catalogue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

using selection::Catalogue;
using selection::FitsFiles;
using selection::Parameter;
using selection::readCatalogue;

// Magnitudes become fluxes 10^(-0.4 m) in double, rounded to float; without
// --mag the column is the flux itself.
TEST(ReadCatalogue, PixelPositionsWithMagnitudes) {
    testsupport::TempDir dir;
    Parameter P;
    P.input = dir.write("cat.txt",
                        "# id x y RA DEC mag\n7 10.5 20.25 0 0 20\n8 30 40 0 0 -2.5\n"
                        "9 50 60 0 0 0\n");
    P.x_column = 2;
    P.flux_column = 6;
    P.mag = true;
    std::ostringstream out, err;
    FitsFiles fits;
    Catalogue const c = readCatalogue(P, "", fits, out, err);
    ASSERT_EQ(c.N, 3);
    EXPECT_EQ(std::vector<float>({c.flux(1), c.flux(2), c.flux(3)}),
              std::vector<float>({static_cast<float>(std::pow(10.0, -8.0)), 10.0f, 1.0f}));
    EXPECT_EQ(out.str() + err.str(), "");
    P.mag = false;
    EXPECT_EQ(readCatalogue(P, "", fits, out, err).flux(2), -2.5f);
}

}  // namespace
