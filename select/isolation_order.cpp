#include "select/isolation_order.h"

#include <algorithm>
#include <cassert>
#include <numeric>

#include "sci/fenwick.h"
#include "sci/parallel_sort.h"

namespace selection {

// Groups of equal positive keys are handled from the largest key down. While
// the group of key v is handled, the Fenwick tree marks the slots (indices
// into row) of the listed rows with a key > v. For members at starting
// positions p < q (consecutive in the group), the smaller-keyed rows starting
// between them are
//     (q - p - 1) - (marked slots between them)
// because every other row between them has a key < v (listed rows with a
// smaller key, and all unlisted rows with key 0); after the last member p
// the end of the catalogue plays the part of q, at position rowCount.
std::vector<int> isolationVisitOrder(std::vector<int> const& row, std::vector<float> const& key,
                                     int rowCount, int maxVisits) {
    int const a = static_cast<int>(row.size());
    assert(key.size() == row.size());
    assert(a == 0 || (row.front() >= 0 && row.back() < rowCount));
    std::vector<int> visit;
    if (maxVisits <= 0 || a == 0) return visit;
    visit.reserve(static_cast<size_t>(std::min(a, maxVisits)));

    // Slots with a positive key, largest key first, then by position.
    std::vector<int> positive;
    for (int s = 0; s < a; ++s)
        if (key[s] > 0.0f) positive.push_back(s);
    std::sort(positive.begin(), positive.end(),
              [&key](int s, int t) { return key[s] > key[t] || (key[s] == key[t] && s < t); });

    sci::Fenwick larger(a);
    std::vector<int> member;
    std::vector<long> smallerAfter;
    std::vector<int> slotOf;  // slot of each member, by member position
    for (size_t start = 0; start < positive.size();) {
        size_t end = start + 1;
        while (end < positive.size() && key[positive[end]] == key[positive[start]]) ++end;
        member.clear();
        smallerAfter.clear();
        slotOf.clear();
        for (size_t k = start; k < end; ++k) {
            int const s = positive[k];
            member.push_back(row[s]);
            slotOf.push_back(s);
        }
        int const g = static_cast<int>(member.size());
        for (int t = 0; t < g; ++t) {
            long const next = t + 1 < g ? member[t + 1] : rowCount;
            int const nextSlot = t + 1 < g ? slotOf[t + 1] : a;
            long const markedBetween = larger.prefix(nextSlot - 1) - larger.prefix(slotOf[t]);
            smallerAfter.push_back(next - member[t] - 1 - markedBetween);
        }
        std::vector<int> const order = sci::exchangeSortGroupOrder(member, smallerAfter);

        // The group's final order, read from its last position down; positions
        // map back to slots through the increasing row list.
        for (int k = g - 1; k >= 0; --k) {
            int const slot =
                static_cast<int>(std::lower_bound(row.begin(), row.end(), order[k]) - row.begin());
            visit.push_back(slot);
            if (static_cast<int>(visit.size()) == maxVisits) return visit;
        }
        for (int s : slotOf) larger.add(s, 1);
        start = end;
    }

    // The key-0 block keeps its starting order.
    for (int s = a - 1; s >= 0; --s) {
        if (key[s] > 0.0f) continue;
        visit.push_back(s);
        if (static_cast<int>(visit.size()) == maxVisits) break;
    }
    return visit;
}

}  // namespace selection
