// Flux limits of the selection: which catalogue rows take part, the sorted
// flux list and the three limits taken from it as quantiles.
// Arrays: sci::MArray<float,1> catalogue columns, row k at index base + k - 1;
// sorted lists and indices into them are 1-based where stated. Fluxes in the
// catalogue's own units.
#pragma once

#include <ostream>
#include <vector>

#include "sci/marray.h"

namespace selection {

// A catalogue row takes part in the selection (as candidate, as neighbour, in
// the flux quantiles and in the catalogue extent) only when its position and
// flux are finite numbers.
bool takesPart(float x, float y, float flux);

// The number of rows of a catalogue: the length of its x column.
int catalogueRows(sci::MArray<float, 1> const& x);

// Whether row (1-based) of the catalogue takes part: it exists in all three
// columns and takesPart holds.
bool rowTakesPart(sci::MArray<float, 1> const& x, sci::MArray<float, 1> const& y,
                  sci::MArray<float, 1> const& flux, int row);

// The fluxes of the rows that take part, sorted ascending, element for
// element as the exchange sort of them in row order leaves them. (Any sort
// gives the same values except for the sign of zeros: -0 and +0 compare equal,
// and which of them lands where is settled by the exchange-sort order of the
// zero group.)
std::vector<float> sortedParticipatingFlux(sci::MArray<float, 1> const& x,
                                           sci::MArray<float, 1> const& y,
                                           sci::MArray<float, 1> const& flux);

// The three limits. Indices are 1-based into the sorted list, 0 (and the
// fluxes 0) when the list is empty.
struct FluxLimits {
    int neighbourIndex;
    int lowerIndex;
    int upperIndex;
    float neighbour;  // faintest flux that counts as a neighbour
    float lower;      // faintest candidate flux
    float upper;      // brightest candidate flux
};

// With N = sortedFlux.size() and every product in double, truncated toward 0:
//     neighbour index = trunc(neighbourThresh * N + 0.5)
//     lower index     = trunc(minThresh * N - 0.5)
//     upper index     = trunc(N * maxThresh - 0.5)
// each raised to 1 and lowered to N (a NaN threshold gives index 1), so no
// threshold reads outside the list. sortedFlux ascending.
FluxLimits computeFluxLimits(std::vector<float> const& sortedFlux, double minThresh,
                             double maxThresh, double neighbourThresh);

// The verbose report of the limits: two lines and an empty one.
void writeFluxLimits(std::ostream& out, FluxLimits const& limits);

}  // namespace selection
