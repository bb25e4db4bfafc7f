// Reads the six catalogue columns a selection run needs (id, x, y, flux, flag,
// class) from a freshly written table of 11 columns laid out like the source
// catalogues, and reports the wall time and the peak memory of the process.
//
// Usage: asc_file_bench [rows]   (default 1000000 rows)
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "sci/asc_file.h"

namespace {

constexpr long kDefaultRows = 1000000;
constexpr int kRepetitions = 3;
constexpr double kBytesPerMiB = 1024.0 * 1024.0;

// User plus system CPU time of this process so far, in seconds.
double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           1e-6 * (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

// Peak resident set size of this process so far, in KiB (Linux ru_maxrss).
long peakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Writes the column header and `rows` rows of id, x, y, ra, dec, flux, flag,
// class, fwhm, mag, ellipticity with the field widths of the real catalogues.
// Returns the file size in bytes.
long writeTable(std::FILE* out, long rows) {
    static char const* const kNames[] = {"NUMBER",      "X_IMAGE",   "Y_IMAGE",    "ALPHA_J2000",
                                         "DELTA_J2000", "FLUX_AUTO", "FLAGS",      "CLASS_STAR",
                                         "FWHM_IMAGE",  "MAG_AUTO",  "ELLIPTICITY"};
    long bytes = 0;
    for (int k = 0; k < 11; ++k) bytes += std::fprintf(out, "# %3d %s\n", k + 1, kNames[k]);
    std::mt19937_64 random(20240611);
    std::uniform_real_distribution<double> pixel(1.0, 4096.0);
    std::uniform_real_distribution<double> ra(0.0, 360.0);
    std::uniform_real_distribution<double> dec(-90.0, 90.0);
    std::uniform_real_distribution<double> logFlux(1.0, 7.0);
    std::uniform_int_distribution<int> flag(0, 255);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (long i = 1; i <= rows; ++i) {
        double const flux = std::pow(10.0, logFlux(random));
        bytes += std::fprintf(out,
                              "%10ld %11.4f %11.4f %11.7f %+11.7f %12.7g %3d %6.3f %8.2f %8.4f "
                              "%8.3f\n",
                              i, pixel(random), pixel(random), ra(random), dec(random), flux,
                              flag(random), unit(random), 1.0 + 9.0 * unit(random),
                              -2.5 * std::log10(flux), unit(random));
    }
    return bytes;
}

struct Columns {
    sci::MArray<int, 1> id, flag;
    sci::MArray<float, 1> x, y, flux, cls;
};

// The reads of one selection run, in the order the run makes them; the named
// arrays become views of the returned ones, as in the run.
Columns readColumns(std::string const& path) {
    sci::AscFile table(path, 0, "#");
    Columns c;
    c.x.makeReference(table.readNumberColumn(2, 1, -1));
    c.y.makeReference(table.readNumberColumn(3, 1, -1));
    c.id.makeReference(table.readIntColumn(1, 1, -1));
    c.flag.makeReference(table.readIntColumn(7, 1, -1));
    c.cls.makeReference(table.readFloatColumn(8, 1, -1));
    c.flux.makeReference(table.readNumberColumn(6, 1, -1));
    return c;
}

}  // namespace

int main(int argc, char** argv) {
    long const rows = argc > 1 ? std::atol(argv[1]) : kDefaultRows;
    if (rows < 1) {
        std::fprintf(stderr, "usage: %s [rows]\n", argv[0]);
        return 1;
    }
    char const* tmp = std::getenv("TMPDIR");
    std::string path =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/asc_file_bench.XXXXXX";
    int const fd = mkstemp(path.data());
    if (fd < 0) {
        std::perror("mkstemp");
        return 1;
    }
    std::FILE* out = fdopen(fd, "w");
    long const fileBytes = writeTable(out, rows);
    std::fclose(out);

    double const columnMiB = rows * (4.0 * sizeof(float) + 2.0 * sizeof(int)) / kBytesPerMiB;
    std::printf("asc_file_bench: %ld rows x 11 columns (%.1f MiB), 6 columns read (%.1f MiB)\n",
                rows, fileBytes / kBytesPerMiB, columnMiB);

    long const peakBefore = peakKiB();
    double best = 1e30;
    bool ok = true;
    for (int rep = 1; rep <= kRepetitions; ++rep) {
        double const cpuStart = cpuSeconds();
        auto const start = std::chrono::steady_clock::now();
        Columns const c = readColumns(path);
        auto const stop = std::chrono::steady_clock::now();
        double const cpu = cpuSeconds() - cpuStart;
        double const seconds = std::chrono::duration<double>(stop - start).count();
        if (seconds < best) best = seconds;
        // Sanity: every column has one element per row and the ids run 1..rows.
        for (long i = 1; i <= rows && ok; ++i) ok = c.id(static_cast<int>(i)) == i;
        ok = ok && c.x.size() == rows && c.flux.size() == rows && c.cls.size() == rows;
        std::printf("  run %d: %.3f s wall, %.3f s cpu\n", rep, seconds, cpu);
    }
    long const peakAfter = peakKiB();
    std::remove(path.c_str());

    std::printf("  best wall time: %.3f s (%d runs)\n", best, kRepetitions);
    std::printf(
        "  peak memory: %.1f MiB before reading, %.1f MiB after (+%.1f MiB = %.2f x the columns)\n",
        peakBefore / 1024.0, peakAfter / 1024.0, (peakAfter - peakBefore) / 1024.0,
        (peakAfter - peakBefore) / 1024.0 / columnMiB);
    if (!ok) {
        std::printf("  ERROR: the columns read back do not match the table written\n");
        return 1;
    }
    return 0;
}
