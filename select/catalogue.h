// The catalogue of one run: parallel per-row arrays read column by column from
// the input table (index base 1, element k = data row k), with positions in
// pixels (FITS convention, first pixel = 1) and on the sky (degrees), converted
// through the image's tangent-plane projection where a pair is missing; and the
// pixel positions of the variable objects to avoid.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "sci/marray.h"
#include "sci/tan_wcs.h"
#include "select/fits_files.h"
#include "select/parameter.h"
#include "select/work_pool.h"

namespace selection {

struct Catalogue {
    int N = 0;  // data rows of the input table
    sci::MArray<float, 1> x, y;
    sci::MArray<float, 1> RA, DEC;
    sci::MArray<float, 1> flux;       // from magnitudes when P.mag is set
    sci::MArray<int, 1> id;           // only when id_column > 0
    sci::MArray<int, 1> flag;         // only when flag_column > 0
    sci::MArray<float, 1> classStar;  // only when class_column > 0
    int Nv = 0;                       // variable objects
    sci::MArray<float, 1> vx, vy;     // their pixel positions
};

// What the run needs an image's projection for: the message of a header
// without one says so.
enum class ProjectionUse {
    kCatalogueSkyToPixels,  // a catalogue of RA and DEC (x_column < 0)
    kCataloguePixelsToSky,  // the RA and DEC of a catalogue of pixel positions
    kVariablesSkyToPixels,  // a variables table of RA and DEC
};

// The image's projection, read from its header (opened through files); the
// projection's warnings (one that is not TAN) go to err. Throws
// sci::FitsException when the header cannot be read or lacks a required
// keyword, and sci::LinearAlgebraException when the projection cannot be set
// up, each with the message "<image>: <reason>" (select/file_errors.h). A
// header that lacks keywords of the projection gives "<image>: cannot find
// keyword '<first missing>' (<what use needs it for>, but the image lacks
// <every missing keyword, sci::missingTanKeywords>)" unless the file is
// tile-compressed.
sci::TanWcs readImageWcs(std::string const& image, FitsFiles& files, ProjectionUse use,
                         std::ostream& err);

// Reads the variable objects and the catalogue as the run parameters P say.
// image: the FITS image that supplies the projection, empty for none, opened
// through files. A position (x, y or RA, DEC) or flux field that is not
// wholly a number ("INDEF", "--") reads NaN, so that its row takes no part
// (sci::AscFile::readNumberColumn); the id, flag and class columns and the
// variables table read such text as 0 or its leading number.
// Messages: the projection values on out for a sky-coordinate catalogue; the
// missing-projection errors on err (the run goes on, the positions stay 0).
// With a pool, the sky positions of a catalogue of pixel positions are
// computed on one of its threads while the other columns are read.
Catalogue readCatalogue(Parameter const& P, std::string const& image, FitsFiles& files,
                        std::ostream& out, std::ostream& err, WorkPool* pool = nullptr);

}  // namespace selection
