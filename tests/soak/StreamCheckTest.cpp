// The soak's oracle has to catch every way a capture can go wrong, or a soak that passes
// proves nothing: lost, changed or reordered bytes, lines that do not match read events, and
// connection lines that are missing or out of place.

#include "tests/soak/StreamCheck.h"

#include <gtest/gtest.h>

namespace {

using soak::CheckCapture;
using soak::DecodeBitLine;
using soak::Session;
using soak::SessionKind;

const std::string Stars(51, '*');

std::string Bits(const std::vector<std::uint8_t>& bytes) {
    std::string line;
    for (const std::uint8_t b : bytes)
        for (int i = 7; i >= 0; --i)
            line.push_back((b >> i) & 1 ? '1' : '0');
    return line;
}

// A session and the lines the window writes for it, its bytes cut into read events.
struct Capture {
    std::vector<Session> sessions;
    std::vector<std::string> lines;

    void Stream(int port, const std::vector<std::vector<std::uint8_t>>& reads) {
        Session s;
        s.port = port;
        const std::string at = "127.0.0.1 / " + std::to_string(port);
        lines.push_back("Connected to " + at);
        for (const auto& r : reads) {
            s.bytes.insert(s.bytes.end(), r.begin(), r.end());
            lines.push_back(Bits(r));
        }
        s.readEvents = reads.size();
        lines.insert(lines.end(), {"Server at " + at + " disconnected", Stars, ""});
        sessions.push_back(s);
    }
    void Refused(int port) {
        Session s;
        s.kind = SessionKind::Refused;
        s.port = port;
        const std::string at = "127.0.0.1 / " + std::to_string(port);
        lines.insert(lines.end(), {"Lost connection to server at " + at, Stars, "",
                                   "Server at " + at + " disconnected", Stars, ""});
        sessions.push_back(s);
    }
};

Capture ThreeKinds() {
    Capture c;
    c.Stream(4000, {{0x00, 0xFF}, {0x80}, {0x01, 0x7E, 0x0D, 0x0A}});
    c.Refused(4001);
    c.Stream(4002, {{0x41}, {}, {0x42, 0x43}}); // a read event that got nothing
    return c;
}

TEST(BitLines, DecodeMostSignificantBitFirst) {
    std::vector<std::uint8_t> out;
    EXPECT_TRUE(DecodeBitLine("0100000111111111", out));
    EXPECT_EQ(out, (std::vector<std::uint8_t>{0x41, 0xFF}));
    EXPECT_TRUE(DecodeBitLine("", out));
    EXPECT_EQ(out.size(), 2u);
}

TEST(BitLines, AnythingElseIsRefusedAndAddsNothing) {
    std::vector<std::uint8_t> out{7};
    EXPECT_FALSE(DecodeBitLine("0100000", out));            // seven bits
    EXPECT_FALSE(DecodeBitLine("010000010", out));          // nine
    EXPECT_FALSE(DecodeBitLine("0100 001", out));           // a space
    EXPECT_FALSE(DecodeBitLine("01000001\r", out));         // a paragraph mark left on
    EXPECT_FALSE(DecodeBitLine(std::string(51, '*'), out)); // the separator line
    EXPECT_EQ(out, std::vector<std::uint8_t>{7});
}

TEST(Capture, AWholeCapturePasses) {
    const Capture c = ThreeKinds();
    const auto r = CheckCapture(c.sessions, c.lines);
    EXPECT_TRUE(r.errors.empty()) << r.errors.front();
    EXPECT_EQ(r.bytes, 10u);
    EXPECT_EQ(r.bitLines, 6u);
}

TEST(Capture, ALongestReadEventPassesAndALongerLineDoesNot) {
    Capture c;
    c.Stream(5000, {std::vector<std::uint8_t>(2048, 0x5A)});
    EXPECT_TRUE(CheckCapture(c.sessions, c.lines).errors.empty());
    Capture longer;
    longer.Stream(5000, {std::vector<std::uint8_t>(2049, 0x5A)});
    EXPECT_FALSE(CheckCapture(longer.sessions, longer.lines).errors.empty());
}

TEST(Capture, ALostByteIsFound) {
    Capture c = ThreeKinds();
    c.lines[3] = Bits({0x01, 0x7E, 0x0D}); // the last byte of the first session is gone
    const auto r = CheckCapture(c.sessions, c.lines);
    ASSERT_EQ(r.errors.size(), 1u);
    EXPECT_NE(r.errors[0].find("shows 6 of the 7 bytes"), std::string::npos) << r.errors[0];
    EXPECT_NE(r.errors[0].find("session 1"), std::string::npos) << r.errors[0];
}

TEST(Capture, AChangedBitIsFoundWhereItIs) {
    Capture c = ThreeKinds();
    c.lines[2][0] = '0'; // the third byte, 0x80, becomes 0x00
    const auto r = CheckCapture(c.sessions, c.lines);
    ASSERT_EQ(r.errors.size(), 1u);
    EXPECT_NE(r.errors[0].find("first difference is at byte 2"), std::string::npos) << r.errors[0];
}

TEST(Capture, SwappedReadEventsAreFound) {
    Capture c = ThreeKinds();
    std::swap(c.lines[1], c.lines[2]);
    EXPECT_EQ(CheckCapture(c.sessions, c.lines).errors.size(), 1u);
}

TEST(Capture, LinesMustMatchReadEvents) {
    // The same bytes, but two read events shown as one line, or one as two.
    Capture joined = ThreeKinds();
    joined.lines[1] += joined.lines[2];
    joined.lines.erase(joined.lines.begin() + 2);
    auto r = CheckCapture(joined.sessions, joined.lines);
    ASSERT_EQ(r.errors.size(), 1u);
    EXPECT_NE(r.errors[0].find("2 bit lines for 3 read events"), std::string::npos) << r.errors[0];

    Capture split = ThreeKinds();
    split.lines.insert(split.lines.begin() + 2, split.lines[1].substr(8));
    split.lines[1].resize(8);
    r = CheckCapture(split.sessions, split.lines);
    ASSERT_EQ(r.errors.size(), 1u);
    EXPECT_NE(r.errors[0].find("4 bit lines for 3 read events"), std::string::npos);
}

TEST(Capture, MissingOrStrayConnectionLinesStopTheWalk) {
    Capture noConnect = ThreeKinds();
    noConnect.lines.erase(noConnect.lines.begin());
    EXPECT_FALSE(CheckCapture(noConnect.sessions, noConnect.lines).errors.empty());

    Capture wrongPort = ThreeKinds();
    wrongPort.lines[4] = "Server at 127.0.0.1 / 4999 disconnected";
    const auto r = CheckCapture(wrongPort.sessions, wrongPort.lines);
    ASSERT_FALSE(r.errors.empty());
    EXPECT_NE(r.errors[0].find("not a bit line"), std::string::npos) << r.errors[0];

    Capture refusedOnce = ThreeKinds();
    refusedOnce.lines.erase(refusedOnce.lines.begin() + 10, refusedOnce.lines.begin() + 13);
    EXPECT_FALSE(CheckCapture(refusedOnce.sessions, refusedOnce.lines).errors.empty());
}

TEST(Capture, ACaptureThatEndsEarlyOrGoesOnIsFound) {
    Capture cut = ThreeKinds();
    cut.lines.resize(cut.lines.size() - 3); // the last disconnect lines never came
    auto r = CheckCapture(cut.sessions, cut.lines);
    ASSERT_FALSE(r.errors.empty());
    EXPECT_NE(r.errors.back().find("the capture ends"), std::string::npos) << r.errors.back();

    Capture more = ThreeKinds();
    more.lines.push_back("01000001");
    r = CheckCapture(more.sessions, more.lines);
    ASSERT_EQ(r.errors.size(), 1u);
    EXPECT_NE(r.errors[0].find("1 lines after the last session"), std::string::npos);
}

TEST(Capture, ASessionWithNoDataIsJustItsLines) {
    Capture c;
    c.Stream(6000, {});
    EXPECT_TRUE(CheckCapture(c.sessions, c.lines).errors.empty());
    c.sessions[0].bytes = {0x00}; // sent, but not shown
    EXPECT_FALSE(CheckCapture(c.sessions, c.lines).errors.empty());
}

} // namespace
