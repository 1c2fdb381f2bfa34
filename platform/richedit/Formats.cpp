#include "platform/richedit/Formats.h"

#include <algorithm>
#include <cstring>

namespace {

std::size_t Mix(std::size_t seed, std::size_t value) {
    return seed ^ (value + 0x9E3779B97F4A7C15ull + (seed << 6) + (seed >> 2));
}

// Plain effect bits whose mask bit has the same value.
constexpr DWORD SimpleEffects = CFM_BOLD | CFM_ITALIC | CFM_STRIKEOUT | CFM_PROTECTED | CFM_LINK |
                                CFM_SMALLCAPS | CFM_ALLCAPS | CFM_HIDDEN | CFM_OUTLINE |
                                CFM_SHADOW | CFM_EMBOSS | CFM_IMPRINT | CFM_DISABLED | CFM_REVISED;
constexpr DWORD CharFormat1Mask = CFM_ALL;
constexpr WORD BoldWeight = 700;
constexpr WORD NormalWeight = 400;
constexpr WORD SemiBoldWeight = 600;

} // namespace

std::u16string_view CharFormat::Face() const {
    const auto end = std::find(face.begin(), face.end(), u'\0');
    return {face.data(), std::size_t(end - face.begin())};
}

void CharFormat::SetFace(std::u16string_view name) {
    face.fill(u'\0');
    const auto zero = name.find(u'\0');
    if (zero != std::u16string_view::npos) {
        name = name.substr(0, zero);
    }
    const std::size_t n = std::min<std::size_t>(name.size(), LF_FACESIZE - 1);
    std::copy_n(name.begin(), n, face.begin());
}

std::size_t CharFormatHash::operator()(const CharFormat& f) const {
    std::size_t h = 0;
    for (std::size_t v :
         {std::size_t(f.effects), std::size_t(f.height), std::size_t(f.offset),
          std::size_t(f.textColor), std::size_t(f.backColor),
          std::size_t(f.charSet) << 8 | f.pitchAndFamily, std::size_t(f.weight),
          std::size_t(std::uint16_t(f.spacing)), std::size_t(f.lcid),
          std::size_t(std::uint16_t(f.style)), std::size_t(f.kerning),
          std::size_t(f.underlineType) << 16 | std::size_t(f.animation) << 8 | f.revAuthor}) {
        h = Mix(h, v);
    }
    for (char16_t c : f.face) {
        if (c == 0) {
            break;
        }
        h = Mix(h, c);
    }
    return h;
}

std::size_t ParaFormatHash::operator()(const ParaFormat& f) const {
    std::size_t h = 0;
    for (std::size_t v :
         {std::size_t(f.numbering) << 16 | f.effects, std::size_t(f.startIndent),
          std::size_t(f.rightIndent), std::size_t(f.offset),
          std::size_t(f.alignment) << 16 | std::uint16_t(f.tabCount), std::size_t(f.spaceBefore),
          std::size_t(f.spaceAfter), std::size_t(f.lineSpacing),
          std::size_t(std::uint16_t(f.style)) << 16 | std::size_t(f.lineSpacingRule) << 8 |
              f.outlineLevel,
          std::size_t(f.shadingWeight) << 16 | f.shadingStyle,
          std::size_t(f.numberingStart) << 16 | f.numberingStyle,
          std::size_t(f.numberingTab) << 16 | f.borderSpace,
          std::size_t(f.borderWidth) << 16 | f.borders}) {
        h = Mix(h, v);
    }
    for (int i = 0; i < f.tabCount && i < MAX_TAB_STOPS; ++i) {
        h = Mix(h, std::size_t(f.tabs[std::size_t(i)]));
    }
    return h;
}

bool IsCharFormatSize(UINT cbSize) {
    return cbSize == sizeof(CHARFORMATW) || cbSize == sizeof(CHARFORMAT2W);
}

bool IsParaFormatSize(UINT cbSize) {
    return cbSize == sizeof(PARAFORMAT) || cbSize == sizeof(PARAFORMAT2);
}

void ApplyCharFormat(CharFormat& t, const CHARFORMAT2W& cf) {
    const bool two = cf.cbSize == sizeof(CHARFORMAT2W);
    const DWORD mask = two ? cf.dwMask : (cf.dwMask & CharFormat1Mask);
    const DWORD simple = mask & (two ? SimpleEffects : (SimpleEffects & CFM_EFFECTS));
    t.effects = (t.effects & ~simple) | (cf.dwEffects & simple);
    if (mask & CFM_BOLD) {
        t.weight = (cf.dwEffects & CFE_BOLD) ? BoldWeight : NormalWeight;
    }
    if (mask & CFM_COLOR) {
        if (cf.dwEffects & CFE_AUTOCOLOR) {
            t.effects |= CFE_AUTOCOLOR;
            t.textColor = 0; // unused while automatic; one value keeps formats comparable
        } else {
            t.effects &= ~CFE_AUTOCOLOR;
            t.textColor = cf.crTextColor & 0x00FFFFFF;
        }
    }
    if (mask & CFM_SIZE) {
        t.height = cf.yHeight;
    }
    if (mask & CFM_OFFSET) {
        t.offset = cf.yOffset;
    }
    if (mask & CFM_CHARSET) {
        t.charSet = cf.bCharSet;
    }
    if (mask & CFM_FACE) {
        t.SetFace(std::u16string_view(cf.szFaceName, LF_FACESIZE));
        t.pitchAndFamily = cf.bPitchAndFamily;
    }
    if (mask & CFM_UNDERLINETYPE) {
        t.underlineType = cf.bUnderlineType == CFU_CF1UNDERLINE ? CFU_UNDERLINE : cf.bUnderlineType;
    }
    if (mask & CFM_UNDERLINE) {
        if (!(cf.dwEffects & CFE_UNDERLINE)) {
            t.underlineType = CFU_UNDERLINENONE;
        } else if (t.underlineType == CFU_UNDERLINENONE) {
            t.underlineType = CFU_UNDERLINE;
        }
    }
    if (!two) {
        return;
    }
    if (mask & CFM_WEIGHT) {
        t.weight = cf.wWeight;
        t.effects = cf.wWeight >= SemiBoldWeight ? (t.effects | CFE_BOLD) : (t.effects & ~CFE_BOLD);
    }
    if (mask & CFM_SUBSCRIPT) {
        t.effects = (t.effects & ~(CFE_SUBSCRIPT | CFE_SUPERSCRIPT)) |
                    (cf.dwEffects & (CFE_SUBSCRIPT | CFE_SUPERSCRIPT));
    }
    if (mask & CFM_BACKCOLOR) {
        if (cf.dwEffects & CFE_AUTOBACKCOLOR) {
            t.effects |= CFE_AUTOBACKCOLOR;
            t.backColor = 0;
        } else {
            t.effects &= ~CFE_AUTOBACKCOLOR;
            t.backColor = cf.crBackColor & 0x00FFFFFF;
        }
    }
    if (mask & CFM_LCID) {
        t.lcid = cf.lcid;
    }
    if (mask & CFM_SPACING) {
        t.spacing = cf.sSpacing;
    }
    if (mask & CFM_KERNING) {
        t.kerning = cf.wKerning;
    }
    if (mask & CFM_STYLE) {
        t.style = cf.sStyle;
    }
    if (mask & CFM_ANIMATION) {
        t.animation = cf.bAnimation;
    }
    if (mask & CFM_REVAUTHOR) {
        t.revAuthor = cf.bRevAuthor;
    }
}

void FillCharFormat(CHARFORMAT2W& cf, const CharFormat& f, DWORD mask) {
    const bool two = cf.cbSize == sizeof(CHARFORMAT2W);
    cf.dwMask = two ? mask : (mask & CharFormat1Mask);
    cf.dwEffects = f.Effects();
    if (!two) {
        cf.dwEffects &= CFM_EFFECTS | CFE_AUTOCOLOR;
    }
    cf.yHeight = f.height;
    cf.yOffset = f.offset;
    cf.crTextColor = f.textColor;
    cf.bCharSet = f.charSet;
    cf.bPitchAndFamily = f.pitchAndFamily;
    std::copy(f.face.begin(), f.face.end(), cf.szFaceName);
    if (!two) {
        return;
    }
    cf.wWeight = f.weight;
    cf.sSpacing = f.spacing;
    cf.crBackColor = f.backColor;
    cf.lcid = f.lcid;
    cf.dwReserved = 0;
    cf.sStyle = f.style;
    cf.wKerning = f.kerning;
    cf.bUnderlineType = f.underlineType;
    cf.bAnimation = f.animation;
    cf.bRevAuthor = f.revAuthor;
    cf.bReserved1 = 0;
}

DWORD CharFormatAgreement(const CharFormat& a, const CharFormat& b) {
    DWORD mask = CFM_ALL2;
    const DWORD ea = a.Effects();
    const DWORD eb = b.Effects();
    mask &= ~((ea ^ eb) & (SimpleEffects | CFM_UNDERLINE));
    if ((ea ^ eb) & (CFE_SUBSCRIPT | CFE_SUPERSCRIPT)) {
        mask &= ~CFM_SUBSCRIPT;
    }
    if (((ea ^ eb) & CFE_AUTOCOLOR) || (!(ea & CFE_AUTOCOLOR) && a.textColor != b.textColor)) {
        mask &= ~CFM_COLOR;
    }
    if (((ea ^ eb) & CFE_AUTOBACKCOLOR) ||
        (!(ea & CFE_AUTOBACKCOLOR) && a.backColor != b.backColor)) {
        mask &= ~CFM_BACKCOLOR;
    }
    const auto drop = [&mask](bool differ, DWORD bit) {
        if (differ) {
            mask &= ~bit;
        }
    };
    drop(a.height != b.height, CFM_SIZE);
    drop(a.offset != b.offset, CFM_OFFSET);
    drop(a.charSet != b.charSet, CFM_CHARSET);
    drop(a.face != b.face || a.pitchAndFamily != b.pitchAndFamily, CFM_FACE);
    drop(a.weight != b.weight, CFM_WEIGHT);
    drop(a.spacing != b.spacing, CFM_SPACING);
    drop(a.lcid != b.lcid, CFM_LCID);
    drop(a.style != b.style, CFM_STYLE);
    drop(a.kerning != b.kerning, CFM_KERNING);
    drop(a.underlineType != b.underlineType, CFM_UNDERLINETYPE);
    drop(a.animation != b.animation, CFM_ANIMATION);
    drop(a.revAuthor != b.revAuthor, CFM_REVAUTHOR);
    return mask;
}

bool ApplyParaFormat(ParaFormat& t, const PARAFORMAT2& pf) {
    const bool two = pf.cbSize == sizeof(PARAFORMAT2);
    const DWORD mask = pf.dwMask;
    if ((mask & PFM_ALIGNMENT) && (pf.wAlignment < PFA_LEFT || pf.wAlignment > PFA_JUSTIFY)) {
        return false;
    }
    if (mask & PFM_STARTINDENT) {
        t.startIndent = pf.dxStartIndent;
    } else if (mask & PFM_OFFSETINDENT) {
        t.startIndent += pf.dxStartIndent;
    }
    if (mask & PFM_RIGHTINDENT) {
        t.rightIndent = pf.dxRightIndent;
    }
    if (mask & PFM_OFFSET) {
        t.offset = pf.dxOffset;
    }
    if (mask & PFM_ALIGNMENT) {
        t.alignment = pf.wAlignment;
    }
    if (mask & PFM_NUMBERING) {
        t.numbering = pf.wNumbering;
    }
    if (mask & PFM_TABSTOPS) {
        t.tabCount = std::int16_t(std::clamp<int>(pf.cTabCount, 0, MAX_TAB_STOPS));
        t.tabs.fill(0);
        std::copy_n(pf.rgxTabs, t.tabCount, t.tabs.begin());
    }
    if (!two) {
        return true;
    }
    const WORD effectMask = WORD((mask & 0x00FF0000) >> 16);
    t.effects = WORD((t.effects & ~effectMask) | (pf.wEffects & effectMask));
    if (mask & PFM_TABLE) {
        t.effects = WORD((t.effects & ~0x4000) | (pf.wEffects & 0x4000));
    }
    if (mask & PFM_SPACEBEFORE) {
        t.spaceBefore = pf.dySpaceBefore;
    }
    if (mask & PFM_SPACEAFTER) {
        t.spaceAfter = pf.dySpaceAfter;
    }
    if (mask & PFM_LINESPACING) {
        t.lineSpacing = pf.dyLineSpacing;
        t.lineSpacingRule = pf.bLineSpacingRule;
    }
    if (mask & PFM_STYLE) {
        t.style = pf.sStyle;
    }
    if (mask & PFM_SHADING) {
        t.shadingWeight = pf.wShadingWeight;
        t.shadingStyle = pf.wShadingStyle;
    }
    if (mask & PFM_NUMBERINGSTART) {
        t.numberingStart = pf.wNumberingStart;
    }
    if (mask & PFM_NUMBERINGSTYLE) {
        t.numberingStyle = pf.wNumberingStyle;
    }
    if (mask & PFM_NUMBERINGTAB) {
        t.numberingTab = pf.wNumberingTab;
    }
    if (mask & PFM_BORDER) {
        t.borderSpace = pf.wBorderSpace;
        t.borderWidth = pf.wBorderWidth;
        t.borders = pf.wBorders;
    }
    return true;
}

void FillParaFormat(PARAFORMAT2& pf, const ParaFormat& f, DWORD mask) {
    const bool two = pf.cbSize == sizeof(PARAFORMAT2);
    pf.dwMask = two ? mask : (mask & PFM_ALL);
    pf.wNumbering = f.numbering;
    pf.wEffects = two ? f.effects : 0;
    pf.dxStartIndent = f.startIndent;
    pf.dxRightIndent = f.rightIndent;
    pf.dxOffset = f.offset;
    pf.wAlignment = f.alignment;
    pf.cTabCount = f.tabCount;
    std::copy(f.tabs.begin(), f.tabs.end(), pf.rgxTabs);
    if (!two) {
        return;
    }
    pf.dySpaceBefore = f.spaceBefore;
    pf.dySpaceAfter = f.spaceAfter;
    pf.dyLineSpacing = f.lineSpacing;
    pf.sStyle = f.style;
    pf.bLineSpacingRule = f.lineSpacingRule;
    pf.bOutlineLevel = f.outlineLevel;
    pf.wShadingWeight = f.shadingWeight;
    pf.wShadingStyle = f.shadingStyle;
    pf.wNumberingStart = f.numberingStart;
    pf.wNumberingStyle = f.numberingStyle;
    pf.wNumberingTab = f.numberingTab;
    pf.wBorderSpace = f.borderSpace;
    pf.wBorderWidth = f.borderWidth;
    pf.wBorders = f.borders;
}

DWORD ParaFormatAgreement(const ParaFormat& a, const ParaFormat& b) {
    DWORD mask = PFM_ALL2 & ~PFM_OFFSETINDENT;
    const auto drop = [&mask](bool differ, DWORD bit) {
        if (differ) {
            mask &= ~bit;
        }
    };
    drop(a.startIndent != b.startIndent, PFM_STARTINDENT);
    drop(a.rightIndent != b.rightIndent, PFM_RIGHTINDENT);
    drop(a.offset != b.offset, PFM_OFFSET);
    drop(a.alignment != b.alignment, PFM_ALIGNMENT);
    drop(a.numbering != b.numbering, PFM_NUMBERING);
    drop(a.tabCount != b.tabCount || a.tabs != b.tabs, PFM_TABSTOPS);
    mask &= ~(DWORD(WORD(a.effects ^ b.effects) & 0x00FF) << 16);
    drop(((a.effects ^ b.effects) & 0x4000) != 0, PFM_TABLE);
    drop(a.spaceBefore != b.spaceBefore, PFM_SPACEBEFORE);
    drop(a.spaceAfter != b.spaceAfter, PFM_SPACEAFTER);
    drop(a.lineSpacing != b.lineSpacing || a.lineSpacingRule != b.lineSpacingRule, PFM_LINESPACING);
    drop(a.style != b.style, PFM_STYLE);
    drop(a.shadingWeight != b.shadingWeight || a.shadingStyle != b.shadingStyle, PFM_SHADING);
    drop(a.numberingStart != b.numberingStart, PFM_NUMBERINGSTART);
    drop(a.numberingStyle != b.numberingStyle, PFM_NUMBERINGSTYLE);
    drop(a.numberingTab != b.numberingTab, PFM_NUMBERINGTAB);
    drop(a.borderSpace != b.borderSpace || a.borderWidth != b.borderWidth || a.borders != b.borders,
         PFM_BORDER);
    return mask;
}
