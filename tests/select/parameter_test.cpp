#include "select/parameter.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/util/test_args.h"
#include "util/option_parser.h"
#include "util/option_reader.h"

namespace {

using selection::Parameter;
using selection::ParameterOptions;
using selection::registerParameterOptions;

// Parses tokens (after the program name) into a fresh Parameter record.
Parameter parsed(std::vector<std::string> tokens) {
    testsupport::Args args(std::move(tokens));
    util::CommandLineReader reader(args.argc(), args.argv());
    util::OptionParser parser(&reader);
    Parameter P;
    std::ostringstream err;
    ParameterOptions const options = registerParameterOptions(P, parser, err);
    parser.parseOptions();
    EXPECT_EQ(err.str(), "");
    return P;
}

// Every field but the doubles, named, in declaration order.
std::string fields(Parameter const& P) {
    std::ostringstream s;
    s << "nfields=" << P.nfields[0] << "," << P.nfields[1] << " input=" << P.input
      << " output=" << P.output << " variables=" << P.variables << " image=" << P.image
      << " number=" << P.number << " border=" << P.border
      << " subfield_border=" << P.subfield_border << " id_column=" << P.id_column
      << " x_column=" << P.x_column << " flux_column=" << P.flux_column
      << " flag_column=" << P.flag_column << " flag_limit=" << P.flag_limit
      << " class_column=" << P.class_column << " check_radius=" << P.check_radius
      << " verbose=" << P.verbose << " nchi_reject=" << P.nchi_reject
      << " fwhm_reject=" << P.fwhm_reject << " boxlen=" << P.boxlen << " mag=" << P.mag
      << " fwhm_sort=" << P.fwhm_sort << " nchi_sort=" << P.nchi_sort << " report=" << P.report
      << " subsample=" << P.subsample << " threads=" << P.threads;
    return s.str();
}

// class_star, neighbour_thresh, min_thresh, max_thresh, fwhm_range, beta.
std::vector<double> doubles(Parameter const& P) {
    return {P.class_star,    P.neighbour_thresh, P.min_thresh, P.max_thresh,
            P.fwhm_range[0], P.fwhm_range[1],    P.beta};
}

}  // namespace

TEST(Parameter, EveryOptionReachesItsField) {
    // Each option gets a value distinct from its default and from the others;
    // the long name of the check radius with its blank is one token.
    std::vector<std::string> tokens = {"--check radius", "14"};
    std::istringstream in(
        "--nfields 3,4 -i cat.txt -o out.tbl --variables var.txt --image img.fits -c 0.5 "
        "--neighbour_thresh 0.25 --min_thresh 0.125 --max_thresh 0.875 -n 5 -b 6 "
        "--subfield_border 7 --id_column 8 -x -9 --flux_column 10 --flag_column 11 "
        "--flag_limit 12 --class_column 13 -v 15 --nchi_reject 16 --fwhm_reject 17 --boxlen 18 "
        "-m --fwhm_sort --nchi_sort --report rep.ecsv --fwhm_range 0.375,3.5 --beta 4.5 "
        "--subsample 19 --threads 20 a.fits");
    for (std::string t; in >> t;) tokens.push_back(t);
    Parameter const P = parsed(tokens);
    EXPECT_EQ(fields(P),
              "nfields=3,4 input=cat.txt output=out.tbl variables=var.txt image=img.fits number=5 "
              "border=6 subfield_border=7 id_column=8 x_column=-9 flux_column=10 flag_column=11 "
              "flag_limit=12 class_column=13 check_radius=14 verbose=15 nchi_reject=16 "
              "fwhm_reject=17 boxlen=18 mag=1 fwhm_sort=1 nchi_sort=1 report=rep.ecsv "
              "subsample=19 threads=20");
    EXPECT_EQ(doubles(P), (std::vector<double>{0.5, 0.25, 0.125, 0.875, 0.375, 3.5, 4.5}));
    EXPECT_EQ(parsed({"-r", "3"}).check_radius, 3);
    EXPECT_EQ(parsed({"--check_radius", "4"}).check_radius, 4);
}
