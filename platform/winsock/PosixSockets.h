#pragma once
// The POSIX side of the socket stand-in, behind names that do not collide with the
// platform's calls. Results are the platform's error codes (0 for success); errno is mapped
// in one place (WsaErrorFromErrno).

#include <cstdint>
#include <string>
#include <vector>

namespace posixsock {

// The platform's code for an errno value; connect's EINPROGRESS is handled by its caller.
int WsaErrorFromErrno(int error);

int OpenStream(int& fd); // a TCP socket, blocking, close-on-exec
void Close(int fd);
int SetNonBlocking(int fd, bool on);

enum class ConnectStart { Connected, Pending, Failed };
// Starts a non-blocking connect to addr:port (both in network order).
ConnectStart StartConnect(int fd, std::uint32_t addr, std::uint16_t port, int& error);
// The outcome of a finished non-blocking connect (SO_ERROR, mapped). A peer that accepted and
// reset at once leaves the reset in place of the outcome; the handshake did complete, so that
// is success (0) with the reset in lateReset, for the close that follows. 0 in lateReset else.
int ConnectOutcome(int fd, int& lateReset);
// Gives up a pending attempt so the kernel stops retrying.
void AbortConnect(int fd);
// Connects and waits at most timeoutMs; the socket's blocking mode is kept. lateReset as for
// ConnectOutcome.
int ConnectAndWait(int fd, std::uint32_t addr, std::uint16_t port, int timeoutMs, int& lateReset);

// Returns bytes read, or -1 with error set.
long Receive(int fd, char* buffer, long length, int flags, int& error);

enum class ReadState { Data, EndOfStream, Failed, Nothing };
// What the read side holds right now, without consuming anything.
ReadState PeekReadState(int fd, int& error);
int BytesWaiting(int fd, std::uint32_t& count);

// Name and service lookups (safe on any thread). hostsOnly keeps the lookup on this
// machine: dotted text and /etc/hosts only.
struct HostEntry {
    std::string name;
    std::vector<std::string> aliases;
    std::vector<std::uint32_t> addresses; // network order
};
int LookupHost(const std::string& name, bool hostsOnly, HostEntry& entry);

struct ServiceEntry {
    std::string name;
    std::vector<std::string> aliases;
    std::uint16_t port = 0; // network order
    std::string protocol;
};
int LookupService(const std::string& name, const std::string& protocol, ServiceEntry& entry);

} // namespace posixsock
