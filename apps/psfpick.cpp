// psfpick: picks isolated, well-measured point sources for PSF modelling.
// The entry point only wires the steps together: banner, run parameters from
// the command line, the check, the selection run, and the exit status.
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
        selection::writeStartBanner(std::cout, argc, argv);

        selection::Parameter P;
        util::CommandLineReader reader(argc, argv);
        util::OptionParser parser(&reader);
        selection::ParameterOptions const options =
            selection::registerParameterOptions(P, parser, std::cerr);
        try {
            parser.parseOptions();
        } catch (util::UException const& e) {
            selection::reportOptionError(std::cout, std::cerr, parser, e);
            return selection::kExitRefused;
        }
        std::list<std::string> const files = reader.fileArguments();

        selection::RunCheck const check = selection::checkRun(P, files.size());
        if (check != selection::RunCheck::kRunPossible) {
            selection::reportRefusal(std::cout, std::cerr, parser, check);
            return selection::kExitRefused;
        }

        selection::runSelection(P, files, selection::runContext(argc, argv, options));
        return selection::kExitSuccess;
    } catch (std::exception const& e) {
        selection::reportRunFailure(std::cout, std::cerr, e);
        return selection::kExitRunFailed;
    }
}
