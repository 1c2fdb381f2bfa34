#include "tests/feed/FeedClient.h"

#include "feed/FeedPaths.h"
#include "tests/support/Pump.h"

#include <QProcess>
#include <QStringList>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace feedtest {

FeedRun RunFeed(const std::vector<std::string>& args, const std::string& input,
                std::chrono::milliseconds limit) {
    QProcess process;
    QStringList list;
    for (const auto& a : args)
        list << QString::fromStdString(a);
    process.start(QStringLiteral(KELVOR_FEED), list);
    FeedRun run;
    if (!process.waitForStarted(5000))
        return run;
    // Written from the event loop as the pipe takes it, while the monitor's end runs here too.
    process.write(input.data(), static_cast<qint64>(input.size()));
    process.closeWriteChannel();
    const bool ended =
        testsupport::PumpUntil([&] { return process.state() == QProcess::NotRunning; }, limit);
    if (!ended) {
        process.kill();
        process.waitForFinished(2000);
    }
    run.err = process.readAllStandardError().toStdString();
    if (ended && process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    return run;
}

std::string Hello(std::uint16_t version, std::uint16_t recordSize) {
    unsigned char bytes[feedwire::HelloSize];
    feedwire::EncodeHello(bytes, version, recordSize);
    return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

std::string Records(const std::vector<feedwire::Record>& records) {
    std::string out(records.size() * feedwire::RecordSize, '\0');
    for (std::size_t i = 0; i < records.size(); ++i)
        feedwire::EncodeRecord(records[i], reinterpret_cast<unsigned char*>(out.data()) +
                                               i * feedwire::RecordSize);
    return out;
}

std::string Chars(const std::string& text) {
    std::vector<feedwire::Record> records;
    for (const char c : text)
        records.push_back({feedwire::FeedCharMessage, static_cast<unsigned char>(c)});
    return Records(records);
}

RawClient::RawClient(const std::string& path) {
    const sockaddr_un address = feedsocket::UnixAddress(path).value();
    FFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (FFd >= 0 &&
        ::connect(FFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(FFd);
        FFd = -1;
    }
}

RawClient::~RawClient() {
    if (FFd >= 0)
        ::close(FFd);
}

bool RawClient::Send(const std::string& bytes, bool end) {
    if (FFd < 0)
        return false;
    const ssize_t n = ::send(FFd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (end)
        ::shutdown(FFd, SHUT_WR);
    return n == static_cast<ssize_t>(bytes.size());
}

std::optional<feedwire::Reply> RawClient::AwaitReply(std::chrono::milliseconds limit) {
    if (FFd < 0)
        return std::nullopt;
    testsupport::PumpUntil(
        [&] {
            char bytes[64];
            const ssize_t n = ::recv(FFd, bytes, sizeof bytes, MSG_DONTWAIT);
            if (n > 0)
                FIn.append(bytes, static_cast<std::size_t>(n));
            return FIn.size() >= feedwire::ReplySize || n == 0 ||
                   (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
        },
        limit);
    if (FIn.size() < feedwire::ReplySize)
        return std::nullopt;
    return feedwire::DecodeReply(reinterpret_cast<const unsigned char*>(FIn.data()));
}

bool RawClient::AwaitClosed(std::chrono::milliseconds limit) {
    return FFd >= 0 && testsupport::PumpUntil(
                           [&] {
                               char byte;
                               const ssize_t n = ::recv(FFd, &byte, 1, MSG_DONTWAIT);
                               return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
                           },
                           limit);
}

int ExchangeAsUser(const std::string& path, uid_t uid, const std::string& bytes) {
    const sockaddr_un address = feedsocket::UnixAddress(path).value();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only calls that are safe in the child of a threaded process.
        if (::setgid(uid) != 0 || ::setuid(uid) != 0)
            ::_exit(103);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
            ::_exit(errno == EACCES ? 100 : 101);
        [[maybe_unused]] const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        unsigned char reply[feedwire::ReplySize];
        std::size_t have = 0;
        while (have < sizeof reply) {
            const ssize_t n = ::recv(fd, reply + have, sizeof reply - have, 0);
            if (n <= 0)
                ::_exit(102);
            have += static_cast<std::size_t>(n);
        }
        ::_exit(static_cast<int>(reply[4]));
    }
    if (pid < 0)
        return -1;
    int status = 0;
    if (!testsupport::PumpUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; })) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool LeaveAbandonedSocket(const std::string& path) {
    const sockaddr_un address = feedsocket::UnixAddress(path).value();
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound =
        fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0)
        ::close(fd);
    return bound;
}

std::optional<uid_t> PeerUidOfOwnSocketPair() {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0)
        return std::nullopt;
    const auto uid = feedsocket::PeerUid(pair[0]);
    ::close(pair[0]);
    ::close(pair[1]);
    return uid;
}

} // namespace feedtest
