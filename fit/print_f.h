// printF: the fixed-width number cell of the fitter's diagnostic dumps and of
// the per-fit table. A cell is `blanks` spaces followed by the value in a field
// of width - blanks characters, in the notation that keeps it readable there.
// No arrays, no units: the value is written as given.
#pragma once

#include <ostream>

namespace fit {

// One formatted cell. Fields in this order: width (whole cell, blanks
// included), precision (digits after the point in fixed notation), value,
// blanks (leading spaces).
struct printF {
    int width;
    int precision;
    double value;
    int blanks;

    // Writes the cell. With W = width - blanks, neg = 1 for a negative value,
    // m = W - neg, p = precision and |v| the magnitude of value:
    //   m > 4, p > 0:  |v| >= 10^(W-p-1-neg)  scientific, precision W-6-neg
    //                  0 < |v| < 10^-p        general, precision p
    //                  otherwise              fixed, precision p
    //   m > 4, p <= 0: |v| >= 10^m            general, precision W-5-neg
    //                  |v| > 1 or v = 0       fixed, precision 0
    //                  otherwise              general, precision 0
    //   m = 4:         fixed, precision 1 for 0.1 <= |v| < 10, 2 for
    //                  0.01 <= |v| < 0.1, else 0
    //   m < 4:         one blank and max(m, 0) characters '#', no value
    // every field right-aligned in W characters. The stream is left in general
    // notation (its precision stays at the last one set).
    std::ostream& operator()(std::ostream& os) const;
};

}  // namespace fit
