// Locale-aware comparison on ICU collators. Letters, digits, accents and case follow the
// locale's collation; punctuation is re-ordered and hyphen and apostrophe weighted so that
// the results match the platform's "word sort".

#include "platform/locale/LocaleData.h"

#include <memory>
#include <string_view>
#include <unicode/coll.h>
#include <unicode/tblcoll.h>
#include <unordered_map>

namespace {

constexpr DWORD kKnownFlags = NORM_IGNORECASE | NORM_IGNORENONSPACE | NORM_IGNORESYMBOLS |
                              LINGUISTIC_IGNORECASE | LINGUISTIC_IGNOREDIACRITIC | SORT_STRINGSORT |
                              NORM_IGNOREKANATYPE | NORM_IGNOREWIDTH;

// The platform's order of the ASCII symbols, apostrophe and hyphen first, appended to the
// locale's own rules. (An apostrophe is written \' and a backslash \\ in rule syntax.)
constexpr char16_t kSymbolOrder[] =
    uR"(& ' ' < \' < '-' < '!' < '"' < '#' < '$' < '%' < '&' < '(' < ')' < '*' < ',' < '.')"
    uR"( < '/' < ':' < ';' < '?' < '@' < '[' < \\ < ']' < '^' < '_' < '`' < '{' < '|' < '}')"
    uR"( < '~' < '+' < '<' < '=' < '>')";

std::unique_ptr<icu::Collator> BuildCollator(const std::string& icuName) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Collator> base(
        icu::Collator::createInstance(icu::Locale(icuName.c_str()), status));
    if (U_FAILURE(status))
        return nullptr;
    if (const auto* rules = dynamic_cast<const icu::RuleBasedCollator*>(base.get())) {
        icu::UnicodeString tailoring = rules->getRules();
        tailoring.append(icu::UnicodeString(kSymbolOrder));
        status = U_ZERO_ERROR;
        auto tailored = std::make_unique<icu::RuleBasedCollator>(tailoring, status);
        if (U_SUCCESS(status))
            return tailored;
    }
    return base;
}

// Building a collator from rules is slow (milliseconds, far more for CJK), so each thread
// keeps the ones it has used.
icu::Collator* CollatorFor(const ResolvedLocale& locale) {
    thread_local std::unordered_map<std::string, std::unique_ptr<icu::Collator>> cache;
    auto it = cache.find(locale.icuName);
    if (it == cache.end())
        it = cache.emplace(locale.icuName, BuildCollator(locale.icuName)).first;
    return it->second.get();
}

std::u16string WithoutHyphens(std::u16string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (char16_t c : s) {
        if (c != u'\'' && c != u'-' && c != u'\u00AD')
            out += c;
    }
    return out;
}

int Collate(icu::Collator& collator, std::u16string_view a, std::u16string_view b) {
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult r =
        collator.compare(reinterpret_cast<const UChar*>(a.data()), int32_t(a.size()),
                         reinterpret_cast<const UChar*>(b.data()), int32_t(b.size()), status);
    return r == UCOL_LESS ? -1 : r == UCOL_GREATER ? 1 : 0;
}

int Fail(DWORD error) {
    SetLastError(error);
    return 0;
}

int CompareResolved(const ResolvedLocale& locale, DWORD flags, std::u16string_view a,
                    std::u16string_view b) {
    icu::Collator* collator = CollatorFor(locale);
    if (!collator)
        return Fail(ERROR_INVALID_PARAMETER);
    const bool ignoreCase = flags & (NORM_IGNORECASE | LINGUISTIC_IGNORECASE);
    const bool ignoreAccents = flags & (NORM_IGNORENONSPACE | LINGUISTIC_IGNOREDIACRITIC);
    UErrorCode status = U_ZERO_ERROR;
    if (ignoreAccents) {
        collator->setAttribute(UCOL_STRENGTH, UCOL_PRIMARY, status);
        collator->setAttribute(UCOL_CASE_LEVEL, ignoreCase ? UCOL_OFF : UCOL_ON, status);
    } else {
        collator->setAttribute(UCOL_STRENGTH, ignoreCase ? UCOL_SECONDARY : UCOL_TERTIARY, status);
        collator->setAttribute(UCOL_CASE_LEVEL, UCOL_OFF, status);
    }
    collator->setAttribute(UCOL_ALTERNATE_HANDLING,
                           (flags & NORM_IGNORESYMBOLS) ? UCOL_SHIFTED : UCOL_NON_IGNORABLE,
                           status);
    if (U_FAILURE(status))
        return Fail(ERROR_INVALID_PARAMETER);

    // Word sort: hyphen and apostrophe only break ties.
    int r = 0;
    if (!(flags & SORT_STRINGSORT))
        r = Collate(*collator, WithoutHyphens(a), WithoutHyphens(b));
    if (r == 0)
        r = Collate(*collator, a, b);
    return r < 0 ? CSTR_LESS_THAN : r > 0 ? CSTR_GREATER_THAN : CSTR_EQUAL;
}

bool ValidArguments(DWORD flags, const void* s1, int len1, const void* s2, int len2, int& result) {
    if (!s1 || !s2 || len1 < -1 || len2 < -1) {
        result = Fail(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (flags & ~kKnownFlags) {
        result = Fail(ERROR_INVALID_FLAGS);
        return false;
    }
    return true;
}

} // namespace

int CompareStringW(LCID locale, DWORD flags, const WCHAR* s1, int len1, const WCHAR* s2, int len2) {
    int result = 0;
    if (!ValidArguments(flags, s1, len1, s2, len2, result))
        return result;
    const auto resolved = ResolveLocale(locale);
    if (!resolved)
        return Fail(ERROR_INVALID_PARAMETER);
    const std::u16string_view a =
        len1 == -1 ? std::u16string_view(s1) : std::u16string_view(s1, size_t(len1));
    const std::u16string_view b =
        len2 == -1 ? std::u16string_view(s2) : std::u16string_view(s2, size_t(len2));
    return CompareResolved(*resolved, flags, a, b);
}

int CompareStringA(LCID locale, DWORD flags, const char* s1, int len1, const char* s2, int len2) {
    int result = 0;
    if (!ValidArguments(flags, s1, len1, s2, len2, result))
        return result;
    const auto resolved = ResolveLocale(locale);
    if (!resolved)
        return Fail(ERROR_INVALID_PARAMETER);
    const UINT codePage = TextCodePage(*resolved);
    const std::u16string a =
        AnsiToWide(len1 == -1 ? std::string(s1) : std::string(s1, size_t(len1)), codePage);
    const std::u16string b =
        AnsiToWide(len2 == -1 ? std::string(s2) : std::string(s2, size_t(len2)), codePage);
    return CompareResolved(*resolved, flags, a, b);
}
