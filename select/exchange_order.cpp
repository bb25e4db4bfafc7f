#include "select/exchange_order.h"

#include "sci/marray.h"
#include "sci/parallel_sort.h"

namespace selection {

std::vector<int> exchangeOrder(std::vector<float> const& key) {
    int const n = static_cast<int>(key.size());
    sci::MArray<float, 1> sortedKey(n);
    sci::MArray<int, 1> index(n);
    for (int i = 1; i <= n; ++i) {
        sortedKey(i) = key[static_cast<size_t>(i - 1)];
        index(i) = i - 1;
    }
    sci::sortParallel(sortedKey, index);
    std::vector<int> order(static_cast<size_t>(n));
    for (int i = 1; i <= n; ++i) order[static_cast<size_t>(i - 1)] = index(i);
    return order;
}

}  // namespace selection
