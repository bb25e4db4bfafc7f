#include "select/catalogue.h"

#include <climits>
#include <cmath>
#include <functional>
#include <memory>

#include "sci/asc_file.h"
#include "sci/exceptions.h"
#include "sci/fits_header.h"
#include "sci/header_wcs.h"
#include "select/file_errors.h"

namespace selection {

namespace {

constexpr char kCommentMarker[] = "#";
constexpr char kWhiteSpace = 0;  // fields separated by white space

// Pixel -> sky for every row (positions narrowed to float). It reads x and y
// and writes the elements of RA and DEC, nothing else of c.
void pixelsToSky(sci::CCS_TAN const& ccs, Catalogue& c) {
    for (int k = 1; k <= c.N; ++k) {
        sci::FVector<double, 2> const sky = ccs.solve(sci::FVector<double, 2>(c.x(k), c.y(k)));
        c.RA(k) = static_cast<float>(sky(1));
        c.DEC(k) = static_cast<float>(sky(2));
    }
}

// A task of a pool that is waited for when this leaves its scope, also when
// an exception leaves it (the task refers to what the scope holds).
class AwaitedTask {
  public:
    AwaitedTask() = default;
    AwaitedTask(AwaitedTask const&) = delete;
    AwaitedTask& operator=(AwaitedTask const&) = delete;
    ~AwaitedTask() {
        try {
            wait();
        } catch (...) {  // the work throws nothing; an exception is on its way anyway
        }
    }
    void start(WorkPool& pool, std::function<void()> work) {
        pool_ = &pool;
        task_ = pool.submit(std::move(work));
    }
    void wait() {
        if (task_) pool_->wait(*task_);
        task_ = nullptr;
    }

  private:
    WorkPool* pool_ = nullptr;
    WorkPool::TaskPtr task_;
};

// Sky -> pixel for n positions.
void skyToPixels(sci::CCS_TAN const& ccs, sci::MArray<float, 1> const& ra,
                 sci::MArray<float, 1> const& dec, sci::MArray<float, 1>& x,
                 sci::MArray<float, 1>& y, int n) {
    for (int k = 1; k <= n; ++k) {
        sci::FVector<double, 2> const p = ccs.solve_inv(sci::FVector<double, 2>(ra(k), dec(k)));
        x(k) = static_cast<float>(p(1));
        y(k) = static_cast<float>(p(2));
    }
}

// The column after col, saturated at INT_MAX: no row has that many fields, so
// the read reports the missing column as it does for any column beyond a row.
int columnAfter(int col) {
    return col < INT_MAX ? col + 1 : INT_MAX;
}

// The RA column of a sky catalogue, -xColumn (xColumn < 0), saturated at INT_MAX.
int skyColumn(int xColumn) {
    return xColumn > -INT_MAX ? -xColumn : INT_MAX;
}

sci::MArray<float, 1> zeros(int n) {
    sci::MArray<float, 1> a(n);
    a = 0.0f;
    return a;
}

// Why the run needs the projection, and which keywords it lacks.
std::string projectionNote(ProjectionUse use, std::string const& missing) {
    char const* need = "";
    switch (use) {
        case ProjectionUse::kCatalogueSkyToPixels:
            need =
                "the catalogue gives RA and DEC (--x_column < 0), and turning them into pixels "
                "needs the image's projection";
            break;
        case ProjectionUse::kCataloguePixelsToSky:
            need =
                "the RA and DEC of the output table are computed from the catalogue's pixel "
                "positions with the image's projection";
            break;
        case ProjectionUse::kVariablesSkyToPixels:
            need =
                "the variables table gives RA and DEC (--x_column < 0), and turning them into "
                "pixels needs the image's projection";
            break;
    }
    return std::string(" (") + need + ", but the image lacks " + missing + ")";
}

// The projection from the header of image (no file name added to failures).
sci::TanWcs readHeaderWcs(std::string const& image, FitsFiles& files, ProjectionUse use) {
    sci::FitsHeader const& header = files.open(image);
    try {
        return sci::readHeaderTanWcs(header, image);
    } catch (sci::FitsException const& e) {
        // The keywords of a tile-compressed image lie in its compressed part:
        // that is what its message says instead (select/file_errors.h).
        std::string const missing = sci::missingHeaderTanKeywords(header);
        if (missing.empty() || sci::isTileCompressed(image)) throw;
        throw sci::FitsException(e.what() + projectionNote(use, missing));
    }
}

}  // namespace

sci::TanWcs readImageWcs(std::string const& image, FitsFiles& files, ProjectionUse use,
                         std::ostream& err) {
    sci::TanWcs wcs = namingFile(image, [&] { return readHeaderWcs(image, files, use); });
    for (std::string const& warning : wcs.warnings) err << warning << "\n";
    return wcs;
}

Catalogue readCatalogue(Parameter const& P, std::string const& image, FitsFiles& files,
                        std::ostream& out, std::ostream& err, WorkPool* pool) {
    Catalogue c;
    AwaitedTask sky;
    bool const skyInput = P.x_column < 0;
    int const raColumn = skyColumn(P.x_column);  // sky input: RA here, DEC in the next column
    std::optional<sci::TanWcs> wcs;
    auto projection = [&](ProjectionUse use) -> sci::TanWcs const& {
        if (!wcs) wcs = readImageWcs(image, files, use, err);
        return *wcs;
    };

    if (!P.variables.empty()) {
        sci::AscFile table(P.variables, kWhiteSpace, kCommentMarker);
        if (skyInput) {
            sci::MArray<float, 1> const ra = table.readFloatColumn(raColumn, 1, -1);
            sci::MArray<float, 1> const dec = table.readFloatColumn(columnAfter(raColumn), 1, -1);
            c.Nv = ra.length();
            c.vx.makeReference(zeros(c.Nv));
            c.vy.makeReference(zeros(c.Nv));
            if (image.empty()) {
                err << "error: no x/y information or WCS given!\n";
            } else {
                sci::CCS_TAN const& ccs = projection(ProjectionUse::kVariablesSkyToPixels).ccs;
                namingFile(image, [&] { skyToPixels(ccs, ra, dec, c.vx, c.vy, c.Nv); });
            }
        } else {
            c.vx.makeReference(table.readFloatColumn(P.x_column, 1, -1));
            c.vy.makeReference(table.readFloatColumn(columnAfter(P.x_column), 1, -1));
            c.Nv = c.vx.length();
        }
    }

    // Positions and fluxes that are not numbers read NaN: such a row takes no part.
    sci::AscFile table(P.input, kWhiteSpace, kCommentMarker);
    if (skyInput) {
        c.RA.makeReference(table.readNumberColumn(raColumn, 1, -1));
        c.DEC.makeReference(table.readNumberColumn(columnAfter(raColumn), 1, -1));
        c.N = c.RA.length();
        c.x.makeReference(zeros(c.N));
        c.y.makeReference(zeros(c.N));
        if (image.empty()) {
            err << "Error: no x/y information or CCS given!\n";
        } else {
            sci::TanWcs const& w = projection(ProjectionUse::kCatalogueSkyToPixels);
            out << w.crval(1) << " " << w.crval(2) << " " << w.crpix(1) << " " << w.crpix(2) << " "
                << w.cdelt(1) << " " << w.cdelt(2) << "\n";
            namingFile(image, [&] { skyToPixels(w.ccs, c.RA, c.DEC, c.x, c.y, c.N); });
        }
    } else {
        c.x.makeReference(table.readNumberColumn(P.x_column, 1, -1));
        c.y.makeReference(table.readNumberColumn(columnAfter(P.x_column), 1, -1));
        c.N = c.x.length();
        c.RA.makeReference(zeros(c.N));
        c.DEC.makeReference(zeros(c.N));
        if (!image.empty()) {
            sci::CCS_TAN const& ccs = projection(ProjectionUse::kCataloguePixelsToSky).ccs;
            if (pool != nullptr && pool->threads() > 1)
                sky.start(*pool, [&ccs, &c] { pixelsToSky(ccs, c); });
            else
                pixelsToSky(ccs, c);
        }
    }
    if (P.id_column > 0) c.id.makeReference(table.readIntColumn(P.id_column, 1, -1));
    if (P.flag_column > 0) c.flag.makeReference(table.readIntColumn(P.flag_column, 1, -1));
    if (P.class_column > 0) c.classStar.makeReference(table.readFloatColumn(P.class_column, 1, -1));
    c.flux.makeReference(table.readNumberColumn(P.flux_column, 1, -1));
    if (P.mag)
        for (int k = 1; k <= c.N; ++k)
            c.flux(k) = static_cast<float>(std::pow(10.0, -0.4 * static_cast<double>(c.flux(k))));
    sky.wait();
    return c;
}

}  // namespace selection
