#include "select/output_table.h"

#include <iomanip>

namespace selection {

namespace {

// Writes value in the width of column c; followed by the column's gap when
// another column comes after it.
template <class T>
void writeColumn(std::ostream& file, TableColumn c, T value, bool more, int width) {
    file << std::setw(width) << value;
    if (more) file << tableColumn(c).gap;
}

template <class T>
void writeColumn(std::ostream& file, TableColumn c, T value, bool more) {
    writeColumn(file, c, value, more, tableColumn(c).width);
}

// The columns x to flux of a row, DEC in decWidth; more: whether the flag follows.
void writeValueColumns(std::ostream& file, StarRow const& row, int decWidth, bool more) {
    writeColumn(file, TableColumn::kX, row.x, true);
    writeColumn(file, TableColumn::kY, row.y, true);
    writeColumn(file, TableColumn::kRa, row.ra, true);
    writeColumn(file, TableColumn::kDec, row.dec, true, decWidth);
    writeColumn(file, TableColumn::kFlux, row.flux, more);
}

}  // namespace

void writeTableHeader(std::ostream& file, int id_column, int flag_column, int number) {
    file << kTableHeaderStart;
    if (id_column >= 0) file << tableColumn(TableColumn::kId).heading;
    for (TableColumn c : {TableColumn::kX, TableColumn::kY, TableColumn::kRa, TableColumn::kDec,
                          TableColumn::kFlux})
        file << tableColumn(c).heading;
    if (flag_column > 0 && number == 0) file << tableColumn(TableColumn::kFlag).heading;
    file << "\n#\n";
    file << std::fixed << std::setprecision(kTablePrecision);
}

void writeIdField(std::ostream& os, int id_column, int id, int running) {
    if (id_column > 0)
        writeColumn(os, TableColumn::kId, id, true);
    else if (id_column == 0)
        writeColumn(os, TableColumn::kId, running, true);
}

void writePassThroughRow(std::ostream& file, StarRow const& row, int running, int id_column,
                         int flag_column) {
    writeIdField(file, id_column, row.id, running);
    bool const withFlag = flag_column > 0;
    writeValueColumns(file, row, tableColumn(TableColumn::kDec).width, withFlag);
    if (withFlag) writeColumn(file, TableColumn::kFlag, row.flag, false);
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
    writeValueColumns(file, row, kSelectedDecWidth, false);
    file << "\n";
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
