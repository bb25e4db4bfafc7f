// The report of a selecting run (--report FILE): an ECSV 1.0 table with one
// row per catalogue row, its fate and, for a measured star, its fit; the
// header's meta holds the run: version, command line, input files, every
// option value, the flux limits, the limits of the field-wide clips and the
// funnel per subfield and in total.
// Rows are 1-based; positions in FITS pixels, RA and DEC in degrees, widths
// in pixels, angles in degrees, levels in image units.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "select/catalogue.h"
#include "select/field_clips.h"
#include "select/flux_limits.h"
#include "select/parameter.h"
#include "select/run_record.h"
#include "select/screening.h"
#include "select/subfield_grid.h"

namespace selection {

// One option as the report records it: its name, and its value in YAML.
struct OptionValue {
    std::string name;
    std::string yaml;
};

// How the run was started: the command line and every registered option.
struct RunContext {
    std::vector<std::string> commandLine;
    std::vector<OptionValue> options;
};

// The context of argv and the options bound to the run parameters, in their
// registration order: integers and flags as YAML numbers and booleans,
// doubles in their shortest exact decimal form, texts quoted, the nfields
// pair as a sequence.
RunContext runContext(int argc, char const* const* argv, ParameterOptions const& options);

// A YAML double-quoted scalar of text: '"' and '\' escaped, control
// characters, DEL and bytes that are not UTF-8 as \xNN.
std::string yamlQuoted(std::string const& text);

// The files the run reads.
struct RunFiles {
    std::string catalogue, variables, image, errorImage;
    std::vector<std::string> arguments;
};

// The columns of the report, in their order: name, ECSV datatype, unit
// (empty: none) and description.
struct ReportColumn {
    char const* name;
    char const* datatype;
    char const* unit;
    char const* description;
};
extern std::vector<ReportColumn> const kReportColumns;

// The token of a null entry in the data section (astropy reads it as masked).
inline constexpr char kReportNull[] = "\"\"";

class RunReport {
  public:
    // Collects the funnel of subfield (i, j) with its search box, in run order.
    void addSubfield(int i, int j, PixelBox const& box, FateCounts const& funnel);
    // The field-wide clips of the run, for the header's meta.
    void setClips(FieldClips const& clips) { clips_ = clips; }

    // Writes the whole report to os: header, then one row per catalogue row.
    // record must keep per-row fates (RunRecord::perRow).
    void write(std::ostream& os, Parameter const& P, RunContext const& context,
               RunFiles const& files, FluxLimits const& limits, Catalogue const& cat,
               CandidateScreen const& screen, SubfieldGrid const& grid,
               RunRecord const& record) const;

  private:
    struct Subfield {
        int i, j;
        PixelBox box;
        FateCounts funnel;
    };
    std::vector<Subfield> subfields_;
    std::optional<FieldClips> clips_;
};

}  // namespace selection
