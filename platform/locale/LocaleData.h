#pragma once
// Internal to the locale stand-in: the language table and what the other files derive
// from it. Not part of the platform contract (see Locale.h for that).

#include "platform/locale/Locale.h"

#include <optional>
#include <string>
#include <string_view>

// One language of our table. The picture formats are the platform's own (UTF-8); a null
// format means "derive it from ICU's pattern for the locale".
struct LocaleRecord {
    LANGID id;
    const char* name; // BCP 47, also the ICU locale id
    UINT ansiCodePage;
    UINT oemCodePage;
    const char* abbrevName; // LOCALE_SABBREVLANGNAME
    const char* timeFormat; // LOCALE_STIMEFORMAT
    const char* shortDate;  // LOCALE_SSHORTDATE
    const char* longDate;   // LOCALE_SLONGDATE
};

// A locale identifier after the special values are replaced and table gaps are filled in
// from ICU. `record` is null for a language found only through ICU's identifier mapping.
struct ResolvedLocale {
    LCID lcid = 0;
    std::string icuName;
    UINT ansiCodePage = 0;
    UINT oemCodePage = 0;
    const LocaleRecord* record = nullptr;
};

const LocaleRecord* FindLocaleRecord(LANGID id);
std::optional<ResolvedLocale> ResolveLocale(LCID locale);

// The process locale's name by the rule LC_ALL, else LANG (an empty value counts as unset).
std::string ProcessLocaleName();
// Maps a POSIX locale name ("nl_NL.UTF-8", "de_DE@euro", "C") to a locale identifier;
// C, POSIX, empty and unknown names give English (United States), 1033.
LCID LcidFromPosixLocale(std::string_view name);

// The code page an A-form call writes its text in: the locale's ANSI code page, or the
// system's when the locale has none (Unicode-only languages).
UINT TextCodePage(const ResolvedLocale& locale);

// LOCALE_* text values as UTF-16; nullopt for a type we do not know.
std::optional<std::u16string> LocaleValue(const ResolvedLocale& locale, DWORD type);

// Converts an ICU date/time pattern ("EEEE, MMMM d, y", "h:mm:ss a") to the platform's
// picture format ("dddd, MMMM d, yyyy", "h:mm:ss tt"). Exposed for tests.
std::u16string PictureFromIcuPattern(std::u16string_view pattern, bool shortDate);

// Copies text and its terminating zero into an A-form caller's buffer: size 0 asks for the
// size needed (terminator included), a short buffer fails with ERROR_INSUFFICIENT_BUFFER.
int DeliverText(const std::string& text, char* out, int outLen);

// CharUpperBuffW / CharLowerBuffW by the rules of a given language.
DWORD MapCaseForLanguage(WCHAR* text, DWORD length, bool upper, LANGID language);
