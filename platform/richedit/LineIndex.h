#pragma once
// Paragraphs and display lines of a document.
//
// Paragraph starts live in a partitioning (one CR ends each paragraph; the last paragraph
// ends at the virtual final mark). Display lines are what the line messages count: one per
// paragraph unless a line breaker is installed, in which case a second partitioning keeps
// each paragraph's first display line and the breaker's offsets are kept for paragraphs
// that wrap. Every query is O(log n); appending costs O(length appended).

#include "platform/richedit/Partitioning.h"
#include "platform/richedit/SplitVector.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

// Splits one paragraph (its text without the CR) into display lines.
class LineBreaker {
public:
    virtual ~LineBreaker() = default;
    // Appends to starts the offsets (ascending, each in (0, text.size())) at which display
    // lines after the first begin.
    virtual void BreakParagraph(std::u16string_view text, std::vector<std::int32_t>& starts) = 0;
};

class LineIndex {
public:
    using Pos = std::int64_t;

    explicit LineIndex(SplitVector<char16_t>& text) : text_(text) {}
    ~LineIndex();
    LineIndex(const LineIndex&) = delete;
    LineIndex& operator=(const LineIndex&) = delete;

    // --- paragraphs ---------------------------------------------------------------------
    Pos Paragraphs() const { return paras_.Partitions(); }
    Pos ParagraphStart(Pos para) const { return paras_.PositionFromPartition(para); }
    // End of the paragraph including its CR (the text length for the last one).
    Pos ParagraphEnd(Pos para) const { return paras_.PositionFromPartition(para + 1); }
    Pos ParagraphFromPosition(Pos pos) const { return paras_.PartitionFromPosition(pos); }

    // --- display lines ------------------------------------------------------------------
    Pos LineCount() const;
    Pos LineStart(Pos line) const;       // line in [0, LineCount())
    Pos LineFromPosition(Pos pos) const; // pos clamped to [0, length]
    Pos LineLength(Pos line) const;      // without the paragraph's CR
    Pos LineEnd(Pos line) const;         // start + length: excludes the CR

    // Installs a breaker (nullptr: one line per paragraph). With layOutNow false every
    // paragraph counts as one line until Rewrap reaches it, so that a view can lay a large
    // document out in bounded steps (visible paragraphs first); edits lay out what they touch.
    void SetBreaker(LineBreaker* breaker, bool layOutNow = true);
    LineBreaker* Breaker() const { return breaker_; }
    // Lays the paragraphs [first, first + count) out again (after a width change).
    void Rewrap(Pos first, Pos count);

    // --- edits, called by the document after it changed the text --------------------------
    void Inserted(Pos pos, Pos length); // the text [pos, pos + length) is new
    void Deleted(Pos pos, Pos length);  // the text [pos, pos + length) was removed

    void Clear();
    std::size_t FootprintBytes() const;

    void Check() const; // invariants, for tests

private:
    using Wrap = std::vector<std::int32_t>; // offsets of display lines 2, 3, ... in a paragraph

    Pos WrappedLines(Pos para) const;
    void LayOut(Pos para); // re-breaks one paragraph and adjusts the display counts
    const Wrap* WrapOf(Pos para) const { return wraps_.ValueAt(para); }

    SplitVector<char16_t>& text_;
    Partitioning paras_;
    // Only with a breaker: partition i holds the display lines of paragraph i.
    Partitioning display_;
    SplitVector<Wrap*> wraps_; // owned; nullptr for a paragraph of one line
    LineBreaker* breaker_ = nullptr;
};
