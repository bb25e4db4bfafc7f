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
#include "select/parameter.h"

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

// The image's projection, read from its header; the header's warnings (a
// projection that is not TAN) go to err. Throws sci::FitsException when the
// header cannot be read or lacks a required keyword, and
// sci::LinearAlgebraException when the projection cannot be set up, each with
// the message "<image>: <reason>" (select/file_errors.h).
sci::TanWcs readImageWcs(std::string const& image, std::ostream& err);

// Reads the variable objects and the catalogue as the run parameters P say.
// image: the FITS image that supplies the projection, empty for none.
// Messages: the projection values on out for a sky-coordinate catalogue; the
// missing-projection errors on err (the run goes on, the positions stay 0).
Catalogue readCatalogue(Parameter const& P, std::string const& image, std::ostream& out,
                        std::ostream& err);

}  // namespace selection
