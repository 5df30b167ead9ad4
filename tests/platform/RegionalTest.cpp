// The timetable document's date and time: the user's regional formats, and the Spanish form where no
// real locale is set.

#include "platform/Regional.h"

#include "support/EnvironmentGuard.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <regex>

#ifdef _WIN32
#include <windows.h>
#endif

namespace pontrel::platform {
namespace {

std::tm at(int year, int month, int day, int hour, int minute, int second) {
    std::tm when{};
    when.tm_year = year - 1900;
    when.tm_mon = month - 1;
    when.tm_mday = day;
    when.tm_hour = hour;
    when.tm_min = minute;
    when.tm_sec = second;
    when.tm_isdst = -1;
    std::mktime(&when); // fills the day of the week
    return when;
}

#ifndef _WIN32
// Sets the locale variables for one test (LANG alone, or none) and puts them back.
class LocaleEnvironment {
  public:
    explicit LocaleEnvironment(const char* all) {
        for (const char* name : {"LC_ALL", "LC_TIME", "LANG"})
            guard_.set(name, std::nullopt);
        if (all)
            guard_.set("LANG", all);
    }

  private:
    testing::EnvironmentGuard guard_;
};

TEST(RegionalDateTime, PlainCLocalesGiveTheSpanishForm) {
    for (const char* name : {"C", "POSIX", "C.UTF-8", static_cast<const char*>(nullptr)}) {
        LocaleEnvironment environment(name);
        EXPECT_EQ(regionalDateTime(at(2026, 12, 10, 15, 15, 15)), "10/12/2026 15:15:15")
            << (name ? name : "-");
        EXPECT_EQ(regionalDateTime(at(2027, 2, 1, 9, 5, 3)), "01/02/2027 9:05:03") << (name ? name : "-");
    }
}

TEST(RegionalDateTime, LocaleThatIsNotInstalledCountsAsNone) {
    LocaleEnvironment environment("xx_YY.UTF-8");
    EXPECT_EQ(regionalDateTime(at(2026, 12, 10, 0, 0, 7)), "10/12/2026 0:00:07");
}

// The document's stamp is the moment it is written, not a fixed or cached one.
TEST(RegionalDateTime, NowIsTheCurrentMoment) {
    LocaleEnvironment environment("C");
    const std::time_t before = std::time(nullptr);
    const std::string stamp = regionalNow();
    const std::time_t after = std::time(nullptr);
    const auto spanish = [](std::time_t t) {
        const std::tm now = *std::localtime(&t);
        char text[64];
        std::snprintf(text, sizeof text, "%02d/%02d/%04d %d:%02d:%02d", now.tm_mday, now.tm_mon + 1,
                      now.tm_year + 1900, now.tm_hour, now.tm_min, now.tm_sec);
        return std::string(text);
    };
    EXPECT_TRUE(stamp == spanish(before) || stamp == spanish(after)) << stamp;
}
#else
TEST(RegionalDateTime, UsersShortDateAndLongTime) {
    const std::tm when = at(2026, 12, 10, 15, 15, 15);
    wchar_t locale[LOCALE_NAME_MAX_LENGTH];
    ASSERT_GT(GetUserDefaultLocaleName(locale, LOCALE_NAME_MAX_LENGTH), 0);
    const std::string stamp = regionalDateTime(when);
    if (std::wstring(locale) == L"es-ES") {
        EXPECT_EQ(stamp, "10/12/2026 15:15:15");
    } else {
        // Whatever the settings, the day, the year and the minutes are there.
        EXPECT_TRUE(std::regex_search(stamp, std::regex("10")) &&
                    std::regex_search(stamp, std::regex("2026|26")) &&
                    std::regex_search(stamp, std::regex(":15")))
            << stamp;
    }
}
#endif

TEST(RegionalDateTime, LocalTimeIsTheCalendarsTime) {
    std::tm when = at(2026, 12, 10, 15, 15, 15);
    const std::time_t t = std::mktime(&when);
    const std::tm back = localTime(t);
    EXPECT_EQ(back.tm_year, 126);
    EXPECT_EQ(back.tm_mon, 11);
    EXPECT_EQ(back.tm_mday, 10);
    EXPECT_EQ(back.tm_hour, 15);
}

} // namespace
} // namespace pontrel::platform
