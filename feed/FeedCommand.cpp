// kelvor-feed: sends its standard input to a running monitor's view, one feed character per
// byte, through the monitor's feed socket.

#include "feed/FeedPaths.h"
#include "feed/FeedProtocol.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

// Exit statuses, as the manual page lists them.
constexpr int ExitUsage = 1;     // bad command line or unreadable input
constexpr int ExitNoMonitor = 2; // nothing listens at the socket
constexpr int ExitRefused = 3;   // the monitor refused the feed or ended it early

// Input read per step; each byte becomes a 16-byte record, written in one go.
constexpr std::size_t ChunkBytes = 64 * 1024;

void Usage(std::FILE* out) {
    std::fprintf(out,
                 "Usage: kelvor-feed [--socket PATH]\n"
                 "Sends standard input to the running monitor's view, one character per byte:\n"
                 "a CR (byte 13) ends a line, NUL bytes show nothing.\n"
                 "\n"
                 "  --socket PATH  the monitor's feed socket (default: %s)\n"
                 "  --help         this text\n"
                 "\n"
                 "Exit status: 0 when the view has taken every character, 1 for a usage or input\n"
                 "error, 2 when no monitor listens, 3 when the monitor refused the feed.\n",
                 feedsocket::DefaultSocketPath().c_str());
}

int Fail(int status, const std::string& text) {
    std::fprintf(stderr, "kelvor-feed: %s\n", text.c_str());
    return status;
}

bool WriteAll(int fd, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// The monitor's one reply, or nullopt when it closed without one.
std::optional<feedwire::Reply> ReadReply(int fd) {
    unsigned char bytes[feedwire::ReplySize];
    std::size_t have = 0;
    while (have < sizeof bytes) {
        const ssize_t n = ::recv(fd, bytes + have, sizeof bytes - have, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return std::nullopt;
        have += static_cast<std::size_t>(n);
    }
    return feedwire::DecodeReply(bytes);
}

int Refused(const feedwire::Reply& reply) {
    return Fail(ExitRefused, "the monitor refused the feed after " + std::to_string(reply.count) +
                                 " characters: " + feedwire::StatusText(reply.status));
}

} // namespace

int main(int argc, char** argv) {
    std::string path;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            return 0;
        }
        if (arg == "--socket" && i + 1 < argc) {
            path = argv[++i];
        } else if (arg.starts_with("--socket=")) {
            path = std::string(arg.substr(9));
        } else {
            std::fprintf(stderr, "kelvor-feed: %s '%s'\n",
                         arg == "--socket" ? "a socket path is missing after" : "unknown argument",
                         argv[i]);
            Usage(stderr);
            return ExitUsage;
        }
    }
    if (path.empty())
        path = feedsocket::DefaultSocketPath();

    const std::optional<sockaddr_un> address = feedsocket::UnixAddress(path);
    if (!address)
        return Fail(ExitUsage, "socket path too long: " + path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return Fail(ExitNoMonitor, std::string("socket: ") + std::strerror(errno));
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0)
        return Fail(ExitNoMonitor,
                    "no monitor is listening at " + path + " (" + std::strerror(errno) + ")");

    // A refusal arrives as the reply, after which the monitor closes: a failed write means
    // "read what it said".
    auto stopped = [&]() {
        if (const auto reply = ReadReply(fd); reply && reply->status != 0)
            return Refused(*reply);
        return Fail(ExitRefused, "the monitor closed the connection before taking the feed (" +
                                     std::string(std::strerror(errno)) + ")");
    };

    unsigned char hello[feedwire::HelloSize];
    feedwire::EncodeHello(hello);
    if (!WriteAll(fd, hello, sizeof hello))
        return stopped();

    std::vector<unsigned char> input(ChunkBytes);
    std::vector<unsigned char> records(ChunkBytes * feedwire::RecordSize);
    std::uint64_t sent = 0;
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, input.data(), input.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Fail(ExitUsage, std::string("reading standard input: ") + std::strerror(errno));
        if (n == 0)
            break;
        for (ssize_t i = 0; i < n; ++i)
            feedwire::EncodeRecord({feedwire::FeedCharMessage, input[static_cast<std::size_t>(i)]},
                                   records.data() + i * feedwire::RecordSize);
        if (!WriteAll(fd, records.data(), static_cast<std::size_t>(n) * feedwire::RecordSize))
            return stopped();
        sent += static_cast<std::uint64_t>(n);
    }
    ::shutdown(fd, SHUT_WR);
    const auto reply = ReadReply(fd);
    ::close(fd);
    if (!reply)
        return Fail(ExitRefused, "the monitor closed the connection without confirming the feed");
    if (reply->status != 0)
        return Refused(*reply);
    if (reply->count != sent)
        return Fail(ExitRefused, "the monitor confirmed " + std::to_string(reply->count) +
                                     " characters of " + std::to_string(sent));
    return 0;
}
