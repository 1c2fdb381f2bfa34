// The client socket component: its events in order, its error convention, its properties.

#include "tests/net/SocketFixture.h"
#include "tests/platform/winsock/LoopbackPeer.h"

#include <string>
#include <vector>

namespace {

using Log = std::vector<std::string>;

class ClientSocket : public SocketFixture {};

TEST_F(ClientSocket, ConnectReadAndOrderlyCloseByThePeer) {
    loopback::Server server;
    client->OnRead = [this](TObject*, TCustomWinSocket* Socket) {
        char buffer[2048];
        const int n = Socket->ReceiveBytes(buffer, sizeof buffer);
        log.push_back("read " + std::string(buffer, n > 0 ? n : 0));
    };
    LogErrors();
    ConnectTo(server.Port());
    // A dotted address needs no lookup: both events come inside the setter.
    EXPECT_EQ(log, (Log{"lookup", "connecting"}));
    EXPECT_FALSE(client->Active());

    ASSERT_TRUE(WaitForLog("write"));
    EXPECT_TRUE(client->Active());
    ASSERT_TRUE(server.Accept());
    ASSERT_TRUE(server.Send("station"));
    ASSERT_TRUE(WaitForLog("read station"));
    server.CloseOrderly();
    ASSERT_TRUE(WaitForLog("disconnect"));
    EXPECT_EQ(log, (Log{"lookup", "connecting", "connect", "write", "read station", "disconnect"}));
    EXPECT_FALSE(client->Active());
    EXPECT_EQ(client->WinSocket()->SocketHandle(), INVALID_SOCKET);
    EXPECT_TRUE(shown.empty());
}

TEST_F(ClientSocket, RefusedConnectionIsAnErrorUntilTheHandlerClosesTheSocket) {
    LogErrors(0);
    client->OnError = [this](TObject*, TCustomWinSocket* Socket, TErrorEvent ErrorEvent,
                             int& ErrorCode) {
        log.push_back("error " + std::to_string(static_cast<int>(ErrorEvent)) + " " +
                      std::to_string(ErrorCode));
        ErrorCode = 0;
        EXPECT_FALSE(client->Active());
        // The wrapper still holds the socket of the failed attempt.
        EXPECT_NE(Socket->SocketHandle(), INVALID_SOCKET);
        if (ErrorEvent == errConnect)
            Socket->CloseConnection();
    };
    ConnectTo(loopback::UnusedPort());
    ASSERT_TRUE(WaitForLog("disconnect"));
    EXPECT_EQ(log, (Log{"lookup", "connecting", "error 3 10061", "disconnect"}));
    EXPECT_FALSE(client->Active());
    EXPECT_EQ(client->WinSocket()->SocketHandle(), INVALID_SOCKET);
    EXPECT_TRUE(shown.empty());

    // The component can try again.
    loopback::Server server;
    client->SetPort(server.Port());
    client->SetActive(true);
    ASSERT_TRUE(WaitForLog("connect"));
}

TEST_F(ClientSocket, WithoutAnErrorHandlerEveryReportedErrorRaises) {
    ConnectTo(loopback::UnusedPort());
    ASSERT_TRUE(WaitForLog("shown"));
    EXPECT_EQ(shown, (Log{"Asynchronous socket error 10061"}));
    EXPECT_FALSE(Logged("connect"));
    EXPECT_FALSE(client->Active());
}

TEST_F(ClientSocket, ResetByThePeerReachesOnlyTheErrorHandler) {
    loopback::Server server;
    LogErrors(0);
    ConnectTo(server.Port());
    ASSERT_TRUE(WaitForLog("write"));
    ASSERT_TRUE(server.Accept());
    server.Reset();
    ASSERT_TRUE(WaitForLog("error 4 10054"));
    testsupport::PumpPending();
    EXPECT_EQ(log, (Log{"lookup", "connecting", "connect", "write", "error 4 10054"}));
    // With the code cleared nothing else happens: the connection is still taken as open.
    EXPECT_TRUE(client->Active());
    EXPECT_TRUE(shown.empty());
    client->SetActive(false);
    EXPECT_EQ(log.back(), "disconnect");
}

TEST_F(ClientSocket, ResetWithTheCodeLeftRaisesTheAsynchronousError) {
    loopback::Server server;
    LogErrors();
    ConnectTo(server.Port());
    ASSERT_TRUE(WaitForLog("write"));
    ASSERT_TRUE(server.Accept());
    server.Reset();
    ASSERT_TRUE(WaitForLog("shown"));
    EXPECT_EQ(shown, (Log{"Asynchronous socket error 10054"}));
}

// However soon the station resets, the owner hears of a connection and then of its reset; an
// error handler that closes (as the monitor's does) then gets the disconnect event.
TEST_F(ClientSocket, ResetRightAfterTheAcceptIsReportedLikeAResetMidStream) {
    client->OnError = [this](TObject*, TCustomWinSocket* Socket, TErrorEvent ErrorEvent,
                             int& ErrorCode) {
        log.push_back("error " + std::to_string(static_cast<int>(ErrorEvent)) + " " +
                      std::to_string(ErrorCode));
        ErrorCode = 0;
        Socket->CloseConnection();
    };
    for (const bool atOnce : {false, true}) {
        SCOPED_TRACE(atOnce ? "right after the accept" : "mid-stream");
        log.clear();
        loopback::Server server;
        ConnectTo(server.Port());
        if (!atOnce) {
            ASSERT_TRUE(WaitForLog("write"));
        }
        ASSERT_TRUE(server.Accept());
        server.Reset();
        ASSERT_TRUE(WaitForLog("disconnect"));
        testsupport::PumpPending();
        EXPECT_EQ(log,
                  (Log{"lookup", "connecting", "connect", "write", "error 4 10054", "disconnect"}));
        EXPECT_FALSE(client->Active());
        EXPECT_EQ(client->WinSocket()->SocketHandle(), INVALID_SOCKET);
        EXPECT_TRUE(shown.empty());
    }
}

TEST_F(ClientSocket, ResetRightAfterTheAcceptDeliversTheDataBeforeItThenRaises) {
    loopback::Server server;
    client->OnRead = [this](TObject*, TCustomWinSocket* Socket) {
        char buffer[64];
        const int n = Socket->ReceiveBytes(buffer, sizeof buffer);
        log.push_back("read " + std::string(buffer, n > 0 ? n : 0));
    };
    LogErrors();
    ConnectTo(server.Port());
    ASSERT_TRUE(server.Accept());
    ASSERT_TRUE(server.Send("0110"));
    server.Reset();
    ASSERT_TRUE(WaitForLog("shown"));
    testsupport::PumpPending();
    EXPECT_EQ(log, (Log{"lookup", "connecting", "connect", "write", "read 0110", "error 4 10054",
                        "shown"}));
    EXPECT_EQ(shown, (Log{"Asynchronous socket error 10054"}));
    // As for a reset mid-stream: the raised error leaves the connection to its owner.
    EXPECT_TRUE(client->Active());
}

TEST_F(ClientSocket, NoAddressIsRaisedOutOfTheSetterAfterTheDisconnectEvent) {
    client->SetPort(1236);
    try {
        client->SetActive(true);
        FAIL() << "no exception";
    } catch (const ESocketError& e) {
        EXPECT_EQ(e.Message(), "No address specified");
    }
    EXPECT_EQ(log, (Log{"lookup", "disconnect"}));
    EXPECT_FALSE(client->Active());
    EXPECT_EQ(client->WinSocket()->SocketHandle(), INVALID_SOCKET);
}

TEST_F(ClientSocket, RefusedDestinationsAreRaisedNamingConnect) {
    struct Case {
        const char* address;
        const char* message;
    };
    const Case cases[] = {
        {"not an address", "Windows socket error: The requested address is not valid in its "
                           "context (10049), on API 'connect'"},
        {"0.0.0.0", "Windows socket error: The requested address is not valid in its context "
                    "(10049), on API 'connect'"},
    };
    client->SetPort(1236);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        log.clear();
        client->SetAddress(c.address);
        try {
            client->SetActive(true);
            ADD_FAILURE() << "no exception";
        } catch (const ESocketError& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
        EXPECT_EQ(log, (Log{"lookup", "connecting", "disconnect"}));
        EXPECT_FALSE(client->Active());
    }
}

TEST_F(ClientSocket, HostAndServiceAreLookedUpBeforeConnecting) {
    // A port that has a service name in the system's table and is free here.
    loopback::Server probe;
    std::string serviceName;
    int listener = -1;
    for (const char* name : {"http-alt", "webcache", "tproxy", "mysql", "postgresql", "x11"}) {
        const SERVENT* service = getservbyname(name, "tcp");
        if (!service)
            continue;
        listener = loopback::ListenOn(ntohs(static_cast<u_short>(service->s_port)));
        if (listener >= 0) {
            serviceName = name;
            break;
        }
    }
    if (listener < 0)
        GTEST_SKIP() << "no named service port is free on this machine";

    client->SetHost("localhost");
    client->SetAddress("127.0.0.3"); // ignored: Host wins
    client->SetService(serviceName);
    client->SetPort(1); // ignored: Service wins
    client->SetActive(true);
    EXPECT_EQ(log, (Log{"lookup"}));
    EXPECT_EQ(client->WinSocket()->LookupStep(), lkAddress);
    ASSERT_TRUE(WaitForLog("connect"));
    EXPECT_EQ(Log(log.begin(), log.begin() + 3), (Log{"lookup", "connecting", "connect"}));
    loopback::CloseRaw(listener);
}

TEST_F(ClientSocket, FailedLookupsDropTheSocketAndRaiseWithoutTheErrorHandler) {
    LogErrors(0);
    client->SetHost("no-such-host.invalid");
    client->SetPort(1236);
    client->SetActive(true);
    ASSERT_TRUE(WaitForLog("shown"));
    EXPECT_EQ(log, (Log{"lookup", "disconnect", "shown"}));
    EXPECT_EQ(shown,
              (Log{"Windows socket error: No such host is known (11001), on API 'ASync Lookup'"}));
    EXPECT_EQ(client->WinSocket()->LookupStep(), lkIdle);

    log.clear();
    shown.clear();
    client->SetHost("");
    client->SetAddress("127.0.0.1");
    client->SetService("no-such-service");
    client->SetActive(true);
    ASSERT_TRUE(WaitForLog("shown"));
    EXPECT_EQ(log, (Log{"lookup", "disconnect", "shown"}));
    EXPECT_EQ(shown, (Log{"Windows socket error: The requested name is valid, but no data of the "
                          "requested type was found (11004), on API 'ASync Lookup'"}));
}

TEST_F(ClientSocket, BlockingClientConnectsInsideTheSetter) {
    loopback::Server server;
    client->SetClientType(ctBlocking);
    EXPECT_TRUE(client->WinSocket()->NotifyMask().Empty());
    ConnectTo(server.Port());
    EXPECT_EQ(log, (Log{"lookup", "connecting", "connect"}));
    EXPECT_TRUE(client->Active());
    ASSERT_TRUE(server.Accept());
    ASSERT_TRUE(server.Send("abc"));
    char buffer[8];
    EXPECT_EQ(client->WinSocket()->ReceiveBytes(buffer, sizeof buffer), 3);
    EXPECT_EQ(std::string(buffer, 3), "abc");
    EXPECT_THROW(client->SetClientType(ctNonBlocking), ESocketError);
    client->SetActive(false);
    EXPECT_EQ(log.back(), "disconnect");
    EXPECT_TRUE(server.WaitForEndOfStream());

    // A refused blocking connect raises out of the setter, after the disconnect event.
    log.clear();
    client->SetPort(loopback::UnusedPort());
    try {
        client->SetActive(true);
        ADD_FAILURE() << "no exception";
    } catch (const ESocketError& e) {
        EXPECT_EQ(e.Message(), "Windows socket error: No connection could be made because the "
                               "target machine actively refused it (10061), on API 'connect'");
    }
    EXPECT_EQ(log, (Log{"lookup", "connecting", "disconnect"}));
    client->SetClientType(ctNonBlocking);
    EXPECT_EQ(client->WinSocket()->NotifyMask().Bits(), 0x33u);
}

TEST_F(ClientSocket, PropertiesCannotChangeWhileActive) {
    loopback::Server server;
    ConnectTo(server.Port());
    ASSERT_TRUE(WaitForLog("write"));
    const std::string expected = "Can't change value while socket is active";
    auto expectRefused = [&](const std::function<void()>& change) {
        try {
            change();
            ADD_FAILURE() << "no exception";
        } catch (const ESocketError& e) {
            EXPECT_EQ(e.Message(), expected);
        }
    };
    expectRefused([&] { client->SetAddress("127.0.0.2"); });
    expectRefused([&] { client->SetHost("localhost"); });
    expectRefused([&] { client->SetService("http"); });
    expectRefused([&] { client->SetPort(server.Port() + 1); });
    expectRefused([&] { client->SetClientType(ctBlocking); });
    EXPECT_EQ(client->Address(), "127.0.0.1");
    EXPECT_EQ(client->Port(), server.Port());
    EXPECT_EQ(client->ClientType(), ctNonBlocking);
    // The same value is no change, whatever the letter case; the stored text keeps its case.
    client->SetPort(server.Port());
    client->SetAddress("127.0.0.1");
    client->SetActive(true);
    EXPECT_EQ(log, (Log{"lookup", "connecting", "connect", "write"}));
}

TEST(ClientSocketProperties, LetterCaseRuleFoldsOnlyAsciiLetters) {
    TClientSocket client(nullptr);
    client.SetHost("Station-One");
    client.SetHost("STATION-one");
    EXPECT_EQ(client.Host(), "Station-One");
    client.SetService("\xC4rger"); // an 8-bit letter is not folded
    client.SetService("\xE4rger");
    EXPECT_EQ(client.Service(), "\xE4rger");
    client.SetAddress("a");
    client.SetAddress("ab");
    EXPECT_EQ(client.Address(), "ab");
    // Only the low 16 bits of Port reach the connection; the property keeps all of them.
    client.SetPort(65536 + 80);
    EXPECT_EQ(client.Port(), 65616);
}

TEST_F(ClientSocket, PortBeyondSixteenBitsConnectsToItsLowBits) {
    loopback::Server server;
    client->SetAddress("127.0.0.1");
    client->SetPort(0x10000 + server.Port());
    client->SetActive(true);
    ASSERT_TRUE(WaitForLog("connect"));
    EXPECT_EQ(ntohs(client->WinSocket()->TargetAddress().sin_port), server.Port());
}

TEST_F(ClientSocket, ActiveFromFormDataConnectsOnceLoaded) {
    loopback::Server server;
    client->BeginLoading();
    client->SetActive(true);
    client->SetAddress("127.0.0.1");
    client->SetPort(server.Port());
    EXPECT_TRUE(client->Active()); // stored while loading, nothing opened yet
    EXPECT_TRUE(log.empty());
    client->EndReading();
    client->FinishLoading();
    EXPECT_EQ(log, (Log{"lookup", "connecting"}));
    ASSERT_TRUE(WaitForLog("connect"));

    // False in form data: nothing happens at load.
    TClientSocket idle(nullptr);
    bool looked = false;
    idle.OnLookup = [&](TObject*, TCustomWinSocket*) { looked = true; };
    idle.BeginLoading();
    idle.SetActive(false);
    idle.SetAddress("127.0.0.1");
    idle.EndReading();
    idle.FinishLoading();
    EXPECT_FALSE(looked);
    EXPECT_EQ(idle.WinSocket()->SocketHandle(), INVALID_SOCKET);
}

TEST_F(ClientSocket, DestroyedWhileConnectedClosesWithoutTheDisconnectEvent) {
    loopback::Server server;
    ConnectTo(server.Port());
    ASSERT_TRUE(WaitForLog("connect"));
    ASSERT_TRUE(server.Accept());
    client.reset();
    EXPECT_FALSE(Logged("disconnect"));
    EXPECT_TRUE(server.WaitForEndOfStream());
}

TEST_F(ClientSocket, ActiveFalseWhilePendingDoesNothingAndANewAttemptReplacesTheOld) {
    loopback::Server server;
    ConnectTo(server.Port());
    client->SetActive(false); // Active is still false: no change
    EXPECT_EQ(log, (Log{"lookup", "connecting"}));
    const SOCKET first = client->WinSocket()->SocketHandle();
    client->SetActive(true); // a second attempt; the first socket is closed silently
    EXPECT_NE(client->WinSocket()->SocketHandle(), first);
    ASSERT_TRUE(WaitForLog("connect"));
    ASSERT_TRUE(server.Accept());
    ASSERT_TRUE(server.Accept());
    // One of the two connections was closed by the client without a word to the owner.
    testsupport::PumpPending();
    EXPECT_EQ(log, (Log{"lookup", "connecting", "lookup", "connecting", "connect", "write"}));
}

TEST_F(ClientSocket, DestroyedWhilePendingOrResolvingLeavesNothingBehind) {
    loopback::Server server;
    ConnectTo(server.Port());
    client.reset(); // pending connect

    client = std::make_unique<TClientSocket>(nullptr);
    client->OnConnect = Logger("connect");
    client->SetHost("localhost");
    client->SetPort(server.Port());
    client->SetActive(true); // lookup under way
    client.reset();
    // Neither the late connect nor the lookup answer reaches anything.
    loopback::Server sentinel;
    auto other = std::make_unique<TClientSocket>(nullptr);
    bool connected = false;
    other->OnConnect = [&](TObject*, TCustomWinSocket*) { connected = true; };
    other->SetAddress("127.0.0.1");
    other->SetPort(sentinel.Port());
    other->SetActive(true);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return connected; }));
    EXPECT_FALSE(Logged("connect"));
    EXPECT_TRUE(shown.empty());
}

TEST_F(ClientSocket, UnansweredConnectTimesOutInEitherClientType) {
    // A listener with a full backlog leaves further connection requests unanswered.
    loopback::Server server(0);
    for (int i = 0; i < 4; ++i)
        server.ConnectRaw();
    struct RestoreTimeout {
        std::chrono::milliseconds previous = SetConnectTimeout(std::chrono::milliseconds(300));
        ~RestoreTimeout() { SetConnectTimeout(previous); }
    } restore;

    LogErrors(0);
    ConnectTo(server.Port());
    ASSERT_TRUE(WaitForLog("error 3 10060"));
    EXPECT_FALSE(Logged("connect"));
    client->WinSocket()->CloseConnection();

    log.clear();
    client->SetClientType(ctBlocking);
    try {
        client->SetActive(true);
        ADD_FAILURE() << "no exception";
    } catch (const ESocketError& e) {
        EXPECT_EQ(e.Message(), "Windows socket error: A connection attempt failed because the "
                               "connected party did not properly respond after a period of time, "
                               "or established connection failed because connected host has "
                               "failed to respond (10060), on API 'connect'");
    }
    EXPECT_EQ(log, (Log{"lookup", "connecting", "disconnect"}));
}

} // namespace
