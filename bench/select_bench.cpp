// Benchmark of the selection's screening and ordering: flux limits, the
// once-per-run candidate screening and every subfield's visit order. Each
// configuration runs in a child process so that its peak memory (getrusage)
// is its own.
//
//     select_bench [--rows N,N,...]
//
// That these give exactly the results of the literal algorithm (the full
// neighbour scan of every row and the exchange sort of all rows, per
// subfield) is checked by the tests (tests/select), not here. Measured once
// against it on the 2-core development machine, quantiles 0.90-0.99: 10,000
// rows take 99 ms literally in 1 x 1 subfields and 881 ms in 5 x 5, against
// 4.7 and 4.9 ms here; with every row a candidate (5 x 5) 1,119 ms against
// 12 ms; 100,000 rows in 5 x 5 subfields 120 s against 50 ms.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sstream>
#include <string>
#include <vector>

#include "bench/catalogue_generator.h"
#include "sci/marray.h"
#include "select/flux_limits.h"
#include "select/screening.h"
#include "select/subfield_grid.h"

namespace {

// The run options of the benchmark (the program's defaults for the quantiles;
// flags on, so that the flag test takes part).
constexpr double kMinThresh = 0.90;
constexpr double kMaxThresh = 0.99;
constexpr double kNeighbourThresh = 0.00;
constexpr int kFlagColumn = 5;
constexpr int kFlagLimit = 0;
constexpr int kCheckRadius = 0;
constexpr int kSubfieldBorder = 0;
constexpr int kFieldSize = 4096;

struct Config {
    int rows;
    int nfields;
    double minThresh, maxThresh;  // quantiles of the candidate fluxes
};

// Times are CPU times of the process (the benchmark runs in one thread), so
// that other load on a shared machine does not inflate them.
struct Clock {
    using time_point = double;
    static double now() {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return 1e3 * static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_nsec);
    }
};

double millisecondsSince(Clock::time_point start) {
    return Clock::now() - start;
}

long peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

template <class T>
sci::MArray<T, 1> toArray(std::vector<T> const& v) {
    sci::MArray<T, 1> a(static_cast<int>(v.size()));
    for (size_t k = 0; k < v.size(); ++k) a(static_cast<int>(k) + 1) = v[k];
    return a;
}

void runConfig(Config const& cfg) {
    catgen::CatalogueRecipe recipe;
    recipe.rows = cfg.rows;
    recipe.width = kFieldSize;
    recipe.height = kFieldSize;
    recipe.seed = 1000u + static_cast<unsigned>(cfg.rows);
    catgen::Catalogue const cat = catgen::generateCatalogue(recipe);
    sci::MArray<float, 1> const x = toArray(cat.x), y = toArray(cat.y), flux = toArray(cat.flux);
    sci::MArray<int, 1> const flag = toArray(cat.flag);
    sci::MArray<float, 1> const varX = toArray(cat.varX), varY = toArray(cat.varY);
    std::ostringstream sink;  // the grid's messages (none with these options)

    // The limits, the screening once per run, then every subfield.
    Clock::time_point const t0 = Clock::now();
    selection::FluxLimits const limits =
        selection::computeFluxLimits(selection::sortedParticipatingFlux(x, y, flux), cfg.minThresh,
                                     cfg.maxThresh, kNeighbourThresh);
    double const limitsMs = millisecondsSince(t0);
    Clock::time_point const t1 = Clock::now();
    selection::CandidateScreen const screen(
        x, y, flux, flag, varX, varY, selection::screeningRules(limits, kFlagColumn, kFlagLimit));
    double const screenMs = millisecondsSince(t1);
    Clock::time_point const t2 = Clock::now();
    selection::SubfieldGrid const grid(selection::fieldBoxFromImage(kFieldSize, kFieldSize, 0),
                                       cfg.nfields, cfg.nfields, kSubfieldBorder, sink);
    int visited = 0;
    for (int i = 1; i <= grid.nx(); ++i)
        for (int j = 1; j <= grid.ny(); ++j) {
            selection::SubfieldCandidates const c =
                screen.screenSubfield(grid.searchBox(i, j, kCheckRadius));
            visited += static_cast<int>(c.row.size());
        }
    double const subfieldsMs = millisecondsSince(t2);
    double const totalMs = limitsMs + screenMs + subfieldsMs;
    long const rss = peakRssKb();

    std::printf("%9d  %dx%d  %.2f-%.2f  %10d  %8d  %9.1f  %9.1f  %9.1f  %9.1f  %8.1f\n", cfg.rows,
                cfg.nfields, cfg.nfields, cfg.minThresh, cfg.maxThresh, screen.candidateCount(),
                visited, limitsMs, screenMs, subfieldsMs, totalMs,
                static_cast<double>(rss) / 1024.0);
    std::fflush(stdout);
}

std::vector<int> parseRows(char const* text) {
    std::vector<int> rows;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) rows.push_back(std::atoi(item.c_str()));
    return rows;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> rows = {10000, 100000, 1000000};
    for (int a = 1; a + 1 < argc; a += 2)
        if (std::strcmp(argv[a], "--rows") == 0) rows = parseRows(argv[a + 1]);
    std::vector<Config> configs;
    for (int n : rows)
        for (int nf : {1, 5}) configs.push_back({n, nf, kMinThresh, kMaxThresh});
    // Every row a candidate: the neighbour search for all rows.
    for (int n : rows) configs.push_back({n, 5, 0.0, 1.0});

    std::printf("field %dx%d pixels, neighbour quantile %.2f; CPU times in ms\n", kFieldSize,
                kFieldSize, kNeighbourThresh);
    std::printf("%9s  %3s  %9s  %10s  %8s  %9s  %9s  %9s  %9s  %8s\n", "rows", "nf", "quantiles",
                "candidates", "visited", "limits", "screen", "subfields", "total[ms]", "peak[MB]");
    std::fflush(stdout);
    int failures = 0;
    for (Config const& cfg : configs) {
        pid_t const child = fork();
        if (child == 0) {
            runConfig(cfg);
            _exit(0);
        }
        int status = 0;
        if (child < 0 || waitpid(child, &status, 0) < 0 || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0)
            ++failures;
    }
    return failures == 0 ? 0 : 1;
}
