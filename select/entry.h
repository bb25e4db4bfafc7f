// The steps of the psfpick entry point around the selection run: start-up
// banner, the check whether a run is possible, and the reports of a refused
// run, an option error and a failed run, with the matching exit statuses.
#pragma once

#include <cstddef>
#include <exception>
#include <ostream>

#include "select/parameter.h"
#include "util/exception.h"
#include "util/option_parser.h"

namespace selection {

// Exit statuses of psfpick.
constexpr int kExitSuccess = 0;    // the run completed
constexpr int kExitRunFailed = 1;  // an exception ended the run ("EXCEPTION: ..." on stderr)
constexpr int kExitRefused = 255;  // the run was refused, or the command line could not be parsed

// Writes an empty line, every element of argv followed by a blank, an empty
// line, then "source code date: 2014/02/14" and an empty line.
void writeStartBanner(std::ostream& out, int argc, char const* const* argv);

// Outcome of the check before a run; the first failing test, in this order.
enum class RunCheck {
    kRunPossible,             // all tests passed
    kNoInput,                 // input is empty
    kBadNfields,              // an nfields element is below 1
    kTooManySubfields,        // nfields[0] * nfields[1] > kMaxSubfields
    kNegativeNumber,          // number < 0
    kNegativeBorder,          // border < 0
    kNegativeSubfieldBorder,  // subfield_border < 0
    kZeroXColumn,             // x_column == 0 (negative selects sky coordinates)
    kNegativeCheckRadius,     // check radius < 0
    kCheckWithoutFiles,       // check radius > 0 and no file argument
    kBadBoxlen,               // boxlen < 1
};

// The most subfields a run may have (a grid of 1000 x 1000). Every subfield
// is searched and reported on its own, so the run time and the progress
// output grow with their number; a larger grid would keep the run busy for
// hours with nothing to find.
constexpr long long kMaxSubfields = 1000000;

RunCheck checkRun(Parameter const& P, std::size_t fileCount);

// The one-line notice (without line end) that explains a refusal; for
// kRunPossible the empty text.
char const* refusalNotice(RunCheck check);

// The one-line notice (without line end) after an option error.
extern char const* const kOptionErrorNotice;

// A refused run: the value table and a line end on out; the notice, its line
// end and one more on err.
void reportRefusal(std::ostream& out, std::ostream& err, util::OptionParser const& parser,
                   RunCheck check);

// An option error: "Caught exception : <what>" on err; the value table, a line
// end and the usage text on out; then the notice as in reportRefusal.
void reportOptionError(std::ostream& out, std::ostream& err, util::OptionParser const& parser,
                       util::UException const& e);

// A failed run: an empty line on out, "EXCEPTION: <what>" on err.
void reportRunFailure(std::ostream& out, std::ostream& err, std::exception const& e);

}  // namespace selection
