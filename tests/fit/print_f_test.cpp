#include "fit/print_f.h"

#include <gtest/gtest.h>

#include <sstream>
#include <utility>
#include <vector>

namespace fit {
namespace {

// The cells of the fit table written out by hand from printF's notation rules
// (W = width - blanks, neg = 1 for a negative value, m = W - neg, p =
// precision), byte for byte. Each cell is written to a stream left in another
// notation, which printF must not inherit and must reset to general notation
// afterwards.
TEST(PrintF, CellsByteForByte) {
    using Cells = std::vector<std::pair<double, char const*>>;  // value, text
    auto check = [](int width, int precision, int blanks, Cells const& cells) {
        for (auto const& [value, text] : cells) {
            for (auto notation : {std::fixed, std::scientific}) {
                SCOPED_TRACE(::testing::Message()
                             << width << " " << precision << " " << value << " " << blanks);
                std::ostringstream os;
                os << notation;
                printF{width, precision, value, blanks}(os);
                EXPECT_EQ(os.str(), text);
                EXPECT_EQ(os.flags() & std::ios_base::floatfield, std::ios_base::fmtflags(0));
            }
        }
    };
    // The per-fit table cell: fixed notation; general below 10^-p, where fixed
    // shows only zeros; scientific (precision W-6-neg) from 10^(W-p-1-neg), that
    // is 1e8, or 1e7 in magnitude when negative.
    Cells const table = {{0.0, "        0.00"},         {-3.14159, "       -3.14"},
                         {99999999.0, " 99999999.00"},  {-9999999.0, " -9999999.00"},
                         {0.0012345, "      0.0012"},   {1e8, " 1.00000e+08"},
                         {123456789.0, " 1.23457e+08"}, {-1e7, " -1.0000e+07"}};
    check(12, 2, 1, table);
    // Precision 0: whole numbers; general with precision 0 for 0 < |v| <= 1;
    // general with precision W-5-neg from 10^m.
    Cells const whole = {{25.0, "          25"}, {0.5, "         0.5"},
                         {0.26, "         0.3"}, {99999999999.0, " 99999999999"},
                         {1e11, "       1e+11"}, {-1e10, "      -1e+10"}};
    check(12, 0, 1, whole);
}

}  // namespace
}  // namespace fit
