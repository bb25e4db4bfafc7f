// The selection run of psfpick: from the catalogue named in the run parameters
// and the FITS file arguments to the output table of selected stars.
#pragma once

#include <list>
#include <string>

#include "select/parameter.h"
#include "select/report.h"

namespace selection {

// Runs the selection with the checked parameters P; files are the FITS file
// arguments in command-line order. Progress goes to standard output, errors and
// warnings to standard error. The output table P.output is created (truncated)
// first, so a run that stops early leaves the rows of the finished subfields in
// it; with a field-wide clip (--fwhm_clip, --nchi_clip) every subfield's rows
// are written at the end (select/subfield_search.h). Failures are thrown:
// sci::IOException for a table that cannot be read or written ("cannot open
// file '<output>' for writing", "cannot write to file '<output>'", or when the
// output is one of the input files, which the run would overwrite);
// sci::FitsException (or, for a projection that cannot be inverted,
// sci::LinearAlgebraException) for a FITS file that cannot be read, with the
// message "<file>: <reason>" (select/file_errors.h); util::UException for an
// nfields grid finer than the field. A selecting run with an image opens and
// checks the image and its error image before the first subfield
// (select/stamps.h). A selecting run (number >= 1) ends with its warnings of
// the measured stamps and its summary on standard error and, when P.report
// names a file, writes the report there (the context says how the run was
// started).
void runSelection(Parameter const& P, std::list<std::string> const& files,
                  RunContext const& context = {});

}  // namespace selection
