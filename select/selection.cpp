#include "select/selection.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <memory>
#include <vector>

#include "sci/exceptions.h"
#include "sci/fits_in.h"
#include "select/bad_pixels.h"
#include "select/catalogue.h"
#include "select/file_errors.h"
#include "select/fits_files.h"
#include "select/flux_limits.h"
#include "select/measurement.h"
#include "select/output_table.h"
#include "select/screening.h"
#include "select/selected_rows.h"
#include "select/selected_stars.h"
#include "select/stamps.h"
#include "select/subfield_grid.h"
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

// The output table is truncated before anything is read, so an output that
// names one of the run's inputs would destroy it: such a run fails first.
void checkOutputIsNoInput(Parameter const& P, std::string const& image,
                          std::list<std::string> const& files) {
    std::vector<std::string> inputs = {P.input, P.variables, image};
    inputs.insert(inputs.end(), files.begin(), files.end());
    for (std::string const& input : inputs)
        if (!input.empty() && sameFile(P.output, input))
            throw sci::IOException("output table '" + P.output + "' is the input file '" + input +
                                   "'; it would be overwritten");
}

// The most isolated candidates that pass the bad-pixel and stellarity tests,
// in visit order, at most number of them.
SelectedStars takeStars(SubfieldCandidates const& found, Catalogue const& cat,
                        BadPixelCheck& badPixels, Parameter const& P) {
    SelectedStars s;
    for (size_t k = 0; k < found.row.size() && static_cast<int>(s.stars.size()) < P.number; ++k) {
        int const row = found.row[k];
        bool const clean = badPixels.passes(cat.x(row), cat.y(row));
        bool const stellar =
            P.class_column <= 0 || P.class_star <= static_cast<double>(cat.classStar(row));
        if (!clean || !stellar) continue;
        StarRecord star;
        star.row = row;
        star.x = cat.x(row);
        star.y = cat.y(row);
        star.closestDist = found.closestDist[k];
        star.closestFlux = found.closestFlux[k];
        s.stars.push_back(star);
    }
    s.taken = static_cast<int>(s.stars.size());
    return s;
}

// A table that could not be written (a full disk, a device that refuses
// writes) fails the run rather than leaving a short table behind a success.
void checkTableWritten(std::ofstream& table, std::string const& output) {
    if (!table.flush()) throw sci::IOException("cannot write to file '" + output + "'");
}

}  // namespace

void runSelection(Parameter const& P, std::list<std::string> const& files) {
    std::ostream& out = std::cout;
    std::ostream& err = std::cerr;

    // The table is created before anything is read, so a run that stops early
    // still leaves it behind with the rows written so far.
    std::string const image = !P.image.empty() ? P.image : files.empty() ? "" : files.front();
    checkOutputIsNoInput(P, image, files);
    std::ofstream table(P.output, std::ios::out | std::ios::trunc);
    if (!table) throw sci::IOException("cannot open file '" + P.output + "' for writing");
    writeTableHeader(table, P.id_column, P.flag_column, P.number);

    FitsFiles fits;  // every FITS file of the run, its header read (and warned about) once
    Catalogue const cat = readCatalogue(P, image, fits, out, err);
    std::vector<float> const sortedFlux = sortedParticipatingFlux(cat.x, cat.y, cat.flux);
    if (P.number == 0) {
        writeWholeCatalogue(cat, P, table, out);
        checkTableWritten(table, P.output);
        return;
    }

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

    CandidateScreen const screen(cat.x, cat.y, cat.flux, cat.flag, cat.vx, cat.vy,
                                 screeningRules(limits, P.flag_column, P.flag_limit));
    BadPixelCheck badPixels(files, P.check_radius, naxis1, naxis2, fits);
    // The first catalogue row at each position: the row the table shows for a star.
    PositionIndex const index(cat.x, cat.y);
    int measured = 0;
    int fitted = 0;

    for (int i = 1; i <= grid.nx(); ++i) {
        for (int j = 1; j <= grid.ny(); ++j) {
            PixelBox const box = grid.searchBox(i, j, P.check_radius);
            if (P.verbose > 0) writeSearching(out, P.number, P.nchi_reject, P.fwhm_reject, box);
            SubfieldCandidates const found = screen.screenSubfield(box);
            writeTestCounter(out, found.testCounter, P.number);
            SelectedStars s = takeStars(found, cat, badPixels, P);
            if (s.taken < P.number) {
                out << '\n';
                writeNotEnoughStars(out, "taken", s.taken, P.number);
            }
            if (s.taken >= 1 && stamps) {
                measured += s.taken;
                measureStars(s, P, *stamps, out, fitted);
            }
            if (P.verbose > 2) out << "end measuring:\n";
            writeSubfieldRows(s, cat, index, P, table, out);
            checkTableWritten(table, P.output);
        }
    }
    if (measured > 0 && fitted == 0)
        err << "warning: every profile fit failed; check that the image is sky-subtracted, that "
               "its error image matches it, and that boxlen is large enough for the stars\n";
}

}  // namespace selection
