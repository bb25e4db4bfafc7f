#include "select/selected_rows.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <iomanip>
#include <type_traits>

#include "select/exchange_order.h"

namespace selection {

namespace {

// The key of a free slot: the bits of a NaN position, which is never stored.
constexpr unsigned long long kFree = ~0ULL;

}  // namespace

PositionIndex::PositionIndex(sci::MArray<float, 1> const& x, sci::MArray<float, 1> const& y,
                             std::vector<int> const& rows) {
    // At most half of the slots are used, so that a probe ends soon.
    size_t slots = 16;
    while (slots < 2 * rows.size()) slots *= 2;
    mask_ = slots - 1;
    keys_.assign(slots, kFree);
    first_.assign(slots, 0);
    for (int row : rows) {
        float const a = x(x.base() + row - 1), b = y(y.base() + row - 1);
        if (std::isfinite(a) && std::isfinite(b)) keys_[slot_(key_(a, b))] = key_(a, b);
    }
    // Rows in order: the first at each stored position claims it.
    long const n = std::min(x.length(), y.length());
    for (long k = 0; k < n; ++k) {
        float const a = x(x.base() + static_cast<int>(k)), b = y(y.base() + static_cast<int>(k));
        if (!std::isfinite(a) || !std::isfinite(b)) continue;
        size_t const s = slot_(key_(a, b));
        if (keys_[s] != kFree && first_[s] == 0) first_[s] = static_cast<int>(k) + 1;
    }
}

unsigned long long PositionIndex::key_(float x, float y) {
    // -0.0 equals 0.0, so both map to the bits of 0.0.
    if (x == 0.0f) x = 0.0f;
    if (y == 0.0f) y = 0.0f;
    unsigned bx = 0, by = 0;
    std::memcpy(&bx, &x, sizeof bx);
    std::memcpy(&by, &y, sizeof by);
    return (static_cast<unsigned long long>(bx) << 32) | by;
}

size_t PositionIndex::slot_(unsigned long long key) const {
    // The finaliser of MurmurHash3 spreads neighbouring positions over the table.
    unsigned long long h = key;
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    size_t s = static_cast<size_t>(h) & mask_;
    while (keys_[s] != kFree && keys_[s] != key) s = (s + 1) & mask_;
    return s;
}

int PositionIndex::find(float x, float y) const {
    if (!std::isfinite(x) || !std::isfinite(y)) return 0;
    return first_[slot_(key_(x, y))];
}

namespace {

// The table row of a star. The row that describes it is the first catalogue
// row at exactly its position (float equality): when rows share a position,
// the table shows the RA, DEC, flux, id, flag and class of the first of them,
// whichever of them was taken. The taken row lies at that position and its
// position is finite, so the row found is star.row or an earlier one.
StarRow completeRow(StarRecord const& star, Catalogue const& cat, PositionIndex const& index,
                    Parameter const& P) {
    int const j = index.find(star.x, star.y);
    assert(j >= 1 && j <= star.row);
    StarRow row;
    if (P.id_column > 0) row.id = cat.id(j);
    row.x = star.x;
    row.y = star.y;
    row.ra = cat.RA(j);
    row.dec = cat.DEC(j);
    row.flux = cat.flux(j);
    row.closestDist = star.closestDist;
    row.closestFlux = star.closestFlux;
    row.flag = P.flag_column > 0 ? cat.flag(j) : kNoFlag;
    row.classStar = P.class_column > 0 ? cat.classStar(j) : kNoClassStar;
    row.nchi = star.nchi;
    row.fwhm = star.fwhm;
    return row;
}

// One column of the rows as an array of length elements (index base 1):
// value(row) for the rows there are, 0 for the rest.
template <class Value>
auto column(std::vector<StarRow> const& rows, int length, Value value) {
    sci::MArray<std::invoke_result_t<Value, StarRow const&>, 1> a(length);
    for (int i = 1; i <= length && i <= static_cast<int>(rows.size()); ++i)
        a(i) = value(rows[static_cast<size_t>(i - 1)]);
    return a;
}

// The debug dump of the twelve per-star columns, each as an array of its
// length in c: a column the catalogue lacks shows 0 beyond the stars left.
void dumpColumns(std::ostream& out, std::vector<StarRow> const& rows, ColumnLengths const& c) {
    auto dump = [&out, &rows](char const* label, int length, auto value) {
        out << label << column(rows, length, value) << "\n\n";
    };
    out << std::fixed << std::setprecision(2);
    dump("select_id           = ", c.id, [](StarRow const& r) { return r.id; });
    dump("select_RA           = ", c.raDecFlux, [](StarRow const& r) { return r.ra; });
    dump("select_DEC          = ", c.raDecFlux, [](StarRow const& r) { return r.dec; });
    dump("select_x            = ", c.measured, [](StarRow const& r) { return r.x; });
    dump("select_y            = ", c.measured, [](StarRow const& r) { return r.y; });
    dump("select_flux         = ", c.raDecFlux, [](StarRow const& r) { return r.flux; });
    dump("select_closest_dist = ", c.measured, [](StarRow const& r) { return r.closestDist; });
    dump("select_closest_flux = ", c.measured, [](StarRow const& r) { return r.closestFlux; });
    dump("select_flag         = ", c.flag, [](StarRow const& r) { return r.flag; });
    dump("select_class        = ", c.classStar, [](StarRow const& r) { return r.classStar; });
    dump("select_nchi         = ", c.measured, [](StarRow const& r) { return r.nchi; });
    dump("select_fwhm         = ", c.measured, [](StarRow const& r) { return r.fwhm; });
}

}  // namespace

std::vector<StarRow> writeSubfieldRows(SelectedStars const& s, Catalogue const& cat,
                                       PositionIndex const& index, Parameter const& P,
                                       std::ostream& file, std::ostream& out) {
    std::vector<StarRow> rows;
    rows.reserve(s.stars.size());
    for (StarRecord const& star : s.stars) rows.push_back(completeRow(star, cat, index, P));

    ColumnLengths const lengths =
        completedLengths(s, P.id_column > 0, P.flag_column > 0, P.class_column > 0);
    if (P.verbose > 4) writeLengths(out, lengths);
    if (P.verbose > 5) dumpColumns(out, rows, lengths);

    if (P.fwhm_sort)
        sortInExchangeOrder(rows, [](StarRow const& r) { return r.fwhm; });
    else if (P.nchi_sort)
        sortInExchangeOrder(rows, [](StarRow const& r) { return r.nchi; });

    if (P.verbose > 0) writeSelectedEchoHeader(out, P.id_column);
    out << std::fixed;
    for (size_t k = 0; k < rows.size(); ++k) {
        StarRow const& row = rows[k];
        if (!(row.nchi > 0 && row.fwhm > 0)) continue;
        int const running = static_cast<int>(k) + 1;
        writeSelectedRow(file, row, running, P.id_column);
        if (P.verbose > 0) writeSelectedEcho(out, row, running, P.id_column);
    }
    if (P.verbose > 0) out << "\n";
    return rows;
}

}  // namespace selection
