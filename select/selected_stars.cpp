#include "select/selected_stars.h"

namespace selection {

ColumnLengths measuredLengths(SelectedStars const& s) {
    return {s.taken, s.taken, s.taken, s.taken, static_cast<int>(s.stars.size())};
}

ColumnLengths completedLengths(SelectedStars const& s, bool hasId, bool hasFlag, bool hasClass) {
    int const left = static_cast<int>(s.stars.size());
    return {hasId ? left : s.taken, left, hasFlag ? left : s.taken, hasClass ? left : s.taken,
            left};
}

void writeLengths(std::ostream& os, ColumnLengths const& c) {
    os << "len = " << c.id << " " << c.raDecFlux << " " << c.raDecFlux << " " << c.measured << " "
       << c.measured << " " << c.raDecFlux << " " << c.measured << " " << c.measured << " "
       << c.flag << " " << c.classStar << " " << c.measured << " " << c.measured << "\n";
}

}  // namespace selection
