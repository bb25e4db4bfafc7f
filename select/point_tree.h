// PointTree: a k-d tree over points of the image plane for the selection's
// neighbour, variable-object and box searches, exact in the selection's own
// arithmetic. Positions: float pixels (any origin); squared distances: double.
// Points carry int tags (catalogue rows, 0-based); point indices are 0-based.
#pragma once

#include <climits>
#include <vector>

#include "select/work_pool.h"

namespace selection {

// The squared distance the selection uses between two positions:
//     dx = ax - bx, dy = ay - by      (float differences)
//     d2 = (double)dx*dx + (double)dy*dy   (double squares and sum)
// Both squares are exact in double (a float has a 24-bit mantissa), so only
// the float differences and the final sum round.
inline double squaredDistance(float ax, float ay, float bx, float by) {
    float const dx = ax - bx;
    float const dy = ay - by;
    double const dx2 = static_cast<double>(dx) * static_cast<double>(dx);
    double const dy2 = static_cast<double>(dy) * static_cast<double>(dy);
    return dx2 + dy2;
}

// A k-d tree of points (x, y) with tags. Every search computes squaredDistance
// exactly as above for the points it examines; it skips a node only when a
// lower bound of that same computation for every point of the node already
// loses. The bound uses the float gap to the node's bounding box: rounding is
// monotone, so |fl(xm - qx)| >= fl(minx - qx) for every xm >= minx > qx, and
// the same for the y term and the double sum. No tolerance is involved.
class PointTree {
  public:
    static constexpr int kNoTag = -1;

    // The best point of a nearest search: its squared distance and the tag
    // it was chosen by; tag kNoTag when no point qualified.
    struct Nearest {
        double d2;
        int tag;
    };

    PointTree() = default;

    // x, y: positions (pixels), finite; tag: per point, >= 0. second: either
    // empty or per point a second tag (kNoTag, or > tag), used by nearest when
    // the first one is excluded. The arrays have equal lengths. With a pool,
    // the subtrees below the top levels are built on its threads: the same
    // tree, its nodes stored in another order.
    PointTree(std::vector<float> const& x, std::vector<float> const& y, std::vector<int> const& tag,
              std::vector<int> const& second = {}, WorkPool* pool = nullptr);

    int size() const { return static_cast<int>(points_.size()); }

    // The point minimising (d2, tag) in lexicographic order among the points
    // with d2 < limit, where d2 = squaredDistance(qx, qy, point) and a point's
    // tag is its first tag, or its second one when the first equals exclude
    // (a point without a usable tag takes no part). qx, qy: pixels.
    Nearest nearest(float qx, float qy, int exclude, double limit) const;

    // True when some point has squaredDistance(qx, qy, point) <= r2.
    bool anyWithin(float qx, float qy, double r2) const;

    // Appends to out the first tag of every point with x1 <= x <= x2 and
    // y1 <= y <= y2 (compared in float), in no particular order.
    void tagsInBox(float x1, float x2, float y1, float y2, std::vector<int>& out) const;

  private:
    static constexpr int kLeafSize = 8;

    struct Point {
        float x, y;
        int tag, second;
    };

    struct Node {
        float minX, maxX, minY, maxY;
        int minTag;       // smallest first tag below this node
        int begin, end;   // the node's points: indices begin..end-1
        int left, right;  // children; -1 for a leaf
    };

    // A subtree left to build: its points begin..end-1, the index of its
    // root node, and the child link of its parent node that points to it.
    struct Subtree {
        int begin, end;
        int root;
        int parent;
        bool left;
    };

    // The nodes of the tree of n points.
    static int nodeCount_(int n);

    // Builds the subtree of points begin..end-1 into nodes_ from index next
    // on (its root first, each child after its parent, the left subtree
    // before the right) and advances next past it. At depth 0 it only
    // records its two subtrees in deferred, their links left at -1 and no
    // nodes stored for them (a negative depth never reaches 0). Returns the
    // root's index.
    int build_(int& next, int begin, int end, int depth, std::vector<Subtree>* deferred);
    double lowerBound_(Node const& node, float qx, float qy) const;

    std::vector<Point> points_;  // in tree order
    std::vector<Node> nodes_;    // root at index 0 when not empty
};

}  // namespace selection
