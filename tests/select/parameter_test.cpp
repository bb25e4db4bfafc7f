#include "select/parameter.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "util/option.h"
#include "util/option_parser.h"
#include "util/option_reader.h"

namespace {

// Number of run options psfpick declares.
constexpr std::size_t kOptionCount = 26;

// Parses tokens (after the program name) into a fresh Parameter record.
struct Parsed {
    Parameter P;
    std::string err;
    std::size_t optionCount = 0;

    explicit Parsed(std::vector<std::string> tokens) {
        tokens.insert(tokens.begin(), "psfpick");
        std::vector<char*> argv;
        for (auto& t : tokens) argv.push_back(t.data());
        argv.push_back(nullptr);
        util::CommandLineReader reader(static_cast<int>(tokens.size()), argv.data());
        util::OptionParser parser(&reader);
        std::ostringstream errText;
        ParameterOptions const options = registerParameterOptions(P, parser, errText);
        optionCount = options.size();
        parser.parseOptions();
        err = errText.str();
    }
};

}  // namespace

TEST(Parameter, DefaultsAfterAnEmptyCommandLine) {
    Parsed const run({});
    Parameter const& P = run.P;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.optionCount, kOptionCount);
    EXPECT_EQ(P.nfields[0], 1);
    EXPECT_EQ(P.nfields[1], 1);
    EXPECT_EQ(P.input, "");
    EXPECT_EQ(P.output, "selected.tbl");
    EXPECT_EQ(P.variables, "");
    EXPECT_EQ(P.image, "");
    // Parsed from "0.90", "0.00", "0.90", "0.99" with strtod: the same doubles
    // as the literals.
    EXPECT_EQ(P.class_star, 0.9);
    EXPECT_EQ(P.neighbour_thresh, 0.0);
    EXPECT_EQ(P.min_thresh, 0.9);
    EXPECT_EQ(P.max_thresh, 0.99);
    EXPECT_EQ(P.number, 1);
    EXPECT_EQ(P.border, 0);
    EXPECT_EQ(P.subfield_border, 0);
    EXPECT_EQ(P.id_column, 1);
    EXPECT_EQ(P.x_column, 2);
    EXPECT_EQ(P.flux_column, 6);
    EXPECT_EQ(P.flag_column, 0);
    EXPECT_EQ(P.flag_limit, 0);
    EXPECT_EQ(P.class_column, 0);
    EXPECT_EQ(P.check_radius, 0);
    EXPECT_EQ(P.verbose, 0);
    EXPECT_EQ(P.nchi_reject, 0);
    EXPECT_EQ(P.fwhm_reject, 0);
    EXPECT_EQ(P.boxlen, 12);
    EXPECT_FALSE(P.mag);
    EXPECT_FALSE(P.fwhm_sort);
    EXPECT_FALSE(P.nchi_sort);
}

TEST(Parameter, EveryOptionReachesItsField) {
    // Each option gets a value distinct from its default and from the others.
    Parsed const run({"--nfields",
                      "3,4",
                      "-i",
                      "cat.txt",
                      "-o",
                      "out.tbl",
                      "--variables",
                      "var.txt",
                      "--image",
                      "img.fits",
                      "-c",
                      "0.5",
                      "--neighbour_thresh",
                      "0.25",
                      "--min_thresh",
                      "0.125",
                      "--max_thresh",
                      "0.875",
                      "-n",
                      "5",
                      "-b",
                      "6",
                      "--subfield_border",
                      "7",
                      "--id_column",
                      "8",
                      "-x",
                      "-9",
                      "--flux_column",
                      "10",
                      "--flag_column",
                      "11",
                      "--flag_limit",
                      "12",
                      "--class_column",
                      "13",
                      "--check radius",
                      "14",
                      "-v",
                      "15",
                      "--nchi_reject",
                      "16",
                      "--fwhm_reject",
                      "17",
                      "--boxlen",
                      "18",
                      "-m",
                      "--fwhm_sort",
                      "--nchi_sort",
                      "a.fits"});
    Parameter const& P = run.P;
    EXPECT_EQ(P.nfields[0], 3);
    EXPECT_EQ(P.nfields[1], 4);
    EXPECT_EQ(P.input, "cat.txt");
    EXPECT_EQ(P.output, "out.tbl");
    EXPECT_EQ(P.variables, "var.txt");
    EXPECT_EQ(P.image, "img.fits");
    EXPECT_EQ(P.class_star, 0.5);
    EXPECT_EQ(P.neighbour_thresh, 0.25);
    EXPECT_EQ(P.min_thresh, 0.125);
    EXPECT_EQ(P.max_thresh, 0.875);
    EXPECT_EQ(P.number, 5);
    EXPECT_EQ(P.border, 6);
    EXPECT_EQ(P.subfield_border, 7);
    EXPECT_EQ(P.id_column, 8);
    EXPECT_EQ(P.x_column, -9);
    EXPECT_EQ(P.flux_column, 10);
    EXPECT_EQ(P.flag_column, 11);
    EXPECT_EQ(P.flag_limit, 12);
    EXPECT_EQ(P.class_column, 13);
    EXPECT_EQ(P.check_radius, 14);  // the long name with its blank, as one token
    EXPECT_EQ(P.verbose, 15);
    EXPECT_EQ(P.nchi_reject, 16);
    EXPECT_EQ(P.fwhm_reject, 17);
    EXPECT_EQ(P.boxlen, 18);
    EXPECT_TRUE(P.mag);
    EXPECT_TRUE(P.fwhm_sort);
    EXPECT_TRUE(P.nchi_sort);

    EXPECT_EQ(Parsed({"-r", "3"}).P.check_radius, 3);
}

TEST(Parameter, RegistrationErrorIsReportedAndStopsRegistering) {
    // A parser that already knows "verbose" refuses option 20 of 26.
    util::CommandLineReader reader(0, nullptr);
    util::OptionParser parser(&reader);
    util::IntOption taken("verbose", "0", "", 0);
    parser.addOption(&taken);

    Parameter P;
    std::ostringstream err;
    ParameterOptions const options = registerParameterOptions(P, parser, err);
    EXPECT_EQ(err.str(), "Parameter exception : An option named verbose already exists!\n");
    // The failed option itself was created; the six after it were not.
    EXPECT_EQ(options.size(), 20u);
    EXPECT_EQ(options.back()->getName(), "verbose");
    EXPECT_EQ(P.check_radius, 0);
    EXPECT_EQ(P.boxlen, 0);  // never bound: keeps the record's zero
    EXPECT_FALSE(P.mag);
}
