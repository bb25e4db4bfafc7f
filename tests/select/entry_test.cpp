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
using selection::kMaxSubfields;
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

// Each reason for refusing a run, next to a value that is accepted (the
// largest grid, kMaxSubfields, the smallest stamp, boxlen 1, a check radius
// with a file, the ends of the [0, 1] ranges, an empty flux band of one
// quantile, a FWHM range of one width, a fitted beta and the finest
// sub-sampling).
TEST(Entry, CheckRefusesEachReason) {
    struct Case {
        void (*spoil)(Runnable&);
        Files files;
        RunCheck expected;
    };
    Case const cases[] = {
        {[](Runnable& r) { r.P.input.clear(); }, kOneFile, RunCheck::kNoInput},
        {[](Runnable& r) { r.P.nfields[0] = 0; }, kOneFile, RunCheck::kBadNfields},
        {[](Runnable& r) { r.P.nfields[1] = -1; }, kOneFile, RunCheck::kBadNfields},
        {[](Runnable& r) { r.P.nfields[0] = 1000001; }, kOneFile, RunCheck::kTooManySubfields},
        {[](Runnable& r) { r.P.nfields[0] = r.P.nfields[1] = 2147483647; }, kOneFile,
         RunCheck::kTooManySubfields},
        {[](Runnable& r) { r.P.number = -1; }, kOneFile, RunCheck::kNegativeNumber},
        {[](Runnable& r) { r.P.border = -1; }, kOneFile, RunCheck::kNegativeBorder},
        {[](Runnable& r) { r.P.subfield_border = -1; }, kOneFile,
         RunCheck::kNegativeSubfieldBorder},
        {[](Runnable& r) { r.P.x_column = 0; }, kOneFile, RunCheck::kZeroXColumn},
        {[](Runnable& r) { r.P.check_radius = -1; }, kOneFile, RunCheck::kNegativeCheckRadius},
        {[](Runnable& r) { r.P.check_radius = 1; }, {}, RunCheck::kCheckWithoutFiles},
        {[](Runnable& r) { r.P.boxlen = 0; }, kOneFile, RunCheck::kBadBoxlen},
        {[](Runnable&) {}, {"img.fits", "-n", "5"}, RunCheck::kOptionAfterFiles},
        {[](Runnable& r) { r.option("number").setValue("5x"); }, kOneFile, RunCheck::kNotANumber},
        {[](Runnable& r) { r.option("nfields").setValue("2,2x"); }, kOneFile,
         RunCheck::kNotANumber},
        {[](Runnable& r) { r.P.class_star = 1.5; }, kOneFile, RunCheck::kClassStarOutOfRange},
        {[](Runnable& r) { r.P.class_star = kNaN; }, kOneFile, RunCheck::kClassStarOutOfRange},
        {[](Runnable& r) { r.P.neighbour_thresh = -0.01; }, kOneFile, RunCheck::kThreshOutOfRange},
        {[](Runnable& r) { r.P.min_thresh = kNaN; }, kOneFile, RunCheck::kThreshOutOfRange},
        {[](Runnable& r) { r.P.max_thresh = 99; }, kOneFile, RunCheck::kThreshOutOfRange},
        {[](Runnable& r) { r.P.min_thresh = 0.5, r.P.max_thresh = 0.4; }, kOneFile,
         RunCheck::kMinAboveMax},
        {[](Runnable& r) { r.P.max_peak = -1; }, kOneFile, RunCheck::kNegativeCut},
        {[](Runnable& r) { r.P.max_ellipticity = kNaN; }, kOneFile, RunCheck::kNegativeCut},
        {[](Runnable& r) { r.P.fwhm_clip = -0.5; }, kOneFile, RunCheck::kNegativeCut},
        {[](Runnable& r) { r.P.nchi_clip = -2; }, kOneFile, RunCheck::kNegativeCut},
        {[](Runnable& r) { r.P.max_asymmetry = -0.1; }, kOneFile, RunCheck::kNegativeCut},
        {[](Runnable& r) { r.P.fwhm_range[0] = 0; }, kOneFile, RunCheck::kBadFwhmRange},
        {[](Runnable& r) { r.P.fwhm_range[0] = 3, r.P.fwhm_range[1] = 2; }, kOneFile,
         RunCheck::kBadFwhmRange},
        {[](Runnable& r) { r.P.beta = -0.5; }, kOneFile, RunCheck::kNegativeBeta},
        {[](Runnable& r) { r.P.subsample = 0; }, kOneFile, RunCheck::kBadSubsample},
        {[](Runnable& r) { r.P.subsample = 16; }, kOneFile, RunCheck::kBadSubsample},
        {[](Runnable& r) { r.P.threads = -1; }, kOneFile, RunCheck::kBadThreads},
        {[](Runnable& r) { r.P.threads = selection::kMaxThreads + 1; }, kOneFile,
         RunCheck::kBadThreads},
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
        EXPECT_EQ(refusal.check, c.expected) << refusal.notice;
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
    Runnable cut;
    cut.P.nchi_clip = -2;
    EXPECT_EQ(checkRun(cut.P, cut.options, kOneFile).notice,
              "error: --nchi_clip must not be negative (0 = off), not -2");
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
