// Character and paragraph formats through their messages, with masks.

#include "RichEditFixture.h"

namespace {

TEST_F(RichEditTest, SelectionFormatReportsOnlyUniformFields) {
    SetText(u"bold plain");
    Select(0, 4);
    SetCharFormat(SCF_SELECTION, CFM_BOLD | CFM_COLOR, CFE_BOLD,
                  [](CHARFORMAT2W& cf) { cf.crTextColor = RGB(255, 0, 0); });
    DWORD mask = 0;
    CHARFORMAT2W cf = CharFormat(SCF_SELECTION, &mask);
    EXPECT_TRUE(mask & CFM_BOLD);
    EXPECT_TRUE(cf.dwEffects & CFE_BOLD);
    EXPECT_EQ(cf.wWeight, 700);
    EXPECT_EQ(cf.crTextColor, RGB(255, 0, 0));
    EXPECT_FALSE(cf.dwEffects & CFE_AUTOCOLOR);

    Select(2, 7);
    cf = CharFormat(SCF_SELECTION, &mask);
    EXPECT_FALSE(mask & CFM_BOLD);
    EXPECT_FALSE(mask & CFM_COLOR);
    EXPECT_TRUE(mask & CFM_ITALIC);
    EXPECT_TRUE(mask & CFM_SIZE);

    // Wrong structure size: the message fails.
    CHARFORMAT2W bad{};
    bad.cbSize = 50;
    EXPECT_EQ(Send(EM_GETCHARFORMAT, SCF_SELECTION, &bad), 0);
    EXPECT_EQ(Send(EM_SETCHARFORMAT, SCF_SELECTION, &bad), 0);
}

TEST_F(RichEditTest, WritingOneFieldLeavesTheOthers) {
    SetText(u"text");
    Select(0, 4);
    SetCharFormat(SCF_SELECTION, CFM_SIZE | CFM_ITALIC, CFE_ITALIC,
                  [](CHARFORMAT2W& cf) { cf.yHeight = 199; });
    SetCharFormat(SCF_SELECTION, CFM_WEIGHT, 0, [](CHARFORMAT2W& cf) { cf.wWeight = 900; });
    SetCharFormat(SCF_SELECTION, CFM_UNDERLINETYPE, 0,
                  [](CHARFORMAT2W& cf) { cf.bUnderlineType = CFU_UNDERLINEDOUBLE; });
    const CHARFORMAT2W cf = CharFormat(SCF_SELECTION);
    EXPECT_EQ(cf.yHeight, 199);
    EXPECT_EQ(cf.yHeight / 20, 9);
    EXPECT_TRUE(cf.dwEffects & CFE_ITALIC);
    EXPECT_TRUE(cf.dwEffects & CFE_BOLD); // weight 900 is bold
    EXPECT_EQ(cf.wWeight, 900);
    EXPECT_TRUE(cf.dwEffects & CFE_UNDERLINE); // a type alone switches underline on
    EXPECT_EQ(cf.bUnderlineType, CFU_UNDERLINEDOUBLE);

    SetCharFormat(SCF_SELECTION, CFM_UNDERLINE, 0);
    EXPECT_FALSE(CharFormat(SCF_SELECTION).dwEffects & CFE_UNDERLINE);
    EXPECT_EQ(CharFormat(SCF_SELECTION).bUnderlineType, CFU_UNDERLINENONE);
}

TEST_F(RichEditTest, AutomaticColourAndFaceNames) {
    SetText(u"x");
    Select(0, 1);
    SetCharFormat(SCF_SELECTION, CFM_COLOR, 0,
                  [](CHARFORMAT2W& cf) { cf.crTextColor = RGB(0, 128, 0); });
    EXPECT_FALSE(CharFormat(SCF_SELECTION).dwEffects & CFE_AUTOCOLOR);
    SetCharFormat(SCF_SELECTION, CFM_COLOR, CFE_AUTOCOLOR);
    EXPECT_TRUE(CharFormat(SCF_SELECTION).dwEffects & CFE_AUTOCOLOR);

    const std::u16string longName = u"A face name that is longer than thirty-one characters";
    SetCharFormat(SCF_SELECTION, CFM_FACE, 0, [&](CHARFORMAT2W& cf) {
        std::copy_n(longName.begin(), LF_FACESIZE, cf.szFaceName); // not terminated
        cf.bPitchAndFamily = FIXED_PITCH | FF_MODERN;
    });
    const CHARFORMAT2W cf = CharFormat(SCF_SELECTION);
    EXPECT_EQ(std::u16string(cf.szFaceName), longName.substr(0, 31));
    EXPECT_EQ(cf.bPitchAndFamily, FIXED_PITCH | FF_MODERN);
}

TEST_F(RichEditTest, DefaultFormatAndInsertionFormat) {
    SetCharFormat(SCF_DEFAULT, CFM_FACE | CFM_SIZE, 0, [](CHARFORMAT2W& cf) {
        std::u16string face = u"Kelvor32 Teminal 0";
        std::copy(face.begin(), face.end(), cf.szFaceName);
        cf.yHeight = 195;
    });
    EXPECT_EQ(std::u16string(CharFormat(SCF_DEFAULT).szFaceName), u"Kelvor32 Teminal 0");
    // Text that never got a format of its own follows the default.
    Replace(u"abc");
    Select(0, 3);
    EXPECT_EQ(CharFormat(SCF_SELECTION).yHeight, 195);
    SetCharFormat(SCF_DEFAULT, CFM_SIZE, 0, [](CHARFORMAT2W& cf) { cf.yHeight = 300; });
    EXPECT_EQ(CharFormat(SCF_SELECTION).yHeight, 300);

    // A format set on an empty selection goes to the next text typed there.
    Select(3, 3);
    SetCharFormat(SCF_SELECTION, CFM_BOLD, CFE_BOLD);
    Replace(u"B");
    Select(3, 4);
    EXPECT_TRUE(CharFormat(SCF_SELECTION).dwEffects & CFE_BOLD);
    Select(0, 3);
    EXPECT_FALSE(CharFormat(SCF_SELECTION).dwEffects & CFE_BOLD);
    // Text typed after formatted text continues its format.
    Select(4, 4);
    Replace(u"C");
    Select(4, 5);
    EXPECT_TRUE(CharFormat(SCF_SELECTION).dwEffects & CFE_BOLD);
}

TEST_F(RichEditTest, WordFormattingWithAnEmptySelection) {
    SetText(u"one two three");
    Select(5, 5); // inside "two"
    SetCharFormat(SCF_SELECTION | SCF_WORD | SCF_USEUIRULES, CFM_BOLD, CFE_BOLD);
    Select(4, 7);
    DWORD mask = 0;
    EXPECT_TRUE(CharFormat(SCF_SELECTION, &mask).dwEffects & CFE_BOLD);
    EXPECT_TRUE(mask & CFM_BOLD);
    Select(0, 4);
    EXPECT_FALSE(CharFormat(SCF_SELECTION).dwEffects & CFE_BOLD);
    Select(7, 13);
    EXPECT_FALSE(CharFormat(SCF_SELECTION).dwEffects & CFE_BOLD);
    // SCF_ALL formats everything.
    SetCharFormat(SCF_ALL, CFM_STRIKEOUT, CFE_STRIKEOUT);
    Select(0, -1);
    EXPECT_TRUE(CharFormat(SCF_SELECTION).dwEffects & CFE_STRIKEOUT);
}

TEST_F(RichEditTest, ParagraphFormatsPerParagraph) {
    SetText(u"first\rsecond\rthird");
    Select(7, 7);
    PARAFORMAT2 pf{};
    pf.cbSize = sizeof pf;
    pf.dwMask = PFM_ALIGNMENT | PFM_STARTINDENT | PFM_TABSTOPS | PFM_SPACEAFTER;
    pf.wAlignment = PFA_CENTER;
    pf.dxStartIndent = 720;
    pf.cTabCount = 40; // clamped to 32
    for (int i = 0; i < MAX_TAB_STOPS; ++i) {
        pf.rgxTabs[i] = 720 * (i + 1);
    }
    pf.dySpaceAfter = 120;
    EXPECT_NE(Send(EM_SETPARAFORMAT, 0, &pf), 0);

    PARAFORMAT2 got{};
    got.cbSize = sizeof got;
    Select(6, 8);
    DWORD mask = DWORD(Send(EM_GETPARAFORMAT, 0, &got));
    EXPECT_EQ(got.wAlignment, PFA_CENTER);
    EXPECT_EQ(got.cTabCount, 32);
    EXPECT_EQ(got.rgxTabs[31], 720 * 32);
    EXPECT_EQ(got.dySpaceAfter, 120);
    EXPECT_TRUE(mask & PFM_ALIGNMENT);

    Select(0, 8); // first and second paragraph disagree
    mask = DWORD(Send(EM_GETPARAFORMAT, 0, &got));
    EXPECT_FALSE(mask & PFM_ALIGNMENT);
    EXPECT_FALSE(mask & PFM_STARTINDENT);
    EXPECT_TRUE(mask & PFM_RIGHTINDENT);

    // Splitting the centred paragraph keeps the format on both halves.
    Select(9, 9);
    Replace(u"\r");
    Select(10, 10);
    Send(EM_GETPARAFORMAT, 0, &got);
    EXPECT_EQ(got.wAlignment, PFA_CENTER);

    // An invalid alignment fails the message.
    pf.dwMask = PFM_ALIGNMENT;
    pf.wAlignment = 9;
    EXPECT_EQ(Send(EM_SETPARAFORMAT, 0, &pf), 0);

    // One tab stop on a paragraph without any, as the attribute objects write it.
    Select(0, 0);
    PARAFORMAT2 tab{};
    tab.cbSize = sizeof(PARAFORMAT); // the short structure
    tab.dwMask = PFM_TABSTOPS;
    tab.cTabCount = 1;
    tab.rgxTabs[0] = 36 * 20;
    EXPECT_NE(Send(EM_SETPARAFORMAT, 0, &tab), 0);
    PARAFORMAT shortForm{};
    shortForm.cbSize = sizeof shortForm;
    Send(EM_GETPARAFORMAT, 0, &shortForm);
    EXPECT_EQ(shortForm.cTabCount, 1);
    EXPECT_EQ(shortForm.rgxTabs[0], 720);
}


class UrlDetectTest : public RichEditTest {
protected:
    bool IsLink(LONG min, LONG max) {
        Select(min, max);
        DWORD mask = 0;
        const CHARFORMAT2W cf = CharFormat(SCF_SELECTION, &mask);
        return (mask & CFM_LINK) && (cf.dwEffects & CFE_LINK);
    }
    bool NoLink(LONG min, LONG max) {
        Select(min, max);
        DWORD mask = 0;
        const CHARFORMAT2W cf = CharFormat(SCF_SELECTION, &mask);
        return (mask & CFM_LINK) && !(cf.dwEffects & CFE_LINK);
    }
};

TEST_F(UrlDetectTest, RecognisedUrlsCarryTheLinkEffect) {
    EXPECT_EQ(Send(EM_AUTOURLDETECT, 1), 0);
    //        0         1         2         3         4         5
    //        0123456789012345678901234567890123456789012345678901234
    Replace(u"see http://kelvor.test/a, then www.x.org. xhttp://no\rmailto:op@st");
    EXPECT_TRUE(NoLink(0, 4));
    EXPECT_TRUE(IsLink(4, 24)); // the comma before the space is not part of it
    EXPECT_TRUE(NoLink(24, 31));
    EXPECT_TRUE(IsLink(31, 40)); // nor the full stop
    EXPECT_TRUE(NoLink(40, 53)); // a scheme inside a word is none
    EXPECT_TRUE(IsLink(53, 65));

    // Breaking a URL takes the effect away; typing more of it extends it.
    Select(8, 8);
    Replace(u" ");
    EXPECT_TRUE(NoLink(4, 9));
    Select(8, 9);
    Replace(u"");
    EXPECT_TRUE(IsLink(4, 24));
    Select(23, 23);
    Replace(u"bc");
    EXPECT_TRUE(IsLink(4, 26));

    // Switched off, text stays as it is and new text is not scanned.
    Send(EM_AUTOURLDETECT, 0);
    SetText(u"http://plain.test");
    EXPECT_TRUE(NoLink(0, 17));
    // Switched on, the text already there is scanned.
    Send(EM_AUTOURLDETECT, 1);
    EXPECT_TRUE(IsLink(0, 17));

    // E-mail addresses too, without the full stop that ends a sentence; an @ alone is none.
    //         0         1         2         3
    //         0123456789012345678901234567890123456
    SetText(u"mail op.s@st.example. or a@b, x@y.z");
    EXPECT_TRUE(NoLink(0, 5));
    EXPECT_TRUE(IsLink(5, 20));
    EXPECT_TRUE(NoLink(20, 25));
    EXPECT_TRUE(NoLink(25, 28));
    EXPECT_TRUE(IsLink(30, 35));
}

} // namespace
