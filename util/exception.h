// Exception base of psfpick: every error carries one message text, set at
// construction and returned by what(). util::UException is the error of the
// option framework and regions; UnknownOptionException, StringException and
// UTDateException refine it.
#pragma once

#include <exception>
#include <string>
#include <utility>

namespace util {

// A std::exception that holds its message. The typed errors of the project
// (util::UException, sci::FitsException, sci::IOException, ...) derive from it,
// so that each keeps its own place in the hierarchy but stores text one way.
class TextException : public std::exception {
  public:
    explicit TextException(std::string message) : message_(std::move(message)) {}
    char const* what() const noexcept override { return message_.c_str(); }

  private:
    std::string message_;
};

// Errors of options, the command-line reader and regions.
class UException : public TextException {
  public:
    using TextException::TextException;
};

// An option name that the parser does not know. what() is the parser's
// message; option() is the name written as an option ("--nfield", "-q"), and
// suggestion() the known option closest to it written the same way
// ("--nfields"), or empty when none is close.
class UnknownOptionException : public UException {
  public:
    UnknownOptionException(std::string message, std::string option, std::string suggestion)
        : UException(std::move(message)),
          option_(std::move(option)),
          suggestion_(std::move(suggestion)) {}
    std::string const& option() const { return option_; }
    std::string const& suggestion() const { return suggestion_; }

  private:
    std::string option_;
    std::string suggestion_;
};

// Errors of fixed-width number formatting (StringFactory).
class StringException : public UException {
  public:
    using UException::UException;
};

// Errors of date parsing and conversion (FitsDate, UTDate).
class UTDateException : public UException {
  public:
    using UException::UException;
};

}  // namespace util
