#include "fit/print_f.h"

#include <cmath>
#include <iomanip>
#include <ios>
#include <string>

namespace fit {

namespace {

// Writes value right-aligned in w characters with the given notation and precision.
void writeField_(std::ostream& os, std::ios_base& (*notation)(std::ios_base&), int w, int prec,
                 double value) {
    os << notation << std::setw(w) << std::setprecision(prec) << value;
}

}  // namespace

std::ostream& printF::operator()(std::ostream& os) const {
    int const w = width - blanks;
    int const neg = value < 0.0 ? 1 : 0;
    int const m = w - neg;
    int const p = precision;
    double const mag = std::fabs(value);

    if (blanks > 0) os << std::string(static_cast<size_t>(blanks), ' ');

    if (m > 4 && p > 0) {
        if (mag >= std::pow(10.0, w - p - 1 - neg)) {
            // Too many digits before the point for fixed notation in w characters.
            writeField_(os, std::scientific, w, w - 6 - neg, value);
        } else if (mag > 0.0 && mag < std::pow(10.0, -p)) {
            // Fixed notation would show only zeros.
            writeField_(os, std::defaultfloat, w, p, value);
        } else {
            writeField_(os, std::fixed, w, p, value);
        }
    } else if (m > 4) {
        // Precision 0 (a negative precision is taken as 0): whole numbers.
        if (mag >= std::pow(10.0, m)) {
            writeField_(os, std::defaultfloat, w, w - 5 - neg, value);
        } else if (mag > 1.0 || value == 0.0) {
            writeField_(os, std::fixed, w, 0, value);
        } else {
            writeField_(os, std::defaultfloat, w, 0, value);
        }
    } else if (m == 4) {
        int prec = 0;
        if ((mag >= 1.0 && mag < 10.0) || (mag >= 0.1 && mag < 1.0)) {
            prec = 1;
        } else if (mag >= 0.01 && mag < 0.1) {
            prec = 2;
        }
        writeField_(os, std::fixed, w, prec, value);
    } else {
        // No room for a number: mark the cell.
        os << ' ';
        if (m > 0) os << std::string(static_cast<size_t>(m), '#');
    }
    os << std::defaultfloat;
    return os;
}

}  // namespace fit
