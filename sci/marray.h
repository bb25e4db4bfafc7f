// sci::MArray<T,N>: the one array type of psfpick. An array is a view on
// reference-counted storage with its own index range per dimension, so columns,
// stamps and matrices move and share without element copies.
// Index base: 1 in every dimension unless a view re-bases it (stamps use -r..r).
// Memory order: the first index varies fastest (the pixel order of FITS images).
#pragma once

#include <array>
#include <cassert>
#include <climits>
#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <ostream>
#include <type_traits>
#include <utility>

#include "sci/memory_block.h"

namespace sci {

// The index geometry of an N-dimensional array. Dimensions are numbered 1..N
// in the accessors; the arrays below are 0-based internally.
template <int N>
struct Shape {
    static_assert(N >= 1, "an array has at least one dimension");

    // Minus the sum of base * stride: the offset of element (0, ..., 0) from
    // the first element.
    long zeroOffset = 0;
    std::array<int, N> base{};
    std::array<int, N> length{};
    std::array<long, N> stride{};
    bool contiguous = true;  // elements can be visited in storage order with one step
    long count = 0;          // product of the lengths

    // Strides for a fresh array from its bases and lengths: stride 1 in the
    // first dimension, stride[d] = stride[d-1] * length[d-1] after it.
    void setupSelf() {
        long s = 1;
        for (int d = 0; d < N; ++d) {
            stride[d] = s;
            s *= length[d];
        }
        contiguous = true;
        finish();
    }

    // Recomputes the zero offset and the element count from bases, lengths and strides.
    void finish() {
        zeroOffset = 0;
        count = 1;
        for (int d = 0; d < N; ++d) {
            zeroOffset -= static_cast<long>(base[d]) * stride[d];
            count *= length[d];
        }
    }

    int last(int d) const { return base[d - 1] + length[d - 1] - 1; }
};

// An index range used to cut sub-arrays: first..last with a stride (not 0).
// kWhole as first or last stands for the dimension's own first or last index.
struct Range {
    static constexpr int kWhole = INT_MIN;

    int first;
    int last;
    int stride;

    Range(int first_, int last_, int stride_ = 1) : first(first_), last(last_), stride(stride_) {
        assert(stride_ != 0);
    }
    static Range all() { return Range(kWhole, kWhole); }
};

template <class T, int N>
class MArray;

// A read or write cursor over an array's elements in storage order (first
// index fastest). P is T* or T const*.
template <class T, int N, class P>
class MArrayCursor {
  public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = std::remove_const_t<T>;
    using difference_type = std::ptrdiff_t;
    using pointer = P;
    using reference = decltype(*std::declval<P>());

    MArrayCursor() = default;
    MArrayCursor(P first, Shape<N> const& shape, bool atEnd) : ptr_(first) {
        for (int d = 0; d < N; ++d) {
            length_[d] = shape.length[d];
            stride_[d] = shape.stride[d];
        }
        remaining_ = atEnd ? 0 : shape.count;
        if (remaining_ == 0) ptr_ = nullptr;
    }

    reference operator*() const { return *ptr_; }
    P operator->() const { return ptr_; }

    MArrayCursor operator++(int) {
        MArrayCursor before = *this;
        ++*this;
        return before;
    }
    MArrayCursor& operator++() {
        if (--remaining_ == 0) {
            ptr_ = nullptr;
            return *this;
        }
        ptr_ += stride_[0];
        if (++index_[0] < length_[0]) return *this;
        advanceDim_();
        return *this;
    }

    bool operator==(MArrayCursor const& other) const { return remaining_ == other.remaining_; }
    bool operator!=(MArrayCursor const& other) const { return remaining_ != other.remaining_; }

  private:
    // Moves from the end of one run along dimension 1 to the start of the next.
    void advanceDim_() {
        ptr_ -= stride_[0] * length_[0];
        index_[0] = 0;
        for (int d = 1; d < N; ++d) {
            ptr_ += stride_[d];
            if (++index_[d] < length_[d]) return;
            ptr_ -= stride_[d] * length_[d];
            index_[d] = 0;
        }
    }

    P ptr_ = nullptr;
    long remaining_ = 0;
    std::array<int, N> index_{};
    std::array<int, N> length_{};
    std::array<long, N> stride_{};
};

template <class T, int N>
using MArrayIter = MArrayCursor<T, N, T*>;
template <class T, int N>
using MArrayIterConst = MArrayCursor<T, N, T const*>;

template <class T, int N>
class MArray {
    static_assert(N >= 1, "an array has at least one dimension");

  public:
    using value_type = T;
    using iterator = MArrayIter<T, N>;
    using const_iterator = MArrayIterConst<T, N>;

    // An empty array: no storage, no elements.
    MArray() = default;

    // Fresh heap storage of the given lengths (one per dimension), bases 1.
    template <class... L,
              class = std::enable_if_t<sizeof...(L) == N && (std::is_integral_v<L> && ...)>>
    explicit MArray(L... lengths) {
        int const len[N] = {static_cast<int>(lengths)...};
        for (int d = 0; d < N; ++d) {
            shape_.base[d] = 1;
            shape_.length[d] = len[d] > 0 ? len[d] : 0;
        }
        shape_.setupSelf();
        setupMemory(false, nullptr);
    }

    // Fresh heap storage over the index ranges first..last of each dimension
    // (stride 1), e.g. a stamp indexed -r..r.
    template <class... R,
              class = std::enable_if_t<sizeof...(R) == N && (std::is_same_v<R, Range> && ...)>>
    explicit MArray(R const&... ranges) {
        Range const r[N] = {ranges...};
        for (int d = 0; d < N; ++d) {
            shape_.base[d] = r[d].first;
            shape_.length[d] = r[d].last >= r[d].first ? r[d].last - r[d].first + 1 : 0;
        }
        shape_.setupSelf();
        setupMemory(false, nullptr);
    }

    // The bases and lengths of shape, with fresh storage: on the heap, or with
    // map true in a memory-mapped file (named, or a temporary "./sci.XXXXXX").
    MArray(Shape<N> const* shape, bool map, char const* filename = nullptr) {
        shape_.base = shape->base;
        shape_.length = shape->length;
        shape_.setupSelf();
        setupMemory(map, filename);
    }

    // Adopts buffer (allocated with new T[]) as the storage of an array with
    // bases 1 and the given lengths; the array owns it from now on.
    template <class... L,
              class = std::enable_if_t<sizeof...(L) == N && (std::is_integral_v<L> && ...)>>
    static MArray adopt(T* buffer, L... lengths) {
        MArray a;
        int const len[N] = {static_cast<int>(lengths)...};
        for (int d = 0; d < N; ++d) {
            a.shape_.base[d] = 1;
            a.shape_.length[d] = len[d];
        }
        a.shape_.setupSelf();
        a.block_ = new MemoryBlock<T>(buffer);
        a.first_ = buffer;
        return a;
    }

    // Copies are views of the same storage.
    MArray(MArray const& other) : block_(other.block_), shape_(other.shape_), first_(other.first_) {
        if (block_) block_->addReference();
        if (N == 1) shape_.contiguous = true;
    }
    MArray(MArray&& other) noexcept
        : block_(other.block_), shape_(other.shape_), first_(other.first_) {
        other.block_ = nullptr;
        other.first_ = nullptr;
        other.shape_ = Shape<N>{};
    }

    ~MArray() { release_(); }

    // Array assignment copies the elements of other into this array's own
    // storage, in storage order; the two arrays must have the same lengths. An
    // array without storage first takes other's bases and lengths (as copy()).
    MArray& operator=(MArray const& other) {
        if (this == &other) return *this;
        if (!block_) {
            copy(other);
            return *this;
        }
        assign_(other);
        return *this;
    }

    // Scalar assignment: every element becomes value.
    MArray& operator=(T const& value) {
        for (T& e : *this) e = value;
        return *this;
    }

    // Drops the old storage and becomes a further view of other's storage.
    void makeReference(MArray const& other) {
        if (this == &other) return;
        if (other.block_) other.block_->addReference();
        release_();
        block_ = other.block_;
        shape_ = other.shape_;
        first_ = other.first_;
        if (N == 1) shape_.contiguous = true;
    }

    // Copies the elements of other. An empty other empties this array; an array
    // without storage takes other's bases and lengths and fresh heap storage;
    // an array with storage keeps it and its own element count decides how
    // many elements are copied.
    void copy(MArray const& other) {
        if (this == &other) return;
        if (!other.block_) {
            release_();
            shape_ = Shape<N>{};
            return;
        }
        if (!block_) {
            shape_.base = other.shape_.base;
            shape_.length = other.shape_.length;
            shape_.setupSelf();
            setupMemory(false, nullptr);
        }
        assign_(other);
    }

    // This array becomes a view of parent restricted to the given ranges (one
    // per dimension), every dimension re-based to 1.
    template <class... R,
              class = std::enable_if_t<sizeof...(R) == N && (std::is_same_v<R, Range> && ...)>>
    void subarray(MArray const& parent, R const&... ranges) {
        makeReference(parent);
        Range const r[N] = {ranges...};
        for (int d = 0; d < N; ++d) setrange(d + 1, r[d]);
    }

    // Restricts dimension dim (1-based) to the range r in place: new index 1
    // addresses old index r.first, new index k old index first + (k-1)*stride;
    // the length is (last - first) / stride + 1.
    void setrange(int dim, Range const& r) {
        assert(dim >= 1 && dim <= N && r.stride != 0);
        int const d = dim - 1;
        int const first = r.first == Range::kWhole ? shape_.base[d] : r.first;
        int const last = r.last == Range::kWhole ? shape_.last(dim) : r.last;
        int const length = (last - first) / r.stride + 1;
        if (first_) first_ += static_cast<long>(first - shape_.base[d]) * shape_.stride[d];
        shape_.length[d] = length > 0 ? length : 0;
        shape_.stride[d] *= r.stride;
        shape_.base[d] = 1;
        shape_.finish();
        updateContiguity_();
    }

    // Creates storage for the current shape: heap storage, or with map true a
    // memory-mapped file (throws sci::RangeException when that fails).
    void setupMemory(bool map, char const* filename) {
        release_();
        size_t const n = static_cast<size_t>(shape_.count);
        if (map)
            block_ = new MemoryMapBlock<T>(n, filename);
        else
            block_ = new MemoryBlock<T>(n);
        first_ = block_->data();
    }

    // Element access; indices must lie within base..last of each dimension.
    template <class... I,
              class = std::enable_if_t<sizeof...(I) == N && (std::is_integral_v<I> && ...)>>
    T& operator()(I... index) {
        return first_[offset_(index...)];
    }
    template <class... I,
              class = std::enable_if_t<sizeof...(I) == N && (std::is_integral_v<I> && ...)>>
    T const& operator()(I... index) const {
        return first_[offset_(index...)];
    }

    // d: dimension 1..N.
    int base(int d = 1) const { return shape_.base[d - 1]; }
    int length(int d = 1) const { return shape_.length[d - 1]; }
    int last(int d = 1) const { return shape_.last(d); }
    long stride(int d = 1) const { return shape_.stride[d - 1]; }
    long size() const { return block_ ? shape_.count : 0; }
    bool hasStorage() const { return block_ != nullptr; }
    bool isContiguous() const { return shape_.contiguous; }
    Shape<N> const& shape() const { return shape_; }
    // Address of the first element (indices base..base); null without storage.
    T* firstElement() const { return first_; }
    // How many arrays share this array's storage (0 without storage).
    int references() const { return block_ ? block_->references() : 0; }

    iterator begin() { return iterator(first_, shape_, size() == 0); }
    iterator end() { return iterator(first_, shape_, true); }
    const_iterator begin() const { return const_iterator(first_, shape_, size() == 0); }
    const_iterator end() const { return const_iterator(first_, shape_, true); }

  private:
    template <class... I>
    long offset_(I... index) const {
        long const idx[N] = {static_cast<long>(index)...};
        long off = 0;
        for (int d = 0; d < N; ++d) off += (idx[d] - shape_.base[d]) * shape_.stride[d];
        return off;
    }

    void updateContiguity_() {
        // Rank 1 is always visited with one step; higher ranks when every
        // stride continues the previous dimension.
        bool c = true;
        for (int d = 1; d < N; ++d)
            if (shape_.stride[d] != shape_.stride[d - 1] * shape_.length[d - 1]) c = false;
        shape_.contiguous = c;
    }

    // Element-wise copy in storage order over this array's element count.
    void assign_(MArray const& other) {
        if (shape_.contiguous && other.shape_.contiguous) {
            long const n = size();
            long const s = shape_.stride[0];
            long const so = other.shape_.stride[0];
            T* dst = first_;
            T const* src = other.first_;
            for (long k = 0; k < n; ++k) dst[k * s] = src[k * so];
            return;
        }
        auto src = other.begin();
        for (auto dst = begin(); dst != end() && src != other.end(); ++dst, ++src) *dst = *src;
    }

    void release_() {
        if (block_) block_->removeReference();
        block_ = nullptr;
        first_ = nullptr;
    }

    MemoryBlock<T>* block_ = nullptr;
    Shape<N> shape_{};
    T* first_ = nullptr;  // address of the element at the bases
};

// Writes "( length ) : (base,last) ".
std::ostream& operator<<(std::ostream& os, Shape<1> const& shape);

// The name used by the stream output of arrays: "float", "int", "double".
template <class T>
char const* elementTypeName();
template <>
inline char const* elementTypeName<float>() {
    return "float";
}
template <>
inline char const* elementTypeName<int>() {
    return "int";
}
template <>
inline char const* elementTypeName<double>() {
    return "double";
}

// "MArray<float,1> ( 3 ) : (1,3) \n[ 1 2 3 ]": type, shape, newline, then the
// elements in storage order in the stream's current number format.
template <class T>
std::ostream& operator<<(std::ostream& os, MArray<T, 1> const& a) {
    os << "MArray<" << elementTypeName<T>() << ",1> " << a.shape() << '\n' << "[ ";
    for (T const& e : a) os << e << " ";
    return os << "]";
}

}  // namespace sci
