#pragma once
// A hidden window that records the socket notifications and lookup answers it receives.

#include "platform/window/Window.h"
#include "platform/winsock/Winsock.h"

#include <vector>

inline constexpr UINT kSocketMessage = WM_USER + 1;
inline constexpr UINT kLookupMessage = WM_USER + 3;

struct Received {
    UINT msg;
    WPARAM wParam;
    WORD low;  // the event, or a lookup's result length
    WORD high; // the error code
};

class NotificationRecorder {
public:
    NotificationRecorder() {
        FWindow = AllocateHWnd([this](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
            if (m == kSocketMessage || m == kLookupMessage) {
                messages.push_back({m, w, LOWORD(static_cast<std::uintptr_t>(l)),
                                    HIWORD(static_cast<std::uintptr_t>(l))});
                if (onMessage)
                    onMessage(messages.back());
                return 0;
            }
            return DefWindowProc(h, m, w, l);
        });
    }
    ~NotificationRecorder() { DeallocateHWnd(FWindow); }
    NotificationRecorder(const NotificationRecorder&) = delete;
    NotificationRecorder& operator=(const NotificationRecorder&) = delete;

    HWND Window() const { return FWindow; }
    int Count(WORD event) const {
        int n = 0;
        for (const auto& m : messages)
            n += m.msg == kSocketMessage && m.low == event;
        return n;
    }
    std::vector<WORD> Events() const {
        std::vector<WORD> events;
        for (const auto& m : messages)
            if (m.msg == kSocketMessage)
                events.push_back(m.low);
        return events;
    }

    std::vector<Received> messages;
    std::function<void(const Received&)> onMessage;

private:
    HWND FWindow = nullptr;
};

// Keeps the socket library started for one test.
class Networking {
public:
    Networking() {
        WSADATA data;
        WSAStartup(0x0101, &data);
    }
    ~Networking() { WSACleanup(); }
    Networking(const Networking&) = delete;
    Networking& operator=(const Networking&) = delete;
};

inline SOCKADDR_IN Loopback(u_short port, DWORD address = inet_addr("127.0.0.1")) {
    SOCKADDR_IN sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = address;
    return sa;
}

inline int Connect(SOCKET s, const SOCKADDR_IN& sa) {
    return connect(s, reinterpret_cast<const SOCKADDR*>(&sa), sizeof sa);
}
