#include "select/point_tree.h"

#include <algorithm>
#include <cassert>

namespace selection {

namespace {

// A balanced tree of n points with leaves of at most 8 has fewer than 32
// levels for any int n; a depth-first walk holds at most one entry per level
// plus one.
constexpr int kMaxStack = 64;

// Fewer points than this are built on one thread: the rest of the work of
// such a tree is smaller than starting the others.
constexpr size_t kParallelPoints = 65536;

struct StackEntry {
    int node;
    double bound;
};

}  // namespace

PointTree::PointTree(std::vector<float> const& x, std::vector<float> const& y,
                     std::vector<int> const& tag, std::vector<int> const& second, WorkPool* pool) {
    size_t const n = x.size();
    assert(y.size() == n && tag.size() == n);
    assert(second.empty() || second.size() == n);
    if (n == 0) return;
    points_.resize(n);
    for (size_t k = 0; k < n; ++k)
        points_[k] = Point{x[k], y[k], tag[k], second.empty() ? kNoTag : second[k]};
    nodes_.resize(static_cast<size_t>(nodeCount_(static_cast<int>(n))));
    int next = 0;
    if (pool == nullptr || pool->threads() < 2 || n < kParallelPoints) {
        build_(next, 0, static_cast<int>(n), -1, nullptr);
        return;
    }
    // The top levels here, then two subtrees per thread or more, each on its
    // own points and into its own range of nodes, on the pool's threads.
    int depth = 0;
    while ((1 << depth) < pool->threads()) ++depth;
    std::vector<Subtree> deferred;
    build_(next, 0, static_cast<int>(n), depth, &deferred);
    for (Subtree& t : deferred) {
        t.root = next;
        next += nodeCount_(t.end - t.begin);
        Node& parent = nodes_[static_cast<size_t>(t.parent)];
        (t.left ? parent.left : parent.right) = t.root;
    }
    pool->forEach(static_cast<int>(deferred.size()), [&](int k) {
        Subtree const& t = deferred[static_cast<size_t>(k)];
        int at = t.root;
        build_(at, t.begin, t.end, -1, nullptr);
    });
}

int PointTree::nodeCount_(int n) {
    if (n <= kLeafSize) return 1;
    return 1 + nodeCount_(n / 2) + nodeCount_(n - n / 2);
}

// Splits at the median of the wider side of the bounding box.
int PointTree::build_(int& next, int begin, int end, int depth, std::vector<Subtree>* deferred) {
    Point const& p0 = points_[begin];
    Node node{p0.x, p0.x, p0.y, p0.y, p0.tag, begin, end, -1, -1};
    for (int k = begin + 1; k < end; ++k) {
        Point const& p = points_[k];
        node.minX = std::min(node.minX, p.x);
        node.maxX = std::max(node.maxX, p.x);
        node.minY = std::min(node.minY, p.y);
        node.maxY = std::max(node.maxY, p.y);
        node.minTag = std::min(node.minTag, p.tag);
    }
    int const index = next++;
    nodes_[static_cast<size_t>(index)] = node;
    if (end - begin <= kLeafSize) return index;

    bool const splitX =
        static_cast<double>(node.maxX) - node.minX >= static_cast<double>(node.maxY) - node.minY;
    int const mid = begin + (end - begin) / 2;
    auto const first = points_.begin();
    if (splitX)
        std::nth_element(first + begin, first + mid, first + end,
                         [](Point const& a, Point const& b) { return a.x < b.x; });
    else
        std::nth_element(first + begin, first + mid, first + end,
                         [](Point const& a, Point const& b) { return a.y < b.y; });
    if (depth == 0) {
        deferred->push_back(Subtree{begin, mid, -1, index, true});
        deferred->push_back(Subtree{mid, end, -1, index, false});
        return index;
    }
    int const left = build_(next, begin, mid, depth - 1, deferred);
    int const right = build_(next, mid, end, depth - 1, deferred);
    nodes_[static_cast<size_t>(index)].left = left;
    nodes_[static_cast<size_t>(index)].right = right;
    return index;
}

// gx = fl(minX - qx) left of the box, fl(qx - maxX) right of it, 0 inside;
// bound = (double)gx*gx + (double)gy*gy, never above the squaredDistance of
// any point of the box (see the class comment).
double PointTree::lowerBound_(Node const& node, float qx, float qy) const {
    float gx = 0.0f;
    float gy = 0.0f;
    if (qx < node.minX)
        gx = node.minX - qx;
    else if (qx > node.maxX)
        gx = qx - node.maxX;
    if (qy < node.minY)
        gy = node.minY - qy;
    else if (qy > node.maxY)
        gy = qy - node.maxY;
    return static_cast<double>(gx) * static_cast<double>(gx) +
           static_cast<double>(gy) * static_cast<double>(gy);
}

PointTree::Nearest PointTree::nearest(float qx, float qy, int exclude, double limit) const {
    Nearest best{limit, kNoTag};
    if (nodes_.empty()) return best;
    // A node loses when none of its points can beat the best: its bound is
    // larger, or equal with no smaller tag below it.
    auto loses = [&best](double bound, int minTag) {
        return bound > best.d2 || (bound == best.d2 && (best.tag == kNoTag || minTag >= best.tag));
    };
    StackEntry stack[kMaxStack];
    int top = 0;
    stack[top++] = {0, lowerBound_(nodes_[0], qx, qy)};
    while (top > 0) {
        StackEntry const e = stack[--top];
        Node const& node = nodes_[e.node];
        if (loses(e.bound, node.minTag)) continue;
        if (node.left < 0) {
            for (int k = node.begin; k < node.end; ++k) {
                Point const& p = points_[k];
                int t = p.tag;
                if (t == exclude) {
                    t = p.second;
                    if (t == kNoTag) continue;
                }
                double const d2 = squaredDistance(qx, qy, p.x, p.y);
                if (d2 < best.d2 || (d2 == best.d2 && best.tag != kNoTag && t < best.tag))
                    best = {d2, t};
            }
            continue;
        }
        StackEntry a{node.left, lowerBound_(nodes_[node.left], qx, qy)};
        StackEntry b{node.right, lowerBound_(nodes_[node.right], qx, qy)};
        if (b.bound > a.bound) std::swap(a, b);  // push the farther child first
        assert(top + 2 <= kMaxStack);
        if (!loses(a.bound, nodes_[a.node].minTag)) stack[top++] = a;
        if (!loses(b.bound, nodes_[b.node].minTag)) stack[top++] = b;
    }
    return best;
}

bool PointTree::anyWithin(float qx, float qy, double r2) const {
    if (nodes_.empty()) return false;
    StackEntry stack[kMaxStack];
    int top = 0;
    stack[top++] = {0, lowerBound_(nodes_[0], qx, qy)};
    while (top > 0) {
        StackEntry const e = stack[--top];
        if (e.bound > r2) continue;
        Node const& node = nodes_[e.node];
        if (node.left < 0) {
            for (int k = node.begin; k < node.end; ++k)
                if (squaredDistance(qx, qy, points_[k].x, points_[k].y) <= r2) return true;
            continue;
        }
        assert(top + 2 <= kMaxStack);
        stack[top++] = {node.right, lowerBound_(nodes_[node.right], qx, qy)};
        stack[top++] = {node.left, lowerBound_(nodes_[node.left], qx, qy)};
    }
    return false;
}

void PointTree::tagsInBox(float x1, float x2, float y1, float y2, std::vector<int>& out) const {
    if (nodes_.empty()) return;
    int stack[kMaxStack];
    int top = 0;
    stack[top++] = 0;
    while (top > 0) {
        Node const& node = nodes_[stack[--top]];
        if (node.maxX < x1 || node.minX > x2 || node.maxY < y1 || node.minY > y2) continue;
        bool const inside =
            node.minX >= x1 && node.maxX <= x2 && node.minY >= y1 && node.maxY <= y2;
        if (inside || node.left < 0) {
            for (int k = node.begin; k < node.end; ++k) {
                Point const& p = points_[k];
                if (inside || (p.x >= x1 && p.x <= x2 && p.y >= y1 && p.y <= y2))
                    out.push_back(p.tag);
            }
            continue;
        }
        assert(top + 2 <= kMaxStack);
        stack[top++] = node.right;
        stack[top++] = node.left;
    }
}

}  // namespace selection
