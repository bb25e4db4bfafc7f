// End-to-end selection runs of the built psfpick on a synthetic field that
// the test writes: image, error image and catalogue with known stars.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "sci/fits_writer.h"
#include "tests/apps/e2e_support.h"
#include "tests/support/moffat_star.h"
#include "tests/support/synthetic_field.h"
#include "tests/support/temp_dir.h"

using namespace e2e;
using testsupport::FieldStar;
using testsupport::readFile;
using testsupport::RunResult;
using testsupport::TempDir;

namespace {

constexpr int kSize = 120;           // image of kSize x kSize pixels
constexpr double kFwhm = 3.0;        // of every star, pixels
constexpr double kBeta = 2.9;        // Moffat index of every star
constexpr double kNoiseSigma = 1.0;  // Gaussian noise, also the error image
// World coordinates of the field: CD matrix without rotation.
constexpr double kCrval1 = 150.0, kCrval2 = 30.0, kCrpix = 60.0, kScale = 1e-4;
constexpr uint64_t kNoiseSeed = 20141402;

// Ten stars over 2 x 2 subfields of 60 pixels (see the expectations below).
std::vector<FieldStar> const kStars = {
    {1, 20.3, 25.6, 20000, 0, 0.95},   {2, 45.1, 40.2, 18000, 0, 0.95},
    {3, 85.4, 20.7, 22000, 0, 0.95},   {4, 100.2, 45.5, 21000, 0, 0.20},
    {5, 25.5, 85.5, 19000, 0, 0.95},   {6, 40.5, 100.5, 17000, 0, 0.95},
    {7, 110.2, 115.3, 16000, 0, 0.95}, {8, 90.6, 80.4, 15000, 4, 0.95},
    {9, 95.3, 95.8, 23000, 0, 0.95},   {10, 50.0, 48.0, 500, 0, 0.95},
};

// Writes image (pixels of a size x size field, with the projection of the
// header cards below) and its error image e.<image> beside it, sigma everywhere.
void writeImages(TempDir const& dir, std::string const& image, int size,
                 std::vector<double> const& pixels, double sigma) {
    std::vector<std::string> const cards = testsupport::tanCards(kCrval1, kCrval2, kCrpix, kScale);
    size_t const name = image.rfind('/') + 1;
    sci::writeFitsImage(dir.file(image), size, size, pixels, -32, 1.0, 0.0, cards);
    sci::writeFitsImage(dir.file(image.substr(0, name) + "e." + image.substr(name)), size, size,
                        std::vector<double>(pixels.size(), sigma), -32, 1.0, 0.0, cards);
}

// Writes <dir>/<folder>/img.fits, <dir>/<folder>/e.img.fits and <dir>/cat.txt.
// sky is added to every pixel of the image (0 for a sky-subtracted image).
void writeField(TempDir const& dir, std::string const& folder = "field", double sky = 0.0) {
    std::filesystem::create_directory(dir.file(folder));
    writeImages(
        dir, folder + "/img.fits", kSize,
        testsupport::moffatField(kSize, kSize, kStars, kFwhm, kBeta, kNoiseSigma, sky, kNoiseSeed),
        kNoiseSigma);
    dir.write("cat.txt", testsupport::catalogueText(kStars));
}

// One star per 2 x 2 subfield from a wide flux range, flag and class columns in use.
std::string const kSelection =
    "-i cat.txt -o out.tbl --nfields 2,2 -n 1 --min_thresh 0.25 --max_thresh 1 "
    "--flag_column 7 --class_column 8 -c 0.5 ";

// A small reader of the report's ECSV: each data row as column name to
// field, split at blanks outside double quotes; an empty quoted field is
// null. The names are the data section's header line, which must list those
// of the header's datatype list.
using EcsvRow = std::map<std::string, std::optional<std::string>>;

std::vector<EcsvRow> readEcsv(std::string const& text) {
    EXPECT_EQ(text.rfind("# %ECSV 1.0\n# ---\n", 0), 0u);
    std::istringstream in(text);
    std::string line, listed;
    std::smatch name;
    while (std::getline(in, line) && line.rfind("# ", 0) == 0)
        if (std::regex_match(line, name, std::regex("# - \\{name: ([^,]+),.*")))
            listed += (listed.empty() ? "" : " ") + name[1].str();
    EXPECT_EQ(line, listed);
    std::vector<std::string> const names = words(line);
    std::regex const field("\"([^\"]*)\"|[^ ]+");
    std::vector<EcsvRow> rows;
    while (std::getline(in, line)) {
        EcsvRow& row = rows.emplace_back();
        for (std::sregex_iterator m(line.begin(), line.end(), field), end; m != end; ++m) {
            std::string const value = (*m)[1].matched ? (*m)[1].str() : m->str();
            row[names.at(row.size())] =
                (*m)[1].matched && value.empty() ? std::nullopt : std::optional(value);
        }
        EXPECT_EQ(row.size(), names.size()) << line;
    }
    return rows;
}

TEST(PsfpickRun, SelectsTheMostIsolatedStarOfEachSubfield) {
    TempDir dir;
    writeField(dir);
    std::vector<std::string> const args = words(kSelection + "--report out.ecsv field/img.fits");
    TableRun const r = runIn(dir.path(), args);  // error image: field/e.img.fits
    ASSERT_EQ(r.result.status, kStatusSuccess) << r.result.err;
    EXPECT_EQ(r.result.err, expectedText("selected.err"));
    // (1,1): A is more isolated than B (whose neighbour is the faint J): A.
    // (2,1): C and D are each other's neighbours; the tie puts D first, and
    //        D fails the stellarity test; only one of two accepted rows is visited.
    // (1,2): E and F tie the same way: F.
    // (2,2): H fails the flag limit; I, the brightest row, lies above the
    //        flux band (max_thresh 1 ends it at the second brightest); G alone
    //        is accepted, and a lone candidate is not visited.
    // Sky positions by the projection of the header written above.
    EXPECT_EQ(r.table, kTableHeader + expectedText("selected.tbl"));
    // Subfields in the order (1,1), (1,2), (2,1), (2,2).
    EXPECT_EQ(r.result.out, startText(args) + expectedText("selected.out"));
    // The report places F (pixel 40, 100) in subfield (1, 2).
    std::vector<EcsvRow> const report = readEcsv(readFile(dir.file("out.ecsv")));
    EXPECT_EQ(*report[5].at("subfield_i") + "," + *report[5].at("subfield_j"), "1,2");

    // A class_star exactly at the limit passes: the stars' 0.95, read as a
    // float, is this double.
    TableRun const atLimit =
        runIn(dir.path(), words(kSelection + "-c 0.949999988079071044921875 field/img.fits"));
    EXPECT_EQ(atLimit.table, r.table);
}

// The hint names the stage that emptied the run and the option that moves it;
// a sky left in the image fails every fit (the sky check and the cause of the
// failed fits). The files searched for bad pixels are opened when the first
// candidate is tested, so a run that tests none never needs them
// (--min_thresh 0.99: no subfield has two accepted rows). A catalogue of
// another image is named as such.
TEST(PsfpickRun, SummaryHintNamesTheStageThatEmptiedTheRun) {
    TempDir dir;
    writeField(dir);
    writeField(dir, "sky", 5000.0);
    // A mask with a bad pixel at offset (1, 1) from every star: within
    // r (r - 1) = 2 of the centre for r = 2, but not for r = 1.
    sci::MArray<float, 2> mask(kSize, kSize);
    mask = 1.0f;
    for (FieldStar const& s : kStars)
        mask(static_cast<int>(s.x + 0.5) + 1, static_cast<int>(s.y + 0.5) + 1) = 0.0f;
    sci::writeFitsImage(dir.file("mask.fits"), mask, -32);
    std::vector<std::string> const hints = lines(expectedText("hints.txt"));
    // The last run, without flag and class columns, tests no candidate (no
    // subfield has two accepted rows), so it never opens missing.fits.
    char const* const cases[] = {
        "-c 0.99 field/img.fits",
        "--boxlen 30 field/img.fits",
        "--boxlen 60 field/img.fits",
        "-r 2 field/img.fits mask.fits",
        "sky/img.fits",
        "--min_thresh 0.99 --flag_column 0 --class_column 0 -r 2 field/img.fits missing.fits"};
    std::string const warnings[] = {
        "", "", "", "", expectedText("sky.err"), expectedText("untested.err")};
    for (size_t k = 0; k < 6; ++k) {
        SCOPED_TRACE(cases[k]);
        TableRun const r = runIn(dir.path(), words(kSelection + cases[k]));
        ASSERT_EQ(r.result.status, kStatusSuccess) << r.result.err;
        EXPECT_EQ(r.table, kTableHeader);
        EXPECT_EQ(withoutSummary(r.result.err), warnings[k]);
        EXPECT_EQ(r.result.err.substr(r.result.err.rfind("\nhint: ") + 1), hints[k]);
    }

    // A run that fails part way leaves its report empty.
    TableRun const tested =
        runIn(dir.path(), words(kSelection + "-r 2 --report out.ecsv field/img.fits missing.fits"));
    EXPECT_EQ(tested.result.status, kStatusRunFailed);
    EXPECT_EQ(tested.result.err, "EXCEPTION: cannot open file 'missing.fits' for reading\n");
    EXPECT_EQ(tested.table, kTableHeader);
    EXPECT_EQ(readFile(dir.file("out.ecsv")), "");

    // The catalogue of another image: its rows lie outside this one. Half of
    // the rows outside is not yet a warning.
    for (size_t shifted : {kStars.size() / 2, kStars.size()}) {
        std::vector<FieldStar> stars = kStars;
        for (size_t k = 0; k < shifted; ++k) stars[k].x += 200;
        dir.write("cat.txt", testsupport::catalogueText(stars));
        TableRun const o = runIn(dir.path(), words(kSelection + "field/img.fits"));
        ASSERT_EQ(o.result.status, kStatusSuccess) << o.result.err;
        EXPECT_EQ(withoutSummary(o.result.err),
                  shifted < kStars.size() ? "" : expectedText("outside.err"));
    }
}

// A field where every fate occurs once or more, in one subfield (border 2,
// search box 5..97, check radius 2, boxlen 6): candidates C1..C9, each with a
// faint companion (flux 1, outside the flux band) at a distance that sets its
// isolation rank (C1 the most isolated); C1 is not stellar, C2 has a bad
// pixel in the mask, C3's stamp leaves the image, C4 lies where the error
// image is 0 (its fit fails), C5..C7 are measured and two of them dropped by
// --nchi_reject 1 and --fwhm_reject 1, C8 and C9 are never visited (-n 5 is
// reached; C9 is the least isolated); then a row in the border, one with a
// flag, one at a variable object, one whose nearest neighbour has flux -5,
// that neighbour, and a row without a position.
// The catalogue is tests/apps/expected/fate_catalogue.txt; its rows 1..9 are
// C1..C9, 10..18 their companions.
// The rows of a report: row number, id, isolation rank, distance to the
// nearest neighbour, subfield and fate, then which measured columns
// (fit_status, fwhm, nchi, peak, background) hold a value (v) or none (-).
std::string reportRows(std::vector<EcsvRow> const& t) {
    std::string s;
    for (EcsvRow const& row : t) {
        for (char const* column :
             {"row", "id", "rank", "neighbour_dist", "subfield_i", "subfield_j"})
            s += row.at(column).value_or("null") + " ";
        s += *row.at("fate") + " ";
        for (char const* column : {"fit_status", "fwhm", "nchi", "peak", "background"})
            s += row.at(column) ? "v" : "-";
        s += "\n";
    }
    return s;
}

}  // namespace

TEST(PsfpickRun, ReportRecordsTheFateOfEveryRow) {
    TempDir dir;
    constexpr int kFateSize = 100;
    std::string const catalogue = expectedText("fate_catalogue.txt");
    dir.write("cat.txt", catalogue);
    dir.write("var.txt", "1 65.3 65.2\n");
    std::vector<FieldStar> rendered(9);  // C1..C9
    std::istringstream listed(catalogue.substr(catalogue.find('\n') + 1));
    double ra, dec;
    for (FieldStar& s : rendered)
        listed >> s.id >> s.x >> s.y >> ra >> dec >> s.flux >> s.flag >> s.classStar;
    writeImages(dir, "img.fits", kFateSize,
                testsupport::moffatField(kFateSize, kFateSize, rendered, kFwhm, kBeta, kNoiseSigma,
                                         0.0, kNoiseSeed),
                kNoiseSigma);
    // Errors of 0 around C4 (pixel 80, 20): no pixel of its stamp is usable.
    sci::MArray<float, 2> error(kFateSize, kFateSize), mask(kFateSize, kFateSize);
    error = static_cast<float>(kNoiseSigma);
    for (int x = 70; x <= 90; ++x)
        for (int y = 10; y <= 30; ++y) error(x, y) = 0.0f;
    sci::writeFitsImage(dir.file("e.img.fits"), error, -32);
    mask = 1.0f;
    mask(50, 21) = 0.0f;  // C2's pixel
    sci::writeFitsImage(dir.file("mask.fits"), mask, -32);

    std::string const options =
        "-i cat.txt -o out.tbl --variables var.txt --boxlen 6 -n 5 --nchi_reject 1 --fwhm_reject 1 "
        "--min_thresh 0.5 --max_thresh 1 --flag_column 7 --class_column 8 -c 0.5 --report "
        "out.ecsv ";
    RunResult const r = run(words(options + "-b 2 -r 2 img.fits mask.fits"), dir.path());
    ASSERT_EQ(r.status, kStatusSuccess) << r.err;
    EXPECT_EQ(withoutSummary(r.err), "");
    std::string const report = readFile(dir.file("out.ecsv"));
    std::vector<EcsvRow> const t = readEcsv(report);
    // Rows in catalogue order; C1..C9 have isolation ranks 1..9 at the
    // distance of their companion; the fit columns hold values exactly for
    // the fitted stars, the fit status also for the failed fit.
    EXPECT_EQ(reportRows(t), expectedText("fates.txt"));
    for (EcsvRow const& row : t)  // smaller over larger FWHM
        EXPECT_LE(std::stof(row.at("axis_ratio").value_or("0")), 1.0f) << *row.at("id");

    // The funnel of the header: each stage counts the rows beyond it.
    EXPECT_NE(report.find("\n" + expectedText("fate_funnel.txt")), std::string::npos);

    // Without an image the field is the catalogue's extent, and the stars
    // taken are not measured.
    ASSERT_EQ(run(words(options), dir.path()).status, kStatusSuccess);
    EXPECT_EQ(reportRows(readEcsv(readFile(dir.file("out.ecsv")))),
              expectedText("fates_no_image.txt"));
}

namespace {

// A field of 7 x 7 stars 25 pixels apart (FWHM 3, beta 2.9, sampled at pixel
// centres, noise 5), each of one kind, and the fate the cuts give it.
// Star k is of kind kCutKinds[k % 7].
enum class Kind { kGood, kSaturated, kElongated, kPair, kWide };
Kind const kCutKinds[] = {Kind::kGood, Kind::kSaturated, Kind::kGood, Kind::kElongated,
                          Kind::kPair, Kind::kGood,      Kind::kWide};
constexpr size_t kCutStars = 49;
constexpr int kCutSize = 200;
constexpr double kCutNoise = 5.0;

// Writes img.fits, e.img.fits and cat.txt of the field; the catalogue lists
// no companion of a pair, and one more row, the brightest, off the image.
void writeCutField(TempDir const& dir) {
    std::vector<double> pixels(static_cast<size_t>(kCutSize) * kCutSize, 0.0);
    // Adds a Moffat star of beta 2.9 at every pixel centre: widths fwhm1 along
    // the axis at angle degrees from x, fwhm2 across it.
    auto add = [&](double x, double y, double amplitude, double fwhm1, double fwhm2, double angle) {
        testsupport::MoffatStar const star{amplitude, fwhm1, fwhm2, angle * M_PI / 180, 2.9, x, y};
        for (int py = 1; py <= kCutSize; ++py)
            for (int px = 1; px <= kCutSize; ++px)
                pixels[static_cast<size_t>((py - 1) * kCutSize + px - 1)] += star.value(px, py);
    };
    std::string catalogue = "# id x y RA DEC flux flags class_star\n";
    for (int k = 0; k < static_cast<int>(kCutStars); ++k) {
        double const x = 25.0 * (k / 7 + 1) + 0.1 * (k % 7),
                     y = 25.0 * (k % 7 + 1) + 0.13 * (k % 5);
        // Amplitude factor, widths and angle of each kind, in the order of Kind.
        double const shapes[][4] = {{1, 3.0, 3.0, 0},
                                    {10, 3.0, 3.0, 0},
                                    {1, 4.2, 2.4, 30},
                                    {1, 3.0, 3.0, 0},
                                    {1, 4.5, 4.5, 0}};
        double const* const shape = shapes[static_cast<int>(kCutKinds[k % 7])];
        double const amplitude = 2000.0 * shape[0];
        add(x, y, amplitude, shape[1], shape[2], shape[3]);
        if (kCutKinds[k % 7] == Kind::kPair)  // a companion of 40 % at 2 FWHM
            add(x + 4.2, y + 4.2, 0.4 * amplitude, 3.0, 3.0, 0);
        char row[120];
        std::snprintf(row, sizeof row, "%d %.2f %.2f 0 0 %.1f 0 0.95\n", k + 1, x, y,
                      amplitude * 10);
        catalogue += row;
    }
    dir.write("cat.txt", catalogue + "99 -50 -50 0 0 1e9 0 0.95\n");
    testsupport::GaussianNoise noise(7);
    // Saturated stars, ten times brighter, are clipped at 8000.
    for (double& p : pixels) p = std::min(p, 8000.0) + kCutNoise * noise.next();
    writeImages(dir, "img.fits", kCutSize, pixels, kCutNoise);
}

}  // namespace

// Each cut refuses the stars of its kind and no other: a peak at or above
// --max_peak, or a flat top when the clipped plateau lies below it;
// elongation; a companion the catalogue does not list; a FWHM far from the
// field's median. With --refill every candidate is visited.
TEST(PsfpickRun, CutsRefuseSaturatedElongatedPairedAndWideStars) {
    TempDir dir;
    writeCutField(dir);
    std::string const common =
        "-i cat.txt -o out.tbl --report out.ecsv -n 30 --refill --min_thresh 0 --max_thresh 1 "
        "--flag_column 7 --class_column 8 --boxlen 8 --max_ellipticity 0.2 --max_asymmetry 0.1 "
        "--fwhm_clip 5 ";
    for (auto const& [option, fate] :
         {std::pair{"--max_peak 6000", "saturated"}, std::pair{"--max_peak 9000", "flat top"}}) {
        SCOPED_TRACE(option);
        RunResult const r = run(words(common + option + " img.fits"), dir.path());
        ASSERT_EQ(r.status, kStatusSuccess) << r.err;
        std::vector<EcsvRow> const t = readEcsv(readFile(dir.file("out.ecsv")));
        ASSERT_EQ(t.size(), kCutStars + 1u);
        for (size_t k = 0; k < kCutStars; ++k) {
            char const* const fates[] = {"selected", fate, "elongated", "asymmetric",
                                         "clipped by FWHM"};
            EXPECT_EQ(*t[k].at("fate"), fates[static_cast<int>(kCutKinds[k % 7])])
                << "star " << k + 1;
        }
        EXPECT_EQ(r.err.substr(r.err.find("funnel: ")),
                  expectedText("cuts_" + std::string(option).substr(11) + ".txt"));
    }
}

namespace {

// What a run writes: its exit status, standard output, standard error, table
// and report, less what names the run itself: the command line that starts
// standard output, and in the report the command line and --threads.
std::string writtenBy(TempDir const& dir, std::vector<std::string> const& args) {
    RunResult const r = run(args, dir.path());
    std::string text = "status " + std::to_string(r.status) + "\nout:\n" +
                       r.out.substr(std::min(startText(args).size(), r.out.size())) + "err:\n" +
                       r.err + "table:\n" + readFile(dir.file("out.tbl")) + "report:\n";
    std::istringstream report(readFile(dir.file("out.ecsv")));
    for (std::string line; std::getline(report, line);)
        if (line.find("command_line: ") == std::string::npos &&
            line.find("\"threads\": ") == std::string::npos)
            text += line + "\n";
    return text;
}

}  // namespace

// The fits of a run are spread over --threads threads, and everything the run
// writes is the same for every count: the fit table and the dumps of -v 4,
// fits that fail (stars wider than --fwhm_range allows, stamps of
// --boxlen 30 beyond the edge for the stars 25 pixels in), --refill with a
// clip, and a run that stops where a stamp reaches past the end of an error
// image cut short (after the rows of the first subfield and three fits of the
// second).
TEST(PsfpickRun, EveryThreadCountWritesTheSame) {
    TempDir dir;
    writeCutField(dir);
    std::filesystem::create_directory(dir.file("short"));
    std::filesystem::copy_file(dir.file("img.fits"), dir.file("short/img.fits"));
    std::filesystem::copy_file(dir.file("e.img.fits"), dir.file("short/e.img.fits"));
    // The header's 2880 bytes and 170 of the 200 rows of 4-byte pixels: the
    // stars of the top row (y near 175) have stamps beyond its end.
    std::filesystem::resize_file(dir.file("short/e.img.fits"), 2880 + 170 * kCutSize * 4);
    std::string const common =
        "-i cat.txt -o out.tbl --report out.ecsv --min_thresh 0 --max_thresh 1 --nfields 2,2 ";
    std::pair<char const*, int> const cases[] = {
        {"-n 8 -v 4 --refill --max_ellipticity 0.2 --fwhm_clip 1 --fwhm_range 1,4 --boxlen 30 "
         "img.fits",
         kStatusSuccess},
        {"-n 8 -v 3 -r 2 short/img.fits", kStatusRunFailed},
    };
    for (auto const& [options, status] : cases) {
        SCOPED_TRACE(options);
        std::string const one = writtenBy(dir, words(common + "--threads 1 " + options));
        EXPECT_EQ(one.rfind("status " + std::to_string(status) + "\n", 0), 0u) << one;
        for (char const* threads : {"2", "7"})
            EXPECT_EQ(writtenBy(dir, words(common + "--threads " + threads + " " + options)), one)
                << threads << " threads";
    }
}
