#pragma once
// Character and paragraph formats as the document stores them, the tables that hold each
// distinct format once, and the conversions from and to the message structures.

#include "platform/richedit/RichEdit.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// One character format. Underline is kept as its type alone: the underline effect is on
// exactly when the type is not "none", so the two can never disagree.
struct CharFormat {
    DWORD effects = CFE_AUTOCOLOR | CFE_AUTOBACKCOLOR; // CFE_ bits except CFE_UNDERLINE
    LONG height = 200;                                 // twips
    LONG offset = 0;                                   // twips, > 0 raises
    COLORREF textColor = 0;
    COLORREF backColor = 0;
    BYTE charSet = 0;
    BYTE pitchAndFamily = 0;
    std::array<char16_t, LF_FACESIZE> face{}; // zero-terminated, at most 31 characters
    WORD weight = 400;
    std::int16_t spacing = 0;
    LCID lcid = 0;
    std::int16_t style = 0;
    WORD kerning = 0;
    BYTE underlineType = 0;
    BYTE animation = 0;
    BYTE revAuthor = 0;

    bool operator==(const CharFormat&) const = default;

    std::u16string_view Face() const;
    void SetFace(std::u16string_view name);
    DWORD Effects() const { return effects | (underlineType != 0 ? CFE_UNDERLINE : 0); }
};

struct CharFormatHash {
    std::size_t operator()(const CharFormat& f) const;
};

struct ParaFormat {
    WORD numbering = 0;
    WORD effects = 0;
    LONG startIndent = 0;
    LONG rightIndent = 0;
    LONG offset = 0;
    WORD alignment = PFA_LEFT;
    std::int16_t tabCount = 0;
    std::array<LONG, MAX_TAB_STOPS> tabs{};
    LONG spaceBefore = 0;
    LONG spaceAfter = 0;
    LONG lineSpacing = 0;
    std::int16_t style = 0;
    BYTE lineSpacingRule = 0;
    BYTE outlineLevel = 0;
    WORD shadingWeight = 0;
    WORD shadingStyle = 0;
    WORD numberingStart = 0;
    WORD numberingStyle = 0;
    WORD numberingTab = 0;
    WORD borderSpace = 0;
    WORD borderWidth = 0;
    WORD borders = 0;

    bool operator==(const ParaFormat&) const = default;
};

struct ParaFormatHash {
    std::size_t operator()(const ParaFormat& f) const;
};

// Distinct formats, each stored once and named by a small index; documents are mostly one
// format, so runs and paragraphs hold indexes instead of copies.
template <typename F, typename Hash> class FormatTable {
public:
    std::int32_t Intern(const F& format) {
        auto it = index_.find(format);
        if (it != index_.end()) {
            return it->second;
        }
        const auto id = std::int32_t(items_.size());
        items_.push_back(format);
        index_.emplace(format, id);
        return id;
    }
    const F& Get(std::int32_t id) const { return items_[std::size_t(id)]; }
    std::size_t Size() const { return items_.size(); }
    void Clear() {
        items_.clear();
        index_.clear();
    }

private:
    std::vector<F> items_;
    std::unordered_map<F, std::int32_t, Hash> index_;
};

using CharFormatTable = FormatTable<CharFormat, CharFormatHash>;
using ParaFormatTable = FormatTable<ParaFormat, ParaFormatHash>;

// --- the message structures ------------------------------------------------------------------
// The sizes a character format message accepts; anything else fails the message.
bool IsCharFormatSize(UINT cbSize);
bool IsParaFormatSize(UINT cbSize);

// The fields of format that the mask selects, applied to target (the platform's rules:
// the face brings its pitch and family along, an underline type alone switches underline
// on, an explicit underline effect wins over the type, bold and weight follow each other).
// cf may be a CHARFORMATW (only its fields are read).
void ApplyCharFormat(CharFormat& target, const CHARFORMAT2W& cf);
// Fills cf (of the size cf.cbSize names) from format, with dwMask = mask.
void FillCharFormat(CHARFORMAT2W& cf, const CharFormat& format, DWORD mask);
// Mask bits of the fields in which a and b agree.
DWORD CharFormatAgreement(const CharFormat& a, const CharFormat& b);

// Returns false when the structure asks for something invalid (the message then fails).
bool ApplyParaFormat(ParaFormat& target, const PARAFORMAT2& pf);
void FillParaFormat(PARAFORMAT2& pf, const ParaFormat& format, DWORD mask);
DWORD ParaFormatAgreement(const ParaFormat& a, const ParaFormat& b);
