// The steps of the psfpick entry point around the selection run: start-up
// banner, the commands --help and --version, the check whether a run is
// possible, the warnings about options, and the reports of a refused run, an
// option error and a failed run, with the matching exit statuses.
#pragma once

#include <cstddef>
#include <exception>
#include <list>
#include <ostream>
#include <string>

#include "select/parameter.h"
#include "util/exception.h"
#include "util/option_parser.h"

namespace selection {

// Exit statuses of psfpick.
constexpr int kExitSuccess = 0;    // the run completed, or a command was answered
constexpr int kExitRunFailed = 1;  // an exception ended the run ("EXCEPTION: ..." on stderr)
constexpr int kExitRefused = 255;  // the run was refused, or the command line could not be parsed

// Writes an empty line, every element of argv followed by a blank, an empty
// line, then "source code date: 2014/02/14" and an empty line.
void writeStartBanner(std::ostream& out, int argc, char const* const* argv);

// The commands of psfpick, ids for util::OptionParser::addCommand.
constexpr int kHelpCommand = 1;     // --help, -h: the usage text
constexpr int kVersionCommand = 2;  // --version: "psfpick <version>"

// Registers --help (also -h) and --version on parser.
void registerCommands(util::OptionParser& parser);

// The answer to the command that ended the parsing (parser.command()): for
// --help the line "usage: psfpick [options] [FITS files...]", an empty line
// and the usage text; for --version "psfpick <version>" and a line end.
void answerCommand(std::ostream& out, util::OptionParser const& parser);

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
    kOptionAfterFiles,        // a file argument after the first begins with "-"
    kNotANumber,              // a numeric option's value text is not wholly a number
    kClassStarOutOfRange,     // class_star outside [0, 1] (NaN too)
    kThreshOutOfRange,        // neighbour_thresh, min_thresh or max_thresh outside [0, 1]
    kMinAboveMax,             // min_thresh > max_thresh
    kNegativeCut,   // a cut on measured stars (--max_peak ... --max_asymmetry) < 0 (NaN too)
    kBadFwhmRange,  // fwhm_range not 0 < lowest <= highest
    kNegativeBeta,  // beta < 0 (0 = fitted)
    kBadSubsample,  // subsample outside 1..fit::kMoffatMaxSubsample
    kBadThreads,    // threads outside 0..kMaxThreads
};

// The most threads a run may use (--threads). A run has a few dozen fits
// under way at most, and each thread holds the memory of one.
constexpr int kMaxThreads = 256;

// The most subfields a run may have (a grid of 1000 x 1000). Every subfield
// is searched and reported on its own, so the run time and the progress
// output grow with their number; a larger grid would keep the run busy for
// hours with nothing to find.
constexpr long long kMaxSubfields = 1000000;

// The first failing test and the one-line notice (without line end) that
// explains it, naming the option and its value; for kRunPossible the empty
// text.
struct Refusal {
    RunCheck check;
    std::string notice;
};

// The tests on the parameters, the options as the command line gave them (in
// registration order, for the first value text that is not a number) and the
// file arguments.
Refusal checkRun(Parameter const& P, ParameterOptions const& options,
                 std::list<std::string> const& files);

// The warnings about the options of a run that goes ahead, one line each on
// err, in this order: -c given while class_column is not above 0;
// --flag_limit given while flag_column is not above 0; a selecting run
// (number >= 1) with neither column, which excludes neither saturated stars
// nor galaxies.
void writeOptionWarnings(std::ostream& err, Parameter const& P, ParameterOptions const& options);

// The one-line notice (without line end) after an option error.
extern char const* const kOptionErrorNotice;

// A refused run: the value table and a line end on out; the notice, its line
// end and one more on err.
void reportRefusal(std::ostream& out, std::ostream& err, util::OptionParser const& parser,
                   Refusal const& refusal);

// An option error: "Caught exception : <what>" on err; the value table, a line
// end and the usage text on out; then the notice as in reportRefusal. For an
// unknown option, err then ends with the line
// "error: unknown option '<option>'", followed by " (did you mean
// '<suggestion>'?)" before its line end when the parser suggests one.
void reportOptionError(std::ostream& out, std::ostream& err, util::OptionParser const& parser,
                       util::UException const& e);

// A failed run: an empty line on out, "EXCEPTION: <what>" on err.
void reportRunFailure(std::ostream& out, std::ostream& err, std::exception const& e);

}  // namespace selection
