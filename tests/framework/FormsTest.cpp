#include "framework/Application.h"
#include "framework/Dialogs.h"
#include "framework/ExtCtrls.h"
#include "framework/Menus.h"
#include "framework/Printers.h"
#include "framework/StdCtrls.h"
#include "tests/framework/FormTestSupport.h"
#include "tests/support/Files.h"
#include "tests/support/Pump.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// A window like the monitor's: a bevel and a status strip anchored to the edges, two edits
// with hints, a hidden button, a menu bar with one command.
const char* const kWindow = R"(
  "Left": 218, "Top": 165, "Width": 727, "Height": 290, "Caption": "Demo window",
  "Color": "clBtnFace", "Position": "poScreenCenter", "Menu": "MainMenu1",
  "Font": {"Name": "MS Sans Serif", "Height": -11, "Charset": "ANSI_CHARSET"},
  "PixelsPerInch": 96, "TextHeight": 13, "OldCreateOrder": false)";
const char* const kControls = R"(
  {"class": "TBevel", "name": "Bevel4", "properties": {"Left": 4, "Top": 4, "Width": 709,
     "Height": 209, "Anchors": ["akLeft", "akTop", "akRight"]}},
  {"class": "TLabel", "name": "Label2", "properties": {"Left": 8, "Top": 8, "Width": 51,
     "Height": 13, "Caption": "IP Address"}},
  {"class": "TEdit", "name": "IPAddr", "properties": {"Left": 8, "Top": 20, "Width": 101,
     "Height": 21, "Color": "clMenu", "Hint": "address ", "ParentShowHint": false,
     "ShowHint": true, "TabOrder": 0, "Text": "10.0.0.1"}},
  {"class": "TEdit", "name": "IPPort", "properties": {"Left": 112, "Top": 20, "Width": 37,
     "Height": 21, "Color": "clMenu", "TabOrder": 1, "Text": "1236"}},
  {"class": "TButton", "name": "Button1", "properties": {"Left": 388, "Top": 16, "Width": 149,
     "Height": 25, "Caption": "Connect  bit stream port", "TabOrder": 2, "Visible": false,
     "OnClick": "Button1Click"}},
  {"class": "TLabel", "name": "Label7", "properties": {"Left": 4, "Top": 218, "Width": 711,
     "Height": 23, "Anchors": ["akLeft", "akRight", "akBottom"], "AutoSize": false,
     "Color": "clRed", "ParentColor": false}},
  {"class": "TMainMenu", "name": "MainMenu1", "components": [
     {"class": "TMenuItem", "name": "SaveBitStream1", "properties": {"Caption": "Save Bit Stream",
        "OnClick": "SaveClick"}}]}
)";

QRect BoundsOf(TControl* c) {
    return QRect(c->Left(), c->Top(), c->Width(), c->Height());
}

class Forms : public ::testing::Test {
protected:
    void SetUp() override {
        form = new TTestForm(nullptr);
        form->Bindings().AddHandler<TNotifyEvent>("Button1Click", [this](TObject*) { ++clicks; });
        form->Bindings().AddHandler<TNotifyEvent>("SaveClick", [this](TObject*) { ++saves; });
    }
    void TearDown() override {
        delete form;
        Screen->SetPixelsPerInch(0);
    }
    TControl* C(const char* name) { return static_cast<TControl*>(form->FindComponent(name)); }
    void LoadAndShow() {
        form->Load(TestFormData(kWindow, kControls));
        form->Show();
    }
    TTestForm* form = nullptr;
    int clicks = 0;
    int saves = 0;
};

} // namespace

TEST_F(Forms, ShowsEveryControlAtItsDesignedPlaceWithItsValues) {
    LoadAndShow();
    QWidget* frame = form->Frame();
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(frame->windowTitle(), "Demo window");
    // Outer 727 x 290 less the classic borders and title bar.
    EXPECT_EQ(frame->size(), QSize(719, 263));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(form->Left(), screen.x() + (screen.width() - 727) / 2);
    EXPECT_EQ(form->Top(), screen.y() + (screen.height() - 290) / 2);

    for (const char* name : {"Bevel4", "IPAddr", "IPPort", "Button1"})
        EXPECT_EQ(C(name)->Widget()->geometry(), BoundsOf(C(name))) << name;
    EXPECT_EQ(C("Bevel4")->Widget()->geometry(), QRect(4, 4, 709, 209));
    EXPECT_EQ(C("IPAddr")->Widget()->geometry(), QRect(8, 20, 101, 21));
    EXPECT_EQ(C("Button1")->Widget()->geometry(), QRect(388, 16, 149, 25));
    EXPECT_EQ(C("Label2")->Widget()->pos(), QPoint(8, 8)); // auto-sized to the font
    EXPECT_EQ(qobject_cast<QLineEdit*>(C("IPAddr")->Widget())->text(), "10.0.0.1");
    EXPECT_EQ(C("IPAddr")->Widget()->toolTip(), "address ");
    EXPECT_EQ(C("IPPort")->Widget()->toolTip(), ""); // the form shows no hints
    EXPECT_FALSE(C("Button1")->Widget()->isVisible());
    EXPECT_EQ(qobject_cast<QPushButton*>(C("Button1")->Widget())->text(),
              "Connect  bit stream port");
    // The strip keeps its distance to the bottom whatever the real menu bar's height is.
    const int bottomGap = 244 - (218 + 23);
    EXPECT_EQ(C("Label7")->Top() + C("Label7")->Height(), form->ClientHeight() - bottomGap);
    EXPECT_EQ(C("Label7")->Width(), 711);
}

TEST_F(Forms, AnchoredControlsFollowWhenTheWindowGrows) {
    LoadAndShow();
    const QRect strip = BoundsOf(C("Label7"));
    const QRect bevel = BoundsOf(C("Bevel4"));
    // The user drags the window larger.
    form->Frame()->resize(form->Frame()->width() + 100, form->Frame()->height() + 60);
    EXPECT_EQ(form->Width(), 827);
    EXPECT_EQ(form->Height(), 350);
    EXPECT_EQ(BoundsOf(C("Label7")), strip.adjusted(0, 60, 100, 60));
    EXPECT_EQ(BoundsOf(C("Bevel4")), bevel.adjusted(0, 0, 100, 0));
    EXPECT_EQ(BoundsOf(C("IPAddr")), QRect(8, 20, 101, 21));
    EXPECT_EQ(C("Label7")->Widget()->geometry(), BoundsOf(C("Label7")));
}

TEST_F(Forms, ATopLevelMenuCommandRunsItsOnClickAtOnce) {
    LoadAndShow();
    auto* bar = form->Frame()->findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(bar->actions().size(), 1);
    QAction* save = bar->actions().first();
    EXPECT_EQ(save->text(), "Save Bit Stream");
    EXPECT_EQ(save->menu(), nullptr); // no drop-down
    save->trigger();
    EXPECT_EQ(saves, 1);
    static_cast<TButton*>(C("Button1"))->Click();
    EXPECT_EQ(clicks, 1);
}

TEST_F(Forms, ClosingRunsOnCloseWithTheActionAndFreesTheFormOnCaFree) {
    LoadAndShow();
    std::vector<std::string> seen;
    bool vetoed = true;
    form->OnCloseQuery = [&](TObject*, bool& canClose) {
        seen.push_back("query");
        canClose = !vetoed;
    };
    form->OnClose = [&](TObject*, TCloseAction& action) {
        seen.push_back(action == caHide ? "close caHide" : "close other");
        action = caFree;
    };
    form->Frame()->close(); // the user closes the window
    EXPECT_EQ(seen, (std::vector<std::string>{"query"}));
    EXPECT_TRUE(form->Frame()->isVisible());

    vetoed = false;
    struct Watch : TComponent {
        using TComponent::TComponent;
        void Notification(TComponent* c, TOperation op) override {
            if (op == opRemove)
                gone.push_back(c->Name());
        }
        std::vector<std::string> gone;
    } watch(nullptr);
    watch.FreeNotification(form->FindComponent("IPAddr"));
    watch.FreeNotification(form);
    form->Frame()->close();
    EXPECT_EQ(seen, (std::vector<std::string>{"query", "query", "close caHide"}));
    ASSERT_TRUE(
        testsupport::PumpUntil([&] { return watch.gone.size() == 2; }, std::chrono::seconds(2)));
    EXPECT_EQ(watch.gone, (std::vector<std::string>{"IPAddr", "TestForm"}));
    form = nullptr; // freed by itself
}

TEST_F(Forms, ClosingTheMainFormEndsTheApplication) {
    TApplication app;
    app.Initialize();
    app.SetMainForm(form);
    LoadAndShow();
    bool closed = false;
    form->OnClose = [&](TObject*, TCloseAction& action) {
        closed = true;
        EXPECT_EQ(action, caHide);
    };
    QTimer::singleShot(0, [&] { form->Close(); });
    app.Run(); // returns once the main form has closed
    EXPECT_TRUE(closed);
    EXPECT_TRUE(app.Terminated());
    EXPECT_FALSE(form->Frame()->isVisible());
    app.SetMainForm(nullptr);
}

TEST_F(Forms, AScreenWithMorePixelsPerInchScalesTheFormAndItsControls) {
    Screen->SetPixelsPerInch(144);
    form->Load(TestFormData(kWindow, kControls));
    EXPECT_EQ(form->PixelsPerInch(), 144);
    EXPECT_EQ(form->ClientWidth(), 719 * 3 / 2);
    EXPECT_EQ(form->ClientHeight(), 244 * 3 / 2);
    EXPECT_EQ(BoundsOf(C("IPAddr")), QRect(12, 30, 151, 31));
    EXPECT_EQ(form->Font()->Height(), -16);
    EXPECT_EQ(C("IPAddr")->Font()->Height(), -16); // follows the form's font
    // Anchors hold relative to the scaled design.
    form->SetClientWidth(form->ClientWidth() + 10);
    EXPECT_EQ(C("Bevel4")->Width(), 709 * 3 / 2 + 10);
}

TEST_F(Forms, AtTheDesignResolutionNothingIsScaled) {
    Screen->SetPixelsPerInch(96);
    form->Load(TestFormData(kWindow, kControls));
    EXPECT_EQ(form->ClientWidth(), 719);
    EXPECT_EQ(BoundsOf(C("IPAddr")), QRect(8, 20, 101, 21));
}

TEST(CommonDialogs, ScriptedAnswersStandInForTheDialogs) {
    TTestForm form(nullptr);
    auto* save = new TSaveDialog(&form);
    auto* font = new TFontDialog(&form);
    std::vector<std::string> asked;
    TCommonDialog::ScriptedAnswer = [&](TCommonDialog& d) {
        asked.push_back(d.ClassName());
        if (auto* s = dynamic_cast<TSaveDialog*>(&d)) {
            EXPECT_EQ(s->FileName(), "stream file .txt");
            s->SetFileName("/tmp/chosen.txt");
            return true;
        }
        static_cast<TFontDialog&>(d).Font()->SetName("DejaVu Sans Mono");
        return false;
    };
    save->SetFileName("stream file .txt");
    EXPECT_TRUE(save->Execute());
    EXPECT_EQ(save->FileName(), "/tmp/chosen.txt");
    EXPECT_FALSE(font->Execute());
    TCommonDialog::ScriptedAnswer = nullptr;
    EXPECT_EQ(asked, (std::vector<std::string>{"TSaveDialog", "TFontDialog"}));
    EXPECT_EQ(save->Options(), (TOpenOptions{ofHideReadOnly, ofEnableSizing}));
}

TEST(CommonDialogs, FilterPairsBecomeQtNameFilters) {
    TOpenDialog dialog(nullptr);
    dialog.SetFilter("*.ip| *.ip");
    EXPECT_EQ(dialog.NameFilters(), (std::vector<std::string>{"*.ip ( *.ip)"}));
    dialog.SetFilter("Text|*.txt;*.log|All files|*.*");
    EXPECT_EQ(dialog.NameFilters(),
              (std::vector<std::string>{"Text (*.txt *.log)", "All files (*.*)"}));
    dialog.SetFilter("");
    EXPECT_TRUE(dialog.NameFilters().empty());
}

TEST(Printing, AJobWithTwoPagesGoesToAPdfFile) {
    QTemporaryDir dir;
    const std::string file = (dir.path() + "/job.pdf").toStdString();
    TPrinter printer;
    printer.SetTitle("Bit stream");
    printer.SetOutputFileName(file);
    printer.BeginDoc();
    EXPECT_TRUE(printer.Printing());
    EXPECT_THROW(printer.BeginDoc(), EPrinter);
    EXPECT_GT(printer.PixelsPerInchX(), 96);
    EXPECT_GT(printer.PageHeight(), printer.PageWidth());
    printer.Canvas()->drawText(100, 100, "page one");
    printer.NewPage();
    printer.Canvas()->drawText(100, 100, "page two");
    EXPECT_EQ(printer.PageNumber(), 2);
    printer.EndDoc();
    EXPECT_FALSE(printer.Printing());
    EXPECT_THROW(printer.EndDoc(), EPrinter);

    QFile pdf(QString::fromStdString(file));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF"));
    EXPECT_EQ(testsupport::PdfPageCount(file), 2);
    // The job title is the document's title (UTF-16 in the PDF's information dictionary).
    QByteArray title("\xFE\xFF");
    for (char c : std::string("Bit stream"))
        title.append('\0').append(c);
    EXPECT_TRUE(bytes.contains("/Title (" + title + ")"));
}
