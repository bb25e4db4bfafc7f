#include "sci/fits_bytes.h"

#include "sci/fits_card.h"

namespace sci {

std::size_t fitsRecordPadding(std::size_t length) {
    std::size_t const record = FitsPhysical_::RECORD_LENGTH;
    std::size_t const rest = length % record;
    return rest == 0 ? 0 : record - rest;
}

}  // namespace sci
