// Case mapping of UTF-16 text by a locale's rules, one unit for one (so positions in the
// text stay where they were).

#include "platform/locale/Locale.h"
#include "platform/locale/LocaleData.h"

#include <unicode/uchar.h>

namespace {

// A unit whose case partner lies outside the basic plane stays as it is.
WCHAR Narrow(UChar32 mapped, WCHAR original) {
    return mapped <= 0xFFFF ? WCHAR(mapped) : original;
}

} // namespace

DWORD MapCaseForLanguage(WCHAR* text, DWORD length, bool upper, LANGID language) {
    if (!text) {
        return 0;
    }
    // Turkish and Azeri pair the dotted and the dotless i differently from other languages.
    const WORD primary = PRIMARYLANGID(language);
    const bool turkic = primary == 0x1F || primary == 0x2C;
    for (DWORD i = 0; i < length; ++i) {
        const WCHAR c = text[i];
        if (turkic && c == (upper ? u'i' : u'I')) {
            text[i] = upper ? WCHAR(0x0130) : WCHAR(0x0131);
        } else {
            text[i] = Narrow(upper ? u_toupper(c) : u_tolower(c), c);
        }
    }
    return length;
}

DWORD CharUpperBuffW(WCHAR* text, DWORD length) {
    return MapCaseForLanguage(text, length, true, GetSystemDefaultLangID());
}

DWORD CharLowerBuffW(WCHAR* text, DWORD length) {
    return MapCaseForLanguage(text, length, false, GetSystemDefaultLangID());
}
