#include "feed/FeedListener.h"

#include "feed/FeedPaths.h"
#include "feed/FeedProtocol.h"
#include "view/KelvorEdit20.h"

#include <QObject>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

static_assert(WM_FEEDCHAR == feedwire::FeedCharMessage, "the wire names the view's feed message");

namespace feedsocket {

namespace {

// Comes back to the marker window after a slice: wParam is the connection's id.
constexpr UINT WM_FEEDSLICEDONE = WM_USER + 1;

// Hello plus one slice, plus the tail of a record cut by the previous read.
constexpr std::size_t BufferCapacity =
    feedwire::HelloSize + FeedListener::SliceRecords * feedwire::RecordSize;

std::string Errno(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

// Best effort: the reply is the only thing ever written to a connection, so it fits the
// socket's buffer; a peer that has gone just does not read it.
void SendReply(int fd, std::uint32_t status, std::uint64_t count) {
    unsigned char bytes[feedwire::ReplySize];
    feedwire::EncodeReply({status, count}, bytes);
    [[maybe_unused]] const ssize_t sent =
        ::send(fd, bytes, sizeof bytes, MSG_NOSIGNAL | MSG_DONTWAIT);
}

} // namespace

struct FeedListener::Connection {
    std::uint64_t id = 0;
    int fd = -1;
    std::unique_ptr<QSocketNotifier> notifier;
    std::vector<unsigned char> buffer;
    bool helloDone = false;
    bool ended = false; // the peer shut down its writing side
    std::uint64_t posted = 0;
    std::size_t slice = FeedListener::SliceRecords;
    std::chrono::steady_clock::time_point sliceStart;
};

FeedListener::FeedListener(TargetWindow target, Log log)
    : FTarget(std::move(target)), FLog(std::move(log)) {
    FMarkerWindow = AllocateHWnd([this](HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == WM_FEEDSLICEDONE) {
            SliceHandled(static_cast<std::uint64_t>(wParam));
            return LRESULT(0);
        }
        return DefWindowProc(hwnd, msg, wParam, lParam);
    });
}

FeedListener::~FeedListener() {
    Close();
    DeallocateHWnd(FMarkerWindow);
}

void FeedListener::Say(const std::string& line) const {
    if (FLog)
        FLog(line);
    else
        std::fprintf(stderr, "kelvor-monitor: %s\n", line.c_str());
}

bool FeedListener::Listen(const std::string& path) {
    Close();
    FError.clear();
    FPath = path;
    auto fail = [this](std::string why) {
        FError = std::move(why);
        Close();
        return false;
    };
    const std::optional<sockaddr_un> address = UnixAddress(path);
    if (!address)
        return fail("feed socket path '" + path + "' is empty or too long for a socket");
    if (std::string why = PrepareFolder(FolderOf(path)); !why.empty())
        return fail(why);

    // Whoever holds the lock owns the path; the kernel drops it when its monitor dies.
    FLockPath = path + ".lock";
    FLockFd = ::open(FLockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (FLockFd < 0)
        return fail(Errno(FLockPath.c_str()));
    if (::flock(FLockFd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK)
            return fail(path + " is in use by another monitor");
        return fail(Errno(FLockPath.c_str()));
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode))
            return fail(path + " exists and is not a socket; it was left as it is");
        // A socket nobody holds the lock for: left behind by a monitor that died.
        if (::unlink(path.c_str()) != 0)
            return fail(Errno(path.c_str()));
    }

    FListenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (FListenFd < 0)
        return fail(Errno("socket"));
    if (::bind(FListenFd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0)
        return fail(Errno(path.c_str()));
    // The folder already keeps others out; the socket's own bits say the same on their own.
    if (::chmod(path.c_str(), 0600) != 0 || ::lstat(path.c_str(), &st) != 0)
        return fail(Errno(path.c_str()));
    FSocketDev = st.st_dev;
    FSocketIno = st.st_ino;
    if (::listen(FListenFd, 16) != 0)
        return fail(Errno("listen"));
    FAcceptNotifier = std::make_unique<QSocketNotifier>(FListenFd, QSocketNotifier::Read);
    QObject::connect(FAcceptNotifier.get(), &QSocketNotifier::activated,
                     [this] { RunGuarded([this] { Accept(); }); });
    return true;
}

void FeedListener::Close() {
    for (auto& [id, c] : FConnections)
        ::close(c->fd);
    FConnections.clear();
    FRetired.clear();
    FAcceptNotifier.reset();
    if (FListenFd >= 0) {
        ::close(FListenFd);
        FListenFd = -1;
        // Only the socket we made: never one that replaced it meanwhile.
        struct stat st {};
        if (::lstat(FPath.c_str(), &st) == 0 && S_ISSOCK(st.st_mode) && st.st_dev == FSocketDev &&
            st.st_ino == FSocketIno)
            ::unlink(FPath.c_str());
    }
    if (FLockFd >= 0) {
        // The lock file stays: removing it would let two monitors lock two different files.
        ::close(FLockFd);
        FLockFd = -1;
    }
}

void FeedListener::Accept() {
    FRetired.clear();
    for (;;) {
        const int fd = ::accept4(FListenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                Say(Errno("feed socket: accept"));
            return;
        }
        Admit(fd);
    }
}

void FeedListener::Admit(int fd) {
    auto refuse = [&](feedwire::FeedStatus status, const std::string& why) {
        ++FRefused;
        SendReply(fd, static_cast<std::uint32_t>(status), 0);
        ::close(fd);
        Say("feed socket: refused a connection: " + why);
    };
    const auto peer = PeerUid(fd);
    if (!peer || !PeerAllowed(*peer, geteuid())) {
        ++FRefusedPeers;
        refuse(feedwire::FeedStatus::NotPermitted, peer ? "it comes from user id " +
                                                              std::to_string(*peer) + ", not " +
                                                              std::to_string(geteuid())
                                                        : "its user id cannot be read");
        return;
    }
    if (FConnections.size() >= MaxConnections) {
        refuse(feedwire::FeedStatus::Busy, "too many programs are feeding the monitor at once");
        return;
    }
    auto c = std::make_unique<Connection>();
    c->id = FNextId++;
    c->fd = fd;
    c->buffer.reserve(BufferCapacity);
    c->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    const std::uint64_t id = c->id;
    QObject::connect(c->notifier.get(), &QSocketNotifier::activated,
                     [this, id] { RunGuarded([this, id] { ReadSlice(id); }); });
    FConnections.emplace(id, std::move(c));
}

FeedListener::Connection* FeedListener::Entered(std::uint64_t id) {
    // No signal of a closed connection's notifier can be running now.
    FRetired.clear();
    const auto it = FConnections.find(id);
    return it == FConnections.end() ? nullptr : it->second.get();
}

void FeedListener::ReadSlice(std::uint64_t id) {
    Connection* live = Entered(id);
    if (!live)
        return;
    Connection& c = *live;
    // Nothing more from this peer until the view has handled what is read now.
    c.notifier->setEnabled(false);

    // What is left in the buffer is less than a record (or than the hello).
    const std::size_t have = c.buffer.size();
    const std::size_t want =
        (c.helloDone ? 0 : feedwire::HelloSize) + c.slice * feedwire::RecordSize - have;
    c.buffer.resize(have + want);
    ssize_t n;
    do {
        n = ::recv(c.fd, c.buffer.data() + have, want, MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    c.buffer.resize(have + (n > 0 ? static_cast<std::size_t>(n) : 0));
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
        // The peer is gone without its end (reset): nobody to answer.
        Finish(id, static_cast<std::uint32_t>(feedwire::FeedStatus::Ok));
        return;
    }
    if (n == 0)
        c.ended = true;

    const std::uint64_t before = c.posted;
    const HWND target = FTarget ? FTarget() : nullptr;
    if (!PostRecords(c, target))
        return;
    if (c.ended && !c.buffer.empty()) {
        Finish(id, static_cast<std::uint32_t>(feedwire::FeedStatus::TruncatedRecord));
        return;
    }
    if (c.posted == before && !c.ended) {
        c.notifier->setEnabled(true);
        return;
    }
    // Comes back once everything posted before it has been delivered.
    c.sliceStart = std::chrono::steady_clock::now();
    if (!PostMessage(FMarkerWindow, WM_FEEDSLICEDONE, static_cast<WPARAM>(id), 0))
        Finish(id, static_cast<std::uint32_t>(feedwire::FeedStatus::ViewGone));
}

bool FeedListener::PostRecords(Connection& c, HWND target) {
    std::size_t at = 0;
    auto refuse = [&](feedwire::FeedStatus status) {
        Finish(c.id, static_cast<std::uint32_t>(status));
        return false;
    };
    if (!c.helloDone) {
        if (c.buffer.size() < feedwire::HelloSize)
            return true;
        if (const auto status = feedwire::CheckHello(c.buffer.data());
            status != feedwire::FeedStatus::Ok)
            return refuse(status);
        c.helloDone = true;
        at = feedwire::HelloSize;
    }
    for (; c.buffer.size() - at >= feedwire::RecordSize; at += feedwire::RecordSize) {
        const feedwire::Record record = feedwire::DecodeRecord(c.buffer.data() + at);
        if (const auto status = feedwire::CheckRecord(record); status != feedwire::FeedStatus::Ok)
            return refuse(status);
        if (!target || !PostMessage(target, record.message, static_cast<WPARAM>(record.wParam),
                                    static_cast<LPARAM>(record.lParam)))
            return refuse(feedwire::FeedStatus::ViewGone);
        ++c.posted;
        ++FPosted;
    }
    c.buffer.erase(c.buffer.begin(), c.buffer.begin() + static_cast<std::ptrdiff_t>(at));
    return true;
}

void FeedListener::SliceHandled(std::uint64_t id) {
    Connection* live = Entered(id);
    if (!live)
        return;
    Connection& c = *live;
    if (c.ended) {
        Finish(id, static_cast<std::uint32_t>(feedwire::FeedStatus::Ok));
        return;
    }
    const auto took = std::chrono::steady_clock::now() - c.sliceStart;
    if (took > SliceTarget)
        c.slice = std::max(MinSliceRecords, c.slice / 2);
    else if (took < SliceTarget / 4)
        c.slice = std::min(SliceRecords, c.slice * 2);
    c.notifier->setEnabled(true);
}

void FeedListener::Finish(std::uint64_t id, std::uint32_t status) {
    const auto it = FConnections.find(id);
    if (it == FConnections.end())
        return;
    std::unique_ptr<Connection> c = std::move(it->second);
    FConnections.erase(it);
    if (status != static_cast<std::uint32_t>(feedwire::FeedStatus::Ok)) {
        ++FRefused;
        Say("feed socket: refused a feed after " + std::to_string(c->posted) +
            " records: " + feedwire::StatusText(status));
    }
    SendReply(c->fd, status, c->posted);
    c->notifier->setEnabled(false);
    FRetired.push_back(std::move(c->notifier));
    ::close(c->fd);
}

} // namespace feedsocket
