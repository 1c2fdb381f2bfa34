// Device contexts over QPainter, and painting a window through WM_PAINT.
#include "platform/window/Gdi.h"

#include "platform/window/InputBridge.h"
#include "platform/window/WindowRegistry.h"

#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <unordered_set>
#include <utility>

using windowing::PaintFrame;
using windowing::RecordOrError;
using windowing::WindowRecord;

struct DeviceContext {
    QPainter* painter = nullptr;
    int mapMode = MM_TEXT;
    PaintFrame* frame = nullptr; // the window paint that BeginPaint gave it for
};

namespace {

// Handles are checked against the live ones, so a stale or made-up HDC fails cleanly.
std::unordered_set<HDC>& LiveContexts() {
    static std::unordered_set<HDC> live;
    return live;
}

bool IsContext(HDC hdc) {
    if (hdc && LiveContexts().count(hdc))
        return true;
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
}

RECT ToRect(const QRect& r) {
    return r.isEmpty() ? RECT{0, 0, 0, 0} : RECT{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
}

QRect FromRect(const RECT& r) {
    return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
}

} // namespace

HDC CreateDeviceContext(QPainter* painter) {
    auto* hdc = new DeviceContext;
    hdc->painter = painter;
    LiveContexts().insert(hdc);
    return hdc;
}

BOOL DeleteDC(HDC hdc) {
    if (!IsContext(hdc))
        return FALSE;
    if (PaintFrame* frame = hdc->frame)
        std::erase(frame->contexts, hdc);
    LiveContexts().erase(hdc);
    delete hdc;
    return TRUE;
}

QPainter* PainterOf(HDC hdc) {
    return hdc && LiveContexts().count(hdc) ? hdc->painter : nullptr;
}

QPaintDevice* DeviceOf(HDC hdc) {
    QPainter* painter = PainterOf(hdc);
    return painter ? painter->device() : nullptr;
}

int GetDeviceCaps(HDC hdc, int index) {
    if (!IsContext(hdc))
        return 0;
    const QPaintDevice* device = DeviceOf(hdc);
    if (!device) // measures as the screen does and has no surface
        return index == LOGPIXELSX || index == LOGPIXELSY ? 96 : 0;
    switch (index) {
    case LOGPIXELSX:
        return device->logicalDpiX();
    case LOGPIXELSY:
        return device->logicalDpiY();
    case HORZRES:
        return device->width();
    case VERTRES:
        return device->height();
    case PHYSICALWIDTH:
    case PHYSICALHEIGHT:
    case PHYSICALOFFSETX:
    case PHYSICALOFFSETY:
        break;
    default:
        return 0;
    }
    // A printer or PDF writer draws inside the printable area of a larger sheet; everything
    // else is all drawable.
    const auto* paged = dynamic_cast<const QPagedPaintDevice*>(device);
    if (!paged) {
        if (index == PHYSICALWIDTH)
            return device->width();
        return index == PHYSICALHEIGHT ? device->height() : 0;
    }
    const QPageLayout layout = paged->pageLayout();
    switch (index) {
    case PHYSICALWIDTH:
        return layout.fullRectPixels(device->logicalDpiX()).width();
    case PHYSICALHEIGHT:
        return layout.fullRectPixels(device->logicalDpiY()).height();
    case PHYSICALOFFSETX:
        return layout.paintRectPixels(device->logicalDpiX()).left();
    default:
        return layout.paintRectPixels(device->logicalDpiY()).top();
    }
}

int SetMapMode(HDC hdc, int mode) {
    if (!IsContext(hdc))
        return 0;
    if (mode < MM_TEXT || mode > 8) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return std::exchange(hdc->mapMode, mode);
}

int GetMapMode(HDC hdc) {
    return IsContext(hdc) ? hdc->mapMode : 0;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps) {
    WindowRecord* record = RecordOrError(hwnd);
    if (!record)
        return nullptr;
    if (!ps) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    *ps = PAINTSTRUCT{nullptr, FALSE, RECT{0, 0, 0, 0}};
    // Beginning to paint takes what was waiting, as on the platform.
    record->pendingUpdate = QRect();
    PaintFrame* frame = windowing::ActivePaintFrame(hwnd);
    if (!frame || !frame->widget) {
        ps->hdc = CreateDeviceContext(nullptr);
        return ps->hdc;
    }
    // One painter per paint: nested BeginPaint calls (a subclass and the procedure it calls
    // on to) share it, since a widget takes only one active painter at a time.
    if (!frame->painter)
        frame->painter = std::make_unique<QPainter>(frame->widget.data());
    frame->validated = true;
    HDC hdc = CreateDeviceContext(frame->painter.get());
    hdc->frame = frame;
    frame->contexts.push_back(hdc);
    ps->hdc = hdc;
    ps->fErase = TRUE;
    ps->rcPaint = ToRect(frame->rect);
    return hdc;
}

BOOL EndPaint(HWND /*hwnd*/, const PAINTSTRUCT* ps) {
    if (!ps || !IsContext(ps->hdc))
        return FALSE;
    PaintFrame* frame = ps->hdc->frame;
    DeleteDC(ps->hdc);
    // The last one ends the painter, so the widget's own painting (if the message goes on to
    // DefWindowProc) can start its own.
    if (frame && frame->contexts.empty())
        frame->painter.reset();
    return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL /*erase*/) {
    WindowRecord* record = RecordOrError(hwnd);
    if (!record)
        return FALSE;
    QRect waiting = record->pendingUpdate;
    if (const PaintFrame* frame = windowing::ActivePaintFrame(hwnd); frame && !frame->validated)
        waiting |= frame->rect;
    if (rect)
        *rect = ToRect(waiting);
    return waiting.isEmpty() ? FALSE : TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
    WindowRecord* record = RecordOrError(hwnd);
    if (!record)
        return FALSE;
    PaintFrame* frame = windowing::ActivePaintFrame(hwnd);
    if (!rect) {
        record->pendingUpdate = QRect();
        if (frame)
            frame->validated = true;
        return TRUE;
    }
    // A bounding rectangle cannot keep a hole: only what is covered entirely is taken.
    const QRect area = FromRect(*rect);
    if (area.contains(record->pendingUpdate))
        record->pendingUpdate = QRect();
    if (frame && area.contains(frame->rect))
        frame->validated = true;
    return TRUE;
}

BOOL UpdateWindow(HWND hwnd) {
    WindowRecord* record = RecordOrError(hwnd);
    if (!record)
        return FALSE;
    QWidget* widget = record->widget;
    if (widget && widget->isVisible() && !record->pendingUpdate.isEmpty())
        widget->repaint(record->pendingUpdate);
    return TRUE;
}

namespace windowing {

void ClosePaintFrame(PaintFrame& frame) {
    for (HDC hdc : frame.contexts) {
        hdc->painter = nullptr;
        hdc->frame = nullptr;
    }
    frame.contexts.clear();
    frame.painter.reset();
}

} // namespace windowing
