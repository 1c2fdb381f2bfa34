#pragma once
// The rich edit control's document: UTF-16 text with one CR per paragraph end, character
// formats as runs, a paragraph format per paragraph, a selection, undo with a limit, and
// embedded-object placeholders. No window, no messages: the control's message handlers
// call these typed methods.
//
// Positions count UTF-16 units. The document always ends with a virtual final paragraph
// mark that is never part of the text but can be selected (position Length()).

#include "platform/richedit/Formats.h"
#include "platform/richedit/LineIndex.h"
#include "platform/richedit/RunStyles.h"
#include "platform/richedit/SplitVector.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A piece of formatted text, as cut out of a document or about to be put into one.
struct TextFragment {
    using Pos = std::int64_t;
    std::u16string text;
    // (length, character format id) covering text in order; empty means "format of the
    // insertion point".
    std::vector<std::pair<Pos, std::int32_t>> runs;
    // Paragraph format id for each CR of text, in order; empty means "the format of the
    // paragraph the text goes into".
    std::vector<std::int32_t> paraFormats;
    // (offset, object id) of the embedded-object placeholders in text.
    std::vector<std::pair<Pos, std::int32_t>> objects;
};

struct Selection {
    std::int64_t min = 0;
    std::int64_t max = 0;
    bool operator==(const Selection&) const = default;
    bool Empty() const { return min == max; }
};

class RichEditDocument {
public:
    using Pos = std::int64_t;

    // The character format id that stands for "the default format as it is now".
    static constexpr std::int32_t DefaultFormatId = 0;
    static constexpr char16_t ObjectChar = u'\uFFFC';
    static constexpr Pos DefaultTextLimit = 32767;
    static constexpr int DefaultUndoLimit = 100;

    RichEditDocument();
    RichEditDocument(const RichEditDocument&) = delete;
    RichEditDocument& operator=(const RichEditDocument&) = delete;

    // --- text -----------------------------------------------------------------------------
    Pos Length() const { return text_.Length(); }
    char16_t CharAt(Pos pos) const { return text_.ValueAt(pos); }
    std::u16string Text(Pos pos, Pos count) const;
    void CopyText(Pos pos, Pos count, char16_t* out) const { text_.GetRange(out, pos, count); }
    template <typename Fn> void ForEachSegment(Pos pos, Pos count, Fn&& fn) const {
        text_.ForEachSegment(pos, count, std::forward<Fn>(fn));
    }

    LineIndex& Lines() { return lines_; }
    const LineIndex& Lines() const { return lines_; }

    // --- editing ----------------------------------------------------------------------------
    // Replaces [pos, pos + count) by fragment (text already folded to CR paragraph ends).
    // With undoable false the undo history is emptied, since its positions no longer hold.
    void Replace(Pos pos, Pos count, const TextFragment& fragment, bool undoable);
    // The fragment of [pos, pos + count) with its formats.
    TextFragment Extract(Pos pos, Pos count) const;

    // Replaces the selection by text in the insertion format and puts the caret behind it.
    // When the text limit would be passed, only what fits is taken. Returns the number of
    // units inserted.
    Pos ReplaceSelection(std::u16string_view text, bool undoable);
    // Replaces everything, clears undo, caret to 0, keeps the modify flag.
    void SetText(std::u16string_view text);
    // Empties the document and restores the default paragraph format.
    void Clear();

    // Whether changing [min, max) (or inserting at min when empty) touches protected text.
    bool TouchesProtected(Pos min, Pos max) const;

    // --- selection --------------------------------------------------------------------------
    Selection GetSelection() const { return sel_; }
    // The platform's selection rules for a requested (cpMin, cpMax); returns the new end.
    Pos SetSelectionEx(Pos cpMin, Pos cpMax);
    void SetSelection(Pos min, Pos max); // already valid positions, min <= max <= Length() + 1
    // The selection without the final mark.
    Selection TextSelection() const;

    // --- limits, flags ------------------------------------------------------------------------
    Pos TextLimit() const { return textLimit_; }
    void SetTextLimit(Pos limit) { textLimit_ = limit; }
    bool Modified() const { return modified_; }
    void SetModified(bool value) { modified_ = value; }

    // --- character formats --------------------------------------------------------------------
    const CharFormat& DefaultCharFormat() const { return defaultFormat_; }
    void SetDefaultCharFormat(const CharFormat& format);
    const CharFormat& ResolveCharFormat(std::int32_t id) const {
        return id == DefaultFormatId ? defaultFormat_ : charFormats_.Get(id - 1);
    }
    std::int32_t InternCharFormat(const CharFormat& format) {
        return charFormats_.Intern(format) + 1;
    }
    std::int32_t CharFormatIdAt(Pos pos) const { return charRuns_.ValueAt(pos); }
    // Runs over [0, Length() + 1): the last position is the final mark.
    const RunStyles<std::int32_t>& CharRuns() const { return charRuns_; }

    // The format of the selection's first character and the mask of fields that hold
    // over the whole selection; an empty selection gives the insertion format.
    DWORD SelectionCharFormat(CharFormat& out) const;
    // Applies the masked fields of cf to [min, max) (to the insertion format when empty).
    // Returns whether any text changed format.
    bool ApplyCharFormat(Pos min, Pos max, const CHARFORMAT2W& cf, bool undoable);
    // The same for formatting the control derives from the text itself (recognised
    // URLs): not an action of its own in the undo history, which it leaves alone.
    bool ApplyDerivedCharFormat(Pos min, Pos max, const CHARFORMAT2W& cf);
    // The word around pos ([start, end)), for SCF_WORD with an empty selection.
    Selection WordAt(Pos pos) const;
    std::int32_t InsertionFormatId() const;

    // --- paragraph formats --------------------------------------------------------------------
    std::int32_t InternParaFormat(const ParaFormat& format) { return paraFormats_.Intern(format); }
    const ParaFormat& ParaFormatById(std::int32_t id) const { return paraFormats_.Get(id); }
    std::int32_t ParaFormatIdOf(Pos para) const { return paraIds_.ValueAt(para); }
    const ParaFormat& ParaFormatOf(Pos para) const {
        return paraFormats_.Get(paraIds_.ValueAt(para));
    }
    DWORD SelectionParaFormat(ParaFormat& out) const;
    // Applies pf to the paragraphs of the selection; false if pf is invalid.
    bool ApplyParaFormat(const PARAFORMAT2& pf, bool undoable);
    // Formats of the final paragraph mark (a loaded document brings its own).
    void SetFinalMarkFormats(std::int32_t charId, std::int32_t paraId);

    // --- objects --------------------------------------------------------------------------------
    // Inserts a placeholder for object id (non-zero) at the selection.
    void InsertObject(std::int32_t id);
    std::int32_t ObjectAt(Pos pos) const { return pos < Length() ? objects_.ValueAt(pos) : 0; }
    Pos ObjectCount(Pos min, Pos max) const;
    // Calls fn(pos, id) for each placeholder in [min, max), in text order.
    template <typename Fn> void ForEachObject(Pos min, Pos max, Fn&& fn) const {
        max = std::min(max, Length());
        if (min < max) {
            objects_.ForEachRun(min, max - min, [&fn](Pos start, Pos length, std::int32_t id) {
                for (Pos i = 0; id != 0 && i < length; ++i) {
                    fn(start + i, id);
                }
            });
        }
    }
    // Calls fn(id) for each placeholder the undo and redo history keeps for later.
    template <typename Fn> void ForEachHeldObject(Fn&& fn) const {
        for (const auto* history : {&undo_, &redo_}) {
            for (const Action& action : *history) {
                for (const auto& [offset, id] : action.saved.objects) {
                    fn(id);
                }
            }
        }
    }

    // --- undo
    // -------------------------------------------------------------------------------------
    int UndoLimit() const { return undoLimit_; }
    // A negative limit means the default; 0 switches undo off. Returns the limit in force.
    int SetUndoLimit(int limit);
    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }
    bool Undo();
    bool Redo();
    void EmptyUndo();

    // Told of every change of the text once it is complete: at pos, removed units went and
    // inserted came (a view keeps its scroll anchor and caret in step with it).
    using ReplaceObserver = std::function<void(Pos pos, Pos removed, Pos inserted)>;
    void SetReplaceObserver(ReplaceObserver observer) { observer_ = std::move(observer); }

    std::size_t FootprintBytes() const;
    void Check() const; // invariants, for tests

private:
    struct Action {
        enum class Kind { Replace, CharFormats, ParaFormats } kind = Kind::Replace;
        Pos pos = 0;    // Replace, CharFormats: start; ParaFormats: first paragraph
        Pos length = 0; // Replace: length of the text now at pos; CharFormats: range length
        TextFragment saved;
        Selection selection; // before the action
    };

    void ReplaceRaw(Pos pos, Pos count, const TextFragment& fragment);
    // The formats of paragraphs [first, last] changed: lay them out again.
    void RestyleParagraphs(Pos first, Pos last);
    // Applies cf to the runs of [min, max); fills saved with the old runs.
    bool ApplyToRuns(Pos min, Pos max, const CHARFORMAT2W& cf, TextFragment& saved);
    void Record(Action action);
    Action Perform(const Action& action); // applies a saved action, returns its inverse

    SplitVector<char16_t> text_;
    LineIndex lines_;
    RunStyles<std::int32_t> charRuns_;
    RunStyles<std::int32_t> objects_;
    SplitVector<std::int32_t> paraIds_;
    CharFormatTable charFormats_;
    ParaFormatTable paraFormats_;
    CharFormat defaultFormat_;
    std::optional<std::int32_t> insertionFormat_; // set on an empty selection, until it moves
    Selection sel_;
    Pos textLimit_ = DefaultTextLimit;
    bool modified_ = false;
    int undoLimit_ = DefaultUndoLimit;
    std::deque<Action> undo_;
    std::deque<Action> redo_;
    ReplaceObserver observer_;
};

// CR LF and LF become CR, so the CR is the only paragraph end stored. A CR that ended the
// previous piece of a stream (lastWasCr) swallows a leading LF.
std::u16string FoldLineBreaks(std::u16string_view text, bool* lastWasCr = nullptr);
