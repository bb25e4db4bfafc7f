// psfpick-mock: writes a synthetic star field with a known PSF (image, error
// image, catalogue and truth table) for testing and benchmarking psfpick.
#include <cstdio>
#include <limits>

#include "select/image_names.h"
#include "tools/file_names.h"
#include "tools/mock_field.h"
#include "tools/mock_files.h"
#include "tools/tool_args.h"

namespace {

constexpr char kProgram[] = "psfpick-mock";
constexpr long kMinSide = 16;
constexpr long kMaxSide = 16384;
constexpr long kMaxSources = 10000000;

struct MockCommand {
    tools::MockConfig config;
    std::string output = "mock.fits";
    std::string catalogue;
    std::string truth;
    std::vector<long> size{1024, 1024};
    long seed = 1;
    std::string sampling = "integrated";
    bool quiet = false;
};

void registerOptions(tools::ArgParser& p, MockCommand& m) {
    tools::MockConfig& c = m.config;
    p.addString("output", 'o', "FITS", "image to write; the error image is e.<name> beside it",
                &m.output);
    p.addString("catalogue", 'c', "FILE", "catalogue to write [image name with .cat]",
                &m.catalogue);
    p.addString("truth", 't', "FILE", "truth table to write [catalogue name with .truth]",
                &m.truth);
    p.addIntList("size", 's', "NX[,NY]", "image size in pixels", &m.size, 2, kMinSide, kMaxSide);
    p.addInt("sources", 'n', "N", "number of sources", &c.sources, 1, kMaxSources);
    p.addInt("seed", 0, "N", "random seed; the same seed gives the same files", &m.seed, 0,
             std::numeric_limits<long>::max());
    p.addDouble("fwhm", 0, "PIX", "FWHM of the PSF's major axis at the field centre", &c.fwhm, 0.5,
                100);
    p.addDouble("ellipticity", 0, "E", "PSF ellipticity 1 - minor/major at the centre",
                &c.ellipticity, 0, 0.95);
    p.addDouble("angle", 0, "DEG", "major axis from x toward y at the centre, degrees", &c.angle,
                -360, 360);
    p.addDouble("beta", 0, "B", "Moffat beta", &c.beta, 1.1, 20);
    p.addDoubleList("fwhm-slope", 0, "SX,SY",
                    "change of the FWHM from the left to the right edge and from the bottom to "
                    "the top, pixels",
                    &c.fwhmSlope, 2, -100, 100);
    p.addDoubleList("ellipticity-slope", 0, "SX,SY", "change of the ellipticity across the field",
                    &c.ellipticitySlope, 2, -1, 1);
    p.addDoubleList("angle-slope", 0, "SX,SY", "change of the angle across the field, degrees",
                    &c.angleSlope, 2, -360, 360);
    p.addString("sampling", 0, "MODE",
                "integrated (pixel means, like a detector) or centre (values at pixel centres)",
                &m.sampling);
    p.addDouble("sky", 0, "ADU", "sky level; it adds noise and is subtracted again", &c.sky, 0,
                1e7);
    p.addDouble("gain", 'g', "E/ADU", "gain, electrons per ADU", &c.gain, 1e-3, 1e4);
    p.addDouble("readnoise", 'r', "ADU", "Gaussian read noise, ADU", &c.readNoise, 0, 1e5);
    p.addFlag("noiseless", 0,
              "write the noiseless model (pixels away from stars are then 0, i.e. bad)",
              &c.noiseless);
    p.addDoubleList("flux-range", 0, "MIN,MAX", "range of the total source fluxes, ADU",
                    &c.fluxRange, 2, 1e-3, 1e12);
    p.addDouble("flux-slope", 0, "S", "fluxes follow N(>F) ~ F^-S (0: uniform)", &c.fluxSlope, 0,
                10);
    p.addDouble("saturation", 0, "ADU", "raw level (sky included) at which pixels clip",
                &c.saturation, 1, 1e12);
    p.addDouble("pairs", 0, "FRACTION", "fraction of sources that are members of close pairs",
                &c.pairFraction, 0, 1);
    p.addDoubleList("pair-separation", 0, "MIN,MAX",
                    "distance of a pair's companion, in units of the FWHM", &c.pairSeparation, 2, 0,
                    100);
    p.addInt("bad-columns", 0, "N", "number of bad (zero) columns", &c.badColumns, 0, kMaxSide);
    p.addInt("bad-rows", 0, "N", "number of bad (zero) rows", &c.badRows, 0, kMaxSide);
    p.addDouble("bad-pixels", 0, "FRACTION", "fraction of isolated bad (zero) pixels",
                &c.badPixelFraction, 0, 0.5);
    p.addDoubleList("crval", 0, "RA,DEC", "sky position of the image centre, degrees", &c.crval, 2,
                    -360, 360);
    p.addDouble("pixel-scale", 0, "ARCSEC", "pixel scale, arcseconds per pixel", &c.pixelScale,
                1e-4, 3600);
    p.addDouble("rotation", 0, "DEG", "rotation of the sky (CROTA2), degrees", &c.rotation, -360,
                360);
    p.addFlag("cdelt", 0, "write CDELT1/2 and CROTA2 instead of a CD matrix", &c.cdeltForm);
    p.addFlag("quiet", 'q', "print no summary", &m.quiet);
}

void run(MockCommand& m, std::vector<std::string> const& rest) {
    tools::expectOperands(rest, 0, "");
    if (m.sampling == "integrated")
        m.config.sampling = tools::Sampling::kIntegrated;
    else if (m.sampling == "centre" || m.sampling == "center")
        m.config.sampling = tools::Sampling::kCentre;
    else
        throw tools::UsageError("option '--sampling' expects integrated or centre, not '" +
                                m.sampling + "'");
    if (m.config.crval[1] < -90.0 || m.config.crval[1] > 90.0)
        throw tools::UsageError("option '--crval' needs a declination between -90 and 90");
    m.config.nx = m.size[0];
    m.config.ny = m.size[1];
    m.config.seed = static_cast<uint64_t>(m.seed);
    if (m.catalogue.empty()) m.catalogue = tools::replaceExtension(m.output, ".cat");
    if (m.truth.empty()) m.truth = tools::replaceExtension(m.catalogue, ".truth");

    tools::MockField const field = tools::makeMockField(m.config);
    tools::writeMockField(field, m.config, m.output, m.catalogue, m.truth);
    if (!m.quiet) {
        long pairs = 0, saturated = 0;
        for (tools::MockSource const& s : field.sources) {
            pairs += s.partner ? 1 : 0;
            saturated += s.saturated ? 1 : 0;
        }
        std::printf(
            "%s: %ld x %ld pixels, %ld sources (%ld in close pairs, %ld saturated), %ld "
            "bad pixels\n",
            m.output.c_str(), field.nx, field.ny, static_cast<long>(field.sources.size()), pairs,
            saturated, field.badPixels);
        std::printf("wrote %s, %s, %s and %s\n", m.output.c_str(),
                    selection::errorImageName(m.output).c_str(), m.catalogue.c_str(),
                    m.truth.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    MockCommand m;
    tools::ArgParser parser(kProgram, "[options]",
                            "Writes a synthetic, sky-subtracted star field with a known "
                            "elliptical Moffat PSF: the image, its error image (e.<name>), a "
                            "catalogue (id x y RA DEC flux flags class_star) and the truth.");
    registerOptions(parser, m);
    return tools::runTool(parser, argc, argv, [&](auto const& rest) { run(m, rest); });
}
