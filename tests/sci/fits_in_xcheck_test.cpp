// Cross-checks of the FITS reader against cfitsio, an independent FITS
// library: files written by cfitsio (every BITPIX, with and without
// BSCALE/BZERO, unsigned types through BZERO, NaNs, odd sizes, headers of
// several records, long strings and comments) and files of our writer are
// read by both. Pixels must agree bit for bit (two NaNs count as equal), and
// every keyword value exactly.
#include <fitsio.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "sci/fits_in.h"
#include "sci/fits_writer.h"
#include "tests/support/float_compare.h"
#include "tests/support/temp_dir.h"

namespace {

// Owns an open cfitsio file; check reports a cfitsio error as a test failure.
struct CFits {
    fitsfile* file = nullptr;
    int status = 0;
    CFits(std::string const& path, bool create) {
        if (create)
            fits_create_file(&file, ("!" + path).c_str(), &status);
        else
            fits_open_file(&file, path.c_str(), READONLY, &status);
        check("open " + path);
    }
    ~CFits() {
        int ignored = 0;
        if (file != nullptr) fits_close_file(file, &ignored);
    }
    void check(std::string const& what) {
        char text[FLEN_STATUS] = "";
        fits_get_errstatus(status, text);
        EXPECT_EQ(status, 0) << "cfitsio: " << what << ": " << text;
        status = 0;
    }
};

// Identical bits, or NaN on both sides.
void comparePixels(std::vector<float> const& ours, std::vector<float> const& theirs,
                   std::string const& what) {
    ASSERT_EQ(theirs.size(), ours.size()) << what;
    for (size_t k = 0; k < ours.size(); ++k)
        ASSERT_TRUE(testsupport::sameBits(ours[k], theirs[k]))
            << what << " element " << k << ": ours " << ours[k] << " cfitsio " << theirs[k];
}

// Every pixel of the primary image, read by cfitsio and by sci::FitsIn, then
// stamps through regions at two opposite corners.
void compareImage(std::string const& path) {
    CFits c(path, false);
    int bitpix = 0, naxis = 0;
    long naxes[2] = {0, 0};
    fits_get_img_param(c.file, 2, &bitpix, &naxis, naxes, &c.status);
    c.check("image parameters");
    sci::FitsIn in(path, sci::CardWarnings::kQuiet);
    ASSERT_EQ(
        std::make_tuple(bitpix, naxis, naxes[0], naxes[1]),
        std::make_tuple(in.getBitpix(), in.getNaxis(), long{in.getNaxis(1)}, long{in.getNaxis(2)}))
        << path;
    long const n = naxes[0] * naxes[1];
    std::vector<float> theirs(static_cast<size_t>(n));
    long first[2] = {1, 1};
    int anynul = 0;
    fits_read_pix(c.file, TFLOAT, first, n, nullptr, theirs.data(), &anynul, &c.status);
    c.check("read " + path);
    std::unique_ptr<float[]> data = in.getFloatArray();
    comparePixels(std::vector<float>(data.get(), data.get() + n), theirs, path);

    long const r = 2;  // stamps of 5 x 5 pixels at the corners
    if (naxes[0] < 2 * r + 1 || naxes[1] < 2 * r + 1) return;
    for (auto [cx, cy] : {std::pair{r + 1, r + 1}, {naxes[0] - r, naxes[1] - r}}) {
        util::Region region = in.getFullRegion();
        region.setRange(1, static_cast<int>(cx - r), static_cast<int>(cx + r));
        region.setRange(2, static_cast<int>(cy - r), static_cast<int>(cy + r));
        in.setRegion(region);
        sci::MArray<float, 2> stamp(sci::Range(-r, r), sci::Range(-r, r));
        sci::readRegion(in, stamp);
        long lo[2] = {cx - r, cy - r}, hi[2] = {cx + r, cy + r}, step[2] = {1, 1};
        std::vector<float> sub(25);
        fits_read_subset(c.file, TFLOAT, lo, hi, step, nullptr, sub.data(), &anynul, &c.status);
        c.check("subset");
        comparePixels({stamp.begin(), stamp.end()}, sub, path + " stamp " + region.toString());
    }
}

std::string trimmed(std::string const& text) {
    size_t const first = text.find_first_not_of(' ');
    return first == std::string::npos ? ""
                                      : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Every keyword with a value in the primary header has the same value (and comment) in ours;
// COMMENT and HISTORY cards with text are all kept.
void compareKeywords(std::string const& path) {
    CFits c(path, false);
    sci::FitsHeader const header(path, sci::CardWarnings::kQuiet);
    int nkeys = 0;
    fits_get_hdrspace(c.file, &nkeys, nullptr, &c.status);
    std::map<std::string, size_t> commentary;
    for (int i = 1; i <= nkeys; ++i) {
        char record[FLEN_CARD] = "";
        fits_read_record(c.file, i, record, &c.status);
        std::string const keyword = sci::fitsKeyword(std::string(record).substr(0, 8));
        std::string const text = std::string(record).size() > 8 ? record + 8 : "";
        if (keyword == "COMMENT " || keyword == "HISTORY ") {
            if (!trimmed(text).empty()) ++commentary[keyword];  // empty ones are dropped
            continue;
        }
        if (trimmed(keyword).empty() || text.compare(0, 2, "= ") != 0) continue;
        char value[FLEN_VALUE] = "";
        char comment[FLEN_COMMENT] = "";
        int status = 0;
        fits_parse_value(record, value, comment, &status);
        char type = 0;
        if (status != 0 || value[0] == '\0' || fits_get_keytype(value, &type, &status) != 0)
            continue;
        std::string const name = trimmed(keyword);
        sci::FitsCard const& card = header.getValueCard(keyword);
        SCOPED_TRACE(path + ": " + record);
        if (type == 'C') {
            char theirs[FLEN_VALUE] = "";
            fits_read_key(c.file, TSTRING, name.c_str(), theirs, nullptr, &c.status);
            std::string ours = card.getString();  // doubled quotes stand for one
            for (size_t k = ours.find("''"); k != std::string::npos; k = ours.find("''", k + 1))
                ours.erase(k, 1);
            EXPECT_EQ(std::string(theirs), ours == " " ? "" : ours);  // " ": a string of blanks
        } else if (int logical = 0; type == 'L') {
            fits_read_key(c.file, TLOGICAL, name.c_str(), &logical, nullptr, &c.status);
            EXPECT_EQ(logical != 0, card.getBool());
        } else if (double real = 0; type == 'I' || type == 'F') {  // integers here fit a double
            fits_read_key(c.file, TDOUBLE, name.c_str(), &real, nullptr, &c.status);
            EXPECT_EQ(real, type == 'I' ? static_cast<double>(card.getInt()) : card.getFloat());
        } else {
            continue;
        }
        c.check(path + ": " + std::string(record));
        EXPECT_EQ(trimmed(comment), trimmed(card.getComment()));
    }
    EXPECT_EQ(commentary["COMMENT "], header.commentCards().size()) << path;
    EXPECT_EQ(commentary["HISTORY "], header.historyCards().size()) << path;
}

// Raw element values of the type, spread over its range with its extremes,
// and for floats NaN, -0, inf, a denormal and a value beyond float.
std::vector<double> rawValues(int bitpix, long n, std::mt19937& random) {
    double const hi = bitpix == 8 ? 255 : bitpix == 16 ? 32767 : bitpix == 32 ? 2147483647 : 1e6;
    double const lo = bitpix == 8 ? 0 : -hi - (bitpix > 0);
    std::uniform_real_distribution<double> value(lo, hi);
    std::vector<double> v(static_cast<size_t>(n));
    for (double& x : v) x = bitpix > 0 ? std::floor(value(random)) : value(random);
    if (n >= 2) v[0] = lo, v[1] = hi;
    double const nan = std::nan(""), denormal = bitpix == -32 ? 1e-40 : 1e-310;
    double const special[] = {nan, -0.0, INFINITY, denormal, 3.5e38, nan};
    if (bitpix < 0 && n >= 8) std::copy(std::begin(special), std::end(special), v.begin() + 2);
    return v;
}

}  // namespace

TEST(FitsInXcheck, FilesWrittenByCfitsio) {
    testsupport::TempDir dir;
    std::string const path = dir.file("c.fits");
    std::mt19937 random(4711);
    // BITPIX in the file, the image type given to cfitsio (SBYTE_IMG and
    // USHORT_IMG set BZERO themselves), BSCALE and BZERO (written as keywords
    // unless 1 and 0), the size.
    for (auto const& [bitpix, type, bscale, bzero, nx, ny] :
         {std::tuple{8, SBYTE_IMG, 1.0, -128.0, 37L, 23L},
          {8, BYTE_IMG, 0.25, 10.0, 37L, 23L},
          {16, USHORT_IMG, 1.0, 32768.0, 37L, 23L},
          {16, SHORT_IMG, 0.0457777642, 1500.0, 61L, 59L},
          {32, LONG_IMG, 1e-3, -7.5, 1L, 1L},
          {-32, FLOAT_IMG, 2.0, 1.0, 129L, 7L},
          {-64, DOUBLE_IMG, 0.5, 100.0, 3000L, 2L}}) {
        bool const typeScales = type == SBYTE_IMG || type == USHORT_IMG;
        {
            CFits c(path, true);
            long naxes[2] = {nx, ny};
            fits_create_img(c.file, type, 2, naxes, &c.status);
            if (!typeScales && (bscale != 1.0 || bzero != 0.0)) {
                fits_write_key_dbl(c.file, "BSCALE", bscale, -15, "scale", &c.status);
                fits_write_key_dbl(c.file, "BZERO", bzero, -15, "zero", &c.status);
            }
            // Headers of several records, long strings, quotes, logicals, comments.
            for (int k = 0; k < 50; ++k) {
                double value = std::ldexp(std::uniform_real_distribution<double>(-1, 1)(random),
                                          std::uniform_int_distribution<int>(-200, 200)(random));
                fits_write_key_dbl(c.file, ("KEY" + std::to_string(k)).c_str(), value, -15,
                                   "a double", &c.status);
            }
            fits_write_key_lng(c.file, "BIGCOUNT", 1234567890123L, "long integer", &c.status);
            fits_write_key_log(c.file, "FLAGGED", 1, "logical", &c.status);
            for (auto const& [key, value, comment] :
                 {std::tuple{"LONGSTR", std::string(68, 'L'), ""},
                  {"OBSERVER", "O'Hara", "quoted"},
                  {"DATE-OBS", "1990-12-22T13:49:00", "date"}})
                fits_write_key_str(c.file, key, value.c_str(), comment, &c.status);
            fits_write_comment(c.file,
                               "a comment that is long enough to be split over more than one card "
                               "by cfitsio, we hope",
                               &c.status);
            fits_write_history(c.file, "written by the cross-check", &c.status);
            c.check("header of " + path);
            // Raw element values with scaling switched off; the unsigned types
            // take physical values instead.
            fits_set_bscale(c.file, 1.0, 0.0, &c.status);
            std::vector<double> raw = rawValues(bitpix, nx * ny, random);
            if (typeScales) {
                for (double& v : raw) v = v * bscale + bzero;
                fits_set_bscale(c.file, bscale, bzero, &c.status);
            }
            long first[2] = {1, 1};
            fits_write_pix(c.file, TDOUBLE, first, nx * ny, raw.data(), &c.status);
            c.check("data of " + path);
        }
        SCOPED_TRACE("BITPIX " + std::to_string(bitpix) + " type " + std::to_string(type));
        compareImage(path);
        compareKeywords(path);
    }
}

TEST(FitsInXcheck, FilesWrittenByOurWriterReadByCfitsio) {
    testsupport::TempDir dir;
    std::string const path = dir.file("ours.fits");
    sci::MArray<float, 2> image(41, 17);
    for (int y = 1; y <= 17; ++y)
        for (int x = 1; x <= 41; ++x) image(x, y) = static_cast<float>(100 * x + y);
    for (int bitpix : {16, 32, -32, -64}) {
        sci::writeFitsImage(path, image, bitpix, bitpix == 16 ? 0.5 : 1.0,
                            bitpix == 16 ? 100.0 : 0.0,
                            {sci::FitsStringCard("OBJECT  ", "M51", true, "target").writeCard()});
        compareImage(path);
        compareKeywords(path);
        sci::FitsIn in(path, sci::CardWarnings::kQuiet);
        EXPECT_EQ(4117.0f, sci::getFitsMArray(in)(41, 17));  // and both read what was written
    }
}
