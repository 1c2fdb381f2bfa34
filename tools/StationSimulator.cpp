// A stand-in for the station on this machine, for demos and end-to-end checks of the monitor:
// listens on 127.0.0.1 (never on another address), serves one monitor at a time and sends it a
// counter pattern, seeded random bytes or a file's bytes, at a given rate or as fast as it can.
// `kelvor-station-sim --help` tells the whole command line.

#include "capture/Recording.h"
#include "tools/StationOptions.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/sockios.h>
#include <memory>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <random>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace station;

// SIGINT and SIGTERM write to this pipe, so every poll() below wakes up for them.
int stopPipe[2] = {-1, -1};
volatile std::sig_atomic_t stopRequested = 0;

void OnStopSignal(int) {
    stopRequested = 1;
    const char byte = 0;
    [[maybe_unused]] const ssize_t n = ::write(stopPipe[1], &byte, 1);
}

bool InstallStopSignals() {
    if (::pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) < 0)
        return false;
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN); // a monitor that left shows as EPIPE, not as a dead simulator
    return true;
}

// The bytes one monitor gets, from the pattern's start. Fill returns fewer bytes than asked
// only at the end of the data.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::size_t Fill(unsigned char* out, std::size_t n) = 0;
    // A source with blocks of its own (a replay): the next block's size, 0 at the end...
    virtual std::optional<std::size_t> NextBlock() { return std::nullopt; }
    // ... and when it is due, counted from the start of the session.
    virtual Clock::duration NextDue() { return {}; }
};

class CounterSource : public ByteSource {
public:
    std::size_t Fill(unsigned char* out, std::size_t n) override {
        for (std::size_t i = 0; i < n; ++i)
            out[i] = FNext++;
        return n;
    }

private:
    unsigned char FNext = 0;
};

class RandomSource : public ByteSource {
public:
    // mt19937 is fully specified by the standard, so a seed gives the same bytes everywhere.
    explicit RandomSource(std::uint32_t seed) : FEngine(seed) {}
    std::size_t Fill(unsigned char* out, std::size_t n) override {
        for (std::size_t i = 0; i < n; ++i)
            out[i] = static_cast<unsigned char>(FEngine());
        return n;
    }

private:
    std::mt19937 FEngine;
};

class FileSource : public ByteSource {
public:
    explicit FileSource(int fd) : FFd(fd) {}
    ~FileSource() override { ::close(FFd); }
    std::size_t Fill(unsigned char* out, std::size_t n) override {
        std::size_t done = 0;
        while (done < n) {
            const ssize_t got = ::read(FFd, out + done, n - done);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                std::fprintf(stderr, "reading the file: %s\n", std::strerror(errno));
            if (got <= 0)
                break;
            done += static_cast<std::size_t>(got);
        }
        return done;
    }

private:
    int FFd;
};

// A recording's read events, one block each, due at their recorded time since the first
// event divided by the speed. Every time is counted from the start, so a late send does not
// push the ones after it.
class ReplaySource : public ByteSource {
public:
    ReplaySource(const capture::RecordingReader& recording, double speed)
        : FEvents(recording.Events()), FBytes(recording), FSpeed(speed) {}

    std::optional<std::size_t> NextBlock() override {
        return FNext < FEvents.size() ? FEvents[FNext].length : 0;
    }
    Clock::duration NextDue() override {
        if (FNext >= FEvents.size())
            return FLastDue;
        const double micros =
            static_cast<double>(FEvents[FNext].utcMicros - FEvents.front().utcMicros) / FSpeed;
        // A recording clock that stepped back does not send an event before its predecessor.
        FLastDue = std::max(FLastDue, std::chrono::duration_cast<Clock::duration>(
                                          std::chrono::duration<double, std::micro>(micros)));
        return FLastDue;
    }
    std::size_t Fill(unsigned char* out, std::size_t n) override {
        try {
            FBytes.Read(out, n);
        } catch (const capture::RecordingError& e) {
            std::fprintf(stderr, "replay: %s\n", e.what());
            FNext = FEvents.size();
            return 0;
        }
        ++FNext;
        return n;
    }

private:
    const std::vector<capture::ReadEvent>& FEvents;
    capture::RecordingBytes FBytes;
    double FSpeed;
    std::size_t FNext = 0;
    Clock::duration FLastDue{};
};

// The recording being replayed, checked once at start.
std::unique_ptr<capture::RecordingReader> replayed;

int OpenFile(const std::string& path) {
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

std::unique_ptr<ByteSource> MakeSource(const Options& o) {
    if (replayed)
        return std::make_unique<ReplaySource>(*replayed, o.speed);
    switch (o.pattern) {
    case Pattern::Counter:
        return std::make_unique<CounterSource>();
    case Pattern::Random:
        return std::make_unique<RandomSource>(o.seed);
    case Pattern::File:
        if (const int fd = OpenFile(o.file); fd >= 0)
            return std::make_unique<FileSource>(fd);
        std::fprintf(stderr, "cannot open %s: %s\n", o.file.c_str(), std::strerror(errno));
        return nullptr;
    }
    return nullptr;
}

// How a monitor's session ended, as the summary line says it.
enum class Ending { DataEnded, MonitorClosed, MonitorReset, Stopped };

// Waits for the monitor's socket (and the stop pipe) for at most timeoutMs (-1: no limit).
// Returns the client's revents, 0 on timeout; sets stopped when a stop signal came.
short WaitFor(int fd, short events, int timeoutMs, bool& stopped) {
    pollfd fds[2] = {{fd, events, 0}, {stopPipe[0], POLLIN, 0}};
    if (::poll(fds, 2, timeoutMs) < 0)
        return 0; // EINTR: the caller looks again
    stopped = stopRequested != 0;
    return fds[0].revents;
}

// Reads and drops what the monitor sends (it sends nothing, but unread bytes would turn our
// orderly close into a reset). Returns how the monitor left, if it did.
std::optional<Ending> Drain(int fd) {
    char sink[4096];
    for (;;) {
        const ssize_t n = ::recv(fd, sink, sizeof sink, MSG_DONTWAIT);
        if (n > 0)
            continue;
        if (n == 0)
            return Ending::MonitorClosed;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return std::nullopt;
        return errno == ECONNRESET ? Ending::MonitorReset : Ending::MonitorClosed;
    }
}

struct Summary {
    std::uint64_t sent = 0;
    double seconds = 0;
    Ending ending = Ending::DataEnded;
};

// Sends the source's bytes in blocks until the data ends, the monitor leaves or a stop comes.
Summary SendData(int fd, ByteSource& source, const Options& o) {
    Summary s;
    const auto start = Clock::now();
    auto due = start; // when the next block may go
    const auto perByte = std::chrono::duration<double>(1.0 / static_cast<double>(o.rate));
    std::vector<unsigned char> block(o.block);
    std::size_t pending = 0, offset = 0;
    bool dataEnded = false;
    for (;;) {
        if (pending == offset && !dataEnded) {
            pending = offset = 0;
            const auto now = Clock::now();
            const std::optional<std::size_t> own = source.NextBlock();
            if (own) // a replay's block is due at its own time
                due = start + source.NextDue();
            if (o.asFastAsPossible || now >= due) {
                std::size_t want = own.value_or(o.block);
                if (o.bytes)
                    want =
                        static_cast<std::size_t>(std::min<std::uint64_t>(want, *o.bytes - s.sent));
                if (want > block.size())
                    block.resize(want);
                pending = want ? source.Fill(block.data(), want) : 0;
                dataEnded = own ? pending == 0 || source.NextBlock() == std::size_t{0}
                                : pending < o.block || (o.bytes && s.sent + pending == *o.bytes);
                // After a stall (a monitor that stopped reading) keep the rate from here on
                // instead of catching up with a burst.
                if (!own)
                    due = std::max(due, now - std::chrono::seconds(1)) +
                          std::chrono::duration_cast<Clock::duration>(perByte * pending);
            }
        }
        if (pending == offset && dataEnded) {
            s.ending = Ending::DataEnded;
            break;
        }
        int timeoutMs = -1;
        if (pending == offset) { // waiting for the rate
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(due - Clock::now());
            timeoutMs = static_cast<int>(std::max<std::int64_t>(0, wait.count()));
        }
        bool stopped = false;
        const short revents = WaitFor(
            fd, static_cast<short>(POLLIN | (pending > offset ? POLLOUT : 0)), timeoutMs, stopped);
        if (stopped) {
            s.ending = Ending::Stopped;
            break;
        }
        if (revents & (POLLIN | POLLHUP | POLLERR)) {
            if (const auto left = Drain(fd)) {
                s.ending = *left;
                break;
            }
        }
        if ((revents & POLLOUT) && pending > offset) {
            const ssize_t n =
                ::send(fd, block.data() + offset, pending - offset, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                offset += static_cast<std::size_t>(n);
                s.sent += static_cast<std::uint64_t>(n);
            } else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                s.ending = errno == ECONNRESET ? Ending::MonitorReset : Ending::MonitorClosed;
                break;
            }
        }
    }
    s.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return s;
}

// Waits until the monitor leaves, a stop comes or (limitMs >= 0) the time is up.
void AwaitMonitorLeaving(int fd, int limitMs) {
    const auto until = Clock::now() + std::chrono::milliseconds(limitMs);
    for (;;) {
        int timeoutMs = -1;
        if (limitMs >= 0) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
            if (left.count() <= 0)
                return;
            timeoutMs = static_cast<int>(left.count());
        }
        bool stopped = false;
        const short revents = WaitFor(fd, POLLIN, timeoutMs, stopped);
        if (stopped || ((revents & (POLLIN | POLLHUP | POLLERR)) && Drain(fd)))
            return;
    }
}

// A reset throws away whatever is still in our send queue, so first wait (bounded) until the
// monitor has every byte; "N bytes, then a reset" must mean N bytes arrive.
void AwaitDelivered(int fd) {
    const auto until = Clock::now() + std::chrono::seconds(5);
    int queued = 0;
    while (::ioctl(fd, SIOCOUTQ, &queued) == 0 && queued > 0 && Clock::now() < until) {
        bool stopped = false;
        if (WaitFor(fd, POLLIN, 5, stopped) && Drain(fd))
            return; // the monitor left first
        if (stopped)
            return;
    }
}

void EndSession(int fd, const Options& o, Ending ending) {
    if (ending == Ending::DataEnded && o.end == EndMode::Reset) {
        AwaitDelivered(fd);
        linger l{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    } else if (ending == Ending::DataEnded || ending == Ending::Stopped) {
        if (o.end == EndMode::Stay && ending == Ending::DataEnded) {
            AwaitMonitorLeaving(fd, -1);
        } else {
            // Orderly: our end first, then give the monitor a moment to close its side, so
            // nothing it sent late turns the close into a reset.
            ::shutdown(fd, SHUT_WR);
            AwaitMonitorLeaving(fd, 2000);
        }
    }
    ::close(fd);
}

const char* Describe(Ending ending, EndMode end) {
    switch (ending) {
    case Ending::DataEnded:
        return end == EndMode::Reset  ? "data ended, station reset the connection"
               : end == EndMode::Stay ? "data ended, monitor closed the connection"
                                      : "data ended, station closed the connection";
    case Ending::MonitorClosed:
        return "monitor closed the connection";
    case Ending::MonitorReset:
        return "monitor reset the connection";
    case Ending::Stopped:
        return "stopped by a signal, station closed the connection";
    }
    return "";
}

void Serve(int fd, const sockaddr_in& peer, const Options& o) {
    char address[INET_ADDRSTRLEN] = "?";
    ::inet_ntop(AF_INET, &peer.sin_addr, address, sizeof address);
    std::printf("monitor connected from %s:%u\n", address, ntohs(peer.sin_port));
    const auto source = MakeSource(o);
    if (!source) {
        ::close(fd);
        return;
    }
    const Summary s = SendData(fd, *source, o);
    EndSession(fd, o, s.ending);
    if (s.seconds > 0)
        std::printf("sent %llu bytes in %.3f s (%.0f bytes/s); %s\n",
                    static_cast<unsigned long long>(s.sent), s.seconds,
                    static_cast<double>(s.sent) / s.seconds, Describe(s.ending, o.end));
    else
        std::printf("sent %llu bytes; %s\n", static_cast<unsigned long long>(s.sent),
                    Describe(s.ending, o.end));
}

int Listen(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<std::uint16_t>(port));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK); // this machine only, whatever the options say
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) < 0 || ::listen(fd, 4) < 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    try {
        o = ParseOptions(argc, argv);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "%s: %s (see --help)\n", argv[0], e.what());
        return 2;
    }
    if (o.help) {
        std::fputs(HelpText(argv[0]).c_str(), stdout);
        return 0;
    }
    // A recording that cannot be replayed whole is refused now, not at the first monitor.
    if (!o.replay.empty()) {
        try {
            replayed = std::make_unique<capture::RecordingReader>(o.replay);
        } catch (const capture::RecordingError& e) {
            std::fprintf(stderr, "cannot replay %s: %s\n", o.replay.c_str(), e.what());
            return 1;
        }
    }
    // A file that cannot be read is an error now, not at the first monitor.
    if (o.pattern == Pattern::File) {
        const int fd = OpenFile(o.file);
        if (fd < 0) {
            std::fprintf(stderr, "cannot open %s: %s\n", o.file.c_str(), std::strerror(errno));
            return 1;
        }
        ::close(fd);
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // tests and scripts read the lines as they come
    if (!InstallStopSignals()) {
        std::perror("pipe");
        return 1;
    }
    const int listener = Listen(o.port);
    if (listener < 0) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1:%d: %s\n", o.port, std::strerror(errno));
        return 1;
    }
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&bound), &length);
    std::printf("station listening on 127.0.0.1:%u\n", ntohs(bound.sin_port));

    while (!stopRequested) {
        pollfd fds[2] = {{listener, POLLIN, 0}, {stopPipe[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 || !(fds[0].revents & POLLIN))
            continue;
        sockaddr_in peer{};
        socklen_t peerLength = sizeof peer;
        const int fd = ::accept4(listener, reinterpret_cast<sockaddr*>(&peer), &peerLength,
                                 SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno != EINTR && errno != ECONNABORTED)
                std::perror("accept");
            continue;
        }
        Serve(fd, peer, o);
        if (o.once)
            break;
    }
    ::close(listener);
    return 0;
}
