#include "select/point_tree.h"

#include <algorithm>
#include <cassert>
#include <numeric>

namespace selection {

namespace {

// A balanced tree of n points with leaves of at most 8 has fewer than 32
// levels for any int n; a depth-first walk holds at most one entry per level
// plus one.
constexpr int kMaxStack = 64;

struct StackEntry {
    int node;
    double bound;
};

}  // namespace

PointTree::PointTree(std::vector<float> const& x, std::vector<float> const& y,
                     std::vector<int> const& tag, std::vector<int> const& second) {
    int const n = static_cast<int>(x.size());
    assert(y.size() == x.size() && tag.size() == x.size());
    assert(second.empty() || second.size() == x.size());
    if (n == 0) return;
    std::vector<int> perm(static_cast<size_t>(n));
    std::iota(perm.begin(), perm.end(), 0);
    nodes_.reserve(static_cast<size_t>(2 * (n / kLeafSize) + 1));
    build_(x, y, tag, perm, 0, n);

    x_.resize(static_cast<size_t>(n));
    y_.resize(static_cast<size_t>(n));
    tag_.resize(static_cast<size_t>(n));
    if (!second.empty()) second_.resize(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) {
        x_[k] = x[perm[k]];
        y_[k] = y[perm[k]];
        tag_[k] = tag[perm[k]];
        if (!second.empty()) second_[k] = second[perm[k]];
    }
}

// Splits at the median of the wider side of the bounding box.
int PointTree::build_(std::vector<float> const& x, std::vector<float> const& y,
                      std::vector<int> const& tag, std::vector<int>& perm, int begin, int end) {
    Node node{x[perm[begin]],
              x[perm[begin]],
              y[perm[begin]],
              y[perm[begin]],
              tag[perm[begin]],
              begin,
              end,
              -1,
              -1};
    for (int k = begin + 1; k < end; ++k) {
        int const p = perm[k];
        node.minX = std::min(node.minX, x[p]);
        node.maxX = std::max(node.maxX, x[p]);
        node.minY = std::min(node.minY, y[p]);
        node.maxY = std::max(node.maxY, y[p]);
        node.minTag = std::min(node.minTag, tag[p]);
    }
    int const index = static_cast<int>(nodes_.size());
    nodes_.push_back(node);
    if (end - begin <= kLeafSize) return index;

    bool const splitX =
        static_cast<double>(node.maxX) - node.minX >= static_cast<double>(node.maxY) - node.minY;
    std::vector<float> const& c = splitX ? x : y;
    int const mid = begin + (end - begin) / 2;
    std::nth_element(perm.begin() + begin, perm.begin() + mid, perm.begin() + end,
                     [&c](int a, int b) { return c[a] < c[b]; });
    int const left = build_(x, y, tag, perm, begin, mid);
    int const right = build_(x, y, tag, perm, mid, end);
    nodes_[index].left = left;
    nodes_[index].right = right;
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
                int t = tag_[k];
                if (t == exclude) {
                    t = second_.empty() ? kNoTag : second_[k];
                    if (t == kNoTag) continue;
                }
                double const d2 = squaredDistance(qx, qy, x_[k], y_[k]);
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
                if (squaredDistance(qx, qy, x_[k], y_[k]) <= r2) return true;
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
            for (int k = node.begin; k < node.end; ++k)
                if (inside || (x_[k] >= x1 && x_[k] <= x2 && y_[k] >= y1 && y_[k] <= y2))
                    out.push_back(tag_[k]);
            continue;
        }
        assert(top + 2 <= kMaxStack);
        stack[top++] = node.right;
        stack[top++] = node.left;
    }
}

}  // namespace selection
