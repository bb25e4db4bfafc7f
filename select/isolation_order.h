// The order in which a subfield's accepted candidates are visited: the order
// that sorting all catalogue rows by isolation with the exchange sort leaves
// them in, read from the last position down, computed from the accepted rows
// alone. Rows are 0-based starting positions 0..rowCount-1; distances in pixels.
#pragma once

#include <vector>

namespace selection {

// The exchange sort of all rowCount rows by key, where every row not listed in
// row has key 0 and row[i] has key[i], sends each group of equal positive keys
// to a block of final positions whose inner order depends only on where the
// smaller-keyed rows start: all rows except the listed ones with a key >= the
// group's. Those are counted by subtraction, with a Fenwick tree over the
// listed rows, so the cost is O(A log A) for A listed rows, whatever rowCount.
//
// row: strictly increasing, within 0..rowCount-1; key: one per row, >= 0, no
// NaN (closest_dist of the accepted rows). Returns indices into row, at most
// maxVisits of them: the listed rows in the order of their final positions
// from the last downwards. The positive keys come first, most isolated first;
// the listed rows with key 0 lie in the key-0 block, which keeps the starting
// order, and follow from the last starting position down.
std::vector<int> isolationVisitOrder(std::vector<int> const& row, std::vector<float> const& key,
                                     int rowCount, int maxVisits);

}  // namespace selection
