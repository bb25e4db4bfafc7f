#include "sci/header_wcs.h"

#include <exception>
#include <optional>

namespace sci {

namespace {

bool isCdElement(std::string const& key) {
    return key.size() >= 3 && key[0] == 'C' && key[1] == 'D' && key[2] >= '0' && key[2] <= '9';
}

NumberLookup headerNumbers(FitsHeader const& header) {
    return [&header](std::string const& key) -> std::optional<double> {
        if (isCdElement(key)) {
            try {
                return header.getFloat(key);
            } catch (std::exception const&) {
                return std::nullopt;
            }
        }
        if (header.findValueCard(key) == nullptr) return std::nullopt;
        return header.getFloat(key);
    };
}

}  // namespace

TanWcs readHeaderTanWcs(FitsHeader const& header, std::string const& imageName) {
    NumberLookup const number = headerNumbers(header);
    TextLookup const text = [&header](std::string const& key) -> std::optional<std::string> {
        if (header.findValueCard(key) == nullptr) return std::nullopt;
        return header.getString(key);
    };
    return readTanWcs(imageName, number, text);
}

std::string missingHeaderTanKeywords(FitsHeader const& header) {
    return missingTanKeywords(headerNumbers(header));
}

}  // namespace sci
