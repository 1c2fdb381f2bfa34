// Host and service lookups, blocking and answered by message.

#include "tests/platform/winsock/Recorder.h"
#include "tests/support/Pump.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

class Lookups : public ::testing::Test {
protected:
    bool WaitForAnswer(HANDLE request) {
        return testsupport::PumpUntil([&] { return Answer(request) != nullptr; });
    }
    const Received* Answer(HANDLE request) const {
        for (const auto& m : recorder.messages)
            if (m.msg == kLookupMessage && m.wParam == reinterpret_cast<WPARAM>(request))
                return &m;
        return nullptr;
    }

    Networking networking;
    NotificationRecorder recorder;
    char buffer[MAXGETHOSTSTRUCT] = {};
};

TEST_F(Lookups, HostAnswerIsAHostEntryInTheCallersBuffer) {
    HANDLE request = WSAAsyncGetHostByName(recorder.Window(), kLookupMessage, "localhost", buffer,
                                           sizeof buffer);
    ASSERT_NE(request, nullptr);
    ASSERT_TRUE(WaitForAnswer(request));
    const Received* answer = Answer(request);
    EXPECT_EQ(answer->high, 0);
    EXPECT_GT(answer->low, sizeof(HOSTENT));
    EXPECT_LE(answer->low, sizeof buffer);

    const auto* host = reinterpret_cast<const HOSTENT*>(buffer);
    EXPECT_EQ(host->h_addrtype, AF_INET);
    EXPECT_EQ(host->h_length, 4);
    ASSERT_NE(host->h_addr_list[0], nullptr);
    DWORD address;
    std::memcpy(&address, host->h_addr_list[0], 4);
    EXPECT_EQ(address, inet_addr("127.0.0.1"));
    // Everything the entry points to lies inside the buffer.
    EXPECT_GE(host->h_name, buffer);
    EXPECT_LT(host->h_name, buffer + answer->low);
}

TEST_F(Lookups, ServiceAnswerCarriesThePortInNetworkOrder) {
    HANDLE request = WSAAsyncGetServByName(recorder.Window(), kLookupMessage, "http", "tcp", buffer,
                                           sizeof buffer);
    ASSERT_TRUE(WaitForAnswer(request));
    EXPECT_EQ(Answer(request)->high, 0);
    const auto* service = reinterpret_cast<const SERVENT*>(buffer);
    EXPECT_EQ(ntohs(static_cast<u_short>(service->s_port)), 80);
    EXPECT_STREQ(service->s_name, "http");
    EXPECT_STREQ(service->s_proto, "tcp");
}

TEST_F(Lookups, FailuresArriveAsAnswersWithTheErrorCode) {
    // .invalid never resolves, and under the loopback guard no name server is asked.
    HANDLE host = WSAAsyncGetHostByName(recorder.Window(), kLookupMessage, "no-such-host.invalid",
                                        buffer, sizeof buffer);
    ASSERT_TRUE(WaitForAnswer(host));
    EXPECT_EQ(Answer(host)->high, WSAHOST_NOT_FOUND);
    EXPECT_EQ(Answer(host)->low, 0);

    HANDLE service = WSAAsyncGetServByName(recorder.Window(), kLookupMessage, "no-such-service",
                                           "tcp", buffer, sizeof buffer);
    ASSERT_TRUE(WaitForAnswer(service));
    EXPECT_EQ(Answer(service)->high, WSANO_DATA);

    // A buffer too small for the entry.
    char tiny[8];
    HANDLE cramped =
        WSAAsyncGetHostByName(recorder.Window(), kLookupMessage, "localhost", tiny, sizeof tiny);
    ASSERT_TRUE(WaitForAnswer(cramped));
    EXPECT_EQ(Answer(cramped)->high, WSAENOBUFS);
}

TEST_F(Lookups, CancelledRequestIsNeverAnsweredAndLeavesTheBufferAlone) {
    HANDLE cancelled = WSAAsyncGetHostByName(recorder.Window(), kLookupMessage, "localhost", buffer,
                                             sizeof buffer);
    ASSERT_EQ(WSACancelAsyncRequest(cancelled), 0);
    EXPECT_EQ(WSACancelAsyncRequest(cancelled), SOCKET_ERROR); // only once
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);

    char other[MAXGETHOSTSTRUCT];
    HANDLE later =
        WSAAsyncGetHostByName(recorder.Window(), kLookupMessage, "localhost", other, sizeof other);
    ASSERT_TRUE(WaitForAnswer(later));
    testsupport::PumpPending();
    EXPECT_EQ(Answer(cancelled), nullptr);
    EXPECT_EQ(recorder.messages.size(), 1u);
    for (char c : buffer)
        ASSERT_EQ(c, 0);
    // An answered request cannot be cancelled any more.
    EXPECT_EQ(WSACancelAsyncRequest(later), SOCKET_ERROR);
}

TEST_F(Lookups, AnswerForADestroyedWindowIsDropped) {
    HANDLE request;
    {
        NotificationRecorder shortLived;
        request = WSAAsyncGetHostByName(shortLived.Window(), kLookupMessage, "localhost", buffer,
                                        sizeof buffer);
        ASSERT_NE(request, nullptr);
    }
    HANDLE later = WSAAsyncGetHostByName(recorder.Window(), kLookupMessage, "localhost", buffer,
                                         sizeof buffer);
    ASSERT_TRUE(WaitForAnswer(later));
    EXPECT_EQ(Answer(request), nullptr);
}

TEST(BlockingLookups, ResolveLocallyAndReportFailures) {
    Networking networking;
    const HOSTENT* host = gethostbyname("localhost");
    ASSERT_NE(host, nullptr);
    DWORD address;
    std::memcpy(&address, host->h_addr_list[0], 4);
    EXPECT_EQ(address, inet_addr("127.0.0.1"));

    host = gethostbyname("127.0.0.5"); // dotted text is its own answer
    ASSERT_NE(host, nullptr);
    std::memcpy(&address, host->h_addr_list[0], 4);
    EXPECT_EQ(address, inet_addr("127.0.0.5"));

    EXPECT_EQ(gethostbyname("no-such-host.invalid"), nullptr);
    EXPECT_EQ(WSAGetLastError(), WSAHOST_NOT_FOUND);

    const SERVENT* service = getservbyname("http", "tcp");
    ASSERT_NE(service, nullptr);
    EXPECT_EQ(ntohs(static_cast<u_short>(service->s_port)), 80);
    EXPECT_EQ(getservbyname("no-such-service", "tcp"), nullptr);
}

} // namespace
