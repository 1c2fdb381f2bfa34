#pragma once
// The socket wrapper (one IPv4 TCP client socket whose network events arrive as window
// messages) and the client socket component that turns them into its event handlers.

#include "framework/Classes.h"
#include "framework/Exceptions.h"
#include "framework/Sets.h"
#include "net/SyncObjs.h"
#include "platform/window/Window.h"
#include "platform/winsock/Winsock.h"

#include <functional>
#include <memory>
#include <string>

KELVOR_EXCEPTION(ESocketError, Exception);

inline constexpr const char* SSocketErrorMessage = "Windows socket error: %s (%d), on API '%s'";
inline constexpr const char* SAsyncErrorMessage = "Asynchronous socket error %d";
inline constexpr const char* SNoAddressSpecified = "No address specified";
inline constexpr const char* SCannotCreateSocket = "Can't create new socket";
inline constexpr const char* SSocketAlreadyOpen = "Socket already open";
inline constexpr const char* SChangeWhileActive = "Can't change value while socket is active";

// Messages of the wrapper's notification window.
inline constexpr UINT WM_SOCKET_NOTIFY = WM_USER + 1;
inline constexpr UINT WM_SOCKET_LOOKUP_DONE = WM_USER + 3;

enum class TSocketEventKind {
    skLookup,
    skConnecting,
    skConnect,
    skDisconnect,
    skListen,
    skAccept,
    skWrite,
    skRead
};
using enum TSocketEventKind;

enum class TErrorEvent { errGeneral, errSend, errReceive, errConnect, errDisconnect, errAccept };
using enum TErrorEvent;

enum class TLookupStep { lkIdle, lkAddress, lkService };
using enum TLookupStep;

enum class TClientType { ctNonBlocking, ctBlocking };
using enum TClientType;

// The notification mask: bit n of the set is the platform's network event bit 1 << n.
enum class TNetworkEvent { neRead, neWrite, neOOB, neAccept, neConnect, neClose };
using enum TNetworkEvent;
using TNetworkEvents = TSet<TNetworkEvent>;
inline constexpr TNetworkEvents DefaultNotifyMask{neRead, neWrite, neConnect, neClose}; // 0x33

class TCustomWinSocket;

using TSocketEventHook =
    std::function<void(TObject* Sender, TCustomWinSocket* Socket, TSocketEventKind Kind)>;
using TSocketErrorEvent = std::function<void(TObject* Sender, TCustomWinSocket* Socket,
                                             TErrorEvent ErrorEvent, int& ErrorCode)>;
using TSocketNotifyEvent = std::function<void(TObject* Sender, TCustomWinSocket* Socket)>;

// The text of the socket error message for a platform error code: the system's message with
// trailing control characters, blanks and full stops removed.
std::string SocketErrorText(int ErrorCode);

class TCustomWinSocket : public TObject {
public:
    explicit TCustomWinSocket(SOCKET Handle);
    ~TCustomWinSocket() override;
    TCustomWinSocket(const TCustomWinSocket&) = delete;
    TCustomWinSocket& operator=(const TCustomWinSocket&) = delete;
    std::string ClassName() const override { return "TCustomWinSocket"; }

    void OpenClient(const std::string& Host, const std::string& Address, const std::string& Service,
                    WORD Port, bool Blocking);
    // Receives up to Count bytes; Count -1 returns the number of bytes waiting instead.
    int ReceiveBytes(void* Buffer, int Count);
    void CloseConnection();
    // Cancels a pending lookup, and closes the socket when Handle is its own.
    virtual void DropConnection(SOCKET Handle);
    void SetNotifyMask(TNetworkEvents Mask);
    HWND GetNotifyWindow();

    virtual void RaiseSocketEvent(TCustomWinSocket* Socket, TSocketEventKind Kind);
    virtual void RaiseSocketError(TCustomWinSocket* Socket, TErrorEvent ErrorEvent, int& ErrorCode);

    SOCKET SocketHandle() const { return FSocketHandle; }
    bool IsOpen() const { return FIsOpen; }
    HWND NotifyWindow() const { return FNotifyWindow; }
    const SOCKADDR_IN& TargetAddress() const { return FTargetAddress; }
    TNetworkEvents NotifyMask() const { return FNotifyMask; }
    TLookupStep LookupStep() const { return FLookupStep; }
    HANDLE LookupRequest() const { return FLookupRequest; }

    // Installed by the owner by assignment.
    TSocketEventHook EventHook;
    TSocketErrorEvent ErrorHook;

protected:
    virtual void AcceptReady(SOCKET Handle);
    virtual void ConnectReady(SOCKET Handle);
    virtual void ReadReady(SOCKET Handle);
    virtual void WriteReady(SOCKET Handle);

    void AcquireStateLock();
    void ReleaseStateLock();
    void SetOpen(bool Value) { FIsOpen = Value; }

private:
    LRESULT NotifyWindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
    void HandleSocketNotify(WPARAM WParam, LPARAM LParam);
    void HandleLookupDone(WPARAM WParam, LPARAM LParam);
    void ResolveStep(const std::string& Host, const std::string& Address,
                     const std::string& Service, WORD Port);
    void ResolveSteps(const std::string& Host, const std::string& Address,
                      const std::string& Service, WORD Port);
    void BuildAddress(const std::string& Host, const std::string& Address,
                      const std::string& Service, WORD Port, SOCKADDR_IN& Target);
    void BeginConnect();
    void ApplyNotifyMask();
    void ResetTargetAddress();
    char* EnsureLookupBuffer();

    SOCKET FSocketHandle;
    bool FIsOpen;
    HWND FNotifyWindow = nullptr;
    SOCKADDR_IN FTargetAddress{};
    TNetworkEvents FNotifyMask = DefaultNotifyMask;
    TLookupStep FLookupStep = lkIdle;
    HANDLE FLookupRequest = nullptr;
    std::unique_ptr<TCriticalSection> FStateLock;
    std::unique_ptr<char[]> FLookupBuffer;
    std::string FPendingService;
    WORD FPendingPort = 0;
    SOCKET FAnnouncedClose = INVALID_SOCKET; // the socket whose skDisconnect is under way
};

class TClientWinSocket : public TCustomWinSocket {
public:
    explicit TClientWinSocket(SOCKET Handle) : TCustomWinSocket(Handle) {}
    std::string ClassName() const override { return "TClientWinSocket"; }

    TClientType ClientType() const { return FClientType; }
    void SetClientType(TClientType Value);

protected:
    void ConnectReady(SOCKET Handle) override;

private:
    TClientType FClientType = ctNonBlocking;
};

class TAbstractSocket : public TComponent {
public:
    explicit TAbstractSocket(TComponent* AOwner) : TComponent(AOwner) {}
    std::string ClassName() const override { return "TAbstractSocket"; }

    bool Active() const { return FActive; }
    void SetActive(bool Value);
    const std::string& Address() const { return FAddress; }
    void SetAddress(const std::string& Value);
    const std::string& Host() const { return FHost; }
    void SetHost(const std::string& Value);
    const std::string& Service() const { return FService; }
    void SetService(const std::string& Value);
    int Port() const { return FPort; }
    void SetPort(int Value);

protected:
    virtual void SocketEvent(TCustomWinSocket* Socket, TSocketEventKind Kind) = 0;
    virtual void SocketError(TCustomWinSocket* Socket, TErrorEvent ErrorEvent, int& ErrorCode) = 0;
    virtual void ApplyActive(bool Value) = 0;
    void Loaded() override;

    bool IsLoading() const { return ComponentState().Contains(csLoading); }
    bool IsDesigning() const { return ComponentState().Contains(csDesigning); }
    // The wrapper's hooks lead to the two operations above.
    void AttachWinSocket(TCustomWinSocket* Wrapper);
    void WinSocketEventHook(TObject* Sender, TCustomWinSocket* Socket, TSocketEventKind Kind);
    void WinSocketErrorHook(TObject* Sender, TCustomWinSocket* Socket, TErrorEvent ErrorEvent,
                            int& ErrorCode);

    bool FActive = false;
    int FPort = 0;
    std::string FAddress;
    std::string FHost;
    std::string FService;

private:
    void SetText(std::string& Field, const std::string& Value);
};

class TCustomSocket : public TAbstractSocket {
public:
    using TAbstractSocket::TAbstractSocket;
    std::string ClassName() const override { return "TCustomSocket"; }

    TSocketNotifyEvent OnLookup;
    TSocketNotifyEvent OnConnect;
    TSocketNotifyEvent OnConnecting;
    TSocketNotifyEvent OnDisconnect;
    TSocketNotifyEvent OnRead;
    TSocketNotifyEvent OnWrite;
    TSocketErrorEvent OnError;

protected:
    void SocketEvent(TCustomWinSocket* Socket, TSocketEventKind Kind) override;
    void SocketError(TCustomWinSocket* Socket, TErrorEvent ErrorEvent, int& ErrorCode) override;
};

class TClientSocket : public TCustomSocket {
public:
    explicit TClientSocket(TComponent* AOwner);
    ~TClientSocket() override;
    std::string ClassName() const override { return "TClientSocket"; }

    TClientWinSocket* WinSocket() const { return FWinSocket.get(); }
    TClientType ClientType() const { return FWinSocket->ClientType(); }
    void SetClientType(TClientType Value) { FWinSocket->SetClientType(Value); }
    void Deactivate() { SetActive(false); }

protected:
    void ApplyActive(bool Value) override;

private:
    std::unique_ptr<TClientWinSocket> FWinSocket;
};
