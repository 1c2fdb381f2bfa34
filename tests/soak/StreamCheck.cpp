#include "tests/soak/StreamCheck.h"

#include <algorithm>

namespace soak {

namespace {

// One read event receives at most this many bytes, so no bit line is longer.
constexpr std::size_t MaxBitLine = 2048 * 8;
const std::string Stars(51, '*');

class Walker {
public:
    Walker(const std::vector<std::string>& lines, CheckResult& result)
        : FLines(lines), FResult(result) {}

    // The next line must be want; on a mismatch the lines no longer line up with the sessions,
    // so the walk stops there.
    bool Expect(const std::string& want, std::size_t session) {
        if (FAt >= FLines.size())
            return Fail(session, "expected '" + want + "', but the capture ends");
        if (FLines[FAt] != want)
            return Fail(session, "expected '" + want + "', found '" + Shorten(FLines[FAt]) + "'");
        ++FAt;
        return true;
    }

    bool Fail(std::size_t session, const std::string& what) {
        FResult.errors.push_back("session " + std::to_string(session + 1) + ", line " +
                                 std::to_string(FAt + 1) + ": " + what);
        return false;
    }

    bool AtEnd() const { return FAt >= FLines.size(); }
    const std::string& Current() const { return FLines[FAt]; }
    void Next() { ++FAt; }
    std::size_t Left() const { return FLines.size() - FAt; }

    static std::string Shorten(const std::string& line) {
        return line.size() <= 60
                   ? line
                   : line.substr(0, 60) + "... (" + std::to_string(line.size()) + " characters)";
    }

private:
    const std::vector<std::string>& FLines;
    CheckResult& FResult;
    std::size_t FAt = 0;
};

// A line that ends a connection (or an attempt), the asterisks and an empty line.
bool ExpectNotConnected(Walker& w, const std::string& first, std::size_t k) {
    return w.Expect(first, k) && w.Expect(Stars, k) && w.Expect("", k);
}

} // namespace

bool DecodeBitLine(std::string_view line, std::vector<std::uint8_t>& out) {
    if (line.size() % 8 != 0 || line.find_first_not_of("01") != std::string_view::npos)
        return false;
    for (std::size_t i = 0; i < line.size(); i += 8) {
        std::uint8_t b = 0;
        for (std::size_t k = 0; k < 8; ++k)
            b = std::uint8_t(b << 1 | (line[i + k] == '1'));
        out.push_back(b);
    }
    return true;
}

CheckResult CheckCapture(const std::vector<Session>& sessions,
                         const std::vector<std::string>& lines) {
    CheckResult result;
    Walker w(lines, result);
    for (std::size_t k = 0; k < sessions.size(); ++k) {
        const Session& s = sessions[k];
        const std::string at = "127.0.0.1 / " + std::to_string(s.port);
        const std::string disconnected = "Server at " + at + " disconnected";
        if (s.kind == SessionKind::Refused) {
            if (!ExpectNotConnected(w, "Lost connection to server at " + at, k) ||
                !ExpectNotConnected(w, disconnected, k))
                return result;
            continue;
        }
        if (!w.Expect("Connected to " + at, k))
            return result;
        std::vector<std::uint8_t> got;
        std::uint64_t bitLines = 0;
        while (!w.AtEnd() && w.Current() != disconnected) {
            const std::string& line = w.Current();
            if (line.size() > MaxBitLine || !DecodeBitLine(line, got)) {
                w.Fail(k, "not a bit line of one read event: '" + Walker::Shorten(line) + "'");
                return result;
            }
            ++bitLines;
            w.Next();
        }
        result.bytes += got.size();
        result.bitLines += bitLines;
        if (got != s.bytes) {
            const auto diff = std::mismatch(got.begin(), got.end(), s.bytes.begin(), s.bytes.end());
            const auto at_ = std::size_t(diff.first - got.begin());
            w.Fail(k, "shows " + std::to_string(got.size()) + " of the " +
                          std::to_string(s.bytes.size()) +
                          " bytes sent; the first difference is at byte " + std::to_string(at_));
        }
        if (bitLines != s.readEvents)
            w.Fail(k, std::to_string(bitLines) + " bit lines for " + std::to_string(s.readEvents) +
                          " read events");
        if (!ExpectNotConnected(w, disconnected, k))
            return result;
    }
    if (!w.AtEnd())
        w.Fail(sessions.size() ? sessions.size() - 1 : 0,
               std::to_string(w.Left()) + " lines after the last session, the first '" +
                   Walker::Shorten(w.Current()) + "'");
    return result;
}

} // namespace soak
