#include "select/entry.h"

#include <string>

namespace selection {

namespace {

constexpr char kSourceDate[] = "2014/02/14";

char const* tooManySubfieldsNotice() {
    static std::string const notice =
        "error: nfields must not ask for more than " + std::to_string(kMaxSubfields) + " subfields";
    return notice.c_str();
}

// Writes a notice line followed by one empty line.
void writeNotice(std::ostream& err, char const* notice) {
    err << notice << '\n' << std::endl;
}

}  // namespace

char const* const kOptionErrorNotice = "error: invalid command line (see the usage text)";

void writeStartBanner(std::ostream& out, int argc, char const* const* argv) {
    out << '\n';
    for (int i = 0; i < argc; ++i) out << argv[i] << ' ';
    out << "\n\n";
    out << "source code date: " << kSourceDate << "\n\n";
}

RunCheck checkRun(Parameter const& P, std::size_t fileCount) {
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

char const* refusalNotice(RunCheck check) {
    switch (check) {
        case RunCheck::kRunPossible:
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

void reportRefusal(std::ostream& out, std::ostream& err, util::OptionParser const& parser,
                   RunCheck check) {
    out << parser << std::endl;
    writeNotice(err, refusalNotice(check));
}

void reportOptionError(std::ostream& out, std::ostream& err, util::OptionParser const& parser,
                       util::UException const& e) {
    err << "Caught exception : " << e.what() << std::endl;
    out << parser << std::endl;
    parser.printUsage(out);
    out.flush();
    writeNotice(err, kOptionErrorNotice);
}

void reportRunFailure(std::ostream& out, std::ostream& err, std::exception const& e) {
    out << std::endl;
    err << "EXCEPTION: " << e.what() << std::endl;
}

}  // namespace selection
