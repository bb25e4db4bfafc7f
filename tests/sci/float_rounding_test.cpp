// Guards the build against an optimiser that drops a float rounding: values
// narrowed to float and widened again must keep the float's value.
#include <gtest/gtest.h>

// External linkage on purpose: the fault showed with these as ordinary
// functions, not with internal ones.
namespace float_rounding_test {

// Two doubles made from two floats, as a position vector is built from the
// float columns of the catalogue.
struct Pair {
    double v[2];
    Pair(float a, float b) : v{static_cast<double>(a), static_cast<double>(b)} {}
};

struct Row {
    int id;
    double x, y;
};

__attribute__((noinline)) double firstOf(Pair const& p) {
    asm volatile("" ::: "memory");
    return p.v[0];
}

// Narrows both coordinates to float, builds a Pair from them and uses the
// float again: the pattern in which GCC 12's SLP vectorizer lost the rounding.
__attribute__((noinline)) void narrowed(Row const& row, double& widened, double& passed) {
    float const x = static_cast<float>(row.x), y = static_cast<float>(row.y);
    passed = firstOf(Pair(x, y));
    widened = x;
}

TEST(FloatRounding, NarrowedPairKeepsTheFloatValues) {
    Row const row{1, 20.3, 25.6};
    double widened = 0, passed = 0;
    narrowed(row, widened, passed);
    EXPECT_EQ(widened, static_cast<double>(20.3f));
    EXPECT_EQ(passed, static_cast<double>(20.3f));
}

}  // namespace float_rounding_test
