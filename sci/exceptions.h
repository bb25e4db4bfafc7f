// The error types of namespace sci. Each carries one message text; none derives
// from util::UException, so a handler for option errors never catches them.
#pragma once

#include <string>
#include <utility>

#include "util/exception.h"

namespace sci {

// Errors of plain-text files: reading a table (sci::AscFile) and writing the
// output table of a run (a file that cannot be opened or written, or that is
// one of the run's inputs).
class IOException : public util::TextException {
  public:
    using util::TextException::TextException;
};

// Errors of FITS header cards, headers and image reading.
// A message that names the file it is about carries that file name too, so
// that a caller which adds the file name to the other messages can leave these
// as they are.
class FitsException : public util::TextException {
  public:
    explicit FitsException(std::string message) : util::TextException(std::move(message)) {}
    FitsException(std::string message, std::string file)
        : util::TextException(std::move(message)), file_(std::move(file)) {}

    // The file the message names; empty when it names none.
    std::string const& file() const { return file_; }

  private:
    std::string file_;
};

// Errors of memory-mapped array storage.
class RangeException : public util::TextException {
  public:
    using util::TextException::TextException;
};

// Errors of linear algebra (the inverse projection).
class LinearAlgebraException : public util::TextException {
  public:
    using util::TextException::TextException;
};

class SingularMatrixException : public LinearAlgebraException {
  public:
    using LinearAlgebraException::LinearAlgebraException;
};

}  // namespace sci
