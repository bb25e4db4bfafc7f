#include "sci/parallel_sort.h"

#include <algorithm>
#include <numeric>

#include "sci/fenwick.h"

namespace sci {

// How the exchange sort orders a group of equal keys.
//
// The sort ends ascending, so each group of equal keys fills a known block of
// positions; only the order inside the group needs work, and it follows from
// the starting positions alone. Walk the starting positions q of all elements
// with a smaller key in increasing order: at each q, the member with the
// smallest current position moves to position q if it lies before q; members
// never move otherwise; at the end the group is ordered by position.
//
// Seen as a queue ordered by position, a member joins at the back when the
// walk passes its starting position, and each q met while the queue is not
// empty moves the front member to the back (all queued members lie before q).
// Between two arrivals the queue only rotates, by the number of smaller-keyed
// positions in between (smallerAfter). The queue is kept as a circular
// sequence with a head index: a rotation moves the head, an arrival is an
// insertion just before the head. The insertions are replayed offline in
// reverse (the member inserted at index ins[t] takes the ins[t]-th free slot).
// Cost O(g log g) for a group of g members.
std::vector<int> exchangeSortGroupOrder(std::vector<int> const& member,
                                        std::vector<long> const& smallerAfter) {
    int const g = static_cast<int>(member.size());
    if (g <= 1) return member;
    long total = 0;
    for (int t = 0; t < g; ++t) total += smallerAfter[t];
    // Nothing smaller: the group keeps its starting order.
    if (total == 0) return member;

    std::vector<int> insertAt(static_cast<size_t>(g), 0);
    long head = 0;
    for (int t = 1; t < g; ++t) {
        head = (head + smallerAfter[t - 1]) % t;
        insertAt[t] = static_cast<int>(head);
        head = head + 1;
    }
    head = (head + smallerAfter[g - 1]) % g;

    Fenwick free(g);
    for (int s = 0; s < g; ++s) free.add(s, 1);
    std::vector<int> sequence(static_cast<size_t>(g), 0);
    for (int t = g - 1; t >= 0; --t) {
        int const slot = free.kth(insertAt[t]);
        sequence[slot] = member[t];
        free.add(slot, -1);
    }
    std::vector<int> order(static_cast<size_t>(g));
    for (int k = 0; k < g; ++k) order[k] = sequence[(head + k) % g];
    return order;
}

// The groups in ascending key order; the smaller-keyed starting positions
// between members are counted with a Fenwick tree. O(n log n) in all.
std::vector<int> exchangeSortOrder(std::vector<float> const& key) {
    int const n = static_cast<int>(key.size());
    std::vector<int> byKey(static_cast<size_t>(n));
    std::iota(byKey.begin(), byKey.end(), 0);
    std::stable_sort(byKey.begin(), byKey.end(), [&key](int a, int b) { return key[a] < key[b]; });

    std::vector<int> order(static_cast<size_t>(n));
    Fenwick smaller(n);  // marks the starting positions of already placed (smaller) keys
    int placed = 0;
    std::vector<int> member;
    std::vector<long> smallerAfter;
    for (int start = 0; start < n;) {
        int end = start + 1;
        while (end < n && !(key[byKey[start]] < key[byKey[end]])) ++end;
        int const g = end - start;
        member.assign(byKey.begin() + start, byKey.begin() + end);  // increasing
        smallerAfter.assign(static_cast<size_t>(g), 0);
        for (int t = 0; t + 1 < g; ++t)
            smallerAfter[t] = smaller.prefix(member[t + 1] - 1) - smaller.prefix(member[t]);
        smallerAfter[g - 1] = placed - smaller.prefix(member[g - 1]);
        std::vector<int> const groupOrder = exchangeSortGroupOrder(member, smallerAfter);
        std::copy(groupOrder.begin(), groupOrder.end(), order.begin() + start);
        for (int k = start; k < end; ++k) smaller.add(byKey[k], 1);
        placed += g;
        start = end;
    }
    return order;
}

std::vector<int> exchangeSortOrderLiteral(std::vector<float> const& key) {
    int const n = static_cast<int>(key.size());
    std::vector<float> k = key;
    std::vector<int> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    for (int i = 0; i < n - 1; ++i)
        for (int j = i + 1; j < n; ++j)
            if (k[i] > k[j]) {
                std::swap(k[i], k[j]);
                std::swap(order[i], order[j]);
            }
    return order;
}

}  // namespace sci
