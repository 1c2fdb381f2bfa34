#include "platform/window/Window.h"
#include "tests/platform/window/TestWindows.h"

#include <QWidget>
#include <algorithm>
#include <gtest/gtest.h>

TEST(WindowClasses, RegisterQueryAndDuplicates) {
    RecordingClass();
    WNDCLASS wc;
    ASSERT_TRUE(GetClassInfo("TestRecorder", &wc));
    EXPECT_TRUE(bool(wc.lpfnWndProc));
    EXPECT_EQ(RegisterClass(wc), 0);
    EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);
    EXPECT_FALSE(GetClassInfo("NoSuchClass", &wc));
    EXPECT_EQ(CreateWindowEx(0, "NoSuchClass", u"", 0, 0, 0, 1, 1, nullptr, 0, nullptr, nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);
}

TEST(WindowLifecycle, CreationSendsNcCreateThenCreateWithTheParameters) {
    RecordingClass();
    Seen().clear();
    int tag = 7;
    HWND hwnd =
        CreateWindowExW(0, u"TestRecorder", u"caption", 0, 1, 2, 30, 40, nullptr, 5, nullptr, &tag);
    ASSERT_TRUE(IsWindow(hwnd));
    ASSERT_GE(Seen().size(), 2u);
    EXPECT_EQ(Seen()[0].msg, WM_NCCREATE);
    EXPECT_EQ(Seen()[1].msg, WM_CREATE);
    EXPECT_EQ(Seen()[1].createParams, &tag);
    EXPECT_EQ(GetWindowText(hwnd), u"caption");
    EXPECT_EQ(GetWindowLongPtr(hwnd, GWLP_ID), 5);
    DestroyWindow(hwnd);
}

TEST(WindowLifecycle, RefusedCreationLeavesNoWindow) {
    WNDCLASS wc;
    wc.lpszClassName = "RefusesCreate";
    wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        return m == WM_CREATE ? -1 : DefWindowProc(h, m, w, l);
    };
    RegisterClass(wc);
    EXPECT_EQ(CreateWindowEx(0, "RefusesCreate", u"", 0, 0, 0, 1, 1, nullptr, 0, nullptr, nullptr),
              nullptr);
}

TEST(WindowLifecycle, DestroyReachesChildrenBeforeTheParentIsGone) {
    HWND parent = MakeWindow();
    HWND child = MakeWindow(parent);
    HWND grandchild = MakeWindow(child);
    EXPECT_EQ(GetParent(grandchild), child);
    Seen().clear();
    DestroyWindow(parent);
    std::vector<std::pair<HWND, UINT>> order;
    for (const auto& m : Seen())
        order.emplace_back(m.hwnd, m.msg);
    const std::vector<std::pair<HWND, UINT>> expected = {
        {parent, WM_DESTROY},       {child, WM_DESTROY},   {grandchild, WM_DESTROY},
        {grandchild, WM_NCDESTROY}, {child, WM_NCDESTROY}, {parent, WM_NCDESTROY}};
    EXPECT_EQ(order, expected);
    EXPECT_FALSE(IsWindow(parent));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_FALSE(IsWindow(grandchild));
}

// The live count is what leak checks rely on: every kind of window counts while it lives, a
// destroyed parent takes its children out of it, and a refused creation leaves nothing behind.
TEST(WindowLifecycle, LiveCountFollowsCreationAndDestruction) {
    const int before = LiveWindowCount();
    HWND parent = MakeWindow();
    HWND child = MakeWindow(parent);
    MakeWindow(child);
    HWND utility = AllocateHWnd(DefWindowProc);
    EXPECT_EQ(LiveWindowCount(), before + 4);
    DestroyWindow(parent);
    EXPECT_EQ(LiveWindowCount(), before + 1);
    DeallocateHWnd(utility);
    EXPECT_EQ(LiveWindowCount(), before);

    WNDCLASS wc;
    wc.lpszClassName = "RefusesNcCreate";
    wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        return m == WM_NCCREATE ? FALSE : DefWindowProc(h, m, w, l);
    };
    RegisterClass(wc);
    EXPECT_EQ(
        CreateWindowEx(0, "RefusesNcCreate", u"", 0, 0, 0, 1, 1, nullptr, 0, nullptr, nullptr),
        nullptr);
    EXPECT_EQ(LiveWindowCount(), before);
}

TEST(WindowLifecycle, DestroyFromInsideItsOwnProcedureIsSafe) {
    HWND hwnd = MakeWindow();
    WNDPROC original = GetWindowProc(hwnd);
    SetWindowProc(hwnd, [original](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_USER) {
            DestroyWindow(h);
            return 1;
        }
        return CallWindowProc(original, h, m, w, l);
    });
    EXPECT_EQ(SendMessage(hwnd, WM_USER, 0, 0), 1);
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST(WindowText, DefaultProcedureKeepsAndTruncatesText) {
    HWND hwnd = MakeWindow();
    SetWindowText(hwnd, u"hello");
    EXPECT_EQ(SendMessage(hwnd, WM_GETTEXTLENGTH, 0, 0), 5);
    char16_t buffer[4] = {u'x', u'x', u'x', u'x'};
    EXPECT_EQ(SendMessage(hwnd, WM_GETTEXT, 4, reinterpret_cast<LPARAM>(buffer)), 3);
    EXPECT_EQ(std::u16string(buffer), u"hel");
    DestroyWindow(hwnd);
}

TEST(UtilityWindows, HiddenWindowReceivesPostsAndHasNoWidget) {
    int got = 0;
    HWND hwnd = AllocateHWnd([&](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_USER + 9)
            got = int(w);
        return DefWindowProc(h, m, w, l);
    });
    ASSERT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(GetParent(hwnd), nullptr);
    EXPECT_EQ(GetWindowWidget(hwnd), nullptr);
    SendMessage(hwnd, WM_USER + 9, 3, 0);
    EXPECT_EQ(got, 3);
    DeallocateHWnd(hwnd);
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST(Widgets, ChildWidgetFollowsParentAndBounds) {
    HWND parent = MakeWindow();
    auto* top = new QWidget;
    SetWindowWidget(parent, top);
    HWND child = MakeWindow(parent);
    auto* inner = new QWidget;
    SetWindowWidget(child, inner);
    EXPECT_EQ(inner->parentWidget(), top);
    MoveWindow(child, 5, 6, 70, 80, TRUE);
    EXPECT_EQ(inner->geometry(), QRect(5, 6, 70, 80));
    RECT r;
    GetClientRect(child, &r);
    EXPECT_EQ(r.right, 70);
    EXPECT_EQ(r.bottom, 80);
    EXPECT_EQ(WindowFromWidget(inner), child);
    Seen().clear();
    EXPECT_FALSE(ShowWindow(child, SW_SHOW));
    EXPECT_FALSE(IsWindowVisible(child)); // the parent is still hidden
    ShowWindow(parent, SW_SHOW);
    EXPECT_TRUE(IsWindowVisible(child));
    EXPECT_FALSE(EnableWindow(child, FALSE));
    EXPECT_FALSE(inner->isEnabled());
    DestroyWindow(parent);
}

TEST(Libraries, LoadRunsTheProviderOnceAndFreeUnloadsAtTheLastReference) {
    int loads = 0;
    int unloads = 0;
    RegisterLibraryProvider("TESTLIB.DLL", {[&] { ++loads; }, [&] { ++unloads; }});
    HMODULE a = LoadLibrary("testlib.dll");
    HMODULE b = LoadLibrary("TESTLIB.DLL");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    EXPECT_GT(reinterpret_cast<std::uintptr_t>(a), 32u);
    EXPECT_EQ(loads, 1);
    FreeLibrary(a);
    EXPECT_EQ(unloads, 0);
    FreeLibrary(b);
    EXPECT_EQ(unloads, 1);
    EXPECT_FALSE(FreeLibrary(b));
    EXPECT_EQ(LoadLibrary("MISSING.DLL"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}
