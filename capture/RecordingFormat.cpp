// The parts of the recording format that readers and the writer share: the time stamps and
// the file names.

#include "capture/Recording.h"

#include <chrono>
#include <cstdio>
#include <sys/stat.h>

namespace capture {

namespace {

constexpr std::int64_t MicrosPerSecond = 1'000'000;
constexpr std::int64_t SecondsPerDay = 86'400;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Days since 1970-01-01 of a proleptic Gregorian date, and back (the usual era arithmetic).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = FloorDiv(y, 400);
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = FloorDiv(z, 146097);
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

unsigned DaysInMonth(std::int64_t y, unsigned m) {
    static constexpr unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : days[m - 1];
}

void PutDigits(char* out, std::int64_t value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
}

// Reads width decimal digits; false if any is not a digit.
bool GetDigits(std::string_view text, std::size_t at, int width, std::int64_t& value) {
    value = 0;
    for (int i = 0; i < width; ++i) {
        const char c = text[at + static_cast<std::size_t>(i)];
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

std::string Numbered(const std::string& name, int number, const char* extension) {
    if (number <= 0)
        return name + extension;
    char digits[16];
    std::snprintf(digits, sizeof digits, ".%04d", number);
    return name + digits + extension;
}

} // namespace

std::string FormatUtc(std::int64_t utcMicros) {
    const std::int64_t seconds = FloorDiv(utcMicros, MicrosPerSecond);
    // Not utcMicros - seconds * MicrosPerSecond: near INT64_MIN that product overflows.
    const std::int64_t micros =
        (utcMicros % MicrosPerSecond + MicrosPerSecond) % MicrosPerSecond;
    const std::int64_t days = FloorDiv(seconds, SecondsPerDay);
    const std::int64_t ofDay = seconds - days * SecondsPerDay;
    std::int64_t year = 0;
    unsigned month = 0, day = 0;
    CivilFromDays(days, year, month, day);
    if (year < 0 || year > 9999) { // never from a real clock; kept readable all the same
        char text[64];
        std::snprintf(text, sizeof text, "%lld-%02u-%02uT%02lld:%02lld:%02lld.%06lldZ",
                      static_cast<long long>(year), month, day,
                      static_cast<long long>(ofDay / 3600), static_cast<long long>(ofDay / 60 % 60),
                      static_cast<long long>(ofDay % 60), static_cast<long long>(micros));
        return text;
    }
    // Written digit by digit: the recorder formats one of these per read event.
    std::string text = "0000-00-00T00:00:00.000000Z";
    PutDigits(&text[0], year, 4);
    PutDigits(&text[5], month, 2);
    PutDigits(&text[8], day, 2);
    PutDigits(&text[11], ofDay / 3600, 2);
    PutDigits(&text[14], ofDay / 60 % 60, 2);
    PutDigits(&text[17], ofDay % 60, 2);
    PutDigits(&text[20], micros, 6);
    return text;
}

bool ParseUtc(std::string_view text, std::int64_t& utcMicros) {
    static constexpr char layout[] = "0000-00-00T00:00:00.000000Z";
    if (text.size() != sizeof layout - 1)
        return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (layout[i] != '0' && text[i] != layout[i])
            return false;
    std::int64_t year, month, day, hour, minute, second, micros;
    if (!GetDigits(text, 0, 4, year) || !GetDigits(text, 5, 2, month) ||
        !GetDigits(text, 8, 2, day) || !GetDigits(text, 11, 2, hour) ||
        !GetDigits(text, 14, 2, minute) || !GetDigits(text, 17, 2, second) ||
        !GetDigits(text, 20, 6, micros))
        return false;
    if (month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, static_cast<unsigned>(month)) || hour > 23 || minute > 59 ||
        second > 59)
        return false;
    const std::int64_t days =
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    utcMicros = ((days * 24 + hour) * 60 + minute) * 60 * MicrosPerSecond +
                second * MicrosPerSecond + micros;
    return true;
}

std::int64_t UtcMicrosNow() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string BinName(const std::string& name, int number) {
    return Numbered(name, number, ".bin");
}

std::string CsvName(const std::string& name, int number) {
    return Numbered(name, number, ".csv");
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

} // namespace capture
