#include "select/entry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>

#include "util/option.h"
#include "util/option_reader.h"

namespace {

// A record that passes the check: the defaults with an input table.
Parameter runnable() {
    Parameter P;
    P.input = "cat.txt";
    P.nfields[0] = P.nfields[1] = 1;
    P.number = 1;
    P.x_column = 2;
    P.boxlen = 12;
    return P;
}

}  // namespace

TEST(Entry, StartBannerEchoesTheCommandLine) {
    char const* argv[] = {"psfpick", "-i", "a b", nullptr};
    std::ostringstream out;
    writeStartBanner(out, 3, argv);
    EXPECT_EQ(out.str(), "\npsfpick -i a b \n\nsource code date: 2014/02/14\n\n");
}

TEST(Entry, CheckAcceptsBoundaryValues) {
    Parameter P = runnable();
    EXPECT_EQ(checkRun(P, 0), RunCheck::kRunPossible);
    P.x_column = -4;  // sky coordinates from columns 4 and 5
    P.number = 0;     // pass-through
    P.boxlen = 1;
    P.border = P.subfield_border = 0;
    EXPECT_EQ(checkRun(P, 0), RunCheck::kRunPossible);
    P.check_radius = 2;
    EXPECT_EQ(checkRun(P, 1), RunCheck::kRunPossible);
}

TEST(Entry, CheckRefusesEachReason) {
    struct Case {
        void (*spoil)(Parameter&);
        std::size_t files;
        RunCheck expected;
    };
    Case const cases[] = {
        {[](Parameter& P) { P.input.clear(); }, 1, RunCheck::kNoInput},
        {[](Parameter& P) { P.nfields[0] = 0; }, 1, RunCheck::kBadNfields},
        {[](Parameter& P) { P.nfields[1] = -1; }, 1, RunCheck::kBadNfields},
        {[](Parameter& P) { P.number = -1; }, 1, RunCheck::kNegativeNumber},
        {[](Parameter& P) { P.border = -1; }, 1, RunCheck::kNegativeBorder},
        {[](Parameter& P) { P.subfield_border = -1; }, 1, RunCheck::kNegativeSubfieldBorder},
        {[](Parameter& P) { P.x_column = 0; }, 1, RunCheck::kZeroXColumn},
        {[](Parameter& P) { P.check_radius = -1; }, 1, RunCheck::kNegativeCheckRadius},
        {[](Parameter& P) { P.check_radius = 1; }, 0, RunCheck::kCheckWithoutFiles},
        {[](Parameter& P) { P.boxlen = 0; }, 1, RunCheck::kBadBoxlen},
    };
    for (Case const& c : cases) {
        Parameter P = runnable();
        c.spoil(P);
        EXPECT_EQ(checkRun(P, c.files), c.expected) << refusalNotice(c.expected);
    }
    // With several faults the missing input is named first.
    Parameter P = runnable();
    P.input.clear();
    P.boxlen = 0;
    EXPECT_EQ(checkRun(P, 0), RunCheck::kNoInput);
}

TEST(Entry, NoticesAreDistinctSingleLines) {
    std::set<std::string> seen;
    for (RunCheck c :
         {RunCheck::kNoInput, RunCheck::kBadNfields, RunCheck::kNegativeNumber,
          RunCheck::kNegativeBorder, RunCheck::kNegativeSubfieldBorder, RunCheck::kZeroXColumn,
          RunCheck::kNegativeCheckRadius, RunCheck::kCheckWithoutFiles, RunCheck::kBadBoxlen}) {
        std::string const notice = refusalNotice(c);
        EXPECT_FALSE(notice.empty());
        EXPECT_EQ(notice.find('\n'), std::string::npos) << notice;
        EXPECT_TRUE(seen.insert(notice).second) << notice;
    }
    EXPECT_EQ(std::strchr(kOptionErrorNotice, '\n'), nullptr);
    EXPECT_EQ(seen.count(kOptionErrorNotice), 0u);
    EXPECT_STREQ(refusalNotice(RunCheck::kRunPossible), "");
}

TEST(Entry, ReportsWriteTheirStreams) {
    util::CommandLineReader reader(0, nullptr);
    util::OptionParser parser(&reader);
    util::IntOption border("border", "0", "border size", 'b');
    parser.addOption(&border);
    std::string const table = "border           | b |                          0 | 0\n";
    std::string const usage =
        "    -b, --border <INT>                   [0]\n"
        "        border size \n\n";

    std::ostringstream out, err;
    reportRefusal(out, err, parser, RunCheck::kBadBoxlen);
    EXPECT_EQ(out.str(), table + "\n");
    EXPECT_EQ(err.str(), std::string(refusalNotice(RunCheck::kBadBoxlen)) + "\n\n");

    std::ostringstream out2, err2;
    reportOptionError(out2, err2, parser,
                      util::UException("Unknown short option 'q' encountered!"));
    EXPECT_EQ(out2.str(), table + "\n" + usage);
    EXPECT_EQ(err2.str(), "Caught exception : Unknown short option 'q' encountered!\n" +
                              std::string(kOptionErrorNotice) + "\n\n");

    std::ostringstream out3, err3;
    reportRunFailure(out3, err3, std::runtime_error("cannot open file 'x' for reading"));
    EXPECT_EQ(out3.str(), "\n");
    EXPECT_EQ(err3.str(), "EXCEPTION: cannot open file 'x' for reading\n");
}
