// The twelve parallel arrays of one subfield's selected stars: element i of
// every array belongs to star i (index base 1). Positions in FITS pixels (first
// pixel = 1), RA and DEC in degrees, distances and widths in pixels.
#pragma once

#include <ostream>

#include "sci/marray.h"

namespace selection {

struct SelectedStars {
    // number elements each, all 0.
    explicit SelectedStars(int number);

    sci::MArray<float, 1> select_x, select_y;
    sci::MArray<float, 1> select_RA, select_DEC;
    sci::MArray<float, 1> select_flux;
    sci::MArray<int, 1> select_flag;
    sci::MArray<float, 1> select_closest_dist;  // distance to the nearest qualifying neighbour
    sci::MArray<float, 1> select_closest_flux;  // that neighbour's flux
    sci::MArray<float, 1> select_class;         // stellarity
    sci::MArray<float, 1> select_nchi;          // normalised chi of the profile fit
    sci::MArray<float, 1> select_fwhm;          // mean FWHM of the profile fit
    sci::MArray<int, 1> select_id;

    // "len = " and the last index of each array, in the order id, RA, DEC, x,
    // y, flux, closest_dist, closest_flux, flag, class, nchi, fwhm, then a line end.
    void writeLengths(std::ostream& os) const;
};

// Keeps the first n elements of a (n from 0 to its length) in new storage
// indexed 1..n. Unlike shrink it also takes n = 1 and n = 0, so that after
// every step each array holds exactly the stars that are left.
template <class T>
void keepFirst(sci::MArray<T, 1>& a, int n) {
    if (n > a.length()) n = a.length();
    if (n < 0) n = 0;
    sci::MArray<T, 1> fresh(n);
    for (int i = 1; i <= n; ++i) fresh(i) = a(a.base() + i - 1);
    a.makeReference(fresh);
}

}  // namespace selection
