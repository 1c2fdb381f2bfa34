// Searching a recording: its bytes stream through the bit search in large pieces, and each
// match is tied to its read event by the index.

#include "capture/Find.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

namespace capture {

std::size_t EventAt(const std::vector<ReadEvent>& events, std::uint64_t offset, std::size_t from) {
    if (offset - events[from].offset < events[from].length)
        return from;
    // Galloping: the answer is usually a few events on, so the range doubles from here before
    // the binary search, which then costs the log of the distance, not of the whole index.
    std::size_t below = from, step = 1;
    std::size_t above = from + step;
    while (above < events.size() && events[above].offset <= offset) {
        below = above;
        step *= 2;
        above = std::min(events.size(), from + step);
    }
    const auto after = std::upper_bound(
        events.begin() + std::ptrdiff_t(below) + 1, events.begin() + std::ptrdiff_t(above), offset,
        [](std::uint64_t o, const ReadEvent& e) { return o < e.offset; });
    return std::size_t(after - events.begin()) - 1;
}

namespace {

// Lines gathered in a large buffer: a common pattern can match millions of times.
class LineWriter {
public:
    explicit LineWriter(std::FILE* out) : FOut(out) { FBuffer.reserve(Capacity + 128); }

    void Line(const FoundBits& match, const std::string& time) {
        Number(match.byte);
        FBuffer += ' ';
        Number(std::uint64_t(match.bit));
        FBuffer += ' ';
        Number(match.event);
        FBuffer += ' ';
        FBuffer += time;
        FBuffer += '\n';
        if (FBuffer.size() >= Capacity)
            Flush();
    }
    // Throws when the output refuses the lines (a full disk, a closed pipe), which also stops
    // the search: nobody would see the rest.
    void Flush() {
        const bool written = std::fwrite(FBuffer.data(), 1, FBuffer.size(), FOut) == FBuffer.size();
        FBuffer.clear();
        if (!written || std::fflush(FOut) != 0)
            throw std::runtime_error(std::string("cannot write the matches: ") +
                                     std::strerror(errno));
    }

private:
    static constexpr std::size_t Capacity = std::size_t(1) << 20;
    void Number(std::uint64_t value) {
        char digits[24];
        FBuffer.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
    }

    std::FILE* FOut;
    std::string FBuffer;
};

} // namespace

int Find(const FindOptions& options, std::FILE* out) {
    const RecordingReader recording(options.name);
    const auto& events = recording.Events();
    LineWriter lines(out);
    std::size_t timeOf = events.size();
    std::string time;
    try {
        FindInRecording(recording, options.pattern, [&](const FoundBits& match) {
            if (match.event != timeOf) {
                timeOf = match.event;
                time = FormatUtc(events[timeOf].utcMicros);
            }
            lines.Line(match, time);
        });
    } catch (const RecordingError&) {
        // The matches found before the damage showed are still worth having.
        lines.Flush();
        throw;
    }
    lines.Flush();
    return 0;
}

} // namespace capture
