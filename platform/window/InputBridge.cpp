// The input bridge: Qt's events on a window's widget as the platform's messages, sent through
// the window's procedure, with Qt's own handling of the event only when every message reached
// DefWindowProc.
#include "platform/window/InputBridge.h"

#include "platform/window/WindowRegistry.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>
#include <QWidget>
#include <algorithm>

namespace windowing {

namespace {

int sendDepth = 0;

// A message the bridge is delivering. DefWindowProc marks the top entry when it is called for
// that window and message at the depth the bridge sent it with.
struct Delivery {
    HWND hwnd;
    UINT msg;
    int depth;
    bool reached;
};
std::vector<Delivery>& Deliveries() {
    static std::vector<Delivery> deliveries;
    return deliveries;
}

std::vector<std::unique_ptr<PaintFrame>>& PaintFrames() {
    static std::vector<std::unique_ptr<PaintFrame>> frames;
    return frames;
}

// The keys and buttons of the input being delivered, for GetKeyState.
struct InputState {
    Qt::KeyboardModifiers modifiers;
    Qt::MouseButtons buttons;
};
std::vector<InputState>& InputStates() {
    static std::vector<InputState> states;
    return states;
}
class InputScope {
public:
    InputScope(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
        InputStates().push_back({modifiers, buttons});
    }
    ~InputScope() { InputStates().pop_back(); }
    InputScope(const InputScope&) = delete;
    InputScope& operator=(const InputScope&) = delete;
};

std::optional<QPoint> lastMousePosition;

// Qt offers an input event that a widget left unhandled to its parent widget next. When the
// widget was a window's, the window had the event as messages already and the platform does
// not pass input up (DefWindowProc forwards what it forwards), so the parent window must not
// get it again. Key events travel up as the same object; mouse, wheel and context menu events
// as copies that are no longer spontaneous, with the same time, place and buttons.
struct Delivered {
    const QEvent* event = nullptr;
    QEvent::Type type = QEvent::None;
    QPointer<QWidget> widget;
    int key = 0;
    quint64 timestamp = 0;
    QPointF global;
    Qt::MouseButtons buttons;
};
Delivered lastKey;
Delivered lastPointer;

bool CameFromWindowBelow(const Delivered& last, const QWidget* widget) {
    return last.widget && last.widget != widget && widget->isAncestorOf(last.widget);
}

bool IsPassedOnKey(const QKeyEvent* event, const QWidget* widget) {
    return lastKey.event == event && lastKey.type == event->type() && lastKey.key == event->key() &&
           CameFromWindowBelow(lastKey, widget);
}

// Qt's copies of a context menu event do not keep its time.
bool IsPassedOnPointer(const QInputEvent* event, QPointF global, Qt::MouseButtons buttons,
                       const QWidget* widget) {
    const bool timed = event->type() != QEvent::ContextMenu;
    return !event->spontaneous() && lastPointer.type == event->type() &&
           (!timed || lastPointer.timestamp == event->timestamp()) &&
           lastPointer.global == global && lastPointer.buttons == buttons &&
           CameFromWindowBelow(lastPointer, widget);
}

// Focus: the window that lost it last and the widget it went to, for WM_SETFOCUS's wParam.
HWND focusLostBy = nullptr;
QPointer<QWidget> focusWentTo;

WPARAM MouseKeys(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
    WPARAM keys = 0;
    if (buttons & Qt::LeftButton)
        keys |= MK_LBUTTON;
    if (buttons & Qt::RightButton)
        keys |= MK_RBUTTON;
    if (buttons & Qt::MiddleButton)
        keys |= MK_MBUTTON;
    if (modifiers & Qt::ShiftModifier)
        keys |= MK_SHIFT;
    if (modifiers & Qt::ControlModifier)
        keys |= MK_CONTROL;
    return keys;
}

UINT MouseMessage(QEvent::Type type, Qt::MouseButton button) {
    if (type == QEvent::MouseMove)
        return WM_MOUSEMOVE;
    UINT first = 0;
    switch (button) {
    case Qt::LeftButton:
        first = WM_LBUTTONDOWN;
        break;
    case Qt::RightButton:
        first = WM_RBUTTONDOWN;
        break;
    case Qt::MiddleButton:
        first = WM_MBUTTONDOWN;
        break;
    default:
        return 0; // other buttons have no client message here; Qt handles them
    }
    switch (type) {
    case QEvent::MouseButtonPress:
        return first;
    case QEvent::MouseButtonRelease:
        return first + 1;
    case QEvent::MouseButtonDblClick:
        return first + 2;
    default:
        return 0;
    }
}

LPARAM ScreenPoint(QPointF global) {
    const QPoint p = global.toPoint();
    return PointToLParam(p.x(), p.y());
}

// Qt reports a modifier key's own press without its modifier and its release with it; the
// platform has the key down during WM_KEYDOWN and up during WM_KEYUP.
Qt::KeyboardModifiers ModifiersDuring(const QKeyEvent* event) {
    Qt::KeyboardModifiers modifiers = event->modifiers();
    Qt::KeyboardModifier own = Qt::NoModifier;
    switch (event->key()) {
    case Qt::Key_Shift:
        own = Qt::ShiftModifier;
        break;
    case Qt::Key_Control:
        own = Qt::ControlModifier;
        break;
    case Qt::Key_Alt:
        own = Qt::AltModifier;
        break;
    default:
        return modifiers;
    }
    if (event->type() == QEvent::KeyPress)
        modifiers |= own;
    else
        modifiers &= ~own;
    return modifiers;
}

class InputBridge : public QObject {
public:
    InputBridge(HWND hwnd, QWidget* widget) : QObject(widget), hwnd_(hwnd), widget_(widget) {
        NoteOwnCursor();
    }
    QWidget* Widget() const { return widget_; }

    void ShowCursor(const QCursor* cursor) {
        applyingCursor_ = true;
        widget_->setCursor(cursor ? *cursor : QCursor(Qt::BlankCursor));
        applyingCursor_ = false;
        cursorOverridden_ = true;
    }
    void RestoreCursor() {
        if (!cursorOverridden_)
            return;
        applyingCursor_ = true;
        if (ownCursorSet_)
            widget_->setCursor(ownCursor_);
        else
            widget_->unsetCursor();
        applyingCursor_ = false;
        cursorOverridden_ = false;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != widget_)
            return false;
        switch (event->type()) {
        case QEvent::CursorChange:
            // The widget's own cursor is whatever its owner sets; ours is only borrowed.
            if (!applyingCursor_)
                NoteOwnCursor();
            return false;
        case QEvent::ShortcutOverride:
            // A new key press starts here; an older press is not travelling up any more.
            lastKey = {};
            return false;
        default:
            break;
        }
        if (!Live())
            return false;
        switch (event->type()) {
        case QEvent::Paint:
            return Paint(static_cast<QPaintEvent*>(event));
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            return Key(static_cast<QKeyEvent*>(event));
        case QEvent::MouseMove:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            return Mouse(static_cast<QMouseEvent*>(event));
        case QEvent::Wheel:
            return Wheel(static_cast<QWheelEvent*>(event));
        case QEvent::ContextMenu:
            return ContextMenu(static_cast<QContextMenuEvent*>(event));
        case QEvent::FocusIn:
        case QEvent::FocusOut:
            return Focus(static_cast<QFocusEvent*>(event));
        case QEvent::Resize:
            Resize();
            return false;
        default:
            return false;
        }
    }

private:
    bool Live() const {
        const WindowRecord* record = WindowTable::Instance().Find(hwnd_);
        return record && !record->destroying && record->widget == widget_;
    }

    // Sends one message the event became; true if it reached DefWindowProc.
    bool Deliver(UINT msg, WPARAM wParam, LPARAM lParam) {
        auto& deliveries = Deliveries();
        const size_t index = deliveries.size();
        deliveries.push_back({hwnd_, msg, sendDepth + 1, false});
        const HWND hwnd = hwnd_;
        RunGuarded([&] { SendMessage(hwnd, msg, wParam, lParam); });
        const bool reached = deliveries[index].reached;
        deliveries.resize(index);
        return reached;
    }

    // The event's verdict: withheld events stop here, also on their way up to parent widgets.
    bool Consume(QEvent* event, bool reachedDefault) {
        if (reachedDefault && Live())
            return false;
        event->accept();
        return true;
    }

    bool Paint(QPaintEvent* event) {
        auto& frames = PaintFrames();
        auto frame = std::make_unique<PaintFrame>();
        frame->hwnd = hwnd_;
        frame->widget = widget_;
        frame->rect = event->rect();
        // This paint takes what was waiting; what is invalidated while it runs waits anew.
        if (WindowRecord* record = WindowTable::Instance().Find(hwnd_))
            record->pendingUpdate = QRect();
        PaintFrame* current = frame.get();
        frames.push_back(std::move(frame));
        const bool reached = Deliver(WM_PAINT, 0, 0);
        ClosePaintFrame(*current);
        frames.erase(std::find_if(frames.begin(), frames.end(),
                                  [current](const auto& f) { return f.get() == current; }));
        return Consume(event, reached);
    }

    bool WantsKey(const QKeyEvent* event, int vk, UINT msg, LPARAM lParam) {
        const QPoint at = lastMousePosition.value_or(QCursor::pos());
        MSG message{hwnd_,
                    msg,
                    static_cast<WPARAM>(vk),
                    lParam,
                    static_cast<DWORD>(event->timestamp()),
                    POINT{at.x(), at.y()}};
        LRESULT code = 0;
        const HWND hwnd = hwnd_;
        RunGuarded([&] {
            code = SendMessage(hwnd, WM_GETDLGCODE, static_cast<WPARAM>(vk),
                               reinterpret_cast<LPARAM>(&message));
        });
        if (vk == VK_TAB)
            return code & (DLGC_WANTTAB | DLGC_WANTALLKEYS);
        return code & DLGC_WANTALLKEYS;
    }

    bool Key(QKeyEvent* event) {
        if (IsPassedOnKey(event, widget_))
            return false;
        lastKey = {event, event->type(), widget_, event->key(), 0, {}, {}};
        const bool press = event->type() == QEvent::KeyPress;
        const Qt::KeyboardModifiers modifiers = ModifiersDuring(event);
        int vk = VirtualKeyOf(event->key(), event->modifiers());
        const std::u16string units = press ? TypedUnits(*event, vk) : std::u16string();
        if (vk == 0) {
            if (units.empty())
                return false; // nothing the platform would report (media keys and such)
            vk = VK_PACKET;
        }
        // Alt (without Ctrl, which with Alt is AltGr typing text) makes them system keys.
        const bool altDown = (modifiers & Qt::AltModifier) && !(modifiers & Qt::ControlModifier);
        const bool system = altDown || vk == VK_MENU || vk == VK_F10;
        LPARAM lParam = std::max(static_cast<int>(event->count()), 1) & 0xFFFF;
        if (IsExtendedKey(event->key(), event->modifiers()))
            lParam |= KF_EXTENDED_BIT;
        if (altDown)
            lParam |= KF_ALTDOWN_BIT;
        if (!press)
            lParam |= KF_REPEAT_BIT | KF_UP_BIT;
        else if (event->isAutoRepeat())
            lParam |= KF_REPEAT_BIT;
        const UINT msg =
            press ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
        InputScope input(modifiers, QGuiApplication::mouseButtons());
        // Navigation keys belong to the dialog (Qt's focus chain, the parent's default button)
        // unless the window asks for them.
        if (press && (vk == VK_TAB || vk == VK_RETURN || vk == VK_ESCAPE) &&
            !(modifiers & (Qt::ControlModifier | Qt::AltModifier)) &&
            !WantsKey(event, vk, msg, lParam))
            return false;
        bool reached = Deliver(msg, static_cast<WPARAM>(vk), lParam);
        for (const char16_t unit : units) {
            if (!Live())
                break;
            const bool charReached = Deliver(system ? WM_SYSCHAR : WM_CHAR, unit, lParam);
            reached = reached && charReached;
        }
        return Consume(event, reached);
    }

    void RememberPointer(const QInputEvent* event, QPointF global, Qt::MouseButtons buttons) {
        lastPointer = {event, event->type(), widget_, 0, event->timestamp(), global, buttons};
        lastMousePosition = global.toPoint();
    }

    void OfferCursor(UINT mouseMsg, QPointF global) {
        LRESULT hit = HTNOWHERE;
        const HWND hwnd = hwnd_;
        RunGuarded([&] { hit = SendMessage(hwnd, WM_NCHITTEST, 0, ScreenPoint(global)); });
        if (Live())
            Deliver(WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd_),
                    MAKELPARAM(static_cast<WORD>(hit), static_cast<WORD>(mouseMsg)));
    }

    bool Mouse(QMouseEvent* event) {
        const QPointF global = event->globalPosition();
        if (IsPassedOnPointer(event, global, event->buttons(), widget_))
            return false;
        const UINT msg = MouseMessage(event->type(), event->button());
        if (msg == 0)
            return false;
        RememberPointer(event, global, event->buttons());
        InputScope input(event->modifiers(), event->buttons());
        const bool press = msg != WM_MOUSEMOVE && (msg - WM_LBUTTONDOWN) % 3 != 1;
        if (msg == WM_MOUSEMOVE || press)
            OfferCursor(msg, global);
        if (!Live())
            return Consume(event, false);
        const QPoint at = event->position().toPoint();
        const bool reached = Deliver(msg, MouseKeys(event->buttons(), event->modifiers()),
                                     PointToLParam(at.x(), at.y()));
        return Consume(event, reached);
    }

    bool Wheel(QWheelEvent* event) {
        const QPointF global = event->globalPosition();
        if (IsPassedOnPointer(event, global, event->buttons(), widget_))
            return false;
        const int delta = std::clamp(event->angleDelta().y(), -32768, 32767);
        if (delta == 0)
            return false; // a sideways scroll: Qt's
        RememberPointer(event, global, event->buttons());
        InputScope input(event->modifiers(), event->buttons());
        const WPARAM wParam =
            MAKEWPARAM(static_cast<WORD>(MouseKeys(event->buttons(), event->modifiers())),
                       static_cast<WORD>(static_cast<SHORT>(delta)));
        return Consume(event, Deliver(WM_MOUSEWHEEL, wParam, ScreenPoint(global)));
    }

    bool ContextMenu(QContextMenuEvent* event) {
        // With the mouse the menu comes from WM_RBUTTONUP through DefWindowProc already.
        if (event->reason() == QContextMenuEvent::Mouse)
            return Consume(event, false);
        const QPointF global = event->globalPos();
        if (IsPassedOnPointer(event, global, {}, widget_))
            return false;
        lastPointer = {event, event->type(), widget_, 0, event->timestamp(), global, {}};
        const LPARAM where =
            event->reason() == QContextMenuEvent::Keyboard ? LPARAM(-1) : ScreenPoint(global);
        InputScope input(event->modifiers(), QGuiApplication::mouseButtons());
        return Consume(event, Deliver(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd_), where));
    }

    bool Focus(QFocusEvent* event) {
        bool reached = false;
        if (event->type() == QEvent::FocusOut) {
            // Qt has the new focus widget in place before it tells the old one.
            QWidget* next = QApplication::focusWidget();
            HWND to = WindowFromWidget(next);
            focusLostBy = hwnd_;
            focusWentTo = next;
            reached =
                Deliver(WM_KILLFOCUS, reinterpret_cast<WPARAM>(to == hwnd_ ? nullptr : to), 0);
        } else {
            HWND from = focusWentTo == widget_ && focusLostBy != hwnd_ && IsWindow(focusLostBy)
                            ? focusLostBy
                            : nullptr;
            focusLostBy = nullptr;
            focusWentTo = nullptr;
            reached = Deliver(WM_SETFOCUS, reinterpret_cast<WPARAM>(from), 0);
        }
        return Consume(event, reached);
    }

    void Resize() {
        const HWND hwnd = hwnd_;
        RunGuarded([hwnd] {
            RECT r{};
            GetClientRect(hwnd, &r);
            SendMessage(hwnd, WM_SIZE, 0,
                        MAKELPARAM(static_cast<WORD>(r.right), static_cast<WORD>(r.bottom)));
        });
    }

    void NoteOwnCursor() {
        ownCursorSet_ = widget_->testAttribute(Qt::WA_SetCursor);
        ownCursor_ = widget_->cursor();
        cursorOverridden_ = false;
    }

    HWND hwnd_;
    QWidget* widget_;
    QCursor ownCursor_;
    bool ownCursorSet_ = false;
    bool cursorOverridden_ = false;
    bool applyingCursor_ = false;
};

InputBridge* BridgeOf(HWND hwnd) {
    const WindowRecord* record = WindowTable::Instance().Find(hwnd);
    if (!record || !record->widget || !record->bridge)
        return nullptr;
    auto* bridge = static_cast<InputBridge*>(record->bridge.data());
    return bridge->Widget() == record->widget ? bridge : nullptr;
}

} // namespace

int SendDepth() {
    return sendDepth;
}
SendScope::SendScope() {
    ++sendDepth;
}
SendScope::~SendScope() {
    --sendDepth;
}

void NoteDefaultReached(HWND hwnd, UINT msg) {
    auto& deliveries = Deliveries();
    if (deliveries.empty())
        return;
    Delivery& top = deliveries.back();
    if (top.hwnd == hwnd && top.msg == msg && top.depth == sendDepth)
        top.reached = true;
}

void AttachInputBridge(HWND hwnd, QWidget* widget) {
    WindowRecord* record = WindowTable::Instance().Find(hwnd);
    if (!record)
        return;
    if (record->bridge) {
        if (record->bridge->parent() == widget)
            return;
        // The window shows another widget now; the old one keeps nothing of it.
        record->bridge->deleteLater();
        record->bridge = nullptr;
    }
    if (!widget)
        return;
    auto* bridge = new InputBridge(hwnd, widget);
    widget->installEventFilter(bridge);
    widget->setMouseTracking(true);
    record->bridge = bridge;
}

PaintFrame::PaintFrame() = default;
PaintFrame::~PaintFrame() = default;

PaintFrame* ActivePaintFrame(HWND hwnd) {
    auto& frames = PaintFrames();
    for (auto it = frames.rbegin(); it != frames.rend(); ++it)
        if ((*it)->hwnd == hwnd)
            return it->get();
    return nullptr;
}

HWND CursorTargetWindow() {
    const auto& deliveries = Deliveries();
    if (deliveries.empty() || deliveries.back().msg != WM_SETCURSOR)
        return nullptr;
    return deliveries.back().hwnd;
}

void ShowCursorOn(HWND hwnd, const QCursor* cursor) {
    if (InputBridge* bridge = BridgeOf(hwnd))
        bridge->ShowCursor(cursor);
}

void RestoreOwnCursor(HWND hwnd) {
    if (InputBridge* bridge = BridgeOf(hwnd))
        bridge->RestoreCursor();
}

std::optional<QPoint> LastMousePosition() {
    return lastMousePosition;
}

} // namespace windowing

SHORT GetKeyState(int virtualKey) {
    using windowing::InputStates;
    const Qt::KeyboardModifiers modifiers = InputStates().empty()
                                                ? QGuiApplication::queryKeyboardModifiers()
                                                : InputStates().back().modifiers;
    const Qt::MouseButtons buttons =
        InputStates().empty() ? QGuiApplication::mouseButtons() : InputStates().back().buttons;
    bool down = false;
    switch (virtualKey) {
    case VK_SHIFT:
        down = modifiers & Qt::ShiftModifier;
        break;
    case VK_CONTROL:
        down = modifiers & Qt::ControlModifier;
        break;
    case VK_MENU:
        down = modifiers & Qt::AltModifier;
        break;
    case VK_LBUTTON:
        down = buttons & Qt::LeftButton;
        break;
    case VK_RBUTTON:
        down = buttons & Qt::RightButton;
        break;
    case VK_MBUTTON:
        down = buttons & Qt::MiddleButton;
        break;
    default:
        break;
    }
    return down ? static_cast<SHORT>(-0x8000) : SHORT(0);
}
