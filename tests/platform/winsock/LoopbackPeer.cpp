#include "tests/platform/winsock/LoopbackPeer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace loopback {

namespace {

sockaddr_in LoopbackAddress(std::uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return sa;
}

bool WaitFor(int fd, short events, std::chrono::milliseconds limit) {
    pollfd p{fd, events, 0};
    return ::poll(&p, 1, static_cast<int>(limit.count())) > 0;
}

} // namespace

int ListenOn(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    const sockaddr_in sa = LoopbackAddress(port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) < 0 || ::listen(fd, 16) < 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void CloseRaw(int fd) {
    if (fd >= 0)
        ::close(fd);
}

Server::Server(int backlog) {
    FListener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in sa = LoopbackAddress(0);
    if (FListener < 0 || ::bind(FListener, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) < 0 ||
        ::listen(FListener, backlog) < 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    ::getsockname(FListener, reinterpret_cast<sockaddr*>(&bound), &length);
    FPort = ntohs(bound.sin_port);
}

Server::~Server() {
    CloseRaw(FConnection);
    CloseRaw(FListener);
    for (int fd : FRaw)
        CloseRaw(fd);
}

bool Server::Accept(std::chrono::milliseconds limit) {
    if (FListener < 0 || !WaitFor(FListener, POLLIN, limit))
        return false;
    const int fd = ::accept4(FListener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return false;
    CloseRaw(FConnection);
    FConnection = fd;
    FPending.clear();
    FSent = 0;
    return true;
}

bool Server::Send(const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::send(FConnection, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void Server::Queue(std::vector<std::uint8_t> data) {
    FPending = std::move(data);
    FSent = 0;
}

bool Server::SendSome() {
    while (FSent < FPending.size()) {
        const ssize_t n = ::send(FConnection, FPending.data() + FSent, FPending.size() - FSent,
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n <= 0)
            return false;
        FSent += static_cast<std::size_t>(n);
    }
    return true;
}

void Server::CloseOrderly() {
    ::shutdown(FConnection, SHUT_WR);
    CloseRaw(FConnection);
    FConnection = -1;
}

void Server::Reset() {
    linger l{1, 0};
    ::setsockopt(FConnection, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    CloseRaw(FConnection);
    FConnection = -1;
}

bool Server::WaitForEndOfStream(std::chrono::milliseconds limit) {
    char buffer[4096];
    for (;;) {
        if (!WaitFor(FConnection, POLLIN, limit))
            return false;
        const ssize_t n = ::recv(FConnection, buffer, sizeof buffer, 0);
        if (n <= 0)
            return true;
    }
}

void Server::StopListening() {
    CloseRaw(FListener);
    FListener = -1;
}

int Server::ConnectRaw() {
    // Non-blocking: against a full backlog the attempt would otherwise wait for minutes.
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const sockaddr_in sa = LoopbackAddress(FPort);
    if (fd < 0 || (::connect(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) < 0 &&
                   errno != EINPROGRESS)) {
        CloseRaw(fd);
        return -1;
    }
    FRaw.push_back(fd);
    return fd;
}

std::uint16_t UnusedPort() {
    Server probe;
    return probe.Port(); // closed when probe goes; nothing else binds it in the meantime
}

} // namespace loopback
