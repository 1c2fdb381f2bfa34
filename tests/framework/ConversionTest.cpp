#include "framework/Exceptions.h"
#include "framework/SysUtils.h"
#include "platform/locale/Locale.h"

#include <algorithm>
#include <climits>
#include <gtest/gtest.h>

TEST(StrToInt, AcceptsBlanksSignsAndHexadecimalPrefixes) {
    EXPECT_EQ(StrToInt("1236"), 1236);
    EXPECT_EQ(StrToInt("   42"), 42);
    EXPECT_EQ(StrToInt("+7"), 7);
    EXPECT_EQ(StrToInt("-7"), -7);
    EXPECT_EQ(StrToInt("$1F"), 31);
    EXPECT_EQ(StrToInt("0x1f"), 31);
    EXPECT_EQ(StrToInt("0X10"), 16);
    EXPECT_EQ(StrToInt("x10"), 16);
    EXPECT_EQ(StrToInt("-$10"), -16);
    EXPECT_EQ(StrToInt("007"), 7);
}

TEST(StrToInt, RangeEdges) {
    EXPECT_EQ(StrToInt("2147483647"), INT_MAX);
    EXPECT_EQ(StrToInt("-2147483648"), INT_MIN);
    // Hexadecimal fills the 32 bits, so the top bit makes it negative.
    EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
    EXPECT_EQ(StrToInt("$80000000"), INT_MIN);
    EXPECT_THROW(StrToInt("2147483648"), EConvertError);
    EXPECT_THROW(StrToInt("-2147483649"), EConvertError);
    EXPECT_THROW(StrToInt("$100000000"), EConvertError);
    EXPECT_THROW(StrToInt("99999999999999999999999"), EConvertError);
}

TEST(StrToInt, RejectsWhatValDoesNotReadWithTheQuotedText) {
    for (const char* bad :
         {"", " ", "12 ", "1a", "abc", "-", "+", "$", "0x", "1.5", "--1", "\t1"}) {
        try {
            StrToInt(bad);
            ADD_FAILURE() << "accepted '" << bad << "'";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), std::string("'") + bad + "' is not a valid integer value");
        }
    }
    EXPECT_EQ(StrToIntDef("nope", -5), -5);
}

TEST(TextHelpers, CaseAndTrimAndNumbers) {
    EXPECT_TRUE(SameText("Button1", "BUTTON1"));
    EXPECT_LT(CompareText("abc", "ABD"), 0);
    EXPECT_EQ(Trim("  a b \t"), "a b");
    EXPECT_EQ(IntToHex(0xAB, 4), "00AB");
    EXPECT_EQ(IntToStr(-12), "-12");
    EXPECT_EQ(Format("%s is %d", std::string("x"), 3), "x is 3");
}

TEST(TextHelpers, ExpandFileNameGivesAnAbsoluteCleanPath) {
    const std::string full = ExpandFileName("a/../b.txt");
    ASSERT_FALSE(full.empty());
    EXPECT_EQ(full.front(), '/');
    EXPECT_EQ(full.substr(full.size() - 6), "/b.txt");
    EXPECT_EQ(full.find(".."), std::string::npos);
}

TEST(TextHelpers, CurrentTimeAndDateFollowTheUserFormats) {
    if (GetUserDefaultLCID() != 1033)
        GTEST_SKIP() << "needs a process locale that counts as English (United States)";
    const std::string time = CurrentTimeText();
    const std::string date = CurrentDateText();
    EXPECT_TRUE(time.find(':') != std::string::npos) << time;
    EXPECT_TRUE(time.find("AM") != std::string::npos || time.find("PM") != std::string::npos)
        << time;
    EXPECT_EQ(std::count(date.begin(), date.end(), '/'), 2) << date;
    EXPECT_EQ(date.size() - date.rfind('/') - 1, 4u) << "four-digit year: " << date;
}
