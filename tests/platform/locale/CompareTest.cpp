#include "platform/locale/Locale.h"
#include "platform/locale/LocaleData.h"

#include <gtest/gtest.h>
#include <string>

namespace {

constexpr LCID kEnglish = 0x0409;
constexpr LCID kDutch = 0x0413;
constexpr LCID kTurkish = 0x041F;

int Cmp(LCID lcid, DWORD flags, const std::u16string& a, const std::u16string& b) {
    return CompareStringW(lcid, flags, a.data(), int(a.size()), b.data(), int(b.size()));
}

TEST(Compare, DutchIgnoresCaseButNotAccents) {
    EXPECT_EQ(Cmp(kDutch, NORM_IGNORECASE, u"IJSSELMEER", u"ijsselmeer"), CSTR_EQUAL);
    EXPECT_EQ(Cmp(kDutch, NORM_IGNORECASE, u"ÉÉN", u"één"), CSTR_EQUAL);
    EXPECT_EQ(Cmp(kDutch, NORM_IGNORECASE, u"een", u"één"), CSTR_LESS_THAN);
    EXPECT_EQ(Cmp(kDutch, NORM_IGNORECASE | NORM_IGNORENONSPACE, u"een", u"één"), CSTR_EQUAL);
    EXPECT_EQ(Cmp(kDutch, NORM_IGNORECASE, u"abc", u"ABD"), CSTR_LESS_THAN);
    EXPECT_EQ(Cmp(kDutch, NORM_IGNORECASE, u"Zeeland", u"appel"), CSTR_GREATER_THAN);
    // Without the flag case breaks ties, lower case first.
    EXPECT_EQ(Cmp(kDutch, 0, u"aaa", u"AAA"), CSTR_LESS_THAN);
    // Accents ignored but case kept.
    EXPECT_EQ(Cmp(kDutch, NORM_IGNORENONSPACE, u"Een", u"één"), CSTR_GREATER_THAN);
}

TEST(Compare, TurkishDottedAndDotlessI) {
    // I is the capital of dotless ı, İ the capital of dotted i.
    EXPECT_EQ(Cmp(kTurkish, NORM_IGNORECASE, u"I", u"ı"), CSTR_EQUAL);
    EXPECT_EQ(Cmp(kTurkish, NORM_IGNORECASE, u"İstanbul", u"istanbul"), CSTR_EQUAL);
    EXPECT_NE(Cmp(kTurkish, NORM_IGNORECASE, u"I", u"i"), CSTR_EQUAL);
    EXPECT_EQ(Cmp(kTurkish, NORM_IGNORECASE, u"ılık", u"ilik"), CSTR_LESS_THAN);
    // Elsewhere I and i are one letter and ı another.
    EXPECT_EQ(Cmp(kEnglish, NORM_IGNORECASE, u"I", u"i"), CSTR_EQUAL);
    EXPECT_NE(Cmp(kEnglish, NORM_IGNORECASE, u"ı", u"i"), CSTR_EQUAL);
    // The 8-bit form reads its bytes in the locale's code page (1254: FD = ı, DD = İ).
    EXPECT_EQ(CompareStringA(kTurkish, NORM_IGNORECASE, "I", 1, "\xFD", 1), CSTR_EQUAL);
    EXPECT_EQ(CompareStringA(kTurkish, NORM_IGNORECASE, "\xDD", 1, "i", 1), CSTR_EQUAL);
    EXPECT_EQ(CompareStringA(kDutch, NORM_IGNORECASE, "\xC9", 1, "\xE9", 1), CSTR_EQUAL);
}

// Case mapping keeps one unit for one, so that positions in the text hold.
TEST(CaseMapping, OneUnitForOneByTheLanguagesRules) {
    const auto mapped = [](std::u16string text, bool upper, LCID lcid) {
        EXPECT_EQ(MapCaseForLanguage(text.data(), DWORD(text.size()), upper, LANGID(lcid)),
                  text.size());
        return text;
    };
    // ß has no one-unit capital, nor the surrogate pair's halves: they stay.
    EXPECT_EQ(mapped(u"http://é.nl ß 😀 ı", true, kDutch), u"HTTP://É.NL ß 😀 I");
    EXPECT_EQ(mapped(u"FILE:\u0130", false, kEnglish), u"file:i"); // one unit, not i + dot
    EXPECT_EQ(mapped(u"file", true, kTurkish), u"FİLE");
    EXPECT_EQ(mapped(u"FILE", false, kTurkish), u"fıle");
    EXPECT_EQ(mapped(u"file", true, kEnglish), u"FILE");
    EXPECT_EQ(MapCaseForLanguage(nullptr, 3, true, LANGID(kEnglish)), 0u);
}

TEST(Compare, WordSortOfPunctuation) {
    EXPECT_EQ(Cmp(kEnglish, 0, u"-o", u"/m"), CSTR_GREATER_THAN);
    EXPECT_EQ(Cmp(kEnglish, SORT_STRINGSORT, u"-o", u"/m"), CSTR_LESS_THAN);
    EXPECT_EQ(Cmp(kEnglish, 0, u"'o", u"-o"), CSTR_LESS_THAN);
    // Hyphenated words stay next to their unhyphenated forms.
    EXPECT_NE(Cmp(kEnglish, NORM_IGNORECASE, u"co-op", u"coop"), CSTR_EQUAL);
    EXPECT_EQ(Cmp(kEnglish, NORM_IGNORECASE, u"co-op", u"cooa"), CSTR_GREATER_THAN);
    EXPECT_EQ(Cmp(kEnglish, NORM_IGNORECASE, u"co-op", u"coopa"), CSTR_LESS_THAN);
    EXPECT_EQ(Cmp(kEnglish, SORT_STRINGSORT, u"co-op", u"cooa"), CSTR_LESS_THAN);
    EXPECT_EQ(Cmp(kEnglish, 0, u"EndDialog", u"_Property"), CSTR_GREATER_THAN);
    EXPECT_EQ(Cmp(kEnglish, 0, u"a", u"{"), CSTR_GREATER_THAN);
    EXPECT_EQ(Cmp(kEnglish, 0, u"#", u"."), CSTR_LESS_THAN);
    EXPECT_EQ(Cmp(kEnglish, 0, u"3.5", u"4.0"), CSTR_LESS_THAN);
    EXPECT_EQ(Cmp(kEnglish, 0, u"file10", u"file9"), CSTR_LESS_THAN);
    EXPECT_EQ(Cmp(kEnglish, 0, u"aa", u"AB"), CSTR_LESS_THAN);
    EXPECT_EQ(Cmp(kEnglish, NORM_IGNORESYMBOLS, u"a.b", u"ab"), CSTR_EQUAL);
    // The verified single-character order of the platform.
    const std::u16string order = u"'-!\".:\\_`{}+0129aAbBcC";
    for (size_t i = 0; i + 1 < order.size(); ++i)
        EXPECT_EQ(Cmp(kEnglish, 0, order.substr(i, 1), order.substr(i + 1, 1)), CSTR_LESS_THAN)
            << "at " << i;
}

TEST(Compare, LengthsAndZeros) {
    EXPECT_EQ(CompareStringW(kEnglish, 0, u"abc", -1, u"abcdef", 3), CSTR_EQUAL);
    const char16_t longer[] = u"ABC\0\u00EE";
    EXPECT_EQ(CompareStringW(kEnglish, 0, longer, 5, u"ABC", 3), CSTR_GREATER_THAN);
    EXPECT_EQ(CompareStringW(kEnglish, 0, u"ABC\0x", 4, u"ABC\0y", 4), CSTR_EQUAL);
    EXPECT_EQ(CompareStringW(kEnglish, 0, u"", 0, u"", -1), CSTR_EQUAL);
}

TEST(Compare, Errors) {
    SetLastError(0);
    EXPECT_EQ(CompareStringW(kEnglish, 0, nullptr, 1, u"a", 1), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    SetLastError(0);
    EXPECT_EQ(CompareStringW(kEnglish, 0x100, u"a", 1, u"a", 1), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_FLAGS);
    SetLastError(0);
    EXPECT_EQ(CompareStringW(0x00FF, 0, u"a", 1, u"a", 1), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    // The default identifiers resolve to the process locale.
    EXPECT_EQ(CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, u"A", 1, u"a", 1), CSTR_EQUAL);
    EXPECT_EQ(CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, "b", -1, "A", -1),
              CSTR_GREATER_THAN);
}

} // namespace
