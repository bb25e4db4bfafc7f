#include "select/selection.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "sci/exceptions.h"
#include "tests/support/temp_dir.h"

TEST(Selection, CreatesTheOutputTable) {
    testsupport::TempDir dir;
    Parameter P;
    P.output = dir.write("out.tbl", "old content\n");
    runSelection(P, {});
    EXPECT_TRUE(std::filesystem::exists(P.output));
    EXPECT_EQ(testsupport::readFile(P.output), "");  // an existing table is truncated
}

TEST(Selection, UnwritableTableThrowsNamingIt) {
    testsupport::TempDir dir;
    Parameter P;
    P.output = dir.file("no/such/dir/out.tbl");
    std::string message;
    try {
        runSelection(P, {});
    } catch (sci::IOException const& e) {
        message = e.what();
    }
    EXPECT_EQ(message, "cannot open file '" + P.output + "' for writing");
}
