#include "select/selected_rows.h"

#include <cmath>
#include <cstring>
#include <iomanip>

#include "sci/parallel_sort.h"
#include "select/output_table.h"

namespace selection {

PositionIndex::PositionIndex(sci::MArray<float, 1> const& x, sci::MArray<float, 1> const& y) {
    first_.reserve(static_cast<size_t>(x.length()));
    for (int k = x.last(); k >= x.base(); --k)
        if (std::isfinite(x(k)) && std::isfinite(y(k))) first_[key_(x(k), y(k))] = k;
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

int PositionIndex::find(float x, float y) const {
    if (!std::isfinite(x) || !std::isfinite(y)) return 0;
    auto const it = first_.find(key_(x, y));
    return it == first_.end() ? 0 : it->second;
}

namespace {

constexpr float kNoClass = -1.0f;  // select_class without a class column
constexpr int kNoFlag = -1;        // select_flag without a flag column

void dumpArrays(SelectedStars const& s, std::ostream& out) {
    out << std::fixed << std::setprecision(2);
    out << "select_id           = " << s.select_id << "\n\n";
    out << "select_RA           = " << s.select_RA << "\n\n";
    out << "select_DEC          = " << s.select_DEC << "\n\n";
    out << "select_x            = " << s.select_x << "\n\n";
    out << "select_y            = " << s.select_y << "\n\n";
    out << "select_flux         = " << s.select_flux << "\n\n";
    out << "select_closest_dist = " << s.select_closest_dist << "\n\n";
    out << "select_closest_flux = " << s.select_closest_flux << "\n\n";
    out << "select_flag         = " << s.select_flag << "\n\n";
    out << "select_class        = " << s.select_class << "\n\n";
    out << "select_nchi         = " << s.select_nchi << "\n\n";
    out << "select_fwhm         = " << s.select_fwhm << "\n\n";
}

}  // namespace

void writeSubfieldRows(SelectedStars& s, int n, Catalogue const& cat, PositionIndex const& index,
                       Parameter const& P, std::ostream& file, std::ostream& out) {
    // Fresh arrays for what the catalogue supplies; the measured arrays keep
    // exactly the n stars left.
    s.select_RA.makeReference(sci::MArray<float, 1>(n));
    s.select_DEC.makeReference(sci::MArray<float, 1>(n));
    s.select_flux.makeReference(sci::MArray<float, 1>(n));
    if (P.class_column > 0) s.select_class.makeReference(sci::MArray<float, 1>(n));
    if (P.flag_column > 0) s.select_flag.makeReference(sci::MArray<int, 1>(n));
    if (P.id_column > 0) s.select_id.makeReference(sci::MArray<int, 1>(n));
    for (auto* a : {&s.select_x, &s.select_y, &s.select_closest_dist, &s.select_closest_flux,
                    &s.select_nchi, &s.select_fwhm})
        keepFirst(*a, n);

    for (int i = 1; i <= n; ++i) {
        int const j = index.find(s.select_x(i), s.select_y(i));
        if (j == 0) continue;  // cannot happen: the positions were copied from the catalogue
        s.select_RA(i) = cat.RA(j);
        s.select_DEC(i) = cat.DEC(j);
        s.select_flux(i) = cat.flux(j);
        s.select_class(i) = P.class_column >= 1 ? cat.classStar(j) : kNoClass;
        s.select_flag(i) = P.flag_column >= 1 ? cat.flag(j) : kNoFlag;
        if (P.id_column > 0) s.select_id(i) = cat.id(j);
    }

    if (P.verbose > 4) s.writeLengths(out);
    if (P.verbose > 5) dumpArrays(s, out);

    if (P.fwhm_sort)
        sort12(s.select_fwhm, s.select_x, s.select_y, s.select_RA, s.select_DEC, s.select_flux,
               s.select_id, s.select_closest_dist, s.select_closest_flux, s.select_flag,
               s.select_class, s.select_nchi);
    else if (P.nchi_sort)
        sort12(s.select_nchi, s.select_fwhm, s.select_x, s.select_y, s.select_RA, s.select_DEC,
               s.select_flux, s.select_id, s.select_closest_dist, s.select_closest_flux,
               s.select_flag, s.select_class);

    if (P.verbose > 0) writeSelectedEchoHeader(out, P.id_column);
    out << std::fixed;
    for (int i = 1; i <= n; ++i) {
        if (!(s.select_nchi(i) > 0 && s.select_fwhm(i) > 0)) continue;
        StarRow row;
        row.id = s.select_id(i);
        row.x = s.select_x(i);
        row.y = s.select_y(i);
        row.ra = s.select_RA(i);
        row.dec = s.select_DEC(i);
        row.flux = s.select_flux(i);
        row.closestDist = s.select_closest_dist(i);
        row.closestFlux = s.select_closest_flux(i);
        row.flag = s.select_flag(i);
        row.classStar = s.select_class(i);
        row.nchi = s.select_nchi(i);
        row.fwhm = s.select_fwhm(i);
        writeSelectedRow(file, row, i, P.id_column);
        if (P.verbose > 0) writeSelectedEcho(out, row, i, P.id_column);
    }
    if (P.verbose > 0) out << "\n";
}

}  // namespace selection
