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

namespace {

using Vec2 = sci::FVector<double, 2>;
using Mat2 = sci::FMatrix<double, 2, 2>;

// Two ways to the same linear transformation differ by the rounding of a
// quotient and a product: a few units of 1e-16, relative.
constexpr double kSameTransformTol = 1e-13;
// Pixel -> sky -> pixel through one projection, 500 to 1500 pixels of up to
// 2e-4 degree from the reference: asin near 1 costs at most ~1e-7 pixel there.
constexpr double kRoundTripPixelTol = 1e-6;

// An image header: numeric and text keywords under their 8-character fields.
struct FakeHeader {
    std::map<std::string, double> numbers;
    std::map<std::string, std::string> texts = {{"CTYPE1  ", "RA---TAN"}, {"CTYPE2  ", "DEC--TAN"}};

    // Reference (150, 30) at pixel (100.5, 200.25).
    static FakeHeader withReference() {
        FakeHeader h;
        h.numbers = {
            {"CRVAL1  ", 150.0}, {"CRVAL2  ", 30.0}, {"CRPIX1  ", 100.5}, {"CRPIX2  ", 200.25}};
        return h;
    }

    sci::TanWcs read(std::string const& name = "img.fits") const {
        auto number = [this](std::string const& key) -> std::optional<double> {
            auto const it = numbers.find(key);
            if (it == numbers.end()) return std::nullopt;
            return it->second;
        };
        auto text = [this](std::string const& key) -> std::optional<std::string> {
            auto const it = texts.find(key);
            if (it == texts.end()) return std::nullopt;
            return it->second;
        };
        return sci::readTanWcs(name, number, text);
    }

    // The message readTanWcs throws, or "" when it does not.
    std::string readError() const {
        try {
            read();
        } catch (sci::FitsException const& e) {
            return e.what();
        }
        return "";
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
void expectSameAsDiagonal(sci::TanWcs const& wcs, double cdelt1, double cdelt2) {
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

TEST(TanWcs, DiagonalCdIsExactlyTheIdentityWithCdAsScale) {
    FakeHeader h = FakeHeader::withReference();
    h.numbers["CD1_1   "] = -1.2e-4;
    h.numbers["CD2_2   "] = 1.1e-4;
    sci::TanWcs const wcs = h.read();
    EXPECT_EQ(wcs.source, sci::LinearKeywords::kCd);
    EXPECT_EQ(wcs.crval, Vec2(150, 30));
    EXPECT_EQ(wcs.crpix, Vec2(100.5, 200.25));
    expectSameAsDiagonal(wcs, -1.2e-4, 1.1e-4);

    // Off-diagonal terms that are present but zero, of either sign, change nothing.
    h.numbers["CD1_2   "] = -0.0;
    h.numbers["CD2_1   "] = 0.0;
    expectSameAsDiagonal(h.read(), -1.2e-4, 1.1e-4);
}

TEST(TanWcs, CdeltAloneOrWithTrivialPcOrCrota2IsExactlyDiagonal) {
    FakeHeader h = FakeHeader::withReference();
    h.numbers["CDELT1  "] = -1.2e-4;
    h.numbers["CDELT2  "] = 1.1e-4;
    EXPECT_EQ(h.read().source, sci::LinearKeywords::kCdelt);
    expectSameAsDiagonal(h.read(), -1.2e-4, 1.1e-4);

    FakeHeader rotated = h;
    rotated.numbers["CROTA2  "] = 0.0;
    EXPECT_EQ(rotated.read().source, sci::LinearKeywords::kCdeltCrota2);
    expectSameAsDiagonal(rotated.read(), -1.2e-4, 1.1e-4);
    rotated.numbers["CROTA2  "] = 360.0;
    expectSameAsDiagonal(rotated.read(), -1.2e-4, 1.1e-4);

    FakeHeader withPc = h;
    withPc.numbers["PC1_1   "] = 1.0;
    withPc.numbers["PC1_2   "] = -0.0;
    withPc.numbers["PC2_2   "] = 1.0;
    EXPECT_EQ(withPc.read().source, sci::LinearKeywords::kCdeltPc);
    expectSameAsDiagonal(withPc.read(), -1.2e-4, 1.1e-4);
}

TEST(TanWcs, SkyToPixelUsesTheSameSignsAsPixelToSky) {
    // One step north on the sky is one step along +y when CD2_2 > 0, in both
    // directions; a flipped sign would send it to y = 190.25.
    for (char const* key : {"CD", "CDELT"}) {
        FakeHeader h = FakeHeader::withReference();
        bool const cd = std::string(key) == "CD";
        h.numbers[cd ? "CD1_1   " : "CDELT1  "] = -1e-4;
        h.numbers[cd ? "CD2_2   " : "CDELT2  "] = 1e-4;
        sci::TanWcs const wcs = h.read();
        Vec2 const north = wcs.ccs.solve_inv(Vec2(150, 30.001));
        EXPECT_CLOSE(north(1), 100.5, kRoundTripPixelTol) << key;
        EXPECT_CLOSE(north(2), 210.25, kRoundTripPixelTol) << key;
        Vec2 const west = wcs.ccs.solve_inv(wcs.ccs.solve(Vec2(1100.5, 200.25)));
        EXPECT_CLOSE(west(1), 1100.5, kRoundTripPixelTol) << key;
        EXPECT_CLOSE(west(2), 200.25, kRoundTripPixelTol) << key;
    }
}

TEST(TanWcs, GeneralCdIsSplitIntoRowScalesAndPc) {
    FakeHeader h = FakeHeader::withReference();
    h.numbers["CD1_1   "] = -1.5e-4;
    h.numbers["CD1_2   "] = 0.5e-4;
    h.numbers["CD2_1   "] = 0.25e-4;
    h.numbers["CD2_2   "] = 2e-4;
    sci::TanWcs const wcs = h.read();
    EXPECT_EQ(wcs.cdelt, Vec2(-1.5e-4, 2e-4));
    EXPECT_EQ(wcs.pc, Mat2(1, 0.5e-4 / -1.5e-4, 0.25e-4 / 2e-4, 1));
    // A projection handed the whole CD as M with unit scales is the same map.
    FakeHeader unit = FakeHeader::withReference();
    unit.numbers["CDELT1  "] = 1.0;
    unit.numbers["CDELT2  "] = 1.0;
    unit.numbers["PC1_1   "] = -1.5e-4;
    unit.numbers["PC1_2   "] = 0.5e-4;
    unit.numbers["PC2_1   "] = 0.25e-4;
    unit.numbers["PC2_2   "] = 2e-4;
    expectSameProjection(wcs, unit.read());
}

TEST(TanWcs, CdRotatedBy90DegreesScalesRowsByTheOffDiagonalTerms) {
    // CDELT1 = -1e-4, CDELT2 = 1.2e-4 rotated by 90 degrees:
    // CD = [0, -CDELT2; CDELT1, 0].
    FakeHeader h = FakeHeader::withReference();
    h.numbers["CD1_1   "] = 0.0;
    h.numbers["CD1_2   "] = -1.2e-4;
    h.numbers["CD2_1   "] = -1e-4;
    h.numbers["CD2_2   "] = 0.0;
    sci::TanWcs const wcs = h.read();
    EXPECT_EQ(wcs.cdelt, Vec2(-1.2e-4, -1e-4));
    EXPECT_EQ(wcs.pc, Mat2(0, 1, 1, 0));
    FakeHeader crota = FakeHeader::withReference();
    crota.numbers["CDELT1  "] = -1e-4;
    crota.numbers["CDELT2  "] = 1.2e-4;
    crota.numbers["CROTA2  "] = 90.0;
    expectSameProjection(wcs, crota.read());
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
    // CD1_1 = CDELT1 cos, CD1_2 = -CDELT2 sin, CD2_1 = CDELT1 sin, CD2_2 = CDELT2 cos.
    FakeHeader cd = FakeHeader::withReference();
    cd.numbers["CD1_1   "] = cdelt1 * c;
    cd.numbers["CD1_2   "] = -cdelt2 * s;
    cd.numbers["CD2_1   "] = cdelt1 * s;
    cd.numbers["CD2_2   "] = cdelt2 * c;
    FakeHeader crota = FakeHeader::withReference();
    crota.numbers["CDELT1  "] = cdelt1;
    crota.numbers["CDELT2  "] = cdelt2;
    crota.numbers["CROTA2  "] = rho;
    // CDi_j = CDELTi PCi_j.
    FakeHeader pc = FakeHeader::withReference();
    pc.numbers["CDELT1  "] = cdelt1;
    pc.numbers["CDELT2  "] = cdelt2;
    pc.numbers["PC1_1   "] = c;
    pc.numbers["PC1_2   "] = -cdelt2 / cdelt1 * s;
    pc.numbers["PC2_1   "] = cdelt1 / cdelt2 * s;
    pc.numbers["PC2_2   "] = c;
    sci::TanWcs const a = cd.read();
    expectSameProjection(a, crota.read());
    expectSameProjection(a, pc.read());
    EXPECT_EQ(crota.read().cdelt, Vec2(cdelt1, cdelt2));
    EXPECT_EQ(pc.read().cdelt, Vec2(cdelt1, cdelt2));
}

TEST(TanWcs, KeywordsTakePrecedenceCdThenPcThenCrota2) {
    FakeHeader h = FakeHeader::withReference();
    h.numbers["CDELT1  "] = -1e-4;
    h.numbers["CDELT2  "] = 1e-4;
    h.numbers["CROTA2  "] = 30.0;
    h.numbers["PC2_1   "] = 0.1;
    EXPECT_EQ(h.read().source, sci::LinearKeywords::kCdeltPc);
    EXPECT_EQ(h.read().pc, Mat2(1, 0, 0.1, 1));  // missing PCi_i are 1, PCi_j 0
    h.numbers["CD1_1   "] = -3e-4;
    EXPECT_EQ(h.read().source, sci::LinearKeywords::kCdeltPc);  // CD needs CD2_2 too
    h.numbers["CD2_2   "] = 3e-4;
    EXPECT_EQ(h.read().source, sci::LinearKeywords::kCd);
    EXPECT_EQ(h.read().cdelt, Vec2(-3e-4, 3e-4));
}

TEST(TanWcs, MissingKeywordsAreNamedWithTheirBlanks) {
    FakeHeader h = FakeHeader::withReference();
    EXPECT_EQ(h.readError(), "cannot find keyword 'CDELT1  '");
    h.numbers["CD1_1   "] = 1e-4;  // without CD2_2 the CD pair does not count
    EXPECT_EQ(h.readError(), "cannot find keyword 'CDELT1  '");
    h.numbers["CDELT1  "] = 1e-4;
    EXPECT_EQ(h.readError(), "cannot find keyword 'CDELT2  '");
    h.numbers["CDELT2  "] = 1e-4;
    EXPECT_EQ(h.readError(), "");
    for (char const* key : {"CRVAL1  ", "CRVAL2  ", "CRPIX1  ", "CRPIX2  "}) {
        FakeHeader missing = h;
        missing.numbers.erase(key);
        EXPECT_EQ(missing.readError(), sci::missingKeywordMessage(key));
        EXPECT_EQ(missing.readError(), "cannot find keyword '" + std::string(key) + "'");
    }
}

TEST(TanWcs, ErrorsOfTheLookupPassUnchanged) {
    auto number = [](std::string const& key) -> std::optional<double> {
        if (key == "CRPIX1  ")
            throw sci::FitsException("value of 'CRPIX1  ' is no valid floating point number");
        return 1.0;
    };
    auto text = [](std::string const&) -> std::optional<std::string> { return std::nullopt; };
    try {
        sci::readTanWcs("img.fits", number, text);
        ADD_FAILURE() << "no exception";
    } catch (sci::FitsException const& e) {
        EXPECT_STREQ(e.what(), "value of 'CRPIX1  ' is no valid floating point number");
    }
}

TEST(TanWcs, SingularCdMakesSkyToPixelThrow) {
    FakeHeader h = FakeHeader::withReference();
    h.numbers["CD1_1   "] = 1e-4;
    h.numbers["CD1_2   "] = 1e-4;
    h.numbers["CD2_1   "] = 2e-4;
    h.numbers["CD2_2   "] = 2e-4;
    sci::TanWcs const wcs = h.read();
    try {
        wcs.ccs.solve_inv(Vec2(150.01, 30.01));
        ADD_FAILURE() << "no exception";
    } catch (sci::SingularMatrixException const& e) {
        EXPECT_STREQ(e.what(), "Singular matrix in Gauss-Jordan");
    }
}

TEST(TanWcs, NonTanProjectionsGiveOneWarningLine) {
    FakeHeader h = FakeHeader::withReference();
    h.numbers["CDELT1  "] = -1e-4;
    h.numbers["CDELT2  "] = 1e-4;
    EXPECT_TRUE(h.read().warnings.empty());
    h.texts["CTYPE1  "] = "RA---TAN    ";  // trailing blanks carry no meaning
    EXPECT_TRUE(h.read().warnings.empty());
    h.texts.clear();  // no CTYPE at all: TAN is assumed silently
    EXPECT_TRUE(h.read().warnings.empty());

    h.texts["CTYPE1  "] = "RA---SIN";
    h.texts["CTYPE2  "] = "DEC--TAN-SIP";
    std::vector<std::string> const both = {
        "warning: image 'img.fits' has CTYPE1 'RA---SIN' and CTYPE2 'DEC--TAN-SIP', not a TAN "
        "projection; using TAN"};
    EXPECT_EQ(h.read().warnings, both);
    h.texts["CTYPE1  "] = "RA---TAN";
    std::vector<std::string> const one = {
        "warning: image 'img.fits' has CTYPE2 'DEC--TAN-SIP', not a TAN projection; using TAN"};
    EXPECT_EQ(h.read().warnings, one);
}

TEST(TanWcs, UnreadableOptionalKeywordsCountAsAbsent) {
    // A header whose rotation keywords and CTYPE cannot be read (the header
    // reader keeps such cards as junk, and their getters throw) reads like one
    // without them; the keywords the projection needs still fail loudly.
    struct Throwing : FakeHeader {
        std::set<std::string> broken;
        sci::TanWcs readWithBroken() const {
            auto number = [this](std::string const& key) -> std::optional<double> {
                if (broken.count(key)) throw sci::FitsException("value of '" + key + "' is bad");
                auto const it = numbers.find(key);
                if (it == numbers.end()) return std::nullopt;
                return it->second;
            };
            auto text = [this](std::string const& key) -> std::optional<std::string> {
                if (broken.count(key)) throw sci::FitsException("value of '" + key + "' is bad");
                auto const it = texts.find(key);
                if (it == texts.end()) return std::nullopt;
                return it->second;
            };
            return sci::readTanWcs("img.fits", number, text);
        }
    };
    Throwing h;
    h.numbers = FakeHeader::withReference().numbers;
    h.numbers["CDELT1  "] = -1e-4;
    h.numbers["CDELT2  "] = 1e-4;
    h.broken = {"PC1_1   ", "PC2_1   ", "CROTA2  ", "CTYPE1  "};
    sci::TanWcs const wcs = h.readWithBroken();
    EXPECT_EQ(wcs.source, sci::LinearKeywords::kCdelt);
    EXPECT_TRUE(wcs.warnings.empty());

    h.broken = {"CRVAL2  "};
    try {
        h.readWithBroken();
        ADD_FAILURE() << "no exception";
    } catch (sci::FitsException const& e) {
        EXPECT_STREQ(e.what(), "value of 'CRVAL2  ' is bad");
    }
}

}  // namespace
