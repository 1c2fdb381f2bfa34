// The client socket component: connection settings as properties, and the wrapper's events
// and errors routed to the handler properties.

#include "framework/ClassRegistry.h"
#include "net/ScktComp.h"

namespace {

// Equal when letter case is ignored; only A-Z and a-z are folded.
bool SameAsciiText(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto fold = [](char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; };
        if (fold(a[i]) != fold(b[i]))
            return false;
    }
    return true;
}

} // namespace

void TAbstractSocket::SetActive(bool Value) {
    if (Value == FActive)
        return;
    // At run time Active follows the connection's events; only loading or design stores it.
    if (IsDesigning() || IsLoading())
        FActive = Value;
    if (!IsLoading())
        ApplyActive(Value);
}

void TAbstractSocket::Loaded() {
    TComponent::Loaded();
    ApplyActive(FActive);
}

void TAbstractSocket::SetText(std::string& Field, const std::string& Value) {
    if (SameAsciiText(Value, Field))
        return;
    if (!IsLoading() && FActive)
        throw ESocketError(SChangeWhileActive);
    Field = Value;
}

void TAbstractSocket::SetAddress(const std::string& Value) {
    SetText(FAddress, Value);
}

void TAbstractSocket::SetHost(const std::string& Value) {
    SetText(FHost, Value);
}

void TAbstractSocket::SetService(const std::string& Value) {
    SetText(FService, Value);
}

void TAbstractSocket::SetPort(int Value) {
    if (Value == FPort)
        return;
    if (!IsLoading() && FActive)
        throw ESocketError(SChangeWhileActive);
    FPort = Value;
}

void TAbstractSocket::AttachWinSocket(TCustomWinSocket* Wrapper) {
    Wrapper->EventHook = [this](TObject* Sender, TCustomWinSocket* Socket, TSocketEventKind Kind) {
        WinSocketEventHook(Sender, Socket, Kind);
    };
    Wrapper->ErrorHook = [this](TObject* Sender, TCustomWinSocket* Socket, TErrorEvent ErrorEvent,
                                int& ErrorCode) {
        WinSocketErrorHook(Sender, Socket, ErrorEvent, ErrorCode);
    };
}

void TAbstractSocket::WinSocketEventHook(TObject*, TCustomWinSocket* Socket,
                                         TSocketEventKind Kind) {
    SocketEvent(Socket, Kind);
}

void TAbstractSocket::WinSocketErrorHook(TObject*, TCustomWinSocket* Socket, TErrorEvent ErrorEvent,
                                         int& ErrorCode) {
    SocketError(Socket, ErrorEvent, ErrorCode);
}

namespace {

// A copy is called, so a handler may reassign its own property while it runs.
void Notify(const TSocketNotifyEvent& Handler, TObject* Sender, TCustomWinSocket* Socket) {
    if (Handler) {
        const TSocketNotifyEvent call = Handler;
        call(Sender, Socket);
    }
}

} // namespace

void TCustomSocket::SocketEvent(TCustomWinSocket* Socket, TSocketEventKind Kind) {
    switch (Kind) {
    case skLookup:
        Notify(OnLookup, this, Socket);
        break;
    case skConnecting:
        Notify(OnConnecting, this, Socket);
        break;
    case skConnect:
        FActive = true;
        Notify(OnConnect, this, Socket);
        break;
    case skDisconnect:
        FActive = false;
        Notify(OnDisconnect, this, Socket);
        break;
    case skListen:
        FActive = true;
        break;
    case skAccept:
        break;
    case skWrite:
        Notify(OnWrite, this, Socket);
        break;
    case skRead:
        Notify(OnRead, this, Socket);
        break;
    }
}

void TCustomSocket::SocketError(TCustomWinSocket* Socket, TErrorEvent ErrorEvent, int& ErrorCode) {
    if (OnError) {
        const TSocketErrorEvent call = OnError;
        call(this, Socket, ErrorEvent, ErrorCode);
    }
}

TClientSocket::TClientSocket(TComponent* AOwner) : TCustomSocket(AOwner) {
    FWinSocket = std::make_unique<TClientWinSocket>(INVALID_SOCKET);
    AttachWinSocket(FWinSocket.get());
}

TClientSocket::~TClientSocket() {
    // The wrapper clears its event hook before it closes, so no OnDisconnect is called now.
    FWinSocket.reset();
}

void TClientSocket::ApplyActive(bool Value) {
    if (Value == FWinSocket->IsOpen() || IsDesigning())
        return;
    if (FWinSocket->IsOpen())
        FWinSocket->DropConnection(FWinSocket->SocketHandle());
    else
        FWinSocket->OpenClient(FHost, FAddress, FService, static_cast<WORD>(FPort & 0xFFFF),
                               ClientType() == ctBlocking);
}

namespace {

// The published properties, in the order form data lists them. None has a default, so
// Active, ClientType and Port are always written; texts when not empty, handlers when set.
using namespace published;
const TClassRegistrar<TClientSocket> clientSocketClass(
    "TClientSocket", "TComponent",
    {Boolean<TClientSocket>("Active", &TClientSocket::Active, &TClientSocket::SetActive, NoDefault),
     String<TClientSocket>("Address", &TClientSocket::Address, &TClientSocket::SetAddress),
     Enum<TClientSocket>("ClientType", &TClientSocket::ClientType, &TClientSocket::SetClientType,
                         {"ctNonBlocking", "ctBlocking"}, NoDefault),
     String<TClientSocket>("Host", &TClientSocket::Host, &TClientSocket::SetHost),
     Integer<TClientSocket>("Port", &TClientSocket::Port, &TClientSocket::SetPort, NoDefault),
     String<TClientSocket>("Service", &TClientSocket::Service, &TClientSocket::SetService),
     Event<TClientSocket>("OnLookup", &TClientSocket::OnLookup),
     Event<TClientSocket>("OnConnecting", &TClientSocket::OnConnecting),
     Event<TClientSocket>("OnConnect", &TClientSocket::OnConnect),
     Event<TClientSocket>("OnDisconnect", &TClientSocket::OnDisconnect),
     Event<TClientSocket>("OnRead", &TClientSocket::OnRead),
     Event<TClientSocket>("OnWrite", &TClientSocket::OnWrite),
     Event<TClientSocket>("OnError", &TClientSocket::OnError)});

} // namespace
