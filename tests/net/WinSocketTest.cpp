// The socket wrapper on its own: receiving, closing, stray notifications, message texts.

#include "tests/net/SocketFixture.h"
#include "tests/platform/winsock/LoopbackPeer.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

using Log = std::vector<std::string>;

class WinSocket : public SocketFixture {
protected:
    TClientWinSocket* Wrapper() { return client->WinSocket(); }
};

TEST_F(WinSocket, ReceiveBytesCountsWaitingBytesWithMinusOneAndReadsNothing) {
    loopback::Server server;
    std::vector<int> waiting;
    std::string data;
    client->OnRead = [&](TObject*, TCustomWinSocket* Socket) {
        waiting.push_back(Socket->ReceiveBytes(nullptr, -1));
        char buffer[64];
        const int n = Socket->ReceiveBytes(buffer, sizeof buffer);
        if (n > 0)
            data.append(buffer, n);
    };
    ConnectTo(server.Port());
    ASSERT_TRUE(WaitForLog("connect"));
    ASSERT_TRUE(server.Accept());
    ASSERT_TRUE(server.Send("twelve bytes"));
    ASSERT_TRUE(testsupport::PumpUntil([&] { return data.size() == 12; }));
    EXPECT_EQ(waiting.at(0), 12);
    EXPECT_EQ(data, "twelve bytes");

    client->SetActive(false);
    char buffer[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(Wrapper()->ReceiveBytes(buffer, sizeof buffer), 0);
    EXPECT_EQ(Wrapper()->ReceiveBytes(buffer, -1), 0);
    EXPECT_EQ(buffer[0], 'x');
}

TEST_F(WinSocket, ReadEventWithNothingToReadReturnsMinusOneQuietly) {
    loopback::Server server;
    LogErrors();
    ConnectTo(server.Port());
    ASSERT_TRUE(WaitForLog("write"));
    // A read notification that finds the data already gone.
    SendMessage(Wrapper()->NotifyWindow(), WM_SOCKET_NOTIFY, Wrapper()->SocketHandle(), FD_READ);
    char buffer[16];
    EXPECT_EQ(Wrapper()->ReceiveBytes(buffer, sizeof buffer), -1);
    EXPECT_TRUE(client->Active());
    EXPECT_EQ(log, (Log{"lookup", "connecting", "connect", "write", "read"}));
    EXPECT_TRUE(shown.empty());
}

TEST_F(WinSocket, NotificationsForAnotherHandleAreIgnoredExceptConnect) {
    loopback::Server server;
    ConnectTo(server.Port());
    ASSERT_TRUE(WaitForLog("write"));
    const HWND window = Wrapper()->NotifyWindow();
    const SOCKET stranger = Wrapper()->SocketHandle() + 4;
    log.clear();
    SendMessage(window, WM_SOCKET_NOTIFY, stranger, FD_READ);
    SendMessage(window, WM_SOCKET_NOTIFY, stranger, FD_WRITE);
    SendMessage(window, WM_SOCKET_NOTIFY, stranger, FD_CLOSE);
    SendMessage(window, WM_SOCKET_NOTIFY, stranger, 0x40); // not an event of this version
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(client->Active());
    SendMessage(window, WM_SOCKET_NOTIFY, stranger, FD_CONNECT);
    EXPECT_EQ(log, (Log{"connect"}));
    // Another window message goes to the default procedure.
    EXPECT_EQ(SendMessage(window, WM_USER + 2, 0, 0), 0);
}

TEST_F(WinSocket, ErrorOnAnUnknownEventIsAGeneralError) {
    LogErrors();
    SendMessage(Wrapper()->GetNotifyWindow(), WM_SOCKET_NOTIFY, 0, WSAMAKESELECTREPLY(0x40, 10050));
    EXPECT_EQ(log, (Log{"error 0 10050", "shown"}));
    EXPECT_EQ(shown, (Log{"Asynchronous socket error 10050"}));
}

TEST_F(WinSocket, ReceiveFailureReachesTheHookAndClosesWhateverTheHookDecides) {
    loopback::Server server;
    LogErrors(0);
    ConnectTo(server.Port());
    ASSERT_TRUE(WaitForLog("write"));
    // A negative count other than -1 is refused by the platform.
    char buffer[4];
    EXPECT_EQ(Wrapper()->ReceiveBytes(buffer, -2), -1);
    EXPECT_EQ(log,
              (Log{"lookup", "connecting", "connect", "write", "error 2 10014", "disconnect"}));
    EXPECT_FALSE(client->Active());

    // Without the code cleared the "recv" message follows the close.
    log.clear();
    LogErrors();
    client->SetActive(true);
    ASSERT_TRUE(WaitForLog("write"));
    try {
        Wrapper()->ReceiveBytes(buffer, -2);
        ADD_FAILURE() << "no exception";
    } catch (const ESocketError& e) {
        EXPECT_EQ(e.Message(), "Windows socket error: The system detected an invalid pointer "
                               "address in attempting to use a pointer argument in a call "
                               "(10014), on API 'recv'");
    }
    EXPECT_EQ(log.back(), "disconnect");
}

TEST_F(WinSocket, DropConnectionOfNoSocketStillCancelsTheLookup) {
    client->SetHost("localhost");
    client->SetPort(1236);
    client->SetActive(true);
    ASSERT_NE(Wrapper()->LookupRequest(), nullptr);
    const SOCKET socket = Wrapper()->SocketHandle();
    log.clear();
    Wrapper()->DropConnection(INVALID_SOCKET);
    EXPECT_EQ(Wrapper()->LookupRequest(), nullptr);
    EXPECT_EQ(Wrapper()->LookupStep(), lkIdle);
    EXPECT_EQ(Wrapper()->SocketHandle(), socket);
    EXPECT_TRUE(log.empty());
    // The answer of the cancelled lookup never arrives, so nothing connects.
    const HANDLE stale = reinterpret_cast<HANDLE>(12345);
    SendMessage(Wrapper()->NotifyWindow(), WM_SOCKET_LOOKUP_DONE, reinterpret_cast<WPARAM>(stale),
                0);
    EXPECT_TRUE(log.empty());
    Wrapper()->CloseConnection();
    EXPECT_EQ(log, (Log{"disconnect"}));
}

TEST_F(WinSocket, DisconnectHandlerThatClosesAgainDoesNotFailTheClose) {
    loopback::Server server;
    client->OnDisconnect = [this](TObject*, TCustomWinSocket* Socket) {
        log.push_back("disconnect");
        Socket->CloseConnection(); // re-entered on the same thread: the lock is recursive
    };
    ConnectTo(server.Port());
    ASSERT_TRUE(WaitForLog("connect"));
    EXPECT_NO_THROW(client->SetActive(false));
    EXPECT_EQ(Wrapper()->SocketHandle(), INVALID_SOCKET);
    EXPECT_EQ(std::count(log.begin(), log.end(), "disconnect"), 1);
}

TEST_F(WinSocket, OpenTwiceIsRefused) {
    loopback::Server server;
    ConnectTo(server.Port());
    ASSERT_TRUE(WaitForLog("connect"));
    try {
        Wrapper()->OpenClient("", "127.0.0.1", "", server.Port(), false);
        ADD_FAILURE() << "no exception";
    } catch (const ESocketError& e) {
        EXPECT_EQ(e.Message(), "Socket already open");
    }
    EXPECT_TRUE(client->Active());
}

TEST_F(WinSocket, TargetAddressIsResetByTheClose) {
    loopback::Server server;
    ConnectTo(server.Port());
    ASSERT_TRUE(WaitForLog("connect"));
    EXPECT_EQ(Wrapper()->TargetAddress().sin_addr.s_addr, inet_addr("127.0.0.1"));
    client->SetActive(false);
    EXPECT_EQ(Wrapper()->TargetAddress().sin_family, AF_INET);
    EXPECT_EQ(Wrapper()->TargetAddress().sin_port, 0);
    EXPECT_EQ(Wrapper()->TargetAddress().sin_addr.s_addr, 0u);
}

TEST(SocketErrorText, DropsTrailingBlanksAndFullStops) {
    EXPECT_EQ(SocketErrorText(10054),
              "An existing connection was forcibly closed by the remote host");
    EXPECT_EQ(SocketErrorText(10060),
              "A connection attempt failed because the connected party did not properly respond "
              "after a period of time, or established connection failed because connected host "
              "has failed to respond");
    EXPECT_EQ(SocketErrorText(99999), "");
}

} // namespace
