// RTF written and read through EM_STREAMOUT and EM_STREAMIN: round trips of every format
// of the model, the shape other readers need, what LibreOffice writes, and malformed input.

#include "RichEditFixture.h"
#include "platform/locale/Locale.h"
#include "tests/support/Files.h"
#include "tests/support/LibreOffice.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstring>

namespace {

// Every character's and every paragraph's format, for comparing two documents.
std::string FormatDump(const std::function<LRESULT(UINT, WPARAM, LPARAM)>& send, LONG length) {
    std::string dump;
    for (LONG i = 0; i <= length; ++i) {
        CHARRANGE range{i, i + 1};
        send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
        CHARFORMAT2W cf{};
        cf.cbSize = sizeof cf;
        send(EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
        cf.dwMask = 0;
        dump.append(reinterpret_cast<const char*>(&cf), sizeof cf);
        PARAFORMAT2 pf{};
        pf.cbSize = sizeof pf;
        send(EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&pf));
        pf.dwMask = 0;
        dump.append(reinterpret_cast<const char*>(&pf), sizeof pf);
    }
    return dump;
}

class RtfTest : public RichEditTest {
protected:
    std::string Dump() {
        return FormatDump([this](UINT m, WPARAM w, LPARAM l) { return Send(m, w, l); },
                          LONG(Text().size()));
    }
    void Format(LONG min, LONG max, DWORD mask, DWORD effects,
                const std::function<void(CHARFORMAT2W&)>& fill = {}) {
        Select(min, max);
        ASSERT_TRUE(SetCharFormat(SCF_SELECTION, mask, effects, fill));
    }
    // Formats the one character at `at` and moves on.
    void FormatNext(LONG& at, DWORD mask, DWORD effects,
                    const std::function<void(CHARFORMAT2W&)>& fill = {}) {
        Format(at, at + 1, mask, effects, fill);
        ++at;
    }
    void Paragraph(LONG at, const std::function<void(PARAFORMAT2&)>& fill) {
        Select(at, at);
        PARAFORMAT2 pf{};
        pf.cbSize = sizeof pf;
        fill(pf);
        ASSERT_NE(Send(EM_SETPARAFORMAT, 0, &pf), 0);
    }
    void ExpectRoundTrip() {
        const std::u16string text = Text();
        const std::string before = Dump();
        DWORD error = 1;
        const std::string rtf = StreamOut(SF_RTF, &error);
        ASSERT_EQ(error, 0u);
        SetText(u"x");
        StreamIn(SF_RTF, rtf, &error, 64);
        ASSERT_EQ(error, 0u) << rtf;
        EXPECT_EQ(Text(), text);
        const std::string after = Dump();
        EXPECT_EQ(after.size(), before.size());
        for (std::size_t i = 0; i < std::min(after.size(), before.size()); ++i) {
            if (after[i] != before[i]) {
                const std::size_t record = sizeof(CHARFORMAT2W) + sizeof(PARAFORMAT2);
                ADD_FAILURE() << "format differs at character " << i / record << ", byte "
                              << i % record << "\n"
                              << rtf;
                break;
            }
        }
        // And the second writing is byte for byte the first.
        EXPECT_EQ(StreamOut(SF_RTF, &error), rtf);
    }
};

TEST_F(RtfTest, EmptyDocumentIsAValidDocument) {
    DWORD error = 1;
    const std::string rtf = StreamOut(SF_RTF, &error);
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(rtf.rfind("{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang", 0), 0u) << rtf;
    EXPECT_EQ(std::count(rtf.begin(), rtf.end(), '{'), std::count(rtf.begin(), rtf.end(), '}'));
    SetText(u"something");
    StreamIn(SF_RTF, rtf, &error);
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(Text(), u"");
}

TEST_F(RtfTest, DocumentShapeOtherReadersNeed) {
    SetCharFormat(SCF_DEFAULT, CFM_FACE, 0, [](CHARFORMAT2W& cf) {
        const std::u16string face = u"Kelvor32 Teminal 0";
        std::copy(face.begin(), face.end(), cf.szFaceName);
        cf.bPitchAndFamily = 0;
    });
    SetText(u"0101\r{braces} \\ back\tslash \u03a9\u00e9");
    Format(0, 2, CFM_COLOR, 0, [](CHARFORMAT2W& cf) { cf.crTextColor = RGB(255, 0, 0); });
    DWORD error = 1;
    const std::string rtf = StreamOut(SF_RTF, &error);
    EXPECT_NE(rtf.find("\\uc1"), std::string::npos);
    EXPECT_NE(rtf.find("\\fmodern\\fprq1\\fcharset0\\kvpf0 Kelvor32 Teminal 0;"), std::string::npos)
        << rtf;
    EXPECT_NE(rtf.find("{\\colortbl ;\\red255\\green0\\blue0;}"), std::string::npos);
    EXPECT_NE(rtf.find("\\{braces\\} \\\\ back\\tab slash \\u937?\\'e9"), std::string::npos) << rtf;
    EXPECT_EQ(std::count(rtf.begin(), rtf.end(), '{'), std::count(rtf.begin(), rtf.end(), '}'));
    // One \par per paragraph, the final mark's included.
    std::size_t pars = 0;
    for (std::size_t at = rtf.find("\\par"); at != std::string::npos;
         at = rtf.find("\\par", at + 1)) {
        pars += rtf.compare(at, 5, "\\pard") != 0;
    }
    EXPECT_EQ(pars, 2u);
    for (char c : rtf) {
        EXPECT_LT(static_cast<unsigned char>(c), 0x80);
    }
}

TEST_F(RtfTest, EveryCharacterFormatSurvivesARoundTrip) {
    SetText(u"abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJ\u4e00\U0001F600\u00e9\u0416.");
    const DWORD effects[] = {CFE_BOLD,    CFE_ITALIC,    CFE_STRIKEOUT, CFE_PROTECTED,
                             CFE_LINK,    CFE_SMALLCAPS, CFE_ALLCAPS,   CFE_HIDDEN,
                             CFE_OUTLINE, CFE_SHADOW,    CFE_EMBOSS,    CFE_IMPRINT};
    LONG at = 0;
    for (DWORD e : effects) {
        Format(at, at + 1, e, e);
        ++at;
    }
    for (BYTE type = 1; type <= 12; ++type) {
        Format(at, at + 1, CFM_UNDERLINETYPE, 0,
               [type](CHARFORMAT2W& cf) { cf.bUnderlineType = type; });
        ++at;
    }
    FormatNext(at, CFM_SUBSCRIPT, CFE_SUBSCRIPT);
    FormatNext(at, CFM_SUPERSCRIPT, CFE_SUPERSCRIPT);
    FormatNext(at, CFM_OFFSET, 0, [](CHARFORMAT2W& cf) { cf.yOffset = -37; });
    FormatNext(at, CFM_OFFSET, 0, [](CHARFORMAT2W& cf) { cf.yOffset = 60; });
    FormatNext(at, CFM_SIZE, 0, [](CHARFORMAT2W& cf) { cf.yHeight = 213; });
    FormatNext(at, CFM_WEIGHT, 0, [](CHARFORMAT2W& cf) { cf.wWeight = 600; });
    FormatNext(at, CFM_WEIGHT, 0, [](CHARFORMAT2W& cf) { cf.wWeight = 300; });
    FormatNext(at, CFM_COLOR | CFM_BACKCOLOR, 0, [](CHARFORMAT2W& cf) {
        cf.crTextColor = RGB(1, 2, 3);
        cf.crBackColor = RGB(250, 240, 230);
    });
    FormatNext(at, CFM_LCID, 0, [](CHARFORMAT2W& cf) { cf.lcid = 1043; });
    FormatNext(at, CFM_LCID, 0, [](CHARFORMAT2W& cf) { cf.lcid = 0x00020404; });
    FormatNext(at, CFM_SPACING | CFM_KERNING, 0, [](CHARFORMAT2W& cf) {
        cf.sSpacing = -15;
        cf.wKerning = 27;
    });
    FormatNext(at, CFM_ANIMATION | CFM_STYLE | CFM_REVAUTHOR, 0, [](CHARFORMAT2W& cf) {
        cf.bAnimation = 3;
        cf.sStyle = 4;
        cf.bRevAuthor = 2;
    });
    Format(at, at + 4, CFM_FACE | CFM_CHARSET, 0, [](CHARFORMAT2W& cf) {
        const std::u16string face = u"Courier; New \u00c7";
        std::copy(face.begin(), face.end(), cf.szFaceName);
        cf.bCharSet = RUSSIAN_CHARSET;
        cf.bPitchAndFamily = FIXED_PITCH | FF_MODERN;
    });
    Format(at + 4, at + 6, CFM_FACE | CFM_CHARSET, 0, [](CHARFORMAT2W& cf) {
        const std::u16string face = u"Odd";
        std::copy(face.begin(), face.end(), cf.szFaceName);
        cf.bCharSet = SYMBOL_CHARSET;
        cf.bPitchAndFamily = 0x95;
    });
    ExpectRoundTrip();
}

TEST_F(RtfTest, EveryParagraphFormatSurvivesARoundTrip) {
    SetText(u"one\rtwo\rthree\rfour\rfive");
    Paragraph(0, [](PARAFORMAT2& pf) {
        pf.dwMask = PFM_ALIGNMENT | PFM_STARTINDENT | PFM_OFFSET | PFM_RIGHTINDENT | PFM_NUMBERING;
        pf.wAlignment = PFA_RIGHT;
        pf.dxStartIndent = 1440;
        pf.dxOffset = -360;
        pf.dxRightIndent = 100;
        pf.wNumbering = PFN_BULLET;
    });
    Paragraph(4, [](PARAFORMAT2& pf) {
        pf.dwMask = PFM_TABSTOPS | PFM_ALIGNMENT;
        pf.wAlignment = PFA_CENTER;
        pf.cTabCount = 5;
        pf.rgxTabs[0] = 720;
        pf.rgxTabs[1] = 1440 | (1 << 24) | (1 << 28);
        pf.rgxTabs[2] = 2160 | (2 << 24) | (5 << 28);
        pf.rgxTabs[3] = 2880 | (3 << 24);
        pf.rgxTabs[4] = 3600 | (4 << 24);
    });
    Paragraph(8, [](PARAFORMAT2& pf) {
        pf.dwMask = PFM_SPACEBEFORE | PFM_SPACEAFTER | PFM_LINESPACING | PFM_ALIGNMENT | PFM_KEEP |
                    PFM_KEEPNEXT | PFM_PAGEBREAKBEFORE | PFM_NOLINENUMBER | PFM_DONOTHYPHEN |
                    PFM_TABLE;
        pf.wAlignment = PFA_JUSTIFY;
        pf.dySpaceBefore = 11;
        pf.dySpaceAfter = 13;
        pf.bLineSpacingRule = 5;
        pf.dyLineSpacing = 30;
        pf.wEffects = 0x0002 | 0x0004 | 0x0008 | 0x0010 | 0x0040 | 0x4000;
    });
    Paragraph(14, [](PARAFORMAT2& pf) {
        pf.dwMask = PFM_LINESPACING | PFM_STYLE | PFM_SHADING | PFM_NUMBERINGSTART |
                    PFM_NUMBERINGSTYLE | PFM_NUMBERINGTAB | PFM_BORDER | PFM_RTLPARA;
        pf.bLineSpacingRule = 4;
        pf.dyLineSpacing = 333;
        pf.sStyle = -3;
        pf.wShadingWeight = 50;
        pf.wShadingStyle = 2;
        pf.wNumberingStart = 3;
        pf.wNumberingStyle = 0x200;
        pf.wNumberingTab = 200;
        pf.wBorderSpace = 1;
        pf.wBorderWidth = 2;
        pf.wBorders = 0x0F;
        pf.wEffects = 0x0001;
    });
    Paragraph(19, [](PARAFORMAT2& pf) {
        pf.dwMask = PFM_LINESPACING | PFM_OFFSET;
        pf.bLineSpacingRule = 3;
        pf.dyLineSpacing = 250;
        pf.dxOffset = 200;
    });
    ExpectRoundTrip();
}

TEST_F(RtfTest, CharactersOutsideTheCodePageAndOddText) {
    SetText(u"\u4e00\u0416\u00e9 \U0001F600 \u00a0\u00ad\u000b\ttab {x} \\y \ufffc\u2014");
    ExpectRoundTrip();
    // Cyrillic under a Russian font goes out as that code page's bytes.
    Select(1, 2);
    SetCharFormat(SCF_SELECTION, CFM_FACE | CFM_CHARSET, 0, [](CHARFORMAT2W& cf) {
        const std::u16string face = u"Cyr";
        std::copy(face.begin(), face.end(), cf.szFaceName);
        cf.bCharSet = RUSSIAN_CHARSET;
    });
    DWORD error = 0;
    EXPECT_NE(StreamOut(SF_RTF, &error).find("\\'c6"), std::string::npos);
    ExpectRoundTrip();
}

TEST_F(RtfTest, TextInEveryFontCodePageReadsBackOrFails) {
    // Shift JIS: the control bytes the IBM-derived tables trade among themselves.
    SetText(u"name");
    Select(0, 4);
    SetCharFormat(SCF_SELECTION, CFM_FACE | CFM_CHARSET, 0, [](CHARFORMAT2W& cf) {
        const std::u16string face = u"J\u001a\u001c\u007fp";
        std::copy(face.begin(), face.end(), cf.szFaceName);
        cf.bCharSet = SHIFTJIS_CHARSET;
    });
    ExpectRoundTrip();
    Select(0, 1);
    EXPECT_EQ(std::u16string(CharFormat(SCF_SELECTION).szFaceName), u"J\u001a\u001c\u007fp");
    DWORD error = 1;
    const std::string once = StreamOut(SF_RTF, &error);
    StreamIn(SF_RTF, once, &error);
    EXPECT_EQ(StreamOut(SF_RTF, &error), once);

    // Johab has no converter here: its text is an error, never a silent gap; its ASCII
    // (font names, text) reads.
    const std::string cases[] = {
        "{\\rtf1{\\fonttbl{\\f0\\fcharset130 Batang;}}\\f0 a\\'88\\'61b}",
        "{\\rtf1{\\fonttbl{\\f0\\fcharset130 \\'88\\'61;}}\\f0 ab}",
        "{\\rtf1{\\fonttbl{\\f0\\cpg12345 Odd;}}\\f0 a\\'e9b}",
    };
    for (const std::string& rtf : cases) {
        SetText(u"kept");
        StreamIn(SF_RTF, rtf, &error);
        EXPECT_EQ(error, RICHEDIT_ERROR_NOTRANSLATION) << rtf;
        EXPECT_EQ(Text(), u"kept") << rtf;
    }
    StreamIn(SF_RTF, "{\\rtf1{\\fonttbl{\\f0\\fcharset130 Batang;}}\\f0 ab\\'41}", &error);
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(Text(), u"abA");
    Select(0, 1);
    EXPECT_EQ(std::u16string(CharFormat(SCF_SELECTION).szFaceName), u"Batang");
}

TEST_F(RtfTest, UnicodeEscapesAreSigned16BitValues) {
    const std::pair<std::string, std::u16string> cases[] = {
        {"{\\rtf1 \\u65?\\u-4064?\\u-32768?\\u65535?\\u32767?}", u"A\uf020\u8000\uffff\u7fff"},
        // Beyond 16 bits the word names nothing: its fallback stands, nothing wraps around.
        {"{\\rtf1 \\u65601?x}", u"?x"},
        {"{\\rtf1 \\u-32769 ab}", u"ab"},
        {"{\\rtf1 \\uc2\\u2147483647 xyz}", u"xyz"},
        // \u0 reads as a NUL byte does: a space, so the document never holds a NUL.
        {"{\\rtf1 a\\u0?b}", u"a b"},
        {std::string("{\\rtf1 a\0b}", 11), u"a b"},
        {"{\\rtf1{\\fonttbl{\\f1\\fcharset2 Symbol;}}a\\'00b{\\f1\\'00}}", u"a b "},
    };
    for (const auto& [rtf, text] : cases) {
        DWORD error = 1;
        StreamIn(SF_RTF, rtf, &error);
        EXPECT_EQ(error, 0u) << rtf;
        EXPECT_EQ(Text(), text) << rtf;
    }
    // In a font name too.
    DWORD error = 1;
    StreamIn(SF_RTF, "{\\rtf1{\\fonttbl{\\f0 A\\u66?\\u70000?C;}}\\f0 x}", &error);
    ASSERT_EQ(error, 0u);
    Select(0, 1);
    EXPECT_EQ(std::u16string(CharFormat(SCF_SELECTION).szFaceName), u"AB?C");
}

TEST_F(RtfTest, ReaderHandlesWhatWriterLikeDocumentsHold) {
    const std::string rtf =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\fcharset204 Cyr;}"
        "{\\f2\\fnil\\fcharset128 Jp;}}"
        "{\\colortbl;\\red0\\green0\\blue255;}"
        "{\\*\\generator Something;}{\\info{\\title T}{\\author A}}"
        "{\\stylesheet{\\s0 Normal;}}"
        "\\pard\\plain Caf\\'e9 {\\f1 \\'c6}\\u8364\\'80 {\\uc2\\u1046 xx}y \\{\\}\\\\"
        "\\line a\\tab b\\~c\\emdash d {\\b bold {\\i both} bold}plain\\par\n"
        "{\\f2 \\'93\\'fa}{\\*\\unknowndest skipped {nested}}\\bin3 {}\\ \\ignoredword z"
        "{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt link}}"
        "{\\pntext \\'b7\\tab}{\\*\\pn\\pnlvlblt}{\\cf1 blue}"
        "{\\upr{8-bit copy}{\\*\\ud{\\u1046?}}}\\par}";
    DWORD error = 1;
    StreamIn(SF_RTF, rtf, &error);
    ASSERT_EQ(error, 0u);
    EXPECT_EQ(Text(),
              u"Caf\u00e9 \u0416\u20ac \u0416y {}\\\u000ba\tb\u00a0c\u2014d bold both boldplain\r"
              u"\u65e5 zlinkblue\u0416");
    // Formats are scoped by groups.
    const std::u16string text = Text();
    const auto bold = LONG(text.find(u"bold"));
    Select(bold, bold + 4);
    EXPECT_TRUE(CharFormat(SCF_SELECTION).dwEffects & CFE_BOLD);
    const auto both = LONG(text.find(u"both"));
    Select(both, both + 4);
    EXPECT_TRUE(CharFormat(SCF_SELECTION).dwEffects & CFE_ITALIC);
    const auto plain = LONG(text.find(u"plain"));
    Select(plain, plain + 5);
    EXPECT_FALSE(CharFormat(SCF_SELECTION).dwEffects & (CFE_BOLD | CFE_ITALIC));
    const auto blue = LONG(text.find(u"blue"));
    Select(blue, blue + 4);
    EXPECT_EQ(CharFormat(SCF_SELECTION).crTextColor, RGB(0, 0, 255));
    Select(0, 1);
    EXPECT_EQ(std::u16string(CharFormat(SCF_SELECTION).szFaceName), u"Arial");
}

TEST_F(RtfTest, MalformedInputGivesAnErrorNeverACrash) {
    const std::string cases[] = {
        "{\\rtf1 unbalanced",
        "{\\rtf1 \\'4",
        "{\\rtf1 \\'zz}",
        "{\\rtf1 \\b99999999999 x}",
        "{\\rtf1 \\bin999999 x}",
        "{\\rtf1 \\bin-5 x}",
        "{\\rtf1 \\",
        "{\\rtf1 }}}}",
        std::string("{\\rtf1 ") + std::string(200000, '{'),
        std::string("{\\rtf1 ") + std::string(100000, '{') + std::string(100000, '}') + "}",
        "{\\rtf",
        "",
        "{\\rtf1 {\\fonttbl{\\f0 unterminated",
        "{\\rtf1 {\\colortbl\\red999\\green-4;}\\cf99 x}",
        "{\\rtf1 \\uc999999 \\u-99999 x}",
    };
    for (const std::string& input : cases) {
        SetText(u"kept");
        DWORD error = 0;
        StreamIn(SF_RTF, input, &error, 1000);
        const bool ok = error == 0;
        if (!ok) {
            EXPECT_EQ(Text(), u"kept") << input.substr(0, 40);
        }
        // A few of these are readable after all (closing extra braces are ignored); the
        // rest must be reported.
        if (input.find("unbalanced") != std::string::npos ||
            input.find("\\'4") != std::string::npos ||
            input.find("999999999") != std::string::npos ||
            input.find("bin") != std::string::npos || input.size() > 150000 || input.size() < 6 ||
            input.find("unterminated") != std::string::npos) {
            EXPECT_FALSE(ok) << input.substr(0, 40);
        }
    }
}

TEST_F(RtfTest, ReadsWhatLibreOfficeWrites) {
    DWORD error = 1;
    StreamIn(SF_RTF, testsupport::ReadFile(KELVOR_FIXTURES "/libreoffice-formatted.rtf"), &error);
    ASSERT_EQ(error, 0u);
    const std::u16string text = Text();
    EXPECT_EQ(
        text,
        u"plain bold italic under red gone\r\u041f\u0440\u0438\u0432\u0435\u0442 "
        u"\u043c\u0438\u0440 \u263a \u4e2d\u6587 Gr\u00fc\u00dfe\rfirst line\u000bsecond line");
    const auto check = [&](const std::u16string& word, DWORD effect) {
        const auto at = LONG(text.find(word));
        Select(at, at + LONG(word.size()));
        DWORD mask = 0;
        const CHARFORMAT2W cf = CharFormat(SCF_SELECTION, &mask);
        EXPECT_TRUE(cf.dwEffects & effect) << std::string(word.begin(), word.end());
    };
    check(u"bold", CFE_BOLD);
    check(u"italic", CFE_ITALIC);
    check(u"under", CFE_UNDERLINE);
    check(u"gone", CFE_STRIKEOUT);
    const auto red = LONG(text.find(u"red"));
    Select(red, red + 3);
    EXPECT_EQ(CharFormat(SCF_SELECTION).crTextColor, RGB(255, 0, 0));

    StreamIn(SF_RTF, testsupport::ReadFile(KELVOR_FIXTURES "/libreoffice-table.rtf"), &error);
    ASSERT_EQ(error, 0u);
    EXPECT_EQ(Text(), u"before\ra1\tb1\ra2\tb2\rafter");
}

// LibreOffice must read our files back to the same text. Skipped where it is not installed,
// except under CI, which installs it.
TEST_F(RtfTest, LibreOfficeReadsOurRtf) {
    KELVOR_REQUIRE_LIBREOFFICE();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SetCharFormat(SCF_DEFAULT, CFM_FACE | CFM_SIZE, 0, [](CHARFORMAT2W& cf) {
        const std::u16string face = u"Kelvor32 Teminal 0";
        std::copy(face.begin(), face.end(), cf.szFaceName);
        cf.yHeight = 195;
    });
    const std::u16string text =
        u"Connected to 127.0.0.1 / 1236\r0110100101101001\r\u00e9\u4e00\u0416 {x} \\ "
        u"tab\there\r*****\r";
    SetText(text);
    Select(0, 9);
    SetCharFormat(SCF_SELECTION, CFM_BOLD | CFM_COLOR, CFE_BOLD,
                  [](CHARFORMAT2W& cf) { cf.crTextColor = RGB(255, 0, 0); });
    DWORD error = 1;
    const std::string rtf = StreamOut(SF_RTF, &error);
    ASSERT_EQ(error, 0u);
    const QString input = dir.filePath("stream file .rtf");
    {
        QFile file(input);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(rtf.data(), qint64(rtf.size()));
    }
    QString expected = QString::fromStdU16String(text);
    expected.replace('\r', "\n");
    expected += "\n"; // the final paragraph mark ends a paragraph too
    EXPECT_EQ(testsupport::LibreOfficeText(input.toStdString()), expected.toStdString());
}

} // namespace
