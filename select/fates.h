// The fates of catalogue rows: the first test, in the order the run makes
// them, that stopped a row on its way to the output table, and the stages of
// the funnel, each counting the rows that survive one fate. One table holds
// the whole vocabulary; a new test of the run adds one line to it.
#pragma once

#include <cstdint>

#include "select/parameter.h"

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
    kSaturated,     // a pixel at or above --max_peak in the fitting disk
    kFlatTop,       // a flat top (with --max_peak)
    kElongated,     // 1 - minor/major FWHM above --max_ellipticity
    kAsymmetric,    // asymmetry beyond the core above --max_asymmetry
    kDroppedNchi,   // dropped by --nchi_reject
    kDroppedFwhm,   // dropped by --fwhm_reject
    kClippedFwhm,   // FWHM beyond --fwhm_clip robust sigmas of the image's median
    kClippedNchi,   // nchi beyond --nchi_clip robust sigmas above the image's median
    kSelected,      // a row of the output table
};

constexpr int kFateCount = static_cast<int>(Fate::kSelected) + 1;

// How the run names a fate and the stage of the funnel that survives it.
// A fate of an optional cut names its option; its stage is counted only in
// runs that give that option a value above 0.
struct FateWords {
    char const* fate;                    // the report's fate column
    char const* stage;                   // the summary's funnel: the rows that survive it
    char const* stageKey;                // the report's funnel: the key of that stage
    char const* option = nullptr;        // the cut's option ("--max_peak"); none: always
    double Parameter::*value = nullptr;  // its field
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
    {"saturated", "below --max_peak", "below_max_peak", "--max_peak", &Parameter::max_peak},
    {"flat top", "not flat-topped", "not_flat_topped", "--max_peak", &Parameter::max_peak},
    {"elongated", "within --max_ellipticity", "within_max_ellipticity", "--max_ellipticity",
     &Parameter::max_ellipticity},
    {"asymmetric", "within --max_asymmetry", "within_max_asymmetry", "--max_asymmetry",
     &Parameter::max_asymmetry},
    {"dropped by nchi", "kept after --nchi_reject", "kept_after_nchi_reject"},
    {"dropped by FWHM", "kept after --fwhm_reject", "kept_after_fwhm_reject"},
    {"clipped by FWHM", "kept after --fwhm_clip", "kept_after_fwhm_clip", "--fwhm_clip",
     &Parameter::fwhm_clip},
    {"clipped by nchi", "kept after --nchi_clip", "kept_after_nchi_clip", "--nchi_clip",
     &Parameter::nchi_clip},
    {"selected", "written", "written"},
};

constexpr FateWords const& fateWords(Fate f) {
    return kFateWords[static_cast<int>(f)];
}

constexpr int fateIndex(Fate f) {
    return static_cast<int>(f);
}

// Whether the run's funnels count the stage of fate f: always, or for the
// fate of an optional cut when P gives its option a value above 0.
inline bool stageCounted(Fate f, Parameter const& P) {
    FateWords const& w = fateWords(f);
    return w.value == nullptr || P.*w.value > 0;
}

// The first stage of the funnel, before any test: every row of the catalogue.
inline constexpr char kRowsReadStage[] = "rows read";
inline constexpr char kRowsReadKey[] = "rows_read";

}  // namespace selection
