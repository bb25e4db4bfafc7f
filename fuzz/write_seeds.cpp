// Writes the seed corpora of the fuzz targets: small files modelled on the
// test inputs (card images, FITS images of every pixel type, catalogues,
// command lines, whole runs). Usage: write_seeds <corpus directory>; each
// target gets <corpus directory>/<target>/<seed name>. The seeds in
// fuzz/corpus were made with it.
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "sci/fits_writer.h"

namespace {

std::string gRoot;

void seed(std::string const& target, std::string const& name, std::string const& bytes) {
    std::string const dir = gRoot + "/" + target;
    mkdir(gRoot.c_str(), 0755);
    mkdir(dir.c_str(), 0755);
    std::ofstream file(dir + "/" + name, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string numberCard(char const* key, double value) {
    char text[81];
    std::snprintf(text, sizeof text, "%-8s= %20.12G", key, value);
    return text;
}

std::vector<std::string> const kWcsCards = {"CTYPE1  = 'RA---TAN'",      "CTYPE2  = 'DEC--TAN'",
                                            numberCard("CRVAL1", 150.0), numberCard("CRVAL2", 30.0),
                                            numberCard("CRPIX1", 12.0),  numberCard("CRPIX2", 12.0),
                                            numberCard("CD1_1", -1e-4),  numberCard("CD2_2", 1e-4)};

// Pixel (x, y) = 100 x + y, first pixel (1, 1).
std::vector<double> selfDescribing(long nx, long ny) {
    std::vector<double> v;
    for (long y = 1; y <= ny; ++y)
        for (long x = 1; x <= nx; ++x) v.push_back(100.0 * x + y);
    return v;
}

std::string image(int bitpix, long nx, long ny, std::vector<double> const& stored,
                  std::vector<std::string> extra = {}) {
    std::vector<std::string> cards = sci::fitsImageCards(bitpix, {nx, ny});
    cards.insert(cards.end(), extra.begin(), extra.end());
    return sci::fitsHeaderBlock(cards) + sci::fitsDataBlock(stored, bitpix);
}

// A sky-subtracted field of 24 x 24 pixels with three Moffat stars (FWHM 2.5,
// beta 2.9) at the catalogue positions below.
struct Star {
    double x, y, flux;
};
std::vector<Star> const kStars = {{6.3, 7.6, 5000}, {17.2, 6.4, 8000}, {12.5, 17.5, 6500}};

std::vector<double> starField(long n) {
    double const beta = 2.9;
    double const alpha = 2.5 / (2.0 * std::sqrt(std::pow(2.0, 1.0 / beta) - 1.0));
    std::vector<double> v(static_cast<size_t>(n * n), 0.0);
    for (long y = 1; y <= n; ++y)
        for (long x = 1; x <= n; ++x) {
            double sum = 0.0;
            for (Star const& s : kStars) {
                double const r2 = (x - s.x) * (x - s.x) + (y - s.y) * (y - s.y);
                double const peak = s.flux * (beta - 1.0) / (M_PI * alpha * alpha);
                sum += peak * std::pow(1.0 + r2 / (alpha * alpha), -beta);
            }
            v[static_cast<size_t>((y - 1) * n + (x - 1))] = sum + 0.25 * ((x * 7 + y * 3) % 5 - 2);
        }
    return v;
}

std::string catalogue() {
    std::string text = "# id x y ra dec flux flag class\n";
    char line[200];
    int id = 1;
    for (Star const& s : kStars) {
        std::snprintf(line, sizeof line, "%d %.3f %.3f 150.0 30.0 %.1f 0 0.95\n", id++, s.x, s.y,
                      s.flux);
        text += line;
    }
    text += "4 3.0 20.0 150.0 30.0 150.0 0 0.1\n5 20.5 21.5 150.0 30.0 90.0 2 0.5\n";
    return text;
}

void cardSeeds() {
    std::vector<std::string> const cards = {
        "SIMPLE  =                    T / file conforms to FITS",
        "BITPIX  =                  -32",
        "NAXIS   =                    2",
        "NAXIS1  =                  100 / length of axis 1",
        "EXPTIME =                  120 / seconds",
        "CRPIX1  = 100",
        "CRVAL1  =        202.469575 / RA",
        "CD1_1   = -2.7777E-4",
        "BSCALE  = 1.5D3",
        "OBJECT  = 'O''HARA '           / observed",
        "ORIGIN  = '     '",
        "EMPTY   = ''",
        "DATE-OBS= '2005-02-01T10:11:12.5'",
        "DATE    = '01/02/05'",
        "DATE    = '1965-01-01'",
        "COMMENT   a comment card",
        "HISTORY",
        "        text under a blank keyword",
        "END",
        "EQUINOX = '2000'",
        "EPOCH   =               1950.0",
        "KEYWORD = / a comment but no value",
        "lower   = 1",
        "CRVAL2  = 'no closing quote",
        "CTYPE1  = 'RA---TAN'",
        "PC1_2   = -0.5",
        "EXTEND  =                    F",
        "COMMENT = 'value not allowed'",
    };
    int k = 0;
    for (std::string const& card : cards)
        seed("fits_card", "card" + std::to_string(k++), sci::fitsRawCard(card));
}

void fileSeeds() {
    long const nx = 8, ny = 6;
    std::vector<double> const v = selfDescribing(nx, ny);
    std::vector<double> small(v.size());
    for (size_t k = 0; k < v.size(); ++k) small[k] = static_cast<double>(k % 200);
    seed("fits_file", "bitpix8", image(8, nx, ny, small));
    seed("fits_file", "bitpix16_bzero", image(16, nx, ny, small, {numberCard("BZERO", 32768.0)}));
    seed("fits_file", "bitpix32_wcs", image(32, nx, ny, v, kWcsCards));
    seed("fits_file", "bitpix-32", image(-32, nx, ny, v));
    seed("fits_file", "bitpix-64_scaled",
         image(-64, nx, ny, v, {numberCard("BSCALE", 2.0), numberCard("BZERO", -1.0)}));
    seed("fits_file", "naxis0", sci::fitsHeaderBlock(sci::fitsImageCards(16, {})));
    std::vector<std::string> cube = sci::fitsImageCards(16, {4, 3, 2});
    seed("fits_file", "naxis3",
         sci::fitsHeaderBlock(cube) + sci::fitsDataBlock(std::vector<double>(24, 7.0), 16));
    std::vector<std::string> huge = sci::fitsImageCards(-32, {1000000000L, 1000000000L});
    seed("fits_file", "huge_axes", sci::fitsHeaderBlock(huge));
    // Many cards: the header runs over into a second record.
    std::vector<std::string> many = sci::fitsImageCards(-32, {nx, ny});
    for (int k = 0; k < 40; ++k) many.push_back(numberCard(("KEY" + std::to_string(k)).c_str(), k));
    seed("fits_file", "two_records", sci::fitsHeaderBlock(many) + sci::fitsDataBlock(v, -32));
    // An image extension behind the primary header.
    std::vector<std::string> primary = sci::fitsImageCards(16, {});
    primary.push_back("EXTEND  =                    T");
    std::vector<std::string> ext = {
        "XTENSION= 'IMAGE   '",           "BITPIX  =                  -32",
        "NAXIS   =                    2", numberCard("NAXIS1", nx),
        numberCard("NAXIS2", ny),         "PCOUNT  =                    0",
        "GCOUNT  =                    1"};
    seed("fits_file", "extension",
         sci::fitsHeaderBlock(primary) + sci::fitsHeaderBlock(ext) + sci::fitsDataBlock(v, -32));
    std::string const whole = image(-32, nx, ny, v);
    seed("fits_file", "truncated_data", whole.substr(0, 2880 + 100));
    // A header whose END is missing, followed by its data.
    seed("fits_file", "no_end",
         sci::fitsHeaderBlock(sci::fitsImageCards(-32, {nx, ny}), false) +
             sci::fitsDataBlock(v, -32));
}

void tableSeeds() {
    std::string const table =
        "# id x y ra dec flux flag class\n"
        "\n"
        "  1 259.2070 260.2162 202.4692077 +47.1954404 1924944 3 0.029\n"
        "  2 151.7660 239.0390 202.5028840 +47.1912748 136439.3 3 0.000 # bright\n"
        "\t3 377.9939\t197.5980 202.4324656 +47.1817153 107949.7 3 0.000\n"
        "  4 nan inf -1e39 1e-50 0x1p3 abc 0.5\n";
    seed("asc_file", "whitespace", std::string(" #") + table);
    std::string crlf;
    for (char c : table) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    seed("asc_file", "crlf", std::string(" #") + crlf);
    seed("asc_file", "comma", std::string(",/") + "1,2.5,,4\n//comment\n5,6,7,8 // tail\n9\n");
    seed("asc_file", "no_newline", std::string(" \x01") + "1 2 3 4 5 6 7\n8 9 10 11 12 13 14");
}

void optionSeeds() {
    seed("options", "demo",
         "-i\ndata/m51/m51.cat\n-o\nout.tbl\n--flag_column\n7\n--flag_limit\n3\n--class_column\n8\n"
         "-c\n0.8\n--min_thresh\n0.5\n--max_thresh\n0.99\n--nfields\n2,2\n-n\n3\n-r\n2\n-v\n1\n"
         "m51.fits\ne.m51.fits\n");
    seed("options", "sky", "-input\ncat.txt\n-x\n-4\n--check radius\n3\n--mag\n--mag\nimg.fits\n");
    seed("options", "errors", "--nfields\n1,2,3\n");
    seed("options", "negative", "-i\nc\n-c\n-.5\n-b\n-2147483648\n--boxlen\n0\n");
    seed("options", "unknown", "--nosuch\n1\n-q\n");
}

void runSeeds() {
    long const n = 24;
    std::string const img = image(-32, n, n, starField(n), kWcsCards);
    std::vector<double> const err(static_cast<size_t>(n * n), 1.0);
    std::string const errImg = image(-32, n, n, err);
    std::string const sep = "\n%%%%\n";
    std::string const cat = catalogue();
    seed("run", "select",
         "-n\n2\n-r\n1\n--boxlen\n4\n--min_thresh\n0\n--max_thresh\n1\n--nfields\n2,1\n-v\n3\n"
         "--flag_column\n7\n--flag_limit\n1\n--class_column\n8\n-c\n0.5" +
             sep + cat + sep + "" + sep + img + sep + errImg);
    seed("run", "reject",
         "-n\n3\n--boxlen\n3\n--min_thresh\n0\n--max_thresh\n1\n--nchi_reject\n1\n--fwhm_reject\n1"
         "\n--fwhm_sort\n-v\n6" +
             sep + cat + sep + "12.5 17.5\n" + sep + img + sep + errImg);
    seed("run", "sky",
         "-x\n-4\n-n\n1\n--min_thresh\n0" + sep +
             "1 150.0 30.0 150.001 30.001 5000\n2 150.0 30.0 149.999 29.999 6000\n" + sep + sep +
             img + sep + errImg);
    seed("run", "pass_through", "-n\n0\n--flag_column\n7\n--id_column\n0\n-v\n1" + sep + cat);
    seed("run", "no_image", "-n\n1\n--min_thresh\n0\n--nfields\n3,3" + sep + cat);
    // An image of a billion pixels a side in one header record, with large
    // stamps: the stamps lie beyond the end of the file.
    std::string const huge =
        sci::fitsHeaderBlock(sci::fitsImageCards(-32, {1000000000L, 1000000000L}));
    seed("run", "huge_image",
         "-r\n100000000\n--boxlen\n100000000\n--nfields\n1,1\n--min_thresh\n0" + sep +
             "1 500000000 500000000 0 0 100\n2 600000000 600000000 0 0 200\n"
             "3 700000000 400000000 0 0 300\n" +
             sep + sep + huge);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: write_seeds <corpus directory>\n";
        return 2;
    }
    gRoot = argv[1];
    cardSeeds();
    fileSeeds();
    tableSeeds();
    optionSeeds();
    runSeeds();
    return 0;
}
