#include "select/selected_rows.h"

#include <gtest/gtest.h>

#include <iomanip>
#include <limits>
#include <sstream>

#include "tests/support/arrays.h"

namespace {

using selection::Catalogue;
using selection::Parameter;
using selection::PositionIndex;
using selection::SelectedStars;
using selection::StarRecord;
using selection::StarRow;
using selection::writeSubfieldRows;

using testsupport::toMArray;
using floats = std::vector<float>;

TEST(PositionIndex, FirstRowAtExactlyThePosition) {
    float const nan = std::numeric_limits<float>::quiet_NaN();
    // Asked for every row but the first.
    PositionIndex const index(toMArray(floats{1.5f, 2.0f, 1.5f, 0.0f, nan, 7.0f}),
                              toMArray(floats{3.0f, 4.0f, 3.0f, -0.0f, 1.0f, nan}),
                              {2, 3, 4, 5, 6});
    EXPECT_EQ(index.find(1.5f, 3.0f), 1);  // row 3 repeats it: the first wins
    EXPECT_EQ(index.find(2.0f, 4.0f), 2);
    EXPECT_EQ(index.find(-0.0f, 0.0f), 4);  // -0 equals 0
    EXPECT_EQ(index.find(2.0f, 4.0000005f), 0);
    EXPECT_EQ(index.find(nan, 1.0f), 0);  // positions that are not finite never match
    EXPECT_EQ(index.find(7.0f, nan), 0);

    // Positions of rows not asked for are not found; many rows, each position
    // three times, against the first row found by a scan.
    floats x, y;
    std::vector<int> asked;  // every third row of the second thousand
    for (int k = 0; k < 3000; ++k) {
        x.push_back(static_cast<float>(k % 1000) * 0.25f);
        y.push_back(static_cast<float>((k * 7) % 1000));
        if (k / 1000 == 1 && (k + 1) % 3 == 0) asked.push_back(k + 1);
    }
    PositionIndex const many(toMArray(x), toMArray(y), asked);
    for (int k = 0; k < 3000; ++k)
        EXPECT_EQ(many.find(x[k], y[k]), (k % 1000 + 1001) % 3 ? 0 : k % 1000 + 1) << k + 1;
}

float const kClass[] = {0.91f, 0.92f, 0.93f, 0.94f};

// A catalogue of four rows k = 1..4 at x = 10k, y = 20k with RA = 100 + k,
// DEC = -k, flux 1000k, class kClass, id 70 + k and flag k % 2.
Catalogue makeCatalogue() {
    Catalogue c;
    c.N = 4;
    c.x = toMArray(floats{10, 20, 30, 40});
    c.y = toMArray(floats{20, 40, 60, 80});
    c.RA = toMArray(floats{101, 102, 103, 104});
    c.DEC = toMArray(floats{-1, -2, -3, -4});
    c.flux = toMArray(floats{1000, 2000, 3000, 4000});
    c.classStar = toMArray(floats(kClass, kClass + 4));
    c.id = toMArray(std::vector<int>{71, 72, 73, 74});
    c.flag = toMArray(std::vector<int>{1, 0, 1, 0});
    return c;
}

// writeSubfieldRows on the catalogue above: in the order found, by FWHM (also
// when nchi_sort is set) or by nchi, the companions moving along with the
// sorted key; failed and unmeasured stars (nchi or FWHM not positive) write
// nothing; a single survivor of three is written with every sort. With
// id_column 0 the id is the position in this subfield's list. The stars come
// from catalogue rows 3, 1, 4, star i (from 1) with closest_dist 5i.
TEST(SubfieldRows, CompletedFromTheCatalogueAndWrittenInOrder) {
    struct Case {
        floats nchi, fwhm;
        size_t survivors;
        int idColumn;
        bool fwhmSort, nchiSort;
        std::vector<std::pair<int, int>> written;  // id and catalogue row, in table order
    };
    floats const nchi = {1.5f, 1.2f, 1.9f}, fwhm = {2.5f, 2.1f, 2.3f};
    Case const cases[] = {
        {nchi, fwhm, 3, 1, false, false, {{73, 3}, {71, 1}, {74, 4}}},
        {nchi, fwhm, 3, 1, true, true, {{71, 1}, {74, 4}, {73, 3}}},
        {nchi, fwhm, 3, 1, true, false, {{71, 1}, {74, 4}, {73, 3}}},
        {nchi, fwhm, 3, 1, false, true, {{71, 1}, {73, 3}, {74, 4}}},
        {{-1.0f, 1.2f, 0.0f}, {-1.0f, 2.1f, 0.0f}, 3, 0, false, false, {{2, 1}}},
        {nchi, {0.0f, 2.1f, -1.0f}, 3, 0, false, false, {{2, 1}}},
        {{1.2f, 1.5f, 1.9f}, fwhm, 1, 1, true, false, {{73, 3}}},
        {{1.2f, 1.5f, 1.9f}, fwhm, 1, 1, false, true, {{73, 3}}},
    };
    int const rows[] = {3, 1, 4};
    Catalogue const cat = makeCatalogue();
    PositionIndex const index(cat.x, cat.y, {1, 2, 3, 4});
    for (Case const& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.written));
        Parameter P;
        P.id_column = c.idColumn;
        P.fwhm_sort = c.fwhmSort;
        P.nchi_sort = c.nchiSort;
        P.flag_column = 7 * c.idColumn;
        P.class_column = 8 * c.idColumn;
        SelectedStars s;
        s.taken = 3;
        for (size_t i = 0; i < c.survivors; ++i) {
            StarRecord star;
            star.row = rows[i];
            star.x = 10.0f * star.row;
            star.y = 20.0f * star.row;
            star.closestDist = 5.0f * (i + 1);
            star.nchi = c.nchi[i];
            star.fwhm = c.fwhm[i];
            s.stars.push_back(star);
        }
        std::ostringstream file, out, expected;
        file << std::fixed << std::setprecision(8);
        expected << std::fixed << std::setprecision(selection::kTablePrecision);
        std::vector<StarRow> const table = writeSubfieldRows(s, cat, index, P, file, out);
        for (auto const& [id, k] : c.written) {
            float const f = static_cast<float>(k);
            selection::writeSelectedRow(expected, {id, 10 * f, 20 * f, 100 + f, -f, 1000 * f}, 0,
                                        1);
        }
        EXPECT_EQ(file.str(), expected.str());
        EXPECT_EQ(out.str(), "");
        // The table's first row, written or not, and its place among the stars.
        int const first = c.idColumn ? c.written[0].second : 3;
        EXPECT_EQ(table[0].closestDist, first == 3 ? 5.0f : first == 1 ? 10.0f : 15.0f);
        EXPECT_EQ(table[0].flag, c.idColumn ? first % 2 : -1);
        EXPECT_EQ(table[0].classStar, c.idColumn ? kClass[first - 1] : -1.0f);
    }
}

}  // namespace
