#include "select/file_errors.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "sci/exceptions.h"
#include "tests/support/messages.h"
#include "util/exception.h"

using testsupport::messageOf;

TEST(NamingFile, PutsTheFileBeforeTheMessageAndKeepsTheType) {
    EXPECT_EQ(messageOf<sci::FitsException>([] {
                  namingFile("img.fits", [] { throw sci::FitsException("FITS file not SIMPLE"); });
              }),
              "img.fits: FITS file not SIMPLE");
    // A message that names its file already passes unchanged.
    EXPECT_EQ(messageOf<sci::FitsException>([] {
                  namingFile("img.fits", [] {
                      throw sci::FitsException("FITS file 'img.fits' ends before the END card",
                                               "img.fits");
                  });
              }),
              "FITS file 'img.fits' ends before the END card");
    // The singular matrix stays a SingularMatrixException, the base stays the base.
    EXPECT_EQ(messageOf<sci::SingularMatrixException>([] {
                  namingFile("a/b.fits", [] {
                      throw sci::SingularMatrixException("Singular matrix in Gauss-Jordan");
                  });
              }),
              "a/b.fits: Singular matrix in Gauss-Jordan");
    std::string caughtAs;
    try {
        namingFile("c.fits", [] { throw sci::LinearAlgebraException("no inverse"); });
    } catch (sci::SingularMatrixException const&) {
        caughtAs = "singular";
    } catch (sci::LinearAlgebraException const& e) {
        caughtAs = e.what();
    }
    EXPECT_EQ(caughtAs, "c.fits: no inverse");
}

TEST(NamingFile, PassesResultsAndOtherErrorsThrough) {
    std::unique_ptr<int> const value = namingFile("x", [] { return std::make_unique<int>(7); });
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(*value, 7);
    // Errors that are not about the file's content keep their text.
    EXPECT_EQ(messageOf<sci::IOException>([] {
                  namingFile("x", [] { throw sci::IOException("Cannot open file 'cat.txt'!"); });
              }),
              "Cannot open file 'cat.txt'!");
    EXPECT_EQ(messageOf<util::UException>(
                  [] { namingFile("x", [] { throw util::UException("nfields"); }); }),
              "nfields");
}
