#include "util/option_parser.h"

#include <algorithm>
#include <cassert>
#include <cctype>
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

// Suggestions for an unknown long name: the most edits for a name of up to
// kShortNameLength characters and for a longer one, and the shortest name
// that is taken as the beginning of a known one.
constexpr std::size_t kShortNameLength = 5;
constexpr std::size_t kEditsShortName = 1;
constexpr std::size_t kEditsLongName = 2;
constexpr std::size_t kMinPrefixLength = 3;

std::string lowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Optimal string alignment distance: the fewest insertions, deletions,
// substitutions and swaps of two neighbouring characters that turn a into b,
// no character edited twice. d[i][j] is the distance of a[0..i) and b[0..j).
std::size_t editDistance(std::string const& a, std::string const& b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i)
        for (std::size_t j = 1; j <= b.size(); ++j) {
            std::size_t const cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

bool hasWhiteSpace(std::string const& text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; });
}

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

void OptionParser::addAlias(std::string const& alias, Option* opt) {
    assert(opt != nullptr);
    if (findLong_(alias) != nullptr || findCommand_(alias) != nullptr)
        throw UException("An option named " + alias + " already exists!");
    byAlias_[alias] = opt;
}

void OptionParser::addCommand(std::string const& name, char cmdLineChar, int id) {
    assert(id != 0);
    if (findLong_(name) != nullptr || findCommand_(name) != nullptr)
        throw UException("An option named " + name + " already exists!");
    std::string const shortName(1, cmdLineChar);
    if (cmdLineChar != 0 &&
        (findShort_(shortName) != nullptr || findCommand_(shortName) != nullptr))
        throw UException("Command line char " + shortName + " is already in use!");
    commands_.push_back({std::make_unique<BoolOption>(name, "false", "", cmdLineChar), id});
}

Option* OptionParser::findLong_(std::string const& name) const {
    auto const found = byLongName_.find(name);
    if (found != byLongName_.end()) return found->second;
    auto const alias = byAlias_.find(name);
    return alias != byAlias_.end() ? alias->second : nullptr;
}

Option* OptionParser::findShort_(std::string const& name) const {
    auto const found = byShortName_.find(name);
    return found != byShortName_.end() ? found->second : nullptr;
}

OptionParser::Command const* OptionParser::findCommand_(std::string const& name) const {
    for (Command const& c : commands_) {
        bool const matches = name.size() < 2 ? c.flag->getCmdLineChar() != 0 &&
                                                   name == std::string(1, c.flag->getCmdLineChar())
                                             : name == c.flag->getName();
        if (matches) return &c;
    }
    return nullptr;
}

void OptionParser::parseOptions() {
    command_ = 0;
    while (!reader_->done()) {
        std::string const name = reader_->nextOptionName();
        bool const isShort = name.size() < 2;
        Option* const opt = isShort ? findShort_(name) : findLong_(name);
        if (opt == nullptr) {
            if (Command const* c = findCommand_(name)) {
                reader_->nextOptionValue(c->flag.get());  // refuses "--help=value"
                command_ = c->id;
                return;
            }
            if (isShort)
                throw UnknownOptionException("Unknown short option '" + name + "' encountered!",
                                             "-" + name, "");
            std::string const suggestion = suggestionFor(name);
            throw UnknownOptionException("Unknown long option '" + name + "' encountered!",
                                         "--" + name, suggestion.empty() ? "" : "--" + suggestion);
        }
        opt->setValue(reader_->nextOptionValue(opt));
        opt->markGiven();
    }
}

std::string OptionParser::suggestionFor(std::string const& name) const {
    std::vector<std::string> known;
    for (auto const& entry : byLongName_) known.push_back(entry.first);
    for (auto const& entry : byAlias_) known.push_back(entry.first);
    for (Command const& c : commands_) known.push_back(c.flag->getName());
    std::sort(known.begin(), known.end());

    std::string const wanted = lowerCase(name);
    std::size_t const maxEdits =
        wanted.size() <= kShortNameLength ? kEditsShortName : kEditsLongName;
    std::string best;
    std::size_t bestEdits = 0;
    for (std::string const& candidate : known) {
        if (hasWhiteSpace(candidate)) continue;
        std::string const lower = lowerCase(candidate);
        std::size_t const edits = editDistance(wanted, lower);
        bool const isBeginning =
            wanted.size() >= kMinPrefixLength && lower.compare(0, wanted.size(), wanted) == 0;
        if ((edits <= maxEdits || isBeginning) && (best.empty() || edits < bestEdits)) {
            best = candidate;
            bestEdits = edits;
        }
    }
    return best;
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
