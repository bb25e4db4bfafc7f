#include "util/word_wrap.h"

namespace util {

std::vector<std::string> wrapWords(std::string const& text, std::size_t width) {
    static char const kSeparators[] = " \t\n\v\f\r";
    std::vector<std::string> lines;
    std::string line;
    std::size_t begin = text.find_first_not_of(kSeparators);
    while (begin != std::string::npos) {
        std::size_t const end = text.find_first_of(kSeparators, begin);
        std::size_t const length = (end == std::string::npos ? text.size() : end) - begin;
        if (!line.empty() && line.size() + 1 + length > width) {
            lines.push_back(line);
            line.clear();
        }
        if (!line.empty()) line += ' ';
        line.append(text, begin, length);
        begin = text.find_first_not_of(kSeparators, end);
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

}  // namespace util
