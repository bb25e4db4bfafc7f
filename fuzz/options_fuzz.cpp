// Fuzz target: the command line of psfpick. The input is split at line ends
// into arguments, which go through the program's own steps: the 26 options
// registered on a util::OptionParser with the commands, parsing, the answer to
// a command, the file arguments, the check whether a run is possible, the
// warnings, and the reports of an option error and a refused run. Parse
// errors must be util::UException; any other exception, a crash, a hang or a
// sanitizer report is a finding.
#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "select/entry.h"
#include "select/parameter.h"
#include "util/exception.h"
#include "util/option_parser.h"
#include "util/option_reader.h"

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
    std::string const text(reinterpret_cast<char const*>(data), size);
    std::vector<std::string> args = {"psfpick"};
    for (std::string& piece : fuzzsupport::splitSections(text, "\n", text.size() + 1))
        args.push_back(std::move(piece));
    if (!text.empty() && text.back() == '\n') args.pop_back();
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int const argc = static_cast<int>(args.size());

    fuzzsupport::NullStream out;
    fuzzsupport::NullStream err;
    selection::writeStartBanner(out, argc, argv.data());
    selection::Parameter P;
    util::CommandLineReader reader(argc, argv.data());
    util::OptionParser parser(&reader);
    selection::ParameterOptions const options = selection::registerParameterOptions(P, parser, err);
    selection::registerCommands(parser);
    try {
        parser.parseOptions();
    } catch (util::UException const& e) {
        selection::reportOptionError(out, err, parser, e);
        return 0;
    }
    if (parser.command() != 0) {
        selection::answerCommand(out, parser);
        return 0;
    }
    std::list<std::string> const files = reader.fileArguments();
    selection::Refusal const refusal = selection::checkRun(P, options, files);
    if (refusal.check != selection::RunCheck::kRunPossible)
        selection::reportRefusal(out, err, parser, refusal);
    else
        selection::writeOptionWarnings(err, P, options);
    out << parser;
    parser.printUsage(out);
    return 0;
}
