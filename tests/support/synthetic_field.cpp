#include "tests/support/synthetic_field.h"

#include <cmath>
#include <cstdio>

#include "tests/support/moffat_star.h"

namespace testsupport {

uint64_t GaussianNoise::step_() {
    return state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
}

double GaussianNoise::next() {
    // Two uniform deviates with 53 random bits each, the first in (0, 1].
    double const u1 = (static_cast<double>(step_() >> 11) + 1.0) / 9007199254740993.0;
    double const u2 = static_cast<double>(step_() >> 11) / 9007199254740992.0;
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * M_PI * u2);
}

double GaussianNoise::uniform(double lo, double hi) {
    return lo + (hi - lo) * (static_cast<double>(step_() >> 11) + 0.5) / 9007199254740992.0;
}

std::vector<double> moffatField(int nx, int ny, std::vector<FieldStar> const& stars, double fwhm,
                                double beta, double sigma, double sky, uint64_t seed) {
    std::vector<MoffatStar> profiles;
    for (FieldStar const& s : stars) {
        MoffatStar m;
        m.fwhm1 = m.fwhm2 = fwhm;
        m.beta = beta;
        m.cx = s.x;
        m.cy = s.y;
        m.amplitude = m.amplitudeOfFlux(s.flux);
        profiles.push_back(m);
    }
    GaussianNoise noise(seed);
    std::vector<double> pixels;
    pixels.reserve(static_cast<size_t>(nx) * static_cast<size_t>(ny));
    for (int y = 1; y <= ny; ++y)
        for (int x = 1; x <= nx; ++x) {
            double v = sky + sigma * noise.next();
            for (MoffatStar const& m : profiles) v += m.value(x, y);
            pixels.push_back(static_cast<float>(v));
        }
    return pixels;
}

// "%-8s= %20.12G", the way other programs write a number card.
static std::string numberCard(std::string const& key, double value) {
    char text[81];
    std::snprintf(text, sizeof text, "%-8s= %20.12G", key.c_str(), value);
    return text;
}

std::vector<std::string> tanCards(double crval1, double crval2, double crpix, double scale) {
    return {"CTYPE1  = 'RA---TAN'",       "CTYPE2  = 'DEC--TAN'",      numberCard("CRVAL1", crval1),
            numberCard("CRVAL2", crval2), numberCard("CRPIX1", crpix), numberCard("CRPIX2", crpix),
            numberCard("CD1_1", -scale),  numberCard("CD2_2", scale)};
}

std::string catalogueText(std::vector<FieldStar> const& stars) {
    std::string text = "# id x y RA DEC flux flags class_star\n";
    for (FieldStar const& s : stars) {
        char row[160];
        std::snprintf(row, sizeof row, "%d %.1f %.1f 0 0 %.1f %d %.2f\n", s.id, s.x, s.y, s.flux,
                      s.flag, s.classStar);
        text += row;
    }
    return text;
}

}  // namespace testsupport
