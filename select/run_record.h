// What a selecting run did with every catalogue row: the fate of each row,
// the funnel of counts per subfield and in total, and, when asked, per row the
// subfield whose search reached it furthest, its isolation rank there and its
// measurement. Rows are 1-based catalogue rows; subfields are numbered in run
// order from 0 (SubfieldGrid::runIndex).
#pragma once

#include <array>
#include <unordered_map>
#include <vector>

#include "sci/marray.h"
#include "select/fates.h"
#include "select/screening.h"
#include "select/selected_stars.h"
#include "select/subfield_grid.h"

namespace selection {

// Rows counted by fate, and the rows written to the table.
struct FateCounts {
    std::array<long long, kFateCount> rows{};
    long long written = 0;  // table rows: a star taken in two subfields counts twice

    long long rowsRead() const;
    // The rows that survive fate f, the stage after it: those with a later
    // fate; for kSelected the rows written.
    long long stage(Fate f) const;
};

// A candidate that the subfield search reached and refused, with the fate it
// was refused with (kNotStellar, kBadPixel).
struct RefusedVisit {
    int row;
    int rank;  // isolation rank in the subfield, 1 = most isolated
    Fate fate;
};

// The fate of a star that the subfield search took, after its measurement:
// kNoImage when it was not measured, kStampOff, kFitFailed (also for a fit
// that gave no positive nchi and FWHM, which the table does not write), else
// the fate of the rejection stage that dropped it (dropped: kDroppedNchi,
// kDroppedFwhm; none: kSelected).
Fate takenStarFate(StarRecord const& star, Fate dropped = Fate::kSelected);

// Whether the table shows the star: nchi > 0 and FWHM > 0.
bool writtenStar(StarRecord const& star);

class RunRecord {
  public:
    // Screens every row once: its fate as far as the screening decides it
    // (screen.screenedFate), kOutsideField when no search box of grid (with
    // checkRadius) holds it; the box-independent counts of every subfield.
    // x, y: the catalogue positions, pixels. perRow keeps the fate, subfield,
    // rank and measurement of every row (for a report).
    RunRecord(CandidateScreen const& screen, SubfieldGrid const& grid, int checkRadius,
              sci::MArray<float, 1> const& x, sci::MArray<float, 1> const& y, bool perRow);

    // Records subfield `index` once it is written: found, its candidates as
    // screened (every candidate when perRow, for their ranks); refused, the
    // visits that the stellarity and bad-pixel tests refused; s, its taken
    // stars after measurement and rejection. A row reached by two subfields
    // keeps the later fate, of equal fates the first. Returns the subfield's
    // funnel.
    FateCounts recordSubfield(long long index, SubfieldCandidates const& found,
                              std::vector<RefusedVisit> const& refused, SelectedStars const& s);

    // Every row once, at its furthest fate; written counts every table row.
    FateCounts const& total() const { return total_; }

    // Per row (only with perRow): fate, subfield (-1: none), rank (0: none)
    // and the measured star (nullptr unless its fate came from a measurement).
    bool perRow() const { return perRow_; }
    Fate fate(int row) const { return static_cast<Fate>(fate_[row - 1]); }
    long long subfield(int row) const { return subfield_[row - 1]; }
    int rank(int row) const { return rank_[row - 1]; }
    StarRecord const* measured(int row) const;

  private:
    // The box-independent fates a subfield counts: kFluxBand .. kNotVisited.
    static constexpr int kScreenedFates =
        fateIndex(Fate::kNotVisited) - fateIndex(Fate::kFluxBand) + 1;

    void reach_(int row, Fate f, long long index, int rank, StarRecord const* star);

    bool perRow_;
    FateCounts total_;
    std::vector<std::array<int, kScreenedFates>> screened_;  // per subfield
    std::unordered_map<int, Fate> reached_;  // without perRow: the rows visited, by row
    std::vector<unsigned char> fate_;        // with perRow, per row
    std::vector<long long> subfield_;
    std::vector<int> rank_;
    std::unordered_map<int, StarRecord> measured_;
};

}  // namespace selection
