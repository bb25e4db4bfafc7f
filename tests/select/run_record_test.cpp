#include "select/run_record.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

#include "fit/moffat.h"
#include "tests/support/arrays.h"

namespace {

using selection::Fate;
using selection::FateCounts;
using selection::RefusedVisit;
using selection::RunRecord;
using selection::SelectedStars;
using selection::StarRecord;

// A field 1..20 x 1..10 in two subfields whose search boxes, 1..11 and
// 11..20, share the column x = 11. Rows (1-based): 1 at x = 11 in both boxes,
// 2 and 3 in the first, 4 in the second, 5 outside both, 6 without a
// position, 7 too faint; every row is 1 pixel or more from the others.
struct TwoBoxes {
    std::vector<float> x = {11, 3, 6, 16, 30, std::nanf(""), 8};
    std::vector<float> y = {5, 5, 5, 5, 5, 5, 8};
    std::vector<float> flux = {10, 10, 10, 10, 10, 10, 1};
    std::ostringstream err;
    selection::SubfieldGrid grid{{1, 20, 1, 10}, 2, 1, 0, err};
    selection::CandidateScreen screen{testsupport::toMArray(x),    testsupport::toMArray(y),
                                      testsupport::toMArray(flux), sci::MArray<int, 1>(),
                                      sci::MArray<float, 1>(),     sci::MArray<float, 1>(),
                                      {5, 100, 0, false, 0}};
    RunRecord record(bool perRow) {
        return RunRecord(screen, grid, 0, testsupport::toMArray(x), testsupport::toMArray(y),
                         perRow);
    }
};

StarRecord fitted(int row, int rank) {
    StarRecord star;
    star.row = row;
    star.rank = rank;
    star.fitStatus = fit::kMoffatOk;
    star.nchi = 1.0f;
    star.fwhm = 2.0f;
    return star;
}

// The stages that a run without the optional cuts counts.
std::vector<long long> stages(FateCounts const& c) {
    std::vector<long long> s = {c.rowsRead()};
    for (int f = 0; f < selection::kFateCount; ++f)
        if (selection::stageCounted(static_cast<Fate>(f), selection::Parameter{}))
            s.push_back(c.stage(static_cast<Fate>(f)));
    return s;
}

// A row in two search boxes takes the fate of the subfield that reached it
// furthest; of equal fates, the first subfield's. The total counts it once,
// the written rows twice.
TEST(RunRecord, ARowInTwoBoxesKeepsItsFurthestFate) {
    TwoBoxes t;
    RunRecord record = t.record(true);
    selection::SubfieldCandidates const first =
        t.screen.screenSubfield(t.grid.searchBox(1, 1, 0), true);
    selection::SubfieldCandidates const second =
        t.screen.screenSubfield(t.grid.searchBox(2, 1, 0), true);
    // First subfield: row 1 not visited, row 2 refused, row 3 selected.
    SelectedStars a;
    a.stars = {fitted(3, 2)};
    FateCounts const fa = record.recordSubfield(0, first, {{2, 1, Fate::kNotStellar}}, a);
    // Second subfield: row 1 selected, row 4 dropped.
    SelectedStars b;
    b.stars = {fitted(1, 1)};
    b.dropped = {{fitted(4, 2), Fate::kDroppedNchi}};
    FateCounts const fb = record.recordSubfield(1, second, {}, b);

    // Stages: rows, taking part, in the field, in the band, flags, variables,
    // candidates, visited, stellar, bad pixels, image, stamp, fitted, kept
    // after nchi and FWHM, written. The first box holds rows 1, 2, 3 and 7
    // (too faint), the second rows 1 and 4.
    EXPECT_EQ(stages(fa), (std::vector<long long>{4, 4, 4, 3, 3, 3, 3, 2, 1, 1, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(stages(fb), (std::vector<long long>{2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 1, 1, 1}));
    // In total: 7 rows, 6 taking part (not row 6), 5 in the field (not row
    // 5), 4 in the band (not row 7), all 4 visited, 3 stellar (not row 2),
    // 2 kept (row 4 dropped): rows 1 and 3, and 2 written.
    EXPECT_EQ(stages(record.total()),
              (std::vector<long long>{7, 6, 5, 4, 4, 4, 4, 4, 3, 3, 3, 3, 3, 2, 2, 2}));
    EXPECT_EQ(record.total().written, 2);

    EXPECT_EQ(record.fate(1), Fate::kSelected);
    EXPECT_EQ(record.subfield(1), 1);
    EXPECT_EQ(record.rank(1), 1);
    EXPECT_EQ(record.fate(2), Fate::kNotStellar);
    EXPECT_EQ(record.fate(4), Fate::kDroppedNchi);
    EXPECT_NE(record.measured(4), nullptr);
    EXPECT_EQ(record.measured(2), nullptr);
    EXPECT_EQ(record.fate(5), Fate::kOutsideField);
    EXPECT_EQ(record.subfield(5), -1);

    // Equal fates: the first subfield's. Without per-row records the totals
    // are the same.
    RunRecord again = t.record(false);
    SelectedStars one, two;
    one.stars = {fitted(1, 3)};
    two.stars = {fitted(1, 1)};
    again.recordSubfield(0, first, {}, one);
    again.recordSubfield(1, second, {}, two);
    RunRecord tie = t.record(true);
    tie.recordSubfield(0, first, {}, one);
    tie.recordSubfield(1, second, {}, two);
    EXPECT_EQ(tie.subfield(1), 0);
    EXPECT_EQ(tie.rank(1), 3);
    EXPECT_EQ(stages(again.total()), stages(tie.total()));
    EXPECT_EQ(again.total().written, 2);
}

}  // namespace
