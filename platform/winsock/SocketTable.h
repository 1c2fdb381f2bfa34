#pragma once
// The stand-in's sockets: one record per handle, with the registration of WSAAsyncSelect
// and the state that decides which notification may be posted next. UI thread only.

#include "platform/winsock/Winsock.h"

#include <memory>

class QSocketNotifier;
class QTimer;

namespace winsocktable {

enum class ConnectState { None, Pending, Connected, Failed };

struct SocketRecord {
    SocketRecord();
    ~SocketRecord();
    SocketRecord(const SocketRecord&) = delete;
    SocketRecord& operator=(const SocketRecord&) = delete;

    int fd = -1;
    bool nonBlocking = false;
    // WSAAsyncSelect registration; the generation changes whenever queued notifications
    // of the previous registration must no longer be delivered.
    HWND hwnd = nullptr;
    UINT msg = 0;
    long events = 0;
    unsigned generation = 0;

    ConnectState connect = ConnectState::None;
    bool readArmed = true;   // FD_READ may be posted (re-armed by recv)
    bool peerClosed = false; // end of stream or a reset was seen
    int closeError = 0;      // the error that goes with FD_CLOSE
    // A reset the kernel has already reported once (as the connect's outcome, or to a recv):
    // the end of stream that follows is that reset, not an orderly close.
    int resetSeen = 0;
    bool closeReported = false;

    std::unique_ptr<QSocketNotifier> readNotifier;
    std::unique_ptr<QSocketNotifier> writeNotifier;
    std::unique_ptr<QTimer> connectTimer;
};

// Whether WSAStartup has been called more often than WSACleanup; sets WSANOTINITIALISED if not.
bool Started();
SocketRecord* Find(SOCKET s); // sets WSAENOTSOCK when s is not a socket

} // namespace winsocktable
