#include "select/measurement.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using selection::Parameter;
using selection::rejectStars;
using selection::SelectedStars;
using selection::StarRecord;

// Stars tagged by their starting position: star i (from 1) has x = 100 + i,
// so every reordering shows which star went where. The highest nchi are
// dropped and the rest kept in ascending nchi (a failed fit, nchi -1, has the
// lowest key and is kept); by width, first the most elongated (key |1 - x/y
// FWHM ratio|), then the widest; at least one star is kept, each record whole.
TEST(RejectStars, HighestNchiThenMostElongatedThenWidestDroppedTheRestAscending) {
    struct Case {
        std::vector<float> nchi, xw, yw;
        int nchiReject, fwhmReject, verbose;
        std::vector<int> left;  // the tags left, in order
        std::string out;
    };
    std::vector<float> const ones(8, 1.0f);
    // Sizes sqrt(xw^2 + yw^2) 2.83, 4.24, 3.44, 3.28, 3.11, 2.97, 3.47, 2.69;
    // the most elongated 3 and 4.
    std::vector<float> const xw = {2.0f, 3.0f, 2.0f, 2.6f, 2.2f, 2.1f, 2.5f, 1.9f};
    std::vector<float> const yw = {2.0f, 3.0f, 2.8f, 2.0f, 2.2f, 2.1f, 2.4f, 1.9f};
    std::string const byWidth =
        "  taken=8\n\nlen = 8 8 8 8 8 8 8 8 8 8 8 8\nP.fwhm_reject=5\n  taken_in=8\n"
        "len = 8 8 8 6 6 8 6 6 8 8 6 6\nlen = 8 8 8 3 3 8 3 3 8 8 3 3\n  taken=3\n\n";
    std::string const both =
        "P.nchi_reject=10\n  taken_in=3\n  taken=1\n\nP.fwhm_reject=4\n  taken_in=1\n"
        "  taken=1\n\n";
    Case const cases[] = {
        {{5, 1, 9, 3, 7, 2, 8, 4, 10, 6}, {}, {}, 3, 0, 0, {2, 6, 4, 8, 1, 10, 5}, ""},
        {{3, -1, 2, 5}, {}, {}, 2, 0, 0, {2, 3}, ""},
        // Only the size stage (k1 = 0, k2 = 1) on the first six: the widest (2) gone.
        {{1, 1, 1, 1, 1, 1}, xw, yw, 0, 1, 0, {1, 6, 5, 4, 3}, ""},
        // Two by ellipticity (3 and 4), then three by size among the rest.
        {ones, xw, yw, 0, 5, 5, {8, 1, 6}, byWidth},
        // Wider in x (2: ratio 1.375, key 0.375) goes before slightly taller
        // (3: key 0.09); then the widest of 1, 3, 4.
        {{1, 1, 1, 1}, {2.0f, 2.2f, 2.0f, 1.9f}, {2.0f, 1.6f, 2.2f, 1.9f}, 0, 2, 0, {4, 1}, ""},
        {{4, 2, 3}, {}, {}, 10, 4, 4, {2}, both},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.left));
        SelectedStars s;
        for (size_t i = 1; i <= c.nchi.size(); ++i) {
            StarRecord star;
            star.x = 100.0f + i;
            star.closestDist = 300.0f + i;
            star.nchi = c.nchi[i - 1];
            star.xfwhm = c.xw.empty() ? 2.0f : c.xw[i - 1];
            star.yfwhm = c.yw.empty() ? 2.0f : c.yw[i - 1];
            star.fwhm = (star.xfwhm + star.yfwhm) * 0.5f;
            s.stars.push_back(star);
        }
        s.taken = static_cast<int>(c.nchi.size());
        Parameter P;
        P.nchi_reject = c.nchiReject;
        P.fwhm_reject = c.fwhmReject;
        P.verbose = c.verbose;
        std::ostringstream out;
        EXPECT_EQ(rejectStars(s, P, out), static_cast<int>(c.left.size()));
        std::vector<int> left;
        for (StarRecord const& star : s.stars) {
            int const tag = static_cast<int>(star.x) - 100;
            left.push_back(tag);
            EXPECT_EQ(star.closestDist, 300.0f + tag);
            EXPECT_EQ(star.nchi, c.nchi[tag - 1]);
        }
        EXPECT_EQ(left, c.left);
        EXPECT_EQ(out.str(), c.out);
    }
}

}  // namespace
