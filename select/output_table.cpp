#include "select/output_table.h"

#include <iomanip>

namespace selection {

namespace {

constexpr int kFilePrecision = 8;  // digits after the point of every number in the file

}  // namespace

void writeTableHeader(std::ostream& file, int id_column, int flag_column, int number) {
    file << "#     ";
    if (id_column >= 0) file << "id          ";
    file << "x          y              RA             DEC          flux";
    if (flag_column > 0 && number == 0) file << "       flag";
    file << "\n#\n";
    file << std::fixed << std::setprecision(kFilePrecision);
}

void writeIdField(std::ostream& os, int id_column, int id, int running) {
    if (id_column > 0)
        os << std::setw(8) << id << "    ";
    else if (id_column == 0)
        os << std::setw(8) << running << "    ";
}

void writePassThroughRow(std::ostream& file, StarRow const& row, int running, int id_column,
                         int flag_column) {
    writeIdField(file, id_column, row.id, running);
    file << std::setw(7) << row.x << "    " << std::setw(7) << row.y << "  " << std::setw(14)
         << row.ra << "  " << std::setw(13) << row.dec << "  " << std::setw(12) << row.flux;
    if (flag_column > 0) file << "    " << std::setw(4) << row.flag;
    file << "\n";
}

void writePassThroughEcho(std::ostream& console, StarRow const& row, int running, int id_column) {
    console.unsetf(std::ios::floatfield);
    writeIdField(console, id_column, row.id, running);
    console << std::setprecision(3) << std::setw(7) << row.x << "    " << std::setw(7) << row.y
            << "  " << std::setprecision(8) << std::setw(14) << row.ra << "  " << std::setw(13)
            << row.dec << "  " << std::setprecision(2) << std::setw(12) << row.flux << "  "
            << std::setprecision(3) << std::setw(14) << row.closestDist << "  " << std::setw(15)
            << row.closestFlux << "  " << std::setprecision(4) << std::setw(9) << row.flag << "  "
            << std::setw(11) << row.classStar << "  " << std::setw(11) << row.nchi << "  "
            << std::setw(11) << row.fwhm << "\n";
}

void writeSelectedEchoHeader(std::ostream& console, int id_column) {
    console << "    ";
    if (id_column >= 0) console << "  id      ";
    console << "    x          y              RA             DEC          flux    neighbour_dist "
               "  neighbour_flux   neighbour_rel      flags   class_star         nchi         "
               "FWHM\n";
}

void writeSelectedRow(std::ostream& file, StarRow const& row, int running, int id_column) {
    writeIdField(file, id_column, row.id, running);
    file << std::setw(7) << row.x << "    " << std::setw(7) << row.y << "  " << std::setw(14)
         << row.ra << "  " << std::setw(14) << row.dec << "  " << std::setw(12) << row.flux << "\n";
    file.flush();
}

void writeSelectedEcho(std::ostream& console, StarRow const& row, int running, int id_column) {
    float const relative = row.closestFlux / row.flux;  // in float, as shown
    writeIdField(console, id_column, row.id, running);
    console << std::setprecision(2) << std::setw(7) << row.x << "    " << std::setw(7) << row.y
            << "  " << std::setprecision(8) << std::setw(14) << row.ra << "  " << std::setw(14)
            << row.dec << "  " << std::setprecision(2) << std::setw(12) << row.flux << "  "
            << std::setprecision(3) << std::setw(16) << row.closestDist << "  " << std::setw(15)
            << row.closestFlux << "  " << std::setprecision(4) << std::setw(14) << relative << "  "
            << std::setprecision(2) << std::setw(9) << row.flag << "  " << std::setw(11)
            << row.classStar << "  " << std::setw(11) << row.nchi << "  " << std::setw(11)
            << row.fwhm << "\n";
    console.flush();
}

}  // namespace selection
