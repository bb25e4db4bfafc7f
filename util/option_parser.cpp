#include "util/option_parser.h"

#include <cassert>
#include <cstdio>
#include <vector>

#include "util/exception.h"
#include "util/word_wrap.h"

namespace util {

namespace {

// Usage text layout: header lines are padded to this width before "  [default]";
// every usage line starts with the indent, and its words, each followed by a
// blank, stay below the wrap column: at most kUsageLineWidth bytes of words
// and the blanks between them.
constexpr std::size_t kUsageHeaderWidth = 39;
constexpr std::size_t kUsageWrapColumn = 72;
constexpr char kUsageIndent[] = "        ";
constexpr std::size_t kUsageIndentWidth = sizeof kUsageIndent - 1;
constexpr std::size_t kUsageLineWidth = kUsageWrapColumn - kUsageIndentWidth - 1;

// The value-table prefix is formatted into this many bytes, so it is cut at
// one less (the terminating zero takes the last byte).
constexpr std::size_t kValueLineBuffer = 127;

}  // namespace

OptionParser::OptionParser(OptionReader* reader) : reader_(reader) {}

OptionParser::~OptionParser() {
    byLongName_.clear();
    byShortName_.clear();
    byNumber_.clear();
}

void OptionParser::addOption(Option* opt) {
    assert(opt != nullptr);
    std::string const& name = opt->getName();
    if (byLongName_.count(name) != 0)
        throw UException("An option named " + name + " already exists!");
    byLongName_[name] = opt;

    char const c = opt->getCmdLineChar();
    if (c != 0) {
        std::string const shortName(1, c);
        if (byShortName_.count(shortName) != 0)
            throw UException("Command line char " + shortName + " is already in use!");
        byShortName_[shortName] = opt;
    }
    byNumber_[++registered_] = opt;
}

void OptionParser::parseOptions() {
    while (!reader_->done()) {
        std::string const name = reader_->nextOptionName();
        Option* opt = nullptr;
        if (name.size() < 2) {
            auto const found = byShortName_.find(name);
            if (found == byShortName_.end())
                throw UException("Unknown short option '" + name + "' encountered!");
            opt = found->second;
        } else {
            auto const found = byLongName_.find(name);
            if (found == byLongName_.end())
                throw UException("Unknown long option '" + name + "' encountered!");
            opt = found->second;
        }
        opt->setValue(reader_->nextOptionValue(opt));
    }
}

void OptionParser::printUsage(std::ostream& os) const {
    for (auto const& entry : byNumber_) {
        Option const& opt = *entry.second;
        std::string line = "    ";
        if (opt.getCmdLineChar() != 0) {
            line += '-';
            line += opt.getCmdLineChar();
            line += ", ";
        }
        line += "--" + opt.getName() + " <" + opt.getTypeName() + ">";
        if (line.size() < kUsageHeaderWidth) line.resize(kUsageHeaderWidth, ' ');
        os << line << "  [" << opt.getDefault() << "]\n";

        std::vector<std::string> lines = wrapWords(opt.getUsage(), kUsageLineWidth);
        // A first word too long for any line starts below a line of the bare indent.
        if (!lines.empty() && lines.front().size() > kUsageLineWidth)
            lines.insert(lines.begin(), std::string());
        os << kUsageIndent;
        for (std::size_t k = 0; k < lines.size(); ++k) {
            if (k > 0) os << '\n' << kUsageIndent;
            if (!lines[k].empty()) os << lines[k] << ' ';
        }
        os << "\n\n";
    }
}

std::ostream& operator<<(std::ostream& os, Option const& o) {
    char prefix[kValueLineBuffer];
    char const c = o.getCmdLineChar() != 0 ? o.getCmdLineChar() : ' ';
    std::snprintf(prefix, sizeof prefix, "%-16s | %c | %26s | ", o.getName().c_str(), c,
                  o.getDefault().c_str());
    return os << prefix << o.toString();
}

std::ostream& operator<<(std::ostream& os, OptionParser const& p) {
    for (auto const& entry : p.byLongName_) os << *entry.second << '\n';
    return os;
}

}  // namespace util
