#include "sci/marray.h"

namespace sci {

std::ostream& operator<<(std::ostream& os, Shape<1> const& shape) {
    return os << "( " << shape.length[0] << " ) : (" << shape.base[0] << "," << shape.last(1)
              << ") ";
}

}  // namespace sci
