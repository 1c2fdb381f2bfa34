#pragma once
// Internal to the RTF reader: the parser's state, shared by the file that reads the
// input (groups, text, code pages) and the one that acts on control words.

#include "platform/richedit/RtfReader.h"

#include <array>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace rtfparse {

// ObjClass and ObjData: the class name and the data of the \object group being read.
enum class Dest { Body, Skip, FontTable, ColorTable, ObjClass, ObjData };

struct ParaState {
    ParaFormat pf;
    long long leftIndent = 0;  // \li
    long long firstIndent = 0; // \fi
    unsigned pendingTabKind = 0;
    unsigned pendingTabLeader = 0;
};

struct GroupState {
    Dest dest = Dest::Body;
    CharFormat cf;
    ParaState para;
    int uc = 1;
    UINT codePage = 1252;
    bool uprAnsiPending = false; // \upr seen, its 8-bit group not yet
};

struct FontEntry {
    std::u16string face;
    int charset = -1;
    BYTE pitchAndFamily = 0;
    UINT codePage = 0; // \cpg, 0 when absent
};

} // namespace rtfparse

class RtfParser {
public:
    RtfParser(std::string_view data, RichEditDocument& doc, const RtfReadOptions& options)
        : data_(data), doc_(doc), options_(options) {}

    RtfReadResult Run();

private:
    // --- lexing --------------------------------------------------------------------------
    bool AtEnd() const { return pos_ >= data_.size(); }
    void Fail(DWORD code) {
        if (result_.error == 0) {
            result_.error = code;
        }
    }
    void ControlWord();
    void ControlSymbol(char c);
    void OpenGroup();
    void CloseGroup();
    void TextByte(unsigned char b);
    void HexByte(unsigned char b);

    // --- text ------------------------------------------------------------------------------
    void FlushBytes();
    void AppendChar(char16_t c);
    void AppendUnits(std::u16string_view units);
    void AppendAscii(std::string_view bytes);
    // \uN as a UTF-16 unit, or -1 when N is outside what a signed or unsigned 16-bit
    // value can say.
    static int UnicodeUnit(long long param);
    // Bytes in a code page as UTF-16; fails the read when they need a converter this
    // machine does not have.
    std::u16string DecodeBytes(const std::string& bytes, UINT codePage);
    void ParagraphBreak();
    std::int32_t CurrentRunId();
    std::int32_t CurrentParaId();
    const std::array<char16_t, 256>& SingleByteTable(UINT codePage);

    // --- control words ----------------------------------------------------------------------
    void BodyWord(std::string_view word, bool hasParam, long long param);
    bool CharWord(std::string_view word, bool hasParam, long long param);
    bool ParaWord(std::string_view word, bool hasParam, long long param);
    void FontTableWord(std::string_view word, bool hasParam, long long param);
    void ColorTableWord(std::string_view word, long long param);
    void SelectFont(long long index);
    void FinishFontName();
    UINT FontCodePage(const rtfparse::FontEntry& font) const;
    CharFormat PlainFormat() const;
    // Destinations whose content is not body text, skipped even without \*.
    static bool IsSkippedDestination(std::string_view word);

    // --- embedded objects (RtfObjects.cpp) ------------------------------------------------
    // Whether word at a group's start begins or names a part of an object group.
    bool ObjectDestination(std::string_view word);
    bool ObjectWord(std::string_view word, long long param);
    void ObjectByte(unsigned char b);
    void ObjectBinary(std::string_view bytes);
    void FinishObject();

    std::string_view data_;
    std::size_t pos_ = 0;
    RichEditDocument& doc_;
    const RtfReadOptions& options_;
    RtfReadResult result_;

    std::vector<rtfparse::GroupState> stack_;
    rtfparse::GroupState state_;
    bool done_ = false;
    bool ignorableNext_ = false; // after \*
    bool groupStart_ = false;    // no word or text yet in the current group
    int skipFallback_ = 0;       // text items still to skip after \uN
    bool utf8_ = false;          // {\urtf: raw bytes are UTF-8

    UINT documentCodePage_;
    long long defaultFont_ = 0;
    LANGID defaultLanguage_ = 0;
    std::map<long long, rtfparse::FontEntry> fonts_;
    long long fontEntry_ = -1;
    std::string fontNameBytes_;
    bool fontNameDone_ = false;
    std::vector<COLORREF> colors_; // index 0 is the automatic colour
    std::vector<bool> colorAuto_;
    int red_ = -1, green_ = -1, blue_ = -1;

    std::string pendingBytes_;
    UINT pendingCodePage_ = 0;
    std::int32_t runId_ = -1; // interned id of state_.cf, -1 when it changed
    std::unordered_map<UINT, std::array<char16_t, 256>> tables_;
    bool lastWasPar_ = false;
    bool lastWasCell_ = false; // the last character is the tab of a \cell

    // The \object group being read: the group depth it was opened at (-1: none), and
    // what it carried so far.
    std::size_t objectDepth_ = 0;
    bool inObject_ = false;
    RtfObjectData object_;
    int objectNibble_ = -1; // the high half of a hex byte of \objdata
};
