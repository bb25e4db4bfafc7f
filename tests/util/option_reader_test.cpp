#include "util/option_reader.h"

#include <gtest/gtest.h>

#include <list>
#include <string>

#include "tests/support/messages.h"
#include "tests/util/test_args.h"
#include "util/exception.h"
#include "util/option.h"

using testsupport::Args;
using util::CommandLineReader;

namespace {

using Files = std::list<std::string>;

// The message of the UException thrown by call, or "" when none is thrown.
template <class Call>
std::string messageOf(Call call) {
    return testsupport::messageOf<util::UException>(call);
}

}  // namespace

TEST(CommandLineReader, TokenFormsGiveNames) {
    Args args({"--input", "-v", "-abc", "--c", "-x"});
    CommandLineReader reader(args.argc(), args.argv());
    EXPECT_FALSE(reader.done());
    EXPECT_EQ(reader.nextOptionName(), "input");
    EXPECT_EQ(reader.nextOptionName(), "v");
    EXPECT_EQ(reader.nextOptionName(), "abc");  // a long name after a single dash
    EXPECT_EQ(reader.nextOptionName(), "c");    // a short name after two dashes
    EXPECT_EQ(reader.nextOptionName(), "x");
    EXPECT_TRUE(reader.done());
    EXPECT_EQ(messageOf([&] { reader.nextOptionName(); }), "No more arguments left!");
}

TEST(CommandLineReader, RejectsTokensThatAreNoOptionsOrNoValues) {
    util::IntOption i("number", "0", "", 'n');
    for (std::string const token : {"-", "--", "-v x", "file"}) {
        Args args({"-n", token});
        CommandLineReader reader(args.argc(), args.argv());
        reader.nextOptionName();
        EXPECT_EQ(messageOf([&] { reader.nextOptionName(); }),
                  "Token '" + token + "' not an argument specifier!");
    }
    for (std::string const value : {"-x", "-", "--5"}) {
        Args args({"-n", value});
        CommandLineReader reader(args.argc(), args.argv());
        reader.nextOptionName();
        EXPECT_EQ(messageOf([&] { reader.nextOptionValue(&i); }),
                  "Token '" + value + "' does not seem like a valid value!");
    }
    Args last({"-n"});
    CommandLineReader reader(last.argc(), last.argv());
    reader.nextOptionName();
    EXPECT_EQ(messageOf([&] { reader.nextOptionValue(&i); }), "No more argument values left!");
}

// Values may be negative numbers; flags consume no token; the first token that
// does not begin with "-" after a value starts the file arguments.
TEST(CommandLineReader, ValuesFlagsAndFileArguments) {
    util::IntOption i("number", "0", "", 'n');
    util::DoubleOption d("thresh", "0", "", 't');
    util::BoolOption flag("mag", "false", "", 'm');
    Args args({"-n", "-5", "-m", "-t", "-.5", "-m", "-n", "7", "rest", "-v"});
    CommandLineReader reader(args.argc(), args.argv());
    EXPECT_EQ(reader.nextOptionName(), "n");
    EXPECT_EQ(reader.nextOptionValue(&i), "-5");
    EXPECT_EQ(reader.nextOptionName(), "m");
    EXPECT_EQ(reader.nextOptionValue(&flag), "toggle");
    EXPECT_EQ(reader.nextOptionName(), "t");
    EXPECT_EQ(reader.nextOptionValue(&d), "-.5");
    EXPECT_EQ(reader.nextOptionName(), "m");
    EXPECT_EQ(reader.nextOptionValue(&flag), "toggle");
    EXPECT_FALSE(reader.done());
    reader.nextOptionName();
    EXPECT_EQ(reader.nextOptionValue(&i), "7");
    EXPECT_TRUE(reader.done());
    EXPECT_EQ(reader.fileArguments(), Files({"rest", "-v"}));
    EXPECT_EQ(reader.fileArguments(), Files());

    // A flag as the last option, then a file.
    Args flagged({"-m", "img.fits"});
    CommandLineReader afterFlag(flagged.argc(), flagged.argv());
    afterFlag.nextOptionName();
    EXPECT_EQ(afterFlag.nextOptionValue(&flag), "toggle");
    EXPECT_TRUE(afterFlag.done());
    EXPECT_EQ(afterFlag.fileArguments(), Files({"img.fits"}));

    // The first argument is no option: everything is a file argument.
    Args files({"image.fits", "-v", "2"});
    CommandLineReader allFiles(files.argc(), files.argv());
    EXPECT_TRUE(allFiles.done());
    EXPECT_EQ(allFiles.fileArguments(), Files({"image.fits", "-v", "2"}));

    // No arguments, or not even the program name.
    Args none({});
    CommandLineReader empty(none.argc(), none.argv());
    EXPECT_TRUE(empty.done());
    EXPECT_EQ(empty.fileArguments(), Files());
    char* argv[] = {nullptr};
    CommandLineReader nothing(0, argv);
    EXPECT_TRUE(nothing.done());
    EXPECT_EQ(nothing.fileArguments(), Files());
}
