#include "fit/print_f.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

// The cell as text.
std::string cell(int width, int precision, double value, int blanks) {
    std::ostringstream os;
    printF{width, precision, value, blanks}(os);
    return os.str();
}

// The per-fit table cell: width 12, one blank, precision 2 (field of 11).
std::string tableCell(double value) {
    return cell(12, 2, value, 1);
}

TEST(PrintF, TableCellUsesFixedNotationForOrdinaryValues) {
    EXPECT_EQ(tableCell(2.5), std::string(" ") + "       2.50");
    EXPECT_EQ(tableCell(0.0), "        0.00");
    EXPECT_EQ(tableCell(-3.14159), "       -3.14");
    EXPECT_EQ(tableCell(0.01), "        0.01");
    EXPECT_EQ(tableCell(99999999.0), " 99999999.00");
    EXPECT_EQ(tableCell(-9999999.0), " -9999999.00");
}

TEST(PrintF, TableCellUsesGeneralNotationBelowItsPrecision) {
    // 0 < |v| < 10^-2: fixed notation would print only zeros.
    EXPECT_EQ(tableCell(0.001), "       0.001");
    EXPECT_EQ(tableCell(-0.001), "      -0.001");
    EXPECT_EQ(tableCell(0.0012345), "      0.0012");
}

TEST(PrintF, TableCellSwitchesToScientificWhenFixedDoesNotFit) {
    // 10^(W - p - 1) = 1e8 for a positive value, 1e7 in magnitude for a
    // negative one (the sign takes a character); precision W - 6 - neg.
    EXPECT_EQ(tableCell(1e8), " 1.00000e+08");
    EXPECT_EQ(tableCell(123456789.0), " 1.23457e+08");
    EXPECT_EQ(tableCell(-1e7), " -1.0000e+07");
    EXPECT_EQ(tableCell(-99999999.0), " -1.0000e+08");
}

TEST(PrintF, PrecisionZeroWritesWholeNumbers) {
    EXPECT_EQ(cell(12, 0, 25.0, 1), "          25");
    EXPECT_EQ(cell(12, 0, -5.0, 1), "          -5");
    EXPECT_EQ(cell(12, 0, 0.0, 1), "           0");
    // |v| <= 1 and not 0: general notation with precision 0 (one digit).
    EXPECT_EQ(cell(12, 0, 1.0, 1), "           1");
    EXPECT_EQ(cell(12, 0, 0.5, 1), "         0.5");
    EXPECT_EQ(cell(12, 0, 0.26, 1), "         0.3");
    // |v| >= 10^m: general notation with precision W - 5 - neg.
    EXPECT_EQ(cell(12, 0, 99999999999.0, 1), " 99999999999");
    EXPECT_EQ(cell(12, 0, 1e11, 1), "       1e+11");
    EXPECT_EQ(cell(12, 0, -1e10, 1), "      -1e+10");
}

TEST(PrintF, FourCharacterFieldChoosesPrecisionByMagnitude) {
    // width 5, blanks 1: W = 4, m = 4 for a positive value.
    EXPECT_EQ(cell(5, 3, 2.5, 1), "  2.5");
    EXPECT_EQ(cell(5, 3, 0.25, 1), "  0.2");
    EXPECT_EQ(cell(5, 3, 0.05, 1), " 0.05");
    EXPECT_EQ(cell(5, 3, 25.0, 1), "   25");
    EXPECT_EQ(cell(5, 3, 0.005, 1), "    0");
    EXPECT_EQ(cell(5, 3, 0.0, 1), "    0");
    // width 6, blanks 1: W = 5, m = 4 for a negative value.
    EXPECT_EQ(cell(6, 3, -2.5, 1), "  -2.5");
}

TEST(PrintF, NarrowFieldIsMarkedWithHashes) {
    EXPECT_EQ(cell(4, 2, 1.0, 1), "  ###");
    EXPECT_EQ(cell(4, 2, -1.0, 1), "  ##");
    EXPECT_EQ(cell(2, 2, -1.0, 0), " #");
    EXPECT_EQ(cell(1, 2, 7.0, 1), "  ");
    EXPECT_EQ(cell(0, 2, -7.0, 1), "  ");
}

TEST(PrintF, BlanksZeroUsesTheWholeWidth) {
    EXPECT_EQ(cell(6, 2, 2.5, 0), "  2.50");
    // 10^(6 - 2 - 1) = 1000: from there on scientific, precision 0.
    EXPECT_EQ(cell(6, 2, 1000.0, 0), " 1e+03");
}

TEST(PrintF, LeavesTheStreamInGeneralNotation) {
    for (double v : {2.5, 0.001, 1e9, 25.0}) {
        for (int precision : {0, 2}) {
            std::ostringstream os;
            os << std::fixed;
            printF{12, precision, v, 1}(os);
            EXPECT_EQ(os.flags() & std::ios_base::floatfield, std::ios_base::fmtflags(0))
                << "value " << v << " precision " << precision;
        }
    }
    std::ostringstream os;
    os << std::scientific;
    printF{4, 2, 1.0, 1}(os);  // the '#' case writes no number but resets too
    os << 0.5;
    EXPECT_EQ(os.str(), "  ###0.5");
}

}  // namespace
