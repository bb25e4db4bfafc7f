// Tests of util::UTDate::mkuttime and util::FitsDate. Expected seconds come
// from `date -u -d <text> +%s` (GNU coreutils), an independent UTC conversion.
#include "util/fits_date.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "tests/support/messages.h"
#include "util/exception.h"

namespace {

// POSIX zone rules (they need no time-zone database): UTC, US Eastern with
// its daylight-saving rules of 2001, India (+5:30), the far east (+14) and
// the far west (-12). mkuttime must give the same seconds under each.
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
        {"1990-12-22T13:49:00", 661873740},
        {"1990-12-22T13:49:00.75", 661873740},  // fractions of seconds are ignored
        {"2014-01-09", 1389225600},
        {"1970-01-01", 0},  // negative as local time east of UTC
        {"2037-12-31T23:59:59", 2145916799},
        {"2001-04-01T02:30:00", 986092200},   // inside the spring-forward gap of US Eastern
        {"2001-10-28T01:30:00", 1004232600},  // the repeated hour of US Eastern
        {"2001-07-01T02:30:00", 993954600},   // in daylight-saving time
        {"22/12/90", 661824000},
    };
    for (char const* zone : kZones) {
        ZoneGuard guard(zone);
        for (Case const& c : cases) {
            EXPECT_EQ(c.seconds, util::FitsDate(c.text).getTime()) << c.text << " under " << zone;
        }
    }
}

TEST(FitsDate, TwoDigitYearBelow38IsThisCenturyWithNotice) {
    testing::internal::CaptureStderr();
    util::FitsDate const date("01/02/05");
    EXPECT_EQ("FitsDate: Assuming date 2005. Date has obsolete syntax.\n",
              testing::internal::GetCapturedStderr());
    EXPECT_EQ(1107216000, date.getTime());

    // 37 is the last two-digit year of this century, 38 the first of the last.
    testing::internal::CaptureStderr();
    EXPECT_EQ(2145830400, util::FitsDate("31/12/37").getTime());
    EXPECT_EQ("FitsDate: Assuming date 2037. Date has obsolete syntax.\n",
              testing::internal::GetCapturedStderr());
    EXPECT_EQ("FitsDate: cannot handle dates before Jan. 1st 1970.", dateError("01/01/38"));

    testing::internal::CaptureStderr();
    EXPECT_EQ(946598400, util::FitsDate("31/12/99").getTime());
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
}

TEST(FitsDate, RejectsWrongSyntaxAndYearsOutside1970To2037) {
    std::string const before = "FitsDate: cannot handle dates before Jan. 1st 1970.";
    std::string const after = "FitsDate: Cannot handle dates after Dec. 31st 2037.";
    std::vector<std::pair<std::string, std::string>> cases = {{"1965-01-01", before},
                                                              {"01/01/69", before},
                                                              {"2038-01-01", after},
                                                              {"2040-01-01T00:00:00", after}};
    for (std::string const text :
         {"1990/12/22", "1990-12-22 13:49:00", "90-12-22", "", "1990-12-22T13:49",
          "1990-12-22T13-49-00", "1990-1-22", "1990-12-22T13-49:00", "1990-12-22T13:49-00",
          "1990-12-22T13:49:0"})
        cases.emplace_back(text, "FitsDate: string '" + text +
                                     "' has wrong syntax\n(not DD/MM/YY or "
                                     "YYYY-MM-DD[Thh:mm:ss[.sss...]])");
    for (auto const& [text, message] : cases) EXPECT_EQ(message, dateError(text)) << text;
    // Day 0 of 1970 lies before the epoch whatever the zone.
    for (char const* zone : kZones) {
        ZoneGuard guard(zone);
        EXPECT_EQ("FitsDate: Cannot convert date 1970-01-00", dateError("1970-01-00")) << zone;
    }
}

TEST(UTDate, MkuttimeCarriesFieldsAndCrossesTheEpoch) {
    for (char const* zone : kZones) {
        ZoneGuard guard(zone);
        std::tm fields{};
        fields.tm_year = 99;
        fields.tm_mon = 11;
        fields.tm_mday = 32;  // 1999-12-32 is 2000-01-01
        EXPECT_EQ(946684800, util::UTDate::mkuttime(fields)) << zone;
        fields.tm_year = 69;  // two seconds before the epoch
        fields.tm_mday = 31;
        fields.tm_hour = 23;
        fields.tm_min = 59;
        fields.tm_sec = 58;
        EXPECT_EQ(-2, util::UTDate::mkuttime(fields)) << zone;
    }
}
