#pragma once
// EM_STREAMIN and EM_STREAMOUT: the EDITSTREAM callback contract over the document, for
// plain 8-bit text, UTF-16 text and RTF.

#include "platform/richedit/RichEdit.h"
#include "platform/richedit/RichEditDocument.h"
#include "platform/richedit/RtfReader.h"

#include <functional>
#include <string>

// Bytes per callback call, both ways.
inline constexpr LONG StreamChunkSize = 16384;

// Set when the callback takes fewer bytes than it was offered and then none at all: the
// output would silently lack its end.
inline constexpr DWORD RICHEDIT_ERROR_SHORTWRITE = 0x8007001D;

struct StreamContext {
    // Text for an embedded object in SF_TEXTIZED and SF_RTF output; nullptr writes a space.
    std::function<std::u16string(std::int32_t objectId)> objectText;
    // An object as an RTF group in SF_RTF output; empty (or nullptr) writes objectText.
    std::function<std::string(std::int32_t objectId)> objectRtf;
    // Makes an object from an RTF \object group being read (at offset in the text read so
    // far); returns its id, or 0 to keep the group's result text instead.
    std::function<std::int32_t(const RtfObjectData& object)> embedObject;
};

// Returns what the message returns: the bytes the callback accepted.
LRESULT StreamOut(const RichEditDocument& doc, WPARAM flags, EDITSTREAM& stream,
                  const StreamContext& context);

struct StreamInOutcome {
    LRESULT result = 0;   // bytes read (text) or characters inserted (RTF)
    bool changed = false; // the document changed
};

// Reads the whole stream first, so a failing callback or unreadable RTF leaves the
// document as it was.
StreamInOutcome StreamIn(RichEditDocument& doc, WPARAM flags, EDITSTREAM& stream,
                         const StreamContext& context = {});
