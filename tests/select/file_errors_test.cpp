#include "select/file_errors.h"

#include <gtest/gtest.h>

#include <string>

#include "sci/exceptions.h"
#include "tests/support/messages.h"
#include "util/exception.h"

namespace {

using selection::namingFile;

// The message of the exception caught as Caught after namingFile(file, ...)
// ran a call that throws thrown.
template <class Caught, class Thrown>
std::string named(char const* file, Thrown const& thrown) {
    return testsupport::messageOf<Caught>([&] { namingFile(file, [&] { throw thrown; }); });
}

}  // namespace

// Errors about a file's content get the file's name in front, unless they
// name it already, and keep their type; other errors pass unchanged; a value
// is handed back.
TEST(NamingFile, PutsTheFileBeforeTheMessageAndKeepsTheType) {
    EXPECT_EQ(named<sci::FitsException>("img.fits", sci::FitsException("FITS file not SIMPLE")),
              "img.fits: FITS file not SIMPLE");
    EXPECT_EQ(named<sci::FitsException>(
                  "img.fits",
                  sci::FitsException("FITS file 'img.fits' ends before the END card", "img.fits")),
              "FITS file 'img.fits' ends before the END card");
    EXPECT_EQ(named<sci::SingularMatrixException>(
                  "a/b.fits", sci::SingularMatrixException("Singular matrix in Gauss-Jordan")),
              "a/b.fits: Singular matrix in Gauss-Jordan");
    EXPECT_EQ(
        named<sci::LinearAlgebraException>("c.fits", sci::LinearAlgebraException("no inverse")),
        "c.fits: no inverse");
    EXPECT_EQ(named<sci::IOException>("x", sci::IOException("Cannot open file 'cat.txt'!")),
              "Cannot open file 'cat.txt'!");
    EXPECT_EQ(named<util::UException>("x", util::UException("nfields")), "nfields");
    EXPECT_EQ(namingFile("x", [] { return 7; }), 7);
}
