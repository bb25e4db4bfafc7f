// Header cards written the way other programs write them, for tests that
// build FITS headers by hand: a keyword padded to 8 columns, "= ", and the
// value right-aligned in 20 columns with up to 12 significant digits.
#pragma once

#include <cstdio>
#include <string>

namespace testsupport {

// "%-8s= %20.12G": e.g. numberCard("CRVAL1", 150) is "CRVAL1  =                  150".
inline std::string numberCard(std::string const& key, double value) {
    char text[81];
    std::snprintf(text, sizeof text, "%-8s= %20.12G", key.c_str(), value);
    return text;
}

}  // namespace testsupport
