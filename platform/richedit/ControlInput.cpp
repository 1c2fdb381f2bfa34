// Input: caret movement and selection by keyboard and mouse, typing and deleting, the
// selection bar, the cursor, and link notifications.

#include "platform/richedit/RichEditControl.h"
#include "platform/richedit/RichEditWidget.h"

#include <algorithm>
#include <cmath>

namespace {

bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == 0xA0;
}

bool KeyDown(int key) {
    return (GetKeyState(key) & 0x8000) != 0;
}

} // namespace

RichEditControl::Pos RichEditControl::PreviousWordStart(Pos at) const {
    while (at > 0 && IsBlank(doc_.CharAt(at - 1))) {
        --at;
    }
    const Pos start = at > 0 ? doc_.WordAt(at).min : 0;
    return start < at ? start : std::max<Pos>(at - 1, 0);
}

RichEditControl::Pos RichEditControl::NextWordStart(Pos at) const {
    const Pos length = doc_.Length();
    const Pos end = doc_.WordAt(at).max;
    at = end > at ? end : std::min(at + 1, length);
    while (at < length && IsBlank(doc_.CharAt(at))) {
        ++at;
    }
    return at;
}

RichEditControl::Pos RichEditControl::ActiveEnd() const {
    const Selection s = doc_.GetSelection();
    return anchor_ == s.min ? s.max : s.min;
}

void RichEditControl::MoveCaret(Pos pos, bool extend, bool keepGoal) {
    pos = std::clamp<Pos>(pos, 0, doc_.Length());
    if (!keepGoal) {
        goalX_ = -1;
    }
    const Before before = Snapshot();
    if (!extend) {
        anchor_ = pos;
    }
    doc_.SetSelection(std::min(anchor_, pos), std::max(anchor_, pos));
    ScrollToShow(pos);
    caretOn_ = true;
    Invalidate();
    After(before, false);
}

void RichEditControl::SetReadOnly(bool readOnly) {
    options_ = readOnly ? (options_ | ECO_READONLY) : (options_ & ~ECO_READONLY);
    const auto style = DWORD(GetWindowLongPtr(hwnd_, GWL_STYLE));
    SetWindowLongPtr(hwnd_, GWL_STYLE,
                     LONG_PTR(readOnly ? (style | ES_READONLY) : (style & ~DWORD(ES_READONLY))));
}

void RichEditControl::DeleteAround(bool forward, WPARAM key, LPARAM lParam) {
    if (ReadOnly()) {
        return;
    }
    Selection s = doc_.TextSelection();
    if (s.Empty()) {
        const Pos length = doc_.Length();
        if (forward && s.max < length) {
            s.max += (s.max + 1 < length && IsLowSurrogate(doc_.CharAt(s.max + 1))) ? 2 : 1;
        } else if (!forward && s.min > 0) {
            s.min -= (s.min > 1 && IsLowSurrogate(doc_.CharAt(s.min - 1))) ? 2 : 1;
        } else {
            return;
        }
        doc_.SetSelection(s.min, s.max);
    }
    ReplaceSelection({}, true, WM_KEYDOWN, key, lParam);
    anchor_ = doc_.GetSelection().min;
    ScrollToShow(anchor_);
}

RichEditControl::Pos RichEditControl::LineMoveTarget(Pos caret, Pos count) {
    LinePos line = LineOf(std::min(caret, doc_.Length()));
    if (goalX_ < 0) {
        goalX_ = layout_ ? layout_->XOf(BuildLine(line), caret) : 0;
    }
    for (Pos moved = 0; moved != count; moved += count > 0 ? 1 : -1) {
        if (count > 0 ? !NextLine(line) : !PreviousLine(line)) {
            return count > 0 ? doc_.Length() : 0;
        }
    }
    return layout_ ? layout_->PositionAt(BuildLine(line), goalX_)
                   : doc_.Lines().LineStartIn(line.para, line.sub);
}

std::optional<RichEditControl::Pos> RichEditControl::CaretTarget(WPARAM key, bool shift,
                                                                 bool control) {
    const Pos caret = ActiveEnd();
    const Selection s = doc_.GetSelection();
    const Pos length = doc_.Length();
    const LinePos line = LineOf(std::min(caret, length));
    switch (key) {
    case VK_LEFT:
        if (!shift && !s.Empty()) {
            return s.min; // a selection collapses to its start
        }
        if (control) {
            return PreviousWordStart(caret);
        }
        return caret - ((caret > 1 && IsLowSurrogate(doc_.CharAt(caret - 1))) ? 2 : 1);
    case VK_RIGHT:
        if (!shift && !s.Empty()) {
            return std::min(s.max, length);
        }
        if (control) {
            return NextWordStart(caret);
        }
        return caret + ((caret + 1 < length && IsLowSurrogate(doc_.CharAt(caret + 1))) ? 2 : 1);
    case VK_UP:
        return LineMoveTarget(caret, -1);
    case VK_DOWN:
        return LineMoveTarget(caret, 1);
    case VK_PRIOR:
        ScrollLines(-VisibleLines());
        return LineMoveTarget(caret, -VisibleLines());
    case VK_NEXT:
        ScrollLines(VisibleLines());
        return LineMoveTarget(caret, VisibleLines());
    case VK_HOME:
        return control ? 0 : doc_.Lines().LineStartIn(line.para, line.sub);
    case VK_END:
        return control ? length : doc_.Lines().LineEndIn(line.para, line.sub);
    default:
        return std::nullopt;
    }
}

// The keys that edit or reach the clipboard; true when key was one of them.
bool RichEditControl::EditKey(WPARAM key, bool shift, bool control, LPARAM lParam) {
    switch (key) {
    case VK_DELETE:
        if (shift) {
            Dispatch(WM_CUT, 0, 0);
        } else {
            DeleteAround(true, key, lParam);
        }
        return true;
    case VK_BACK:
        DeleteAround(false, key, lParam);
        return true;
    case VK_INSERT:
        if (control) {
            Dispatch(WM_COPY, 0, 0);
        } else if (shift) {
            Dispatch(WM_PASTE, 0, 0);
        }
        return true;
    default:
        break;
    }
    if (!control) {
        return false;
    }
    switch (key) {
    case 'A':
        anchor_ = 0;
        MoveCaret(doc_.Length(), true);
        return true;
    case 'C':
        Dispatch(WM_COPY, 0, 0);
        return true;
    case 'X':
        Dispatch(WM_CUT, 0, 0);
        return true;
    case 'V':
        Dispatch(WM_PASTE, 0, 0);
        return true;
    case 'Z':
        Dispatch(EM_UNDO, 0, 0);
        return true;
    case 'Y':
        Dispatch(EM_REDO, 0, 0);
        return true;
    default:
        return false;
    }
}

void RichEditControl::KeyDown(WPARAM key, LPARAM lParam) {
    const bool shift = ::KeyDown(VK_SHIFT);
    const bool control = ::KeyDown(VK_CONTROL);
    if (const std::optional<Pos> target = CaretTarget(key, shift, control)) {
        MoveCaret(*target, shift,
                  key == VK_UP || key == VK_DOWN || key == VK_PRIOR || key == VK_NEXT);
        return;
    }
    EditKey(key, shift, control, lParam);
}

void RichEditControl::TypeChar(char16_t c, LPARAM lParam) {
    // Control characters other than tab and CR are commands (handled as keys), not text.
    if ((c < 0x20 && c != u'\t' && c != u'\r') || c == 0x7F || ReadOnly()) {
        return;
    }
    const std::u16string text(1, c);
    if (ReplaceSelection(text, true, WM_CHAR, WPARAM(c), lParam)) {
        anchor_ = doc_.GetSelection().min;
        ScrollToShow(anchor_);
    }
}

std::optional<LRESULT> RichEditControl::KeyMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_KEYDOWN:
        KeyDown(wParam, lParam);
        return 0;
    case WM_KEYUP:
        return 0;
    case WM_CHAR:
        TypeChar(char16_t(wParam), lParam);
        return 0;
    case WM_GETDLGCODE: {
        LRESULT code = DLGC_WANTCHARS | DLGC_WANTTAB | DLGC_WANTARROWS | DLGC_HASSETSEL;
        if (GetWindowLongPtr(hwnd_, GWL_STYLE) & ES_MULTILINE) {
            code |= DLGC_WANTMESSAGE;
        }
        return code;
    }
    case EM_SETREADONLY:
        SetReadOnly(wParam != 0);
        return TRUE;
    default:
        return std::nullopt;
    }
}

// --- mouse -----------------------------------------------------------------------------------

bool RichEditControl::InSelectionBar(int x) const {
    return (options_ & ECO_SELECTIONBAR) && x < TextLeft();
}

bool RichEditControl::LinkNotification(UINT msg, WPARAM wParam, LPARAM lParam, int x, int y) {
    if (!(eventMask_ & ENM_LINK) || !layout_ || InSelectionBar(x)) {
        return false;
    }
    const Pos pos = PositionFromPoint(x, y);
    // The character under the point: the one the position is before, or after at a line end.
    Pos at = pos;
    const auto isLink = [&](Pos p) {
        return p >= 0 && p < doc_.Length() &&
               (doc_.ResolveCharFormat(doc_.CharFormatIdAt(p)).Effects() & CFE_LINK);
    };
    if (!isLink(at)) {
        at = pos - 1;
        if (!isLink(at) || layout_->XOf(BuildLine(LineOf(pos)), pos) + TextLeft() < x - 2) {
            return false;
        }
    }
    const RunStyles<std::int32_t>& runs = doc_.CharRuns();
    Pos min = at;
    Pos max = at + 1;
    while (min > 0 && isLink(min - 1)) {
        min = runs.RunStart(runs.RunFromPosition(min - 1));
    }
    while (isLink(max)) {
        max = runs.RunEnd(runs.RunFromPosition(max));
    }
    ENLINK link{};
    link.msg = msg;
    link.wParam = wParam;
    link.lParam = lParam;
    link.chrg = {LONG(min), LONG(max)};
    return NotifyParent(link.nmhdr, EN_LINK) != 0;
}

// A display line with its paragraph mark when it is its paragraph's last.
Selection RichEditControl::WholeLine(Pos pos) const {
    const LinePos line = LineOf(pos);
    const LineIndex& lines = doc_.Lines();
    const bool last = line.sub + 1 >= lines.LinesOf(line.para);
    return {lines.LineStartIn(line.para, line.sub),
            last ? lines.ParagraphEnd(line.para) : lines.LineEndIn(line.para, line.sub)};
}

LRESULT RichEditControl::SetCursorFor(int x, int y) {
    if (InSelectionBar(x)) {
        SetCursor(LoadCursor(nullptr, IDC_REVERSEARROW));
    } else if (!LinkNotification(WM_SETCURSOR, 0, LPARAM(MAKELONG(WORD(x), WORD(y))), x, y)) {
        SetCursor(LoadCursor(nullptr, IDC_IBEAM));
    } // else the parent chose the cursor
    return TRUE;
}

void RichEditControl::ButtonDown(bool twice, bool shift, int x, int y) {
    SetFocus(hwnd_);
    const Pos pos = PositionFromPoint(x, y);
    if (InSelectionBar(x)) {
        // A click selects the display line, a double click the paragraph; a drag goes on by
        // whole lines.
        Selection line = WholeLine(pos);
        if (twice) {
            const Pos para = doc_.Lines().ParagraphFromPosition(pos);
            line = {doc_.Lines().ParagraphStart(para), doc_.Lines().ParagraphEnd(para)};
        }
        if (!shift) {
            anchor_ = line.min;
        }
        dragStart_ = line.min;
        drag_ = Drag::Bar;
        MoveCaret(anchor_ <= line.min ? line.max : line.min, true);
        return;
    }
    if (twice) {
        const Selection word = doc_.WordAt(pos);
        anchor_ = word.min;
        MoveCaret(word.max, true);
        return;
    }
    MoveCaret(pos, shift);
    drag_ = Drag::Text;
}

void RichEditControl::DragTo(int x, int y) {
    // Beyond the top or bottom edge the view scrolls a line a move.
    if (y < 0) {
        ScrollLines(-1);
    } else if (y >= ViewHeight()) {
        ScrollLines(1);
    }
    const Pos pos = PositionFromPoint(x, std::clamp(y, 0, std::max(0, ViewHeight() - 1)));
    if (drag_ == Drag::Text) {
        MoveCaret(pos, true);
        return;
    }
    const Selection line = WholeLine(pos);
    const Selection origin = WholeLine(dragStart_);
    anchor_ = line.min < origin.min ? origin.max : origin.min;
    MoveCaret(line.min < origin.min ? line.min : line.max, true);
}

std::optional<LRESULT> RichEditControl::MouseMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    const int x = GET_X_LPARAM(lParam);
    const int y = GET_Y_LPARAM(lParam);
    switch (msg) {
    case WM_SETCURSOR: {
        if (HWND(wParam) != hwnd_ || LOWORD(lParam) != HTCLIENT || !widget_) {
            return std::nullopt;
        }
        POINT p{};
        GetCursorPos(&p);
        ScreenToClient(hwnd_, &p);
        return SetCursorFor(p.x, p.y);
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (!LinkNotification(msg, wParam, lParam, x, y)) {
            ButtonDown(msg == WM_LBUTTONDBLCLK, wParam & MK_SHIFT, x, y);
        }
        return 0;
    case WM_MOUSEMOVE:
        if (drag_ == Drag::None) {
            LinkNotification(msg, wParam, lParam, x, y);
        } else {
            DragTo(x, y);
        }
        return 0;
    case WM_LBUTTONUP:
        drag_ = Drag::None;
        LinkNotification(msg, wParam, lParam, x, y);
        return 0;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        LinkNotification(msg, wParam, lParam, x, y);
        return 0;
    case WM_RBUTTONUP:
        if (LinkNotification(msg, wParam, lParam, x, y)) {
            return 0;
        }
        return std::nullopt; // the default procedure turns it into WM_CONTEXTMENU
    default:
        return std::nullopt;
    }
}
