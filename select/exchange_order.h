// Sorting a subfield's stars and rows by one key in exactly the order that
// sort7 ... sort12 (sci/parallel_sort.h) leave parallel arrays in: ascending,
// and among equal keys the order of the exchange sort
//     for i: for j > i: if key(j) < key(i) swap elements i and j,
// which is not the starting order in general. Indices are 0-based.
#pragma once

#include <cstddef>
#include <vector>

namespace selection {

// The permutation of that sort on key[0..n-1]: order[k] is the index of the
// element that ends at position k. Computed by sci::sortParallel itself on the
// keys with their indices alongside, so that every key, NaN included, lands
// where the parallel arrays would put it.
std::vector<int> exchangeOrder(std::vector<float> const& key);

// Sorts items by keyOf(item) (a float) in exchangeOrder.
template <class T, class KeyOf>
void sortInExchangeOrder(std::vector<T>& items, KeyOf keyOf) {
    std::vector<float> key;
    key.reserve(items.size());
    for (T const& item : items) key.push_back(keyOf(item));
    std::vector<T> sorted;
    sorted.reserve(items.size());
    for (int k : exchangeOrder(key)) sorted.push_back(items[static_cast<std::size_t>(k)]);
    items.swap(sorted);
}

}  // namespace selection
