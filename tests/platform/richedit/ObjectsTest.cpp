// Embedded objects in the control: its IRichEditOle, the object table, the callback's say in
// insertions and deletions, and undo.

#include "ObjectTestSupport.h"
#include "platform/richedit/RichEditControl.h"

namespace {

TEST_F(ObjectTest, InterfaceAndCallbackAreHandedOutAndKeptWithReferences) {
    ComPtr<IRichEditOle> first = Ole();
    ComPtr<IRichEditOle> second = Ole();
    ASSERT_TRUE(first);
    EXPECT_EQ(first.Get(), second.Get());
    EXPECT_EQ(Send(EM_GETOLEINTERFACE, 0, LPARAM(0)), 0);
    EXPECT_EQ(first->GetLinkCount(), 0);

    SetCallback();
    EXPECT_EQ(callback_->AddRef(), 3u); // the test's, the control's and this one
    callback_->Release();
    // A new callback replaces the old, which the control lets go of; null clears it.
    auto* other = MakeComObject<RecordingCallback>();
    EXPECT_EQ(Send(EM_SETOLECALLBACK, 0, static_cast<IRichEditOleCallback*>(other)), 1);
    EXPECT_EQ(callback_->AddRef(), 2u);
    callback_->Release();
    EXPECT_EQ(Send(EM_SETOLECALLBACK, 0, LPARAM(0)), 1);
    EXPECT_EQ(other->Release(), 0u);
    Send(EM_SETOLECALLBACK, 0, static_cast<IRichEditOleCallback*>(callback_));
}

TEST_F(ObjectTest, InsertedObjectsAreFoundByIndexCpAndSelection) {
    SetText(u"abcdef");
    ASSERT_EQ(InsertSample(u"third", 6), S_OK);
    ASSERT_EQ(InsertSample(u"first", 0), S_OK);
    Select(4, 4);
    ASSERT_EQ(InsertSample(u"second"), S_OK);
    EXPECT_EQ(Text(), u"\ufffcabc\ufffcdef\ufffc");
    EXPECT_EQ(Selection().cpMin, 5); // the caret follows the inserted object
    EXPECT_EQ(Ole()->GetObjectCount(), 3);
    EXPECT_EQ(Alive(), aliveBefore_ + 3);

    // By index, in text order, whatever the order of insertion.
    REOBJECT reo{};
    EXPECT_EQ(ObjectText(0, &reo), u"first");
    EXPECT_EQ(reo.cp, 0);
    EXPECT_EQ(ObjectText(1, &reo), u"second");
    EXPECT_EQ(reo.cp, 4);
    EXPECT_EQ(reo.clsid, CLSID_KelvorSampleObject);
    EXPECT_EQ(reo.sizel.cx, SampleObjectDefaultExtent.cx); // asked of the object for 0 x 0
    EXPECT_EQ(reo.dvaspect, DVASPECT_CONTENT);
    EXPECT_EQ(reo.dwFlags & REO_SELECTED, 0u);
    EXPECT_EQ(ObjectText(2, &reo), u"third");
    EXPECT_EQ(reo.cp, 8);
    EXPECT_EQ(ObjectText(3), u"");
    EXPECT_EQ(ObjectText(-3), u"");

    // By character position: only a placeholder's position names an object.
    EXPECT_EQ(ObjectText(REO_IOB_USE_CP, nullptr, 8), u"third");
    EXPECT_EQ(ObjectText(REO_IOB_USE_CP, nullptr, 1), u"");
    EXPECT_EQ(ObjectText(REO_IOB_USE_CP, nullptr, 99), u"");

    // The selection counts when it is exactly one placeholder.
    Select(4, 5);
    EXPECT_EQ(ObjectText(REO_IOB_SELECTION, &reo), u"second");
    EXPECT_NE(reo.dwFlags & REO_SELECTED, 0u);
    Select(3, 5);
    EXPECT_EQ(ObjectText(REO_IOB_SELECTION), u"");
    Select(4, 4);
    EXPECT_EQ(ObjectText(REO_IOB_SELECTION), u"");
}

TEST_F(ObjectTest, GetObjectHandsOutWhatItIsAskedForWithReferences) {
    ASSERT_EQ(InsertSample(u"one"), S_OK);
    REOBJECT reo{};
    reo.cbStruct = sizeof reo - 1;
    EXPECT_EQ(Ole()->GetObject(0, &reo, REO_GETOBJ_ALL_INTERFACES), E_INVALIDARG);
    EXPECT_EQ(Ole()->GetObject(0, nullptr, 0), E_INVALIDARG);
    reo.cbStruct = sizeof reo;
    ASSERT_EQ(Ole()->GetObject(0, &reo, REO_GETOBJ_NO_INTERFACES), S_OK);
    EXPECT_EQ(reo.poleobj, nullptr);
    EXPECT_EQ(reo.pstg, nullptr);
    EXPECT_EQ(reo.polesite, nullptr);
    ASSERT_EQ(Ole()->GetObject(0, &reo, REO_GETOBJ_ALL_INTERFACES), S_OK);
    ComPtr<IOleObject> object = ComPtr<IOleObject>::Attach(reo.poleobj);
    ComPtr<IStorage> storage = ComPtr<IStorage>::Attach(reo.pstg);
    ComPtr<IOleClientSite> site = ComPtr<IOleClientSite>::Attach(reo.polesite);
    ASSERT_TRUE(object && storage && site);
    // The object was given its site, and its storage holds what it saved.
    EXPECT_EQ(SampleObjectOf(object.Get())->ClientSite(), site.Get());
    ComPtr<IStream> contents;
    EXPECT_EQ(storage->OpenStream(u"CONTENTS", STGM_READ, contents.Put()), S_OK);
    // The site knows its window.
    HWND window = nullptr;
    ASSERT_EQ(site.As<IOleWindow>()->GetWindow(&window), S_OK);
    EXPECT_EQ(window, edit_);
}

TEST_F(ObjectTest, InsertionNotifiesLikeTypedText) {
    SetText(u"ab");
    Send(EM_SETEVENTMASK, 0, ENM_CHANGE | ENM_SELCHANGE);
    Select(1, 2);
    notes_.clear();
    ASSERT_EQ(InsertSample(u"x"), S_OK); // over the selection
    EXPECT_EQ(Text(), u"a\ufffc");
    ASSERT_GE(notes_.size(), 2u);
    EXPECT_EQ(notes_[0].code, UINT(EN_SELCHANGE));
    EXPECT_EQ(notes_[0].range.cpMin, 2);
    EXPECT_EQ(notes_.back().code, UINT(EN_CHANGE));
    EXPECT_EQ(Send(EM_CANUNDO), TRUE);
    EXPECT_NE(Send(EM_GETMODIFY), 0);
}

TEST_F(ObjectTest, InsertionChecksItsArgumentsAndTheCallback) {
    SetCallback();
    SetText(u"abc");
    REOBJECT reo{};
    reo.cbStruct = sizeof reo;
    EXPECT_EQ(Ole()->InsertObject(&reo), E_INVALIDARG); // no object
    callback_->queryInsert = E_FAIL;
    EXPECT_EQ(InsertSample(u"refused", 2), E_FAIL);
    EXPECT_EQ(Text(), u"abc");
    EXPECT_EQ(Alive(), aliveBefore_); // nothing kept of a refused object
    ASSERT_EQ(callback_->Count("QueryInsertObject"), 1);
    EXPECT_EQ(callback_->calls.back().cp, 2);
    callback_->queryInsert = S_OK;
    ASSERT_EQ(InsertSample(u"taken", 2), S_OK);
    EXPECT_EQ(Text(), u"ab\ufffcc");
    // The storage came from the callback.
    EXPECT_EQ(callback_->Count("GetNewStorage"), 2);
    REOBJECT got{};
    got.cbStruct = sizeof got;
    ASSERT_EQ(Ole()->GetObject(0, &got, REO_GETOBJ_PSTG), S_OK);
    EXPECT_EQ(got.pstg, callback_->storages.back());
    got.pstg->Release();
}

TEST_F(ObjectTest, EveryEditThatRemovesAPlaceholderTellsTheCallback) {
    SetCallback();
    const auto deletions = [this] { return callback_->Count("DeleteObject"); };
    SetText(u"ab");
    Select(1, 1);
    ASSERT_EQ(InsertSample(u"del"), S_OK);
    Select(1, 1);
    Send(WM_KEYDOWN, VK_DELETE);
    EXPECT_EQ(Text(), u"ab");
    ASSERT_EQ(deletions(), 1);
    EXPECT_EQ(callback_->calls.back().object, u"del");

    ASSERT_EQ(InsertSample(u"back", 1), S_OK);
    Select(2, 2);
    Send(WM_KEYDOWN, VK_BACK);
    EXPECT_EQ(deletions(), 2);

    ASSERT_EQ(InsertSample(u"typed over", 1), S_OK);
    Select(1, 2);
    Send(WM_CHAR, 'x');
    EXPECT_EQ(Text(), u"axb");
    EXPECT_EQ(deletions(), 3);

    ASSERT_EQ(InsertSample(u"replaced", 1), S_OK);
    Select(0, 3);
    Replace(u"new", true);
    EXPECT_EQ(deletions(), 4);
    EXPECT_EQ(callback_->calls.back().object, u"replaced");

    ASSERT_EQ(InsertSample(u"set", 1), S_OK);
    EXPECT_EQ(Alive(), aliveBefore_ + 5); // the undo history holds the four deleted ones
    SetText(u"fresh");
    EXPECT_EQ(deletions(), 5);
    EXPECT_EQ(Alive(), aliveBefore_); // new text empties the history: all are released

    ASSERT_EQ(InsertSample(u"streamed", 1), S_OK);
    StreamIn(SF_TEXT, "whole new text");
    EXPECT_EQ(deletions(), 6);
    EXPECT_EQ(callback_->calls.back().object, u"streamed");
    // Moving the caret or formatting removes nothing.
    ASSERT_EQ(InsertSample(u"stays", 0), S_OK);
    Select(0, 5);
    SetCharFormat(SCF_SELECTION, CFM_BOLD, CFE_BOLD);
    Send(WM_KEYDOWN, VK_RIGHT);
    EXPECT_EQ(deletions(), 6);
    EXPECT_EQ(Ole()->GetObjectCount(), 1);
}

TEST_F(ObjectTest, UndoBringsTheSameObjectBackUntilTheHistoryLetsGo) {
    SetCallback();
    SetText(u"ab");
    ASSERT_EQ(InsertSample(u"kept", 1), S_OK);
    REOBJECT reo{};
    reo.cbStruct = sizeof reo;
    ASSERT_EQ(Ole()->GetObject(0, &reo, REO_GETOBJ_POLEOBJ), S_OK);
    SampleObject* sample = SampleObjectOf(reo.poleobj);
    reo.poleobj->Release(); // the control's reference keeps it

    Select(1, 2);
    Send(WM_CLEAR);
    EXPECT_EQ(Ole()->GetObjectCount(), 0);
    EXPECT_EQ(callback_->Count("DeleteObject"), 1);
    EXPECT_EQ(Alive(), aliveBefore_ + 1); // the undo history holds it
    EXPECT_EQ(sample->CloseCount(), 0);

    ASSERT_EQ(Send(EM_UNDO), TRUE);
    EXPECT_EQ(Text(), u"a\ufffcb");
    ASSERT_EQ(Ole()->GetObject(0, &reo, REO_GETOBJ_POLEOBJ), S_OK);
    EXPECT_EQ(SampleObjectOf(reo.poleobj), sample); // the very same object
    reo.poleobj->Release();
    EXPECT_EQ(reo.cp, 1);

    // Redo deletes it again; the callback hears of it again.
    ASSERT_EQ(Send(EM_REDO), TRUE);
    EXPECT_EQ(Ole()->GetObjectCount(), 0);
    EXPECT_EQ(callback_->Count("DeleteObject"), 2);

    // Once the history is emptied the object is closed without saving and released.
    Send(EM_EMPTYUNDOBUFFER);
    EXPECT_EQ(Alive(), aliveBefore_);
    EXPECT_EQ(callback_->Count("DeleteObject"), 2);
}

TEST_F(ObjectTest, RedoKeepsAnObjectWhoseInsertionWasUndone) {
    SetCallback();
    ASSERT_EQ(InsertSample(u"again"), S_OK);
    ASSERT_EQ(Send(EM_UNDO), TRUE);
    EXPECT_EQ(Text(), u"");
    EXPECT_EQ(callback_->Count("DeleteObject"), 1);
    EXPECT_EQ(Alive(), aliveBefore_ + 1); // only the redo history holds it now
    ASSERT_EQ(Send(EM_REDO), TRUE);
    EXPECT_EQ(ObjectText(0), u"again");
    // Typing after an undo drops the redo history, and the object with it.
    ASSERT_EQ(Send(EM_UNDO), TRUE);
    Replace(u"x", true);
    EXPECT_EQ(Alive(), aliveBefore_);
}

TEST_F(ObjectTest, AnObjectBeyondTheUndoLimitIsReleased) {
    Send(EM_SETUNDOLIMIT, 2);
    SetText(u"ab");
    ASSERT_EQ(InsertSample(u"old", 1), S_OK);
    Select(1, 2);
    Send(WM_CLEAR);
    EXPECT_EQ(Alive(), aliveBefore_ + 1);
    Replace(u"x", true);
    Replace(u"y", true); // the deletion falls out of a history of two
    EXPECT_EQ(Alive(), aliveBefore_);
    EXPECT_EQ(Send(EM_UNDO), TRUE);
    EXPECT_EQ(Send(EM_UNDO), TRUE);
    EXPECT_EQ(Send(EM_UNDO), FALSE);
    EXPECT_EQ(Ole()->GetObjectCount(), 0);
}

TEST_F(ObjectTest, DestroyingTheWindowReleasesEverything) {
    SetCallback();
    SetText(u"abc");
    ASSERT_EQ(InsertSample(u"in text", 1), S_OK);
    ASSERT_EQ(InsertSample(u"in undo", 3), S_OK);
    Select(3, 4);
    Send(WM_CLEAR);
    ComPtr<IRichEditOle> ole = Ole();
    REOBJECT reo{};
    reo.cbStruct = sizeof reo;
    ASSERT_EQ(ole->GetObject(0, &reo, REO_GETOBJ_POLEOBJ), S_OK);
    ComPtr<IOleObject> held = ComPtr<IOleObject>::Attach(reo.poleobj);
    EXPECT_EQ(Alive(), aliveBefore_ + 2);

    DestroyWindow(edit_);
    edit_ = nullptr;
    EXPECT_EQ(Alive(), aliveBefore_ + 1); // only the one the test holds
    SampleObject* sample = SampleObjectOf(held.Get());
    EXPECT_EQ(sample->CloseCount(), 1);
    EXPECT_EQ(sample->LastCloseOption(), OLECLOSE_NOSAVE);
    EXPECT_EQ(sample->ClientSite(), nullptr);
    // The interface outlives the window and answers without touching it.
    EXPECT_EQ(ole->GetObjectCount(), 0);
    EXPECT_EQ(ole->GetObject(0, &reo, 0), E_UNEXPECTED);
    reo.poleobj = held.Get();
    EXPECT_EQ(ole->InsertObject(&reo), E_UNEXPECTED);
    ComPtr<IOleClientSite> site;
    EXPECT_EQ(ole->GetClientSite(site.Put()), E_UNEXPECTED);
}

TEST_F(ObjectTest, ASiteFromTheInterfaceServesAnInsertion) {
    ComPtr<IRichEditOle> ole = Ole();
    ComPtr<IOleClientSite> site;
    ASSERT_EQ(ole->GetClientSite(site.Put()), S_OK);
    ComPtr<IOleObject> object;
    ASSERT_EQ(CreateSampleObject(DefaultSampleVerbs(), u"direct", object.Put()), S_OK);
    REOBJECT reo{};
    reo.cbStruct = sizeof reo;
    reo.cp = REO_CP_SELECTION;
    reo.poleobj = object.Get();
    reo.polesite = site.Get();
    reo.sizel = {1000, 500};
    reo.dwUser = 77;
    ASSERT_EQ(ole->InsertObject(&reo), S_OK); // with no class id given
    EXPECT_EQ(SampleObjectOf(object.Get())->ClientSite(), site.Get());
    REOBJECT got{};
    EXPECT_EQ(ObjectText(0, &got), u"direct");
    EXPECT_EQ(got.sizel.cx, 1000);
    EXPECT_EQ(got.dwUser, 77u);
    EXPECT_EQ(got.clsid, CLSID_KelvorSampleObject); // asked of the object
    // No storage was given, and none is made up.
    got.cbStruct = sizeof got;
    ASSERT_EQ(ole->GetObject(0, &got, REO_GETOBJ_PSTG), S_OK);
    EXPECT_EQ(got.pstg, nullptr);
}

} // namespace
