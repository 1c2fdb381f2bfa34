#include "feed/FeedPaths.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace feedsocket {

namespace {

std::string Octal(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

} // namespace

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::optional<sockaddr_un> UnixAddress(const std::string& path) {
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return std::nullopt;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

std::string DefaultFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    // A relative value is no runtime folder; the fallback is safer than a folder that moves
    // with the current directory.
    if (runtime && runtime[0] == '/')
        return std::string(runtime) + "/kelvor-monitor";
    return "/tmp/kelvor-monitor-" + std::to_string(geteuid());
}

std::string DefaultSocketPath() {
    return DefaultFolder() + "/feed";
}

std::string PrepareFolder(const std::string& folder) {
    if (folder.empty())
        return "no folder given";
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return folder + ": cannot create it (" + std::strerror(errno) + ")";
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0)
        return folder + ": " + std::strerror(errno);
    if (S_ISLNK(st.st_mode))
        return folder + " is a symbolic link, not a folder of the user's own";
    if (!S_ISDIR(st.st_mode))
        return folder + " is not a folder";
    if (st.st_uid != geteuid())
        return folder + " belongs to user id " + std::to_string(st.st_uid) + ", not to " +
               std::to_string(geteuid());
    if ((st.st_mode & 077) != 0)
        return folder + " has permissions " + Octal(st.st_mode) + "; only 0700 keeps it private";
    // Someone who may write into the parent could rename our folder away and put theirs in its
    // place between this check and the bind, unless the parent is sticky (as /tmp is).
    const std::string parent = FolderOf(folder);
    struct stat up {};
    if (::stat(parent.c_str(), &up) != 0)
        return parent + ": " + std::strerror(errno);
    if (up.st_uid != geteuid() && up.st_uid != 0 && (up.st_mode & S_ISVTX) == 0)
        return parent + " belongs to another user";
    if ((up.st_mode & 022) != 0 && (up.st_mode & S_ISVTX) == 0)
        return parent + " may be written by other users and is not sticky";
    return {};
}

std::optional<uid_t> PeerUid(int fd) {
    struct ucred cred {};
    socklen_t size = sizeof cred;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &size) != 0 || size != sizeof cred)
        return std::nullopt;
    return cred.uid;
}

} // namespace feedsocket
