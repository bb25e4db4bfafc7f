#include "select/stamps.h"

#include <gtest/gtest.h>

#include "sci/fits_writer.h"
#include "tests/support/temp_dir.h"

namespace {

using selection::StampReader;

TEST(StampReader, StampsInsideTheImageOnly) {
    testsupport::TempDir dir;
    int const nx = 30, ny = 20;
    sci::MArray<float, 2> img(nx, ny), err(nx, ny);
    for (int j = 1; j <= ny; ++j)
        for (int i = 1; i <= nx; ++i) {
            img(i, j) = static_cast<float>(100 * i + j);
            err(i, j) = static_cast<float>(i + j);
        }
    sci::writeFitsImage(dir.file("a.fits"), img, -32);
    sci::writeFitsImage(dir.file("e.a.fits"), err, -32);
    selection::FitsFiles fits;
    StampReader reader(dir.file("a.fits"), fits);
    sci::MArray<float, 2> s, e;
    ASSERT_TRUE(reader.read(4, 4, 3, s, e));
    EXPECT_EQ(s(0, 0), 404.0f);
    EXPECT_EQ(s(-3, 3), 107.0f);
    EXPECT_EQ(e(3, -3), 8.0f);
    EXPECT_TRUE(reader.read(27, 17, 3, s, e));   // touches the last column and row
    EXPECT_FALSE(reader.read(3, 10, 3, s, e));   // one column short on the left
    EXPECT_FALSE(reader.read(28, 10, 3, s, e));  // one column past the right edge
    EXPECT_FALSE(reader.read(10, 18, 3, s, e));
}

}  // namespace
