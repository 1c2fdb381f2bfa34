#include "platform/locale/Locale.h"
#include "platform/richedit/RtfCommon.h"
#include "platform/richedit/RtfParser.h"

#include <algorithm>
#include <climits>

using namespace rtfparse;

namespace {

bool IsPlainTextByte(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b >= 0x20 && b < 0x80 && b != '\\' && b != '{' && b != '}';
}

} // namespace

CharFormat RtfParser::PlainFormat() const {
    CharFormat f = doc_.DefaultCharFormat();
    auto it = fonts_.find(defaultFont_);
    if (it != fonts_.end()) {
        f.SetFace(it->second.face);
        f.charSet = BYTE(it->second.charset < 0 ? DEFAULT_CHARSET : it->second.charset);
        f.pitchAndFamily = it->second.pitchAndFamily;
    }
    return RtfPlainFormat(f, defaultLanguage_);
}

RtfReadResult RtfParser::Run() {
    documentCodePage_ = options_.codePage;
    if (!LooksLikeRtf(data_)) {
        result_.error = RICHEDIT_ERROR_INVALIDRTF;
        return result_;
    }
    utf8_ = data_.substr(0, 5) == "{\\urt";
    result_.fragment.text.reserve(data_.size());
    state_.cf = PlainFormat();
    state_.codePage = documentCodePage_;
    while (!AtEnd() && !done_ && result_.error == 0) {
        const auto b = static_cast<unsigned char>(data_[pos_++]);
        switch (b) {
        case '{':
            FlushBytes();
            OpenGroup();
            break;
        case '}':
            FlushBytes();
            CloseGroup();
            break;
        case '\\':
            if (AtEnd()) {
                Fail(RICHEDIT_ERROR_BADRTF);
                break;
            }
            if (std::isalpha(static_cast<unsigned char>(data_[pos_]))) {
                ControlWord();
            } else {
                ControlSymbol(data_[pos_++]);
            }
            break;
        case '\r':
        case '\n':
            break;
        case '\t':
            FlushBytes();
            if (state_.dest == Dest::Body) {
                AppendChar(u'\t');
            }
            break;
        default:
            if (b >= 0x20 && b < 0x80 && state_.dest == Dest::Body && skipFallback_ == 0 &&
                pendingBytes_.empty() && !utf8_) {
                // Plain text, the bulk of a document: taken a stretch at a time.
                const std::size_t start = pos_ - 1;
                while (pos_ < data_.size() && IsPlainTextByte(data_[pos_])) {
                    ++pos_;
                }
                AppendAscii(data_.substr(start, pos_ - start));
                groupStart_ = false;
            } else {
                TextByte(b);
            }
            break;
        }
    }
    FlushBytes();
    if (result_.error == 0 && !done_) {
        result_.error = RICHEDIT_ERROR_TRUNCATEDRTF;
    }
    if (result_.error != 0) {
        return std::move(result_);
    }
    TextFragment& f = result_.fragment;
    result_.finalParaFormat = CurrentParaId();
    result_.finalCharFormat = CurrentRunId();
    if (options_.wholeDocument && lastWasPar_ && !f.text.empty() && f.text.back() == u'\r') {
        // The last \par is the final mark the document always has.
        f.text.pop_back();
        result_.finalCharFormat = f.runs.back().second;
        if (--f.runs.back().first == 0) {
            f.runs.pop_back();
        }
        result_.finalParaFormat = f.paraFormats.back();
        f.paraFormats.pop_back();
    }
    return std::move(result_);
}

void RtfParser::OpenGroup() {
    if (int(stack_.size()) >= options_.maxDepth) {
        Fail(RICHEDIT_ERROR_BADRTF);
        return;
    }
    // The first group inside \upr is the 8-bit copy of the \ud group that follows.
    const bool skipCopy = state_.uprAnsiPending;
    state_.uprAnsiPending = false;
    stack_.push_back(state_);
    if (skipCopy) {
        state_.dest = Dest::Skip;
    }
    groupStart_ = true;
    skipFallback_ = 0;
}

void RtfParser::CloseGroup() {
    if (state_.dest == Dest::FontTable && fontEntry_ >= 0 && !fontNameDone_) {
        FinishFontName(); // an entry without its ';'
    }
    if (stack_.empty()) {
        Fail(RICHEDIT_ERROR_BADRTF);
        return;
    }
    const bool leftFontTable = state_.dest == Dest::FontTable;
    state_ = stack_.back();
    stack_.pop_back();
    runId_ = -1;
    if (inObject_ && stack_.size() < objectDepth_) {
        FinishObject();
    }
    if (leftFontTable && state_.dest == Dest::Body) {
        // Text before any \f is in the default font, now that its name is known.
        state_.cf = PlainFormat();
        SelectFont(defaultFont_);
    }
    skipFallback_ = 0;
    groupStart_ = false;
    if (stack_.empty()) {
        done_ = true; // the outermost group is closed: the rest of the input is not ours
    }
}

void RtfParser::ControlWord() {
    const std::size_t start = pos_;
    while (!AtEnd() && pos_ - start < 32 && std::isalpha(static_cast<unsigned char>(data_[pos_]))) {
        ++pos_;
    }
    const std::string_view word = data_.substr(start, pos_ - start);
    bool hasParam = false;
    bool negative = false;
    long long param = 0;
    if (!AtEnd() && data_[pos_] == '-') {
        negative = true;
        ++pos_;
    }
    int digits = 0;
    while (!AtEnd() && std::isdigit(static_cast<unsigned char>(data_[pos_]))) {
        if (++digits > 10) {
            Fail(RICHEDIT_ERROR_BADRTF);
            return;
        }
        param = param * 10 + (data_[pos_] - '0');
        hasParam = true;
        ++pos_;
    }
    if (negative) {
        param = -param;
    }
    if (param > INT_MAX || param < INT_MIN) {
        Fail(RICHEDIT_ERROR_BADRTF);
        return;
    }
    if (!AtEnd() && data_[pos_] == ' ') {
        ++pos_;
    }
    const bool wasGroupStart = groupStart_;
    groupStart_ = false;
    const bool ignorable = ignorableNext_;
    ignorableNext_ = false;

    if (word == "bin") {
        if (param < 0 || std::size_t(param) > data_.size() - pos_) {
            Fail(RICHEDIT_ERROR_TRUNCATEDRTF);
            return;
        }
        if (state_.dest == Dest::ObjData) {
            ObjectBinary(data_.substr(pos_, std::size_t(param)));
        }
        pos_ += std::size_t(param); // binary data: never text here
        return;
    }
    if (state_.dest == Dest::Skip) {
        return;
    }
    FlushBytes();
    if (word != "u") {
        skipFallback_ = 0;
    }
    // A destination word at the start of a group decides what the group is.
    if (wasGroupStart || ignorable) {
        if (word == "fonttbl") {
            state_.dest = Dest::FontTable;
            return;
        }
        if (word == "colortbl") {
            state_.dest = Dest::ColorTable;
            return;
        }
        if (word == "upr") {
            state_.uprAnsiPending = true;
            return;
        }
        if (ObjectDestination(word)) {
            return;
        }
        const bool known = word == "field" || word == "fldrslt" || word == "object" ||
                           word == "result" || word == "upr" || word == "ud";
        if ((ignorable && !known) || IsSkippedDestination(word)) {
            state_.dest = Dest::Skip;
            return;
        }
    }
    if (ObjectWord(word, param)) {
        return;
    }
    switch (state_.dest) {
    case Dest::FontTable:
        FontTableWord(word, hasParam, param);
        break;
    case Dest::ColorTable:
        ColorTableWord(word, param);
        break;
    case Dest::Body:
        BodyWord(word, hasParam, param);
        break;
    case Dest::Skip:
    case Dest::ObjClass:
    case Dest::ObjData:
        break;
    }
}

void RtfParser::ControlSymbol(char c) {
    const bool wasGroupStart = groupStart_;
    groupStart_ = false;
    if (c == '*') {
        ignorableNext_ = true;
        groupStart_ = wasGroupStart;
        return;
    }
    if (c == '\'') {
        if (data_.size() - pos_ < 2 || !std::isxdigit(static_cast<unsigned char>(data_[pos_])) ||
            !std::isxdigit(static_cast<unsigned char>(data_[pos_ + 1]))) {
            Fail(RICHEDIT_ERROR_BADRTF);
            return;
        }
        const auto hex = [](char h) { return h <= '9' ? h - '0' : (h | 0x20) - 'a' + 10; };
        const int value = hex(data_[pos_]) * 16 + hex(data_[pos_ + 1]);
        pos_ += 2;
        HexByte(static_cast<unsigned char>(value));
        return;
    }
    if (state_.dest == Dest::Skip) {
        return;
    }
    FlushBytes();
    skipFallback_ = 0;
    if (state_.dest == Dest::FontTable) {
        if ((c == '\\' || c == '{' || c == '}') && fontEntry_ >= 0 && !fontNameDone_) {
            fontNameBytes_.push_back(c);
        }
        return;
    }
    if (state_.dest != Dest::Body) {
        return;
    }
    switch (c) {
    case '\\':
    case '{':
    case '}':
        AppendChar(char16_t(c));
        break;
    case '~':
        AppendChar(0x00A0);
        break;
    case '-':
        AppendChar(0x00AD);
        break;
    case '_':
        AppendChar(0x2011);
        break;
    case '\r':
    case '\n':
        ParagraphBreak();
        break;
    default:
        break; // \| \: and the like carry nothing for us
    }
}

void RtfParser::TextByte(unsigned char b) {
    groupStart_ = false;
    if (state_.dest == Dest::ObjClass || state_.dest == Dest::ObjData) {
        ObjectByte(b);
        return;
    }
    if (state_.dest == Dest::Skip || state_.dest == Dest::ColorTable) {
        if (state_.dest == Dest::ColorTable && b == ';') {
            colors_.push_back(
                RGB(BYTE(std::max(red_, 0)), BYTE(std::max(green_, 0)), BYTE(std::max(blue_, 0))));
            colorAuto_.push_back(red_ < 0 && green_ < 0 && blue_ < 0);
            red_ = green_ = blue_ = -1;
        }
        return;
    }
    if (state_.dest == Dest::FontTable) {
        if (skipFallback_ > 0) {
            --skipFallback_;
        } else if (b == ';') {
            FinishFontName();
        } else if (fontEntry_ >= 0 && !fontNameDone_) {
            fontNameBytes_.push_back(char(b));
        }
        return;
    }
    if (skipFallback_ > 0) {
        --skipFallback_;
        return;
    }
    if (b < 0x80 && !utf8_ && pendingBytes_.empty()) {
        AppendChar(b == 0 ? u' ' : char16_t(b)); // NUL bytes read as spaces
        return;
    }
    if (b == 0) {
        b = ' ';
    }
    HexByte(b);
}

void RtfParser::HexByte(unsigned char b) {
    if (state_.dest == Dest::Skip || state_.dest == Dest::ColorTable ||
        state_.dest == Dest::ObjData) {
        return;
    }
    if (state_.dest == Dest::ObjClass) {
        ObjectByte(b);
        return;
    }
    if (state_.dest == Dest::FontTable) {
        if (fontEntry_ >= 0 && !fontNameDone_) {
            fontNameBytes_.push_back(char(b));
        }
        return;
    }
    if (skipFallback_ > 0) {
        --skipFallback_;
        return;
    }
    const UINT codePage = utf8_ ? CP_UTF8 : state_.codePage;
    if (!pendingBytes_.empty() && pendingCodePage_ != codePage) {
        FlushBytes();
    }
    if (codePage != CP_UTF8 && !IsDoubleByteCodePage(codePage)) {
        const char16_t c = SingleByteTable(codePage)[b];
        if (c == 0 && b != 0) {
            Fail(RICHEDIT_ERROR_NOTRANSLATION);
            return;
        }
        AppendChar(b == 0 ? u' ' : c); // \'00 reads as a NUL byte does
        return;
    }
    pendingCodePage_ = codePage;
    pendingBytes_.push_back(char(b));
}

void RtfParser::FlushBytes() {
    if (pendingBytes_.empty()) {
        return;
    }
    const std::string bytes = std::move(pendingBytes_);
    pendingBytes_.clear();
    AppendUnits(DecodeBytes(bytes, pendingCodePage_));
}

std::u16string RtfParser::DecodeBytes(const std::string& bytes, UINT codePage) {
    std::u16string out;
    if (!AnsiToWideChecked(bytes, codePage, out)) {
        Fail(RICHEDIT_ERROR_NOTRANSLATION);
    }
    return out;
}

int RtfParser::UnicodeUnit(long long param) {
    if (param < -32768 || param > 65535) {
        return -1;
    }
    return int(param < 0 ? param + 65536 : param);
}

const std::array<char16_t, 256>& RtfParser::SingleByteTable(UINT codePage) {
    auto it = tables_.find(codePage);
    if (it != tables_.end()) {
        return it->second;
    }
    std::array<char16_t, 256> table{};
    for (int b = 0; b < 256; ++b) {
        if (codePage == CP_SYMBOL) {
            table[std::size_t(b)] = b < 0x20 ? char16_t(b) : char16_t(0xF000 + b);
            continue;
        }
        const char byte = char(b);
        WCHAR wide = u'?';
        if (MultiByteToWideChar(codePage, 0, &byte, 1, &wide, 1) != 1) {
            // 0 marks a byte with no converter: HexByte fails the read on it.
            wide = b < 0x80 ? char16_t(b) : u'\0';
        }
        table[std::size_t(b)] = wide;
    }
    return tables_.emplace(codePage, table).first->second;
}

std::int32_t RtfParser::CurrentRunId() {
    if (runId_ < 0) {
        runId_ = doc_.InternCharFormat(state_.cf);
    }
    return runId_;
}

std::int32_t RtfParser::CurrentParaId() {
    ParaFormat pf = state_.para.pf;
    pf.startIndent = LONG(
        std::clamp<long long>(state_.para.leftIndent + state_.para.firstIndent, INT_MIN, INT_MAX));
    pf.offset = LONG(std::clamp<long long>(-state_.para.firstIndent, INT_MIN, INT_MAX));
    return doc_.InternParaFormat(pf);
}

void RtfParser::AppendChar(char16_t c) {
    TextFragment& f = result_.fragment;
    const std::int32_t id = CurrentRunId();
    f.text.push_back(c);
    if (!f.runs.empty() && f.runs.back().second == id) {
        ++f.runs.back().first;
    } else {
        f.runs.emplace_back(1, id);
    }
    lastWasPar_ = false;
    lastWasCell_ = false;
}

void RtfParser::AppendAscii(std::string_view bytes) {
    TextFragment& f = result_.fragment;
    const std::int32_t id = CurrentRunId();
    const std::size_t at = f.text.size();
    f.text.resize(at + bytes.size());
    std::copy(bytes.begin(), bytes.end(), f.text.begin() + std::ptrdiff_t(at));
    if (!f.runs.empty() && f.runs.back().second == id) {
        f.runs.back().first += std::int64_t(bytes.size());
    } else {
        f.runs.emplace_back(std::int64_t(bytes.size()), id);
    }
    lastWasPar_ = false;
    lastWasCell_ = false;
}

void RtfParser::AppendUnits(std::u16string_view units) {
    for (char16_t c : units) {
        AppendChar(c == u'\0' ? u' ' : c);
    }
}

void RtfParser::ParagraphBreak() {
    AppendChar(u'\r');
    result_.fragment.paraFormats.push_back(CurrentParaId());
    lastWasPar_ = true;
}

// --- destinations ------------------------------------------------------------------------

bool LooksLikeRtf(std::string_view data) {
    return data.substr(0, 5) == "{\\rtf" || data.substr(0, 6) == "{\\urtf";
}

RtfReadResult ReadRtf(std::string_view data, RichEditDocument& doc, const RtfReadOptions& options) {
    return RtfParser(data, doc, options).Run();
}
