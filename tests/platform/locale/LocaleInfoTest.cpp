#include "platform/locale/LocaleData.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <thread>

namespace {

TEST(LocaleTable, ProcessLocaleNames) {
    EXPECT_EQ(LcidFromPosixLocale("nl_NL.UTF-8"), 1043u);
    EXPECT_EQ(LcidFromPosixLocale("de_DE@euro"), 1031u);
    EXPECT_EQ(LcidFromPosixLocale("tr_TR"), 1055u);
    EXPECT_EQ(LcidFromPosixLocale("ja_JP.eucJP"), 1041u);
    EXPECT_EQ(LcidFromPosixLocale("zh_TW.Big5"), 1028u);
    EXPECT_EQ(LcidFromPosixLocale("no_NO"), 1044u);
    EXPECT_EQ(LcidFromPosixLocale("nl"), 1043u);
    // Countries our table lacks come from ICU's identifiers.
    EXPECT_EQ(LcidFromPosixLocale("en_ZA.UTF-8"), 0x1C09u);
    for (const char* english : {"C", "POSIX", "", "C.UTF-8", "xx_YY"})
        EXPECT_EQ(LcidFromPosixLocale(english), 1033u) << english;
}

// Restores an environment variable when the test ends.
class EnvGuard {
public:
    explicit EnvGuard(const char* name) : FName(name) {
        if (const char* v = std::getenv(name))
            FOld = v;
    }
    ~EnvGuard() {
        if (FOld)
            ::setenv(FName, FOld->c_str(), 1);
        else
            ::unsetenv(FName);
    }

private:
    const char* FName;
    std::optional<std::string> FOld;
};

TEST(LocaleTable, LcAllWinsOverLangUnlessEmpty) {
    EnvGuard all("LC_ALL"), lang("LANG");
    ::setenv("LANG", "nl_NL.UTF-8", 1);
    ::setenv("LC_ALL", "tr_TR.UTF-8", 1);
    EXPECT_EQ(LcidFromPosixLocale(ProcessLocaleName()), 1055u);
    ::setenv("LC_ALL", "", 1);
    EXPECT_EQ(LcidFromPosixLocale(ProcessLocaleName()), 1043u);
    ::unsetenv("LC_ALL");
    ::unsetenv("LANG");
    EXPECT_EQ(LcidFromPosixLocale(ProcessLocaleName()), 1033u);
}

TEST(LocaleInfo, AnsiCodePagesOfLanguages) {
    const std::pair<LCID, const char*> expected[] = {
        {1033, "1252"}, {1043, "1252"}, {1031, "1252"},   {1045, "1250"},  {1049, "1251"},
        {1032, "1253"}, {1055, "1254"}, {1037, "1255"},   {1025, "1256"},  {1061, "1257"},
        {1066, "1258"}, {1054, "874"},  {1041, "932"},    {2052, "936"},   {1042, "949"},
        {1028, "950"},  {1081, "0"},    {0x1C09, "1252"}, {0x0013, "1252"}};
    for (const auto& [lcid, cp] : expected)
        EXPECT_EQ(GetLocaleString(lcid, LOCALE_IDEFAULTANSICODEPAGE), cp) << "lcid " << lcid;
    // A sort identifier in the high bits does not change the language.
    EXPECT_EQ(GetLocaleString(MAKELCID(0x0411, 1), LOCALE_IDEFAULTANSICODEPAGE), "932");
}

TEST(LocaleInfo, BufferContract) {
    char buffer[8] = {};
    EXPECT_EQ(GetLocaleInfoA(1043, LOCALE_IDEFAULTANSICODEPAGE, nullptr, 0), 5);
    EXPECT_EQ(GetLocaleInfoA(1043, LOCALE_IDEFAULTANSICODEPAGE, buffer, 6), 5);
    EXPECT_STREQ(buffer, "1252");
    SetLastError(0);
    EXPECT_EQ(GetLocaleInfoA(1043, LOCALE_IDEFAULTANSICODEPAGE, buffer, 4), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);

    DWORD number = 0;
    EXPECT_EQ(GetLocaleInfoA(1041, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                             reinterpret_cast<char*>(&number), sizeof number),
              4);
    EXPECT_EQ(number, 932u);

    SetLastError(0);
    EXPECT_EQ(GetLocaleInfoA(0x00FF, LOCALE_IDEFAULTANSICODEPAGE, buffer, 8), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    SetLastError(0);
    EXPECT_EQ(GetLocaleInfoA(1033, 0x7777, buffer, 8), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_FLAGS);
}

TEST(LocaleInfo, NamesAndPictures) {
    EXPECT_EQ(GetLocaleString(1043, LOCALE_ILANGUAGE), "0413");
    EXPECT_EQ(GetLocaleString(1043, LOCALE_SENGLANGUAGE), "Dutch");
    EXPECT_EQ(GetLocaleString(1033, LOCALE_SABBREVLANGNAME), "ENU");
    EXPECT_EQ(GetLocaleString(1033, LOCALE_STIMEFORMAT), "h:mm:ss tt");
    EXPECT_EQ(GetLocaleString(1033, LOCALE_SSHORTDATE), "M/d/yyyy");
    EXPECT_EQ(GetLocaleString(1043, LOCALE_STIMEFORMAT), "H:mm:ss");
    EXPECT_EQ(GetLocaleString(1043, LOCALE_SSHORTDATE), "d-M-yyyy");
    EXPECT_EQ(GetLocaleString(1043, LOCALE_SDATE), "-");
    EXPECT_EQ(GetLocaleString(1031, LOCALE_SDATE), ".");
    EXPECT_EQ(GetLocaleString(1033, LOCALE_STIME), ":");
    EXPECT_EQ(GetLocaleString(1033, LOCALE_S1159), "AM");
    EXPECT_EQ(GetLocaleString(1033, LOCALE_S2359), "PM");
    // Text values come in the locale's own code page.
    EXPECT_EQ(GetLocaleString(1041, LOCALE_SLONGDATE), "yyyy'\x94\x4E'M'\x8C\x8E'd'\x93\xFA'");
    // Derived from ICU where our table has no picture: four-digit years in short dates.
    const std::string derived = GetLocaleString(0x0C07, LOCALE_SSHORTDATE);
    EXPECT_NE(derived.find("yyyy"), std::string::npos) << derived;
}

TEST(LocaleInfo, PicturesFromIcuPatterns) {
    EXPECT_EQ(PictureFromIcuPattern(u"h:mm:ss\u202Fa", false), u"h:mm:ss tt");
    EXPECT_EQ(PictureFromIcuPattern(u"EEEE, d 'de' MMMM 'de' y", false),
              u"dddd, d' de 'MMMM' de 'yyyy");
    EXPECT_EQ(PictureFromIcuPattern(u"d.M.yy", true), u"d.M.yyyy");
    EXPECT_EQ(PictureFromIcuPattern(u"d.M.yy", false), u"d.M.yy");
    EXPECT_EQ(PictureFromIcuPattern(u"HH:mm:ss zzzz", false), u"HH:mm:ss");
    EXPECT_EQ(PictureFromIcuPattern(u"d MMM y 'o''clock'", false), u"d MMM yyyy' o''clock'");
    EXPECT_EQ(PictureFromIcuPattern(u"y年M月d日", false), u"yyyy年M月d日");
}

TEST(LocaleInfo, DefaultsFollowTheProcessLocale) {
    const LCID system = GetSystemDefaultLCID();
    EXPECT_EQ(system, LcidFromPosixLocale(ProcessLocaleName()));
    EXPECT_EQ(GetUserDefaultLangID(), LANGIDFROMLCID(GetUserDefaultLCID()));
    const std::string cp = GetLocaleString(system, LOCALE_IDEFAULTANSICODEPAGE);
    EXPECT_EQ(GetACP(), cp == "0" ? 1252u : UINT(std::stoul(cp)));
    EXPECT_EQ(GetLocaleString(LOCALE_USER_DEFAULT, LOCALE_ILANGUAGE),
              GetLocaleString(GetUserDefaultLCID(), LOCALE_ILANGUAGE));
}

TEST(Charsets, CodePageToFontCharset) {
    const std::pair<UINT, UINT> pairs[] = {{1252, ANSI_CHARSET},       {1250, EASTEUROPE_CHARSET},
                                           {1251, RUSSIAN_CHARSET},    {1254, TURKISH_CHARSET},
                                           {874, THAI_CHARSET},        {932, SHIFTJIS_CHARSET},
                                           {936, GB2312_CHARSET},      {949, HANGUL_CHARSET},
                                           {950, CHINESEBIG5_CHARSET}, {1258, VIETNAMESE_CHARSET}};
    for (const auto& [cp, charset] : pairs) {
        CHARSETINFO info{};
        ASSERT_TRUE(TranslateCharsetInfo(cp, &info, TCI_SRCCODEPAGE)) << cp;
        EXPECT_EQ(info.ciCharset, charset);
        EXPECT_EQ(info.ciACP, cp);
        CHARSETINFO back{};
        ASSERT_TRUE(TranslateCharsetInfo(charset, &back, TCI_SRCCHARSET));
        EXPECT_EQ(back.ciACP, cp);
    }
    CHARSETINFO info{};
    EXPECT_FALSE(TranslateCharsetInfo(437, &info, TCI_SRCCODEPAGE));
    EXPECT_FALSE(TranslateCharsetInfo(DEFAULT_CHARSET, &info, TCI_SRCCHARSET));
    const DWORD signature[2] = {0x00020000, 0};
    ASSERT_TRUE(
        TranslateCharsetInfo(reinterpret_cast<std::uintptr_t>(signature), &info, TCI_SRCFONTSIG));
    EXPECT_EQ(info.ciACP, 932u);
}

TEST(Version, NtPlatformAndSizeCheck) {
    OSVERSIONINFOA info{};
    EXPECT_FALSE(GetVersionExA(&info));
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);
    EXPECT_GE(info.dwMajorVersion, 5u);
}

TEST(LastError, IsPerThread) {
    SetLastError(ERROR_ACCESS_DENIED);
    DWORD seen = 1;
    std::thread([&] {
        seen = GetLastError();
        SetLastError(ERROR_INVALID_HANDLE);
    }).join();
    EXPECT_EQ(seen, ERROR_SUCCESS);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

} // namespace
