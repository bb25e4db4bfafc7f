// The names of the files that go with an image: its error image. Paths are
// plain strings, the directory part (up to the last '/') kept as given.
#pragma once

#include <string>

namespace selection {

// The error image of an image: "e." put in front of the file name, the
// directory part kept ("data/field.fits" -> "data/e.field.fits").
std::string errorImageName(std::string const& image);

// " (the error image of image '<image>': the image's file name with 'e.' in
// front, in the same directory)", the note that ends a failure to open the
// error image of image.
std::string errorImageNote(std::string const& image);

}  // namespace selection
