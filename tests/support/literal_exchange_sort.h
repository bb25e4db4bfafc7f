// The exchange sort run literally, O(n^2): the reference for every ordering
// that must equal it (the fast sort, the flux list, the isolation order). For
// each i < j in turn, key[j] < key[i] swaps the two. Positions from 0.
#pragma once

#include <numeric>
#include <utility>
#include <vector>

namespace testsupport {

// The order (positions from 0) in which the exchange sort leaves the elements of key.
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
