// psfpick-errimage: writes the error image of a sky-subtracted FITS image from
// the gain, the read noise and the sky level (given or estimated).
#include <cmath>
#include <cstdio>
#include <optional>

#include "sci/fits_card.h"
#include "sci/fits_header.h"
#include "sci/fits_writer.h"
#include "select/image_names.h"
#include "tools/error_image.h"
#include "tools/fits_image.h"
#include "tools/tool_args.h"

namespace {

constexpr char kProgram[] = "psfpick-errimage";
constexpr long kDefaultSample = 1000000;

struct ErrCommand {
    std::string output;
    std::optional<double> gain, readNoise, sky;
    long sample = kDefaultSample;
    bool quiet = false;
};

// The header value of keyword, if the header has a number there.
std::optional<double> headerNumber(sci::FitsHeader const& header, std::string const& keyword) {
    sci::FitsCard const* card = header.findValueCard(sci::fitsKeyword(keyword));
    if (!card) return std::nullopt;
    try {
        return card->getFloat();
    } catch (std::exception const&) {
        return std::nullopt;
    }
}

void run(ErrCommand& m, std::vector<std::string> const& rest) {
    tools::expectOperands(rest, 1, "no image given");
    std::string const path = rest[0];
    std::string const output = m.output.empty() ? selection::errorImageName(path) : m.output;

    sci::FitsHeader const header(path, sci::CardWarnings::kQuiet);
    std::optional<double> gain = m.gain ? m.gain : headerNumber(header, "GAIN");
    std::optional<double> readNoise = m.readNoise ? m.readNoise : headerNumber(header, "RDNOISE");
    if (!gain || !(*gain > 0))
        throw tools::UsageError("no gain: give --gain (the header of '" + path +
                                "' has no positive GAIN)");
    if (!readNoise || *readNoise < 0)
        throw tools::UsageError("no read noise: give --readnoise (the header of '" + path +
                                "' has no RDNOISE)");

    tools::FloatImage const image = tools::readFitsImage(path);
    double sky = 0;
    if (m.sky) {
        sky = *m.sky;
    } else {
        tools::BackgroundEstimate const b =
            tools::estimateBackground(image.pixels, static_cast<size_t>(m.sample));
        sky = tools::skyFromNoise(b.lowerNoise, *gain, *readNoise);
        if (!m.quiet)
            std::printf(
                "%s: background noise %.4g ADU, median %.4g ADU (%zu pixels): sky %.6g "
                "ADU\n",
                path.c_str(), b.lowerNoise, b.level, b.pixels, sky);
        if (std::fabs(b.level) > b.noise)
            std::fprintf(stderr,
                         "%s: warning: the background median %.4g of '%s' exceeds its noise %.4g; "
                         "is the image sky-subtracted?\n",
                         kProgram, b.level, path.c_str(), b.noise);
    }
    std::vector<float> const error = tools::errorImage(image.pixels, *gain, *readNoise, sky);
    std::vector<std::string> cards = tools::readWcsCards(path);
    cards.push_back(tools::floatCard("GAIN", *gain, "electrons per ADU"));
    cards.push_back(tools::floatCard("RDNOISE", *readNoise, "read noise, ADU"));
    cards.push_back(tools::floatCard("SKYLEVEL", sky, "sky level used, ADU"));
    tools::writeFloatFits(output, image.nx, image.ny, error.data(), cards);
    if (!m.quiet) std::printf("wrote %s\n", output.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    ErrCommand m;
    tools::ArgParser parser(
        kProgram, "[options] IMAGE",
        "Writes the error image of a sky-subtracted FITS image: per pixel "
        "err = sqrt(max(value, 0)/gain + sky/gain + readnoise^2) in the image's units (ADU); "
        "pixels of value 0 (bad) get 0. The output is e.<name> beside the image unless -o "
        "is given.\n\n"
        "Without --sky the sky level is estimated from the background noise sigma (1.4826 "
        "MAD of a 3-sigma-clipped sample of the non-zero pixels): sky = gain (sigma^2 - "
        "readnoise^2). Gain and read noise default to the header's GAIN and RDNOISE.");
    parser.addString("output", 'o', "FITS", "error image to write [e.<image name>]", &m.output);
    parser.addOptionalDouble("gain", 'g', "E/ADU", "gain, electrons per ADU", &m.gain, 1e-6, 1e6,
                             "header GAIN");
    parser.addOptionalDouble("readnoise", 'r', "ADU", "read noise in image units", &m.readNoise, 0,
                             1e6, "header RDNOISE");
    parser.addOptionalDouble("sky", 0, "ADU", "sky level that was subtracted from the image",
                             &m.sky, 0, 1e12, "estimated");
    parser.addInt("sample", 0, "N", "at most this many pixels for the sky estimate", &m.sample, 100,
                  1000000000);
    parser.addFlag("quiet", 'q', "print nothing but errors", &m.quiet);
    return tools::runTool(parser, argc, argv, [&](auto const& rest) { run(m, rest); });
}
