// Synchronous and queued message delivery, and where exceptions from procedures go.
#include "platform/window/InputBridge.h"
#include "platform/window/Window.h"
#include "platform/window/WindowRegistry.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>
#include <cstdio>
#include <mutex>
#include <stdexcept>

namespace {

std::mutex sinkLock;
UnhandledExceptionSink& Sink() {
    static UnhandledExceptionSink sink;
    return sink;
}

void DefaultSink(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Unhandled exception: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "Unhandled exception of unknown type\n");
    }
}

// One posted message; Qt keeps posted events to one receiver in posting order, from
// whichever thread they were posted.
class PostedMessage : public QEvent {
public:
    static QEvent::Type EventType() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    PostedMessage(HWND h, UINT m, WPARAM w, LPARAM l)
        : QEvent(EventType()), hwnd(h), msg(m), wParam(w), lParam(l) {}
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

class MessageQueue : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() != PostedMessage::EventType())
            return QObject::event(e);
        const auto* m = static_cast<PostedMessage*>(e);
        if (IsWindow(m->hwnd))
            RunGuarded([m] { SendMessage(m->hwnd, m->msg, m->wParam, m->lParam); });
        return true;
    }
};

// Created on first use and moved to the UI thread, whichever thread posts first.
MessageQueue* Queue() {
    static std::once_flag once;
    static MessageQueue* queue = nullptr;
    std::call_once(once, [] {
        queue = new MessageQueue;
        if (auto* app = QCoreApplication::instance(); app && queue->thread() != app->thread())
            queue->moveToThread(app->thread());
    });
    return queue;
}

} // namespace

bool IsUiThread() {
    const auto* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* record = windowing::WindowTable::Instance().Find(hwnd);
    if (!record) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (!IsUiThread())
        throw std::logic_error("SendMessage called off the UI thread");
    // A copy: the procedure may subclass or destroy its window while it runs.
    const WNDPROC proc = record->proc;
    const windowing::SendScope nested;
    return CallWindowProc(proc, hwnd, msg, wParam, lParam);
}

BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!IsWindow(hwnd) || !QCoreApplication::instance()) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    QCoreApplication::postEvent(Queue(), new PostedMessage(hwnd, msg, wParam, lParam));
    return TRUE;
}

UnhandledExceptionSink SetUnhandledExceptionSink(UnhandledExceptionSink sink) {
    std::lock_guard guard(sinkLock);
    std::swap(Sink(), sink);
    return sink;
}

void RunGuarded(const std::function<void()>& fn) {
    try {
        fn();
    } catch (...) {
        UnhandledExceptionSink sink;
        {
            std::lock_guard guard(sinkLock);
            sink = Sink();
        }
        auto error = std::current_exception();
        try {
            if (sink)
                sink(error);
            else
                DefaultSink(error);
        } catch (...) {
            // A handler that throws must not take the event loop down with it.
            DefaultSink(std::current_exception());
        }
    }
}
