// The extended URL colouring of a whole text: ColorURLs over 1 MB of mixed words, numbers,
// URLs of several schemes and e-mail addresses in a TRichEdit20 on a shown form, 700 pixels
// wide with word wrap on. Every word is selected and formatted (a link or the plain format).
//
// Figures: the time of the scan (goal: under 1 s), how many paints reached the control's
// widget while the scan held drawing (goal: none) and how many after it (the one repaint),
// and the words and URLs formatted. Beside it, in the same run, Qt's QTextDocument formatting
// every word through QTextCursor (words and URLs found with regular expressions of the same
// character class and rules), which is what a program on plain Qt would do.
//
// Usage: bench_url [bytes], default 1,000,000.

#include "BenchProcess.h"
#include "Report.h"
#include "framework/Forms.h"
#include "platform/richedit/RichEditControl.h"
#include "richedit/RichEdit2.h"

#include <QApplication>
#include <QRegularExpression>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>

namespace {

constexpr double GoalSeconds = 1.0;

// Mixed text: plain words and numbers, and about one word in five a URL or an address,
// in lines of about 80 characters.
std::string MixedText(std::size_t bytes, int& urls) {
    static const char* const words[] = {"station", "frame",  "sync", "bit",   "stream", "port",
                                        "read",    "block",  "the",  "of",    "to",     "and",
                                        "monitor", "signal", "word", "level", "rate",   "error"};
    static const char* const schemes[] = {"http://", "https://", "ftp://",
                                          "file://", "news:",    "mailto:"};
    std::mt19937 random(12345);
    std::string text;
    text.reserve(bytes + 128);
    std::size_t lineStart = 0;
    urls = 0;
    while (text.size() < bytes) {
        const unsigned pick = random() % 10;
        if (pick < 1) {
            text += schemes[random() % std::size(schemes)];
            text += "host" + std::to_string(random() % 1000) + ".example.org/path/" +
                    std::to_string(random() % 100000);
            ++urls;
        } else if (pick < 2) {
            text += "op" + std::to_string(random() % 100) + "@station" +
                    std::to_string(random() % 10) + ".nl";
            ++urls;
        } else if (pick < 3) {
            text += std::to_string(random() % 1000000);
        } else {
            text += words[random() % std::size(words)];
        }
        if (text.size() - lineStart > 80) {
            text += "\r\n";
            lineStart = text.size();
        } else {
            text += random() % 8 == 0 ? ", " : " ";
        }
    }
    return text;
}

// Counts the paints of a widget, and those that came while the control held drawing.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(const TCustomRichEdit20* edit) : edit_(edit) {}
    int during = 0;
    int total = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++total;
            during += edit_->RedrawLock > 0 ? 1 : 0;
        }
        return false;
    }

private:
    const TCustomRichEdit20* edit_;
};

// The same work in a QTextDocument: every word of URL characters formatted, a URL blue,
// underlined and an anchor, any other word plain.
double PeerSeconds(const std::string& text, int& links) {
    QTextDocument document;
    document.setPlainText(QString::fromLatin1(text.data(), qsizetype(text.size())));
    static const QRegularExpression word(QStringLiteral("[./0-9:@A-Z\\\\a-z]+"));
    static const QRegularExpression url(
        QStringLiteral("^(?i)(?:(?:https?|ftp|file|news|mailto):.+|[^@]+@[^.][^@]*\\..*)$"));
    QTextCharFormat link;
    link.setForeground(Qt::blue);
    link.setFontUnderline(true);
    link.setAnchor(true);
    QTextCharFormat plain;
    plain.setForeground(Qt::black);
    plain.setFontUnderline(false);
    plain.setAnchor(false);
    const auto start = std::chrono::steady_clock::now();
    links = 0;
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    const QString all = document.toPlainText();
    for (auto it = word.globalMatch(all); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const bool isUrl = url.match(match.captured()).hasMatch();
        cursor.setPosition(int(match.capturedStart()));
        cursor.setPosition(int(match.capturedEnd()), QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(isUrl ? link : plain);
        links += isUrl ? 1 : 0;
    }
    cursor.endEditBlock();
    return SecondsSince(start);
}

} // namespace

int main(int argc, char** argv) {
    PrepareBenchmarkProcess();
    QApplication app(argc, argv);
    const std::size_t bytes = argc > 1 ? std::size_t(std::stoull(argv[1])) : 1000000;
    int urls = 0;
    const std::string text = MixedText(bytes, urls);

    TForm form(nullptr);
    form.SetBounds(0, 0, 740, 260);
    auto* edit = new TRichEdit20(&form);
    edit->SetParent(&form);
    edit->SetBounds(8, 44, 700, 170);
    edit->SetMaxLength(0);
    edit->SetLanguage(1033);
    form.Show();
    edit->SetText(text);
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
    }

    PaintCounter paints(edit);
    edit->Widget()->installEventFilter(&paints);
    const auto start = std::chrono::steady_clock::now();
    edit->ColorURLs(0, edit->TextLength());
    const double ours = SecondsSince(start);
    const int paintsAfterScan = paints.total - paints.during;

    // Check the work was done: count the stretches of link text.
    int links = 0;
    {
        const RichEditDocument& doc = RichEditControlOf(edit->Handle())->Document();
        bool previous = false;
        for (std::int64_t pos = 0; pos < doc.Length();) {
            const std::int64_t end = doc.CharRuns().RunEnd(doc.CharRuns().RunFromPosition(pos));
            const bool link =
                (doc.ResolveCharFormat(doc.CharFormatIdAt(pos)).Effects() & CFE_LINK) != 0;
            links += link && !previous ? 1 : 0;
            previous = link;
            pos = std::max(end, pos + 1);
        }
    }

    int peerFormatted = 0;
    const double peer = PeerSeconds(text, peerFormatted);

    std::printf("bench_url: ColorURLs over %zu bytes of mixed text (%d URLs and addresses)\n",
                text.size(), urls);
    std::printf("  %-44s %8.3f s   goal < %.1f s: %s\n", "scan time", ours, GoalSeconds,
                ours < GoalSeconds ? "met" : "NOT MET");
    std::printf("  %-44s %8d     goal 0: %s\n", "paints while drawing was held", paints.during,
                paints.during == 0 ? "met" : "NOT MET");
    std::printf("  %-44s %8d\n", "paints when the scan ended", paintsAfterScan);
    std::printf("  %-44s %8d\n", "links in the text afterwards", links);
    std::printf("  %-44s %8.3f s   (%d links)\n", "peer: QTextDocument + QTextCursor, same work",
                peer, peerFormatted);
    Report("URL colouring of 1 MB of mixed text", "< 1 s", Cell("%.3f s", ours),
           Cell("QTextDocument + QTextCursor %.3f s", peer), ours < GoalSeconds);
    Report("Paints while the URL colouring holds drawing", "0", Cell("%d", paints.during), "",
           paints.during == 0);
    return 0;
}
