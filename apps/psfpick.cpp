// psfpick: picks isolated, well-measured point sources for PSF modelling.
// The entry point only wires the steps together: run parameters from the
// command line, the commands --help and --version, banner, the check, the
// warnings, the selection run, and the exit status.
#include <exception>
#include <iostream>
#include <list>
#include <string>

#include "select/entry.h"
#include "select/parameter.h"
#include "select/selection.h"
#include "util/exception.h"
#include "util/option_parser.h"
#include "util/option_reader.h"

int main(int argc, char** argv) {
    try {
        selection::Parameter P;
        util::CommandLineReader reader(argc, argv);
        util::OptionParser parser(&reader);
        selection::ParameterOptions const options =
            selection::registerParameterOptions(P, parser, std::cerr);
        selection::registerCommands(parser);
        // Parsing writes nothing, so the banner can wait until it is known
        // whether a command (--help, --version) answers instead of a run.
        try {
            parser.parseOptions();
        } catch (util::UException const& e) {
            selection::writeStartBanner(std::cout, argc, argv);
            selection::reportOptionError(std::cout, std::cerr, parser, e);
            return selection::kExitRefused;
        }
        if (parser.command() != 0) {
            selection::answerCommand(std::cout, parser);
            return selection::kExitSuccess;
        }
        selection::writeStartBanner(std::cout, argc, argv);
        std::list<std::string> const files = reader.fileArguments();

        selection::Refusal const refusal = selection::checkRun(P, options, files);
        if (refusal.check != selection::RunCheck::kRunPossible) {
            selection::reportRefusal(std::cout, std::cerr, parser, refusal);
            return selection::kExitRefused;
        }
        selection::writeOptionWarnings(std::cerr, P, options);

        selection::runSelection(P, files, selection::runContext(argc, argv, options));
        return selection::kExitSuccess;
    } catch (std::exception const& e) {
        selection::reportRunFailure(std::cout, std::cerr, e);
        return selection::kExitRunFailed;
    }
}
