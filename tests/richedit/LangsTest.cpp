#include "richedit/Langs.h"

#include <gtest/gtest.h>

namespace {

TEST(Langs, CodePageOfLanguage) {
    EXPECT_EQ(CodePageOfLanguage(1043), 1252);
    EXPECT_EQ(CodePageOfLanguage(1041), 932);
    EXPECT_EQ(CodePageOfLanguage(1049), 1251);
    EXPECT_EQ(CodePageOfLanguage(1055), 1254);
    // Unicode-only languages report 0, which is still a number.
    EXPECT_EQ(CodePageOfLanguage(1081), 0);
    // A language the locale data does not know falls back to the system's code page.
    EXPECT_EQ(CodePageOfLanguage(0x00FF), GetACP());
}

TEST(Langs, CharsetOfLanguage) {
    BYTE charset = 99;
    ASSERT_TRUE(CharsetOfLanguage(1049, charset));
    EXPECT_EQ(charset, RUSSIAN_CHARSET);
    ASSERT_TRUE(CharsetOfLanguage(1041, charset));
    EXPECT_EQ(charset, SHIFTJIS_CHARSET);
    ASSERT_TRUE(CharsetOfLanguage(1043, charset));
    EXPECT_EQ(charset, ANSI_CHARSET);
    charset = 99;
    EXPECT_FALSE(CharsetOfLanguage(1081, charset));
    EXPECT_EQ(charset, 99);
}

} // namespace
