// The on-screen side of windows: their widgets, bounds, visibility, enabling and focus.
#include "platform/window/InputBridge.h"
#include "platform/window/Window.h"
#include "platform/window/WindowRegistry.h"

#include <QApplication>
#include <optional>

using windowing::RecordOrError;
using windowing::WindowRecord;
using windowing::WindowTable;

void SetWindowWidget(HWND hwnd, QWidget* widget) {
    WindowRecord* record = RecordOrError(hwnd);
    if (!record)
        return;
    record->widget = widget;
    windowing::AttachInputBridge(hwnd, widget);
    if (!widget)
        return;
    if (WindowRecord* parent = WindowTable::Instance().Find(record->parent);
        parent && parent->widget)
        widget->setParent(parent->widget);
    if (record->bounds.isValid())
        widget->setGeometry(record->bounds);
    widget->setEnabled(!(record->style & WS_DISABLED));
    widget->setVisible(record->style & WS_VISIBLE);
}

QWidget* GetWindowWidget(HWND hwnd) {
    WindowRecord* record = WindowTable::Instance().Find(hwnd);
    return record ? record->widget.data() : nullptr;
}

HWND WindowFromWidget(const QWidget* widget) {
    // A child widget inside a window's widget belongs to that window.
    for (; widget; widget = widget->parentWidget())
        if (HWND hwnd = WindowTable::Instance().FindByWidget(widget))
            return hwnd;
    return nullptr;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL /*repaint*/) {
    WindowRecord* record = RecordOrError(hwnd);
    if (!record)
        return FALSE;
    const QRect old = record->bounds;
    record->bounds = QRect(x, y, width, height);
    if (record->widget)
        record->widget->setGeometry(record->bounds);
    if (old.topLeft() != record->bounds.topLeft())
        SendMessage(hwnd, WM_MOVE, 0, MAKELONG(WORD(x), WORD(y)));
    if (old.size() != record->bounds.size())
        SendMessage(hwnd, WM_SIZE, 0, MAKELONG(WORD(width), WORD(height)));
    return TRUE;
}

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
    WindowRecord* record = RecordOrError(hwnd);
    if (!record || !rect)
        return FALSE;
    const QRect r = record->widget ? record->widget->geometry() : record->bounds;
    *rect = RECT{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    return TRUE;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
    WindowRecord* record = RecordOrError(hwnd);
    if (!record || !rect)
        return FALSE;
    const QRect r =
        record->widget ? record->widget->rect() : QRect(QPoint(0, 0), record->bounds.size());
    *rect = RECT{0, 0, r.width(), r.height()};
    return TRUE;
}

BOOL ShowWindow(HWND hwnd, int command) {
    WindowRecord* record = RecordOrError(hwnd);
    if (!record)
        return FALSE;
    const bool wasVisible = record->style & WS_VISIBLE;
    const bool show = command != SW_HIDE;
    if (show)
        record->style |= WS_VISIBLE;
    else
        record->style &= ~WS_VISIBLE;
    if (record->widget)
        record->widget->setVisible(show);
    if (show != wasVisible)
        SendMessage(hwnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    return wasVisible ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hwnd) {
    for (WindowRecord* record = WindowTable::Instance().Find(hwnd); record;
         record = WindowTable::Instance().Find(record->parent)) {
        if (!(record->style & WS_VISIBLE))
            return FALSE;
    }
    return IsWindow(hwnd);
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
    WindowRecord* record = RecordOrError(hwnd);
    if (!record)
        return FALSE;
    const bool wasDisabled = record->style & WS_DISABLED;
    if (enable)
        record->style &= ~WS_DISABLED;
    else
        record->style |= WS_DISABLED;
    if (record->widget)
        record->widget->setEnabled(enable);
    if (wasDisabled == bool(enable))
        SendMessage(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
    return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND hwnd) {
    WindowRecord* record = WindowTable::Instance().Find(hwnd);
    return record && !(record->style & WS_DISABLED) ? TRUE : FALSE;
}

HWND SetFocus(HWND hwnd) {
    HWND previous = GetFocus();
    WindowRecord* record = RecordOrError(hwnd);
    if (record && record->widget)
        record->widget->setFocus(Qt::OtherFocusReason);
    return previous;
}

HWND GetFocus() {
    return WindowFromWidget(QApplication::focusWidget());
}

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL /*erase*/) {
    WindowRecord* record = RecordOrError(hwnd);
    if (!record)
        return FALSE;
    RECT client{};
    GetClientRect(hwnd, &client);
    const QRect all(0, 0, client.right, client.bottom);
    const QRect area =
        rect
            ? QRect(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top) & all
            : all;
    if (area.isEmpty())
        return TRUE;
    // Within a paint that has not begun drawing, what the paint covers anyway joins it, as
    // the platform's update region grows before BeginPaint takes it: asking Qt for another
    // paint there would repaint for ever.
    if (const windowing::PaintFrame* frame = windowing::ActivePaintFrame(hwnd);
        frame && !frame->validated && frame->rect.contains(area))
        return TRUE;
    // Kept for GetUpdateRect: Qt has the region too, but does not tell what is waiting.
    record->pendingUpdate |= area;
    if (record->widget)
        record->widget->update(area);
    return TRUE;
}

namespace {

// Where the window's client area starts on screen, from its widget or, without one, from
// the bounds of the window and its parents.
std::optional<QPoint> ClientOrigin(HWND hwnd) {
    WindowRecord* record = RecordOrError(hwnd);
    if (!record)
        return std::nullopt;
    QPoint origin;
    for (; record; record = WindowTable::Instance().Find(record->parent)) {
        if (record->widget)
            return origin + record->widget->mapToGlobal(QPoint(0, 0));
        origin += record->bounds.topLeft();
    }
    return origin;
}

} // namespace

BOOL ScreenToClient(HWND hwnd, POINT* point) {
    const std::optional<QPoint> origin = ClientOrigin(hwnd);
    if (!origin || !point)
        return FALSE;
    point->x -= origin->x();
    point->y -= origin->y();
    return TRUE;
}

BOOL ClientToScreen(HWND hwnd, POINT* point) {
    const std::optional<QPoint> origin = ClientOrigin(hwnd);
    if (!origin || !point)
        return FALSE;
    point->x += origin->x();
    point->y += origin->y();
    return TRUE;
}
