#include "select/report.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/util/test_args.h"
#include "util/option_parser.h"
#include "util/option_reader.h"

namespace {

// YAML double-quoted scalars: quotes and backslashes escaped, control
// characters, DEL and bytes that are no UTF-8 as \xNN, UTF-8 kept.
TEST(Report, YamlQuotedEscapesWhatIsNotPrintableUtf8) {
    std::pair<std::string, std::string> const cases[] = {
        {"", "\"\""},
        {"a b", "\"a b\""},
        {"say \"x\" \\ y", "\"say \\\"x\\\" \\\\ y\""},
        {"tab\there\x7f", "\"tab\\x09here\\x7F\""},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8c\x8c",
         "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8c\x8c\""},
        // A lone continuation byte, a cut sequence, an overlong form, a surrogate.
        {"\x80 \xc3 \xc0\xaf \xed\xa0\x80", "\"\\x80 \\xC3 \\xC0\\xAF \\xED\\xA0\\x80\""},
    };
    for (auto const& [text, yaml] : cases) EXPECT_EQ(selection::yamlQuoted(text), yaml) << text;
}

// The run context lists every option in registration order with its value
// as YAML: numbers, booleans, the nfields pair, doubles exactly, quoted texts.
TEST(Report, RunContextHoldsTheCommandLineAndEveryOptionValue) {
    testsupport::Args args({"-i", "my cat.txt", "--nfields", "3,2", "-c", "0.1", "-m", "a.fits"});
    util::CommandLineReader reader(args.argc(), args.argv());
    util::OptionParser parser(&reader);
    selection::Parameter P;
    std::ostringstream err;
    selection::ParameterOptions const options = registerParameterOptions(P, parser, err);
    parser.parseOptions();
    selection::RunContext const c = selection::runContext(args.argc(), args.argv(), options);
    EXPECT_EQ(c.commandLine, std::vector<std::string>(args.argv(), args.argv() + args.argc()));
    std::string values;
    for (selection::OptionValue const& o : c.options) values += o.name + "=" + o.yaml + " ";
    EXPECT_EQ(values,
              "nfields=[3,2] input=\"my cat.txt\" output=\"selected.tbl\" variables=\"\" "
              "image=\"\" class_star=0.1 neighbour_thresh=0 min_thresh=0.9 max_thresh=0.99 "
              "number=1 border=0 subfield_border=0 id_column=1 x_column=2 flux_column=6 "
              "flag_column=0 flag_limit=0 class_column=0 check radius=0 verbose=0 nchi_reject=0 "
              "fwhm_reject=0 boxlen=12 mag=true fwhm_sort=false nchi_sort=false report=\"\" "
              "max_peak=0 max_ellipticity=0 fwhm_clip=0 nchi_clip=0 max_asymmetry=0 "
              "refill=false "
              "fwhm_range=[1,20] beta=2.9 subsample=1 threads=0 ");
}

}  // namespace
