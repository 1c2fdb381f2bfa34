// The view: the control's widget, layout at the window's width, scrolling by display lines
// anchored to a character position, and painting only what is visible.

#include "platform/richedit/RichEditControl.h"
#include "platform/richedit/RichEditWidget.h"
#include "platform/window/Gdi.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

namespace {

constexpr int SelectionBarWidth = 8;
constexpr int Margin = 1;
// Characters laid out per turn of the event loop while a width change is re-wrapped: a few
// milliseconds of work, so paints and keys are never held up for long.
constexpr std::int64_t RewrapBudget = 1 << 20;
// Scroll bar positions are ints; beyond this many lines they are scaled.
constexpr std::int64_t ScrollBarRange = 1 << 30;

QColor FromColorRef(COLORREF c) {
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

} // namespace

void RichEditControl::CreateView(const CREATESTRUCT* create) {
    doc_.SetReplaceObserver(
        [this](Pos pos, Pos removed, Pos inserted) { TextReplaced(pos, removed, inserted); });
    // Message-only windows and windows of a process without a GUI have nothing to show.
    if (!create || create->hwndParent == HWND_MESSAGE ||
        !qobject_cast<QApplication*>(QCoreApplication::instance())) {
        return;
    }
    auto* widget = new RichEditWidget(hwnd_);
    widget_ = widget;
    scrollBarAlways_ = create->style & ES_DISABLENOSCROLL;
    widget->SetScrollBarShown((create->style & WS_VSCROLL) && scrollBarAlways_);
    SetWindowWidget(hwnd_, widget); // which gives the widget the window's size
    layout_ = std::make_unique<TextLayout>(doc_, widget->logicalDpiY());
    layout_->SetWidth(wordWrap_ ? std::max(1, TextWidth()) : TextLayout::WrapOff);
    AttachObjects(*layout_);
    doc_.Lines().SetBreaker(layout_.get());
}

void RichEditControl::AttachObjects(TextLayout& layout) {
    layout.SetObjectPainter([this](QPainter& painter, Pos pos, const QRectF& cell) {
        return PaintObject(painter, pos, cell);
    });
    layout.SetObjectSizer([this](Pos pos) {
        const ObjectEntry* entry = objectTable_.Find(doc_.ObjectAt(pos));
        return entry ? entry->size : SIZEL{};
    });
}

bool RichEditControl::PaintObject(QPainter& painter, Pos pos, const QRectF& cell) {
    const ObjectEntry* entry = objectTable_.Find(doc_.ObjectAt(pos));
    ComPtr<IViewObject> view = entry ? entry->object.As<IViewObject>() : ComPtr<IViewObject>();
    if (!view) {
        return false;
    }
    // The layout gave the placeholder the object's extent; the object draws into that cell.
    const QRect r = cell.toRect();
    const RECT bounds{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
    HDC dc = CreateDeviceContext(&painter);
    painter.save();
    const HRESULT hr = view->Draw(entry->aspect, dc, &bounds);
    painter.restore();
    DeleteDC(dc);
    return SUCCEEDED(hr);
}

void RichEditControl::TextReplaced(Pos pos, Pos removed, Pos inserted) {
    const auto shift = [&](Pos& at) {
        if (at > pos + removed) {
            at += inserted - removed;
        } else if (at > pos) {
            at = pos;
        }
    };
    shift(anchor_);
    shift(topPos_);
    // The view's first line must still begin a line: take the start of the one that holds it.
    topPos_ = std::min(topPos_, doc_.Length());
    const LinePos top = LineOf(topPos_);
    topPos_ = doc_.Lines().LineStartIn(top.para, top.sub);
    Invalidate();
}

int RichEditControl::TextLeft() const {
    return Margin + ((options_ & ECO_SELECTIONBAR) ? SelectionBarWidth : 0);
}

int RichEditControl::TextWidth() const {
    return widget_ ? widget_->TextWidth() - TextLeft() - Margin : 0;
}

int RichEditControl::ViewHeight() const {
    return widget_ ? widget_->height() : 0;
}

void RichEditControl::WidthChanged() {
    if (!layout_) {
        return;
    }
    const std::int32_t width = wordWrap_ ? std::max(1, TextWidth()) : TextLayout::WrapOff;
    if (width == layout_->Width()) {
        return;
    }
    // A view that showed the end goes on showing it; any other keeps its first character.
    const bool atEnd = EndVisible();
    layout_->SetWidth(width);
    doc_.Lines().Invalidate();
    if (atEnd) {
        ScrollToShow(doc_.Length());
    }
    ContinueRewrap();
    Invalidate();
}

void RichEditControl::ContinueRewrap() {
    if (!widget_ || !doc_.Lines().HasStale()) {
        return;
    }
    widget_->StartBackgroundWork([this] {
        doc_.Lines().RewrapSome(RewrapBudget);
        UpdateScrollBar(); // which may change the width again
        const bool more = doc_.Lines().HasStale();
        if (!more) {
            NotifyResize();
        }
        return more;
    });
}

// --- display lines around the anchor ---------------------------------------------------------

RichEditControl::LinePos RichEditControl::LineOf(Pos pos) const {
    const LineIndex& lines = doc_.Lines();
    const Pos para = lines.ParagraphFromPosition(pos);
    return {para, lines.SubLineOf(para, pos)};
}

RichEditControl::LinePos RichEditControl::TopLine() const {
    return LineOf(std::min(topPos_, doc_.Length()));
}

bool RichEditControl::NextLine(LinePos& line) const {
    const LineIndex& lines = doc_.Lines();
    if (line.sub + 1 < lines.LinesOf(line.para)) {
        ++line.sub;
        return true;
    }
    if (line.para + 1 < lines.Paragraphs()) {
        line = {line.para + 1, 0};
        return true;
    }
    return false;
}

bool RichEditControl::PreviousLine(LinePos& line) const {
    if (line.sub > 0) {
        --line.sub;
        return true;
    }
    if (line.para > 0) {
        line.para -= 1;
        line.sub = doc_.Lines().LinesOf(line.para) - 1;
        return true;
    }
    return false;
}

TextLayout::Line RichEditControl::BuildLine(const LinePos& line) const {
    const LineIndex& lines = doc_.Lines();
    TextLayout::Line built = layout_->BuildLine(line.para, lines.LineStartIn(line.para, line.sub),
                                                lines.LineEndIn(line.para, line.sub));
    built.height = lines.LineHeightIn(line.para, line.sub); // as the layout counted it
    return built;
}

RichEditControl::Pos RichEditControl::VisibleLines() const {
    if (!layout_) {
        return 1;
    }
    // Below the last line the view goes on in lines of the last line's height.
    const LineIndex& lines = doc_.Lines();
    LinePos line = TopLine();
    Pos count = 0;
    int y = 0;
    int height = 1;
    for (bool more = true; more;) {
        height = std::max(1, lines.LineHeightIn(line.para, line.sub));
        if (y + height > ViewHeight()) {
            return std::max<Pos>(1, count);
        }
        y += height;
        ++count;
        more = NextLine(line);
    }
    return std::max<Pos>(1, count + (ViewHeight() - y) / height);
}

bool RichEditControl::EndVisible() const {
    if (!layout_) {
        return true;
    }
    const LineIndex& lines = doc_.Lines();
    LinePos line = TopLine();
    for (int y = 0;;) {
        y += lines.LineHeightIn(line.para, line.sub);
        if (y > ViewHeight()) {
            return false;
        }
        if (!NextLine(line)) {
            return true;
        }
    }
}

void RichEditControl::ScrollToLine(const LinePos& line) {
    const Pos start = doc_.Lines().LineStartIn(line.para, line.sub);
    if (start != topPos_) {
        topPos_ = start;
        Invalidate();
    }
}

RichEditControl::Pos RichEditControl::ScrollLines(Pos delta) {
    LinePos line = TopLine();
    Pos moved = 0;
    // Never scroll further down than showing the last line at the top.
    while (moved < delta && NextLine(line)) {
        ++moved;
    }
    while (moved > delta && PreviousLine(line)) {
        --moved;
    }
    ScrollToLine(line);
    return moved;
}

void RichEditControl::ScrollToShow(Pos pos) {
    const LinePos target = LineOf(std::min(pos, doc_.Length()));
    const LinePos top = TopLine();
    if (target.para < top.para || (target.para == top.para && target.sub < top.sub)) {
        ScrollToLine(target);
        return;
    }
    // Below the top: in view if the lines from the top down to it fit; otherwise the line
    // that has target as the last one that fits becomes the top.
    if (target == top) {
        return;
    }
    const LineIndex& lines = doc_.Lines();
    LinePos first = target;
    int y = lines.LineHeightIn(first.para, first.sub);
    for (LinePos previous = first; PreviousLine(previous);) {
        y += lines.LineHeightIn(previous.para, previous.sub);
        if (y > ViewHeight()) {
            break;
        }
        first = previous;
        if (previous == top) {
            return;
        }
    }
    ScrollToLine(first);
}

RichEditControl::Pos RichEditControl::PositionFromPoint(int x, int y) const {
    if (!layout_) {
        return 0;
    }
    const LineIndex& lines = doc_.Lines();
    LinePos line = TopLine();
    for (int top = 0;;) {
        const int height = lines.LineHeightIn(line.para, line.sub);
        LinePos next = line;
        if (y < top + height || !NextLine(next)) {
            return layout_->PositionAt(BuildLine(line), x - TextLeft());
        }
        top += height;
        line = next;
    }
}

QRect RichEditControl::CaretRect() const {
    if (!layout_) {
        return {};
    }
    const Pos caret = std::min(ActiveEnd(), doc_.Length());
    const LinePos target = LineOf(caret);
    const LineIndex& lines = doc_.Lines();
    int y = 0;
    for (LinePos line = TopLine(); !(line == target);) {
        y += lines.LineHeightIn(line.para, line.sub);
        if (y > ViewHeight() || !NextLine(line)) {
            return {};
        }
    }
    const TextLayout::Line built = BuildLine(target);
    const int x = TextLeft() + int(std::lround(layout_->XOf(built, caret)));
    return QRect(x, y, 1, built.height);
}

// --- painting --------------------------------------------------------------------------------

void RichEditControl::Invalidate() {
    if (widget_ && redraw_) {
        widget_->RequestRepaint();
    }
}

void RichEditControl::Paint(QPainter& painter, const QRect& area) {
    const QPalette palette = widget_->palette();
    const QColor background =
        systemBackground_ ? palette.color(QPalette::Base) : FromColorRef(background_);
    painter.fillRect(area, background);
    const LineIndex& lines = doc_.Lines();
    const Selection s = doc_.GetSelection();
    const bool showSelection = focused_ || !hideSelection_;
    TextLayout::Colors colors{palette.color(QPalette::Text), palette.color(QPalette::Highlight),
                              palette.color(QPalette::HighlightedText), QColor(0, 0, 255)};
    painter.setClipRect(QRect(0, 0, widget_->TextWidth(), ViewHeight()));
    LinePos line = TopLine();
    for (int y = 0; y < ViewHeight();) {
        const int height = lines.LineHeightIn(line.para, line.sub);
        if (y + height > area.top()) {
            const TextLayout::Line built = BuildLine(line);
            layout_->DrawLine(painter, built, QPointF(TextLeft(), y), showSelection ? s.min : 0,
                              showSelection ? s.max : 0, colors);
        }
        y += height;
        if (y >= area.bottom() + 1 || !NextLine(line)) {
            break;
        }
    }
    if (focused_ && caretOn_ && s.Empty()) {
        painter.fillRect(CaretRect(), colors.text);
    }
    UpdateScrollBar();
}

void RichEditControl::UpdateScrollBar() {
    if (!widget_) {
        return;
    }
    QScrollBar* bar = widget_->ScrollBar();
    const LineIndex& lines = doc_.Lines();
    const Pos count = lines.ApproxLineCount();
    const Pos page = VisibleLines();
    const Pos top = lines.ApproxFirstLineOf(TopLine().para) + TopLine().sub;
    const double scale = count > ScrollBarRange ? double(ScrollBarRange) / double(count) : 1.0;
    const QSignalBlocker block(bar);
    // With nothing to scroll the bar has no range, so it shows no thumb.
    const bool scrollable = count > page || top > 0;
    bar->setRange(0, scrollable ? int(double(count - 1) * scale) : 0);
    bar->setPageStep(std::max(1, int(double(page) * scale)));
    bar->setValue(int(double(top) * scale));
    bar->setEnabled(scrollable);
    // A bar that comes or goes changes the width the text has. That cannot flip back and
    // forth: narrower text is only taller, wider text only shorter.
    if ((GetWindowLongPtr(hwnd_, GWL_STYLE) & WS_VSCROLL) &&
        widget_->SetScrollBarShown(scrollBarAlways_ || scrollable)) {
        WidthChanged();
    }
}

void RichEditControl::NotifyResize() {
    if (!(eventMask_ & ENM_REQUESTRESIZE) || !layout_) {
        return;
    }
    const Pos height = doc_.Lines().ContentHeight();
    if (height == reportedHeight_) {
        return;
    }
    reportedHeight_ = height;
    REQRESIZE rr{};
    rr.rc = RECT{0, 0, widget_ ? widget_->width() : 0, LONG(std::min<Pos>(height, INT32_MAX))};
    NotifyParent(rr.nmhdr, EN_REQUESTRESIZE);
}

// --- messages --------------------------------------------------------------------------------

std::optional<LRESULT> RichEditControl::ViewMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        CreateView(reinterpret_cast<const CREATESTRUCT*>(lParam));
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps{};
        BeginPaint(hwnd_, &ps);
        if (QPainter* painter = PainterOf(ps.hdc); painter && widget_ && redraw_) {
            const RECT& r = ps.rcPaint;
            Paint(*painter, QRect(r.left, r.top, r.right - r.left, r.bottom - r.top));
        }
        EndPaint(hwnd_, &ps);
        return 0;
    }
    case WM_SIZE:
        WidthChanged();
        Invalidate();
        return 0;
    case WM_SETFOCUS:
        focused_ = true;
        caretOn_ = true;
        if (widget_) {
            widget_->StartCaretBlink([this] {
                caretOn_ = !caretOn_;
                if (widget_) {
                    widget_->update(CaretRect().adjusted(-1, 0, 1, 0));
                }
            });
        }
        Invalidate();
        return 0;
    case WM_KILLFOCUS:
        focused_ = false;
        if (widget_) {
            widget_->StopCaretBlink();
        }
        Invalidate();
        return 0;
    case WM_SETREDRAW:
        redraw_ = wParam != 0;
        return 0;
    case EM_SETTARGETDEVICE:
        // (0, 1) turns wrapping off, (0, 0) wraps at the window's width.
        if (wParam == 0) {
            wordWrap_ = lParam == 0;
            WidthChanged();
        }
        return TRUE;
    case WM_NCHITTEST: {
        if (widget_ && widget_->ScrollBar()->isVisible()) {
            POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ScreenToClient(hwnd_, &p);
            if (widget_->ScrollBar()->geometry().contains(p.x, p.y)) {
                return HTVSCROLL;
            }
        }
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

LRESULT RichEditControl::ScrollByCode(WPARAM code) {
    const Pos page = std::max<Pos>(1, VisibleLines());
    Pos delta = 0;
    switch (code) {
    case SB_LINEUP:
        delta = -1;
        break;
    case SB_LINEDOWN:
        delta = 1;
        break;
    case SB_PAGEUP:
        delta = -page;
        break;
    case SB_PAGEDOWN:
        delta = page;
        break;
    default:
        return 0;
    }
    const Pos moved = ScrollLines(delta);
    return LRESULT(MAKELONG(WORD(std::int16_t(std::clamp<Pos>(moved, -32768, 32767))), 1));
}

void RichEditControl::ScrollToThumb(int track) {
    // The thumb names a line by the count as it stands; a re-wrap still under way makes it
    // approximate, and nothing waits for the re-wrap to finish.
    const LineIndex& lines = doc_.Lines();
    const Pos count = lines.ApproxLineCount();
    const double scale = count > ScrollBarRange ? double(count) / double(ScrollBarRange) : 1.0;
    const auto [para, sub] = lines.ApproxParagraphOfLine(Pos(double(track) * scale));
    ScrollToLine({para, sub});
}

std::optional<LRESULT> RichEditControl::ScrollMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case EM_SCROLLCARET:
        ScrollToShow(ActiveEnd());
        return 0;
    case EM_GETFIRSTVISIBLELINE:
        return LRESULT(doc_.Lines().LineFromPosition(std::min(topPos_, doc_.Length())));
    case EM_LINESCROLL:
        ScrollLines(LONG(lParam));
        return TRUE;
    case EM_SCROLL:
        return ScrollByCode(wParam);
    case WM_VSCROLL:
        switch (LOWORD(wParam)) {
        case SB_TOP:
            ScrollToLine({0, 0});
            return 0;
        case SB_BOTTOM:
            ScrollToShow(doc_.Length());
            return 0;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            ScrollToThumb(widget_ ? widget_->TrackPosition() : HIWORD(wParam));
            return 0;
        default:
            ScrollByCode(LOWORD(wParam));
            return 0;
        }
    case WM_MOUSEWHEEL:
        ScrollLines(-Pos(std::int16_t(HIWORD(wParam))) * 3 / WHEEL_DELTA);
        return 0;
    default:
        return std::nullopt;
    }
}
