// The rows of one subfield's surviving stars: completed from the catalogue,
// ordered by FWHM or nchi on request, appended to the output table and echoed.
// Catalogue rows are 1-based; positions in FITS pixels (first pixel = 1).
#pragma once

#include <ostream>
#include <vector>

#include "select/catalogue.h"
#include "select/output_table.h"
#include "select/parameter.h"
#include "select/selected_stars.h"

namespace selection {

// Finds the first catalogue row (1-based) at exactly the position of one of
// a given set of rows, in constant time. It is built with one pass over the
// catalogue that looks each row's position up among the positions of the
// set (an open-addressing hash table of their bits), so that only the set is
// stored. Rows whose position is not finite are never found.
class PositionIndex {
  public:
    // rows: the rows (1-based, within x and y) whose positions find will be
    // asked for.
    PositionIndex(sci::MArray<float, 1> const& x, sci::MArray<float, 1> const& y,
                  std::vector<int> const& rows);
    // The first row k with x(k) == x and y(k) == y (float equality) when
    // (x, y) is the position of one of the rows; else 0.
    int find(float x, float y) const;

  private:
    static unsigned long long key_(float x, float y);
    // The slot of key, or the free slot where it would go.
    size_t slot_(unsigned long long key) const;

    std::vector<unsigned long long> keys_;  // kFree in a free slot
    std::vector<int> first_;                // per slot: the first row at its position
    size_t mask_ = 0;                       // slots - 1, a power of 2 less 1
};

// Completes the rows of the stars of s from the catalogue, orders them when P
// asks (FWHM before nchi), and writes a row for each star with nchi > 0 and
// FWHM > 0 to file, echoed on out when P.verbose > 0. A star's RA, DEC, flux,
// id, flag and class are those of the first catalogue row at exactly its
// position (found with index). Leaves out in fixed notation. Returns the
// completed rows in table order, the unwritten ones included.
std::vector<StarRow> writeSubfieldRows(SelectedStars const& s, Catalogue const& cat,
                                       PositionIndex const& index, Parameter const& P,
                                       std::ostream& file, std::ostream& out);

}  // namespace selection
