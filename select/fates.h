// The fates of catalogue rows: the first test, in the order the run makes
// them, that stopped a row on its way to the output table, and the stages of
// the funnel, each counting the rows that survive one fate. One table holds
// the whole vocabulary; a new test of the run adds one line to it.
#pragma once

#include <cstdint>

namespace selection {

// In the run's own order: every fate lies beyond the ones before it.
enum class Fate : uint8_t {
    kNotANumber,    // position or flux not a finite number
    kOutsideField,  // in no subfield's search box
    kFluxBand,      // flux outside the band of --min_thresh/--max_thresh
    kFlags,         // flag above --flag_limit
    kNearVariable,  // within one pixel of a variable object
    kNotIsolated,   // no neighbour with a flux above 0
    kNotVisited,    // a candidate that the subfield search never reached
    kNotStellar,    // class_star below -c
    kBadPixel,      // a bad (0) pixel near the centre in a file argument
    kNoImage,       // taken, but the run has no image to measure it on
    kStampOff,      // the fitting stamp is not wholly inside the image
    kFitFailed,     // the profile fit failed (its status says how)
    kDroppedNchi,   // dropped by --nchi_reject
    kDroppedFwhm,   // dropped by --fwhm_reject
    kSelected,      // a row of the output table
};

constexpr int kFateCount = static_cast<int>(Fate::kSelected) + 1;

// How the run names a fate and the stage of the funnel that survives it.
struct FateWords {
    char const* fate;      // the report's fate column
    char const* stage;     // the summary's funnel: the rows that survive it
    char const* stageKey;  // the report's funnel: the key of that stage
};

// Indexed by Fate. The stage of kSelected is the last one, "written": the rows
// of the output table, a star taken in two subfields counting twice.
inline constexpr FateWords kFateWords[kFateCount] = {
    {"not a number", "taking part", "taking_part"},
    {"outside the field", "in the field", "in_field"},
    {"flux band", "in the flux band", "in_flux_band"},
    {"flags", "passing flags", "passing_flags"},
    {"near a variable object", "clear of variable objects", "clear_of_variables"},
    {"not isolated", "candidates", "candidates"},
    {"not visited", "visited", "visited"},
    {"not stellar", "stellar", "stellar"},
    {"bad pixel", "clear of bad pixels", "clear_of_bad_pixels"},
    {"no image", "with an image", "with_image"},
    {"stamp off the image", "stamp inside the image", "stamp_inside_image"},
    {"fit failed", "fitted", "fitted"},
    {"dropped by nchi", "kept after --nchi_reject", "kept_after_nchi_reject"},
    {"dropped by FWHM", "kept after --fwhm_reject", "kept_after_fwhm_reject"},
    {"selected", "written", "written"},
};

constexpr FateWords const& fateWords(Fate f) {
    return kFateWords[static_cast<int>(f)];
}

constexpr int fateIndex(Fate f) {
    return static_cast<int>(f);
}

// The first stage of the funnel, before any test: every row of the catalogue.
inline constexpr char kRowsReadStage[] = "rows read";
inline constexpr char kRowsReadKey[] = "rows_read";

}  // namespace selection
