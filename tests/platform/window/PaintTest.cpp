// Painting through WM_PAINT, the update region and device contexts.
#include "platform/window/Gdi.h"
#include "tests/platform/window/BridgeHost.h"
#include "tests/support/Pump.h"

#include <QBuffer>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class RedWidget : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::red);
    }
};

QColor Middle(QWidget* widget) {
    return widget->grab().toImage().pixelColor(widget->width() / 2, widget->height() / 2);
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

} // namespace

TEST(BridgePaint, TheWidgetPaintsOnlyWhenWmPaintReachesTheDefault) {
    auto* red = new RedWidget;
    Host host(red, QRect(0, 0, 60, 40));
    EXPECT_EQ(Middle(red), QColor(Qt::red)); // passed on: nothing changes

    host.recorder.handle = [](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        return m == WM_PAINT ? std::optional<LRESULT>(0) : std::nullopt;
    };
    EXPECT_NE(Middle(red), QColor(Qt::red));

    // A subclass that paints itself draws through BeginPaint's painter on the widget.
    PAINTSTRUCT seen{};
    int dpi = 0, width = 0;
    bool passOn = false;
    host.recorder.handle = [&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m != WM_PAINT)
            return std::nullopt;
        PAINTSTRUCT ps{};
        HDC hdc = BeginPaint(h, &ps);
        seen = ps;
        dpi = GetDeviceCaps(hdc, LOGPIXELSX);
        width = GetDeviceCaps(hdc, HORZRES);
        if (QPainter* painter = PainterOf(hdc))
            painter->fillRect(0, 0, 60, 40, Qt::blue);
        EndPaint(h, &ps);
        return passOn ? std::nullopt : std::optional<LRESULT>(0);
    };
    EXPECT_EQ(Middle(red), QColor(Qt::blue));
    EXPECT_TRUE(SameRect(seen.rcPaint, RECT{0, 0, 60, 40}));
    EXPECT_TRUE(seen.fErase);
    EXPECT_EQ(dpi, red->logicalDpiX());
    EXPECT_EQ(width, 60);
    EXPECT_EQ(PainterOf(seen.hdc), nullptr); // ended: the handle is gone
    // Passed on after painting: the widget's own painting comes on top.
    passOn = true;
    EXPECT_EQ(Middle(red), QColor(Qt::red));
}

TEST(BridgePaint, AWmPaintSentByHandGivesAContextThatDrawsNothing) {
    Host host(new QWidget, QRect(0, 0, 60, 40));
    PAINTSTRUCT seen{};
    int dpi = 0, width = -1;
    host.recorder.handle = [&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m != WM_PAINT)
            return std::nullopt;
        PAINTSTRUCT ps{};
        HDC hdc = BeginPaint(h, &ps);
        seen = ps;
        EXPECT_EQ(PainterOf(hdc), nullptr);
        dpi = GetDeviceCaps(hdc, LOGPIXELSY);
        width = GetDeviceCaps(hdc, HORZRES);
        EndPaint(h, &ps);
        return 0;
    };
    SendMessage(host.hwnd(), WM_PAINT, 0, 0);
    ASSERT_NE(seen.hdc, nullptr);
    EXPECT_TRUE(SameRect(seen.rcPaint, RECT{0, 0, 0, 0}));
    EXPECT_EQ(dpi, 96);
    EXPECT_EQ(width, 0);
}

TEST(UpdateRegion, InvalidatedRectanglesWaitUntilAPaintTakesThem) {
    Host top(new QWidget, QRect(0, 0, 200, 150));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(top.widget()));
    Host host(new QWidget, QRect(10, 10, 100, 80), top.hwnd());
    testsupport::PumpPending(std::chrono::milliseconds(50)); // the first paints
    RECT r{};
    EXPECT_FALSE(GetUpdateRect(host.hwnd(), &r, FALSE));

    const RECT a{2, 3, 10, 12}, b{20, 20, 300, 25};
    InvalidateRect(host.hwnd(), &a, TRUE);
    InvalidateRect(host.hwnd(), &b, TRUE); // reaches past the right edge: clipped
    ASSERT_TRUE(GetUpdateRect(host.hwnd(), &r, FALSE));
    EXPECT_TRUE(SameRect(r, RECT{2, 3, 100, 25}));
    const RECT part{0, 0, 50, 50};
    ValidateRect(host.hwnd(), &part); // covers only some of it
    EXPECT_TRUE(GetUpdateRect(host.hwnd(), nullptr, FALSE));

    RECT before{}, after{};
    BOOL waitingBefore = FALSE, waitingAfter = TRUE;
    host.recorder.handle = [&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m != WM_PAINT)
            return std::nullopt;
        waitingBefore = GetUpdateRect(h, &before, FALSE);
        PAINTSTRUCT ps{};
        BeginPaint(h, &ps);
        waitingAfter = GetUpdateRect(h, &after, FALSE);
        EndPaint(h, &ps);
        return 0;
    };
    host.recorder.seen.clear();
    UpdateWindow(host.hwnd()); // paints now, not from the event loop
    EXPECT_EQ(host.recorder.Count(WM_PAINT), 1u);
    EXPECT_TRUE(waitingBefore);
    EXPECT_TRUE(SameRect(before, RECT{2, 3, 100, 25}));
    EXPECT_FALSE(waitingAfter);
    EXPECT_FALSE(GetUpdateRect(host.hwnd(), &r, FALSE));
    UpdateWindow(host.hwnd()); // nothing waits: no paint
    EXPECT_EQ(host.recorder.Count(WM_PAINT), 1u);

    InvalidateRect(host.hwnd(), nullptr, TRUE);
    ASSERT_TRUE(GetUpdateRect(host.hwnd(), &r, FALSE));
    EXPECT_TRUE(SameRect(r, RECT{0, 0, 100, 80}));
    ValidateRect(host.hwnd(), nullptr);
    EXPECT_FALSE(GetUpdateRect(host.hwnd(), &r, FALSE));
}

TEST(DeviceContexts, APrintedPageHasItsPaperSizeAndPrintableOffsets) {
    QBuffer sink;
    sink.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&sink);
    pdf.setResolution(300);
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                  QMarginsF(10, 20, 10, 20), QPageLayout::Millimeter));
    QPainter onPaper(&pdf);
    HDC paper = CreateDeviceContext(&onPaper);
    EXPECT_EQ(GetDeviceCaps(paper, LOGPIXELSX), 300);
    EXPECT_EQ(GetDeviceCaps(paper, HORZRES), pdf.width());
    // 210 x 297 mm at 300 dpi, margins of 10 and 20 mm (Qt keeps the page in whole points).
    EXPECT_NEAR(GetDeviceCaps(paper, PHYSICALWIDTH), 2480, 3);
    EXPECT_NEAR(GetDeviceCaps(paper, PHYSICALHEIGHT), 3508, 3);
    EXPECT_NEAR(GetDeviceCaps(paper, PHYSICALOFFSETX), 118, 3);
    EXPECT_NEAR(GetDeviceCaps(paper, PHYSICALOFFSETY), 236, 3);
    EXPECT_LT(GetDeviceCaps(paper, HORZRES), GetDeviceCaps(paper, PHYSICALWIDTH));

    // Modes are kept, not applied; an unknown one is refused.
    EXPECT_EQ(SetMapMode(paper, MM_TWIPS), MM_TEXT);
    EXPECT_EQ(GetMapMode(paper), MM_TWIPS);
    EXPECT_EQ(SetMapMode(paper, 99), 0);
    EXPECT_EQ(GetMapMode(paper), MM_TWIPS);
    EXPECT_TRUE(DeleteDC(paper));
    EXPECT_FALSE(DeleteDC(paper));
    EXPECT_EQ(GetDeviceCaps(paper, LOGPIXELSX), 0);
    onPaper.end();

    // A surface without a sheet around it is all drawable.
    QImage image(64, 32, QImage::Format_ARGB32);
    QPainter onImage(&image);
    HDC screen = CreateDeviceContext(&onImage);
    EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 64);
    EXPECT_EQ(GetDeviceCaps(screen, PHYSICALWIDTH), 64);
    EXPECT_EQ(GetDeviceCaps(screen, PHYSICALHEIGHT), 32);
    EXPECT_EQ(GetDeviceCaps(screen, PHYSICALOFFSETX), 0);
    DeleteDC(screen);
    HDC none = CreateDeviceContext(nullptr);
    EXPECT_EQ(GetDeviceCaps(none, LOGPIXELSX), 96);
    EXPECT_EQ(GetDeviceCaps(none, PHYSICALWIDTH), 0);
    DeleteDC(none);
}

// A handler that invalidates part of what it is about to paint, before BeginPaint, adds it to
// this paint as the platform does; it does not ask for another paint (for ever).
TEST(UpdateRegion, InvalidatingWithinAPaintBeforeItBeginsJoinsThatPaint) {
    Host top(new QWidget, QRect(0, 0, 200, 150));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(top.widget()));
    Host host(new QWidget, QRect(10, 10, 100, 80), top.hwnd());
    testsupport::PumpPending(std::chrono::milliseconds(50));
    host.recorder.handle = [&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m != WM_PAINT)
            return std::nullopt;
        const RECT strip{97, 0, 100, 80};
        InvalidateRect(h, &strip, TRUE);
        PAINTSTRUCT ps{};
        BeginPaint(h, &ps);
        EndPaint(h, &ps);
        return 0;
    };
    host.recorder.seen.clear();
    InvalidateRect(host.hwnd(), nullptr, TRUE);
    testsupport::PumpPending(std::chrono::milliseconds(100));
    EXPECT_EQ(host.recorder.Count(WM_PAINT), 1u);
    EXPECT_FALSE(GetUpdateRect(host.hwnd(), nullptr, FALSE));
}
