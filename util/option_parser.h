// util::OptionParser: registers options, pulls their tokens from an
// OptionReader and hands each value text to its option. It lists the options in
// two ways: the usage text in registration order (numbers start at 1) and the
// value table in byte-wise order of the long names. It owns neither the reader
// nor the options; both must outlive the parser's use. Aliases and commands
// (--help) are known to the parser but listed in neither.
#pragma once

#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

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

    // Makes alias another long name of opt (which should be registered). The
    // alias shows in neither listing. A name already taken throws
    // "An option named <alias> already exists!".
    void addAlias(std::string const& alias, Option* opt);

    // A command: a long name and a command-line char (0 = none) that take no
    // value and end the parsing, such as --help. id (not 0) tells the caller
    // which one was given; the command shows in neither listing. A name taken
    // by an option, an alias or a command throws the already-exists message
    // above, a char taken the already-in-use one.
    void addCommand(std::string const& name, char cmdLineChar, int id);

    // Reads options until the reader is done or a command is met. A
    // one-character name is a short form, a longer one a long name or an
    // alias; each option given is marked given(). An unknown name throws a
    // util::UnknownOptionException with the message
    // "Unknown short option '<n>' encountered!" or
    // "Unknown long option '<n>' encountered!" and, for a long name, the
    // closest known long name as its suggestion (see suggestionFor). Options
    // parsed before an error keep their values.
    void parseOptions();

    // The id of the command that ended the last parseOptions(); 0 for none.
    int command() const { return command_; }

    // The known long name (option, alias or command; names with white space
    // left out, they cannot be typed as one word) closest to name, compared
    // without regard to case: the fewest edits (insertions, deletions,
    // substitutions and swaps of neighbours), at most 1 for a name of up to 5
    // characters and 2 for a longer one, or else a name that begins with name
    // when name has at least 3 characters. Among equally close names the first
    // in byte-wise order. Empty when none qualifies.
    std::string suggestionFor(std::string const& name) const;

    // For each option in registration order: a header line (four blanks,
    // "-c, " when there is a char, "--name <TYPE>", padded to 39 characters,
    // "  [default]"), then the usage text word-wrapped below column 72 with an
    // indent of eight blanks, then an empty line.
    void printUsage(std::ostream& os) const;

    // The value table: one line per option in long-name order.
    friend std::ostream& operator<<(std::ostream& os, OptionParser const& p);

  private:
    struct Command {
        std::unique_ptr<BoolOption> flag;  // for the name, the char and "takes no value"
        int id;
    };
    Option* findLong_(std::string const& name) const;
    Option* findShort_(std::string const& name) const;
    Command const* findCommand_(std::string const& name) const;

    OptionReader* reader_;
    std::map<std::string, Option*> byLongName_;
    std::map<std::string, Option*> byShortName_;
    std::map<int, Option*> byNumber_;
    std::map<std::string, Option*> byAlias_;
    std::vector<Command> commands_;
    int registered_ = 0;
    int command_ = 0;
};

// One value-table line without its line end: "%-16s | %c | %26s | " of the
// name, the command-line char (a blank when 0) and the default text, cut at 126
// characters, followed by the current value (toString()) in full.
std::ostream& operator<<(std::ostream& os, Option const& o);

}  // namespace util
