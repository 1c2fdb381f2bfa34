// The layout alone: how fast bit lines wrap at 700 pixels, at once and in the view's
// bounded steps, beside Qt's QTextLayout and QPlainTextEdit; and the bytes it keeps.
// Part of bench_view (see ViewBench.cpp).

#include "ViewBenchSupport.h"

namespace {

using namespace viewbench;

// --- the layout alone ---------------------------------------------------------------------

// A document of bit lines laid out by a layout of its own at 700 pixels, 96 dpi (no window).
struct LayoutFixture {
    RichEditDocument doc;
    TextLayout layout{doc, 96};

    explicit LayoutFixture(int lines) {
        SetMonitorFormat(doc);
        doc.SetText(BitText(lines));
        layout.SetWidth(WrapWidth);
        // The font is looked up once per layout; throughput is about what follows.
        layout.EntryFor(RichEditDocument::DefaultFormatId);
    }
    ~LayoutFixture() { doc.Lines().SetBreaker(nullptr); }
};

// Laying the whole document out when the breaker is installed.
void BM_WrapOurs(benchmark::State& state) {
    LayoutFixture f(int(state.range(0)));
    LineIndex& lines = f.doc.Lines();
    double seconds = 0;
    double cpu = 0;
    std::int64_t displayLines = 0;
    std::int64_t firstParagraphLines = 0;
    for (auto _ : state) {
        const Stopwatch watch;
        lines.SetBreaker(&f.layout);
        const double s = watch.Wall();
        cpu += watch.Cpu();
        state.SetIterationTime(s);
        seconds += s;

        state.PauseTiming();
        displayLines = lines.LineCount();
        firstParagraphLines = lines.LinesOf(0);
        lines.SetBreaker(nullptr);
        state.ResumeTiming();
    }
    const double bytes = double(f.doc.Length()) * double(state.iterations());
    state.SetBytesProcessed(std::int64_t(bytes));
    state.counters["MB/s"] = bytes / seconds / 1e6;
    state.counters["cpu_MB/s"] = bytes / cpu / 1e6;
    state.counters["lines/para"] = double(firstParagraphLines);
    state.counters["display_lines"] = double(displayLines);
    Measured()["wrap_MBps_" + std::to_string(state.range(0))] = bytes / seconds / 1e6;
    Figure("1a-" + std::to_string(state.range(0)),
           "wrap fast path, ours, SetBreaker, %lld bit lines (%.1f MB): %.0f MB/s wall, "
           "%.0f MB/s CPU (goal >= 200), %lld display lines per paragraph",
           static_cast<long long>(state.range(0)), double(f.doc.Length()) / 1e6,
           bytes / seconds / 1e6, bytes / cpu / 1e6, static_cast<long long>(firstParagraphLines));
}
BENCHMARK(BM_WrapOurs)
    ->Name("Wrap/ours_SetBreaker")
    ->Arg(64)
    ->Arg(HundredMegabyteLines)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

// What the view does after a width change: everything stale, then bounded steps.
void BM_WrapOursStepwise(benchmark::State& state) {
    LayoutFixture f(int(state.range(0)));
    LineIndex& lines = f.doc.Lines();
    lines.SetBreaker(&f.layout);
    double seconds = 0;
    double cpu = 0;
    double longestStep = 0;
    int steps = 0;
    for (auto _ : state) {
        const Stopwatch watch;
        lines.Invalidate();
        steps = 0;
        for (bool more = true; more; ++steps) {
            const auto stepStart = Clock::now();
            more = lines.RewrapSome(ViewRewrapBudget);
            longestStep = std::max(longestStep, SecondsSince(stepStart));
        }
        const double s = watch.Wall();
        cpu += watch.Cpu();
        state.SetIterationTime(s);
        seconds += s;
    }
    const double bytes = double(f.doc.Length()) * double(state.iterations());
    state.SetBytesProcessed(std::int64_t(bytes));
    state.counters["MB/s"] = bytes / seconds / 1e6;
    state.counters["cpu_MB/s"] = bytes / cpu / 1e6;
    state.counters["steps"] = steps;
    state.counters["longest_step_ms"] = longestStep * 1e3;
    Figure("1b",
           "wrap fast path, ours, Invalidate + RewrapSome(%lld) until done, %.1f MB: %.0f MB/s "
           "wall, %.0f MB/s CPU (goal >= 200), %d steps, longest step %.1f ms wall",
           static_cast<long long>(ViewRewrapBudget), double(f.doc.Length()) / 1e6,
           bytes / seconds / 1e6, bytes / cpu / 1e6, steps, longestStep * 1e3);
}
BENCHMARK(BM_WrapOursStepwise)
    ->Name("Wrap/ours_RewrapSome")
    ->Arg(HundredMegabyteLines)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

// Qt's line breaking engine directly: one QTextLayout per paragraph, 700-pixel lines.
void BM_WrapQTextLayout(benchmark::State& state) {
    const auto paragraphs = int(state.range(0));
    const QFont font = MonitorFont();
    std::vector<QString> texts;
    for (int i = 0; i < paragraphs; ++i) {
        const std::u16string& line = BitLines()[std::size_t(i) % BitLines().size()];
        texts.push_back(QString::fromStdU16String(line.substr(0, LineLength)));
    }
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    double seconds = 0;
    double cpu = 0;
    int firstParagraphLines = 0;
    for (auto _ : state) {
        const Stopwatch watch;
        for (std::size_t i = 0; i < texts.size(); ++i) {
            QTextLayout layout(texts[i], font);
            layout.setTextOption(option);
            layout.beginLayout();
            int count = 0;
            for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
                line.setLineWidth(WrapWidth);
                ++count;
            }
            layout.endLayout();
            if (i == 0) {
                firstParagraphLines = count;
            }
        }
        const double s = watch.Wall();
        cpu += watch.Cpu();
        state.SetIterationTime(s);
        seconds += s;
    }
    // The same count as ours: each paragraph and its end.
    const double bytes = double(paragraphs) * (LineLength + 1) * double(state.iterations());
    state.SetBytesProcessed(std::int64_t(bytes));
    state.counters["MB/s"] = bytes / seconds / 1e6;
    state.counters["cpu_MB/s"] = bytes / cpu / 1e6;
    state.counters["lines/para"] = firstParagraphLines;
    Figure("1c",
           "  peer QTextLayout per paragraph, %d bit lines (%.1f MB): %.2f MB/s wall, %.2f MB/s "
           "CPU, %d display lines per paragraph",
           paragraphs, double(paragraphs) * (LineLength + 1) / 1e6, bytes / seconds / 1e6,
           bytes / cpu / 1e6, firstParagraphLines);
}
BENCHMARK(BM_WrapQTextLayout)
    ->Name("Wrap/qt_QTextLayout")
    ->Arg(64)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

// A plain text edit wrapping at 700 pixels: the viewport is sized so that its lines are
// 700 pixels wide inside the document margins, with the scroll bar always on so the width
// never changes under the layout.

void BM_WrapQPlainTextEdit(benchmark::State& state) {
    const auto lines = int(state.range(0));
    const QString text = PlainText(lines);
    auto edit = MakePlainTextEdit();
    double layoutSeconds = 0;
    double layoutCpu = 0;
    double setSeconds = 0;
    int firstParagraphLines = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        edit->setPlainText(text);
        const double set = SecondsSince(start);
        // The layout is lazy: asking for each block's rectangle lays every block out.
        const Stopwatch watch;
        QTextDocument* doc = edit->document();
        QAbstractTextDocumentLayout* layout = doc->documentLayout();
        double height = 0;
        for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
            height += layout->blockBoundingRect(block).height();
        }
        const double laidOut = watch.Wall();
        layoutCpu += watch.Cpu();
        benchmark::DoNotOptimize(height);
        state.SetIterationTime(laidOut);
        layoutSeconds += laidOut;
        setSeconds += set;
        state.PauseTiming();
        firstParagraphLines = doc->begin().layout()->lineCount();
        edit->clear();
        ProcessEvents();
        state.ResumeTiming();
    }
    const double bytes = double(lines) * (LineLength + 1) * double(state.iterations());
    state.SetBytesProcessed(std::int64_t(bytes));
    state.counters["MB/s"] = bytes / layoutSeconds / 1e6;
    state.counters["cpu_MB/s"] = bytes / layoutCpu / 1e6;
    state.counters["with_setPlainText_MB/s"] = bytes / (layoutSeconds + setSeconds) / 1e6;
    state.counters["lines/para"] = firstParagraphLines;
    Measured()["wrap_peer_MBps"] = bytes / layoutSeconds / 1e6;
    Figure("1d",
           "  peer QPlainTextEdit, %d bit lines (%.1f MB): layout %.2f MB/s wall, %.2f MB/s CPU; "
           "setPlainText + layout %.2f MB/s wall; %d display lines per paragraph",
           lines, double(lines) * (LineLength + 1) / 1e6, bytes / layoutSeconds / 1e6,
           bytes / layoutCpu / 1e6, bytes / (layoutSeconds + setSeconds) / 1e6,
           firstParagraphLines);
}
BENCHMARK(BM_WrapQPlainTextEdit)
    ->Name("Wrap/qt_QPlainTextEdit")
    ->Arg(64)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

// --- memory ---------------------------------------------------------------------------------

void BM_LayoutMemory(benchmark::State& state) {
    for (auto _ : state) {
        LayoutFixture f(HundredMegabyteLines);
        const auto start = Clock::now();
        f.doc.Lines().SetBreaker(&f.layout);
        state.SetIterationTime(SecondsSince(start));
        const double chars = double(f.doc.Length());
        const double layout = double(f.doc.Lines().LayoutFootprintBytes());
        const double document = double(f.doc.FootprintBytes());
        state.counters["layout_bytes_per_char"] = layout / chars;
        state.counters["document_bytes_per_char"] = document / chars;
        Measured()["layout_bytes_per_char"] = layout / chars;
        Figure("4a",
               "layout memory, %.0f MB at %d pixels: %.4f bytes per character (goal <= 0.25), "
               "%.1f MB in all; the whole document %.2f bytes per character",
               chars / 1e6, f.layout.Width(), layout / chars, layout / 1e6, document / chars);
    }
}
BENCHMARK(BM_LayoutMemory)
    ->Name("Memory/layout_100MB")
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace
