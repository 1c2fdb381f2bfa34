// The rich text control's core: its initial state, window creation and re-creation, the
// selection and caret operations, the text limit, form data and printing.

#include "../framework/FormTestSupport.h"
#include "RichEditControlFixture.h"
#include "framework/FormWriter.h"
#include "framework/Printers.h"
#include "tests/support/Files.h"

#include <QDir>
#include <QTemporaryDir>

namespace {

TEST_F(RichEditControlTest, ANewControlStartsAsDescribed) {
    TRichEdit20 fresh(nullptr);
    EXPECT_EQ(fresh.URLColor(), TColor(0xFF0000));
    EXPECT_EQ(fresh.URLCursor(), -21);
    EXPECT_EQ(fresh.LangOptions(), TLangOptions{loAutoFont});
    EXPECT_TRUE(fresh.AutoVerbMenu());
    EXPECT_EQ(fresh.InputFormat(), ifRTF);
    EXPECT_EQ(fresh.OutputFormat(), ofRTF);
    EXPECT_EQ(fresh.AutoURLDetect(), adNone);
    EXPECT_EQ(fresh.UndoLimit(), 0);
    EXPECT_FALSE(fresh.AllowInPlace());
    EXPECT_FALSE(fresh.ShowSelectionBar());
    EXPECT_TRUE(fresh.HideScrollBars());
    EXPECT_TRUE(fresh.HideSelection());
    EXPECT_TRUE(fresh.WordFormatting());
    EXPECT_FALSE(fresh.WideTextMode());
    EXPECT_TRUE(fresh.TabStop());
    EXPECT_EQ(fresh.Width(), 185);
    EXPECT_EQ(fresh.Height(), 89);
    EXPECT_EQ(fresh.Language(), TLanguage(GetSystemDefaultLCID() & 0xFFFF));
    EXPECT_EQ(fresh.LanguageCodePage(), CodePageOfLanguage(fresh.Language()));
    EXPECT_FALSE(fresh.HandleAllocated());
}

TEST_F(RichEditControlTest, TheWindowComesFromThePlatformClassWithTheControlsSettings) {
    EXPECT_EQ(GetClassName(Window()), std::string(RICHEDIT_CLASSW));
    EXPECT_NE(RichEdit2Library(), nullptr);
    EXPECT_EQ(Send(EM_GETEVENTMASK),
              LRESULT(ENM_CHANGE | ENM_REQUESTRESIZE | ENM_SELCHANGE | ENM_PROTECTED | ENM_LINK));
    // Without a limit of its own the control takes text without one.
    EXPECT_EQ(Send(EM_GETLIMITTEXT), 0x7FFFFFFF);
    edit_->SetMaxLength(10);
    EXPECT_EQ(Send(EM_GETLIMITTEXT), 10);
    edit_->SetMaxLength(0);
    EXPECT_EQ(Send(EM_GETLIMITTEXT), 0x7FFFFFFF);

    // Style bits follow HideScrollBars and HideSelection when the window is made.
    EXPECT_FALSE(GetWindowLongPtr(Window(), GWL_STYLE) & ES_DISABLENOSCROLL);
    edit_->SetHideScrollBars(false);
    EXPECT_TRUE(GetWindowLongPtr(Window(), GWL_STYLE) & ES_DISABLENOSCROLL);
    edit_->SetHideSelection(false);
    edit_->SetHideScrollBars(true); // a new window, made with both settings
    EXPECT_FALSE(GetWindowLongPtr(Window(), GWL_STYLE) & ES_DISABLENOSCROLL);
    EXPECT_TRUE(GetWindowLongPtr(Window(), GWL_STYLE) & ES_NOHIDESEL);

    // A direct call reaches the platform control with no conversion.
    const std::u16string wide = u"\u65E5\u672C";
    edit_->CallRichEditProc(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    EXPECT_EQ(WindowText(), wide);
    TRichEdit20 windowless(nullptr);
    EXPECT_EQ(windowless.CallRichEditProc(WM_GETTEXTLENGTH, 0, 0), 0);
}

TEST_F(RichEditControlTest, SettingsSentBeforeTheWindowExistsAreDroppedOrReplayed) {
    TRichEdit20* late = new TRichEdit20(form_.get());
    late->SetParent(form_.get());
    late->SetUndoLimit(5);           // dropped: no window
    late->SetShowSelectionBar(true); // replayed at creation
    late->SetLangOptions(TLangOptions{});
    const HWND hwnd = late->Handle();
    EXPECT_TRUE(SendMessage(hwnd, EM_GETOPTIONS, 0, 0) & ECO_SELECTIONBAR);
    EXPECT_EQ(SendMessage(hwnd, EM_GETLANGOPTIONS, 0, 0), 0);
    EXPECT_EQ(SendMessage(hwnd, EM_SETUNDOLIMIT, WPARAM(-1), 0), 100); // still the default
}

TEST_F(RichEditControlTest, SelectionAndCaretOperations) {
    edit_->Lines()->SetText("first line\nsecond\nthird one");
    edit_->SetSelectionStart(6);
    EXPECT_EQ(edit_->SelectionStart(), 6);
    EXPECT_EQ(edit_->SelectionLength(), 0);
    edit_->SetSelectionLength(4);
    EXPECT_EQ(edit_->SelectedText(), "line");
    char buffer[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(edit_->GetSelTextBuf(buffer, 3), 2); // the zero counts: nothing past the buffer
    EXPECT_EQ(std::string(buffer), "li");
    edit_->SetSelectedText("LINE");
    EXPECT_EQ(edit_->Lines()->Get(0), "first LINE");

    // The first character of line 3 is column 0, line 2.
    edit_->SetSelectionStart(18);
    const POINT caret = edit_->CaretPosition();
    EXPECT_EQ(caret.x, 0);
    EXPECT_EQ(caret.y, 2);
    edit_->SetSelectionStart(21);
    EXPECT_EQ(edit_->CaretPosition().x, 3);

    edit_->SetModified(true);
    edit_->Clear();
    EXPECT_EQ(edit_->TextLength(), 0);
    EXPECT_FALSE(edit_->Modified());
}

TEST_F(RichEditControlTest, ReCreatingTheWindowKeepsTextAndFormats) {
    edit_->Lines()->Add("plain");
    edit_->Lines()->Add("bold words");
    CHARRANGE range{6, 10};
    Send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    edit_->SelectionAttributes()->SetBold(true);
    const HWND before = Window();
    edit_->SetShowSelectionBar(true);
    EXPECT_NE(Window(), before) << "the window was made anew";
    EXPECT_TRUE(Send(EM_GETOPTIONS) & ECO_SELECTIONBAR);
    EXPECT_EQ(edit_->Lines()->Count(), 2);
    EXPECT_EQ(edit_->Lines()->Get(1), "bold words");
    Send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    EXPECT_TRUE(edit_->SelectionAttributes()->Bold());
    range = {0, 5};
    Send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    EXPECT_FALSE(edit_->SelectionAttributes()->Bold());
    edit_->SetShowSelectionBar(false);
    EXPECT_FALSE(Send(EM_GETOPTIONS) & ECO_SELECTIONBAR);
    EXPECT_EQ(edit_->Lines()->Get(0), "plain");
}

// Re-creation keeps the content by saving it; a control that goes away for good saves
// nothing and copies nothing (a day of capture would be serialised or copied only to be
// thrown away).
TEST_F(RichEditControlTest, OnlyARecreatedWindowSavesItsContent) {
    int saves = 0;
    edit_->OnSaveProgress = [&](TObject*, int, int) { ++saves; };
    edit_->Lines()->Add("content");
    edit_->SetHideScrollBars(!edit_->HideScrollBars());
    EXPECT_GT(saves, 0);
    EXPECT_EQ(edit_->Lines()->Get(0), "content");
    saves = 0;
    int textCopies = 0;
    const HWND window = Window();
    const WNDPROC previous = GetWindowProc(window);
    SetWindowProc(window, [&textCopies, previous](HWND h, UINT m, WPARAM w, LPARAM l) {
        if (m == WM_GETTEXT)
            ++textCopies;
        return CallWindowProc(previous, h, m, w, l);
    });
    delete edit_;
    edit_ = nullptr;
    EXPECT_EQ(saves, 0);
    EXPECT_EQ(textCopies, 0);
}

TEST_F(RichEditControlTest, PrintingPutsEveryCharacterOnPagesOnce) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = QDir(dir.path()).filePath("print.pdf").toStdString();
    for (int i = 0; i < 400; ++i) {
        edit_->Lines()->Add("line " + std::to_string(i) + " of the printed text");
    }
    Printer()->SetOutputFileName(path);
    edit_->PrintText("bit stream");
    Printer()->SetOutputFileName("");
    ASSERT_FALSE(testsupport::ReadFile(path).empty());
    EXPECT_GT(testsupport::PdfPageCount(path), 3); // 400 lines do not fit one page
    EXPECT_FALSE(Printer()->Printing());
    // Read back, every line is there once and in order.
    KELVOR_REQUIRE_PDFTOTEXT();
    const std::string text = testsupport::PdfText(path);
    std::size_t at = 0;
    for (int i = 0; i < 400; ++i) {
        const std::string line = "line " + std::to_string(i) + " of the printed text";
        const std::size_t found = text.find(line + "\n", at);
        ASSERT_NE(found, std::string::npos) << line;
        at = found + line.size();
        EXPECT_EQ(text.find(line + "\n", at), std::string::npos) << line << " twice";
    }
    // The job leaves the control's format cache released and its text alone.
    EXPECT_EQ(edit_->Lines()->Count(), 400);
}

TEST_F(RichEditControlTest, TheContentTravelsInFormDataAsRtf) {
    // An empty control writes no "RTF" value.
    edit_->SetName("Edit");
    EXPECT_EQ(WriteComponentData(form_.get()).find("\"RTF\""), std::string::npos);

    edit_->Lines()->Add("kept in form data");
    edit_->Lines()->Add("second line");
    std::string data = WriteComponentData(form_.get());
    const std::size_t rtf = data.find("\"RTF\": \"{\\\\rtf");
    ASSERT_NE(rtf, std::string::npos) << data;

    // Read into a form of our own, with change handlers bound: reading the content replaces
    // it and tells neither handler.
    const std::string formClass = "\"class\": \"TForm\"";
    data.replace(data.find(formClass), formClass.size(), "\"class\": \"TTestForm\"");
    const std::string properties = "\"properties\": {";
    data.insert(data.find(properties, data.find("TRichEdit20")) + properties.size(),
                "\"OnChange\": \"Changed\", \"OnSelectionChange\": \"Changed\", ");
    TTestForm copy(nullptr);
    int changes = 0;
    copy.Bindings().AddHandler<TNotifyEvent>("Changed", [&](TObject*) { ++changes; });
    copy.Load(data);
    auto* loaded = dynamic_cast<TRichEdit20*>(copy.FindComponent("Edit"));
    ASSERT_NE(loaded, nullptr);
    loaded->HandleNeeded(); // the content was read before the window existed: it waited
    EXPECT_EQ(loaded->Lines()->Count(), 2);
    EXPECT_EQ(loaded->Lines()->Get(0), "kept in form data");
    EXPECT_EQ(loaded->Lines()->Get(1), "second line");
    EXPECT_EQ(changes, 0);
    ASSERT_TRUE(loaded->OnChange); // bound, and still bound after the content was read
    ASSERT_TRUE(loaded->OnSelectionChange);
    loaded->Lines()->Add("now it counts");
    EXPECT_GT(changes, 0);
}

} // namespace
