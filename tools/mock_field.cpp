#include "tools/mock_field.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <optional>

#include "sci/angles.h"
#include "sci/tan_wcs.h"
#include "tools/fits_image.h"
#include "tools/random.h"
#include "tools/tool_args.h"

namespace tools {

namespace {

using sci::kDegToRad;
using sci::kPi;
constexpr double kArcsecPerDegree = 3600.0;
constexpr double kFwhmPerSigma = 2.3548200450309493;  // 2 sqrt(2 ln 2), Gaussian

// Independent random streams, so that changing one part (say the bad-pixel
// count) leaves the others as they were.
constexpr uint64_t kStreamStep = 0x9e3779b97f4a7c15ULL;
enum Stream : uint64_t { kSourceStream = 1, kNoiseStream = 2, kBadStream = 3, kMeasureStream = 4 };

// A star's box reaches to where its profile falls to this fraction of the
// background noise (or of its peak on a noiseless field), at most kMaxRadius.
constexpr double kRenderFloorNoise = 0.02;
constexpr double kRenderFloorPeak = 1e-5;
constexpr int kMaxRadius = 256;
// Tries to place a pair's companion inside the image before clamping it.
constexpr int kCompanionTries = 8;
// Flux ratio companion / primary of a close pair.
constexpr double kPairRatioMin = 0.2;
// Stellarity of a well-measured (S/N >= kClassSnr) source: kClassHigh + up to
// kClassSpread; fainter sources scatter over [0.5, 1].
constexpr double kClassSnr = 30.0;
constexpr double kClassHigh = 0.97;
constexpr double kClassSpread = 0.03;
// The aperture of the catalogue's flux error: radius fwhm.
constexpr double kApertureFwhm = 1.0;

Random stream(uint64_t seed, Stream s) {
    return Random(seed + kStreamStep * s);
}

// v at (x, y) for a value that changes linearly across the field.
double varying(MockConfig const& c, double v, std::vector<double> const& slope, double x,
               double y) {
    double const xc = 0.5 * static_cast<double>(c.nx + 1), yc = 0.5 * static_cast<double>(c.ny + 1);
    return v + slope[0] * (x - xc) / static_cast<double>(c.nx) +
           slope[1] * (y - yc) / static_cast<double>(c.ny);
}

// A flux of N(> F) ~ F^-s within [lo, hi] by inverting the cumulative
// distribution: F = lo (1 - u (1 - (hi/lo)^-s))^(-1/s).
double drawFlux(Random& rng, MockConfig const& c) {
    double const lo = c.fluxRange[0], hi = c.fluxRange[1];
    if (c.fluxSlope <= 0 || hi <= lo) return lo + (hi - lo) * rng.uniform();
    double const tail = std::pow(hi / lo, -c.fluxSlope);
    return lo * std::pow(1.0 - rng.uniform() * (1.0 - tail), -1.0 / c.fluxSlope);
}

// A header card of a number, -0 written as 0.
std::string numberCard(std::string const& key, double v, std::string const& comment) {
    return floatCard(key, v + 0.0, comment);
}

// The WCS cards and the projection built from the very same values, so that
// the catalogue's RA and DEC agree with what a reader of the header computes.
// CD form from CDELT1 = -s, CDELT2 = s and CROTA2 = rho:
//   CD1_1 = -s cos rho, CD1_2 = -s sin rho, CD2_1 = -s sin rho, CD2_2 = s cos rho.
sci::TanWcs makeWcs(MockConfig const& c, std::vector<std::string>& cards) {
    std::map<std::string, double> numbers;
    std::map<std::string, std::string> texts;
    double const s = c.pixelScale / kArcsecPerDegree;
    double const rho = c.rotation * kDegToRad;
    numbers["CRPIX1"] = 0.5 * static_cast<double>(c.nx + 1);
    numbers["CRPIX2"] = 0.5 * static_cast<double>(c.ny + 1);
    numbers["CRVAL1"] = c.crval[0];
    numbers["CRVAL2"] = c.crval[1];
    if (c.cdeltForm) {
        numbers["CDELT1"] = -s;
        numbers["CDELT2"] = s;
        numbers["CROTA2"] = c.rotation;
    } else {
        numbers["CD1_1"] = -s * std::cos(rho) + 0.0;
        numbers["CD1_2"] = -s * std::sin(rho) + 0.0;
        numbers["CD2_1"] = -s * std::sin(rho) + 0.0;
        numbers["CD2_2"] = s * std::cos(rho) + 0.0;
    }
    texts["CTYPE1"] = "RA---TAN";
    texts["CTYPE2"] = "DEC--TAN";
    cards.push_back(stringCard("CTYPE1", texts["CTYPE1"], "gnomonic projection"));
    cards.push_back(stringCard("CTYPE2", texts["CTYPE2"], "gnomonic projection"));
    for (char const* k : {"CRVAL1", "CRVAL2", "CRPIX1", "CRPIX2", "CD1_1", "CD1_2", "CD2_1",
                          "CD2_2", "CDELT1", "CDELT2", "CROTA2"})
        if (numbers.count(k)) cards.push_back(numberCard(k, numbers[k], ""));
    cards.push_back(numberCard("EQUINOX", 2000.0, ""));
    cards.push_back(stringCard("RADESYS", "FK5", ""));
    auto trim = [](std::string const& key) { return key.substr(0, key.find(' ')); };
    sci::NumberLookup const number = [&](std::string const& key) -> std::optional<double> {
        auto it = numbers.find(trim(key));
        if (it == numbers.end()) return std::nullopt;
        return it->second;
    };
    sci::TextLookup const text = [&](std::string const& key) -> std::optional<std::string> {
        auto it = texts.find(trim(key));
        if (it == texts.end()) return std::nullopt;
        return it->second;
    };
    return sci::readTanWcs("mock", number, text);
}

void checkConfig(MockConfig const& c) {
    if (c.nx < 1 || c.ny < 1) throw ToolError("the image needs at least one pixel");
    if (!(c.beta > 1.0)) throw ToolError("beta must exceed 1 for a finite flux");
    if (!(c.gain > 0.0)) throw ToolError("the gain must be positive");
    if (c.fluxRange[1] < c.fluxRange[0]) throw ToolError("the flux range is reversed");
    if (c.pairSeparation[1] < c.pairSeparation[0])
        throw ToolError("the pair separation range is reversed");
    for (double x : {0.0, static_cast<double>(c.nx)})
        for (double y : {0.0, static_cast<double>(c.ny)}) {
            MoffatShape const s = mockShapeAt(c, x + 0.5, y + 0.5);
            if (!(s.fwhm2 > 0.0) || !(s.fwhm1 >= s.fwhm2))
                throw ToolError("the PSF varies to a width or ellipticity out of range");
        }
}

// Sources with true positions, fluxes, shapes and pairs.
std::vector<MockSource> drawSources(MockConfig const& c) {
    Random rng = stream(c.seed, kSourceStream);
    long const pairs =
        static_cast<long>(std::floor(c.pairFraction * static_cast<double>(c.sources) / 2));
    long const singles = c.sources - 2 * pairs;
    std::vector<MockSource> sources;
    sources.reserve(static_cast<size_t>(c.sources));
    double const xmax = static_cast<double>(c.nx) + 0.5, ymax = static_cast<double>(c.ny) + 0.5;
    auto place = [&](double x, double y, double flux) {
        MockSource s;
        s.id = static_cast<long>(sources.size()) + 1;
        s.x = x;
        s.y = y;
        s.flux = flux;
        s.shape = mockShapeAt(c, x, y);
        sources.push_back(s);
        return s.id;
    };
    for (long k = 0; k < singles; ++k) {
        double const x = rng.uniform(0.5, xmax), y = rng.uniform(0.5, ymax);
        place(x, y, drawFlux(rng, c));
    }
    for (long k = 0; k < pairs; ++k) {
        double const x = rng.uniform(0.5, xmax), y = rng.uniform(0.5, ymax);
        double const flux = drawFlux(rng, c);
        long const first = place(x, y, flux);
        double const fwhm = sources.back().shape.fwhm1;
        double cx = x, cy = y;
        for (int t = 0; t < kCompanionTries; ++t) {
            double const d = fwhm * rng.uniform(c.pairSeparation[0], c.pairSeparation[1]);
            double const phi = 2.0 * kPi * rng.uniform();
            cx = x + d * std::cos(phi);
            cy = y + d * std::sin(phi);
            if (cx >= 0.5 && cx < xmax && cy >= 0.5 && cy < ymax) break;
        }
        cx = std::clamp(cx, 0.5, std::nextafter(xmax, 0.0));
        cy = std::clamp(cy, 0.5, std::nextafter(ymax, 0.0));
        long const second = place(cx, cy, flux * rng.uniform(kPairRatioMin, 1.0));
        sources[static_cast<size_t>(first - 1)].partner = second;
        sources[static_cast<size_t>(second - 1)].partner = first;
    }
    return sources;
}

}  // namespace

MoffatShape mockShapeAt(MockConfig const& c, double x, double y) {
    MoffatShape s;
    double const fwhm = varying(c, c.fwhm, c.fwhmSlope, x, y);
    double const e = varying(c, c.ellipticity, c.ellipticitySlope, x, y);
    s.fwhm1 = fwhm;
    s.fwhm2 = fwhm * (1.0 - e);
    s.angle = varying(c, c.angle, c.angleSlope, x, y) * kDegToRad;
    s.beta = c.beta;
    return s;
}

// The angle folded into [0, 180); between 45 and 135 degrees the second axis
// is the one nearer to x, so the axes swap and the angle drops by 90; at 135
// and above it drops by 180. The result lies in [-45, 45].
void psfAxes(MoffatShape const& shape, double& fwhm1, double& fwhm2, double& angleDeg) {
    double a = std::fmod(std::fmod(shape.angle / kDegToRad, 180.0) + 180.0, 180.0);
    fwhm1 = shape.fwhm1;
    fwhm2 = shape.fwhm2;
    if (a > 45.0 && a < 135.0) {
        std::swap(fwhm1, fwhm2);
        a -= 90.0;
    } else if (a >= 135.0) {
        a -= 180.0;
    }
    angleDeg = a;
}

MockField makeMockField(MockConfig const& c) {
    checkConfig(c);
    MockField f;
    f.nx = c.nx;
    f.ny = c.ny;
    sci::TanWcs const wcs = makeWcs(c, f.headerCards);
    f.sources = drawSources(c);
    size_t const npix = static_cast<size_t>(c.nx) * static_cast<size_t>(c.ny);

    // The noiseless model above the sky.
    double const skyNoise = std::sqrt(c.sky / c.gain + c.readNoise * c.readNoise);
    std::vector<float> model(npix, 0.0f);
    for (MockSource& s : f.sources) {
        s.peak = moffatPeak(s.shape, s.flux);
        double const floor =
            skyNoise > 0 ? kRenderFloorNoise * skyNoise : kRenderFloorPeak * s.peak;
        int const radius = renderRadius(s.shape, s.peak, floor, kMaxRadius);
        addMoffatStar(model, c.nx, c.ny, s.x, s.y, s.flux, s.shape, radius, c.sampling);
    }
    // A source saturates when a pixel within one pixel of its centre clips.
    for (MockSource& s : f.sources) {
        long const ix = std::lround(s.x), iy = std::lround(s.y);
        for (long y = std::max(1L, iy - 1); y <= std::min(c.ny, iy + 1); ++y)
            for (long x = std::max(1L, ix - 1); x <= std::min(c.nx, ix + 1); ++x)
                if (model[static_cast<size_t>((y - 1) * c.nx + (x - 1))] + c.sky >= c.saturation)
                    s.saturated = true;
    }

    // err = sqrt(max(signal, 0)/gain + sky/gain + readnoise^2) of the clipped
    // noiseless signal; the image is raw - sky with raw = Poisson(gain (model
    // + sky)) / gain + readnoise N(0, 1), clipped at the saturation level.
    f.error.resize(npix);
    f.image = std::move(model);
    Random noise = stream(c.seed, kNoiseStream);
    double const clipSignal = c.saturation - c.sky;
    for (size_t k = 0; k < npix; ++k) {
        double const signal = std::min(static_cast<double>(f.image[k]), clipSignal);
        f.error[k] = static_cast<float>(
            std::sqrt(std::max(signal, 0.0) / c.gain + c.sky / c.gain + c.readNoise * c.readNoise));
        double const raw = static_cast<double>(f.image[k]) + c.sky;
        double value = raw;
        if (!c.noiseless)
            value = static_cast<double>(noise.poisson(raw * c.gain)) / c.gain +
                    c.readNoise * noise.normal();
        if (raw >= c.saturation || value > c.saturation) value = c.saturation;
        float v = static_cast<float>(value - c.sky);
        // Only bad pixels may read exactly 0: psfpick skips such pixels.
        if (v == 0.0f && !c.noiseless) v = std::numeric_limits<float>::min();
        f.image[k] = v;
    }

    // Bad columns, rows and pixels: 0 in the image and in the error image.
    Random bad = stream(c.seed, kBadStream);
    auto kill = [&](long x, long y) {
        size_t const k = static_cast<size_t>((y - 1) * c.nx + (x - 1));
        if (f.error[k] != 0.0f) ++f.badPixels;
        f.image[k] = 0.0f;
        f.error[k] = 0.0f;
    };
    auto pick = [&](long n) {
        return 1 + std::min(n - 1, static_cast<long>(bad.uniform() * static_cast<double>(n)));
    };
    for (long k = 0; k < c.badColumns; ++k) {
        long const x = pick(c.nx);
        for (long y = 1; y <= c.ny; ++y) kill(x, y);
    }
    for (long k = 0; k < c.badRows; ++k) {
        long const y = pick(c.ny);
        for (long x = 1; x <= c.nx; ++x) kill(x, y);
    }
    long const isolated = std::lround(c.badPixelFraction * static_cast<double>(npix));
    for (long k = 0; k < isolated; ++k) {
        long const x = pick(c.nx);
        long const y = pick(c.ny);
        kill(x, y);
    }

    // The catalogue's measurement: flux error sqrt(F/gain + npix (sky/gain +
    // readnoise^2)) in an aperture of radius fwhm, position error fwhm /
    // (2.3548 S/N) per axis (a Gaussian's centroid error).
    Random measure = stream(c.seed, kMeasureStream);
    for (MockSource& s : f.sources) {
        double const fwhm = 0.5 * (s.shape.fwhm1 + s.shape.fwhm2);
        double const aperture = kPi * (kApertureFwhm * fwhm) * (kApertureFwhm * fwhm);
        double const sigmaFlux =
            std::sqrt(s.flux / c.gain + aperture * (c.sky / c.gain + c.readNoise * c.readNoise));
        double const snr =
            sigmaFlux > 0 ? s.flux / sigmaFlux : std::numeric_limits<double>::infinity();
        double const sigmaPos = fwhm / (kFwhmPerSigma * snr);
        double const gx = measure.normal(), gy = measure.normal(), gf = measure.normal();
        double const u = measure.uniform();
        s.catX = s.x + (c.noiseless ? 0.0 : sigmaPos * gx);
        s.catY = s.y + (c.noiseless ? 0.0 : sigmaPos * gy);
        s.catFlux = s.flux + (c.noiseless ? 0.0 : sigmaFlux * gf);
        s.classStar = snr >= kClassSnr ? kClassHigh + kClassSpread * u : 0.5 + 0.5 * u;
        sci::FVector<double, 2> const sky = wcs.ccs.solve(sci::FVector<double, 2>(s.catX, s.catY));
        s.ra = sky(1);
        s.dec = sky(2);
    }

    f.headerCards.push_back(numberCard("GAIN", c.gain, "electrons per ADU"));
    f.headerCards.push_back(numberCard("RDNOISE", c.readNoise, "read noise, ADU"));
    f.headerCards.push_back(numberCard("SKYLEVEL", c.sky, "sky level subtracted, ADU"));
    f.headerCards.push_back(
        numberCard("SATURATE", c.saturation - c.sky, "clip level after sky subtraction, ADU"));
    f.headerCards.push_back(numberCard("PSFFWHM", c.fwhm, "major-axis FWHM at the centre, pixels"));
    f.headerCards.push_back(numberCard("PSFELL", c.ellipticity, "1 - minor/major at the centre"));
    f.headerCards.push_back(numberCard("PSFANGLE", c.angle, "major axis from x toward y, degrees"));
    f.headerCards.push_back(numberCard("PSFBETA", c.beta, "Moffat beta"));
    f.headerCards.push_back(
        intCard("MOCKSEED", static_cast<long>(c.seed & 0x7fffffffffffffffULL), "random seed"));
    return f;
}

}  // namespace tools
