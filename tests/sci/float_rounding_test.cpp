// Guards the build against an optimiser that drops a float rounding: values
// narrowed to float and widened again must keep the float's value.
#include <gtest/gtest.h>

#include "sci/fvector.h"

namespace {

struct Position {
    double x, y;
};

// Narrows both coordinates to float and builds a double vector from them, the
// pattern in which GCC 12's SLP vectorizer lost the rounding.
__attribute__((noinline)) sci::FVector<double, 2> narrowed(Position const& p) {
    float const x = static_cast<float>(p.x), y = static_cast<float>(p.y);
    return sci::FVector<double, 2>(x, y);
}

TEST(FloatRounding, NarrowedPairKeepsTheFloatValues) {
    Position const p{20.3, 25.6};
    sci::FVector<double, 2> const v = narrowed(p);
    EXPECT_EQ(v(1), static_cast<double>(20.3f));
    EXPECT_EQ(v(2), static_cast<double>(25.6f));
    EXPECT_NE(v(1), 20.3);
}

}  // namespace
