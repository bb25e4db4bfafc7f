#include "fit/print_f.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

// Every cell written out by hand from printF's notation rules (W = width -
// blanks, neg = 1 for a negative value, m = W - neg), byte for byte. Each cell
// is written to a stream left in another notation, which printF must not
// inherit and must reset to general notation afterwards, also where it writes
// no number.
TEST(PrintF, CellsByteForByte) {
    struct Row {
        int width, precision;
        double value;
        int blanks;
        char const* text;
    };
    std::vector<Row> const rows = {
        // The per-fit table cell (12, 2, 1 blank): fixed notation ...
        {12, 2, 2.5, 1, "        2.50"},
        {12, 2, 0.0, 1, "        0.00"},
        {12, 2, -3.14159, 1, "       -3.14"},
        {12, 2, 0.01, 1, "        0.01"},
        {12, 2, 99999999.0, 1, " 99999999.00"},
        {12, 2, -9999999.0, 1, " -9999999.00"},
        // ... general below 10^-p, where fixed would show only zeros ...
        {12, 2, 0.001, 1, "       0.001"},
        {12, 2, -0.001, 1, "      -0.001"},
        {12, 2, 0.0012345, 1, "      0.0012"},
        // ... scientific from 10^(W-p-1-neg): 1e8, or 1e7 in magnitude when
        // negative.
        {12, 2, 1e8, 1, " 1.00000e+08"},
        {12, 2, 123456789.0, 1, " 1.23457e+08"},
        {12, 2, -1e7, 1, " -1.0000e+07"},
        {12, 2, -99999999.0, 1, " -1.0000e+08"},
        // Precision 0: whole numbers; general with precision 0 for 0 < |v| <= 1;
        // general with precision W-5-neg from 10^m.
        {12, 0, 25.0, 1, "          25"},
        {12, 0, -5.0, 1, "          -5"},
        {12, 0, 0.0, 1, "           0"},
        {12, 0, 1.0, 1, "           1"},
        {12, 0, 0.5, 1, "         0.5"},
        {12, 0, 0.26, 1, "         0.3"},
        {12, 0, 99999999999.0, 1, " 99999999999"},
        {12, 0, 1e11, 1, "       1e+11"},
        {12, 0, -1e10, 1, "      -1e+10"},
        // m = 4: precision 1, 2 or 0 by magnitude.
        {5, 3, 2.5, 1, "  2.5"},
        {5, 3, 0.25, 1, "  0.2"},
        {5, 3, 0.05, 1, " 0.05"},
        {5, 3, 25.0, 1, "   25"},
        {5, 3, 0.005, 1, "    0"},
        {5, 3, 0.0, 1, "    0"},
        {6, 3, -2.5, 1, "  -2.5"},
        // m < 4: one blank and max(m, 0) '#'.
        {4, 2, 1.0, 1, "  ###"},
        {4, 2, -1.0, 1, "  ##"},
        {2, 2, -1.0, 0, " #"},
        {1, 2, 7.0, 1, "  "},
        {0, 2, -7.0, 1, "  "},
        // No blanks: the whole width is the field; scientific from 10^(6-2-1).
        {6, 2, 2.5, 0, "  2.50"},
        {6, 2, 1000.0, 0, " 1e+03"},
    };
    for (Row const& r : rows) {
        for (auto notation : {std::fixed, std::scientific}) {
            SCOPED_TRACE(::testing::Message()
                         << r.width << " " << r.precision << " " << r.value << " " << r.blanks);
            std::ostringstream os;
            os << notation;
            printF{r.width, r.precision, r.value, r.blanks}(os);
            EXPECT_EQ(os.str(), r.text);
            EXPECT_EQ(os.flags() & std::ios_base::floatfield, std::ios_base::fmtflags(0));
        }
    }
}

}  // namespace
