#include "select/entry.h"

#include <cstdio>
#include <string>

#include "fit/moffat.h"
#include "util/version.h"

namespace selection {

namespace {

constexpr char kSourceDate[] = "2014/02/14";
constexpr char kSynopsis[] = "usage: psfpick [options] [FITS files...]";

// The three options whose values are flux quantiles, for their range checks.
struct Quantile {
    char const* label;
    double Parameter::*field;
};
constexpr Quantile kQuantiles[] = {{"--neighbour_thresh", &Parameter::neighbour_thresh},
                                   {"--min_thresh", &Parameter::min_thresh},
                                   {"--max_thresh", &Parameter::max_thresh}};

bool isFraction(double v) {
    return v >= 0 && v <= 1;  // false for NaN
}

std::string formatValue(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

bool isGiven(ParameterOptions const& options, char const* name) {
    util::Option const* opt = findOption(options, name);
    return opt != nullptr && opt->given();
}

char const* tooManySubfieldsNotice() {
    static std::string const notice =
        "error: nfields must not ask for more than " + std::to_string(kMaxSubfields) + " subfields";
    return notice.c_str();
}

// Writes a notice line followed by one empty line.
void writeNotice(std::ostream& err, char const* notice) {
    err << notice << '\n' << std::endl;
}

// The tests on the record alone that the run has always made.
RunCheck checkRecord(Parameter const& P, std::size_t fileCount) {
    if (P.input.empty()) return RunCheck::kNoInput;
    if (P.nfields[0] < 1 || P.nfields[1] < 1) return RunCheck::kBadNfields;
    if (static_cast<long long>(P.nfields[0]) * P.nfields[1] > kMaxSubfields)
        return RunCheck::kTooManySubfields;
    if (P.number < 0) return RunCheck::kNegativeNumber;
    if (P.border < 0) return RunCheck::kNegativeBorder;
    if (P.subfield_border < 0) return RunCheck::kNegativeSubfieldBorder;
    if (P.x_column == 0) return RunCheck::kZeroXColumn;
    if (P.check_radius < 0) return RunCheck::kNegativeCheckRadius;
    if (P.check_radius != 0 && fileCount == 0) return RunCheck::kCheckWithoutFiles;
    if (P.boxlen < 1) return RunCheck::kBadBoxlen;
    return RunCheck::kRunPossible;
}

// The notices of the tests of checkRecord.
char const* recordNotice(RunCheck check) {
    switch (check) {
        case RunCheck::kRunPossible:
        case RunCheck::kOptionAfterFiles:
        case RunCheck::kNotANumber:
        case RunCheck::kClassStarOutOfRange:
        case RunCheck::kThreshOutOfRange:
        case RunCheck::kMinAboveMax:
        case RunCheck::kNegativeCut:
        case RunCheck::kBadFwhmRange:
        case RunCheck::kNegativeBeta:
        case RunCheck::kBadSubsample:
        case RunCheck::kBadThreads:
            return "";
        case RunCheck::kNoInput:
            return "error: no input table given (--input)";
        case RunCheck::kBadNfields:
            return "error: nfields must be at least 1 in x and in y";
        case RunCheck::kTooManySubfields:
            return tooManySubfieldsNotice();
        case RunCheck::kNegativeNumber:
            return "error: number must not be negative";
        case RunCheck::kNegativeBorder:
            return "error: border must not be negative";
        case RunCheck::kNegativeSubfieldBorder:
            return "error: subfield_border must not be negative";
        case RunCheck::kZeroXColumn:
            return "error: x_column must not be 0 (x column, or minus the RA column)";
        case RunCheck::kNegativeCheckRadius:
            return "error: check radius (-r) must not be negative";
        case RunCheck::kCheckWithoutFiles:
            return "error: check radius (-r) given but no FITS file to check";
        case RunCheck::kBadBoxlen:
            return "error: boxlen must be at least 1";
    }
    return "";
}

}  // namespace

char const* const kOptionErrorNotice = "error: invalid command line (see the usage text)";

void writeStartBanner(std::ostream& out, int argc, char const* const* argv) {
    out << '\n';
    for (int i = 0; i < argc; ++i) out << argv[i] << ' ';
    out << "\n\n";
    out << "source code date: " << kSourceDate << "\n\n";
}

void registerCommands(util::OptionParser& parser) {
    parser.addCommand("help", 'h', kHelpCommand);
    parser.addCommand("version", 0, kVersionCommand);
}

void answerCommand(std::ostream& out, util::OptionParser const& parser) {
    if (parser.command() == kHelpCommand) {
        out << kSynopsis << "\n\n";
        parser.printUsage(out);
    } else if (parser.command() == kVersionCommand) {
        out << "psfpick " << PSFPICK_VERSION << '\n';
    }
    out.flush();
}

Refusal checkRun(Parameter const& P, ParameterOptions const& options,
                 std::list<std::string> const& files) {
    RunCheck const recordCheck = checkRecord(P, files.size());
    if (recordCheck != RunCheck::kRunPossible) return {recordCheck, recordNotice(recordCheck)};
    // The first file argument never begins with "-": the options end there.
    for (std::string const& file : files)
        if (!file.empty() && file[0] == '-')
            return {RunCheck::kOptionAfterFiles,
                    "error: option '" + file +
                        "' after the file arguments: options come before the files"};
    for (auto const& opt : options)
        if (!opt->lastTextValid())
            return {RunCheck::kNotANumber, "error: " + optionLabel(*opt) + " needs " +
                                               opt->valueDescription() + ", not '" +
                                               opt->lastText() + "'"};
    if (!isFraction(P.class_star))
        return {RunCheck::kClassStarOutOfRange,
                "error: --class_star (-c) must be a stellarity between 0 and 1, not " +
                    formatValue(P.class_star)};
    for (Quantile const& q : kQuantiles)
        if (!isFraction(P.*q.field))
            return {RunCheck::kThreshOutOfRange, "error: " + std::string(q.label) +
                                                     " must be a flux quantile between 0 and 1, "
                                                     "not " +
                                                     formatValue(P.*q.field)};
    if (P.min_thresh > P.max_thresh)
        return {RunCheck::kMinAboveMax, "error: --min_thresh " + formatValue(P.min_thresh) +
                                            " is above --max_thresh " + formatValue(P.max_thresh) +
                                            ": the flux band would be empty"};
    for (CutOption const& c : kCutOptions)
        if (!(P.*c.field >= 0))
            return {RunCheck::kNegativeCut, "error: --" + std::string(c.name) +
                                                " must not be negative (0 = off), not " +
                                                formatValue(P.*c.field)};
    if (!(P.fwhm_range[0] > 0 && P.fwhm_range[0] <= P.fwhm_range[1]))
        return {RunCheck::kBadFwhmRange,
                "error: --fwhm_range must be two widths in pixels, the lowest above 0 and not "
                "above the highest, not " +
                    formatValue(P.fwhm_range[0]) + "," + formatValue(P.fwhm_range[1])};
    if (!(P.beta >= 0))
        return {RunCheck::kNegativeBeta,
                "error: --beta must be 0 (fitted) or above, not " + formatValue(P.beta)};
    if (P.subsample < 1 || P.subsample > fit::kMoffatMaxSubsample)
        return {RunCheck::kBadSubsample, "error: --subsample must be from 1 to " +
                                             std::to_string(fit::kMoffatMaxSubsample) + ", not " +
                                             std::to_string(P.subsample)};
    if (P.threads < 0 || P.threads > kMaxThreads)
        return {RunCheck::kBadThreads, "error: --threads must be from 0 (every core) to " +
                                           std::to_string(kMaxThreads) + ", not " +
                                           std::to_string(P.threads)};
    return {RunCheck::kRunPossible, ""};
}

void writeOptionWarnings(std::ostream& err, Parameter const& P, ParameterOptions const& options) {
    if (P.class_column <= 0 && isGiven(options, kClassStarName))
        err << "warning: -c/--class_star has no effect without --class_column\n";
    if (P.flag_column <= 0 && isGiven(options, kFlagLimitName))
        err << "warning: --flag_limit has no effect without --flag_column\n";
    if (P.number >= 1 && P.flag_column <= 0 && P.class_column <= 0)
        err << "warning: without --flag_column and --class_column saturated stars and galaxies "
               "are not excluded; give their columns (Source Extractor: FLAGS, CLASS_STAR)\n";
    err.flush();
}

void reportRefusal(std::ostream& out, std::ostream& err, util::OptionParser const& parser,
                   Refusal const& refusal) {
    out << parser << std::endl;
    writeNotice(err, refusal.notice.c_str());
}

void reportOptionError(std::ostream& out, std::ostream& err, util::OptionParser const& parser,
                       util::UException const& e) {
    err << "Caught exception : " << e.what() << std::endl;
    out << parser << std::endl;
    parser.printUsage(out);
    out.flush();
    writeNotice(err, kOptionErrorNotice);
    if (auto const* unknown = dynamic_cast<util::UnknownOptionException const*>(&e)) {
        err << "error: unknown option '" << unknown->option() << "'";
        if (!unknown->suggestion().empty())
            err << " (did you mean '" << unknown->suggestion() << "'?)";
        err << std::endl;
    }
}

void reportRunFailure(std::ostream& out, std::ostream& err, std::exception const& e) {
    out << std::endl;
    err << "EXCEPTION: " << e.what() << std::endl;
}

}  // namespace selection
