// The RTF reader's control words: destinations (font and colour tables), document
// properties, and the character and paragraph formats of the body.

#include "platform/locale/Locale.h"
#include "platform/richedit/RtfCommon.h"
#include "platform/richedit/RtfParser.h"

#include <algorithm>
#include <climits>
#include <unordered_set>

using namespace rtfparse;

namespace {

const std::unordered_set<std::string_view>& SkippedDestinations() {
    static const std::unordered_set<std::string_view> set = {"stylesheet",
                                                             "info",
                                                             "pict",
                                                             "header",
                                                             "headerl",
                                                             "headerr",
                                                             "headerf",
                                                             "footer",
                                                             "footerl",
                                                             "footerr",
                                                             "footerf",
                                                             "footnote",
                                                             "listtable",
                                                             "listoverridetable",
                                                             "revtbl",
                                                             "rsidtbl",
                                                             "generator",
                                                             "fldinst",
                                                             "xmlnstbl",
                                                             "themedata",
                                                             "colorschememapping",
                                                             "latentstyles",
                                                             "datastore",
                                                             "pgdsctbl",
                                                             "bkmkstart",
                                                             "bkmkend",
                                                             "pntext",
                                                             "pn",
                                                             "listtext",
                                                             "annotation",
                                                             "atnid",
                                                             "atnauthor",
                                                             "filetbl",
                                                             "private",
                                                             "ftnsep",
                                                             "ftnsepc",
                                                             "aftnsep",
                                                             "aftnsepc",
                                                             "docvar",
                                                             "userprops",
                                                             "template",
                                                             "nonshppict",
                                                             "shp",
                                                             "shppict",
                                                             "objdata",
                                                             "objclass",
                                                             "objname",
                                                             "falt",
                                                             "panose",
                                                             "fname",
                                                             "title",
                                                             "subject",
                                                             "author",
                                                             "operator",
                                                             "keywords",
                                                             "comment",
                                                             "doccomm",
                                                             "company",
                                                             "manager",
                                                             "category",
                                                             "xe",
                                                             "tc",
                                                             "txe",
                                                             "passwordhash",
                                                             "mmathPr",
                                                             "wgrffmtfilter",
                                                             "fchars",
                                                             "lchars",
                                                             "blipuid",
                                                             "picprop",
                                                             "sp",
                                                             "sn",
                                                             "sv"};
    return set;
}

} // namespace

bool RtfParser::IsSkippedDestination(std::string_view word) {
    return SkippedDestinations().count(word) != 0;
}

void RtfParser::FontTableWord(std::string_view word, bool hasParam, long long param) {
    if (word == "f" && hasParam) {
        if (fontEntry_ >= 0 && !fontNameDone_) {
            FinishFontName();
        }
        fontEntry_ = param;
        fonts_[param] = FontEntry{};
        fontNameBytes_.clear();
        fontNameDone_ = false;
        return;
    }
    auto it = fonts_.find(fontEntry_);
    if (it == fonts_.end()) {
        return;
    }
    FontEntry& font = it->second;
    if (word == "fcharset") {
        font.charset = int(param & 0xFF);
    } else if (word == "fprq") {
        font.pitchAndFamily = BYTE((font.pitchAndFamily & 0xF0) | (param & 0x0F));
    } else if (word == "cpg") {
        font.codePage = UINT(std::max<long long>(param, 0));
    } else if (word == "kvpf") {
        font.pitchAndFamily = BYTE(param);
    } else if (word.size() > 1 && word[0] == 'f' &&
               (word == "fnil" || word == "froman" || word == "fswiss" || word == "fmodern" ||
                word == "fscript" || word == "fdecor" || word == "ftech" || word == "fbidi")) {
        font.pitchAndFamily = PitchAndFamilyFromRtf(word, font.pitchAndFamily & 0x0F);
    } else if (word == "u" && hasParam && !fontNameDone_ && UnicodeUnit(param) >= 0) {
        font.face += DecodeBytes(fontNameBytes_, FontCodePage(font));
        fontNameBytes_.clear();
        font.face.push_back(char16_t(UnicodeUnit(param)));
        skipFallback_ = state_.uc;
    }
}

UINT RtfParser::FontCodePage(const FontEntry& font) const {
    if (font.codePage != 0) {
        return font.codePage;
    }
    const UINT codePage = CodePageOfCharset(BYTE(font.charset < 0 ? DEFAULT_CHARSET : font.charset),
                                            documentCodePage_);
    return codePage == CP_SYMBOL ? 1252 : codePage; // symbol faces have plain names
}

void RtfParser::FinishFontName() {
    fontNameDone_ = true;
    auto it = fonts_.find(fontEntry_);
    if (it != fonts_.end()) {
        FontEntry& font = it->second;
        font.face += DecodeBytes(fontNameBytes_, FontCodePage(font));
    }
    fontNameBytes_.clear();
}

void RtfParser::ColorTableWord(std::string_view word, long long param) {
    const int value = int(std::clamp<long long>(param, 0, 255));
    if (word == "red") {
        red_ = value;
    } else if (word == "green") {
        green_ = value;
    } else if (word == "blue") {
        blue_ = value;
    }
}

void RtfParser::SelectFont(long long index) {
    auto it = fonts_.find(index);
    if (it == fonts_.end()) {
        return; // unknown font: keep the current one
    }
    const FontEntry& font = it->second;
    state_.cf.SetFace(font.face);
    state_.cf.charSet = BYTE(font.charset < 0 ? DEFAULT_CHARSET : font.charset);
    state_.cf.pitchAndFamily = font.pitchAndFamily;
    state_.codePage = font.codePage != 0 ? font.codePage
                                         : CodePageOfCharset(state_.cf.charSet, documentCodePage_);
    runId_ = -1;
}

// --- the body ---------------------------------------------------------------------------------

void RtfParser::BodyWord(std::string_view word, bool hasParam, long long param) {
    // Characters and structure.
    if (word == "row" && lastWasCell_) {
        // A table row read as text: cells separated by tabs, no tab after the last one.
        TextFragment& f = result_.fragment;
        f.text.pop_back();
        if (--f.runs.back().first == 0) {
            f.runs.pop_back();
        }
    }
    if (word == "par" || word == "row" || word == "sect" || word == "page") {
        ParagraphBreak();
        return;
    }
    if (word == "cell") {
        AppendChar(u'\t');
        lastWasCell_ = true;
        return;
    }
    static const std::unordered_map<std::string_view, char16_t> special = {
        {"tab", u'\t'},     {"line", 0x000B},    {"emdash", 0x2014},    {"endash", 0x2013},
        {"lquote", 0x2018}, {"rquote", 0x2019},  {"ldblquote", 0x201C}, {"rdblquote", 0x201D},
        {"bullet", 0x2022}, {"emspace", 0x2003}, {"enspace", 0x2002},   {"qmspace", 0x2005},
        {"zwj", 0x200D},    {"zwnj", 0x200C},    {"ltrmark", 0x200E},   {"rtlmark", 0x200F}};
    if (auto it = special.find(word); it != special.end()) {
        AppendChar(it->second);
        return;
    }
    if (word == "u" && hasParam) {
        // N is a signed 16-bit value (writers also use 32768..65535). Anything beyond names
        // no UTF-16 unit: the word is ignored and its fallback text is read instead. \u0 is
        // a space, as a NUL byte is: the document holds no NUL.
        const int unit = UnicodeUnit(param);
        if (unit >= 0) {
            AppendChar(unit == 0 ? u' ' : char16_t(unit));
            skipFallback_ = state_.uc;
        }
        return;
    }
    if (word == "uc") {
        state_.uc = int(std::clamp<long long>(param, 0, 16));
        return;
    }
    // Document properties.
    if (word == "ansicpg" && hasParam && param > 0) {
        documentCodePage_ = UINT(param);
        state_.codePage = CodePageOfCharset(state_.cf.charSet, documentCodePage_);
        return;
    }
    if (word == "mac" || word == "pc" || word == "pca") {
        documentCodePage_ = word == "mac" ? 10000 : word == "pc" ? 437 : 850;
        return;
    }
    if (word == "deff") {
        defaultFont_ = param;
        return;
    }
    if (word == "deflang") {
        defaultLanguage_ = LANGID(param);
        return;
    }
    if (word == "plain") {
        state_.cf = PlainFormat();
        SelectFont(defaultFont_);
        runId_ = -1;
        return;
    }
    if (word == "pard") {
        state_.para = ParaState{};
        return;
    }
    if (CharWord(word, hasParam, param)) {
        runId_ = -1;
        return;
    }
    ParaWord(word, hasParam, param);
}

bool RtfParser::CharWord(std::string_view word, bool hasParam, long long param) {
    CharFormat& cf = state_.cf;
    const bool on = !hasParam || param != 0;
    const auto clampLong = [](long long v) {
        return LONG(std::clamp<long long>(v, INT_MIN, INT_MAX));
    };
    const auto set = [&cf, on](DWORD bit) {
        cf.effects = on ? (cf.effects | bit) : (cf.effects & ~bit);
    };
    static const std::unordered_map<std::string_view, DWORD> toggles = {
        {"i", CFE_ITALIC},       {"strike", CFE_STRIKEOUT}, {"protect", CFE_PROTECTED},
        {"kvlink", CFE_LINK},    {"scaps", CFE_SMALLCAPS},  {"caps", CFE_ALLCAPS},
        {"v", CFE_HIDDEN},       {"outl", CFE_OUTLINE},     {"shad", CFE_SHADOW},
        {"embo", CFE_EMBOSS},    {"impr", CFE_IMPRINT},     {"kvdis", CFE_DISABLED},
        {"revised", CFE_REVISED}};
    if (auto it = toggles.find(word); it != toggles.end()) {
        set(it->second);
        return true;
    }
    static const std::unordered_map<std::string_view, BYTE> underlines = {
        {"ul", CFU_UNDERLINE},
        {"ulw", CFU_UNDERLINEWORD},
        {"uldb", CFU_UNDERLINEDOUBLE},
        {"uld", CFU_UNDERLINEDOTTED},
        {"uldash", CFU_UNDERLINEDASH},
        {"uldashd", CFU_UNDERLINEDASHDOT},
        {"uldashdd", CFU_UNDERLINEDASHDOTDOT},
        {"ulwave", CFU_UNDERLINEWAVE},
        {"ulth", CFU_UNDERLINETHICK},
        {"ulhair", CFU_UNDERLINEHAIRLINE},
        {"ulthd", CFU_UNDERLINETHICK},
        {"ulthdash", CFU_UNDERLINETHICK},
        {"ulldash", CFU_UNDERLINEDASH},
        {"ululdbwave", CFU_UNDERLINEWAVE},
        {"ulhwave", CFU_UNDERLINEWAVE},
        {"ulthldash", CFU_UNDERLINETHICK}};
    if (auto it = underlines.find(word); it != underlines.end()) {
        cf.underlineType = on ? it->second : CFU_UNDERLINENONE;
        return true;
    }
    if (word == "ulnone") {
        cf.underlineType = CFU_UNDERLINENONE;
    } else if (word == "kvul") {
        cf.underlineType = BYTE(param);
    } else if (word == "b") {
        set(CFE_BOLD);
        cf.weight = on ? 700 : 400;
    } else if (word == "kvwt") {
        cf.weight = WORD(param);
    } else if (word == "f") {
        SelectFont(param);
    } else if (word == "fs") {
        cf.height = clampLong(hasParam ? param * 10 : 240);
    } else if (word == "kvh") {
        cf.height = clampLong(param);
    } else if (word == "sub" || word == "super") {
        set(word == "sub" ? CFE_SUBSCRIPT : CFE_SUPERSCRIPT);
    } else if (word == "nosupersub") {
        cf.effects &= ~(CFE_SUBSCRIPT | CFE_SUPERSCRIPT);
    } else if (word == "up" || word == "dn") {
        const long long halfPoints = hasParam ? param : 6;
        cf.offset = clampLong((word == "up" ? 10 : -10) * halfPoints);
    } else if (word == "kvoff") {
        cf.offset = clampLong(param);
    } else if (word == "cf") {
        if (param > 0 && param < (long long)colors_.size() && !colorAuto_[std::size_t(param)]) {
            cf.effects &= ~CFE_AUTOCOLOR;
            cf.textColor = colors_[std::size_t(param)];
        } else {
            cf.effects |= CFE_AUTOCOLOR;
            cf.textColor = 0;
        }
    } else if (word == "highlight" || word == "cb" || word == "chcbpat") {
        if (param > 0 && param < (long long)colors_.size() && !colorAuto_[std::size_t(param)]) {
            cf.effects &= ~CFE_AUTOBACKCOLOR;
            cf.backColor = colors_[std::size_t(param)];
        } else {
            cf.effects |= CFE_AUTOBACKCOLOR;
            cf.backColor = 0;
        }
    } else if (word == "lang") {
        if (!options_.plainRtf) {
            cf.lcid = LCID(param & 0xFFFF);
        }
    } else if (word == "kvlcid") {
        cf.lcid = LCID(param);
    } else if (word == "expndtw") {
        cf.spacing = std::int16_t(std::clamp<long long>(param, SHRT_MIN, SHRT_MAX));
    } else if (word == "expnd") {
        cf.spacing = std::int16_t(std::clamp<long long>(param * 5, SHRT_MIN, SHRT_MAX));
    } else if (word == "kerning") {
        cf.kerning = WORD(std::clamp<long long>(param * 10, 0, 0xFFFF));
    } else if (word == "kvkern") {
        cf.kerning = WORD(param);
    } else if (word == "animtext") {
        cf.animation = BYTE(param);
    } else if (word == "kvcs") {
        cf.style = std::int16_t(param);
    } else if (word == "revauth") {
        cf.revAuthor = BYTE(param);
    } else {
        return false;
    }
    return true;
}

bool RtfParser::ParaWord(std::string_view word, bool hasParam, long long param) {
    ParaState& ps = state_.para;
    ParaFormat& pf = ps.pf;
    const auto clampLong = [](long long v) {
        return LONG(std::clamp<long long>(v, INT_MIN, INT_MAX));
    };
    const bool on = !hasParam || param != 0;
    static const std::unordered_map<std::string_view, WORD> alignments = {{"ql", PFA_LEFT},
                                                                          {"qr", PFA_RIGHT},
                                                                          {"qc", PFA_CENTER},
                                                                          {"qj", PFA_JUSTIFY},
                                                                          {"qd", PFA_JUSTIFY}};
    if (auto it = alignments.find(word); it != alignments.end()) {
        pf.alignment = it->second;
        return true;
    }
    static const std::unordered_map<std::string_view, WORD> effects = {
        {"rtlpar", 0x0001}, {"keep", 0x0002},        {"keepn", 0x0004}, {"pagebb", 0x0008},
        {"noline", 0x0010}, {"nowidctlpar", 0x0020}, {"sbys", 0x0080}};
    if (auto it = effects.find(word); it != effects.end()) {
        pf.effects = on ? WORD(pf.effects | it->second) : WORD(pf.effects & ~it->second);
        return true;
    }
    if (word == "ltrpar") {
        pf.effects &= WORD(~0x0001);
    } else if (word == "widctlpar") {
        pf.effects &= WORD(~0x0020);
    } else if (word == "hyphpar") {
        pf.effects =
            hasParam && param == 0 ? WORD(pf.effects | 0x0040) : WORD(pf.effects & ~0x0040);
    } else if (word == "kvpe") {
        pf.effects = WORD(param);
    } else if (word == "li") {
        ps.leftIndent = param;
    } else if (word == "fi") {
        ps.firstIndent = param;
    } else if (word == "ri") {
        pf.rightIndent = clampLong(param);
    } else if (word == "sb") {
        pf.spaceBefore = clampLong(param);
    } else if (word == "sa") {
        pf.spaceAfter = clampLong(param);
    } else if (word == "sl") {
        if (param == 0) {
            pf.lineSpacingRule = 0;
            pf.lineSpacing = 0;
        } else {
            pf.lineSpacingRule = param > 0 ? 3 : 4;
            pf.lineSpacing = clampLong(param < 0 ? -param : param);
        }
    } else if (word == "slmult") {
        if (param == 1 && pf.lineSpacingRule == 3) {
            pf.lineSpacingRule = 5;
            pf.lineSpacing /= 12;
        }
    } else if (word == "kvlsr") {
        pf.lineSpacingRule = BYTE(param);
    } else if (word == "kvls") {
        pf.lineSpacing = clampLong(param);
    } else if (word == "outlinelevel") {
        pf.outlineLevel = BYTE(param);
    } else if (word == "kvnum") {
        pf.numbering = WORD(param);
    } else if (word == "kvsty") {
        pf.style = std::int16_t(param);
    } else if (word == "kvshw") {
        pf.shadingWeight = WORD(param);
    } else if (word == "kvshs") {
        pf.shadingStyle = WORD(param);
    } else if (word == "kvns") {
        pf.numberingStart = WORD(param);
    } else if (word == "kvnst") {
        pf.numberingStyle = WORD(param);
    } else if (word == "kvntab") {
        pf.numberingTab = WORD(param);
    } else if (word == "kvbrs") {
        pf.borderSpace = WORD(param);
    } else if (word == "kvbrw") {
        pf.borderWidth = WORD(param);
    } else if (word == "kvbrd") {
        pf.borders = WORD(param);
    } else if (word == "tqc" || word == "tqr" || word == "tqdec") {
        ps.pendingTabKind = word == "tqc" ? 1 : word == "tqr" ? 2 : 3;
    } else if (word == "tldot" || word == "tlhyph" || word == "tlul" || word == "tlth" ||
               word == "tleq" || word == "tlmdot") {
        ps.pendingTabLeader = word == "tldot" || word == "tlmdot" ? 1
                              : word == "tlhyph"                  ? 2
                              : word == "tlul"                    ? 3
                              : word == "tlth"                    ? 4
                                                                  : 5;
    } else if (word == "tx" || word == "tb" || word == "kvtab") {
        if (pf.tabCount < MAX_TAB_STOPS) {
            LONG tab;
            if (word == "kvtab") {
                tab = LONG(param);
            } else {
                const unsigned kind = word == "tb" ? 4 : ps.pendingTabKind;
                tab = LONG((std::clamp<long long>(param, 0, 0xFFFFFF)) |
                           (static_cast<long long>(kind) << 24) |
                           (static_cast<long long>(ps.pendingTabLeader) << 28));
            }
            pf.tabs[std::size_t(pf.tabCount++)] = tab;
        }
        ps.pendingTabKind = 0;
        ps.pendingTabLeader = 0;
    } else {
        return false; // not ours: ignored, as readers do
    }
    return true;
}
