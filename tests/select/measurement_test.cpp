#include "select/measurement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

namespace {

using selection::Parameter;
using selection::rejectStars;
using selection::SelectedStars;

// Stars tagged by their starting position: select_x(i) = 100 + i, so every
// reordering shows which star went where.
struct Fixture {
    SelectedStars s;
    sci::MArray<float, 1> xfwhm, yfwhm;
    Parameter P;

    explicit Fixture(std::vector<float> const& nchi, std::vector<float> const& xw = {},
                     std::vector<float> const& yw = {})
        : s(static_cast<int>(nchi.size())),
          xfwhm(static_cast<int>(nchi.size())),
          yfwhm(static_cast<int>(nchi.size())) {
        for (int i = 1; i <= static_cast<int>(nchi.size()); ++i) {
            s.select_x(i) = 100.0f + i;
            s.select_y(i) = 200.0f + i;
            s.select_closest_dist(i) = 300.0f + i;
            s.select_closest_flux(i) = 400.0f + i;
            s.select_nchi(i) = nchi[i - 1];
            xfwhm(i) = xw.empty() ? 2.0f : xw[i - 1];
            yfwhm(i) = yw.empty() ? 2.0f : yw[i - 1];
            s.select_fwhm(i) = (xfwhm(i) + yfwhm(i)) * 0.5f;
        }
    }

    // The tags (select_x - 100) of the stars left, in order.
    std::vector<int> tags() const {
        std::vector<int> t;
        for (int i = 1; i <= s.select_x.last(); ++i)
            t.push_back(static_cast<int>(s.select_x(i)) - 100);
        return t;
    }
};

// The highest nchi are dropped and the rest kept in ascending nchi; a failed
// fit (nchi -1) has the lowest key and is kept.
TEST(RejectStars, HighestNchiDroppedLowestKeptAscending) {
    Fixture f({5, 1, 9, 3, 7, 2, 8, 4, 10, 6});
    f.P.nchi_reject = 3;
    std::ostringstream out;
    EXPECT_EQ(rejectStars(f.s, f.xfwhm, f.yfwhm, 10, f.P, out), 7);
    EXPECT_EQ(f.tags(), (std::vector<int>{2, 6, 4, 8, 1, 10, 5}));
    // Every measured array holds exactly the survivors, moved together.
    for (auto const* a : {&f.s.select_y, &f.s.select_closest_dist, &f.s.select_closest_flux,
                          &f.s.select_nchi, &f.s.select_fwhm})
        EXPECT_EQ(a->length(), 7);
    EXPECT_EQ(f.s.select_y(3), 204.0f);
    EXPECT_EQ(f.s.select_closest_flux(7), 405.0f);
    EXPECT_EQ(f.s.select_nchi(7), 7.0f);
    EXPECT_EQ(out.str(), "");
    Fixture failed({3, -1, 2, 5});
    failed.P.nchi_reject = 2;
    EXPECT_EQ(rejectStars(failed.s, failed.xfwhm, failed.yfwhm, 4, failed.P, out), 2);
    EXPECT_EQ(failed.tags(), (std::vector<int>{2, 3}));
}

TEST(RejectStars, WidthStagesByEllipticityThenSize) {
    // fwhm_reject 1: only the size stage (k1 = 0, k2 = 1) drops the widest.
    std::vector<float> const xw = {2.0f, 3.0f, 2.0f, 2.6f, 2.2f, 2.1f};
    std::vector<float> const yw = {2.0f, 3.0f, 2.8f, 2.0f, 2.2f, 2.1f};
    Fixture one({1, 1, 1, 1, 1, 1}, xw, yw);
    one.P.fwhm_reject = 1;
    std::ostringstream out;
    EXPECT_EQ(rejectStars(one.s, one.xfwhm, one.yfwhm, 6, one.P, out), 5);
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
    EXPECT_EQ(rejectStars(five.s, five.xfwhm, five.yfwhm, 8, five.P, verbose), 3);
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
    EXPECT_EQ(rejectStars(two.s, two.xfwhm, two.yfwhm, 4, two.P, out), 2);
    EXPECT_EQ(two.tags(), (std::vector<int>{4, 1}));
}

TEST(RejectStars, AtLeastOneStarIsKeptAndArraysFollow) {
    Fixture f({4, 2, 3});
    f.P.nchi_reject = 10;
    f.P.fwhm_reject = 4;
    f.P.verbose = 4;
    std::ostringstream out;
    EXPECT_EQ(rejectStars(f.s, f.xfwhm, f.yfwhm, 3, f.P, out), 1);
    EXPECT_EQ(f.tags(), (std::vector<int>{2}));
    EXPECT_EQ(f.s.select_fwhm.length(), 1);
    EXPECT_EQ(f.s.select_closest_dist(1), 302.0f);
    EXPECT_EQ(out.str(),
              "P.nchi_reject=10\n  taken_in=3\n  taken=1\n\n"
              "P.fwhm_reject=4\n  taken_in=1\n  taken=1\n\n");
}

}  // namespace
