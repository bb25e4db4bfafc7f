// util::OptionParser: registers options, pulls their tokens from an
// OptionReader and hands each value text to its option. It lists the options in
// two ways: the usage text in registration order (numbers start at 1) and the
// value table in byte-wise order of the long names. It owns neither the reader
// nor the options; both must outlive the parser's use.
#pragma once

#include <map>
#include <ostream>
#include <string>

#include "util/option.h"
#include "util/option_reader.h"

namespace util {

class OptionParser {
  public:
    explicit OptionParser(OptionReader* reader);
    ~OptionParser();  // only forgets the options
    OptionParser(OptionParser const&) = delete;
    OptionParser& operator=(OptionParser const&) = delete;

    // Registers opt under its long name, its command-line char (if not 0) and
    // the next registration number. A taken name throws
    // "An option named <name> already exists!" (nothing registered); a taken char
    // throws "Command line char <c> is already in use!" after opt has been
    // entered under its long name, so it stays known by name only.
    void addOption(Option* opt);

    // Reads options until the reader is done. A one-character name is a short
    // form, a longer one a long name; an unknown one throws
    // "Unknown short option '<n>' encountered!" or
    // "Unknown long option '<n>' encountered!". Options parsed before an error
    // keep their values.
    void parseOptions();

    // For each option in registration order: a header line (four blanks,
    // "-c, " when there is a char, "--name <TYPE>", padded to 39 characters,
    // "  [default]"), then the usage text word-wrapped below column 72 with an
    // indent of eight blanks, then an empty line.
    void printUsage(std::ostream& os) const;

    // The value table: one line per option in long-name order.
    friend std::ostream& operator<<(std::ostream& os, OptionParser const& p);

  private:
    OptionReader* reader_;
    std::map<std::string, Option*> byLongName_;
    std::map<std::string, Option*> byShortName_;
    std::map<int, Option*> byNumber_;
    int registered_ = 0;
};

// One value-table line without its line end: "%-16s | %c | %26s | " of the
// name, the command-line char (a blank when 0) and the default text, cut at 126
// characters, followed by the current value (toString()) in full.
std::ostream& operator<<(std::ostream& os, Option const& o);

}  // namespace util
