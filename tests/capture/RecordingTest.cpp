// Recordings on disk: the time stamps, what the writer puts in the files (rotation included),
// and the reader's refusal of every kind of damage, with the file and line it names.

#include "capture/Recording.h"

#include "tests/support/Files.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

using namespace capture;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

constexpr std::int64_t Dec8 = 1796754412123456; // 2026-12-08T18:26:52.123456Z

class RecordingFiles : public ::testing::Test {
protected:
    std::string Name(const std::string& base = "rec") {
        return QDir(dir_.path()).filePath(QString::fromStdString(base)).toStdString();
    }
    // Bytes that differ from event to event, so a shifted or lost byte shows.
    static std::string Bytes(std::size_t n, int seed) {
        std::string b(n, '\0');
        for (std::size_t i = 0; i < n; ++i)
            b[i] = static_cast<char>((seed * 37 + int(i) * 11) & 0xFF);
        return b;
    }
    // Writes events of the given lengths, 20 ms apart; returns all bytes.
    std::string Write(const std::string& name, const std::vector<std::size_t>& lengths,
                      std::uint64_t rotate = 0) {
        RecordingWriter w(name, rotate);
        std::string all;
        for (std::size_t i = 0; i < lengths.size(); ++i) {
            const std::string b = Bytes(lengths[i], int(i));
            w.Append(reinterpret_cast<const std::uint8_t*>(b.data()), b.size(),
                     Dec8 + std::int64_t(i) * 20000);
            all += b;
        }
        w.Close();
        return all;
    }
    static std::string ReadAll(const RecordingReader& r) {
        std::string all(r.TotalBytes(), '\0');
        RecordingBytes bytes(r);
        bytes.Read(reinterpret_cast<std::uint8_t*>(all.data()), all.size());
        return all;
    }
    // The reader's complaint about name, or "" when it accepts it.
    static std::string Refusal(const std::string& name) {
        try {
            RecordingReader r(name);
        } catch (const RecordingError& e) {
            return e.what();
        }
        return "";
    }

    QTemporaryDir dir_;
};

} // namespace

TEST(RecordingTimes, FormatIsUtcWithMicrosecondsAndZ) {
    EXPECT_EQ(FormatUtc(0), "1970-01-01T00:00:00.000000Z");
    EXPECT_EQ(FormatUtc(Dec8), "2026-12-08T18:26:52.123456Z");
    EXPECT_EQ(FormatUtc(-1), "1969-12-31T23:59:59.999999Z");
    EXPECT_EQ(FormatUtc(951782400000000), "2000-02-29T00:00:00.000000Z");
    EXPECT_EQ(FormatUtc(4107542399999999), "2100-02-28T23:59:59.999999Z");
}

TEST(RecordingTimes, ParseTakesBackEveryFormattedTimeAndNothingElse) {
    std::mt19937_64 random(5);
    for (int i = 0; i < 20000; ++i) {
        const auto t = std::int64_t(random() % 8'000'000'000'000'000ULL) - 1'000'000'000'000'000;
        std::int64_t back = 0;
        ASSERT_TRUE(ParseUtc(FormatUtc(t), back)) << FormatUtc(t);
        ASSERT_EQ(back, t) << FormatUtc(t);
    }
    std::int64_t t = 0;
    for (const char* bad : {"2026-12-08T18:26:52.123456", "2026-12-08T18:26:52.123456Z\r",
                            "2026-12-08 18:26:52.123456Z", "2026-13-08T18:26:52.123456Z",
                            "2026-02-29T00:00:00.000000Z", "2026-04-31T00:00:00.000000Z",
                            "2026-12-08T24:00:00.000000Z", "2026-12-08T18:60:00.000000Z",
                            "2026-12-08T18:26:60.000000Z", "2026-12-00T18:26:52.123456Z",
                            "2026-12-08T18:26:52.12345Z", "+026-12-08T18:26:52.123456Z", ""})
        EXPECT_FALSE(ParseUtc(bad, t)) << bad;
    EXPECT_TRUE(ParseUtc("2024-02-29T23:59:59.999999Z", t));
}

// Times no clock gives still format, without overflowing on the way (the extremes are where
// it would), and the text just past either end of the four-digit years is refused.
TEST(RecordingTimes, FormatCoversEveryTimeAndParseOnlyFourDigitYears) {
    constexpr std::int64_t min = INT64_MIN, max = INT64_MAX;
    EXPECT_EQ(FormatUtc(min), "-290308-12-21T19:59:05.224192Z");
    EXPECT_EQ(FormatUtc(min + 999'999), "-290308-12-21T19:59:06.224191Z");
    EXPECT_EQ(FormatUtc(max), "294247-01-10T04:00:54.775807Z");
    constexpr std::int64_t firstYear0 = -62'167'219'200'000'000;   // 0000-01-01T00:00:00Z
    constexpr std::int64_t firstYear10000 = 253'402'300'800'000'000; // 10000-01-01T00:00:00Z
    std::int64_t t = 0;
    EXPECT_TRUE(ParseUtc(FormatUtc(firstYear0), t));
    EXPECT_EQ(t, firstYear0);
    EXPECT_FALSE(ParseUtc(FormatUtc(firstYear0 - 1), t)) << FormatUtc(firstYear0 - 1);
    EXPECT_TRUE(ParseUtc(FormatUtc(firstYear10000 - 1), t));
    EXPECT_EQ(FormatUtc(firstYear10000 - 1), "9999-12-31T23:59:59.999999Z");
    EXPECT_FALSE(ParseUtc(FormatUtc(firstYear10000), t)) << FormatUtc(firstYear10000);
}

TEST_F(RecordingFiles, WriterAndReaderAgreeOnEveryEventAndByte) {
    const std::string name = Name();
    const std::string all = Write(name, {64, 1, 2048, 3});
    EXPECT_EQ(ReadFile(name + ".bin"), all);
    EXPECT_EQ(ReadFile(name + ".csv"), "offset,length,utc\n"
                                       "0,64,2026-12-08T18:26:52.123456Z\n"
                                       "64,1,2026-12-08T18:26:52.143456Z\n"
                                       "65,2048,2026-12-08T18:26:52.163456Z\n"
                                       "2113,3,2026-12-08T18:26:52.183456Z\n");
    const RecordingReader r(name);
    ASSERT_EQ(r.Events().size(), 4u);
    EXPECT_EQ(r.Events()[2].offset, 65u);
    EXPECT_EQ(r.Events()[2].length, 2048u);
    EXPECT_EQ(r.Events()[3].utcMicros, Dec8 + 60000);
    EXPECT_EQ(r.TotalBytes(), all.size());
    EXPECT_EQ(r.BinFiles(), std::vector<std::string>{name + ".bin"});
    EXPECT_EQ(ReadAll(r), all);
}

TEST_F(RecordingFiles, AnEmptyRecordingIsAHeaderAndNoBytes) {
    const std::string name = Name();
    Write(name, {});
    EXPECT_EQ(ReadFile(name + ".csv"), "offset,length,utc\n");
    const RecordingReader r(name);
    EXPECT_TRUE(r.Events().empty());
    EXPECT_EQ(r.TotalBytes(), 0u);
}

// A new pair starts only between events once the .bin holds the limit; offsets run on.
TEST_F(RecordingFiles, RotationSplitsBetweenEventsWithoutLosingAByte) {
    const std::string name = Name();
    const std::string all = Write(name, {60, 40, 1, 100, 99, 1, 2048, 5}, 100);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(name + ".bin")));
    EXPECT_EQ(ReadFile(name + ".0001.bin").size(), 100u); // 60 + 40: exactly the limit
    EXPECT_EQ(ReadFile(name + ".0002.bin").size(), 101u); // 1 + 100
    EXPECT_EQ(ReadFile(name + ".0003.bin").size(), 100u); // 99 + 1
    EXPECT_EQ(ReadFile(name + ".0004.bin").size(), 2048u);
    EXPECT_EQ(ReadFile(name + ".0005.bin").size(), 5u);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(name + ".0006.bin")));
    EXPECT_EQ(ReadFile(name + ".0002.csv"), "offset,length,utc\n"
                                            "100,1,2026-12-08T18:26:52.163456Z\n"
                                            "101,100,2026-12-08T18:26:52.183456Z\n");
    const RecordingReader r(name);
    EXPECT_EQ(r.Events().size(), 8u);
    EXPECT_EQ(r.BinFiles().size(), 5u);
    EXPECT_EQ(r.BinStarts(), (std::vector<std::uint64_t>{0, 100, 201, 301, 2349}));
    EXPECT_EQ(ReadAll(r), all);
}

// What is on disk after a flush (the recorder flushes each second) is a whole recording even
// while the writer goes on: an interrupted run loses at most the unflushed tail.
TEST_F(RecordingFiles, AFlushedRecordingIsWholeWhileStillOpen) {
    const std::string name = Name();
    RecordingWriter w(name, 1000);
    std::string all;
    for (int i = 0; i < 50; ++i) {
        const std::string b = Bytes(std::size_t(30 + i), i);
        w.Append(reinterpret_cast<const std::uint8_t*>(b.data()), b.size(), Dec8 + i);
        all += b;
        if (i % 7 == 0) {
            w.Flush();
            const RecordingReader r(name);
            EXPECT_EQ(r.Events().size(), std::size_t(i + 1));
            EXPECT_EQ(ReadAll(r), all);
        }
    }
}

TEST_F(RecordingFiles, TheWriterNeverReplacesAnEarlierRecording) {
    for (const char* existing : {".bin", ".csv", ".0001.bin", ".0001.csv"}) {
        const std::string name = Name(std::string("r") + existing);
        WriteFile(name + existing, "earlier");
        for (std::uint64_t rotate : {0, 1024}) {
            try {
                RecordingWriter w(name, rotate);
                ADD_FAILURE() << existing << " was not refused";
            } catch (const RecordingError& e) {
                EXPECT_NE(std::string(e.what()).find(name + existing), std::string::npos)
                    << e.what();
            }
        }
        EXPECT_EQ(ReadFile(name + existing), "earlier");
    }
}

TEST_F(RecordingFiles, DiscardLeavesNoFileBehind) {
    const std::string name = Name();
    RecordingWriter w(name, 10);
    const std::uint8_t b[20] = {};
    w.Append(b, 20, Dec8);
    w.Append(b, 20, Dec8);
    w.Discard();
    EXPECT_TRUE(QDir(dir_.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(RecordingFiles, DamagedRecordingsAreRefusedNamingFileAndLine) {
    const std::string good = "offset,length,utc\n"
                             "0,4,2026-12-08T18:26:52.123456Z\n"
                             "4,2,2026-12-08T18:26:52.143456Z\n";
    struct Case {
        const char* what;
        std::string csv, bin, expected; // expected: a piece of the message
    };
    const std::vector<Case> cases = {
        {"short bin", good, "12345", "holds 5 bytes"},
        {"long bin", good, "1234567", "holds 7 bytes"},
        {"gap",
         "offset,length,utc\n0,4,2026-12-08T18:26:52.123456Z\n5,1,2026-12-08T18:26:52.143456Z\n",
         "12345", "line 3: offset 5 where 4"},
        {"overlap",
         "offset,length,utc\n0,4,2026-12-08T18:26:52.123456Z\n3,2,2026-12-08T18:26:52.143456Z\n",
         "123456", "line 3: offset 3 where 4"},
        {"first not at 0", "offset,length,utc\n1,4,2026-12-08T18:26:52.123456Z\n", "1234",
         "line 2: offset 1 where 0"},
        {"bad time", "offset,length,utc\n0,4,2026-12-08 18:26:52Z\n", "1234", "line 2: not a row"},
        {"extra field", "offset,length,utc\n0,4,2026-12-08T18:26:52.123456Z,x\n", "1234",
         "line 2: not a row"},
        {"signed number", "offset,length,utc\n+0,4,2026-12-08T18:26:52.123456Z\n", "1234",
         "line 2: not a row"},
        {"zero length", "offset,length,utc\n0,0,2026-12-08T18:26:52.123456Z\n", "",
         "line 2: an event of length 0"},
        {"no header", "0,4,2026-12-08T18:26:52.123456Z\n", "1234", "line 1: the header"},
        {"cut short", good.substr(0, good.size() - 5), "123456", "line 3: the line has no end"},
        {"crlf", "offset,length,utc\r\n0,4,2026-12-08T18:26:52.123456Z\r\n", "1234", "line 1"},
    };
    for (const Case& c : cases) {
        const std::string name = Name(c.what);
        WriteFile(name + ".csv", c.csv);
        WriteFile(name + ".bin", c.bin);
        const std::string message = Refusal(name);
        EXPECT_NE(message.find(c.expected), std::string::npos) << c.what << ": " << message;
        EXPECT_NE(message.find(name + "."), std::string::npos) << c.what << ": " << message;
    }
    const std::string name = Name("fine");
    WriteFile(name + ".csv", good);
    WriteFile(name + ".bin", "123456");
    EXPECT_EQ(Refusal(name), "");
}

TEST_F(RecordingFiles, MissingOrAmbiguousFilesAreRefused) {
    EXPECT_NE(Refusal(Name("none")).find("no recording"), std::string::npos);

    const std::string lone = Name("lone");
    WriteFile(lone + ".bin", "");
    EXPECT_NE(Refusal(lone).find(lone + ".csv: missing"), std::string::npos) << Refusal(lone);

    // A series whose second part lost its .bin.
    const std::string series = Name("series");
    Write(series, {10, 10, 10}, 10);
    QFile::remove(QString::fromStdString(series + ".0002.bin"));
    EXPECT_NE(Refusal(series).find(series + ".0002.bin: missing"), std::string::npos)
        << Refusal(series);
    // A series whose second part is gone entirely: the third is not silently left out.
    QFile::remove(QString::fromStdString(series + ".0002.csv"));
    EXPECT_NE(Refusal(series).find(series + ".0002.bin: missing, but"), std::string::npos)
        << Refusal(series);

    const std::string both = Name("both");
    Write(both, {4});
    WriteFile(both + ".0001.bin", "");
    EXPECT_NE(Refusal(both).find("both"), std::string::npos) << Refusal(both);
}

// Bytes read after the check come from each file's own share; a file that shrank since is an
// error, not bytes silently taken from the next file.
TEST_F(RecordingFiles, AFileThatShrankAfterTheCheckIsAnErrorWhenRead) {
    const std::string name = Name();
    Write(name, {10, 10, 10}, 10);
    const RecordingReader r(name);
    WriteFile(name + ".0001.bin", "12345");
    std::uint8_t out[30];
    RecordingBytes bytes(r);
    try {
        bytes.Read(out, 30);
        ADD_FAILURE() << "read past a short file";
    } catch (const RecordingError& e) {
        EXPECT_NE(std::string(e.what()).find(name + ".0001.bin"), std::string::npos) << e.what();
    }
}
