// Candidate screening: which catalogue rows may serve as standard stars, how
// isolated each is, and the order in which a subfield's candidates are visited.
// Catalogue columns are sci::MArray<..,1>, row k (1-based) at index base + k - 1;
// rows in results are 1-based. Positions in pixels (first pixel = 1), fluxes
// in catalogue units, distances in pixels.
#pragma once

#include <ostream>
#include <vector>

#include "sci/marray.h"
#include "select/fates.h"
#include "select/flux_limits.h"
#include "select/point_tree.h"
#include "select/subfield_grid.h"
#include "select/work_pool.h"

namespace selection {

// The box-independent rules of the screening.
struct ScreeningRules {
    float lowerFlux;  // candidates need lowerFlux <= flux <= upperFlux
    float upperFlux;
    float neighbourFlux;  // neighbours need flux >= neighbourFlux
    bool useFlags;        // flag_column > 0
    int flagLimit;        // candidates need flag <= flagLimit when useFlags
};

// The rules from the flux limits and the flag options.
ScreeningRules screeningRules(FluxLimits const& limits, int flagColumn, int flagLimit);

// The candidates of one subfield.
struct SubfieldCandidates {
    int testCounter = 0;             // rows accepted in the search box
    std::vector<int> row;            // candidates (1-based rows), most isolated first
    std::vector<float> closestDist;  // per row: distance to its nearest neighbour
    std::vector<float> closestFlux;  // per row: that neighbour's flux

    // How many of them the subfield search may visit: testCounter - 1 (the
    // least isolated candidate is never visited), at least 0.
    int visitLimit() const { return testCounter > 1 ? testCounter - 1 : 0; }
    // How many of those listed the search may visit: with refill (--refill)
    // every candidate, else visitLimit().
    int visitable(bool refill) const {
        int const limit = refill ? testCounter : visitLimit();
        return limit < static_cast<int>(row.size()) ? limit : static_cast<int>(row.size());
    }
};

// The screening of one run. A row is a candidate when it takes part (finite
// position and flux), lies farther than one pixel from every variable object
// (dx = x - vx in float, rejected when (double)dx*dx + (double)dy*dy <= 1), has
// a flux within the limits, passes the flag limit, and its nearest neighbour
// has a flux above 0.
//
// Nearest neighbour of row k: among all other rows m that take part and have
// flux >= neighbourFlux, anywhere in the catalogue, the one with the smallest
// squaredDistance(x[k], y[k], x[m], y[m]) below 1e99; among equal distances
// the first in row order. closest_dist = (float)sqrt(d2), closest_flux =
// flux[m]; no such m means no candidate. (Scanning m in row order and
// replacing the best only when dx*dx alone and then d2 are strictly smaller
// picks the same m: d2 >= dx*dx always, so the first test never decides.)
//
// All of this is independent of the subfield and done once, in the
// constructor, with a k-d tree; screenSubfield then touches only the
// candidates in its box. The arrays are copied, not referenced.
class CandidateScreen {
  public:
    // x, y, flux: catalogue columns; flag: read only when rules.useFlags (a row
    // beyond its length fails the flag test); varX, varY: positions of the
    // variable objects, pixels (empty when there are none). With a pool, the
    // neighbour tree is sorted and built, and the neighbours searched, on its
    // threads; the arrays are not touched there.
    CandidateScreen(sci::MArray<float, 1> const& x, sci::MArray<float, 1> const& y,
                    sci::MArray<float, 1> const& flux, sci::MArray<int, 1> const& flag,
                    sci::MArray<float, 1> const& varX, sci::MArray<float, 1> const& varY,
                    ScreeningRules const& rules, WorkPool* pool = nullptr);

    int rowCount() const { return rowCount_; }
    int candidateCount() const { return static_cast<int>(candidateRow_.size()); }
    // The rows (1-based) that are candidates in some box, in row order.
    std::vector<int> candidateRows() const;

    // Per row (1-based): whether it is a candidate in any box, and its
    // closest_dist and closest_flux (0 for a row that is not a candidate).
    bool isCandidate(int row) const;
    // The fate of a row in every search box that holds it, as far as the
    // screening decides it, tested in this order: kNotANumber, kFluxBand,
    // kFlags, kNearVariable, kNotIsolated; a candidate gets kNotVisited, its
    // fate until the subfield search reaches it.
    Fate screenedFate(int row) const;
    float closestDist(int row) const;
    float closestFlux(int row) const;

    // The candidates inside the search box (x < x1, x > x2, y < y1 or y > y2
    // rejects, compared in float) in visit order: the order of their final
    // positions, from the last down, after an exchange sort of all rows by
    // closest_dist (0 for rows that are not accepted here); the first
    // visitLimit() of them, or all testCounter with everyCandidate.
    SubfieldCandidates screenSubfield(PixelBox const& searchBox, bool everyCandidate = false) const;

  private:
    void findVariables_(std::vector<float> const& x, std::vector<float> const& y,
                        std::vector<char>& nearVariable, sci::MArray<float, 1> const& varX,
                        sci::MArray<float, 1> const& varY) const;

    int rowCount_ = 0;
    std::vector<int> candidateRow_;  // 0-based rows, increasing
    std::vector<float> candidateDist_;
    std::vector<float> candidateFlux_;
    // Per row: index into candidateRow_, or for a row that is no candidate
    // -1 - its screened fate.
    std::vector<int> slotOfRow_;
    PointTree candidates_;  // candidate positions, tagged with their index
};

// The warning that a subfield yields fewer stars than asked for, written
// after the screening here and after taking candidates in the driver: the
// warning line, "  <countName>=<count>", "  P.number=<number>" and an empty
// line.
void writeNotEnoughStars(std::ostream& out, char const* countName, int count, int number);

// The report after a subfield's screening: "test_counter=" and the count,
// then, when testCounter < number, the warning about too few stars.
void writeTestCounter(std::ostream& out, int testCounter, int number);

}  // namespace selection
