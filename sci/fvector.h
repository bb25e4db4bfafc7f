// sci::FVector and sci::FMatrix: small vectors and matrices of fixed size, held by
// value (no heap, no sharing), as passed to the coordinate projections.
// Index base 1: v(1) is the first element, m(i, j) the element in row i, column j.
// Memory order: FMatrix stores its elements row by row (M11, M12, ..., M21, M22, ...).
// They carry no units of their own; each user states the units of its values.
#pragma once

#include <cassert>
#include <cstddef>
#include <type_traits>

namespace sci {

template <typename T, std::size_t N>
class FVector {
    static_assert(N > 0, "an FVector holds at least one element");

  public:
    // All elements zero.
    FVector() : v_{} {}

    // Exactly N numbers, first element first: FVector<double, 2>(ra, dec).
    template <typename... A,
              typename = std::enable_if_t<sizeof...(A) == N && (std::is_arithmetic_v<A> && ...)>>
    FVector(A... values) : v_{static_cast<T>(values)...} {}

    static constexpr std::size_t size() { return N; }

    // i: 1..N.
    T& operator()(std::size_t i) {
        assert(i >= 1 && i <= N);
        return v_[i - 1];
    }
    T const& operator()(std::size_t i) const {
        assert(i >= 1 && i <= N);
        return v_[i - 1];
    }

    // Element-wise exact comparison.
    bool operator==(FVector const& other) const {
        for (std::size_t i = 0; i < N; ++i)
            if (!(v_[i] == other.v_[i])) return false;
        return true;
    }
    bool operator!=(FVector const& other) const { return !(*this == other); }

  private:
    T v_[N];
};

template <typename T, std::size_t R, std::size_t C>
class FMatrix {
    static_assert(R > 0 && C > 0, "an FMatrix holds at least one element");

  public:
    // All elements zero.
    FMatrix() : m_{} {}

    // Exactly R * C numbers, row by row: FMatrix<double, 2, 2>(m11, m12, m21, m22).
    template <typename... A, typename = std::enable_if_t<sizeof...(A) == R * C &&
                                                         (std::is_arithmetic_v<A> && ...)>>
    FMatrix(A... values) : m_{static_cast<T>(values)...} {}

    // Ones on the diagonal, zeros (+0) elsewhere.
    static FMatrix identity() {
        static_assert(R == C, "only a square matrix has an identity");
        FMatrix m;
        for (std::size_t i = 1; i <= R; ++i) m(i, i) = T(1);
        return m;
    }

    static constexpr std::size_t rows() { return R; }
    static constexpr std::size_t columns() { return C; }

    // i: row 1..R; j: column 1..C.
    T& operator()(std::size_t i, std::size_t j) {
        assert(i >= 1 && i <= R && j >= 1 && j <= C);
        return m_[(i - 1) * C + (j - 1)];
    }
    T const& operator()(std::size_t i, std::size_t j) const {
        assert(i >= 1 && i <= R && j >= 1 && j <= C);
        return m_[(i - 1) * C + (j - 1)];
    }

    // Element-wise exact comparison.
    bool operator==(FMatrix const& other) const {
        for (std::size_t k = 0; k < R * C; ++k)
            if (!(m_[k] == other.m_[k])) return false;
        return true;
    }
    bool operator!=(FMatrix const& other) const { return !(*this == other); }

  private:
    T m_[R * C];
};

}  // namespace sci
