#include "util/region.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "tests/support/messages.h"
#include "util/exception.h"

using util::Region;

namespace {

std::string const kGetMessage = "request for region parameter of illegal dimension";
std::string const kSetMessage = "request to set region parameter of illegal dimension";

// The message of the UException thrown by call, or "" when none is thrown.
template <class Call>
std::string messageOf(Call call) {
    return testsupport::messageOf<util::UException>(call);
}

}  // namespace

TEST(Region, RangesAreKeptAsSetAndDimensionsChecked) {
    Region r(3);
    EXPECT_EQ(r.dimensions(), 3u);
    EXPECT_EQ(r.toString(), "[0:0,0:0,0:0]");  // a new region is all zero
    EXPECT_EQ(r.getLength(1), 1);
    EXPECT_EQ(r.getLength(), 1);
    EXPECT_EQ(Region(0).getLength(), 1);
    EXPECT_EQ(Region(0).toString(), "[]");

    // Self-describing ranges: dimension d runs from 100*d + 1 to 100*d + 2*d.
    for (unsigned long d = 1; d <= 3; ++d)
        r.setRange(d, static_cast<int>(100 * d + 1), static_cast<int>(100 * d + 2 * d));
    EXPECT_EQ(r.toString(), "[101:102,201:204,301:306]");
    EXPECT_EQ(r.getStart(2), 201);
    EXPECT_EQ(r.getEnd(3), 306);
    EXPECT_EQ(r.getLength(), 2 * 4 * 6);

    r.setRange(1, 10, 3);  // start above end: the length uses the distance
    EXPECT_EQ(r.getStart(1), 10);
    EXPECT_EQ(r.getEnd(1), 3);
    EXPECT_EQ(r.getLength(1), 8);
    r.setRange(2, INT_MIN, INT_MAX);  // the distance does not fit an int
    EXPECT_EQ(r.getLength(2), 4294967296L);

    EXPECT_EQ(messageOf([&] { r.getStart(0); }), kGetMessage);
    EXPECT_EQ(messageOf([&] { r.getEnd(4); }), kGetMessage);
    EXPECT_EQ(messageOf([&] { r.getLength(0); }), kGetMessage);
    EXPECT_EQ(messageOf([&] { r.setRange(0, 1, 2); }), kSetMessage);
    EXPECT_EQ(messageOf([&] { r.setRange(4, 1, 2); }), kSetMessage);
}

// setRegion takes the ranges of a region of the same dimension only; a
// different dimension count throws and changes nothing.
TEST(Region, SetRegionChecksTheDimensions) {
    Region a(2), c(2);
    a.setRange(1, 1, 10);
    a.setRange(2, 1, 20);
    c.setRegion(a);
    EXPECT_EQ(c.toString(), "[1:10,1:20]");
    EXPECT_EQ(messageOf([&] { c.setRegion(Region(3)); }), kSetMessage);
    EXPECT_EQ(c.toString(), "[1:10,1:20]");
}
