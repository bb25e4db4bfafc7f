#include "sci/tan_wcs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "sci/exceptions.h"
#include "tests/support/float_compare.h"
#include "tests/support/messages.h"

namespace {

using Vec2 = sci::FVector<double, 2>;
using Mat2 = sci::FMatrix<double, 2, 2>;

// Two ways to the same linear transformation differ by the rounding of a
// quotient and a product: a few units of 1e-16, relative.
constexpr double kSameTransformTol = 1e-13;
// Pixel -> sky -> pixel through one projection, 500 to 1500 pixels of up to
// 2e-4 degree from the reference: asin near 1 costs at most ~1e-7 pixel there.
constexpr double kRoundTripPixelTol = 1e-6;

// An image header: numeric and text keywords under their 8-character fields,
// with the reference (150, 30) at pixel (100.5, 200.25).
struct FakeHeader {
    std::map<std::string, double> numbers = {
        {"CRVAL1  ", 150.0}, {"CRVAL2  ", 30.0}, {"CRPIX1  ", 100.5}, {"CRPIX2  ", 200.25}};
    std::map<std::string, std::string> texts = {{"CTYPE1  ", "RA---TAN"}, {"CTYPE2  ", "DEC--TAN"}};
    // Keywords whose lookup throws, as the header reader does for a junk card.
    std::set<std::string> broken;

    // This header with more numeric keywords (names without their padding).
    FakeHeader with(std::map<std::string, double> const& more) const {
        FakeHeader h = *this;
        for (auto const& [key, value] : more)
            h.numbers[key + std::string(8 - key.size(), ' ')] = value;
        return h;
    }

    sci::TanWcs read() const {
        return sci::readTanWcs(
            "img.fits", [this](std::string const& key) { return find_(numbers, key); },
            [this](std::string const& key) { return find_(texts, key); });
    }

    // The message readTanWcs throws, or "" when it does not.
    std::string readError() const {
        return testsupport::messageOf<sci::FitsException>([this] { read(); });
    }

    template <class T>
    std::optional<T> find_(std::map<std::string, T> const& values, std::string const& key) const {
        if (broken.count(key)) throw sci::FitsException("value of '" + key + "' is bad");
        auto const it = values.find(key);
        if (it == values.end()) return std::nullopt;
        return it->second;
    }
};

std::vector<Vec2> samplePixels() {
    std::mt19937_64 random(42);
    std::uniform_real_distribution<double> offset(500, 1500);
    std::bernoulli_distribution flip(0.5);
    std::vector<Vec2> pixels = {Vec2(100.5, 200.25), Vec2(-3, 4000)};
    for (int i = 0; i < 200; ++i)
        pixels.emplace_back(100.5 + (flip(random) ? 1 : -1) * offset(random),
                            200.25 + (flip(random) ? 1 : -1) * offset(random));
    return pixels;
}

// Both directions give bit for bit what a projection with pc = identity and the
// given cdelt gives: the arithmetic of a header without off-diagonal terms. So a
// header with CDELTi and one with CDi_i of the same values give the same results.
void expectSameAsDiagonal(FakeHeader const& header, double cdelt1, double cdelt2) {
    sci::TanWcs const wcs = header.read();
    EXPECT_EQ(wcs.crval, Vec2(150, 30));
    EXPECT_EQ(wcs.crpix, Vec2(100.5, 200.25));
    EXPECT_EQ(wcs.pc, Mat2::identity());
    EXPECT_FALSE(std::signbit(wcs.pc(1, 2)));
    EXPECT_FALSE(std::signbit(wcs.pc(2, 1)));
    EXPECT_EQ(wcs.cdelt, Vec2(cdelt1, cdelt2));
    sci::CCS_TAN const plain(Vec2(100.5, 200.25), Mat2::identity(), Vec2(cdelt1, cdelt2),
                             Vec2(150, 30));
    for (Vec2 const& pixel : samplePixels()) {
        Vec2 const sky = plain.solve(pixel);
        EXPECT_EQ(wcs.ccs.solve(pixel), sky);
        EXPECT_EQ(wcs.ccs.solve_inv(sky), plain.solve_inv(sky));
    }
}

// Both projections agree (up to rounding) on every sample pixel, both ways.
void expectSameProjection(sci::TanWcs const& a, sci::TanWcs const& b) {
    for (Vec2 const& pixel : samplePixels()) {
        Vec2 const skyA = a.ccs.solve(pixel), skyB = b.ccs.solve(pixel);
        EXPECT_CLOSE(skyA(1), skyB(1), kSameTransformTol);
        EXPECT_CLOSE(skyA(2), skyB(2), kSameTransformTol);
        Vec2 const back = a.ccs.solve_inv(skyB);
        EXPECT_CLOSE(back(1), pixel(1), kRoundTripPixelTol);
        EXPECT_CLOSE(back(2), pixel(2), kRoundTripPixelTol);
    }
}

// Diagonal CD, CDELT alone, and CDELT with a PC or CROTA2 that does not rotate
// (off-diagonal terms present but zero, of either sign).
TEST(TanWcs, HeadersWithoutRotationAreExactlyDiagonal) {
    struct Case {
        std::map<std::string, double> keywords;
        sci::LinearKeywords source;
    };
    std::vector<Case> const cases = {
        {{{"CD1_1", -1.2e-4}, {"CD2_2", 1.1e-4}}, sci::LinearKeywords::kCd},
        {{{"CD1_1", -1.2e-4}, {"CD2_2", 1.1e-4}, {"CD1_2", -0.0}, {"CD2_1", 0.0}},
         sci::LinearKeywords::kCd},
        {{{"CDELT1", -1.2e-4}, {"CDELT2", 1.1e-4}}, sci::LinearKeywords::kCdelt},
        {{{"CDELT1", -1.2e-4}, {"CDELT2", 1.1e-4}, {"CROTA2", 0.0}},
         sci::LinearKeywords::kCdeltCrota2},
        {{{"CDELT1", -1.2e-4}, {"CDELT2", 1.1e-4}, {"CROTA2", 360.0}},
         sci::LinearKeywords::kCdeltCrota2},
        {{{"CDELT1", -1.2e-4}, {"CDELT2", 1.1e-4}, {"PC1_1", 1}, {"PC1_2", -0.0}, {"PC2_2", 1}},
         sci::LinearKeywords::kCdeltPc},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE("case " + std::to_string(&c - &cases[0]));
        FakeHeader const h = FakeHeader().with(c.keywords);
        EXPECT_EQ(h.read().source, c.source);
        expectSameAsDiagonal(h, -1.2e-4, 1.1e-4);
    }
}

TEST(TanWcs, SkyToPixelUsesTheSameSignsAsPixelToSky) {
    // One step north on the sky is one step along +y when CD2_2 > 0, in both
    // directions; a flipped sign would send it to y = 190.25.
    for (std::string const key : {"CD", "CDELT"}) {
        bool const cd = key == "CD";
        sci::TanWcs const wcs =
            FakeHeader()
                .with({{cd ? "CD1_1" : "CDELT1", -1e-4}, {cd ? "CD2_2" : "CDELT2", 1e-4}})
                .read();
        Vec2 const north = wcs.ccs.solve_inv(Vec2(150, 30.001));
        EXPECT_CLOSE(north(1), 100.5, kRoundTripPixelTol) << key;
        EXPECT_CLOSE(north(2), 210.25, kRoundTripPixelTol) << key;
        Vec2 const west = wcs.ccs.solve_inv(wcs.ccs.solve(Vec2(1100.5, 200.25)));
        EXPECT_CLOSE(west(1), 1100.5, kRoundTripPixelTol) << key;
        EXPECT_CLOSE(west(2), 200.25, kRoundTripPixelTol) << key;
    }
}

TEST(TanWcs, GeneralCdIsSplitIntoRowScalesAndPc) {
    sci::TanWcs const wcs =
        FakeHeader()
            .with({{"CD1_1", -1.5e-4}, {"CD1_2", 0.5e-4}, {"CD2_1", 0.25e-4}, {"CD2_2", 2e-4}})
            .read();
    EXPECT_EQ(wcs.cdelt, Vec2(-1.5e-4, 2e-4));
    EXPECT_EQ(wcs.pc, Mat2(1, 0.5e-4 / -1.5e-4, 0.25e-4 / 2e-4, 1));
    // A projection handed the whole CD as M with unit scales is the same map.
    expectSameProjection(wcs, FakeHeader()
                                  .with({{"CDELT1", 1.0},
                                         {"CDELT2", 1.0},
                                         {"PC1_1", -1.5e-4},
                                         {"PC1_2", 0.5e-4},
                                         {"PC2_1", 0.25e-4},
                                         {"PC2_2", 2e-4}})
                                  .read());
}

TEST(TanWcs, CdRotatedBy90DegreesScalesRowsByTheOffDiagonalTerms) {
    // CDELT1 = -1e-4, CDELT2 = 1.2e-4 rotated by 90 degrees:
    // CD = [0, -CDELT2; CDELT1, 0].
    sci::TanWcs const wcs =
        FakeHeader()
            .with({{"CD1_1", 0.0}, {"CD1_2", -1.2e-4}, {"CD2_1", -1e-4}, {"CD2_2", 0.0}})
            .read();
    EXPECT_EQ(wcs.cdelt, Vec2(-1.2e-4, -1e-4));
    EXPECT_EQ(wcs.pc, Mat2(0, 1, 1, 0));
    expectSameProjection(
        wcs, FakeHeader().with({{"CDELT1", -1e-4}, {"CDELT2", 1.2e-4}, {"CROTA2", 90.0}}).read());
    // 10 pixels along +y go CD1_2 * 10 = -1.2e-3 degree along the plane's x axis
    // (west) and none along y. Gnomonic projection with eta = 0:
    // ra = ra0 + atan2(xi, cos dec0), dec = atan2(sin dec0, hypot(xi, cos dec0)).
    double const xi = -1.2e-3 * sci::kDegToRad, dec0 = 30 * sci::kDegToRad;
    Vec2 const sky = wcs.ccs.solve(Vec2(100.5, 210.25));
    EXPECT_CLOSE(sky(1), 150.0 + std::atan2(xi, std::cos(dec0)) * sci::kRadToDeg,
                 kSameTransformTol);
    EXPECT_CLOSE(sky(2),
                 std::atan2(std::sin(dec0), std::hypot(xi, std::cos(dec0))) * sci::kRadToDeg,
                 kSameTransformTol);
}

TEST(TanWcs, PcAndCrota2FollowTheFitsConventions) {
    double const cdelt1 = -1e-4, cdelt2 = 1.5e-4, rho = 25.0;
    double const c = std::cos(rho * sci::kDegToRad), s = std::sin(rho * sci::kDegToRad);
    // CD1_1 = CDELT1 cos, CD1_2 = -CDELT2 sin, CD2_1 = CDELT1 sin, CD2_2 = CDELT2 cos;
    // CDi_j = CDELTi PCi_j.
    sci::TanWcs const cd = FakeHeader()
                               .with({{"CD1_1", cdelt1 * c},
                                      {"CD1_2", -cdelt2 * s},
                                      {"CD2_1", cdelt1 * s},
                                      {"CD2_2", cdelt2 * c}})
                               .read();
    FakeHeader const scaled = FakeHeader().with({{"CDELT1", cdelt1}, {"CDELT2", cdelt2}});
    sci::TanWcs const crota = scaled.with({{"CROTA2", rho}}).read();
    sci::TanWcs const pc = scaled
                               .with({{"PC1_1", c},
                                      {"PC1_2", -cdelt2 / cdelt1 * s},
                                      {"PC2_1", cdelt1 / cdelt2 * s},
                                      {"PC2_2", c}})
                               .read();
    expectSameProjection(cd, crota);
    expectSameProjection(cd, pc);
    EXPECT_EQ(crota.cdelt, Vec2(cdelt1, cdelt2));
    EXPECT_EQ(pc.cdelt, Vec2(cdelt1, cdelt2));
}

TEST(TanWcs, KeywordsTakePrecedenceCdThenPcThenCrota2) {
    FakeHeader h =
        FakeHeader().with({{"CDELT1", -1e-4}, {"CDELT2", 1e-4}, {"CROTA2", 30.0}, {"PC2_1", 0.1}});
    EXPECT_EQ(h.read().source, sci::LinearKeywords::kCdeltPc);
    EXPECT_EQ(h.read().pc, Mat2(1, 0, 0.1, 1));  // missing PCi_i are 1, PCi_j 0
    h = h.with({{"CD1_1", -3e-4}});
    EXPECT_EQ(h.read().source, sci::LinearKeywords::kCdeltPc);  // CD needs CD2_2 too
    h = h.with({{"CD2_2", 3e-4}});
    EXPECT_EQ(h.read().source, sci::LinearKeywords::kCd);
    EXPECT_EQ(h.read().cdelt, Vec2(-3e-4, 3e-4));
}

TEST(TanWcs, MissingKeywordsAreNamedWithTheirBlanks) {
    FakeHeader h;
    EXPECT_EQ(h.readError(), "cannot find keyword 'CDELT1  '");
    h = h.with({{"CD1_1", 1e-4}});  // without CD2_2 the CD pair does not count
    EXPECT_EQ(h.readError(), "cannot find keyword 'CDELT1  '");
    h = h.with({{"CDELT1", 1e-4}});
    EXPECT_EQ(h.readError(), "cannot find keyword 'CDELT2  '");
    h = h.with({{"CDELT2", 1e-4}});
    EXPECT_EQ(h.readError(), "");
    for (char const* key : {"CRVAL1  ", "CRVAL2  ", "CRPIX1  ", "CRPIX2  "}) {
        FakeHeader missing = h;
        missing.numbers.erase(key);
        EXPECT_EQ(missing.readError(), sci::missingKeywordMessage(key));
        EXPECT_EQ(missing.readError(), "cannot find keyword '" + std::string(key) + "'");
    }
}

// A header whose rotation keywords and CTYPE cannot be read reads like one
// without them; errors of the keywords the projection needs pass unchanged.
TEST(TanWcs, UnreadableOptionalKeywordsCountAsAbsent) {
    FakeHeader h = FakeHeader().with({{"CDELT1", -1e-4}, {"CDELT2", 1e-4}});
    h.broken = {"PC1_1   ", "PC2_1   ", "CROTA2  ", "CTYPE1  "};
    sci::TanWcs const wcs = h.read();
    EXPECT_EQ(wcs.source, sci::LinearKeywords::kCdelt);
    EXPECT_TRUE(wcs.warnings.empty());
    for (char const* key : {"CRVAL2  ", "CRPIX1  "}) {
        h.broken = {key};
        EXPECT_EQ(h.readError(), "value of '" + std::string(key) + "' is bad");
    }
}

TEST(TanWcs, SingularCdMakesSkyToPixelThrow) {
    sci::TanWcs const wcs =
        FakeHeader()
            .with({{"CD1_1", 1e-4}, {"CD1_2", 1e-4}, {"CD2_1", 2e-4}, {"CD2_2", 2e-4}})
            .read();
    EXPECT_EQ(testsupport::messageOf<sci::SingularMatrixException>(
                  [&] { wcs.ccs.solve_inv(Vec2(150.01, 30.01)); }),
              "Singular matrix in Gauss-Jordan");
}

TEST(TanWcs, NonTanProjectionsGiveOneWarningLine) {
    FakeHeader h = FakeHeader().with({{"CDELT1", -1e-4}, {"CDELT2", 1e-4}});
    EXPECT_TRUE(h.read().warnings.empty());
    h.texts["CTYPE1  "] = "RA---TAN    ";  // trailing blanks carry no meaning
    EXPECT_TRUE(h.read().warnings.empty());
    h.texts.clear();  // no CTYPE at all: TAN is assumed silently
    EXPECT_TRUE(h.read().warnings.empty());

    h.texts = {{"CTYPE1  ", "RA---SIN"}, {"CTYPE2  ", "DEC--TAN-SIP"}};
    EXPECT_EQ(h.read().warnings,
              std::vector<std::string>{"warning: image 'img.fits' has CTYPE1 'RA---SIN' and CTYPE2 "
                                       "'DEC--TAN-SIP', not a TAN projection; using TAN"});
    h.texts["CTYPE1  "] = "RA---TAN";
    EXPECT_EQ(h.read().warnings,
              std::vector<std::string>{"warning: image 'img.fits' has CTYPE2 'DEC--TAN-SIP', not "
                                       "a TAN projection; using TAN"});
}

}  // namespace
