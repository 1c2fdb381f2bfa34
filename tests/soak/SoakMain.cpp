// kelvor-soak: the real monitor window (offscreen, in this process, so the view, the window
// layer and the process's memory can be looked at directly) against the station simulator on
// 127.0.0.1, for minutes. It cycles through an orderly close by the station, a reset by the
// station and a connect to a refused port, saves the bit stream to a fresh file at a fixed
// interval while data flows, and at the end checks that every byte sent is in the files and
// the view, in order, one line per read event; that memory returns to its level after each
// save; and that no file descriptor, window or timer outlives a cycle.

#include "app/Main.h"
#include "framework/Application.h"
#include "platform/richedit/RichEdit.h"
#include "platform/winsock/Winsock.h"
#include "richedit/RichEdit2.h"
#include "tests/platform/winsock/LoopbackPeer.h"
#include "tests/soak/Probes.h"
#include "tests/soak/StreamCheck.h"
#include "tests/support/Headless.h"
#include "tests/support/Pump.h"
#include "tests/tools/StationProcess.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using soak::Counts;
using soak::Session;
using soak::SessionKind;

struct Options {
    double seconds = 600;
    double saveEvery = 60;
    std::uint64_t rate = 16384; // bytes per second from the station
    std::uint32_t seed = 1;
    // How far the resident set after a save may lie above its level after the first save.
    // Measured after returning freed heap to the system, the level moves by well under a
    // megabyte from save to save; what may still grow is glyph and layout caches and heap
    // fragmentation, a few megabytes. A view that kept a minute of data would exceed it.
    double rssToleranceMb = 8;
    std::string outDir; // empty: a temporary folder, removed at the end
    bool help = false;
};

const char* const Usage = R"(usage: kelvor-soak [options]

Runs the monitor window offscreen against the station simulator on 127.0.0.1 and cycles through
a stream closed by the station, a stream reset by the station and a connect to a refused port,
saving the bit stream at a fixed interval while data flows. Exit status 0 when every check held.

  --minutes N           how long to run (default 10)
  --seconds N           the same in seconds
  --save-every S        seconds between saves (default 60)
  --rate BYTES          bytes per second the station sends (default 16384)
  --seed N              first seed of the station's random data (default 1)
  --rss-tolerance-mb M  allowed rise of the resident set after a save over its level after
                        the first save (default 8)
  --out-dir DIR         keep the saved files in DIR (default: a temporary folder, removed)
)";

double Number(std::string_view name, const char* text, double low, double high) {
    double value = 0;
    const std::string_view t = text ? text : "";
    const auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (t.empty() || error != std::errc() || end != t.data() + t.size() || value < low ||
        value > high)
        throw std::runtime_error(std::string(name) + " wants a number from " + std::to_string(low) +
                                 " to " + std::to_string(high));
    return value;
}

Options Parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string_view name = argv[i];
        const auto value = [&] { return i + 1 < argc ? argv[++i] : nullptr; };
        if (name == "--help" || name == "-h")
            o.help = true;
        else if (name == "--minutes")
            o.seconds = 60 * Number(name, value(), 0.05, 24 * 60);
        else if (name == "--seconds")
            o.seconds = Number(name, value(), 3, 24 * 3600);
        else if (name == "--save-every")
            o.saveEvery = Number(name, value(), 1, 24 * 3600);
        else if (name == "--rate")
            o.rate = std::uint64_t(Number(name, value(), 64, 64 * 1024 * 1024));
        else if (name == "--seed")
            o.seed = std::uint32_t(Number(name, value(), 0, 1e9));
        else if (name == "--rss-tolerance-mb")
            o.rssToleranceMb = Number(name, value(), 0, 4096);
        else if (name == "--out-dir") {
            const char* dir = value();
            if (!dir || !*dir)
                throw std::runtime_error("--out-dir needs a folder");
            o.outDir = dir;
        } else
            throw std::runtime_error("unknown option '" + std::string(name) + "'");
    }
    return o;
}

double Mb(std::uint64_t bytes) {
    return double(bytes) / (1024.0 * 1024.0);
}

struct SaveRecord {
    std::string path;
    std::uint64_t viewChars = 0; // what the view held just before the save
    std::uint64_t rssBefore = 0; // resident set just before it
    std::uint64_t rss = 0;       // and right after it
};

class Soak {
public:
    explicit Soak(const Options& o) : FOptions(o) {}
    int Run();

private:
    bool Cycle(SessionKind kind);
    bool Stream(SessionKind kind);
    bool Refused();
    void Connect(int port);
    void SaveNow();
    bool SaveDue() const { return Clock::now() >= FNextSave; }
    bool Settled(const Counts& before, Counts& after);
    // What a connection and its data add (the socket, the view's layout and repaint timers),
    // to show that the counts see them come and go.
    void NoteWhileConnected() {
        const Counts c = soak::Snapshot(*FTimers);
        FStreaming = {std::max(FStreaming.fds, c.fds), std::max(FStreaming.windows, c.windows),
                      std::max(FStreaming.timers, c.timers)};
    }
    bool Verify(std::uint64_t& saved, std::uint64_t& shown);
    void Problem(const std::string& what) {
        std::fprintf(stderr, "kelvor-soak: %s\n", what.c_str());
        FProblems.push_back(what);
    }
    bool Green() const { return FForm->Label7->Color() == TColor(32768); }
    bool Red() const { return FForm->Label7->Color() == TColor(255); }
    TMyStrings* Lines() const { return FForm->KelvorEdit201->Lines(); }

    Options FOptions;
    std::unique_ptr<TForm1> FForm;
    std::unique_ptr<soak::TimerWatch> FTimers;
    std::string FDir;
    std::vector<Session> FSessions;
    std::vector<SaveRecord> FSaves;
    std::vector<std::string> FProblems;
    // What each session's station sent: its seed and byte count. The bytes themselves are made
    // again only for the final check, so that holding them does not show as growing memory.
    std::vector<std::pair<std::uint32_t, std::uint64_t>> FSent;
    std::uint64_t FReadEvents = 0, FConnects = 0, FDisconnects = 0, FBytesSent = 0;
    std::uint64_t FPeakRunning = 0;
    int FClosed = 0, FReset = 0, FRefused = 0;
    Clock::time_point FNextSave;
    Counts FFirst, FWarm, FLast, FLow{1 << 30, 1 << 30, 1 << 30}, FHigh, FStreaming;
};

void Soak::Connect(int port) {
    // Never the form's own default address: the boxes point at this machine first.
    FForm->IPAddr->SetText("127.0.0.1");
    FForm->IPPort->SetText(std::to_string(port));
    FForm->Button1->Click();
}

void Soak::SaveNow() {
    const std::string path = QDir(QString::fromStdString(FDir))
                                 .filePath(QString::asprintf("stream-%03zu.rtf", FSaves.size() + 1))
                                 .toStdString();
    TCommonDialog::ScriptedAnswer = [&](TCommonDialog& dialog) {
        static_cast<TSaveDialog&>(dialog).SetFileName(path);
        return true;
    };
    SaveRecord r;
    r.path = path;
    r.viewChars = std::uint64_t(FForm->KelvorEdit201->TextLength());
    r.rssBefore = soak::ResidentBytes();
    NoteWhileConnected();
    RunGuarded([&] { FForm->SaveBitStream1->Click(); });
    TCommonDialog::ScriptedAnswer = nullptr;
    if (Lines()->Count() != 0 || FForm->KelvorEdit201->TextLength() != 0)
        Problem("save " + std::to_string(FSaves.size() + 1) + " did not empty the view");
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly) || !file.read(6).startsWith("{\\rtf1"))
        Problem("save " + std::to_string(FSaves.size() + 1) + " wrote no RTF file");
    r.rss = soak::ResidentBytes();
    FSaves.push_back(r);
    FNextSave = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                   std::chrono::duration<double>(FOptions.saveEvery));
}

bool Soak::Stream(SessionKind kind) {
    const std::size_t index = FSessions.size();
    // Sessions differ in length and in block size: single bytes, blocks that fill a read
    // event exactly, one byte more than that, and blocks several read events long.
    static constexpr std::size_t Blocks[] = {64, 1, 2048, 2049, 700, 5000, 16384};
    const std::size_t block = Blocks[index % std::size(Blocks)];
    const double seconds = 1.0 + 0.5 * double(index % 5);
    const auto bytes = std::uint64_t(double(FOptions.rate) * seconds);
    const std::uint32_t seed = FOptions.seed + std::uint32_t(index);
    stationtest::StationProcess station(
        {"--port", "0", "--once", "--pattern", "random", "--seed", std::to_string(seed), "--bytes",
         std::to_string(bytes), "--rate", std::to_string(FOptions.rate), "--block",
         std::to_string(block), "--end", kind == SessionKind::Reset ? "reset" : "close"});
    const int port = station.ListeningPort();
    if (port <= 0) {
        Problem("the station simulator did not start: " + station.Errors());
        return false;
    }
    Session s;
    s.kind = kind;
    s.port = port;
    const std::uint64_t reads = FReadEvents, disconnects = FDisconnects;
    const std::uint64_t connects = FConnects;
    Connect(port);
    testsupport::PumpUntil([&] { return FConnects > connects || FDisconnects > disconnects; }, 10s);
    // A short session may be over before the pump looks; the strip is checked while the
    // connection still stands.
    if (FConnects == connects ||
        (FDisconnects == disconnects && (!Green() || FForm->Button1->Visible())))
        Problem("session " + std::to_string(index + 1) + ": the window did not show a connection");
    NoteWhileConnected();
    const bool ended = testsupport::PumpUntil(
        [&] {
            if (SaveDue() && FReadEvents > reads)
                SaveNow(); // while data flows
            return FDisconnects > disconnects;
        },
        std::chrono::milliseconds(std::int64_t(seconds * 1000) + 30000));
    s.readEvents = FReadEvents - reads;
    if (!ended || !Red() || !FForm->Button1->Visible())
        Problem("session " + std::to_string(index + 1) + ": the window did not end the session");

    // The simulator's own word on what it sent and how it ended.
    const auto connected = station.ReadLine();
    const auto summary = station.ReadLine();
    unsigned long long sent = 0;
    const std::string ending = kind == SessionKind::Reset
                                   ? "data ended, station reset the connection"
                                   : "data ended, station closed the connection";
    if (!connected || !summary || std::sscanf(summary->c_str(), "sent %llu bytes", &sent) != 1 ||
        !summary->ends_with(ending) || sent != bytes)
        Problem("session " + std::to_string(index + 1) + ": the station said '" +
                summary.value_or("nothing") + "' for " + std::to_string(bytes) + " bytes, " +
                ending);
    if (station.WaitForExit(10s) != 0)
        Problem("session " + std::to_string(index + 1) + ": the station did not exit cleanly");
    FSent.emplace_back(seed, sent);
    FBytesSent += sent;
    FSessions.push_back(std::move(s));
    (kind == SessionKind::Reset ? FReset : FClosed)++;
    return ended;
}

bool Soak::Refused() {
    Session s;
    s.kind = SessionKind::Refused;
    s.port = loopback::UnusedPort();
    const std::uint64_t disconnects = FDisconnects;
    Connect(s.port);
    const bool ended = testsupport::PumpUntil([&] { return FDisconnects > disconnects; }, 10s);
    if (!ended || !Red() || !FForm->Button1->Visible())
        Problem("refused connect " + std::to_string(FRefused + 1) + " did not end as refused");
    FSessions.push_back(std::move(s));
    FSent.emplace_back(0, 0);
    ++FRefused;
    return ended;
}

// Counts return to where the cycle began once the event loop has caught up (a layout or
// repaint timer may still run for a moment after the last data).
bool Soak::Settled(const Counts& before, Counts& after) {
    return testsupport::PumpUntil(
        [&] {
            after = soak::Snapshot(*FTimers);
            return after <= before;
        },
        5s);
}

bool Soak::Cycle(SessionKind kind) {
    const Counts before = soak::Snapshot(*FTimers);
    const bool ok = kind == SessionKind::Refused ? Refused() : Stream(kind);
    Counts after;
    const bool settled = Settled(before, after);
    FLow = {std::min(FLow.fds, after.fds), std::min(FLow.windows, after.windows),
            std::min(FLow.timers, after.timers)};
    FHigh = {std::max(FHigh.fds, after.fds), std::max(FHigh.windows, after.windows),
             std::max(FHigh.timers, after.timers)};
    FLast = after;
    // The first round may set up what lives for the whole program (a socket's hidden window,
    // caches); after it, a cycle that ends with more than it began with leaks.
    if (!settled && FSessions.size() > 3)
        Problem("cycle " + std::to_string(FSessions.size()) + " left fds/windows/timers " +
                std::to_string(after.fds) + "/" + std::to_string(after.windows) + "/" +
                std::to_string(after.timers) + ", it began with " + std::to_string(before.fds) +
                "/" + std::to_string(before.windows) + "/" + std::to_string(before.timers));
    if (FSessions.size() == 3)
        FWarm = after;
    return ok;
}

// Reads every saved file back with a rich edit control of its own and the view's lines, and
// gives them, in order, to the oracle.
bool Soak::Verify(std::uint64_t& saved, std::uint64_t& shown) {
    std::vector<std::string> lines;
    std::vector<std::uint8_t> scratch;
    const auto take = [&](TMyStrings* from, std::uint64_t& bytes) {
        for (int i = 0; i < from->Count(); ++i) {
            lines.push_back(from->Get(i));
            scratch.clear();
            if (soak::DecodeBitLine(lines.back(), scratch))
                bytes += scratch.size();
        }
    };
    for (const SaveRecord& r : FSaves) {
        TForm holder(nullptr);
        auto* reader = new TRichEdit20(&holder);
        reader->SetParent(&holder);
        reader->HandleNeeded();
        SendMessage(reader->Handle(), EM_SETTARGETDEVICE, 0, 1); // a line per paragraph
        RunGuarded([&] { reader->Lines()->LoadFromFile(r.path); });
        take(reader->Lines(), saved);
    }
    // The view wraps long lines on screen; without wrapping a line is what one Add wrote.
    SendMessage(FForm->KelvorEdit201->Handle(), EM_SETTARGETDEVICE, 0, 1);
    take(Lines(), shown);
    for (std::size_t i = 0; i < FSessions.size(); ++i)
        FSessions[i].bytes = stationtest::RandomPatternBytes(FSent[i].first, FSent[i].second);
    const soak::CheckResult result = soak::CheckCapture(FSessions, lines);
    for (const auto& e : result.errors)
        Problem(e);
    return result.errors.empty();
}

int Soak::Run() {
    QTemporaryDir temp;
    FDir = FOptions.outDir.empty() ? temp.path().toStdString() : FOptions.outDir;
    QDir().mkpath(QString::fromStdString(FDir));

    TApplication app;
    app.Initialize();
    app.OnException = [this](TObject*, const std::exception& e) {
        Problem(std::string("the window reported: ") + e.what());
    };
    FForm = std::make_unique<TForm1>(nullptr);
    FForm->HandleNeeded();
    FForm->Show();
    // Count connections, read events and ends of connection on their way to the window's own
    // handlers.
    auto read = FForm->ClientSocket1->OnRead;
    FForm->ClientSocket1->OnRead = [this, read](TObject* sender, TCustomWinSocket* socket) {
        ++FReadEvents;
        read(sender, socket);
    };
    auto connect = FForm->ClientSocket1->OnConnect;
    FForm->ClientSocket1->OnConnect = [this, connect](TObject* sender, TCustomWinSocket* socket) {
        ++FConnects;
        connect(sender, socket);
    };
    auto disconnect = FForm->ClientSocket1->OnDisconnect;
    FForm->ClientSocket1->OnDisconnect = [this, disconnect](TObject* sender,
                                                            TCustomWinSocket* socket) {
        ++FDisconnects;
        disconnect(sender, socket);
    };
    FTimers = std::make_unique<soak::TimerWatch>();
    testsupport::PumpPending(200ms);
    FFirst = soak::Snapshot(*FTimers);

    const auto started = Clock::now();
    const auto until = started + std::chrono::duration_cast<Clock::duration>(
                                     std::chrono::duration<double>(FOptions.seconds));
    FNextSave = started + std::chrono::duration_cast<Clock::duration>(
                              std::chrono::duration<double>(FOptions.saveEvery));
    static constexpr SessionKind Kinds[] = {SessionKind::Closed, SessionKind::Reset,
                                            SessionKind::Refused};
    for (std::size_t i = 0; Clock::now() < until || i < 3; ++i)
        if (!Cycle(Kinds[i % 3]))
            break; // a window that no longer follows its connections makes more cycles moot
    const double elapsed = std::chrono::duration<double>(Clock::now() - started).count();

    FPeakRunning = soak::PeakResidentBytes(); // reading the files back below takes more
    std::uint64_t saved = 0, shown = 0;
    const bool whole = Verify(saved, shown);
    if (FLast.fds > FWarm.fds || FLast.windows > FWarm.windows || FLast.timers > FWarm.timers)
        Problem("more fds/windows/timers at the end than after the first round");
    for (std::size_t i = 1; soak::ResidentSetFollowsUse && i < FSaves.size(); ++i)
        if (Mb(FSaves[i].rss) > Mb(FSaves[0].rss) + FOptions.rssToleranceMb)
            Problem("resident set after save " + std::to_string(i + 1) + " is " +
                    std::to_string(int(Mb(FSaves[i].rss))) + " MB, more than " +
                    std::to_string(int(FOptions.rssToleranceMb)) + " MB over the first save's");
    if (FSaves.empty())
        Problem("no save happened; run longer than --save-every");

    std::uint64_t bitLines = 0;
    for (const auto& s : FSessions)
        bitLines += s.readEvents;
    std::printf("kelvor-soak summary\n");
    std::printf("  ran %.1f s, %zu cycles: %d closed by the station, %d reset by the station, "
                "%d refused connects\n",
                elapsed, FSessions.size(), FClosed, FReset, FRefused);
    std::printf(
        "  bytes sent %llu; in the saved files %llu; in the view at the end %llu; "
        "together %s\n",
        (unsigned long long)FBytesSent, (unsigned long long)saved, (unsigned long long)shown,
        whole ? "every byte, in order, a line per read event" : "NOT what was sent (see above)");
    std::printf("  read events %llu (one bit line each)\n", (unsigned long long)bitLines);
    std::printf("  saves %zu, every %.0f s; the view's size and the resident set before and "
                "after each:\n",
                FSaves.size(), FOptions.saveEvery);
    for (std::size_t i = 0; i < FSaves.size(); ++i)
        std::printf("    %2zu: %10llu chars, %6.1f MB -> 0 chars, %6.1f MB\n", i + 1,
                    (unsigned long long)FSaves[i].viewChars, Mb(FSaves[i].rssBefore),
                    Mb(FSaves[i].rss));
    if (soak::ResidentSetFollowsUse)
        std::printf("  resident set peak while running %.1f MB; allowed after a save: %.0f MB "
                    "over the first save's level\n",
                    Mb(FPeakRunning), FOptions.rssToleranceMb);
    else
        std::printf("  resident set peak while running %.1f MB; not compared after the saves: "
                    "AddressSanitizer keeps freed memory in its quarantine\n",
                    Mb(FPeakRunning));
    std::printf("  fds/windows/timers: at start %d/%d/%d, after the first round %d/%d/%d, "
                "while connected up to %d/%d/%d, after each cycle between %d/%d/%d and "
                "%d/%d/%d, at the end %d/%d/%d\n",
                FFirst.fds, FFirst.windows, FFirst.timers, FWarm.fds, FWarm.windows, FWarm.timers,
                FStreaming.fds, FStreaming.windows, FStreaming.timers, FLow.fds, FLow.windows,
                FLow.timers, FHigh.fds, FHigh.windows, FHigh.timers, FLast.fds, FLast.windows,
                FLast.timers);
    std::printf("  result: %s", FProblems.empty() ? "PASS\n" : "FAIL\n");
    for (const auto& p : FProblems)
        std::printf("    %s\n", p.c_str());

    // The window asks before throwing a capture away; this one has been checked.
    MessageDlgScriptedAnswer = [](const std::string&, TMsgDlgButtons) { return mrNo; };
    FForm.reset();
    MessageDlgScriptedAnswer = nullptr;
    return FProblems.empty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    try {
        options = Parse(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kelvor-soak: %s (see --help)\n", e.what());
        return 2;
    }
    if (options.help) {
        std::fputs(Usage, stdout);
        return 0;
    }
    testsupport::PrepareHeadlessProcess("kelvor-test-runtime");
    QApplication qapp(argc, argv);
    return Soak(options).Run();
}
