// The files of psfpick-mock: image and error image of the size asked, and the
// catalogue and truth rows of this seed's random stream.
#include <gtest/gtest.h>

#include "tests/tools/tool_test_util.h"
#include "tools/fits_image.h"

namespace {

using namespace tooltest;

TEST(MockProgram, WritesImageErrorImageCatalogueAndTruth) {
    for (char const* name : {"f.fits", "e.f.fits"}) {
        tools::FloatImage const image = tools::readFitsImage(mockFile(name));
        EXPECT_EQ(std::vector<long>({image.nx, image.ny}), std::vector<long>({512, 512})) << name;
    }
    // 300 rows in each; the first source as both files write it.
    std::string const cat = readFile(mockFile("f.cat")), truth = readFile(mockFile("f.truth"));
    EXPECT_EQ(dataLines(cat), 300u);
    EXPECT_EQ(dataLines(truth), 300u);
    EXPECT_NE(cat.find("\n         1    264.0078     92.7900  202.46877264  +47.18180999       "
                       "6926.126    0  0.982\n"),
              std::string::npos);
    EXPECT_NE(truth.find("\n1 264.06795 92.74698 7038.6238 5.34939 4.54698 30.0000 4.94819 2.9000 "
                         "189.0106 0 0\n"),
              std::string::npos);
}

}  // namespace
