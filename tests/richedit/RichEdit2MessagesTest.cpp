// What the control does with the messages it intercepts: the 8-bit/UTF-16 conversion of
// text, font changes, painting under a redraw lock, and the notifications that become events.

#include "RichEditControlFixture.h"

#include <QImage>
#include <QWidget>
#include <cstring>

namespace {

const std::string ShiftJisNihon = "\x93\xFA\x96\x7B"; // U+65E5 U+672C in code page 932

// The widget rendered onto white: whatever it does not paint stays white.
QImage Rendered(QWidget* widget) {
    QImage image(widget->size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    widget->render(&image);
    return image;
}

int CountColor(const QImage& image, QColor color) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            n += image.pixelColor(x, y) == color ? 1 : 0;
        }
    }
    return n;
}

TEST_F(RichEditControlTest, TextIsConvertedWithTheLanguagesCodePage) {
    edit_->SetLanguage(1043);
    EXPECT_EQ(edit_->LanguageCodePage(), 1252);
    edit_->SetText("abc");
    EXPECT_EQ(WindowText(), u"abc");
    EXPECT_EQ(edit_->Text(), "abc");
    EXPECT_EQ(Send(WM_GETTEXTLENGTH), 3);

    edit_->SetLanguage(1041); // Japanese: Shift-JIS
    EXPECT_EQ(edit_->LanguageCodePage(), 932);
    edit_->SetText(ShiftJisNihon);
    EXPECT_EQ(WindowText(), u"\u65E5\u672C");
    EXPECT_EQ(edit_->Text(), ShiftJisNihon);
    EXPECT_EQ(Send(WM_GETTEXTLENGTH), 2); // UTF-16 characters, not bytes

    // Paragraph ends count once.
    edit_->SetText("a\r\nb");
    EXPECT_EQ(Send(WM_GETTEXTLENGTH), 3);
    edit_->SetText("");
    EXPECT_EQ(WindowText(), u"");

    // The 8-bit text property stays 8-bit while the wide line list works (it clears the
    // control through it): read as UTF-16 it would run past its end.
    edit_->SetWideTextMode(true);
    edit_->SetText("ab");
    EXPECT_EQ(WindowText(), u"ab");
    edit_->Clear();
    EXPECT_EQ(WindowText(), u"");
    EXPECT_TRUE(edit_->WideTextMode());
    edit_->SetWideTextMode(false);
}

TEST_F(RichEditControlTest, ReadingMessagesGiveEightBitText) {
    edit_->SetLanguage(1041);
    edit_->SetText("ab" + ShiftJisNihon + "\r\nsecond");

    char untouched[8] = "keepme";
    CHARRANGE caret{1, 1};
    Send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&caret));
    EXPECT_EQ(Send(EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(untouched)), 0);
    EXPECT_STREQ(untouched, "keepme");

    CHARRANGE word{2, 4};
    Send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&word));
    char selected[16] = {};
    Send(EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(selected));
    EXPECT_EQ(edit_->SelectedText(), ShiftJisNihon); // both characters, nothing cut

    char range[16] = {};
    TEXTRANGEA textRange{{0, 2}, range};
    EXPECT_EQ(Send(EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&textRange)), 2);
    EXPECT_STREQ(range, "ab");

    char line[16] = {};
    const WORD size = 10;
    std::memcpy(line, &size, sizeof size);
    const auto copied = Send(EM_GETLINE, 1, reinterpret_cast<LPARAM>(line));
    EXPECT_EQ(copied, 6);
    EXPECT_STREQ(line, "second");
    // Within the caller's size, zero included.
    const WORD small = 4;
    std::memcpy(line, &small, sizeof small);
    EXPECT_EQ(Send(EM_GETLINE, 1, reinterpret_cast<LPARAM>(line)), 3);
    EXPECT_STREQ(line, "sec");
}

TEST_F(RichEditControlTest, ReplacementsAreConvertedAndAlwaysUndoable) {
    edit_->SetUndoLimit(10);
    edit_->SetLanguage(1041);
    Send(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(ShiftJisNihon.c_str()));
    EXPECT_EQ(WindowText(), u"\u65E5\u672C");
    EXPECT_TRUE(Send(EM_CANUNDO)); // wParam 0 asked for none; the control makes it undoable

    // In wide mode the text goes through as UTF-16.
    edit_->SetWideTextMode(true);
    const std::u16string wide = u"\u00E9t\u00E9";
    Send(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    edit_->SetWideTextMode(false);
    EXPECT_EQ(WindowText(), u"\u65E5\u672C\u00E9t\u00E9");
}

TEST_F(RichEditControlTest, FontsReachTheDefaultFormat) {
    edit_->Font()->SetName("DejaVu Sans Mono");
    edit_->Font()->SetSize(14);
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    Send(EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
    EXPECT_EQ(std::u16string(format.szFaceName), u"DejaVu Sans Mono");
    EXPECT_EQ(format.yHeight, 14 * 20);

    // WM_SETFONT assigns the control's font again instead of reaching the platform control.
    CHARFORMAT2W other{};
    other.cbSize = sizeof other;
    other.dwMask = CFM_SIZE;
    other.yHeight = 400;
    Send(EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&other));
    Send(WM_SETFONT, 0, 0);
    Send(EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
    EXPECT_EQ(format.yHeight, 14 * 20);
}

TEST_F(RichEditControlTest, NotificationsBecomeEvents) {
    int selections = 0;
    int changes = 0;
    edit_->OnSelectionChange = [&](TObject* sender) {
        EXPECT_EQ(sender, edit_);
        ++selections;
    };
    edit_->OnChange = [&](TObject*) { ++changes; };
    RECT requested{};
    edit_->OnResizeRequest = [&](TObject*, const RECT& rect) { requested = rect; };
    edit_->Lines()->Add("one");
    EXPECT_GT(changes, 0);
    EXPECT_GT(selections, 0);
    EXPECT_GT(requested.bottom, 0);

    // Protected text: without a handler every change is refused; a handler may allow it.
    CHARRANGE all{0, -1};
    Send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&all));
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    format.dwMask = CFM_PROTECTED;
    format.dwEffects = CFE_PROTECTED;
    Send(EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    CHARRANGE inside{1, 2};
    Send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&inside));
    edit_->SetSelectedText("X");
    EXPECT_EQ(WindowText(), u"one\r");
    int asked = 0;
    edit_->OnProtectChange = [&](TObject*, int start, int end, bool& allow) {
        ++asked;
        EXPECT_EQ(start, 1);
        EXPECT_EQ(end, 2);
        allow = true;
    };
    edit_->SetSelectedText("X");
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(WindowText(), u"oXe\r");
}

TEST_F(RichEditControlTest, NothingIsPaintedWhileRedrawIsLocked) {
    form_->Show();
    Pump();
    QWidget* widget = GetWindowWidget(Window());
    ASSERT_NE(widget, nullptr);
    const QColor green(0, 128, 0);
    edit_->RedrawLock = 1;
    Send(EM_SETBKGNDCOLOR, 0, LPARAM(RGB(0, 128, 0)));
    EXPECT_EQ(CountColor(Rendered(widget), green), 0);
    edit_->RedrawLock = 0;
    InvalidateRect(Window(), nullptr, TRUE);
    EXPECT_GT(CountColor(Rendered(widget), green), 0);
    // The colour property goes to the platform control as its background.
    edit_->SetColor(clSilver);
    EXPECT_GT(CountColor(Rendered(widget), QColor(192, 192, 192)), 0);
}


// A change of reading order sets the selection's paragraphs to the control's alignment.
TEST_F(RichEditControlTest, ABidirectionalModeChangeSetsTheParagraphAlignment) {
    edit_->SetAlignment(taCenter);
    edit_->Lines()->Add("centred");
    PARAFORMAT2 format{};
    format.cbSize = sizeof format;
    Send(EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&format));
    EXPECT_EQ(format.wAlignment, PFA_LEFT); // the platform's paragraphs start out left
    edit_->SetBiDiMode(bdRightToLeft);
    Send(EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&format));
    EXPECT_EQ(format.wAlignment, PFA_CENTER);
    EXPECT_EQ(edit_->BiDiMode(), bdRightToLeft);
}

} // namespace
