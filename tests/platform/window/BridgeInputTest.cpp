// Qt input on a window's widget reaches the window's procedure as the platform's messages,
// and a subclass that withholds one keeps the event from the widget.
#include "platform/window/Window.h"
#include "tests/platform/window/BridgeHost.h"
#include "tests/support/Pump.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

using Pairs = std::vector<std::pair<UINT, WPARAM>>;

Pairs KeyMessages(const Recorder& r) {
    Pairs out;
    for (const Recorded& m :
         r.Only({WM_KEYDOWN, WM_KEYUP, WM_CHAR, WM_SYSKEYDOWN, WM_SYSKEYUP, WM_SYSCHAR}))
        out.emplace_back(m.msg, m.wParam);
    return out;
}

QPoint ClientPoint(LPARAM lParam) {
    return QPoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
}

// Makes top the active window with focus on focus, as a click on it would.
void Activate(QWidget* top, QWidget* focus) {
    QApplication::setActiveWindow(top);
    focus->setFocus();
    testsupport::PumpUntil([&] { return QApplication::focusWidget() == focus; },
                           std::chrono::milliseconds(500));
}

} // namespace

TEST(BridgeKeys, KeysBecomeKeyDownCharAndKeyUpWithThePlatformCodes) {
    auto* edit = new QLineEdit;
    Host host(edit, QRect(10, 10, 120, 30));
    bool controlDownDuringC = false;
    host.recorder.handle = [&](HWND, UINT m, WPARAM w, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_KEYDOWN && w == 'C')
            controlDownDuringC = GetKeyState(VK_CONTROL) < 0;
        return std::nullopt;
    };
    QTest::keyClick(edit, Qt::Key_A);
    QTest::keyClick(edit, Qt::Key_B);
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(KeyMessages(host.recorder), (Pairs{{WM_KEYDOWN, 'A'},
                                                 {WM_CHAR, 'a'},
                                                 {WM_KEYUP, 'A'},
                                                 {WM_KEYDOWN, 'B'},
                                                 {WM_CHAR, 'b'},
                                                 {WM_KEYUP, 'B'},
                                                 {WM_KEYDOWN, VK_BACK},
                                                 {WM_CHAR, 0x08},
                                                 {WM_KEYUP, VK_BACK}}));
    // Everything was passed on, so the edit did what it always does.
    EXPECT_EQ(edit->text(), "a");
    const Recorded down = host.recorder.Only({WM_KEYDOWN}).front();
    const Recorded up = host.recorder.Only({WM_KEYUP}).front();
    EXPECT_EQ(LOWORD(down.lParam), 1); // repeat count
    EXPECT_FALSE(down.lParam & (KF_UP_BIT | KF_REPEAT_BIT | KF_EXTENDED_BIT));
    EXPECT_TRUE(up.lParam & KF_UP_BIT);
    EXPECT_TRUE(up.lParam & KF_REPEAT_BIT);

    host.recorder.seen.clear();
    QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Delete);
    EXPECT_EQ(KeyMessages(host.recorder), (Pairs{{WM_KEYDOWN, VK_CONTROL},
                                                 {WM_KEYDOWN, 'C'},
                                                 {WM_CHAR, 3},
                                                 {WM_KEYUP, 'C'},
                                                 {WM_KEYUP, VK_CONTROL},
                                                 {WM_KEYDOWN, VK_DELETE},
                                                 {WM_KEYUP, VK_DELETE}}));
    EXPECT_TRUE(controlDownDuringC);
    EXPECT_TRUE(host.recorder.Only({WM_KEYDOWN}).back().lParam & KF_EXTENDED_BIT);

    // Alt turns them into system keys, which type nothing into the edit.
    host.recorder.seen.clear();
    QTest::keyClick(edit, Qt::Key_X, Qt::AltModifier);
    const Pairs sys = KeyMessages(host.recorder);
    EXPECT_NE(std::find(sys.begin(), sys.end(), std::pair<UINT, WPARAM>{WM_SYSKEYDOWN, 'X'}),
              sys.end());
    EXPECT_EQ(host.recorder.Count(WM_CHAR), 0u);
    EXPECT_TRUE(host.recorder.Only({WM_SYSKEYDOWN}).back().lParam & KF_ALTDOWN_BIT);
}

TEST(BridgeKeys, AWithheldKeyDownKeepsTheKeyFromTheWidget) {
    auto* edit = new QLineEdit;
    Host host(edit, QRect(10, 10, 120, 30));
    host.recorder.handle = [](HWND, UINT m, WPARAM w, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_KEYDOWN && w == 'B')
            return 0;
        return std::nullopt;
    };
    QTest::keyClicks(edit, "abc");
    EXPECT_EQ(edit->text(), "ac");
    // The character is still translated and sent, as the platform's message loop does.
    EXPECT_EQ(host.recorder.Count(WM_CHAR), 3u);
}

TEST(BridgeKeys, TabAndEnterGoToTheWindowOnlyWhenItAsksForThem) {
    auto* top = new QWidget;
    Host dialog(top, QRect(0, 0, 300, 100));
    auto* first = new QLineEdit;
    auto* second = new QLineEdit;
    Host one(first, QRect(10, 10, 100, 30), dialog.hwnd());
    Host two(second, QRect(150, 10, 100, 30), dialog.hwnd());
    Activate(top, first);
    ASSERT_EQ(QApplication::focusWidget(), first);

    LRESULT answer = DLGC_WANTCHARS;
    MSG asked{};
    one.recorder.handle = [&](HWND, UINT m, WPARAM w, LPARAM l) -> std::optional<LRESULT> {
        if (m == WM_GETDLGCODE) {
            asked = *reinterpret_cast<const MSG*>(l);
            return answer;
        }
        // A window that wants Tab handles it itself.
        if ((m == WM_KEYDOWN || m == WM_CHAR) && w == VK_TAB)
            return 0;
        return std::nullopt;
    };
    QTest::keyClick(first, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), second);
    EXPECT_EQ(asked.message, WM_KEYDOWN);
    EXPECT_EQ(asked.wParam, static_cast<WPARAM>(VK_TAB));
    EXPECT_EQ(asked.hwnd, one.hwnd());
    EXPECT_EQ(one.recorder.Count(WM_KEYDOWN), 0u);

    Activate(top, first);
    one.recorder.seen.clear();
    answer = DLGC_WANTTAB;
    QTest::keyClick(first, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), first);
    EXPECT_EQ(KeyMessages(one.recorder),
              (Pairs{{WM_KEYDOWN, VK_TAB}, {WM_CHAR, 0x09}, {WM_KEYUP, VK_TAB}}));

    // Enter needs all keys; without them the edit's own Enter handling runs.
    QSignalSpy returns(first, &QLineEdit::returnPressed);
    one.recorder.seen.clear();
    answer = DLGC_WANTTAB | DLGC_WANTCHARS;
    QTest::keyClick(first, Qt::Key_Return);
    EXPECT_EQ(one.recorder.Count(WM_KEYDOWN), 0u);
    EXPECT_EQ(returns.count(), 1);
    answer = DLGC_WANTALLKEYS;
    QTest::keyClick(first, Qt::Key_Return);
    EXPECT_EQ(KeyMessages(one.recorder), (Pairs{{WM_KEYUP, VK_RETURN},
                                                {WM_KEYDOWN, VK_RETURN},
                                                {WM_CHAR, 0x0D},
                                                {WM_KEYUP, VK_RETURN}}));
    EXPECT_EQ(returns.count(), 2);
}

TEST(BridgeKeys, InputAChildWindowHadIsNotTheParentsAgain) {
    auto* top = new QWidget;
    Host parent(top, QRect(0, 0, 200, 100));
    auto* plain = new QWidget; // ignores keys and clicks, so Qt offers them to its parent
    Host child(plain, QRect(10, 10, 80, 40), parent.hwnd());
    QTest::keyClick(plain, Qt::Key_A);
    QTest::mouseClick(plain, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(child.recorder.Count(WM_KEYDOWN), 1u);
    EXPECT_EQ(child.recorder.Count(WM_LBUTTONDOWN), 1u);
    EXPECT_EQ(parent.recorder.Count(WM_KEYDOWN), 0u);
    EXPECT_EQ(parent.recorder.Count(WM_CHAR), 0u);
    EXPECT_EQ(parent.recorder.Count(WM_LBUTTONDOWN), 0u);
    EXPECT_EQ(parent.recorder.Count(WM_LBUTTONUP), 0u);
    // The parent's own input still arrives.
    QTest::keyClick(top, Qt::Key_B);
    QTest::mouseClick(top, Qt::LeftButton, {}, QPoint(150, 80));
    EXPECT_EQ(parent.recorder.Count(WM_KEYDOWN), 1u);
    EXPECT_EQ(parent.recorder.Count(WM_LBUTTONDOWN), 1u);
}

TEST(BridgeKeys, FocusChangesNameTheOtherWindow) {
    auto* top = new QWidget;
    Host dialog(top, QRect(0, 0, 300, 100));
    auto* first = new QLineEdit;
    auto* second = new QLineEdit;
    Host one(first, QRect(10, 10, 100, 30), dialog.hwnd());
    Host two(second, QRect(150, 10, 100, 30), dialog.hwnd());
    Activate(top, first);
    one.recorder.seen.clear();
    second->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), second);
    ASSERT_EQ(one.recorder.Count(WM_KILLFOCUS), 1u);
    EXPECT_EQ(one.recorder.Only({WM_KILLFOCUS})[0].wParam, reinterpret_cast<WPARAM>(two.hwnd()));
    ASSERT_EQ(two.recorder.Count(WM_SETFOCUS), 1u);
    EXPECT_EQ(two.recorder.Only({WM_SETFOCUS})[0].wParam, reinterpret_cast<WPARAM>(one.hwnd()));
}

TEST(BridgeMouse, ButtonsArriveInClientCoordinatesWithTheKeysAndButtonsDown) {
    auto* widget = new QWidget;
    Host host(widget, QRect(40, 50, 200, 100));
    QTest::mousePress(widget, Qt::LeftButton, Qt::ShiftModifier, QPoint(10, 20));
    QTest::mouseMove(widget, QPoint(-5, -7)); // dragged out past the top-left corner
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::ShiftModifier, QPoint(-5, -7));
    QTest::mouseClick(widget, Qt::RightButton, Qt::ControlModifier, QPoint(30, 40));
    QTest::mouseClick(widget, Qt::MiddleButton, {}, QPoint(31, 41));
    QTest::mouseDClick(widget, Qt::LeftButton, {}, QPoint(32, 42));
    QTest::mouseRelease(widget, Qt::LeftButton, {}, QPoint(32, 42));

    const auto mouse =
        host.recorder.Only({WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK,
                            WM_RBUTTONDOWN, WM_RBUTTONUP, WM_MBUTTONDOWN, WM_MBUTTONUP});
    const std::vector<UINT> expected = {WM_LBUTTONDOWN, WM_MOUSEMOVE,     WM_LBUTTONUP,
                                        WM_RBUTTONDOWN, WM_RBUTTONUP,     WM_MBUTTONDOWN,
                                        WM_MBUTTONUP,   WM_LBUTTONDBLCLK, WM_LBUTTONUP};
    ASSERT_EQ(mouse.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(mouse[i].msg, expected[i]) << i;
    EXPECT_EQ(ClientPoint(mouse[0].lParam), QPoint(10, 20));
    EXPECT_EQ(mouse[0].wParam, MK_LBUTTON | MK_SHIFT);
    EXPECT_EQ(ClientPoint(mouse[1].lParam), QPoint(-5, -7));
    EXPECT_EQ(mouse[1].wParam, MK_LBUTTON);
    EXPECT_EQ(mouse[2].wParam, MK_SHIFT); // the button is up after its release
    EXPECT_EQ(mouse[3].wParam, MK_RBUTTON | MK_CONTROL);
    EXPECT_EQ(ClientPoint(mouse[3].lParam), QPoint(30, 40));
    EXPECT_EQ(mouse[5].wParam, MK_MBUTTON);
    EXPECT_EQ(ClientPoint(mouse[7].lParam), QPoint(32, 42));
    EXPECT_EQ(mouse[7].wParam, MK_LBUTTON);
}

TEST(BridgeMouse, MovesWithoutAButtonArriveToo) {
    auto* widget = new QWidget;
    Host host(widget, QRect(40, 50, 200, 100));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(widget));
    QTest::mouseMove(widget, QPoint(20, 30)); // the pointer moves over the window
    ASSERT_TRUE(testsupport::PumpUntil([&] { return host.recorder.Count(WM_MOUSEMOVE) > 0; },
                                       std::chrono::seconds(2)));
    const Recorded move = host.recorder.Only({WM_MOUSEMOVE}).back();
    EXPECT_EQ(ClientPoint(move.lParam), QPoint(20, 30));
    EXPECT_EQ(move.wParam, 0u);
}

TEST(BridgeMouse, HitTestAndSetCursorComeBeforeEveryMoveAndPress) {
    auto* widget = new QWidget;
    Host host(widget, QRect(40, 50, 200, 100));
    QTest::mousePress(widget, Qt::LeftButton, {}, QPoint(10, 20));
    QTest::mouseMove(widget, QPoint(300, 20)); // outside, the button still down
    QTest::mouseRelease(widget, Qt::LeftButton, {}, QPoint(300, 20));
    const auto seen = host.recorder.Only(
        {WM_NCHITTEST, WM_SETCURSOR, WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP});
    std::vector<UINT> order;
    for (const Recorded& r : seen)
        order.push_back(r.msg);
    EXPECT_EQ(order, (std::vector<UINT>{WM_NCHITTEST, WM_SETCURSOR, WM_LBUTTONDOWN, WM_NCHITTEST,
                                        WM_SETCURSOR, WM_MOUSEMOVE, WM_LBUTTONUP}));
    ASSERT_EQ(order.size(), seen.size());
    const QPoint screen = widget->mapToGlobal(QPoint(10, 20));
    EXPECT_EQ(ClientPoint(seen[0].lParam), screen);
    EXPECT_EQ(seen[1].wParam, reinterpret_cast<WPARAM>(host.hwnd()));
    EXPECT_EQ(LOWORD(seen[1].lParam), HTCLIENT);
    EXPECT_EQ(HIWORD(seen[1].lParam), WM_LBUTTONDOWN);
    EXPECT_EQ(LOWORD(seen[4].lParam), HTNOWHERE);
    EXPECT_EQ(HIWORD(seen[4].lParam), WM_MOUSEMOVE);
    // The position of the last mouse message, in screen and in client coordinates.
    POINT at{};
    ASSERT_TRUE(GetCursorPos(&at));
    EXPECT_EQ(QPoint(at.x, at.y), widget->mapToGlobal(QPoint(300, 20)));
    ASSERT_TRUE(ScreenToClient(host.hwnd(), &at));
    EXPECT_EQ(QPoint(at.x, at.y), QPoint(300, 20));
}

TEST(BridgeMouse, AWithheldButtonDownKeepsTheClickFromTheButton) {
    auto* button = new QPushButton("press");
    Host host(button, QRect(10, 10, 100, 30));
    QSignalSpy clicks(button, &QPushButton::clicked);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);
    host.recorder.handle = [](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        return m == WM_LBUTTONDOWN ? std::optional<LRESULT>(0) : std::nullopt;
    };
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(host.recorder.Count(WM_LBUTTONUP), 2u);
}

TEST(BridgeMouse, TheWheelSendsItsDeltaInScreenCoordinates) {
    auto* widget = new QWidget;
    Host host(widget, QRect(40, 50, 200, 100));
    const QPoint local(5, 6);
    const QPoint global = widget->mapToGlobal(local);
    QWheelEvent down(local, global, QPoint(), QPoint(0, -240), Qt::NoButton, Qt::ControlModifier,
                     Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &down);
    const auto wheel = host.recorder.Only({WM_MOUSEWHEEL});
    ASSERT_EQ(wheel.size(), 1u);
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(wheel[0].wParam), -240);
    EXPECT_EQ(GET_KEYSTATE_WPARAM(wheel[0].wParam), MK_CONTROL);
    EXPECT_EQ(ClientPoint(wheel[0].lParam), global);
}

TEST(BridgeCursor, ASubclassSetsTheCursorAndTheDefaultPutsTheWidgetsOwnBack) {
    auto* widget = new QWidget;
    widget->setCursor(Qt::CrossCursor);
    Host host(widget, QRect(40, 50, 200, 100));
    HCURSOR previous = nullptr;
    host.recorder.handle = [&](HWND h, UINT m, WPARAM, LPARAM l) -> std::optional<LRESULT> {
        if (m != WM_SETCURSOR || LOWORD(l) != HTCLIENT)
            return std::nullopt;
        POINT at{};
        GetCursorPos(&at);
        ScreenToClient(h, &at);
        if (at.x >= 50) // only the left part is a margin
            return std::nullopt;
        previous = SetCursor(LoadCursor(nullptr, IDC_REVERSEARROW));
        return TRUE;
    };
    QTest::mousePress(widget, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(widget->cursor().shape(), Qt::BitmapCursor);
    EXPECT_GT(widget->cursor().hotSpot().x(), 16); // it points to the right
    QTest::mouseMove(widget, QPoint(120, 10));
    EXPECT_EQ(widget->cursor().shape(), Qt::CrossCursor);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, QPoint(120, 10));
    EXPECT_NE(previous, nullptr);
    EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_REVERSEARROW));

    // A cursor the widget's owner sets later is the one restored from then on.
    widget->setCursor(Qt::IBeamCursor);
    QTest::mousePress(widget, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(widget, QPoint(120, 10));
    QTest::mouseRelease(widget, Qt::LeftButton, {}, QPoint(120, 10));
    EXPECT_EQ(widget->cursor().shape(), Qt::IBeamCursor);

    EXPECT_EQ(LoadCursor(nullptr, 12345), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
}

TEST(BridgeCursor, AParentMayDecideTheCursorOverItsChild) {
    auto* top = new QWidget;
    Host parent(top, QRect(0, 0, 200, 100));
    auto* inner = new QWidget;
    Host child(inner, QRect(10, 10, 80, 40), parent.hwnd());
    HWND askedFor = nullptr;
    parent.recorder.handle = [&](HWND, UINT m, WPARAM w, LPARAM) -> std::optional<LRESULT> {
        if (m != WM_SETCURSOR)
            return std::nullopt;
        askedFor = reinterpret_cast<HWND>(w);
        SetCursor(LoadCursor(nullptr, IDC_HAND));
        return TRUE;
    };
    QTest::mouseClick(inner, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(askedFor, child.hwnd());
    EXPECT_EQ(inner->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(top->cursor().shape(), Qt::ArrowCursor);
}

TEST(BridgeContextMenu, ARightClickGivesOneContextMenuThatGoesUpToTheParent) {
    auto* top = new QWidget;
    Host parent(top, QRect(0, 0, 200, 100));
    auto* inner = new QWidget;
    Host child(inner, QRect(10, 10, 80, 40), parent.hwnd());
    QTest::mouseClick(inner, Qt::RightButton, {}, QPoint(7, 8));
    // Qt's own context menu event for the same click would be a second one.
    QContextMenuEvent fromMouse(QContextMenuEvent::Mouse, QPoint(7, 8),
                                inner->mapToGlobal(QPoint(7, 8)));
    QApplication::sendEvent(inner, &fromMouse);
    const auto menus = child.recorder.Only({WM_CONTEXTMENU});
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(menus[0].wParam, reinterpret_cast<WPARAM>(child.hwnd()));
    EXPECT_EQ(ClientPoint(menus[0].lParam), inner->mapToGlobal(QPoint(7, 8)));
    EXPECT_EQ(child.recorder.Messages({WM_RBUTTONUP, WM_CONTEXTMENU}),
              (std::vector<UINT>{WM_RBUTTONUP, WM_CONTEXTMENU}));
    // Not handled by the child, so the default procedure offered it to the parent.
    const auto offered = parent.recorder.Only({WM_CONTEXTMENU});
    ASSERT_EQ(offered.size(), 1u);
    EXPECT_EQ(offered[0].wParam, reinterpret_cast<WPARAM>(child.hwnd()));

    // From the keyboard there is no point: lParam is -1.
    QContextMenuEvent fromKey(QContextMenuEvent::Keyboard, QPoint(0, 0),
                              inner->mapToGlobal(QPoint(0, 0)));
    QApplication::sendEvent(inner, &fromKey);
    ASSERT_EQ(child.recorder.Count(WM_CONTEXTMENU), 2u);
    EXPECT_EQ(child.recorder.Only({WM_CONTEXTMENU})[1].lParam, -1);
    EXPECT_EQ(parent.recorder.Count(WM_CONTEXTMENU), 2u);
}

TEST(ReachedDefault, MessagesAHandlerSendsInBetweenDoNotCountAsPassingOn) {
    auto* edit = new QLineEdit;
    Host host(edit, QRect(10, 10, 120, 30));
    bool withhold = true;
    bool inside = false;
    host.recorder.handle = [&](HWND h, UINT m, WPARAM w, LPARAM l) -> std::optional<LRESULT> {
        if (m != WM_KEYDOWN || inside)
            return std::nullopt;
        // The same message again, by hand (it reaches DefWindowProc), and a paint that the
        // bridge delivers as a WM_PAINT of its own, nested inside this one.
        inside = true;
        SendMessage(h, WM_KEYDOWN, w, l);
        edit->grab();
        inside = false;
        return withhold ? std::optional<LRESULT>(0) : std::nullopt;
    };
    QTest::keyClick(edit, Qt::Key_A);
    EXPECT_EQ(edit->text(), "");
    EXPECT_EQ(host.recorder.Count(WM_KEYDOWN), 2u);
    EXPECT_GE(host.recorder.Count(WM_PAINT), 1u);
    withhold = false;
    QTest::keyClick(edit, Qt::Key_A);
    EXPECT_EQ(edit->text(), "a");
}

TEST(ReachedDefault, AnExceptionFromAHandlerGoesToTheSinkAndWithholdsTheEvent) {
    auto* edit = new QLineEdit;
    Host host(edit, QRect(10, 10, 120, 30));
    std::vector<std::string> caught;
    UnhandledExceptionSink old = SetUnhandledExceptionSink([&](std::exception_ptr e) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& x) {
            caught.push_back(x.what());
        }
    });
    host.recorder.handle = [](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_KEYDOWN)
            throw std::runtime_error("key handler failed");
        return std::nullopt;
    };
    QTest::keyClick(edit, Qt::Key_A);
    SetUnhandledExceptionSink(old);
    EXPECT_EQ(caught, (std::vector<std::string>{"key handler failed"}));
    EXPECT_EQ(edit->text(), "");
}

TEST(BridgeResize, ResizingTheWidgetSendsTheClientSize) {
    Host parent(new QWidget, QRect(0, 0, 300, 200));
    auto* widget = new QWidget;
    Host host(widget, QRect(0, 0, 100, 50), parent.hwnd());
    host.recorder.seen.clear();
    widget->resize(140, 70); // as a layout would, behind the window's back
    const auto sizes = host.recorder.Only({WM_SIZE});
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(LOWORD(sizes.back().lParam), 140);
    EXPECT_EQ(HIWORD(sizes.back().lParam), 70);
}
