#include "select/selected_stars.h"

namespace selection {

SelectedStars::SelectedStars(int number)
    : select_x(number),
      select_y(number),
      select_RA(number),
      select_DEC(number),
      select_flux(number),
      select_flag(number),
      select_closest_dist(number),
      select_closest_flux(number),
      select_class(number),
      select_nchi(number),
      select_fwhm(number),
      select_id(number) {}

void SelectedStars::writeLengths(std::ostream& os) const {
    os << "len = " << select_id.last() << " " << select_RA.last() << " " << select_DEC.last() << " "
       << select_x.last() << " " << select_y.last() << " " << select_flux.last() << " "
       << select_closest_dist.last() << " " << select_closest_flux.last() << " "
       << select_flag.last() << " " << select_class.last() << " " << select_nchi.last() << " "
       << select_fwhm.last() << "\n";
}

}  // namespace selection
