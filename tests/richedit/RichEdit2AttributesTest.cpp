// Character and paragraph attributes of the rich text control, checked against the platform
// control's own formats as EM_GETCHARFORMAT and EM_GETPARAFORMAT report them.

#include "RichEditControlFixture.h"
#include "framework/Exceptions.h"

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

CHARFORMAT2W EmptyCharFormat() {
    CHARFORMAT2W cf;
    std::memset(&cf, 0, sizeof(cf));
    cf.cbSize = sizeof(cf);
    return cf;
}

PARAFORMAT2 EmptyParaFormat() {
    PARAFORMAT2 pf;
    std::memset(&pf, 0, sizeof(pf));
    pf.cbSize = sizeof(pf);
    return pf;
}

std::u16string FaceOf(const CHARFORMAT2W& cf) {
    return std::u16string(cf.szFaceName);
}

class RichEditAttributesTest : public RichEditControlTest {
protected:
    // "alpha" 0-5, "beta" 6-10, "gamma" 11-16.
    void SetUpText() {
        edit_->SetText("alpha beta gamma");
        ASSERT_EQ(WindowText(), u"alpha beta gamma");
    }
    void Select(LONG from, LONG to) {
        CHARRANGE range{from, to};
        Send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    }
    // The format of a range as the window reports it; the selection is put back afterwards.
    CHARFORMAT2W RangeFormat(LONG from, LONG to) {
        CHARRANGE saved{};
        Send(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&saved));
        Select(from, to);
        CHARFORMAT2W cf = SelectionFormat();
        Send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&saved));
        return cf;
    }
    CHARFORMAT2W SelectionFormat() {
        CHARFORMAT2W cf = EmptyCharFormat();
        Send(EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
        return cf;
    }
    CHARFORMAT2W DefaultFormat() {
        CHARFORMAT2W cf = EmptyCharFormat();
        Send(EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf));
        return cf;
    }
    bool RangeIsBold(LONG from, LONG to) {
        const CHARFORMAT2W cf = RangeFormat(from, to);
        return (cf.dwMask & CFM_BOLD) && (cf.dwEffects & CFE_BOLD);
    }
    bool RangeIsPlain(LONG from, LONG to) {
        const CHARFORMAT2W cf = RangeFormat(from, to);
        return (cf.dwMask & CFM_BOLD) && !(cf.dwEffects & CFE_BOLD);
    }
    // Writes a raw character format to the selection, bypassing the attribute objects.
    void SetSelectionRaw(CHARFORMAT2W cf) {
        ASSERT_NE(Send(EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf)), 0);
    }
    PARAFORMAT2 ParaFormat() {
        PARAFORMAT2 pf = EmptyParaFormat();
        Send(EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&pf));
        return pf;
    }
    void SetParaRaw(PARAFORMAT2 pf) {
        ASSERT_NE(Send(EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&pf)), 0);
    }

    TTextAttributes20* Sel() { return edit_->SelectionAttributes(); }
    TTextAttributes20* Def() { return edit_->DefaultAttributes(); }
    TParaAttributes20* Para() { return edit_->ParagraphAttributes(); }
};

// --- which text a character change reaches --------------------------------------------------

TEST_F(RichEditAttributesTest, EmptySelectionWithWordFormattingFormatsTheWordAtTheCaret) {
    SetUpText();
    ASSERT_TRUE(edit_->WordFormatting());
    Select(8, 8); // inside "beta"
    Sel()->SetBold(true);
    EXPECT_TRUE(RangeIsBold(6, 10));
    EXPECT_TRUE(RangeIsPlain(0, 5));
    EXPECT_TRUE(RangeIsPlain(11, 16));
}

TEST_F(RichEditAttributesTest, NonEmptySelectionFormatsOnlyTheSelection) {
    SetUpText();
    Select(7, 9); // "et" of "beta"
    Sel()->SetBold(true);
    EXPECT_TRUE(RangeIsBold(7, 9));
    EXPECT_TRUE(RangeIsPlain(6, 7));
    EXPECT_TRUE(RangeIsPlain(9, 10));
    EXPECT_TRUE(RangeIsPlain(0, 5));
}

TEST_F(RichEditAttributesTest, WithoutWordFormattingAnEmptySelectionSetsOnlyTheInsertionFormat) {
    SetUpText();
    edit_->SetWordFormatting(false);
    Select(8, 8);
    Sel()->SetBold(true);
    // The caret's own format is bold, and text typed there takes it...
    EXPECT_TRUE(Sel()->Bold());
    Send(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>("X"));
    ASSERT_EQ(WindowText(), u"alpha beXta gamma");
    EXPECT_TRUE(RangeIsBold(8, 9));
    // ...but the word around it is untouched.
    EXPECT_TRUE(RangeIsPlain(6, 8));
    EXPECT_TRUE(RangeIsPlain(9, 11));
}

TEST_F(RichEditAttributesTest, DefaultAndSelectionKindsReachDifferentFormats) {
    SetUpText();
    Select(6, 10);
    // Text that has no size of its own follows the default; give the selection its own.
    Sel()->SetSize(9);
    EXPECT_EQ(SelectionFormat().yHeight, 180);

    Def()->SetSize(20);
    EXPECT_EQ(DefaultFormat().yHeight, 400);
    EXPECT_EQ(SelectionFormat().yHeight, 180);

    Sel()->SetSize(18);
    EXPECT_EQ(SelectionFormat().yHeight, 360);
    EXPECT_EQ(DefaultFormat().yHeight, 400);
    EXPECT_EQ(Sel()->Size(), 18);
    EXPECT_EQ(Def()->Size(), 20);
}

// --- property conversions ------------------------------------------------------------------

TEST_F(RichEditAttributesTest, WindowTextColourIsTheAutomaticColour) {
    SetUpText();
    Select(0, 5);
    Sel()->SetColor(clRed);
    CHARFORMAT2W cf = SelectionFormat();
    EXPECT_FALSE(cf.dwEffects & CFE_AUTOCOLOR);
    EXPECT_EQ(cf.crTextColor, COLORREF(clRed));
    EXPECT_EQ(Sel()->Color(), clRed);

    Sel()->SetColor(clWindowText);
    cf = SelectionFormat();
    EXPECT_TRUE(cf.dwEffects & CFE_AUTOCOLOR);
    EXPECT_EQ(Sel()->Color(), clWindowText);

    // Any other system colour is stored as the RGB value it stands for, and reads as that.
    Sel()->SetColor(clHighlight);
    cf = SelectionFormat();
    EXPECT_FALSE(cf.dwEffects & CFE_AUTOCOLOR);
    EXPECT_EQ(cf.crTextColor, ColorToRGB(clHighlight));
    EXPECT_EQ(Sel()->Color(), TColor(ColorToRGB(clHighlight)));

    Sel()->SetBackColor(clBtnFace);
    EXPECT_EQ(SelectionFormat().crBackColor, ColorToRGB(clBtnFace));
    EXPECT_EQ(Sel()->BackColor(), TColor(ColorToRGB(clBtnFace)));
}

TEST_F(RichEditAttributesTest, PointsAreTwipsInTheWindowAndReadsTruncateTowardZero) {
    SetUpText();
    Select(0, 5);
    Sel()->SetSize(10);
    EXPECT_EQ(SelectionFormat().yHeight, 200);

    CHARFORMAT2W cf = EmptyCharFormat();
    cf.dwMask = CFM_SIZE | CFM_OFFSET | CFM_SPACING | CFM_KERNING;
    cf.yHeight = 199;
    cf.yOffset = -199;
    cf.sSpacing = 39;
    cf.wKerning = 41;
    SetSelectionRaw(cf);
    EXPECT_EQ(Sel()->Size(), 9);
    EXPECT_EQ(Sel()->Offset(), -9); // not -10
    EXPECT_EQ(Sel()->Spacing(), 1);
    EXPECT_EQ(Sel()->Kerning(), 2);

    Sel()->SetOffset(-3);
    Sel()->SetSpacing(2);
    Sel()->SetKerning(12);
    cf = SelectionFormat();
    EXPECT_EQ(cf.yOffset, -60);
    EXPECT_EQ(cf.sSpacing, 40);
    EXPECT_EQ(cf.wKerning, 240);
}

TEST_F(RichEditAttributesTest, FaceNamesAreCutTo31Characters) {
    SetUpText();
    Select(0, 5);
    const std::string longName = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmn"; // 40 characters
    Sel()->SetName(longName);
    const CHARFORMAT2W cf = SelectionFormat();
    EXPECT_EQ(FaceOf(cf), u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcde");
    EXPECT_EQ(Sel()->Name(), longName.substr(0, 31));

    // Exactly 31 characters fit whole.
    Sel()->SetName(longName.substr(9, 31));
    EXPECT_EQ(Sel()->Name(), longName.substr(9, 31));
}

TEST_F(RichEditAttributesTest, FaceNamesUseTheSystemCodePage) {
    if (GetACP() != 1252) {
        GTEST_SKIP() << "the system code page is " << GetACP() << ", not 1252";
    }
    SetUpText();
    Select(0, 5);
    Sel()->SetName("Caf\xE9 Sans");
    EXPECT_EQ(FaceOf(SelectionFormat()), u"Caf\u00E9 Sans");
    EXPECT_EQ(Sel()->Name(), "Caf\xE9 Sans");
}

TEST_F(RichEditAttributesTest, FlagsScriptPositionAndUnderlineReadTheirOwnBits) {
    SetUpText();
    Select(0, 5);
    struct Flag {
        const char* name;
        DWORD bit;
        std::function<void(bool)> set;
        std::function<bool()> get;
    };
    TTextAttributes20* a = Sel();
    const std::vector<Flag> flags = {
        {"Bold", CFE_BOLD, [a](bool v) { a->SetBold(v); }, [a] { return a->Bold(); }},
        {"Italic", CFE_ITALIC, [a](bool v) { a->SetItalic(v); }, [a] { return a->Italic(); }},
        {"StrikeOut", CFE_STRIKEOUT, [a](bool v) { a->SetStrikeOut(v); },
         [a] { return a->StrikeOut(); }},
        {"Link", CFE_LINK, [a](bool v) { a->SetLink(v); }, [a] { return a->Link(); }},
        {"SmallCaps", CFE_SMALLCAPS, [a](bool v) { a->SetSmallCaps(v); },
         [a] { return a->SmallCaps(); }},
        {"AllCaps", CFE_ALLCAPS, [a](bool v) { a->SetAllCaps(v); }, [a] { return a->AllCaps(); }},
        {"Hidden", CFE_HIDDEN, [a](bool v) { a->SetHidden(v); }, [a] { return a->Hidden(); }},
        {"Outline", CFE_OUTLINE, [a](bool v) { a->SetOutline(v); }, [a] { return a->Outline(); }},
        {"Shadow", CFE_SHADOW, [a](bool v) { a->SetShadow(v); }, [a] { return a->Shadow(); }},
        {"Emboss", CFE_EMBOSS, [a](bool v) { a->SetEmboss(v); }, [a] { return a->Emboss(); }},
        {"Imprint", CFE_IMPRINT, [a](bool v) { a->SetImprint(v); }, [a] { return a->Imprint(); }},
    };
    for (const Flag& flag : flags) {
        SCOPED_TRACE(flag.name);
        flag.set(true);
        EXPECT_TRUE(SelectionFormat().dwEffects & flag.bit);
        EXPECT_TRUE(flag.get());
        // Every other flag is still off: each write carries its own mask bit only.
        for (const Flag& other : flags) {
            if (&other != &flag) {
                EXPECT_FALSE(other.get()) << other.name;
            }
        }
        flag.set(false);
        EXPECT_FALSE(SelectionFormat().dwEffects & flag.bit);
        EXPECT_FALSE(flag.get());
    }

    a->SetScriptPosition(spSuperscript);
    EXPECT_EQ(SelectionFormat().dwEffects & (CFE_SUBSCRIPT | CFE_SUPERSCRIPT), CFE_SUPERSCRIPT);
    EXPECT_EQ(a->ScriptPosition(), spSuperscript);
    a->SetScriptPosition(spSubscript);
    EXPECT_EQ(SelectionFormat().dwEffects & (CFE_SUBSCRIPT | CFE_SUPERSCRIPT), CFE_SUBSCRIPT);
    EXPECT_EQ(a->ScriptPosition(), spSubscript);
    a->SetScriptPosition(spNormal);
    EXPECT_EQ(SelectionFormat().dwEffects & (CFE_SUBSCRIPT | CFE_SUPERSCRIPT), 0u);
    EXPECT_EQ(a->ScriptPosition(), spNormal);

    // Underline type shows only while the underline effect is on.
    a->SetUnderlineType(CFU_UNDERLINEDOUBLE);
    EXPECT_EQ(a->UnderlineType(), CFU_UNDERLINEDOUBLE);
    CHARFORMAT2W off = EmptyCharFormat();
    off.dwMask = CFM_UNDERLINE; // effect bit left 0
    SetSelectionRaw(off);
    EXPECT_EQ(a->UnderlineType(), CFU_UNDERLINENONE);
}

TEST_F(RichEditAttributesTest, WritingOnePropertyLeavesTheOthersAsTheyWere) {
    SetUpText();
    Select(0, 5);
    TTextAttributes20* a = Sel();
    a->SetColor(clNavy);
    a->SetName("DejaVu Serif");
    a->SetSize(14);
    a->SetItalic(true);
    a->SetUnderlineType(CFU_UNDERLINEDOTTED);
    a->SetBackColor(clYellow);
    a->SetLanguage(1043);
    a->SetOffset(2);
    a->SetAnimation(3);

    // Each property with the value set above.
    const std::vector<std::pair<std::string, std::function<bool()>>> kept = {
        {"Color", [a] { return a->Color() == clNavy; }},
        {"Name", [a] { return a->Name() == "DejaVu Serif"; }},
        {"Size", [a] { return a->Size() == 14; }},
        {"Italic", [a] { return a->Italic(); }},
        {"UnderlineType", [a] { return a->UnderlineType() == CFU_UNDERLINEDOTTED; }},
        {"BackColor", [a] { return a->BackColor() == clYellow; }},
        {"Language", [a] { return a->Language() == 1043; }},
        {"Offset", [a] { return a->Offset() == 2; }},
        {"Animation", [a] { return a->Animation() == 3; }},
        {"Bold", [a] { return !a->Bold(); }},
    };
    auto expectUnchangedExcept = [&](const std::string& changed) {
        for (const auto& [name, holds] : kept) {
            if (name != changed) {
                EXPECT_TRUE(holds()) << name << " changed by writing " << changed;
            }
        }
    };
    expectUnchangedExcept("");
    a->SetSize(9);
    expectUnchangedExcept("Size");
    a->SetSize(14);
    a->SetColor(clWindowText);
    expectUnchangedExcept("Color");
    a->SetColor(clNavy);
    a->SetBold(true);
    expectUnchangedExcept("Bold");
    a->SetBold(false);
    a->SetLanguage(1049);
    expectUnchangedExcept("Language");
    a->SetLanguage(1043);
    a->SetName("DejaVu Sans Mono");
    expectUnchangedExcept("Name");
    a->SetName("DejaVu Serif");
    a->SetItalic(false);
    expectUnchangedExcept("Italic");
}

TEST_F(RichEditAttributesTest, PitchChangesKeepTheFaceAndNeedOneFace) {
    SetUpText();
    Select(0, 5);
    Sel()->SetName("DejaVu Sans Mono");
    Sel()->SetPitch(fpFixed);
    EXPECT_EQ(Sel()->Pitch(), fpFixed);
    EXPECT_EQ(SelectionFormat().bPitchAndFamily & 0x0F, FIXED_PITCH);
    EXPECT_EQ(Sel()->Name(), "DejaVu Sans Mono");
    Sel()->SetPitch(fpVariable);
    EXPECT_EQ(Sel()->Pitch(), fpVariable);
    Sel()->SetPitch(fpDefault);
    EXPECT_EQ(Sel()->Pitch(), fpDefault);

    // Over two faces a pitch write would have to pick one of them; it changes nothing.
    Select(6, 10);
    Sel()->SetName("DejaVu Serif");
    Select(0, 10);
    Sel()->SetPitch(fpFixed);
    EXPECT_EQ(FaceOf(RangeFormat(0, 5)), u"DejaVu Sans Mono");
    EXPECT_EQ(FaceOf(RangeFormat(6, 10)), u"DejaVu Serif");
    EXPECT_EQ(RangeFormat(0, 5).bPitchAndFamily & 0x0F, DEFAULT_PITCH);
}

// --- without a window ----------------------------------------------------------------------

// A control on a form whose windows have not been made yet.
class RichEditAttributesWithoutWindow : public ::testing::Test {
protected:
    void SetUp() override {
        form_ = std::make_unique<TForm>(nullptr);
        edit_ = new TRichEdit20(form_.get());
        edit_->SetParent(form_.get());
        edit_->SetBounds(8, 8, 300, 100);
        ASSERT_FALSE(edit_->HandleAllocated());
    }
    std::unique_ptr<TForm> form_;
    TRichEdit20* edit_ = nullptr; // owned by the form
};

TEST_F(RichEditAttributesWithoutWindow, ReadsAreZeroAndCharacterWritesAreLost) {
    for (TTextAttributes20* a : {edit_->SelectionAttributes(), edit_->DefaultAttributes()}) {
        SCOPED_TRACE(a->AttributeType() == atSelected ? "selection" : "default");
        EXPECT_EQ(a->Color(), 0);
        EXPECT_EQ(a->Name(), "");
        EXPECT_EQ(a->Size(), 0);
        EXPECT_FALSE(a->Bold());
        EXPECT_EQ(a->Language(), 0);
        CHARFORMAT2W cf;
        std::memset(&cf, 0xAB, sizeof(cf));
        a->GetFormat(cf);
        EXPECT_EQ(cf.cbSize, sizeof(CHARFORMAT2W));
        EXPECT_EQ(cf.dwMask, 0u);
        EXPECT_EQ(cf.dwEffects, 0u);
        EXPECT_EQ(cf.szFaceName[0], 0);

        a->SetBold(true);
        a->SetSize(33);
        a->SetName("DejaVu Serif");
        a->SetPitch(fpFixed);
        EXPECT_FALSE(edit_->HandleAllocated());
    }
    // The window made afterwards knows nothing of those writes.
    edit_->HandleNeeded();
    ASSERT_TRUE(edit_->HandleAllocated());
    EXPECT_FALSE(edit_->DefaultAttributes()->Bold());
    EXPECT_NE(edit_->DefaultAttributes()->Size(), 33);
    EXPECT_NE(edit_->DefaultAttributes()->Name(), "DejaVu Serif");
    EXPECT_FALSE(edit_->SelectionAttributes()->Bold());
}

TEST_F(RichEditAttributesWithoutWindow, ParagraphWritesCreateTheWindowExtendedOnesDoNot) {
    TParaAttributes20* para = edit_->ParagraphAttributes();

    PARAFORMAT2 pf = EmptyParaFormat();
    pf.dwMask = PFM_ALIGNMENT;
    pf.wAlignment = PFA_CENTER;
    para->SetFormat2(pf);
    EXPECT_FALSE(edit_->HandleAllocated());
    PARAFORMAT2 read;
    std::memset(&read, 0xAB, sizeof(read));
    para->GetFormat2(read);
    EXPECT_EQ(read.cbSize, sizeof(PARAFORMAT2));
    EXPECT_EQ(read.dwMask, 0u);
    EXPECT_EQ(read.wAlignment, 0);
    EXPECT_EQ(para->FirstIndent(), 0);
    EXPECT_EQ(para->TabCount(), 0);
    EXPECT_FALSE(edit_->HandleAllocated());

    para->SetAlignment(taCenter);
    ASSERT_TRUE(edit_->HandleAllocated());
    EXPECT_EQ(para->Alignment(), taCenter);
}

// --- assignment ----------------------------------------------------------------------------

TEST_F(RichEditAttributesTest, AssignFromAFontTakesItsStyleAsFlags) {
    Def()->SetItalic(true);
    Def()->SetStrikeOut(true);
    TFont font;
    font.SetName("DejaVu Sans Mono");
    font.SetSize(12);
    font.SetColor(clMaroon);
    font.SetPitch(fpFixed);
    font.SetStyle({fsBold, fsUnderline});
    Def()->Assign(&font);

    EXPECT_TRUE(Def()->Bold());
    EXPECT_FALSE(Def()->Italic());
    EXPECT_FALSE(Def()->StrikeOut());
    EXPECT_EQ(Def()->UnderlineType(), CFU_UNDERLINE);
    EXPECT_EQ(Def()->Name(), "DejaVu Sans Mono");
    EXPECT_EQ(Def()->Size(), 12);
    EXPECT_EQ(Def()->Color(), clMaroon);
    EXPECT_EQ(Def()->Pitch(), fpFixed);
    const CHARFORMAT2W cf = DefaultFormat();
    EXPECT_EQ(cf.yHeight, 240);
    EXPECT_EQ(cf.crTextColor, COLORREF(clMaroon));

    // A font in the window text colour gives the automatic colour.
    font.SetColor(clWindowText);
    font.SetStyle({});
    Def()->Assign(&font);
    EXPECT_TRUE(DefaultFormat().dwEffects & CFE_AUTOCOLOR);
    EXPECT_FALSE(Def()->Bold());
    EXPECT_EQ(Def()->UnderlineType(), CFU_UNDERLINENONE);
}

TEST_F(RichEditAttributesTest, AssignToAFontCarriesStyleLanguageCharsetSizeAndPitch) {
    SetUpText();
    Select(0, 5);
    Sel()->SetName("DejaVu Serif");
    Sel()->SetSize(11);
    Sel()->SetColor(clGreen);
    Sel()->SetItalic(true);
    Sel()->SetUnderlineType(CFU_UNDERLINE);
    Sel()->SetStrikeOut(true); // not a style the font takes from here
    Sel()->SetLanguage(1049);
    Sel()->SetPitch(fpVariable);

    TFont font;
    font.SetStyle({fsStrikeOut});
    font.SetCharset(ANSI_CHARSET);
    font.Assign(Sel());
    EXPECT_EQ(font.Style(), TFontStyles({fsItalic, fsUnderline}));
    EXPECT_EQ(font.Name(), "DejaVu Serif");
    EXPECT_EQ(font.Size(), 11);
    EXPECT_EQ(font.Color(), clGreen);
    EXPECT_EQ(font.Charset(), RUSSIAN_CHARSET);
    EXPECT_EQ(font.Pitch(), fpVariable);

    Sel()->SetBold(true);
    font.Assign(Sel());
    EXPECT_EQ(font.Style(), TFontStyles({fsBold, fsItalic, fsUnderline}));

    // A language whose code page has no font character set leaves the font's own.
    Sel()->SetLanguage(1081);
    font.SetCharset(GREEK_CHARSET);
    font.Assign(Sel());
    EXPECT_EQ(font.Charset(), GREEK_CHARSET);

    Sel()->SetColor(clWindowText);
    font.Assign(Sel());
    EXPECT_EQ(font.Color(), clWindowText);
}

TEST_F(RichEditAttributesTest, AssignBetweenCharacterAttributesCopiesEveryProperty) {
    SetUpText();
    Select(0, 5);
    TTextAttributes20* s = Sel();
    s->SetColor(clPurple);
    s->SetName("DejaVu Sans Mono");
    s->SetSize(15);
    s->SetPitch(fpFixed);
    s->SetBackColor(clAqua);
    s->SetLanguage(1049);
    s->SetScriptPosition(spSuperscript);
    s->SetOffset(3);
    s->SetSpacing(2);
    s->SetKerning(4);
    s->SetUnderlineType(CFU_UNDERLINEWAVE);
    s->SetBold(true);
    s->SetWeight(600); // after Bold, which sets a weight of its own
    s->SetStrikeOut(true);
    s->SetAnimation(2);
    s->SetSmallCaps(true);
    s->SetHidden(true);
    s->SetShadow(true);
    s->SetImprint(true);
    s->SetLink(true);

    Def()->Assign(s);
    TTextAttributes20* d = Def();
    EXPECT_EQ(d->Color(), clPurple);
    EXPECT_EQ(d->Name(), "DejaVu Sans Mono");
    EXPECT_EQ(d->Size(), 15);
    EXPECT_EQ(d->Pitch(), fpFixed);
    EXPECT_EQ(d->BackColor(), clAqua);
    EXPECT_EQ(d->Language(), 1049);
    EXPECT_EQ(d->ScriptPosition(), spSuperscript);
    EXPECT_EQ(d->Offset(), 3);
    EXPECT_EQ(d->Spacing(), 2);
    EXPECT_EQ(d->Kerning(), 4);
    EXPECT_EQ(d->UnderlineType(), CFU_UNDERLINEWAVE);
    EXPECT_TRUE(d->Bold());
    EXPECT_EQ(d->Weight(), s->Weight());
    EXPECT_TRUE(d->StrikeOut());
    EXPECT_EQ(d->Animation(), 2);
    EXPECT_TRUE(d->SmallCaps());
    EXPECT_FALSE(d->AllCaps());
    EXPECT_TRUE(d->Hidden());
    EXPECT_FALSE(d->Outline());
    EXPECT_TRUE(d->Shadow());
    EXPECT_FALSE(d->Emboss());
    EXPECT_TRUE(d->Imprint());
    EXPECT_TRUE(d->Link());
    EXPECT_FALSE(d->Italic());
}

TEST_F(RichEditAttributesTest, AssignWithAnUnknownClassRaisesTheAssignmentError) {
    try {
        Sel()->Assign(Para());
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TParaAttributes20 to a TTextAttributes20");
    }
    EXPECT_THROW(Para()->Assign(Sel()), EConvertError);
}

// --- paragraphs ----------------------------------------------------------------------------

TEST_F(RichEditAttributesTest, ParagraphAlignmentAndIndentsInPoints) {
    SetUpText();
    Select(2, 2);
    const std::pair<TAlignment, WORD> alignments[] = {
        {taCenter, PFA_CENTER}, {taRightJustify, PFA_RIGHT}, {taLeftJustify, PFA_LEFT}};
    for (auto [alignment, raw] : alignments) {
        Para()->SetAlignment(alignment);
        EXPECT_EQ(ParaFormat().wAlignment, raw);
        EXPECT_EQ(Para()->Alignment(), alignment);
    }

    Para()->SetFirstIndent(12);
    Para()->SetLeftIndent(18);
    Para()->SetRightIndent(7);
    PARAFORMAT2 pf = ParaFormat();
    EXPECT_EQ(pf.dxStartIndent, 240);
    EXPECT_EQ(pf.dxOffset, 360);
    EXPECT_EQ(pf.dxRightIndent, 140);
    EXPECT_EQ(pf.wAlignment, PFA_LEFT); // the indents left the alignment alone

    pf = EmptyParaFormat();
    pf.dwMask = PFM_STARTINDENT | PFM_OFFSET | PFM_RIGHTINDENT;
    pf.dxStartIndent = 199;
    pf.dxOffset = -199;
    pf.dxRightIndent = 21;
    SetParaRaw(pf);
    EXPECT_EQ(Para()->FirstIndent(), 9);
    EXPECT_EQ(Para()->LeftIndent(), -9);
    EXPECT_EQ(Para()->RightIndent(), 1);
}

TEST_F(RichEditAttributesTest, TabStopsGrowTheCountToTheIndexWritten) {
    SetUpText();
    ASSERT_EQ(ParaFormat().cTabCount, 0);
    Para()->SetTab(0, 36);
    PARAFORMAT2 pf = ParaFormat();
    EXPECT_EQ(pf.cTabCount, 1);
    EXPECT_EQ(pf.rgxTabs[0], 720);
    EXPECT_EQ(Para()->Tab(0), 36);
    EXPECT_EQ(Para()->TabCount(), 1);

    Para()->SetTab(2, 108);
    pf = ParaFormat();
    EXPECT_EQ(pf.cTabCount, 3);
    EXPECT_EQ(pf.rgxTabs[0], 720); // kept
    EXPECT_EQ(pf.rgxTabs[2], 2160);

    // Rewriting an existing stop keeps the count.
    Para()->SetTab(0, 18);
    pf = ParaFormat();
    EXPECT_EQ(pf.cTabCount, 3);
    EXPECT_EQ(pf.rgxTabs[0], 360);

    Para()->SetTab(MAX_TAB_STOPS - 1, 500);
    EXPECT_EQ(Para()->TabCount(), MAX_TAB_STOPS);
    EXPECT_EQ(Para()->Tab(MAX_TAB_STOPS - 1), 500);

    // There is no stop past the last one: reading gives 0, writing changes nothing.
    Para()->SetTab(MAX_TAB_STOPS, 9);
    Para()->SetTab(255, 9);
    EXPECT_EQ(Para()->Tab(MAX_TAB_STOPS), 0);
    EXPECT_EQ(Para()->TabCount(), MAX_TAB_STOPS);
    EXPECT_EQ(Para()->Tab(0), 18);
}

TEST_F(RichEditAttributesTest, BulletsMakeRoomAndNoNumberingRemovesTheIndent) {
    SetUpText();
    Para()->SetLeftIndent(4);
    Para()->SetNumbering(nsBullet);
    PARAFORMAT2 pf = ParaFormat();
    EXPECT_EQ(pf.wNumbering, PFN_BULLET);
    EXPECT_EQ(pf.dxOffset, 200);
    EXPECT_EQ(Para()->Numbering(), nsBullet);

    Para()->SetLeftIndent(25);
    Para()->SetNumbering(nsBullet);
    EXPECT_EQ(Para()->LeftIndent(), 25);

    Para()->SetNumbering(nsNone);
    pf = ParaFormat();
    EXPECT_EQ(pf.wNumbering, 0);
    EXPECT_EQ(pf.dxOffset, 0);
    EXPECT_EQ(Para()->Numbering(), nsNone);
}

TEST_F(RichEditAttributesTest, AssignBetweenParagraphAttributesCopiesEveryProperty) {
    TRichEdit20* other = new TRichEdit20(form_.get());
    other->SetParent(form_.get());
    other->HandleNeeded();
    TParaAttributes20* source = other->ParagraphAttributes();
    SetUpText();

    // Target first holds values that must all be replaced, four tab stops among them.
    Para()->SetAlignment(taRightJustify);
    Para()->SetNumbering(nsBullet);
    for (BYTE i = 0; i < 4; ++i) {
        Para()->SetTab(i, 10 * (i + 1));
    }

    // No numbering and a left indent: the indent must survive the numbering's own rule.
    source->SetAlignment(taCenter);
    source->SetFirstIndent(5);
    source->SetLeftIndent(15);
    source->SetRightIndent(8);
    source->SetTab(0, 36);
    source->SetTab(1, 72);
    Para()->Assign(source);
    EXPECT_EQ(Para()->Alignment(), taCenter);
    EXPECT_EQ(Para()->FirstIndent(), 5);
    EXPECT_EQ(Para()->LeftIndent(), 15);
    EXPECT_EQ(Para()->RightIndent(), 8);
    EXPECT_EQ(Para()->Numbering(), nsNone);
    PARAFORMAT2 pf = ParaFormat();
    EXPECT_EQ(pf.cTabCount, 2);
    EXPECT_EQ(pf.rgxTabs[0], 720);
    EXPECT_EQ(pf.rgxTabs[1], 1440);

    // A bullet with less room than a bullet is given by default keeps that room.
    source->SetNumbering(nsBullet);
    source->SetLeftIndent(6);
    Para()->Assign(source);
    EXPECT_EQ(Para()->Numbering(), nsBullet);
    EXPECT_EQ(Para()->LeftIndent(), 6);

    // A source without tab stops gives a target without tab stops.
    PARAFORMAT2 noTabs = EmptyParaFormat();
    noTabs.dwMask = PFM_TABSTOPS;
    source->SetFormat2(noTabs);
    ASSERT_EQ(source->TabCount(), 0);
    Para()->Assign(source);
    EXPECT_EQ(ParaFormat().cTabCount, 0);
}

TEST_F(RichEditAttributesTest, ExtendedParagraphFormatPassesThroughUnchanged) {
    SetUpText();
    PARAFORMAT2 pf = EmptyParaFormat();
    pf.dwMask = PFM_SPACEBEFORE | PFM_ALIGNMENT;
    pf.dySpaceBefore = 240;
    pf.wAlignment = PFA_RIGHT;
    Para()->SetFormat2(pf);

    PARAFORMAT2 read;
    Para()->GetFormat2(read);
    EXPECT_EQ(read.cbSize, sizeof(PARAFORMAT2));
    EXPECT_EQ(read.dySpaceBefore, 240);
    EXPECT_EQ(read.wAlignment, PFA_RIGHT);
    EXPECT_EQ(Para()->Alignment(), taRightJustify);
}

} // namespace
