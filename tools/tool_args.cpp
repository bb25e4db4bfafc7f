#include "tools/tool_args.h"

#include <iostream>
#include <sstream>

#include "util/number_text.h"
#include "util/word_wrap.h"

namespace tools {

namespace {

// "%g"-like text of a default, without trailing zeros.
std::string numberText(double v) {
    std::ostringstream os;
    os.precision(10);
    os << v;
    return os.str();
}

std::string joinNumbers(std::vector<double> const& values) {
    std::string text;
    for (size_t i = 0; i < values.size(); ++i) text += (i ? "," : "") + numberText(values[i]);
    return text;
}

std::string joinNumbers(std::vector<long> const& values) {
    std::string text;
    for (size_t i = 0; i < values.size(); ++i) text += (i ? "," : "") + std::to_string(values[i]);
    return text;
}

std::string optionLabel(std::string const& name) {
    return "option '--" + name + "'";
}

constexpr size_t kUsageWidth = 79;  // usage lines are wrapped before this column

// text word-wrapped to kUsageWidth columns, every line starting with indent.
std::string wrapped(std::string const& text, std::string const& indent) {
    std::string out;
    for (std::string const& line : util::wrapWords(text, kUsageWidth - indent.size()))
        out += indent + line + "\n";
    return out;
}

}  // namespace

ToolError cannotOpenForReading(std::string const& path) {
    return ToolError("cannot open file '" + path + "' for reading");
}
ToolError cannotOpenForWriting(std::string const& path) {
    return ToolError("cannot open file '" + path + "' for writing");
}
ToolError cannotRead(std::string const& path) {
    return ToolError("cannot read file '" + path + "'");
}
ToolError cannotWrite(std::string const& path) {
    return ToolError("cannot write file '" + path + "'");
}

double parseDouble(std::string const& text, std::string const& what) {
    double v = 0.0;
    if (!util::textToDouble(text, v))
        throw UsageError(what + " expects a number, not '" + text + "'");
    return v;
}

long parseLong(std::string const& text, std::string const& what) {
    long v = 0;
    if (!util::textToLong(text, v))
        throw UsageError(what + " expects a whole number, not '" + text + "'");
    return v;
}

std::vector<std::string> splitList(std::string const& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        size_t const comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return parts;
}

ArgParser::ArgParser(std::string program, std::string synopsis, std::string description)
    : program_(std::move(program)),
      synopsis_(std::move(synopsis)),
      description_(std::move(description)) {}

void ArgParser::add_(Entry entry) {
    entries_.push_back(std::move(entry));
}

void ArgParser::addFlag(std::string const& name, char shortName, std::string const& help,
                        bool* target) {
    add_({name, shortName, "", help, "", [target](std::string const&) { *target = true; }});
}

void ArgParser::addString(std::string const& name, char shortName, std::string const& metavar,
                          std::string const& help, std::string* target) {
    add_(
        {name, shortName, metavar, help, *target, [target](std::string const& v) { *target = v; }});
}

void ArgParser::addInt(std::string const& name, char shortName, std::string const& metavar,
                       std::string const& help, long* target, long lo, long hi) {
    add_({name, shortName, metavar, help, std::to_string(*target), [=](std::string const& v) {
              long const x = parseLong(v, optionLabel(name));
              if (x < lo || x > hi)
                  throw UsageError(optionLabel(name) + " must be between " + std::to_string(lo) +
                                   " and " + std::to_string(hi) + ", not '" + v + "'");
              *target = x;
          }});
}

void ArgParser::addDouble(std::string const& name, char shortName, std::string const& metavar,
                          std::string const& help, double* target, double lo, double hi) {
    add_({name, shortName, metavar, help, numberText(*target), [=](std::string const& v) {
              double const x = parseDouble(v, optionLabel(name));
              if (x < lo || x > hi)
                  throw UsageError(optionLabel(name) + " must be between " + numberText(lo) +
                                   " and " + numberText(hi) + ", not '" + v + "'");
              *target = x;
          }});
}

void ArgParser::addOptionalDouble(std::string const& name, char shortName,
                                  std::string const& metavar, std::string const& help,
                                  std::optional<double>* target, double lo, double hi,
                                  std::string const& defaultText) {
    add_({name, shortName, metavar, help, defaultText, [=](std::string const& v) {
              double const x = parseDouble(v, optionLabel(name));
              if (x < lo || x > hi)
                  throw UsageError(optionLabel(name) + " must be between " + numberText(lo) +
                                   " and " + numberText(hi) + ", not '" + v + "'");
              *target = x;
          }});
}

void ArgParser::addDoubleList(std::string const& name, char shortName, std::string const& metavar,
                              std::string const& help, std::vector<double>* target, size_t count,
                              double lo, double hi) {
    add_({name, shortName, metavar, help, joinNumbers(*target), [=](std::string const& v) {
              std::vector<std::string> const parts = splitList(v);
              if (parts.size() != 1 && parts.size() != count)
                  throw UsageError(optionLabel(name) + " expects " + std::to_string(count) +
                                   " comma-separated numbers, not '" + v + "'");
              std::vector<double> values;
              for (std::string const& p : parts) {
                  double const x = parseDouble(p, optionLabel(name));
                  if (x < lo || x > hi)
                      throw UsageError(optionLabel(name) + " values must be between " +
                                       numberText(lo) + " and " + numberText(hi) + ", not '" + v +
                                       "'");
                  values.push_back(x);
              }
              if (values.size() == 1) values.assign(count, values[0]);
              *target = values;
          }});
}

void ArgParser::addIntList(std::string const& name, char shortName, std::string const& metavar,
                           std::string const& help, std::vector<long>* target, size_t count,
                           long lo, long hi) {
    add_({name, shortName, metavar, help, joinNumbers(*target), [=](std::string const& v) {
              std::vector<std::string> const parts = splitList(v);
              if (parts.size() != 1 && parts.size() != count)
                  throw UsageError(optionLabel(name) + " expects " + std::to_string(count) +
                                   " comma-separated whole numbers, not '" + v + "'");
              std::vector<long> values;
              for (std::string const& p : parts) {
                  long const x = parseLong(p, optionLabel(name));
                  if (x < lo || x > hi)
                      throw UsageError(optionLabel(name) + " values must be between " +
                                       std::to_string(lo) + " and " + std::to_string(hi) +
                                       ", not '" + v + "'");
                  values.push_back(x);
              }
              if (values.size() == 1) values.assign(count, values[0]);
              *target = values;
          }});
}

ArgParser::Entry const* ArgParser::find_(std::string const& name) const {
    for (Entry const& e : entries_)
        if (e.name == name) return &e;
    return nullptr;
}

ArgParser::Entry const* ArgParser::findShort_(char c) const {
    for (Entry const& e : entries_)
        if (e.shortName != 0 && e.shortName == c) return &e;
    return nullptr;
}

std::vector<std::string> ArgParser::parse(int argc, char const* const* argv) {
    std::vector<std::string> positional;
    help_ = false;
    for (int i = 1; i < argc; ++i) {
        std::string const arg = argv[i];
        if (arg == "--") {
            for (int k = i + 1; k < argc; ++k) positional.push_back(argv[k]);
            break;
        }
        if (arg == "--help" || arg == "-h") {
            help_ = true;
            return positional;
        }
        Entry const* entry = nullptr;
        std::string value;
        bool hasValue = false;
        std::string shown = arg;  // the option as written, for messages
        if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
            std::string name = arg.substr(2);
            size_t const eq = name.find('=');
            if (eq != std::string::npos) {
                value = name.substr(eq + 1);
                hasValue = true;
                name = name.substr(0, eq);
                shown = "--" + name;
            }
            entry = find_(name);
        } else if (arg.size() == 2 && arg[0] == '-' && arg[1] != '-') {
            entry = findShort_(arg[1]);
        } else {
            positional.push_back(arg);
            continue;
        }
        if (!entry) throw UsageError("unknown option '" + shown + "'");
        if (entry->metavar.empty()) {
            if (hasValue) throw UsageError(optionLabel(entry->name) + " takes no value");
            entry->set("");
            continue;
        }
        if (!hasValue) {
            if (i + 1 >= argc) throw UsageError(optionLabel(entry->name) + " needs a value");
            value = argv[++i];
        }
        entry->set(value);
    }
    return positional;
}

std::string ArgParser::usage() const {
    std::ostringstream os;
    os << "usage: " << program_ << " " << synopsis_ << "\n\n";
    // Paragraphs of the description are separated by empty lines.
    size_t start = 0;
    while (start <= description_.size()) {
        size_t const end = description_.find("\n\n", start);
        os << wrapped(description_.substr(start, end - start), "") << "\n";
        if (end == std::string::npos) break;
        start = end + 2;
    }
    os << "options:\n";
    for (Entry const& e : entries_) {
        std::string head = "  ";
        head += e.shortName ? std::string("-") + e.shortName + ", " : std::string("    ");
        head += "--" + e.name;
        if (!e.metavar.empty()) head += " " + e.metavar;
        std::string help = e.help;
        if (!e.metavar.empty() && !e.defaultText.empty()) help += " [" + e.defaultText + "]";
        os << head << "\n" << wrapped(help, "      ");
    }
    os << "  -h, --help\n      show this text and exit\n";
    return os.str();
}

int runTool(std::string const& program, std::function<std::string()> const& usageText,
            std::function<int()> const& body) {
    try {
        return body();
    } catch (UsageError const& e) {
        std::cerr << program << ": " << e.what() << "\n\n" << usageText();
        return kExitBadUsage;
    } catch (std::exception const& e) {
        std::cerr << program << ": error: " << e.what() << "\n";
        return kExitFailed;
    }
}

}  // namespace tools
