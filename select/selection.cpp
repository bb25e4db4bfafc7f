#include "select/selection.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <vector>

#include "sci/exceptions.h"
#include "sci/fits_in.h"
#include "select/bad_pixels.h"
#include "select/catalogue.h"
#include "select/file_errors.h"
#include "select/fits_files.h"
#include "select/flux_limits.h"
#include "select/image_names.h"
#include "select/measure_ahead.h"
#include "select/measurement.h"
#include "select/output_table.h"
#include "select/report.h"
#include "select/run_record.h"
#include "select/run_summary.h"
#include "select/run_warnings.h"
#include "select/screening.h"
#include "select/selected_rows.h"
#include "select/selected_stars.h"
#include "select/stamps.h"
#include "select/subfield_grid.h"
#include "select/subfield_search.h"
#include "select/work_pool.h"
#include "util/exception.h"

namespace selection {

namespace {

// The pass-through mode: every catalogue row once, no selection.
void writeWholeCatalogue(Catalogue const& cat, Parameter const& P, std::ostream& table,
                         std::ostream& out) {
    for (int k = 1; k <= cat.N; ++k) {
        out.flush();
        StarRow row;
        if (P.id_column > 0) row.id = cat.id(k);
        row.x = cat.x(k);
        row.y = cat.y(k);
        row.ra = cat.RA(k);
        row.dec = cat.DEC(k);
        row.flux = cat.flux(k);
        row.flag = P.flag_column > 0 ? cat.flag(k) : kNoFlag;
        row.classStar = P.class_column > 0 ? cat.classStar(k) : kNoClassStar;
        writePassThroughRow(table, row, k, P.id_column, P.flag_column);
        if (P.verbose > 0) writePassThroughEcho(out, row, k, P.id_column);
    }
}

// More subfields than the field has pixels along an axis leaves every subfield
// empty, and a huge count would keep the run busy for ever with nothing to do.
// A field that the border leaves empty still runs its one subfield, and the
// message gives the field's true size.
void checkGridFits(PixelBox const& field, Parameter const& P) {
    long long const width = std::max(field.x2 - field.x1 + 1, 0LL);
    long long const height = std::max(field.y2 - field.y1 + 1, 0LL);
    if (P.nfields[0] > std::max(width, 1LL) || P.nfields[1] > std::max(height, 1LL))
        throw util::UException("nfields " + std::to_string(P.nfields[0]) + "," +
                               std::to_string(P.nfields[1]) +
                               " asks for more subfields than the field has pixels (" +
                               std::to_string(width) + " x " + std::to_string(height) + ")");
}

// True when a and b name the same existing file (one device and inode).
bool sameFile(std::string const& a, std::string const& b) {
    struct stat sa {};
    struct stat sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// The output table and the report are truncated before anything is read, so
// one that names an input of the run would destroy it: such a run fails first.
// what: "output table" or "report".
void checkIsNoInput(char const* what, std::string const& path, Parameter const& P,
                    std::string const& image, std::list<std::string> const& files) {
    std::vector<std::string> inputs = {P.input, P.variables, image};
    inputs.insert(inputs.end(), files.begin(), files.end());
    for (std::string const& input : inputs)
        if (!input.empty() && sameFile(path, input))
            throw sci::IOException(std::string(what) + " '" + path + "' is the input file '" +
                                   input + "'; it would be overwritten");
}

// A table that could not be written (a full disk, a device that refuses
// writes) fails the run rather than leaving a short table behind a success.
void checkTableWritten(std::ofstream& table, std::string const& output) {
    if (!table.flush()) throw sci::IOException("cannot write to file '" + output + "'");
}

// Opens the report (truncated), after the checks that it destroys no input
// and is not the output table. A run that fails part way leaves it empty.
void openReport(std::ofstream& report, Parameter const& P, std::string const& image,
                std::list<std::string> const& files) {
    checkIsNoInput("report", P.report, P, image, files);
    if (P.report == P.output || sameFile(P.report, P.output))
        throw sci::IOException("report '" + P.report + "' is the output table '" + P.output + "'");
    report.open(P.report, std::ios::out | std::ios::trunc);
    if (!report) throw sci::IOException("cannot open file '" + P.report + "' for writing");
}

// The warnings of the measured stamps and the summary, at the end of a run.
// recheck: the bad-pixel test at another radius.
void writeRunEnd(std::ostream& err, StampSurvey const& survey, RunSummary const& summary,
                 RunRecord const& record, Catalogue const& cat,
                 std::vector<float> const& sortedFlux, StampReader* stamps, WorkPool* pool,
                 Parameter const& P, std::string const& image, BadPixelRecheck const& recheck) {
    survey.checkSky(err);
    FitFailureDiagnosis fits;
    bool const needed = 2 * survey.failed() >= survey.measured() ||
                        summary.hintStage(!image.empty()) == HintStage::kFailedFits;
    if (stamps != nullptr && survey.failed() > 0 && needed)
        fits = survey.diagnose(*stamps, P.boxlen, errorImageName(image), fitModel(P), pool);
    StampSurvey::warnFailedFits(err, fits);
    summary.write(err, record.total(), !image.empty(),
                  RunSummary::HintData{cat, sortedFlux, fits, recheck});
}

}  // namespace

void runSelection(Parameter const& P, std::list<std::string> const& files,
                  RunContext const& context) {
    std::ostream& out = std::cout;
    std::ostream& err = std::cerr;
    int const threads = runThreads(P.threads);

    // The table is created before anything is read, so a run that stops early
    // still leaves it behind with the rows written so far.
    std::string const image = !P.image.empty() ? P.image : files.empty() ? "" : files.front();
    checkIsNoInput("output table", P.output, P, image, files);
    std::ofstream table(P.output, std::ios::out | std::ios::trunc);
    if (!table) throw sci::IOException("cannot open file '" + P.output + "' for writing");
    writeTableHeader(table, P.id_column, P.flag_column, P.number);
    // The report is written at the end of a selecting run.
    std::ofstream report;
    if (!P.report.empty() && P.number == 0)
        err << "warning: --report is not written in the pass-through mode (--number 0)\n";
    else if (!P.report.empty())
        openReport(report, P, image, files);

    // With more than one thread, the fits, and the sky positions, sorts and
    // searches of large catalogues, are computed on a pool of them; everything
    // is still decided and written on this thread, in run order.
    std::unique_ptr<WorkPool> pool;
    if (threads > 1) pool = std::make_unique<WorkPool>(threads);

    FitsFiles fits;  // every FITS file of the run, its header read (and warned about) once
    Catalogue const cat = readCatalogue(P, image, fits, out, err, pool.get());
    if (P.number == 0) {
        writeWholeCatalogue(cat, P, table, out);
        checkTableWritten(table, P.output);
        return;
    }
    std::vector<float> const sortedFlux = sortedParticipatingFlux(cat.x, cat.y, cat.flux);

    FluxLimits const limits =
        computeFluxLimits(sortedFlux, P.min_thresh, P.max_thresh, P.neighbour_thresh);
    if (P.verbose > 0) writeFluxLimits(out, limits);

    long naxis1 = 0, naxis2 = 0;
    PixelBox field{};
    // The image and its error image are opened and checked before the first
    // subfield, so that a run that cannot measure fails before it writes rows.
    std::unique_ptr<StampReader> stamps;
    if (image.empty()) {
        field = fieldBoxFromCatalogue(cat.x, cat.y, cat.flux, P.border);
    } else {
        namingFile(image, [&] {
            sci::FitsIn const& in = fits.open(image);
            naxis1 = in.getInt("NAXIS1  ");
            naxis2 = in.getInt("NAXIS2  ");
        });
        field = fieldBoxFromImage(naxis1, naxis2, P.border);
        stamps = std::make_unique<StampReader>(image, fits);
    }
    checkGridFits(field, P);
    SubfieldGrid const grid(field, P.nfields[0], P.nfields[1], P.subfield_border, err);
    if (!image.empty())
        warnCatalogueOutsideImage(err, cat.x, cat.y, cat.flux, naxis1, naxis2, P.input, image);

    CandidateScreen const screen(cat.x, cat.y, cat.flux, cat.flag, cat.vx, cat.vy,
                                 screeningRules(limits, P.flag_column, P.flag_limit), pool.get());
    BadPixelCheck badPixels(files, P.check_radius, naxis1, naxis2, fits);
    // The first catalogue row at the position of each candidate: the row the
    // table shows for a star.
    PositionIndex const index(cat.x, cat.y, screen.candidateRows());
    // The fates, the funnel and the stamps of the run, kept in run order.
    bool const perRow = report.is_open();
    RunRecord record(screen, grid, P.check_radius, cat.x, cat.y, perRow);
    RunSummary summary(P, static_cast<long long>(grid.nx()) * grid.ny(), naxis1, naxis2);
    RunReport runReport;
    StampSurvey survey;

    // Each subfield's rows are written when its search ends; with a
    // field-wide clip, every subfield's at the end of the run.
    bool const clipped = P.fwhm_clip > 0 || P.nchi_clip > 0;
    std::unique_ptr<StarMeasure> measure;
    if (stamps && pool)
        measure = std::make_unique<MeasureAhead>(*stamps, P, *pool);
    else if (stamps)
        measure = std::make_unique<StampMeasure>(*stamps, P);
    SearchContext const searching{cat, badPixels, P, measure.get(), out};
    auto finish = [&](SubfieldSearch const& search) {
        if (stamps) {
            for (StarRecord const& star : search.s.stars) survey.add(star);
            for (DroppedStar const& d : search.s.dropped) survey.add(d.star);
        }
        writeSubfieldRows(search.s, cat, index, P, table, out);
        checkTableWritten(table, P.output);
        FateCounts const funnel = record.recordSubfield(grid.runIndex(search.i, search.j),
                                                        search.found, search.refused, search.s);
        summary.addSubfield(funnel, search.found, search.refused, cat);
        if (perRow) runReport.addSubfield(search.i, search.j, search.box, funnel);
    };
    std::vector<SubfieldSearch> held;
    for (int i = 1; i <= grid.nx(); ++i) {
        for (int j = 1; j <= grid.ny(); ++j) {
            SubfieldSearch search;
            search.i = i;
            search.j = j;
            search.box = grid.searchBox(i, j, P.check_radius);
            if (P.verbose > 0)
                writeSearching(out, P.number, P.nchi_reject, P.fwhm_reject, search.box);
            search.found = screen.screenSubfield(search.box, perRow || P.refill);
            writeTestCounter(out, search.found.testCounter, P.number);
            searchSubfield(search, searching);
            if (P.verbose > 2) out << "end measuring:\n";
            if (clipped)
                held.push_back(std::move(search));
            else
                finish(search);
        }
    }
    if (clipped) {
        FieldClips const clips = clipField(held, searching);
        if (perRow) runReport.setClips(clips);
        for (SubfieldSearch const& search : held) finish(search);
    }
    std::map<int, BadPixelCheck> otherRadius;
    auto recheck = [&](float x, float y, int r) {
        auto const it = otherRadius.try_emplace(r, files, r, naxis1, naxis2, fits).first;
        return it->second.passes(x, y);
    };
    writeRunEnd(err, survey, summary, record, cat, sortedFlux, stamps.get(), pool.get(), P, image,
                recheck);
    if (perRow) {
        RunFiles const runFiles{P.input, P.variables, image,
                                image.empty() ? "" : errorImageName(image),
                                std::vector<std::string>(files.begin(), files.end())};
        runReport.write(report, P, context, runFiles, limits, cat, screen, grid, record);
        if (!report.flush()) throw sci::IOException("cannot write to file '" + P.report + "'");
    }
}

}  // namespace selection
