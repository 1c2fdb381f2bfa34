// Notifications travel as Qt posted events to one object on the UI thread, so they run from
// the event loop and never inside the call that caused them.

#include "platform/winsock/Delivery.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <mutex>

namespace winsockdelivery {

namespace {

class Notification : public QEvent {
public:
    static QEvent::Type EventType() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    Notification(HWND h, UINT m, WPARAM w, LPARAM l, Prepare p)
        : QEvent(EventType()), hwnd(h), msg(m), wParam(w), lParam(l), prepare(std::move(p)) {}
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    Prepare prepare;
};

class Receiver : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() != Notification::EventType())
            return QObject::event(e);
        auto* n = static_cast<Notification*>(e);
        RunGuarded([n] {
            if (n->prepare && !n->prepare(n->lParam))
                return;
            if (IsWindow(n->hwnd))
                SendMessage(n->hwnd, n->msg, n->wParam, n->lParam);
        });
        return true;
    }
};

Receiver* TheReceiver() {
    static std::once_flag once;
    static Receiver* receiver = nullptr; // lives as long as the process
    std::call_once(once, [] {
        receiver = new Receiver;
        if (auto* app = QCoreApplication::instance(); app && receiver->thread() != app->thread())
            receiver->moveToThread(app->thread());
    });
    return receiver;
}

} // namespace

void Post(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, Prepare prepare) {
    if (!QCoreApplication::instance())
        return;
    QCoreApplication::postEvent(TheReceiver(),
                                new Notification(hwnd, msg, wParam, lParam, std::move(prepare)));
}

} // namespace winsockdelivery
