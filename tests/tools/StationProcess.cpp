#include "tests/tools/StationProcess.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <random>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace stationtest {

std::vector<std::uint8_t> RandomPatternBytes(std::uint32_t seed, std::size_t count) {
    std::mt19937 engine(seed);
    std::vector<std::uint8_t> bytes(count);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(engine());
    return bytes;
}

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<std::int64_t>(0, left.count()));
}

} // namespace

StationProcess::StationProcess(const std::vector<std::string>& args)
    : StationProcess(KELVOR_STATION_SIM, args) {}

StationProcess::StationProcess(const std::string& program, const std::vector<std::string>& args) {
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) < 0 || ::pipe2(err, O_CLOEXEC) < 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    if (::posix_spawn(&FPid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        FPid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    FOutFd = out[0];
    FErrFd = err[0];
}

StationProcess::~StationProcess() {
    if (FPid > 0 && !FStatus) {
        ::kill(FPid, SIGKILL);
        ::waitpid(FPid, nullptr, 0);
    }
    if (FOutFd >= 0)
        ::close(FOutFd);
    if (FErrFd >= 0)
        ::close(FErrFd);
}

bool StationProcess::Pump(Clock::time_point deadline) {
    pollfd fds[2] = {{FOutFd, POLLIN, 0}, {FErrFd, POLLIN, 0}};
    if (::poll(fds, 2, MillisecondsUntil(deadline)) <= 0)
        return Clock::now() < deadline;
    std::string* sinks[2] = {&FOut, &FErr};
    int* owners[2] = {&FOutFd, &FErrFd};
    for (int i = 0; i < 2; ++i) {
        if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        char buffer[4096];
        const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
        if (n > 0) {
            sinks[i]->append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0) { // poll() ignores a negative fd, so a closed pipe drops out
            ::close(*owners[i]);
            *owners[i] = -1;
        }
    }
    return true;
}

std::optional<std::string> StationProcess::ReadLine(std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
        if (const auto nl = FOut.find('\n'); nl != std::string::npos) {
            std::string line = FOut.substr(0, nl);
            FOut.erase(0, nl + 1);
            return line;
        }
        if ((FOutFd < 0 && FErrFd < 0) || !Pump(deadline))
            return std::nullopt;
        if (FOutFd < 0 && FOut.find('\n') == std::string::npos)
            return std::nullopt;
    }
}

int StationProcess::ListeningPort() {
    const auto line = ReadLine();
    const std::string prefix = "station listening on 127.0.0.1:";
    if (!line || !line->starts_with(prefix))
        return 0;
    return std::stoi(line->substr(prefix.size()));
}

void StationProcess::Signal(int signal) {
    if (FPid > 0 && !FStatus)
        ::kill(FPid, signal);
}

std::optional<int> StationProcess::WaitForExit(std::chrono::milliseconds limit) {
    // The simulator's pipes close when it exits; only then is waitpid sure not to block.
    const auto deadline = Clock::now() + limit;
    while (FOutFd >= 0 || FErrFd >= 0)
        if (!Pump(deadline))
            return std::nullopt;
    if (!FStatus && FPid > 0) {
        int status = 0;
        if (::waitpid(FPid, &status, 0) == FPid)
            FStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return FStatus;
}

RunResult RunStation(const std::vector<std::string>& args) {
    StationProcess p(args);
    RunResult r;
    r.status = p.WaitForExit().value_or(-1);
    r.out = p.Output();
    r.err = p.Errors();
    return r;
}

int Connect(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<std::uint16_t>(port));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0)
        return fd;
    if (fd >= 0)
        ::close(fd);
    return -1;
}

Received Receive(int fd, std::size_t max, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    Received r;
    unsigned char buffer[65536];
    while (r.bytes.size() < max) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, MillisecondsUntil(deadline)) <= 0) {
            r.end = StreamEnd::Timeout;
            return r;
        }
        const ssize_t n =
            ::recv(fd, buffer, std::min(sizeof buffer, max - r.bytes.size()), MSG_DONTWAIT);
        if (n > 0) {
            r.bytes.insert(r.bytes.end(), buffer, buffer + n);
        } else if (n == 0) {
            r.end = StreamEnd::Eof;
            return r;
        } else if (errno != EAGAIN && errno != EINTR) {
            r.end = errno == ECONNRESET ? StreamEnd::Reset : StreamEnd::Timeout;
            return r;
        }
    }
    r.end = StreamEnd::Limit;
    return r;
}

} // namespace stationtest
