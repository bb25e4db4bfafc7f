// The run parameters of psfpick: one field per command-line option, and the
// registration of the options bound to those fields. Columns are numbered
// from 1; widths, borders and radii are in pixels.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "util/option.h"
#include "util/option_parser.h"

namespace selection {

// Every field starts at zero (texts empty); constructing the options writes
// their defaults into the fields, and parsing writes the given values.
struct Parameter {
    int nfields[2] = {0, 0};      // subfields in x and in y
    std::string input;            // catalogue table path
    std::string output;           // output table path
    std::string variables;        // table of variable objects; empty = none
    std::string image;            // FITS image; empty = first file argument
    double neighbour_thresh = 0;  // flux quantile of the faintest neighbour
    double min_thresh = 0;        // lower flux quantile of candidates
    double max_thresh = 0;        // upper flux quantile of candidates
    double class_star = 0;        // minimum stellarity
    int number = 0;               // stars per subfield; 0 = pass-through
    int border = 0;               // pixels trimmed from each field edge
    int subfield_border = 0;      // pixels trimmed from each subfield edge
    int id_column = 0;            // id column; 0 = row number, < 0 = none
    int x_column = 0;             // x column (y next); < 0: RA in column -x_column, DEC next
    int flux_column = 0;          // flux (or magnitude) column
    int flag_column = 0;          // flag column; 0 = none
    int flag_limit = 0;           // largest accepted flag
    int class_column = 0;         // stellarity column; 0 = none
    int check_radius = 0;         // bad-pixel check radius; 0 = no check
    int verbose = 0;              // verbosity level
    int nchi_reject = 0;          // stars per subfield dropped for high nchi
    int fwhm_reject = 0;          // stars per subfield dropped for their FWHM
    int boxlen = 0;               // half side of the fitting stamp
    bool mag = false;             // the flux column holds magnitudes
    bool fwhm_sort = false;       // order each subfield's rows by FWHM
    bool nchi_sort = false;       // order each subfield's rows by nchi
    std::string report;           // ECSV report of every catalogue row; empty = none
    // The cuts on measured stars, each 0 = off (select/star_cuts.h).
    double max_peak = 0;         // refuse a usable pixel >= this in the fitting disk, image units
    double max_ellipticity = 0;  // refuse 1 - minor/major FWHM above this
    double fwhm_clip = 0;        // refuse FWHM beyond this many robust sigmas of the median
    double nchi_clip = 0;        // refuse nchi beyond this many robust sigmas above the median
    double max_asymmetry = 0;    // refuse asymmetry beyond the core above this
    bool refill = false;         // replace a refused candidate by the next of its subfield

    // The fitted model.
    double fwhm_range[2] = {0, 0};  // accepted FWHM, lowest and highest, pixels
    double beta = 0;                // Moffat beta; 0 = fitted
    int subsample = 0;              // sampled at subsample x subsample points per pixel

    int threads = 0;  // threads that measure stars at once; 0 = every core
};

// The cuts on measured stars (select/star_cuts.h, select/field_clips.h):
// double options registered after --report in this order, each 0 = off and
// refused below 0 (select/entry.h).
struct CutOption {
    char const* name;
    char const* usage;
    double Parameter::*field;
};
inline constexpr CutOption kCutOptions[] = {
    {"max_peak", "refuse stars peaking at or above this, or flat-topped (0: off)",
     &Parameter::max_peak},
    {"max_ellipticity", "refuse fits with 1 - minor/major above this (0: off)",
     &Parameter::max_ellipticity},
    {"fwhm_clip", "refuse FWHM beyond this many robust sigmas (0: off)", &Parameter::fwhm_clip},
    {"nchi_clip", "refuse nchi this many robust sigmas above the median (0: off)",
     &Parameter::nchi_clip},
    {"max_asymmetry", "refuse stars more asymmetric than this (0: off)", &Parameter::max_asymmetry},
};

// The option objects bound to a Parameter record, in registration order. The
// parser only keeps raw pointers to them, so this list must live as long as
// the parser is used.
using ParameterOptions = std::vector<std::unique_ptr<util::Option>>;

// Long names of the options that the entry looks up, and the second long name
// of the check radius, which can be typed without quotes.
constexpr char kClassStarName[] = "class_star";
constexpr char kFlagLimitName[] = "flag_limit";
constexpr char kCheckRadiusName[] = "check radius";
constexpr char kCheckRadiusAlias[] = "check_radius";

// Creates the options in their fixed order (the 26 of the selection, then
// --report, the cuts of kCutOptions, --refill, the model's --fwhm_range,
// --beta and --subsample, and --threads), each bound to its field of P (which thereby
// receives its default), and registers them on parser, with
// kCheckRadiusAlias as another name of the check radius. A util::UException
// on the way is reported on err as "Parameter exception : <what>" and ends
// the registration: the options after the failing one are not created.
ParameterOptions registerParameterOptions(Parameter& P, util::OptionParser& parser,
                                          std::ostream& err);

// The option of that long name among options; nullptr when it was not created.
util::Option const* findOption(ParameterOptions const& options, std::string const& name);

// An option as messages name it: "--" and its long name ("--number"); the
// check radius by its name without a blank ("--check_radius").
std::string optionLabel(util::Option const& opt);

}  // namespace selection
