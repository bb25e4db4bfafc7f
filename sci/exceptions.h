// The error types of namespace sci. Each carries one message text; none derives
// from util::UException, so a handler for option errors never catches them.
#pragma once

#include "util/exception.h"

namespace sci {

// Errors of the ASCII table reader.
class IOException : public util::TextException {
  public:
    using util::TextException::TextException;
};

// Errors of FITS header cards, headers and image reading.
class FitsException : public util::TextException {
  public:
    using util::TextException::TextException;
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
