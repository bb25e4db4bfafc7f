#include "select/selection.h"

#include <fstream>

#include "sci/exceptions.h"

void runSelection(Parameter const& P, std::list<std::string> const& /*files*/) {
    // The table is created before anything is read, so a run that stops early
    // still leaves it behind.
    std::ofstream table(P.output, std::ios::out | std::ios::trunc);
    if (!table) throw sci::IOException("cannot open file '" + P.output + "' for writing");
}
