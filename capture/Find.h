#pragma once
// kelvor-capture find: every occurrence of a bit pattern in a recording, at any bit offset, with
// the read event that received its first bit.

#include "capture/Command.h"
#include "capture/Recording.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace capture {

struct FoundBits {
    std::uint64_t byte; // of the match's first bit, from the start of the recording
    int bit;            // within that byte, 0 = most significant
    std::size_t event;  // the read event (from 0) that holds the match's first bit
};

// The read event that holds byte `offset`, looking from event `from` on: matches come in order,
// so the caller passes the previous answer and most lookups end in that same event.
std::size_t EventAt(const std::vector<ReadEvent>& events, std::uint64_t offset, std::size_t from);

// Every match in the recording, in order, across byte, read-event and file boundaries:
// onMatch(const FoundBits&) for each. Reads the files in pieces of chunkBytes; throws
// RecordingError when they do not hold what the index says (the matches before that point have
// been reported). A template, so that a common pattern's millions of matches cost no call each.
template <class OnMatch>
void FindInRecording(const RecordingReader& recording, const BitPattern& pattern, OnMatch&& onMatch,
                     std::size_t chunkBytes = std::size_t(4) << 20) {
    const auto& events = recording.Events();
    if (events.empty())
        return;
    BitSearch search(pattern);
    std::size_t event = 0;
    auto found = [&](std::uint64_t bit) {
        const std::uint64_t byte = bit / 8;
        if (byte - events[event].offset >= events[event].length)
            event = EventAt(events, byte, event);
        onMatch(FoundBits{byte, int(bit % 8), event});
    };
    RecordingBytes bytes(recording);
    const auto chunk = std::make_unique_for_overwrite<std::uint8_t[]>(chunkBytes);
    for (std::uint64_t left = recording.TotalBytes(); left > 0;) {
        const std::size_t n = std::size_t(std::min<std::uint64_t>(left, chunkBytes));
        bytes.Read(chunk.get(), n);
        search.Feed(chunk.get(), n, found);
        left -= n;
    }
    search.Finish(found);
}

// Prints "BYTE_OFFSET BIT EVENT TIME" per match to out. Returns 0 whether or not anything
// matched; a damaged recording throws RecordingError, output that cannot be written
// std::runtime_error.
int Find(const FindOptions& options, std::FILE* out = stdout);

} // namespace capture
