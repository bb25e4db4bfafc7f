#include "select/image_names.h"

#include <gtest/gtest.h>

namespace {

using selection::errorImageName;

TEST(ErrorImageName, PutsTheMarkBeforeTheFileNameOnly) {
    EXPECT_EQ(errorImageName("a.fits"), "e.a.fits");
    EXPECT_EQ(errorImageName("dir/sub/a.fits"), "dir/sub/e.a.fits");
}

}  // namespace
