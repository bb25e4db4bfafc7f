// Mock fields against the psfpick fit: isolated bright stars of a noisy,
// pixel-integrated mock field, cut and fitted as psfpick does (stamp of half
// side 12 around the nearest pixel, beta held at 2.9, background 0, the error
// image as weights), return the truth's widths and angle.
#include <gtest/gtest.h>

#include <cmath>

#include "fit/moffat.h"
#include "sci/marray.h"
#include "tests/support/float_compare.h"
#include "tools/mock_field.h"

namespace {

constexpr int kBoxlen = 12;
constexpr double kRadToDeg = 180.0 / 3.141592653589793;
// The mean FWHM within 2 % of the truth. Pixel integration widens a 5-pixel
// star by about 1 % (the pixel's own width, 1/sqrt(12) px rms, added in
// quadrature); the noise at these fluxes adds a few tenths of a percent.
constexpr double kFwhmTolerance = 0.02;
constexpr double kAngleToleranceDeg = 3.0;
constexpr double kIsolation = 30.0;  // pixels to the nearest other source

TEST(MockRecovery, PsfpickFitReturnsTheTruthOfIsolatedStars) {
    tools::MockConfig c;
    c.nx = c.ny = 512;
    c.sources = 120;
    c.seed = 21;
    c.fwhm = 5.0;
    c.ellipticity = 0.15;
    c.angle = 30.0;
    c.fluxRange = {1e5, 4e5};
    c.pairFraction = 0;
    c.badColumns = c.badRows = 0;
    c.badPixelFraction = 0;
    tools::MockField const f = tools::makeMockField(c);
    int fitted = 0;
    for (tools::MockSource const& s : f.sources) {
        long const ix = std::lround(s.catX), iy = std::lround(s.catY);
        if (ix <= kBoxlen || iy <= kBoxlen || ix > c.nx - kBoxlen || iy > c.ny - kBoxlen) continue;
        bool isolated = !s.saturated;
        for (tools::MockSource const& o : f.sources)
            if (o.id != s.id && std::hypot(o.x - s.x, o.y - s.y) < kIsolation) isolated = false;
        if (!isolated) continue;
        sci::MArray<float, 2> image(sci::Range(-kBoxlen, kBoxlen), sci::Range(-kBoxlen, kBoxlen));
        sci::MArray<float, 2> error(sci::Range(-kBoxlen, kBoxlen), sci::Range(-kBoxlen, kBoxlen));
        for (int j = -kBoxlen; j <= kBoxlen; ++j)
            for (int i = -kBoxlen; i <= kBoxlen; ++i) {
                size_t const k = static_cast<size_t>((iy + j - 1) * c.nx + (ix + i - 1));
                image(i, j) = f.image[k];
                error(i, j) = f.error[k];
            }
        float surface = 0, ax = 0, ay = 0;
        float xcen = static_cast<float>(s.catX), ycen = static_cast<float>(s.catY);
        float amplitude = 0, xscale = 0, yscale = 0, angle = 0, beta = 0, nchi = 0;
        int const status = fmoffat(image, error, surface, ax, ay, 2.9f, 2.9f, 1.0f, 20.0f, xcen,
                                   ycen, amplitude, xscale, yscale, angle, beta, nchi, 0);
        ASSERT_EQ(status, kMoffatOk) << "source " << s.id;
        double const k = 2.0 * std::sqrt(std::pow(2.0, 1.0 / beta) - 1.0);
        double f1 = 0, f2 = 0, a = 0;
        tools::psfAxes(s.shape, f1, f2, a);
        EXPECT_CLOSE(0.5 * (k / xscale + k / yscale), 0.5 * (f1 + f2), kFwhmTolerance)
            << "source " << s.id;
        EXPECT_NEAR(angle * kRadToDeg, a, kAngleToleranceDeg) << "source " << s.id;
        // A correct model with correct errors: nchi near 1.
        EXPECT_GT(nchi, 0.85);
        EXPECT_LT(nchi, 1.25);
        ++fitted;
    }
    EXPECT_GE(fitted, 20);
}

}  // namespace
