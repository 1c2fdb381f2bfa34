#include "platform/window/Window.h"
#include "tests/platform/window/TestWindows.h"
#include "tests/support/Pump.h"

#include <atomic>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

using testsupport::PumpPending;
using testsupport::PumpUntil;

TEST(SendAndPost, SendRunsAtOnceAndPostWaitsForTheLoop) {
    HWND hwnd = MakeWindow();
    Seen().clear();
    ASSERT_TRUE(PostMessage(hwnd, WM_USER + 1, 0, 0));
    SendMessage(hwnd, WM_USER + 2, 0, 0);
    // The sent message overtakes the posted one, which needs the event loop.
    EXPECT_EQ(MessagesFor(hwnd), (std::vector<UINT>{WM_USER + 2}));
    ASSERT_TRUE(PumpUntil([&] { return MessagesFor(hwnd).size() == 2; }));
    EXPECT_EQ(MessagesFor(hwnd), (std::vector<UINT>{WM_USER + 2, WM_USER + 1}));
    DestroyWindow(hwnd);
}

TEST(SendAndPost, ParametersArriveUnchanged) {
    HWND hwnd = MakeWindow();
    Seen().clear();
    PostMessage(hwnd, WM_USER + 7, WPARAM(0xDEADBEEF), LPARAM(-42));
    ASSERT_TRUE(PumpUntil([&] { return !MessagesFor(hwnd).empty(); }));
    EXPECT_EQ(Seen().back().wParam, WPARAM(0xDEADBEEF));
    EXPECT_EQ(Seen().back().lParam, LPARAM(-42));
    DestroyWindow(hwnd);
}

TEST(SendAndPost, PostedMessagesFromManyThreadsKeepEachThreadsOrder) {
    HWND hwnd = MakeWindow();
    Seen().clear();
    constexpr int kThreads = 4;
    constexpr int kPerThread = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([=] {
            for (int i = 0; i < kPerThread; ++i)
                PostMessage(hwnd, WM_USER + t, WPARAM(i), 0);
        });
    for (auto& th : threads)
        th.join();
    ASSERT_TRUE(PumpUntil([&] { return MessagesFor(hwnd).size() == kThreads * kPerThread; }));
    std::vector<int> next(kThreads, 0);
    for (const auto& m : Seen()) {
        if (m.hwnd != hwnd || m.msg < WM_USER)
            continue;
        const int t = int(m.msg - WM_USER);
        ASSERT_EQ(int(m.wParam), next[t]) << "thread " << t << " out of order";
        ++next[t];
    }
    DestroyWindow(hwnd);
}

TEST(SendAndPost, MessageForDestroyedWindowIsDropped) {
    HWND doomed = MakeWindow();
    HWND witness = MakeWindow();
    Seen().clear();
    PostMessage(doomed, WM_USER + 1, 0, 0);
    PostMessage(witness, WM_USER + 2, 0, 0);
    DestroyWindow(doomed);
    ASSERT_TRUE(PumpUntil([&] { return !MessagesFor(witness).empty(); }));
    EXPECT_TRUE(MessagesFor(doomed).empty());
    // Posting to a dead handle fails outright; its handle is never handed out again.
    EXPECT_FALSE(PostMessage(doomed, WM_USER + 3, 0, 0));
    EXPECT_EQ(SendMessage(doomed, WM_USER + 3, 0, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    HWND fresh = MakeWindow();
    EXPECT_NE(fresh, doomed);
    DestroyWindow(fresh);
    DestroyWindow(witness);
}

TEST(SendAndPost, SendFromAnotherThreadIsRefused) {
    HWND hwnd = MakeWindow();
    std::atomic<bool> refused{false};
    std::thread([&] {
        try {
            SendMessage(hwnd, WM_USER, 0, 0);
        } catch (const std::logic_error&) {
            refused = true;
        }
    }).join();
    EXPECT_TRUE(refused);
    DestroyWindow(hwnd);
}

TEST(Subclassing, ChainCallsOnToThePreviousProcedures) {
    HWND hwnd = MakeWindow();
    std::vector<std::string> calls;
    WNDPROC original = GetWindowProc(hwnd);
    WNDPROC first = SetWindowProc(hwnd, [&, original](HWND h, UINT m, WPARAM w, LPARAM l) {
        if (m == WM_USER + 5)
            calls.push_back("first");
        return CallWindowProc(original, h, m, w, l);
    });
    WNDPROC afterFirst = GetWindowProc(hwnd);
    SetWindowProc(hwnd, [&, afterFirst](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_USER + 5)
            calls.push_back("second");
        if (m == WM_USER + 6)
            return 99; // swallowed: the earlier procedures never see it
        return CallWindowProc(afterFirst, h, m, w, l);
    });
    Seen().clear();
    SendMessage(hwnd, WM_USER + 5, 0, 0);
    EXPECT_EQ(calls, (std::vector<std::string>{"second", "first"}));
    EXPECT_EQ(MessagesFor(hwnd), (std::vector<UINT>{WM_USER + 5}));
    EXPECT_EQ(SendMessage(hwnd, WM_USER + 6, 0, 0), 99);
    EXPECT_EQ(MessagesFor(hwnd), (std::vector<UINT>{WM_USER + 5}));
    EXPECT_TRUE(bool(first));
    DestroyWindow(hwnd);
}

TEST(Exceptions, ThrowFromPostedMessageReachesTheSinkAndTheLoopGoesOn) {
    std::vector<std::string> caught;
    auto previous = SetUnhandledExceptionSink([&](std::exception_ptr e) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& ex) {
            caught.push_back(ex.what());
        }
    });
    HWND hwnd = MakeWindow();
    int after = 0;
    WNDPROC original = GetWindowProc(hwnd);
    SetWindowProc(hwnd, [&, original](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_USER + 1)
            throw std::runtime_error("boom");
        if (m == WM_USER + 2)
            ++after;
        return CallWindowProc(original, h, m, w, l);
    });
    PostMessage(hwnd, WM_USER + 1, 0, 0);
    PostMessage(hwnd, WM_USER + 2, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return after == 1; }));
    EXPECT_EQ(caught, (std::vector<std::string>{"boom"}));
    // A sent message's exception goes to the caller instead.
    EXPECT_THROW(SendMessage(hwnd, WM_USER + 1, 0, 0), std::runtime_error);
    DestroyWindow(hwnd);
    SetUnhandledExceptionSink(previous);
}

TEST(Exceptions, ThrowingSinkDoesNotEscape) {
    auto previous = SetUnhandledExceptionSink([](std::exception_ptr) { throw 42; });
    EXPECT_NO_THROW(RunGuarded([] { throw std::runtime_error("first"); }));
    SetUnhandledExceptionSink(previous);
}
