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
    int const n = 3000;
    floats x(n), y(n);
    for (int k = 0; k < n; ++k) {
        x[k] = static_cast<float>(k % 1000) * 0.25f;
        y[k] = static_cast<float>((k * 7) % 1000);
    }
    std::vector<int> asked;  // every third row of the second thousand
    for (int row = 1001; row <= 2000; ++row)
        if (row % 3 == 0) asked.push_back(row);
    PositionIndex const many(toMArray(x), toMArray(y), asked);
    for (int k = 0; k < n; ++k) {
        int const first = k % 1000 + 1;
        EXPECT_EQ(many.find(x[k], y[k]), (first + 1000) % 3 == 0 ? first : 0) << "row " << k + 1;
    }
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
    c.id = sci::MArray<int, 1>(4);
    c.flag = sci::MArray<int, 1>(4);
    for (int k = 1; k <= 4; ++k) {
        c.id(k) = 70 + k;
        c.flag(k) = k % 2;
    }
    return c;
}

// Stars taken from catalogue rows 3, 1, 4 (as many as nchi has values) with
// the given nchi and FWHM, star i (from 1) with closest_dist 5i and
// closest_flux 500i.
SelectedStars makeStars(std::vector<float> const& nchi, std::vector<float> const& fwhm) {
    int const rows[] = {3, 1, 4};
    int const n = static_cast<int>(nchi.size());
    SelectedStars s;
    for (int i = 1; i <= n; ++i) {
        StarRecord star;
        star.row = rows[i - 1];
        star.x = 10.0f * rows[i - 1];
        star.y = 20.0f * rows[i - 1];
        star.closestDist = 5.0f * i;
        star.closestFlux = 500.0f * i;
        star.nchi = nchi[i - 1];
        star.fwhm = fwhm[i - 1];
        s.stars.push_back(star);
    }
    s.taken = n;
    return s;
}

// The table row of catalogue row k under the given id.
std::string fileRow(int id, int k) {
    float const f = static_cast<float>(k);
    std::ostringstream file;
    file << std::fixed << std::setprecision(selection::kTablePrecision);
    selection::writeSelectedRow(file, {id, 10 * f, 20 * f, 100 + f, -f, 1000 * f}, 0, 1);
    return file.str();
}

Parameter params(int idColumn, bool fwhmSort, bool nchiSort, int verbose) {
    Parameter P;
    P.id_column = idColumn;
    P.fwhm_sort = fwhmSort;
    P.nchi_sort = nchiSort;
    P.verbose = verbose;
    return P;
}

struct Written {
    std::string file, out;
    std::vector<StarRow> rows;  // in table order
};

// writeSubfieldRows for the stars of s on the catalogue above.
Written writeRows(SelectedStars const& s, Parameter const& P) {
    static Catalogue const cat = makeCatalogue();
    static PositionIndex const index(cat.x, cat.y, {1, 2, 3, 4});
    std::ostringstream file, out;
    file << std::fixed << std::setprecision(8);
    std::vector<StarRow> rows = writeSubfieldRows(s, cat, index, P, file, out);
    return {file.str(), out.str(), rows};
}

// In the order found, by FWHM (also when nchi_sort is set), or by nchi; the
// companions move along with the sorted key.
TEST(SubfieldRows, CompletedFromTheCatalogueAndWrittenInOrder) {
    struct Case {
        bool fwhmSort, nchiSort;
        std::vector<int> rows;  // catalogue rows in table order
        float firstClosestDist;
    };
    for (Case const& c :
         {Case{false, false, {3, 1, 4}, 5.0f}, Case{true, true, {1, 4, 3}, 10.0f},
          Case{true, false, {1, 4, 3}, 10.0f}, Case{false, true, {1, 3, 4}, 10.0f}}) {
        SCOPED_TRACE(std::to_string(c.fwhmSort) + std::to_string(c.nchiSort));
        Parameter P = params(1, c.fwhmSort, c.nchiSort, 0);
        P.flag_column = 7;
        P.class_column = 8;
        Written const w = writeRows(makeStars({1.5f, 1.2f, 1.9f}, {2.5f, 2.1f, 2.3f}), P);
        std::string expected;
        for (int k : c.rows) expected += fileRow(70 + k, k);
        EXPECT_EQ(w.file, expected);
        EXPECT_EQ(w.out, "");  // verbose 0: no echo
        EXPECT_EQ(w.rows[0].closestDist, c.firstClosestDist);
        EXPECT_EQ(w.rows[0].flag, c.rows[0] % 2);
        EXPECT_EQ(w.rows[2].classStar, kClass[c.rows[2] - 1]);
    }
}

TEST(SubfieldRows, FailedAndUnmeasuredStarsWriteNothing) {
    // id_column 0: running numbers, positions in this subfield's list.
    Written const w =
        writeRows(makeStars({-1.0f, 1.2f, 0.0f}, {-1.0f, 2.1f, 0.0f}), params(0, false, false, 0));
    EXPECT_EQ(w.file, fileRow(2, 1));
    EXPECT_EQ(w.rows[0].classStar, -1.0f);  // no class column
    EXPECT_EQ(w.rows[1].flag, -1);          // no flag column

    // A positive nchi alone is not enough: the FWHM must be positive too.
    SelectedStars const t = makeStars({1.5f, 1.2f, 1.9f}, {0.0f, 2.1f, -1.0f});
    EXPECT_EQ(writeRows(t, params(0, false, false, 0)).file, fileRow(2, 1));
}

TEST(SubfieldRows, SingleSurvivorIsWrittenWithEverySort) {
    for (bool byFwhm : {false, true}) {
        // Three stars taken, of which one survived the rejection.
        SelectedStars s = makeStars({1.2f, 1.5f, 1.9f}, {2.1f, 2.5f, 2.3f});
        s.stars.resize(1);
        Written const w = writeRows(s, params(1, byFwhm, !byFwhm, 5));
        EXPECT_EQ(w.file, fileRow(73, 3));
        EXPECT_EQ(w.out.substr(0, 30), "len = 1 1 1 1 1 1 1 1 3 3 1 1\n");
    }
}

}  // namespace
