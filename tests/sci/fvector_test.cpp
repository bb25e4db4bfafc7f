#include "sci/fvector.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// v = 100 * row + column shows any transposition or base error; the identity
// has positive zeros, which keep the sign of products exact.
TEST(FMatrix, StoresRowByRowAndIndexesFromOne) {
    sci::FMatrix<double, 2, 3> const m(101, 102, 103, 201, 202, 203);
    for (std::size_t i = 1; i <= 2; ++i)
        for (std::size_t j = 1; j <= 3; ++j) EXPECT_EQ(m(i, j), 100.0 * i + j) << i << "," << j;
    auto const id = sci::FMatrix<double, 2, 2>::identity();
    EXPECT_EQ(id, (sci::FMatrix<double, 2, 2>(1, 0, 0, 1)));
    EXPECT_FALSE(std::signbit(id(1, 2)) || std::signbit(id(2, 1)));
}

TEST(FVector, HoldsValuesInOrderAndStartsAtZero) {
    sci::FVector<double, 3> v(1, 2, 3);
    v(2) = 20;
    EXPECT_EQ(v, (sci::FVector<double, 3>(1, 20, 3)));
    EXPECT_NE(v, (sci::FVector<double, 3>(1, 2, 3)));
    EXPECT_EQ((sci::FVector<double, 2>()), (sci::FVector<double, 2>(0, 0)));
}

}  // namespace
