// Exception base of psfpick: every error carries one message text, set at
// construction and returned by what(). util::UException is the error of the
// option framework and regions; StringException and UTDateException refine it.
#pragma once

#include <exception>
#include <string>

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
