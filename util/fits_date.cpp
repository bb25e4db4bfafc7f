#include "util/fits_date.h"

#include <cstdlib>
#include <iostream>

#include "util/exception.h"

namespace util {

namespace {

// Rounds of correction in mkuttime; one suffices unless the zone's standard
// offset changes between the guess and the answer.
constexpr int kMaxCorrections = 4;

// mktime of fields read as local standard time; false when mktime fails.
// A failed mktime leaves tm_wday alone, which tells a failure from a
// legitimate result of -1 (one second before the epoch).
bool localSeconds(std::tm fields, std::time_t& seconds) {
    fields.tm_isdst = 0;
    fields.tm_wday = -1;
    seconds = std::mktime(&fields);
    return fields.tm_wday != -1;
}

// Field text at [pos, pos+len) of text, read with strtol base 10 (no error
// check: text that is no number reads as 0).
int field(std::string const& text, size_t pos, size_t len) {
    return static_cast<int>(std::strtol(text.substr(pos, len).c_str(), nullptr, 10));
}

constexpr int kFirstYear = 1970;
constexpr int kLastYear = 2037;
// Two-digit years below this are 20YY, the others 19YY.
constexpr int kTwoDigitPivot = 38;

}  // namespace

UTDate::UTDate() : seconds_(std::time(nullptr)) {}

UTDate::UTDate(std::time_t seconds) : seconds_(seconds) {}

std::time_t UTDate::mkuttime(std::tm const& utc) {
    std::time_t wanted = 0;
    if (!localSeconds(utc, wanted)) return -1;
    std::time_t t = wanted;
    for (int round = 0; round < kMaxCorrections; ++round) {
        std::tm back{};
        if (gmtime_r(&t, &back) == nullptr) return -1;
        std::time_t reread = 0;
        if (!localSeconds(back, reread)) return -1;
        double const diff = std::difftime(wanted, reread);
        if (diff == 0.0) return t;
        t += static_cast<std::time_t>(diff);
    }
    return -1;
}

FitsDate::FitsDate(std::string const& text) : UTDate(0) {
    std::tm fields{};
    int year = 0;
    bool syntaxOk = false;
    if (text.size() == 8) {
        // DD/MM/YY
        if (text[2] == '/' && text[5] == '/') {
            syntaxOk = true;
            fields.tm_mday = field(text, 0, 2);
            fields.tm_mon = field(text, 3, 2) - 1;
            year = field(text, 6, 2);
            if (year < kTwoDigitPivot) {
                year += 2000;
                std::cerr << "FitsDate: Assuming date " << year << ". Date has obsolete syntax."
                          << std::endl;
            } else {
                year += 1900;
            }
        }
    } else if (text.size() == 10) {
        // YYYY-MM-DD
        syntaxOk = text[4] == '-' && text[7] == '-';
    } else if (text.size() > 18) {
        // YYYY-MM-DDThh:mm:ss[.sss...]; the date separators are not tested.
        syntaxOk = text[10] == 'T' && text[13] == ':' && text[16] == ':';
        if (syntaxOk) {
            fields.tm_hour = field(text, 11, 2);
            fields.tm_min = field(text, 14, 2);
            fields.tm_sec = field(text, 17, 2);
        }
    }
    if (!syntaxOk)
        throw UTDateException(
            "FitsDate: string '" + text +
            "' has wrong syntax\n(not DD/MM/YY or YYYY-MM-DD[Thh:mm:ss[.sss...]])");
    if (text.size() != 8) {
        year = field(text, 0, 4);
        fields.tm_mon = field(text, 5, 2) - 1;
        fields.tm_mday = field(text, 8, 2);
    }
    if (year < kFirstYear)
        throw UTDateException("FitsDate: cannot handle dates before Jan. 1st 1970.");
    if (year > kLastYear)
        throw UTDateException("FitsDate: Cannot handle dates after Dec. 31st 2037.");
    fields.tm_year = year - 1900;
    seconds_ = mkuttime(fields);
    if (seconds_ < 0) throw UTDateException("FitsDate: Cannot convert date " + text);
}

}  // namespace util
