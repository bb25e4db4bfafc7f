// Whole-array reductions of sci::MArray: minimum, maximum and sum, visiting
// the elements in storage order. Scalar and array assignment are members of
// sci::MArray (operator=).
#pragma once

#include <cfloat>

#include "sci/marray.h"

namespace sci {

// The smallest element; starts from the largest finite float
// (3.4028234663852886e38), so an empty array gives that value. An element
// that does not compare less (a NaN) never becomes the result.
template <int N>
float min(MArray<float, N> const& a) {
    float m = FLT_MAX;
    for (float v : a)
        if (v < m) m = v;
    return m;
}

// The largest element; starts from minus the largest finite float, NaNs skipped
// as in min.
template <int N>
float max(MArray<float, N> const& a) {
    float m = -FLT_MAX;
    for (float v : a)
        if (v > m) m = v;
    return m;
}

// The sum of the elements in int arithmetic, 0 for an empty array. An
// overflow wraps around (two's complement) instead of being undefined.
template <int N>
int sum(MArray<int, N> const& a) {
    unsigned s = 0;
    for (int v : a) s += static_cast<unsigned>(v);
    return static_cast<int>(s);
}

}  // namespace sci
