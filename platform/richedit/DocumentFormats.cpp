// The format side of the document: reading and changing character formats (runs) and
// paragraph formats over a selection.

#include "platform/richedit/RichEditDocument.h"

#include <algorithm>

std::int32_t RichEditDocument::InsertionFormatId() const {
    if (insertionFormat_) {
        return *insertionFormat_;
    }
    const Selection s = TextSelection();
    if (!s.Empty()) {
        return charRuns_.ValueAt(s.min);
    }
    // Typing continues the character before the caret, except at a paragraph start.
    if (s.min > 0 && text_.ValueAt(s.min - 1) != u'\r') {
        return charRuns_.ValueAt(s.min - 1);
    }
    return charRuns_.ValueAt(s.min);
}

DWORD RichEditDocument::SelectionCharFormat(CharFormat& out) const {
    const Selection s = TextSelection();
    if (s.Empty()) {
        out = ResolveCharFormat(InsertionFormatId());
        return CFM_ALL2;
    }
    out = ResolveCharFormat(charRuns_.ValueAt(s.min));
    DWORD mask = CFM_ALL2;
    charRuns_.ForEachRun(s.min, s.max - s.min, [&](Pos, Pos, std::int32_t id) {
        mask &= CharFormatAgreement(out, ResolveCharFormat(id));
    });
    return mask;
}

bool RichEditDocument::ApplyCharFormat(Pos min, Pos max, const CHARFORMAT2W& cf, bool undoable) {
    max = std::min(max, Length() + 1);
    if (min >= max) {
        CharFormat f = ResolveCharFormat(InsertionFormatId());
        ::ApplyCharFormat(f, cf);
        insertionFormat_ =
            f == ResolveCharFormat(InsertionFormatId()) ? InsertionFormatId() : InternCharFormat(f);
        return false;
    }
    Action action;
    action.kind = Action::Kind::CharFormats;
    action.pos = min;
    action.length = max - min;
    action.selection = sel_;
    const bool changed = ApplyToRuns(min, max, cf, action.saved);
    if (changed) {
        if (undoable) {
            Record(std::move(action));
        } else {
            EmptyUndo();
        }
    }
    return changed;
}

bool RichEditDocument::ApplyDerivedCharFormat(Pos min, Pos max, const CHARFORMAT2W& cf) {
    TextFragment saved;
    return min < max && ApplyToRuns(min, std::min(max, Length() + 1), cf, saved);
}

bool RichEditDocument::ApplyToRuns(Pos min, Pos max, const CHARFORMAT2W& cf, TextFragment& saved) {
    struct Piece {
        Pos start, length;
        std::int32_t id;
    };
    std::vector<Piece> pieces;
    charRuns_.ForEachRun(min, max - min, [&pieces](Pos start, Pos length, std::int32_t id) {
        pieces.push_back({start, length, id});
    });
    bool changed = false;
    for (const Piece& piece : pieces) {
        saved.runs.emplace_back(piece.length, piece.id);
        const CharFormat& old = ResolveCharFormat(piece.id);
        CharFormat f = old;
        ::ApplyCharFormat(f, cf);
        if (f != old) {
            changed |= charRuns_.SetValueRange(piece.start, piece.length, InternCharFormat(f));
        }
    }
    if (changed) {
        lines_.Restyled(min, max - min);
        lines_.Settle();
    }
    return changed;
}

Selection RichEditDocument::WordAt(Pos pos) const {
    const auto isWord = [](char16_t c) {
        if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == 0xA0 || c == ObjectChar) {
            return false;
        }
        return c >= 0x80 || (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') ||
               (c >= u'a' && c <= u'z') || c == u'_' || c == u'\'';
    };
    Pos start = std::min(pos, Length());
    Pos end = start;
    while (start > 0 && isWord(text_.ValueAt(start - 1))) {
        --start;
    }
    while (end < Length() && isWord(text_.ValueAt(end))) {
        ++end;
    }
    return {start, end};
}

DWORD RichEditDocument::SelectionParaFormat(ParaFormat& out) const {
    const Selection s = TextSelection();
    const Pos first = lines_.ParagraphFromPosition(s.min);
    const Pos last = lines_.ParagraphFromPosition(s.max);
    out = ParaFormatOf(first);
    DWORD mask = PFM_ALL2 & ~PFM_OFFSETINDENT;
    for (Pos p = first + 1; p <= last; ++p) {
        mask &= ParaFormatAgreement(out, ParaFormatOf(p));
    }
    return mask;
}

bool RichEditDocument::ApplyParaFormat(const PARAFORMAT2& pf, bool undoable) {
    const Selection s = TextSelection();
    const Pos first = lines_.ParagraphFromPosition(s.min);
    const Pos last = lines_.ParagraphFromPosition(s.max);
    std::vector<std::int32_t> ids;
    for (Pos p = first; p <= last; ++p) {
        ParaFormat f = ParaFormatOf(p);
        if (!::ApplyParaFormat(f, pf)) {
            return false;
        }
        ids.push_back(paraFormats_.Intern(f));
    }
    Action action;
    action.kind = Action::Kind::ParaFormats;
    action.pos = first;
    action.selection = sel_;
    bool changed = false;
    for (Pos p = first; p <= last; ++p) {
        const std::int32_t old = paraIds_.ValueAt(p);
        action.saved.paraFormats.push_back(old);
        changed |= old != ids[std::size_t(p - first)];
        paraIds_.SetValueAt(p, ids[std::size_t(p - first)]);
    }
    if (changed) {
        RestyleParagraphs(first, last);
        if (undoable) {
            Record(std::move(action));
        } else {
            EmptyUndo();
        }
    }
    return true;
}

void RichEditDocument::RestyleParagraphs(Pos first, Pos last) {
    lines_.Restyled(lines_.ParagraphStart(first),
                    lines_.ParagraphEnd(last) - lines_.ParagraphStart(first));
    lines_.Settle();
}

void RichEditDocument::SetDefaultCharFormat(const CharFormat& format) {
    if (format == defaultFormat_) {
        return;
    }
    defaultFormat_ = format;
    lines_.Invalidate(); // text in the default format may measure differently now
}

void RichEditDocument::SetFinalMarkFormats(std::int32_t charId, std::int32_t paraId) {
    charRuns_.SetValueRange(Length(), 1, charId);
    paraIds_.SetValueAt(lines_.Paragraphs() - 1, paraId);
    RestyleParagraphs(lines_.Paragraphs() - 1, lines_.Paragraphs() - 1);
}
