#include "platform/locale/Locale.h"

#include <ctime>
#include <gtest/gtest.h>
#include <string>

namespace {

// Tuesday 5 March 2024, 14:07:09 (the day of the week given wrong on purpose: it is ignored).
constexpr SYSTEMTIME kAfternoon{2024, 3, 6, 5, 14, 7, 9, 250};
constexpr SYSTEMTIME kMidnight{2024, 12, 0, 31, 0, 0, 5, 0};

std::string Time(LCID lcid, DWORD flags, const SYSTEMTIME& t, const char* format = nullptr) {
    char out[64] = {};
    const int n = GetTimeFormatA(lcid, flags, &t, format, out, sizeof out);
    EXPECT_GT(n, 0);
    return out;
}

std::string Date(LCID lcid, DWORD flags, const SYSTEMTIME& t, const char* format = nullptr) {
    char out[128] = {};
    const int n = GetDateFormatA(lcid, flags, &t, format, out, sizeof out);
    EXPECT_GT(n, 0);
    return out;
}

TEST(TimeFormat, LocaleFormatsAndFlags) {
    EXPECT_EQ(Time(1033, 0, kAfternoon), "2:07:09 PM");
    EXPECT_EQ(Time(1033, 0, kMidnight), "12:00:05 AM");
    EXPECT_EQ(Time(1043, 0, kAfternoon), "14:07:09");
    EXPECT_EQ(Time(1043, 0, kMidnight), "0:00:05");
    EXPECT_EQ(Time(1031, 0, kMidnight), "00:00:05");
    EXPECT_EQ(Time(1033, TIME_NOSECONDS, kAfternoon), "2:07 PM");
    EXPECT_EQ(Time(1033, TIME_NOMINUTESORSECONDS, kAfternoon), "2 PM");
    EXPECT_EQ(Time(1033, TIME_NOTIMEMARKER, kAfternoon), "2:07:09");
    EXPECT_EQ(Time(1033, TIME_FORCE24HOURFORMAT | TIME_NOTIMEMARKER, kAfternoon), "14:07:09");
    // A marker in front loses the separator after it.
    EXPECT_EQ(Time(1033, TIME_NOTIMEMARKER, kAfternoon, "tt h:mm"), "2:07");
}

TEST(TimeFormat, Pictures) {
    EXPECT_EQ(Time(1033, 0, kAfternoon, "hh'h'mm t"), "02h07 P");
    EXPECT_EQ(Time(1033, 0, kAfternoon, "h 'o''clock'"), "2 o'clock");
    // Date letters are plain text in a time picture.
    EXPECT_EQ(Time(1033, 0, kAfternoon, "HH:mm dy"), "14:07 dy");
}

TEST(DateFormat, LocaleFormats) {
    EXPECT_EQ(Date(1033, 0, kAfternoon), "3/5/2024");
    EXPECT_EQ(Date(1033, DATE_LONGDATE, kAfternoon), "Tuesday, March 5, 2024");
    EXPECT_EQ(Date(1043, DATE_SHORTDATE, kAfternoon), "5-3-2024");
    EXPECT_EQ(Date(1043, DATE_LONGDATE, kAfternoon), "dinsdag 5 maart 2024");
    EXPECT_EQ(Date(1031, DATE_LONGDATE, kAfternoon), "Dienstag, 5. M\xE4rz 2024");
}

TEST(DateFormat, PicturesAndMonthForms) {
    EXPECT_EQ(Date(1033, 0, kAfternoon, "yyyy'-'MM'-'dd ddd"), "2024-03-05 Tue");
    EXPECT_EQ(Date(1033, 0, kAfternoon, "d/M/yy y"), "5/3/24 24");
    EXPECT_EQ(Date(1033, 0, kAfternoon, "MMM dddd"), "Mar Tuesday");
    // Russian months take their genitive form next to a day number; text comes in 1251.
    EXPECT_EQ(AnsiToWide(Date(1049, 0, kAfternoon, "d MMMM"), 1251), u"5 марта");
    EXPECT_EQ(AnsiToWide(Date(1049, 0, kAfternoon, "MMMM yyyy"), 1251), u"март 2024");
}

TEST(DateFormat, InvalidInput) {
    char out[32];
    SYSTEMTIME t = kAfternoon;
    t.wMonth = 13;
    SetLastError(0);
    EXPECT_EQ(GetDateFormatA(1033, 0, &t, nullptr, out, sizeof out), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    t = kAfternoon;
    t.wMonth = 2;
    t.wDay = 30;
    EXPECT_EQ(GetDateFormatA(1033, 0, &t, nullptr, out, sizeof out), 0);
    t = kAfternoon;
    t.wHour = 24;
    EXPECT_EQ(GetTimeFormatA(1033, 0, &t, nullptr, out, sizeof out), 0);
    SetLastError(0);
    EXPECT_EQ(GetDateFormatA(1033, DATE_SHORTDATE, &kAfternoon, "d", out, sizeof out), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_FLAGS);
    // Size query counts the terminator; a short buffer fails.
    EXPECT_EQ(GetDateFormatA(1033, 0, &kAfternoon, nullptr, nullptr, 0), 9);
    SetLastError(0);
    EXPECT_EQ(GetDateFormatA(1033, 0, &kAfternoon, nullptr, out, 8), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

TEST(LocalTime, MatchesTheClock) {
    const std::time_t before = std::time(nullptr);
    SYSTEMTIME now{};
    GetLocalTime(&now);
    std::tm local{};
    localtime_r(&before, &local);
    EXPECT_EQ(now.wYear, local.tm_year + 1900);
    EXPECT_EQ(now.wDayOfWeek, local.tm_wday);
    EXPECT_LT(now.wMilliseconds, 1000);
    char out[64];
    EXPECT_GT(GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, out, sizeof out), 0);
}

} // namespace
