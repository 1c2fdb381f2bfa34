// Socket calls and WSAAsyncSelect notifications on POSIX sockets and Qt socket notifiers.
//
// Each notification is one-shot as on the platform: FD_CONNECT once per attempt, FD_WRITE
// once connected, FD_READ when data waits and again only after a recv, FD_CLOSE once, after
// the data before an orderly close has been read. The read notifier is switched off while an
// FD_READ is outstanding, so a socket with unread data does not spin the event loop.

#include "platform/winsock/Delivery.h"
#include "platform/winsock/PosixSockets.h"
#include "platform/winsock/SocketTable.h"
#include "platform/winsock/Winsock.h"

#include <QSocketNotifier>
#include <QTimer>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>
#include <utility>

namespace winsocktable {

SocketRecord::SocketRecord() = default;
SocketRecord::~SocketRecord() = default;

namespace {

std::atomic<int> startupCount{0};
std::chrono::milliseconds connectTimeout{21000};

std::map<SOCKET, std::unique_ptr<SocketRecord>>& Table() {
    static std::map<SOCKET, std::unique_ptr<SocketRecord>> table;
    return table;
}

SOCKET nextHandle = 0x1000; // never reused, so a stale notification cannot hit a newer socket

int Fail(int error) {
    WSASetLastError(error);
    return SOCKET_ERROR;
}

// Queues one notification; it is dropped if the socket is closed or its registration
// cancelled before it is delivered.
void PostEvent(SOCKET s, SocketRecord& rec, long event, int error) {
    if (!(rec.events & event) || !rec.hwnd)
        return;
    const unsigned generation = rec.generation;
    winsockdelivery::Post(rec.hwnd, rec.msg, s,
                          WSAMAKESELECTREPLY(static_cast<WORD>(event), static_cast<WORD>(error)),
                          [s, generation](LPARAM&) {
                              auto it = Table().find(s);
                              return it != Table().end() && it->second->generation == generation;
                          });
}

void UpdateReadNotifier(SocketRecord& rec) {
    if (!rec.readNotifier)
        return;
    const bool wanted = rec.events != 0 && rec.connect == ConnectState::Connected &&
                        rec.readArmed && !rec.peerClosed;
    rec.readNotifier->setEnabled(wanted);
}

// The error FD_CLOSE carries for a failure that ended an established connection.
int CloseErrorFor(int error) {
    return error == WSAETIMEDOUT ? WSAECONNABORTED : error;
}

// Whether a recv failure is the end of the connection (the kernel reports it only once).
bool EndsConnection(int error) {
    switch (error) {
    case WSAECONNRESET:
    case WSAECONNABORTED:
    case WSAETIMEDOUT:
    case WSAENETDOWN:
    case WSAENETRESET:
    case WSAENETUNREACH:
    case WSAEHOSTUNREACH:
        return true;
    default:
        return false;
    }
}

void ReportClose(SOCKET s, SocketRecord& rec) {
    if (rec.peerClosed && !rec.closeReported && (rec.events & FD_CLOSE)) {
        rec.closeReported = true;
        PostEvent(s, rec, FD_CLOSE, rec.closeError);
    }
}

void OnReadable(SOCKET s) {
    SocketRecord* rec = Find(s);
    if (!rec)
        return;
    int error = 0;
    switch (posixsock::PeekReadState(rec->fd, error)) {
    case posixsock::ReadState::Data:
        if (rec->readArmed && (rec->events & FD_READ)) {
            rec->readArmed = false;
            PostEvent(s, *rec, FD_READ, 0);
        } else {
            rec->readArmed = false; // waits for a recv, which re-arms
        }
        break;
    case posixsock::ReadState::EndOfStream:
        rec->peerClosed = true;
        rec->closeError = rec->resetSeen;
        ReportClose(s, *rec);
        break;
    case posixsock::ReadState::Failed:
        rec->peerClosed = true;
        // A connection that timed out while established is reported as aborted.
        rec->closeError = CloseErrorFor(error);
        ReportClose(s, *rec);
        break;
    case posixsock::ReadState::Nothing:
        break;
    }
    UpdateReadNotifier(*rec);
}

void FinishConnect(SOCKET s, SocketRecord& rec, int error) {
    if (rec.writeNotifier)
        rec.writeNotifier->setEnabled(false);
    if (rec.connectTimer)
        rec.connectTimer->stop();
    if (error == 0) {
        rec.connect = ConnectState::Connected;
        PostEvent(s, rec, FD_CONNECT, 0);
        PostEvent(s, rec, FD_WRITE, 0);
    } else {
        rec.connect = ConnectState::Failed;
        PostEvent(s, rec, FD_CONNECT, error);
    }
    UpdateReadNotifier(rec);
}

void OnWritable(SOCKET s) {
    SocketRecord* rec = Find(s);
    if (!rec)
        return;
    if (rec->connect == ConnectState::Pending) {
        // A reset that came right after the accept is reported by the read side, after
        // FD_CONNECT and after any data that arrived before it.
        const int error = posixsock::ConnectOutcome(rec->fd, rec->resetSeen);
        FinishConnect(s, *rec, error);
    } else if (rec->writeNotifier)
        rec->writeNotifier->setEnabled(false);
}

void OnConnectTimeout(SOCKET s) {
    SocketRecord* rec = Find(s);
    if (!rec || rec->connect != ConnectState::Pending)
        return;
    posixsock::AbortConnect(rec->fd);
    FinishConnect(s, *rec, WSAETIMEDOUT);
}

void EnsureNotifiers(SOCKET s, SocketRecord& rec) {
    if (rec.readNotifier)
        return;
    rec.readNotifier = std::make_unique<QSocketNotifier>(rec.fd, QSocketNotifier::Read);
    rec.readNotifier->setEnabled(false);
    QObject::connect(rec.readNotifier.get(), &QSocketNotifier::activated,
                     [s] { RunGuarded([s] { OnReadable(s); }); });
    rec.writeNotifier = std::make_unique<QSocketNotifier>(rec.fd, QSocketNotifier::Write);
    rec.writeNotifier->setEnabled(false);
    QObject::connect(rec.writeNotifier.get(), &QSocketNotifier::activated,
                     [s] { RunGuarded([s] { OnWritable(s); }); });
    rec.connectTimer = std::make_unique<QTimer>();
    rec.connectTimer->setSingleShot(true);
    QObject::connect(rec.connectTimer.get(), &QTimer::timeout,
                     [s] { RunGuarded([s] { OnConnectTimeout(s); }); });
}

void Destroy(std::unique_ptr<SocketRecord> rec) {
    // Notifiers go before the descriptor they watch.
    rec->readNotifier.reset();
    rec->writeNotifier.reset();
    rec->connectTimer.reset();
    posixsock::Close(rec->fd);
}

} // namespace

bool Started() {
    if (startupCount.load() > 0)
        return true;
    WSASetLastError(WSANOTINITIALISED);
    return false;
}

SocketRecord* Find(SOCKET s) {
    auto it = Table().find(s);
    if (it == Table().end()) {
        WSASetLastError(WSAENOTSOCK);
        return nullptr;
    }
    return it->second.get();
}

} // namespace winsocktable

using namespace winsocktable;

int WSAStartup(WORD versionRequested, WSADATA* data) {
    if (LOBYTE(versionRequested) < 1)
        return WSAVERNOTSUPPORTED;
    if (!data)
        return WSAEFAULT;
    std::memset(data, 0, sizeof *data);
    // Version 1.1 is the highest this layer offers; a request for 1.0 gets 1.0.
    const bool wantsOnePointZero =
        LOBYTE(versionRequested) == 1 && ((versionRequested >> 8) & 0xFF) == 0;
    data->wVersion = wantsOnePointZero ? 0x0001 : 0x0101;
    data->wHighVersion = 0x0101;
    std::strcpy(data->szDescription, "Kelvor Sockets 1.1");
    std::strcpy(data->szSystemStatus, "Running");
    data->iMaxSockets = 32767;
    data->iMaxUdpDg = 65467;
    ++startupCount;
    return 0;
}

int WSACleanup() {
    if (startupCount.load() <= 0)
        return Fail(WSANOTINITIALISED);
    if (--startupCount == 0) {
        // The last user left: whatever it did not close is closed now.
        auto& table = Table();
        while (!table.empty()) {
            auto node = table.extract(table.begin());
            Destroy(std::move(node.mapped()));
        }
    }
    return 0;
}

int WSAGetLastError() {
    return static_cast<int>(GetLastError());
}

void WSASetLastError(int error) {
    SetLastError(static_cast<DWORD>(error));
}

SOCKET socket(int af, int type, int protocol) {
    if (!Started())
        return INVALID_SOCKET;
    if (af != AF_INET) {
        WSASetLastError(WSAEAFNOSUPPORT);
        return INVALID_SOCKET;
    }
    if (type != SOCK_STREAM) {
        WSASetLastError(WSAESOCKTNOSUPPORT);
        return INVALID_SOCKET;
    }
    if (protocol != 0 && protocol != IPPROTO_TCP) {
        WSASetLastError(WSAEPROTONOSUPPORT);
        return INVALID_SOCKET;
    }
    int fd = -1;
    if (const int error = posixsock::OpenStream(fd); error != 0) {
        WSASetLastError(error);
        return INVALID_SOCKET;
    }
    auto rec = std::make_unique<SocketRecord>();
    rec->fd = fd;
    const SOCKET s = nextHandle;
    nextHandle += 4;
    Table().emplace(s, std::move(rec));
    return s;
}

int connect(SOCKET s, const SOCKADDR* name, int namelen) {
    if (!Started())
        return SOCKET_ERROR;
    SocketRecord* rec = Find(s);
    if (!rec)
        return SOCKET_ERROR;
    if (!name || namelen < static_cast<int>(sizeof(SOCKADDR_IN)))
        return Fail(WSAEFAULT);
    SOCKADDR_IN target;
    std::memcpy(&target, name, sizeof target);
    if (target.sin_family != AF_INET)
        return Fail(WSAEAFNOSUPPORT);
    if (rec->connect == ConnectState::Connected)
        return Fail(WSAEISCONN);
    if (rec->connect == ConnectState::Pending)
        return Fail(WSAEALREADY);
    int error = DestinationError(target.sin_addr.s_addr);
    if (error != 0)
        return Fail(error);

    rec->resetSeen = 0;
    if (!rec->nonBlocking) {
        error = posixsock::ConnectAndWait(rec->fd, target.sin_addr.s_addr, target.sin_port,
                                          static_cast<int>(connectTimeout.count()), rec->resetSeen);
        if (error != 0) {
            rec->connect = ConnectState::Failed;
            return Fail(error);
        }
        rec->connect = ConnectState::Connected;
        return 0;
    }

    EnsureNotifiers(s, *rec);
    rec->peerClosed = rec->closeReported = false;
    rec->readArmed = true;
    switch (posixsock::StartConnect(rec->fd, target.sin_addr.s_addr, target.sin_port, error)) {
    case posixsock::ConnectStart::Connected:
    case posixsock::ConnectStart::Pending:
        // Both finish through the write notifier, so the outcome always arrives by message.
        rec->connect = ConnectState::Pending;
        rec->writeNotifier->setEnabled(true);
        rec->connectTimer->start(connectTimeout);
        break;
    case posixsock::ConnectStart::Failed:
        // A failure Linux reports at once (no route) still arrives as FD_CONNECT, as the
        // platform reports it.
        rec->connect = ConnectState::Failed;
        PostEvent(s, *rec, FD_CONNECT, error);
        break;
    }
    return Fail(WSAEWOULDBLOCK);
}

int recv(SOCKET s, char* buf, int len, int flags) {
    if (!Started())
        return SOCKET_ERROR;
    SocketRecord* rec = Find(s);
    if (!rec)
        return SOCKET_ERROR;
    if (len < 0 || (!buf && len > 0))
        return Fail(WSAEFAULT);
    constexpr int kMsgPeek = 0x2;
    if (flags & ~kMsgPeek)
        return Fail(WSAEOPNOTSUPP);
    if (rec->connect != ConnectState::Connected)
        return Fail(WSAENOTCONN);
    int error = 0;
    const long n = posixsock::Receive(rec->fd, buf, len, (flags & kMsgPeek) ? 0x2 : 0, error);
    // A recv re-arms FD_READ whatever its outcome.
    rec->readArmed = true;
    if (n < 0 && EndsConnection(error))
        rec->resetSeen = CloseErrorFor(error);
    UpdateReadNotifier(*rec);
    if (n < 0)
        return Fail(error);
    return static_cast<int>(n);
}

int closesocket(SOCKET s) {
    if (!Started())
        return SOCKET_ERROR;
    auto it = Table().find(s);
    if (it == Table().end())
        return Fail(WSAENOTSOCK);
    auto rec = std::move(it->second);
    Table().erase(it);
    Destroy(std::move(rec));
    return 0;
}

int ioctlsocket(SOCKET s, long cmd, DWORD* argp) {
    if (!Started())
        return SOCKET_ERROR;
    SocketRecord* rec = Find(s);
    if (!rec)
        return SOCKET_ERROR;
    if (!argp)
        return Fail(WSAEFAULT);
    if (cmd == FIONBIO) {
        // A socket with selected events stays non-blocking.
        if (*argp == 0 && rec->events != 0)
            return Fail(WSAEINVAL);
        if (const int error = posixsock::SetNonBlocking(rec->fd, *argp != 0); error != 0)
            return Fail(error);
        rec->nonBlocking = *argp != 0;
        return 0;
    }
    if (cmd == FIONREAD) {
        std::uint32_t count = 0;
        if (const int error = posixsock::BytesWaiting(rec->fd, count); error != 0)
            return Fail(error);
        *argp = count;
        return 0;
    }
    return Fail(WSAEINVAL);
}

int WSAAsyncSelect(SOCKET s, HWND hwnd, UINT msg, long lEvent) {
    if (!Started())
        return SOCKET_ERROR;
    SocketRecord* rec = Find(s);
    if (!rec)
        return SOCKET_ERROR;
    const long events = hwnd ? lEvent : 0;
    if (events != 0 && !IsWindow(hwnd))
        return Fail(WSAEINVAL);
    if (events == 0 || hwnd != rec->hwnd || msg != rec->msg)
        ++rec->generation; // what was queued for the old registration is not delivered
    rec->hwnd = events ? hwnd : nullptr;
    rec->msg = events ? msg : 0;
    rec->events = events;
    if (events == 0) {
        if (rec->readNotifier)
            rec->readNotifier->setEnabled(false);
        return 0;
    }
    if (const int error = posixsock::SetNonBlocking(rec->fd, true); error != 0)
        return Fail(error);
    rec->nonBlocking = true;
    EnsureNotifiers(s, *rec);
    // Conditions that already hold are reported at once.
    if (rec->connect == ConnectState::Connected) {
        PostEvent(s, *rec, FD_WRITE, 0);
        rec->readArmed = true;
        ReportClose(s, *rec);
    }
    UpdateReadNotifier(*rec);
    return 0;
}

std::chrono::milliseconds SetConnectTimeout(std::chrono::milliseconds timeout) {
    return std::exchange(connectTimeout, timeout);
}

int DestinationError(DWORD address) {
    const DWORD host = ntohl(address);
    if (host == INADDR_ANY || host == INADDR_NONE)
        return WSAEADDRNOTAVAIL;
    if (LoopbackOnly() && (host >> 24) != 127)
        return WSAEACCES;
    return 0;
}

namespace {
// Switched on once by programs that must never reach past this machine (test binaries,
// benchmarks); nothing switches it off, whatever their environment says.
std::atomic<bool> loopbackGuardEnabled{false};
} // namespace

void EnableLoopbackOnlyGuard() {
    loopbackGuardEnabled.store(true);
}

bool LoopbackOnly() {
    if (loopbackGuardEnabled.load())
        return true;
    const char* value = std::getenv("KELVOR_LOOPBACK_ONLY");
    return value && *value && std::strcmp(value, "0") != 0;
}
