#include "select/point_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

using selection::PointTree;
using selection::squaredDistance;

struct Points {
    std::vector<float> x, y;
    std::vector<int> tag, second;
};

// Points on coarse and fine grids (many equal distances), duplicates and, for
// odd trials, far from the origin where float differences round.
Points randomPoints(std::mt19937& rng, int n, bool far) {
    Points p;
    float const origin = far ? 8388608.0f : 0.0f;
    for (int k = 0; k < n; ++k) {
        float const step = rng() % 2 ? 1.0f : 0.375f;
        p.x.push_back(origin + step * static_cast<float>(rng() % 30));
        p.y.push_back(origin + step * static_cast<float>(rng() % 30));
        p.tag.push_back(static_cast<int>(rng() % (2 * static_cast<unsigned>(n) + 1)));
        p.second.push_back(rng() % 3 == 0 ? PointTree::kNoTag
                                          : p.tag.back() + 1 + static_cast<int>(rng() % 5));
    }
    return p;
}

// The brute-force reference of PointTree::nearest.
PointTree::Nearest bruteNearest(Points const& p, float qx, float qy, int exclude, double limit) {
    PointTree::Nearest best{limit, PointTree::kNoTag};
    for (size_t k = 0; k < p.x.size(); ++k) {
        int t = p.tag[k] == exclude ? p.second[k] : p.tag[k];
        if (t == PointTree::kNoTag) continue;
        double const d2 = squaredDistance(qx, qy, p.x[k], p.y[k]);
        if (d2 < best.d2 || (d2 == best.d2 && best.tag != PointTree::kNoTag && t < best.tag))
            best = {d2, t};
    }
    return best;
}

TEST(PointTree, NearestEqualsBruteForceWithTiesAndRounding) {
    std::mt19937 rng(11);
    for (int trial = 0; trial < 300; ++trial) {
        int const n = static_cast<int>(rng() % 200);
        bool const far = trial % 2 == 1;
        Points const p = randomPoints(rng, n, far);
        PointTree const tree(p.x, p.y, p.tag, p.second);
        ASSERT_EQ(tree.size(), n);
        float const origin = far ? 8388608.0f : 0.0f;
        for (int q = 0; q < 40; ++q) {
            float const qx = origin + 0.125f * static_cast<float>(rng() % 260) - 1.0f;
            float const qy = origin + 0.125f * static_cast<float>(rng() % 260) - 1.0f;
            int const exclude = n > 0 && rng() % 2 ? p.tag[rng() % n] : PointTree::kNoTag;
            double const limit = rng() % 4 == 0 ? 20.0 : 1e99;
            PointTree::Nearest const got = tree.nearest(qx, qy, exclude, limit);
            PointTree::Nearest const expected = bruteNearest(p, qx, qy, exclude, limit);
            ASSERT_EQ(got.tag, expected.tag) << "trial " << trial << " query " << q;
            ASSERT_EQ(got.d2, expected.d2);
        }
    }
}

TEST(PointTree, AnyWithinAndBoxEqualBruteForce) {
    std::mt19937 rng(12);
    for (int trial = 0; trial < 300; ++trial) {
        int const n = static_cast<int>(rng() % 150);
        Points const p = randomPoints(rng, n, trial % 2 == 1);
        PointTree const tree(p.x, p.y, p.tag);
        float const origin = trial % 2 == 1 ? 8388608.0f : 0.0f;
        for (int q = 0; q < 30; ++q) {
            float const qx = origin + 0.25f * static_cast<float>(rng() % 130) - 1.0f;
            float const qy = origin + 0.25f * static_cast<float>(rng() % 130) - 1.0f;
            double const r2 = 0.5 * static_cast<double>(rng() % 5);
            bool expected = false;
            for (int k = 0; k < n; ++k)
                if (squaredDistance(qx, qy, p.x[k], p.y[k]) <= r2) expected = true;
            ASSERT_EQ(tree.anyWithin(qx, qy, r2), expected) << "trial " << trial;

            float const x2 = qx + static_cast<float>(rng() % 12);
            float const y2 = qy + static_cast<float>(rng() % 12);
            std::vector<int> got;
            tree.tagsInBox(qx, x2, qy, y2, got);
            std::vector<int> inBox;
            for (int k = 0; k < n; ++k)
                if (p.x[k] >= qx && p.x[k] <= x2 && p.y[k] >= qy && p.y[k] <= y2)
                    inBox.push_back(p.tag[k]);
            std::sort(got.begin(), got.end());
            std::sort(inBox.begin(), inBox.end());
            ASSERT_EQ(got, inBox) << "trial " << trial;
        }
    }
}

// An empty tree finds nothing. 16777217 is not a float: the difference
// 16777216 - 0.5 rounds to 16777216 in float before it is squared.
TEST(PointTree, EmptyTreeAndFloatDifferences) {
    PointTree const tree;
    EXPECT_EQ(tree.nearest(1.0f, 1.0f, PointTree::kNoTag, 1e99).tag, PointTree::kNoTag);
    EXPECT_FALSE(tree.anyWithin(1.0f, 1.0f, 1e99));
    std::vector<int> out;
    tree.tagsInBox(-1e30f, 1e30f, -1e30f, 1e30f, out);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(squaredDistance(16777216.0f, 0.0f, 0.5f, 0.0f), 16777216.0 * 16777216.0);
    EXPECT_EQ(squaredDistance(3.0f, 1.0f, 0.0f, 5.0f), 25.0);
}

}  // namespace
