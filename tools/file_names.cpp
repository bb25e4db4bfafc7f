#include "tools/file_names.h"

namespace tools {

std::string replaceExtension(std::string const& path, std::string const& ext) {
    size_t const slash = path.rfind('/');
    size_t const dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) ||
        dot == (slash == std::string::npos ? 0 : slash + 1))
        return path + ext;
    return path.substr(0, dot) + ext;
}

}  // namespace tools
