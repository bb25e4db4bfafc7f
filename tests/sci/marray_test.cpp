#include "sci/marray.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <climits>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <tuple>

#include "sci/exceptions.h"
#include "tests/support/messages.h"
#include "tests/support/temp_dir.h"

namespace {

using sci::MArray;
using sci::Range;

// Fills a rank-2 array with v = 100*i + j so that a wrong base, stride or
// storage order shows in the first failing value.
void fillIndexed(MArray<float, 2>& a) {
    for (int j = a.base(2); j <= a.last(2); ++j)
        for (int i = a.base(1); i <= a.last(1); ++i) a(i, j) = static_cast<float>(100 * i + j);
}

template <class T>
std::string textOf(MArray<T, 1> const& a) {
    std::ostringstream os;
    os << a;
    return os.str();
}

TEST(MArray, FreshArraysAreIndexedInStorageOrder) {
    MArray<int, 1> a(5);
    EXPECT_EQ(a.base(), 1);
    EXPECT_EQ(a.last(), 5);
    EXPECT_EQ(&a(1), a.firstElement());
    MArray<float, 2> img(4, 3);
    fillIndexed(img);
    // The first index varies fastest in memory.
    float const* p = img.firstElement();
    EXPECT_EQ(std::vector<float>(p, p + 5), (std::vector<float>{101, 201, 301, 401, 102}));
    // A stamp built from ranges is indexed around its centre.
    MArray<float, 2> stamp(Range(-2, 2), Range(-2, 2));
    EXPECT_EQ(stamp.length(1), 5);
    EXPECT_EQ(&stamp(-2, -2), stamp.firstElement());
    EXPECT_EQ(&stamp(0, 0), stamp.firstElement() + 12);
    EXPECT_EQ(stamp.shape().zeroOffset, 12);
}

// Views share storage that outlives the first array; the stream text shows
// type, length, bases and elements.
TEST(MArray, ViewsAndStreamText) {
    MArray<float, 1> view;
    {
        MArray<float, 1> a(3);
        a = 1.5f;
        view.makeReference(a);
        a(2) = 7.0f;
        MArray<float, 1> copyOfView(view);  // copy construction is one more view
        EXPECT_EQ(view.references(), 3);
        copyOfView(3) = 9.0f;
    }
    EXPECT_EQ(view.references(), 1);
    EXPECT_EQ(textOf(view), "MArray<float,1> ( 3 ) : (1,3) \n[ 1.5 7 9 ]");
    MArray<int, 1> b(Range(-1, 0));
    b(-1) = -4;
    b(0) = 12;
    EXPECT_EQ(textOf(b), "MArray<int,1> ( 2 ) : (-1,0) \n[ -4 12 ]");
    EXPECT_EQ(textOf(MArray<int, 1>(0)), "MArray<int,1> ( 0 ) : (1,0) \n[ ]");
}

TEST(MArray, SubarraysAreRebasedViews) {
    MArray<float, 2> parent(10, 8);
    fillIndexed(parent);
    MArray<float, 2> sub;
    sub.subarray(parent, Range(3, 6), Range(2, 4));
    EXPECT_EQ(sub.length(1), 4);
    EXPECT_EQ(sub.length(2), 3);
    EXPECT_FALSE(sub.isContiguous());
    EXPECT_EQ(sub(1, 1), 302.0f);
    EXPECT_EQ(sub(4, 3), 604.0f);
    EXPECT_EQ(std::vector<float>(sub.begin(), sub.end()).size(), 12u);
    // Writes through the view change the parent, and only inside the view.
    sub = -1.0f;
    for (auto [i, j, v] :
         {std::tuple{3, 2, -1.0f}, std::tuple{6, 4, -1.0f}, std::tuple{2, 2, 202.0f},
          std::tuple{7, 4, 704.0f}, std::tuple{3, 5, 305.0f}})
        EXPECT_EQ(parent(i, j), v) << i << "," << j;
    MArray<float, 2> full;
    full.subarray(parent, Range(1, 10), Range(2, 3));
    EXPECT_TRUE(full.isContiguous());  // whole rows are contiguous

    // Range::all, strides and backward ranges on another base.
    MArray<int, 1> a(Range(-3, 12));
    for (int i = -3; i <= 12; ++i) a(i) = 100 + i;
    MArray<int, 1> whole, even, backwards;
    whole.subarray(a, Range::all());
    EXPECT_EQ(whole.length(), 16);
    EXPECT_EQ(whole(1), 97);
    even.subarray(a, Range(2, 9, 2));
    EXPECT_EQ(textOf(even), "MArray<int,1> ( 4 ) : (1,4) \n[ 102 104 106 108 ]");
    backwards.subarray(a, Range(5, 1, -2));
    EXPECT_EQ(textOf(backwards), "MArray<int,1> ( 3 ) : (1,3) \n[ 105 103 101 ]");
}

TEST(MArray, CopyAllocatesOrEmptiesAndAssignmentCopiesElements) {
    MArray<float, 2> src(Range(0, 2), Range(5, 6));
    fillIndexed(src);
    MArray<float, 2> dst;
    dst.copy(src);
    EXPECT_EQ(dst.base(1), 0);
    EXPECT_EQ(dst.base(2), 5);
    EXPECT_EQ(dst(2, 6), 206.0f);
    dst(0, 5) = -7.0f;
    EXPECT_EQ(src(0, 5), 5.0f);  // deep copy, not a view
    // Assignment into existing storage keeps the destination's own bases.
    MArray<float, 2> other(3, 2);
    other = src;
    EXPECT_EQ(other(1, 1), 5.0f);
    EXPECT_EQ(other(3, 2), 206.0f);
    MArray<float, 2> empty;
    dst.copy(empty);
    EXPECT_FALSE(dst.hasStorage());
    EXPECT_EQ(dst.size(), 0);
}

TEST(MArray, MemoryMappedStorageUsesATemporaryFileThatIsRemoved) {
    testsupport::TempDir dir;
    auto filesInDir = [&dir] {
        std::vector<std::string> names;
        for (auto const& entry : std::filesystem::directory_iterator(dir.path()))
            names.push_back(entry.path().filename().string());
        return names;
    };
    char old[4096];
    ASSERT_NE(getcwd(old, sizeof old), nullptr);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    {
        sci::Shape<2> shape;
        shape.base = {1, 1};
        shape.length = {6, 5};
        MArray<float, 2> mapped(&shape, true);
        fillIndexed(mapped);
        EXPECT_EQ(mapped(6, 5), 605.0f);
        std::vector<std::string> const files = filesInDir();
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(files[0].rfind("sci.", 0), 0u);
    }
    EXPECT_TRUE(filesInDir().empty());  // the temporary file is gone with the block
    // A named file is kept and holds the elements.
    std::string const named = dir.file("kept.map");
    {
        sci::Shape<1> shape;
        shape.base = {1};
        shape.length = {4};
        MArray<int, 1> mapped(&shape, true, named.c_str());
        for (int i = 1; i <= 4; ++i) mapped(i) = 10 * i;
        EXPECT_EQ(testsupport::messageOf<sci::RangeException>(
                      [&] { MArray<int, 1> bad(&shape, true, "/nonexistent-dir/x.map"); }),
                  "Cannot open memory map file.");
    }
    std::string const bytes = testsupport::readFile(named);
    ASSERT_EQ(bytes.size(), 4 * sizeof(int));
    int values[4];
    std::memcpy(values, bytes.data(), sizeof values);
    EXPECT_EQ(values[3], 40);
    ASSERT_EQ(chdir(old), 0);
}

}  // namespace
