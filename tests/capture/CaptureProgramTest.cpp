// kelvor-capture as its users run it, against the station simulator on 127.0.0.1: what it
// records compared with what the monitor's own window shows from the same station, how a run
// ends (Ctrl-C, the station's close, a reset, a refused port), rotation, and export compared
// with the monitor's own save. Nothing here connects anywhere but 127.0.0.1.

#include "app/Main.h"
#include "capture/Recording.h"
#include "framework/Application.h"
#include "tests/platform/winsock/LoopbackPeer.h"
#include "tests/support/Files.h"
#include "tests/support/LibreOffice.h"
#include "tests/support/Pump.h"
#include "tests/tools/StationProcess.h"

#include <QDir>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <sys/stat.h>

using namespace std::chrono_literals;
using stationtest::StationProcess;

namespace {

using Bytes = std::vector<std::uint8_t>;

// The bits of bytes, most significant first: the test's own rendering, not the monitor's.
std::string Bits(const std::uint8_t* bytes, std::size_t n) {
    std::string bits;
    for (std::size_t i = 0; i < n; ++i)
        for (int k = 7; k >= 0; --k)
            bits += (bytes[i] >> k) & 1 ? '1' : '0';
    return bits;
}

Bytes Counter(std::size_t n) {
    Bytes v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = std::uint8_t(i);
    return v;
}

// The recording's bytes and its events as bit lines.
struct Loaded {
    Bytes bytes;
    std::vector<std::string> lines;
    std::vector<capture::ReadEvent> events;
};
Loaded Load(const std::string& name) {
    const capture::RecordingReader reader(name);
    Loaded l;
    l.events = reader.Events();
    l.bytes.resize(reader.TotalBytes());
    capture::RecordingBytes(reader).Read(l.bytes.data(), l.bytes.size());
    for (const auto& e : l.events)
        l.lines.push_back(Bits(l.bytes.data() + e.offset, e.length));
    return l;
}

std::size_t FileSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? std::size_t(st.st_size) : 0;
}

struct Outcome {
    int status = -1;
    std::string err;
};

class CaptureProgram : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // The recorder is a real program; in tests its socket layer refuses all but loopback.
        ::setenv("KELVOR_LOOPBACK_ONLY", "1", 1);
    }
    void TearDown() override {
        MessageDlgScriptedAnswer = [](const std::string&, TMsgDlgButtons) { return mrNo; };
        form_.reset();
        MessageDlgScriptedAnswer = nullptr;
        TCommonDialog::ScriptedAnswer = nullptr;
    }

    std::string Path(const std::string& file) const {
        return QDir(dir_.path()).filePath(QString::fromStdString(file)).toStdString();
    }
    static Outcome Capture(const std::vector<std::string>& args) {
        StationProcess p(KELVOR_CAPTURE, args);
        Outcome r;
        r.status = p.WaitForExit(30s).value_or(-1);
        r.err = p.Errors();
        return r;
    }

    // The monitor's window, built from its form data, one line per read event (no wrapping).
    void OpenMonitor() {
        app_.Initialize();
        app_.OnException = [this](TObject*, const std::exception& e) {
            shown_.push_back(e.what());
        };
        form_ = std::make_unique<TForm1>(nullptr);
        form_->HandleNeeded();
        SendMessage(form_->KelvorEdit201->Handle(), EM_SETTARGETDEVICE, 0, 1);
    }
    TMyStrings* Lines() { return form_->KelvorEdit201->Lines(); }
    // Connects the monitor to port and waits for the station's end; the bit lines between
    // the connected line and the three disconnected lines.
    std::vector<std::string> MonitorLines(int port) {
        form_->IPAddr->SetText("127.0.0.1");
        form_->IPPort->SetText(std::to_string(port));
        form_->Button1->Click();
        const std::string end = "Server at 127.0.0.1 / " + std::to_string(port) + " disconnected";
        EXPECT_TRUE(testsupport::PumpUntil(
            [&] { return Lines()->Count() >= 4 && Lines()->Get(Lines()->Count() - 3) == end; },
            20s));
        std::vector<std::string> lines;
        for (int i = 0; i < Lines()->Count(); ++i)
            lines.push_back(Lines()->Get(i));
        EXPECT_GE(lines.size(), 4u);
        if (lines.size() < 4)
            return {};
        EXPECT_EQ(lines[0], "Connected to 127.0.0.1 / " + std::to_string(port));
        return std::vector<std::string>(lines.begin() + 1, lines.end() - 3);
    }

    QTemporaryDir dir_;
    TApplication app_;
    std::vector<std::string> shown_;
    std::unique_ptr<TForm1> form_;
};

::testing::AssertionResult Contains(const std::string& text, const std::string& piece) {
    if (text.find(piece) != std::string::npos)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << piece << "\" not in:\n" << text;
}

} // namespace

// One simulator run serves the recorder and then the monitor, from the pattern's start each;
// blocks 20 ms apart keep one block per read event for both.
TEST_F(CaptureProgram, RecordsTheReadEventsTheMonitorShowsAndExportsWhatItSaves) {
    const std::uint32_t seed = 4711;
    StationProcess station({"--port", "0", "--pattern", "random", "--seed", std::to_string(seed),
                            "--block", "64", "--rate", "3200", "--bytes", "1600"});
    const int port = station.ListeningPort();
    ASSERT_GT(port, 0) << station.Errors();
    const std::string name = Path("run");
    const Outcome rec = Capture({"record", "127.0.0.1", std::to_string(port), name});
    ASSERT_EQ(rec.status, 0) << rec.err;
    const std::string at = "127.0.0.1 / " + std::to_string(port);
    EXPECT_TRUE(Contains(rec.err, "Connected to " + at + "\n"));
    EXPECT_TRUE(Contains(rec.err, "Server at " + at + " disconnected\n"));

    const Loaded recorded = Load(name);
    EXPECT_EQ(recorded.bytes, stationtest::RandomPatternBytes(seed, 1600));
    EXPECT_EQ(recorded.events.size(), 25u);

    OpenMonitor();
    const std::vector<std::string> shown = MonitorLines(port);
    EXPECT_EQ(shown, recorded.lines);
    EXPECT_TRUE(shown_.empty());

    // The monitor saves exactly the event lines; export writes the same document.
    Lines()->Delete(Lines()->Count() - 1);
    Lines()->Delete(Lines()->Count() - 1);
    Lines()->Delete(Lines()->Count() - 1);
    Lines()->Delete(0);
    const std::string saved = Path("monitor.rtf");
    TCommonDialog::ScriptedAnswer = [&](TCommonDialog& dialog) {
        static_cast<TSaveDialog&>(dialog).SetFileName(saved);
        return true;
    };
    form_->SaveBitStream1->Click();
    ASSERT_EQ(Lines()->Count(), 0) << "the monitor did not save";
    const Outcome rtf = Capture({"export", name, "--rtf", Path("export.rtf")});
    ASSERT_EQ(rtf.status, 0) << rtf.err;
    const Outcome text = Capture({"export", name, "--text", Path("export.txt")});
    ASSERT_EQ(text.status, 0) << text.err;
    std::string lines;
    for (const auto& l : recorded.lines)
        lines += l + "\n";
    EXPECT_EQ(testsupport::ReadFile(Path("export.txt")), lines);
    EXPECT_EQ(testsupport::ReadFile(Path("export.rtf")), testsupport::ReadFile(saved));

    KELVOR_REQUIRE_LIBREOFFICE();
    const std::string exported = testsupport::LibreOfficeText(Path("export.rtf"));
    EXPECT_EQ(exported, testsupport::LibreOfficeText(saved));
    // The view ends with the last line's paragraph mark: an empty last paragraph.
    EXPECT_EQ(exported, lines + "\n");
}

// Ctrl-C (or a TERM) in the middle of a stream: both files whole and in agreement.
TEST_F(CaptureProgram, AnInterruptedCaptureLeavesAWholeRecording) {
    StationProcess station({"--port", "0", "--block", "64", "--rate", "6400"});
    const int port = station.ListeningPort();
    ASSERT_GT(port, 0) << station.Errors();
    for (const int signal : {SIGINT, SIGTERM}) {
        const std::string name = Path("cut" + std::to_string(signal));
        StationProcess recorder(KELVOR_CAPTURE,
                                {"record", "127.0.0.1", std::to_string(port), name});
        // Mid-stream: the recorder's first flush (after about a second) has reached the disk.
        ASSERT_TRUE(testsupport::PumpUntil([&] { return FileSize(name + ".bin") > 0; }, 10s));
        recorder.Signal(signal);
        ASSERT_EQ(recorder.WaitForExit(10s), 0) << recorder.Errors();
        EXPECT_TRUE(Contains(recorder.Errors(),
                             "Server at 127.0.0.1 / " + std::to_string(port) + " disconnected"));
        const Loaded recorded = Load(name); // the reader checks rows against bytes
        EXPECT_GT(recorded.bytes.size(), FileSize(name + ".bin") / 2);
        EXPECT_EQ(recorded.bytes, Counter(recorded.bytes.size()));
        ASSERT_TRUE(station.ReadLine(10s)); // "monitor connected ..."
        ASSERT_TRUE(station.ReadLine(10s)); // its summary: the station saw the recorder leave
    }
}

// The monitor's texts, in the monitor's order, and a failing status.
TEST_F(CaptureProgram, ARefusedPortAndAResetFailWithTheMonitorsTexts) {
    const std::uint16_t unused = loopback::UnusedPort();
    const std::string at = "127.0.0.1 / " + std::to_string(unused);
    const Outcome refused =
        Capture({"record", "127.0.0.1", std::to_string(unused), Path("refused")});
    EXPECT_EQ(refused.status, 1);
    const auto lost = refused.err.find("Lost connection to server at " + at + "\n");
    const auto gone = refused.err.find("Server at " + at + " disconnected\n");
    EXPECT_NE(lost, std::string::npos) << refused.err;
    EXPECT_LT(lost, gone) << refused.err;
    EXPECT_TRUE(QDir(dir_.path()).entryList(QDir::Files).isEmpty())
        << "a recording that never began leaves no files";

    StationProcess station({"--port", "0", "--block", "64", "--rate", "6400", "--bytes", "640",
                            "--end", "reset", "--once"});
    const int port = station.ListeningPort();
    ASSERT_GT(port, 0) << station.Errors();
    const Outcome reset = Capture({"record", "127.0.0.1", std::to_string(port), Path("reset")});
    EXPECT_EQ(reset.status, 1) << reset.err;
    EXPECT_TRUE(Contains(reset.err, "reset the connection"));
    EXPECT_TRUE(
        Contains(reset.err, "Server at 127.0.0.1 / " + std::to_string(port) + " disconnected"));
    EXPECT_EQ(Load(Path("reset")).bytes, Counter(640)) << "what came before the reset is kept";
}

TEST_F(CaptureProgram, RotationSplitsAtReadEventsWithoutLosingAByte) {
    StationProcess station(
        {"--port", "0", "--block", "300", "--rate", "60000", "--bytes", "12000", "--once"});
    const int port = station.ListeningPort();
    ASSERT_GT(port, 0) << station.Errors();
    const std::string name = Path("rot");
    const Outcome rec =
        Capture({"record", "127.0.0.1", std::to_string(port), name, "--rotate-bytes", "1K"});
    ASSERT_EQ(rec.status, 0) << rec.err;
    const capture::RecordingReader reader(name);
    ASSERT_GE(reader.BinFiles().size(), 5u);
    const auto& starts = reader.BinStarts();
    for (std::size_t i = 0; i + 1 < starts.size(); ++i) {
        const std::uint64_t size = starts[i + 1] - starts[i];
        EXPECT_GE(size, 1024u) << reader.BinFiles()[i];
        // Less than the limit before its last event: the pair ended at the first boundary.
        std::uint64_t lastLength = 0;
        for (const auto& e : reader.Events())
            if (e.offset < starts[i + 1])
                lastLength = e.length;
        EXPECT_LT(size - lastLength, 1024u) << reader.BinFiles()[i];
    }
    EXPECT_EQ(Load(name).bytes, Counter(12000));
}

// A replay of a recording (blocks of several sizes) shows its events as the monitor's lines.
TEST_F(CaptureProgram, AMonitorFedByAReplayShowsTheRecordedLines) {
    const std::string name = Path("made");
    {
        capture::RecordingWriter writer(name);
        std::mt19937 random(3);
        std::int64_t t = capture::UtcMicrosNow();
        for (const std::size_t length : {1, 7, 64, 2048, 300, 2, 1000}) {
            Bytes b(length);
            for (auto& x : b)
                x = std::uint8_t(random());
            writer.Append(b.data(), b.size(), t);
            t += 40000;
        }
        writer.Close();
    }
    StationProcess station({"--port", "0", "--replay", name, "--once"});
    const int port = station.ListeningPort();
    ASSERT_GT(port, 0) << station.Errors();
    OpenMonitor();
    EXPECT_EQ(MonitorLines(port), Load(name).lines);
}

TEST_F(CaptureProgram, ExportRefusesDamageAndKeepsExistingFiles) {
    const std::string name = Path("bad");
    testsupport::WriteFile(name + ".bin", "1234");
    testsupport::WriteFile(name + ".csv", "offset,length,utc\n0,5,2026-12-08T18:26:52.123456Z\n");
    const Outcome damaged = Capture({"export", name, "--text", Path("out.txt")});
    EXPECT_EQ(damaged.status, 1);
    EXPECT_TRUE(Contains(damaged.err, name + ".csv line 2"));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Path("out.txt"))));

    testsupport::WriteFile(name + ".csv", "offset,length,utc\n0,4,2026-12-08T18:26:52.123456Z\n");
    testsupport::WriteFile(Path("out.txt"), "an earlier export");
    const Outcome kept = Capture({"export", name, "--text", Path("out.txt")});
    EXPECT_EQ(kept.status, 1);
    EXPECT_EQ(testsupport::ReadFile(Path("out.txt")), "an earlier export");
    const Outcome forced = Capture({"export", name, "--text", Path("out.txt"), "--force"});
    EXPECT_EQ(forced.status, 0) << forced.err;
    EXPECT_EQ(testsupport::ReadFile(Path("out.txt")),
              "00110001001100100011001100110100\n"); // "1234"
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files).size(), 3) << "no partial file left";
}

TEST_F(CaptureProgram, UsageErrorsExitTwoAndHelpNamesTheCommands) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{},
                                               {"bogus"},
                                               {"record", "127.0.0.1", "1236"},
                                               {"record", "127.0.0.1", "0", "x"},
                                               {"export", "x"}}) {
        const Outcome r = Capture(args);
        EXPECT_EQ(r.status, 2) << ::testing::PrintToString(args) << r.err;
        EXPECT_FALSE(r.err.empty());
    }
    StationProcess help(KELVOR_CAPTURE, {"--help"});
    ASSERT_EQ(help.WaitForExit(), 0);
    EXPECT_TRUE(Contains(help.Output(), "record ADDRESS PORT NAME [--rotate-bytes N]"));
    EXPECT_TRUE(Contains(help.Output(), "export NAME (--rtf FILE | --text FILE)"));
}
