#include "select/image_names.h"

namespace selection {

std::string errorImageName(std::string const& image) {
    std::string::size_type const slash = image.rfind('/');
    if (slash == std::string::npos) return "e." + image;
    return image.substr(0, slash + 1) + "e." + image.substr(slash + 1);
}

std::string errorImageNote(std::string const& image) {
    return " (the error image of image '" + image +
           "': the image's file name with 'e.' in front, in the same directory)";
}

}  // namespace selection
