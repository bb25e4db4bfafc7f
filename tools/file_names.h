// The names of the files the tools write by default, made from the names of
// their inputs. Paths are plain strings; the directory part (up to the last
// '/') is kept as given.
#pragma once

#include <string>

namespace tools {

// path with its extension (after the last '.' of the file name) replaced by
// ext (".cat"); without an extension ext is appended. A file name that only
// starts with '.' (".hidden") has no extension.
std::string replaceExtension(std::string const& path, std::string const& ext);

}  // namespace tools
