#include "framework/Application.h"
#include "framework/ExtCtrls.h"
#include "framework/Menus.h"
#include "framework/StdCtrls.h"
#include "framework/WidgetBridge.h"
#include "tests/framework/FormTestSupport.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QWidget>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// A multi-line edit that, like a control on another window class, creates its window from a
// class of its own and keeps something across re-creation.
std::vector<std::string> steps;
constexpr const char* kOtherClass = "TestOtherEdit";

LRESULT OtherEditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CREATE) {
        steps.push_back("class creates its widget");
        SetWindowWidget(hwnd, new QPlainTextEdit);
        return 0;
    }
    if (msg == WM_USER + 7) {
        widgetbridge::NotifyParent(hwnd, 0x0300);
        return 0;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

class TOtherMemo : public TCustomMemo {
public:
    using TCustomMemo::TCustomMemo;
    std::string ClassName() const override { return "TOtherMemo"; }
    std::string kept;
    DWORD style = 0;

protected:
    void CreateParams(TCreateParams& Params) override {
        TCustomMemo::CreateParams(Params);
        CreateSubClass(Params, kOtherClass);
        style = Params.Style;
        steps.push_back("params");
    }
    void CreateWnd() override {
        TCustomMemo::CreateWnd();
        steps.push_back("created, restoring '" + kept + "'");
    }
    void DestroyWnd() override {
        kept = "saved";
        steps.push_back("destroying");
        TCustomMemo::DestroyWnd();
    }
    void Change() override {
        steps.push_back("change");
        TCustomMemo::Change();
    }
};

} // namespace

TEST(WindowCreationSteps, ADescendantReplacesTheClassAndSeesEveryStep) {
    WNDCLASS wc;
    wc.lpszClassName = kOtherClass;
    wc.lpfnWndProc = OtherEditProc;
    RegisterClass(wc);
    steps.clear();
    TTestForm form(nullptr);
    auto* memo = new TOtherMemo(&form);
    memo->SetParent(&form);
    memo->SetScrollBars(ssBoth);
    memo->SetWordWrap(false);
    EXPECT_TRUE(steps.empty()); // no window yet, so nothing was re-created
    form.Show();
    EXPECT_EQ(GetClassName(memo->Handle()), kOtherClass);
    EXPECT_TRUE(memo->style & WS_VSCROLL);
    EXPECT_TRUE(memo->style & WS_HSCROLL);
    memo->SetWordWrap(true);
    EXPECT_EQ(steps,
              (std::vector<std::string>{"params", "class creates its widget",
                                        "created, restoring ''", "destroying", "params",
                                        "class creates its widget", "created, restoring 'saved'"}));
    // The window's change notification reaches the control through its parent.
    steps.clear();
    SendMessage(memo->Handle(), WM_USER + 7, 0, 0);
    EXPECT_EQ(steps, (std::vector<std::string>{"change"}));
}

TEST(MainMenus, SubItemsOpenADropDownAndFreedItemsLeaveTheBar) {
    TTestForm form(nullptr);
    auto* menu = new TMainMenu(&form);
    auto* file = new TMenuItem(&form);
    file->SetCaption("&File");
    auto* open = new TMenuItem(&form);
    open->SetCaption("Open");
    auto* go = new TMenuItem(&form);
    go->SetCaption("Go");
    menu->Items()->Add(file);
    file->Add(open);
    menu->Items()->Add(go);
    int opened = 0, went = 0;
    open->OnClick = [&](TObject*) { ++opened; };
    go->OnClick = [&](TObject*) { ++went; };
    form.SetMenu(menu);
    form.Show();
    auto* bar = form.Frame()->findChild<QMenuBar*>();
    ASSERT_EQ(bar->actions().size(), 2);
    ASSERT_NE(bar->actions()[0]->menu(), nullptr);
    bar->actions()[0]->menu()->actions()[0]->trigger();
    EXPECT_EQ(opened, 1);
    // A disabled command does nothing even when its message arrives.
    go->SetEnabled(false);
    SendMessage(form.Handle(), WM_COMMAND, go->Command(), 0);
    EXPECT_EQ(went, 0);
    go->SetEnabled(true);
    SendMessage(form.Handle(), WM_COMMAND, go->Command(), 0);
    EXPECT_EQ(went, 1);

    const int withMenu = form.ClientHeight();
    delete go;
    EXPECT_EQ(bar->actions().size(), 1);
    delete menu;
    EXPECT_EQ(form.Menu(), nullptr);
    EXPECT_TRUE(bar->isHidden());
    EXPECT_GT(form.ClientHeight(), withMenu); // the client area takes the bar's place
}

TEST(GraphicControls, ALoweredBevelIsDarkAtTopLeftAndLightAtBottomRight) {
    TTestForm form(nullptr);
    form.SetClientWidth(100);
    form.SetClientHeight(100);
    auto* bevel = new TBevel(&form);
    bevel->SetParent(&form);
    bevel->SetBounds(10, 10, 50, 40);
    form.Show();
    QImage image = form.Widget()->grab().toImage();
    EXPECT_EQ(image.pixelColor(30, 10), ColorToQColor(clBtnShadow));
    EXPECT_EQ(image.pixelColor(10, 30), ColorToQColor(clBtnShadow));
    EXPECT_EQ(image.pixelColor(30, 49), ColorToQColor(clBtnHighlight));
    EXPECT_EQ(image.pixelColor(59, 30), ColorToQColor(clBtnHighlight));
    bevel->SetStyle(bsRaised);
    image = form.Widget()->grab().toImage();
    EXPECT_EQ(image.pixelColor(30, 10), ColorToQColor(clBtnHighlight));
    EXPECT_EQ(image.pixelColor(30, 49), ColorToQColor(clBtnShadow));
}

TEST(FormCreation, CaptionAndOnCreateFailuresAreHandled) {
    TApplication app;
    app.Initialize();
    std::vector<std::string> shown;
    app.OnException = [&](TObject*, const std::exception& e) { shown.push_back(e.what()); };
    TTestForm form(nullptr);
    form.Bindings().AddHandler<TNotifyEvent>(
        "FormCreate", [](TObject*) { throw EConvertError("'abc' is not a valid integer value"); });
    form.Load(TestFormData(R"("Caption": "First", "OnCreate": "FormCreate")", ""));
    // The form exists; the failure went to the central handler.
    EXPECT_EQ(shown, (std::vector<std::string>{"'abc' is not a valid integer value"}));
    form.Show();
    EXPECT_EQ(form.Frame()->windowTitle(), "First");
    form.SetCaption("Second");
    EXPECT_EQ(form.Frame()->windowTitle(), "Second");
}
