// Star stamps and the Moffat fit as a psfpick run calls it, for the tests of
// the fit and of the tools that render stars: stamps indexed -boxlen..boxlen
// in both dimensions (first index along x), a MoffatStar sampled at pixel
// centres (stamp coordinates), optionally with Gaussian noise. Widths in
// pixels, angles in radian.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "fit/moffat.h"
#include "sci/marray.h"
#include "tests/support/moffat_star.h"
#include "tests/support/synthetic_field.h"

namespace testsupport {

using Stamp = sci::MArray<float, 2>;

// The beta that a run holds by default (--beta).
constexpr float kRunBeta = 2.9f;

inline Stamp constantStamp(int boxlen, float value) {
    Stamp s(sci::Range(-boxlen, boxlen), sci::Range(-boxlen, boxlen));
    s = value;
    return s;
}

// The stamp of star, plus sigma times noise where noise is given.
inline Stamp makeStamp(MoffatStar const& star, int boxlen, double sigma = 0.0,
                       GaussianNoise* noise = nullptr) {
    Stamp s = constantStamp(boxlen, 0.0f);
    for (int j = -boxlen; j <= boxlen; ++j)
        for (int i = -boxlen; i <= boxlen; ++i)
            s(i, j) = static_cast<float>(star.value(i, j) + (noise ? sigma * noise->next() : 0.0));
    return s;
}

// All arguments of one fmoffat call, preset as a run with the default options
// sets them (background and slopes held at 0, beta held at 2.9, widths in
// [1, 20], model at pixel centres); the outputs preset to -1 to show whether
// they were written.
struct MoffatCall {
    float surface = 0.0f, ax = 0.0f, ay = 0.0f;
    float betaMin = kRunBeta, betaMax = kRunBeta;
    float fwhmMin = 1.0f, fwhmMax = 20.0f;
    float xcen = 0.0f, ycen = 0.0f;
    float amplitude = -1.0f, xscale = -1.0f, yscale = -1.0f, angle = -1.0f, beta = -1.0f;
    float nchi = -1.0f;
    int verbose = 0;
    int subsample = 1;
    int status = 1;  // of the last run

    // Runs fmoffat with the fitter that make makes; returns the lines it wrote.
    std::vector<std::string> run(Stamp const& image, Stamp const& error,
                                 fit::MoffatFitterMaker make = fit::makeClassMoffatFit) {
        std::ostringstream out;
        status = fit::fmoffat(image, error, surface, ax, ay, betaMin, betaMax, fwhmMin, fwhmMax,
                              xcen, ycen, amplitude, xscale, yscale, angle, beta, nchi, verbose,
                              out, make, subsample);
        std::istringstream text(out.str());
        std::vector<std::string> lines;
        for (std::string line; std::getline(text, line);) lines.push_back(line);
        return lines;
    }
    // The widths at half maximum of the two axes, and their mean as a run
    // derives and stores it (in float).
    double fwhm1() const { return fit::moffatFwhm(beta, xscale); }
    double fwhm2() const { return fit::moffatFwhm(beta, yscale); }
    double meanFwhm() const {
        return (static_cast<float>(fwhm1()) + static_cast<float>(fwhm2())) * 0.5;
    }
};

}  // namespace testsupport
