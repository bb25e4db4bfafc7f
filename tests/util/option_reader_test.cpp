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

template <class Call>
std::string messageOf(Call call) {
    return testsupport::messageOf<util::UException>(call);
}

// The message of reading the name, or with isValue the value, of the token
// that follows "-n".
std::string errorAfterN(std::string const& token, bool isValue) {
    util::IntOption i("number", "0", "", 'n');
    Args args({"-n", token});
    CommandLineReader reader(args.argc(), args.argv());
    reader.nextOptionName();
    if (isValue) return messageOf([&] { reader.nextOptionValue(&i); });
    return messageOf([&] { reader.nextOptionName(); });
}

}  // namespace

// "-", "--" and tokens without a dash are no option; a value must not look
// like an option. The name forms are checked through the option parser.
TEST(CommandLineReader, NamesAndTheErrorsOfNamesAndValues) {
    Args args({"--input"});
    CommandLineReader reader(args.argc(), args.argv());
    EXPECT_EQ(reader.nextOptionName(), "input");
    EXPECT_TRUE(reader.done());
    EXPECT_EQ(messageOf([&] { reader.nextOptionName(); }), "No more arguments left!");
    for (std::string const token : {"-", "--", "-v x", "file"})
        EXPECT_EQ(errorAfterN(token, false), "Token '" + token + "' not an argument specifier!");
    for (std::string const value : {"-x", "-", "--5"})
        EXPECT_EQ(errorAfterN(value, true),
                  "Token '" + value + "' does not seem like a valid value!");
    util::IntOption i("number", "0", "", 'n');
    Args last({"-n"});
    CommandLineReader lastReader(last.argc(), last.argv());
    lastReader.nextOptionName();
    EXPECT_EQ(messageOf([&] { lastReader.nextOptionValue(&i); }), "No more argument values left!");
}

// A flag consumes no token; the first token that does not begin with "-"
// after a value starts the file arguments, which are handed out once.
TEST(CommandLineReader, FileArguments) {
    util::IntOption i("number", "0", "", 'n');
    util::BoolOption flag("mag", "false", "", 'm');
    struct Case {
        std::vector<std::string> tokens;
        int options;
        Files files;
    };
    for (Case const& c :
         {Case{{"-n", "-5", "-m", "-n", "7", "rest", "-v"}, 3, {"rest", "-v"}},
          Case{{"-m", "img.fits"}, 1, {"img.fits"}},
          Case{{"image.fits", "-v", "2"}, 0, {"image.fits", "-v", "2"}}, Case{{}, 0, {}}}) {
        Args args(c.tokens);
        CommandLineReader reader(args.argc(), args.argv());
        for (size_t k = 0, token = 1; k < static_cast<size_t>(c.options); ++k, ++token) {
            EXPECT_FALSE(reader.done());
            if (reader.nextOptionName() == "m") {
                EXPECT_EQ(reader.nextOptionValue(&flag), "toggle");
            } else {
                EXPECT_EQ(reader.nextOptionValue(&i), c.tokens[token++]);
            }
        }
        EXPECT_TRUE(reader.done());
        EXPECT_EQ(reader.fileArguments(), c.files);
        EXPECT_EQ(reader.fileArguments(), Files());
    }
    char* argv[] = {nullptr};
    CommandLineReader nothing(0, argv);
    EXPECT_TRUE(nothing.done());
    EXPECT_EQ(nothing.fileArguments(), Files());
}
