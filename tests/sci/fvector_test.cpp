#include "sci/fvector.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(FMatrix, StoresRowByRowAndIndexesFromOne) {
    // v = 100 * row + column shows any transposition or base error.
    sci::FMatrix<double, 2, 3> const m(101, 102, 103, 201, 202, 203);
    for (std::size_t i = 1; i <= 2; ++i)
        for (std::size_t j = 1; j <= 3; ++j) EXPECT_EQ(m(i, j), 100.0 * i + j) << i << "," << j;
}

TEST(FMatrix, IdentityHasPositiveZerosOffTheDiagonal) {
    auto const m = sci::FMatrix<double, 2, 2>::identity();
    EXPECT_EQ(m, (sci::FMatrix<double, 2, 2>(1, 0, 0, 1)));
    EXPECT_FALSE(std::signbit(m(1, 2)));
    EXPECT_FALSE(std::signbit(m(2, 1)));
}

TEST(FVector, HoldsValuesInOrderAndStartsAtZero) {
    sci::FVector<double, 3> v(1, 2, 3);
    EXPECT_EQ(v(1), 1.0);
    EXPECT_EQ(v(3), 3.0);
    v(2) = 20;
    EXPECT_EQ(v, (sci::FVector<double, 3>(1, 20, 3)));
    EXPECT_NE(v, (sci::FVector<double, 3>(1, 2, 3)));
    EXPECT_EQ((sci::FVector<double, 2>()), (sci::FVector<double, 2>(0, 0)));
}

}  // namespace
