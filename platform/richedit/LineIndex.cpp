#include "platform/richedit/LineIndex.h"

#include <algorithm>
#include <numeric>
#include <stdexcept>

LineIndex::~LineIndex() {
    for (Pos p = 0; p < wraps_.Length(); ++p) {
        delete wraps_.ValueAt(p);
    }
}

// --- exact queries ---------------------------------------------------------------------------

LineIndex::Pos LineIndex::LineCount() const {
    if (!breaker_) {
        return Paragraphs();
    }
    EnsureThrough(Paragraphs() - 1);
    return display_.PositionFromPartition(display_.Partitions());
}

LineIndex::Pos LineIndex::LineStart(Pos line) const {
    if (!breaker_) {
        return ParagraphStart(line);
    }
    EnsureLine(line);
    const Pos para = display_.PartitionFromPosition(line);
    return LineStartIn(para, line - display_.PositionFromPartition(para));
}

LineIndex::Pos LineIndex::LineFromPosition(Pos pos) const {
    const Pos para = ParagraphFromPosition(pos);
    if (!breaker_) {
        return para;
    }
    EnsureThrough(para);
    return display_.PositionFromPartition(para) + SubLineOf(para, pos);
}

LineIndex::Pos LineIndex::LineEnd(Pos line) const {
    if (!breaker_) {
        return ParagraphTextEnd(line);
    }
    EnsureLine(line);
    const Pos para = display_.PartitionFromPosition(line);
    return LineEndIn(para, line - display_.PositionFromPartition(para));
}

LineIndex::Pos LineIndex::LineLength(Pos line) const {
    return LineEnd(line) - LineStart(line);
}

// --- per paragraph ---------------------------------------------------------------------------

LineIndex::Pos LineIndex::LinesOf(Pos para) const {
    if (!breaker_) {
        return 1;
    }
    EnsureParagraph(para);
    return LinesLaidOut(para);
}

LineIndex::Pos LineIndex::LineStartIn(Pos para, Pos sub) const {
    const Pos start = ParagraphStart(para);
    if (!breaker_ || sub == 0) {
        return start;
    }
    EnsureParagraph(para);
    return start + wraps_.ValueAt(para)->starts[std::size_t(sub - 1)];
}

LineIndex::Pos LineIndex::LineEndIn(Pos para, Pos sub) const {
    return sub + 1 < LinesOf(para) ? LineStartIn(para, sub + 1) : ParagraphTextEnd(para);
}

std::int32_t LineIndex::LineHeightIn(Pos para, Pos sub) const {
    if (!breaker_) {
        return 0;
    }
    EnsureParagraph(para);
    if (const Wrap* wrap = wraps_.ValueAt(para)) {
        return wrap->HeightOf(std::size_t(sub));
    }
    return std::int32_t(heights_.PositionFromPartition(para + 1) -
                        heights_.PositionFromPartition(para));
}

LineIndex::Pos LineIndex::SubLineOf(Pos para, Pos pos) const {
    if (!breaker_) {
        return 0;
    }
    EnsureParagraph(para);
    const Wrap* wrap = wraps_.ValueAt(para);
    if (!wrap) {
        return 0;
    }
    const Pos offset = pos - ParagraphStart(para);
    return Pos(std::upper_bound(wrap->starts.begin(), wrap->starts.end(), offset) -
               wrap->starts.begin());
}

LineIndex::Pos LineIndex::ApproxFirstLineOf(Pos para) const {
    if (!breaker_) {
        return para;
    }
    Settle();
    return display_.PositionFromPartition(para);
}

LineIndex::Pos LineIndex::ApproxLineCount() const {
    if (!breaker_) {
        return Paragraphs();
    }
    Settle();
    return display_.PositionFromPartition(display_.Partitions());
}

std::pair<LineIndex::Pos, LineIndex::Pos> LineIndex::ApproxParagraphOfLine(Pos line) const {
    if (!breaker_) {
        const Pos para = std::clamp<Pos>(line, 0, Paragraphs() - 1);
        return {para, 0};
    }
    Settle();
    line = std::clamp<Pos>(line, 0, ApproxLineCount() - 1);
    const Pos para = display_.PartitionFromPosition(line);
    // A stale paragraph may have fewer lines now than it had.
    return {para, std::min(line - display_.PositionFromPartition(para), LinesOf(para) - 1)};
}

LineIndex::Pos LineIndex::ContentHeight() const {
    if (!breaker_) {
        return 0;
    }
    Settle();
    return heights_.PositionFromPartition(heights_.Partitions());
}

// --- laying out ------------------------------------------------------------------------------

LineIndex::Pos LineIndex::LinesLaidOut(Pos para) const {
    return display_.PositionFromPartition(para + 1) - display_.PositionFromPartition(para);
}

void LineIndex::LayOut(Pos para, Pos keepBefore) const {
    const Pos start = ParagraphStart(para);
    const Pos length = ParagraphTextEnd(para) - start;
    const Wrap* old = wraps_.ValueAt(para);

    // Lines that end before the line holding keepBefore cannot change: keep them.
    std::vector<std::int32_t> starts{0};
    std::vector<std::int32_t> heights;
    if (keepBefore > 0 && old && Current(para)) {
        const auto holding =
            std::size_t(std::upper_bound(old->starts.begin(), old->starts.end(), keepBefore) -
                        old->starts.begin());
        if (holding >= 2) {
            const std::size_t keep = holding - 1; // and re-break the line before, to be safe
            starts.insert(starts.end(), old->starts.begin(),
                          old->starts.begin() + std::ptrdiff_t(keep - 1));
            for (std::size_t line = 0; line < keep; ++line) {
                heights.push_back(old->HeightOf(line));
            }
            starts.push_back(old->starts[keep - 1]);
        }
    }
    const std::int32_t from = starts.back();
    starts.pop_back();

    std::vector<std::int32_t> newStarts;
    std::vector<std::int32_t> newHeights;
    const char16_t* chars = length > 0 ? text_.RangePointer(start, length) : nullptr;
    breaker_->BreakParagraph(
        ParagraphRef{para, start, std::u16string_view(chars, std::size_t(length))}, from, newStarts,
        newHeights);

    // A breaker's answer is trusted only as far as it makes sense.
    starts.push_back(from);
    heights.push_back(newHeights.empty() ? 0 : newHeights[0]);
    for (std::size_t i = 1; i < newStarts.size(); ++i) {
        if (newStarts[i] > starts.back() && newStarts[i] < length) {
            starts.push_back(newStarts[i]);
            heights.push_back(i < newHeights.size() ? newHeights[i] : heights.back());
        }
    }

    const Pos lines = Pos(starts.size());
    const Pos height = std::accumulate(heights.begin(), heights.end(), Pos(0));
    display_.InsertText(para, lines - LinesLaidOut(para));
    heights_.InsertText(para, height - (heights_.PositionFromPartition(para + 1) -
                                        heights_.PositionFromPartition(para)));
    Wrap* wrap = nullptr;
    if (lines > 1) {
        wrap = new Wrap;
        wrap->starts.assign(starts.begin() + 1, starts.end());
        wrap->uniformHeight = heights[0];
        if (std::any_of(heights.begin(), heights.end(),
                        [&](std::int32_t h) { return h != heights[0]; })) {
            wrap->heights = std::move(heights);
        }
    }
    delete wraps_.ValueAt(para);
    wraps_.SetValueAt(para, wrap);
    widths_.SetValueAt(para, breaker_->Width());
}

void LineIndex::Settle() const {
    if (dirtyFirst_ == None) {
        return;
    }
    const Pos first = dirtyFirst_;
    const Pos last = std::min(dirtyLast_, Paragraphs() - 1);
    const Pos keepBefore = dirtyKeepBefore_;
    dirtyFirst_ = None;
    dirtyLast_ = -1;
    if (!breaker_) {
        return;
    }
    LayOut(first, keepBefore);
    for (Pos p = first + 1; p <= last; ++p) {
        LayOut(p);
    }
}

void LineIndex::EnsureParagraph(Pos para) const {
    Settle();
    if (!Current(para)) {
        LayOut(para);
    }
}

void LineIndex::EnsureThrough(Pos para) const {
    Settle();
    if (firstStale_ == None || firstStale_ > para) {
        return;
    }
    for (Pos p = firstStale_; p <= para; ++p) {
        if (!Current(p)) {
            LayOut(p);
        }
    }
    firstStale_ = para + 1 < Paragraphs() ? para + 1 : None;
}

void LineIndex::EnsureLine(Pos line) const {
    Settle();
    // Display starts up to the first stale paragraph are exact, so walk until it lies past line.
    while (firstStale_ != None && display_.PositionFromPartition(firstStale_) <= line) {
        if (!Current(firstStale_)) {
            LayOut(firstStale_);
        }
        if (++firstStale_ >= Paragraphs()) {
            firstStale_ = None;
        }
    }
}

void LineIndex::Rewrap(Pos first, Pos count) {
    if (!breaker_) {
        return;
    }
    Settle();
    for (Pos p = std::max<Pos>(first, 0); p < first + count && p < Paragraphs(); ++p) {
        if (!Current(p)) {
            LayOut(p);
        }
    }
    while (firstStale_ != None && Current(firstStale_)) {
        if (++firstStale_ >= Paragraphs()) {
            firstStale_ = None;
        }
    }
}

bool LineIndex::RewrapSome(Pos budget) {
    if (!breaker_) {
        return false;
    }
    Settle();
    Pos spent = 0;
    while (firstStale_ != None && spent < budget) {
        if (!Current(firstStale_)) {
            LayOut(firstStale_);
            spent += ParagraphEnd(firstStale_) - ParagraphStart(firstStale_);
        }
        spent += 16; // visiting a paragraph costs something too
        if (++firstStale_ >= Paragraphs()) {
            firstStale_ = None;
        }
    }
    return firstStale_ != None;
}

void LineIndex::Invalidate() {
    if (!breaker_) {
        return;
    }
    Settle();
    for (Pos p = 0; p < widths_.Length(); ++p) {
        widths_[p] = NotLaidOut;
    }
    firstStale_ = 0;
}

void LineIndex::SetBreaker(LineBreaker* breaker, bool layOutNow) {
    breaker_ = breaker;
    ResetLayout(layOutNow);
}

void LineIndex::ResetLayout(bool layOutNow) {
    for (Pos p = 0; p < wraps_.Length(); ++p) {
        delete wraps_.ValueAt(p);
    }
    wraps_.DeleteAll();
    widths_.DeleteAll();
    display_.Clear();
    heights_.Clear();
    dirtyFirst_ = None;
    dirtyLast_ = -1;
    firstStale_ = None;
    if (!breaker_) {
        return;
    }
    // Until laid out each paragraph counts as one line with no height.
    const Pos paragraphs = Paragraphs();
    wraps_.InsertValue(0, paragraphs, nullptr);
    widths_.InsertValue(0, paragraphs, NotLaidOut);
    display_.InsertText(0, paragraphs);
    for (Pos p = 1; p < paragraphs; ++p) {
        display_.InsertPartition(p, p);
        heights_.InsertPartition(p, 0);
    }
    firstStale_ = 0;
    if (layOutNow) {
        EnsureThrough(paragraphs - 1);
    }
}

// --- edits -----------------------------------------------------------------------------------

void LineIndex::MarkDirty(Pos para, Pos keepBefore) const {
    if (dirtyFirst_ == None || para < dirtyFirst_) {
        if (dirtyFirst_ != None) {
            dirtyLast_ = std::max(dirtyLast_, dirtyFirst_);
        }
        dirtyFirst_ = para;
        dirtyKeepBefore_ = keepBefore;
    } else if (para == dirtyFirst_) {
        dirtyKeepBefore_ = std::min(dirtyKeepBefore_, keepBefore);
    }
    dirtyLast_ = std::max(dirtyLast_, para);
}

void LineIndex::Inserted(Pos pos, Pos length) {
    if (length <= 0) {
        return;
    }
    const Pos para = paras_.PartitionFromPosition(pos);
    paras_.InsertText(para, length);
    Pos added = 0;
    Pos at = pos;
    text_.ForEachSegment(pos, length, [&](const char16_t* chars, Pos count) {
        const char16_t* end = chars + count;
        for (const char16_t* c = std::find(chars, end, u'\r'); c != end;
             c = std::find(c + 1, end, u'\r')) {
            paras_.InsertPartition(para + 1 + added, at + (c - chars) + 1);
            ++added;
        }
        at += count;
    });
    if (!breaker_) {
        return;
    }
    if (added > 0) {
        // The new paragraphs start with no lines; Settle lays them out.
        const Pos lineAt = display_.PositionFromPartition(para + 1);
        const Pos heightAt = heights_.PositionFromPartition(para + 1);
        for (Pos k = 0; k < added; ++k) {
            display_.InsertPartition(para + 1 + k, lineAt);
            heights_.InsertPartition(para + 1 + k, heightAt);
        }
        wraps_.InsertValue(para + 1, added, nullptr);
        widths_.InsertValue(para + 1, added, NotLaidOut);
        if (firstStale_ != None && firstStale_ > para) {
            firstStale_ += added;
        }
        if (dirtyFirst_ != None && dirtyFirst_ > para) {
            dirtyFirst_ += added;
        }
        if (dirtyLast_ > para) {
            dirtyLast_ += added;
        }
    }
    MarkDirty(para, pos - ParagraphStart(para));
    if (added > 0) {
        MarkDirty(para + added, 0);
    }
}

void LineIndex::Deleted(Pos pos, Pos length) {
    if (length <= 0) {
        return;
    }
    const Pos first = paras_.PartitionFromPosition(pos);
    const Pos last = paras_.PartitionFromPosition(pos + length);
    paras_.RemovePartitions(first + 1, last - first);
    paras_.InsertText(first, -length);
    if (!breaker_) {
        return;
    }
    const Pos removed = last - first;
    if (removed > 0) {
        // The removed paragraphs' lines and heights merge into first's, which is laid out anew.
        display_.RemovePartitions(first + 1, removed);
        heights_.RemovePartitions(first + 1, removed);
        for (Pos p = first + 1; p <= last; ++p) {
            delete wraps_.ValueAt(p);
        }
        wraps_.DeleteRange(first + 1, removed);
        widths_.DeleteRange(first + 1, removed);
        const auto shift = [&](Pos& index) {
            if (index != None && index > first) {
                index = std::max(first, index - removed);
            }
        };
        shift(firstStale_);
        shift(dirtyFirst_);
        if (dirtyLast_ > first) {
            dirtyLast_ = std::max(first, dirtyLast_ - removed);
        }
    }
    MarkDirty(first, pos - ParagraphStart(first));
}

void LineIndex::Restyled(Pos pos, Pos length) {
    if (!breaker_) {
        return;
    }
    const Pos first = ParagraphFromPosition(pos);
    const Pos last = ParagraphFromPosition(pos + std::max<Pos>(length, 0));
    MarkDirty(first, pos - ParagraphStart(first));
    if (last > first) {
        MarkDirty(last, 0);
    }
}

void LineIndex::Clear() {
    paras_.Clear();
    ResetLayout(false);
    if (breaker_) {
        MarkDirty(0, 0);
    }
}

// --- bookkeeping -----------------------------------------------------------------------------

std::size_t LineIndex::FootprintBytes() const {
    return paras_.FootprintBytes() + LayoutFootprintBytes();
}

std::size_t LineIndex::LayoutFootprintBytes() const {
    std::size_t bytes = display_.FootprintBytes() + heights_.FootprintBytes() +
                        wraps_.FootprintBytes() + widths_.FootprintBytes();
    for (Pos p = 0; p < wraps_.Length(); ++p) {
        if (const Wrap* wrap = wraps_.ValueAt(p)) {
            bytes += sizeof(Wrap) +
                     (wrap->starts.capacity() + wrap->heights.capacity()) * sizeof(std::int32_t);
        }
    }
    return bytes;
}

void LineIndex::Check() const {
    const Pos length = text_.Length();
    if (ParagraphEnd(Paragraphs() - 1) != length || ParagraphStart(0) != 0) {
        throw std::logic_error("paragraphs do not cover the text");
    }
    for (Pos p = 0; p < Paragraphs(); ++p) {
        const Pos start = ParagraphStart(p);
        const Pos end = ParagraphEnd(p);
        for (Pos i = start; i < end; ++i) {
            const bool last = i == end - 1 && p + 1 < Paragraphs();
            if ((text_.ValueAt(i) == u'\r') != last) {
                throw std::logic_error("paragraph ends do not match the CRs");
            }
        }
    }
    if (!breaker_) {
        return;
    }
    Settle();
    if (display_.Partitions() != Paragraphs() || heights_.Partitions() != Paragraphs() ||
        wraps_.Length() != Paragraphs() || widths_.Length() != Paragraphs()) {
        throw std::logic_error("layout out of step with paragraphs");
    }
    for (Pos p = 0; p < Paragraphs(); ++p) {
        const Wrap* wrap = wraps_.ValueAt(p);
        const Pos lines = wrap ? Pos(wrap->starts.size()) + 1 : 1;
        if (LinesLaidOut(p) != lines) {
            throw std::logic_error("display line count out of step with the wraps");
        }
        if (wrap) {
            Pos height = 0;
            for (Pos line = 0; line < lines; ++line) {
                height += wrap->HeightOf(std::size_t(line));
            }
            if (height !=
                heights_.PositionFromPartition(p + 1) - heights_.PositionFromPartition(p)) {
                throw std::logic_error("paragraph height out of step with its lines");
            }
        }
    }
}
