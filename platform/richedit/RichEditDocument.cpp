#include "platform/richedit/RichEditDocument.h"

#include "platform/locale/Locale.h"

#include <algorithm>
#include <stdexcept>

namespace {

// The text may reach the largest limit a caller can set (0x7FFFFFFF) plus room to grow.
constexpr std::size_t MaxTextUnits = (std::size_t(1) << 31) + (std::size_t(1) << 20);

CharFormat InitialDefaultFormat() {
    CharFormat f;
    f.SetFace(u"System");
    f.height = 200;
    f.charSet = 0;
    f.pitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    f.lcid = GetSystemDefaultLCID();
    return f;
}

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

} // namespace

std::u16string FoldLineBreaks(std::u16string_view text, bool* lastWasCr) {
    bool cr = lastWasCr ? *lastWasCr : false;
    std::u16string out;
    if (text.find(u'\n') == std::u16string_view::npos) {
        out.assign(text);
        if (!text.empty()) {
            cr = text.back() == u'\r';
        }
    } else {
        out.reserve(text.size());
        for (char16_t c : text) {
            if (c == u'\n') {
                if (!cr) {
                    out.push_back(u'\r');
                }
                cr = false;
            } else {
                out.push_back(c);
                cr = c == u'\r';
            }
        }
    }
    if (lastWasCr) {
        *lastWasCr = cr;
    }
    return out;
}

RichEditDocument::RichEditDocument()
    : text_(MaxTextUnits), lines_(text_), charRuns_(DefaultFormatId), objects_(0),
      defaultFormat_(InitialDefaultFormat()) {
    charRuns_.InsertSpace(0, 1, DefaultFormatId); // the final mark
    paraIds_.Insert(0, paraFormats_.Intern(ParaFormat{}));
}

std::u16string RichEditDocument::Text(Pos pos, Pos count) const {
    std::u16string out(std::size_t(count), u'\0');
    text_.GetRange(out.data(), pos, count);
    return out;
}

// --- editing -------------------------------------------------------------------------------

void RichEditDocument::ReplaceRaw(Pos pos, Pos count, const TextFragment& fragment) {
    count = std::clamp<Pos>(count, 0, Length() - pos);
    if (count > 0) {
        const Pos first = lines_.ParagraphFromPosition(pos);
        const Pos last = lines_.ParagraphFromPosition(pos + count);
        paraIds_.DeleteRange(first, last - first); // the CRs of [first, last) go
        charRuns_.DeleteRange(pos, count);
        objects_.DeleteRange(pos, count);
        text_.DeleteRange(pos, count);
        lines_.Deleted(pos, count);
    }
    const Pos n = Pos(fragment.text.size());
    if (n > 0) {
        const Pos para = lines_.ParagraphFromPosition(pos);
        const std::int32_t fallbackRun = charRuns_.ValueAt(pos);
        text_.InsertFromArray(pos, fragment.text.data(), n);
        const auto crs = Pos(std::count(fragment.text.begin(), fragment.text.end(), u'\r'));
        if (crs > 0) {
            if (Pos(fragment.paraFormats.size()) == crs) {
                paraIds_.InsertFromArray(para, fragment.paraFormats.data(), crs);
            } else {
                paraIds_.InsertValue(para, crs, paraIds_.ValueAt(para));
            }
        }
        lines_.Inserted(pos, n);
        Pos offset = 0;
        std::int32_t lastRun = fallbackRun;
        for (const auto& [length, id] : fragment.runs) {
            const Pos take = std::min(length, n - offset);
            if (take <= 0) {
                break;
            }
            charRuns_.InsertSpace(pos + offset, take, id);
            offset += take;
            lastRun = id;
        }
        charRuns_.InsertSpace(pos + offset, n - offset, lastRun);
        objects_.InsertSpace(pos, n, 0);
        for (const auto& [at, id] : fragment.objects) {
            if (at >= 0 && at < n && fragment.text[std::size_t(at)] == ObjectChar && id != 0) {
                objects_.SetValueRange(pos + at, 1, id);
            }
        }
    }
    sel_.min = std::min(sel_.min, Length());
    sel_.max = std::min(sel_.max, Length() + 1);
    lines_.Settle(); // the runs are in place now: lay out what the edit touched
    if (observer_ && (count > 0 || n > 0)) {
        observer_(pos, count, n);
    }
}

TextFragment RichEditDocument::Extract(Pos pos, Pos count) const {
    TextFragment f;
    count = std::clamp<Pos>(count, 0, Length() - pos);
    f.text = Text(pos, count);
    charRuns_.ForEachRun(
        pos, count, [&f](Pos, Pos length, std::int32_t id) { f.runs.emplace_back(length, id); });
    const Pos first = lines_.ParagraphFromPosition(pos);
    const Pos last = lines_.ParagraphFromPosition(pos + count);
    for (Pos p = first; p < last; ++p) {
        f.paraFormats.push_back(paraIds_.ValueAt(p));
    }
    objects_.ForEachRun(pos, count, [&f, pos](Pos start, Pos length, std::int32_t id) {
        if (id != 0) {
            for (Pos i = 0; i < length; ++i) {
                f.objects.emplace_back(start - pos + i, id);
            }
        }
    });
    return f;
}

void RichEditDocument::Replace(Pos pos, Pos count, const TextFragment& fragment, bool undoable) {
    count = std::clamp<Pos>(count, 0, Length() - pos);
    if (undoable && undoLimit_ > 0) {
        Action action;
        action.kind = Action::Kind::Replace;
        action.pos = pos;
        action.length = Pos(fragment.text.size());
        action.saved = Extract(pos, count);
        action.selection = sel_;
        ReplaceRaw(pos, count, fragment);
        Record(std::move(action));
    } else {
        ReplaceRaw(pos, count, fragment);
        EmptyUndo();
    }
}

RichEditDocument::Pos RichEditDocument::ReplaceSelection(std::u16string_view text, bool undoable) {
    const Selection s = TextSelection();
    const Pos available = textLimit_ - (Length() - (s.max - s.min));
    Pos n = Pos(text.size());
    if (n > available) {
        n = std::max<Pos>(available, 0);
        if (n > 0 && IsHighSurrogate(text[std::size_t(n - 1)])) {
            --n; // never keep half of a pair
        }
    }
    TextFragment f;
    f.text.assign(text.substr(0, std::size_t(n)));
    if (n > 0) {
        f.runs.emplace_back(n, InsertionFormatId());
    }
    if (n > 0 || !s.Empty()) {
        Replace(s.min, s.max - s.min, f, undoable);
        modified_ = true;
    }
    sel_ = {s.min + n, s.min + n};
    insertionFormat_.reset();
    return n;
}

void RichEditDocument::SetText(std::u16string_view text) {
    ReplaceRaw(0, Length(), TextFragment{});
    TextFragment f;
    f.text.assign(text);
    f.runs.emplace_back(Pos(text.size()), charRuns_.ValueAt(0));
    ReplaceRaw(0, 0, f);
    EmptyUndo();
    sel_ = {0, 0};
    insertionFormat_.reset();
    textLimit_ = std::max(textLimit_, Length());
}

void RichEditDocument::Clear() {
    const Pos removed = Length();
    text_.DeleteAll();
    lines_.Clear();
    charRuns_.Clear(DefaultFormatId);
    charRuns_.InsertSpace(0, 1, DefaultFormatId);
    objects_.Clear(0);
    paraIds_.DeleteAll();
    paraIds_.Insert(0, paraFormats_.Intern(ParaFormat{}));
    lines_.Settle();
    EmptyUndo();
    sel_ = {0, 0};
    insertionFormat_.reset();
    if (observer_ && removed > 0) {
        observer_(0, removed, 0);
    }
}

bool RichEditDocument::TouchesProtected(Pos min, Pos max) const {
    const auto isProtected = [this](std::int32_t id) {
        return (ResolveCharFormat(id).effects & CFE_PROTECTED) != 0;
    };
    max = std::min(max, Length());
    if (min < max) {
        bool found = false;
        charRuns_.ForEachRun(min, max - min,
                             [&](Pos, Pos, std::int32_t id) { found = found || isProtected(id); });
        return found;
    }
    // An insertion is a change of protected text only inside a protected stretch.
    return min > 0 && min < Length() && isProtected(charRuns_.ValueAt(min - 1)) &&
           isProtected(charRuns_.ValueAt(min));
}

// --- selection -------------------------------------------------------------------------------

RichEditDocument::Pos RichEditDocument::SetSelectionEx(Pos cpMin, Pos cpMax) {
    const Pos length = Length();
    if (cpMin < 0) {
        const Pos caret = cpMax < 0 ? length : std::min(sel_.max, length);
        SetSelection(caret, caret);
        return caret;
    }
    if (cpMax < 0) {
        cpMax = length + 1;
    }
    if (cpMin > cpMax) {
        std::swap(cpMin, cpMax);
    }
    if (cpMin == cpMax) {
        const Pos caret = std::min(cpMin, length);
        SetSelection(caret, caret);
    } else {
        SetSelection(std::min(cpMin, length), std::min(cpMax, length + 1));
    }
    return sel_.max;
}

void RichEditDocument::SetSelection(Pos min, Pos max) {
    const Selection next{min, max};
    if (next != sel_) {
        insertionFormat_.reset();
    }
    sel_ = next;
}

Selection RichEditDocument::TextSelection() const {
    return {std::min(sel_.min, Length()), std::min(sel_.max, Length())};
}

// --- objects ---------------------------------------------------------------------------------

void RichEditDocument::InsertObject(std::int32_t id) {
    const Selection s = TextSelection();
    TextFragment f;
    f.text.assign(1, ObjectChar);
    f.runs.emplace_back(1, InsertionFormatId());
    f.objects.emplace_back(0, id);
    Replace(s.min, s.max - s.min, f, true);
    sel_ = {s.min + 1, s.min + 1};
    modified_ = true;
}

RichEditDocument::Pos RichEditDocument::ObjectCount(Pos min, Pos max) const {
    max = std::min(max, Length());
    Pos count = 0;
    if (min < max) {
        objects_.ForEachRun(min, max - min, [&count](Pos, Pos length, std::int32_t id) {
            if (id != 0) {
                count += length;
            }
        });
    }
    return count;
}

// --- undo --------------------------------------------------------------------------------------

int RichEditDocument::SetUndoLimit(int limit) {
    undoLimit_ = limit < 0 ? DefaultUndoLimit : limit;
    while (int(undo_.size()) > undoLimit_) {
        undo_.pop_front();
    }
    while (int(redo_.size()) > undoLimit_) {
        redo_.pop_front();
    }
    return undoLimit_;
}

void RichEditDocument::EmptyUndo() {
    undo_.clear();
    redo_.clear();
}

void RichEditDocument::Record(Action action) {
    if (undoLimit_ <= 0) {
        return;
    }
    undo_.push_back(std::move(action));
    while (int(undo_.size()) > undoLimit_) {
        undo_.pop_front();
    }
    redo_.clear();
}

RichEditDocument::Action RichEditDocument::Perform(const Action& action) {
    Action inverse;
    inverse.kind = action.kind;
    inverse.pos = action.pos;
    inverse.selection = sel_;
    switch (action.kind) {
    case Action::Kind::Replace:
        inverse.saved = Extract(action.pos, action.length);
        inverse.length = Pos(action.saved.text.size());
        ReplaceRaw(action.pos, action.length, action.saved);
        break;
    case Action::Kind::CharFormats: {
        inverse.length = action.length;
        charRuns_.ForEachRun(action.pos, action.length,
                             [&inverse](Pos, Pos length, std::int32_t id) {
                                 inverse.saved.runs.emplace_back(length, id);
                             });
        Pos offset = action.pos;
        for (const auto& [length, id] : action.saved.runs) {
            charRuns_.SetValueRange(offset, length, id);
            offset += length;
        }
        lines_.Restyled(action.pos, action.length);
        break;
    }
    case Action::Kind::ParaFormats: {
        Pos para = action.pos;
        for (std::int32_t id : action.saved.paraFormats) {
            inverse.saved.paraFormats.push_back(paraIds_.ValueAt(para));
            paraIds_.SetValueAt(para, id);
            ++para;
        }
        RestyleParagraphs(action.pos, para - 1);
        break;
    }
    }
    lines_.Settle();
    const Pos length = Length();
    sel_ = {std::min(action.selection.min, length), std::min(action.selection.max, length + 1)};
    insertionFormat_.reset();
    return inverse;
}

bool RichEditDocument::Undo() {
    if (undo_.empty()) {
        return false;
    }
    Action action = std::move(undo_.back());
    undo_.pop_back();
    redo_.push_back(Perform(action));
    modified_ = true;
    return true;
}

bool RichEditDocument::Redo() {
    if (redo_.empty()) {
        return false;
    }
    Action action = std::move(redo_.back());
    redo_.pop_back();
    undo_.push_back(Perform(action));
    modified_ = true;
    return true;
}

// --- bookkeeping -------------------------------------------------------------------------------

std::size_t RichEditDocument::FootprintBytes() const {
    return text_.FootprintBytes() + lines_.FootprintBytes() + charRuns_.FootprintBytes() +
           objects_.FootprintBytes() + paraIds_.FootprintBytes();
}

void RichEditDocument::Check() const {
    lines_.Check();
    charRuns_.Check();
    objects_.Check();
    if (charRuns_.Length() != Length() + 1 || objects_.Length() != Length()) {
        throw std::logic_error("runs do not cover the text");
    }
    if (paraIds_.Length() != lines_.Paragraphs()) {
        throw std::logic_error("paragraph formats out of step with paragraphs");
    }
    if (sel_.min < 0 || sel_.min > sel_.max || sel_.min > Length() || sel_.max > Length() + 1) {
        throw std::logic_error("selection out of range");
    }
}
