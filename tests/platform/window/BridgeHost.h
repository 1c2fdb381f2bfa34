#pragma once
// Windows that show a given widget, subclassed by a recorder that sees every message and may
// withhold some, as a control's subclass would.

#include "platform/window/Window.h"

#include <QRect>
#include <QWidget>
#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

struct Recorded {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

class Recorder {
public:
    // Answers a message itself (withholding it) when this returns a value.
    std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)> handle;
    std::vector<Recorded> seen;

    void Attach(HWND hwnd) {
        previous_ = SetWindowProc(hwnd, [this](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
            seen.push_back({m, w, l});
            if (handle) {
                if (std::optional<LRESULT> result = handle(h, m, w, l))
                    return *result;
            }
            return CallWindowProc(previous_, h, m, w, l);
        });
    }
    // The messages among those of interest, in order.
    std::vector<Recorded> Only(std::initializer_list<UINT> messages) const {
        std::vector<Recorded> out;
        for (const Recorded& r : seen)
            if (std::find(messages.begin(), messages.end(), r.msg) != messages.end())
                out.push_back(r);
        return out;
    }
    std::vector<UINT> Messages(std::initializer_list<UINT> messages) const {
        std::vector<UINT> out;
        for (const Recorded& r : Only(messages))
            out.push_back(r.msg);
        return out;
    }
    std::size_t Count(UINT msg) const {
        return static_cast<std::size_t>(std::count_if(
            seen.begin(), seen.end(), [msg](const Recorded& r) { return r.msg == msg; }));
    }

private:
    WNDPROC previous_;
};

// The class procedure attaches the widget passed as the creation parameter.
inline const char* HostClass() {
    static const char* name = [] {
        WNDCLASS wc;
        wc.lpszClassName = "BridgeTestHost";
        wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
            if (m == WM_CREATE)
                SetWindowWidget(
                    h, static_cast<QWidget*>(reinterpret_cast<CREATESTRUCT*>(l)->lpCreateParams));
            return DefWindowProc(h, m, w, l);
        };
        RegisterClass(wc);
        return "BridgeTestHost";
    }();
    return name;
}

// A shown window with widget; destroyed (and its widget with it) at the end of the scope.
class Host {
public:
    Host(QWidget* widget, QRect bounds, HWND parent = nullptr)
        : widget_(widget),
          hwnd_(CreateWindowEx(0, HostClass(), u"", (parent ? WS_CHILD : 0) | WS_VISIBLE,
                               bounds.x(), bounds.y(), bounds.width(), bounds.height(), parent, 0,
                               nullptr, widget)) {
        recorder.Attach(hwnd_);
    }
    ~Host() {
        if (IsWindow(hwnd_))
            DestroyWindow(hwnd_);
    }
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    HWND hwnd() const { return hwnd_; }
    QWidget* widget() const { return widget_; }
    Recorder recorder;

private:
    QWidget* widget_;
    HWND hwnd_;
};
