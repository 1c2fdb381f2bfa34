// Code page and font character set of a language identifier.

#include "richedit/Langs.h"

#include <charconv>

WORD CodePageOfLanguage(TLanguage Language) {
    char digits[6] = {};
    const int n = GetLocaleInfoA(Language, LOCALE_IDEFAULTANSICODEPAGE, digits, sizeof digits);
    unsigned value = 0;
    const char* end = n > 0 ? digits + n - 1 : digits; // without the terminator
    const auto [ptr, ec] = std::from_chars(digits, end, value);
    if (n <= 1 || ec != std::errc() || ptr != end || value > 0xFFFF)
        return WORD(GetACP());
    return WORD(value);
}

bool CharsetOfLanguage(TLanguage Language, BYTE& Charset) {
    CHARSETINFO info{};
    if (!TranslateCharsetInfo(CodePageOfLanguage(Language), &info, TCI_SRCCODEPAGE))
        return false;
    Charset = BYTE(info.ciCharset);
    return true;
}
