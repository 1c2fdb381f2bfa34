#pragma once
// The far end of the tests' connections: a listening socket on 127.0.0.1 and the one
// connection it accepted, on plain POSIX sockets (kept out of the test files, which see the
// socket stand-in's calls under the same names).

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace loopback {

class Server {
public:
    // Listens on 127.0.0.1 at a port the system picks.
    explicit Server(int backlog = 16);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    std::uint16_t Port() const { return FPort; }

    // Accepts the next connection (closing the previous one); false if none came in time.
    bool Accept(std::chrono::milliseconds limit = std::chrono::seconds(5));
    // Sends everything now (for small amounts the socket buffers take at once).
    bool Send(const std::string& data);
    // Queues data and sends what the socket takes without blocking; true once all is sent.
    void Queue(std::vector<std::uint8_t> data);
    bool SendSome();
    // An orderly close (FIN) or a reset (RST: linger 0).
    void CloseOrderly();
    void Reset();
    // Reads and drops what the peer sends until it closes; false if it did not close in time.
    bool WaitForEndOfStream(std::chrono::milliseconds limit = std::chrono::seconds(5));
    // Stops listening; a connect to Port() is then refused.
    void StopListening();
    // Starts a plain connection to this server without waiting (to fill a backlog).
    int ConnectRaw();

private:
    int FListener = -1;
    int FConnection = -1;
    std::uint16_t FPort = 0;
    std::vector<std::uint8_t> FPending;
    std::size_t FSent = 0;
    std::vector<int> FRaw;
};

// A port on 127.0.0.1 where nothing listens.
std::uint16_t UnusedPort();

// Listens on a given port of 127.0.0.1; -1 when the port is taken or not allowed.
int ListenOn(std::uint16_t port);
void CloseRaw(int fd);

} // namespace loopback
