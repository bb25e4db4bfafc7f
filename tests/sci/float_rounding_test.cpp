// Guards the build against an optimiser that drops a float rounding: values
// narrowed to float and widened again must keep the float's value.
#include <gtest/gtest.h>

#include "sci/fvector.h"

namespace {

struct Position {
    int id;
    double x, y;
};

__attribute__((noinline)) double firstOf(sci::FVector<double, 2> const& v) {
    asm volatile("" ::: "memory");
    return v(1);
}

// Narrows both coordinates to float, builds a double vector from them and
// uses the float again: the pattern in which GCC 12's SLP vectorizer lost the
// rounding.
__attribute__((noinline)) void narrowed(Position const& p, double& widened, double& passed) {
    float const x = static_cast<float>(p.x), y = static_cast<float>(p.y);
    passed = firstOf(sci::FVector<double, 2>(x, y));
    widened = static_cast<double>(x);
}

TEST(FloatRounding, NarrowedPairKeepsTheFloatValues) {
    Position const p{1, 20.3, 25.6};
    double widened = 0, passed = 0;
    narrowed(p, widened, passed);
    EXPECT_EQ(widened, static_cast<double>(20.3f));
    EXPECT_EQ(passed, static_cast<double>(20.3f));
}

}  // namespace
