#include "tools/image_scale.h"

#include <cmath>
#include <optional>

#include "sci/fits_card.h"
#include "sci/fits_header.h"
#include "sci/tan_wcs.h"

namespace tools {

namespace {
constexpr double kArcsecPerDegree = 3600.0;
}

double imagePixelScale(std::string const& path) {
    sci::FitsHeader const header(path, true, false);
    sci::NumberLookup const number = [&](std::string const& key) -> std::optional<double> {
        sci::FitsCard const* card = header.findValueCard(key);
        if (!card) return std::nullopt;
        return card->getFloat();
    };
    sci::TextLookup const text = [&](std::string const& key) -> std::optional<std::string> {
        sci::FitsCard const* card = header.findValueCard(key);
        if (!card) return std::nullopt;
        return card->getString();
    };
    sci::TanWcs const wcs = sci::readTanWcs(path, number, text);
    // C(i, j) = cdelt_i pc(i, j), so det C = cdelt_1 cdelt_2 det pc.
    double const detPc = wcs.pc(1, 1) * wcs.pc(2, 2) - wcs.pc(1, 2) * wcs.pc(2, 1);
    return std::sqrt(std::fabs(wcs.cdelt(1) * wcs.cdelt(2) * detPc)) * kArcsecPerDegree;
}

}  // namespace tools
