#pragma once
// Finding a pattern of up to 64 bits at every bit offset of a byte stream that arrives in pieces
// of any size. Bit 0 of a byte is its most significant bit, as in a bit line.
//
// How it stays fast: a match that starts in byte q at bit s puts the pattern's first
// min(length, 16 - s) bits into the byte pair (q, q + 1). One 64 KiB table, indexed by that pair,
// holds the set of bit offsets s whose first bits agree, so each byte of the stream costs one
// lookup; only the rare pairs that agree are checked against the rest of the pattern. For
// patterns of up to 9 bits the table alone is the answer.

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace capture {

class BitPatternError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

struct BitPattern {
    std::uint64_t bits = 0; // the pattern's last bit is bit 0 of this value
    int length = 0;         // 1 to 64

    // Text of 1 to 64 characters "0" and "1", first bit first. Throws BitPatternError saying
    // what is wrong with anything else.
    static BitPattern Parse(std::string_view text);
};

class BitSearch {
public:
    explicit BitSearch(const BitPattern& pattern);

    // The next bytes of the stream. onMatch(bitOffset) is called once per match, in order of the
    // match's first bit, counted from the stream's first bit; a match is reported once the bytes
    // it needs have arrived (up to 8 bytes after its first byte, or at Finish).
    template <class OnMatch> void Feed(const std::uint8_t* data, std::size_t n, OnMatch&& onMatch);
    // The end of the stream: reports the matches that lie within its last bytes.
    template <class OnMatch> void Finish(OnMatch&& onMatch);

    std::uint64_t BytesFed() const { return FFed; }

private:
    // Bytes from a match's first byte to its last, for the worst bit offset; at least a pair.
    static int Window(int length) { return std::max(2, (7 + length + 7) / 8); }

    // Decides the matches that start in p[0 .. starts); p holds starts + FWindow - 1 bytes.
    template <class OnMatch>
    void Scan(const std::uint8_t* p, std::size_t starts, std::uint64_t firstByte,
              OnMatch& onMatch) const;
    // Whether the whole pattern lies at bit s of p[0]; reads only the bytes a match there covers.
    bool Rest(const std::uint8_t* p, int s) const;

    BitPattern FPattern;
    int FWindow;
    std::vector<std::uint8_t> FPairs; // (p[q] << 8 | p[q + 1]) -> bit offsets s that may start
    // The stream's last FTailLength bytes: matches starting in them wait for the bytes after.
    std::uint8_t FTail[32] = {};
    std::size_t FTailLength = 0;
    std::uint64_t FFed = 0;
};

template <class OnMatch>
void BitSearch::Scan(const std::uint8_t* p, std::size_t starts, std::uint64_t firstByte,
                     OnMatch& onMatch) const {
    const std::uint8_t* pairs = FPairs.data();
    auto at = [&](std::size_t q) { return std::uint64_t(pairs[unsigned(p[q]) << 8 | p[q + 1]]); };
    // Bit 8 * i + s of `offsets`: a match may start at bit s of byte q + i. Walking its set bits
    // upwards walks the candidates in stream order.
    auto report = [&](std::size_t q, std::uint64_t offsets) {
        for (; offsets != 0; offsets &= offsets - 1) {
            const int b = std::countr_zero(offsets);
            const std::size_t i = q + std::size_t(b) / 8;
            const int s = b % 8;
            if (s + FPattern.length <= 16 || Rest(p + i, s))
                onMatch((firstByte + i) * 8 + std::uint64_t(s));
        }
    };
    std::size_t q = 0;
    // Eight lookups before one branch: on typical data most groups of eight have no candidate.
    for (; q + 8 <= starts; q += 8) {
        const std::uint64_t offsets = at(q) | at(q + 1) << 8 | at(q + 2) << 16 | at(q + 3) << 24 |
                                      at(q + 4) << 32 | at(q + 5) << 40 | at(q + 6) << 48 |
                                      at(q + 7) << 56;
        if (offsets != 0)
            report(q, offsets);
    }
    for (; q < starts; ++q)
        report(q, at(q));
}

template <class OnMatch>
void BitSearch::Feed(const std::uint8_t* data, std::size_t n, OnMatch&& onMatch) {
    if (n == 0)
        return;
    const std::size_t window = std::size_t(FWindow);
    const std::uint64_t dataAt = FFed;
    FFed += n;
    if (FTailLength > 0) {
        // Decide the held bytes with this piece's first bytes; a short piece may leave some
        // held still, together with all of itself.
        const std::size_t add = std::min(n, window - 1);
        std::memcpy(FTail + FTailLength, data, add);
        const std::size_t have = FTailLength + add;
        const std::size_t starts = have >= window ? have - window + 1 : 0;
        const std::uint64_t tailAt = dataAt - FTailLength;
        Scan(FTail, starts, tailAt, onMatch);
        if (starts < FTailLength) {
            std::memmove(FTail, FTail + starts, have - starts);
            FTailLength = have - starts;
            return; // all of data is held (add == n here)
        }
        FTailLength = 0;
    }
    const std::size_t starts = n >= window ? n - window + 1 : 0;
    Scan(data, starts, dataAt, onMatch);
    FTailLength = n - starts;
    std::memcpy(FTail, data + starts, FTailLength);
}

template <class OnMatch> void BitSearch::Finish(OnMatch&& onMatch) {
    // The pairs and the rest may read past the stream's end into zeros; a match is only
    // reported when all of its bits lie within the stream.
    const std::uint64_t tailAt = FFed - FTailLength;
    std::memset(FTail + FTailLength, 0, sizeof FTail - FTailLength);
    const std::uint64_t endBit = FTailLength * 8;
    auto within = [&](std::uint64_t bit) {
        if (bit - tailAt * 8 + std::uint64_t(FPattern.length) <= endBit)
            onMatch(bit);
    };
    Scan(FTail, FTailLength, tailAt, within);
    FTailLength = 0;
}

} // namespace capture
