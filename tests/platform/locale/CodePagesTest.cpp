#include "platform/locale/Locale.h"

#include <gtest/gtest.h>
#include <random>
#include <string>

namespace {

std::u16string Decode(UINT cp, const std::string& bytes) {
    const int n = MultiByteToWideChar(cp, 0, bytes.data(), int(bytes.size()), nullptr, 0);
    std::u16string out(size_t(n), u'\0');
    EXPECT_EQ(MultiByteToWideChar(cp, 0, bytes.data(), int(bytes.size()), out.data(), n), n);
    return out;
}

std::string Encode(UINT cp, const std::u16string& text, BOOL* used = nullptr,
                   const char* defaultChar = nullptr) {
    const int n =
        WideCharToMultiByte(cp, 0, text.data(), int(text.size()), nullptr, 0, defaultChar, used);
    std::string out(size_t(n), '\0');
    EXPECT_EQ(
        WideCharToMultiByte(cp, 0, text.data(), int(text.size()), out.data(), n, defaultChar, used),
        n);
    return out;
}

TEST(CodePages, EveryWindows1252ByteRoundTrips) {
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, char(b));
        const std::u16string wide = Decode(1252, byte);
        ASSERT_EQ(wide.size(), 1u) << "byte " << b;
        BOOL used = TRUE;
        EXPECT_EQ(Encode(1252, wide, &used), byte) << "byte " << b;
        EXPECT_FALSE(used) << "byte " << b;
    }
    EXPECT_EQ(Decode(1252, "\x80"), u"\u20AC");
    EXPECT_EQ(Decode(1252, "\x9F"), u"\u0178");
    // Bytes the code page leaves undefined pass through as C1 controls, as on the platform.
    EXPECT_EQ(Decode(1252, "\x81\x8D\x8F\x90\x9D"), u"\u0081\u008D\u008F\u0090\u009D");
}

TEST(CodePages, ShiftJisDoubleByteBothWays) {
    const std::string bytes = "\x93\xFA\x96\x7B\x8C\xEA"
                              "A\xB1";
    const std::u16string text = u"日本語A\uFF71";
    EXPECT_EQ(Decode(932, bytes), text);
    EXPECT_EQ(Encode(932, text), bytes);
    // The code page's own variant: backslash stays a backslash, and the vendor rows exist.
    EXPECT_EQ(Decode(932, "\\"), u"\\");
    EXPECT_EQ(Decode(932, "\x87\x40"), u"\u2460");
    EXPECT_EQ(Encode(932, u"\u2460"), "\x87\x40");
}

TEST(CodePages, AsciiBytesMapToThemselvesInEveryCodePage) {
    // ICU's IBM-derived tables (932, the OEM code pages) trade 0x1A, 0x1C and 0x7F among
    // themselves; the platform does not, and a font name with them must survive RTF.
    std::string ascii;
    for (int b = 0; b < 0x80; ++b)
        ascii.push_back(char(b));
    const std::u16string wide(ascii.begin(), ascii.end());
    for (UINT cp : {437u, 850u, 866u, 932u, 936u, 949u, 950u, 1252u, 10000u}) {
        EXPECT_EQ(Decode(cp, ascii), wide) << cp;
        EXPECT_EQ(Encode(cp, wide), ascii) << cp;
    }
    // Inside double-byte text too.
    EXPECT_EQ(Decode(932, "\x1A\x93\xFA\x7F"), u"\u001A日\u007F");
    EXPECT_EQ(Encode(932, u"\u001C日\u001A"), "\x1C\x93\xFA\x1A");
}

TEST(CodePages, OtherEastAsianAndSingleByteSamples) {
    EXPECT_EQ(Decode(936, "\xD6\xD0\xCE\xC4"), u"中文");
    EXPECT_EQ(Decode(950, "\xA4\xA4\xA4\xE5"), u"中文");
    EXPECT_EQ(Decode(949, "\xC7\xD1\xB1\xB9"), u"한국");
    EXPECT_EQ(Encode(949, u"한국"), "\xC7\xD1\xB1\xB9");
    EXPECT_EQ(Decode(1251, "\xCF\xF0\xE8\xE2\xE5\xF2"), u"Привет");
    EXPECT_EQ(Encode(1254, u"ğışİ"), "\xF0\xFD\xFE\xDD");
    EXPECT_EQ(Encode(1250, u"Łódź"), "\xA3\xF3\x64\x9F");
    EXPECT_EQ(Decode(874, "\xA1"), u"\u0E01");
}

TEST(CodePages, UnmappableBecomesDefaultChar) {
    BOOL used = FALSE;
    EXPECT_EQ(Encode(1252, u"a\u0101b", &used), "a?b");
    EXPECT_TRUE(used);
    EXPECT_EQ(Encode(1252, u"\u0101", nullptr, "*"), "*");
    // One default character per UTF-16 unit: a surrogate pair gives two, so a text keeps
    // its length in characters.
    EXPECT_EQ(Encode(1252, u"x\U0001F600y"), "x??y");
    EXPECT_EQ(Encode(1252, std::u16string(1, char16_t(0xD800)) + u"z"), "?z");
    EXPECT_EQ(Encode(932, u"\u0101"), "?");
    EXPECT_EQ(WideToAnsi(u"\u4E2D", 1252), "?");
}

TEST(CodePages, InvalidBytesDoNotStopTheConversion) {
    // A lead byte without its trail byte, at the end and before an invalid trail byte.
    EXPECT_EQ(Decode(932, "A\x82"), u"A?");
    const std::u16string mid = Decode(932, "\x82\x20Z");
    EXPECT_EQ(mid.back(), u'Z');
    EXPECT_EQ(Decode(CP_UTF8, "\xC3\x28"), u"\uFFFD(");
    // Strict mode reports them instead.
    SetLastError(0);
    WCHAR out[8];
    EXPECT_EQ(MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, "A\x82", 2, out, 8), 0);
    EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);

    std::mt19937 random(7);
    for (UINT cp : {874u, 932u, 936u, 949u, 950u, 1250u, 1255u, 1258u, CP_UTF8}) {
        for (int round = 0; round < 200; ++round) {
            std::string bytes(size_t(1 + random() % 40), '\0');
            for (char& c : bytes)
                c = char(random() % 256);
            const std::u16string wide = Decode(cp, bytes);
            EXPECT_LE(wide.size(), bytes.size()) << "code page " << cp;
            Encode(cp, wide);
        }
    }
}

TEST(CodePages, ArgumentContract) {
    WCHAR wide[8] = {};
    // -1 converts and counts the terminator.
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "ab", -1, nullptr, 0), 3);
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "ab", -1, wide, 8), 3);
    EXPECT_EQ(std::u16string(wide), u"ab");

    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abcd", 4, wide, 2), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "a", 0, wide, 8), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(12345, 0, "a", 1, wide, 8), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(1252, 0x100, "a", 1, wide, 8), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_FLAGS);

    char narrow[8] = {};
    BOOL used = FALSE;
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", 1, narrow, 8, "?", nullptr), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u00E9", -1, narrow, 8, nullptr, nullptr), 3);
    EXPECT_STREQ(narrow, "\xC3\xA9");
    EXPECT_EQ(WideCharToMultiByte(1252, 0, u"\u00E9", 1, narrow, 8, nullptr, &used), 1);
    EXPECT_FALSE(used);
}

TEST(CodePages, SpecialCodePageNumbers) {
    EXPECT_EQ(AnsiToWide("\x80", CP_ACP), AnsiToWide("\x80", GetACP()));
    EXPECT_EQ(AnsiToWide("\x83", CP_MACCP), u"\u00C9");
    EXPECT_EQ(AnsiToWide("A", CP_SYMBOL), u"\uF041");
    EXPECT_EQ(WideToAnsi(u"\uF041", CP_SYMBOL), "A");
    // Embedded zeros are text too.
    EXPECT_EQ(AnsiToWide(std::string("a\0b", 3), 1252), std::u16string(u"a\0b", 3));
    SetLastError(0);
    EXPECT_EQ(AnsiToWide("abc", 1200), u"");
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(CodePages, EveryCodePageOfTheLanguageTableConverts) {
    for (LCID lcid : {0x0409u, 0x0413u, 0x0415u, 0x0419u, 0x0408u, 0x041Fu, 0x040Du, 0x0401u,
                      0x0425u, 0x042Au, 0x041Eu, 0x0411u, 0x0804u, 0x0412u, 0x0404u, 0x0C1Au}) {
        for (DWORD type : {LOCALE_IDEFAULTANSICODEPAGE, LOCALE_IDEFAULTCODEPAGE}) {
            const UINT cp = UINT(std::stoul(GetLocaleString(lcid, type)));
            EXPECT_EQ(AnsiToWide("Az", cp), u"Az") << "lcid " << lcid << " code page " << cp;
        }
    }
}

} // namespace
