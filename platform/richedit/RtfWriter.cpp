#include "platform/richedit/RtfWriter.h"

#include "platform/locale/Locale.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_map>
#include <vector>

namespace {

struct FontKey {
    std::array<char16_t, LF_FACESIZE> face;
    BYTE charSet;
    BYTE pitchAndFamily;
    bool operator==(const FontKey&) const = default;
};

struct FontKeyHash {
    std::size_t operator()(const FontKey& k) const {
        std::size_t h = std::size_t(k.charSet) << 8 | k.pitchAndFamily;
        for (char16_t c : k.face) {
            h = h * 131 + c;
        }
        return h;
    }
};

FontKey KeyOf(const CharFormat& f) {
    return {f.face, f.charSet, f.pitchAndFamily};
}

constexpr const char* kHex = "0123456789abcdef";

// RTF words for underline types 0..10; the others have none.
constexpr std::array<std::string_view, 11> kUnderlineWords = {
    "\\ulnone",  "\\ul",       "\\ulw",    "\\uldb", "\\uld",   "\\uldash",
    "\\uldashd", "\\uldashdd", "\\ulwave", "\\ulth", "\\ulhair"};

struct EffectWord {
    DWORD bit;
    std::string_view on;
    std::string_view off;
};

constexpr std::array kEffectWords = {
    EffectWord{CFE_ITALIC, "\\i", "\\i0"},
    EffectWord{CFE_STRIKEOUT, "\\strike", "\\strike0"},
    EffectWord{CFE_PROTECTED, "\\protect", "\\protect0"},
    EffectWord{CFE_LINK, "\\kvlink", "\\kvlink0"},
    EffectWord{CFE_SMALLCAPS, "\\scaps", "\\scaps0"},
    EffectWord{CFE_ALLCAPS, "\\caps", "\\caps0"},
    EffectWord{CFE_HIDDEN, "\\v", "\\v0"},
    EffectWord{CFE_OUTLINE, "\\outl", "\\outl0"},
    EffectWord{CFE_SHADOW, "\\shad", "\\shad0"},
    EffectWord{CFE_EMBOSS, "\\embo", "\\embo0"},
    EffectWord{CFE_IMPRINT, "\\impr", "\\impr0"},
    EffectWord{CFE_DISABLED, "\\kvdis", "\\kvdis0"},
    EffectWord{CFE_REVISED, "\\revised", "\\revised0"},
};

// Paragraph effect bits with a standard word (set after \pard, which clears them all).
struct ParaEffectWord {
    WORD bit;
    std::string_view word;
};
constexpr std::array kParaEffectWords = {
    ParaEffectWord{0x0001, "\\rtlpar"},   ParaEffectWord{0x0002, "\\keep"},
    ParaEffectWord{0x0004, "\\keepn"},    ParaEffectWord{0x0008, "\\pagebb"},
    ParaEffectWord{0x0010, "\\noline"},   ParaEffectWord{0x0020, "\\nowidctlpar"},
    ParaEffectWord{0x0040, "\\hyphpar0"}, ParaEffectWord{0x0080, "\\sbys"},
};

class Writer {
public:
    Writer(const RichEditDocument& doc, const RtfWriteOptions& options, ChunkSink& out)
        : doc_(doc), options_(options), out_(out) {}

    bool Run(std::int64_t start, std::int64_t end);

private:
    void CollectTables(std::int64_t start, std::int64_t end);
    int FontIndex(const CharFormat& f) { return fontIndex_.at(KeyOf(f)); }
    int ColorIndex(COLORREF c) { return colorIndex_.at(c); }
    void AddColor(COLORREF c) {
        if (colorIndex_.emplace(c, int(colors_.size()) + 1).second) {
            colors_.push_back(c);
        }
    }

    void Word(std::string_view word) {
        out_.Put(word);
        pendingDelimiter_ = true;
    }
    void Word(std::string_view word, long long value) {
        out_.Put(word);
        out_.PutNumber(value);
        pendingDelimiter_ = true;
    }
    void EndWords() {
        if (pendingDelimiter_) {
            out_.Put(' ');
            pendingDelimiter_ = false;
        }
    }

    void WriteHeader();
    void WriteCharFormat(const CharFormat& to);
    void WriteParaFormat(const ParaFormat& f);
    void WriteText(const char16_t* chars, std::int64_t count, std::int64_t docPos);
    void WriteEscaped(char16_t c, UINT codePage);
    void WriteFaceName(std::u16string_view face, UINT codePage);

    const RichEditDocument& doc_;
    const RtfWriteOptions& options_;
    ChunkSink& out_;
    LANGID defaultLanguage_ = 0;
    std::vector<FontKey> fonts_;
    std::unordered_map<FontKey, int, FontKeyHash> fontIndex_;
    std::vector<COLORREF> colors_;
    std::unordered_map<COLORREF, int> colorIndex_;
    CharFormat current_;
    UINT currentCodePage_ = 1252;
    bool pendingDelimiter_ = false;
    std::unordered_map<std::uint64_t, std::string> escapes_;
};

void Writer::CollectTables(std::int64_t start, std::int64_t end) {
    const auto addFont = [this](const CharFormat& f) {
        if (fontIndex_.emplace(KeyOf(f), int(fonts_.size())).second) {
            fonts_.push_back(KeyOf(f));
        }
    };
    addFont(doc_.DefaultCharFormat());
    const std::int64_t runEnd = options_.finalMark ? end + 1 : end;
    doc_.CharRuns().ForEachRun(start, runEnd - start,
                               [&](std::int64_t, std::int64_t, std::int32_t id) {
                                   const CharFormat& f = doc_.ResolveCharFormat(id);
                                   addFont(f);
                                   if (!(f.effects & CFE_AUTOCOLOR)) {
                                       AddColor(f.textColor);
                                   }
                                   if (!(f.effects & CFE_AUTOBACKCOLOR)) {
                                       AddColor(f.backColor);
                                   }
                               });
}

void Writer::WriteHeader() {
    out_.Put("{\\rtf1\\ansi\\ansicpg");
    out_.PutNumber(options_.codePage);
    out_.Put("\\deff0\\deflang");
    out_.PutNumber(defaultLanguage_);
    out_.Put("{\\fonttbl");
    for (std::size_t i = 0; i < fonts_.size(); ++i) {
        const FontKey& font = fonts_[i];
        const std::u16string_view face(
            font.face.data(),
            std::size_t(std::find(font.face.begin(), font.face.end(), u'\0') - font.face.begin()));
        out_.Put("{\\f");
        out_.PutNumber(static_cast<long long>(i));
        const std::string_view family = RtfFontFamily(face, font.pitchAndFamily);
        // A font guessed to be fixed-pitch is written so, for readers that lack it.
        int pitch = font.pitchAndFamily & 0x0F;
        if (pitch == DEFAULT_PITCH && family == "\\fmodern") {
            pitch = FIXED_PITCH;
        }
        out_.Put(family);
        out_.Put("\\fprq");
        out_.PutNumber(pitch);
        out_.Put("\\fcharset");
        out_.PutNumber(font.charSet);
        if (PitchAndFamilyFromRtf(family.substr(1), pitch) != font.pitchAndFamily) {
            out_.Put("\\kvpf");
            out_.PutNumber(font.pitchAndFamily);
        }
        out_.Put(' ');
        WriteFaceName(face, CodePageOfCharset(font.charSet, options_.codePage));
        out_.Put(";}");
    }
    out_.Put("}\r\n");
    if (!colors_.empty()) {
        out_.Put("{\\colortbl ;");
        for (COLORREF c : colors_) {
            out_.Put("\\red");
            out_.PutNumber(GetRValue(c));
            out_.Put("\\green");
            out_.PutNumber(GetGValue(c));
            out_.Put("\\blue");
            out_.PutNumber(GetBValue(c));
            out_.Put(';');
        }
        out_.Put("}\r\n");
    }
    out_.Put("\\viewkind4\\uc1");
    pendingDelimiter_ = true;
}

void Writer::WriteCharFormat(const CharFormat& to) {
    const CharFormat& from = current_;
    if (from == to) {
        return;
    }
    if (KeyOf(from) != KeyOf(to)) {
        Word("\\f", FontIndex(to));
        currentCodePage_ = CodePageOfCharset(to.charSet, options_.codePage);
    }
    if (from.height != to.height) {
        Word("\\fs", to.height / 10);
        if (to.height % 10 != 0) {
            Word("\\kvh", to.height);
        }
    }
    const DWORD fe = from.effects;
    const DWORD te = to.effects;
    if (((fe ^ te) & CFE_BOLD) || from.weight != to.weight) {
        Word((te & CFE_BOLD) ? "\\b" : "\\b0");
        if (to.weight != ((te & CFE_BOLD) ? 700 : 400)) {
            Word("\\kvwt", to.weight);
        }
    }
    for (const EffectWord& e : kEffectWords) {
        if ((fe ^ te) & e.bit) {
            Word((te & e.bit) ? e.on : e.off);
        }
    }
    if ((fe ^ te) & (CFE_SUBSCRIPT | CFE_SUPERSCRIPT)) {
        Word("\\nosupersub");
        if (te & CFE_SUBSCRIPT) {
            Word("\\sub");
        }
        if (te & CFE_SUPERSCRIPT) {
            Word("\\super");
        }
    }
    if (from.offset != to.offset) {
        Word(to.offset < 0 ? "\\dn" : "\\up", std::abs(to.offset) / 10);
        if (to.offset % 10 != 0) {
            Word("\\kvoff", to.offset);
        }
    }
    if (from.underlineType != to.underlineType) {
        if (to.underlineType < kUnderlineWords.size()) {
            Word(kUnderlineWords[to.underlineType]);
        } else {
            Word("\\ul");
            Word("\\kvul", to.underlineType);
        }
    }
    if (((fe ^ te) & CFE_AUTOCOLOR) || (!(te & CFE_AUTOCOLOR) && from.textColor != to.textColor)) {
        Word("\\cf", (te & CFE_AUTOCOLOR) ? 0 : ColorIndex(to.textColor));
    }
    if (((fe ^ te) & CFE_AUTOBACKCOLOR) ||
        (!(te & CFE_AUTOBACKCOLOR) && from.backColor != to.backColor)) {
        Word("\\highlight", (te & CFE_AUTOBACKCOLOR) ? 0 : ColorIndex(to.backColor));
    }
    if (from.lcid != to.lcid && !options_.plainRtf) {
        Word("\\lang", to.lcid & 0xFFFF);
        if (to.lcid > 0xFFFF) {
            Word("\\kvlcid", to.lcid);
        }
    }
    if (from.spacing != to.spacing) {
        Word("\\expndtw", to.spacing);
    }
    if (from.kerning != to.kerning) {
        Word("\\kerning", (to.kerning + 5) / 10);
        if (to.kerning % 10 != 0) {
            Word("\\kvkern", to.kerning);
        }
    }
    if (from.animation != to.animation) {
        Word("\\animtext", to.animation);
    }
    if (from.style != to.style) {
        Word("\\kvcs", to.style);
    }
    if (from.revAuthor != to.revAuthor) {
        Word("\\revauth", to.revAuthor);
    }
    current_ = to;
}

void Writer::WriteParaFormat(const ParaFormat& f) {
    const ParaFormat plain;
    Word("\\pard");
    switch (f.alignment) {
    case PFA_RIGHT:
        Word("\\qr");
        break;
    case PFA_CENTER:
        Word("\\qc");
        break;
    case PFA_JUSTIFY:
        Word("\\qj");
        break;
    default:
        break;
    }
    // The model's start indent is the first line's; the offset is that of the others.
    if (f.offset != 0) {
        Word("\\fi", -static_cast<long long>(f.offset));
    }
    if (f.startIndent + f.offset != 0) {
        Word("\\li", static_cast<long long>(f.startIndent) + f.offset);
    }
    if (f.rightIndent != 0) {
        Word("\\ri", f.rightIndent);
    }
    if (f.spaceBefore != 0) {
        Word("\\sb", f.spaceBefore);
    }
    if (f.spaceAfter != 0) {
        Word("\\sa", f.spaceAfter);
    }
    if (f.lineSpacingRule != 0 || f.lineSpacing != 0) {
        switch (f.lineSpacingRule) {
        case 1:
            Word("\\sl360\\slmult1");
            break;
        case 2:
            Word("\\sl480\\slmult1");
            break;
        case 3:
            Word("\\sl", f.lineSpacing);
            Word("\\slmult0");
            break;
        case 4:
            Word("\\sl", -static_cast<long long>(f.lineSpacing));
            Word("\\slmult0");
            break;
        case 5:
            Word("\\sl", static_cast<long long>(f.lineSpacing) * 12);
            Word("\\slmult1");
            break;
        default:
            break;
        }
        Word("\\kvlsr", f.lineSpacingRule);
        Word("\\kvls", f.lineSpacing);
    }
    for (const ParaEffectWord& e : kParaEffectWords) {
        if (f.effects & e.bit) {
            Word(e.word);
        }
    }
    if (f.effects & 0xFF00) {
        Word("\\kvpe", f.effects);
    }
    if (f.outlineLevel != 0) {
        Word("\\outlinelevel", f.outlineLevel);
    }
    if (f.numbering != plain.numbering) {
        Word("\\kvnum", f.numbering);
    }
    if (f.style != 0) {
        Word("\\kvsty", f.style);
    }
    if (f.shadingWeight != 0 || f.shadingStyle != 0) {
        Word("\\kvshw", f.shadingWeight);
        Word("\\kvshs", f.shadingStyle);
    }
    if (f.numberingStart != 0) {
        Word("\\kvns", f.numberingStart);
    }
    if (f.numberingStyle != 0) {
        Word("\\kvnst", f.numberingStyle);
    }
    if (f.numberingTab != 0) {
        Word("\\kvntab", f.numberingTab);
    }
    if (f.borderSpace != 0 || f.borderWidth != 0 || f.borders != 0) {
        Word("\\kvbrs", f.borderSpace);
        Word("\\kvbrw", f.borderWidth);
        Word("\\kvbrd", f.borders);
    }
    for (int i = 0; i < f.tabCount && i < MAX_TAB_STOPS; ++i) {
        const LONG tab = f.tabs[std::size_t(i)];
        static constexpr std::array<std::string_view, 4> kinds = {"", "\\tqc", "\\tqr", "\\tqdec"};
        static constexpr std::array<std::string_view, 6> leaders = {"",       "\\tldot", "\\tlhyph",
                                                                    "\\tlul", "\\tlth",  "\\tleq"};
        const unsigned kind = unsigned(tab >> 24) & 0x0F;
        const unsigned leader = unsigned(tab >> 28) & 0x0F;
        if (leader > 0 && leader < leaders.size()) {
            Word(leaders[leader]);
        }
        if (kind > 0 && kind < kinds.size()) {
            Word(kinds[kind]);
        }
        if (kind >= 5 || leader >= leaders.size()) {
            Word("\\kvtab", tab); // no standard form: the whole value
        } else {
            Word(kind == 4 ? "\\tb" : "\\tx", tab & 0x00FFFFFF);
        }
    }
}

void Writer::WriteFaceName(std::u16string_view face, UINT codePage) {
    // Names hold no control words: anything but plain ASCII goes as bytes or \u.
    for (char16_t c : face) {
        if (c == u';' || c < 0x20) {
            out_.Put("\\'");
            out_.Put(kHex[(c >> 4) & 15]);
            out_.Put(kHex[c & 15]);
        } else if (c == 0x00A0 || c == 0x00AD) {
            out_.Put(c == 0x00A0 ? "\\u160?" : "\\u173?");
        } else {
            WriteEscaped(c, codePage);
        }
    }
}

void Writer::WriteEscaped(char16_t c, UINT codePage) {
    if (c >= 0x20 && c < 0x7F) {
        EndWords();
        if (c == u'\\' || c == u'{' || c == u'}') {
            out_.Put('\\');
        }
        out_.Put(char(c));
        return;
    }
    switch (c) {
    case u'\t':
        Word("\\tab");
        return;
    case 0x000B:
        Word("\\line");
        return;
    case 0x00A0:
    case 0x00AD:
        // A control symbol ends the word before it; no delimiter is owed any more.
        out_.Put(c == 0x00A0 ? "\\~" : "\\-");
        pendingDelimiter_ = false;
        return;
    default:
        break;
    }
    const std::uint64_t key = std::uint64_t(codePage) << 16 | c;
    auto it = escapes_.find(key);
    if (it == escapes_.end()) {
        std::string escaped;
        const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
        if (c >= 0x80 && !surrogate && codePage != CP_SYMBOL) {
            char bytes[8];
            BOOL usedDefault = FALSE;
            const WCHAR wide = c;
            const int n = WideCharToMultiByte(codePage, 0, &wide, 1, bytes, sizeof bytes, nullptr,
                                              &usedDefault);
            WCHAR back[4];
            // Only an exact round trip counts: a best-fit substitute would lose the character.
            if (n > 0 && !usedDefault && MultiByteToWideChar(codePage, 0, bytes, n, back, 4) == 1 &&
                back[0] == c) {
                for (int i = 0; i < n; ++i) {
                    const auto b = static_cast<unsigned char>(bytes[i]);
                    escaped += "\\'";
                    escaped += kHex[b >> 4];
                    escaped += kHex[b & 15];
                }
            }
        }
        if (escaped.empty()) {
            escaped = "\\u" + std::to_string(std::int16_t(c)) + "?";
        }
        it = escapes_.emplace(key, std::move(escaped)).first;
    }
    out_.Put(it->second);
    pendingDelimiter_ = false;
}

void Writer::WriteText(const char16_t* chars, std::int64_t count, std::int64_t docPos) {
    std::int64_t i = 0;
    while (i < count && !out_.Failed()) {
        // Plain printable ASCII goes out in bulk.
        std::int64_t j = i;
        while (j < count && chars[j] >= 0x20 && chars[j] < 0x7F && chars[j] != u'\\' &&
               chars[j] != u'{' && chars[j] != u'}') {
            ++j;
        }
        if (j > i) {
            EndWords();
            char* dst = out_.Reserve(std::size_t(j - i));
            for (std::int64_t k = i; k < j; ++k) {
                *dst++ = char(chars[k]);
            }
            out_.Commit();
            i = j;
            continue;
        }
        const char16_t c = chars[i];
        const std::int32_t object =
            c == RichEditDocument::ObjectChar ? doc_.ObjectAt(docPos + i) : 0;
        const std::string group =
            object != 0 && options_.objectRtf ? options_.objectRtf(object) : std::string();
        if (!group.empty()) {
            pendingDelimiter_ = false; // the group's brace ends a control word before it
            out_.Put(group);
        } else if (object != 0) {
            const std::u16string text = options_.objectText ? options_.objectText(object) : u" ";
            for (char16_t t : text) {
                WriteEscaped(t, currentCodePage_);
            }
        } else {
            WriteEscaped(c, currentCodePage_);
        }
        ++i;
    }
}

bool Writer::Run(std::int64_t start, std::int64_t end) {
    defaultLanguage_ = LANGID(doc_.DefaultCharFormat().lcid & 0xFFFF);
    CollectTables(start, end);
    current_ = RtfPlainFormat(doc_.DefaultCharFormat(), defaultLanguage_);
    currentCodePage_ = CodePageOfCharset(current_.charSet, options_.codePage);
    WriteHeader();

    const LineIndex& lines = doc_.Lines();
    std::int64_t para = lines.ParagraphFromPosition(start);
    std::int32_t writtenPara = -1;
    std::int64_t pos = start;
    const auto startParagraph = [&](std::int64_t p) {
        const std::int32_t id = doc_.ParaFormatIdOf(p);
        if (id != writtenPara) {
            WriteParaFormat(doc_.ParaFormatById(id));
            writtenPara = id;
        }
    };
    while (pos < end && !out_.Failed()) {
        startParagraph(para);
        const std::int64_t paraEnd = lines.ParagraphEnd(para);
        const std::int64_t segmentEnd = std::min(paraEnd, end);
        const bool hasCr = segmentEnd == paraEnd && para + 1 < lines.Paragraphs();
        const std::int64_t textEnd = hasCr ? segmentEnd - 1 : segmentEnd;
        doc_.CharRuns().ForEachRun(
            pos, textEnd - pos, [&](std::int64_t s, std::int64_t l, std::int32_t id) {
                WriteCharFormat(doc_.ResolveCharFormat(id));
                doc_.ForEachSegment(s, l, [&](const char16_t* chars, std::int64_t n) {
                    WriteText(chars, n, s);
                    s += n;
                });
            });
        if (hasCr) {
            WriteCharFormat(doc_.ResolveCharFormat(doc_.CharFormatIdAt(textEnd)));
            out_.Put("\\par\r\n");
            pendingDelimiter_ = false;
        }
        pos = segmentEnd;
        ++para;
    }
    if (options_.finalMark) {
        startParagraph(lines.Paragraphs() - 1);
        WriteCharFormat(doc_.ResolveCharFormat(doc_.CharFormatIdAt(doc_.Length())));
        out_.Put("\\par\r\n");
    }
    out_.Put("}\r\n");
    return out_.Finish();
}

} // namespace

bool WriteRtf(const RichEditDocument& doc, std::int64_t start, std::int64_t end,
              const RtfWriteOptions& options, ChunkSink& sink) {
    Writer writer(doc, options, sink);
    return writer.Run(start, end);
}
