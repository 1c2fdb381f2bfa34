#pragma once
// A bit pattern searched for and planted the slow, obvious way, as the measure for the fast
// search. Bit 0 of a byte is its most significant bit.

#include <cstdint>
#include <string>
#include <vector>

namespace bitreference {

inline bool BitAt(const std::vector<std::uint8_t>& bytes, std::uint64_t bit) {
    return (bytes[bit / 8] >> (7 - bit % 8)) & 1;
}

// Every bit offset where the text's bits follow, compared one bit at a time.
inline std::vector<std::uint64_t> Find(const std::vector<std::uint8_t>& bytes,
                                       const std::string& text) {
    std::vector<std::uint64_t> found;
    const std::uint64_t total = bytes.size() * 8;
    for (std::uint64_t at = 0; at + text.size() <= total; ++at) {
        bool all = true;
        for (std::size_t i = 0; i < text.size() && all; ++i)
            all = BitAt(bytes, at + i) == (text[i] == '1');
        if (all)
            found.push_back(at);
    }
    return found;
}

// Writes the text's bits over the bytes from bit offset `at`.
inline void Plant(std::vector<std::uint8_t>& bytes, const std::string& text, std::uint64_t at) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::uint64_t bit = at + i;
        const auto mask = std::uint8_t(0x80u >> (bit % 8));
        if (text[i] == '1')
            bytes[bit / 8] |= mask;
        else
            bytes[bit / 8] &= std::uint8_t(~mask);
    }
}

} // namespace bitreference
