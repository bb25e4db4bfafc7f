#include "sci/asc_file.h"

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
#include <string>
#include <vector>

#include "sci/exceptions.h"
#include "tests/support/messages.h"
#include "tests/support/temp_dir.h"

namespace {

using sci::AscFile;
using sci::IOException;
using sci::MArray;

std::vector<float> values(MArray<float, 1> const& a) {
    return {a.begin(), a.end()};
}
std::vector<int> values(MArray<int, 1> const& a) {
    return {a.begin(), a.end()};
}

// The message of the IOException that call throws ("" when it throws none).
std::string messageOf(std::function<void()> const& call) {
    return testsupport::messageOf<IOException>(call);
}

// The literal reader: the table rules applied line by line with std::getline
// on a stream, rows split into std::string fields, values converted with
// strtod/strtol on each field. The reference for the randomized comparisons.
class LiteralTable {
  public:
    LiteralTable(std::string const& name, char delimiter, std::string const& comment)
        : name_(name), in_(name, std::ios::binary), delimiter_(delimiter), comment_(comment) {}

    int rows() {
        if (rowCount_ == 0) {
            bool const atEnd = in_.eof();
            std::streampos const position = atEnd ? std::streampos(0) : in_.tellg();
            int const counter = counter_;
            rewind();
            std::string row;
            while (nextRow(row)) ++rowCount_;
            in_.clear();
            if (atEnd) {
                in_.seekg(0, std::ios::end);
                in_.peek();  // back in the end-of-file state
            } else {
                in_.seekg(position);
            }
            counter_ = counter;
        }
        return rowCount_;
    }

    std::vector<float> readFloatColumn(int col, int first, int count) {
        return read<float>(col, first, count, [](std::string const& field) {
            return static_cast<float>(std::strtod(field.c_str(), nullptr));
        });
    }
    std::vector<int> readIntColumn(int col, int first, int count) {
        return read<int>(col, first, count, [](std::string const& field) {
            long const v = std::strtol(field.c_str(), nullptr, 10);
            return v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : static_cast<int>(v);
        });
    }

  private:
    template <class T, class Convert>
    std::vector<T> read(int col, int first, int count, Convert convert) {
        long const n = count == -1 ? rows() - first + 1L : count;
        std::vector<T> result(n > 0 ? n : 0, T(0));
        if (n <= 0) return result;
        if (counter_ > first) rewind();
        std::string row;
        while (counter_ < first)
            if (!nextRow(row)) return result;
        for (long i = 0; i < n; ++i) {
            if (!nextRow(row)) break;
            result[i] = convert(field(row, col));
        }
        return result;
    }

    void rewind() {
        in_.clear();
        in_.seekg(0);
        counter_ = 1;
    }

    bool nextRow(std::string& line) {
        for (;;) {
            if (in_.eof()) {
                rewind();
                return false;
            }
            std::getline(in_, line);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (delimiter_ == 0) {
                size_t k = 0;
                while (k < line.size() && std::isspace(static_cast<unsigned char>(line[k]))) ++k;
                line.erase(0, k);
            }
            if (!comment_.empty()) {
                size_t const cut = line.find(comment_);
                if (cut != std::string::npos) line.erase(cut);
            }
            if (line.empty()) continue;
            ++counter_;
            return true;
        }
    }

    std::string field(std::string const& row, int col) const {
        if (col == 0) return "";
        std::vector<std::string> pieces;
        if (delimiter_ == 0) {
            std::string piece;
            for (char c : row + ' ') {
                if (c == ' ' || c == '\t') {
                    if (!piece.empty()) pieces.push_back(piece);
                    piece.clear();
                } else {
                    piece += c;
                }
            }
            if (col < 0 || static_cast<int>(pieces.size()) < col)
                throw IOException("Not enough columns in file '" + name_ + "'!");
        } else {
            size_t start = 0;
            for (;;) {
                size_t const hit = row.find(delimiter_, start);
                pieces.push_back(row.substr(start, hit - start));
                if (hit == std::string::npos) break;
                start = hit + 1;
            }
            if (col < 0 || static_cast<int>(pieces.size()) < col)
                throw IOException("Column does not exist in file'" + name_ + "'!");
        }
        return pieces[col - 1];
    }

    std::string name_;
    std::ifstream in_;
    char delimiter_;
    std::string comment_;
    int rowCount_ = 0;
    int counter_ = 1;
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

// --- rows and fields ---------------------------------------------------------

TEST(AscFile, CommentAndEmptyLinesAreNotRows) {
    testsupport::TempDir dir;
    AscFile table(dir.write("t.cat", "# header\n\n1 2 3\n4 5 6\n7 8 9\n"), 0, "#");
    EXPECT_EQ(table.rows(), 3);
    EXPECT_EQ(values(table.readFloatColumn(2, 1, -1)), (std::vector<float>{2, 5, 8}));
}

TEST(AscFile, WhiteSpaceLinesAndTrailingCommentsAreSkipped) {
    testsupport::TempDir dir;
    std::string const name = dir.write("t.cat", "   \n\t\n \v\f\n  12.5   7  #word\n  #only\n");
    AscFile table(name, 0, "#");
    EXPECT_EQ(table.rows(), 1);
    EXPECT_EQ(values(table.readFloatColumn(1, 1, -1)), (std::vector<float>{12.5f}));
    EXPECT_EQ(values(table.readIntColumn(2, 1, -1)), (std::vector<int>{7}));
    // The comment is no third field.
    EXPECT_STREQ(messageOf([&] { table.readFloatColumn(3, 1, -1); }).c_str(),
                 ("Not enough columns in file '" + name + "'!").c_str());
}

TEST(AscFile, ColumnsInAnyOrderAndTabsAsSeparators) {
    testsupport::TempDir dir;
    AscFile table(dir.write("t.cat", indexedTable(4, 6, '\t')), 0, "#");
    EXPECT_EQ(values(table.readIntColumn(5, 1, -1)), (std::vector<int>{105, 205, 305, 405}));
    EXPECT_EQ(values(table.readIntColumn(3, 1, -1)), (std::vector<int>{103, 203, 303, 403}));
    EXPECT_EQ(values(table.readFloatColumn(6, 2, 2)), (std::vector<float>{206, 306}));
    EXPECT_EQ(values(table.readFloatColumn(1, 1, 2)), (std::vector<float>{101, 201}));
    // Rows 3 and 4 follow on without a rewind.
    EXPECT_EQ(values(table.readIntColumn(2, 3, -1)), (std::vector<int>{302, 402}));
}

TEST(AscFile, ColumnZeroIsEmptyAndBelowZeroThrows) {
    testsupport::TempDir dir;
    std::string const name = dir.write("t.cat", indexedTable(3, 2));
    AscFile table(name, 0, "#");
    EXPECT_EQ(values(table.readFloatColumn(0, 1, -1)), (std::vector<float>{0, 0, 0}));
    EXPECT_STREQ(messageOf([&] { table.readIntColumn(-1, 1, -1); }).c_str(),
                 ("Not enough columns in file '" + name + "'!").c_str());
}

TEST(AscFile, TooFewColumnsNamesTheFile) {
    testsupport::TempDir dir;
    std::string const name = dir.write("t.cat", "1 2 3 4 5 6 7 8\n");
    AscFile table(name, 0, "#");
    EXPECT_STREQ(messageOf([&] { table.readFloatColumn(9, 1, -1); }).c_str(),
                 ("Not enough columns in file '" + name + "'!").c_str());
    EXPECT_EQ(values(table.readFloatColumn(8, 1, -1)), (std::vector<float>{8}));
}

TEST(AscFile, ConversionFollowsStrtodAndStrtol) {
    testsupport::TempDir dir;
    AscFile table(
        dir.write("t.cat", "abc 1.5abc 0x10 1e5 99999999999 -99999999999 nan -inf 1e39 +2.5\n"), 0,
        "#");
    std::vector<float> f;
    std::vector<int> n;
    for (int col = 1; col <= 10; ++col) {
        f.push_back(table.readFloatColumn(col, 1, -1)(1));
        n.push_back(table.readIntColumn(col, 1, -1)(1));
    }
    EXPECT_EQ(f[0], 0.0f);   // letters
    EXPECT_EQ(f[1], 1.5f);   // the leading number
    EXPECT_EQ(f[2], 16.0f);  // hexadecimal for strtod ...
    EXPECT_EQ(n[2], 0);      // ... but not for strtol base 10
    EXPECT_EQ(f[3], 1e5f);
    EXPECT_EQ(n[3], 1);
    EXPECT_EQ(n[4], INT_MAX);  // out of int range: clamped
    EXPECT_EQ(n[5], INT_MIN);
    EXPECT_TRUE(std::isnan(f[6]));
    EXPECT_EQ(f[7], -INFINITY);
    EXPECT_EQ(f[8], INFINITY);  // beyond the float range
    EXPECT_EQ(f[9], 2.5f);
    EXPECT_EQ(n[9], 2);
}

// --- line ends, delimiters, comment markers ------------------------------------

TEST(AscFile, CrlfTableReadsLikeItsLfTwin) {
    testsupport::TempDir dir;
    std::string const lf = "# c\n\n1,2\n 3 ,4\n";
    std::string crlf;
    for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    for (char delimiter : {'\0', ','}) {
        AscFile a(dir.write("lf.cat", lf + "5,6"), delimiter, "#");
        AscFile b(dir.write("crlf.cat", crlf + "5,6\r"), delimiter, "#");
        EXPECT_EQ(a.rows(), 3);
        EXPECT_EQ(b.rows(), 3);
        EXPECT_EQ(values(a.readFloatColumn(1, 1, -1)), values(b.readFloatColumn(1, 1, -1)));
        if (delimiter != 0) {
            EXPECT_EQ(values(b.readIntColumn(2, 1, -1)), (std::vector<int>{2, 4, 6}));
        }
    }
}

TEST(AscFile, DelimiterModeKeepsEmptyFieldsAndBlanks) {
    testsupport::TempDir dir;
    std::string const name = dir.write("t.csv", ";7;;9\n  \n1;2;3;4 # x\n");
    AscFile table(name, ';', "#");
    // A line of blanks is a row in delimiter mode; its only field reads 0.
    EXPECT_EQ(table.rows(), 3);
    EXPECT_EQ(values(table.readIntColumn(1, 1, -1)), (std::vector<int>{0, 0, 1}));
    EXPECT_EQ(values(table.readIntColumn(2, 1, 1)), (std::vector<int>{7}));
    EXPECT_EQ(values(table.readFloatColumn(4, 3, 1)), (std::vector<float>{4}));
    EXPECT_EQ(values(table.readIntColumn(3, 1, 1)), (std::vector<int>{0}));
    EXPECT_STREQ(messageOf([&] { table.readIntColumn(2, 1, -1); }).c_str(),
                 ("Column does not exist in file'" + name + "'!").c_str());
    EXPECT_STREQ(messageOf([&] { table.readIntColumn(5, 1, 1); }).c_str(),
                 ("Column does not exist in file'" + name + "'!").c_str());
}

TEST(AscFile, MultiCharacterAndEmptyCommentMarkers) {
    testsupport::TempDir dir;
    std::string const text = "// head\n1 2//3 4\n#5 6\n";
    AscFile slashes(dir.write("t.cat", text), 0, "//");
    EXPECT_EQ(slashes.rows(), 2);
    EXPECT_EQ(values(slashes.readIntColumn(2, 1, 1)), (std::vector<int>{2}));
    AscFile none(dir.file("t.cat"), 0, "");
    EXPECT_EQ(none.rows(), 3);
    EXPECT_EQ(values(none.readIntColumn(2, 1, -1)), (std::vector<int>{0, 2, 6}));
}

// --- row counter and requests outside the table -----------------------------------

TEST(AscFile, RequestsPositionThemselvesByTheRowCounter) {
    testsupport::TempDir dir;
    std::string const name = dir.write("t.cat", indexedTable(5, 3));
    AscFile table(name, 0, "#");
    EXPECT_EQ(values(table.readIntColumn(1, 2, 2)), (std::vector<int>{201, 301}));
    EXPECT_EQ(table.rows(), 5);  // counting leaves the position alone
    EXPECT_EQ(values(table.readIntColumn(2, 4, 1)), (std::vector<int>{402}));
    EXPECT_EQ(values(table.readIntColumn(3, 1, 1)), (std::vector<int>{103}));
    // Rows beyond the end read as 0; a first row past the end gives nothing.
    EXPECT_EQ(values(table.readIntColumn(1, 4, 4)), (std::vector<int>{401, 501, 0, 0}));
    EXPECT_EQ(values(table.readIntColumn(1, 9, 2)), (std::vector<int>{0, 0}));
    EXPECT_EQ(table.readIntColumn(1, 9, -1).size(), 0);
    EXPECT_STREQ(messageOf([&] { table.readIntColumn(1, 0, 1); }).c_str(),
                 ("First row below 1 requested from file '" + name + "'!").c_str());
}

TEST(AscFile, RequestAfterAMissingColumnStartsAgain) {
    testsupport::TempDir dir;
    std::string const name = dir.write("t.cat", "1 2\n3\n5 6\n");
    AscFile table(name, 0, "#");
    EXPECT_STREQ(messageOf([&] { table.readIntColumn(2, 1, -1); }).c_str(),
                 ("Not enough columns in file '" + name + "'!").c_str());
    EXPECT_EQ(values(table.readIntColumn(2, 3, 1)), (std::vector<int>{6}));
    EXPECT_EQ(values(table.readIntColumn(1, 1, -1)), (std::vector<int>{1, 3, 5}));
}

// --- files that are not ordinary tables ------------------------------------------

TEST(AscFile, EmptyFileHasNoRowsAndEmptyColumns) {
    testsupport::TempDir dir;
    AscFile table(dir.write("t.cat", ""), 0, "#");
    EXPECT_EQ(table.rows(), 0);
    EXPECT_EQ(table.readFloatColumn(3, 1, -1).size(), 0);
    EXPECT_EQ(table.readIntColumn(1, 1, -1).size(), 0);
}

TEST(AscFile, UnopenableNamesAreRefused) {
    testsupport::TempDir dir;
    std::string const missing = dir.file("missing.cat");
    EXPECT_STREQ(messageOf([&] { AscFile table(missing, 0, "#"); }).c_str(),
                 ("Cannot open file '" + missing + "'!").c_str());
    EXPECT_STREQ(messageOf([&] { AscFile table(dir.path(), 0, "#"); }).c_str(),
                 ("Cannot open file '" + dir.path() + "'!").c_str());
    // A pipe without a writer: refused at once instead of waiting.
    std::string const fifo = dir.file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_STREQ(messageOf([&] { AscFile table(fifo, 0, "#"); }).c_str(),
                 ("Cannot open file '" + fifo + "'!").c_str());
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

// A file without line ends, such as a download preallocated with zeros, was
// read whole into one line buffer (3.2 GB of memory for a file of 1.1 GB).
// A line of 128 MiB or more is refused, the lines before it still count.
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

TEST(AscFile, NulBytesAreOrdinaryText) {
    testsupport::TempDir dir;
    std::string const text("1\0002 3\n\0\n", 8);
    AscFile table(dir.write("t.cat", text), 0, "#");
    EXPECT_EQ(table.rows(), 2);
    // A field stops being a number at its NUL, as strtod reads it.
    EXPECT_EQ(values(table.readIntColumn(1, 1, -1)), (std::vector<int>{1, 0}));
    EXPECT_EQ(values(table.readIntColumn(2, 1, 1)), (std::vector<int>{3}));
}

// --- comparison with the literal reader: real catalogues, random tables -------------------

// Field texts that probe the conversions: decimals of every shape, extremes
// of the float, double, int and long ranges, strtod-only forms and junk.
std::string randomToken(std::mt19937& random) {
    static char const* const kSpecial[] = {"inf",
                                           "-inf",
                                           "+inf",
                                           "Infinity",
                                           "nan",
                                           "-nan",
                                           "NAN(0x1f)",
                                           "0x1A",
                                           "0x1p-3",
                                           "-0x.8",
                                           "1e400",
                                           "-1e400",
                                           "1e-400",
                                           "4.9e-324",
                                           "2.4703282292062327e-324",
                                           "1.7976931348623157e308",
                                           "1.7976931348623158e308",
                                           "3.4028235e38",
                                           "3.40282357e38",
                                           "1e39",
                                           "1.4e-45",
                                           "7e-46",
                                           "2147483647",
                                           "2147483648",
                                           "-2147483648",
                                           "-2147483649",
                                           "9223372036854775807",
                                           "9223372036854775808",
                                           "-9223372036854775809",
                                           "99999999999999999999",
                                           "0000000000000000000000123",
                                           "abc",
                                           "1.5abc",
                                           "1e",
                                           "1e+",
                                           ".",
                                           "-",
                                           "+",
                                           "--1",
                                           "1..2",
                                           "-.5",
                                           "+.5e-3",
                                           "12#4",
                                           "x",
                                           "\v5",
                                           "\f3",
                                           "5\v",
                                           "\r7",
                                           "\xc3\xa9",
                                           "\xff\x01",
                                           "0.1",
                                           "-0",
                                           "1.",
                                           ".e1"};
    std::uniform_int_distribution<int> kind(0, 9);
    char text[64];
    switch (kind(random)) {
        case 0:
            return kSpecial[std::uniform_int_distribution<size_t>(
                0, sizeof kSpecial / sizeof kSpecial[0] - 1)(random)];
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
            s += "e" + std::to_string(static_cast<int>(random() % 700) - 350);
            return s;
        }
        case 5: {  // any bytes but separators and line ends
            std::string s;
            int const n = 1 + static_cast<int>(random() % 6);
            for (int k = 0; k < n; ++k) {
                char c = static_cast<char>(random() % 256);
                if (c == '\n' || c == ' ' || c == '\t') c = '\0';
                s += c;
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
    std::string text;
    for (int l = 0; l < lines; ++l) {
        int const shape = static_cast<int>(random() % 10);
        bool const regular = tokensPerRow >= 0;
        if (shape == 0) {
            // A blank or white-space line (regular tables put no white space
            // before blank and comment lines: it makes a row in delimiter mode).
            if (!regular) text += kPrefixes[random() % 6];
        } else if (shape == 1) {
            if (!regular) text += kPrefixes[random() % 6];
            text += "# comment 1 2";
        } else {
            text += kPrefixes[random() % 6];
            int const tokens = tokensPerRow >= 0 ? tokensPerRow : static_cast<int>(random() % 9);
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
// the values bit for bit, or the messages when they throw.
template <class T>
void expectSameRequest(AscFile& fast, LiteralTable& literal, int col, int first, int count,
                       std::string const& context) {
    std::vector<T> expected;
    std::vector<T> got;
    std::string expectedMessage;
    std::string gotMessage;
    try {
        if constexpr (std::is_same_v<T, float>)
            expected = literal.readFloatColumn(col, first, count);
        else
            expected = literal.readIntColumn(col, first, count);
    } catch (IOException const& e) {
        expectedMessage = e.what();
    }
    try {
        if constexpr (std::is_same_v<T, float>)
            got = values(fast.readFloatColumn(col, first, count));
        else
            got = values(fast.readIntColumn(col, first, count));
    } catch (IOException const& e) {
        gotMessage = e.what();
    }
    std::string const request = context + " col " + std::to_string(col) + " first " +
                                std::to_string(first) + " count " + std::to_string(count);
    EXPECT_EQ(gotMessage, expectedMessage) << request;
    ASSERT_EQ(got.size(), expected.size()) << request;
    for (size_t i = 0; i < got.size(); ++i) {
        // Bit for bit, so that NaNs and signed zeros compare too.
        if (std::memcmp(&got[i], &expected[i], sizeof(T)) != 0) {
            ADD_FAILURE() << request << ": element " << i + 1 << " is " << got[i]
                          << ", the literal reader gives " << expected[i];
            return;
        }
    }
}

// The four source catalogues shipped with the sky images: every column as float and int.
TEST(AscFile, ShippedCataloguesMatchTheLiteralReader) {
    constexpr int kColumns = 11;
    // The catalogue shipped in data/, and the other real ones where they exist.
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
        for (int col = 1; col <= kColumns; ++col) {
            expectSameRequest<float>(fast, literal, col, 1, -1, name);
            expectSameRequest<int>(fast, literal, col, 1, -1, name);
        }
    }
}

// Tables up to this many rows are also compared one row per request.
constexpr int kRowByRowLimit = 100;

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
        int const tokensPerRow = t % 2 == 0 ? 10 : -1;
        std::string const name =
            dir.write("t.cat", randomTable(random, linesPerTable, delimiter, tokensPerRow));
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
        // Row by row, so that a short row elsewhere hides no difference.
        if (rows <= kRowByRowLimit) {
            int const col = 1 + static_cast<int>(random() % 4);
            for (int first = 1; first <= rows; ++first)
                expectSameRequest<float>(fast, literal, col, first, 1, context);
        }
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
    constexpr int kFiles = 20;
    constexpr size_t kBytes = 64 * 1024;
    testsupport::TempDir dir;
    std::mt19937 random(4);
    for (int f = 0; f < kFiles; ++f) {
        std::string bytes(kBytes, '\0');
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
        double const expected = std::strtod(token.c_str(), nullptr);
        double const got = sci::fieldToDouble(begin, end);
        ASSERT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << "'" << token << "'";
        ASSERT_EQ(sci::fieldToLong(begin, end), std::strtol(token.c_str(), nullptr, 10))
            << "'" << token << "'";
    }
}

}  // namespace
