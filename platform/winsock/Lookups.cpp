// Host and service lookups: blocking ones for the calling thread, asynchronous ones on a
// worker thread whose answer is posted to the requesting window. The worker never touches
// the caller's buffer; the answer is copied in on the UI thread just before the message is
// delivered, and not at all when the request was cancelled meanwhile.

#include "platform/winsock/Delivery.h"
#include "platform/winsock/PosixSockets.h"
#include "platform/winsock/SocketTable.h"
#include "platform/winsock/Winsock.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// Lays out an entry the way the platform does: the structure first, then its pointer arrays,
// addresses and strings, all inside the caller's buffer. Returns the bytes used, or 0 when
// the buffer is too small.
class EntryWriter {
public:
    EntryWriter(char* buffer, size_t size) : FBuffer(buffer), FSize(size) {}

    template <class T> T* Reserve(size_t count = 1) {
        FUsed = (FUsed + alignof(T) - 1) / alignof(T) * alignof(T);
        if (FUsed + sizeof(T) * count > FSize) {
            FOverflow = true;
            return nullptr;
        }
        auto* p = reinterpret_cast<T*>(FBuffer + FUsed);
        std::memset(p, 0, sizeof(T) * count);
        FUsed += sizeof(T) * count;
        return p;
    }
    char* String(const std::string& s) {
        char* p = Reserve<char>(s.size() + 1);
        if (p)
            std::memcpy(p, s.c_str(), s.size() + 1);
        return p;
    }
    char** StringList(const std::vector<std::string>& list) {
        char** array = Reserve<char*>(list.size() + 1);
        for (size_t i = 0; array && i < list.size(); ++i)
            array[i] = String(list[i]);
        return array;
    }
    size_t Used() const { return FOverflow ? 0 : FUsed; }

private:
    char* FBuffer;
    size_t FSize;
    size_t FUsed = 0;
    bool FOverflow = false;
};

size_t WriteHost(const posixsock::HostEntry& e, char* buffer, size_t size) {
    EntryWriter w(buffer, size);
    auto* host = w.Reserve<HOSTENT>();
    if (!host)
        return 0;
    host->h_addrtype = AF_INET;
    host->h_length = 4;
    host->h_aliases = w.StringList(e.aliases);
    host->h_addr_list = w.Reserve<char*>(e.addresses.size() + 1);
    for (size_t i = 0; host->h_addr_list && i < e.addresses.size(); ++i) {
        char* a = w.Reserve<char>(4);
        if (a)
            std::memcpy(a, &e.addresses[i], 4); // network order, unchanged
        host->h_addr_list[i] = a;
    }
    host->h_name = w.String(e.name);
    return w.Used();
}

size_t WriteService(const posixsock::ServiceEntry& e, char* buffer, size_t size) {
    EntryWriter w(buffer, size);
    auto* serv = w.Reserve<SERVENT>();
    if (!serv)
        return 0;
    serv->s_port = static_cast<short>(e.port);
    serv->s_aliases = w.StringList(e.aliases);
    serv->s_name = w.String(e.name);
    serv->s_proto = w.String(e.protocol);
    return w.Used();
}

// --- asynchronous requests ---------------------------------------------------------------

struct Request {
    char* buffer = nullptr;
    size_t size = 0;
    bool cancelled = false;
};

std::mutex requestLock;
std::uintptr_t nextRequest = 1;
std::map<std::uintptr_t, Request>& Requests() {
    static std::map<std::uintptr_t, Request> requests;
    return requests;
}

// Registers a request and runs lookup on a worker; lookup returns an error code and a
// writer that copies its answer into the caller's buffer.
template <class Entry, class Lookup, class Write>
HANDLE StartRequest(HWND hwnd, UINT msg, char* buf, int buflen, Lookup lookup, Write write) {
    if (!winsocktable::Started())
        return nullptr;
    if (!buf || buflen <= 0) {
        WSASetLastError(WSAEFAULT);
        return nullptr;
    }
    if (!IsWindow(hwnd)) {
        WSASetLastError(WSAEINVAL);
        return nullptr;
    }
    std::uintptr_t id;
    {
        std::lock_guard guard(requestLock);
        id = nextRequest++;
        Requests()[id] = Request{buf, static_cast<size_t>(buflen), false};
    }
    std::thread([=] {
        auto entry = std::make_shared<Entry>();
        const int error = lookup(*entry);
        winsockdelivery::Post(hwnd, msg, id, 0, [id, entry, error, write](LPARAM& lParam) {
            Request request;
            {
                std::lock_guard guard(requestLock);
                auto it = Requests().find(id);
                if (it == Requests().end())
                    return false;
                request = it->second;
                Requests().erase(it);
            }
            if (request.cancelled)
                return false;
            WORD length = 0;
            int code = error;
            if (code == 0) {
                length = static_cast<WORD>(write(*entry, request.buffer, request.size));
                if (length == 0)
                    code = WSAENOBUFS;
            }
            lParam = WSAMAKEASYNCREPLY(length, static_cast<WORD>(code));
            return true;
        });
    }).detach();
    return reinterpret_cast<HANDLE>(id);
}

} // namespace

HANDLE WSAAsyncGetHostByName(HWND hwnd, UINT msg, const char* name, char* buf, int buflen) {
    if (!name) {
        WSASetLastError(WSAEFAULT);
        return nullptr;
    }
    const bool hostsOnly = LoopbackOnly();
    return StartRequest<posixsock::HostEntry>(
        hwnd, msg, buf, buflen,
        [name = std::string(name), hostsOnly](posixsock::HostEntry& e) {
            return posixsock::LookupHost(name, hostsOnly, e);
        },
        WriteHost);
}

HANDLE WSAAsyncGetServByName(HWND hwnd, UINT msg, const char* name, const char* proto, char* buf,
                             int buflen) {
    if (!name) {
        WSASetLastError(WSAEFAULT);
        return nullptr;
    }
    return StartRequest<posixsock::ServiceEntry>(
        hwnd, msg, buf, buflen,
        [name = std::string(name), proto = std::string(proto ? proto : "")](
            posixsock::ServiceEntry& e) { return posixsock::LookupService(name, proto, e); },
        WriteService);
}

int WSACancelAsyncRequest(HANDLE asyncTaskHandle) {
    if (!winsocktable::Started())
        return SOCKET_ERROR;
    std::lock_guard guard(requestLock);
    auto it = Requests().find(reinterpret_cast<std::uintptr_t>(asyncTaskHandle));
    if (it == Requests().end() || it->second.cancelled) {
        WSASetLastError(WSAEINVAL); // unknown, already answered or already cancelled
        return SOCKET_ERROR;
    }
    it->second.cancelled = true;
    it->second.buffer = nullptr;
    return 0;
}

// --- blocking lookups ------------------------------------------------------------------------

HOSTENT* gethostbyname(const char* name) {
    if (!winsocktable::Started())
        return nullptr;
    if (!name) {
        WSASetLastError(WSAEFAULT);
        return nullptr;
    }
    thread_local std::vector<char> storage(MAXGETHOSTSTRUCT);
    posixsock::HostEntry entry;
    if (const int error = posixsock::LookupHost(name, LoopbackOnly(), entry); error != 0) {
        WSASetLastError(error);
        return nullptr;
    }
    if (WriteHost(entry, storage.data(), storage.size()) == 0) {
        WSASetLastError(WSAENOBUFS);
        return nullptr;
    }
    return reinterpret_cast<HOSTENT*>(storage.data());
}

SERVENT* getservbyname(const char* name, const char* proto) {
    if (!winsocktable::Started())
        return nullptr;
    if (!name) {
        WSASetLastError(WSAEFAULT);
        return nullptr;
    }
    thread_local std::vector<char> storage(MAXGETHOSTSTRUCT);
    posixsock::ServiceEntry entry;
    if (const int error = posixsock::LookupService(name, proto ? proto : "", entry); error != 0) {
        WSASetLastError(error);
        return nullptr;
    }
    if (WriteService(entry, storage.data(), storage.size()) == 0) {
        WSASetLastError(WSAENOBUFS);
        return nullptr;
    }
    return reinterpret_cast<SERVENT*>(storage.data());
}
