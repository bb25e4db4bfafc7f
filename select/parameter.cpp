#include "select/parameter.h"

#include "util/exception.h"

namespace selection {

namespace {

// No short form.
constexpr char kNoChar = 0;
// Capacity of the nfields option: one count in x, one in y; of fwhm_range:
// the lowest and the highest width.
constexpr int kNfieldsCount = 2;
constexpr int kFwhmRangeCount = 2;

}  // namespace

ParameterOptions registerParameterOptions(Parameter& P, util::OptionParser& parser,
                                          std::ostream& err) {
    using namespace util;
    ParameterOptions options;
    // Each option is owned by the list before it is registered, so a failed
    // registration loses nothing.
    auto add = [&](Option* opt) {
        options.push_back(std::unique_ptr<Option>(opt));
        parser.addOption(opt);
    };
    try {
        add(new IntArrayOption("nfields", "1,1", "number of subfields in x and y", kNoChar,
                               kNfieldsCount, P.nfields));
        add(new StringOption("input", "", "input table", 'i', &P.input));
        add(new StringOption("output", "selected.tbl", "output table", 'o', &P.output));
        add(new StringOption("variables", "", "variables table", kNoChar, &P.variables));
        add(new StringOption("image", "", "image", kNoChar, &P.image));
        add(new DoubleOption(kClassStarName, "0.90", "minimum class star value", 'c',
                             &P.class_star));
        add(new DoubleOption("neighbour_thresh", "0.00", "neighbour threshold", kNoChar,
                             &P.neighbour_thresh));
        add(new DoubleOption("min_thresh", "0.90", "minimum threshold", kNoChar, &P.min_thresh));
        add(new DoubleOption("max_thresh", "0.99", "maximum threshold", kNoChar, &P.max_thresh));
        add(new IntOption("number", "1", "number of stars to select", 'n', &P.number));
        add(new IntOption("border", "0", "border size", 'b', &P.border));
        add(new IntOption("subfield_border", "0", "subfield border size", kNoChar,
                          &P.subfield_border));
        add(new IntOption("id_column", "1", "column number with id", kNoChar, &P.id_column));
        add(new IntOption("x_column", "2", "column number with x-position", 'x', &P.x_column));
        add(new IntOption("flux_column", "6", "column number with fluxes", kNoChar,
                          &P.flux_column));
        add(new IntOption("flag_column", "0", "column number with flags", kNoChar, &P.flag_column));
        add(new IntOption(kFlagLimitName, "0", "maximum flag value", kNoChar, &P.flag_limit));
        add(new IntOption("class_column", "0", "column number class_star", kNoChar,
                          &P.class_column));
        add(new IntOption(kCheckRadiusName, "0", "bad pixel check radius", 'r', &P.check_radius));
        parser.addAlias(kCheckRadiusAlias, options.back().get());
        add(new IntOption("verbose", "0", "verbosity level", 'v', &P.verbose));
        add(new IntOption("nchi_reject", "0", "reject stars with of high nchi", kNoChar,
                          &P.nchi_reject));
        add(new IntOption("fwhm_reject", "0", "reject stars with eliptical fwhm", kNoChar,
                          &P.fwhm_reject));
        add(new IntOption("boxlen", "12", "box length", kNoChar, &P.boxlen));
        add(new BoolOption("mag", "false", "mag", 'm', &P.mag));
        add(new BoolOption("fwhm_sort", "false", "sort according to FWHM", kNoChar, &P.fwhm_sort));
        add(new BoolOption("nchi_sort", "false", "sort according to nchi", kNoChar, &P.nchi_sort));
        add(new StringOption("report", "", "ECSV report of every catalogue row (empty: none)",
                             kNoChar, &P.report));
        for (CutOption const& c : kCutOptions)
            add(new DoubleOption(c.name, "0", c.usage, kNoChar, &(P.*c.field)));
        add(new BoolOption("refill", "false",
                           "replace refused candidates by the next of the subfield", kNoChar,
                           &P.refill));
        add(new DoubleArrayOption("fwhm_range", "1,20",
                                  "accepted FWHM of the fits, lowest and highest, pixels", kNoChar,
                                  kFwhmRangeCount, P.fwhm_range));
        add(new DoubleOption("beta", "2.9", "Moffat beta of the fits; 0 = fitted", kNoChar,
                             &P.beta));
        add(new IntOption("subsample", "1", "fitted model averaged over N x N points per pixel",
                          kNoChar, &P.subsample));
        add(new IntOption("threads", "0", "threads that measure stars at once (0: every core)",
                          kNoChar, &P.threads));
    } catch (UException const& e) {
        err << "Parameter exception : " << e.what() << std::endl;
    }
    return options;
}

util::Option const* findOption(ParameterOptions const& options, std::string const& name) {
    for (auto const& opt : options)
        if (opt->getName() == name) return opt.get();
    return nullptr;
}

std::string optionLabel(util::Option const& opt) {
    return "--" + (opt.getName() == kCheckRadiusName ? kCheckRadiusAlias : opt.getName());
}

}  // namespace selection
