// Cross-checks of the tangent-plane projection (readTanWcs + CCS_TAN) against
// wcslib, an independent implementation of the FITS world-coordinate conventions.
// Both sides read the same header keywords; wcslib parses them as FITS cards.
#include <gtest/gtest.h>
#include <wcslib/wcslib.h>

#include <cmath>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "sci/ccs_tan.h"
#include "sci/fits_card.h"
#include "sci/fits_writer.h"
#include "sci/tan_wcs.h"

namespace {

using Vec2 = sci::FVector<double, 2>;
using Header = std::map<std::string, double>;  // keyword (unpadded) -> value

// Required agreement with wcslib, on the sky and in pixels.
constexpr double kSkyTolDeg = 1e-9;
constexpr double kPixelTol = 1e-6;
// Pixel -> sky takes the declination from asin(z), which for points near a
// celestial pole has z near +-1. There a rounding error dz in z moves the angle by
//   sqrt(rho^2 + 2 dz) - rho  (radians; rho = distance from the reference point or pole),
// about 1.5e-8 radian at rho = 0 and dz / rho further out. dz is a few units of
// 2^-53, as z is a sum of two rounded products of rounded sines and cosines
// (4 units suffice on the points below; 8 leaves a margin).
constexpr double kAsinRoundingError = 8.0 * 1.1102230246251565e-16;

double asinLoss(double rho) {
    return std::sqrt(rho * rho + 2.0 * kAsinRoundingError) - std::fabs(rho);
}

// wcslib's reading of a header that holds the given keywords and a TAN CTYPE pair.
struct WcslibTan {
    explicit WcslibTan(Header const& header) {
        std::string cards = "CTYPE1  = 'RA---TAN'" + std::string(60, ' ') + "CTYPE2  = 'DEC--TAN'" +
                            std::string(60, ' ');
        for (auto const& [keyword, value] : header)
            cards += sci::FitsFloatCard(sci::fitsKeyword(keyword), value, true, "").writeCard();
        int nreject = 0;
        int const ncards = static_cast<int>(cards.size() / 80);
        status = wcspih(cards.data(), ncards, WCSHDR_all, 0, &nreject, &nwcs, &wcs);
        if (status == 0 && (nwcs < 1 || nreject != 0)) status = -1;
        if (status == 0) status = wcsset(wcs);
    }
    ~WcslibTan() { wcsvfree(&nwcs, &wcs); }

    // Pixel (FITS, first pixel 1) -> (ra, dec) degrees, or back; NaN where wcslib refuses.
    Vec2 convert(Vec2 const& from, bool toSky) const {
        double in[2] = {from(1), from(2)}, img[2], phi, theta, out[2];
        int stat = 0;
        int const result = toSky ? wcsp2s(wcs, 1, 2, in, img, &phi, &theta, out, &stat)
                                 : wcss2p(wcs, 1, 2, in, &phi, &theta, img, out, &stat);
        return result == 0 ? Vec2(out[0], out[1]) : Vec2(NAN, NAN);
    }

    int status = -1;
    int nwcs = 0;
    wcsprm* wcs = nullptr;
};

sci::TanWcs ourTan(Header const& header) {
    auto numbers = [&header](std::string const& key) -> std::optional<double> {
        auto const it = header.find(key.substr(0, key.find_last_not_of(' ') + 1));
        return it == header.end() ? std::nullopt : std::optional(it->second);
    };
    // Without CTYPE the projection is TAN.
    auto texts = [](std::string const&) -> std::optional<std::string> { return std::nullopt; };
    return sci::readTanWcs("xcheck.fits", numbers, texts);
}

// The forms in which an image header can carry its linear transformation.
enum class Form { kCd, kPc, kCrota2, kCdelt };

// A reference (ra0, dec0) at pixel (1024.5, 980.25), pixel scale `scale`
// degrees, the first axis flipped as on the sky, rotated by rho degrees and
// skewed a little.
struct Reference {
    double ra0, dec0, scale, rho, skew;
};

// A header of the reference in the given form: CDELT alone neither rotates
// nor skews, CROTA2 does not skew; CD is CDELT times PC.
Header makeHeader(Form form, Reference const& r) {
    double const rho = form == Form::kCdelt ? 0.0 : r.rho * sci::kDegToRad;
    double const skew = form == Form::kCd || form == Form::kPc ? r.skew : 0.0;
    double const pc[2][2] = {{std::cos(rho), -std::sin(rho) + skew},
                             {std::sin(rho), std::cos(rho)}};
    double const cdelt[2] = {-r.scale, r.scale * (1.0 + skew)};
    Header h = {{"CRVAL1", r.ra0}, {"CRVAL2", r.dec0}, {"CRPIX1", 1024.5}, {"CRPIX2", 980.25}};
    if (form != Form::kCd) h["CDELT1"] = cdelt[0], h["CDELT2"] = cdelt[1];
    if (form == Form::kCrota2) h["CROTA2"] = r.rho;
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j) {
            std::string const ij = std::to_string(i + 1) + "_" + std::to_string(j + 1);
            if (form == Form::kPc) h["PC" + ij] = pc[i][j];
            if (form == Form::kCd) h["CD" + ij] = cdelt[i] * pc[i][j];
        }
    return h;
}

// Compares ours with wcslib in both directions at the reference pixel, its
// near neighbourhood and pixels spread over a 2048 x 2048 image around it.
void crossCheck(Header const& header, std::mt19937_64& random) {
    std::uniform_real_distribution<double> coordinate(-1000.0, 3000.0);
    std::vector<Vec2> pixels = {Vec2(1024.5, 980.25), Vec2(1024.5 + 1e-3, 980.25),
                                Vec2(1025.5, 981.25), Vec2(1, 1), Vec2(2048, 2048)};
    for (int i = 0; i < 60; ++i) pixels.emplace_back(coordinate(random), coordinate(random));
    WcslibTan const theirs(header);
    ASSERT_EQ(theirs.status, 0);
    sci::TanWcs const ours = ourTan(header);
    ASSERT_TRUE(ours.warnings.empty());
    for (Vec2 const& pixel : pixels) {
        SCOPED_TRACE("pixel " + std::to_string(pixel(1)) + ", " + std::to_string(pixel(2)));
        Vec2 const sky = theirs.convert(pixel, true);
        // Pixel -> sky: dec, and ra modulo 360 as a distance on the sky.
        Vec2 const mine = ours.ccs.solve(pixel);
        double const skyTol =
            kSkyTolDeg + asinLoss((90.0 - std::fabs(sky(2))) * sci::kDegToRad) * sci::kRadToDeg;
        EXPECT_LE(std::fabs(mine(2) - sky(2)), skyTol);
        EXPECT_LE(
            std::fabs(std::remainder(mine(1) - sky(1), 360.0)) * std::cos(sky(2) * sci::kDegToRad),
            skyTol);
        // Sky -> pixel, against wcslib and against the pixel we started from.
        Vec2 const back = theirs.convert(sky, false);
        Vec2 const minePixel = ours.ccs.solve_inv(sky);
        for (int axis = 1; axis <= 2; ++axis) {
            EXPECT_LE(std::fabs(minePixel(axis) - back(axis)), kPixelTol);
            EXPECT_LE(std::fabs(minePixel(axis) - pixel(axis)), kPixelTol);
        }
    }
}

// Random references and pixels; references at the poles, the equator and
// the RA wrap, with large pixels so that the image reaches across RA 0/360
// and over the pole; rotations by multiples of 90 degrees (exact sines, row
// exchanges); wide fields, pixels of 0.01 degree putting the corners 20
// degrees out.
TEST(CcsTanXcheck, ProjectionsAgreeWithWcslib) {
    std::mt19937_64 random(20240611);
    std::uniform_real_distribution<double> ra(0.0, 360.0), dec(-89.0, 89.0), angle(-180.0, 180.0);
    std::uniform_real_distribution<double> logScale(-4.5, -2.5), skew(-0.02, 0.02);
    std::vector<Reference> references;
    for (int r = 0; r < 60; ++r)
        references.push_back({ra(random), dec(random), std::pow(10.0, logScale(random)),
                              angle(random), skew(random)});
    for (double ra0 : {0.0, 1e-7, 0.5, 180.0, 359.5, 359.9999999})
        for (double dec0 : {0.0, 89.9, -89.9, 90.0, -90.0, 45.0})
            references.push_back({ra0, dec0, 2e-3, 30.0, 0.0});
    for (double rho : {-270.0, -180.0, -90.0, 0.0, 90.0, 180.0, 270.0})
        references.push_back({210.0, -35.0, 1e-4, rho, 0.0});
    for (double dec0 : {-60.0, 0.0, 75.0}) references.push_back({12.0, dec0, 1e-2, -20.0, 0.01});
    for (Form form : {Form::kCd, Form::kPc, Form::kCrota2, Form::kCdelt})
        for (Reference const& r : references) crossCheck(makeHeader(form, r), random);
}

}  // namespace
