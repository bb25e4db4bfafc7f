// sci::Fenwick: a binary indexed tree of counts over slots 0..n-1 (0-based),
// for prefix counts and rank look-ups in O(log n). Used by the exchange-sort
// order and by the selection's isolation order.
#pragma once

#include <vector>

namespace sci {

class Fenwick {
  public:
    explicit Fenwick(int n) : tree_(static_cast<size_t>(n) + 1, 0) {}

    // Adds delta to the count of slot (0-based).
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

}  // namespace sci
