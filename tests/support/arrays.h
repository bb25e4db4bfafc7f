// Test data as the libraries' arrays: a std::vector as a one-dimensional
// sci::MArray indexed from 1 (element k of the vector at index k + 1).
#pragma once

#include <vector>

#include "sci/marray.h"

namespace testsupport {

template <class T>
sci::MArray<T, 1> toMArray(std::vector<T> const& values) {
    sci::MArray<T, 1> a(static_cast<int>(values.size()));
    for (size_t k = 0; k < values.size(); ++k) a(static_cast<int>(k) + 1) = values[k];
    return a;
}

}  // namespace testsupport
