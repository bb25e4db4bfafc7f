// Benchmark of the Moffat fit: fits per second of CPU time on one thread, on
// two sets of stamps (boxlen 12, 25 x 25 pixels), each fitted as the star
// selection fits them (background and slopes held at 0, beta held at 2.9,
// widths in [1, 20] pixels), with the model at pixel centres (--subsample 1),
// sampled at 3 x 3 and 5 x 5 points of each pixel, and at 5 x 5 points with
// beta fitted as --beta 0 fits it (--subsample 5 --beta 0):
//   demo  the demo image data/m51 around every catalogue star whose flux lies
//         in the demo's band (the 0.5 and 0.99 quantiles of the catalogue
//         fluxes) and whose stamp lies inside the image;
//   mock  crowded mock stamps rendered here: one elliptical Moffat star with 2
//         to 10 neighbours, sky and read noise, the error stamp from the same
//         noise model.
// Each set is fitted by the library and by the plain fitter of
// tests/fit/literal_moffat.h (the evaluation as it was first written: every
// derivative at every point, the sums walking the mask); at pixel centres the
// digests (FNV-1a over status, nchi and every fitted value, as bits) must
// agree, and tell whether two builds fit identically; sub-sampled, the two
// evaluations round differently, and the largest relative difference of the
// mean FWHM over the fits both accept is shown (the plain fitter then fits
// only the first 30 stamps of each set).
//
//     fit_bench [--seconds S] [--data DIR]
//
// --seconds: CPU time spent per set and fitter (default 2); --data: the demo
// data directory (default the source tree's data/m51). Exit status 1 when the
// two fitters disagree.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "fit/moffat.h"
#include "sci/angles.h"
#include "sci/fits_in.h"
#include "sci/marray.h"
#include "select/flux_limits.h"
#include "select/measurement.h"
#include "select/stamps.h"
#include "tests/fit/literal_moffat.h"

namespace {

using Stamp = sci::MArray<float, 2>;

// The star selection's fit settings.
constexpr int kBoxlen = 12;
constexpr float kBeta = 2.9f;
constexpr float kFwhmMin = 1.0f;
constexpr float kFwhmMax = 20.0f;
constexpr float kHeld = 0.0f;

// The models timed: sub-pixel sampling and the range of beta.
struct Model {
    int subsample;
    float betaMin, betaMax;
};
constexpr Model kModels[] = {{1, kBeta, kBeta},
                             {3, kBeta, kBeta},
                             {5, kBeta, kBeta},
                             {5, selection::kFittedBetaMin, selection::kFittedBetaMax}};

// Sub-sampled models are fitted by the plain fitter only on the first stamps
// of each set.
constexpr size_t kPlainSubsampledStamps = 30;

// The demo's flux band (--min_thresh, --max_thresh of DEMO_ARGS).
constexpr double kMinThresh = 0.5;
constexpr double kMaxThresh = 0.99;

// The mock stamps.
constexpr int kMockStamps = 300;
constexpr std::uint64_t kMockSeed = 15;

struct Star {
    Stamp image, error;
    float xcen, ycen;  // catalogue position, FITS pixels
};

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// FNV-1a, 64 bits.
struct Digest {
    std::uint64_t h = 14695981039346656037ull;
    template <class T>
    void add(T v) {
        unsigned char bytes[sizeof v];
        std::memcpy(bytes, &v, sizeof v);
        for (unsigned char b : bytes) h = (h ^ b) * 1099511628211ull;
    }
};

// One fit as the star selection makes it, by the fitter that make makes, of
// the model m; its outputs go into the digest. Returns the status and, for an
// accepted fit, the mean FWHM in fwhm.
int fitStar(Star const& s, Model const& m, fit::MoffatFitterMaker make, Digest& digest,
            double& fwhm) {
    float surface = kHeld, ax = kHeld, ay = kHeld;
    float xcen = s.xcen, ycen = s.ycen;
    float amplitude = 0, xscale = 0, yscale = 0, angle = 0, beta = 0, nchi = 0;
    int const status = fit::fmoffat(s.image, s.error, surface, ax, ay, m.betaMin, m.betaMax,
                                    kFwhmMin, kFwhmMax, xcen, ycen, amplitude, xscale, yscale,
                                    angle, beta, nchi, 0, std::cout, make, m.subsample);
    digest.add(status);
    for (float v : {nchi, surface, ax, ay, xcen, ycen, amplitude, xscale, yscale, angle, beta})
        digest.add(v);
    fwhm = 0.5 * (fit::moffatFwhm(beta, xscale) + fit::moffatFwhm(beta, yscale));
    return status;
}

// Catalogue columns 2, 3, 6 (x, y, flux) of the demo catalogue.
void readCatalogue(std::string const& path, std::vector<float>& x, std::vector<float>& y,
                   std::vector<float>& flux) {
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        double v[6];
        for (double& f : v) fields >> f;
        if (!fields) continue;
        x.push_back(static_cast<float>(v[1]));
        y.push_back(static_cast<float>(v[2]));
        flux.push_back(static_cast<float>(v[5]));
    }
}

template <class T>
sci::MArray<T, 1> toArray(std::vector<T> const& v) {
    sci::MArray<T, 1> a(static_cast<int>(v.size()));
    for (size_t k = 0; k < v.size(); ++k) a(static_cast<int>(k) + 1) = v[k];
    return a;
}

std::vector<Star> demoStars(std::string const& dir) {
    std::vector<float> x, y, flux;
    readCatalogue(dir + "/m51.cat", x, y, flux);
    selection::FluxLimits const limits = selection::computeFluxLimits(
        selection::sortedParticipatingFlux(toArray(x), toArray(y), toArray(flux)), kMinThresh,
        kMaxThresh, 0.0);
    sci::FitsIn image(dir + "/m51.fits", sci::CardWarnings::kQuiet);
    sci::FitsIn error(dir + "/e.m51.fits", sci::CardWarnings::kQuiet);
    int const nx = image.getNaxis(1), ny = image.getNaxis(2);
    std::vector<Star> stars;
    for (size_t k = 0; k < x.size(); ++k) {
        if (!(limits.lower <= flux[k] && flux[k] <= limits.upper)) continue;
        int const ix = static_cast<int>(std::nearbyint(x[k]));
        int const iy = static_cast<int>(std::nearbyint(y[k]));
        if (ix - kBoxlen < 1 || ix + kBoxlen > nx || iy - kBoxlen < 1 || iy + kBoxlen > ny)
            continue;
        Star s{Stamp(sci::Range(-kBoxlen, kBoxlen), sci::Range(-kBoxlen, kBoxlen)),
               Stamp(sci::Range(-kBoxlen, kBoxlen), sci::Range(-kBoxlen, kBoxlen)), x[k], y[k]};
        selection::readStamp(image, ix, iy, kBoxlen, s.image);
        selection::readStamp(error, ix, iy, kBoxlen, s.error);
        stars.push_back(s);
    }
    return stars;
}

// Uniform and normal deviates from a seeded engine, the same on every platform.
class Random {
  public:
    explicit Random(std::uint64_t seed) : engine_(seed) {}
    double uniform(double lo, double hi) {
        return lo + (hi - lo) * static_cast<double>(engine_() >> 11) * 0x1.0p-53;
    }
    double normal() {
        double const u1 = uniform(0x1.0p-53, 1.0), u2 = uniform(0.0, 1.0);
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * sci::kPi * u2);
    }

  private:
    std::mt19937_64 engine_;
};

// An elliptical Moffat star I = peak (1 + (u/alpha1)^2 + (v/alpha2)^2)^-beta,
// alpha = fwhm / (2 sqrt(2^(1/beta) - 1)), u along the axis at angle (radian).
struct MockStar {
    double x, y, peak, fwhm1, fwhm2, angle, beta;
    double value(double px, double py) const {
        double const k = 2.0 * std::sqrt(std::pow(2.0, 1.0 / beta) - 1.0);
        double const dx = px - x, dy = py - y;
        double const u = (dx * std::cos(angle) + dy * std::sin(angle)) * k / fwhm1;
        double const v = (dy * std::cos(angle) - dx * std::sin(angle)) * k / fwhm2;
        return peak * std::pow(1.0 + u * u + v * v, -beta);
    }
};

// Crowded stamps: a star near pixel (100, 100) with peak 300..30000 (log-uniform),
// width 2.5..5 pixels, ellipticity up to 0.3, any angle; 2..10 neighbours within
// 16 pixels, peaks 50 to 1.5 times the star's. Noise: sky 1000, gain 2, read
// noise 5 (image units), sky subtracted; the catalogue position is off by 0.05
// pixel rms.
std::vector<Star> mockStars() {
    constexpr double kSky = 1000.0, kGain = 2.0, kReadNoise = 5.0, kBeta29 = 2.9;
    Random rng(kMockSeed);
    std::vector<Star> stars;
    for (int n = 0; n < kMockStamps; ++n) {
        std::vector<MockStar> field;
        auto shape = [&rng](double x, double y, double peak) {
            double const fwhm = rng.uniform(2.5, 5.0);
            return MockStar{x,
                            y,
                            peak,
                            fwhm,
                            fwhm * (1.0 - rng.uniform(0.0, 0.3)),
                            rng.uniform(0.0, sci::kPi),
                            kBeta29};
        };
        double const peak = std::exp(rng.uniform(std::log(300.0), std::log(30000.0)));
        field.push_back(
            shape(100.0 + rng.uniform(-0.5, 0.5), 100.0 + rng.uniform(-0.5, 0.5), peak));
        int const neighbours = static_cast<int>(rng.uniform(2.0, 11.0));
        for (int k = 0; k < neighbours; ++k) {
            double const x = 100.0 + rng.uniform(-16.0, 16.0), y = 100.0 + rng.uniform(-16.0, 16.0);
            field.push_back(
                shape(x, y, std::exp(rng.uniform(std::log(50.0), std::log(1.5 * peak)))));
        }
        Star s{Stamp(sci::Range(-kBoxlen, kBoxlen), sci::Range(-kBoxlen, kBoxlen)),
               Stamp(sci::Range(-kBoxlen, kBoxlen), sci::Range(-kBoxlen, kBoxlen)),
               static_cast<float>(field[0].x + 0.05 * rng.normal()),
               static_cast<float>(field[0].y + 0.05 * rng.normal())};
        int const ix = static_cast<int>(std::nearbyint(s.xcen));
        int const iy = static_cast<int>(std::nearbyint(s.ycen));
        for (int j = -kBoxlen; j <= kBoxlen; ++j)
            for (int i = -kBoxlen; i <= kBoxlen; ++i) {
                double signal = 0.0;
                for (MockStar const& m : field) signal += m.value(ix + i, iy + j);
                double const sigma = std::sqrt((kSky + signal) / kGain + kReadNoise * kReadNoise);
                s.image(i, j) = static_cast<float>(signal + sigma * rng.normal());
                s.error(i, j) = static_cast<float>(sigma);
            }
        stars.push_back(s);
    }
    return stars;
}

struct Timing {
    double fitsPerSecond;
    int accepted;  // fits with status 0 in one pass
    std::uint64_t digest;
    std::vector<double> fwhm;  // mean FWHM of each star, 0 when its fit failed
};

// Passes over the first `count` stars (all when count is 0) until `seconds`
// of CPU time are spent (at least one).
Timing timeFits(std::vector<Star> const& all, Model const& m, fit::MoffatFitterMaker make,
                double seconds, size_t count = 0) {
    std::vector<Star> const stars(
        all.begin(), all.begin() + static_cast<std::ptrdiff_t>(
                                       count > 0 ? std::min(count, all.size()) : all.size()));
    Digest digest;
    Timing t{0.0, 0, 0, {}};
    for (Star const& s : stars) {
        double fwhm = 0.0;
        bool const ok = fitStar(s, m, make, digest, fwhm) == fit::kMoffatOk;
        t.accepted += ok;
        t.fwhm.push_back(ok ? fwhm : 0.0);
    }
    t.digest = digest.h;
    Digest scratch;
    long fits = 0;
    double const start = cpuSeconds();
    double elapsed = 0.0;
    do {
        double fwhm = 0.0;
        for (Star const& s : stars) fitStar(s, m, make, scratch, fwhm);
        fits += static_cast<long>(stars.size());
        elapsed = cpuSeconds() - start;
    } while (elapsed < seconds);
    t.fitsPerSecond = static_cast<double>(fits) / elapsed;
    return t;
}

// The largest relative difference of the FWHM over the stars both accept.
double largestFwhmDifference(Timing const& a, Timing const& b) {
    double largest = 0.0;
    for (size_t k = 0; k < a.fwhm.size(); ++k)
        if (a.fwhm[k] > 0.0 && b.fwhm[k] > 0.0)
            largest = std::max(largest, std::fabs(a.fwhm[k] / b.fwhm[k] - 1.0));
    return largest;
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 2.0;
    std::string dir = std::string(PSFPICK_SOURCE_DIR) + "/data/m51";
    for (int a = 1; a + 1 < argc; a += 2) {
        if (std::strcmp(argv[a], "--seconds") == 0)
            seconds = std::atof(argv[a + 1]);
        else if (std::strcmp(argv[a], "--data") == 0)
            dir = argv[a + 1];
    }
    std::vector<Star> const demo = demoStars(dir);
    std::vector<Star> const mock = mockStars();
    std::printf(
        "Moffat fits on one thread, boxlen %d, beta held at %.1f or fitted; fits per CPU"
        " second\n",
        kBoxlen, static_cast<double>(kBeta));
    std::printf("%-5s  %9s  %4s  %6s  %8s  %10s  %10s  %6s  %16s  %9s\n", "set", "subsample",
                "beta", "stamps", "accepted", "plain", "library", "ratio", "digest", "identical");
    int failures = 0;
    for (Model const& m : kModels) {
        for (auto const& set : {std::make_pair("demo", &demo), std::make_pair("mock", &mock)}) {
            // Sub-sampled, the plain fitter takes minutes over a whole set.
            size_t const plainCount = m.subsample == 1 ? 0 : kPlainSubsampledStamps;
            Timing const plain =
                timeFits(*set.second, m, literal::makeMoffatFit, seconds, plainCount);
            Timing const now = timeFits(*set.second, m, fit::makeClassMoffatFit, seconds);
            // At pixel centres bit for bit; sub-sampled to rounding.
            char identical[32];
            if (m.subsample == 1) {
                bool const same = plain.digest == now.digest && plain.accepted == now.accepted;
                if (!same) ++failures;
                std::snprintf(identical, sizeof identical, "%s", same ? "yes" : "NO");
            } else {
                std::snprintf(identical, sizeof identical, "%.1e",
                              largestFwhmDifference(plain, now));
            }
            std::printf("%-5s  %9d  %4s  %6zu  %8d  %10.1f  %10.1f  %6.2f  %016llx  %9s\n",
                        set.first, m.subsample, m.betaMin == m.betaMax ? "held" : "free",
                        set.second->size(), now.accepted, plain.fitsPerSecond, now.fitsPerSecond,
                        now.fitsPerSecond / plain.fitsPerSecond,
                        static_cast<unsigned long long>(now.digest), identical);
            std::fflush(stdout);
        }
    }
    return failures == 0 ? 0 : 1;
}
