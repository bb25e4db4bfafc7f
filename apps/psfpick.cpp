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
        writeStartBanner(std::cout, argc, argv);

        Parameter P;
        util::CommandLineReader reader(argc, argv);
        util::OptionParser parser(&reader);
        ParameterOptions const options = registerParameterOptions(P, parser, std::cerr);
        try {
            parser.parseOptions();
        } catch (util::UException const& e) {
            reportOptionError(std::cout, std::cerr, parser, e);
            return kExitRefused;
        }
        std::list<std::string> const files = reader.fileArguments();

        RunCheck const check = checkRun(P, files.size());
        if (check != RunCheck::kRunPossible) {
            reportRefusal(std::cout, std::cerr, parser, check);
            return kExitRefused;
        }

        runSelection(P, files);
        return kExitSuccess;
    } catch (std::exception const& e) {
        reportRunFailure(std::cout, std::cerr, e);
        return kExitRunFailed;
    }
}
