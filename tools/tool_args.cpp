#include "tools/tool_args.h"

#include <iostream>
#include <sstream>

#include "util/number_text.h"
#include "util/word_wrap.h"

namespace tools {

namespace {

// The text of a number in defaults and messages: "%g"-like, without trailing
// zeros, for a double.
std::string valueText(double v) {
    std::ostringstream os;
    os.precision(10);
    os << v;
    return os.str();
}
std::string valueText(long v) {
    return std::to_string(v);
}

// What a list of numbers of each type holds, for messages.
char const* listWords(double) {
    return "numbers";
}
char const* listWords(long) {
    return "whole numbers";
}

// The whole of text as a number of the type of the last argument (parseDouble
// or parseLong); what names the value in messages.
double parseNumber(std::string const& text, std::string const& what, double) {
    return parseDouble(text, what);
}
long parseNumber(std::string const& text, std::string const& what, long) {
    return parseLong(text, what);
}

template <class T>
std::string joinNumbers(std::vector<T> const& values) {
    std::string text;
    for (size_t i = 0; i < values.size(); ++i) text += (i ? "," : "") + valueText(values[i]);
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

// "<subject> must be between <lo> and <hi>, not '<text>'".
template <class T>
UsageError outOfRange(std::string const& subject, T lo, T hi, std::string const& text) {
    return UsageError(subject + " must be between " + valueText(lo) + " and " + valueText(hi) +
                      ", not '" + text + "'");
}

// Sets *target to the option's number, which must lie within [lo, hi]; Target
// is T or std::optional<T>.
template <class T, class Target>
std::function<void(std::string const&)> numberSetter(std::string const& name, Target* target, T lo,
                                                     T hi) {
    return [=](std::string const& v) {
        std::string const label = optionLabel(name);
        T const x = parseNumber(v, label, T());
        if (x < lo || x > hi) throw outOfRange(label, lo, hi, v);
        *target = x;
    };
}

// Sets *target to count comma-separated numbers within [lo, hi], or to count
// copies of a single one.
template <class T>
std::function<void(std::string const&)> listSetter(std::string const& name, std::vector<T>* target,
                                                   size_t count, T lo, T hi) {
    return [=](std::string const& v) {
        std::string const label = optionLabel(name);
        std::vector<std::string> const parts = splitList(v);
        if (parts.size() != 1 && parts.size() != count)
            throw UsageError(label + " expects " + std::to_string(count) + " comma-separated " +
                             listWords(T()) + ", not '" + v + "'");
        std::vector<T> values;
        for (std::string const& p : parts) {
            T const x = parseNumber(p, label, T());
            if (x < lo || x > hi) throw outOfRange(label + " values", lo, hi, v);
            values.push_back(x);
        }
        if (values.size() == 1) values.assign(count, values[0]);
        *target = values;
    };
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
    add_({name, shortName, metavar, help, valueText(*target), numberSetter(name, target, lo, hi)});
}

void ArgParser::addDouble(std::string const& name, char shortName, std::string const& metavar,
                          std::string const& help, double* target, double lo, double hi) {
    add_({name, shortName, metavar, help, valueText(*target), numberSetter(name, target, lo, hi)});
}

void ArgParser::addOptionalDouble(std::string const& name, char shortName,
                                  std::string const& metavar, std::string const& help,
                                  std::optional<double>* target, double lo, double hi,
                                  std::string const& defaultText) {
    add_({name, shortName, metavar, help, defaultText, numberSetter(name, target, lo, hi)});
}

void ArgParser::addDoubleList(std::string const& name, char shortName, std::string const& metavar,
                              std::string const& help, std::vector<double>* target, size_t count,
                              double lo, double hi) {
    add_({name, shortName, metavar, help, joinNumbers(*target),
          listSetter(name, target, count, lo, hi)});
}

void ArgParser::addIntList(std::string const& name, char shortName, std::string const& metavar,
                           std::string const& help, std::vector<long>* target, size_t count,
                           long lo, long hi) {
    add_({name, shortName, metavar, help, joinNumbers(*target),
          listSetter(name, target, count, lo, hi)});
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

void expectOperands(std::vector<std::string> const& operands, size_t count,
                    std::string const& missing) {
    if (operands.size() < count) throw UsageError(missing);
    if (operands.size() > count) throw UsageError("unexpected argument '" + operands[count] + "'");
}

int runTool(ArgParser& parser, int argc, char const* const* argv,
            std::function<void(std::vector<std::string> const& operands)> const& body) {
    try {
        std::vector<std::string> const operands = parser.parse(argc, argv);
        if (parser.helpRequested())
            std::cout << parser.usage();
        else
            body(operands);
        return kExitOk;
    } catch (UsageError const& e) {
        std::cerr << parser.program() << ": " << e.what() << "\n\n" << parser.usage();
        return kExitBadUsage;
    } catch (std::exception const& e) {
        std::cerr << parser.program() << ": error: " << e.what() << "\n";
        return kExitFailed;
    }
}

}  // namespace tools
