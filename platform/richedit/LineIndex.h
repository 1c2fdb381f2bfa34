#pragma once
// Paragraphs and display lines of a document.
//
// Paragraph starts live in a partitioning (one CR ends each paragraph; the last paragraph
// ends at the virtual final mark). Display lines are what the line messages count: one per
// paragraph unless a line breaker is installed. With a breaker, a second partitioning keeps
// each paragraph's first display line, a third its height in pixels, and the breaker's
// offsets and line heights are kept for paragraphs that wrap.
//
// Layout is a cache over the text. An edit only marks what it touched; the breaker runs once
// the edit is complete (Settle, or the next query), so it always sees the paragraph with its
// formats in place, and an append re-breaks only from the display line before the edit point.
// A width change marks every paragraph stale; a view lays them out in bounded steps (visible
// ones first) while each query lays out just what its exact answer needs. Every query is
// O(log n) once laid out; appending costs O(length appended).

#include "platform/richedit/Partitioning.h"
#include "platform/richedit/SplitVector.h"

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

// What a breaker sees of one paragraph: its number, where it starts and its text without the
// CR. The breaker reads the paragraph's runs and paragraph format from its document.
struct ParagraphRef {
    std::int64_t index;
    std::int64_t start;
    std::u16string_view text;
};

class LineBreaker {
public:
    virtual ~LineBreaker() = default;
    // Lays the paragraph out from offset from (0, or the start of one of its display lines):
    // appends to starts the start offset of each display line from there on (the first is
    // from itself, the rest ascending in (from, text.size())), and to heights the height in
    // pixels of each of those lines.
    virtual void BreakParagraph(const ParagraphRef& para, std::int32_t from,
                                std::vector<std::int32_t>& starts,
                                std::vector<std::int32_t>& heights) = 0;
    // The width it breaks at; a paragraph laid out at another width is out of date.
    virtual std::int32_t Width() const = 0;
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
    // End of the paragraph's text, without its CR.
    Pos ParagraphTextEnd(Pos para) const {
        return para + 1 < Paragraphs() ? ParagraphEnd(para) - 1 : ParagraphEnd(para);
    }
    Pos ParagraphFromPosition(Pos pos) const { return paras_.PartitionFromPosition(pos); }

    // --- display lines (exact: they lay out what they need first) -------------------------
    Pos LineCount() const;
    Pos LineStart(Pos line) const;       // line in [0, LineCount())
    Pos LineFromPosition(Pos pos) const; // pos clamped to [0, length]
    Pos LineLength(Pos line) const;      // without the paragraph's CR
    Pos LineEnd(Pos line) const;         // start + length: excludes the CR

    // --- per paragraph, for a view (each lays that one paragraph out if needed) -----------
    Pos LinesOf(Pos para) const;
    Pos LineStartIn(Pos para, Pos sub) const; // absolute position of its sub-th line
    Pos LineEndIn(Pos para, Pos sub) const;   // and its end, without the paragraph's CR
    std::int32_t LineHeightIn(Pos para, Pos sub) const;
    Pos SubLineOf(Pos para, Pos pos) const; // which of the paragraph's lines holds pos
    // First display line of para counting stale paragraphs as laid out at their old width:
    // exact once nothing is stale; a scroll bar may use it while a re-wrap proceeds.
    Pos ApproxFirstLineOf(Pos para) const;
    Pos ApproxLineCount() const;
    // The paragraph that holds display line line, and the line's number within it, by the
    // same approximate count.
    std::pair<Pos, Pos> ApproxParagraphOfLine(Pos line) const;
    // Height of the whole document in pixels (stale paragraphs at their old height).
    Pos ContentHeight() const;

    // Installs a breaker (nullptr: one line per paragraph). With layOutNow false every
    // paragraph is stale until a step or a query reaches it.
    void SetBreaker(LineBreaker* breaker, bool layOutNow = true);
    LineBreaker* Breaker() const { return breaker_; }
    // The breaker's width or what it measures changed: every paragraph is out of date.
    void Invalidate();
    // Lays out the stale paragraphs [first, first + count).
    void Rewrap(Pos first, Pos count);
    // Continues a re-wrap from the first stale paragraph for about budget characters;
    // returns whether stale paragraphs remain.
    bool RewrapSome(Pos budget);
    bool HasStale() const { return firstStale_ != None; }

    // --- edits, called by the document -----------------------------------------------------
    void Inserted(Pos pos, Pos length); // the text [pos, pos + length) is new
    void Deleted(Pos pos, Pos length);  // the text [pos, pos + length) was removed
    // The formats of [pos, pos + length) changed: their paragraphs need laying out again.
    void Restyled(Pos pos, Pos length);
    // Lays out what the edits since the last call touched. Queries do this themselves.
    void Settle() const;

    void Clear();
    std::size_t FootprintBytes() const;
    // Bytes the layout itself holds (everything but the paragraph starts).
    std::size_t LayoutFootprintBytes() const;

    void Check() const; // invariants, for tests

private:
    static constexpr Pos None = INT64_MAX;
    static constexpr std::int32_t NotLaidOut = INT32_MIN;

    // The display lines of a paragraph that has more than one, or lines of differing height.
    struct Wrap {
        std::vector<std::int32_t> starts;  // offsets of lines 2, 3, ...
        std::int32_t uniformHeight = 0;    // every line's height when heights is empty
        std::vector<std::int32_t> heights; // one per line, when they differ
        std::int32_t HeightOf(std::size_t line) const {
            return heights.empty() ? uniformHeight : heights[line];
        }
    };

    Pos LinesLaidOut(Pos para) const; // from the display partitioning
    // Lays para out, keeping its display lines that end before offset keepBefore.
    void LayOut(Pos para, Pos keepBefore = 0) const;
    void EnsureParagraph(Pos para) const;
    void EnsureThrough(Pos para) const; // every paragraph up to para
    void EnsureLine(Pos line) const;    // up to the paragraph that holds display line line
    void MarkDirty(Pos para, Pos keepBefore) const;
    bool Current(Pos para) const { return widths_.ValueAt(para) == breaker_->Width(); }
    void ResetLayout(bool layOutNow);

    SplitVector<char16_t>& text_;
    Partitioning paras_;
    LineBreaker* breaker_ = nullptr;

    // The layout, only with a breaker. Mutable: queries lay out on demand.
    mutable Partitioning display_;             // partition p: the display lines of paragraph p
    mutable Partitioning heights_;             // partition p: the height of paragraph p in pixels
    mutable SplitVector<Wrap*> wraps_;         // owned; nullptr for one line of its own height
    mutable SplitVector<std::int32_t> widths_; // width laid out at, or NotLaidOut
    mutable Pos firstStale_ = None;            // paragraphs before it are current
    // Paragraphs an edit touched since the last Settle: [dirtyFirst_, dirtyLast_], and
    // how much of the first one is still valid.
    mutable Pos dirtyFirst_ = None;
    mutable Pos dirtyLast_ = -1;
    mutable Pos dirtyKeepBefore_ = 0;
};
