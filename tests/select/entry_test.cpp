#include "select/entry.h"

#include <gtest/gtest.h>

#include <list>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "select/parameter.h"
#include "util/option_parser.h"
#include "util/option_reader.h"

namespace {

using selection::checkRun;
using selection::Parameter;
using selection::ParameterOptions;
using selection::RunCheck;

// A record that passes the check: the defaults of the options, with an input
// table; the options as if given no value text but their defaults.
struct Runnable {
    Runnable() {
        std::ostringstream err;
        options = selection::registerParameterOptions(P, parser, err);
        P.input = "cat.txt";
    }
    // The option of that long name, to give it a value text.
    util::Option& option(std::string const& name) {
        for (auto& opt : options)
            if (opt->getName() == name) return *opt;
        throw std::logic_error("no option " + name);
    }
    Parameter P;
    util::CommandLineReader reader{0, nullptr};
    util::OptionParser parser{&reader};
    ParameterOptions options;
};

using Files = std::list<std::string>;
Files const kOneFile = {"img.fits"};

}  // namespace

// Each reason for refusing a run with its notice, the option texts given as on
// a command line, next to values that are accepted (the largest grid, the
// smallest stamp, the ends of the ranges, an empty flux band of one quantile,
// a FWHM range of one width, a fitted beta and the finest sub-sampling).
TEST(Entry, CheckRefusesEachReason) {
    struct Case {
        std::vector<std::pair<char const*, char const*>> values;
        std::string notice;
        Files files = kOneFile;
    };
    std::string const nfields = "error: nfields must be at least 1 in x and in y";
    auto quantile = [](std::string const& name, std::string const& value) {
        return "error: --" + name + " must be a flux quantile between 0 and 1, not " + value;
    };
    std::string const tooMany = "error: nfields must not ask for more than 1000000 subfields";
    std::vector<std::pair<char const*, char const*>> const accepted = {
        {"nfields", "1000,1000"},  {"check radius", "2"}, {"boxlen", "1"},     {"class_star", "0"},
        {"neighbour_thresh", "1"}, {"min_thresh", "1"},   {"max_thresh", "1"}, {"max_peak", "1e-9"},
        {"fwhm_range", "0.1,0.1"}, {"beta", "0"},         {"subsample", "15"}, {"threads", "256"}};
    std::vector<Case> cases = {
        {{{"nfields", "0,1"}}, nfields},
        {{{"nfields", "1000001,1"}}, tooMany},
        {{{"nfields", "2147483647,2147483647"}}, tooMany},
        {{{"number", "-1"}}, "error: number must not be negative"},
        {{{"border", "-1"}}, "error: border must not be negative"},
        {{{"subfield_border", "-1"}}, "error: subfield_border must not be negative"},
        {{{"x_column", "0"}}, "error: x_column must not be 0 (x column, or minus the RA column)"},
        {{{"check radius", "-1"}}, "error: check radius (-r) must not be negative"},
        {{{"check radius", "1"}}, "error: check radius (-r) given but no FITS file to check", {}},
        {{{"boxlen", "0"}}, "error: boxlen must be at least 1"},
        {{},
         "error: option '-n' after the file arguments: options come before the files",
         {"img.fits", "-n", "5"}},
        {{{"nfields", "2,2x"}},
         "error: --nfields needs whole numbers separated by commas, not '2,2x'"},
        {{{"class_star", "nan"}}, "error: --class_star needs a number, not 'nan'"},
        {{{"class_star", "-1e308"}},
         "error: --class_star (-c) must be a stellarity between 0 and 1, not -1e+308"},
        {{{"neighbour_thresh", "-0.01"}}, quantile("neighbour_thresh", "-0.01")},
        {{{"max_thresh", "99"}}, quantile("max_thresh", "99")},
        {{{"min_thresh", "0.5"}, {"max_thresh", "0.4"}},
         "error: --min_thresh 0.5 is above --max_thresh 0.4: the flux band would be empty"},
        {{{"fwhm_range", "3,2"}},
         "error: --fwhm_range must be two widths in pixels, the lowest above 0 and not above the "
         "highest, not 3,2"},
        {{{"beta", "-0.5"}}, "error: --beta must be 0 (fitted) or above, not -0.5"},
        {{{"subsample", "16"}}, "error: --subsample must be from 1 to 15, not 16"},
        {{{"threads", "257"}}, "error: --threads must be from 0 (every core) to 256, not 257"},
        // The missing input is named before everything; among the option
        // texts that are not numbers, the first one registered.
        {{{"input", ""}, {"boxlen", "0"}}, "error: no input table given (--input)", {}},
        {{{"verbose", "loud"}, {"check radius", ""}, {"class_star", "2"}},
         "error: --check_radius needs a whole number, not ''"},
        {accepted, ""},
    };
    for (char const* cut :
         {"max_peak", "max_ellipticity", "fwhm_clip", "nchi_clip", "max_asymmetry"})
        cases.push_back(
            {{{cut, "-1"}},
             "error: --" + std::string(cut) + " must not be negative (0 = off), not -1"});
    for (Case const& c : cases) {
        Runnable r;
        for (auto const& [name, text] : c.values) r.option(name).setValue(text);
        selection::Refusal const refusal = checkRun(r.P, r.options, c.files);
        EXPECT_EQ(refusal.check == RunCheck::kRunPossible, c.notice.empty()) << c.notice;
        EXPECT_EQ(refusal.notice, c.notice);
    }
}

// The warnings about -c and --flag_limit given without their columns; the
// pass-through mode has no warning about the columns missing.
TEST(Entry, OptionWarnings) {
    std::string const classStar = "warning: -c/--class_star has no effect without --class_column\n";
    std::string const flagLimit = "warning: --flag_limit has no effect without --flag_column\n";
    // The option given besides -c and --flag_limit, its value, the warnings.
    std::tuple<char const*, char const*, std::string> const cases[] = {
        {"number", "0", classStar + flagLimit},
        {"flag_column", "7", classStar},
        {"class_column", "8", flagLimit}};
    for (auto const& [name, value, warnings] : cases) {
        Runnable r;
        r.option(name).setValue(value);
        r.option("class_star").markGiven();
        r.option("flag_limit").markGiven();
        std::ostringstream err;
        selection::writeOptionWarnings(err, r.P, r.options);
        EXPECT_EQ(err.str(), warnings) << name;
    }
}
