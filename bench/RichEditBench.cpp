// The rich edit control under the monitor's load: appending long bit lines one at a time
// (select the end, replace, read the line count, as the line list does), the memory that
// such a document takes, and RTF streaming throughput.
//
// bench_richedit --benchmark_filter=Append   per-append time at 1,000 ... 100,000 lines
// bench_richedit --benchmark_filter=Rtf      stream-out and stream-in of 100 MB of bit text,
//                                            and the peak memory of a 200 MB stream-in

#include "BenchProcess.h"
#include "Report.h"
#include "platform/richedit/RichEdit.h"
#include "platform/richedit/RichEditControl.h"
#include "platform/winsock/Winsock.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <malloc.h>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int LineLength = 16384;

std::u16string BitLine(int seed) {
    std::u16string line(LineLength + 1, u'0');
    unsigned v = 2463534242u + unsigned(seed);
    for (int i = 0; i < LineLength; ++i) {
        v ^= v << 13;
        v ^= v >> 17;
        v ^= v << 5;
        line[std::size_t(i)] = (v & 1) ? u'1' : u'0';
    }
    line[LineLength] = u'\r';
    return line;
}

class Control {
public:
    Control() {
        RegisterRichEditLibrary();
        LoadLibrary(RICHEDIT_LIBRARY);
        hwnd_ = CreateWindowEx(0, RICHEDIT_CLASSW, u"", 0, 0, 0, 100, 100, nullptr, 0, nullptr,
                               nullptr);
        SendMessage(hwnd_, EM_EXLIMITTEXT, 0, 0x7FFFFFFF);
    }
    ~Control() { DestroyWindow(hwnd_); }
    HWND hwnd() const { return hwnd_; }

    LRESULT Append(const std::u16string& line) {
        CHARRANGE end{-1, -1};
        SendMessage(hwnd_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&end));
        SendMessage(hwnd_, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(line.c_str()));
        return SendMessage(hwnd_, EM_GETLINECOUNT, 0, 0);
    }

private:
    HWND hwnd_;
};

// Time per append when the document already holds state.range(0) lines.
void BM_AppendLineAt(benchmark::State& state) {
    const auto lines = int(state.range(0));
    const int measured = 200;
    std::vector<std::u16string> variants;
    for (int i = 0; i < 8; ++i) {
        variants.push_back(BitLine(i));
    }
    auto control = std::make_unique<Control>();
    const HWND hwnd = control->hwnd();
    const std::int64_t residentBefore = ResidentBytes();
    for (int i = 0; i < lines; ++i) {
        control->Append(variants[std::size_t(i) % variants.size()]);
    }
    const double characters = double(lines) * (LineLength + 1);
    const RichEditDocument& doc = RichEditControlOf(hwnd)->Document();
    state.counters["doc_bytes_per_char"] = double(doc.FootprintBytes()) / characters;
    state.counters["rss_bytes_per_char"] = double(ResidentBytes() - residentBefore) / characters;
    // Cuts the document back to `lines - measured` lines, outside the timing.
    const auto trim = [&] {
        const LRESULT start = SendMessage(hwnd, EM_LINEINDEX, WPARAM(lines - measured), 0);
        CHARRANGE tail{LONG(start), -1};
        SendMessage(hwnd, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&tail));
        SendMessage(hwnd, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(u""));
    };
    trim();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        LRESULT count = 0;
        for (int i = 0; i < measured; ++i) {
            count = control->Append(variants[std::size_t(i) % variants.size()]);
        }
        const auto stop = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(count);
        if (count != lines + 1) {
            state.SkipWithError("wrong line count");
        }
        state.SetIterationTime(std::chrono::duration<double>(stop - start).count() / measured);
        state.PauseTiming();
        trim();
        state.ResumeTiming();
    }
    state.counters["lines"] = double(lines);
}
BENCHMARK(BM_AppendLineAt)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMicrosecond);

struct Sink {
    std::string data;
    std::size_t pos = 0;
};

DWORD CollectOut(DWORD_PTR cookie, BYTE* buffer, LONG cb, LONG* pcb) {
    auto* sink = reinterpret_cast<Sink*>(cookie);
    sink->data.append(reinterpret_cast<const char*>(buffer), std::size_t(cb));
    *pcb = cb;
    return 0;
}

DWORD FeedIn(DWORD_PTR cookie, BYTE* buffer, LONG cb, LONG* pcb) {
    auto* sink = reinterpret_cast<Sink*>(cookie);
    const std::size_t n = std::min<std::size_t>(std::size_t(cb), sink->data.size() - sink->pos);
    std::memcpy(buffer, sink->data.data() + sink->pos, n);
    sink->pos += n;
    *pcb = LONG(n);
    return 0;
}

// Throughputs of this run, for the closing table (MB/s; 0 when not measured).
double streamOutMBps = 0;
double streamInMBps = 0;

// About megabytes MB of bit lines.
std::unique_ptr<Control> BitDocument(int megabytes = 100) {
    auto control = std::make_unique<Control>();
    const int lines = megabytes * 1000 * 1000 / (LineLength + 1);
    std::vector<std::u16string> variants;
    for (int i = 0; i < 8; ++i) {
        variants.push_back(BitLine(i));
    }
    for (int i = 0; i < lines; ++i) {
        control->Append(variants[std::size_t(i) % variants.size()]);
    }
    return control;
}

void BM_RtfStreamOut(benchmark::State& state) {
    auto control = BitDocument();
    std::size_t bytes = 0;
    double seconds = 0;
    for (auto _ : state) {
        Sink sink;
        sink.data.reserve(110u << 20);
        EDITSTREAM es{reinterpret_cast<DWORD_PTR>(&sink), 0, CollectOut};
        const auto start = std::chrono::steady_clock::now();
        SendMessage(control->hwnd(), EM_STREAMOUT, SF_RTF, reinterpret_cast<LPARAM>(&es));
        seconds += SecondsSince(start);
        bytes = sink.data.size();
        if (es.dwError != 0) {
            state.SkipWithError("stream-out failed");
        }
    }
    state.SetBytesProcessed(std::int64_t(bytes) * state.iterations());
    state.counters["rtf_bytes"] = double(bytes);
    streamOutMBps = double(bytes) * double(state.iterations()) / seconds / 1e6;
}
BENCHMARK(BM_RtfStreamOut)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_RtfStreamIn(benchmark::State& state) {
    Sink sink;
    {
        auto control = BitDocument();
        EDITSTREAM es{reinterpret_cast<DWORD_PTR>(&sink), 0, CollectOut};
        SendMessage(control->hwnd(), EM_STREAMOUT, SF_RTF, reinterpret_cast<LPARAM>(&es));
    }
    Control target;
    double seconds = 0;
    for (auto _ : state) {
        sink.pos = 0;
        EDITSTREAM es{reinterpret_cast<DWORD_PTR>(&sink), 0, FeedIn};
        const auto start = std::chrono::steady_clock::now();
        SendMessage(target.hwnd(), EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&es));
        seconds += SecondsSince(start);
        if (es.dwError != 0) {
            state.SkipWithError("stream-in failed");
        }
    }
    state.SetBytesProcessed(std::int64_t(sink.data.size()) * state.iterations());
    state.counters["chars"] = double(SendMessage(target.hwnd(), WM_GETTEXTLENGTH, 0, 0));
    streamInMBps = double(sink.data.size()) * double(state.iterations()) / seconds / 1e6;
}
BENCHMARK(BM_RtfStreamIn)->Unit(benchmark::kMillisecond)->Iterations(5);

// The process's peak resident set since the last reset, from /proc/self/status (VmHWM).
std::int64_t PeakResidentBytes() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmHWM:") {
            std::int64_t kb = 0;
            status >> kb;
            return kb * 1024;
        }
    }
    return 0;
}

// Linux lets a process start its peak resident set again from what it holds now.
void ResetPeakResident() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// The peak memory of loading a 200 MB document's RTF into an empty control, against the size
// the document takes once loaded.
void BM_RtfStreamInPeakMemory(benchmark::State& state) {
    for (auto _ : state) {
        Sink sink;
        {
            auto source = BitDocument(200);
            EDITSTREAM es{reinterpret_cast<DWORD_PTR>(&sink), 0, CollectOut};
            SendMessage(source->hwnd(), EM_STREAMOUT, SF_RTF, reinterpret_cast<LPARAM>(&es));
        }
        Control target;
        malloc_trim(0);
        ResetPeakResident();
        const std::int64_t before = ResidentBytes();
        EDITSTREAM es{reinterpret_cast<DWORD_PTR>(&sink), 0, FeedIn};
        const auto start = std::chrono::steady_clock::now();
        SendMessage(target.hwnd(), EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&es));
        state.SetIterationTime(SecondsSince(start));
        const double peak = double(PeakResidentBytes() - before);
        const double document =
            double(RichEditControlOf(target.hwnd())->Document().FootprintBytes());
        state.counters["rtf_MB"] = double(sink.data.size()) / 1e6;
        state.counters["document_MB"] = document / 1e6;
        state.counters["peak_growth_MB"] = peak / 1e6;
        state.counters["peak_per_document"] = peak / document;
        Report("RTF stream-in peak memory, 200 MB of bit text", "< 3x the document",
               Cell("%.2fx (%.0f MB for a %.0f MB document)", peak / document, peak / 1e6,
                    document / 1e6),
               "", peak < 3 * document);
    }
}
BENCHMARK(BM_RtfStreamInPeakMemory)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

// LibreOffice loading our RTF (headless, converting it to text) as the peer of our stream-in:
// the seconds for documents of a few sizes, start-up included. Empty when it is not installed.
std::string LibreOfficeLoads() {
    const QString soffice = QStandardPaths::findExecutable("soffice");
    if (soffice.isEmpty()) {
        return "LibreOffice not installed";
    }
    QTemporaryDir folder;
    std::string cell = "LibreOffice";
    for (const int megabytes : {1, 4}) {
        Sink sink;
        {
            auto source = BitDocument(megabytes);
            EDITSTREAM es{reinterpret_cast<DWORD_PTR>(&sink), 0, CollectOut};
            SendMessage(source->hwnd(), EM_STREAMOUT, SF_RTF, reinterpret_cast<LPARAM>(&es));
        }
        const QString file = folder.filePath(QString("doc%1.rtf").arg(megabytes));
        std::ofstream(file.toStdString(), std::ios::binary)
            .write(sink.data.data(), std::streamsize(sink.data.size()));
        QProcess process;
        const auto start = std::chrono::steady_clock::now();
        process.start(soffice,
                      {"-env:UserInstallation=file://" + folder.filePath("profile"), "--headless",
                       "--convert-to", "txt:Text (encoded):UTF8", "--outdir", folder.path(), file});
        const bool done = process.waitForFinished(300000) && process.exitCode() == 0;
        cell += done ? Cell(" %d MB in %.1f s,", megabytes, SecondsSince(start))
                     : Cell(" %d MB failed,", megabytes);
    }
    cell.pop_back();
    return cell;
}

} // namespace

int main(int argc, char** argv) {
    EnableLoopbackOnlyGuard(); // benchmarks never reach past this machine
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (streamOutMBps > 0) {
        Report("RTF stream-out of 100 MB of bit text", ">= 200 MB/s",
               Cell("%.0f MB/s", streamOutMBps), "", streamOutMBps >= 200);
    }
    if (streamInMBps > 0) {
        Report("RTF stream-in of 100 MB of bit text", ">= 100 MB/s",
               Cell("%.0f MB/s", streamInMBps), LibreOfficeLoads(), streamInMBps >= 100);
    }
    return 0;
}
