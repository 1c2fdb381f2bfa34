#include "framework/Application.h"
#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/Menus.h"
#include "framework/StdCtrls.h"
#include "tests/framework/FormTestSupport.h"
#include "tests/support/Pump.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

namespace {

void PressKey(QWidget* target, int key, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &release);
}

struct Shown {
    std::unique_ptr<TTestForm> form = std::make_unique<TTestForm>(nullptr);
    void Show() {
        form->Show();
        QApplication::setActiveWindow(form->Frame());
        testsupport::PumpUntil([&] { return QApplication::activeWindow() == form->Frame(); },
                               std::chrono::milliseconds(500));
    }
};

} // namespace

TEST(WindowedControls, PropertiesSetBeforeTheWindowReachTheWidgetWhenItIsCreated) {
    Shown s;
    auto* edit = new TEdit(s.form.get());
    edit->SetParent(s.form.get());
    edit->SetBounds(10, 20, 90, 24);
    edit->SetText("held");
    edit->SetColor(clYellow);
    edit->SetReadOnly(true);
    edit->SetMaxLength(5);
    edit->SetHint("a hint");
    edit->SetShowHint(true);
    edit->SetEnabled(false);
    EXPECT_FALSE(edit->HandleAllocated());
    EXPECT_EQ(edit->Widget(), nullptr);

    s.Show();
    auto* line = qobject_cast<QLineEdit*>(edit->Widget());
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->geometry(), QRect(10, 20, 90, 24));
    EXPECT_EQ(line->text(), "held");
    EXPECT_TRUE(line->isReadOnly());
    EXPECT_EQ(line->maxLength(), 5);
    EXPECT_EQ(line->toolTip(), "a hint");
    EXPECT_FALSE(line->isEnabled());
    EXPECT_EQ(line->palette().color(QPalette::Base), QColor(255, 255, 0));
}

TEST(WindowedControls, RecreatingTheWindowKeepsTextModifiedFlagAndOptions) {
    Shown s;
    auto* memo = new TMemo(s.form.get());
    memo->SetParent(s.form.get());
    memo->SetMaxLength(100);
    s.Show();
    auto* first = qobject_cast<QPlainTextEdit*>(memo->Widget());
    ASSERT_NE(first, nullptr);
    first->setFocus();
    first->insertPlainText("typed by the user");
    EXPECT_TRUE(memo->Modified());
    EXPECT_EQ(first->lineWrapMode(), QPlainTextEdit::WidgetWidth);

    // Each of these needs a new window.
    memo->SetScrollBars(ssVertical);
    memo->SetWordWrap(false);
    memo->SetAlignment(taCenter);
    auto* second = qobject_cast<QPlainTextEdit*>(memo->Widget());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->toPlainText(), "typed by the user");
    EXPECT_TRUE(memo->Modified());
    EXPECT_EQ(second->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(second->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(second->document()->defaultTextOption().alignment(), Qt::AlignHCenter);
    EXPECT_EQ(memo->Text(), "typed by the user");
}

TEST(WindowedControls, MaxLengthLimitsTypingInAMultiLineEdit) {
    Shown s;
    auto* memo = new TMemo(s.form.get());
    memo->SetParent(s.form.get());
    memo->SetMaxLength(4);
    s.Show();
    auto* widget = qobject_cast<QPlainTextEdit*>(memo->Widget());
    widget->insertPlainText("abcdef");
    EXPECT_EQ(memo->Text(), "abcd");
    memo->SetMaxLength(0); // no limit
    widget->insertPlainText("efgh");
    EXPECT_EQ(memo->Text(), "abcdefgh");
}

TEST(WindowedControls, ChangesAndClicksComeBackAsEvents) {
    Shown s;
    auto* edit = new TEdit(s.form.get());
    edit->SetParent(s.form.get());
    auto* button = new TButton(s.form.get());
    button->SetParent(s.form.get());
    int changes = 0, clicks = 0;
    TObject* sender = nullptr;
    edit->OnChange = [&](TObject* o) {
        ++changes;
        sender = o;
    };
    button->OnClick = [&](TObject*) { ++clicks; };
    s.Show();
    qobject_cast<QLineEdit*>(edit->Widget())->insert("x");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(sender, edit);
    edit->SetText("set in code");
    EXPECT_EQ(changes, 2);
    qobject_cast<QPushButton*>(button->Widget())->click();
    EXPECT_EQ(clicks, 1);
    // A disabled button cannot be clicked.
    button->SetEnabled(false);
    qobject_cast<QPushButton*>(button->Widget())->click();
    EXPECT_EQ(clicks, 1);
}

// A list of an edit's lines ends its update with a text-changed notice: one change for all.
TEST(WindowedControls, TextChangedNoticeIsOneChange) {
    Shown s;
    auto* memo = new TMemo(s.form.get());
    memo->SetParent(s.form.get());
    int changes = 0;
    memo->OnChange = [&](TObject*) { ++changes; };
    s.Show();
    memo->Perform(CM_TEXTCHANGED, 0, 0);
    EXPECT_EQ(changes, 1);
}

TEST(WindowedControls, RealTypingAndClicksPassThroughTheWindowsUnchanged) {
    Shown s;
    auto* edit = new TEdit(s.form.get());
    edit->SetParent(s.form.get());
    auto* button = new TButton(s.form.get());
    button->SetParent(s.form.get());
    button->SetBounds(100, 0, 75, 25);
    int changes = 0, clicks = 0;
    edit->OnChange = [&](TObject*) { ++changes; };
    button->OnClick = [&](TObject*) { ++clicks; };
    s.Show();
    QTest::keyClicks(edit->Widget(), "ab");
    QTest::keyClick(edit->Widget(), Qt::Key_Backspace);
    EXPECT_EQ(edit->Text(), "a");
    EXPECT_EQ(changes, 3);
    QTest::mouseClick(button->Widget(), Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
}

TEST(WindowedControls, ColourFontAndHintFollowTheParentUntilSetOwn) {
    Shown s;
    auto* label = new TLabel(s.form.get());
    label->SetParent(s.form.get());
    auto* edit = new TEdit(s.form.get());
    edit->SetParent(s.form.get());
    EXPECT_EQ(label->Color(), clBtnFace);
    s.form->SetColor(clAqua);
    s.form->Font()->SetName("DejaVu Serif");
    s.form->SetShowHint(true);
    EXPECT_EQ(label->Color(), clAqua);
    EXPECT_EQ(label->Font()->Name(), "DejaVu Serif");
    EXPECT_TRUE(label->ParentFont());
    EXPECT_EQ(edit->Color(), clWindow); // an edit has its own colour from the start

    label->SetColor(clRed);
    label->Font()->SetHeight(-20);
    EXPECT_FALSE(label->ParentColor());
    EXPECT_FALSE(label->ParentFont());
    s.form->SetColor(clLime);
    s.form->Font()->SetName("DejaVu Sans");
    EXPECT_EQ(label->Color(), clRed);
    EXPECT_EQ(label->Font()->Name(), "DejaVu Serif");

    edit->SetHint("tip");
    s.Show();
    EXPECT_EQ(edit->Widget()->toolTip(), "tip"); // ParentShowHint: the form shows hints
    s.form->SetShowHint(false);
    EXPECT_EQ(edit->Widget()->toolTip(), "");
    edit->SetShowHint(true);
    EXPECT_EQ(edit->Widget()->toolTip(), "tip");
}

TEST(GraphicControls, AColouredLabelWithoutCaptionPaintsASolidStrip) {
    Shown s;
    s.form->SetClientWidth(200);
    auto* strip = new TLabel(s.form.get());
    strip->SetParent(s.form.get());
    strip->SetAutoSize(false);
    strip->SetBounds(4, 10, 150, 23);
    strip->SetColor(clRed);
    auto* transparent = new TLabel(s.form.get());
    transparent->SetParent(s.form.get());
    transparent->SetAutoSize(false);
    transparent->SetBounds(4, 40, 150, 23);
    transparent->SetColor(clRed);
    transparent->SetTransparent(true);
    s.Show();
    const QImage image = s.form->Widget()->grab().toImage();
    const QColor red(255, 0, 0);
    for (const QPoint p : {QPoint(4, 10), QPoint(80, 20), QPoint(153, 32)})
        EXPECT_EQ(image.pixelColor(p), red) << p.x() << "," << p.y();
    EXPECT_NE(image.pixelColor(3, 20), red);
    EXPECT_NE(image.pixelColor(154, 20), red);
    EXPECT_NE(image.pixelColor(80, 50), red); // transparent: the form shows through
}

TEST(GraphicControls, AutoSizedLabelFitsItsCaption) {
    TTestForm form(nullptr);
    auto* label = new TLabel(&form);
    label->SetParent(&form);
    label->SetBounds(8, 8, 200, 40);
    label->SetCaption("IP");
    const int narrow = label->Width();
    label->SetCaption("IP Address and more");
    EXPECT_GT(label->Width(), narrow);
    EXPECT_LT(label->Height(), 40);
    EXPECT_EQ(label->Left(), 8);
    label->SetAutoSize(false);
    label->SetBounds(8, 8, 30, 40);
    label->SetCaption("long text that does not fit");
    EXPECT_EQ(label->Width(), 30);
}

TEST(Anchors, ControlsKeepTheirDistanceToAnchoredEdgesWhenTheParentGrows) {
    TTestForm form(nullptr);
    form.SetClientWidth(400);
    form.SetClientHeight(300);
    auto add = [&](TAnchors anchors) {
        auto* c = new TBevel(&form);
        c->SetParent(&form);
        c->SetBounds(10, 10, 100, 50);
        c->SetAnchors(anchors);
        return c;
    };
    auto* fixed = add({akLeft, akTop});
    auto* stretch = add({akLeft, akTop, akRight, akBottom});
    auto* bottomRight = add({akRight, akBottom});
    auto* floating = add({});
    form.SetClientWidth(500);
    form.SetClientHeight(360);
    EXPECT_EQ(QRect(fixed->Left(), fixed->Top(), fixed->Width(), fixed->Height()),
              QRect(10, 10, 100, 50));
    EXPECT_EQ(QRect(stretch->Left(), stretch->Top(), stretch->Width(), stretch->Height()),
              QRect(10, 10, 200, 110));
    EXPECT_EQ(
        QRect(bottomRight->Left(), bottomRight->Top(), bottomRight->Width(), bottomRight->Height()),
        QRect(110, 70, 100, 50));
    EXPECT_EQ(floating->Left(), 60);
    EXPECT_EQ(floating->Top(), 40);
    // Shrinking back restores the design exactly (no rounding drift).
    form.SetClientWidth(400);
    form.SetClientHeight(300);
    EXPECT_EQ(stretch->Width(), 100);
    EXPECT_EQ(bottomRight->Left(), 10);
    EXPECT_EQ(floating->Left(), 10);
}

TEST(TabOrder, FocusStartsInTheFirstControlAndTabFollowsTabOrder) {
    Shown s;
    TButton* button = nullptr;
    TEdit* second = nullptr;
    TEdit* first = nullptr;
    TMemo* memo = nullptr;
    s.form->Bindings().AddField("Button1", button);
    s.form->Bindings().AddField("Second", second);
    s.form->Bindings().AddField("First", first);
    s.form->Bindings().AddField("Memo1", memo);
    // Created in another order than the tab order says.
    s.form->Load(TestFormData(
        R"("Width": 400, "Height": 300)",
        R"({"class": "TMemo", "name": "Memo1", "properties": {"TabOrder": 3, "WantTabs": true, "Top": 60}},
           {"class": "TButton", "name": "Button1", "properties": {"TabOrder": 2, "Left": 200}},
           {"class": "TEdit", "name": "Second", "properties": {"TabOrder": 1, "Left": 100}},
           {"class": "TEdit", "name": "First", "properties": {"TabOrder": 0}})"));
    EXPECT_EQ(first->TabOrder(), 0);
    EXPECT_EQ(second->TabOrder(), 1);
    EXPECT_EQ(button->TabOrder(), 2);
    EXPECT_EQ(memo->TabOrder(), 3);
    s.Show();
    EXPECT_EQ(s.form->Frame()->focusWidget(), first->Widget());
    PressKey(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), second->Widget());
    PressKey(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), button->Widget());
    PressKey(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), memo->Widget());
    // Inside the multi-line edit Tab is a character.
    PressKey(QApplication::focusWidget(), Qt::Key_Tab, "\t");
    EXPECT_EQ(memo->Text(), "\t");
    EXPECT_EQ(QApplication::focusWidget(), memo->Widget());

    // Without WantTabs, Tab leaves it; without WantReturns, Enter adds no line.
    memo->SetWantTabs(false);
    memo->SetWantReturns(false);
    PressKey(QApplication::focusWidget(), Qt::Key_Return, "\r");
    EXPECT_EQ(memo->Text(), "\t");
    PressKey(QApplication::focusWidget(), Qt::Key_Tab, "\t");
    EXPECT_EQ(memo->Text(), "\t");
    EXPECT_EQ(QApplication::focusWidget(), first->Widget());

    // Moving a control in the tab order moves it in the focus chain too.
    button->SetTabOrder(0);
    EXPECT_EQ(first->TabOrder(), 1);
    PressKey(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), button->Widget());
}

TEST(PopupMenus, TheControlsMenuOpensOnAContextRequest) {
    Shown s;
    auto* edit = new TEdit(s.form.get());
    edit->SetParent(s.form.get());
    auto* menu = new TPopupMenu(s.form.get());
    auto* item = new TMenuItem(s.form.get());
    menu->Items()->Add(item);
    int clicked = 0;
    item->OnClick = [&](TObject*) { ++clicked; };
    edit->SetPopupMenu(menu);
    TPopupMenu* shown = nullptr;
    TPopupMenu::PopupHook = [&](TPopupMenu& m) {
        shown = &m;
        m.DispatchCommand(item->Command());
    };
    s.Show();
    emit edit->Widget()->customContextMenuRequested(QPoint(2, 2));
    TPopupMenu::PopupHook = nullptr;
    EXPECT_EQ(shown, menu);
    EXPECT_EQ(menu->PopupComponent(), edit);
    EXPECT_EQ(clicked, 1);
    delete menu; // the control forgets a freed menu
    EXPECT_EQ(edit->PopupMenu(), nullptr);
}

TEST(PopupMenus, ARightClickOpensTheNearestMenuOnce) {
    Shown s;
    auto* edit = new TEdit(s.form.get());
    edit->SetParent(s.form.get());
    edit->SetBounds(0, 0, 90, 24);
    auto* button = new TButton(s.form.get());
    button->SetParent(s.form.get());
    button->SetBounds(100, 0, 75, 25);
    auto* label = new TLabel(s.form.get());
    label->SetParent(s.form.get());
    label->SetAutoSize(false);
    label->SetBounds(0, 40, 60, 20);
    int labelClicks = 0;
    label->OnClick = [&](TObject*) { ++labelClicks; };
    auto* plainEdit = new TEdit(s.form.get());
    plainEdit->SetParent(s.form.get());
    plainEdit->SetBounds(0, 80, 90, 24);
    auto* editMenu = new TPopupMenu(s.form.get());
    auto* formMenu = new TPopupMenu(s.form.get());
    edit->SetPopupMenu(editMenu);
    s.form->SetPopupMenu(formMenu);
    std::vector<std::pair<TPopupMenu*, TComponent*>> shown;
    TPopupMenu::PopupHook = [&](TPopupMenu& m) { shown.emplace_back(&m, m.PopupComponent()); };
    s.Show();

    QTest::mouseClick(edit->Widget(), Qt::RightButton);
    // A button and a label have no menu of their own: the form's opens, for the form.
    QTest::mouseClick(button->Widget(), Qt::RightButton);
    QTest::mouseClick(label->Widget(), Qt::RightButton);
    // The context menu key.
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(2, 2),
                          edit->Widget()->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(edit->Widget(), &key);
    TPopupMenu::PopupHook = nullptr;
    EXPECT_EQ(shown, (std::vector<std::pair<TPopupMenu*, TComponent*>>{{editMenu, edit},
                                                                       {formMenu, s.form.get()},
                                                                       {formMenu, s.form.get()},
                                                                       {editMenu, edit}}));
    EXPECT_EQ(labelClicks, 0); // only the left button clicks

    // An edit without a menu of its own shows the edit menu, not the form's.
    QTest::mouseClick(plainEdit->Widget(), Qt::RightButton);
    ASSERT_TRUE(testsupport::PumpUntil([] { return QApplication::activePopupWidget(); },
                                       std::chrono::seconds(2)));
    EXPECT_TRUE(qobject_cast<QMenu*>(QApplication::activePopupWidget()));
    QApplication::activePopupWidget()->close();
    EXPECT_EQ(shown.size(), 4u);
}

TEST(WindowedControls, AnExceptionFromAHandlerGoesToTheApplicationAndTheWindowCarriesOn) {
    TApplication app;
    app.Initialize();
    std::vector<std::string> shown;
    app.OnException = [&](TObject*, const std::exception& e) { shown.push_back(e.what()); };
    Shown s;
    auto* button = new TButton(s.form.get());
    button->SetParent(s.form.get());
    int clicks = 0;
    button->OnClick = [&](TObject*) {
        if (++clicks == 1)
            throw EConvertError("'x' is not a valid integer value");
    };
    s.Show();
    auto* widget = qobject_cast<QPushButton*>(button->Widget());
    widget->click();
    widget->click();
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(shown, (std::vector<std::string>{"'x' is not a valid integer value"}));
}
