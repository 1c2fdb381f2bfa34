// The socket wrapper: opening, resolving, connecting, receiving and closing one client
// socket, with the platform's notifications dispatched from its hidden window.

#include "framework/Application.h"
#include "net/ScktComp.h"

#include <cstring>

namespace {

[[noreturn]] void RaiseSocketErrorMessage(int ErrorCode, const std::string& Api) {
    throw ESocketError(Format(SSocketErrorMessage, SocketErrorText(ErrorCode), ErrorCode, Api));
}

// 0 passes; otherwise the platform's last error decides: WSAEWOULDBLOCK passes, anything else
// raises the socket error message naming Api.
int VerifySocketCall(int ResultCode, const std::string& Api) {
    if (ResultCode == 0)
        return 0;
    const int code = WSAGetLastError();
    if (code == WSAEWOULDBLOCK)
        return code;
    RaiseSocketErrorMessage(code, Api);
}

void StartNetworking() {
    static WSADATA data;
    if (const int code = WSAStartup(0x0101, &data); code != 0)
        RaiseSocketErrorMessage(code, "WSAStartup");
}

void StopNetworking() {
    if (WSACleanup() == SOCKET_ERROR)
        RaiseSocketErrorMessage(WSAGetLastError(), "WSACleanup");
}

constexpr int kLookupBufferSize = 1024;

// Leaves the wrapper's state lock on every path out of a scope.
template <class Leave> class ScopeExit {
public:
    explicit ScopeExit(Leave leave) : FLeave(std::move(leave)) {}
    ~ScopeExit() { FLeave(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    Leave FLeave;
};

} // namespace

std::string SocketErrorText(int ErrorCode) {
    char buffer[256];
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(ErrorCode), 0, buffer, sizeof buffer, nullptr);
    std::string text(buffer, length);
    while (!text.empty() && (static_cast<unsigned char>(text.back()) <= ' ' || text.back() == '.'))
        text.pop_back();
    return text;
}

TCustomWinSocket::TCustomWinSocket(SOCKET Handle)
    : FSocketHandle(Handle), FIsOpen(Handle != INVALID_SOCKET) {
    StartNetworking();
    FStateLock = std::make_unique<TCriticalSection>();
    ResetTargetAddress();
}

TCustomWinSocket::~TCustomWinSocket() {
    EventHook = nullptr;
    // Also closes a socket whose connect attempt is still pending and cancels a pending
    // lookup; with the event hook cleared nobody hears of it. A destructor cannot pass an
    // exception on, so a failing close or clean-up is dropped here.
    try {
        DropConnection(FSocketHandle);
    } catch (...) {
    }
    if (FNotifyWindow)
        DeallocateHWnd(FNotifyWindow);
    FStateLock.reset();
    try {
        StopNetworking();
    } catch (...) {
    }
    FLookupBuffer.reset();
}

void TCustomWinSocket::ResetTargetAddress() {
    std::memset(&FTargetAddress, 0, sizeof FTargetAddress);
    FTargetAddress.sin_family = AF_INET;
}

char* TCustomWinSocket::EnsureLookupBuffer() {
    if (!FLookupBuffer)
        FLookupBuffer = std::make_unique<char[]>(kLookupBufferSize); // zero-filled
    return FLookupBuffer.get();
}

void TCustomWinSocket::AcquireStateLock() {
    FStateLock->EnterLock();
}

void TCustomWinSocket::ReleaseStateLock() {
    FStateLock->LeaveLock();
}

HWND TCustomWinSocket::GetNotifyWindow() {
    if (!FNotifyWindow)
        FNotifyWindow = AllocateHWnd([this](HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
            return NotifyWindowProc(Wnd, Msg, WParam, LParam);
        });
    return FNotifyWindow;
}

LRESULT TCustomWinSocket::NotifyWindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    try {
        switch (Msg) {
        case WM_SOCKET_NOTIFY:
            HandleSocketNotify(WParam, LParam);
            return 0;
        case WM_SOCKET_LOOKUP_DONE:
            HandleLookupDone(WParam, LParam);
            return 0;
        default:
            return DefWindowProc(Wnd, Msg, WParam, LParam);
        }
    } catch (...) {
        // Whatever a handler raised is shown, and the message loop goes on.
        if (!Application)
            throw;
        Application->HandleException(this, std::current_exception());
    }
    return 0;
}

void TCustomWinSocket::OpenClient(const std::string& Host, const std::string& Address,
                                  const std::string& Service, WORD Port, bool Blocking) {
    if (FIsOpen)
        throw ESocketError(SSocketAlreadyOpen);
    if (FSocketHandle != INVALID_SOCKET || FLookupRequest) {
        // An earlier attempt that has not connected yet is given up without events: its
        // lookup is cancelled and its socket closed, so neither leaks nor answers later.
        if (FLookupRequest)
            WSACancelAsyncRequest(FLookupRequest);
        FLookupRequest = nullptr;
        FLookupStep = lkIdle;
        if (FSocketHandle != INVALID_SOCKET)
            closesocket(FSocketHandle);
        FSocketHandle = INVALID_SOCKET;
        ResetTargetAddress();
    }
    FSocketHandle = socket(AF_INET, SOCK_STREAM, 0);
    if (FSocketHandle == INVALID_SOCKET)
        throw ESocketError(SCannotCreateSocket);
    try {
        RaiseSocketEvent(this, skLookup);
        if (Blocking) {
            SOCKADDR_IN target;
            BuildAddress(Host, Address, Service, Port, target);
            FTargetAddress = target;
            BeginConnect();
        } else {
            ResolveStep(Host, Address, Service, Port);
        }
    } catch (...) {
        DropConnection(FSocketHandle);
        throw;
    }
}

void TCustomWinSocket::BuildAddress(const std::string& Host, const std::string& Address,
                                    const std::string& Service, WORD Port, SOCKADDR_IN& Target) {
    std::memset(&Target, 0, sizeof Target);
    Target.sin_family = AF_INET;
    if (!Host.empty()) {
        // A host that is not found becomes 0.0.0.0; the connect reports the failure.
        const HOSTENT* host = gethostbyname(Host.c_str());
        if (host && host->h_addr_list && host->h_addr_list[0])
            std::memcpy(&Target.sin_addr.s_addr, host->h_addr_list[0], 4);
    } else if (!Address.empty()) {
        Target.sin_addr.s_addr = inet_addr(Address.c_str());
    } else {
        throw ESocketError(SNoAddressSpecified);
    }
    if (!Service.empty()) {
        const SERVENT* service = getservbyname(Service.c_str(), "tcp");
        Target.sin_port = htons(service ? ntohs(static_cast<u_short>(service->s_port)) : 0);
    } else {
        Target.sin_port = htons(Port);
    }
}

void TCustomWinSocket::ResolveStep(const std::string& Host, const std::string& Address,
                                   const std::string& Service, WORD Port) {
    try {
        ResolveSteps(Host, Address, Service, Port);
    } catch (...) {
        DropConnection(FSocketHandle);
        throw;
    }
}

void TCustomWinSocket::ResolveSteps(const std::string& Host, const std::string& Address,
                                    const std::string& Service, WORD Port) {
    for (;;) {
        switch (FLookupStep) {
        case lkIdle:
            if (!Host.empty()) {
                char* buffer = EnsureLookupBuffer();
                FLookupRequest = WSAAsyncGetHostByName(GetNotifyWindow(), WM_SOCKET_LOOKUP_DONE,
                                                       Host.c_str(), buffer, kLookupBufferSize);
                VerifySocketCall(FLookupRequest ? 0 : 1, "WSAASyncGetHostByName");
                FPendingService = Service;
                FPendingPort = Port;
                FLookupStep = lkAddress;
                return;
            }
            if (Address.empty())
                throw ESocketError(SNoAddressSpecified);
            FLookupStep = lkAddress;
            FTargetAddress.sin_addr.s_addr = inet_addr(Address.c_str());
            break;
        case lkAddress:
            if (!Service.empty()) {
                char* buffer = EnsureLookupBuffer();
                FLookupRequest =
                    WSAAsyncGetServByName(GetNotifyWindow(), WM_SOCKET_LOOKUP_DONE, Service.c_str(),
                                          "tcp", buffer, kLookupBufferSize);
                VerifySocketCall(FLookupRequest ? 0 : 1, "WSAASyncGetServByName");
                FLookupStep = lkService;
                return;
            }
            FLookupStep = lkService;
            FTargetAddress.sin_port = htons(Port);
            break;
        case lkService:
            FLookupStep = lkIdle;
            BeginConnect();
            return;
        }
    }
}

void TCustomWinSocket::HandleLookupDone(WPARAM WParam, LPARAM LParam) {
    if (!FLookupRequest || reinterpret_cast<HANDLE>(WParam) != FLookupRequest)
        return; // a late answer to a cancelled request
    FLookupRequest = nullptr;
    int error = WSAGETASYNCERROR(LParam);
    const auto* host = reinterpret_cast<const HOSTENT*>(FLookupBuffer.get());
    if (error == 0 && FLookupStep == lkAddress && !(host->h_addr_list && host->h_addr_list[0]))
        error = WSANO_DATA; // an answer without an address cannot be connected to
    if (error != 0) {
        DropConnection(FSocketHandle);
        RaiseSocketErrorMessage(error, "ASync Lookup");
    }
    if (FLookupStep == lkAddress) {
        std::memcpy(&FTargetAddress.sin_addr.s_addr, host->h_addr_list[0], 4);
        ResolveStep("", "", FPendingService, FPendingPort);
    } else if (FLookupStep == lkService) {
        const auto* service = reinterpret_cast<const SERVENT*>(FLookupBuffer.get());
        FTargetAddress.sin_port = static_cast<u_short>(service->s_port); // network order
        FPendingPort = 0;
        FPendingService.clear();
        ResolveStep("", "", "", 0);
    }
}

void TCustomWinSocket::BeginConnect() {
    ApplyNotifyMask();
    RaiseSocketEvent(this, skConnecting);
    VerifySocketCall(connect(FSocketHandle, reinterpret_cast<const SOCKADDR*>(&FTargetAddress),
                             sizeof FTargetAddress),
                     "connect");
    FLookupStep = lkIdle;
    if (!FNotifyMask.Contains(neConnect)) {
        FIsOpen = FSocketHandle != INVALID_SOCKET;
        RaiseSocketEvent(this, skConnect);
    }
}

void TCustomWinSocket::ApplyNotifyMask() {
    if (!FNotifyMask.Empty()) {
        WSAAsyncSelect(FSocketHandle, GetNotifyWindow(), WM_SOCKET_NOTIFY,
                       static_cast<long>(FNotifyMask.Bits()));
    } else {
        WSAAsyncSelect(FSocketHandle, nullptr, 0, 0);
        DWORD blocking = 0;
        ioctlsocket(FSocketHandle, FIONBIO, &blocking);
    }
}

void TCustomWinSocket::SetNotifyMask(TNetworkEvents Mask) {
    if (Mask == FNotifyMask)
        return;
    FNotifyMask = Mask;
    if (FSocketHandle != INVALID_SOCKET)
        ApplyNotifyMask();
}

void TCustomWinSocket::HandleSocketNotify(WPARAM WParam, LPARAM LParam) {
    const WORD event = WSAGETSELECTEVENT(LParam);
    const int error = WSAGETSELECTERROR(LParam);
    if (error != 0) {
        TErrorEvent kind;
        switch (event) {
        case FD_READ:
            kind = errReceive;
            break;
        case FD_WRITE:
            kind = errSend;
            break;
        case FD_ACCEPT:
            kind = errAccept;
            break;
        case FD_CONNECT:
            kind = errConnect;
            break;
        case FD_CLOSE:
            kind = errDisconnect;
            break;
        default:
            kind = errGeneral;
            break;
        }
        int ErrorCode = error;
        RaiseSocketError(this, kind, ErrorCode);
        if (ErrorCode != 0)
            throw ESocketError(Format(SAsyncErrorMessage, ErrorCode));
        return; // an event that carries an error is never dispatched
    }
    const SOCKET handle = WParam;
    switch (event) {
    case FD_ACCEPT:
        AcceptReady(handle);
        break;
    case FD_READ:
        ReadReady(handle);
        break;
    case FD_WRITE:
        WriteReady(handle);
        break;
    case FD_CONNECT:
        ConnectReady(handle);
        break;
    case FD_CLOSE:
        DropConnection(handle);
        break;
    default:
        break;
    }
}

void TCustomWinSocket::AcceptReady(SOCKET) {}

void TCustomWinSocket::ConnectReady(SOCKET) {}

void TCustomWinSocket::ReadReady(SOCKET Handle) {
    if (FSocketHandle != INVALID_SOCKET && Handle == FSocketHandle)
        RaiseSocketEvent(this, skRead);
}

void TCustomWinSocket::WriteReady(SOCKET Handle) {
    if (FSocketHandle != INVALID_SOCKET && Handle == FSocketHandle)
        RaiseSocketEvent(this, skWrite);
}

void TCustomWinSocket::CloseConnection() {
    DropConnection(FSocketHandle);
}

void TCustomWinSocket::DropConnection(SOCKET Handle) {
    AcquireStateLock();
    ScopeExit release([this] { ReleaseStateLock(); });
    if (FLookupRequest)
        VerifySocketCall(WSACancelAsyncRequest(FLookupRequest), "WSACancelASyncRequest");
    FLookupRequest = nullptr;
    FLookupStep = lkIdle;
    if (Handle == INVALID_SOCKET || Handle != FSocketHandle)
        return;
    // A close asked for by the disconnect handler itself is not announced a second time
    // (that would recurse without end); it closes the socket, and the outer close then
    // finds nothing left to do.
    if (FAnnouncedClose != Handle) {
        FAnnouncedClose = Handle;
        ScopeExit announced([this] { FAnnouncedClose = INVALID_SOCKET; });
        RaiseSocketEvent(this, skDisconnect);
    }
    if (FSocketHandle != Handle)
        return;
    VerifySocketCall(closesocket(FSocketHandle), "closesocket");
    FSocketHandle = INVALID_SOCKET;
    ResetTargetAddress();
    FIsOpen = false;
}

int TCustomWinSocket::ReceiveBytes(void* Buffer, int Count) {
    AcquireStateLock();
    ScopeExit release([this] { ReleaseStateLock(); });
    int Result = 0;
    if (Count == -1 && FIsOpen) {
        DWORD waiting = 0;
        ioctlsocket(FSocketHandle, FIONREAD, &waiting);
        return static_cast<int>(waiting);
    }
    if (!FIsOpen)
        return 0;
    Result = recv(FSocketHandle, static_cast<char*>(Buffer), Count, 0);
    if (Result == SOCKET_ERROR) {
        int ErrorCode = WSAGetLastError();
        if (ErrorCode != WSAEWOULDBLOCK) {
            RaiseSocketError(this, errReceive, ErrorCode);
            DropConnection(FSocketHandle);
            if (ErrorCode != 0)
                RaiseSocketErrorMessage(ErrorCode, "recv");
        }
    }
    return Result;
}

void TCustomWinSocket::RaiseSocketEvent(TCustomWinSocket* Socket, TSocketEventKind Kind) {
    if (EventHook)
        EventHook(this, Socket, Kind);
}

void TCustomWinSocket::RaiseSocketError(TCustomWinSocket* Socket, TErrorEvent ErrorEvent,
                                        int& ErrorCode) {
    if (ErrorHook)
        ErrorHook(this, Socket, ErrorEvent, ErrorCode);
}

void TClientWinSocket::ConnectReady(SOCKET) {
    SetOpen(true);
    RaiseSocketEvent(this, skConnect);
}

void TClientWinSocket::SetClientType(TClientType Value) {
    if (Value == FClientType)
        return;
    if (IsOpen())
        throw ESocketError(SChangeWhileActive);
    FClientType = Value;
    SetNotifyMask(Value == ctBlocking ? TNetworkEvents{} : DefaultNotifyMask);
}
