// POSIX sockets and resolver calls for the socket stand-in. This is the only file of the
// stand-in that sees errno, and it maps every errno to the platform's code here.

#include "platform/winsock/PosixSockets.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <strings.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace posixsock {

int WsaErrorFromErrno(int error) {
    switch (error) {
    case 0:
        return 0;
    case EINTR:
        return 10004;
    case EBADF:
        return 10038; // a handle that is not (or no longer) a socket
    case EPERM:
    case EACCES:
        return 10013;
    case EFAULT:
        return 10014;
    case EINVAL:
        return 10022;
    case EMFILE:
    case ENFILE:
        return 10024;
    case EAGAIN:
        return 10035;
    case EINPROGRESS:
        return 10036;
    case EALREADY:
        return 10037;
    case ENOTSOCK:
        return 10038;
    case EDESTADDRREQ:
        return 10039;
    case EMSGSIZE:
        return 10040;
    case EPROTOTYPE:
        return 10041;
    case ENOPROTOOPT:
        return 10042;
    case EPROTONOSUPPORT:
        return 10043;
    case ESOCKTNOSUPPORT:
        return 10044;
    case EOPNOTSUPP:
        return 10045;
    case EPFNOSUPPORT:
        return 10046;
    case EAFNOSUPPORT:
        return 10047;
    case EADDRINUSE:
        return 10048;
    case EADDRNOTAVAIL:
        return 10049;
    case ENETDOWN:
        return 10050;
    case ENETUNREACH:
        return 10051;
    case ENETRESET:
        return 10052;
    case ECONNABORTED:
        return 10053;
    case ECONNRESET:
    case EPIPE:
        return 10054;
    case ENOBUFS:
    case ENOMEM:
        return 10055;
    case EISCONN:
        return 10056;
    case ENOTCONN:
        return 10057;
    case ESHUTDOWN:
        return 10058;
    case ETOOMANYREFS:
        return 10059;
    case ETIMEDOUT:
        return 10060;
    case ECONNREFUSED:
        return 10061;
    case ELOOP:
        return 10062;
    case ENAMETOOLONG:
        return 10063;
    case EHOSTDOWN:
        return 10064;
    case EHOSTUNREACH:
        return 10065;
    case ENOTEMPTY:
        return 10066;
    case EUSERS:
        return 10068;
    case EDQUOT:
        return 10069;
    case ESTALE:
        return 10070;
    case EREMOTE:
        return 10071;
    default:
        return 10045;
    }
}

namespace {

sockaddr_in MakeAddress(std::uint32_t addr, std::uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = port;
    sa.sin_addr.s_addr = addr;
    return sa;
}

int LastError() {
    return WsaErrorFromErrno(errno);
}

} // namespace

int OpenStream(int& fd) {
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return fd < 0 ? LastError() : 0;
}

void Close(int fd) {
    ::close(fd);
}

int SetNonBlocking(int fd, bool on) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0)
        return LastError();
    const int wanted = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    if (wanted != flags && ::fcntl(fd, F_SETFL, wanted) < 0)
        return LastError();
    return 0;
}

ConnectStart StartConnect(int fd, std::uint32_t addr, std::uint16_t port, int& error) {
    const sockaddr_in sa = MakeAddress(addr, port);
    int rc;
    do {
        rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    } while (rc < 0 && errno == EINTR);
    error = 0;
    if (rc == 0)
        return ConnectStart::Connected;
    if (errno == EINPROGRESS)
        return ConnectStart::Pending;
    error = LastError();
    return ConnectStart::Failed;
}

int ConnectOutcome(int fd, int& lateReset) {
    lateReset = 0;
    int value = 0;
    socklen_t length = sizeof value;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &value, &length) < 0)
        return LastError();
    // A reset during the handshake is ECONNREFUSED; ECONNRESET (EPIPE after the peer's FIN)
    // only comes for a connection that had been established. Reading SO_ERROR took the
    // kernel's one report of it, so it is handed on.
    if (value == ECONNRESET || value == EPIPE) {
        lateReset = WsaErrorFromErrno(value);
        return 0;
    }
    return WsaErrorFromErrno(value);
}

void AbortConnect(int fd) {
    sockaddr sa{};
    sa.sa_family = AF_UNSPEC;
    ::connect(fd, &sa, sizeof sa);
}

int ConnectAndWait(int fd, std::uint32_t addr, std::uint16_t port, int timeoutMs, int& lateReset) {
    lateReset = 0;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0)
        return LastError();
    if (!(flags & O_NONBLOCK) && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0)
        return LastError();
    int error = 0;
    const ConnectStart start = StartConnect(fd, addr, port, error);
    if (start == ConnectStart::Pending) {
        pollfd p{fd, POLLOUT, 0};
        int rc;
        do {
            rc = ::poll(&p, 1, timeoutMs);
        } while (rc < 0 && errno == EINTR);
        if (rc < 0) {
            error = LastError();
        } else if (rc == 0) {
            AbortConnect(fd);
            error = WsaErrorFromErrno(ETIMEDOUT);
        } else {
            error = ConnectOutcome(fd, lateReset);
        }
    }
    ::fcntl(fd, F_SETFL, flags);
    return error;
}

long Receive(int fd, char* buffer, long length, int flags, int& error) {
    ssize_t n;
    do {
        n = ::recv(fd, buffer, static_cast<size_t>(length), flags);
    } while (n < 0 && errno == EINTR);
    error = n < 0 ? LastError() : 0;
    return static_cast<long>(n);
}

ReadState PeekReadState(int fd, int& error) {
    char probe;
    ssize_t n;
    do {
        n = ::recv(fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    error = 0;
    if (n > 0)
        return ReadState::Data;
    if (n == 0)
        return ReadState::EndOfStream;
    if (errno == EAGAIN || errno == EWOULDBLOCK)
        return ReadState::Nothing;
    error = LastError();
    return ReadState::Failed;
}

int BytesWaiting(int fd, std::uint32_t& count) {
    int n = 0;
    if (::ioctl(fd, FIONREAD, &n) < 0) {
        count = 0;
        return LastError();
    }
    count = static_cast<std::uint32_t>(n);
    return 0;
}

namespace {

constexpr int kHostNotFound = 11001;
constexpr int kTryAgain = 11002;
constexpr int kNoRecovery = 11003;
constexpr int kNoData = 11004;

// /etc/hosts only: the lookup never asks a name server.
int LookupInHostsFile(const std::string& name, HostEntry& entry) {
    std::ifstream hosts("/etc/hosts");
    std::string line;
    while (std::getline(hosts, line)) {
        if (const auto hash = line.find('#'); hash != std::string::npos)
            line.resize(hash);
        std::istringstream fields(line);
        std::string address;
        if (!(fields >> address))
            continue;
        in_addr parsed{};
        if (::inet_pton(AF_INET, address.c_str(), &parsed) != 1)
            continue;
        std::vector<std::string> names;
        for (std::string n; fields >> n;)
            names.push_back(n);
        for (const std::string& n : names) {
            if (::strcasecmp(n.c_str(), name.c_str()) == 0) {
                entry.name = names.front();
                entry.aliases.assign(names.begin() + 1, names.end());
                entry.addresses.push_back(parsed.s_addr);
                return 0;
            }
        }
    }
    return kHostNotFound;
}

int ResolverError(int eai) {
    switch (eai) {
    case EAI_AGAIN:
        return kTryAgain;
    case EAI_FAIL:
        return kNoRecovery;
#ifdef EAI_NODATA
    case EAI_NODATA:
        return kNoData;
#endif
    case EAI_NONAME:
    case EAI_ADDRFAMILY:
        return kHostNotFound;
    case EAI_MEMORY:
        return 10055;
    default:
        return kNoRecovery;
    }
}

} // namespace

int LookupHost(const std::string& name, bool hostsOnly, HostEntry& entry) {
    entry = HostEntry{};
    if (name.empty())
        return kHostNotFound;
    in_addr dotted{};
    if (::inet_pton(AF_INET, name.c_str(), &dotted) == 1) {
        entry.name = name;
        entry.addresses.push_back(dotted.s_addr);
        return 0;
    }
    if (hostsOnly)
        return LookupInHostsFile(name, entry);

    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* list = nullptr;
    if (const int rc = ::getaddrinfo(name.c_str(), nullptr, &hints, &list); rc != 0)
        return ResolverError(rc);
    entry.name = list->ai_canonname ? list->ai_canonname : name;
    for (const addrinfo* ai = list; ai; ai = ai->ai_next) {
        const auto addr = reinterpret_cast<const sockaddr_in*>(ai->ai_addr)->sin_addr.s_addr;
        bool seen = false;
        for (auto a : entry.addresses)
            seen = seen || a == addr;
        if (!seen)
            entry.addresses.push_back(addr);
    }
    ::freeaddrinfo(list);
    return entry.addresses.empty() ? kNoData : 0;
}

int LookupService(const std::string& name, const std::string& protocol, ServiceEntry& entry) {
    entry = ServiceEntry{};
    servent result{};
    servent* found = nullptr;
    std::vector<char> scratch(4096);
    const int rc = ::getservbyname_r(name.c_str(), protocol.empty() ? nullptr : protocol.c_str(),
                                     &result, scratch.data(), scratch.size(), &found);
    if (rc != 0 || !found)
        return kNoData; // a name that is valid but names no service of that protocol
    entry.name = found->s_name;
    for (char** a = found->s_aliases; a && *a; ++a)
        entry.aliases.emplace_back(*a);
    entry.port = static_cast<std::uint16_t>(found->s_port); // already in network order
    entry.protocol = found->s_proto ? found->s_proto : "";
    return 0;
}

} // namespace posixsock
