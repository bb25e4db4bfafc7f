// Tests of util::FitsDate. Expected seconds come from
// `date -u -d <text> +%s` (GNU coreutils), an independent UTC conversion.
#include "util/fits_date.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <tuple>
#include <utility>

#include "tests/support/messages.h"
#include "util/exception.h"

namespace {

std::string dateError(std::string const& text) {
    return testsupport::messageOf<util::UTDateException>([&] { util::FitsDate date(text); });
}

}  // namespace

// Every form reads as UTC under POSIX zone rules (they need no time-zone
// database): UTC, US Eastern with its daylight-saving rules of 2001, India
// (+5:30), the far east (+14) and the far west (-12).
TEST(FitsDate, ReadsEveryFormAsUtcWhateverTheZone) {
    std::pair<char const*, std::time_t> const cases[] = {
        {"1990-12-22T13:49:00.75", 661873740},  // fractions of seconds are ignored
        {"1970-01-01", 0},                      // negative as local time east of UTC
        {"2001-04-01T02:30:00", 986092200},     // inside the spring-forward gap of US Eastern
        {"2001-10-28T01:30:00", 1004232600},    // the repeated hour of US Eastern
        {"22/12/90", 661824000},
    };
    char const* const old = std::getenv("TZ");
    std::string const saved = old ? old : "";
    for (char const* zone :
         {"UTC0", "EST5EDT,M4.1.0,M10.5.0", "<+0530>-5:30", "<+14>-14", "<-12>12"}) {
        setenv("TZ", zone, 1);
        tzset();
        for (auto const& [text, seconds] : cases)
            EXPECT_EQ(seconds, util::FitsDate(text).getTime()) << text << " under " << zone;
        // Day 0 of 1970 lies before the epoch whatever the zone.
        EXPECT_EQ("FitsDate: Cannot convert date 1970-01-00", dateError("1970-01-00")) << zone;
    }
    old ? setenv("TZ", saved.c_str(), 1) : unsetenv("TZ");
    tzset();
}

// 37 is the last two-digit year of this century (with a notice), 38 the first
// of the last; years end at 2037, and a text of another form is refused.
TEST(FitsDate, TwoDigitYearBelow38IsThisCenturyWithNotice) {
    for (auto [text, seconds, notice] :
         {std::tuple{"31/12/37", 2145830400, "2037"}, std::tuple{"31/12/99", 946598400, ""}}) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(seconds, util::FitsDate(text).getTime());
        EXPECT_EQ(*notice ? "FitsDate: Assuming date " + std::string(notice) +
                                ". Date has obsolete syntax.\n"
                          : "",
                  testing::internal::GetCapturedStderr());
    }
    EXPECT_EQ(dateError("2038-01-01"), "FitsDate: Cannot handle dates after Dec. 31st 2037.");
    EXPECT_EQ(dateError("1990-12-22T13:49"),
              "FitsDate: string '1990-12-22T13:49' has wrong syntax\n(not DD/MM/YY or "
              "YYYY-MM-DD[Thh:mm:ss[.sss...]])");
}
