// Error images for sky-subtracted images: the per-pixel standard error from
// the gain, the read noise and the sky level that was subtracted, and a robust
// estimate of that sky level from the image's background noise. Pixels are
// row-major with x fastest (see fits_image.h); values in image units (ADU),
// gain in electrons per ADU, read noise in ADU.
#pragma once

#include <cstddef>
#include <vector>

namespace tools {

// err = sqrt(max(signal, 0) / gain + sky / gain + readnoise^2), with signal the
// sky-subtracted pixel value: Poisson noise of star and sky electrons plus read
// noise, in ADU. A pixel of value exactly 0 (bad) gets error 0.
std::vector<float> errorImage(std::vector<float> const& image, double gain, double readNoise,
                              double sky);

// The background of an image from a sample of its non-zero pixels.
struct BackgroundEstimate {
    double level = 0;       // sigma-clipped median, image units
    double noise = 0;       // 1.4826 MAD of the clipped sample, image units
    double lowerNoise = 0;  // the same from the side below the level only
    size_t pixels = 0;      // sample pixels left after clipping
};

// Takes at most maxSample non-zero pixels on a regular stride, then clips
// values more than kClipSigma noise values from the median until nothing
// changes (at most kClipRounds rounds). Throws ToolError when fewer than
// kMinBackgroundPixels non-zero pixels exist.
BackgroundEstimate estimateBackground(std::vector<float> const& image, size_t maxSample);

// The sky level that explains the background noise of a sky-subtracted image:
// noise^2 = sky / gain + readnoise^2, so sky = gain (noise^2 - readnoise^2),
// at least 0.
double skyFromNoise(double noise, double gain, double readNoise);

constexpr double kClipSigma = 3.0;
constexpr int kClipRounds = 10;
constexpr size_t kMinBackgroundPixels = 16;
// Median absolute deviation to standard deviation for normal data: 1 / Phi^-1(3/4).
constexpr double kMadToSigma = 1.482602218505602;

}  // namespace tools
