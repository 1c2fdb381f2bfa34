// A large transfer read the way the monitor reads: one ReceiveBytes of at most 2048 bytes per
// read event.

#include "tests/net/SocketFixture.h"
#include "tests/platform/winsock/LoopbackPeer.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

class Transfer : public SocketFixture {};

TEST_F(Transfer, OneMebibyteArrivesWholeAndInOrder) {
    constexpr std::size_t kSize = 1 << 20;
    std::vector<std::uint8_t> sent(kSize);
    std::uint32_t x = 12345;
    for (auto& b : sent) {
        x = x * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(x >> 16);
    }

    std::vector<std::uint8_t> received;
    received.reserve(kSize);
    int reads = 0;
    int largest = 0;
    client->OnRead = [&](TObject*, TCustomWinSocket* Socket) {
        std::uint8_t buffer[2048];
        const int n = Socket->ReceiveBytes(buffer, sizeof buffer);
        ++reads;
        if (n > 0)
            received.insert(received.end(), buffer, buffer + n);
        largest = std::max(largest, n);
    };
    LogErrors();
    loopback::Server server;
    ConnectTo(server.Port());
    ASSERT_TRUE(WaitForLog("connect"));
    ASSERT_TRUE(server.Accept());
    server.Queue(sent);
    ASSERT_TRUE(testsupport::PumpUntil(
        [&] {
            server.SendSome();
            return received.size() >= kSize;
        },
        std::chrono::seconds(60)));
    server.CloseOrderly();
    ASSERT_TRUE(WaitForLog("disconnect"));

    EXPECT_EQ(received.size(), kSize);
    EXPECT_TRUE(received == sent) << "bytes lost, duplicated or out of order";
    EXPECT_LE(largest, 2048);
    EXPECT_GE(reads, static_cast<int>(kSize / 2048));
    EXPECT_TRUE(shown.empty());
}

} // namespace
