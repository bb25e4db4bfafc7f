// Fuzz target: a whole selection run (runSelection) in-process, on a fuzzed
// catalogue, variables table, image and error image, with fuzzed options.
// The input is cut into sections at each "\n%%%%\n":
//   0: options, one argument per line, parsed by the program's own parser
//   1: the catalogue
//   2: the variables table (empty: none)
//   3: the image, a FITS file (empty: no image and no file argument)
//   4: the error image (missing: a copy of the image)
// The paths (--input, --output, --variables, --image) are always replaced by
// files in a scratch directory; the image and its error image are the file
// arguments. A failed run must end in one of the program's typed exceptions,
// and a failure to read a table or a FITS file must name the file. Any other
// exception, a crash, a hang or a sanitizer report is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <list>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "sci/exceptions.h"
#include "select/entry.h"
#include "select/parameter.h"
#include "select/selection.h"
#include "util/exception.h"
#include "util/option_parser.h"
#include "util/option_reader.h"

namespace {

char const kSeparator[] = "\n%%%%\n";
constexpr size_t kSections = 5;

// The parameters from the option lines, or false when they do not parse.
bool parseParameters(std::string const& lines, selection::Parameter& P,
                     selection::ParameterOptions& options) {
    std::vector<std::string> args = {"psfpick"};
    if (!lines.empty())
        for (std::string& piece : fuzzsupport::splitSections(lines, "\n", lines.size() + 1))
            args.push_back(std::move(piece));
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    util::CommandLineReader reader(static_cast<int>(args.size()), argv.data());
    util::OptionParser parser(&reader);
    fuzzsupport::NullStream err;
    options = selection::registerParameterOptions(P, parser, err);
    try {
        parser.parseOptions();
    } catch (util::UException const&) {
        return false;
    }
    return true;
}

// A message about a file of the run must name it: every file of the run lies
// in the scratch directory.
void requireFileNamed(char const* message) {
    if (std::string(message).find(fuzzsupport::scratchDirectory()) != std::string::npos) return;
    std::fprintf(stderr, "message names no file of the run: %s\n", message);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::silenceStandardStreams();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
    std::string const text(reinterpret_cast<char const*>(data), size);
    std::vector<std::string> sections = fuzzsupport::splitSections(text, kSeparator, kSections);
    sections.resize(kSections);
    bool const hasImage = !sections[3].empty();
    if (sections[4].empty()) sections[4] = sections[3];

    selection::Parameter P;
    selection::ParameterOptions options;
    if (!parseParameters(sections[0], P, options)) return 0;

    std::string const& dir = fuzzsupport::scratchDirectory();
    P.input = dir + "/cat.txt";
    P.output = dir + "/out.tbl";
    fuzzsupport::writeBytes(P.input, sections[1]);
    P.variables.clear();
    if (!sections[2].empty()) {
        P.variables = dir + "/var.txt";
        fuzzsupport::writeBytes(P.variables, sections[2]);
    }
    std::list<std::string> files;
    P.image.clear();
    if (hasImage) {
        fuzzsupport::writeBytes(dir + "/img.fits", sections[3]);
        fuzzsupport::writeBytes(dir + "/e.img.fits", sections[4]);
        files = {dir + "/img.fits", dir + "/e.img.fits"};
    }
    if (selection::checkRun(P, options, files).check != selection::RunCheck::kRunPossible) return 0;

    try {
        selection::runSelection(P, files);
    } catch (sci::FitsException const& e) {
        requireFileNamed(e.what());
    } catch (sci::IOException const& e) {
        requireFileNamed(e.what());
    } catch (util::TextException const&) {
    }
    return 0;
}
