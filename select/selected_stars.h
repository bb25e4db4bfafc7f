// The stars taken in one subfield, one record each, from the subfield search
// through the profile measurement and the rejection to the output table.
// Rows are catalogue rows, 1-based; stars are kept in a vector, 0-based, in
// their current order. Positions in FITS pixels (first pixel = 1); distances
// and widths in pixels.
#pragma once

#include <limits>
#include <ostream>
#include <vector>

#include "select/fates.h"

namespace selection {

// nchi and the widths of a star whose fit failed or whose stamp is not wholly
// inside the image; a star that was not measured keeps 0.
inline constexpr float kFitFailed = -1.0f;

// StarRecord::fitStatus of a star that was not measured, and of one whose
// stamp is not wholly inside the image; a measured star holds the status of
// its fit (fit::kMoffatOk or a negative fit::kMoffat code).
inline constexpr int kFitNotMade = 1;
inline constexpr int kFitStampOff = 2;

// Levels of a star's fitting stamp, in image units; NaN where the stamp holds
// no usable pixel for them (select/stamp_levels.h).
struct StampLevels {
    static constexpr float kNone = std::numeric_limits<float>::quiet_NaN();
    float peak = kNone;             // highest usable pixel within the fitting disk
    float background = kNone;       // median of the usable pixels on the stamp's edge
    float backgroundError = kNone;  // median of their errors
    float usableErrors = 0;         // fraction of the stamp's errors that are finite and > 0
    int flatPixels = 0;  // usable pixels of the fitting disk at or above kFlatTopLevel x peak
};

struct StarRecord {
    int row = 0;            // the catalogue row the star was taken from
    int rank = 0;           // its isolation rank in the subfield, 1 = most isolated
    float x = 0, y = 0;     // that row's position
    float closestDist = 0;  // distance to the nearest qualifying neighbour
    float closestFlux = 0;  // that neighbour's flux
    // The profile fit; further results of the fit join here.
    float nchi = 0;   // normalised chi
    float fwhm = 0;   // mean FWHM: (xfwhm + yfwhm) / 2 in float
    float xfwhm = 0;  // FWHM along the axis nearest to x
    float yfwhm = 0;  // FWHM along the other axis
    int fitStatus = kFitNotMade;
    float amplitude = 0;  // peak of the profile, image units
    float angle = 0;      // of the first axis from x toward y, degrees, in [-45, 45]
    float beta = 0;       // Moffat index
    StampLevels stamp;    // of the stamp the star was fitted on
    // The stamp less itself rotated by 180 degrees about the fitted centre,
    // beyond the core, against the star's flux (select/star_cuts.h); NaN
    // without a successful fit.
    float asymmetry = std::numeric_limits<float>::quiet_NaN();
};

// A star that a rejection stage or a cut dropped, or that the subfield search
// refused after taking it, and the fate it was dropped with.
struct DroppedStar {
    StarRecord star;
    Fate fate;
};

struct SelectedStars {
    std::vector<StarRecord> stars;
    int taken = 0;  // how many stars the subfield search took, before any rejection
    std::vector<DroppedStar> dropped;  // by the cuts and rejection stages, in the order dropped
};

// The debug output (the "len = " lines and the dumps at the highest
// verbosity) shows a subfield's stars as twelve columns: id, RA, DEC, x, y,
// flux, closest_dist, closest_flux, flag, class, nchi, fwhm. Their lengths:
// the columns filled from the catalogue hold the count taken in the subfield
// search until the rows are completed; the measured ones (x, y, closest_dist,
// closest_flux, nchi, fwhm) hold the stars left after each rejection stage.
struct ColumnLengths {
    int id;
    int raDecFlux;  // RA, DEC and flux
    int flag;
    int classStar;
    int measured;
};

// The lengths during the measurement: every catalogue column at s.taken.
ColumnLengths measuredLengths(SelectedStars const& s);

// The lengths once the rows are completed from the catalogue: RA, DEC and
// flux, and id, flag and class where the catalogue has that column (hasId,
// hasFlag, hasClass), are filled anew for the stars left; a column the
// catalogue lacks keeps s.taken.
ColumnLengths completedLengths(SelectedStars const& s, bool hasId, bool hasFlag, bool hasClass);

// "len = " and the twelve lengths in the order above, separated by blanks,
// then a line end.
void writeLengths(std::ostream& os, ColumnLengths const& c);

}  // namespace selection
