#include "select/measurement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

namespace {

using selection::Parameter;
using selection::rejectStars;
using selection::SelectedStars;
using selection::StarRecord;

// Stars tagged by their starting position: x = 100 + i for star i (from 1),
// so every reordering shows which star went where.
struct Fixture {
    SelectedStars s;
    Parameter P;

    explicit Fixture(std::vector<float> const& nchi, std::vector<float> const& xw = {},
                     std::vector<float> const& yw = {}) {
        for (int i = 1; i <= static_cast<int>(nchi.size()); ++i) {
            StarRecord star;
            star.row = i;
            star.x = 100.0f + i;
            star.y = 200.0f + i;
            star.closestDist = 300.0f + i;
            star.closestFlux = 400.0f + i;
            star.nchi = nchi[i - 1];
            star.xfwhm = xw.empty() ? 2.0f : xw[i - 1];
            star.yfwhm = yw.empty() ? 2.0f : yw[i - 1];
            star.fwhm = (star.xfwhm + star.yfwhm) * 0.5f;
            s.stars.push_back(star);
        }
        s.taken = static_cast<int>(nchi.size());
    }

    // The tags (x - 100) of the stars left, in order.
    std::vector<int> tags() const {
        std::vector<int> t;
        for (StarRecord const& star : s.stars) t.push_back(static_cast<int>(star.x) - 100);
        return t;
    }
};

// The highest nchi are dropped and the rest kept in ascending nchi; a failed
// fit (nchi -1) has the lowest key and is kept.
TEST(RejectStars, HighestNchiDroppedLowestKeptAscending) {
    Fixture f({5, 1, 9, 3, 7, 2, 8, 4, 10, 6});
    f.P.nchi_reject = 3;
    std::ostringstream out;
    EXPECT_EQ(rejectStars(f.s, f.P, out), 7);
    EXPECT_EQ(f.tags(), (std::vector<int>{2, 6, 4, 8, 1, 10, 5}));
    // Exactly the survivors are left, each record whole.
    EXPECT_EQ(f.s.stars.size(), 7u);
    EXPECT_EQ(f.s.stars[2].y, 204.0f);
    EXPECT_EQ(f.s.stars[6].closestFlux, 405.0f);
    EXPECT_EQ(f.s.stars[6].nchi, 7.0f);
    EXPECT_EQ(out.str(), "");
    Fixture failed({3, -1, 2, 5});
    failed.P.nchi_reject = 2;
    EXPECT_EQ(rejectStars(failed.s, failed.P, out), 2);
    EXPECT_EQ(failed.tags(), (std::vector<int>{2, 3}));
}

TEST(RejectStars, WidthStagesByEllipticityThenSize) {
    // fwhm_reject 1: only the size stage (k1 = 0, k2 = 1) drops the widest.
    std::vector<float> const xw = {2.0f, 3.0f, 2.0f, 2.6f, 2.2f, 2.1f};
    std::vector<float> const yw = {2.0f, 3.0f, 2.8f, 2.0f, 2.2f, 2.1f};
    Fixture one({1, 1, 1, 1, 1, 1}, xw, yw);
    one.P.fwhm_reject = 1;
    std::ostringstream out;
    EXPECT_EQ(rejectStars(one.s, one.P, out), 5);
    // Sizes: 2.83, 4.24, 3.44, 3.28, 3.11, 2.97 -> ascending, widest (2) gone.
    EXPECT_EQ(one.tags(), (std::vector<int>{1, 6, 5, 4, 3}));

    // fwhm_reject 5: two by ellipticity (3 and 4 are the most elongated), then
    // three by size among the rest.
    std::vector<float> const xw8 = {2.0f, 3.0f, 2.0f, 2.6f, 2.2f, 2.1f, 2.5f, 1.9f};
    std::vector<float> const yw8 = {2.0f, 3.0f, 2.8f, 2.0f, 2.2f, 2.1f, 2.4f, 1.9f};
    Fixture five({1, 1, 1, 1, 1, 1, 1, 1}, xw8, yw8);
    five.P.fwhm_reject = 5;
    five.P.verbose = 5;
    std::ostringstream verbose;
    EXPECT_EQ(rejectStars(five.s, five.P, verbose), 3);
    // Left after ellipticity: ratios 0 for 1, 2, 5, 6, 8 and 0.04 for 7;
    // the three smallest sizes are 8 (2.69), 1 (2.83) and 6 (2.97).
    EXPECT_EQ(five.tags(), (std::vector<int>{8, 1, 6}));
    EXPECT_EQ(verbose.str(),
              "  taken=8\n\n"
              "len = 8 8 8 8 8 8 8 8 8 8 8 8\n"
              "P.fwhm_reject=5\n  taken_in=8\n"
              "len = 8 8 8 6 6 8 6 6 8 8 6 6\n"
              "len = 8 8 8 3 3 8 3 3 8 8 3 3\n"
              "  taken=3\n\n");

    // fwhm_reject 2: the ellipticity key is |1 - ratio|, so a profile wider in
    // x (2: ratio 1.375, key 0.375) goes before a slightly taller one (3: key
    // 0.09); then the widest of 1, 3, 4 (3, size 2.97) goes.
    Fixture two({1, 1, 1, 1}, {2.0f, 2.2f, 2.0f, 1.9f}, {2.0f, 1.6f, 2.2f, 1.9f});
    two.P.fwhm_reject = 2;
    EXPECT_EQ(rejectStars(two.s, two.P, out), 2);
    EXPECT_EQ(two.tags(), (std::vector<int>{4, 1}));
}

TEST(RejectStars, AtLeastOneStarIsKeptWhole) {
    Fixture f({4, 2, 3});
    f.P.nchi_reject = 10;
    f.P.fwhm_reject = 4;
    f.P.verbose = 4;
    std::ostringstream out;
    EXPECT_EQ(rejectStars(f.s, f.P, out), 1);
    EXPECT_EQ(f.tags(), (std::vector<int>{2}));
    EXPECT_EQ(f.s.stars.size(), 1u);
    EXPECT_EQ(f.s.stars[0].closestDist, 302.0f);
    EXPECT_EQ(out.str(),
              "P.nchi_reject=10\n  taken_in=3\n  taken=1\n\n"
              "P.fwhm_reject=4\n  taken_in=1\n  taken=1\n\n");
}

}  // namespace
