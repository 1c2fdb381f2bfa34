#pragma once
// Internal to the window layer: what the input bridge shares with the default procedure,
// message sending, painting and the cursor calls.

#include "platform/window/Window.h"

#include <QPoint>
#include <QPointer>
#include <QRect>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QCursor;
class QKeyEvent;
class QPainter;
class QWidget;
struct DeviceContext;

namespace windowing {

// SendMessage nesting. The bridge notes the depth it sends at, so that DefWindowProc for a
// message a handler sends in between (even the same message to the same window) does not
// count as its own message reaching the default procedure.
int SendDepth();
class SendScope {
public:
    SendScope();
    ~SendScope();
    SendScope(const SendScope&) = delete;
    SendScope& operator=(const SendScope&) = delete;
};

// Called first thing by DefWindowProc.
void NoteDefaultReached(HWND hwnd, UINT msg);

// Puts the bridge on widget for hwnd, once per widget; a null widget takes it off.
void AttachInputBridge(HWND hwnd, QWidget* widget);

// A paint event of hwnd's widget while it is delivered as WM_PAINT.
struct PaintFrame {
    HWND hwnd = nullptr;
    QPointer<QWidget> widget;
    QRect rect;             // the paint event's bounding rectangle
    bool validated = false; // BeginPaint or ValidateRect took it
    std::unique_ptr<QPainter> painter;
    std::vector<DeviceContext*> contexts; // handed out by BeginPaint, not yet ended
    PaintFrame();
    ~PaintFrame();
};
// The innermost paint of hwnd being delivered, or null.
PaintFrame* ActivePaintFrame(HWND hwnd);
// Ends the painter and detaches contexts still open when the WM_PAINT delivery is over
// (a handler that forgot EndPaint): they then draw nothing instead of into a dead painter.
void ClosePaintFrame(PaintFrame& frame);

// The window whose WM_SETCURSOR the bridge is delivering now, or null.
HWND CursorTargetWindow();
// Shows cursor (null: none) over hwnd's widget until DefWindowProc's WM_SETCURSOR restores
// the widget's own.
void ShowCursorOn(HWND hwnd, const QCursor* cursor);
void RestoreOwnCursor(HWND hwnd);
// Screen position of the last mouse event the bridge delivered.
std::optional<QPoint> LastMousePosition();

// Keyboard translation (KeyMap.cpp).
// The platform's virtual key for a Qt key, 0 if it has none.
int VirtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers);
// Whether the key is one of the platform's extended keys (lParam bit 24).
bool IsExtendedKey(int qtKey, Qt::KeyboardModifiers modifiers);
// What the platform's message translation makes of a key press: the UTF-16 units to send
// as WM_CHAR / WM_SYSCHAR, empty for a key that types nothing.
std::u16string TypedUnits(const QKeyEvent& event, int virtualKey);

} // namespace windowing
