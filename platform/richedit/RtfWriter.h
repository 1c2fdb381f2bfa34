#pragma once
// Writes a range of a document as a complete RTF 1.x document.
//
// Standard control words carry everything other readers understand. Where a value of the
// model has no exact standard form (a size in odd twips, an underline style RTF lacks, the
// link effect, ...), a private control word starting with "kv" follows the standard one;
// readers skip control words they do not know, ours reads them back to the identical model.

#include "platform/richedit/RichEditDocument.h"
#include "platform/richedit/RtfCommon.h"

#include <functional>

struct RtfWriteOptions {
    UINT codePage = 1252;  // \ansicpg and the code page of fonts without a fixed one
    bool plainRtf = false; // leave out the language-specific keywords
    bool finalMark = true; // write the final paragraph mark as a last \par
    // Text standing for an embedded object; nullptr writes a space.
    std::function<std::u16string(std::int32_t objectId)> objectText;
    // A whole {\object ...} group for an embedded object; empty (or nullptr) writes the text.
    std::function<std::string(std::int32_t objectId)> objectRtf;
};

// Writes [start, end) of doc to sink; returns false when the sink refused a chunk.
bool WriteRtf(const RichEditDocument& doc, std::int64_t start, std::int64_t end,
              const RtfWriteOptions& options, ChunkSink& sink);
