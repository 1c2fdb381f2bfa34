#pragma once
// The station simulator as a child process for tests, and a plain client socket to talk to it.
// Every wait has a time limit; nothing sleeps for a fixed time.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace stationtest {

using namespace std::chrono_literals;

// The first count bytes the simulator sends with --pattern random --seed seed: its generator is
// mt19937, one byte per draw, which the standard specifies exactly.
std::vector<std::uint8_t> RandomPatternBytes(std::uint32_t seed, std::size_t count);

class StationProcess {
public:
    explicit StationProcess(const std::vector<std::string>& args);
    // Another program of ours (kelvor-capture) the same way.
    StationProcess(const std::string& program, const std::vector<std::string>& args);
    ~StationProcess(); // kills a simulator that is still running
    StationProcess(const StationProcess&) = delete;
    StationProcess& operator=(const StationProcess&) = delete;

    // The next line of standard output (without its newline); nullopt at its end or timeout.
    std::optional<std::string> ReadLine(std::chrono::milliseconds limit = 5s);
    // Reads the first line and returns the port it names; 0 if it names none.
    int ListeningPort();
    void Signal(int signal);
    // Waits until the simulator has exited by itself; its exit status, or nullopt at timeout.
    std::optional<int> WaitForExit(std::chrono::milliseconds limit = 5s);
    // What the simulator wrote so far that nobody has read by line.
    const std::string& Output() const { return FOut; }
    const std::string& Errors() const { return FErr; }

private:
    // Reads what is there; false at the deadline.
    bool Pump(std::chrono::steady_clock::time_point deadline);

    pid_t FPid = -1;
    int FOutFd = -1, FErrFd = -1;
    std::string FOut, FErr;
    std::optional<int> FStatus;
};

// Runs the simulator to its end; for command lines that never listen.
struct RunResult {
    int status = -1;
    std::string out, err;
};
RunResult RunStation(const std::vector<std::string>& args);

// A connected socket to 127.0.0.1:port (blocking), or -1.
int Connect(int port);

enum class StreamEnd { Eof, Reset, Timeout, Limit };
struct Received {
    std::vector<unsigned char> bytes;
    StreamEnd end = StreamEnd::Timeout;
};
// Receives until the peer ends the stream, max bytes arrived (then Limit) or the time is up.
Received Receive(int fd, std::size_t max, std::chrono::milliseconds limit = 5s);

} // namespace stationtest
