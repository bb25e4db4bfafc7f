// The command line of the companion tools: GNU-style long options ("--name
// value" or "--name=value"), optional one-letter short forms ("-o value"),
// strict number parsing with range checks, and the usage text. Bad usage is a
// tools::UsageError (exit status 2); a failed run is any other std::exception
// (exit status 1). Value lists such as "x,y" are comma separated.
#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tools {

// Exit statuses of every companion tool.
constexpr int kExitOk = 0;        // the tool did its job (or printed --help)
constexpr int kExitFailed = 1;    // the run failed: unreadable input, unwritable output
constexpr int kExitBadUsage = 2;  // the command line is wrong; the usage text follows

// A command line that cannot be used; the message names the offending part.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A failed run of a tool (input or output trouble, inconsistent data).
class ToolError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The file errors of the tools, each message built here only:
// "cannot open file '<path>' for reading" / "... for writing" and
// "cannot read file '<path>'" / "cannot write file '<path>'".
ToolError cannotOpenForReading(std::string const& path);
ToolError cannotOpenForWriting(std::string const& path);
ToolError cannotRead(std::string const& path);
ToolError cannotWrite(std::string const& path);

class ArgParser {
  public:
    // program: name shown in messages; synopsis: one line after "usage: ";
    // description: text shown between the synopsis and the option list.
    ArgParser(std::string program, std::string synopsis, std::string description);

    // Options. name without dashes; shortName 0 for none; metavar names the
    // value in the usage text. Values outside [lo, hi] are a UsageError.
    void addFlag(std::string const& name, char shortName, std::string const& help, bool* target);
    void addString(std::string const& name, char shortName, std::string const& metavar,
                   std::string const& help, std::string* target);
    void addInt(std::string const& name, char shortName, std::string const& metavar,
                std::string const& help, long* target, long lo, long hi);
    void addDouble(std::string const& name, char shortName, std::string const& metavar,
                   std::string const& help, double* target, double lo, double hi);
    // A number that may stay unset; defaultText describes what then applies.
    void addOptionalDouble(std::string const& name, char shortName, std::string const& metavar,
                           std::string const& help, std::optional<double>* target, double lo,
                           double hi, std::string const& defaultText);
    // Exactly count comma-separated numbers, each within [lo, hi]; a single
    // number is accepted too and fills every element ("5" = "5,5").
    void addDoubleList(std::string const& name, char shortName, std::string const& metavar,
                       std::string const& help, std::vector<double>* target, size_t count,
                       double lo, double hi);
    void addIntList(std::string const& name, char shortName, std::string const& metavar,
                    std::string const& help, std::vector<long>* target, size_t count, long lo,
                    long hi);

    // Parses argv[1..argc-1]. Returns the positional arguments ("--" ends the
    // options). "--help" or "-h" sets helpRequested() and stops parsing.
    // Throws UsageError for an unknown option, a missing or malformed value.
    std::vector<std::string> parse(int argc, char const* const* argv);
    bool helpRequested() const { return help_; }

    // "usage: <program> <synopsis>", the description and one entry per option
    // with its default (the target's value when the option was registered).
    std::string usage() const;
    std::string const& program() const { return program_; }

  private:
    struct Entry {
        std::string name;
        char shortName;
        std::string metavar;  // empty for a flag
        std::string help;
        std::string defaultText;
        std::function<void(std::string const&)> set;  // throws UsageError
    };
    void add_(Entry entry);
    Entry const* find_(std::string const& name) const;
    Entry const* findShort_(char c) const;

    std::string program_;
    std::string synopsis_;
    std::string description_;
    std::vector<Entry> entries_;
    bool help_ = false;
};

// Strict number parsing for option values and table fields: the whole text
// must be a number. what names the value in the message of the UsageError.
double parseDouble(std::string const& text, std::string const& what);
long parseLong(std::string const& text, std::string const& what);
// Text split at commas (empty fields kept).
std::vector<std::string> splitList(std::string const& text);

// Throws UsageError unless there are count operands: missing when there are
// fewer, "unexpected argument '<the first one too many>'" when there are more.
void expectOperands(std::vector<std::string> const& operands, size_t count,
                    std::string const& missing);

// The body of a tool's main: parses argv[1..argc-1] with parser; "--help"
// prints the usage text on stdout; otherwise runs body with the positional
// arguments. Maps the outcome to the exit status: kExitOk; a UsageError:
// "<program>: <message>", an empty line and the usage text on stderr,
// kExitBadUsage; any other exception: "<program>: error: <message>" on
// stderr, kExitFailed.
int runTool(ArgParser& parser, int argc, char const* const* argv,
            std::function<void(std::vector<std::string> const& operands)> const& body);

}  // namespace tools
