#pragma once
// The monitor's feed socket: other programs of the same user post the view's feed message
// through it (protocol in feed/FeedProtocol.h, place and permissions in feed/FeedPaths.h).
//
// Everything runs on the UI thread from the event loop's socket notifications. Records are
// read a slice at a time and posted to the target window with PostMessage, so they reach the
// view in arrival order among the window's other messages. The next slice of a connection is
// read only when a marker posted after the previous one has come back, i.e. when the view has
// handled it: a large stream never holds the window for longer than one slice, and a client
// that sends faster than the view takes is held back by its socket rather than by memory here.
//
// One monitor owns a socket path at a time: it holds a lock file beside the socket for its
// lifetime. A socket left behind by a monitor that died is replaced; a live monitor's is not
// touched. The socket is removed when its owner ends.

#include "platform/window/Window.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

class QSocketNotifier;

namespace feedsocket {

class FeedListener {
public:
    // Asked for the window to post to before each slice; nullptr when there is none.
    using TargetWindow = std::function<HWND()>;
    // Receives one line (no newline) per refused connection or failure worth telling.
    using Log = std::function<void(const std::string&)>;

    // Records per slice at most. A slice shrinks (down to MinSliceRecords) while the view takes
    // longer than SliceTarget to handle one, and grows back while it is quick: the cost of a
    // character differs by what the view has to do with it.
    static constexpr std::size_t SliceRecords = 1024;
    static constexpr std::size_t MinSliceRecords = 16;
    static constexpr std::chrono::milliseconds SliceTarget{20};
    // Feeding programs served at once; one more is refused as busy.
    static constexpr std::size_t MaxConnections = 8;

    explicit FeedListener(TargetWindow target, Log log = {});
    ~FeedListener(); // closes every connection and removes the socket
    FeedListener(const FeedListener&) = delete;
    FeedListener& operator=(const FeedListener&) = delete;

    // Listens at path, creating its folder. False, with ErrorText(), when the folder is not
    // safe, another monitor holds the path, or the socket cannot be made.
    bool Listen(const std::string& path);
    bool Listening() const { return FListenFd >= 0; }
    const std::string& ErrorText() const { return FError; }
    const std::string& Path() const { return FPath; }

    std::size_t ConnectionCount() const { return FConnections.size(); }
    // Records posted to the view since listening began.
    std::uint64_t PostedRecords() const { return FPosted; }
    // Connections closed because their peer runs as another user.
    std::uint64_t RefusedPeers() const { return FRefusedPeers; }
    // Connections refused for any reason (other users included).
    std::uint64_t RefusedConnections() const { return FRefused; }

private:
    struct Connection;

    // The live connection id on entry from the event loop, or null for one closed meanwhile.
    Connection* Entered(std::uint64_t id);
    void Accept();
    void Admit(int fd);
    void ReadSlice(std::uint64_t id);
    void SliceHandled(std::uint64_t id);
    // Consumes whole records from the buffer; false when the connection was refused.
    bool PostRecords(Connection& c, HWND target);
    void Finish(std::uint64_t id, std::uint32_t status);
    void Say(const std::string& line) const;
    void Close();

    TargetWindow FTarget;
    Log FLog;
    std::string FPath, FLockPath, FError;
    int FListenFd = -1;
    int FLockFd = -1;
    dev_t FSocketDev = 0;
    ino_t FSocketIno = 0;
    std::unique_ptr<QSocketNotifier> FAcceptNotifier;
    HWND FMarkerWindow = nullptr;
    std::map<std::uint64_t, std::unique_ptr<Connection>> FConnections;
    // Notifiers of closed connections: one may be the sender whose signal is being handled,
    // so they go only when no signal of theirs can be running.
    std::vector<std::unique_ptr<QSocketNotifier>> FRetired;
    std::uint64_t FNextId = 1;
    std::uint64_t FPosted = 0;
    std::uint64_t FRefusedPeers = 0;
    std::uint64_t FRefused = 0;
};

} // namespace feedsocket
