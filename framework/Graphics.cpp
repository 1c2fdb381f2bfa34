#include "framework/Graphics.h"

#include "framework/SysUtils.h"

#include <cmath>
#include <cstdlib>
#include <utility>

namespace {

// The platform's classic ("Windows Standard") system colours, by index.
constexpr COLORREF kSystemColors[] = {
    RGB(192, 192, 192), RGB(0, 128, 128),   RGB(0, 0, 128),     RGB(128, 128, 128),
    RGB(192, 192, 192), RGB(255, 255, 255), RGB(0, 0, 0),       RGB(0, 0, 0),
    RGB(0, 0, 0),       RGB(255, 255, 255), RGB(192, 192, 192), RGB(192, 192, 192),
    RGB(128, 128, 128), RGB(0, 0, 128),     RGB(255, 255, 255), RGB(192, 192, 192),
    RGB(128, 128, 128), RGB(128, 128, 128), RGB(0, 0, 0),       RGB(192, 192, 192),
    RGB(255, 255, 255), RGB(0, 0, 0),       RGB(223, 223, 223), RGB(0, 0, 0),
    RGB(255, 255, 225)};

const std::pair<TColor, const char*> kColorNames[] = {
    {clBlack, "clBlack"},
    {clMaroon, "clMaroon"},
    {clGreen, "clGreen"},
    {clOlive, "clOlive"},
    {clNavy, "clNavy"},
    {clPurple, "clPurple"},
    {clTeal, "clTeal"},
    {clGray, "clGray"},
    {clSilver, "clSilver"},
    {clRed, "clRed"},
    {clLime, "clLime"},
    {clYellow, "clYellow"},
    {clBlue, "clBlue"},
    {clFuchsia, "clFuchsia"},
    {clAqua, "clAqua"},
    {clWhite, "clWhite"},
    {clScrollBar, "clScrollBar"},
    {clBackground, "clBackground"},
    {clActiveCaption, "clActiveCaption"},
    {clInactiveCaption, "clInactiveCaption"},
    {clMenu, "clMenu"},
    {clWindow, "clWindow"},
    {clWindowFrame, "clWindowFrame"},
    {clMenuText, "clMenuText"},
    {clWindowText, "clWindowText"},
    {clCaptionText, "clCaptionText"},
    {clActiveBorder, "clActiveBorder"},
    {clInactiveBorder, "clInactiveBorder"},
    {clAppWorkSpace, "clAppWorkSpace"},
    {clHighlight, "clHighlight"},
    {clHighlightText, "clHighlightText"},
    {clBtnFace, "clBtnFace"},
    {clBtnShadow, "clBtnShadow"},
    {clGrayText, "clGrayText"},
    {clBtnText, "clBtnText"},
    {clInactiveCaptionText, "clInactiveCaptionText"},
    {clBtnHighlight, "clBtnHighlight"},
    {cl3DDkShadow, "cl3DDkShadow"},
    {cl3DLight, "cl3DLight"},
    {clInfoText, "clInfoText"},
    {clInfoBk, "clInfoBk"},
    {clNone, "clNone"},
    {clDefault, "clDefault"},
};

const std::pair<TCursor, const char*> kCursorNames[] = {
    {crDefault, "crDefault"},     {crNone, "crNone"},           {crArrow, "crArrow"},
    {crCross, "crCross"},         {crIBeam, "crIBeam"},         {crSizeNESW, "crSizeNESW"},
    {crSizeNS, "crSizeNS"},       {crSizeNWSE, "crSizeNWSE"},   {crSizeWE, "crSizeWE"},
    {crUpArrow, "crUpArrow"},     {crHourGlass, "crHourGlass"}, {crDrag, "crDrag"},
    {crNoDrop, "crNoDrop"},       {crHSplit, "crHSplit"},       {crVSplit, "crVSplit"},
    {crMultiDrag, "crMultiDrag"}, {crSQLWait, "crSQLWait"},     {crNo, "crNo"},
    {crAppStart, "crAppStart"},   {crHelp, "crHelp"},           {crHandPoint, "crHandPoint"},
    {crSizeAll, "crSizeAll"},
};

} // namespace

COLORREF ColorToRGB(TColor Color) {
    const auto raw = static_cast<std::uint32_t>(Color);
    if (raw & 0x80000000u) {
        const unsigned index = raw & 0xFF;
        return index < std::size(kSystemColors) ? kSystemColors[index] : RGB(0, 0, 0);
    }
    return raw & 0x00FFFFFFu;
}

QColor ColorToQColor(TColor Color) {
    const COLORREF rgb = ColorToRGB(Color);
    return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

bool IdentToColor(const std::string& Ident, TColor& Color) {
    for (const auto& [value, name] : kColorNames)
        if (SameText(Ident, name)) {
            Color = value;
            return true;
        }
    return false;
}

std::string ColorToString(TColor Color) {
    for (const auto& [value, name] : kColorNames)
        if (value == Color)
            return name;
    return "$" + IntToHex(static_cast<std::uint32_t>(Color), 8);
}

bool StringToColor(const std::string& Text, TColor& Color) {
    if (IdentToColor(Text, Color))
        return true;
    int value = 0;
    if (!TryStrToInt(Text, value))
        return false;
    Color = value;
    return true;
}

Qt::CursorShape CursorToShape(TCursor Cursor) {
    switch (Cursor) {
    case crNone:
        return Qt::BlankCursor;
    case crCross:
        return Qt::CrossCursor;
    case crIBeam:
        return Qt::IBeamCursor;
    case crSizeNESW:
        return Qt::SizeBDiagCursor;
    case crSizeNS:
        return Qt::SizeVerCursor;
    case crSizeNWSE:
        return Qt::SizeFDiagCursor;
    case crSizeWE:
        return Qt::SizeHorCursor;
    case crUpArrow:
        return Qt::UpArrowCursor;
    case crHourGlass:
    case crSQLWait:
        return Qt::WaitCursor;
    case crDrag:
    case crMultiDrag:
        return Qt::DragCopyCursor;
    case crNoDrop:
    case crNo:
        return Qt::ForbiddenCursor;
    case crHSplit:
        return Qt::SplitHCursor;
    case crVSplit:
        return Qt::SplitVCursor;
    case crAppStart:
        return Qt::BusyCursor;
    case crHelp:
        return Qt::WhatsThisCursor;
    case crHandPoint:
        return Qt::PointingHandCursor;
    case crSizeAll:
        return Qt::SizeAllCursor;
    default:
        return Qt::ArrowCursor;
    }
}

bool IdentToCursor(const std::string& Ident, TCursor& Cursor) {
    for (const auto& [value, name] : kCursorNames)
        if (SameText(Ident, name)) {
            Cursor = value;
            return true;
        }
    return false;
}

std::string CursorToIdent(TCursor Cursor) {
    for (const auto& [value, name] : kCursorNames)
        if (value == Cursor)
            return name;
    return IntToStr(Cursor);
}

// --- TFont -----------------------------------------------------------------------------------

TFont::TFont() = default;

void TFont::Assign(TPersistent* Source) {
    if (auto* font = dynamic_cast<TFont*>(Source)) {
        FName = font->FName;
        FHeight = font->FHeight;
        FCharset = font->FCharset;
        FColor = font->FColor;
        FStyle = font->FStyle;
        FPitch = font->FPitch;
        Changed();
        return;
    }
    TPersistent::Assign(Source);
}

bool TFont::operator==(const TFont& o) const {
    return FName == o.FName && FHeight == o.FHeight && FCharset == o.FCharset &&
           FColor == o.FColor && FStyle == o.FStyle && FPitch == o.FPitch;
}

void TFont::Changed() {
    if (OnChange)
        OnChange(this);
}

template <class T> void TFont::Update(T& Field, T Value) {
    if (Field == Value)
        return;
    Field = Value;
    Changed();
}

void TFont::SetHeight(int Value) {
    Update(FHeight, Value);
}
void TFont::SetCharset(TFontCharset Value) {
    Update(FCharset, Value);
}
void TFont::SetColor(TColor Value) {
    Update(FColor, Value);
}
void TFont::SetStyle(TFontStyles Value) {
    Update(FStyle, Value);
}
void TFont::SetPitch(TFontPitch Value) {
    Update(FPitch, Value);
}

void TFont::SetName(const std::string& Value) {
    if (Value.empty() || Value == FName)
        return;
    FName = Value;
    Changed();
}

int TFont::Size() const {
    // Height is in pixels; size in points at the font's resolution, rounded like the platform.
    return static_cast<int>(std::lround(-FHeight * 72.0 / FPixelsPerInch));
}

void TFont::SetSize(int Value) {
    SetHeight(-static_cast<int>(std::lround(Value * FPixelsPerInch / 72.0)));
}

QFont TFont::ToQFont() const {
    QFont font(QString::fromLatin1(FName.c_str()));
    // A negative height is the character height, which is what Qt's pixel size means.
    font.setPixelSize(std::max(1, std::abs(FHeight)));
    font.setBold(FStyle.Contains(fsBold));
    font.setItalic(FStyle.Contains(fsItalic));
    font.setUnderline(FStyle.Contains(fsUnderline));
    font.setStrikeOut(FStyle.Contains(fsStrikeOut));
    if (FPitch == fpFixed) {
        font.setStyleHint(QFont::TypeWriter);
        font.setFixedPitch(true);
    }
    return font;
}
