// Local time and the platform's picture formats for times ("h:mm:ss tt") and dates
// ("dddd, MMMM d, yyyy"), with day and month names from ICU.

#include "platform/locale/LocaleData.h"

#include <chrono>
#include <ctime>
#include <string>
#include <unicode/dtfmtsym.h>
#include <unicode/locid.h>
#include <vector>

namespace {

constexpr DWORD kTimeFlags =
    TIME_NOMINUTESORSECONDS | TIME_NOSECONDS | TIME_NOTIMEMARKER | TIME_FORCE24HOURFORMAT;
constexpr DWORD kLocaleFlags = LOCALE_NOUSEROVERRIDE | LOCALE_USE_CP_ACP;

struct Segment {
    bool field = false;
    char16_t letter = 0;
    int count = 0;
    std::u16string text; // literal text
};

// Splits a picture into fields (runs of one of `letters`) and literal text ('...' quotes
// text, '' inside quotes is one apostrophe; an unclosed quote runs to the end).
std::vector<Segment> Parse(std::u16string_view picture, std::u16string_view letters) {
    std::vector<Segment> out;
    auto literal = [&]() -> std::u16string& {
        if (out.empty() || out.back().field)
            out.push_back(Segment{});
        return out.back().text;
    };
    size_t i = 0;
    while (i < picture.size()) {
        const char16_t c = picture[i];
        if (c == u'\'') {
            for (++i; i < picture.size(); ++i) {
                if (picture[i] != u'\'') {
                    literal() += picture[i];
                } else if (i + 1 < picture.size() && picture[i + 1] == u'\'') {
                    literal() += u'\'';
                    ++i;
                } else {
                    ++i;
                    break;
                }
            }
        } else if (letters.find(c) != std::u16string_view::npos) {
            size_t j = i;
            while (j < picture.size() && picture[j] == c)
                ++j;
            out.push_back(Segment{true, c, int(j - i), {}});
            i = j;
        } else {
            literal() += c;
            ++i;
        }
    }
    return out;
}

// Removes a field together with the separator that led up to it ("h:mm:ss tt" without
// seconds is "h:mm tt"), or the one after it when it opens the picture.
void Drop(std::vector<Segment>& segments, char16_t letter) {
    for (size_t i = 0; i < segments.size();) {
        if (!segments[i].field || segments[i].letter != letter) {
            ++i;
            continue;
        }
        if (i > 0 && !segments[i - 1].field) {
            segments.erase(segments.begin() + long(i) - 1, segments.begin() + long(i) + 1);
            --i;
        } else if (i + 1 < segments.size() && !segments[i + 1].field) {
            segments.erase(segments.begin() + long(i), segments.begin() + long(i) + 2);
        } else {
            segments.erase(segments.begin() + long(i));
        }
    }
}

std::u16string Number(int value, int minDigits) {
    std::string digits = std::to_string(value);
    if (int(digits.size()) < minDigits)
        digits.insert(0, size_t(minDigits) - digits.size(), '0');
    return std::u16string(digits.begin(), digits.end());
}

std::u16string ToU16(const icu::UnicodeString& s) {
    return std::u16string(reinterpret_cast<const char16_t*>(s.getBuffer()), size_t(s.length()));
}

bool ValidTime(const SYSTEMTIME& t) {
    return t.wHour < 24 && t.wMinute < 60 && t.wSecond < 60 && t.wMilliseconds < 1000;
}

bool ValidDate(const SYSTEMTIME& t) {
    if (t.wYear < 1601 || t.wYear > 30827)
        return false;
    const std::chrono::year_month_day date{std::chrono::year(t.wYear), std::chrono::month(t.wMonth),
                                           std::chrono::day(t.wDay)};
    return date.ok();
}

int Fail(DWORD error) {
    SetLastError(error);
    return 0;
}

std::u16string FormatTime(const ResolvedLocale& locale, DWORD flags, const SYSTEMTIME& t,
                          std::u16string_view picture) {
    std::vector<Segment> segments = Parse(picture, u"hHmst");
    if (flags & TIME_NOMINUTESORSECONDS)
        Drop(segments, u'm');
    if (flags & (TIME_NOMINUTESORSECONDS | TIME_NOSECONDS))
        Drop(segments, u's');
    if (flags & TIME_NOTIMEMARKER)
        Drop(segments, u't');
    const std::u16string marker =
        LocaleValue(locale, t.wHour < 12 ? LOCALE_S1159 : LOCALE_S2359).value_or(std::u16string());
    std::u16string out;
    for (const Segment& s : segments) {
        if (!s.field) {
            out += s.text;
            continue;
        }
        const int width = std::min(s.count, 2);
        switch (s.letter) {
        case u'h':
            if (!(flags & TIME_FORCE24HOURFORMAT)) {
                out += Number(t.wHour % 12 == 0 ? 12 : t.wHour % 12, width);
                break;
            }
            [[fallthrough]];
        case u'H':
            out += Number(t.wHour, width);
            break;
        case u'm':
            out += Number(t.wMinute, width);
            break;
        case u's':
            out += Number(t.wSecond, width);
            break;
        default: // t: the first character of the marker, tt: all of it
            out += s.count == 1 ? marker.substr(0, 1) : marker;
            break;
        }
    }
    return out;
}

std::u16string FormatDate(const ResolvedLocale& locale, const SYSTEMTIME& t,
                          std::u16string_view picture) {
    const std::vector<Segment> segments = Parse(picture, u"dMyg");
    UErrorCode status = U_ZERO_ERROR;
    const icu::DateFormatSymbols symbols(icu::Locale(locale.icuName.c_str()), "gregorian", status);
    const bool haveNames = U_SUCCESS(status);
    // Month names take their form-of-a-date (genitive) spelling when a day number is shown.
    bool dayNumber = false;
    for (const Segment& s : segments)
        dayNumber = dayNumber || (s.field && s.letter == u'd' && s.count <= 2);
    const auto context =
        dayNumber ? icu::DateFormatSymbols::FORMAT : icu::DateFormatSymbols::STANDALONE;
    const unsigned weekday =
        std::chrono::weekday(std::chrono::sys_days(std::chrono::year_month_day{
                                 std::chrono::year(t.wYear), std::chrono::month(t.wMonth),
                                 std::chrono::day(t.wDay)}))
            .c_encoding(); // 0 = Sunday

    auto name = [&](bool month, bool wide) -> std::u16string {
        if (!haveNames)
            return {};
        int32_t count = 0;
        const auto width =
            wide ? icu::DateFormatSymbols::WIDE : icu::DateFormatSymbols::ABBREVIATED;
        if (month) {
            const icu::UnicodeString* names = symbols.getMonths(count, context, width);
            return t.wMonth - 1 < count ? ToU16(names[t.wMonth - 1]) : std::u16string();
        }
        // ICU numbers weekdays from 1 (Sunday).
        const icu::UnicodeString* names =
            symbols.getWeekdays(count, icu::DateFormatSymbols::FORMAT, width);
        return int32_t(weekday + 1) < count ? ToU16(names[weekday + 1]) : std::u16string();
    };

    std::u16string out;
    for (const Segment& s : segments) {
        if (!s.field) {
            out += s.text;
            continue;
        }
        switch (s.letter) {
        case u'd':
            out += s.count <= 2 ? Number(t.wDay, s.count) : name(false, s.count >= 4);
            break;
        case u'M':
            out += s.count <= 2 ? Number(t.wMonth, s.count) : name(true, s.count >= 4);
            break;
        case u'y':
            out += s.count <= 2 ? Number(t.wYear % 100, s.count) : Number(t.wYear, 1);
            break;
        default: { // g, gg: the era
            int32_t count = 0;
            const icu::UnicodeString* eras = haveNames ? symbols.getEras(count) : nullptr;
            if (eras && count > 1)
                out += ToU16(eras[1]);
            break;
        }
        }
    }
    return out;
}

std::optional<ResolvedLocale> CommonChecks(LCID locale, DWORD flags, DWORD allowed, char* out,
                                           int outLen, int& error) {
    if (outLen < 0 || (outLen > 0 && !out)) {
        error = Fail(ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    if (flags & ~allowed) {
        error = Fail(ERROR_INVALID_FLAGS);
        return std::nullopt;
    }
    auto resolved = ResolveLocale(locale);
    if (!resolved)
        error = Fail(ERROR_INVALID_PARAMETER);
    return resolved;
}

} // namespace

void GetLocalTime(SYSTEMTIME* time) {
    if (!time)
        return;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm local{};
    localtime_r(&now.tv_sec, &local);
    time->wYear = WORD(local.tm_year + 1900);
    time->wMonth = WORD(local.tm_mon + 1);
    time->wDayOfWeek = WORD(local.tm_wday);
    time->wDay = WORD(local.tm_mday);
    time->wHour = WORD(local.tm_hour);
    time->wMinute = WORD(local.tm_min);
    time->wSecond = WORD(std::min(local.tm_sec, 59)); // a leap second shows as :59
    time->wMilliseconds = WORD(now.tv_nsec / 1000000);
}

int GetTimeFormatA(LCID locale, DWORD flags, const SYSTEMTIME* time, const char* format, char* out,
                   int outLen) {
    int error = 0;
    const auto resolved =
        CommonChecks(locale, flags, kTimeFlags | kLocaleFlags, out, outLen, error);
    if (!resolved)
        return error;
    if (format && (flags & LOCALE_NOUSEROVERRIDE))
        return Fail(ERROR_INVALID_FLAGS);
    SYSTEMTIME t{};
    if (time)
        t = *time;
    else
        GetLocalTime(&t);
    if (!ValidTime(t))
        return Fail(ERROR_INVALID_PARAMETER);
    const UINT codePage = (flags & LOCALE_USE_CP_ACP) ? GetACP() : TextCodePage(*resolved);
    const std::u16string picture =
        format ? AnsiToWide(format, codePage) : LocaleValue(*resolved, LOCALE_STIMEFORMAT).value();
    return DeliverText(WideToAnsi(FormatTime(*resolved, flags, t, picture), codePage), out, outLen);
}

int GetDateFormatA(LCID locale, DWORD flags, const SYSTEMTIME* time, const char* format, char* out,
                   int outLen) {
    int error = 0;
    const auto resolved = CommonChecks(locale, flags, DATE_SHORTDATE | DATE_LONGDATE | kLocaleFlags,
                                       out, outLen, error);
    if (!resolved)
        return error;
    const DWORD style = flags & (DATE_SHORTDATE | DATE_LONGDATE);
    if (style == (DATE_SHORTDATE | DATE_LONGDATE) ||
        (format && (style || (flags & LOCALE_NOUSEROVERRIDE))))
        return Fail(ERROR_INVALID_FLAGS);
    SYSTEMTIME t{};
    if (time)
        t = *time;
    else
        GetLocalTime(&t);
    if (!ValidDate(t))
        return Fail(ERROR_INVALID_PARAMETER);
    const UINT codePage = (flags & LOCALE_USE_CP_ACP) ? GetACP() : TextCodePage(*resolved);
    const std::u16string picture =
        format
            ? AnsiToWide(format, codePage)
            : LocaleValue(*resolved, style == DATE_LONGDATE ? LOCALE_SLONGDATE : LOCALE_SSHORTDATE)
                  .value();
    return DeliverText(WideToAnsi(FormatDate(*resolved, t, picture), codePage), out, outLen);
}
