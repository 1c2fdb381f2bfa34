// The control on screen: display lines under wrap at known widths, scrolling, following
// appended text, painting, and input through real (synthesized) Qt events.

#include "RichEditFixture.h"
#include "platform/richedit/RichEditControl.h"
#include "platform/richedit/TextLayout.h"
#include "platform/window/Window.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <QWidget>
#include <cmath>
#include <random>

namespace {

constexpr LONG MonitorFontTwips = 195; // 13 pixels at 96 dpi

// Advance of one character in the fixed-pitch family that the monitor's font falls back to.
double FixedAdvance() {
    QFont font(QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
    font.setPixelSize(13);
    font.setKerning(false);
    return QFontMetricsF(font).horizontalAdvance(QChar(u'0'));
}

std::u16string Bits(int count, int seed = 1) {
    std::u16string bits;
    unsigned v = 2463534242u + unsigned(seed);
    for (int i = 0; i < count; ++i) {
        v ^= v << 13;
        v ^= v >> 17;
        v ^= v << 5;
        bits.push_back((v & 1) ? u'1' : u'0');
    }
    return bits;
}

// As many paragraphs as count, each one short word.
std::u16string ShortLines(int count) {
    std::u16string text;
    for (int p = 0; p < count; ++p)
        text += u"line\r";
    return text;
}

// Lets what is queued run, repaints included: the view repaints at most once a frame.
void Pump() {
    QTest::qWait(40);
}

class ViewTest : public RichEditTest {
protected:
    // Replaces the fixture's control by a visible one of the given size and extra styles.
    void Make(int width, int height, DWORD style = 0) {
        DestroyWindow(edit_);
        edit_ = CreateWindowEx(0, RICHEDIT_CLASSW, u"", WS_VISIBLE | style, 0, 0, width, height,
                               parent_, ControlId, nullptr, nullptr);
        ASSERT_NE(edit_, nullptr);
        ASSERT_NE(Widget(), nullptr);
        Send(EM_EXLIMITTEXT, 0, LPARAM(0x7FFFFFFF));
        SetCharFormat(SCF_ALL, CFM_FACE | CFM_SIZE, 0, [](CHARFORMAT2W& cf) {
            cf.yHeight = MonitorFontTwips;
            std::u16string face = u"Kelvor32 Teminal 0";
            std::copy(face.begin(), face.end(), cf.szFaceName);
        });
        Widget()->show();
        Pump();
    }
    QWidget* Widget() { return GetWindowWidget(edit_); }
    // Characters per display line of bit text at a client width without scroll bar or bar.
    static int PerLine(int clientWidth) { return int((clientWidth - 2) / FixedAdvance()); }
    LRESULT FirstVisible() { return Send(EM_GETFIRSTVISIBLELINE); }
    // Client x of the boundary before the k-th character of a line (a hair to its right).
    static int XBefore(int k, int left = 1) {
        return left + int(std::lround(k * FixedAdvance())) + 1;
    }
    // The widget rendered onto white: whatever it does not paint stays white.
    QImage Grab() {
        QImage image(Widget()->size(), QImage::Format_ARGB32);
        image.fill(Qt::white);
        Widget()->render(&image);
        return image;
    }
    // A mouse move to (x, y), with the left button held when dragging.
    void MoveMouse(int x, int y, bool dragging = false) {
        QMouseEvent move(QEvent::MouseMove, QPointF(x, y), Widget()->mapToGlobal(QPointF(x, y)),
                         Qt::NoButton, dragging ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(Widget(), &move);
    }
    static int CountColor(const QImage& image, QColor color) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                n += image.pixelColor(x, y) == color ? 1 : 0;
            }
        }
        return n;
    }
};

// --- display lines -------------------------------------------------------------------------

TEST_F(ViewTest, LinesAreCountedAsLaidOutAtTheWindowsWidth) {
    Make(400, 200);
    const int n = PerLine(400);
    ASSERT_GT(n, 10);
    SetText(Bits(1000));
    const LONG expected = (1000 + n - 1) / n;
    EXPECT_EQ(LineCount(), expected);
    for (LONG line = 0; line < expected; ++line) {
        EXPECT_EQ(LineIndex(line), line * n);
        EXPECT_EQ(LineLength(line * n), line + 1 < expected ? n : 1000 - line * n);
    }
    EXPECT_EQ(LineIndex(expected), -1);
    EXPECT_EQ(Send(EM_EXLINEFROMCHAR, 0, LPARAM(999)), expected - 1);
    LRESULT copied = 0;
    EXPECT_EQ(Line(1, 4096, &copied), Bits(1000).substr(std::size_t(n), std::size_t(n)));
    EXPECT_EQ(copied, n);

    // Words move to the next line whole; every line after the first starts after a blank.
    SetText(u"alpha beta gamma delta epsilon zeta eta theta iota kappa lambda my ny xi "
            u"omikron pi rho sigma tau ypsilon phi chi psi omega");
    const std::u16string text = Text();
    ASSERT_GT(LineCount(), 1);
    for (LONG line = 1; line < LineCount(); ++line) {
        const LRESULT start = LineIndex(line);
        EXPECT_EQ(text[std::size_t(start - 1)], u' ') << line;
        EXPECT_LE(LineLength(start), n) << line;
    }

    // Wrapping off: one line per paragraph, and back.
    SetText(Bits(1000) + u"\r" + Bits(10));
    Send(EM_SETTARGETDEVICE, 0, 1);
    EXPECT_EQ(LineCount(), 2);
    Send(EM_SETTARGETDEVICE, 0, 0);
    EXPECT_EQ(LineCount(), (1000 + n - 1) / n + 1);
}

TEST_F(ViewTest, AWidthChangeRewrapsInStepsWithoutMovingTheView) {
    Make(600, 200);
    std::u16string text;
    for (int p = 0; p < 300; ++p) {
        text += Bits(500, p) + u"\r";
    }
    SetText(text);
    const int wide = PerLine(600);
    EXPECT_EQ(LineCount(), 300 * ((500 + wide - 1) / wide) + 1);
    Send(EM_LINESCROLL, 0, LPARAM(400));
    const LRESULT topStart = LineIndex(LONG(FirstVisible()));

    MoveWindow(edit_, 0, 0, 300, 200, TRUE);
    // Before any re-wrap step ran, answers are exact all the same.
    const int narrow = PerLine(300);
    EXPECT_EQ(LineCount(), 300 * ((500 + narrow - 1) / narrow) + 1);
    Pump();
    // The first visible line is the one that holds the character that was at the top.
    const auto top = LONG(FirstVisible());
    EXPECT_LE(LineIndex(top), topStart);
    EXPECT_GT(LineIndex(top + 1), topStart);
}

// --- scrolling -----------------------------------------------------------------------------

TEST_F(ViewTest, ScrollMessagesMoveByDisplayLines) {
    Make(400, 100);
    SetText(ShortLines(50));
    EXPECT_EQ(Send(EM_SCROLL, SB_LINEUP), LRESULT(0x00010000)); // at the top already
    EXPECT_EQ(Send(EM_SCROLL, SB_LINEDOWN), LRESULT(0x00010001));
    EXPECT_EQ(FirstVisible(), 1);
    const LRESULT page = Send(EM_SCROLL, SB_PAGEDOWN);
    const int linesThatFit = int(LOWORD(page));
    EXPECT_GT(linesThatFit, 2);
    EXPECT_LT(linesThatFit, 100 / 10); // 100 pixels of lines at least 10 pixels high
    EXPECT_EQ(FirstVisible(), 1 + linesThatFit);
    EXPECT_EQ(Send(EM_SCROLL, SB_PAGEUP), LRESULT(MAKELONG(WORD(-linesThatFit), 1)));
    Send(EM_LINESCROLL, 0, LPARAM(-100));
    EXPECT_EQ(FirstVisible(), 0);

    // The caret is scrolled into view, as the last line that fits.
    Select(LONG(LineIndex(40)), LONG(LineIndex(40)));
    EXPECT_EQ(FirstVisible(), 40 - linesThatFit + 1);
    Send(EM_LINESCROLL, 0, LPARAM(-20));
    Send(EM_SCROLLCARET);
    EXPECT_EQ(FirstVisible(), 40 - linesThatFit + 1);
}

TEST_F(ViewTest, TheViewFollowsAppendedLinesUntilTheOperatorScrollsUp) {
    Make(400, 100);
    for (int i = 0; i < 60; ++i) {
        AppendLine(Bits(20, i));
    }
    const LRESULT lastLine = LineCount() - 1;
    const LRESULT following = FirstVisible();
    EXPECT_GT(following, 40);
    // The last line is the bottom one in view: a page down can only bring it to the top.
    const auto moved = LRESULT(std::int16_t(LOWORD(Send(EM_SCROLL, SB_PAGEDOWN))));
    const auto page = -LRESULT(std::int16_t(LOWORD(Send(EM_SCROLL, SB_PAGEUP))));
    EXPECT_EQ(following + moved, lastLine);
    EXPECT_EQ(moved, page - 1);

    Send(EM_LINESCROLL, 0, LPARAM(-10));
    const LRESULT reading = FirstVisible();
    AppendLine(u"more");
    AppendLine(u"more");
    EXPECT_EQ(FirstVisible(), reading);
}

// --- painting ------------------------------------------------------------------------------

TEST_F(ViewTest, PaintsTheBackgroundTextAndSelection) {
    Make(300, 80, ES_NOHIDESEL);
    const QColor silver(192, 192, 192);
    Send(EM_SETBKGNDCOLOR, 0, LPARAM(RGB(192, 192, 192)));
    SetText(u"Hello world");
    Widget()->clearFocus();
    Pump();
    const QImage plain = Grab();
    EXPECT_GT(CountColor(plain, silver), plain.width() * plain.height() / 2);
    const QColor highlight = Widget()->palette().color(QPalette::Highlight);
    EXPECT_EQ(CountColor(plain, highlight), 0);
    int dark = 0;
    for (int y = 0; y < plain.height(); ++y) {
        for (int x = 0; x < plain.width(); ++x) {
            dark += plain.pixelColor(x, y).lightness() < 100 ? 1 : 0;
        }
    }
    EXPECT_GT(dark, 20); // the text's glyphs

    Select(0, 5);
    EXPECT_GT(CountColor(Grab(), highlight), 50); // shown without focus: ES_NOHIDESEL
    Send(EM_HIDESELECTION, TRUE);
    EXPECT_EQ(CountColor(Grab(), highlight), 0);
    Widget()->setFocus();
    Pump();
    if (Widget()->hasFocus()) { // an offscreen window may not take the focus
        EXPECT_GT(CountColor(Grab(), highlight), 50);
    }
    Widget()->clearFocus();
    Pump();

    // Hidden text takes no room and is not drawn.
    SetText(u"MMMMMMMMMM");
    const int before = CountColor(Grab(), silver);
    Select(0, 10);
    SetCharFormat(SCF_SELECTION, CFM_HIDDEN, CFE_HIDDEN);
    Select(10, 10);
    EXPECT_GT(CountColor(Grab(), silver), before);
}

TEST_F(ViewTest, ASubclassThatWithholdsPaintingIsObeyed) {
    Make(200, 60);
    Send(EM_SETBKGNDCOLOR, 0, LPARAM(RGB(192, 192, 192)));
    const QColor silver(192, 192, 192);
    EXPECT_GT(CountColor(Grab(), silver), 0);
    static WNDPROC previous;
    previous = SetWindowProc(edit_, [](HWND hwnd, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
        return msg == WM_PAINT ? 0 : CallWindowProc(previous, hwnd, msg, w, l);
    });
    Send(EM_SETBKGNDCOLOR, 0, LPARAM(RGB(0, 128, 0)));
    EXPECT_EQ(CountColor(Grab(), QColor(0, 128, 0)), 0);
    SetWindowProc(edit_, previous);
    EXPECT_GT(CountColor(Grab(), QColor(0, 128, 0)), 0);
}

// --- keyboard ------------------------------------------------------------------------------

TEST_F(ViewTest, TypingEditsAtTheCaretAndKeysMoveIt) {
    Make(300, 100, ES_MULTILINE);
    Widget()->setFocus();
    Pump();
    QTest::keyClicks(Widget(), "abcd");
    EXPECT_EQ(Text(), u"abcd");
    QTest::keyClick(Widget(), Qt::Key_Left);
    QTest::keyClick(Widget(), Qt::Key_Backspace);
    EXPECT_EQ(Text(), u"abd");
    QTest::keyClick(Widget(), Qt::Key_Delete);
    EXPECT_EQ(Text(), u"ab");
    QTest::keyClick(Widget(), Qt::Key_Home);
    QTest::keyClick(Widget(), Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(Selection().cpMin, 0);
    EXPECT_EQ(Selection().cpMax, 1);
    QTest::keyClicks(Widget(), "X");
    EXPECT_EQ(Text(), u"Xb");
    // Tab and Enter insert here: the control wants them and nothing above says otherwise.
    QTest::keyClick(Widget(), Qt::Key_Tab);
    QTest::keyClick(Widget(), Qt::Key_Return);
    EXPECT_EQ(Text(), u"X\t\rb");
    QTest::keyClick(Widget(), Qt::Key_Up);
    QTest::keyClick(Widget(), Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(Selection().cpMax, 2);
    QTest::keyClick(Widget(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Selection().cpMin, 0);
    EXPECT_EQ(Selection().cpMax, 4);
    // Undo by key needs an undo limit; this control has the default.
    QTest::keyClick(Widget(), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(Widget(), "yz");
    QTest::keyClick(Widget(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_NE(Text(), u"X\t\rbyz");

    // Read-only: the style and the option go together, and typing changes nothing.
    Send(EM_SETREADONLY, TRUE);
    EXPECT_TRUE(GetWindowLongPtr(edit_, GWL_STYLE) & ES_READONLY);
    EXPECT_TRUE(Send(EM_GETOPTIONS) & ECO_READONLY);
    const std::u16string frozen = Text();
    QTest::keyClicks(Widget(), "q");
    QTest::keyClick(Widget(), Qt::Key_Backspace);
    EXPECT_EQ(Text(), frozen);
}

TEST_F(ViewTest, AnOwnerDecidesWhetherTabAndEnterReachTheControl) {
    Make(300, 100, ES_MULTILINE);
    static WNDPROC previous;
    previous = SetWindowProc(edit_, [](HWND hwnd, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
        const LRESULT code = CallWindowProc(previous, hwnd, msg, w, l);
        // Tabs wanted, returns not: as a memo that does not want returns answers.
        return msg == WM_GETDLGCODE ? ((code | DLGC_WANTTAB) & ~LRESULT(DLGC_WANTALLKEYS)) : code;
    });
    Widget()->setFocus();
    Pump();
    QTest::keyClick(Widget(), Qt::Key_Tab);
    QTest::keyClick(Widget(), Qt::Key_Return);
    EXPECT_EQ(Text(), u"\t");
    SetWindowProc(edit_, previous);
}

TEST_F(ViewTest, LimitsAndProtectionApplyToTyping) {
    Make(300, 100);
    Widget()->setFocus();
    Pump();
    Send(EM_EXLIMITTEXT, 0, LPARAM(3));
    QTest::keyClicks(Widget(), "abcd");
    EXPECT_EQ(Text(), u"abc");
    EXPECT_TRUE(std::any_of(notes_.begin(), notes_.end(),
                            [](const Notification& n) { return n.code == EN_MAXTEXT; }));

    Send(EM_EXLIMITTEXT, 0, LPARAM(100));
    Send(EM_SETEVENTMASK, 0, LPARAM(ENM_PROTECTED));
    Select(0, 3);
    SetCharFormat(SCF_SELECTION, CFM_PROTECTED, CFE_PROTECTED);
    Select(1, 1);
    protectedAnswer_ = 1;
    notes_.clear();
    QTest::keyClicks(Widget(), "x");
    EXPECT_EQ(Text(), u"abc");
    ASSERT_FALSE(notes_.empty());
    EXPECT_EQ(notes_.back().code, UINT(EN_PROTECTED));
    EXPECT_EQ(notes_.back().triggeringMessage, UINT(WM_CHAR));
    protectedAnswer_ = 0;
    QTest::keyClicks(Widget(), "x");
    EXPECT_EQ(Text(), u"axbc");
}

// --- mouse ---------------------------------------------------------------------------------

TEST_F(ViewTest, TheMouseSelectsByClickDragDoubleClickAndShift) {
    Make(400, 100);
    SetText(u"0000000000 1111111111 0000");
    const int y = 5;
    QTest::mouseClick(Widget(), Qt::LeftButton, {}, QPoint(XBefore(3), y));
    EXPECT_EQ(Selection().cpMin, 3);
    EXPECT_EQ(Selection().cpMax, 3);
    QTest::mouseClick(Widget(), Qt::LeftButton, Qt::ShiftModifier, QPoint(XBefore(8), y));
    EXPECT_EQ(Selection().cpMin, 3);
    EXPECT_EQ(Selection().cpMax, 8);

    QTest::mousePress(Widget(), Qt::LeftButton, {}, QPoint(XBefore(12), y));
    MoveMouse(XBefore(15), y, true);
    QTest::mouseRelease(Widget(), Qt::LeftButton, {}, QPoint(XBefore(15), y));
    EXPECT_EQ(Selection().cpMin, 12);
    EXPECT_EQ(Selection().cpMax, 15);

    QTest::mouseDClick(Widget(), Qt::LeftButton, {}, QPoint(XBefore(14), y));
    EXPECT_EQ(Selection().cpMin, 11);
    EXPECT_EQ(Selection().cpMax, 21);
}

TEST_F(ViewTest, TheSelectionBarSelectsWholeLines) {
    Make(400, 200, ES_SELECTIONBAR);
    SetText(u"first\rsecond\rthird\rfourth");
    EXPECT_TRUE(Send(EM_GETOPTIONS) & ECO_SELECTIONBAR);
    const int y1 = int(1.5 * 15); // within the second line (lines are 15 to 17 pixels here)
    QTest::mouseClick(Widget(), Qt::LeftButton, {}, QPoint(3, y1));
    EXPECT_EQ(Selection().cpMin, 6);
    EXPECT_EQ(Selection().cpMax, 13); // the line with its paragraph mark

    // Where the first line ends, found by clicking down the bar.
    int h = 1;
    for (; h < 60; ++h) {
        QTest::mouseClick(Widget(), Qt::LeftButton, {}, QPoint(3, h));
        if (Selection().cpMin != 0) {
            break;
        }
    }
    ASSERT_GT(h, 8);
    // A drag down the bar selects whole lines, from the first to the one under the mouse;
    // a drag back up selects from there to the end of the line it began on.
    QTest::mousePress(Widget(), Qt::LeftButton, {}, QPoint(3, h / 2));
    const auto drag = [&](int y) { MoveMouse(3, y, true); };
    drag(2 * h + h / 2);
    EXPECT_EQ(Selection().cpMin, 0);
    EXPECT_EQ(Selection().cpMax, 19);
    QTest::mouseRelease(Widget(), Qt::LeftButton, {}, QPoint(3, 2 * h + h / 2));
    QTest::mousePress(Widget(), Qt::LeftButton, {}, QPoint(3, 2 * h + h / 2));
    drag(h + h / 2);
    EXPECT_EQ(Selection().cpMin, 6);
    EXPECT_EQ(Selection().cpMax, 19);
    QTest::mouseRelease(Widget(), Qt::LeftButton, {}, QPoint(3, h + h / 2));

    // Text starts to the right of the bar: a click just right of it is before the first char.
    QTest::mouseClick(Widget(), Qt::LeftButton, {}, QPoint(XBefore(0, 9), y1));
    EXPECT_EQ(Selection().cpMin, 6);
    EXPECT_EQ(Selection().cpMax, 6);
}

TEST_F(ViewTest, LinkTextSendsEnLinkForTheMouseOverIt) {
    Make(400, 100);
    SetText(u"see http://127.0.0.1/x now");
    Select(4, 22);
    SetCharFormat(SCF_SELECTION, CFM_LINK, CFE_LINK);
    Select(0, 0);
    Send(EM_SETEVENTMASK, 0, LPARAM(ENM_LINK));
    notes_.clear();
    MoveMouse(XBefore(8), 5);
    // The cursor question comes first, then the move itself.
    const auto link = std::find_if(notes_.begin(), notes_.end(), [](const Notification& n) {
        return n.code == EN_LINK && n.triggeringMessage == WM_MOUSEMOVE;
    });
    ASSERT_NE(link, notes_.end());
    EXPECT_TRUE(std::any_of(notes_.begin(), link, [](const Notification& n) {
        return n.code == EN_LINK && n.triggeringMessage == WM_SETCURSOR;
    }));
    EXPECT_EQ(link->range.cpMin, 4);
    EXPECT_EQ(link->range.cpMax, 22);

    // A parent that takes the click keeps the control from moving the caret.
    linkAnswer_ = 1;
    QTest::mouseClick(Widget(), Qt::LeftButton, {}, QPoint(XBefore(8), 5));
    EXPECT_EQ(Selection().cpMin, 0);
    linkAnswer_ = 0;
    QTest::mouseClick(Widget(), Qt::LeftButton, {}, QPoint(XBefore(2), 5));
    EXPECT_EQ(Selection().cpMin, 2);
    notes_.clear();
    QTest::mouseClick(Widget(), Qt::LeftButton, {}, QPoint(XBefore(2), 5));
    EXPECT_TRUE(std::none_of(notes_.begin(), notes_.end(),
                             [](const Notification& n) { return n.code == EN_LINK; }));
}


TEST_F(ViewTest, PastedTextKeepsItsFormats) {
    Make(300, 100);
    SetText(u"bold plain");
    Select(0, 4);
    SetCharFormat(SCF_SELECTION, CFM_BOLD, CFE_BOLD);
    Send(WM_COPY);
    Select(-1, -1);
    Send(WM_PASTE);
    EXPECT_EQ(Text(), u"bold plainbold");
    Select(10, 14);
    DWORD mask = 0;
    const CHARFORMAT2W pasted = CharFormat(SCF_SELECTION, &mask);
    EXPECT_TRUE(mask & CFM_BOLD);
    EXPECT_TRUE(pasted.dwEffects & CFE_BOLD);
    // The plain text is there for other programs.
    Select(5, 10);
    Send(WM_COPY);
    EXPECT_EQ(QApplication::clipboard()->text(), QString("plain"));
}


TEST_F(ViewTest, TheWheelScrollsThreeLinesANotch) {
    Make(300, 100);
    SetText(ShortLines(40));
    const QPointF at(20, 20);
    QWheelEvent down(at, Widget()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(Widget(), &down);
    EXPECT_EQ(FirstVisible(), 3);
    QWheelEvent up(at, Widget()->mapToGlobal(at), QPoint(), QPoint(0, 240), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(Widget(), &up);
    EXPECT_EQ(FirstVisible(), 0);
}

// The cursor: an I-beam over text, the reverse arrow over the selection bar, the parent's
// choice over a link, and nothing of ours when a subclass keeps WM_SETCURSOR to itself.
TEST_F(ViewTest, TheCursorFollowsWhatIsUnderTheMouse) {
    Make(300, 100, ES_SELECTIONBAR);
    SetText(u"plain http://127.0.0.1/x");
    const auto moveTo = [&](int x, int y) { MoveMouse(x, y); };
    moveTo(XBefore(2, 9), 5);
    EXPECT_EQ(Widget()->cursor().shape(), Qt::IBeamCursor);
    moveTo(3, 5);
    EXPECT_EQ(Widget()->cursor().shape(), Qt::BitmapCursor); // our mirrored arrow

    Select(6, 24);
    SetCharFormat(SCF_SELECTION, CFM_LINK, CFE_LINK);
    Send(EM_SETEVENTMASK, 0, LPARAM(ENM_LINK));
    notes_.clear();
    moveTo(XBefore(10, 9), 5);
    EXPECT_TRUE(std::any_of(notes_.begin(), notes_.end(), [](const Notification& n) {
        return n.code == EN_LINK && n.triggeringMessage == WM_SETCURSOR;
    }));

    static WNDPROC previous;
    previous = SetWindowProc(edit_, [](HWND hwnd, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
        if (msg == WM_SETCURSOR) {
            SetCursor(LoadCursor(nullptr, IDC_CROSS));
            return TRUE;
        }
        return CallWindowProc(previous, hwnd, msg, w, l);
    });
    moveTo(3, 5);
    EXPECT_EQ(Widget()->cursor().shape(), Qt::CrossCursor);
    SetWindowProc(edit_, previous);
}

TEST_F(ViewTest, FontsFallBackByTheLookOfTheirName) {
    const QString fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    EXPECT_EQ(ResolveFamily(u"Kelvor32 Teminal 0", 0), fixed);
    EXPECT_EQ(ResolveFamily(u"Some Courier Clone", 0), fixed);
    EXPECT_EQ(ResolveFamily(u"No Such Face", FIXED_PITCH), fixed);
    EXPECT_EQ(ResolveFamily(u"No Such Face", VARIABLE_PITCH | FF_SWISS),
              QGuiApplication::font().family());
    EXPECT_EQ(ResolveFamily(u"DejaVu Sans", 0), QString("DejaVu Sans"));
}

TEST_F(ViewTest, AFormatChangeRewrapsWhatItTouchedAndAsksForRoom) {
    Make(400, 100);
    Send(EM_SETEVENTMASK, 0, LPARAM(ENM_REQUESTRESIZE));
    const int n = PerLine(400);
    SetText(Bits(n) + u"\r" + Bits(n));
    EXPECT_EQ(LineCount(), 2);
    notes_.clear();
    Select(0, 1);
    SetCharFormat(SCF_SELECTION, CFM_SIZE, 0, [](CHARFORMAT2W& cf) { cf.yHeight = 400; });
    EXPECT_EQ(LineCount(), 3); // the first paragraph no longer fits one line
    EXPECT_EQ(LineIndex(2), n + 1);
    Select(0, 0);
    AppendLine(u"more");
    EXPECT_TRUE(std::any_of(notes_.begin(), notes_.end(), [](const Notification& note) {
        return note.code == EN_REQUESTRESIZE;
    }));
}

// Edits lay out only from the line before the edit point; whatever the edits, the lines must
// be those a fresh control lays out for the same formatted text.
TEST_F(ViewTest, EditedLayoutMatchesAFreshLayout) {
    Make(260, 100);
    std::mt19937 rng(11);
    const std::u16string alphabet = u"ab 01 wWmM\t.\r";
    for (int step = 0; step < 400; ++step) {
        const auto length = LONG(Send(WM_GETTEXTLENGTH)); // an upper bound is enough here
        const LONG at = LONG(rng() % unsigned(length + 1));
        Select(at, at + LONG(rng() % 3 == 0 ? rng() % 5 : 0));
        if (rng() % 6 == 0) {
            SetCharFormat(SCF_SELECTION, CFM_BOLD | CFM_SIZE, (rng() % 2) ? CFE_BOLD : 0,
                          [&](CHARFORMAT2W& cf) { cf.yHeight = 150 + LONG(rng() % 200); });
        } else {
            std::u16string piece;
            for (unsigned k = 1 + rng() % 6; k > 0; --k) {
                piece.push_back(alphabet[rng() % alphabet.size()]);
            }
            Replace(piece);
        }
    }
    const std::string rtf = StreamOut(SF_RTF);
    std::vector<LRESULT> starts;
    for (LONG line = 0; line < LineCount(); ++line) {
        starts.push_back(LineIndex(line));
    }
    Make(260, 100);
    StreamIn(SF_RTF, rtf);
    ASSERT_GT(starts.size(), 20u) << "too little text to mean anything";
    ASSERT_EQ(LRESULT(starts.size()), LineCount());
    for (LONG line = 0; line < LineCount(); ++line) {
        EXPECT_EQ(LineIndex(line), starts[std::size_t(line)]) << line;
    }
}


// A scroll bar that appears when the text outgrows the window takes its width from the text,
// which wraps narrower at once; a view that showed the end still shows it after a resize.
TEST_F(ViewTest, TheTextMakesRoomForAScrollBarAndKeepsTheEndInView) {
    Make(400, 100, WS_VSCROLL);
    const int n = PerLine(400);
    AppendLine(Bits(3 * n));
    EXPECT_EQ(LineLength(0), n); // no bar yet: it all fits
    for (int i = 0; i < 20; ++i) {
        AppendLine(Bits(3 * n, i));
    }
    Pump();
    EXPECT_LT(LineLength(0), n);
    EXPECT_GT(LineLength(0), n - 5);

    const auto endIsTheLastLineInView = [&] {
        const LRESULT first = FirstVisible();
        const auto moved = LRESULT(std::int16_t(LOWORD(Send(EM_SCROLL, SB_PAGEDOWN))));
        const auto page = -LRESULT(std::int16_t(LOWORD(Send(EM_SCROLL, SB_PAGEUP))));
        Send(EM_LINESCROLL, 0, LPARAM(first - FirstVisible()));
        return first + moved == LineCount() - 1 && moved == page - 1;
    };
    EXPECT_TRUE(endIsTheLastLineInView());
    MoveWindow(edit_, 0, 0, 250, 100, TRUE);
    Pump();
    EXPECT_TRUE(endIsTheLastLineInView());
}


TEST_F(ViewTest, RedrawOffPaintsNothingUntilTurnedOnAndInvalidated) {
    Make(200, 60);
    const QColor green(0, 128, 0);
    Send(WM_SETREDRAW, FALSE);
    Send(EM_SETBKGNDCOLOR, 0, LPARAM(RGB(0, 128, 0)));
    SetText(u"changed meanwhile");
    EXPECT_EQ(CountColor(Grab(), green), 0);
    EXPECT_EQ(Text(), u"changed meanwhile"); // editing goes on all the same
    Send(WM_SETREDRAW, TRUE);
    InvalidateRect(edit_, nullptr, TRUE);
    EXPECT_GT(CountColor(Grab(), green), 0);
}


// The scroll bar's actions come back to the window as WM_VSCROLL, and the bar follows.
TEST_F(ViewTest, TheScrollBarScrollsThroughTheWindow) {
    Make(300, 100, WS_VSCROLL | ES_DISABLENOSCROLL);
    SetText(ShortLines(100));
    Grab(); // a paint brings the bar up to date
    auto* bar = Widget()->findChild<QScrollBar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->maximum(), 100);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(FirstVisible(), 1);
    bar->setSliderDown(true);
    bar->setSliderPosition(40);
    bar->setSliderDown(false);
    EXPECT_EQ(FirstVisible(), 40);
    Grab();
    EXPECT_EQ(bar->value(), 40);
    Send(WM_VSCROLL, SB_BOTTOM);
    const LRESULT bottom = FirstVisible();
    const auto page = -LRESULT(std::int16_t(LOWORD(Send(EM_SCROLL, SB_PAGEUP))));
    EXPECT_EQ(bottom, LineCount() - page); // the last line is the bottom one in view
    Send(WM_VSCROLL, SB_TOP);
    EXPECT_EQ(FirstVisible(), 0);
}


// Whatever the operator and the program do, in whatever order, the document stays sound and
// the view's answers stay in range: keys, clicks, drags, wheel, replacements, formats,
// resizes, scrolling, redraw off and on, painting.
TEST_F(ViewTest, RandomUseKeepsTheControlSound) {
    Make(300, 120, WS_VSCROLL | ES_MULTILINE | ES_SELECTIONBAR);
    Widget()->setFocus();
    Pump();
    Send(EM_SETUNDOLIMIT, 50);
    RichEditControl* control = RichEditControlOf(edit_);
    ASSERT_NE(control, nullptr);
    std::mt19937 rng(2024);
    const auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    const Qt::Key keys[] = {Qt::Key_Left,   Qt::Key_Right,     Qt::Key_Up,     Qt::Key_Down,
                            Qt::Key_Home,   Qt::Key_End,       Qt::Key_PageUp, Qt::Key_PageDown,
                            Qt::Key_Delete, Qt::Key_Backspace, Qt::Key_Return, Qt::Key_Tab,
                            Qt::Key_Z,      Qt::Key_Y};
    for (int step = 0; step < 3000; ++step) {
        const auto length = LONG(control->Document().Length());
        switch (pick(9)) {
        case 0:
            QTest::keyClicks(Widget(), pick(2) ? "0110 1" : "ab c");
            break;
        case 1: {
            Qt::KeyboardModifiers modifiers;
            if (pick(3) == 0) {
                modifiers |= Qt::ShiftModifier;
            }
            if (pick(4) == 0) {
                modifiers |= Qt::ControlModifier;
            }
            QTest::keyClick(Widget(), keys[pick(std::size(keys))], modifiers);
            break;
        }
        case 2:
            QTest::mouseClick(Widget(), Qt::LeftButton,
                              pick(4) ? Qt::KeyboardModifiers() : Qt::ShiftModifier,
                              QPoint(pick(320) - 10, pick(140) - 10));
            break;
        case 3:
            QTest::mousePress(Widget(), Qt::LeftButton, {}, QPoint(pick(300), pick(120)));
            MoveMouse(pick(300), pick(200) - 40, true);
            QTest::mouseRelease(Widget(), Qt::LeftButton, {}, QPoint(pick(300), pick(120)));
            break;
        case 4: {
            const LONG at = pick(length + 2);
            Select(at, at + (pick(4) == 0 ? pick(30) : 0));
            Replace(pick(3) ? Bits(pick(200), step) + (pick(2) ? u"\r" : u"") : u"x y\rz");
            break;
        }
        case 5:
            Select(pick(length + 2), pick(length + 2));
            SetCharFormat(SCF_SELECTION, CFM_SIZE | CFM_BOLD | CFM_HIDDEN,
                          (pick(2) ? CFE_BOLD : 0) | (pick(8) == 0 ? CFE_HIDDEN : 0),
                          [&](CHARFORMAT2W& cf) { cf.yHeight = 120 + LONG(pick(300)); });
            break;
        case 6:
            MoveWindow(edit_, 0, 0, 60 + pick(400), 40 + pick(200), TRUE);
            break;
        case 7:
            Send(EM_LINESCROLL, 0, LPARAM(pick(40) - 20));
            if (pick(10) == 0) {
                Send(WM_SETREDRAW, pick(2));
            }
            break;
        default:
            for (int i = 0; i < 3; ++i) { // lets a re-wrap step and queued work run
                QApplication::processEvents();
            }
            if (pick(5) == 0) {
                Grab();
            }
            break;
        }
        ASSERT_NO_THROW(control->Document().Check()) << "step " << step;
        const CHARRANGE s = Selection();
        ASSERT_LE(0, s.cpMin);
        ASSERT_LE(s.cpMin, s.cpMax);
        ASSERT_LE(s.cpMax, LONG(control->Document().Length()) + 1);
        ASSERT_LT(FirstVisible(), LineCount()) << "step " << step;
    }
    Send(WM_SETREDRAW, TRUE);
    Grab();
    EXPECT_GT(control->Document().Length(), 1000) << "the run should have built up some text";
}

} // namespace
