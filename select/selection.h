// The selection run of psfpick: from the catalogue named in the run parameters
// and the FITS file arguments to the output table of selected stars.
#pragma once

#include <list>
#include <string>

#include "select/parameter.h"

// Runs the selection with the checked parameters P; files are the FITS file
// arguments in command-line order. Creates (truncates) the output table
// P.output first. For now the run ends there: reading the catalogue, the
// selection and the table rows come on top of this. Failures are thrown; a table that cannot be
// created throws sci::IOException "cannot open file '<output>' for writing".
void runSelection(Parameter const& P, std::list<std::string> const& files);
