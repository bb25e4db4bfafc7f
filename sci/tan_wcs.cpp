#include "sci/tan_wcs.h"

#include <cstddef>
#include <exception>
#include <initializer_list>

#include "sci/exceptions.h"

namespace sci {

std::string tanProjectionWarning(
    std::string const& imageName,
    std::vector<std::pair<std::string, std::string>> const& keywordValues) {
    std::string text = "warning: image '" + imageName + "' has ";
    for (std::size_t k = 0; k < keywordValues.size(); ++k) {
        if (k > 0) text += " and ";
        text += keywordValues[k].first + " '" + keywordValues[k].second + "'";
    }
    return text + ", not a TAN projection; using TAN";
}

std::string missingKeywordMessage(std::string const& key) {
    return "cannot find keyword '" + key + "'";
}

namespace {

// A keyword the projection can do without: one whose value cannot be read
// counts as absent (the header reader has already warned about the card).
template <class Lookup>
auto optional(Lookup const& lookup, std::string const& key) -> decltype(lookup(key)) {
    try {
        return lookup(key);
    } catch (std::exception const&) {
        return std::nullopt;
    }
}

double required(NumberLookup const& number, std::string const& key) {
    std::optional<double> const value = number(key);
    if (!value) throw FitsException(missingKeywordMessage(key));
    return *value;
}

// +0 for either zero, so that "no term" gives exactly the identity's +0 entries.
double plusZero(double v) {
    return v == 0.0 ? 0.0 : v;
}

// Splits the matrix C of degrees per pixel into cdelt and pc with
// C(i, j) = cdelt_i * pc(i, j). Row i is scaled by C(i, i), or by its other element
// when C(i, i) is 0; that element of pc is then exactly 1 and the rest of the row
// is C(i, j) / cdelt_i. A row of zeros keeps cdelt_i = 0 with the identity row, as
// a bare zero CDELT or CD would.
void splitScale(FMatrix<double, 2, 2> const& c, FVector<double, 2>& cdelt,
                FMatrix<double, 2, 2>& pc) {
    for (std::size_t i = 1; i <= 2; ++i) {
        std::size_t const other = 3 - i;
        std::size_t const k = (c(i, i) == 0.0 && c(i, other) != 0.0) ? other : i;
        double const s = c(i, k);
        cdelt(i) = s;
        for (std::size_t j = 1; j <= 2; ++j) {
            if (s == 0.0)
                pc(i, j) = (j == i) ? 1.0 : 0.0;
            else if (j == k)
                pc(i, j) = 1.0;
            else
                pc(i, j) = plusZero(c(i, j) / s);
        }
    }
}

bool endsWithTan(std::string const& value) {
    static std::string const kSuffix = "-TAN";
    return value.size() >= kSuffix.size() &&
           value.compare(value.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0;
}

// FITS string values may be padded with trailing blanks, which carry no meaning.
std::string withoutTrailingBlanks(std::string value) {
    std::size_t const end = value.find_last_not_of(' ');
    value.erase(end == std::string::npos ? 0 : end + 1);
    return value;
}

}  // namespace

std::string missingTanKeywords(NumberLookup const& number) {
    auto missing = [&number](std::initializer_list<char const*> keys) {
        std::string names;
        for (char const* key : keys) {
            bool absent = false;
            try {
                absent = !number(key).has_value();
            } catch (std::exception const&) {
                // There, though unreadable.
            }
            if (!absent) continue;
            std::string const name = withoutTrailingBlanks(key);
            names += names.empty() ? name : ", " + name;
        }
        return names;
    };
    std::string text = missing({"CRVAL1  ", "CRVAL2  ", "CRPIX1  ", "CRPIX2  "});
    std::string const cd = missing({"CD1_1   ", "CD2_2   "});
    std::string const cdelt = missing({"CDELT1  ", "CDELT2  "});
    if (!cd.empty() && !cdelt.empty()) text += (text.empty() ? "" : " and ") + cd + " or " + cdelt;
    return text;
}

TanWcs readTanWcs(std::string const& imageName, NumberLookup const& number,
                  TextLookup const& text) {
    FVector<double, 2> cdelt;
    FMatrix<double, 2, 2> pc;
    LinearKeywords source;

    std::optional<double> const cd11 = number("CD1_1   ");
    std::optional<double> const cd22 = cd11 ? number("CD2_2   ") : std::nullopt;
    if (cd11 && cd22) {
        std::optional<double> const cd12 = optional(number, "CD1_2   ");
        std::optional<double> const cd21 = optional(number, "CD2_1   ");
        FMatrix<double, 2, 2> const c(*cd11, cd12.value_or(0.0), cd21.value_or(0.0), *cd22);
        splitScale(c, cdelt, pc);
        source = LinearKeywords::kCd;
    } else {
        double const cdelt1 = required(number, "CDELT1  ");
        double const cdelt2 = required(number, "CDELT2  ");
        cdelt = FVector<double, 2>(cdelt1, cdelt2);
        std::optional<double> const pc11 = optional(number, "PC1_1   ");
        std::optional<double> const pc12 = optional(number, "PC1_2   ");
        std::optional<double> const pc21 = optional(number, "PC2_1   ");
        std::optional<double> const pc22 = optional(number, "PC2_2   ");
        std::optional<double> const crota2 = optional(number, "CROTA2  ");
        if (pc11 || pc12 || pc21 || pc22) {
            // C(i, j) = CDELTi * PCi_j is already the product pc and cdelt stand for.
            pc = FMatrix<double, 2, 2>(pc11.value_or(1.0), plusZero(pc12.value_or(0.0)),
                                       plusZero(pc21.value_or(0.0)), pc22.value_or(1.0));
            source = LinearKeywords::kCdeltPc;
        } else if (crota2) {
            // C = [CDELT1 cos rho, -CDELT2 sin rho; CDELT1 sin rho, CDELT2 cos rho]
            //   = diag(CDELT1, CDELT2) * [cos rho, -(CDELT2 / CDELT1) sin rho;
            //                             (CDELT1 / CDELT2) sin rho, cos rho]
            // with cos and sin exact at multiples of 90 degrees.
            double const c = cosDegExact(*crota2);
            double const s = sinDegExact(*crota2);
            if (s == 0.0)
                pc = FMatrix<double, 2, 2>(c, 0.0, 0.0, c);
            else
                pc = FMatrix<double, 2, 2>(c, -(cdelt2 / cdelt1) * s, (cdelt1 / cdelt2) * s, c);
            source = LinearKeywords::kCdeltCrota2;
        } else {
            pc = FMatrix<double, 2, 2>::identity();
            source = LinearKeywords::kCdelt;
        }
    }

    double const crval1 = required(number, "CRVAL1  ");
    double const crval2 = required(number, "CRVAL2  ");
    double const crpix1 = required(number, "CRPIX1  ");
    double const crpix2 = required(number, "CRPIX2  ");
    FVector<double, 2> const crval(crval1, crval2);
    FVector<double, 2> const crpix(crpix1, crpix2);

    std::vector<std::pair<std::string, std::string>> notTan;
    for (char const* keyword : {"CTYPE1", "CTYPE2"}) {
        std::optional<std::string> const ctype = optional(text, std::string(keyword) + "  ");
        if (!ctype) continue;
        std::string const value = withoutTrailingBlanks(*ctype);
        if (!endsWithTan(value)) notTan.emplace_back(keyword, value);
    }
    std::vector<std::string> warnings;
    if (!notTan.empty()) warnings.push_back(tanProjectionWarning(imageName, notTan));

    return TanWcs{CCS_TAN(crpix, pc, cdelt, crval), crval, crpix, cdelt, pc, source, warnings};
}

}  // namespace sci
