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

TEST(CommandLineReader, RejectsTokensThatAreNoOptions) {
    for (std::string const token : {"-", "--", "-v x", "file"}) {
        Args args({"-v", token});
        CommandLineReader reader(args.argc(), args.argv());
        reader.nextOptionName();
        EXPECT_EQ(messageOf([&] { reader.nextOptionName(); }),
                  "Token '" + token + "' not an argument specifier!");
    }
}

TEST(CommandLineReader, ValuesMayBeNegativeNumbers) {
    util::IntOption i("number", "0", "", 'n');
    util::DoubleOption d("thresh", "0", "", 't');
    Args args({"-n", "-5", "-t", "-.5", "-n", "7", "rest"});
    CommandLineReader reader(args.argc(), args.argv());
    reader.nextOptionName();
    EXPECT_EQ(reader.nextOptionValue(&i), "-5");
    reader.nextOptionName();
    EXPECT_EQ(reader.nextOptionValue(&d), "-.5");
    EXPECT_FALSE(reader.done());
    reader.nextOptionName();
    EXPECT_EQ(reader.nextOptionValue(&i), "7");
    EXPECT_TRUE(reader.done());  // "rest" does not begin with "-"
    EXPECT_EQ(reader.fileArguments(), Files({"rest"}));
}

TEST(CommandLineReader, RejectsMissingOrDashedValues) {
    util::IntOption i("number", "0", "", 'n');
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

TEST(CommandLineReader, FlagsConsumeNoToken) {
    util::BoolOption flag("mag", "false", "", 'm');
    Args args({"-m", "-m", "img.fits"});
    CommandLineReader reader(args.argc(), args.argv());
    reader.nextOptionName();
    EXPECT_EQ(reader.nextOptionValue(&flag), "toggle");
    EXPECT_FALSE(reader.done());
    reader.nextOptionName();
    EXPECT_EQ(reader.nextOptionValue(&flag), "toggle");
    EXPECT_TRUE(reader.done());
    EXPECT_EQ(reader.fileArguments(), Files({"img.fits"}));
}

TEST(CommandLineReader, FileArgumentsTakeTheRest) {
    Args none({});
    CommandLineReader empty(none.argc(), none.argv());
    EXPECT_TRUE(empty.done());
    EXPECT_EQ(empty.fileArguments(), Files());

    // The first argument is no option: everything is a file argument.
    Args files({"image.fits", "-v", "2"});
    CommandLineReader reader(files.argc(), files.argv());
    EXPECT_TRUE(reader.done());
    EXPECT_EQ(reader.fileArguments(), Files({"image.fits", "-v", "2"}));
    EXPECT_EQ(reader.fileArguments(), Files());

    util::IntOption v("verbose", "0", "", 'v');
    Args mixed({"-v", "2", "cat.txt", "img.fits"});
    CommandLineReader after(mixed.argc(), mixed.argv());
    EXPECT_EQ(after.nextOptionName(), "v");
    EXPECT_EQ(after.nextOptionValue(&v), "2");
    EXPECT_TRUE(after.done());
    EXPECT_EQ(after.fileArguments(), Files({"cat.txt", "img.fits"}));
}

TEST(CommandLineReader, EmptyArgumentVectorIsDone) {
    char* argv[] = {nullptr};
    CommandLineReader reader(0, argv);
    EXPECT_TRUE(reader.done());
    EXPECT_EQ(reader.fileArguments(), Files());
}
