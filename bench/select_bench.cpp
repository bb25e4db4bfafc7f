// Benchmark of the selection's screening and ordering: flux limits, the
// once-per-run candidate screening and every subfield's visit order, against
// the literal O(N^2)-per-subfield versions where they finish in reasonable
// time, with a check that both give identical results. Each configuration runs
// in a child process so that its peak memory (getrusage) is its own.
//
//     select_bench [--literal-max ROWS] [--rows N,N,...]
//
// --literal-max: run the literal versions up to this many rows (default 10000;
// 100000 takes minutes with 5 x 5 subfields).
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
#include "tests/select/literal_selection.h"

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

struct SubfieldResult {
    int testCounter;
    std::vector<int> row;
    std::vector<float> dist, flux;
    bool operator==(SubfieldResult const& o) const {
        return testCounter == o.testCounter && row == o.row && dist == o.dist && flux == o.flux;
    }
};

void runConfig(Config const& cfg, int literalMax) {
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

    // Fast: limits, the screening once per run, then every subfield.
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
    std::vector<SubfieldResult> fast;
    std::vector<selection::PixelBox> boxes;
    for (int i = 1; i <= grid.nx(); ++i)
        for (int j = 1; j <= grid.ny(); ++j) {
            boxes.push_back(grid.searchBox(i, j, kCheckRadius));
            selection::SubfieldCandidates const c = screen.screenSubfield(boxes.back());
            fast.push_back({c.testCounter, c.row, c.closestDist, c.closestFlux});
        }
    double const subfieldsMs = millisecondsSince(t2);
    double const fastMs = limitsMs + screenMs + subfieldsMs;
    long const fastRss = peakRssKb();

    std::string literalText = "-";
    std::string ratioText = "-";
    std::string identicalText = "-";
    if (cfg.rows <= literalMax) {
        literal::Catalogue lc;
        lc.x = cat.x;
        lc.y = cat.y;
        lc.flux = cat.flux;
        lc.flag = cat.flag;
        lc.useFlags = kFlagColumn > 0;
        lc.flagLimit = kFlagLimit;
        lc.varX = cat.varX;
        lc.varY = cat.varY;
        Clock::time_point const l0 = Clock::now();
        selection::FluxLimits const literalLimits = selection::computeFluxLimits(
            literal::sortedFlux(lc), cfg.minThresh, cfg.maxThresh, kNeighbourThresh);
        literal::Limits const lim{literalLimits.lower, literalLimits.upper,
                                  literalLimits.neighbour};
        std::vector<SubfieldResult> slow;
        for (selection::PixelBox const& b : boxes) {
            literal::Screened const s = literal::screen(lc, lim, {b.x1, b.x2, b.y1, b.y2});
            std::vector<int> const visit = literal::visitedAccepted(s, literal::sortedRows(s));
            SubfieldResult r{s.testCounter, visit, {}, {}};
            for (int row : visit) {
                r.dist.push_back(s.closestDist[row - 1]);
                r.flux.push_back(s.closestFlux[row - 1]);
            }
            slow.push_back(r);
        }
        double const literalMs = millisecondsSince(l0);
        bool const same = slow == fast && literalLimits.lower == limits.lower &&
                          literalLimits.upper == limits.upper &&
                          literalLimits.neighbour == limits.neighbour;
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.0f", literalMs);
        literalText = buf;
        std::snprintf(buf, sizeof buf, "%.0f", literalMs / fastMs);
        ratioText = buf;
        identicalText = same ? "yes" : "NO";
    }
    int visited = 0;
    for (SubfieldResult const& r : fast) visited += static_cast<int>(r.row.size());
    std::printf(
        "%9d  %dx%d  %.2f-%.2f  %10d  %8d  %9.1f  %9.1f  %9.1f  %9.1f  %11s  %7s  %9s  %8.1f\n",
        cfg.rows, cfg.nfields, cfg.nfields, cfg.minThresh, cfg.maxThresh, screen.candidateCount(),
        visited, limitsMs, screenMs, subfieldsMs, fastMs, literalText.c_str(), ratioText.c_str(),
        identicalText.c_str(), static_cast<double>(fastRss) / 1024.0);
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
    int literalMax = 10000;
    std::vector<int> rows = {10000, 100000, 1000000};
    for (int a = 1; a + 1 < argc; a += 2) {
        if (std::strcmp(argv[a], "--literal-max") == 0)
            literalMax = std::atoi(argv[a + 1]);
        else if (std::strcmp(argv[a], "--rows") == 0)
            rows = parseRows(argv[a + 1]);
    }
    std::vector<Config> configs;
    for (int n : rows)
        for (int nf : {1, 5}) configs.push_back({n, nf, kMinThresh, kMaxThresh});
    // Every row a candidate: the neighbour search for all rows.
    for (int n : rows) configs.push_back({n, 5, 0.0, 1.0});

    std::printf(
        "field %dx%d pixels, neighbour quantile %.2f, literal up to %d rows; CPU times in ms\n",
        kFieldSize, kFieldSize, kNeighbourThresh, literalMax);
    std::printf("%9s  %3s  %9s  %10s  %8s  %9s  %9s  %9s  %9s  %11s  %7s  %9s  %8s\n", "rows", "nf",
                "quantiles", "candidates", "visited", "limits", "screen", "subfields", "fast[ms]",
                "literal[ms]", "ratio", "identical", "peak[MB]");
    std::fflush(stdout);
    int failures = 0;
    for (Config const& cfg : configs) {
        pid_t const child = fork();
        if (child == 0) {
            runConfig(cfg, literalMax);
            _exit(0);
        }
        int status = 0;
        if (child < 0 || waitpid(child, &status, 0) < 0 || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0)
            ++failures;
    }
    return failures == 0 ? 0 : 1;
}
