#include "select/point_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

using selection::PointTree;
using selection::squaredDistance;

// An empty tree first, then points on coarse and fine grids (many equal distances) with duplicates,
// each with a tag and, for two in three, a second tag; for odd trials far from
// the origin, where float differences round. Every query of the tree equals a
// scan of all points: the nearest (ties to the lowest tag, the excluded tag
// replaced by the second), any point within a radius, the points in a box.
TEST(PointTree, QueriesEqualAScanOfAllPointsWithTiesAndRounding) {
    std::mt19937 rng(11);
    for (int trial = 0; trial < 300; ++trial) {
        size_t const n = trial == 0 ? 0 : rng() % 200;
        float const origin = trial % 2 ? 8388608.0f : 0.0f;
        std::vector<float> x, y;
        std::vector<int> tag, second;
        for (size_t k = 0; k < n; ++k) {
            float const step = rng() % 2 ? 1.0f : 0.375f;
            x.push_back(origin + step * static_cast<float>(rng() % 30));
            y.push_back(origin + step * static_cast<float>(rng() % 30));
            tag.push_back(static_cast<int>(rng() % (2 * n + 1)));
            second.push_back(rng() % 3 ? tag.back() + 1 + static_cast<int>(rng() % 5)
                                       : PointTree::kNoTag);
        }
        PointTree const tree(x, y, tag, second);
        ASSERT_EQ(tree.size(), static_cast<int>(n));
        for (int q = 0; q < 40; ++q) {
            SCOPED_TRACE("trial " + std::to_string(trial) + " query " + std::to_string(q));
            float const qx = origin + 0.125f * static_cast<float>(rng() % 260) - 1.0f;
            float const qy = origin + 0.125f * static_cast<float>(rng() % 260) - 1.0f;
            int const exclude = n > 0 && rng() % 2 ? tag[rng() % n] : PointTree::kNoTag;
            double const limit = rng() % 4 == 0 ? 20.0 : 1e99, r2 = 0.5 * (rng() % 5);
            float const x2 = qx + static_cast<float>(rng() % 12);
            float const y2 = qy + static_cast<float>(rng() % 12);
            PointTree::Nearest best{limit, PointTree::kNoTag};
            bool within = false;
            std::vector<int> inBox, got;
            for (size_t k = 0; k < n; ++k) {
                double const d2 = squaredDistance(qx, qy, x[k], y[k]);
                int const t = tag[k] == exclude ? second[k] : tag[k];
                if (t != PointTree::kNoTag &&
                    (d2 < best.d2 ||
                     (d2 == best.d2 && best.tag != PointTree::kNoTag && t < best.tag)))
                    best = {d2, t};
                within |= d2 <= r2;
                if (x[k] >= qx && x[k] <= x2 && y[k] >= qy && y[k] <= y2) inBox.push_back(tag[k]);
            }
            PointTree::Nearest const nearest = tree.nearest(qx, qy, exclude, limit);
            ASSERT_EQ(nearest.tag, best.tag);
            ASSERT_EQ(nearest.d2, best.d2);
            ASSERT_EQ(tree.anyWithin(qx, qy, r2), within);
            tree.tagsInBox(qx, x2, qy, y2, got);
            std::sort(got.begin(), got.end());
            std::sort(inBox.begin(), inBox.end());
            ASSERT_EQ(got, inBox);
        }
    }
}

}  // namespace
