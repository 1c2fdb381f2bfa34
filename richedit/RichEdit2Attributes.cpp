// Character and paragraph attributes of the rich text control. Neither class keeps a copy of
// the format: each read asks the window and each write sends one change whose mask names
// only the field that changes, so formats the caller did not touch stay as they were.

#include "richedit/RichEdit2.h"

#include <algorithm>
#include <cstring>

namespace {

// Properties are whole points, the window works in twips.
constexpr int TwipsPerPoint = 20;

// Reads truncate toward zero (a stored 199 twips is 9 points, -199 is -9).
int PointsOf(long twips) {
    return static_cast<int>(twips / TwipsPerPoint);
}

// Writes multiply; the product wraps like the window's field instead of overflowing.
LONG TwipsOf(int points) {
    return static_cast<LONG>(static_cast<long long>(points) * TwipsPerPoint);
}

LPARAM AsLParam(void* structure) {
    return reinterpret_cast<LPARAM>(structure);
}

// A zero-filled character format that only carries its own size.
CHARFORMAT2W EmptyCharFormat() {
    CHARFORMAT2W Format;
    std::memset(&Format, 0, sizeof(Format));
    Format.cbSize = sizeof(Format);
    return Format;
}

template <class T> T EmptyParaFormat() {
    T Format;
    std::memset(&Format, 0, sizeof(Format));
    Format.cbSize = sizeof(Format);
    return Format;
}

BYTE PitchBits(TFontPitch Pitch) {
    switch (Pitch) {
    case fpVariable:
        return VARIABLE_PITCH;
    case fpFixed:
        return FIXED_PITCH;
    case fpDefault:
        break;
    }
    return DEFAULT_PITCH;
}

// A character format field held in twips, read and written in whole points.
template <class Field>
int PointsField(const TTextAttributes20& Attributes, Field CHARFORMAT2W::*Member) {
    CHARFORMAT2W Format;
    Attributes.GetFormat(Format);
    return PointsOf(long(Format.*Member));
}

template <class Field>
void SetPointsField(TTextAttributes20& Attributes, DWORD Mask, Field CHARFORMAT2W::*Member,
                    int Points) {
    CHARFORMAT2W Format = EmptyCharFormat();
    Format.dwMask = Mask;
    Format.*Member = Field(TwipsOf(Points));
    Attributes.SetFormat(Format);
}

} // namespace

// --- TTextAttributes20 ----------------------------------------------------------------------

TTextAttributes20::TTextAttributes20(TCustomRichEdit20* AOwner, TAttributeType AttributeType)
    : FRichEdit(AOwner), FType(AttributeType) {}

void TTextAttributes20::GetFormat(CHARFORMAT2W& Format) const {
    Format = EmptyCharFormat();
    // Without a window there is no format to ask for; the zeroed structure is the answer.
    if (!FRichEdit->HandleAllocated())
        return;
    const WPARAM Which = FType == atSelected ? SCF_SELECTION : SCF_DEFAULT;
    SendMessage(FRichEdit->Handle(), EM_GETCHARFORMAT, Which, AsLParam(&Format));
}

void TTextAttributes20::SetFormat(CHARFORMAT2W& Format) {
    WPARAM Which = SCF_DEFAULT;
    if (FType == atSelected) {
        CHARRANGE Selection{0, 0};
        if (FRichEdit->HandleAllocated())
            SendMessage(FRichEdit->Handle(), EM_EXGETSEL, 0, AsLParam(&Selection));
        // With nothing selected, word formatting applies the change to the word at the caret,
        // as a word processor does; otherwise only the selection (or the insertion format).
        if (Selection.cpMin != Selection.cpMax || !FRichEdit->WordFormatting())
            Which = SCF_SELECTION | SCF_USEUIRULES;
        else
            Which = SCF_SELECTION | SCF_WORD | SCF_USEUIRULES;
    }
    if (FRichEdit->HandleAllocated())
        SendMessage(FRichEdit->Handle(), EM_SETCHARFORMAT, Which, AsLParam(&Format));
}

void TTextAttributes20::Assign(TPersistent* Source) {
    if (auto* Other = dynamic_cast<TTextAttributes20*>(Source)) {
        SetColor(Other->Color());
        SetName(Other->Name());
        SetSize(Other->Size());
        SetPitch(Other->Pitch());
        SetBackColor(Other->BackColor());
        SetLanguage(Other->Language());
        SetScriptPosition(Other->ScriptPosition());
        SetOffset(Other->Offset());
        SetSpacing(Other->Spacing());
        SetKerning(Other->Kerning());
        SetUnderlineType(Other->UnderlineType());
        SetBold(Other->Bold());
        // The window ties bold to the weight; the weight goes after Bold so that a weight
        // between normal and bold survives the copy.
        SetWeight(Other->Weight());
        SetItalic(Other->Italic());
        SetStrikeOut(Other->StrikeOut());
        SetAnimation(Other->Animation());
        SetSmallCaps(Other->SmallCaps());
        SetAllCaps(Other->AllCaps());
        SetHidden(Other->Hidden());
        SetOutline(Other->Outline());
        SetShadow(Other->Shadow());
        SetEmboss(Other->Emboss());
        SetImprint(Other->Imprint());
        SetLink(Other->Link());
        return;
    }
    if (auto* Font = dynamic_cast<TFont*>(Source)) {
        // The font's character set is not copied: the window derives it from the language.
        SetColor(Font->Color());
        SetName(Font->Name());
        SetSize(Font->Size());
        SetPitch(Font->Pitch());
        const TFontStyles Style = Font->Style();
        SetBold(Style.Contains(fsBold));
        SetItalic(Style.Contains(fsItalic));
        SetStrikeOut(Style.Contains(fsStrikeOut));
        SetUnderlineType(Style.Contains(fsUnderline) ? CFU_UNDERLINE : CFU_UNDERLINENONE);
        return;
    }
    TPersistent::Assign(Source);
}

void TTextAttributes20::AssignTo(TPersistent* Dest) {
    auto* Font = dynamic_cast<TFont*>(Dest);
    if (!Font) {
        TPersistent::AssignTo(Dest);
        return;
    }
    Font->SetColor(Color());
    Font->SetName(Name());
    TFontStyles Style;
    if (Bold())
        Style.Include(fsBold);
    if (Italic())
        Style.Include(fsItalic);
    if (UnderlineType() != CFU_UNDERLINENONE)
        Style.Include(fsUnderline);
    Font->SetStyle(Style);
    // A language whose code page has no font character set leaves the font's own.
    BYTE Charset = 0;
    if (CharsetOfLanguage(Language(), Charset))
        Font->SetCharset(Charset);
    Font->SetSize(Size());
    Font->SetPitch(Pitch());
}

TColor TTextAttributes20::Color() const {
    CHARFORMAT2W Format;
    GetFormat(Format);
    if (Format.dwEffects & CFE_AUTOCOLOR)
        return clWindowText;
    return TColor(Format.crTextColor);
}

void TTextAttributes20::SetColor(TColor Value) {
    CHARFORMAT2W Format = EmptyCharFormat();
    Format.dwMask = CFM_COLOR;
    // The window text colour is the window's automatic colour, which follows the system's.
    if (Value == clWindowText)
        Format.dwEffects = CFE_AUTOCOLOR;
    else
        Format.crTextColor = ColorToRGB(Value);
    SetFormat(Format);
}

std::string TTextAttributes20::Name() const {
    CHARFORMAT2W Format;
    GetFormat(Format);
    const WCHAR* Face = Format.szFaceName;
    const WCHAR* End = std::find(Face, Face + LF_FACESIZE, WCHAR(0));
    return WideToAnsi(std::u16string(Face, End), CP_ACP);
}

void TTextAttributes20::SetName(const std::string& Value) {
    CHARFORMAT2W Format = EmptyCharFormat();
    Format.dwMask = CFM_FACE;
    const std::u16string Face = AnsiToWide(Value, CP_ACP);
    // The last of the LF_FACESIZE characters stays the terminating zero.
    const size_t Count = std::min(Face.size(), size_t(LF_FACESIZE - 1));
    std::copy_n(Face.begin(), Count, Format.szFaceName);
    SetFormat(Format);
}

TFontPitch TTextAttributes20::Pitch() const {
    CHARFORMAT2W Format;
    GetFormat(Format);
    switch (Format.bPitchAndFamily & 0x03) {
    case FIXED_PITCH:
        return fpFixed;
    case VARIABLE_PITCH:
        return fpVariable;
    default:
        return fpDefault;
    }
}

void TTextAttributes20::SetPitch(TFontPitch Value) {
    // The window takes the pitch only together with the face name. Send the face as it is, so
    // the pitch changes and nothing else does; when the text carries more than one face there
    // is no single face to keep, and the pitch is left alone.
    CHARFORMAT2W Format;
    GetFormat(Format);
    if (!(Format.dwMask & CFM_FACE))
        return;
    CHARFORMAT2W Change = EmptyCharFormat();
    Change.dwMask = CFM_FACE;
    std::copy_n(Format.szFaceName, LF_FACESIZE, Change.szFaceName);
    Change.bPitchAndFamily = BYTE((Format.bPitchAndFamily & 0xF0) | PitchBits(Value));
    SetFormat(Change);
}

int TTextAttributes20::Size() const {
    return PointsField(*this, &CHARFORMAT2W::yHeight);
}

void TTextAttributes20::SetSize(int Value) {
    SetPointsField(*this, CFM_SIZE, &CHARFORMAT2W::yHeight, Value);
}

WORD TTextAttributes20::Weight() const {
    CHARFORMAT2W Format;
    GetFormat(Format);
    return Format.wWeight;
}

void TTextAttributes20::SetWeight(WORD Value) {
    CHARFORMAT2W Format = EmptyCharFormat();
    Format.dwMask = CFM_WEIGHT;
    Format.wWeight = Value;
    SetFormat(Format);
}

TColor TTextAttributes20::BackColor() const {
    CHARFORMAT2W Format;
    GetFormat(Format);
    return TColor(Format.crBackColor);
}

void TTextAttributes20::SetBackColor(TColor Value) {
    CHARFORMAT2W Format = EmptyCharFormat();
    Format.dwMask = CFM_BACKCOLOR;
    Format.crBackColor = ColorToRGB(Value);
    SetFormat(Format);
}

TLanguage TTextAttributes20::Language() const {
    CHARFORMAT2W Format;
    GetFormat(Format);
    return TLanguage(Format.lcid & 0xFFFF);
}

void TTextAttributes20::SetLanguage(TLanguage Value) {
    CHARFORMAT2W Format = EmptyCharFormat();
    Format.dwMask = CFM_LCID;
    Format.lcid = Value;
    SetFormat(Format);
}

TScriptPosition TTextAttributes20::ScriptPosition() const {
    CHARFORMAT2W Format;
    GetFormat(Format);
    // Both bits at once contradict each other; neither wins, so a copy through Assign writes
    // normal text instead of passing the contradiction on.
    switch (Format.dwEffects & (CFE_SUBSCRIPT | CFE_SUPERSCRIPT)) {
    case CFE_SUBSCRIPT:
        return spSubscript;
    case CFE_SUPERSCRIPT:
        return spSuperscript;
    default:
        return spNormal;
    }
}

void TTextAttributes20::SetScriptPosition(TScriptPosition Value) {
    CHARFORMAT2W Format = EmptyCharFormat();
    Format.dwMask = CFM_SUBSCRIPT | CFM_SUPERSCRIPT;
    Format.dwEffects = DWORD(Value) << 16;
    SetFormat(Format);
}

int TTextAttributes20::Offset() const {
    return PointsField(*this, &CHARFORMAT2W::yOffset);
}

void TTextAttributes20::SetOffset(int Value) {
    SetPointsField(*this, CFM_OFFSET, &CHARFORMAT2W::yOffset, Value);
}

int TTextAttributes20::Spacing() const {
    return PointsField(*this, &CHARFORMAT2W::sSpacing);
}

void TTextAttributes20::SetSpacing(int Value) {
    SetPointsField(*this, CFM_SPACING, &CHARFORMAT2W::sSpacing, Value);
}

int TTextAttributes20::Kerning() const {
    return PointsField(*this, &CHARFORMAT2W::wKerning);
}

void TTextAttributes20::SetKerning(int Value) {
    SetPointsField(*this, CFM_KERNING, &CHARFORMAT2W::wKerning, Value);
}

BYTE TTextAttributes20::UnderlineType() const {
    CHARFORMAT2W Format;
    GetFormat(Format);
    // A stale type is kept beside a cleared underline effect; only the effect says it shows.
    return (Format.dwEffects & CFE_UNDERLINE) ? Format.bUnderlineType : CFU_UNDERLINENONE;
}

void TTextAttributes20::SetUnderlineType(BYTE Value) {
    CHARFORMAT2W Format = EmptyCharFormat();
    Format.dwMask = CFM_UNDERLINETYPE;
    Format.bUnderlineType = Value;
    SetFormat(Format);
}

BYTE TTextAttributes20::Animation() const {
    CHARFORMAT2W Format;
    GetFormat(Format);
    return Format.bAnimation;
}

void TTextAttributes20::SetAnimation(BYTE Value) {
    CHARFORMAT2W Format = EmptyCharFormat();
    Format.dwMask = CFM_ANIMATION;
    Format.bAnimation = Value;
    SetFormat(Format);
}

// The flags share one pattern: the bit is its own mask bit and effect bit.
namespace {

bool HasEffect(const TTextAttributes20& Attributes, DWORD Effect) {
    CHARFORMAT2W Format;
    Attributes.GetFormat(Format);
    return (Format.dwEffects & Effect) != 0;
}

void SetEffect(TTextAttributes20& Attributes, DWORD Effect, bool Value) {
    CHARFORMAT2W Format = EmptyCharFormat();
    Format.dwMask = Effect;
    Format.dwEffects = Value ? Effect : 0;
    Attributes.SetFormat(Format);
}

} // namespace

bool TTextAttributes20::Bold() const {
    return HasEffect(*this, CFE_BOLD);
}
void TTextAttributes20::SetBold(bool Value) {
    SetEffect(*this, CFE_BOLD, Value);
}
bool TTextAttributes20::Italic() const {
    return HasEffect(*this, CFE_ITALIC);
}
void TTextAttributes20::SetItalic(bool Value) {
    SetEffect(*this, CFE_ITALIC, Value);
}
bool TTextAttributes20::StrikeOut() const {
    return HasEffect(*this, CFE_STRIKEOUT);
}
void TTextAttributes20::SetStrikeOut(bool Value) {
    SetEffect(*this, CFE_STRIKEOUT, Value);
}
bool TTextAttributes20::Link() const {
    return HasEffect(*this, CFE_LINK);
}
void TTextAttributes20::SetLink(bool Value) {
    SetEffect(*this, CFE_LINK, Value);
}
bool TTextAttributes20::SmallCaps() const {
    return HasEffect(*this, CFE_SMALLCAPS);
}
void TTextAttributes20::SetSmallCaps(bool Value) {
    SetEffect(*this, CFE_SMALLCAPS, Value);
}
bool TTextAttributes20::AllCaps() const {
    return HasEffect(*this, CFE_ALLCAPS);
}
void TTextAttributes20::SetAllCaps(bool Value) {
    SetEffect(*this, CFE_ALLCAPS, Value);
}
bool TTextAttributes20::Hidden() const {
    return HasEffect(*this, CFE_HIDDEN);
}
void TTextAttributes20::SetHidden(bool Value) {
    SetEffect(*this, CFE_HIDDEN, Value);
}
bool TTextAttributes20::Outline() const {
    return HasEffect(*this, CFE_OUTLINE);
}
void TTextAttributes20::SetOutline(bool Value) {
    SetEffect(*this, CFE_OUTLINE, Value);
}
bool TTextAttributes20::Shadow() const {
    return HasEffect(*this, CFE_SHADOW);
}
void TTextAttributes20::SetShadow(bool Value) {
    SetEffect(*this, CFE_SHADOW, Value);
}
bool TTextAttributes20::Emboss() const {
    return HasEffect(*this, CFE_EMBOSS);
}
void TTextAttributes20::SetEmboss(bool Value) {
    SetEffect(*this, CFE_EMBOSS, Value);
}
bool TTextAttributes20::Imprint() const {
    return HasEffect(*this, CFE_IMPRINT);
}
void TTextAttributes20::SetImprint(bool Value) {
    SetEffect(*this, CFE_IMPRINT, Value);
}

// --- TParaAttributes20 ----------------------------------------------------------------------

TParaAttributes20::TParaAttributes20(TCustomRichEdit20* AOwner) : FRichEdit(AOwner) {}

void TParaAttributes20::GetAttributes(PARAFORMAT& Format) const {
    Format = EmptyParaFormat<PARAFORMAT>();
    if (FRichEdit->HandleAllocated())
        SendMessage(FRichEdit->Handle(), EM_GETPARAFORMAT, 0, AsLParam(&Format));
}

void TParaAttributes20::SetAttributes(PARAFORMAT& Format) {
    // Paragraph formats are only kept by the window, so a write makes sure there is one.
    FRichEdit->HandleNeeded();
    if (FRichEdit->UseRightToLeftAlignment() && (Format.dwMask & PFM_ALIGNMENT)) {
        if (Format.wAlignment == PFA_LEFT) {
            Format.wAlignment = PFA_RIGHT;
        } else if (Format.wAlignment == PFA_RIGHT) {
            Format.wAlignment = PFA_LEFT;
        }
    }
    SendMessage(FRichEdit->Handle(), EM_SETPARAFORMAT, 0, AsLParam(&Format));
}

void TParaAttributes20::GetFormat2(PARAFORMAT2& Format) const {
    Format = EmptyParaFormat<PARAFORMAT2>();
    if (FRichEdit->HandleAllocated())
        SendMessage(FRichEdit->Handle(), EM_GETPARAFORMAT, 0, AsLParam(&Format));
}

void TParaAttributes20::SetFormat2(PARAFORMAT2& Format) {
    if (FRichEdit->HandleAllocated())
        SendMessage(FRichEdit->Handle(), EM_SETPARAFORMAT, 0, AsLParam(&Format));
}

void TParaAttributes20::Assign(TPersistent* Source) {
    auto* Other = dynamic_cast<TParaAttributes20*>(Source);
    if (!Other) {
        TPersistent::Assign(Source);
        return;
    }
    SetAlignment(Other->Alignment());
    // Numbering goes before the indents: setting it moves the left indent, which would
    // otherwise overwrite the one just copied.
    SetNumbering(Other->Numbering());
    SetFirstIndent(Other->FirstIndent());
    SetLeftIndent(Other->LeftIndent());
    SetRightIndent(Other->RightIndent());
    // The tab stops go in one change with the source's count: copying all 32 positions one
    // by one would give a paragraph without tabs 32 stops at position 0.
    PARAFORMAT Tabs;
    Other->GetAttributes(Tabs);
    Tabs.dwMask = PFM_TABSTOPS;
    Tabs.cTabCount = std::int16_t(std::clamp<int>(Tabs.cTabCount, 0, MAX_TAB_STOPS));
    for (int Index = 0; Index < MAX_TAB_STOPS; ++Index)
        Tabs.rgxTabs[Index] = Index < Tabs.cTabCount ? TwipsOf(PointsOf(Tabs.rgxTabs[Index])) : 0;
    SetAttributes(Tabs);
}

TAlignment TParaAttributes20::Alignment() const {
    PARAFORMAT Format;
    GetAttributes(Format);
    return TAlignment(int(Format.wAlignment) - 1);
}

void TParaAttributes20::SetAlignment(TAlignment Value) {
    PARAFORMAT Format = EmptyParaFormat<PARAFORMAT>();
    Format.dwMask = PFM_ALIGNMENT;
    Format.wAlignment = WORD(int(Value) + 1);
    SetAttributes(Format);
}

TNumberingStyle TParaAttributes20::Numbering() const {
    PARAFORMAT Format;
    GetAttributes(Format);
    return TNumberingStyle(Format.wNumbering);
}

void TParaAttributes20::SetNumbering(TNumberingStyle Value) {
    // A bullet needs room to the left of the text; without a list the hanging indent goes.
    switch (Value) {
    case nsBullet:
        if (LeftIndent() < 10)
            SetLeftIndent(10);
        break;
    case nsNone:
        SetLeftIndent(0);
        break;
    }
    PARAFORMAT Format = EmptyParaFormat<PARAFORMAT>();
    Format.dwMask = PFM_NUMBERING;
    Format.wNumbering = WORD(Value);
    SetAttributes(Format);
}

int TParaAttributes20::IndentOf(LONG PARAFORMAT::*Member) const {
    PARAFORMAT Format;
    GetAttributes(Format);
    return PointsOf(Format.*Member);
}

void TParaAttributes20::SetIndent(DWORD Mask, LONG PARAFORMAT::*Member, int Value) {
    PARAFORMAT Format = EmptyParaFormat<PARAFORMAT>();
    Format.dwMask = Mask;
    Format.*Member = TwipsOf(Value);
    SetAttributes(Format);
}

int TParaAttributes20::FirstIndent() const {
    return IndentOf(&PARAFORMAT::dxStartIndent);
}

void TParaAttributes20::SetFirstIndent(int Value) {
    SetIndent(PFM_STARTINDENT, &PARAFORMAT::dxStartIndent, Value);
}

int TParaAttributes20::LeftIndent() const {
    return IndentOf(&PARAFORMAT::dxOffset);
}

void TParaAttributes20::SetLeftIndent(int Value) {
    SetIndent(PFM_OFFSET, &PARAFORMAT::dxOffset, Value);
}

int TParaAttributes20::RightIndent() const {
    return IndentOf(&PARAFORMAT::dxRightIndent);
}

void TParaAttributes20::SetRightIndent(int Value) {
    SetIndent(PFM_RIGHTINDENT, &PARAFORMAT::dxRightIndent, Value);
}

int TParaAttributes20::Tab(BYTE Index) const {
    // The format holds MAX_TAB_STOPS positions; there is nothing beyond them to read.
    if (Index >= MAX_TAB_STOPS)
        return 0;
    PARAFORMAT Format;
    GetAttributes(Format);
    return PointsOf(Format.rgxTabs[Index]);
}

void TParaAttributes20::SetTab(BYTE Index, int Value) {
    // An index past the last tab stop would write outside the format; such a stop cannot
    // exist, so the write is dropped.
    if (Index >= MAX_TAB_STOPS)
        return;
    PARAFORMAT Format;
    GetAttributes(Format);
    Format.dwMask = PFM_TABSTOPS;
    Format.rgxTabs[Index] = TwipsOf(Value);
    Format.cTabCount = std::max<std::int16_t>(Format.cTabCount, std::int16_t(Index + 1));
    SetAttributes(Format);
}

int TParaAttributes20::TabCount() const {
    PARAFORMAT Format;
    GetAttributes(Format);
    return Format.cTabCount;
}
