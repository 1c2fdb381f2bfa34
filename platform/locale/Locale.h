#pragma once
// Locale and code-page services: language identifiers, ANSI code pages, 8-bit <-> UTF-16
// conversion and locale-aware comparison, with the platform's calling conventions and
// results. Backed by ICU; the tables of identifiers and code pages are ours.

#include "platform/WinTypes.h"

#include <string>

// --- identifiers -------------------------------------------------------------------
inline constexpr LCID LOCALE_NEUTRAL = 0x0000;
inline constexpr LCID LOCALE_INVARIANT = 0x007F;
inline constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
inline constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;

constexpr LANGID MAKELANGID(WORD primary, WORD sub) {
    return LANGID((sub << 10) | primary);
}
constexpr WORD PRIMARYLANGID(LANGID id) {
    return WORD(id & 0x3FF);
}
constexpr WORD SUBLANGID(LANGID id) {
    return WORD(id >> 10);
}
constexpr LCID MAKELCID(LANGID lang, WORD sort) {
    return (LCID(sort) << 16) | lang;
}
constexpr LANGID LANGIDFROMLCID(LCID lcid) {
    return LANGID(lcid & 0xFFFF);
}

// The system and user default locales come from the process locale (LC_ALL, else LANG; an
// empty value counts as unset), read once; "C", "POSIX" and an unset or unknown locale count
// as English (United States), 1033.
LCID GetSystemDefaultLCID();
LCID GetUserDefaultLCID();
LANGID GetSystemDefaultLangID();
LANGID GetUserDefaultLangID();

// --- code pages ----------------------------------------------------------------------
inline constexpr UINT CP_ACP = 0;
inline constexpr UINT CP_OEMCP = 1;
inline constexpr UINT CP_MACCP = 2;
inline constexpr UINT CP_THREAD_ACP = 3;
inline constexpr UINT CP_SYMBOL = 42;
inline constexpr UINT CP_UTF8 = 65001;

// ANSI code page of the system locale.
UINT GetACP();
UINT GetOEMCP();

inline constexpr UINT CP_UTF7 = 65000;

inline constexpr DWORD MB_PRECOMPOSED = 0x1;
inline constexpr DWORD MB_COMPOSITE = 0x2;
inline constexpr DWORD MB_USEGLYPHCHARS = 0x4;
inline constexpr DWORD MB_ERR_INVALID_CHARS = 0x8;
inline constexpr DWORD WC_DISCARDNS = 0x10;
inline constexpr DWORD WC_SEPCHARS = 0x20;
inline constexpr DWORD WC_DEFAULTCHAR = 0x40;
inline constexpr DWORD WC_ERR_INVALID_CHARS = 0x80;
inline constexpr DWORD WC_COMPOSITECHECK = 0x200;
inline constexpr DWORD WC_NO_BEST_FIT_CHARS = 0x400;

// MultiByteToWideChar / WideCharToMultiByte with the platform's contract: a length of -1
// means zero-terminated (the terminator is converted and counted); an output size of 0 asks
// for the needed size; the result is the number of units written, 0 on failure with
// GetLastError set. With flags 0, unmappable characters become the code page's default
// character and invalid bytes never crash.
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* src, int srcLen, WCHAR* dst,
                        int dstLen);
int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* src, int srcLen, char* dst,
                        int dstLen, const char* defaultChar, BOOL* usedDefaultChar);

// Convenience forms over whole strings (embedded zeros included), flags 0, used by the rest
// of the program. An unknown code page gives an empty result with GetLastError set.
// Upper- or lower-cases length units of text in place by the system locale's rules, one
// unit for one; returns length.
DWORD CharUpperBuffW(WCHAR* text, DWORD length);
DWORD CharLowerBuffW(WCHAR* text, DWORD length);

std::u16string AnsiToWide(const std::string& text, UINT codePage = CP_ACP);
// AnsiToWide for text that must not be lost: false when the code page has no converter here and
// the text is not plain ASCII (which reads the same in every code page).
bool AnsiToWideChecked(const std::string& text, UINT codePage, std::u16string& wide);
std::string WideToAnsi(const std::u16string& text, UINT codePage = CP_ACP);

// --- locale information --------------------------------------------------------------
inline constexpr DWORD LOCALE_NOUSEROVERRIDE = 0x80000000;
inline constexpr DWORD LOCALE_USE_CP_ACP = 0x40000000;
inline constexpr DWORD LOCALE_RETURN_NUMBER = 0x20000000;
inline constexpr DWORD LOCALE_ILANGUAGE = 0x0001;
inline constexpr DWORD LOCALE_SENGLANGUAGE = 0x1001;
inline constexpr DWORD LOCALE_SABBREVLANGNAME = 0x0003;
inline constexpr DWORD LOCALE_IDEFAULTCODEPAGE = 0x000B;
inline constexpr DWORD LOCALE_IDEFAULTANSICODEPAGE = 0x1004;
inline constexpr DWORD LOCALE_SDATE = 0x001D;
inline constexpr DWORD LOCALE_STIME = 0x001E;
inline constexpr DWORD LOCALE_SSHORTDATE = 0x001F;
inline constexpr DWORD LOCALE_SLONGDATE = 0x0020;
inline constexpr DWORD LOCALE_STIMEFORMAT = 0x1003;
inline constexpr DWORD LOCALE_S1159 = 0x0028;
inline constexpr DWORD LOCALE_S2359 = 0x0029;

// GetLocaleInfoA: the value as text (or a number with LOCALE_RETURN_NUMBER) written to
// data; with dataLen 0 returns the size needed including the terminator; 0 on failure.
int GetLocaleInfoA(LCID locale, DWORD type, char* data, int dataLen);
std::string GetLocaleString(LCID locale, DWORD type); // empty when unknown

// --- dates and times -----------------------------------------------------------------
struct SYSTEMTIME {
    WORD wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
};
void GetLocalTime(SYSTEMTIME* time);

inline constexpr DWORD DATE_SHORTDATE = 0x1;
inline constexpr DWORD DATE_LONGDATE = 0x2;
inline constexpr DWORD TIME_NOMINUTESORSECONDS = 0x1;
inline constexpr DWORD TIME_NOSECONDS = 0x2;
inline constexpr DWORD TIME_NOTIMEMARKER = 0x4;
inline constexpr DWORD TIME_FORCE24HOURFORMAT = 0x8;

// GetTimeFormatA / GetDateFormatA: format the given time (or now when time is null) with the
// picture format (or the locale's own long time / short date format when format is null).
int GetTimeFormatA(LCID locale, DWORD flags, const SYSTEMTIME* time, const char* format, char* out,
                   int outLen);
int GetDateFormatA(LCID locale, DWORD flags, const SYSTEMTIME* time, const char* format, char* out,
                   int outLen);

// --- comparison ----------------------------------------------------------------------
inline constexpr DWORD NORM_IGNORECASE = 0x1;
inline constexpr DWORD NORM_IGNORENONSPACE = 0x2;
inline constexpr DWORD NORM_IGNORESYMBOLS = 0x4;
inline constexpr DWORD LINGUISTIC_IGNORECASE = 0x10;
inline constexpr DWORD LINGUISTIC_IGNOREDIACRITIC = 0x20;
inline constexpr DWORD NORM_IGNOREKANATYPE = 0x10000;
inline constexpr DWORD NORM_IGNOREWIDTH = 0x20000;
inline constexpr DWORD SORT_STRINGSORT = 0x1000;
inline constexpr int CSTR_LESS_THAN = 1;
inline constexpr int CSTR_EQUAL = 2;
inline constexpr int CSTR_GREATER_THAN = 3;

// CompareStringW / CompareStringA: 1, 2 or 3; 0 on error. A length of -1 means
// zero-terminated. The 8-bit form converts through the locale's ANSI code page.
int CompareStringW(LCID locale, DWORD flags, const WCHAR* s1, int len1, const WCHAR* s2, int len2);
int CompareStringA(LCID locale, DWORD flags, const char* s1, int len1, const char* s2, int len2);

// --- version -------------------------------------------------------------------------
inline constexpr DWORD VER_PLATFORM_WIN32s = 0;
inline constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
inline constexpr DWORD VER_PLATFORM_WIN32_NT = 2;
struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    char szCSDVersion[128];
};
BOOL GetVersionExA(OSVERSIONINFOA* info);

// --- font character sets ---------------------------------------------------------------
inline constexpr BYTE ANSI_CHARSET = 0;
inline constexpr BYTE DEFAULT_CHARSET = 1;
inline constexpr BYTE SYMBOL_CHARSET = 2;
inline constexpr BYTE MAC_CHARSET = 77;
inline constexpr BYTE SHIFTJIS_CHARSET = 128;
inline constexpr BYTE HANGUL_CHARSET = 129;
inline constexpr BYTE JOHAB_CHARSET = 130;
inline constexpr BYTE GB2312_CHARSET = 134;
inline constexpr BYTE CHINESEBIG5_CHARSET = 136;
inline constexpr BYTE GREEK_CHARSET = 161;
inline constexpr BYTE TURKISH_CHARSET = 162;
inline constexpr BYTE VIETNAMESE_CHARSET = 163;
inline constexpr BYTE HEBREW_CHARSET = 177;
inline constexpr BYTE ARABIC_CHARSET = 178;
inline constexpr BYTE BALTIC_CHARSET = 186;
inline constexpr BYTE RUSSIAN_CHARSET = 204;
inline constexpr BYTE THAI_CHARSET = 222;
inline constexpr BYTE EASTEUROPE_CHARSET = 238;
inline constexpr BYTE OEM_CHARSET = 255;

struct FONTSIGNATURE {
    DWORD fsUsb[4];
    DWORD fsCsb[2];
};
struct CHARSETINFO {
    UINT ciCharset;
    UINT ciACP;
    FONTSIGNATURE fs;
};
inline constexpr DWORD TCI_SRCCHARSET = 1;
inline constexpr DWORD TCI_SRCCODEPAGE = 2;
inline constexpr DWORD TCI_SRCFONTSIG = 3;
// The key is passed by value (charset or code page) as the platform's pointer-sized source.
BOOL TranslateCharsetInfo(std::uintptr_t source, CHARSETINFO* info, DWORD flags);
