#include "framework/Application.h"

#include "platform/window/Window.h"
#include "tests/support/Pump.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

struct Recorder {
    std::vector<std::string> messages;
    std::vector<TObject*> senders;
};

} // namespace

TEST(CentralHandler, ExceptionFromAWindowProcedureIsShownAndTheLoopGoesOn) {
    TApplication app;
    app.Initialize();
    Recorder rec;
    app.OnException = [&](TObject* sender, const std::exception& e) {
        rec.senders.push_back(sender);
        rec.messages.push_back(e.what());
    };
    int delivered = 0;
    HWND hwnd = AllocateHWnd([&](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_USER + 1)
            throw EConvertError("'x' is not a valid integer value");
        if (m == WM_USER + 2)
            throw EAbort("silent");
        if (m == WM_USER + 3)
            ++delivered;
        return DefWindowProc(h, m, w, l);
    });
    PostMessage(hwnd, WM_USER + 1, 0, 0);
    PostMessage(hwnd, WM_USER + 2, 0, 0);
    PostMessage(hwnd, WM_USER + 3, 0, 0);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return delivered == 1; }));
    EXPECT_EQ(rec.messages, (std::vector<std::string>{"'x' is not a valid integer value"}));
    EXPECT_EQ(rec.senders.at(0), &app);
    DeallocateHWnd(hwnd);
}

TEST(CentralHandler, NonFrameworkExceptionsAreShownToo) {
    TApplication app;
    app.Initialize();
    std::vector<std::string> seen;
    app.OnException = [&](TObject*, const std::exception& e) { seen.push_back(e.what()); };
    RunGuarded([] { throw std::runtime_error("disk on fire"); });
    RunGuarded([] { throw 7; });
    EXPECT_EQ(seen, (std::vector<std::string>{"disk on fire", "Unknown exception"}));
}

TEST(CentralHandler, ShownTextEndsWithAFullStop) {
    EXPECT_EQ(TApplication::ExceptionText(Exception("No address specified")),
              "No address specified.");
    EXPECT_EQ(TApplication::ExceptionText(Exception("Done.")), "Done.");
}

TEST(ApplicationForms, FirstCreatedFormIsTheMainFormAndIsFreedWithTheApplication) {
    static int freed = 0;
    struct TFakeForm : TComponent {
        explicit TFakeForm(TComponent* owner) : TComponent(owner) {}
        ~TFakeForm() override { ++freed; }
    };
    freed = 0;
    {
        TApplication app;
        TFakeForm* first = nullptr;
        TFakeForm* second = nullptr;
        app.CreateForm(first);
        app.CreateForm(second);
        EXPECT_EQ(app.MainForm(), first);
        EXPECT_EQ(first->Owner(), &app);
        delete first;
        EXPECT_EQ(app.MainForm(), nullptr);
    }
    EXPECT_EQ(freed, 2);
}
