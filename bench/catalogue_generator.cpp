#include "bench/catalogue_generator.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace catgen {

Catalogue generateCatalogue(CatalogueRecipe const& recipe) {
    std::mt19937_64 rng(recipe.seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::normal_distribution<double> gauss(0.0, 1.0);
    Catalogue c;
    int const n = std::max(recipe.rows, 0);
    c.id.reserve(static_cast<size_t>(n));
    c.x.reserve(static_cast<size_t>(n));
    c.y.reserve(static_cast<size_t>(n));
    c.flux.reserve(static_cast<size_t>(n));
    c.flag.reserve(static_cast<size_t>(n));
    c.stellarity.reserve(static_cast<size_t>(n));

    double cx = 0.0;
    double cy = 0.0;
    int leftInCluster = 0;
    for (int k = 0; k < n; ++k) {
        double x = 0.0;
        double y = 0.0;
        double const kind = unit(rng);
        if (k > 0 && kind < recipe.duplicateFraction) {
            size_t const m = static_cast<size_t>(unit(rng) * k) % static_cast<size_t>(k);
            x = c.x[m];
            y = c.y[m];
        } else if (kind < recipe.duplicateFraction + recipe.outsideFraction) {
            x = -50.0 + unit(rng) * (recipe.width + 100.0);
            y = unit(rng) < 0.5 ? -50.0 + 50.0 * unit(rng) : recipe.height + 1.0 + 50.0 * unit(rng);
        } else if (kind <
                   recipe.duplicateFraction + recipe.outsideFraction + recipe.clusteredFraction) {
            if (leftInCluster <= 0) {
                cx = 1.0 + unit(rng) * (recipe.width - 1.0);
                cy = 1.0 + unit(rng) * (recipe.height - 1.0);
                leftInCluster = 1 + static_cast<int>(2.0 * recipe.rowsPerCluster * unit(rng));
            }
            --leftInCluster;
            x = cx + recipe.clusterSigma * gauss(rng);
            y = cy + recipe.clusterSigma * gauss(rng);
        } else {
            x = 1.0 + unit(rng) * (recipe.width - 1.0);
            y = 1.0 + unit(rng) * (recipe.height - 1.0);
        }
        double const u = 1.0 - unit(rng);  // (0, 1]
        c.id.push_back(k + 1);
        c.x.push_back(static_cast<float>(x));
        c.y.push_back(static_cast<float>(y));
        c.flux.push_back(
            static_cast<float>(recipe.fluxMin * std::pow(u, -1.0 / recipe.countSlope)));
        c.flag.push_back(unit(rng) < 0.1 ? static_cast<int>(1 + 4 * unit(rng)) : 0);
        c.stellarity.push_back(static_cast<float>(unit(rng)));
    }
    for (int v = 0; v < recipe.variables && n > 0; ++v) {
        size_t const m = static_cast<size_t>(unit(rng) * n) % static_cast<size_t>(n);
        c.varX.push_back(c.x[m] + static_cast<float>(0.5 * gauss(rng)));
        c.varY.push_back(c.y[m] + static_cast<float>(0.5 * gauss(rng)));
    }
    return c;
}

void writeCatalogue(std::ostream& out, Catalogue const& catalogue) {
    // 9 significant digits read back as the same float.
    std::streamsize const precision = out.precision(9);
    out << "# id x y flux flag stellarity\n";
    for (size_t k = 0; k < catalogue.x.size(); ++k)
        out << catalogue.id[k] << ' ' << catalogue.x[k] << ' ' << catalogue.y[k] << ' '
            << catalogue.flux[k] << ' ' << catalogue.flag[k] << ' ' << catalogue.stellarity[k]
            << '\n';
    out.precision(precision);
}

}  // namespace catgen
