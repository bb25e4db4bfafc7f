// The message of the exception a call throws, for tests that compare whole
// error texts.
#pragma once

#include <exception>
#include <string>

namespace testsupport {

// what() of the E (or a type derived from it) that call throws; "" when it
// throws nothing. Exceptions of other types pass through and fail the test.
// Without E any standard exception is caught.
template <class E = std::exception, class Call>
std::string messageOf(Call&& call) {
    try {
        call();
    } catch (E const& e) {
        return e.what();
    }
    return "";
}

}  // namespace testsupport
