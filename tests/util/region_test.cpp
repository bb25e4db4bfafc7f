#include "util/region.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <tuple>

#include "tests/support/messages.h"
#include "util/exception.h"

using testsupport::messageOf;
using util::Region;

TEST(Region, RangesAreKeptAsSetAndDimensionsChecked) {
    Region r(3);
    EXPECT_EQ(r.toString(), "[0:0,0:0,0:0]");  // a new region is all zero
    EXPECT_EQ(r.getLength(), 1);
    EXPECT_EQ(Region(0).toString(), "[]");
    // Self-describing ranges: dimension d runs from 100*d + 1 to 100*d + 2*d.
    for (unsigned long d = 1; d <= 3; ++d)
        r.setRange(d, static_cast<int>(100 * d + 1), static_cast<int>(100 * d + 2 * d));
    EXPECT_EQ(r.toString(), "[101:102,201:204,301:306]");
    EXPECT_EQ(r.getLength(), 2 * 4 * 6);
    r.setRange(1, 10, 3);  // start above end: the length uses the distance
    EXPECT_EQ(std::make_tuple(r.getStart(1), r.getEnd(1), r.getLength(1)),
              std::make_tuple(10, 3, 8L));
    r.setRange(2, INT_MIN, INT_MAX);  // the distance does not fit an int
    EXPECT_EQ(r.getLength(2), 4294967296L);

    std::string const get = "request for region parameter of illegal dimension";
    std::string const set = "request to set region parameter of illegal dimension";
    EXPECT_EQ(messageOf<util::UException>([&] { r.getStart(0); }), get);
    EXPECT_EQ(messageOf<util::UException>([&] { r.getEnd(4); }), get);
    EXPECT_EQ(messageOf<util::UException>([&] { r.setRange(4, 1, 2); }), set);
    // setRegion takes a region of the same dimension only, else changes nothing.
    Region c(2);
    c.setRange(1, 1, 10);
    Region const before = c;
    EXPECT_EQ(messageOf<util::UException>([&] { c.setRegion(r); }), set);
    EXPECT_EQ(c.toString(), before.toString());
    c.setRegion(Region(2));
    EXPECT_EQ(c.toString(), "[0:0,0:0]");
}
