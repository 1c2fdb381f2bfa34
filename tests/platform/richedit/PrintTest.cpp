// Printing with EM_FORMATRANGE the way a caller prints: page after page into a PDF, each page
// continuing where the last one stopped, until the whole text is out.

#include "RichEditFixture.h"
#include "tests/support/Files.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <random>

namespace {

constexpr int Dpi = 300;
constexpr LONG MarginTwips = 720;
const std::u16string TerminalFace = u"Kelvor32 Teminal 0";

// One call of the print loop: what it was asked to start at, where it stopped, and the height
// it reported as used.
struct Page {
    LONG cpMin;
    LONG next;
    LONG used; // rc.bottom - rc.top as returned, in twips
    bool operator==(const Page&) const = default;
};

int TwipsToPixels(LONG twips, int dpi = Dpi) {
    return int(std::int64_t(twips) * dpi / 1440);
}

// Heights come back in whole twips rounded down from whole pixels; this gives the pixels.
int UsedPixels(LONG twips, int dpi = Dpi) {
    return int(std::lround(double(twips) * dpi / 1440.0));
}

// A device that measures at dpi and keeps what is drawn on it in an image.
struct ImageDevice {
    QImage image;
    QPainter painter;
    HDC hdc;

    ImageDevice(QSize size, int dpi) : image(size, QImage::Format_RGB32) {
        image.fill(Qt::white);
        const int perMetre = int(std::lround(dpi / 0.0254));
        image.setDotsPerMeterX(perMetre);
        image.setDotsPerMeterY(perMetre);
        painter.begin(&image);
        hdc = CreateDeviceContext(&painter);
    }
    ~ImageDevice() {
        DeleteDC(hdc);
        painter.end();
    }
    bool Blank() const {
        for (int y = 0; y < image.height(); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            if (std::any_of(row, row + image.width(),
                            [](QRgb p) { return p != qRgb(255, 255, 255); }))
                return false;
        }
        return true;
    }
};

std::u16string OnlyBits(std::u16string_view text) {
    std::u16string bits;
    std::copy_if(text.begin(), text.end(), std::back_inserter(bits),
                 [](char16_t c) { return c == u'0' || c == u'1'; });
    return bits;
}

class PrintTest : public RichEditTest {
protected:
    struct Paragraph {
        LONG start;
        LONG length;
        bool bits; // only "0"/"1", in one format
    };
    struct PdfJob {
        std::vector<Page> pages;
        int pageObjects = 0;
        RECT rc{};
        QString path;
    };

    void SetUp() override {
        RichEditTest::SetUp();
        ASSERT_TRUE(dir_.isValid());
        Send(EM_EXLIMITTEXT, 0, LPARAM(16 << 20));
    }

    LONG Length() {
        GETTEXTLENGTHEX info{GTL_DEFAULT, CP_UNICODE};
        return LONG(Send(EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&info)));
    }

    void SetFormat(LONG min, LONG max, DWORD mask, DWORD effects, LONG height = 0,
                   const std::u16string& face = {}) {
        Select(min, max);
        SetCharFormat(SCF_SELECTION, mask, effects, [&](CHARFORMAT2W& cf) {
            cf.yHeight = height;
            std::copy(face.begin(), face.end(), cf.szFaceName);
        });
    }

    // count paragraphs: sentences of letters (no digits, so the PDF's bits are the bit lines'
    // alone), bit lines from one to thirty printed lines long in the monitor's font, a few
    // empty paragraphs, openings in a larger bold font, italic runs, and every twelfth bit
    // line larger and bold, so that line heights differ.
    void LoadVariedDocument(int count = 300) {
        static const char16_t* const words[] = {
            u"station", u"stream",  u"block", u"received", u"the",          u"of",
            u"a",       u"monitor", u"line",  u"capture",  u"synchronised", u"frame",
            u"check",   u"window",  u"clock", u"is",       u"and",          u"lost"};
        std::mt19937 rng(20240611);
        std::u16string text;
        paras_.clear();
        for (int i = 0; i < count; ++i) {
            if (i > 0)
                text += u'\r';
            const auto start = LONG(text.size());
            bool bits = false;
            if (i % 17 == 5) {
                // empty
            } else if (i % 3 == 1) {
                bits = true;
                const int n = 60 + int(rng() % 2600);
                for (int k = 0; k < n; ++k)
                    text += (rng() & 1) ? u'1' : u'0';
            } else {
                const int n = 1 + int(rng() % 70);
                for (int k = 0; k < n; ++k) {
                    if (k > 0)
                        text += u' ';
                    text += words[rng() % std::size(words)];
                }
            }
            paras_.push_back({start, LONG(text.size()) - start, bits});
        }
        SetText(text);
        ASSERT_EQ(Length(), LONG(text.size()));
        text_ = text;
        SetCharFormat(SCF_ALL, CFM_FACE | CFM_SIZE, 0, [](CHARFORMAT2W& cf) {
            const std::u16string face = u"DejaVu Sans";
            std::copy(face.begin(), face.end(), cf.szFaceName);
            cf.yHeight = 200;
        });
        int bitParas = 0;
        for (std::size_t i = 0; i < paras_.size(); ++i) {
            const Paragraph& p = paras_[i];
            if (p.bits) {
                const bool large = ++bitParas % 12 == 0;
                SetFormat(p.start, p.start + p.length, CFM_FACE | CFM_SIZE | CFM_BOLD,
                          large ? CFE_BOLD : 0, large ? 320 : 195, TerminalFace);
            } else if (p.length > 0 && i % 11 == 0) {
                // A heading-like opening: the first words larger and bold.
                const auto words = text.find(u' ', std::size_t(p.start));
                const LONG end = words == std::u16string::npos || LONG(words) > p.start + p.length
                                     ? p.start + p.length
                                     : LONG(words);
                SetFormat(p.start, end, CFM_SIZE | CFM_BOLD, CFE_BOLD, 440);
            } else if (p.length > 20 && i % 13 == 0) {
                SetFormat(p.start + 4, p.start + 20, CFM_ITALIC | CFM_SIZE, CFE_ITALIC, 280);
            }
        }
        Select(0, 0);
    }

    // The caller's loop: render (or measure) from where the last page stopped until the text
    // (or chrg) is out, then release the cached layout. Stops early only when a call makes no
    // progress, which the tests then report.
    std::vector<Page> RunJob(HDC hdc, bool render, const RECT& rc,
                             const std::function<void()>& newPage = {}, CHARRANGE chrg = {0, -1}) {
        const LONG length = Length();
        const LONG end = chrg.cpMax < 0 ? length : std::min(chrg.cpMax, length);
        std::vector<Page> pages;
        FORMATRANGE fr{hdc, hdc, rc, rc, chrg};
        for (;;) {
            fr.rc = rc;
            const auto next = LONG(Send(EM_FORMATRANGE, render ? 1 : 0, &fr));
            pages.push_back({fr.chrg.cpMin, next, fr.rc.bottom - fr.rc.top});
            if (next >= end || next <= fr.chrg.cpMin || pages.size() > std::size_t(length) + 2)
                break;
            if (newPage)
                newPage();
            fr.chrg.cpMin = next;
        }
        Send(EM_FORMATRANGE, 0, 0);
        return pages;
    }

    // The printable area of hdc's page in twips, less a margin on every side.
    static RECT PrintableTwips(HDC hdc) {
        const int dpiX = GetDeviceCaps(hdc, LOGPIXELSX);
        const int dpiY = GetDeviceCaps(hdc, LOGPIXELSY);
        return RECT{MarginTwips, MarginTwips,
                    LONG(std::int64_t(GetDeviceCaps(hdc, HORZRES)) * 1440 / dpiX) - MarginTwips,
                    LONG(std::int64_t(GetDeviceCaps(hdc, VERTRES)) * 1440 / dpiY) - MarginTwips};
    }

    // Prints the whole text into an A4 PDF at 300 dpi; height (twips) replaces the page's.
    PdfJob PrintToPdf(const QString& name, LONG height = 0) {
        PdfJob job;
        job.path = dir_.filePath(name);
        QPdfWriter writer(job.path);
        writer.setResolution(Dpi);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
        {
            QPainter painter(&writer);
            HDC hdc = CreateDeviceContext(&painter);
            EXPECT_EQ(GetDeviceCaps(hdc, LOGPIXELSY), Dpi);
            job.rc = PrintableTwips(hdc);
            if (height > 0)
                job.rc.bottom = job.rc.top + height;
            job.pages = RunJob(hdc, true, job.rc, [&] { writer.newPage(); });
            DeleteDC(hdc);
        }
        job.pageObjects = testsupport::PdfPageCount(job.path.toStdString());
        return job;
    }

    // Every display line at rc's width on hdc, from pages one twip high: a page always takes
    // at least one line, and only one fits. Heights in pixels.
    std::map<LONG, int> DisplayLines(HDC hdc, RECT rc) {
        rc.bottom = rc.top + 1;
        std::map<LONG, int> lines;
        for (const Page& page : RunJob(hdc, false, rc))
            lines[page.cpMin] = UsedPixels(page.used, GetDeviceCaps(hdc, LOGPIXELSY));
        return lines;
    }

    // Characters on the first display line of the paragraph at start.
    LONG FirstLineLength(HDC hdc, RECT rc, LONG start) {
        rc.bottom = rc.top + 1;
        FORMATRANGE fr{hdc, hdc, rc, rc, {start, -1}};
        const auto next = LONG(Send(EM_FORMATRANGE, 0, &fr));
        Send(EM_FORMATRANGE, 0, 0);
        return next - start;
    }

    const Paragraph& ParagraphAt(LONG pos) const {
        auto it = std::upper_bound(paras_.begin(), paras_.end(), pos,
                                   [](LONG p, const Paragraph& para) { return p < para.start; });
        return *std::prev(it);
    }

    static void ExpectTiling(const std::vector<Page>& pages, LONG from, LONG to) {
        ASSERT_FALSE(pages.empty());
        EXPECT_EQ(pages.front().cpMin, from);
        for (std::size_t i = 0; i < pages.size(); ++i) {
            if (to > from) {
                EXPECT_GT(pages[i].next, pages[i].cpMin) << "no progress on page " << i;
            }
            if (i + 1 < pages.size()) {
                EXPECT_EQ(pages[i + 1].cpMin, pages[i].next) << "after page " << i;
            }
        }
        EXPECT_EQ(pages.back().next, to) << "the job ended early or overran";
    }

    QTemporaryDir dir_;
    std::vector<Paragraph> paras_;
    std::u16string text_;
};

TEST_F(PrintTest, PagesTileTheTextAndBreakAtDisplayLines) {
    LoadVariedDocument();
    const PdfJob job = PrintToPdf("varied.pdf");
    ExpectTiling(job.pages, 0, Length());
    ASSERT_GT(job.pages.size(), 20u) << "the document should span many pages";
    EXPECT_EQ(job.pageObjects, int(job.pages.size()));

    // The display lines at the page's width, one call each.
    ImageDevice device(QSize(1, 1), Dpi);
    const std::map<LONG, int> lines = DisplayLines(device.hdc, job.rc);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.begin()->first, 0);

    // Each display line starts a paragraph, follows a blank, or (in a bit line, where every
    // character is as wide as the next) starts a multiple of the first line's length in.
    std::map<LONG, LONG> bitLineLength;
    for (const auto& [start, height] : lines) {
        const Paragraph& para = ParagraphAt(start);
        if (start == para.start)
            continue;
        if (para.bits) {
            auto [it, added] = bitLineLength.try_emplace(para.start, 0);
            if (added)
                it->second = FirstLineLength(device.hdc, job.rc, para.start);
            ASSERT_GT(it->second, 0);
            EXPECT_EQ((start - para.start) % it->second, 0) << "bit line broken at " << start;
        } else {
            EXPECT_EQ(text_[std::size_t(start - 1)], u' ') << "word cut at " << start;
        }
    }
    // The monitor's font at 300 dpi: DejaVu Sans Mono (what a terminal face resolves to here)
    // 195 twips, i.e. 41 pixels; a bit line holds as many characters as fit the width.
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(41);
    mono.setKerning(false);
    const double perLine = TwipsToPixels(job.rc.right - job.rc.left) /
                           QFontMetricsF(mono).horizontalAdvance(QLatin1Char('0'));
    EXPECT_NEAR(double(bitLineLength.begin()->second), perLine, 1.0);

    const int available = TwipsToPixels(job.rc.bottom - job.rc.top);
    for (std::size_t i = 0; i < job.pages.size(); ++i) {
        const Page& page = job.pages[i];
        EXPECT_TRUE(lines.count(page.cpMin)) << "page " << i << " starts inside a line";
        // What the page reports as used is exactly its lines, and no further line would fit.
        int height = 0;
        for (auto it = lines.lower_bound(page.cpMin); it != lines.end() && it->first < page.next;
             ++it)
            height += it->second;
        EXPECT_EQ(UsedPixels(page.used), height) << "page " << i;
        EXPECT_LE(height, available) << "page " << i;
        if (i + 1 < job.pages.size()) {
            ASSERT_TRUE(lines.count(page.next));
            EXPECT_GT(height + lines.at(page.next), available) << "page " << i << " left room";
        }
    }
}

TEST_F(PrintTest, PdfTextHoldsEveryBitLineOnceInOrder) {
    KELVOR_REQUIRE_PDFTOTEXT();
    LoadVariedDocument();
    const PdfJob job = PrintToPdf("bits.pdf");
    ExpectTiling(job.pages, 0, Length());

    const QStringList pageTexts =
        QString::fromStdString(testsupport::PdfText(job.path.toStdString())).split('\f');
    // pdftotext ends every page with a form feed.
    ASSERT_EQ(pageTexts.size(), qsizetype(job.pages.size()) + 1);
    for (std::size_t i = 0; i < job.pages.size(); ++i) {
        const Page& page = job.pages[i];
        const std::u16string expected = OnlyBits(std::u16string_view(text_).substr(
            std::size_t(page.cpMin), std::size_t(page.next - page.cpMin)));
        const std::u16string printed = OnlyBits(pageTexts[qsizetype(i)].toStdU16String());
        ASSERT_EQ(printed.size(), expected.size()) << "page " << i;
        EXPECT_TRUE(printed == expected) << "page " << i << " holds other bits";
    }
    EXPECT_EQ(OnlyBits(pageTexts.join("").toStdU16String()), OnlyBits(text_));
}

TEST_F(PrintTest, EqualLinesFillPagesAsTheirHeightSays) {
    std::u16string text;
    const int count = 250;
    for (int i = 0; i < count; ++i)
        text += i ? u"\ran equal line of plain text" : u"an equal line of plain text";
    SetText(text);
    const LONG paraLength = 28; // with its CR

    ImageDevice device(QSize(1, 1), Dpi);
    RECT rc{MarginTwips, MarginTwips, 10000, 1 << 24};
    // Measure one line and forty lines on a page that holds them all.
    FORMATRANGE fr{device.hdc, device.hdc, rc, rc, {0, paraLength}};
    ASSERT_EQ(Send(EM_FORMATRANGE, 0, &fr), paraLength);
    const LONG one = fr.rc.bottom - fr.rc.top;
    fr.rc = rc;
    fr.chrg = {0, 40 * paraLength};
    ASSERT_EQ(Send(EM_FORMATRANGE, 0, &fr), 40 * paraLength);
    const LONG forty = fr.rc.bottom - fr.rc.top;
    Send(EM_FORMATRANGE, 0, 0);
    ASSERT_GT(one, 0);
    EXPECT_EQ(UsedPixels(forty), 40 * UsedPixels(one));

    // A page forty and a half lines high takes forty.
    const PdfJob job = PrintToPdf("equal.pdf", forty + one / 2);
    ExpectTiling(job.pages, 0, Length());
    const std::size_t expectedPages = (count + 39) / 40;
    ASSERT_EQ(job.pages.size(), expectedPages);
    EXPECT_EQ(job.pageObjects, int(expectedPages));
    for (std::size_t i = 0; i + 1 < job.pages.size(); ++i) {
        EXPECT_EQ(job.pages[i].cpMin, LONG(i) * 40 * paraLength);
        // rc.bottom comes back at the forty lines' bottom, not the page's.
        EXPECT_EQ(job.pages[i].used, forty);
    }
    EXPECT_EQ(UsedPixels(job.pages.back().used), (count % 40) * UsedPixels(one));
}

TEST_F(PrintTest, MeasuringBreaksWhereRenderingDoesAndDrawsNothing) {
    LoadVariedDocument(120);
    const PdfJob job = PrintToPdf("measured.pdf");
    ExpectTiling(job.pages, 0, Length());

    ImageDevice device(QPageSize(QPageSize::A4).sizePixels(Dpi), Dpi);
    const std::vector<Page> measured = RunJob(device.hdc, false, job.rc);
    EXPECT_EQ(measured, job.pages);
    EXPECT_TRUE(device.Blank()) << "measuring drew on the device";

    // Rendering the same first page on the image does draw there.
    FORMATRANGE fr{device.hdc, device.hdc, job.rc, job.rc, {0, -1}};
    EXPECT_EQ(Send(EM_FORMATRANGE, 1, &fr), job.pages.front().next);
    Send(EM_FORMATRANGE, 0, 0);
    EXPECT_FALSE(device.Blank());
}

TEST_F(PrintTest, LayoutFollowsTheResolutionAndTheDocument) {
    std::u16string bits;
    for (int i = 0; i < 20000; ++i)
        bits += (i * 7 % 5 < 2) ? u'1' : u'0';
    SetText(bits);
    SetFormat(0, 20000, CFM_FACE | CFM_SIZE, 0, 195, TerminalFace);
    const RECT rc{MarginTwips, MarginTwips, 10000, 14000};

    // The same page in twips at three resolutions holds nearly the same text: the fonts scale
    // with the device, not only the width.
    std::vector<LONG> perLine;
    std::vector<LONG> firstPage;
    for (int dpi : {150, 300, 600}) {
        ImageDevice device(QSize(1, 1), dpi);
        ASSERT_EQ(GetDeviceCaps(device.hdc, LOGPIXELSX), dpi);
        perLine.push_back(FirstLineLength(device.hdc, rc, 0));
        ASSERT_GT(perLine.back(), 0) << "no line at " << dpi << " dpi";
        firstPage.push_back(RunJob(device.hdc, false, rc).front().next);
    }
    for (std::size_t i = 1; i < perLine.size(); ++i) {
        EXPECT_NEAR(double(perLine[i]), double(perLine[0]), perLine[0] * 0.05);
        EXPECT_NEAR(double(firstPage[i]), double(firstPage[0]), firstPage[0] * 0.08);
    }

    // A job keeps its layout between pages; a change of format between jobs still counts.
    ImageDevice device(QSize(1, 1), Dpi);
    FORMATRANGE fr{device.hdc, device.hdc, rc, rc, {0, -1}};
    const auto before = LONG(Send(EM_FORMATRANGE, 0, &fr));
    EXPECT_EQ(before % perLine[1], 0) << "page ends inside a line";
    SetFormat(0, 20000, CFM_SIZE, 0, 390);
    fr.rc = rc;
    const auto larger = LONG(Send(EM_FORMATRANGE, 0, &fr)); // no release in between
    Send(EM_FORMATRANGE, 0, 0);
    fr.rc = rc;
    const auto fresh = LONG(Send(EM_FORMATRANGE, 0, &fr));
    Send(EM_FORMATRANGE, 0, 0);
    EXPECT_EQ(larger, fresh);
    EXPECT_LT(larger, before / 3); // twice as wide and twice as tall: about a quarter
}

TEST_F(PrintTest, PagesTooSmallForALineStillMoveOn) {
    std::u16string text = u"short\r";
    for (int i = 0; i < 700; ++i)
        text += i % 3 ? u'0' : u'1';
    text += u"\r\rlarge last words";
    SetText(text);
    const auto length = LONG(text.size());
    SetFormat(length - 16, length, CFM_SIZE | CFM_BOLD, CFE_BOLD, 600);

    ImageDevice device(QSize(1, 1), Dpi);
    // One twip high: one line a page, reported at its full height.
    const RECT tiny{MarginTwips, MarginTwips, 11000, MarginTwips + 1};
    const std::vector<Page> pages = RunJob(device.hdc, false, tiny);
    ExpectTiling(pages, 0, length);
    const LONG bitLine = FirstLineLength(device.hdc, tiny, 6);
    ASSERT_GT(bitLine, 0);
    EXPECT_EQ(pages.size(), std::size_t(1 + (700 + bitLine - 1) / bitLine + 1 + 1));
    for (const Page& page : pages)
        EXPECT_GT(page.used, 1) << "a line drawn on a page reports its height";
    EXPECT_GT(pages.back().used, pages.front().used * 2) << "the large line is taller";

    // No height, no width, or upside down: the job still ends, a character or a line a time.
    for (const RECT& rc : {RECT{100, 100, 100, 100}, RECT{100, 100, 5000, 100},
                           RECT{100, 100, 5000, 50}, RECT{100, 100, 90, 5000}}) {
        const std::vector<Page> odd = RunJob(device.hdc, false, rc);
        ExpectTiling(odd, 0, length);
        EXPECT_LE(odd.size(), std::size_t(length));
    }
}

TEST_F(PrintTest, EmptyDocumentPrintsOneBlankPage) {
    const PdfJob empty = PrintToPdf("empty.pdf");
    ASSERT_EQ(empty.pages.size(), 1u);
    EXPECT_EQ(empty.pages[0], (Page{0, 0, 0}));
    EXPECT_EQ(empty.pageObjects, 1);

    // One empty paragraph: its line has a height and the job ends after its mark.
    SetText(u"\r");
    const PdfJob mark = PrintToPdf("mark.pdf");
    ASSERT_EQ(mark.pages.size(), 1u);
    EXPECT_EQ(mark.pages[0].next, 1);
    EXPECT_GT(mark.pages[0].used, 0);
}

TEST_F(PrintTest, RangeInsideTheTextPrintsOnlyThatRange) {
    LoadVariedDocument(60);
    // From inside one bit line to inside another, several pages apart.
    const Paragraph* first = nullptr;
    const Paragraph* last = nullptr;
    for (const Paragraph& p : paras_) {
        if (p.bits && p.length > 300)
            (first ? last : first) = &p;
    }
    ASSERT_TRUE(first && last);
    ImageDevice device(QPageSize(QPageSize::A4).sizePixels(Dpi), Dpi);
    const RECT rc = PrintableTwips(device.hdc);
    const LONG lineLength = FirstLineLength(device.hdc, rc, first->start);
    ASSERT_GT(lineLength, 10);
    const CHARRANGE range{first->start + lineLength, last->start + 250};
    const std::vector<Page> pages = RunJob(device.hdc, false, rc, {}, range);
    ExpectTiling(pages, range.cpMin, range.cpMax);

    // Ten characters of a line print as ten characters, not as the whole line.
    const auto render = [&](CHARRANGE chrg) {
        ImageDevice page(QPageSize(QPageSize::A4).sizePixels(Dpi), Dpi);
        FORMATRANGE fr{page.hdc, page.hdc, rc, rc, chrg};
        EXPECT_EQ(Send(EM_FORMATRANGE, 1, &fr), chrg.cpMax);
        Send(EM_FORMATRANGE, 0, 0);
        return page.image;
    };
    const QImage part = render({first->start, first->start + 10});
    const QImage line = render({first->start, first->start + lineLength});
    EXPECT_NE(part, line) << "the characters after the range were printed";
}

} // namespace
