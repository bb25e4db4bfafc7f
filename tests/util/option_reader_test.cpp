#include "util/option_reader.h"

#include <gtest/gtest.h>

#include <list>
#include <string>

#include "tests/support/messages.h"
#include "tests/util/test_args.h"
#include "util/exception.h"
#include "util/option.h"

using testsupport::Args;
using testsupport::messageOf;
using util::CommandLineReader;

// "-", "--" and tokens without a dash are no option; a value must not look
// like an option. The name forms are checked through the option parser.
TEST(CommandLineReader, ErrorsOfNamesAndValues) {
    util::IntOption number("number", "0", "", 'n');
    // The message of reading the name, or with isValue the value, after tokens.
    auto errorOf = [&](std::vector<std::string> tokens, bool isValue) {
        Args args(std::move(tokens));
        CommandLineReader reader(args.argc(), args.argv());
        reader.nextOptionName();
        if (isValue) return messageOf<util::UException>([&] { reader.nextOptionValue(&number); });
        return messageOf<util::UException>([&] { reader.nextOptionName(); });
    };
    EXPECT_EQ(errorOf({"--input"}, false), "No more arguments left!");
    EXPECT_EQ(errorOf({"-n"}, true), "No more argument values left!");
    for (std::string const token : {"-", "--", "-v x", "file"})
        EXPECT_EQ(errorOf({"-n", token}, false),
                  "Token '" + token + "' not an argument specifier!");
    for (std::string const value : {"-x", "-", "--5"})
        EXPECT_EQ(errorOf({"-n", value}, true),
                  "Token '" + value + "' does not seem like a valid value!");
}

// A flag consumes no token; the first token that does not begin with "-"
// after a value starts the file arguments, which are handed out once.
TEST(CommandLineReader, FileArguments) {
    util::IntOption number("number", "0", "", 'n');
    util::BoolOption flag("mag", "false", "", 'm');
    Args args({"-n", "-5", "-m", "-n", "7", "rest", "-v"});
    CommandLineReader reader(args.argc(), args.argv());
    std::string values;
    while (!reader.done())
        values += reader.nextOptionName() == "m" ? reader.nextOptionValue(&flag) + " "
                                                 : reader.nextOptionValue(&number) + " ";
    EXPECT_EQ(values, "-5 toggle 7 ");
    EXPECT_EQ(reader.fileArguments(), (std::list<std::string>{"rest", "-v"}));
    EXPECT_EQ(reader.fileArguments(), std::list<std::string>());
    Args filesOnly({"image.fits", "-v", "2"});
    CommandLineReader files(filesOnly.argc(), filesOnly.argv());
    EXPECT_TRUE(files.done());
    EXPECT_EQ(files.fileArguments(), (std::list<std::string>{"image.fits", "-v", "2"}));
    CommandLineReader nothing(0, nullptr);
    EXPECT_TRUE(nothing.done());
    EXPECT_EQ(nothing.fileArguments(), std::list<std::string>());
}
