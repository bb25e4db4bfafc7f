// Word wrapping for usage texts: a text split into words and filled greedily
// into lines of a given width. Widths and lengths count bytes (the texts are
// ASCII); no index base.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace util {

// The words of text (the runs of bytes other than blank, \t, \n, \v, \f and
// \r) filled into lines, each line its words joined by one blank. A word joins
// the current line while the line stays at most width bytes long; otherwise it
// starts the next line. The first word of a line always stays on it, so a
// word longer than width has a line of its own. A text without words gives no
// lines.
std::vector<std::string> wrapWords(std::string const& text, std::size_t width);

}  // namespace util
