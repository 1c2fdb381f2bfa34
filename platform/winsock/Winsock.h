#pragma once
// Windows Sockets 1.1 on POSIX sockets: the calls, structures, constants and error codes a
// client needs, with network events delivered as window messages (WSAAsyncSelect) and host
// and service lookups answered by message (WSAAsyncGetHostByName / WSAAsyncGetServByName).
//
// All calls except WSAGetLastError / WSASetLastError belong to the UI thread; notifications
// come from the Qt event loop, never from a polling thread. A file that includes this header
// must not include the POSIX socket headers: several calls and constants share their names.
//
// Loopback guard: while it is on, connect refuses every destination outside 127.0.0.0/8
// (WSAEACCES) and host names are resolved from /etc/hosts only, so nothing ever leaves this
// machine. A program switches it on for good with EnableLoopbackOnlyGuard() (the test
// binaries and benchmarks do, before anything else); other programs, such as a demo of the
// monitor, may ask for it with the environment variable KELVOR_LOOPBACK_ONLY set to anything
// but "" or "0".

#include "platform/WinTypes.h"
#include "platform/window/Window.h"

#include <chrono>
#include <cstdint>

using SOCKET = UINT_PTR;
using u_char = std::uint8_t;
using u_short = std::uint16_t;
using u_int = std::uint32_t;
// The platform's u_long is 32 bits; DWORD stands for it here (the C library's u_long is 64).

inline constexpr SOCKET INVALID_SOCKET = ~SOCKET(0);
inline constexpr int SOCKET_ERROR = -1;

inline constexpr int AF_UNSPEC = 0;
inline constexpr int AF_INET = 2;
inline constexpr int SOCK_STREAM = 1;
inline constexpr int SOCK_DGRAM = 2;
inline constexpr int IPPROTO_TCP = 6;
inline constexpr DWORD INADDR_ANY = 0x00000000;
inline constexpr DWORD INADDR_NONE = 0xFFFFFFFF;
inline constexpr int MAXGETHOSTSTRUCT = 1024;

// ioctlsocket commands.
inline constexpr long FIONREAD = 0x4004667F;
inline constexpr long FIONBIO = static_cast<long>(0x8004667EL);

// Network events (WSAAsyncSelect).
inline constexpr long FD_READ = 0x01;
inline constexpr long FD_WRITE = 0x02;
inline constexpr long FD_OOB = 0x04;
inline constexpr long FD_ACCEPT = 0x08;
inline constexpr long FD_CONNECT = 0x10;
inline constexpr long FD_CLOSE = 0x20;

constexpr WORD WSAGETSELECTEVENT(LPARAM l) {
    return LOWORD(static_cast<std::uintptr_t>(l));
}
constexpr WORD WSAGETSELECTERROR(LPARAM l) {
    return HIWORD(static_cast<std::uintptr_t>(l));
}
constexpr WORD WSAGETASYNCBUFLEN(LPARAM l) {
    return LOWORD(static_cast<std::uintptr_t>(l));
}
constexpr WORD WSAGETASYNCERROR(LPARAM l) {
    return HIWORD(static_cast<std::uintptr_t>(l));
}
constexpr LPARAM WSAMAKESELECTREPLY(WORD event, WORD error) {
    return static_cast<LPARAM>(MAKELONG(event, error));
}
constexpr LPARAM WSAMAKEASYNCREPLY(WORD buflen, WORD error) {
    return static_cast<LPARAM>(MAKELONG(buflen, error));
}

// --- error codes -------------------------------------------------------------------------
inline constexpr int WSABASEERR = 10000;
inline constexpr int WSAEINTR = 10004;
inline constexpr int WSAEBADF = 10009;
inline constexpr int WSAEACCES = 10013;
inline constexpr int WSAEFAULT = 10014;
inline constexpr int WSAEINVAL = 10022;
inline constexpr int WSAEMFILE = 10024;
inline constexpr int WSAEWOULDBLOCK = 10035;
inline constexpr int WSAEINPROGRESS = 10036;
inline constexpr int WSAEALREADY = 10037;
inline constexpr int WSAENOTSOCK = 10038;
inline constexpr int WSAEDESTADDRREQ = 10039;
inline constexpr int WSAEMSGSIZE = 10040;
inline constexpr int WSAEPROTOTYPE = 10041;
inline constexpr int WSAENOPROTOOPT = 10042;
inline constexpr int WSAEPROTONOSUPPORT = 10043;
inline constexpr int WSAESOCKTNOSUPPORT = 10044;
inline constexpr int WSAEOPNOTSUPP = 10045;
inline constexpr int WSAEPFNOSUPPORT = 10046;
inline constexpr int WSAEAFNOSUPPORT = 10047;
inline constexpr int WSAEADDRINUSE = 10048;
inline constexpr int WSAEADDRNOTAVAIL = 10049;
inline constexpr int WSAENETDOWN = 10050;
inline constexpr int WSAENETUNREACH = 10051;
inline constexpr int WSAENETRESET = 10052;
inline constexpr int WSAECONNABORTED = 10053;
inline constexpr int WSAECONNRESET = 10054;
inline constexpr int WSAENOBUFS = 10055;
inline constexpr int WSAEISCONN = 10056;
inline constexpr int WSAENOTCONN = 10057;
inline constexpr int WSAESHUTDOWN = 10058;
inline constexpr int WSAETOOMANYREFS = 10059;
inline constexpr int WSAETIMEDOUT = 10060;
inline constexpr int WSAECONNREFUSED = 10061;
inline constexpr int WSAELOOP = 10062;
inline constexpr int WSAENAMETOOLONG = 10063;
inline constexpr int WSAEHOSTDOWN = 10064;
inline constexpr int WSAEHOSTUNREACH = 10065;
inline constexpr int WSAENOTEMPTY = 10066;
inline constexpr int WSAEPROCLIM = 10067;
inline constexpr int WSAEUSERS = 10068;
inline constexpr int WSAEDQUOT = 10069;
inline constexpr int WSAESTALE = 10070;
inline constexpr int WSAEREMOTE = 10071;
inline constexpr int WSASYSNOTREADY = 10091;
inline constexpr int WSAVERNOTSUPPORTED = 10092;
inline constexpr int WSANOTINITIALISED = 10093;
inline constexpr int WSAEDISCON = 10101;
inline constexpr int WSAHOST_NOT_FOUND = 11001;
inline constexpr int WSATRY_AGAIN = 11002;
inline constexpr int WSANO_RECOVERY = 11003;
inline constexpr int WSANO_DATA = 11004;

// --- structures (the platform's layouts) ---------------------------------------------------
struct IN_ADDR {
    DWORD s_addr; // network byte order
};

struct SOCKADDR {
    u_short sa_family;
    char sa_data[14];
};

struct SOCKADDR_IN {
    short sin_family;
    u_short sin_port; // network byte order
    IN_ADDR sin_addr;
    char sin_zero[8];
};
static_assert(sizeof(SOCKADDR_IN) == 16);

struct HOSTENT {
    char* h_name;
    char** h_aliases;
    short h_addrtype;
    short h_length;
    char** h_addr_list; // null-terminated list of h_length-byte addresses in network order
};

struct SERVENT {
    char* s_name;
    char** s_aliases;
    short s_port; // network byte order
    char* s_proto;
};

inline constexpr int WSADESCRIPTION_LEN = 256;
inline constexpr int WSASYS_STATUS_LEN = 128;
struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[WSADESCRIPTION_LEN + 1];
    char szSystemStatus[WSASYS_STATUS_LEN + 1];
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char* lpVendorInfo;
};

// --- calls ---------------------------------------------------------------------------------
// Start-up and clean-up are reference counted; every other call fails with WSANOTINITIALISED
// while the count is 0. Returns 0 or an error code (WSAStartup) / SOCKET_ERROR (WSACleanup).
int WSAStartup(WORD versionRequested, WSADATA* data);
int WSACleanup();

int WSAGetLastError();
void WSASetLastError(int error);

SOCKET socket(int af, int type, int protocol);
int connect(SOCKET s, const SOCKADDR* name, int namelen);
int recv(SOCKET s, char* buf, int len, int flags);
int closesocket(SOCKET s);
int ioctlsocket(SOCKET s, long cmd, DWORD* argp);

// Selects network events for s; they arrive as msg to hwnd with wParam = s and
// lParam = WSAMAKESELECTREPLY(event, error). A second call replaces the first; lEvent 0
// (or hwnd 0) cancels, and events already queued for a cancelled or closed socket are dropped.
// FD_READ is re-armed by recv, FD_CONNECT and FD_CLOSE come once, FD_WRITE once connected.
int WSAAsyncSelect(SOCKET s, HWND hwnd, UINT msg, long lEvent);

// Lookups on a worker thread. The answer is written into buf on the UI thread just before
// msg is sent to hwnd (wParam = the request, lParam = WSAMAKEASYNCREPLY(length, error)); a
// cancelled request never touches buf. Returns 0 (with WSAGetLastError) on failure.
HANDLE WSAAsyncGetHostByName(HWND hwnd, UINT msg, const char* name, char* buf, int buflen);
HANDLE WSAAsyncGetServByName(HWND hwnd, UINT msg, const char* name, const char* proto, char* buf,
                             int buflen);
int WSACancelAsyncRequest(HANDLE asyncTaskHandle);

// Blocking lookups; the result lives in per-thread storage until the next call.
HOSTENT* gethostbyname(const char* name);
SERVENT* getservbyname(const char* name, const char* proto);

// Dotted text (1 to 4 parts, decimal, octal or hex) to an address in network order;
// INADDR_NONE for text that is not an address.
DWORD inet_addr(const char* cp);

u_short htons(u_short hostshort);
u_short ntohs(u_short netshort);
DWORD htonl(DWORD hostlong);
DWORD ntohl(DWORD netlong);

// --- system message texts --------------------------------------------------------------------
inline constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
inline constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
inline constexpr DWORD ERROR_MR_MID_NOT_FOUND = 317;

// The system message table's text for a socket error code, followed by CR LF, as the
// platform's FormatMessageA with FORMAT_MESSAGE_FROM_SYSTEM gives it. Returns the number of
// characters written (without the terminating zero), 0 for an unknown code
// (ERROR_MR_MID_NOT_FOUND) or a buffer that is too small (ERROR_INSUFFICIENT_BUFFER).
DWORD FormatMessageA(DWORD flags, const void* source, DWORD messageId, DWORD languageId,
                     char* buffer, DWORD size, void* arguments);

// --- stand-in controls -------------------------------------------------------------------------
// How long a connect attempt may take before it fails with WSAETIMEDOUT (the platform gives up
// after about 21 seconds; Linux alone would wait two minutes). Returns the previous value.
std::chrono::milliseconds SetConnectTimeout(std::chrono::milliseconds timeout);

// Switches the loopback guard on for the rest of the process; there is no way back, and the
// environment cannot override it. Safe to call from any thread, any number of times.
void EnableLoopbackOnlyGuard();
// Whether the loopback guard is on: switched on by EnableLoopbackOnlyGuard(), or asked for by
// the environment (read at each connect and lookup).
bool LoopbackOnly();
// The error connect gives for a destination (an address in network order) before it touches
// the network: WSAEADDRNOTAVAIL for 0.0.0.0 and 255.255.255.255, WSAEACCES outside
// 127.0.0.0/8 while the loopback guard is on; 0 when the destination may be tried.
int DestinationError(DWORD address);
