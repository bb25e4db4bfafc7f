// Tests of sci::AscFile: refused rows, files and lines, and at large the
// comparison with a literal reader on random tables.
#include "sci/asc_file.h"
#include "sci/asc_numbers.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "sci/exceptions.h"
#include "tests/support/messages.h"
#include "tests/support/temp_dir.h"

namespace {

using sci::AscFile;
using sci::IOException;
using testsupport::messageOf;

// The literal reader: the table rules applied line by line with std::getline,
// rows split into std::string fields, values converted with strtod/strtol on
// each field. The reference for the randomized comparisons.
struct LiteralTable {
    LiteralTable(std::string const& file, char delim, std::string const& comment)
        : name(file), delimiter(delim) {
        std::ifstream in(file, std::ios::binary);
        std::string line;
        for (int number = 1; std::getline(in, line); ++number) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (delimiter == 0) line.erase(0, line.find_first_not_of(" \t\n\v\f\r"));
            if (!comment.empty()) line = line.substr(0, line.find(comment));
            if (!line.empty()) rows.push_back({line, number});
        }
    }

    // Rows past the end read as 0; a missing field throws the reader's message.
    template <class T>
    std::vector<T> column(int col, int first, int count) const {
        long const last = static_cast<long>(rows.size());
        std::vector<T> result(
            static_cast<size_t>(std::max(0L, count == -1 ? last - first + 1 : count)));
        for (long i = 0; i < static_cast<long>(result.size()) && first - 1 + i < last; ++i) {
            std::string const text = field(rows[first - 1 + i], col);
            if constexpr (std::is_same_v<T, float>)
                result[i] = static_cast<float>(std::strtod(text.c_str(), nullptr));
            else
                result[i] = static_cast<int>(
                    std::clamp<long>(std::strtol(text.c_str(), nullptr, 10), INT_MIN, INT_MAX));
        }
        return result;
    }

    // Pieces between runs of blanks and tabs, or between delimiters.
    std::string field(std::pair<std::string, int> const& row, int col) const {
        if (col == 0) return "";
        std::vector<std::string> pieces;
        std::string piece;
        for (char c : row.first + (delimiter != 0 ? delimiter : ' ')) {
            if (delimiter != 0 ? c != delimiter : c != ' ' && c != '\t') {
                piece += c;
            } else if (delimiter != 0 || !piece.empty()) {
                pieces.push_back(piece);
                piece.clear();
            }
        }
        if (col < 0 || static_cast<int>(pieces.size()) < col)
            throw IOException(delimiter != 0
                                  ? "Column does not exist in file'" + name + "'!"
                                  : "Not enough columns in file '" + name + "'! (line " +
                                        std::to_string(row.second) + " has " +
                                        std::to_string(pieces.size()) +
                                        (pieces.size() == 1 ? " column" : " columns") +
                                        ", column " + std::to_string(col) + " was asked)");
        return pieces[col - 1];
    }

    std::string name;
    char delimiter;
    std::vector<std::pair<std::string, int>> rows;  // the text and its line, counting from 1
};

// The rules at large are checked against the literal reader below; here the
// refusals: a first row below 1, files that are no tables (a pipe without a
// writer is refused at once instead of waiting), and a line of 128 MiB or more
// (a download preallocated with zeros was read whole into one line buffer).
TEST(AscFile, RefusedRowsFilesAndLines) {
    testsupport::TempDir dir;
    std::string const name = dir.write("t.cat", "1 2\n");
    EXPECT_EQ(messageOf<IOException>([&] { AscFile(name, 0, "#").readIntColumn(1, 0, 1); }),
              "First row below 1 requested from file '" + name + "'!");
    std::string const fifo = dir.file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (std::string const& bad : {dir.file("missing.cat"), dir.path(), fifo})
        EXPECT_EQ(messageOf<IOException>([&] { AscFile refused(bad, 0, "#"); }),
                  "Cannot open file '" + bad + "'!");

    std::string const path = dir.write("zeros.cat", "1 2 3\n");
    constexpr off_t kLine = off_t(128) << 20;
    ASSERT_EQ(truncate(path.c_str(), 6 + kLine), 0);  // the line of zeros reads as holes
    AscFile zeros(path, 0, "#");
    EXPECT_EQ(messageOf<IOException>([&] { zeros.readFloatColumn(1, 1, -1); }),
              "Line too long (128 MiB or more) in file '" + path + "'!");
}

// --- comparison with the literal reader on random tables -----------------------------

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
        default:  // short decimals, whole numbers at precision 0
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
                text += randomToken(random);
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
void expectSameRequest(AscFile& fast, LiteralTable const& literal, int col, int first, int count) {
    SCOPED_TRACE("col " + std::to_string(col) + " first " + std::to_string(first) + " count " +
                 std::to_string(count));
    std::vector<T> expected, got;
    auto const values = [](auto const& a) { return std::vector<T>(a.begin(), a.end()); };
    std::string const expectedMessage =
        messageOf<IOException>([&] { expected = literal.column<T>(col, first, count); });
    EXPECT_EQ(messageOf<IOException>([&] {
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

// Random tables of each configuration: small ones, tables of some megabytes
// (rows straddle the reader's buffer refills) and files of random bytes
// (every value, newlines included; the delimiter 0xff or none).
TEST(AscFileRandomized, TablesMatchTheLiteralReader) {
    testsupport::TempDir dir;
    std::mt19937 random(1);
    // Markers that contain a separator also cut rows across field ends.
    static char const* const kMarkers[] = {"#", "#", "//", "", "5 ", "5,"};
    static char const kDelimiters[] = {'\0', '\0', ',', ' '};
    // Tables, lines (or bytes) in each, requests on each, random bytes or not.
    for (auto const& [tables, lines, requests, garbage] :
         {std::tuple{400, 40, 12, false}, {3, 60000, 6, false}, {20, 64 * 1024, 8, true}}) {
        for (int t = 0; t < tables; ++t) {
            char const delimiter = garbage ? (t % 2 ? '\xff' : '\0') : kDelimiters[random() % 4];
            std::string const comment = garbage ? "#" : kMarkers[random() % 6];
            std::string text(garbage ? lines : 0, '\0');
            for (char& c : text) c = static_cast<char>(random() % 256);
            // Every other table has ten fields in each row, so that most
            // requests read whole columns rather than stop at a short row.
            if (!garbage) text = randomTable(random, lines, delimiter, t % 2 ? -1 : 10);
            std::string const name = dir.write("t.cat", text);
            AscFile fast(name, delimiter, comment);
            LiteralTable literal(name, delimiter, comment);
            SCOPED_TRACE("table " + std::to_string(t) + " of " + std::to_string(lines));
            int const rows = static_cast<int>(literal.rows.size());
            ASSERT_EQ(fast.rows(), rows);
            for (int r = 0; r < requests; ++r) {
                int const col = static_cast<int>(random() % 11) - 1;
                int const first = 1 + static_cast<int>(random() % (rows + 2));
                int const count = random() % 2 ? -1 : static_cast<int>(random() % (rows + 3));
                if (random() % 2)
                    expectSameRequest<float>(fast, literal, col, first, count);
                else
                    expectSameRequest<int>(fast, literal, col, first, count);
            }
            // Row by row on small tables, so that a short row elsewhere hides no difference.
            int const col = 1 + static_cast<int>(random() % 4);
            for (int first = 1; rows <= 100 && first <= rows; ++first)
                expectSameRequest<float>(fast, literal, col, first, 1);
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
