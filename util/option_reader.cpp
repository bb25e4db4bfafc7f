#include "util/option_reader.h"

#include <cassert>
#include <cctype>

#include "util/exception.h"
#include "util/option.h"

namespace util {

namespace {

bool beginsWithDash(char const* token) {
    return token[0] == '-';
}

UException notAnArgumentSpecifier(std::string const& token) {
    return UException("Token '" + token + "' not an argument specifier!");
}

}  // namespace

CommandLineReader::CommandLineReader(int argc, char** argv)
    : argc_(argc), argv_(argv), done_(argc < 2 || !beginsWithDash(argv[1])) {}

bool CommandLineReader::done() const {
    return next_ >= argc_ || done_;
}

std::string CommandLineReader::nextOptionName() {
    if (next_ >= argc_) throw UException("No more arguments left!");
    std::string const token = argv_[next_];
    if (token.size() < 2 || token[0] != '-') throw notAnArgumentSpecifier(token);
    std::string name;
    if (token[1] == '-') {
        if (token.size() == 2) throw notAnArgumentSpecifier(token);
        name = token.substr(2);
    } else {
        if (token.size() > 2 && std::isspace(static_cast<unsigned char>(token[2])))
            throw notAnArgumentSpecifier(token);
        name = token.substr(1);
    }
    // "name=value": a name of at least one character before the first "=".
    std::size_t const equals = name.find('=');
    hasAttachedValue_ = equals != std::string::npos && equals > 0;
    optionToken_ = token;
    if (hasAttachedValue_) {
        attachedValue_ = name.substr(equals + 1);
        name.erase(equals);
    }
    ++next_;
    return name;
}

std::string CommandLineReader::nextOptionValue(Option const* opt) {
    assert(opt != nullptr);
    bool const needsValue = opt->needsValue();
    std::string token;
    if (hasAttachedValue_) {
        hasAttachedValue_ = false;
        if (!needsValue)
            throw UException("Flag '" + opt->getName() + "' takes no value, but '" + optionToken_ +
                             "' gives one!");
        token = attachedValue_;
    } else if (needsValue) {
        if (next_ >= argc_) throw UException("No more argument values left!");
        token = argv_[next_];
        // A dash followed by a digit or a point starts a negative number.
        if (token[0] == '-' && token[1] != '.' &&
            !std::isdigit(static_cast<unsigned char>(token[1])))
            throw UException("Token '" + token + "' does not seem like a valid value!");
        ++next_;
    }
    if (next_ >= argc_ || !beginsWithDash(argv_[next_])) done_ = true;
    return needsValue ? token : "toggle";
}

std::list<std::string> CommandLineReader::fileArguments() {
    std::list<std::string> files;
    for (; next_ < argc_; ++next_) files.emplace_back(argv_[next_]);
    return files;
}

}  // namespace util
