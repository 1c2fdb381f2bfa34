// Appending the monitor's bit lines through the rich text control, as the monitor does on
// every read event: Lines.Add of a 16,384-character line of "0" and "1" to a TRichEdit20 on a
// shown form, its window 700 pixels wide with word wrap on.
//
// Figures: the time per Add over the first and the last 1,000 lines of 100,000 (and their
// ratio: appending must not slow down as the text grows), and the memory held per character
// (the process's resident set growth, and the platform document's own footprint). Beside it,
// in the same run, QPlainTextEdit appending the first 1,000 of the same lines at the same
// width with word wrap on.
//
// The event loop runs after every 1,000 lines (outside the timed Adds), so the view paints
// and re-wraps as it would between read events. Usage: bench_richedit2 [lines], default
// 100000 (about 1.6 GB of text).

#include "BenchProcess.h"
#include "Report.h"
#include "ViewBenchSupport.h"
#include "framework/Forms.h"
#include "richedit/RichEdit2.h"

#include <QTextEdit>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using namespace viewbench;

constexpr int DefaultLines = 100000;
constexpr int Window = 1000; // lines timed at the start and at the end
constexpr int PeerLines = 1000;

constexpr double GoalMsPerAdd = 0.2;
constexpr double GoalRatio = 1.5;
constexpr double GoalBytesPerChar = 2.5;

// The monitor's lines as 8-bit text (the bits are ASCII in every code page).
std::vector<std::string> AnsiBitLines() {
    std::vector<std::string> lines;
    for (int i = 0; i < 16; ++i) {
        const std::u16string wide = BitLine(i);
        lines.emplace_back(wide.begin(), wide.end());
    }
    return lines;
}

// This thread's user and system CPU time and minor page faults so far.
struct Usage {
    double user = 0;
    double system = 0;
    long faults = 0;
};

Usage ThreadUsage() {
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return {double(u.ru_utime.tv_sec) + double(u.ru_utime.tv_usec) * 1e-6,
            double(u.ru_stime.tv_sec) + double(u.ru_stime.tv_usec) * 1e-6, u.ru_minflt};
}

Usage Minus(const Usage& a, const Usage& b) {
    return {a.user - b.user, a.system - b.system, a.faults - b.faults};
}

double Mean(const std::vector<double>& values) {
    double sum = 0;
    for (double v : values) {
        sum += v;
    }
    return values.empty() ? 0 : sum / double(values.size());
}

const char* Verdict(bool met) {
    return met ? "met" : "NOT MET";
}

struct OurRun {
    std::vector<double> first; // milliseconds per Add, wall time
    std::vector<double> last;
    std::vector<double> firstCpu; // the same in this thread's CPU time
    std::vector<double> lastCpu;
    Usage firstUsage; // over the whole window, ProcessEvents included
    Usage lastUsage;
    double totalSeconds = 0;
    double perCharRss = 0;
    double perCharDocument = 0;
    std::int64_t characters = 0;
    int lineCount = 0;
};

OurRun RunRichEdit(int lines) {
    const std::vector<std::string> bits = AnsiBitLines();
    TForm form(nullptr);
    form.SetBounds(0, 0, 760, 480);
    auto* edit = new TRichEdit20(&form);
    edit->SetParent(&form);
    edit->SetBounds(8, 8, WrapWidth, ViewHeight);
    edit->Font()->SetName(std::string(MonitorFace.begin(), MonitorFace.end()));
    edit->Font()->SetHeight(-13);
    form.Show();
    edit->HandleNeeded();
    ProcessEvents();
    if (!edit->WordWrap()) {
        std::fprintf(stderr, "word wrap is off\n");
        std::exit(1);
    }

    OurRun run;
    run.first.reserve(Window);
    run.last.reserve(Window);
    const std::int64_t residentBefore = ResidentBytes();
    const Stopwatch total;
    Usage windowStart = ThreadUsage();
    for (int i = 0; i < lines; ++i) {
        if (i == lines - Window) {
            windowStart = ThreadUsage();
        }
        const bool timed = i < Window || i >= lines - Window;
        const double cpu = timed ? ThreadCpuSeconds() : 0;
        const auto start = Clock::now();
        edit->Lines()->Add(bits[std::size_t(i) % bits.size()]);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        const double cpuMs = timed ? (ThreadCpuSeconds() - cpu) * 1000 : 0;
        if (i < Window) {
            run.first.push_back(ms);
            run.firstCpu.push_back(cpuMs);
        }
        if (i >= lines - Window) {
            run.last.push_back(ms);
            run.lastCpu.push_back(cpuMs);
        }
        if (i + 1 == Window) {
            run.firstUsage = Minus(ThreadUsage(), windowStart);
        }
        if (i + 1 == lines) {
            run.lastUsage = Minus(ThreadUsage(), windowStart);
        }
        if ((i + 1) % 1000 == 0) {
            ProcessEvents();
        }
        if ((i + 1) % 10000 == 0) {
            std::fprintf(stderr, "  %d lines, %.1f s\n", i + 1, total.Wall());
        }
    }
    ProcessEvents();
    run.totalSeconds = total.Wall();
    const std::int64_t residentAfter = ResidentBytes();

    const RichEditDocument& doc = RichEditControlOf(edit->Handle())->Document();
    run.characters = doc.Length();
    run.lineCount = edit->Lines()->Count();
    run.perCharRss = double(residentAfter - residentBefore) / double(run.characters);
    run.perCharDocument = double(doc.FootprintBytes()) / double(run.characters);
    if (edit->Lines()->Get(run.lineCount - 1).empty() || run.lineCount < lines) {
        std::fprintf(stderr, "the control does not hold the lines added\n");
        std::exit(1);
    }
    // Emptied before the form goes: destroying the window would otherwise first save the
    // whole text for a window that never comes back.
    edit->Lines()->Clear();
    return run;
}

std::vector<double> RunPlainTextEdit(int lines) {
    std::unique_ptr<QPlainTextEdit> edit = MakePlainTextEdit();
    edit->setWordWrapMode(QTextOption::WordWrap);
    std::vector<QString> bits;
    for (int i = 0; i < 16; ++i) {
        bits.push_back(QString::fromStdU16String(BitLine(i)));
    }
    std::vector<double> times;
    times.reserve(std::size_t(lines));
    for (int i = 0; i < lines; ++i) {
        const auto start = Clock::now();
        edit->appendPlainText(bits[std::size_t(i) % bits.size()]);
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        if ((i + 1) % 100 == 0) {
            ProcessEvents();
        }
    }
    return times;
}

// The same lines appended to a QTextEdit of the same width with word wrap, its document
// growing: milliseconds per append.
std::vector<double> RunTextEdit(int lines) {
    QTextEdit edit;
    edit.setFont(MonitorFont());
    edit.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edit.setLineWrapMode(QTextEdit::WidgetWidth);
    edit.setWordWrapMode(QTextOption::WordWrap);
    edit.resize(WrapWidth + 40, ViewHeight);
    edit.show();
    ProcessEvents();
    std::vector<QString> bits;
    for (int i = 0; i < 16; ++i) {
        bits.push_back(QString::fromStdU16String(BitLine(i)));
    }
    std::vector<double> times;
    for (int i = 0; i < lines; ++i) {
        const auto start = Clock::now();
        edit.append(bits[std::size_t(i) % bits.size()]);
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        if ((i + 1) % 100 == 0) {
            ProcessEvents();
        }
    }
    return times;
}

// The mean of the first or the last n values.
double MeanOf(const std::vector<double>& values, std::size_t n, bool last) {
    n = std::min(n, values.size());
    const auto from = last ? values.end() - std::ptrdiff_t(n) : values.begin();
    return Mean(std::vector<double>(from, from + std::ptrdiff_t(n)));
}

} // namespace

int main(int argc, char** argv) {
    PrepareBenchmarkProcess();
    QApplication app(argc, argv);
    const int lines = argc > 1 ? std::max(2 * Window, std::atoi(argv[1])) : DefaultLines;
    const double loadBefore = LoadAverage();

    std::fprintf(stderr, "TRichEdit20: adding %d lines of %d characters\n", lines, LineLength);
    const OurRun ours = RunRichEdit(lines);
    std::fprintf(stderr, "QPlainTextEdit: appending %d lines\n", PeerLines);
    const std::vector<double> peer = RunPlainTextEdit(PeerLines);
    std::fprintf(stderr, "QTextEdit: appending %d lines\n", PeerLines);
    const std::vector<double> textEdit = RunTextEdit(PeerLines);

    const double first = Mean(ours.first);
    const double last = Mean(ours.last);
    const double ratio = last / first;
    std::printf("Lines.Add of %d lines of %d \"0\"/\"1\" characters, window %d px, word wrap on "
                "(%.1f s in all; load average %.2f before, %.2f after, %d cores):\n",
                lines, LineLength, WrapWidth, ours.totalSeconds, loadBefore, LoadAverage(),
                QThread::idealThreadCount());
    std::printf("  time per Add, first %d lines:    %.3f ms (median %.3f)   goal < %.1f ms: %s\n",
                Window, first, Median(ours.first), GoalMsPerAdd, Verdict(first < GoalMsPerAdd));
    std::printf("  time per Add, last %d lines:     %.3f ms (median %.3f)   goal < %.1f ms: %s\n",
                Window, last, Median(ours.last), GoalMsPerAdd, Verdict(last < GoalMsPerAdd));
    std::printf("  last / first:                     %.2fx                   goal <= %.1fx: %s\n",
                ratio, GoalRatio, Verdict(ratio <= GoalRatio));
    const double firstCpu = Mean(ours.firstCpu);
    const double lastCpu = Mean(ours.lastCpu);
    std::printf("  the same in CPU time: first %.3f ms, last %.3f ms, last / first %.2fx "
                "(goals < %.1f ms, <= %.1fx: %s)\n",
                firstCpu, lastCpu, lastCpu / firstCpu, GoalMsPerAdd, GoalRatio,
                Verdict(lastCpu < GoalMsPerAdd && firstCpu < GoalMsPerAdd &&
                        lastCpu / firstCpu <= GoalRatio));
    std::printf("  where the time goes, first / last %d lines: user %.0f / %.0f ms, system %.0f / "
                "%.0f ms, minor page faults %ld / %ld\n",
                Window, ours.firstUsage.user * 1000, ours.lastUsage.user * 1000,
                ours.firstUsage.system * 1000, ours.lastUsage.system * 1000, ours.firstUsage.faults,
                ours.lastUsage.faults);
    std::printf("  resident set growth per character: %.2f bytes             goal <= %.1f: %s\n",
                ours.perCharRss, GoalBytesPerChar, Verdict(ours.perCharRss <= GoalBytesPerChar));
    std::printf("  document footprint per character:  %.2f bytes             goal <= %.1f: %s\n",
                ours.perCharDocument, GoalBytesPerChar,
                Verdict(ours.perCharDocument <= GoalBytesPerChar));
    std::printf("  (%lld characters, %d lines as laid out)\n",
                static_cast<long long>(ours.characters), ours.lineCount);
    std::printf("  peer QPlainTextEdit::appendPlainText, first %d lines, same width, word wrap: "
                "%.3f ms per line (median %.3f)\n",
                PeerLines, Mean(peer), Median(peer));

    std::printf("  peer QTextEdit::append, same lines: %.3f ms per line over the first 100, "
                "%.3f ms over lines %d-%d\n",
                MeanOf(textEdit, 100, false), MeanOf(textEdit, 100, true), PeerLines - 99,
                PeerLines);
    const std::string peerAdd = Cell("QPlainTextEdit %.2f ms, QTextEdit %.2f ms (first %d)",
                                     Mean(peer), Mean(textEdit), PeerLines);
    Report(Cell("Lines.Add of a 16,384-bit line, first %d of %d", Window, lines), "< 0.2 ms",
           Cell("%.3f ms", first), peerAdd, first < GoalMsPerAdd);
    Report(Cell("Lines.Add, last %d of %d", Window, lines), "< 0.2 ms", Cell("%.3f ms", last), "",
           last < GoalMsPerAdd);
    Report("Lines.Add, last / first", "<= 1.5x", Cell("%.2fx", ratio),
           Cell("lines %d-%d / 1-100: QPlainTextEdit %.2fx, QTextEdit %.2fx", PeerLines - 99,
                PeerLines, MeanOf(peer, 100, true) / MeanOf(peer, 100, false),
                MeanOf(textEdit, 100, true) / MeanOf(textEdit, 100, false)),
           ratio <= GoalRatio);
    Report("Memory per character after Lines.Add (resident set)", "<= 2.5 B",
           Cell("%.2f B", ours.perCharRss), "", ours.perCharRss <= GoalBytesPerChar);
    return 0;
}
