#pragma once
// Reads an RTF document into a text fragment whose formats are interned in a document's
// tables. Tolerant of what word processors write; malformed input ends with an error code
// (never a crash, a hang or memory beyond a small multiple of the input).

#include "platform/richedit/RichEditDocument.h"

#include <functional>
#include <string>
#include <string_view>

// What an RTF \object group carries.
struct RtfObjectData {
    std::string className;   // \objclass, as written (ASCII in practice)
    std::string data;        // \objdata, decoded from hex
    long long width = -1;    // \objw in twips, -1 when absent
    long long height = -1;   // \objh in twips
    std::u16string result;   // the \result text
    std::int64_t offset = 0; // where the object goes in the text read
};

struct RtfReadOptions {
    UINT codePage = 1252;      // when the document declares none
    bool wholeDocument = true; // the last \par merges into the final paragraph mark
    bool plainRtf = false;     // ignore language-specific keywords
    int maxDepth = 512;        // deeper nesting is an error
    // Turns an \object group into an object placeholder: returns the object's id, or 0 to
    // keep the group's result text. Without it every object reads as its result text.
    std::function<std::int32_t(const RtfObjectData& object)> embedObject;
};

struct RtfReadResult {
    DWORD error = 0; // 0, or one of the RICHEDIT_ERROR_ codes
    TextFragment fragment;
    // For a whole document: formats of the final paragraph mark.
    std::int32_t finalCharFormat = RichEditDocument::DefaultFormatId;
    std::int32_t finalParaFormat = 0;
    // The default character format the document declares (\deff font, \deflang).
    bool hasDefaultFont = false;
};

RtfReadResult ReadRtf(std::string_view data, RichEditDocument& doc, const RtfReadOptions& options);

// Whether data starts like an RTF document.
bool LooksLikeRtf(std::string_view data);
