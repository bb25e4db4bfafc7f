#include "select/run_record.h"

#include <cassert>

#include "fit/moffat.h"
#include "select/flux_limits.h"

namespace selection {

long long FateCounts::rowsRead() const {
    long long n = 0;
    for (long long r : rows) n += r;
    return n;
}

long long FateCounts::stage(Fate f) const {
    if (f == Fate::kSelected) return written;
    long long n = 0;
    for (int g = fateIndex(f) + 1; g < kFateCount; ++g) n += rows[g];
    return n;
}

bool writtenStar(StarRecord const& star) {
    return star.nchi > 0 && star.fwhm > 0;
}

Fate takenStarFate(StarRecord const& star, Fate dropped) {
    if (star.fitStatus == kFitNotMade) return Fate::kNoImage;
    if (star.fitStatus == kFitStampOff) return Fate::kStampOff;
    if (star.fitStatus != fit::kMoffatOk || !writtenStar(star)) return Fate::kFitFailed;
    return dropped;
}

RunRecord::RunRecord(CandidateScreen const& screen, SubfieldGrid const& grid, int checkRadius,
                     sci::MArray<float, 1> const& x, sci::MArray<float, 1> const& y, bool perRow)
    : perRow_(perRow),
      screened_(static_cast<size_t>(static_cast<long long>(grid.nx()) * grid.ny())) {
    int const n = screen.rowCount();
    if (perRow_) {
        fate_.assign(static_cast<size_t>(n), static_cast<unsigned char>(Fate::kNotANumber));
        subfield_.assign(static_cast<size_t>(n), -1);
        rank_.assign(static_cast<size_t>(n), 0);
    }
    std::vector<long long> boxes;
    for (int row = 1; row <= n; ++row) {
        Fate f = screen.screenedFate(row);
        if (f != Fate::kNotANumber) {
            grid.searchBoxesAt(x(x.base() + row - 1), y(y.base() + row - 1), checkRadius, boxes);
            if (boxes.empty()) f = Fate::kOutsideField;
            for (long long b : boxes)
                ++screened_[static_cast<size_t>(b)][fateIndex(f) - fateIndex(Fate::kFluxBand)];
            if (perRow_ && !boxes.empty()) subfield_[row - 1] = boxes.front();
        }
        ++total_.rows[fateIndex(f)];
        if (perRow_) fate_[row - 1] = static_cast<unsigned char>(f);
    }
}

StarRecord const* RunRecord::measured(int row) const {
    auto const it = measured_.find(row);
    return it == measured_.end() ? nullptr : &it->second;
}

// A candidate's fate before any visit is kNotVisited; a visit can only take
// it further.
void RunRecord::reach_(int row, Fate f, long long index, int rank, StarRecord const* star) {
    Fate old = Fate::kNotVisited;
    if (perRow_) {
        old = fate(row);
    } else {
        auto const it = reached_.find(row);
        if (it != reached_.end()) old = it->second;
    }
    if (f <= old) return;
    --total_.rows[fateIndex(old)];
    ++total_.rows[fateIndex(f)];
    if (!perRow_) {
        reached_[row] = f;
        return;
    }
    fate_[row - 1] = static_cast<unsigned char>(f);
    subfield_[row - 1] = index;
    rank_[row - 1] = rank;
    if (star != nullptr && f >= Fate::kStampOff) measured_[row] = *star;
}

FateCounts RunRecord::recordSubfield(long long index, SubfieldCandidates const& found,
                                     std::vector<RefusedVisit> const& refused,
                                     SelectedStars const& s) {
    FateCounts sub;
    auto const& screened = screened_[static_cast<size_t>(index)];
    for (int k = 0; k < kScreenedFates; ++k) sub.rows[fateIndex(Fate::kFluxBand) + k] = screened[k];
    auto visit = [&](int row, int rank, Fate f, StarRecord const* star) {
        --sub.rows[fateIndex(Fate::kNotVisited)];
        ++sub.rows[fateIndex(f)];
        reach_(row, f, index, rank, star);
    };
    for (RefusedVisit const& v : refused) visit(v.row, v.rank, v.fate, nullptr);
    for (StarRecord const& star : s.stars) {
        visit(star.row, star.rank, takenStarFate(star), &star);
        if (writtenStar(star)) ++sub.written;
    }
    for (DroppedStar const& d : s.dropped)
        visit(d.star.row, d.star.rank, takenStarFate(d.star, d.fate), &d.star);
    total_.written += sub.written;

    // The candidates left unvisited take their rank from the first subfield
    // that holds them: the subfield the screening gave them.
    if (perRow_) {
        for (size_t k = 0; k < found.row.size(); ++k) {
            int const row = found.row[k];
            if (fate(row) == Fate::kNotVisited && rank_[row - 1] == 0) {
                assert(subfield_[row - 1] == index);
                rank_[row - 1] = static_cast<int>(k) + 1;
            }
        }
    }
    return sub;
}

}  // namespace selection
