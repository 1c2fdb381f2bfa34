// The simulator replaying a recording: the recorded bytes, one send per read event, at the
// recorded spacing (or a multiple of it), measured at a plain receiver on 127.0.0.1.

#include "capture/Recording.h"
#include "tests/tools/StationProcess.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace stationtest;

namespace {

using Clock = std::chrono::steady_clock;

struct Event {
    std::size_t length;
    std::int64_t atMicros; // from the first event
};

class StationReplay : public ::testing::Test {
protected:
    // A recording of events with these lengths and times; returns its bytes.
    std::vector<unsigned char> Make(const std::string& name, const std::vector<Event>& events) {
        capture::RecordingWriter writer(name);
        std::vector<unsigned char> all;
        const std::int64_t start = capture::UtcMicrosNow() - 3'600'000'000; // an hour ago
        for (std::size_t i = 0; i < events.size(); ++i) {
            std::vector<unsigned char> b(events[i].length);
            for (std::size_t k = 0; k < b.size(); ++k)
                b[k] = static_cast<unsigned char>(i * 41 + k * 3);
            writer.Append(b.data(), b.size(), start + events[i].atMicros);
            all.insert(all.end(), b.begin(), b.end());
        }
        writer.Close();
        return all;
    }
    std::string Name(const std::string& base) const {
        return QDir(dir_.path()).filePath(QString::fromStdString(base)).toStdString();
    }

    // Receives to the end; when the first byte of each event arrived, from the first one's.
    struct Arrivals {
        std::vector<unsigned char> bytes;
        std::vector<double> ms;
    };
    static Arrivals Receive(int port, const std::vector<Event>& events) {
        Arrivals a;
        const int fd = Connect(port);
        EXPECT_GE(fd, 0);
        if (fd < 0)
            return a;
        std::vector<std::size_t> starts;
        std::size_t offset = 0;
        for (const Event& e : events) {
            starts.push_back(offset);
            offset += e.length;
        }
        Clock::time_point first{};
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        unsigned char buffer[65536];
        while (Clock::now() < deadline) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0)
                continue;
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            const auto now = Clock::now();
            if (a.bytes.empty())
                first = now;
            a.bytes.insert(a.bytes.end(), buffer, buffer + n);
            for (std::size_t i = a.ms.size(); i < starts.size() && starts[i] < a.bytes.size(); ++i)
                a.ms.push_back(std::chrono::duration<double, std::milli>(now - first).count());
        }
        ::close(fd);
        return a;
    }

    // A simulator replaying name (with extra options) to a plain receiver, to its end.
    static Arrivals Replay(const std::string& name, std::vector<std::string> extra,
                           const std::vector<Event>& events) {
        extra.insert(extra.begin(), {"--port", "0", "--replay", name, "--once"});
        StationProcess station(extra);
        const int port = station.ListeningPort();
        EXPECT_GT(port, 0) << station.Errors();
        const Arrivals a = port > 0 ? Receive(port, events) : Arrivals{};
        EXPECT_EQ(station.WaitForExit(), 0) << station.Errors();
        return a;
    }
    // Each event arrived at its recorded time from the first, divided by speed, within 10 ms.
    static void ExpectSpacing(const Arrivals& a, const std::vector<Event>& events, double speed) {
        ASSERT_EQ(a.ms.size(), events.size());
        for (std::size_t i = 0; i < events.size(); ++i)
            EXPECT_NEAR(a.ms[i], double(events[i].atMicros) / 1000.0 / speed, 10.0)
                << "event " << i;
    }

    QTemporaryDir dir_;
};

// Uneven gaps, from 2 ms to 120 ms; each later event is measured from the start.
const std::vector<Event> Spaced = {{64, 0},       {1, 25'000},     {2048, 60'000},
                                   {100, 62'000}, {7, 130'000},    {500, 250'000},
                                   {64, 255'000}, {3000, 300'000}, {1, 420'000}};

} // namespace

TEST_F(StationReplay, SpeedOneKeepsTheRecordedSpacingWithinTenMilliseconds) {
    const std::string name = Name("spaced");
    const auto bytes = Make(name, Spaced);
    const Arrivals a = Replay(name, {}, Spaced);
    EXPECT_EQ(a.bytes, bytes);
    ExpectSpacing(a, Spaced, 1.0);
}

TEST_F(StationReplay, SpeedDividesTheSpacingAndAsFastAsPossibleDropsIt) {
    std::vector<Event> slow;
    for (const Event& e : Spaced)
        slow.push_back({e.length, e.atMicros * 4});
    const std::string name = Name("slow");
    const auto bytes = Make(name, slow);
    const Arrivals quick = Replay(name, {"--speed", "4"}, slow);
    EXPECT_EQ(quick.bytes, bytes);
    ExpectSpacing(quick, slow, 4.0);

    const Arrivals fast = Replay(name, {"--as-fast-as-possible"}, slow);
    EXPECT_EQ(fast.bytes, bytes);
    ASSERT_FALSE(fast.ms.empty());
    EXPECT_LT(fast.ms.back(), 500.0) << "1.7 s of recording, not spaced";
}

// A recording whose clock stepped back sends in order, never before the previous event.
TEST_F(StationReplay, AClockThatSteppedBackDoesNotReorderOrBurst) {
    const std::vector<Event> stepped = {{10, 0}, {10, 50'000}, {10, -500'000}, {10, 100'000}};
    const std::string name = Name("stepped");
    const auto bytes = Make(name, stepped);
    const Arrivals a = Replay(name, {}, stepped);
    EXPECT_EQ(a.bytes, bytes);
    ASSERT_EQ(a.ms.size(), 4u);
    EXPECT_NEAR(a.ms[1], 50.0, 10.0);
    EXPECT_GE(a.ms[2], a.ms[1]);
    EXPECT_NEAR(a.ms[3], 100.0, 10.0);
}

TEST_F(StationReplay, ADamagedOrMissingRecordingIsRefusedAtStart) {
    const std::string name = Name("damaged");
    Make(name, {{10, 0}, {10, 1000}});
    ::truncate((name + ".bin").c_str(), 15);
    const RunResult damaged = RunStation({"--port", "0", "--replay", name});
    EXPECT_EQ(damaged.status, 1);
    EXPECT_NE(damaged.err.find(name + ".csv line 3"), std::string::npos) << damaged.err;
    EXPECT_EQ(damaged.out, "") << "refused before it listens";

    const RunResult missing = RunStation({"--port", "0", "--replay", Name("none")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("no recording"), std::string::npos) << missing.err;
}
