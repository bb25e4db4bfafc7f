#include "sci/asc_file.h"
#include "sci/asc_numbers.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "sci/exceptions.h"
#include "tests/support/messages.h"
#include "tests/support/temp_dir.h"

namespace {

using sci::AscFile;
using sci::IOException;
using sci::MArray;

template <class T>
std::vector<T> values(MArray<T, 1> const& a) {
    return {a.begin(), a.end()};
}

// The message of the IOException that call throws ("" when it throws none).
std::string messageOf(std::function<void()> const& call) {
    return testsupport::messageOf<IOException>(call);
}

std::string const kNotEnough = "Not enough columns in file '";

// What follows kNotEnough, the name and "'!".
std::string notEnoughDetail(int line, size_t found, int col) {
    return " (line " + std::to_string(line) + " has " + std::to_string(found) +
           (found == 1 ? " column" : " columns") + ", column " + std::to_string(col) +
           " was asked)";
}
std::string const kNoColumn = "Column does not exist in file'";

// The literal reader: the table rules applied line by line with std::getline,
// rows split into std::string fields, values converted with strtod/strtol on
// each field. The reference for the randomized comparisons.
class LiteralTable {
  public:
    LiteralTable(std::string const& name, char delimiter, std::string const& comment)
        : name_(name), delimiter_(delimiter) {
        std::ifstream in(name, std::ios::binary);
        int lineNumber = 0;
        for (std::string line; std::getline(in, line);) {
            ++lineNumber;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (delimiter == 0) {
                size_t k = 0;
                while (k < line.size() && std::isspace(static_cast<unsigned char>(line[k]))) ++k;
                line.erase(0, k);
            }
            if (!comment.empty() && line.find(comment) != std::string::npos)
                line.erase(line.find(comment));
            if (!line.empty()) {
                rows_.push_back(line);
                lines_.push_back(lineNumber);
            }
        }
    }

    int rows() const { return static_cast<int>(rows_.size()); }

    // Rows past the end read as 0; a missing field throws the reader's message.
    template <class T>
    std::vector<T> column(int col, int first, int count) const {
        long const n = count == -1 ? rows() - first + 1L : count;
        std::vector<T> result(n > 0 ? n : 0, T(0));
        for (long i = 0; i < n && first - 1 + i < rows(); ++i) {
            std::string const text = field(first - 1 + i, col);
            if constexpr (std::is_same_v<T, float>) {
                result[i] = static_cast<float>(std::strtod(text.c_str(), nullptr));
            } else {
                long const v = std::strtol(text.c_str(), nullptr, 10);
                result[i] = v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : static_cast<int>(v);
            }
        }
        return result;
    }

  private:
    std::string field(long index, int col) const {
        std::string const& row = rows_[index];
        if (col == 0) return "";
        std::vector<std::string> pieces;
        if (delimiter_ == 0) {
            std::string piece;
            for (char c : row + ' ') {
                if (c != ' ' && c != '\t') {
                    piece += c;
                } else if (!piece.empty()) {
                    pieces.push_back(piece);
                    piece.clear();
                }
            }
        } else {
            size_t start = 0;
            for (size_t hit = 0; hit != std::string::npos; start = hit + 1) {
                hit = row.find(delimiter_, start);
                pieces.push_back(row.substr(start, hit - start));
            }
        }
        if (col < 0 || static_cast<int>(pieces.size()) < col) {
            if (delimiter_ != 0) throw IOException(kNoColumn + name_ + "'!");
            throw IOException(kNotEnough + name_ + "'!" +
                              notEnoughDetail(lines_[index], pieces.size(), col));
        }
        return pieces[col - 1];
    }

    std::string name_;
    char delimiter_;
    std::vector<std::string> rows_;
    std::vector<int> lines_;  // the line number of each row
};

// A table whose field j of data row i holds 100*i + j, under a header comment.
std::string indexedTable(int rows, int cols, char separator = ' ') {
    std::string text = "# i j\n";
    for (int i = 1; i <= rows; ++i) {
        for (int j = 1; j <= cols; ++j) {
            if (j > 1) text += separator;
            text += std::to_string(100 * i + j);
        }
        text += '\n';
    }
    return text;
}

// --- rows, fields and messages of small tables ----------------------------------

// Which lines are rows (comments, blank and white-space lines, CRLF, comment
// markers, NUL bytes) and which field a column is, in both modes.
TEST(AscFile, RowsAndFieldsOfSmallTables) {
    struct Case {
        std::string text;
        char delimiter;
        char const* comment;
        int rows;
        int col, first, count;
        std::vector<float> expected;
    };
    std::string const nul("1\0002 3\n\0\n", 8);  // a number ends at its NUL, as strtod reads it
    std::vector<Case> const cases = {
        {"# header\n\n1 2 3\n4 5 6\n7 8 9\n", 0, "#", 3, 2, 1, -1, {2, 5, 8}},
        {"   \n\t\n \v\f\n  12.5   7  #word\n  #only\n", 0, "#", 1, 1, 1, -1, {12.5f}},
        {"   \n\t\n \v\f\n  12.5   7  #word\n  #only\n", 0, "#", 1, 2, 1, -1, {7}},
        // CRLF reads like its LF twin; the last line ends in a lone CR.
        {"# c\r\n\r\n1,2\r\n 3 ,4\r\n5,6\r", ',', "#", 3, 2, 1, -1, {2, 4, 6}},
        {"# c\r\n\r\n1,2\r\n 3 ,4\r\n5,6\r", 0, "#", 3, 1, 1, -1, {1, 3, 5}},
        {"# c\n\n1,2\n 3 ,4\n5,6", ',', "#", 3, 1, 1, -1, {1, 3, 5}},
        // A line of blanks is a row in delimiter mode; its only field reads 0.
        {";7;;9\n  \n1;2;3;4 # x\n", ';', "#", 3, 1, 1, -1, {0, 0, 1}},
        {";7;;9\n  \n1;2;3;4 # x\n", ';', "#", 3, 2, 1, 1, {7}},
        {";7;;9\n  \n1;2;3;4 # x\n", ';', "#", 3, 3, 1, 1, {0}},
        {";7;;9\n  \n1;2;3;4 # x\n", ';', "#", 3, 4, 3, 1, {4}},
        {"// head\n1 2//3 4\n#5 6\n", 0, "//", 2, 2, 1, 1, {2}},
        {"// head\n1 2//3 4\n#5 6\n", 0, "", 3, 2, 1, -1, {0, 2, 6}},
        {nul, 0, "#", 2, 1, 1, -1, {1, 0}},
        {nul, 0, "#", 2, 2, 1, 1, {3}},
        {indexedTable(3, 2), 0, "#", 3, 0, 1, -1, {0, 0, 0}},  // column 0 is empty
        {"1 2 3 4 5 6 7 8\n", 0, "#", 1, 8, 1, -1, {8}},
        {"", 0, "#", 0, 3, 1, -1, {}},
    };
    testsupport::TempDir dir;
    for (Case const& c : cases) {
        SCOPED_TRACE("'" + c.text + "' column " + std::to_string(c.col));
        AscFile table(dir.write("t.cat", c.text), c.delimiter, c.comment);
        EXPECT_EQ(table.rows(), c.rows);
        EXPECT_EQ(values(table.readFloatColumn(c.col, c.first, c.count)), c.expected);
    }
}

TEST(AscFile, MissingColumnsAndRowsNameTheFile) {
    struct Case {
        std::string text;
        char delimiter;
        int col, first, count;
        std::string message;  // followed by the name and "'!"
        std::string detail = "";
    };
    std::vector<Case> const cases = {
        // The comment is no third field.
        {"  12.5   7  #word\n", 0, 3, 1, -1, kNotEnough, notEnoughDetail(1, 2, 3)},
        {"1 2 3 4 5 6 7 8\n", 0, 9, 1, -1, kNotEnough, notEnoughDetail(1, 8, 9)},
        {indexedTable(3, 2), 0, -1, 1, -1, kNotEnough, notEnoughDetail(2, 2, -1)},
        // The line counts comments, blank lines and CRLF lines; one column.
        {"# a b\r\n\n1 2\r\n  \n 7\t# 8\r\n3 4\n", 0, 2, 1, -1, kNotEnough,
         notEnoughDetail(5, 1, 2)},
        {";7;;9\n  \n1;2;3;4\n", ';', 2, 1, -1, kNoColumn},
        {";7;;9\n  \n1;2;3;4\n", ';', 5, 1, 1, kNoColumn},
        {indexedTable(5, 3), 0, 1, 0, 1, "First row below 1 requested from file '"},
    };
    testsupport::TempDir dir;
    for (Case const& c : cases) {
        std::string const name = dir.write("t.cat", c.text);
        AscFile table(name, c.delimiter, "#");
        EXPECT_EQ(messageOf([&] { table.readIntColumn(c.col, c.first, c.count); }),
                  c.message + name + "'!" + c.detail)
            << c.text;
    }
}

TEST(AscFile, ConversionFollowsStrtodAndStrtol) {
    testsupport::TempDir dir;
    AscFile table(
        dir.write("t.cat", "abc 1.5abc 0x10 1e5 99999999999 -99999999999 nan -inf 1e39 +2.5\n"), 0,
        "#");
    // Hexadecimal is read by strtod but not by strtol base 10; ints beyond the
    // int range are clamped, floats beyond the float range are infinite.
    std::vector<float> const floats = {
        0, 1.5f, 16, 1e5f, 99999999999.0f, -99999999999.0f, NAN, -INFINITY, INFINITY, 2.5f};
    std::vector<int> const ints = {0, 1, 0, 1, INT_MAX, INT_MIN, 0, 0, 1, 2};
    // The number columns read text that is not wholly a number as NaN.
    std::vector<float> const numbers = {
        NAN, NAN, 16, 1e5f, 99999999999.0f, -99999999999.0f, NAN, -INFINITY, INFINITY, 2.5f};
    auto same = [](float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); };
    for (int col = 1; col <= 10; ++col) {
        EXPECT_TRUE(same(table.readFloatColumn(col, 1, -1)(1), floats[col - 1])) << col;
        EXPECT_EQ(table.readIntColumn(col, 1, -1)(1), ints[col - 1]) << col;
        EXPECT_TRUE(same(table.readNumberColumn(col, 1, -1)(1), numbers[col - 1])) << col;
    }
    EXPECT_EQ(table.readNumberColumn(0, 1, -1)(1), 0.0f);  // the empty column 0
}

// --- the row counter: requests in any order, and beyond the table -----------------

TEST(AscFile, RequestsPositionThemselvesByTheRowCounter) {
    testsupport::TempDir dir;
    AscFile tabs(dir.write("tabs.cat", indexedTable(4, 6, '\t')), 0, "#");
    EXPECT_EQ(values(tabs.readIntColumn(5, 1, -1)), (std::vector<int>{105, 205, 305, 405}));
    EXPECT_EQ(values(tabs.readFloatColumn(6, 2, 2)), (std::vector<float>{206, 306}));
    EXPECT_EQ(values(tabs.readFloatColumn(1, 1, 2)), (std::vector<float>{101, 201}));
    EXPECT_EQ(values(tabs.readIntColumn(2, 3, -1)), (std::vector<int>{302, 402}));  // no rewind

    AscFile table(dir.write("t.cat", indexedTable(5, 3)), 0, "#");
    EXPECT_EQ(values(table.readIntColumn(1, 2, 2)), (std::vector<int>{201, 301}));
    EXPECT_EQ(table.rows(), 5);  // counting leaves the position alone
    EXPECT_EQ(values(table.readIntColumn(2, 4, 1)), (std::vector<int>{402}));
    EXPECT_EQ(values(table.readIntColumn(3, 1, 1)), (std::vector<int>{103}));
    // Rows beyond the end read as 0; a first row past the end gives nothing.
    EXPECT_EQ(values(table.readIntColumn(1, 4, 4)), (std::vector<int>{401, 501, 0, 0}));
    EXPECT_EQ(values(table.readIntColumn(1, 9, 2)), (std::vector<int>{0, 0}));
    EXPECT_EQ(table.readIntColumn(1, 9, -1).size(), 0);

    // A request after a missing column starts again.
    std::string const name = dir.write("short.cat", "1 2\n3\n5 6\n");
    AscFile gaps(name, 0, "#");
    EXPECT_EQ(messageOf([&] { gaps.readIntColumn(2, 1, -1); }),
              kNotEnough + name + "'!" + notEnoughDetail(2, 1, 2));
    EXPECT_EQ(values(gaps.readIntColumn(2, 3, 1)), (std::vector<int>{6}));
    EXPECT_EQ(values(gaps.readIntColumn(1, 1, -1)), (std::vector<int>{1, 3, 5}));
}

// --- files that are not ordinary tables ------------------------------------------

TEST(AscFile, UnopenableNamesAreRefused) {
    testsupport::TempDir dir;
    // A pipe without a writer is refused at once instead of waiting.
    std::string const fifo = dir.file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (std::string const& name : {dir.file("missing.cat"), dir.path(), fifo})
        EXPECT_EQ(messageOf([&] { AscFile table(name, 0, "#"); }),
                  "Cannot open file '" + name + "'!");
}

TEST(AscFile, LongLinesAndLastLineWithoutNewline) {
    testsupport::TempDir dir;
    constexpr size_t kLongLine = 10 * 1024 * 1024;
    std::string text = std::string(kLongLine, ' ') + "1 " + std::string(kLongLine, '2') + " 3\n";
    text += "4 " + std::string(kLongLine, '#') + "\n7 8 9";
    AscFile table(dir.write("t.cat", text), 0, "#");
    EXPECT_EQ(table.rows(), 3);
    EXPECT_EQ(values(table.readFloatColumn(1, 1, -1)), (std::vector<float>{1, 4, 7}));
    EXPECT_EQ(table.readFloatColumn(2, 1, 1)(1), INFINITY);  // ten million 2s
    EXPECT_EQ(values(table.readIntColumn(3, 1, 1)), (std::vector<int>{3}));
    EXPECT_EQ(values(table.readIntColumn(3, 3, -1)), (std::vector<int>{9}));
}

// A file without line ends (a download preallocated with zeros) was read whole
// into one line buffer. A line of 128 MiB or more is refused.
TEST(AscFile, LineOf128MebibytesIsRefused) {
    testsupport::TempDir dir;
    std::string const path = dir.write("zeros.cat", "1 2 3\n");
    constexpr off_t kLine = off_t(128) << 20;
    ASSERT_EQ(truncate(path.c_str(), 6 + kLine), 0);  // the line of zeros reads as holes
    AscFile table(path, 0, "#");
    std::string const tooLong = "Line too long (128 MiB or more) in file '" + path + "'!";
    EXPECT_EQ(messageOf([&] { table.rows(); }), tooLong);
    EXPECT_EQ(messageOf([&] { table.readFloatColumn(1, 1, -1); }), tooLong);
    // Just below the limit the line is a row: NUL bytes are text.
    ASSERT_EQ(truncate(path.c_str(), 6 + kLine - 1024 * 1024), 0);
    AscFile shorter(path, 0, "#");
    EXPECT_EQ(shorter.rows(), 2);
}

// --- comparison with the literal reader: real catalogues, random tables -------------------

// Field texts that probe the conversions: decimals of every shape, extremes
// of the float, double, int and long ranges, strtod-only forms and junk.
std::string randomToken(std::mt19937& random) {
    static std::vector<std::string> const kSpecial = [] {
        std::istringstream words(
            "inf -inf +inf Infinity nan -nan NAN(0x1f) 0x1A 0x1p-3 -0x.8 1e400 -1e400 1e-400 "
            "4.9e-324 2.4703282292062327e-324 1.7976931348623157e308 1.7976931348623158e308 "
            "3.4028235e38 3.40282357e38 1e39 1.4e-45 7e-46 2147483647 2147483648 -2147483648 "
            "-2147483649 9223372036854775807 9223372036854775808 -9223372036854775809 "
            "99999999999999999999 0000000000000000000000123 abc 1.5abc 1e 1e+ . - + --1 1..2 -.5 "
            "+.5e-3 12#4 x \v5 \f3 5\v \r7 \xc3\xa9 \xff\x01 0.1 -0 1. .e1");
        std::vector<std::string> tokens;
        for (std::string t; std::getline(words, t, ' ');) tokens.push_back(t);
        return tokens;
    }();
    char text[64];
    switch (random() % 10) {
        case 0:
            return kSpecial[random() % kSpecial.size()];
        case 1:
            return std::to_string(std::uniform_int_distribution<long>(LONG_MIN, LONG_MAX)(random));
        case 2:
            return std::to_string(std::uniform_int_distribution<int>(-1000, 1000)(random));
        case 3: {  // random bits as a double, printed to a random precision
            double d;
            uint64_t bits = std::uniform_int_distribution<uint64_t>()(random);
            std::memcpy(&d, &bits, sizeof d);
            static char const* const kFormats[] = {"%.17g", "%.9g", "%.3e", "%a", "%.25e"};
            std::snprintf(text, sizeof text, kFormats[random() % 5], d);
            return text;
        }
        case 4: {  // digit strings with a decimal point and an exponent
            std::string s = random() % 2 ? "-" : "";
            int const digits = 1 + static_cast<int>(random() % 40);
            for (int k = 0; k < digits; ++k) s += static_cast<char>('0' + random() % 10);
            s.insert(s.size() - random() % (digits + 1), ".");
            return s + "e" + std::to_string(static_cast<int>(random() % 700) - 350);
        }
        case 5: {  // any bytes but separators and line ends
            std::string s(1 + random() % 6, '\0');
            for (char& c : s) {
                c = static_cast<char>(random() % 256);
                if (c == '\n' || c == ' ' || c == '\t') c = '\0';
            }
            return s;
        }
        default:
            std::snprintf(text, sizeof text, "%.*f", static_cast<int>(random() % 8),
                          std::uniform_real_distribution<double>(-5000, 5000)(random));
            return text;
    }
}

// A table of rows with 0..8 tokens, blank, white-space and comment lines,
// LF, CRLF and stray CR line ends, comment markers inside rows, and a last
// line that may lack its newline. A regular table (tokensPerRow >= 0) has that
// many tokens in every row, empty blank lines and rarely a comment in a row.
std::string randomTable(std::mt19937& random, int lines, char delimiter, int tokensPerRow) {
    static char const* const kBlanks[] = {" ", "\t", "   ", " \t ", "\t\t"};
    static char const* const kPrefixes[] = {"", "", "  ", "\t", "\v\f ", "\r"};
    static char const* const kLineEnds[] = {"\n", "\n", "\r\n", "\r\r\n", "\n\r"};
    bool const regular = tokensPerRow >= 0;
    std::string text;
    for (int l = 0; l < lines; ++l) {
        int const shape = static_cast<int>(random() % 10);
        // Regular tables put no white space before blank and comment lines:
        // it makes a row in delimiter mode.
        if (shape >= 2 || !regular) text += kPrefixes[random() % 6];
        if (shape == 1) text += "# comment 1 2";
        if (shape >= 2) {
            int const tokens = regular ? tokensPerRow : static_cast<int>(random() % 9);
            for (int t = 0; t < tokens; ++t) {
                if (t > 0 || random() % 4 == 0)
                    text += delimiter != 0 ? std::string(1, delimiter) : kBlanks[random() % 5];
                std::string token = randomToken(random);
                if (regular)  // keep the rows of a regular table whole
                    for (char& c : token)
                        if (c == '#' || c == '/') c = 'x';
                text += token;
            }
            if (random() % (regular ? 400 : 5) == 0) text += random() % 2 ? " #tail 5" : "#9";
        }
        if (l + 1 < lines || random() % 2) text += kLineEnds[random() % (regular ? 3 : 5)];
    }
    return text;
}

// Runs the same request on the reader and on the literal reader and compares
// the values bit for bit (NaNs and signed zeros too), or the messages.
template <class T>
void expectSameRequest(AscFile& fast, LiteralTable const& literal, int col, int first, int count,
                       std::string const& context) {
    SCOPED_TRACE(context + " col " + std::to_string(col) + " first " + std::to_string(first) +
                 " count " + std::to_string(count));
    std::vector<T> expected, got;
    std::string const expectedMessage =
        messageOf([&] { expected = literal.column<T>(col, first, count); });
    EXPECT_EQ(messageOf([&] {
                  if constexpr (std::is_same_v<T, float>)
                      got = values(fast.readFloatColumn(col, first, count));
                  else
                      got = values(fast.readIntColumn(col, first, count));
              }),
              expectedMessage);
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i)
        ASSERT_EQ(std::memcmp(&got[i], &expected[i], sizeof(T)), 0)
            << "element " << i + 1 << " is " << got[i] << ", literal " << expected[i];
}

// The source catalogues shipped with the sky images: every column as float and int.
TEST(AscFile, ShippedCataloguesMatchTheLiteralReader) {
    std::vector<std::string> names = {std::string(PSFPICK_SOURCE_DIR) + "/data/m51/m51.cat"};
    for (char const* image : {"gc2massk", "horsehead", "m67"}) {
        std::string const name =
            std::string(PSFPICK_SHARED_DATA_DIR) + "/" + image + "/" + image + ".cat";
        if (std::filesystem::exists(name)) names.push_back(name);
    }
    for (std::string const& name : names) {
        AscFile fast(name, 0, "#");
        LiteralTable literal(name, 0, "#");
        ASSERT_GT(literal.rows(), 0) << name;
        EXPECT_EQ(fast.rows(), literal.rows()) << name;
        for (int col = 1; col <= 11; ++col) {
            expectSameRequest<float>(fast, literal, col, 1, -1, name);
            expectSameRequest<int>(fast, literal, col, 1, -1, name);
        }
    }
}

void compareRandomTables(int tables, int linesPerTable, int requestsPerTable, unsigned seed) {
    testsupport::TempDir dir;
    std::mt19937 random(seed);
    // Markers that contain a separator also cut rows across field ends.
    static char const* const kMarkers[] = {"#", "#", "//", "", "5 ", "5,"};
    static char const kDelimiters[] = {'\0', '\0', ',', ' '};
    for (int t = 0; t < tables; ++t) {
        char const delimiter = kDelimiters[random() % 4];
        std::string const comment = kMarkers[random() % 6];
        // Every other table has ten fields in each row, so that most requests
        // read whole columns rather than stop at a short row.
        std::string const name =
            dir.write("t.cat", randomTable(random, linesPerTable, delimiter, t % 2 ? -1 : 10));
        AscFile fast(name, delimiter, comment);
        LiteralTable literal(name, delimiter, comment);
        std::string const context = "table " + std::to_string(t) + " seed " + std::to_string(seed);
        ASSERT_EQ(fast.rows(), literal.rows()) << context;
        int const rows = literal.rows();
        for (int r = 0; r < requestsPerTable; ++r) {
            int const col = static_cast<int>(random() % 11) - 1;
            int const first = 1 + static_cast<int>(random() % (rows + 2));
            int const count = random() % 2 ? -1 : static_cast<int>(random() % (rows + 3));
            if (random() % 2)
                expectSameRequest<float>(fast, literal, col, first, count, context);
            else
                expectSameRequest<int>(fast, literal, col, first, count, context);
        }
        // Row by row on small tables, so that a short row elsewhere hides no difference.
        int const col = 1 + static_cast<int>(random() % 4);
        for (int first = 1; rows <= 100 && first <= rows; ++first)
            expectSameRequest<float>(fast, literal, col, first, 1, context);
    }
}

TEST(AscFileRandomized, SmallTablesMatchTheLiteralReader) {
    compareRandomTables(400, 40, 12, 1);
}

// Tables of some megabytes, so that rows straddle the reader's buffer refills.
TEST(AscFileRandomized, LargeTablesMatchTheLiteralReader) {
    compareRandomTables(3, 60000, 6, 2);
}

// Files of random bytes (every value, newlines included) in both modes.
TEST(AscFileRandomized, BinaryGarbageMatchesTheLiteralReader) {
    testsupport::TempDir dir;
    std::mt19937 random(4);
    for (int f = 0; f < 20; ++f) {
        std::string bytes(64 * 1024, '\0');
        for (char& c : bytes) c = static_cast<char>(random() % 256);
        std::string const name = dir.write("t.bin", bytes);
        char const delimiter = f % 2 == 0 ? '\0' : '\xff';
        AscFile fast(name, delimiter, "#");
        LiteralTable literal(name, delimiter, "#");
        std::string const context = "file " + std::to_string(f);
        ASSERT_EQ(fast.rows(), literal.rows()) << context;
        for (int col = 0; col <= 3; ++col) {
            expectSameRequest<float>(fast, literal, col, 1, -1, context);
            expectSameRequest<int>(fast, literal, col, 2, 5, context);
        }
    }
}

TEST(AscFileRandomized, FieldConversionsMatchStrtodAndStrtol) {
    std::mt19937 random(3);
    for (int k = 0; k < 300000; ++k) {
        std::string const token = randomToken(random);
        char const* const begin = token.data();
        char const* const end = begin + token.size();
        char* stop = nullptr;
        double const expected = std::strtod(token.c_str(), &stop);
        double const got = sci::fieldToDouble(begin, end);
        ASSERT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << "'" << token << "'";
        // Only a text that strtod reads to its end is a number.
        double const number = sci::fieldToNumber(begin, end);
        if (stop == token.c_str() + token.size())
            ASSERT_EQ(std::memcmp(&number, &expected, sizeof number), 0) << "'" << token << "'";
        else
            ASSERT_TRUE(std::isnan(number)) << "'" << token << "'";
        ASSERT_EQ(sci::fieldToLong(begin, end), std::strtol(token.c_str(), nullptr, 10))
            << "'" << token << "'";
    }
}

}  // namespace
