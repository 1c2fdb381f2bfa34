// The pattern's text, the pair table and the check of a candidate's remaining bits.

#include "capture/BitSearch.h"

#include <string>

namespace capture {

BitPattern BitPattern::Parse(std::string_view text) {
    if (text.empty())
        throw BitPatternError("the bit pattern is empty; give 1 to 64 characters 0 or 1");
    if (text.size() > 64)
        throw BitPatternError("the bit pattern has " + std::to_string(text.size()) +
                              " characters; at most 64 bits can be searched");
    BitPattern pattern;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '0' && c != '1') {
            const unsigned char u = static_cast<unsigned char>(c);
            const std::string shown =
                u >= 0x20 && u < 0x7F ? std::string("'") + c + "'" : "byte " + std::to_string(u);
            throw BitPatternError("the bit pattern may hold only 0 and 1, but character " +
                                  std::to_string(i + 1) + " is " + shown);
        }
        pattern.bits = pattern.bits << 1 | std::uint64_t(c - '0');
    }
    pattern.length = int(text.size());
    return pattern;
}

BitSearch::BitSearch(const BitPattern& pattern)
    : FPattern(pattern), FWindow(Window(pattern.length)), FPairs(1 << 16) {
    if (pattern.length < 1 || pattern.length > 64)
        throw BitPatternError("a bit pattern holds 1 to 64 bits");
    const int length = pattern.length;
    for (int s = 0; s < 8; ++s) {
        // The pattern's first `bits` bits, placed at bit s of a 16-bit pair.
        const int bits = std::min(length, 16 - s);
        const unsigned head = unsigned(pattern.bits >> (length - bits));
        const int shift = 16 - s - bits;
        const unsigned mask = ((1u << bits) - 1) << shift;
        const unsigned want = head << shift;
        for (unsigned pair = 0; pair < (1u << 16); ++pair) {
            if ((pair & mask) == want)
                FPairs[pair] |= std::uint8_t(1u << s);
        }
    }
}

bool BitSearch::Rest(const std::uint8_t* p, int s) const {
    const int length = FPattern.length;
    if (s + length <= 16)
        return true;
    // The covered bytes, most significant first, left-aligned in 72 bits (word, then last).
    const int count = (s + length + 7) / 8;
    std::uint64_t word = 0;
    for (int i = 0; i < 8; ++i)
        word = word << 8 | (i < count ? p[i] : 0u);
    const unsigned last = count > 8 ? p[8] : 0u;
    if (s > 0)
        word = word << s | last >> (8 - s);
    return word >> (64 - length) == FPattern.bits;
}

} // namespace capture
