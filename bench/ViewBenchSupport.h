#pragma once
// What the view benchmarks share: clocks, the summary of figures, the monitor's bit text and
// font, and a real rich edit window with its view (and a QPlainTextEdit as the peer).

#include "BenchProcess.h"
#include "platform/richedit/RichEdit.h"
#include "platform/richedit/RichEditControl.h"
#include "platform/winsock/Winsock.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextLayout>
#include <QThread>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace viewbench {

using Clock = std::chrono::steady_clock;

constexpr int LineLength = 16384;
constexpr int WrapWidth = 700;
constexpr int ViewHeight = 400;
constexpr LONG MonitorFontTwips = 195; // 13 pixels at 96 dpi
constexpr std::u16string_view MonitorFace = u"Kelvor32 Teminal 0";
// About 100 MB of bit text.
constexpr int HundredMegabyteLines = 100 * 1000 * 1000 / (LineLength + 1);
// Characters the view lays out per turn of the event loop during a re-wrap (ControlView.cpp).
constexpr std::int64_t ViewRewrapBudget = 1 << 20;

inline double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// Wall time and this thread's CPU time since it started. The machine may be shared: wall
// time is what a user waits, CPU time what the work costs when it has a core to itself.
struct Stopwatch {
    Clock::time_point wall = Clock::now();
    double cpu = ThreadCpuSeconds();
    double Wall() const { return SecondsSince(wall); }
    double Cpu() const { return ThreadCpuSeconds() - cpu; }
};

inline double LoadAverage() {
    double load = 0;
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &load) != 1) {
            load = 0;
        }
        std::fclose(f);
    }
    return load;
}

inline double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// --- the summary printed after the run ----------------------------------------------------

inline std::map<std::string, std::string>& Figures() {
    static std::map<std::string, std::string> figures;
    return figures;
}

// Keeps one line of the summary; key orders the lines.
__attribute__((format(printf, 2, 3))) inline void Figure(const std::string& key, const char* format,
                                                         ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    Figures()[key] = line;
}

// Figures kept by name for the closing table (ours and the peers', from the same run).
inline std::map<std::string, double>& Measured() {
    static std::map<std::string, double> measured;
    return measured;
}

// --- the monitor's text and font ----------------------------------------------------------

inline std::u16string BitLine(int seed) {
    std::u16string line(LineLength, u'0');
    unsigned v = 2463534242u + unsigned(seed);
    for (auto& c : line) {
        v ^= v << 13;
        v ^= v >> 17;
        v ^= v << 5;
        c = (v & 1) ? u'1' : u'0';
    }
    return line;
}

inline const std::vector<std::u16string>& BitLines() {
    static const std::vector<std::u16string> lines = [] {
        std::vector<std::u16string> v;
        for (int i = 0; i < 8; ++i) {
            v.push_back(BitLine(i) + u'\r');
        }
        return v;
    }();
    return lines;
}

// lines bit lines, each ending in CR.
inline std::u16string BitText(int lines) {
    std::u16string text;
    text.reserve(std::size_t(lines) * (LineLength + 1));
    for (int i = 0; i < lines; ++i) {
        text += BitLines()[std::size_t(i) % BitLines().size()];
    }
    return text;
}

inline CHARFORMAT2W MonitorCharFormat() {
    CHARFORMAT2W cf{};
    cf.cbSize = sizeof cf;
    cf.dwMask = CFM_FACE | CFM_SIZE;
    cf.yHeight = MonitorFontTwips;
    std::copy(MonitorFace.begin(), MonitorFace.end(), cf.szFaceName);
    return cf;
}

inline void SetMonitorFormat(RichEditDocument& doc) {
    CharFormat format = doc.DefaultCharFormat();
    ApplyCharFormat(format, MonitorCharFormat());
    doc.SetDefaultCharFormat(format);
}

// The font our layout draws the monitor's text in, so that Qt's widgets get the same one.
inline QFont MonitorFont() {
    RichEditDocument doc;
    SetMonitorFormat(doc);
    TextLayout layout(doc, 96);
    return layout.EntryFor(RichEditDocument::DefaultFormatId).font;
}

inline void ProcessEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// With BENCH_VIEW_SHOTS set to a folder, a picture of what a window painted goes there, to
// see that the timed paints draw the text they should.
inline void Snapshot(QWidget* widget, const char* name) {
    if (const char* dir = std::getenv("BENCH_VIEW_SHOTS")) {
        widget->grab().save(QString::fromLocal8Bit(dir) + "/" + name + ".png");
    }
}

inline std::unique_ptr<QPlainTextEdit> MakePlainTextEdit() {
    auto edit = std::make_unique<QPlainTextEdit>();
    edit->setFont(MonitorFont());
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    edit->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    edit->resize(WrapWidth + 100, ViewHeight);
    edit->show();
    ProcessEvents();
    const int chrome = edit->width() - edit->viewport()->width();
    const int margins = int(2 * edit->document()->documentMargin());
    edit->resize(WrapWidth + margins + chrome, ViewHeight);
    ProcessEvents();
    return edit;
}

inline QString PlainText(int lines) {
    QString text = QString::fromStdU16String(BitText(lines));
    text.replace(QChar(u'\r'), QChar(u'\n'));
    return text;
}

// --- a real window with its view ------------------------------------------------------------

// A "RICHEDIT20W" window on screen (offscreen platform) in the monitor's font, its text
// wrapping at 700 pixels. Counts the WM_PAINT messages its procedure receives, so that a
// timed repaint is known to have painted. The scroll bar is always there, so the text width
// stays what was set whatever the document holds.
class ViewWindow {
public:
    ViewWindow() {
        hwnd_ = CreateWindowEx(0, RICHEDIT_CLASSW, u"",
                               WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_DISABLENOSCROLL, 0, 0,
                               WrapWidth, ViewHeight, nullptr, 0, nullptr, nullptr);
        if (!hwnd_) {
            std::fprintf(stderr, "bench_view: cannot create a rich edit window\n");
            std::exit(1);
        }
        const WNDPROC previous = GetWindowProc(hwnd_);
        SetWindowProc(hwnd_, [this, previous](HWND h, UINT m, WPARAM w, LPARAM l) {
            if (m == WM_PAINT) {
                ++paints_;
            }
            return CallWindowProc(previous, h, m, w, l);
        });
        SendMessage(hwnd_, EM_EXLIMITTEXT, 0, 0x7FFFFFFF);
        const CHARFORMAT2W cf = MonitorCharFormat();
        SendMessage(hwnd_, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf));
        ProcessEvents();
        SetTextWidth(WrapWidth);
    }
    ~ViewWindow() { DestroyWindow(hwnd_); }
    ViewWindow(const ViewWindow&) = delete;
    ViewWindow& operator=(const ViewWindow&) = delete;

    HWND Hwnd() const { return hwnd_; }
    QWidget* Widget() const { return GetWindowWidget(hwnd_); }
    RichEditControl& Control() const { return *RichEditControlOf(hwnd_); }
    LineIndex& Lines() const { return Control().Document().Lines(); }
    std::int32_t TextWidth() const { return Control().Layout() ? Control().Layout()->Width() : 0; }

    // Sizes the window so that its text wraps at width pixels (the selection bar, margins
    // and a scroll bar take the rest).
    void SetTextWidth(int width) {
        RECT r{};
        GetWindowRect(hwnd_, &r);
        for (int attempt = 0; attempt < 3 && TextWidth() != width; ++attempt) {
            const int outer = int(r.right - r.left) + (width - TextWidth());
            MoveWindow(hwnd_, 0, 0, outer, ViewHeight, TRUE);
            ProcessEvents();
            GetWindowRect(hwnd_, &r);
        }
    }

    // As the terminal feed does: caret to the end, then replace the empty selection.
    void Append(const char16_t* text) {
        CHARRANGE end{-1, -1};
        SendMessage(hwnd_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&end));
        SendMessage(hwnd_, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(text));
    }
    // Removes everything from position from to the end.
    void CutFrom(std::int64_t from) {
        CHARRANGE tail{LONG(from), -1};
        SendMessage(hwnd_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&tail));
        SendMessage(hwnd_, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(u""));
    }
    void ScrollToEnd() {
        CHARRANGE end{-1, -1};
        SendMessage(hwnd_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&end));
        SendMessage(hwnd_, EM_SCROLLCARET, 0, 0);
        ProcessEvents();
    }
    std::int64_t Length() const { return Control().Document().Length(); }

    // One full repaint, in seconds; negative when no WM_PAINT reached the window.
    double TimedRepaint() {
        QWidget* widget = Widget();
        const int before = paints_;
        const auto start = Clock::now();
        widget->repaint();
        const double s = SecondsSince(start);
        return paints_ == before ? -1.0 : s;
    }

private:
    HWND hwnd_ = nullptr;
    int paints_ = 0;
};

// Seconds per character appended to a paragraph of state.range(0) characters.

// A window holding lines bit lines, appended one at a time as the monitor does.
inline std::unique_ptr<ViewWindow> WindowWithLines(int lines, double* seconds = nullptr) {
    auto window = std::make_unique<ViewWindow>();
    const auto start = Clock::now();
    for (int i = 0; i < lines; ++i) {
        window->Append(BitLines()[std::size_t(i) % BitLines().size()].c_str());
    }
    if (seconds) {
        *seconds = SecondsSince(start);
    }
    window->ScrollToEnd();
    return window;
}

// One full repaint of a 700x400 view scrolled to the end: 10 lines against 100,000.

} // namespace viewbench
