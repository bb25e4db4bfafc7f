#include "tools/error_image.h"

#include <algorithm>
#include <cmath>

#include "sci/median.h"
#include "tools/tool_args.h"

namespace tools {

std::vector<float> errorImage(std::vector<float> const& image, double gain, double readNoise,
                              double sky) {
    std::vector<float> error(image.size());
    double const base = sky / gain + readNoise * readNoise;
    for (size_t k = 0; k < image.size(); ++k) {
        float const v = image[k];
        error[k] = v == 0.0f ? 0.0f
                             : static_cast<float>(
                                   std::sqrt(std::max(static_cast<double>(v), 0.0) / gain + base));
    }
    return error;
}

BackgroundEstimate estimateBackground(std::vector<float> const& image, size_t maxSample) {
    size_t nonzero = 0;
    for (float v : image) nonzero += v != 0.0f ? 1 : 0;
    if (nonzero < kMinBackgroundPixels)
        throw ToolError("too few non-zero pixels to estimate the background");
    size_t const stride = std::max<size_t>(1, nonzero / std::max<size_t>(1, maxSample));
    std::vector<double> sample;
    sample.reserve(nonzero / stride + 1);
    size_t seen = 0;
    for (float v : image) {
        if (v == 0.0f) continue;
        if (seen++ % stride == 0) sample.push_back(v);
    }
    BackgroundEstimate b;
    for (int round = 0; round < kClipRounds; ++round) {
        sci::MedianAndMad const m = sci::medianAndMad(sample);
        b.level = m.median;
        b.noise = kMadToSigma * m.mad;
        b.pixels = sample.size();
        double const limit = kClipSigma * b.noise;
        std::vector<double> kept;
        kept.reserve(sample.size());
        for (double v : sample)
            if (std::fabs(v - b.level) <= limit) kept.push_back(v);
        if (kept.size() == sample.size() || kept.size() < kMinBackgroundPixels) break;
        sample.swap(kept);
    }
    // Star light only adds to pixels, so the side below the reference level
    // is pure noise: sigma = 1.4826 median(ref - v) over the pixels v < ref.
    // The reference is 0 for a sky-subtracted image (|median| < noise), else
    // the median.
    double const ref = std::fabs(b.level) < b.noise ? 0.0 : b.level;
    std::vector<double> work;
    for (double v : sample)
        if (v < ref) work.push_back(ref - v);
    if (work.size() >= kMinBackgroundPixels)
        b.lowerNoise = kMadToSigma * sci::median(work);
    else
        b.lowerNoise = b.noise;
    return b;
}

double skyFromNoise(double noise, double gain, double readNoise) {
    return std::max(0.0, gain * (noise * noise - readNoise * readNoise));
}

}  // namespace tools
