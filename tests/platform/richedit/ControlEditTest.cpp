// Undo, notifications to the parent, protected text and the option words.

#include "RichEditFixture.h"

#include <algorithm>

namespace {

int Count(const std::vector<Notification>& notes, UINT code) {
    return int(std::count_if(notes.begin(), notes.end(),
                             [code](const Notification& n) { return n.code == code; }));
}

TEST_F(RichEditTest, UndoAndRedoOfUndoableReplacements) {
    EXPECT_FALSE(Send(EM_CANUNDO));
    Replace(u"abc", true);
    Replace(u"def", true);
    EXPECT_EQ(Text(), u"abcdef");
    EXPECT_TRUE(Send(EM_CANUNDO));
    EXPECT_TRUE(Send(EM_UNDO));
    EXPECT_EQ(Text(), u"abc");
    EXPECT_EQ(Selection().cpMin, 3);
    EXPECT_TRUE(Send(EM_CANREDO));
    EXPECT_TRUE(Send(EM_REDO));
    EXPECT_EQ(Text(), u"abcdef");
    Select(1, 4);
    Replace(u"\r", true); // a replacement that removes text and adds a paragraph
    EXPECT_EQ(Text(), u"a\ref");
    EXPECT_EQ(LineCount(), 2);
    EXPECT_TRUE(Send(EM_UNDO));
    EXPECT_EQ(Text(), u"abcdef");
    EXPECT_EQ(LineCount(), 1);
    EXPECT_TRUE(Send(EM_UNDO));
    EXPECT_TRUE(Send(EM_UNDO));
    EXPECT_EQ(Text(), u"");
    EXPECT_FALSE(Send(EM_UNDO));
}

TEST_F(RichEditTest, ReplacementWithoutUndoCannotBeUndoneAndEndsTheHistory) {
    Replace(u"abc", true);
    Replace(u"def", false);
    EXPECT_FALSE(Send(EM_CANUNDO)); // the recorded positions would no longer hold
    EXPECT_FALSE(Send(EM_UNDO));
    EXPECT_EQ(Text(), u"abcdef");
    // Setting the whole text also starts a new history.
    Replace(u"x", true);
    SetText(u"new");
    EXPECT_FALSE(Send(EM_CANUNDO));
}

TEST_F(RichEditTest, UndoLimitKeepsTheNewestActions) {
    EXPECT_EQ(Send(EM_SETUNDOLIMIT, 2), 2);
    Replace(u"a", true);
    Replace(u"b", true);
    Replace(u"c", true);
    EXPECT_TRUE(Send(EM_UNDO));
    EXPECT_TRUE(Send(EM_UNDO));
    EXPECT_FALSE(Send(EM_UNDO));
    EXPECT_EQ(Text(), u"a");

    EXPECT_EQ(Send(EM_SETUNDOLIMIT, 0), 0);
    Replace(u"z", true);
    EXPECT_FALSE(Send(EM_CANUNDO));
    EXPECT_EQ(Send(EM_SETUNDOLIMIT, WPARAM(-1)), 100);
}

TEST_F(RichEditTest, FormatChangesUndoToo) {
    SetText(u"word");
    Select(0, 4);
    ASSERT_TRUE(SetCharFormat(SCF_SELECTION, CFM_BOLD, CFE_BOLD));
    EXPECT_TRUE(CharFormat(SCF_SELECTION).dwEffects & CFE_BOLD);
    EXPECT_TRUE(Send(EM_UNDO));
    Select(0, 4);
    EXPECT_FALSE(CharFormat(SCF_SELECTION).dwEffects & CFE_BOLD);
}

TEST_F(RichEditTest, NotificationsOnlyForKindsInTheEventMask) {
    EXPECT_EQ(Send(EM_GETEVENTMASK), 0);
    Replace(u"abc");
    Select(0, 1);
    EXPECT_TRUE(notes_.empty());

    EXPECT_EQ(Send(EM_SETEVENTMASK, 0, ENM_CHANGE | ENM_SELCHANGE), 0);
    EXPECT_EQ(Send(EM_GETEVENTMASK), LRESULT(ENM_CHANGE | ENM_SELCHANGE));
    Select(0, 2);
    ASSERT_EQ(notes_.size(), 1u);
    EXPECT_EQ(notes_[0].code, EN_SELCHANGE);
    EXPECT_EQ(notes_[0].range.cpMin, 0);
    EXPECT_EQ(notes_[0].range.cpMax, 2);
    EXPECT_EQ(notes_[0].selectionType, SEL_TEXT | SEL_MULTICHAR);
    Select(0, 2); // no change, no notification
    EXPECT_EQ(notes_.size(), 1u);

    notes_.clear();
    Replace(u"X");
    EXPECT_EQ(Count(notes_, EN_CHANGE), 1);
    EXPECT_EQ(Count(notes_, EN_SELCHANGE), 1);

    // Formatting is not a change of text.
    notes_.clear();
    Select(0, 1);
    notes_.clear();
    SetCharFormat(SCF_SELECTION, CFM_ITALIC, CFE_ITALIC);
    EXPECT_EQ(Count(notes_, EN_CHANGE), 0);

    Send(EM_SETEVENTMASK, 0, ENM_SELCHANGE);
    notes_.clear();
    Replace(u"Y");
    EXPECT_EQ(Count(notes_, EN_CHANGE), 0);
}

TEST_F(RichEditTest, ChangeHandlerMaySwitchNotificationsOffAndOn) {
    Send(EM_SETEVENTMASK, 0, ENM_CHANGE);
    int changes = 0;
    onChange_ = [&] {
        ++changes;
        const LRESULT mask = Send(EM_GETEVENTMASK);
        Send(EM_SETEVENTMASK, 0, mask & ~ENM_CHANGE);
        Replace(u"!"); // no nested notification while switched off
        Send(EM_SETEVENTMASK, 0, mask);
    };
    Replace(u"a");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(Text(), u"a!");
}

TEST_F(RichEditTest, ProtectedTextAsksTheParentFirst) {
    SetText(u"free LOCKED free");
    Select(5, 11);
    SetCharFormat(SCF_SELECTION, CFM_PROTECTED, CFE_PROTECTED);
    Send(EM_SETEVENTMASK, 0, ENM_PROTECTED);

    protectedAnswer_ = 1;
    Select(6, 8);
    Replace(u"xx");
    EXPECT_EQ(Text(), u"free LOCKED free");
    ASSERT_EQ(Count(notes_, EN_PROTECTED), 1);
    EXPECT_EQ(notes_.back().triggeringMessage, EM_REPLACESEL);
    EXPECT_EQ(notes_.back().range.cpMin, 6);
    EXPECT_EQ(notes_.back().range.cpMax, 8);
    // Inserting inside the protected stretch is a change of it; next to it is not.
    Select(7, 7);
    Replace(u"x");
    EXPECT_EQ(Text(), u"free LOCKED free");
    Select(11, 11);
    Replace(u"+");
    EXPECT_EQ(Text(), u"free LOCKED+ free");
    // Formatting protected text asks too; changing the protection itself does not.
    Select(5, 11);
    EXPECT_FALSE(SetCharFormat(SCF_SELECTION, CFM_BOLD, CFE_BOLD));
    notes_.clear();
    EXPECT_TRUE(SetCharFormat(SCF_SELECTION, CFM_PROTECTED, 0));
    EXPECT_EQ(Count(notes_, EN_PROTECTED), 0);
    Select(5, 11);
    SetCharFormat(SCF_SELECTION, CFM_PROTECTED, CFE_PROTECTED);

    protectedAnswer_ = 0;
    Select(5, 11);
    Replace(u"open");
    EXPECT_EQ(Text(), u"free open+ free");

    // Without the mask bit there is nobody to ask: the change goes through.
    SetText(u"abc");
    Select(0, 3);
    SetCharFormat(SCF_SELECTION, CFM_PROTECTED, CFE_PROTECTED);
    Send(EM_SETEVENTMASK, 0, 0);
    protectedAnswer_ = 1;
    Replace(u"z");
    EXPECT_EQ(Text(), u"z");
}

TEST_F(RichEditTest, OptionsAndModifyFlag) {
    EXPECT_EQ(Send(EM_GETOPTIONS), LRESULT(ECO_AUTOVSCROLL)); // created with a vertical bar
    EXPECT_EQ(Send(EM_SETOPTIONS, ECOOP_OR, ECO_SELECTIONBAR),
              LRESULT(ECO_AUTOVSCROLL | ECO_SELECTIONBAR));
    EXPECT_EQ(Send(EM_SETOPTIONS, ECOOP_AND, ~ECO_AUTOVSCROLL), LRESULT(ECO_SELECTIONBAR));
    EXPECT_EQ(Send(EM_SETOPTIONS, ECOOP_XOR, ECO_READONLY),
              LRESULT(ECO_SELECTIONBAR | ECO_READONLY));
    EXPECT_EQ(Send(EM_SETOPTIONS, ECOOP_SET, 0), 0);
    EXPECT_EQ(Send(EM_AUTOURLDETECT, 1), 0);
    EXPECT_EQ(Send(EM_AUTOURLDETECT, 2), E_INVALIDARG);
    EXPECT_EQ(Send(EM_SETBKGNDCOLOR, 0, LPARAM(RGB(1, 2, 3))), LRESULT(0xFFFFFF));
    EXPECT_EQ(Send(EM_SETBKGNDCOLOR, 1, 0), LRESULT(RGB(1, 2, 3)));

    EXPECT_EQ(Send(EM_GETMODIFY), 0);
    SetText(u"abc"); // setting the text does not count as a modification
    EXPECT_EQ(Send(EM_GETMODIFY), 0);
    Replace(u"d");
    EXPECT_NE(Send(EM_GETMODIFY), 0);
    Send(EM_SETMODIFY, 0);
    EXPECT_EQ(Send(EM_GETMODIFY), 0);

    // The object interface is there (its own tests are in ObjectsTest.cpp).
    IRichEditOle* ole = nullptr;
    EXPECT_EQ(Send(EM_GETOLEINTERFACE, 0, &ole), 1);
    ASSERT_NE(ole, nullptr);
    ole->Release();
    EXPECT_EQ(Send(EM_SETOLECALLBACK, 0, 0), 1);
}

TEST_F(RichEditTest, ClipboardCopyCutPasteAndTheSaveQuestion) {
    SetText(u"copy me");
    Select(0, 4);
    Send(WM_COPY);
    EXPECT_TRUE(Send(EM_CANPASTE));
    Select(7, 7);
    Send(WM_PASTE);
    EXPECT_EQ(Text(), u"copy mecopy");
    Select(0, 5);
    Send(WM_CUT);
    EXPECT_EQ(Text(), u"mecopy");
    Send(EM_UNDO);
    EXPECT_EQ(Text(), u"copy mecopy");

    // Going away, the control asks whether the clipboard keeps its copy.
    protectedAnswer_ = 0;
    DestroyWindow(edit_);
    ASSERT_FALSE(notes_.empty());
    EXPECT_EQ(notes_.back().code, EN_SAVECLIPBOARD);
}

TEST_F(RichEditTest, LoadedLibraryGivesTheClassAndItsProcedureForSubclassing) {
    WNDCLASS wc;
    ASSERT_TRUE(GetClassInfo(RICHEDIT_CLASSW, &wc));
    ASSERT_TRUE(bool(wc.lpfnWndProc));
    // A subclass sees every message first and passes it on to the class procedure.
    int seen = 0;
    const WNDPROC classProc = wc.lpfnWndProc;
    SetWindowProc(edit_, [&seen, classProc](HWND h, UINT m, WPARAM w, LPARAM l) {
        ++seen;
        return CallWindowProc(classProc, h, m, w, l);
    });
    SetText(u"through the subclass");
    EXPECT_EQ(Text(), u"through the subclass");
    EXPECT_GE(seen, 3);
    // The subclass goes with the count it updates: the fixture destroys the window later.
    SetWindowProc(edit_, classProc);
}

} // namespace
