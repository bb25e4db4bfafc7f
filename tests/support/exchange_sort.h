// The exchange sort written out literally, the reference of the tests of the
// program's n log n orderings:
//     for i = 0..n-2: for j = i+1..n-1: if key[j] < key[i] swap elements i and j
// Indices start at 0.
#pragma once

#include <numeric>
#include <utility>
#include <vector>

namespace testsupport {

// order[k]: the starting index of the element that the exchange sort leaves at
// position k (sorted keys: key[order[0]], key[order[1]], ...). Any keys, NaN
// included: a comparison with NaN is false.
inline std::vector<int> literalExchangeOrder(std::vector<float> key) {
    std::vector<int> order(key.size());
    std::iota(order.begin(), order.end(), 0);
    for (size_t i = 0; i + 1 < key.size(); ++i)
        for (size_t j = i + 1; j < key.size(); ++j)
            if (key[j] < key[i]) {
                std::swap(key[i], key[j]);
                std::swap(order[i], order[j]);
            }
    return order;
}

}  // namespace testsupport
