#include "platform/richedit/LineIndex.h"

#include <algorithm>
#include <stdexcept>

LineIndex::~LineIndex() {
    for (Pos p = 0; p < wraps_.Length(); ++p) {
        delete wraps_.ValueAt(p);
    }
}

LineIndex::Pos LineIndex::LineCount() const {
    return breaker_ ? display_.PositionFromPartition(display_.Partitions()) : Paragraphs();
}

LineIndex::Pos LineIndex::LineStart(Pos line) const {
    if (!breaker_) {
        return ParagraphStart(line);
    }
    const Pos para = display_.PartitionFromPosition(line);
    const Pos sub = line - display_.PositionFromPartition(para);
    const Pos start = ParagraphStart(para);
    return sub == 0 ? start : start + (*WrapOf(para))[std::size_t(sub - 1)];
}

LineIndex::Pos LineIndex::LineFromPosition(Pos pos) const {
    const Pos para = ParagraphFromPosition(pos);
    if (!breaker_) {
        return para;
    }
    const Pos first = display_.PositionFromPartition(para);
    const Wrap* wrap = WrapOf(para);
    if (!wrap) {
        return first;
    }
    const Pos offset = pos - ParagraphStart(para);
    return first + (std::upper_bound(wrap->begin(), wrap->end(), offset) - wrap->begin());
}

LineIndex::Pos LineIndex::LineEnd(Pos line) const {
    if (breaker_) {
        const Pos para = display_.PartitionFromPosition(line);
        if (line + 1 < display_.PositionFromPartition(para + 1)) {
            return LineStart(line + 1);
        }
        line = para;
    }
    const Pos end = ParagraphEnd(line);
    return line + 1 < Paragraphs() ? end - 1 : end;
}

LineIndex::Pos LineIndex::LineLength(Pos line) const {
    return LineEnd(line) - LineStart(line);
}

void LineIndex::SetBreaker(LineBreaker* breaker, bool layOutNow) {
    for (Pos p = 0; p < wraps_.Length(); ++p) {
        delete wraps_.ValueAt(p);
    }
    wraps_.DeleteAll();
    display_.Clear();
    breaker_ = breaker;
    if (!breaker_) {
        return;
    }
    const Pos paragraphs = Paragraphs();
    wraps_.InsertValue(0, paragraphs, nullptr);
    display_.InsertText(0, paragraphs); // one line each until laid out
    for (Pos p = 1; p < paragraphs; ++p) {
        display_.InsertPartition(p, p);
    }
    if (layOutNow) {
        Rewrap(0, paragraphs);
    }
}

void LineIndex::Rewrap(Pos first, Pos count) {
    if (!breaker_) {
        return;
    }
    for (Pos p = first; p < first + count && p < Paragraphs(); ++p) {
        LayOut(p);
    }
}

void LineIndex::LayOut(Pos para) {
    const Pos start = ParagraphStart(para);
    Pos length = ParagraphEnd(para) - start;
    if (para + 1 < Paragraphs()) {
        --length; // the CR
    }
    auto wrap = std::make_unique<Wrap>();
    if (length > 0) {
        const char16_t* chars = text_.RangePointer(start, length);
        breaker_->BreakParagraph(std::u16string_view(chars, std::size_t(length)), *wrap);
    }
    // A breaker's answer is trusted only as far as it makes sense.
    Wrap clean;
    std::int32_t previous = 0;
    for (std::int32_t offset : *wrap) {
        if (offset > previous && offset < length) {
            clean.push_back(offset);
            previous = offset;
        }
    }
    const Pos lines = Pos(clean.size()) + 1;
    const Pos old = display_.PositionFromPartition(para + 1) - display_.PositionFromPartition(para);
    display_.InsertText(para, lines - old);
    delete wraps_.ValueAt(para);
    wraps_.SetValueAt(para, clean.empty() ? nullptr : new Wrap(std::move(clean)));
}

void LineIndex::Inserted(Pos pos, Pos length) {
    if (length <= 0) {
        return;
    }
    const Pos para = paras_.PartitionFromPosition(pos);
    paras_.InsertText(para, length);
    Pos added = 0;
    text_.ForEachSegment(pos, length, [&](const char16_t* chars, Pos count) {
        const char16_t* end = chars + count;
        for (const char16_t* c = std::find(chars, end, u'\r'); c != end;
             c = std::find(c + 1, end, u'\r')) {
            const Pos at = pos + (c - chars) + 1;
            paras_.InsertPartition(para + 1 + added, at);
            ++added;
        }
        pos += count;
    });
    if (!breaker_) {
        return;
    }
    if (added > 0) {
        const Pos displayAt = display_.PositionFromPartition(para + 1);
        for (Pos k = 0; k < added; ++k) {
            display_.InsertPartition(para + 1 + k, displayAt);
        }
        wraps_.InsertValue(para + 1, added, nullptr);
    }
    for (Pos p = para; p <= para + added; ++p) {
        LayOut(p);
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
    if (last > first) {
        display_.RemovePartitions(first + 1, last - first);
        for (Pos p = first + 1; p <= last; ++p) {
            delete wraps_.ValueAt(p);
        }
        wraps_.DeleteRange(first + 1, last - first);
    }
    LayOut(first);
}

void LineIndex::Clear() {
    paras_.Clear();
    SetBreaker(breaker_);
}

std::size_t LineIndex::FootprintBytes() const {
    return paras_.FootprintBytes() + display_.FootprintBytes() + wraps_.FootprintBytes();
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
    if (breaker_) {
        if (display_.Partitions() != Paragraphs() || wraps_.Length() != Paragraphs()) {
            throw std::logic_error("display lines out of step with paragraphs");
        }
        for (Pos p = 0; p < Paragraphs(); ++p) {
            const Pos lines =
                display_.PositionFromPartition(p + 1) - display_.PositionFromPartition(p);
            if (lines != WrappedLines(p)) {
                throw std::logic_error("display line count out of step with the wraps");
            }
        }
    }
}

LineIndex::Pos LineIndex::WrappedLines(Pos para) const {
    const Wrap* wrap = WrapOf(para);
    return wrap ? Pos(wrap->size()) + 1 : 1;
}
