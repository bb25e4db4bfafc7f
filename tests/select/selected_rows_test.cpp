#include "select/selected_rows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <iomanip>
#include <limits>
#include <sstream>

namespace {

sci::MArray<float, 1> floats(std::vector<float> const& v) {
    sci::MArray<float, 1> a(static_cast<int>(v.size()));
    for (size_t k = 0; k < v.size(); ++k) a(static_cast<int>(k) + 1) = v[k];
    return a;
}

TEST(PositionIndex, FirstRowAtExactlyThePosition) {
    float const nan = std::numeric_limits<float>::quiet_NaN();
    PositionIndex const index(floats({1.5f, 2.0f, 1.5f, 0.0f, nan, 7.0f}),
                              floats({3.0f, 4.0f, 3.0f, -0.0f, 1.0f, nan}));
    EXPECT_EQ(index.find(1.5f, 3.0f), 1);  // row 3 repeats it: the first wins
    EXPECT_EQ(index.find(2.0f, 4.0f), 2);
    EXPECT_EQ(index.find(-0.0f, 0.0f), 4);  // -0 equals 0
    EXPECT_EQ(index.find(2.0f, 4.0000005f), 0);
    EXPECT_EQ(index.find(nan, 1.0f), 0);  // positions that are not finite never match
    EXPECT_EQ(index.find(7.0f, nan), 0);
}

// A catalogue of four rows at x = 10k, y = 20k with RA = 100 + k and so on.
Catalogue makeCatalogue() {
    Catalogue c;
    c.N = 4;
    c.x = floats({10, 20, 30, 40});
    c.y = floats({20, 40, 60, 80});
    c.RA = floats({101, 102, 103, 104});
    c.DEC = floats({-1, -2, -3, -4});
    c.flux = floats({1000, 2000, 3000, 4000});
    c.classStar = floats({0.91f, 0.92f, 0.93f, 0.94f});
    c.id = sci::MArray<int, 1>(4);
    c.flag = sci::MArray<int, 1>(4);
    for (int k = 1; k <= 4; ++k) {
        c.id(k) = 70 + k;
        c.flag(k) = k % 2;
    }
    return c;
}

// Stars in the order 3, 1, 4 with the given nchi and FWHM.
SelectedStars makeStars(std::vector<float> const& nchi, std::vector<float> const& fwhm) {
    int const rows[] = {3, 1, 4};
    int const n = static_cast<int>(nchi.size());
    SelectedStars s(n);
    for (int i = 1; i <= n; ++i) {
        s.select_x(i) = 10.0f * rows[i - 1];
        s.select_y(i) = 20.0f * rows[i - 1];
        s.select_closest_dist(i) = 5.0f * i;
        s.select_closest_flux(i) = 500.0f * i;
        s.select_nchi(i) = nchi[i - 1];
        s.select_fwhm(i) = fwhm[i - 1];
    }
    return s;
}

std::string fileRow(int id, float x, float y, float ra, float dec, float flux) {
    char text[160];
    std::snprintf(text, sizeof text, "%8d    %7.8f    %7.8f  %14.8f  %14.8f  %12.8f\n", id, x, y,
                  ra, dec, flux);
    return text;
}

TEST(SubfieldRows, CompletedFromTheCatalogueAndWrittenInOrder) {
    Catalogue const cat = makeCatalogue();
    PositionIndex const index(cat.x, cat.y);
    Parameter P;
    P.id_column = 1;
    P.flag_column = 7;
    P.class_column = 8;
    SelectedStars s = makeStars({1.5f, 1.2f, 1.9f}, {2.5f, 2.1f, 2.3f});
    std::ostringstream file, out;
    file << std::fixed << std::setprecision(8);
    writeSubfieldRows(s, 3, cat, index, P, file, out);
    EXPECT_EQ(file.str(), fileRow(73, 30, 60, 103, -3, 3000) + fileRow(71, 10, 20, 101, -1, 1000) +
                              fileRow(74, 40, 80, 104, -4, 4000));
    EXPECT_EQ(out.str(), "");  // verbose 0: no echo
    EXPECT_EQ(s.select_flag(1), 1);
    EXPECT_EQ(s.select_class(3), 0.94f);

    // By FWHM (also when nchi_sort is set), or by nchi.
    P.fwhm_sort = true;
    P.nchi_sort = true;
    SelectedStars byWidth = makeStars({1.5f, 1.2f, 1.9f}, {2.5f, 2.1f, 2.3f});
    file.str("");
    writeSubfieldRows(byWidth, 3, cat, index, P, file, out);
    EXPECT_EQ(file.str(), fileRow(71, 10, 20, 101, -1, 1000) + fileRow(74, 40, 80, 104, -4, 4000) +
                              fileRow(73, 30, 60, 103, -3, 3000));
    EXPECT_EQ(byWidth.select_closest_dist(1), 10.0f);  // companions moved along

    P.fwhm_sort = false;
    SelectedStars byChi = makeStars({1.5f, 1.2f, 1.9f}, {2.5f, 2.1f, 2.3f});
    file.str("");
    writeSubfieldRows(byChi, 3, cat, index, P, file, out);
    EXPECT_EQ(file.str(), fileRow(71, 10, 20, 101, -1, 1000) + fileRow(73, 30, 60, 103, -3, 3000) +
                              fileRow(74, 40, 80, 104, -4, 4000));
}

TEST(SubfieldRows, FailedAndUnmeasuredStarsWriteNothing) {
    Catalogue const cat = makeCatalogue();
    PositionIndex const index(cat.x, cat.y);
    Parameter P;
    P.id_column = 0;  // running numbers: positions in this subfield's list
    SelectedStars s = makeStars({-1.0f, 1.2f, 0.0f}, {-1.0f, 2.1f, 0.0f});
    std::ostringstream file, out;
    file << std::fixed << std::setprecision(8);
    writeSubfieldRows(s, 3, cat, index, P, file, out);
    EXPECT_EQ(file.str(), fileRow(2, 10, 20, 101, -1, 1000));
    EXPECT_EQ(s.select_class(1), -1.0f);  // no class column
    EXPECT_EQ(s.select_flag(2), -1);      // no flag column
}

TEST(SubfieldRows, SingleSurvivorIsWrittenWithEverySort) {
    Catalogue const cat = makeCatalogue();
    PositionIndex const index(cat.x, cat.y);
    for (bool byFwhm : {false, true}) {
        Parameter P;
        P.id_column = 1;
        P.fwhm_sort = byFwhm;
        P.nchi_sort = !byFwhm;
        P.verbose = 5;
        // Twelve arrays of three stars, of which one survived the rejection.
        SelectedStars s = makeStars({1.2f, 1.5f, 1.9f}, {2.1f, 2.5f, 2.3f});
        for (auto* a : {&s.select_x, &s.select_y, &s.select_closest_dist, &s.select_closest_flux,
                        &s.select_nchi, &s.select_fwhm})
            keepFirst(*a, 1);
        std::ostringstream file, out;
        file << std::fixed << std::setprecision(8);
        writeSubfieldRows(s, 1, cat, index, P, file, out);
        EXPECT_EQ(file.str(), fileRow(73, 30, 60, 103, -3, 3000));
        EXPECT_EQ(out.str().substr(0, 30), "len = 1 1 1 1 1 1 1 1 3 3 1 1\n");
    }
}

TEST(SubfieldRows, VerboseEchoAndDumps) {
    Catalogue const cat = makeCatalogue();
    PositionIndex const index(cat.x, cat.y);
    Parameter P;
    P.id_column = -1;
    P.verbose = 6;
    SelectedStars s = makeStars({1.25f}, {2.5f});
    std::ostringstream file, out;
    file << std::fixed << std::setprecision(8);
    writeSubfieldRows(s, 1, cat, index, P, file, out);
    std::string const text = out.str();
    EXPECT_NE(text.find("len = 1 1 1 1 1 1 1 1 1 1 1 1\n"), std::string::npos);
    EXPECT_NE(text.find("select_x            = MArray<float,1> ( 1 ) : (1,1) \n[ 30.00 ]\n\n"),
              std::string::npos);
    EXPECT_NE(text.find("select_flag         = MArray<int,1> ( 1 ) : (1,1) \n[ -1 ]\n\n"),
              std::string::npos);
    // The echo ends the subfield: header, one row, an empty line.
    std::string const tail =
        "        x          y              RA             DEC          flux    neighbour_dist   "
        "neighbour_flux   neighbour_rel      flags   class_star         nchi         FWHM\n"
        "  30.00      60.00    103.00000000     -3.00000000       3000.00             5.000     "
        "     500.000          0.1667         -1        -1.00         1.25         2.50\n\n";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

}  // namespace
