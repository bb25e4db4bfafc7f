// util::UTDate and util::FitsDate: points in time as seconds since
// 1970-01-01T00:00:00 UTC, and the parser of FITS date values (DD/MM/YY,
// YYYY-MM-DD, YYYY-MM-DDThh:mm:ss[.sss]) that the header uses to classify
// DATE cards. Every field is read as UTC; the local time zone never matters.
#pragma once

#include <ctime>
#include <string>

namespace util {

class UTDate {
  public:
    UTDate();                              // the current time
    explicit UTDate(std::time_t seconds);  // seconds since the epoch, UTC

    // Seconds since the epoch of the broken-down UTC time utc (tm_year: years
    // since 1900, tm_mon: 0-11, tm_mday: 1-31; out-of-range fields carry over
    // as in mktime). mktime reads its argument as local time, so its result is
    // corrected by the difference between the local and the UTC reading:
    //   t1 = mktime(fields);  t = t1 + (mktime(fields) - mktime(gmtime(t1)))
    // repeated until gmtime(t) gives the fields back. Returns -1 when the time
    // cannot be represented.
    static std::time_t mkuttime(std::tm const& utc);

    std::time_t getTime() const { return seconds_; }

  protected:
    std::time_t seconds_;
};

// A FITS date value. The constructor throws UTDateException for text of the
// wrong syntax, for a year outside 1970..2037 and for a date that does not
// convert; a two-digit year below 38 (taken as 20YY) prints a notice on
// standard error.
class FitsDate : public UTDate {
  public:
    explicit FitsDate(std::string const& text);
};

}  // namespace util
