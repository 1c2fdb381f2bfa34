#pragma once
// The soak's oracle: given what the station sent in each session and every line the monitor
// wrote (the saved files in save order, then the view), says whether every byte is there, in
// order, one bit line per read event, framed by the connection lines the window writes.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace soak {

enum class SessionKind { Closed, Reset, Refused };

struct Session {
    SessionKind kind = SessionKind::Closed;
    int port = 0;
    std::vector<std::uint8_t> bytes; // what the station sent; empty for a refused connect
    std::uint64_t readEvents = 0;    // read events the window handled in this session
};

struct CheckResult {
    std::vector<std::string> errors; // empty: the capture is whole
    std::uint64_t bytes = 0;         // decoded from the sessions' bit lines
    std::uint64_t bitLines = 0;
};

// Appends the bytes of a line of "0"/"1" characters (eight per byte, most significant bit
// first) to out; false, leaving out as it was, for any other line.
bool DecodeBitLine(std::string_view line, std::vector<std::uint8_t>& out);

CheckResult CheckCapture(const std::vector<Session>& sessions,
                         const std::vector<std::string>& lines);

} // namespace soak
