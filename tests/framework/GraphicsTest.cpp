#include "framework/Graphics.h"

#include <QFontInfo>
#include <gtest/gtest.h>

TEST(Colors, SystemColorsResolveToTheClassicScheme) {
    EXPECT_EQ(ColorToRGB(clRed), RGB(255, 0, 0));
    EXPECT_EQ(ColorToRGB(32768), RGB(0, 128, 0));
    EXPECT_EQ(ColorToRGB(clBtnFace), RGB(192, 192, 192));
    EXPECT_EQ(ColorToRGB(clWindowText), RGB(0, 0, 0));
    EXPECT_EQ(ColorToRGB(clWindow), RGB(255, 255, 255));
    EXPECT_EQ(ColorToQColor(clBlue), QColor(0, 0, 255));
}

TEST(Colors, NamesAndNumbersRoundTrip) {
    TColor c = 0;
    ASSERT_TRUE(StringToColor("clMenu", c));
    EXPECT_EQ(c, clMenu);
    EXPECT_EQ(ColorToString(clSilver), "clSilver");
    ASSERT_TRUE(StringToColor("32768", c));
    EXPECT_EQ(c, clGreen);
    EXPECT_EQ(ColorToString(0x123456), "$00123456");
    ASSERT_TRUE(StringToColor(ColorToString(0x123456), c));
    EXPECT_EQ(c, 0x123456);
    EXPECT_FALSE(StringToColor("clChartreuse", c));
}

TEST(Cursors, NamesNumbersAndShapes) {
    TCursor c = 0;
    ASSERT_TRUE(IdentToCursor("crHandPoint", c));
    EXPECT_EQ(c, -21);
    EXPECT_EQ(CursorToShape(crHandPoint), Qt::PointingHandCursor);
    EXPECT_EQ(CursorToShape(12345), Qt::ArrowCursor);
}

TEST(Fonts, HeightSizeAndChangeNotification) {
    TFont font;
    int changes = 0;
    font.OnChange = [&](TObject*) { ++changes; };
    font.SetHeight(-13);
    EXPECT_EQ(font.Size(), 10);
    font.SetSize(8);
    EXPECT_EQ(font.Height(), -11);
    font.SetHeight(-11); // unchanged: no notification
    EXPECT_EQ(changes, 2);
    TFont copy;
    copy.Assign(&font);
    EXPECT_TRUE(copy == font);
}

TEST(Fonts, UnknownFixedPitchFamilyResolvesToAMonospaceFace) {
    TFont font;
    font.SetName("Kelvor32 Teminal 0");
    font.SetPitch(fpFixed);
    EXPECT_TRUE(QFontInfo(font.ToQFont()).fixedPitch());
}
