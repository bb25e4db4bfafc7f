// The floating-point comparisons of the test suite.
//
// closeTo(a, b, tol) is true when |a - b| <= tol * max(1, |a|, |b|): a relative
// tolerance for large values that turns into an absolute one below 1, so that
// values near 0 compare sensibly. Special values:
//   - NaN matches NaN only (two NaNs are "the same result"); NaN never matches a number;
//   - +inf matches +inf and -inf matches -inf, whatever tol is; inf never matches a finite value;
//   - tol = 0 demands exact equality (then prefer EXPECT_EQ).
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace testsupport {

inline bool closeTo(double a, double b, double tol) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    if (std::isinf(a) || std::isinf(b)) return a == b;
    double const scale = std::fmax(1.0, std::fmax(std::fabs(a), std::fabs(b)));
    return std::fabs(a - b) <= tol * scale;
}

// For results that must be bit-identical: the same bits, or NaN on both sides
// (the sign and payload of a NaN made from two NaNs may follow the operand
// order, which the compiler chooses).
template <class T>
bool sameBits(T a, T b) {
    return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b));
}

inline ::testing::AssertionResult assertClose(char const* aExpr, char const* bExpr,
                                              char const* /*tolExpr*/, double a, double b,
                                              double tol) {
    if (closeTo(a, b, tol)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << aExpr << " = " << a << " and " << bExpr << " = " << b << " differ by "
           << std::fabs(a - b) << ", more than the tolerance " << tol;
}

}  // namespace testsupport

#define EXPECT_CLOSE(a, b, tol) EXPECT_PRED_FORMAT3(::testsupport::assertClose, a, b, tol)
#define ASSERT_CLOSE(a, b, tol) ASSERT_PRED_FORMAT3(::testsupport::assertClose, a, b, tol)
