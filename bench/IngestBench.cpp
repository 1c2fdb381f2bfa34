// The monitor end to end through its real window: the station simulator sends random bytes as
// fast as the monitor takes them, on 127.0.0.1, for a given time (10 s by default); the window
// (TForm1 from its form data, shown on the offscreen platform) connects with its own button and
// handlers.
//
// Figures: station bytes per second shown in the view, bit lines per second, the longest gap
// between two runs of a 10 ms timer on the UI thread (how long the window could not respond),
// and the resident set growth per byte received. Beside it, in the same run, QPlainTextEdit
// showing the same byte stream (each read event's block as one appended bit line, 700 pixels
// wide, word wrap on) for a few seconds.
//
// The bytes are counted as the view receives them: the socket's read event goes to a wrapper
// that calls the form's own handler and measures how much text that added to the document.
//
// Usage: bench_ingest [seconds [peer-seconds]], default 10 and 3. The view keeps everything it
// is sent, and a rich edit control holds at most 2^31 characters (its positions are 32-bit):
// 268 MB of station data, about 10 s at 25 MB/s. A run therefore also ends once the view is
// nine tenths full; the rate is what it showed in the time it ran.

#include "BenchProcess.h"
#include "Report.h"
#include "ViewBenchSupport.h"
#include "app/Main.h"
#include "framework/Application.h"
#include "framework/Dialogs.h"

#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <csignal>
#include <unistd.h>

#ifndef KELVOR_STATION_SIM
#error "KELVOR_STATION_SIM must name the station simulator binary"
#endif

namespace {

using namespace viewbench;

constexpr double DefaultSeconds = 10;
constexpr double DefaultPeerSeconds = 3;
constexpr int SimulatorBlock = 65536; // bytes per send; the monitor reads 2048 a time anyway
// Nine tenths of the most characters the view can hold.
constexpr std::int64_t ViewFullEnough = (std::int64_t(1) << 31) / 10 * 9;
constexpr std::uint32_t Seed = 1236;
constexpr std::size_t PeerCaptureBytes = 8 * 1000 * 1000; // blocks kept for the peer

constexpr double GoalBytesPerSecond = 10e6;
constexpr double GoalGapMs = 100;
constexpr double GoalMemoryPerByte = 24;

const char* Verdict(bool met) {
    return met ? "met" : "NOT MET";
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "bench_ingest: %s\n", what);
    std::exit(1);
}

// The longest gap between two runs of a 10 ms timer on the UI thread while it runs.
class GapWatch {
public:
    GapWatch() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
    }
    void Start() {
        last_ = Clock::now();
        timer_.start();
    }
    void Stop() {
        Tick();
        timer_.stop();
    }
    double LongestMs() const { return longest_; }
    int Over(double ms) const {
        return int(std::count_if(gaps_.begin(), gaps_.end(), [ms](double g) { return g > ms; }));
    }
    std::vector<double> Gaps() const { return gaps_; }

private:
    void Tick() {
        const auto now = Clock::now();
        const double gap = std::chrono::duration<double, std::milli>(now - last_).count();
        last_ = now;
        gaps_.push_back(gap);
        longest_ = std::max(longest_, gap);
    }
    QTimer timer_;
    Clock::time_point last_;
    double longest_ = 0;
    std::vector<double> gaps_;
};

struct Simulator {
    QProcess process;
    std::uint16_t port = 0;
    QString command;
};

void StartSimulator(Simulator& sim) {
    const QStringList args = {"--port",
                              "0",
                              "--as-fast-as-possible",
                              "--pattern",
                              "random",
                              "--seed",
                              QString::number(Seed),
                              "--block",
                              QString::number(SimulatorBlock)};
    sim.command = QString(KELVOR_STATION_SIM) + " " + args.join(' ');
    sim.process.setProcessChannelMode(QProcess::SeparateChannels);
    sim.process.start(KELVOR_STATION_SIM, args);
    if (!sim.process.waitForStarted(5000)) {
        Fail("the station simulator did not start");
    }
    while (!sim.process.canReadLine()) {
        if (!sim.process.waitForReadyRead(5000)) {
            Fail("the station simulator did not say its port");
        }
    }
    const QString line = QString::fromLocal8Bit(sim.process.readLine()).trimmed();
    const QString prefix = "station listening on 127.0.0.1:";
    bool ok = false;
    if (line.startsWith(prefix)) {
        sim.port = std::uint16_t(line.mid(prefix.size()).toUInt(&ok));
    }
    if (!ok || sim.port == 0) {
        Fail("the station simulator's first line names no port");
    }
}

struct Block {
    std::vector<std::uint8_t> bytes;
};

struct OurRun {
    double seconds = 0;
    std::int64_t bytes = 0; // station bytes shown in the view
    std::int64_t lines = 0; // bit lines (one per read event that received bytes)
    double longestGapMs = 0;
    int gapsOver100 = 0;
    int ticks = 0;
    double p99GapMs = 0;
    double perByteRss = 0;
    std::int64_t rssGrowth = 0;
    double cpuSeconds = 0;
    int displayLines = 0;
    std::vector<Block> captured; // the first blocks, for the peer
    std::string simulatorSummary;
};

OurRun RunMonitor(Simulator& sim, double seconds) {
    OurRun run;
    auto form = std::make_unique<TForm1>(nullptr);
    form->Show();
    form->HandleNeeded();
    ProcessEvents();
    TMyStrings* lines = form->KelvorEdit201->Lines();
    const RichEditDocument& doc = RichEditControlOf(form->KelvorEdit201->Handle())->Document();

    // Counts what each read event put into the view; the form's own handler does the work.
    bool counting = true;
    const TSocketNotifyEvent formRead = form->ClientSocket1->OnRead;
    if (!formRead) {
        Fail("the form's read handler is not bound");
    }
    std::size_t capturedBytes = 0;
    QEventLoop loop;
    form->ClientSocket1->OnRead = [&](TObject* sender, TCustomWinSocket* socket) {
        const auto before = doc.Length();
        formRead(sender, socket);
        const auto added = doc.Length() - before;
        if (added <= 1 || !counting) {
            return; // an empty read adds only a paragraph end
        }
        const auto chars = added - 1; // the paragraph end
        if (chars % 8 != 0) {
            Fail("a read event added a line that is not whole bytes");
        }
        run.bytes += chars / 8;
        ++run.lines;
        if (doc.Length() >= ViewFullEnough) {
            loop.quit();
        }
        if (capturedBytes < PeerCaptureBytes) {
            // The form's handler received into ReceiveBuffer; keep the block as it came.
            run.captured.push_back({{ReceiveBuffer, ReceiveBuffer + chars / 8}});
            capturedBytes += std::size_t(chars / 8);
        }
    };

    const std::int64_t residentBefore = ResidentBytes();
    GapWatch gaps;
    form->IPAddr->SetText("127.0.0.1");
    form->IPPort->SetText(std::to_string(sim.port));
    const Stopwatch watch;
    gaps.Start();
    form->Button1->Click();
    QTimer::singleShot(int(seconds * 1000), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    gaps.Stop();
    counting = false;
    run.seconds = watch.Wall();
    run.cpuSeconds = watch.Cpu();
    run.rssGrowth = ResidentBytes() - residentBefore;
    run.perByteRss = run.bytes > 0 ? double(run.rssGrowth) / double(run.bytes) : 0;
    run.longestGapMs = gaps.LongestMs();
    run.gapsOver100 = gaps.Over(GoalGapMs);
    std::vector<double> all = gaps.Gaps();
    run.ticks = int(all.size());
    if (!all.empty()) {
        std::sort(all.begin(), all.end());
        run.p99GapMs = all[std::min(all.size() - 1, all.size() * 99 / 100)];
    }
    run.displayLines = lines->Count();
    if (form->Label7->Color() != TColor(32768)) {
        Fail("the window is not connected at the end of the run");
    }

    // The station stops (SIGTERM closes in order); the window sees the end and turns red.
    sim.process.terminate();
    if (!sim.process.waitForFinished(10000)) {
        sim.process.kill();
        sim.process.waitForFinished(5000);
    }
    for (const QByteArray& line : sim.process.readAllStandardOutput().split('\n')) {
        if (line.startsWith("sent ")) {
            run.simulatorSummary = line.toStdString();
        }
    }
    const auto stopLimit = Clock::now() + std::chrono::seconds(20);
    while (form->Label7->Color() != TColor(255) && Clock::now() < stopLimit) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    // Emptied before the form goes, so that its window does not first keep gigabytes of text.
    lines->Clear();
    MessageDlgScriptedAnswer = [](const std::string&, TMsgDlgButtons) { return mrNo; };
    form.reset();
    MessageDlgScriptedAnswer = nullptr;
    return run;
}

struct PeerRun {
    double seconds = 0;
    std::int64_t bytes = 0;
    std::int64_t lines = 0;
};

// The same blocks, in the order the monitor received them, appended to a QPlainTextEdit as
// bit lines, with the event loop run after each as between two read events.
PeerRun RunPlainTextEdit(const std::vector<Block>& blocks, double seconds) {
    std::unique_ptr<QPlainTextEdit> edit = MakePlainTextEdit();
    PeerRun run;
    const Stopwatch watch;
    for (const Block& block : blocks) {
        if (watch.Wall() >= seconds) {
            break;
        }
        const std::string bits = BitLine(block.bytes.data(), int(block.bytes.size()));
        edit->appendPlainText(QString::fromLatin1(bits.data(), qsizetype(bits.size())));
        ProcessEvents();
        run.bytes += std::int64_t(block.bytes.size());
        ++run.lines;
    }
    run.seconds = watch.Wall();
    edit->clear();
    return run;
}

} // namespace

int main(int argc, char** argv) {
    PrepareBenchmarkProcess();
    QApplication qtApp(argc, argv);
    TApplication application;
    application.Initialize();
    std::vector<std::string> shown;
    application.OnException = [&](TObject*, const std::exception& e) { shown.push_back(e.what()); };

    const double seconds = argc > 1 ? std::atof(argv[1]) : DefaultSeconds;
    const double peerSeconds = argc > 2 ? std::atof(argv[2]) : DefaultPeerSeconds;
    if (seconds <= 0 || peerSeconds <= 0) {
        Fail("usage: bench_ingest [seconds [peer-seconds]]");
    }
    std::string commandLine;
    for (int i = 0; i < argc; ++i) {
        commandLine += (i ? " " : "") + std::string(argv[i]);
    }
    const double loadBefore = LoadAverage();

    Simulator sim;
    StartSimulator(sim);
    std::fprintf(stderr, "monitor: %.0f s from the simulator on port %u\n", seconds, sim.port);
    OurRun ours = RunMonitor(sim, seconds);
    std::fprintf(stderr, "QPlainTextEdit: up to %.0f s of the same blocks\n", peerSeconds);
    const PeerRun peer = RunPlainTextEdit(ours.captured, peerSeconds);
    if (!shown.empty()) {
        std::fprintf(stderr, "the window reported: %s\n", shown.front().c_str());
        return 1;
    }

    const double rate = double(ours.bytes) / ours.seconds;
    const double peerRate = double(peer.bytes) / peer.seconds;
    std::printf("End-to-end ingest: %s (load average %.2f before, %.2f after, %d cores)\n",
                commandLine.c_str(), loadBefore, LoadAverage(), QThread::idealThreadCount());
    std::printf("  station: %s\n", sim.command.toLocal8Bit().constData());
    std::printf("  run: %.2f s, %lld bytes shown in %lld bit lines (%d display lines); UI thread "
                "CPU %.2f s\n",
                ours.seconds, static_cast<long long>(ours.bytes),
                static_cast<long long>(ours.lines), ours.displayLines, ours.cpuSeconds);
    std::printf("  station bytes per second shown: %.2f MB/s        goal >= %.0f MB/s: %s\n",
                rate / 1e6, GoalBytesPerSecond / 1e6, Verdict(rate >= GoalBytesPerSecond));
    std::printf("  bit lines per second:           %.0f\n", double(ours.lines) / ours.seconds);
    std::printf("  longest gap of a 10 ms timer:   %.1f ms (99th percentile %.1f ms, %d of %d "
                "gaps over %.0f ms)   goal <= %.0f ms: %s\n",
                ours.longestGapMs, ours.p99GapMs, ours.gapsOver100, ours.ticks, GoalGapMs,
                GoalGapMs, Verdict(ours.longestGapMs <= GoalGapMs));
    std::printf("  memory per byte received:       %.2f bytes (resident set +%.0f MB)   goal <= "
                "%.0f: %s\n",
                ours.perByteRss, double(ours.rssGrowth) / 1e6, GoalMemoryPerByte,
                Verdict(ours.perByteRss <= GoalMemoryPerByte));
    std::printf("  peer QPlainTextEdit, the same blocks as bit lines, 700 px, word wrap: %.2f "
                "MB/s (%lld bytes in %lld lines, %.2f s)\n",
                peerRate / 1e6, static_cast<long long>(peer.bytes),
                static_cast<long long>(peer.lines), peer.seconds);
    std::printf("  simulator: %s\n", ours.simulatorSummary.c_str());

    Report("Station data shown by the monitor, end to end", ">= 10 MB/s",
           Cell("%.2f MB/s", rate / 1e6), Cell("QPlainTextEdit %.2f MB/s", peerRate / 1e6),
           rate >= GoalBytesPerSecond);
    Report("Longest gap of a 10 ms timer while data flows", "<= 100 ms",
           Cell("%.1f ms", ours.longestGapMs), "", ours.longestGapMs <= GoalGapMs);
    Report("Memory per byte received", "<= 24 B", Cell("%.2f B", ours.perByteRss), "",
           ours.perByteRss <= GoalMemoryPerByte);
    return 0;
}
