// find over real recordings on disk: matches placed across read events and rotated files, at
// the very start and end, tied to the right event; the program's lines and exit statuses end to
// end.

#include "capture/Find.h"

#include "tests/capture/BitReference.h"
#include "tests/support/Files.h"
#include "tests/support/Program.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// 2026-12-08T18:26:52Z; event i arrives i milliseconds and i microseconds later.
constexpr std::int64_t Start = 1796754412LL * 1000000;
std::int64_t TimeOf(std::size_t event) {
    return Start + std::int64_t(event) * 1001;
}

const std::string Sync = "11101011100100000111011010010011"; // 32 bits, no self-overlap

// Lengths that put events of one byte and of odd sizes among the usual 64-byte reads.
const std::vector<std::uint32_t> Lengths = {64, 1, 3, 64, 17, 2, 64, 64, 5, 64, 1, 1, 40, 64};

struct Recording {
    Bytes bytes;
    std::vector<capture::ReadEvent> events;
};

// Zero bytes in events of the lengths above, cycled, `count` events.
Recording Layout(std::size_t count) {
    Recording r;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t length = Lengths[i % Lengths.size()];
        r.events.push_back({r.bytes.size(), length, TimeOf(i)});
        r.bytes.resize(r.bytes.size() + length, 0x00);
    }
    return r;
}

void Write(const Recording& r, const std::string& name, std::uint64_t rotateBytes) {
    capture::RecordingWriter writer(name, rotateBytes);
    for (const auto& e : r.events)
        writer.Append(r.bytes.data() + e.offset, e.length, e.utcMicros);
    writer.Close();
}

// The lines find must print, from the slow reference and a walk over the events.
std::string ExpectedLines(const Recording& r, const std::string& text) {
    std::string lines;
    for (const std::uint64_t bit : bitreference::Find(r.bytes, text)) {
        std::size_t event = 0;
        while (r.events[event].offset + r.events[event].length <= bit / 8)
            ++event;
        lines += std::to_string(bit / 8) + " " + std::to_string(bit % 8) + " " +
                 std::to_string(event) + " " + capture::FormatUtc(r.events[event].utcMicros) + "\n";
    }
    return lines;
}

// The lines of find's search in-process, the file reader's pieces as large as given.
std::string Lines(const capture::RecordingReader& recording, const std::string& text,
                  std::size_t piece = std::size_t(4) << 20) {
    std::string lines;
    capture::FindInRecording(
        recording, capture::BitPattern::Parse(text),
        [&](const capture::FoundBits& m) {
            lines += std::to_string(m.byte) + " " + std::to_string(m.bit) + " " +
                     std::to_string(m.event) + " " + capture::FormatUtc(TimeOf(m.event)) + "\n";
        },
        piece);
    return lines;
}

using testsupport::ProgramRun;

ProgramRun Capture(const QString& folder, const QStringList& args, const QString& stdoutFile = {}) {
    return testsupport::RunProgram(
        KELVOR_CAPTURE, args,
        {.workingDirectory = folder, .stdoutFile = stdoutFile, .limit = std::chrono::seconds(30)});
}

class FindTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const {
        return folder.filePath(name.c_str()).toStdString();
    }
    QTemporaryDir folder;
};

TEST_F(FindTest, ThePatternAtEveryBitOffsetAcrossEventsAndFilesAtBothEnds) {
    Recording r = Layout(60);
    // Rotation after 256 bytes: the recording spans several files, each ending with an event.
    Write(r, Path("layout"), 256);
    const capture::RecordingReader probe(Path("layout"));
    ASSERT_GE(probe.BinStarts().size(), 3u);
    const std::uint64_t fileStart = probe.BinStarts()[2];

    std::vector<std::uint64_t> planted{0, r.bytes.size() * 8 - Sync.size()};
    // At bit s of the byte two before event 3 + 6s: the first 16 - s bits in the events before.
    for (std::uint64_t s = 0; s < 8; ++s)
        planted.push_back((r.events[3 + 6 * s].offset - 2) * 8 + s);
    // A match that begins in the last byte of one file and ends in the next one.
    planted.push_back(fileStart * 8 - 5);
    // One that spans a whole one-byte event, from the event before to the one after.
    ASSERT_EQ(r.events[29].length, 1u);
    planted.push_back(r.events[29].offset * 8 - 3);
    for (const std::uint64_t at : planted)
        bitreference::Plant(r.bytes, Sync, at);
    Write(r, Path("rec"), 256);

    const std::string expected = ExpectedLines(r, Sync);
    const ProgramRun run =
        Capture(folder.path(), {"find", "rec", "--bits", QString::fromStdString(Sync)});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, expected);
    // Every planted copy is among the lines (none lost to a boundary), and nothing else.
    std::size_t lines = 0;
    for (char c : run.out)
        lines += c == '\n';
    EXPECT_EQ(lines, planted.size());
    // The first and the last, written out: the start of event 0 and the last bits of event 59.
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')), "0 0 0 2026-12-08T18:26:52.000000Z");
    const std::uint64_t last = r.bytes.size() * 8 - Sync.size();
    EXPECT_NE(run.out.find(std::to_string(last / 8) + " " + std::to_string(last % 8) +
                           " 59 2026-12-08T18:26:52.059059Z\n"),
              std::string::npos);
}

TEST_F(FindTest, OverlappingShortAndLongestPatternsAndNoMatch) {
    Recording r = Layout(5); // 64 + 1 + 3 + 64 + 17 bytes
    for (std::size_t i = 64; i < 68; ++i)
        r.bytes[i] = 0xFF; // events 1 and 2: 32 one bits, then zeros again
    const std::string name = Path("ones");
    Write(r, name, 0);
    const capture::RecordingReader recording(name);
    for (const std::string& text :
         std::vector<std::string>{"1111", "1", "11111111", "0" + std::string(62, '1'),
                                  std::string(64, '0'), "0" + std::string(33, '1')}) {
        EXPECT_EQ(Lines(recording, text), ExpectedLines(r, text)) << "pattern " << text;
    }
    // "1111" in 32 ones: 29 overlapping matches, the first in the one-byte event 1.
    const ProgramRun run = Capture(folder.path(), {"find", "ones", "--bits", "1111"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')), "64 0 1 2026-12-08T18:26:52.001001Z");
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 29);

    const ProgramRun none = Capture(folder.path(), {"find", "ones", "--bits", "101"});
    EXPECT_EQ(none.status, 0) << "no match is not a failure";
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "");
}

// The file reader's pieces are one more place for a match to fall between: pieces of every small
// size, through the real files.
TEST_F(FindTest, PiecesOfAnySizeFromTheFilesFindTheSame) {
    Recording r = Layout(30);
    std::mt19937 random(11);
    for (auto& b : r.bytes)
        b = std::uint8_t(random() % 4 == 0 ? random() : 0xA5);
    for (int copy = 0; copy < 20; ++copy)
        bitreference::Plant(r.bytes, Sync, random() % (r.bytes.size() * 8 - Sync.size()));
    const std::string name = Path("pieces");
    Write(r, name, 100);
    const capture::RecordingReader recording(name);
    const std::string expected = ExpectedLines(r, Sync);
    for (std::size_t piece : {1, 2, 3, 5, 8, 9, 63, 64, 65, 1000, 1 << 20}) {
        EXPECT_EQ(Lines(recording, Sync, piece), expected) << "pieces of " << piece << " bytes";
    }
}

TEST(EventAtTest, FindsTheEventOfEveryByteFromAnyEarlierEvent) {
    const Recording r = Layout(40);
    for (std::size_t from = 0; from < r.events.size(); from += 7) {
        for (std::uint64_t byte = r.events[from].offset; byte < r.bytes.size(); ++byte) {
            const std::size_t event = capture::EventAt(r.events, byte, from);
            ASSERT_LT(event, r.events.size());
            EXPECT_TRUE(r.events[event].offset <= byte &&
                        byte < r.events[event].offset + r.events[event].length)
                << "byte " << byte << " from event " << from << " gave event " << event;
        }
    }
}

TEST_F(FindTest, RefusesBadPatternsDamagedRecordingsAndUnwritableOutput) {
    Recording r = Layout(3);
    bitreference::Plant(r.bytes, Sync, 0);
    Write(r, Path("good"), 0);

    for (const QStringList& args :
         {QStringList{"find", "good", "--bits", "10201"}, QStringList{"find", "good", "--bits", ""},
          QStringList{"find", "good", "--bits", QString(65, '1')}, QStringList{"find", "good"},
          QStringList{"find", "--bits", "1"},
          QStringList{"find", "good", "--bits", "1", "--bits", "0"}}) {
        const ProgramRun run = Capture(folder.path(), args);
        EXPECT_EQ(run.status, 2) << args.join(' ').toStdString();
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err, "");
    }
    EXPECT_NE(
        Capture(folder.path(), {"find", "good", "--bits", "10201"}).err.find("character 3 is '2'"),
        std::string::npos);

    // An index that claims more bytes than the .bin holds: refused, naming the file.
    Write(r, Path("cut"), 0);
    const std::string bin = testsupport::ReadFile(Path("cut.bin"));
    testsupport::WriteFile(Path("cut.bin"), bin.substr(0, bin.size() - 1));
    const ProgramRun damaged = Capture(folder.path(), {"find", "cut", "--bits", "1"});
    EXPECT_EQ(damaged.status, 1);
    EXPECT_EQ(damaged.out, "");
    EXPECT_NE(damaged.err.find("cut.csv"), std::string::npos) << damaged.err;

    const ProgramRun missing = Capture(folder.path(), {"find", "nothing", "--bits", "1"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("nothing"), std::string::npos);

    // Matches that cannot be written are a failure, not a silent success.
    const ProgramRun full =
        Capture(folder.path(), {"find", "good", "--bits", Sync.c_str()}, "/dev/full");
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find("cannot write"), std::string::npos) << full.err;
}

} // namespace
