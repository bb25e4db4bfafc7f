#include "select/file_errors.h"

#include "sci/fits_header.h"

namespace selection {

std::string fileMessage(std::string const& file, char const* message) {
    return file + ": " + message;
}

std::string withCompressionNote(std::string const& file, std::string message) {
    if (sci::isTileCompressed(file)) message += sci::tileCompressedNote();
    return message;
}

std::unique_ptr<sci::FitsIn> openNamingFile(std::string const& name) {
    return namingFile(name, [&name] { return std::make_unique<sci::FitsIn>(name); });
}

}  // namespace selection
