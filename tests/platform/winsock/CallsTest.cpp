// The calls themselves: start-up, refused destinations, address text, message texts.

#include "tests/platform/winsock/LoopbackPeer.h"
#include "tests/platform/winsock/Recorder.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace {

TEST(Startup, IsReferenceCountedAndRequiredByEveryCall) {
    EXPECT_EQ(socket(AF_INET, SOCK_STREAM, 0), INVALID_SOCKET);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
    EXPECT_EQ(WSACleanup(), SOCKET_ERROR);

    WSADATA data;
    ASSERT_EQ(WSAStartup(0x0101, &data), 0);
    EXPECT_EQ(data.wVersion, 0x0101);
    ASSERT_EQ(WSAStartup(0x0101, &data), 0);
    EXPECT_EQ(WSACleanup(), 0);
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0); // still started once
    EXPECT_NE(s, INVALID_SOCKET);
    EXPECT_EQ(closesocket(s), 0);
    EXPECT_EQ(closesocket(s), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
    EXPECT_EQ(WSACleanup(), 0);
    EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
    EXPECT_EQ(WSAStartup(0x0000, &data), WSAVERNOTSUPPORTED);
}

class Destinations : public ::testing::Test {
protected:
    int ConnectTo(const char* address, bool nonBlocking) {
        s = socket(AF_INET, SOCK_STREAM, 0);
        if (nonBlocking)
            WSAAsyncSelect(s, recorder.Window(), kSocketMessage, FD_CONNECT);
        return Connect(s, Loopback(server.Port(), inet_addr(address)));
    }
    void TearDown() override { closesocket(s); }

    Networking networking;
    NotificationRecorder recorder;
    loopback::Server server;
    SOCKET s = INVALID_SOCKET;
};

TEST_F(Destinations, AnyAndBroadcastAreNotValidInEitherMode) {
    for (bool nonBlocking : {false, true}) {
        for (const char* address : {"0.0.0.0", "255.255.255.255", "not an address"}) {
            SCOPED_TRACE(address);
            EXPECT_EQ(ConnectTo(address, nonBlocking), SOCKET_ERROR);
            EXPECT_EQ(WSAGetLastError(), WSAEADDRNOTAVAIL);
            closesocket(s);
        }
    }
    // Nobody was connected to the listener, not even through 0.0.0.0 reaching this host.
    EXPECT_FALSE(server.Accept(std::chrono::milliseconds(0)));
}

// The guard's rule is checked on its own, never through connect: a test must not hand a
// destination outside this machine to a call that could reach the network. That connect
// applies the rule is shown by the 0.0.0.0 refusal above, which takes the same path.
TEST_F(Destinations, LoopbackGuardRefusesEverythingOutsideTheLoopbackNetwork) {
    ASSERT_TRUE(LoopbackOnly());
    for (const char* address :
         {"10.0.0.1", "192.168.1.20", "8.8.8.8", "128.0.0.1", "126.255.255.255"}) {
        SCOPED_TRACE(address);
        EXPECT_EQ(DestinationError(inet_addr(address)), WSAEACCES);
    }
    for (const char* address : {"127.0.0.1", "127.255.255.254"})
        EXPECT_EQ(DestinationError(inet_addr(address)), 0) << address;
    EXPECT_EQ(ConnectTo("127.0.0.1", false), 0);
    EXPECT_TRUE(server.Accept());
}

// The shared test main switches the guard on in code, so an environment that says "off" (or
// says nothing) cannot open the way out. Only the rule is checked here, never connect.
TEST(LoopbackGuard, StaysOnWhateverTheEnvironmentSays) {
    const char* const name = "KELVOR_LOOPBACK_ONLY";
    const char* saved = std::getenv(name);
    const std::optional<std::string> before =
        saved ? std::optional<std::string>(saved) : std::nullopt;
    for (const char* value : {"0", "", static_cast<const char*>(nullptr), "1"}) {
        SCOPED_TRACE(value ? value : "(unset)");
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
        EXPECT_TRUE(LoopbackOnly());
        EXPECT_EQ(DestinationError(inet_addr("10.0.0.1")), WSAEACCES);
        EXPECT_EQ(DestinationError(inet_addr("192.168.1.20")), WSAEACCES);
        EXPECT_EQ(DestinationError(inet_addr("127.0.0.1")), 0);
    }
    EnableLoopbackOnlyGuard(); // a second call changes nothing
    EXPECT_TRUE(LoopbackOnly());
    if (before)
        ::setenv(name, before->c_str(), 1);
    else
        ::unsetenv(name);
}

TEST(InetAddr, FollowsThePlatformsParsingRules) {
    struct Case {
        const char* text;
        DWORD expected; // as stored in memory, read as a little-endian number
    };
    const Case cases[] = {
        {"1.2.3.4", 0x04030201},
        {"1 2 3 4", 0x01000000},
        {"1.2.3. 4", INADDR_NONE},
        {"1.2.3 .4", 0x03000201},
        {"3.4.5.6.7", INADDR_NONE},
        {"3.4.5.6  7", 0x06050403},
        {" 3.4.5.6", INADDR_NONE},
        {"3.4.5.6 ", 0x06050403},
        {"1.2.3", 0x03000201},
        {".1.2.3", INADDR_NONE},
        {"", INADDR_NONE},
        {" ", 0},
        {"0xa1a2b3b4 ", 0xb4b3a2a1},
        {".", INADDR_NONE},
        {"127.127.127.256", INADDR_NONE},
        {"127.127.127.255:123", INADDR_NONE},
        {"1.2.3.0xaA", 0xaa030201},
        {"1.1.1.0x", INADDR_NONE},
        {"1.2.3.010", 0x08030201},
        {"1.2.3.0a", INADDR_NONE},
        {"1.1.1.-2", INADDR_NONE},
        {"a", INADDR_NONE},
        {"1234BEEF", INADDR_NONE},
        {"1", 0x01000000},
        {"1.2", 0x02000001},
        {"203569230", 0x4e38220c},
        {"0x00010203", 0x03020100},
        {"017700000001", 0x0100007f},
        {"0777", 0xff010000},
        {"255.255.255.255", 0xFFFFFFFF},
    };
    for (const auto& c : cases) {
        const DWORD result = inet_addr(c.text);
        const DWORD asLittleEndian = ntohl(result) >> 24 | (ntohl(result) >> 8 & 0xFF00) |
                                     (ntohl(result) << 8 & 0xFF0000) | ntohl(result) << 24;
        EXPECT_EQ(asLittleEndian, c.expected) << '"' << c.text << '"';
    }
    EXPECT_EQ(inet_addr(nullptr), INADDR_NONE);
}

TEST(MessageTable, GivesTheSystemTextWithALineEnd) {
    char buffer[256];
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, WSAECONNREFUSED, 0, buffer, sizeof buffer, nullptr);
    EXPECT_EQ(std::string(buffer, n),
              "No connection could be made because the target machine actively refused it.\r\n");
    // The loopback guard's refusal reads as the platform's access error.
    const DWORD m = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, WSAEACCES, 0, buffer,
                                   sizeof buffer, nullptr);
    EXPECT_EQ(std::string(buffer, m), "An attempt was made to access a socket in a way forbidden "
                                      "by its access permissions.\r\n");
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 12345, 0, buffer, sizeof buffer,
                             nullptr),
              0u);
    EXPECT_EQ(GetLastError(), ERROR_MR_MID_NOT_FOUND);
    char tiny[10];
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, WSAECONNRESET, 0, tiny,
                             sizeof tiny, nullptr),
              0u);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

} // namespace
