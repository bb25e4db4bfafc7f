// The rows of one subfield's surviving stars: completed from the catalogue,
// ordered by FWHM or nchi on request, appended to the output table and echoed.
// Catalogue rows are 1-based; positions in FITS pixels (first pixel = 1).
#pragma once

#include <ostream>
#include <unordered_map>
#include <vector>

#include "select/catalogue.h"
#include "select/output_table.h"
#include "select/parameter.h"
#include "select/selected_stars.h"

namespace selection {

// Finds the first catalogue row (1-based) at exactly a pixel position, in
// constant time. Rows whose position is not finite are never found.
class PositionIndex {
  public:
    PositionIndex(sci::MArray<float, 1> const& x, sci::MArray<float, 1> const& y);
    // The first row k with x(k) == x and y(k) == y (float equality), or 0.
    int find(float x, float y) const;

  private:
    static unsigned long long key_(float x, float y);
    std::unordered_map<unsigned long long, int> first_;
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
