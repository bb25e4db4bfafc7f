// Synthetic star stamps for the Moffat fit tests: an elliptical Moffat
// profile of known shape sampled at pixel centres, optionally with Gaussian
// noise of known sigma; and fmoffat called with the star-selection driver's
// settings. Stamps are indexed -boxlen..boxlen in both dimensions (first index
// along x); widths in pixels, angles in radian.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "fit/moffat.h"
#include "sci/marray.h"

namespace fittest {

using Stamp = sci::MArray<float, 2>;

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegToRad = kPi / 180.0;
constexpr float kDriverBeta = 2.9f;

// The profile: widths at half maximum fwhm1 along the axis at `angle` (from x
// toward y) and fwhm2 across it, centre (cx, cy) in stamp coordinates, plus
// the plane background + slopeX x + slopeY y.
struct MoffatTruth {
    double amplitude = 1000.0, fwhm1 = 3.0, fwhm2 = 3.0, angle = 0.0, beta = 2.9;
    double cx = 0.0, cy = 0.0, background = 0.0, slopeX = 0.0, slopeY = 0.0;

    // Inverse width for a width at half maximum: sqrt(2^(1/beta) - 1) * 2 / fwhm.
    double scale(double fwhm) const {
        return 2.0 * std::sqrt(std::pow(2.0, 1.0 / beta) - 1.0) / fwhm;
    }

    double value(double x, double y) const {
        double const dx = x - cx, dy = y - cy;
        double const u = scale(fwhm1) * (dx * std::cos(angle) + dy * std::sin(angle));
        double const v = scale(fwhm2) * (dy * std::cos(angle) - dx * std::sin(angle));
        return background + slopeX * x + slopeY * y +
               amplitude * std::pow(1.0 + u * u + v * v, -beta);
    }
};

// Standard normal deviates from a seeded mt19937 by the Box-Muller transform,
// so that the same seed gives the same noise with every standard library.
class GaussianNoise {
  public:
    explicit GaussianNoise(std::uint32_t seed) : engine_(seed) {}

    double next() {
        haveSpare_ = !haveSpare_;
        if (!haveSpare_) return spare_;
        double const r = std::sqrt(-2.0 * std::log(uniform())), phi = 2.0 * kPi * uniform();
        spare_ = r * std::sin(phi);
        return r * std::cos(phi);
    }

    // Uniform in (0, 1): never 0, so the logarithm above is finite.
    double uniform() { return (static_cast<double>(engine_()) + 0.5) / 4294967296.0; }

  private:
    std::mt19937 engine_;
    bool haveSpare_ = false;
    double spare_ = 0.0;
};

// A stamp of one value everywhere.
inline Stamp constantStamp(int boxlen, float value) {
    Stamp s(sci::Range(-boxlen, boxlen), sci::Range(-boxlen, boxlen));
    s = value;
    return s;
}

// The stamp of truth, with noise of standard deviation sigma when noise is given.
inline Stamp makeStamp(MoffatTruth const& truth, int boxlen, double sigma = 0.0,
                       GaussianNoise* noise = nullptr) {
    Stamp s = constantStamp(boxlen, 0.0f);
    for (int j = -boxlen; j <= boxlen; ++j)
        for (int i = -boxlen; i <= boxlen; ++i)
            s(i, j) = static_cast<float>(truth.value(i, j) + (noise ? sigma * noise->next() : 0.0));
    return s;
}

// All arguments of one fmoffat call, preset as the star-selection driver does
// (background and slopes held at 0, beta held at 2.9, widths in [1, 20]); the
// outputs preset to -1 to show whether they were written.
struct Call {
    float surface = 0.0f, ax = 0.0f, ay = 0.0f;
    float betaMin = kDriverBeta, betaMax = kDriverBeta;
    float fwhmMin = 1.0f, fwhmMax = 20.0f;
    float xcen = 0.0f, ycen = 0.0f;
    float amplitude = -1.0f, xscale = -1.0f, yscale = -1.0f, angle = -1.0f, beta = -1.0f;
    float nchi = -1.0f;
    int verbose = 0;
    int status = 1;  // of the last run

    // Runs fmoffat; returns the lines it wrote on standard output.
    std::vector<std::string> run(Stamp const& image, Stamp const& error) {
        testing::internal::CaptureStdout();
        status = fit::fmoffat(image, error, surface, ax, ay, betaMin, betaMax, fwhmMin, fwhmMax,
                              xcen, ycen, amplitude, xscale, yscale, angle, beta, nchi, verbose);
        std::istringstream out(testing::internal::GetCapturedStdout());
        std::vector<std::string> lines;
        for (std::string line; std::getline(out, line);) lines.push_back(line);
        return lines;
    }
    // The mean of the two widths as the driver derives and stores them (float).
    double meanFwhm() const {
        return (static_cast<float>(fit::moffatFwhm(beta, xscale)) +
                static_cast<float>(fit::moffatFwhm(beta, yscale))) *
               0.5;
    }
};

}  // namespace fittest
