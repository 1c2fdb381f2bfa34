#include "platform/richedit/RtfCommon.h"

#include "platform/locale/Locale.h"

#include <algorithm>
#include <array>

UINT CodePageOfCharset(BYTE charset, UINT documentCodePage) {
    if (charset == SYMBOL_CHARSET) {
        return CP_SYMBOL;
    }
    CHARSETINFO info{};
    if (charset != DEFAULT_CHARSET && TranslateCharsetInfo(charset, &info, TCI_SRCCHARSET)) {
        return info.ciACP;
    }
    return documentCodePage;
}

bool IsDoubleByteCodePage(UINT codePage) {
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 ||
           codePage == 1361;
}

namespace {

struct KnownFace {
    std::u16string_view name;
    std::string_view family;
};

constexpr std::array kKnownFaces = {
    KnownFace{u"arial", "\\fswiss"},           KnownFace{u"helvetica", "\\fswiss"},
    KnownFace{u"tahoma", "\\fswiss"},          KnownFace{u"verdana", "\\fswiss"},
    KnownFace{u"segoe ui", "\\fswiss"},        KnownFace{u"ms sans serif", "\\fswiss"},
    KnownFace{u"system", "\\fswiss"},          KnownFace{u"dejavu sans", "\\fswiss"},
    KnownFace{u"times new roman", "\\froman"}, KnownFace{u"times", "\\froman"},
    KnownFace{u"georgia", "\\froman"},         KnownFace{u"dejavu serif", "\\froman"},
    KnownFace{u"symbol", "\\ftech"},           KnownFace{u"wingdings", "\\ftech"},
};

// Words in a face name that mark a fixed-pitch font. The station's own terminal font is
// spelled "Teminal", so that spelling counts too.
constexpr std::array<std::u16string_view, 9> kFixedPitchWords = {
    u"mono",  u"courier",    u"console",  u"terminal", u"teminal",
    u"fixed", u"typewriter", u"consolas", u"code"};

std::u16string Lower(std::u16string_view s) {
    std::u16string out(s);
    for (char16_t& c : out) {
        if (c >= u'A' && c <= u'Z') {
            c = char16_t(c - u'A' + u'a');
        }
    }
    return out;
}

} // namespace

std::string_view RtfFontFamily(std::u16string_view face, BYTE pitchAndFamily) {
    switch (pitchAndFamily & 0xF0) {
    case FF_ROMAN:
        return "\\froman";
    case FF_SWISS:
        return "\\fswiss";
    case FF_MODERN:
        return "\\fmodern";
    case FF_SCRIPT:
        return "\\fscript";
    case FF_DECORATIVE:
        return "\\fdecor";
    default:
        break;
    }
    if ((pitchAndFamily & 0x0F) == FIXED_PITCH) {
        return "\\fmodern";
    }
    const std::u16string lower = Lower(face);
    for (const KnownFace& known : kKnownFaces) {
        if (lower == known.name) {
            return known.family;
        }
    }
    for (std::u16string_view word : kFixedPitchWords) {
        if (lower.find(word) != std::u16string::npos) {
            return "\\fmodern";
        }
    }
    return "\\fnil";
}

BYTE PitchAndFamilyFromRtf(std::string_view familyWord, int pitch) {
    BYTE family = FF_DONTCARE;
    if (familyWord == "froman") {
        family = FF_ROMAN;
    } else if (familyWord == "fswiss") {
        family = FF_SWISS;
    } else if (familyWord == "fmodern") {
        family = FF_MODERN;
    } else if (familyWord == "fscript") {
        family = FF_SCRIPT;
    } else if (familyWord == "fdecor") {
        family = FF_DECORATIVE;
    }
    return BYTE(family | (pitch & 0x0F));
}

CharFormat RtfPlainFormat(const CharFormat& defaultFont, LANGID defaultLanguage) {
    CharFormat f;
    f.face = defaultFont.face;
    f.charSet = defaultFont.charSet;
    f.pitchAndFamily = defaultFont.pitchAndFamily;
    f.height = 240;
    f.lcid = defaultLanguage;
    return f;
}
