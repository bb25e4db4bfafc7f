#include "sci/parallel_sort.h"

#include <algorithm>
#include <numeric>

namespace sci {

namespace {

// Binary indexed tree over 0-based slots holding counts.
class Fenwick {
  public:
    explicit Fenwick(int n) : tree_(static_cast<size_t>(n) + 1, 0) {}

    void add(int slot, int delta) {
        for (int i = slot + 1; i < static_cast<int>(tree_.size()); i += i & -i) tree_[i] += delta;
    }
    // Sum of the counts of slots 0..slot (0 for slot < 0).
    int prefix(int slot) const {
        int s = 0;
        for (int i = slot + 1; i > 0; i -= i & -i) s += tree_[i];
        return s;
    }
    // The slot at which the prefix sum first exceeds k (k 0-based); the
    // counts must be 0 or 1.
    int kth(int k) const {
        int pos = 0;
        int step = 1;
        while (step * 2 < static_cast<int>(tree_.size())) step *= 2;
        for (; step > 0; step /= 2) {
            int const next = pos + step;
            if (next < static_cast<int>(tree_.size()) && tree_[next] <= k) {
                pos = next;
                k -= tree_[next];
            }
        }
        return pos;  // the 1-based position pos + 1, as a 0-based slot
    }

  private:
    std::vector<int> tree_;
};

}  // namespace

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
// positions in between, counted with a Fenwick tree. The queue is kept as a
// circular sequence with a head index: a rotation moves the head, an arrival is
// an insertion just before the head. The insertions are replayed offline in
// reverse (the member inserted at index ins[t] takes the ins[t]-th free slot).
// Cost O(g log g) for a group of g members, O(n log n) in all.
std::vector<int> exchangeSortOrder(std::vector<float> const& key) {
    int const n = static_cast<int>(key.size());
    std::vector<int> byKey(static_cast<size_t>(n));
    std::iota(byKey.begin(), byKey.end(), 0);
    std::stable_sort(byKey.begin(), byKey.end(), [&key](int a, int b) { return key[a] < key[b]; });

    std::vector<int> order(static_cast<size_t>(n));
    Fenwick smaller(n);  // marks the starting positions of already placed (smaller) keys
    int placed = 0;
    std::vector<int> insertAt;
    std::vector<int> sequence;
    for (int start = 0; start < n;) {
        int end = start + 1;
        while (end < n && !(key[byKey[start]] < key[byKey[end]])) ++end;
        int const g = end - start;
        int const* member = &byKey[start];  // starting positions, increasing

        if (placed == 0) {
            // Nothing smaller: the group keeps its starting order.
            std::copy(member, member + g, order.begin() + start);
        } else {
            insertAt.assign(static_cast<size_t>(g), 0);
            long head = 0;
            for (int t = 1; t < g; ++t) {
                long const rotations =
                    smaller.prefix(member[t] - 1) - smaller.prefix(member[t - 1]);
                head = (head + rotations) % t;
                insertAt[t] = static_cast<int>(head);
                head = head + 1;
            }
            long const tail = placed - smaller.prefix(member[g - 1]);
            head = (head + tail) % g;

            Fenwick free(g);
            for (int s = 0; s < g; ++s) free.add(s, 1);
            sequence.assign(static_cast<size_t>(g), 0);
            for (int t = g - 1; t >= 0; --t) {
                int const slot = free.kth(insertAt[t]);
                sequence[slot] = member[t];
                free.add(slot, -1);
            }
            for (int k = 0; k < g; ++k) order[start + k] = sequence[(head + k) % g];
        }
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
