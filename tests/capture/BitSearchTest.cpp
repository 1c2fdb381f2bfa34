// The bit search against a plain bit-by-bit reference, over every pattern length, many ways of
// cutting the stream into pieces, and the edges where a fast search is most likely to slip.

#include "capture/BitSearch.h"

#include "tests/capture/BitReference.h"

#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace {

using capture::BitPattern;
using capture::BitPatternError;
using capture::BitSearch;
using Bytes = std::vector<std::uint8_t>;
using Offsets = std::vector<std::uint64_t>;
using bitreference::Plant;

// The search fed in pieces of the given sizes, cycled until the stream is used up.
Offsets Search(const Bytes& bytes, const std::string& text, const std::vector<std::size_t>& cuts) {
    BitSearch search(BitPattern::Parse(text));
    Offsets found;
    auto add = [&](std::uint64_t bit) { found.push_back(bit); };
    std::size_t at = 0;
    for (std::size_t i = 0; at < bytes.size(); ++i) {
        const std::size_t n = std::min(cuts[i % cuts.size()], bytes.size() - at);
        search.Feed(bytes.data() + at, n, add);
        at += n;
    }
    search.Finish(add);
    return found;
}

Offsets Search(const Bytes& bytes, const std::string& text) {
    return Search(bytes, text, {bytes.size() + 1});
}

std::string RandomBits(std::mt19937& random, int length) {
    std::string text;
    for (int i = 0; i < length; ++i)
        text += char('0' + random() % 2);
    return text;
}

TEST(BitPatternTest, ReadsTheBitsFirstBitMostSignificant) {
    const BitPattern one = BitPattern::Parse("1");
    EXPECT_EQ(one.length, 1);
    EXPECT_EQ(one.bits, 1u);
    const BitPattern word =
        BitPattern::Parse("1000000000000000000000000000000000000000000000000000000000000011");
    EXPECT_EQ(word.length, 64);
    EXPECT_EQ(word.bits, 0x8000000000000003u);
    EXPECT_EQ(BitPattern::Parse("0010").bits, 2u);
}

TEST(BitPatternTest, RefusesWhatIsNotOneToSixtyFourBitsWithAClearMessage) {
    auto message = [](const std::string& text) {
        try {
            BitPattern::Parse(text);
        } catch (const BitPatternError& e) {
            return std::string(e.what());
        }
        return std::string("accepted");
    };
    EXPECT_NE(message("").find("empty"), std::string::npos);
    EXPECT_NE(message(std::string(65, '1')).find("65 characters"), std::string::npos);
    EXPECT_NE(message("0120").find("character 3 is '2'"), std::string::npos);
    EXPECT_NE(message("01 0").find("character 3 is ' '"), std::string::npos);
    EXPECT_NE(message("0x1F").find("character 2 is 'x'"), std::string::npos);
    // A control or non-ASCII byte is named by its value, not written raw to the terminal.
    EXPECT_NE(message("1\n").find("character 2 is byte 10"), std::string::npos);
    EXPECT_NE(message("1\xC3\xA9").find("character 2 is byte 195"), std::string::npos);
    EXPECT_EQ(message(std::string(64, '0')), "accepted");
}

// Every length from 1 to 64: exact copies and copies with one bit wrong planted at random bit
// offsets (so the check past the first two bytes is exercised), on random and on low-variety
// bytes (so candidates that agree in their first bytes are common).
TEST(BitSearchTest, AgreesWithTheReferenceForEveryLengthAndEveryWayOfCutting) {
    std::mt19937 random(20261208);
    for (int length = 1; length <= 64; ++length) {
        for (int round = 0; round < 6; ++round) {
            const std::string text = RandomBits(random, length);
            Bytes bytes(40 + random() % 90);
            const bool lowVariety = round % 2 == 1;
            for (auto& b : bytes)
                b = lowVariety ? std::uint8_t(random() % 2 ? 0x00 : 0xFF) : std::uint8_t(random());
            const std::uint64_t bits = bytes.size() * 8;
            for (int copy = 0; copy < 6; ++copy) {
                std::string planted = text;
                if (copy % 2 == 1) {
                    const std::size_t wrong = random() % planted.size();
                    planted[wrong] = planted[wrong] == '1' ? '0' : '1';
                }
                Plant(bytes, planted, random() % (bits - std::uint64_t(length) + 1));
            }
            // Sometimes right at the start and the end, where a match has no bytes around it.
            if (round == 2) {
                Plant(bytes, text, 0);
                Plant(bytes, text, bits - std::uint64_t(length));
            }
            const Offsets expected = bitreference::Find(bytes, text);
            SCOPED_TRACE("pattern " + text + ", " + std::to_string(bytes.size()) + " bytes");
            EXPECT_EQ(Search(bytes, text), expected);
            for (std::size_t size : {1, 2, 3, 7, 8, 9, 10, 16, 17})
                EXPECT_EQ(Search(bytes, text, {size}), expected) << "pieces of " << size;
            std::vector<std::size_t> uneven;
            for (int i = 0; i < 12; ++i)
                uneven.push_back(std::size_t(random() % 12));
            uneven.push_back(1);
            EXPECT_EQ(Search(bytes, text, uneven), expected) << "uneven pieces, empty ones too";
        }
    }
}

// A stream cut in two at every possible place, for the lengths whose bytes reach furthest.
TEST(BitSearchTest, FindsTheSameWhereverTheStreamIsCutInTwo) {
    std::mt19937 random(7);
    for (int length : {1, 8, 9, 10, 15, 16, 17, 57, 63, 64}) {
        const std::string text = RandomBits(random, length);
        Bytes bytes(24);
        for (auto& b : bytes)
            b = std::uint8_t(random());
        for (std::uint64_t at : {0u, 3u, 61u, 100u})
            Plant(bytes, text, std::min<std::uint64_t>(at, bytes.size() * 8 - text.size()));
        const Offsets expected = bitreference::Find(bytes, text);
        for (std::size_t cut = 0; cut <= bytes.size(); ++cut)
            EXPECT_EQ(Search(bytes, text, {cut, bytes.size()}), expected)
                << "pattern " << text << " cut after byte " << cut;
    }
}

TEST(BitSearchTest, FindsAPatternPlantedAtEveryBitOffsetOfAByte) {
    const std::string sync = "1010110011110000"; // two bytes 0xACF0 when aligned
    for (std::uint64_t bit = 0; bit < 8; ++bit) {
        Bytes bytes(12, 0x00);
        Plant(bytes, sync, 8 * 5 + bit);
        EXPECT_EQ(Search(bytes, sync), Offsets{8 * 5 + bit}) << "at bit " << bit;
    }
}

TEST(BitSearchTest, ReportsEveryOverlappingMatchInOrder) {
    const Bytes ones(3, 0xFF);
    Offsets all;
    for (std::uint64_t at = 0; at <= 20; ++at)
        all.push_back(at);
    EXPECT_EQ(Search(ones, "1111"), all);
    EXPECT_EQ(Search(ones, "1111", {1}), all);
    // 0x55...: "0101" recurs every two bits, overlapping its own copies.
    EXPECT_EQ(Search(Bytes{0x55, 0x55}, "0101"), (Offsets{0, 2, 4, 6, 8, 10, 12}));
}

TEST(BitSearchTest, ShortestAndLongestPatternsReachTheStreamsEnds) {
    const Bytes bytes{0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01};
    EXPECT_EQ(Search(bytes, "1"), (Offsets{0, 63}));
    EXPECT_EQ(Search(bytes, "1" + std::string(62, '0') + "1"), Offsets{0});
    EXPECT_EQ(Search(bytes, std::string(62, '0') + "1"), Offsets{1});
    EXPECT_EQ(Search(bytes, "1" + std::string(62, '0')), Offsets{0});
    // A pattern as long as the stream plus one bit cannot match.
    EXPECT_EQ(Search(Bytes(8, 0x00), std::string(64, '0')), Offsets{0});
    EXPECT_EQ(Search(Bytes(7, 0x00), std::string(64, '0')), Offsets{});
    // 63 and 64 bits across the longest span a match can cover: nine bytes at bit 7.
    Bytes nine(9, 0x00);
    const std::string text63 = "1" + std::string(61, '0') + "1";
    Plant(nine, text63, 7);
    EXPECT_EQ(Search(nine, text63), Offsets{7});
    EXPECT_EQ(Search(nine, text63 + "0"), Offsets{7});
    EXPECT_EQ(Search(nine, "0" + text63), Offsets{6});
}

TEST(BitSearchTest, FindsNothingWhereThereIsNothing) {
    EXPECT_EQ(Search(Bytes(100, 0x00), "1"), Offsets{});
    EXPECT_EQ(Search(Bytes(100, 0xFF), "0"), Offsets{});
    EXPECT_EQ(Search(Bytes(100, 0xAA), "11"), Offsets{});
    EXPECT_EQ(Search(Bytes(100, 0xAA), std::string(64, '1')), Offsets{});
    // Nothing fed at all, and a stream shorter than the pattern.
    EXPECT_EQ(Search(Bytes{}, "0"), Offsets{});
    EXPECT_EQ(Search(Bytes{0xFF}, "111111111"), Offsets{});
}

TEST(BitSearchTest, CountsEveryBitOffsetOfAStreamThatIsAllPattern) {
    // The worst case: 64 zero bits in zeros match at every offset but the last 63.
    BitSearch search(BitPattern::Parse(std::string(64, '0')));
    const Bytes zeros(4096, 0x00);
    std::uint64_t count = 0, expect = 0;
    bool inOrder = true;
    auto add = [&](std::uint64_t bit) {
        inOrder = inOrder && bit == expect;
        ++expect;
        ++count;
    };
    for (int i = 0; i < 16; ++i)
        search.Feed(zeros.data(), zeros.size(), add);
    search.Finish(add);
    EXPECT_EQ(search.BytesFed(), 16u * 4096u);
    EXPECT_EQ(count, 16u * 4096u * 8u - 63u);
    EXPECT_TRUE(inOrder);
}

} // namespace
