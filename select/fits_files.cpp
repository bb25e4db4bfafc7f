#include "select/fits_files.h"

#include "select/file_errors.h"

namespace selection {

sci::FitsIn& FitsFiles::open(std::string const& name) {
    auto const found = readers_.find(name);
    if (found != readers_.end()) return *found->second;
    std::unique_ptr<sci::FitsIn> reader = openNamingFile(name);
    sci::FitsIn& in = *reader;
    readers_.emplace(name, std::move(reader));
    return in;
}

}  // namespace selection
