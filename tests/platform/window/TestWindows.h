#pragma once
// A window class for tests whose procedure records every message it sees.

#include "platform/window/Window.h"

#include <string>
#include <vector>

struct SeenMessage {
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    void* createParams = nullptr; // copied out of WM_CREATE's structure while it lives
};

inline std::vector<SeenMessage>& Seen() {
    static std::vector<SeenMessage> seen;
    return seen;
}

inline const char* RecordingClass() {
    static const char* name = [] {
        WNDCLASS wc;
        wc.lpszClassName = "TestRecorder";
        wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
            void* params =
                m == WM_CREATE ? reinterpret_cast<CREATESTRUCT*>(l)->lpCreateParams : nullptr;
            Seen().push_back({h, m, w, l, params});
            return DefWindowProc(h, m, w, l);
        };
        RegisterClass(wc);
        return "TestRecorder";
    }();
    return name;
}

inline HWND MakeWindow(HWND parent = nullptr) {
    return CreateWindowEx(0, RecordingClass(), u"", parent ? WS_CHILD : 0, 0, 0, 10, 10, parent, 0,
                          nullptr, nullptr);
}

inline std::vector<UINT> MessagesFor(HWND hwnd, UINT from = WM_USER) {
    std::vector<UINT> out;
    for (const auto& m : Seen())
        if (m.hwnd == hwnd && m.msg >= from)
            out.push_back(m.msg);
    return out;
}
