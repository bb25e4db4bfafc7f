#include "select/image_names.h"

namespace selection {

std::string errorImageName(std::string const& image) {
    std::string::size_type const slash = image.rfind('/');
    if (slash == std::string::npos) return "e." + image;
    return image.substr(0, slash + 1) + "e." + image.substr(slash + 1);
}

}  // namespace selection
