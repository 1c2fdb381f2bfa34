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

void RichEditControl::KeyDown(WPARAM key, LPARAM lParam) {
    const bool shift = ::KeyDown(VK_SHIFT);
    const bool control = ::KeyDown(VK_CONTROL);
    const Pos caret = ActiveEnd();
    const Selection s = doc_.GetSelection();
    const LineIndex& lines = doc_.Lines();
    const auto vertical = [&](Pos count) {
        LinePos line = LineOf(std::min(caret, doc_.Length()));
        if (goalX_ < 0) {
            goalX_ = layout_ ? layout_->XOf(BuildLine(line), caret) : 0;
        }
        for (Pos moved = 0; moved != count;) {
            if (count > 0 ? !NextLine(line) : !PreviousLine(line)) {
                MoveCaret(count > 0 ? doc_.Length() : 0, shift, true);
                return;
            }
            moved += count > 0 ? 1 : -1;
        }
        const Pos to = layout_ ? layout_->PositionAt(BuildLine(line), goalX_)
                               : lines.LineStartIn(line.para, line.sub);
        MoveCaret(to, shift, true);
    };
    switch (key) {
    case VK_LEFT:
        if (!shift && !s.Empty()) {
            MoveCaret(s.min, false);
        } else if (control) {
            MoveCaret(PreviousWordStart(caret), shift);
        } else {
            MoveCaret(caret - ((caret > 1 && IsLowSurrogate(doc_.CharAt(caret - 1))) ? 2 : 1),
                      shift);
        }
        return;
    case VK_RIGHT:
        if (!shift && !s.Empty()) {
            MoveCaret(std::min(s.max, doc_.Length()), false);
        } else if (control) {
            MoveCaret(NextWordStart(caret), shift);
        } else {
            MoveCaret(caret + ((caret + 1 < doc_.Length() && IsLowSurrogate(doc_.CharAt(caret + 1)))
                                   ? 2
                                   : 1),
                      shift);
        }
        return;
    case VK_UP:
        vertical(-1);
        return;
    case VK_DOWN:
        vertical(1);
        return;
    case VK_PRIOR:
        ScrollLines(-VisibleLines());
        vertical(-VisibleLines());
        return;
    case VK_NEXT:
        ScrollLines(VisibleLines());
        vertical(VisibleLines());
        return;
    case VK_HOME:
        if (control) {
            MoveCaret(0, shift);
        } else {
            const LinePos line = LineOf(caret);
            MoveCaret(lines.LineStartIn(line.para, line.sub), shift);
        }
        return;
    case VK_END:
        if (control) {
            MoveCaret(doc_.Length(), shift);
        } else {
            const LinePos line = LineOf(caret);
            const Pos end = line.sub + 1 < lines.LinesOf(line.para)
                                ? lines.LineStartIn(line.para, line.sub + 1)
                                : lines.ParagraphTextEnd(line.para);
            MoveCaret(end, shift);
        }
        return;
    case VK_DELETE:
        if (shift) {
            Dispatch(WM_CUT, 0, 0);
        } else {
            DeleteAround(true, key, lParam);
        }
        return;
    case VK_BACK:
        DeleteAround(false, key, lParam);
        return;
    case VK_INSERT:
        if (control) {
            Dispatch(WM_COPY, 0, 0);
        } else if (shift) {
            Dispatch(WM_PASTE, 0, 0);
        }
        return;
    default:
        break;
    }
    if (!control) {
        return;
    }
    switch (key) {
    case 'A':
        anchor_ = 0;
        MoveCaret(doc_.Length(), true);
        return;
    case 'C':
        Dispatch(WM_COPY, 0, 0);
        return;
    case 'X':
        Dispatch(WM_CUT, 0, 0);
        return;
    case 'V':
        Dispatch(WM_PASTE, 0, 0);
        return;
    case 'Z':
        Dispatch(EM_UNDO, 0, 0);
        return;
    case 'Y':
        Dispatch(EM_REDO, 0, 0);
        return;
    default:
        return;
    }
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
        if (InSelectionBar(p.x)) {
            SetCursor(LoadCursor(nullptr, IDC_REVERSEARROW));
        } else if (LinkNotification(WM_SETCURSOR, 0, LPARAM(MAKELONG(WORD(p.x), WORD(p.y))), p.x,
                                    p.y)) {
            return TRUE; // the parent chose the cursor
        } else {
            SetCursor(LoadCursor(nullptr, IDC_IBEAM));
        }
        return TRUE;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        if (LinkNotification(msg, wParam, lParam, x, y)) {
            return 0;
        }
        SetFocus(hwnd_);
        const bool shift = wParam & MK_SHIFT;
        const bool twice = msg == WM_LBUTTONDBLCLK;
        const Pos pos = PositionFromPoint(x, y);
        if (InSelectionBar(x)) {
            // A click selects the display line, a double click the paragraph.
            const LinePos line = LineOf(pos);
            const LineIndex& lines = doc_.Lines();
            Pos start = lines.LineStartIn(line.para, line.sub);
            Pos end = line.sub + 1 < lines.LinesOf(line.para)
                          ? lines.LineStartIn(line.para, line.sub + 1)
                          : lines.ParagraphEnd(line.para);
            if (twice) {
                start = lines.ParagraphStart(line.para);
                end = lines.ParagraphEnd(line.para);
            }
            if (!shift) {
                anchor_ = start;
            }
            dragStart_ = start;
            drag_ = Drag::Bar;
            MoveCaret(anchor_ < start ? end : (shift ? start : end), true);
            return 0;
        }
        if (twice) {
            const Selection word = doc_.WordAt(pos);
            anchor_ = word.min;
            MoveCaret(word.max, true);
            return 0;
        }
        MoveCaret(pos, shift);
        dragStart_ = anchor_;
        drag_ = Drag::Text;
        return 0;
    }
    case WM_MOUSEMOVE: {
        if (drag_ == Drag::None) {
            LinkNotification(msg, wParam, lParam, x, y);
            return 0;
        }
        if (y < 0) {
            ScrollLines(-1);
        } else if (y >= ViewHeight()) {
            ScrollLines(1);
        }
        const Pos pos = PositionFromPoint(x, std::clamp(y, 0, std::max(0, ViewHeight() - 1)));
        if (drag_ == Drag::Bar) {
            // Whole lines: from the line the drag began on to the one under the mouse.
            const LinePos line = LineOf(pos);
            const LineIndex& lines = doc_.Lines();
            const Pos start = lines.LineStartIn(line.para, line.sub);
            const Pos end = line.sub + 1 < lines.LinesOf(line.para)
                                ? lines.LineStartIn(line.para, line.sub + 1)
                                : lines.ParagraphEnd(line.para);
            const LinePos origin = LineOf(dragStart_);
            const Pos originEnd = origin.sub + 1 < lines.LinesOf(origin.para)
                                      ? lines.LineStartIn(origin.para, origin.sub + 1)
                                      : lines.ParagraphEnd(origin.para);
            anchor_ = start < dragStart_ ? originEnd : dragStart_;
            MoveCaret(start < dragStart_ ? start : end, true);
            return 0;
        }
        MoveCaret(pos, true);
        return 0;
    }
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
