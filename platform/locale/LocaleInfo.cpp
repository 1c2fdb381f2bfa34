// Locale information values (GetLocaleInfoA): code pages and names from our table, picture
// formats from the table or derived from ICU's patterns for the locale.

#include "platform/locale/LocaleData.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unicode/dtfmtsym.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/unistr.h>

namespace {

constexpr LANGID kInvariant = LOCALE_INVARIANT;

std::u16string ToU16(const icu::UnicodeString& s) {
    return std::u16string(reinterpret_cast<const char16_t*>(s.getBuffer()), size_t(s.length()));
}

std::u16string FromUtf8(const char* s) {
    return ToU16(icu::UnicodeString::fromUTF8(s));
}

std::u16string FromAscii(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

bool IsAsciiLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

std::u16string Repeat(char16_t c, int count) {
    return std::u16string(size_t(count), c);
}

// The platform's token for one run of an ICU pattern letter; empty drops the field.
std::u16string PictureToken(char16_t letter, int count, bool shortDate) {
    switch (letter) {
    case u'y':
    case u'u':
    case u'Y':
        // Short dates get four-digit years, as the platform's own short formats have.
        return count == 2 && !shortDate ? u"yy" : u"yyyy";
    case u'M':
    case u'L':
        return count >= 5 ? u"MMM" : Repeat(u'M', count);
    case u'd':
        return Repeat(u'd', std::min(count, 2));
    case u'c':
    case u'e':
        if (count <= 2)
            return {};
        [[fallthrough]];
    case u'E':
        return count == 4 ? u"dddd" : u"ddd";
    case u'G':
        return u"gg";
    case u'H':
    case u'h':
    case u'm':
    case u's':
        return Repeat(letter, std::min(count, 2));
    case u'k':
        return Repeat(u'H', std::min(count, 2));
    case u'K':
        return Repeat(u'h', std::min(count, 2));
    case u'a':
    case u'b':
    case u'B':
        return u"tt";
    default:
        return {};
    }
}

std::u16string IcuPattern(const ResolvedLocale& locale, bool time, icu::DateFormat::EStyle style) {
    const icu::Locale icuLocale(locale.icuName.c_str());
    std::unique_ptr<icu::DateFormat> format(
        time ? icu::DateFormat::createTimeInstance(style, icuLocale)
             : icu::DateFormat::createDateInstance(style, icuLocale));
    auto* simple = dynamic_cast<icu::SimpleDateFormat*>(format.get());
    if (!simple)
        return {};
    icu::UnicodeString pattern;
    simple->toPattern(pattern);
    return ToU16(pattern);
}

std::u16string Picture(const ResolvedLocale& locale, DWORD type) {
    const LocaleRecord* r = locale.record;
    switch (type) {
    case LOCALE_STIMEFORMAT:
        if (r && r->timeFormat)
            return FromUtf8(r->timeFormat);
        return PictureFromIcuPattern(IcuPattern(locale, true, icu::DateFormat::kMedium), false);
    case LOCALE_SSHORTDATE:
        if (r && r->shortDate)
            return FromUtf8(r->shortDate);
        return PictureFromIcuPattern(IcuPattern(locale, false, icu::DateFormat::kShort), true);
    default:
        if (r && r->longDate)
            return FromUtf8(r->longDate);
        return PictureFromIcuPattern(IcuPattern(locale, false, icu::DateFormat::kFull), false);
    }
}

// The text between the first two fields of a picture ("-" in "d-M-yyyy").
std::u16string Separator(std::u16string_view picture, std::u16string_view tokens,
                         std::u16string_view fallback) {
    size_t i = 0;
    while (i < picture.size() && tokens.find(picture[i]) != std::u16string_view::npos)
        ++i;
    std::u16string separator;
    while (i < picture.size() && tokens.find(picture[i]) == std::u16string_view::npos &&
           picture[i] != u'\'')
        separator += picture[i++];
    return separator.empty() ? std::u16string(fallback) : separator;
}

std::u16string DayPeriod(const ResolvedLocale& locale, int index) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::DateFormatSymbols symbols(icu::Locale(locale.icuName.c_str()), "gregorian", status);
    if (U_FAILURE(status))
        return index == 0 ? u"AM" : u"PM";
    int32_t count = 0;
    const icu::UnicodeString* periods = symbols.getAmPmStrings(count);
    return index < count ? ToU16(periods[index]) : std::u16string();
}

} // namespace

std::u16string PictureFromIcuPattern(std::u16string_view pattern, bool shortDate) {
    std::u16string out;
    std::u16string literal;
    auto flushLiteral = [&] {
        if (literal.empty())
            return;
        bool quote = false;
        for (char16_t c : literal)
            quote = quote || IsAsciiLetter(c) || c == u'\'';
        if (quote) {
            out += u'\'';
            for (char16_t c : literal) {
                out += c;
                if (c == u'\'')
                    out += c;
            }
            out += u'\'';
        } else {
            out += literal;
        }
        literal.clear();
    };
    size_t i = 0;
    while (i < pattern.size()) {
        const char16_t c = pattern[i];
        if (c == u'\'') {
            if (i + 1 < pattern.size() && pattern[i + 1] == u'\'') {
                literal += u'\'';
                i += 2;
                continue;
            }
            for (++i; i < pattern.size(); ++i) {
                if (pattern[i] != u'\'') {
                    literal += pattern[i];
                } else if (i + 1 < pattern.size() && pattern[i + 1] == u'\'') {
                    literal += u'\'';
                    ++i;
                } else {
                    ++i;
                    break;
                }
            }
            continue;
        }
        if (IsAsciiLetter(c)) {
            size_t j = i;
            while (j < pattern.size() && pattern[j] == c)
                ++j;
            const std::u16string token = PictureToken(c, int(j - i), shortDate);
            if (!token.empty()) {
                flushLiteral();
                out += token;
            }
            i = j;
            continue;
        }
        // Recent locale data puts narrow no-break spaces before the day period; the platform's
        // formats use plain spaces, which every code page has.
        literal += (c == u'\u202F') ? u' ' : c;
        ++i;
    }
    flushLiteral();
    const size_t first = out.find_first_not_of(u' ');
    if (first == std::u16string::npos)
        return {};
    return out.substr(first, out.find_last_not_of(u' ') - first + 1);
}

std::optional<std::u16string> LocaleValue(const ResolvedLocale& locale, DWORD type) {
    const LANGID id = LANGIDFROMLCID(locale.lcid);
    switch (type) {
    case LOCALE_ILANGUAGE: {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "%04x", unsigned(id));
        return FromAscii(buffer);
    }
    case LOCALE_SENGLANGUAGE: {
        if (id == kInvariant)
            return u"Invariant Language";
        icu::UnicodeString name;
        icu::Locale(locale.icuName.c_str()).getDisplayLanguage(icu::Locale::getEnglish(), name);
        return ToU16(name);
    }
    case LOCALE_SABBREVLANGNAME: {
        if (locale.record)
            return FromAscii(locale.record->abbrevName);
        std::string iso3 = icu::Locale(locale.icuName.c_str()).getISO3Language();
        for (char& c : iso3)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        return FromAscii(iso3);
    }
    case LOCALE_IDEFAULTCODEPAGE:
        return FromAscii(std::to_string(locale.oemCodePage));
    case LOCALE_IDEFAULTANSICODEPAGE:
        return FromAscii(std::to_string(locale.ansiCodePage));
    case LOCALE_STIMEFORMAT:
    case LOCALE_SSHORTDATE:
    case LOCALE_SLONGDATE:
        return Picture(locale, type);
    case LOCALE_SDATE:
        return Separator(Picture(locale, LOCALE_SSHORTDATE), u"dMyg", u"/");
    case LOCALE_STIME:
        return Separator(Picture(locale, LOCALE_STIMEFORMAT), u"hHmst", u":");
    case LOCALE_S1159:
        return DayPeriod(locale, 0);
    case LOCALE_S2359:
        return DayPeriod(locale, 1);
    default:
        return std::nullopt;
    }
}

int DeliverText(const std::string& text, char* out, int outLen) {
    const int needed = int(text.size()) + 1;
    if (outLen == 0)
        return needed;
    if (outLen < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(out, text.c_str(), size_t(needed));
    return needed;
}

int GetLocaleInfoA(LCID locale, DWORD type, char* data, int dataLen) {
    if (dataLen < 0 || (dataLen > 0 && !data)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const auto resolved = ResolveLocale(locale);
    if (!resolved) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const DWORD kind = type & ~(LOCALE_NOUSEROVERRIDE | LOCALE_USE_CP_ACP | LOCALE_RETURN_NUMBER);
    if (type & LOCALE_RETURN_NUMBER) {
        DWORD number = 0;
        switch (kind) {
        case LOCALE_ILANGUAGE:
            number = LANGIDFROMLCID(resolved->lcid);
            break;
        case LOCALE_IDEFAULTCODEPAGE:
            number = resolved->oemCodePage;
            break;
        case LOCALE_IDEFAULTANSICODEPAGE:
            number = resolved->ansiCodePage;
            break;
        default:
            SetLastError(ERROR_INVALID_FLAGS);
            return 0;
        }
        constexpr int size = int(sizeof number);
        if (dataLen == 0)
            return size;
        if (dataLen < size) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        std::memcpy(data, &number, sizeof number);
        return size;
    }
    const auto value = LocaleValue(*resolved, kind);
    if (!value) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    const UINT codePage = (type & LOCALE_USE_CP_ACP) ? GetACP() : TextCodePage(*resolved);
    return DeliverText(WideToAnsi(*value, codePage), data, dataLen);
}

std::string GetLocaleString(LCID locale, DWORD type) {
    const int size = GetLocaleInfoA(locale, type & ~LOCALE_RETURN_NUMBER, nullptr, 0);
    if (size <= 0)
        return {};
    std::string text(size_t(size), '\0');
    GetLocaleInfoA(locale, type & ~LOCALE_RETURN_NUMBER, text.data(), size);
    text.resize(size_t(size) - 1);
    return text;
}
