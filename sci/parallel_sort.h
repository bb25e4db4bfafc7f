// Sorting and compaction of parallel arrays: element k of every array belongs
// to object k. sort7 ... sort12 reorder seven to twelve rank-1 arrays together
// by the first (the key), in exactly the order that the exchange sort
//     for i = lo..hi-1: for j = i+1..hi: if key(j) < key(i) swap elements i and j
// leaves them; shrink cuts one array down to its first n elements.
// Arrays are sci::MArray<T,1> indexed from their base (1 in every use).
#pragma once

#include <cmath>
#include <utility>
#include <vector>

#include "sci/marray.h"

namespace sci {

// The permutation produced by the exchange sort above on key[0..n-1]:
// order[k] is the 0-based starting index of the element that ends at position
// k. The keys must not contain NaN. Cost O(n log n) (see the .cpp file).
std::vector<int> exchangeSortOrder(std::vector<float> const& key);

// How the exchange sort orders one group of equal keys, from starting
// positions alone (the group ends in a block of consecutive positions; this is
// the order inside the block). member: the group's 0-based starting positions,
// strictly increasing; smallerAfter[t]: how many elements with a smaller key
// start after member[t] and before member[t + 1] (for the last member: after
// it, up to the end). Larger keys need not be counted. Returns the members in
// the order they end, first position first. Cost O(g log g) for g members.
std::vector<int> exchangeSortGroupOrder(std::vector<int> const& member,
                                        std::vector<long> const& smallerAfter);

// The same permutation by running the exchange sort itself, O(n^2); valid for
// any keys, NaN included (a comparison with NaN is false, so such an element
// is never moved by that comparison).
std::vector<int> exchangeSortOrderLiteral(std::vector<float> const& key);

namespace detail {

template <class T>
void permute(MArray<T, 1>& a, int lo, std::vector<int> const& order) {
    std::vector<T> moved(order.size());
    for (size_t k = 0; k < order.size(); ++k) moved[k] = a(lo + order[k]);
    for (size_t k = 0; k < order.size(); ++k) a(lo + static_cast<int>(k)) = moved[k];
}

}  // namespace detail

// Reorders key and every companion (each covering key's index range) by
// ascending key, with the exchange sort's order among equal keys.
template <class K, class... C>
void sortParallel(MArray<K, 1>& key, MArray<C, 1>&... companions) {
    int const lo = key.base();
    int const hi = key.last();
    if (lo >= hi) return;
    std::vector<float> keys;
    keys.reserve(static_cast<size_t>(hi - lo + 1));
    bool anyNaN = false;
    for (int i = lo; i <= hi; ++i) {
        keys.push_back(static_cast<float>(key(i)));
        anyNaN = anyNaN || std::isnan(keys.back());
    }
    std::vector<int> const order =
        anyNaN ? exchangeSortOrderLiteral(keys) : exchangeSortOrder(keys);
    detail::permute(key, lo, order);
    (detail::permute(companions, lo, order), ...);
}

}  // namespace sci

// The named instances used by the selection: the key first, then the companions.
template <class... A>
void sort7(A&... arrays) {
    static_assert(sizeof...(A) == 7, "sort7 takes seven arrays");
    sci::sortParallel(arrays...);
}
template <class... A>
void sort8(A&... arrays) {
    static_assert(sizeof...(A) == 8, "sort8 takes eight arrays");
    sci::sortParallel(arrays...);
}
template <class... A>
void sort9(A&... arrays) {
    static_assert(sizeof...(A) == 9, "sort9 takes nine arrays");
    sci::sortParallel(arrays...);
}
template <class... A>
void sort12(A&... arrays) {
    static_assert(sizeof...(A) == 12, "sort12 takes twelve arrays");
    sci::sortParallel(arrays...);
}

// Status codes of shrink.
constexpr int kShrinkDone = 0;      // the array now holds its first n elements
constexpr int kShrinkRefused = -1;  // n > last index, or n < 2: array unchanged

// Cuts a to its elements base..n, in new storage indexed 1..n (a stops
// sharing storage with other views). Refuses n greater than the last index and
// n below 2 (a single element is refused).
template <class T>
int shrink(sci::MArray<T, 1>& a, int n) {
    if (n >= a.base() + a.length() || n < 2) return kShrinkRefused;
    sci::MArray<T, 1> old;
    old.makeReference(a);
    sci::MArray<T, 1> fresh(n);
    for (int i = 1; i <= n; ++i) fresh(i) = old(old.base() + i - 1);
    a.makeReference(fresh);
    return kShrinkDone;
}
