#include "select/file_errors.h"

namespace selection {

std::string fileMessage(std::string const& file, char const* message) {
    return file + ": " + message;
}

}  // namespace selection
