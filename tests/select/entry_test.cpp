#include "select/entry.h"

#include <gtest/gtest.h>

#include <limits>
#include <list>
#include <sstream>
#include <stdexcept>
#include <string>

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

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

using Files = std::list<std::string>;
Files const kOneFile = {"img.fits"};

}  // namespace

// Each reason for refusing a run with its notice, next to a value that is
// accepted (the largest grid, kMaxSubfields, the smallest stamp, boxlen 1, a
// check radius with a file, the ends of the [0, 1] ranges, an empty flux band
// of one quantile, a FWHM range of one width, a fitted beta and the finest
// sub-sampling).
TEST(Entry, CheckRefusesEachReason) {
    struct Case {
        void (*spoil)(Runnable&);
        Files files;
        std::string notice;
    };
    std::string const nfields = "error: nfields must be at least 1 in x and in y";
    std::string const tooMany = "error: nfields must not ask for more than 1000000 subfields";
    auto quantile = [](char const* name, char const* value) {
        return std::string("error: --") + name + " must be a flux quantile between 0 and 1, not " +
               value;
    };
    auto cut = [](char const* name, char const* value) {
        return std::string("error: --") + name + " must not be negative (0 = off), not " + value;
    };
    std::string const stellarity =
        "error: --class_star (-c) must be a stellarity between 0 and 1, not ";
    std::string const fwhmRange =
        "error: --fwhm_range must be two widths in pixels, the lowest above 0 and not above the "
        "highest, not ";
    Case const cases[] = {
        {[](Runnable& r) { r.P.input.clear(); }, kOneFile, "error: no input table given (--input)"},
        {[](Runnable& r) { r.P.nfields[0] = 0; }, kOneFile, nfields},
        {[](Runnable& r) { r.P.nfields[1] = -1; }, kOneFile, nfields},
        {[](Runnable& r) { r.P.nfields[0] = 1000001; }, kOneFile, tooMany},
        {[](Runnable& r) { r.P.nfields[0] = r.P.nfields[1] = 2147483647; }, kOneFile, tooMany},
        {[](Runnable& r) { r.P.number = -1; }, kOneFile, "error: number must not be negative"},
        {[](Runnable& r) { r.P.border = -1; }, kOneFile, "error: border must not be negative"},
        {[](Runnable& r) { r.P.subfield_border = -1; }, kOneFile,
         "error: subfield_border must not be negative"},
        {[](Runnable& r) { r.P.x_column = 0; }, kOneFile,
         "error: x_column must not be 0 (x column, or minus the RA column)"},
        {[](Runnable& r) { r.P.check_radius = -1; }, kOneFile,
         "error: check radius (-r) must not be negative"},
        {[](Runnable& r) { r.P.check_radius = 1; },
         {},
         "error: check radius (-r) given but no FITS file to check"},
        {[](Runnable& r) { r.P.boxlen = 0; }, kOneFile, "error: boxlen must be at least 1"},
        {[](Runnable&) {},
         {"img.fits", "-n", "5"},
         "error: option '-n' after the file arguments: options come before the files"},
        {[](Runnable& r) { r.option("number").setValue("5x"); }, kOneFile,
         "error: --number needs a whole number, not '5x'"},
        {[](Runnable& r) { r.option("nfields").setValue("2,2x"); }, kOneFile,
         "error: --nfields needs whole numbers separated by commas, not '2,2x'"},
        {[](Runnable& r) { r.option("class_star").setValue("nan"); }, kOneFile,
         "error: --class_star needs a number, not 'nan'"},
        {[](Runnable& r) { r.P.class_star = 1.5; }, kOneFile, stellarity + "1.5"},
        {[](Runnable& r) { r.P.class_star = -1e308; }, kOneFile, stellarity + "-1e+308"},
        {[](Runnable& r) { r.P.neighbour_thresh = -0.01; }, kOneFile,
         quantile("neighbour_thresh", "-0.01")},
        {[](Runnable& r) { r.P.min_thresh = kNaN; }, kOneFile, quantile("min_thresh", "nan")},
        {[](Runnable& r) { r.P.max_thresh = 99; }, kOneFile, quantile("max_thresh", "99")},
        {[](Runnable& r) { r.P.min_thresh = 0.5, r.P.max_thresh = 0.4; }, kOneFile,
         "error: --min_thresh 0.5 is above --max_thresh 0.4: the flux band would be empty"},
        {[](Runnable& r) { r.P.max_peak = -1; }, kOneFile, cut("max_peak", "-1")},
        {[](Runnable& r) { r.P.max_ellipticity = kNaN; }, kOneFile, cut("max_ellipticity", "nan")},
        {[](Runnable& r) { r.P.fwhm_clip = -0.5; }, kOneFile, cut("fwhm_clip", "-0.5")},
        {[](Runnable& r) { r.P.nchi_clip = -2; }, kOneFile, cut("nchi_clip", "-2")},
        {[](Runnable& r) { r.P.max_asymmetry = -0.1; }, kOneFile, cut("max_asymmetry", "-0.1")},
        {[](Runnable& r) { r.P.fwhm_range[0] = 0; }, kOneFile, fwhmRange + "0,20"},
        {[](Runnable& r) { r.P.fwhm_range[0] = 3, r.P.fwhm_range[1] = 2; }, kOneFile,
         fwhmRange + "3,2"},
        {[](Runnable& r) { r.P.beta = -0.5; }, kOneFile,
         "error: --beta must be 0 (fitted) or above, not -0.5"},
        {[](Runnable& r) { r.P.subsample = 0; }, kOneFile,
         "error: --subsample must be from 1 to 15, not 0"},
        {[](Runnable& r) { r.P.subsample = 16; }, kOneFile,
         "error: --subsample must be from 1 to 15, not 16"},
        {[](Runnable& r) { r.P.threads = -1; }, kOneFile,
         "error: --threads must be from 0 (every core) to 256, not -1"},
        {[](Runnable& r) { r.P.threads = selection::kMaxThreads + 1; }, kOneFile,
         "error: --threads must be from 0 (every core) to 256, not 257"},
    };
    Runnable accepted;
    accepted.P.nfields[0] = accepted.P.nfields[1] = 1000;
    accepted.P.check_radius = 2;
    accepted.P.boxlen = 1;
    accepted.P.class_star = 0;
    accepted.P.neighbour_thresh = 1;
    accepted.P.min_thresh = accepted.P.max_thresh = 1;
    accepted.P.max_peak = accepted.P.max_asymmetry = 1e-9;
    accepted.P.fwhm_range[0] = accepted.P.fwhm_range[1] = 0.1;
    accepted.P.beta = 0;
    accepted.P.subsample = 15;
    accepted.P.threads = selection::kMaxThreads;
    EXPECT_EQ(checkRun(accepted.P, accepted.options, kOneFile).check, RunCheck::kRunPossible);
    for (Case const& c : cases) {
        Runnable r;
        c.spoil(r);
        selection::Refusal const refusal = checkRun(r.P, r.options, c.files);
        EXPECT_NE(refusal.check, RunCheck::kRunPossible) << c.notice;
        EXPECT_EQ(refusal.notice, c.notice);
    }
    // With several faults the first test is named: the missing input before
    // everything; among the option texts that are not numbers, the first one
    // registered.
    Runnable r;
    r.P.input.clear();
    r.P.boxlen = 0;
    EXPECT_EQ(checkRun(r.P, r.options, {}).check, RunCheck::kNoInput);
    Runnable two;
    two.option("verbose").setValue("loud");
    two.option("check radius").setValue("");
    two.P.class_star = 2;
    EXPECT_EQ(checkRun(two.P, two.options, kOneFile).notice,
              "error: --check_radius needs a whole number, not ''");
}

// The warnings about options that have no effect, and about a selecting run
// that excludes neither saturated stars nor galaxies.
TEST(Entry, OptionWarnings) {
    std::string const classStar = "warning: -c/--class_star has no effect without --class_column\n";
    std::string const flagLimit = "warning: --flag_limit has no effect without --flag_column\n";
    std::string const neither =
        "warning: without --flag_column and --class_column saturated stars and galaxies are not "
        "excluded; give their columns (Source Extractor: FLAGS, CLASS_STAR)\n";
    struct Case {
        char const* name;
        void (*set)(Runnable&);
        std::string warnings;
    };
    Case const cases[] = {
        {"defaults", [](Runnable&) {}, neither},
        {"pass-through", [](Runnable& r) { r.P.number = 0; }, ""},
        {"both columns, -c and --flag_limit given",
         [](Runnable& r) {
             r.P.flag_column = 7, r.P.class_column = 8;
             r.option("class_star").markGiven();
             r.option("flag_limit").markGiven();
         },
         ""},
        {"-c and --flag_limit given, columns 0 and negative",
         [](Runnable& r) {
             r.P.class_column = -1;
             r.option("class_star").markGiven();
             r.option("flag_limit").markGiven();
         },
         classStar + flagLimit + neither},
        {"flag column only, -c given",
         [](Runnable& r) {
             r.P.flag_column = 7;
             r.option("class_star").markGiven();
         },
         classStar},
        {"class column only, --flag_limit given",
         [](Runnable& r) {
             r.P.class_column = 8;
             r.option("flag_limit").markGiven();
         },
         flagLimit},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        Runnable r;
        c.set(r);
        std::ostringstream err;
        selection::writeOptionWarnings(err, r.P, r.options);
        EXPECT_EQ(err.str(), c.warnings);
    }
}
