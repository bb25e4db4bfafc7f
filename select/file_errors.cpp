#include "select/file_errors.h"

std::string fileMessage(std::string const& file, char const* message) {
    return file + ": " + message;
}
