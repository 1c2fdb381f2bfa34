// The station simulator as its users meet it: its command line, the port it prints, the bytes a
// monitor receives, how the stream ends, its pace, and one monitor at a time.

#include "tests/tools/StationProcess.h"

#include <QTemporaryDir>
#include <algorithm>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <unistd.h>

using namespace stationtest;

namespace {

using Clock = std::chrono::steady_clock;

std::vector<unsigned char> Counter(std::size_t n, unsigned char first = 0) {
    std::vector<unsigned char> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<unsigned char>(first + i);
    return v;
}

// Equal byte streams; otherwise where they part, which says more than two long dumps.
::testing::AssertionResult Same(const std::vector<unsigned char>& got,
                                const std::vector<unsigned char>& want) {
    const auto [g, w] = std::mismatch(got.begin(), got.end(), want.begin(), want.end());
    if (g == got.end() && w == want.end())
        return ::testing::AssertionSuccess();
    const auto at = g - got.begin();
    auto failure = ::testing::AssertionFailure() << "got " << got.size() << " bytes, want "
                                                 << want.size() << "; first difference at " << at;
    if (g != got.end() && w != want.end())
        failure << ": " << int(*g) << " instead of " << int(*w);
    return failure;
}

// Closes a client socket when the test leaves, however it leaves.
struct Client {
    explicit Client(int port) : fd(Connect(port)) {}
    ~Client() { Close(); }
    void Close() {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    int fd;
};

// The simulator's summary lines so far: "sent N bytes ...".
std::vector<std::string> Summaries(StationProcess& station) {
    std::vector<std::string> lines;
    while (auto line = station.ReadLine(0ms))
        if (line->starts_with("sent "))
            lines.push_back(*line);
    return lines;
}

// Everything one monitor gets from a simulator started with args and --once, until the end.
Received ReceiveAllOnce(std::vector<std::string> args, std::size_t max = 1 << 24) {
    args.insert(args.end(), {"--port", "0", "--once"});
    StationProcess station(args);
    const int port = station.ListeningPort();
    EXPECT_GT(port, 0) << station.Errors();
    Client client(port);
    EXPECT_GE(client.fd, 0);
    Received r = Receive(client.fd, max);
    client.Close();
    EXPECT_EQ(station.WaitForExit(), 0) << station.Errors();
    return r;
}

} // namespace

TEST(StationSimulatorCommandLine, HelpNamesEveryOptionAndTheLoopbackRule) {
    const RunResult r = RunStation({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* option :
         {"--port",   "--pattern", "counter",   "random",  "file",
          "--seed",   "--file",    "--block",   "--rate",  "--as-fast-as-possible",
          "--bytes",  "--end",     "close",     "reset",   "stay",
          "--once",   "--help",    "127.0.0.1", "SIGTERM", "station listening on 127.0.0.1:PORT",
          "--replay", "--speed"})
        EXPECT_NE(r.out.find(option), std::string::npos) << option;
}

TEST(StationSimulatorCommandLine, RefusesBadValuesContradictionsAndOtherAddresses) {
    const std::vector<std::vector<std::string>> refused = {
        {"--bind", "0.0.0.0"},
        {"--host", "127.0.0.1"},
        {"--address=192.168.1.1"},
        {"--listen", "0.0.0.0"},
        {"--port", "0.0.0.0:1236"},
        {"--port", "65536"},
        {"--port", "-1"},
        {"--port", "12x"},
        {"--port"},
        {"--block", "0"},
        {"--rate", "0"},
        {"--rate", "1000", "--as-fast-as-possible"},
        {"--seed", "4294967296"},
        {"--bytes", "-5"},
        {"--pattern", "sine"},
        {"--pattern", "file"},
        {"--pattern", "counter", "--file", "/etc/hostname"},
        {"--end", "later"},
        {"--once=yes"},
        {"--frobnicate"},
        // A replay's recording decides bytes, blocks and times.
        {"--replay", "rec", "--pattern", "random"},
        {"--replay", "rec", "--file", "/etc/hostname"},
        {"--replay", "rec", "--rate", "1000"},
        {"--rate", "1000", "--replay", "rec"},
        {"--replay", "rec", "--block", "64"},
        {"--replay", "rec", "--seed", "5"},
        {"--replay", "rec", "--bytes", "100"},
        {"--replay", "rec", "--speed", "2", "--as-fast-as-possible"},
        {"--replay", ""},
        {"--speed", "2"},
        {"--replay", "rec", "--speed", "0"},
        {"--replay", "rec", "--speed", "-1"},
        {"--replay", "rec", "--speed", "fast"},
        {"--replay", "rec", "--speed", "inf"},
        {"--replay", "rec", "--speed", "nan"},
    };
    for (const auto& args : refused) {
        const RunResult r = RunStation(args);
        EXPECT_EQ(r.status, 2) << args[0];
        EXPECT_NE(r.err.find("see --help"), std::string::npos) << args[0] << ": " << r.err;
        EXPECT_EQ(r.out, "") << args[0]; // refused before it listens
    }
    EXPECT_NE(RunStation({"--bind", "0.0.0.0"}).err.find("127.0.0.1 only"), std::string::npos);
}

TEST(StationSimulatorCommandLine, UnreadableFileFailsAtStartNotAtTheFirstMonitor) {
    const RunResult r = RunStation({"--port", "0", "--file", "/nonexistent/kelvor-station-data"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("/nonexistent/kelvor-station-data"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST(StationSimulatorListening, PortZeroPicksAFreePortOnLoopbackOnly) {
    StationProcess station({"--port", "0"});
    const int port = station.ListeningPort();
    ASSERT_GT(port, 0) << station.Errors();

    // The kernel's socket table shows which address the listener is bound to.
    int listeners = 0;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::ifstream in(table);
        std::string line;
        std::getline(in, line); // header
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, state;
            fields >> slot >> local >> remote >> state;
            const auto colon = local.rfind(':');
            if (state != "0A" || std::stoi(local.substr(colon + 1), nullptr, 16) != port)
                continue;
            ++listeners;
            EXPECT_EQ(local.substr(0, colon), "0100007F") << table << ": " << line;
        }
    }
    EXPECT_EQ(listeners, 1);

    // The same port again is in use: a clear error, not a second listener.
    const RunResult busy = RunStation({"--port", std::to_string(port)});
    EXPECT_EQ(busy.status, 1);
    EXPECT_NE(busy.err.find("cannot listen on 127.0.0.1:" + std::to_string(port)),
              std::string::npos)
        << busy.err;

    station.Signal(SIGINT); // idle, no monitor: ends at once
    EXPECT_EQ(station.WaitForExit(), 0);
}

TEST(StationSimulatorPatterns, CounterRunsOnAcrossBlocksAndEndsAfterExactlyNBytesInOrder) {
    // Blocks of 1000 do not divide 256: the counter must carry on across blocks.
    StationProcess station(
        {"--port", "0", "--block", "1000", "--bytes", "10000", "--as-fast-as-possible", "--once"});
    const int port = station.ListeningPort();
    ASSERT_GT(port, 0) << station.Errors();
    Client client(port);
    const Received r = Receive(client.fd, 20000);
    EXPECT_EQ(r.end, StreamEnd::Eof);
    EXPECT_TRUE(Same(r.bytes, Counter(10000)));
    client.Close();
    ASSERT_EQ(station.WaitForExit(), 0) << station.Errors();
    EXPECT_TRUE(station.ReadLine(0ms)->starts_with("monitor connected from 127.0.0.1:"));
    const auto summaries = Summaries(station);
    ASSERT_EQ(summaries.size(), 1u);
    EXPECT_TRUE(summaries[0].starts_with("sent 10000 bytes")) << summaries[0];
    EXPECT_NE(summaries[0].find("station closed"), std::string::npos) << summaries[0];
}

TEST(StationSimulatorPatterns, ResetComesAfterExactlyNBytes) {
    // Large enough that the last bytes are still queued when the data ends: a reset then would
    // throw them away.
    const Received r = ReceiveAllOnce(
        {"--block", "65536", "--bytes", "3000000", "--as-fast-as-possible", "--end", "reset"});
    EXPECT_EQ(r.end, StreamEnd::Reset);
    EXPECT_TRUE(Same(r.bytes, Counter(3000000)));
}

TEST(StationSimulatorPatterns, ZeroBytesEndsAtOnce) {
    const Received r = ReceiveAllOnce({"--bytes", "0"});
    EXPECT_EQ(r.end, StreamEnd::Eof);
    EXPECT_TRUE(r.bytes.empty());
}

TEST(StationSimulatorPatterns, RandomBytesFollowTheSeedAndStartAfreshForEachMonitor) {
    StationProcess station({"--port", "0", "--pattern", "random", "--seed", "7", "--bytes", "4096",
                            "--block", "512", "--as-fast-as-possible"});
    const int port = station.ListeningPort();
    ASSERT_GT(port, 0) << station.Errors();
    std::vector<std::vector<unsigned char>> seen;
    for (int monitor = 0; monitor < 2; ++monitor) {
        Client client(port);
        const Received r = Receive(client.fd, 5000);
        EXPECT_EQ(r.end, StreamEnd::Eof);
        seen.push_back(r.bytes);
    }
    station.Signal(SIGTERM);
    EXPECT_EQ(station.WaitForExit(), 0);
    ASSERT_EQ(seen[0].size(), 4096u);
    EXPECT_TRUE(Same(seen[0], seen[1]));
    EXPECT_NE(seen[0], Counter(4096));
    int counts[256] = {};
    for (unsigned char b : seen[0])
        ++counts[b];
    EXPECT_LT(*std::max_element(std::begin(counts), std::end(counts)), 64); // spread out

    const Received other = ReceiveAllOnce(
        {"--pattern", "random", "--seed", "8", "--bytes", "4096", "--as-fast-as-possible"});
    ASSERT_EQ(other.bytes.size(), 4096u);
    EXPECT_NE(other.bytes, seen[0]);
}

TEST(StationSimulatorPatterns, FileBytesAreSentOnceOrCutAtN) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.filePath("capture.bin").toStdString();
    std::vector<unsigned char> content;
    for (int i = 0; i < 3001; ++i) // every byte value, CR and LF and NUL among them
        content.push_back(static_cast<unsigned char>((i * 7 + i / 256) & 0xFF));
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(content.data()),
               static_cast<std::streamsize>(content.size()));

    const Received whole =
        ReceiveAllOnce({"--file", path, "--block", "512", "--as-fast-as-possible"});
    EXPECT_EQ(whole.end, StreamEnd::Eof);
    EXPECT_TRUE(Same(whole.bytes, content));

    const Received cut = ReceiveAllOnce({"--pattern", "file", "--file", path, "--bytes", "1000",
                                         "--end", "reset", "--as-fast-as-possible"});
    EXPECT_EQ(cut.end, StreamEnd::Reset);
    EXPECT_TRUE(
        Same(cut.bytes, std::vector<unsigned char>(content.begin(), content.begin() + 1000)));

    const std::string empty = dir.filePath("empty.bin").toStdString();
    std::ofstream(empty, std::ios::binary).close();
    const Received none = ReceiveAllOnce({"--file", empty});
    EXPECT_EQ(none.end, StreamEnd::Eof);
    EXPECT_TRUE(none.bytes.empty());
}

TEST(StationSimulatorTiming, RateLimitHolds) {
    // 200 KiB at 100 KiB/s: the first block goes at once, the last one about 2 s later.
    StationProcess station(
        {"--port", "0", "--rate", "102400", "--block", "1024", "--bytes", "204800", "--once"});
    const int port = station.ListeningPort();
    ASSERT_GT(port, 0) << station.Errors();
    const auto start = Clock::now();
    Client client(port);
    const Received r = Receive(client.fd, 300000, 10s);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_EQ(r.end, StreamEnd::Eof);
    EXPECT_TRUE(Same(r.bytes, Counter(204800)));
    EXPECT_GE(seconds, 1.5);
    client.Close();
    ASSERT_EQ(station.WaitForExit(), 0);

    // The reported rate is the rate asked for, give or take.
    station.ReadLine(0ms); // connected
    const auto summaries = Summaries(station);
    ASSERT_EQ(summaries.size(), 1u);
    std::smatch m;
    const std::regex shape(R"(sent 204800 bytes in ([0-9.]+) s \(([0-9]+) bytes/s\))");
    ASSERT_TRUE(std::regex_search(summaries[0], m, shape)) << summaries[0];
    EXPECT_GE(std::stod(m[1]), 1.5);
    EXPECT_LE(std::stod(m[2]), 102400 * 1.1);
    EXPECT_GE(std::stod(m[2]), 102400 * 0.5);
}

TEST(StationSimulatorMonitors, SecondMonitorWaitsInTheQueueUntilTheFirstLeaves) {
    StationProcess station({"--port", "0", "--rate", "20000", "--block", "100"});
    const int port = station.ListeningPort();
    ASSERT_GT(port, 0) << station.Errors();

    Client first(port);
    EXPECT_TRUE(Same(Receive(first.fd, 500).bytes, Counter(500)));
    Client second(port); // the listen queue takes it; nobody serves it yet
    ASSERT_GE(second.fd, 0);
    const Received waiting = Receive(second.fd, 1, 300ms);
    EXPECT_EQ(waiting.end, StreamEnd::Timeout);
    EXPECT_TRUE(waiting.bytes.empty());
    EXPECT_TRUE(Same(Receive(first.fd, 100).bytes, Counter(100, static_cast<unsigned char>(500))));

    first.Close();
    const Received served = Receive(second.fd, 300);
    EXPECT_EQ(served.end, StreamEnd::Limit);
    EXPECT_TRUE(Same(served.bytes, Counter(300))); // from the start of the pattern

    // A stop ends the second monitor's stream in order, and the simulator with it.
    station.Signal(SIGTERM);
    const Received rest = Receive(second.fd, 1 << 20);
    EXPECT_EQ(rest.end, StreamEnd::Eof);
    EXPECT_EQ(station.WaitForExit(), 0);
    int connected = 0;
    std::vector<std::string> summaries;
    while (auto line = station.ReadLine(0ms)) {
        connected += line->starts_with("monitor connected from 127.0.0.1:");
        if (line->starts_with("sent "))
            summaries.push_back(*line);
    }
    EXPECT_EQ(connected, 2);
    ASSERT_EQ(summaries.size(), 2u);
    EXPECT_NE(summaries[1].find("stopped by a signal"), std::string::npos) << summaries[1];
}

TEST(StationSimulatorMonitors, OnceEndsWhenTheMonitorLeavesAnEndlessStream) {
    StationProcess station({"--port", "0", "--rate", "50000", "--once"});
    const int port = station.ListeningPort();
    ASSERT_GT(port, 0) << station.Errors();
    Client client(port);
    EXPECT_TRUE(Same(Receive(client.fd, 1000).bytes, Counter(1000)));
    client.Close();
    ASSERT_EQ(station.WaitForExit(), 0) << station.Errors();
    station.ReadLine(0ms); // connected
    const auto summaries = Summaries(station);
    ASSERT_EQ(summaries.size(), 1u);
    EXPECT_NE(summaries[0].find("monitor"), std::string::npos) << summaries[0];
}

TEST(StationSimulatorMonitors, StayKeepsTheConnectionOpenAfterTheData) {
    StationProcess station(
        {"--port", "0", "--bytes", "100", "--end", "stay", "--as-fast-as-possible", "--once"});
    const int port = station.ListeningPort();
    ASSERT_GT(port, 0) << station.Errors();
    Client client(port);
    const Received r = Receive(client.fd, 1000, 300ms);
    EXPECT_EQ(r.end, StreamEnd::Timeout); // still open, silent
    EXPECT_TRUE(Same(r.bytes, Counter(100)));
    EXPECT_FALSE(station.WaitForExit(0ms));
    client.Close();
    EXPECT_EQ(station.WaitForExit(), 0);
}
