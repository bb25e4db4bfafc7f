// Reading the linear transformation of an image header into a TAN projection
// through keyword lookups: which keywords win, exact splits, messages; and the
// projection where asin leaves its domain. The projections themselves are
// cross-checked against wcslib in ccs_tan_xcheck_test.cpp.
#include "sci/tan_wcs.h"
#include "sci/ccs_tan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "sci/exceptions.h"
#include "tests/support/messages.h"

namespace {

using Vec2 = sci::FVector<double, 2>;
using Mat2 = sci::FMatrix<double, 2, 2>;
using sci::LinearKeywords;

// An image header with the reference (150, 30) at pixel (100.5, 200.25).
struct FakeHeader {
    std::map<std::string, double> numbers = {
        {"CRVAL1  ", 150.0}, {"CRVAL2  ", 30.0}, {"CRPIX1  ", 100.5}, {"CRPIX2  ", 200.25}};
    std::map<std::string, std::string> texts = {{"CTYPE1  ", "RA---TAN"}, {"CTYPE2  ", "DEC--TAN"}};
    std::set<std::string> broken;  // lookups that throw, as for a junk card

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
    std::string readError() const {
        return testsupport::messageOf<sci::FitsException>([this] { read(); });
    }
    std::string missing() const {
        return sci::missingTanKeywords(
            [this](std::string const& key) { return find_(numbers, key); });
    }
    template <class T>
    std::optional<T> find_(std::map<std::string, T> const& values, std::string const& key) const {
        if (broken.count(key)) throw sci::FitsException("value of '" + key + "' is bad");
        auto const it = values.find(key);
        if (it == values.end()) return std::nullopt;
        return it->second;
    }
};

// Which keywords give the linear part, and how. CD (both CD1_1 and CD2_2)
// before PC before CROTA2; missing PCi_i are 1, PCi_j 0. A CD matrix splits
// into row scales (the diagonal, or the off-diagonal terms when the diagonal
// is zero) and PC = CD / scale, exactly. Headers without rotation (zeros of
// either sign off the diagonal, a PC or CROTA2 that does not rotate) give bit
// for bit the results of a projection with pc = identity.
TEST(TanWcs, CdThenPcThenCrota2AndExactSplits) {
    struct Case {
        std::map<std::string, double> keywords;
        LinearKeywords source;
        Vec2 cdelt;
        Mat2 pc;
    };
    double const c1 = -1.2e-4, c2 = 1.1e-4;
    Mat2 const identity = Mat2::identity();
    for (Case const& c : std::initializer_list<Case>{
             {{{"CD1_1", c1}, {"CD2_2", c2}, {"CD1_2", -0.0}, {"CD2_1", 0.0}},
              LinearKeywords::kCd,
              Vec2(c1, c2),
              identity},
             {{{"CDELT1", c1}, {"CDELT2", c2}, {"CROTA2", 360.0}},
              LinearKeywords::kCdeltCrota2,
              Vec2(c1, c2),
              identity},
             {{{"CDELT1", c1}, {"CDELT2", c2}, {"CROTA2", 30.0}, {"PC2_1", 0.1}, {"CD1_1", -3e-4}},
              LinearKeywords::kCdeltPc,
              Vec2(c1, c2),
              Mat2(1, 0, 0.1, 1)},
             {{{"CDELT1", c1}, {"CDELT2", c2}, {"PC2_1", 0.1}, {"CD1_1", -3e-4}, {"CD2_2", 3e-4}},
              LinearKeywords::kCd,
              Vec2(-3e-4, 3e-4),
              identity},
             // CDELT1 = -1e-4, CDELT2 = 1.2e-4 rotated by 90 degrees.
             {{{"CD1_1", 0.0}, {"CD1_2", -1.2e-4}, {"CD2_1", -1e-4}, {"CD2_2", 0.0}},
              LinearKeywords::kCd,
              Vec2(-1.2e-4, -1e-4),
              Mat2(0, 1, 1, 0)}}) {
        sci::TanWcs const wcs = FakeHeader().with(c.keywords).read();
        EXPECT_EQ(std::make_tuple(wcs.source, wcs.cdelt, wcs.pc),
                  std::make_tuple(c.source, c.cdelt, c.pc));
        if (!(c.pc == identity)) continue;
        EXPECT_FALSE(std::signbit(wcs.pc(1, 2)) || std::signbit(wcs.pc(2, 1)));
        sci::CCS_TAN const plain(Vec2(100.5, 200.25), identity, c.cdelt, Vec2(150, 30));
        Vec2 const pixel(-900.25, 1300.5), sky = plain.solve(pixel);
        EXPECT_EQ(wcs.ccs.solve(pixel), sky);
        EXPECT_EQ(wcs.ccs.solve_inv(sky), plain.solve_inv(sky));
    }
}

// The message names the first missing keyword; the list of every missing one
// goes with it.
TEST(TanWcs, MissingKeywordsAreNamedWithTheirBlanks) {
    FakeHeader none;
    none.numbers.clear();
    EXPECT_EQ(none.missing(), "CRVAL1, CRVAL2, CRPIX1, CRPIX2 and CD1_1, CD2_2 or CDELT1, CDELT2");
    FakeHeader h;
    EXPECT_EQ(h.readError(), "cannot find keyword 'CDELT1  '");
    EXPECT_EQ(h.missing(), "CD1_1, CD2_2 or CDELT1, CDELT2");
    h = h.with({{"CD1_1", 1e-4}});  // without CD2_2 the CD pair does not count
    EXPECT_EQ(h.readError(), "cannot find keyword 'CDELT1  '");
    EXPECT_EQ(h.missing(), "CD2_2 or CDELT1, CDELT2");
    h = h.with({{"CDELT1", 1e-4}});
    EXPECT_EQ(h.readError(), "cannot find keyword 'CDELT2  '");
    EXPECT_EQ(h.missing(), "CD2_2 or CDELT2");
    h = h.with({{"CDELT2", 1e-4}});
    EXPECT_EQ(h.readError(), "");
    EXPECT_EQ(h.missing(), "");
    h.numbers.erase("CRPIX2  ");
    EXPECT_EQ(h.readError(), "cannot find keyword 'CRPIX2  '");
    EXPECT_EQ(h.missing(), "CRPIX2");
    // A keyword whose value cannot be read is there.
    none.broken = {"CRVAL1  ", "CDELT1  "};
    EXPECT_EQ(none.missing(), "CRVAL2, CRPIX1, CRPIX2 and CD1_1, CD2_2 or CDELT2");
}

// Trailing blanks carry no meaning; the suffix alone ends in "-TAN" as well;
// without CTYPE TAN is assumed silently.
TEST(TanWcs, NonTanProjectionsGiveOneWarningLine) {
    FakeHeader h = FakeHeader().with({{"CDELT1", -1e-4}, {"CDELT2", 1e-4}});
    for (char const* silent : {"RA---TAN", "RA---TAN    ", "-TAN"}) {
        h.texts["CTYPE1  "] = silent;
        EXPECT_TRUE(h.read().warnings.empty()) << silent;
    }
    h.texts.clear();
    EXPECT_TRUE(h.read().warnings.empty());
    h.texts = {{"CTYPE1  ", "RA---SIN"}, {"CTYPE2  ", "DEC--TAN-SIP"}};
    std::string const warning =
        "warning: image 'img.fits' has CTYPE1 'RA---SIN' and CTYPE2 "
        "'DEC--TAN-SIP', not a TAN projection; using TAN";
    EXPECT_EQ(h.read().warnings, std::vector<std::string>{warning});
    h.texts["CTYPE1  "] = "RA---TAN";
    EXPECT_EQ(h.read().warnings,
              std::vector<std::string>{"warning: image 'img.fits' has CTYPE2 'DEC--TAN-SIP', not "
                                       "a TAN projection; using TAN"});
}

// The projection where asin leaves its domain: 1e-4 degree pixels, the
// first axis flipped, the reference at pixel (100, 100).
TEST(CcsTan, AsinArgumentsRoundedBeyondOneGiveNoNaN) {
    // For these references sin(d)^2 + cos(d)^2 rounds to 1 + 2^-52, outside asin's
    // domain; they must land on the reference pixel. With 1e-4 degree pixels theta
    // is still off by up to ~1.5e-8 radian = 0.01 pixel (asin near 1).
    constexpr double kReferenceTol = 0.05;
    std::vector<std::pair<double, double>> const refs = {
        {150, 0.0074}, {150, -89.92}, {150, 0.0128}};
    for (auto [ra0, dec0] : refs) {
        Vec2 const pixel =
            sci::CCS_TAN(Vec2(100, 100), Mat2::identity(), Vec2(-1e-4, 1e-4), Vec2(ra0, dec0))
                .solve_inv(Vec2(ra0, dec0));
        ASSERT_NEAR(pixel(1), 100, kReferenceTol) << ra0 << " " << dec0;
        ASSERT_NEAR(pixel(2), 100, kReferenceTol) << ra0 << " " << dec0;
    }
    // Found by search: a pixel on the north pole where the sum rounds to 1 + 2^-52.
    double const dec0 = 89.939337301989639, scale = 0.00062090762243883048;
    sci::CCS_TAN const tan(Vec2(0, 0), Mat2::identity(), Vec2(-scale, scale), Vec2(10, dec0));
    Vec2 const sky = tan.solve(Vec2(0, 97.700037521630904));
    EXPECT_FALSE(std::isnan(sky(1)));
    EXPECT_EQ(sky(2), 90.0);
}

}  // namespace
