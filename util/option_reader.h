// Sources of option tokens for util::OptionParser. CommandLineReader walks the
// argument vector of main: argv[0] is the program, tokens start at index 1.
// Options come first; everything after them is a file argument.
#pragma once

#include <list>
#include <string>

namespace util {

class Option;

// Abstract token source. Errors are thrown as util::UException.
class OptionReader {
  public:
    virtual ~OptionReader() = default;
    // The name of the next option, without its leading dash or dashes.
    virtual std::string nextOptionName() = 0;
    // The value text for opt; "toggle" for an option that takes no value.
    virtual std::string nextOptionValue(Option const* opt) = 0;
    // True when no option is left.
    virtual bool done() const = 0;
};

// Token forms: "--name" gives name, "-c" gives c, and "-abc" gives abc (so a
// long name may also follow a single dash, and "--c" names the short form c).
// Each form may carry its value after the first "=" that follows the name
// ("--name=value", "-c=value"): the value is then the rest of that token,
// whatever it holds (the empty text too), and no further token is taken.
// Option parsing ends at the first token in option position that does not begin
// with "-"; when the first argument does not begin with "-", every argument is a
// file argument.
class CommandLineReader : public OptionReader {
  public:
    CommandLineReader(int argc, char** argv);

    // Throws "No more arguments left!" at the end of the arguments, and
    // "Token '<t>' not an argument specifier!" for a token that is not an option.
    std::string nextOptionName() override;
    // Throws "No more argument values left!" when a value is missing, and
    // "Token '<t>' does not seem like a valid value!" for a value that begins
    // with "-" not followed by "." or a digit (so -5 and -.5 are values). A
    // value after "=" given to a flag throws
    // "Flag '<name>' takes no value, but '<token>' gives one!".
    std::string nextOptionValue(Option const* opt) override;
    bool done() const override;

    // The tokens not consumed yet, in order; afterwards nothing is left.
    std::list<std::string> fileArguments();

  private:
    int argc_;
    char** argv_;
    int next_ = 1;  // index of the next token in argv_
    bool done_;
    // The "=value" part of the last option token: whether it had one, the
    // value, and the token itself for messages.
    bool hasAttachedValue_ = false;
    std::string attachedValue_;
    std::string optionToken_;
};

}  // namespace util
