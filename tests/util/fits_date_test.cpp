// Tests of util::FitsDate. Expected seconds come from
// `date -u -d <text> +%s` (GNU coreutils), an independent UTC conversion.
#include "util/fits_date.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/messages.h"
#include "util/exception.h"

namespace {

// POSIX zone rules (they need no time-zone database): UTC, US Eastern with
// its daylight-saving rules of 2001, India (+5:30), the far east (+14) and
// the far west (-12). Dates must read the same under each.
std::vector<char const*> const kZones = {"UTC0", "EST5EDT,M4.1.0,M10.5.0", "<+0530>-5:30",
                                         "<+14>-14", "<-12>12"};

// Sets TZ for the lifetime of the object and restores the previous setting.
class ZoneGuard {
  public:
    explicit ZoneGuard(char const* zone) : old_(std::getenv("TZ") ? std::getenv("TZ") : "") {
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneGuard() {
        old_.empty() ? unsetenv("TZ") : setenv("TZ", old_.c_str(), 1);
        tzset();
    }

  private:
    std::string old_;
};

std::string dateError(std::string const& text) {
    return testsupport::messageOf<util::UTDateException>([&] { util::FitsDate date(text); });
}

}  // namespace

TEST(FitsDate, ReadsEveryFormAsUtcWhateverTheZone) {
    struct Case {
        char const* text;
        std::time_t seconds;
    };
    std::vector<Case> const cases = {
        {"1990-12-22T13:49:00.75", 661873740},  // fractions of seconds are ignored
        {"2014-01-09", 1389225600},
        {"1970-01-01", 0},  // negative as local time east of UTC
        {"2037-12-31T23:59:59", 2145916799},
        {"2001-04-01T02:30:00", 986092200},   // inside the spring-forward gap of US Eastern
        {"2001-10-28T01:30:00", 1004232600},  // the repeated hour of US Eastern
        {"22/12/90", 661824000},
    };
    for (char const* zone : kZones) {
        ZoneGuard guard(zone);
        for (Case const& c : cases)
            EXPECT_EQ(c.seconds, util::FitsDate(c.text).getTime()) << c.text << " under " << zone;
        // Day 0 of 1970 lies before the epoch whatever the zone.
        EXPECT_EQ("FitsDate: Cannot convert date 1970-01-00", dateError("1970-01-00")) << zone;
    }
}

// 37 is the last two-digit year of this century (with a notice), 38 the first
// of the last.
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
}

TEST(FitsDate, RejectsWrongSyntaxAndYearsOutside1970To2037) {
    std::string const before = "FitsDate: cannot handle dates before Jan. 1st 1970.";
    std::string const after = "FitsDate: Cannot handle dates after Dec. 31st 2037.";
    std::vector<std::pair<std::string, std::string>> cases = {
        {"1965-01-01", before}, {"01/01/38", before}, {"2038-01-01", after}};
    for (std::string const text : {"1990/12/22", "1990-12-22 13:49:00", "90-12-22", "",
                                   "1990-12-22T13:49", "1990-1-22", "1990-12-22T13:49:0"})
        cases.emplace_back(text, "FitsDate: string '" + text +
                                     "' has wrong syntax\n(not DD/MM/YY or "
                                     "YYYY-MM-DD[Thh:mm:ss[.sss...]])");
    for (auto const& [text, message] : cases) EXPECT_EQ(message, dateError(text)) << text;
}
