#pragma once
// Where the feed socket lives and who may reach it.
//
// The socket is "feed" in a folder of the user's own: $XDG_RUNTIME_DIR/kelvor-monitor when
// XDG_RUNTIME_DIR names an absolute folder, else /tmp/kelvor-monitor-UID. Either folder is
// created owner-only (0700) and used only while it is a real directory (no symbolic link) of
// the user's own that nobody else can enter, in a parent where nobody else can rename it away;
// otherwise the monitor runs without a feed and says why. The socket itself is 0600, and
// every peer's user id is checked as it connects, so a folder opened up by mistake still lets
// nobody else in.

#include <optional>
#include <string>
#include <sys/types.h>
#include <sys/un.h>

namespace feedsocket {

// The folder for the current environment and user (not created here).
std::string DefaultFolder();
// DefaultFolder() + "/feed": where the monitor listens and the command connects by default.
std::string DefaultSocketPath();

// The folder a socket path lies in ("." for a bare name).
std::string FolderOf(const std::string& path);
// The socket address of path; nullopt when it is empty or too long for one.
std::optional<sockaddr_un> UnixAddress(const std::string& path);

// Creates folder (0700) when missing and checks it as above. Empty when it is safe to use,
// else why it is not.
std::string PrepareFolder(const std::string& folder);

// The effective user id of the process at the other end of a connected Unix-domain socket.
std::optional<uid_t> PeerUid(int fd);
// Whether a peer with user id peer may feed a monitor running as user id self.
inline bool PeerAllowed(uid_t peer, uid_t self) {
    return peer == self;
}

} // namespace feedsocket
