// Synthetic source catalogues for the benchmarks: uniform and clustered
// positions, power-law fluxes, exact duplicates, flags and stellarity, and a
// few variable objects. Rows 0-based in the vectors; positions in pixels
// (first pixel = 1), fluxes in arbitrary counts.
#pragma once

#include <ostream>
#include <vector>

namespace catgen {

struct CatalogueRecipe {
    int rows = 10000;
    int width = 4096;  // field size in pixels
    int height = 4096;
    double clusteredFraction = 0.3;   // rows placed in Gaussian clusters
    double clusterSigma = 6.0;        // cluster radius (pixels, 1 sigma)
    int rowsPerCluster = 50;          // mean cluster size
    double duplicateFraction = 0.01;  // rows repeating an earlier row's position
    double outsideFraction = 0.01;    // rows up to 50 pixels beyond the field
    double fluxMin = 100.0;           // faintest flux
    double countSlope = 1.5;          // N(>F) ~ F^-countSlope
    int variables = 20;               // variable objects near catalogue rows
    unsigned seed = 1;
};

struct Catalogue {
    std::vector<int> id;
    std::vector<float> x, y, flux;
    std::vector<int> flag;
    std::vector<float> stellarity;  // 0..1
    std::vector<float> varX, varY;
};

// Flux by inverse transform of the cumulative counts:
//     F = fluxMin * u^(-1/countSlope),  u uniform in (0, 1].
Catalogue generateCatalogue(CatalogueRecipe const& recipe);

// Writes the catalogue as a whitespace-separated table with a "#" header
// line: id x y flux flag stellarity (columns 1..6), floats with 9
// significant digits so that they read back unchanged.
void writeCatalogue(std::ostream& out, Catalogue const& catalogue);

}  // namespace catgen
