// Embedded objects in the rich text control: the container callback's answers, the verb
// menu of a selected object, running verbs, and closing every object when the text is
// cleared or the window goes. The objects are the platform's sample objects in a real
// platform control.

#include "RichEditControlFixture.h"
#include "platform/ole/SampleObject.h"
#include "platform/richedit/RichEditObjects.h"

#include <cstdint>
#include <vector>

namespace {

constexpr DWORD Menu = OLEVERBATTRIB_ONCONTAINERMENU;

class OleTest : public RichEditControlTest {
protected:
    void SetUp() override {
        RichEditControlTest::SetUp();
        alive_ = SampleObjectsAlive();
        edit_->SetIncludeOLE(true);
        edit_->HandleNeeded();
    }
    void TearDown() override {
        for (IOleObject* object : objects_) {
            object->Release();
        }
        RichEditControlTest::TearDown();
        EXPECT_EQ(SampleObjectsAlive(), alive_) << "an object was kept after its window went";
    }

    // A sample object put into the text at cp; the test keeps a reference.
    SampleObject* Insert(LONG cp, std::vector<SampleVerb> verbs = DefaultSampleVerbs()) {
        IOleObject* object = nullptr;
        EXPECT_EQ(CreateSampleObject(std::move(verbs), u"sample", &object), S_OK);
        EXPECT_EQ(InsertObjectInto(Window(), object, cp), S_OK);
        objects_.push_back(object);
        return SampleObjectOf(object);
    }
    void Select(LONG from, LONG to) {
        CHARRANGE range{from, to};
        Send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    }
    IRichEditOleCallback* Callback() { return edit_->OleCallback(); }

    int alive_ = 0;
    std::vector<IOleObject*> objects_;
};

// --- the callback's answers -------------------------------------------------------------------

TEST_F(OleTest, TheCallbackAnswersForTheContainer) {
    IRichEditOleCallback* callback = Callback();
    ASSERT_NE(callback, nullptr);

    void* same = nullptr;
    EXPECT_EQ(callback->QueryInterface(IID_IRichEditOleCallback, &same), S_OK);
    EXPECT_EQ(same, callback);
    callback->Release();
    void* other = &same;
    EXPECT_EQ(callback->QueryInterface(IID_IOleObject, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);

    EXPECT_EQ(callback->ShowContainerUI(TRUE), E_NOTIMPL);
    EXPECT_EQ(callback->ContextSensitiveHelp(TRUE), E_NOTIMPL);
    EXPECT_EQ(callback->QueryInsertObject(nullptr, nullptr, 0), S_OK);
    EXPECT_EQ(callback->QueryAcceptData(nullptr, nullptr, RECO_PASTE, TRUE, nullptr), S_OK);
    auto* data = reinterpret_cast<IDataObject*>(&same);
    EXPECT_EQ(callback->GetClipboardData(nullptr, RECO_COPY, &data), E_NOTIMPL);
    EXPECT_EQ(data, nullptr);
    HMENU menu = 99;
    EXPECT_EQ(callback->GetContextMenu(SEL_OBJECT, nullptr, nullptr, &menu), S_OK);
    EXPECT_EQ(menu, HMENU(0));
}

TEST_F(OleTest, NewStorageIsAWorkingCompoundDocumentOnMemory) {
    IStorage* storage = nullptr;
    ASSERT_EQ(Callback()->GetNewStorage(&storage), S_OK);
    ASSERT_NE(storage, nullptr);
    IStream* stream = nullptr;
    ASSERT_EQ(storage->CreateStream(u"CONTENTS", STGM_READWRITE | STGM_SHARE_EXCLUSIVE, &stream),
              S_OK);
    ULONG written = 0;
    EXPECT_EQ(stream->Write("abc", 3, &written), S_OK);
    EXPECT_EQ(written, 3u);
    stream->Release();
    EXPECT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
    EXPECT_EQ(storage->OpenStream(u"CONTENTS", STGM_READ | STGM_SHARE_EXCLUSIVE, &stream), S_OK);
    char read[4] = {};
    ULONG count = 0;
    EXPECT_EQ(stream->Read(read, 3, &count), S_OK);
    EXPECT_EQ(std::string(read, count), "abc");
    stream->Release();
    storage->Release();

    EXPECT_EQ(Callback()->GetNewStorage(nullptr), E_POINTER);
}

TEST_F(OleTest, ObjectsActivateInTheFormsFrame) {
    IOleInPlaceFrame* frame = nullptr;
    IOleInPlaceUIWindow* document = reinterpret_cast<IOleInPlaceUIWindow*>(&frame);
    OLEINPLACEFRAMEINFO info{};
    info.fMDIApp = TRUE;
    info.cAccelEntries = 5;
    ASSERT_EQ(Callback()->GetInPlaceContext(&frame, &document, &info), S_OK);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(document, nullptr);
    EXPECT_EQ(info.fMDIApp, FALSE);
    EXPECT_EQ(info.hwndFrame, form_->Handle());
    EXPECT_EQ(info.haccel, nullptr);
    EXPECT_EQ(info.cAccelEntries, 0u);
    HWND window = nullptr;
    EXPECT_EQ(frame->GetWindow(&window), S_OK);
    EXPECT_EQ(window, form_->Handle());

    // The form has one frame, made on first use; each caller gets its own reference.
    IOleInPlaceFrame* again = nullptr;
    ASSERT_EQ(Callback()->GetInPlaceContext(&again, nullptr, &info), S_OK);
    EXPECT_EQ(again, frame);
    again->Release();

    // A frame outlives its form: it then has no window to give.
    form_.reset();
    EXPECT_EQ(frame->GetWindow(&window), E_FAIL);
    EXPECT_EQ(window, nullptr);
    frame->Release();
}

TEST_F(OleTest, ADropAsksForLinkCopyOrMoveByTheKeysHeld) {
    const DWORD all = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    const auto effect = [&](BOOL drag, DWORD keys, DWORD allowed) {
        DWORD e = allowed;
        EXPECT_EQ(Callback()->GetDragDropEffect(drag, keys, &e), S_OK);
        return e;
    };
    EXPECT_EQ(effect(FALSE, MK_CONTROL | MK_SHIFT, all), DROPEFFECT_LINK);
    EXPECT_EQ(effect(FALSE, MK_CONTROL, all), DROPEFFECT_COPY);
    EXPECT_EQ(effect(FALSE, 0, all), DROPEFFECT_MOVE);
    EXPECT_EQ(effect(FALSE, MK_SHIFT, all), DROPEFFECT_MOVE);
    EXPECT_EQ(effect(FALSE, MK_ALT, all), DROPEFFECT_MOVE);
    EXPECT_EQ(effect(FALSE, MK_LBUTTON | MK_CONTROL, all), DROPEFFECT_COPY);
    // The wanted effect is not among those allowed: the offer stands.
    EXPECT_EQ(effect(FALSE, MK_CONTROL | MK_SHIFT, DROPEFFECT_COPY | DROPEFFECT_MOVE),
              DROPEFFECT_COPY | DROPEFFECT_MOVE);
    EXPECT_EQ(effect(FALSE, 0, DROPEFFECT_COPY), DROPEFFECT_COPY);
    // While dragging out of the control the effect is left alone.
    EXPECT_EQ(effect(TRUE, MK_CONTROL, all), all);
}

TEST_F(OleTest, DeletingAnObjectClosesItWithoutSaving) {
    edit_->SetText("ab");
    SampleObject* object = Insert(1);
    ASSERT_NE(object, nullptr);
    Select(1, 2);
    EXPECT_NE(edit_->GetPopupMenu(), nullptr); // the object is now SelectedObject
    EXPECT_NE(edit_->SelectedObject(), nullptr);

    Send(WM_KEYDOWN, VK_DELETE, 1);
    EXPECT_EQ(WindowText(), u"ab");
    EXPECT_GE(object->CloseCount(), 1);
    EXPECT_EQ(object->LastCloseOption(), OLECLOSE_NOSAVE);
    EXPECT_EQ(edit_->SelectedObject(), nullptr);
}

// --- window creation --------------------------------------------------------------------------

TEST_F(OleTest, EmbeddedObjectSupportComesWithIncludeOLE) {
    EXPECT_NE(edit_->RichEditOle(), nullptr);
    EXPECT_EQ(edit_->RichEditOle()->GetObjectCount(), 0);

    // A re-created window has an interface of its own; the content and its object survive.
    edit_->SetText("x");
    Insert(1);
    edit_->SetHideScrollBars(false); // re-creates the window
    ASSERT_NE(edit_->RichEditOle(), nullptr);
    EXPECT_EQ(edit_->RichEditOle()->GetObjectCount(), 1);

    // A new callback replaces the old one.
    IRichEditOleCallback* before = Callback();
    before->AddRef();
    edit_->SetIncludeOLE(true);
    EXPECT_NE(Callback(), before);
    before->Release();

    // Without IncludeOLE the new window has no object interface.
    edit_->SetIncludeOLE(false);
    EXPECT_EQ(edit_->RichEditOle(), nullptr);
    EXPECT_NE(Callback(), nullptr); // kept for as long as the control lives
}

// A control whose platform window refuses the object interface or the callback.
class RefusingRichEdit : public TRichEdit20 {
public:
    RefusingRichEdit(TComponent* owner, UINT refused) : TRichEdit20(owner), refused_(refused) {}
    void WndProc(TMessage& Message) override {
        if (Message.Msg == refused_) {
            Message.Result = 0;
            return;
        }
        TRichEdit20::WndProc(Message);
    }

private:
    UINT refused_;
};

TEST_F(OleTest, AWindowWithoutObjectSupportRaisesWhatItLacks) {
    for (const auto& [refused, text] : {std::pair{EM_GETOLEINTERFACE, "Unable to get interface"},
                                        std::pair{EM_SETOLECALLBACK, "Unable to set callback"}}) {
        auto* edit = new RefusingRichEdit(form_.get(), refused);
        try {
            edit->SetParent(form_.get());
            edit->SetIncludeOLE(true); // re-creates the window
            ADD_FAILURE() << "no exception for " << text;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), text);
            EXPECT_EQ(e.ClassName(), "Exception");
        }
        EXPECT_TRUE(edit->HandleAllocated()); // the window exists by then
        delete edit;
    }
}

// --- the verb menu ----------------------------------------------------------------------------

TEST_F(OleTest, ASelectedObjectBringsItsVerbMenuInsteadOfThePopupMenu) {
    auto* popup = new TPopupMenu(form_.get());
    edit_->SetPopupMenu(popup);
    edit_->SetText("ab");
    EXPECT_EQ(edit_->GetPopupMenu(), popup); // no object selected

    SampleObject* object = Insert(1, {{0, u"&Edit", 0, Menu}, {7, u"&Play", 0, Menu}});
    Select(1, 2);
    TPopupMenu* menu = edit_->GetPopupMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_NE(menu, popup);
    ASSERT_EQ(menu->Items()->Count(), 2);
    EXPECT_EQ(menu->Items()->Items(0)->Caption(), "&Edit");
    EXPECT_TRUE(menu->Items()->Items(0)->Default());
    EXPECT_EQ(menu->Items()->Items(1)->Caption(), "&Play");
    EXPECT_FALSE(menu->Items()->Items(1)->Default());
    EXPECT_EQ(menu->Items()->Items(1)->Tag(), 1);

    // The second item runs the object's second verb in the control's window and bounds.
    menu->Items()->Items(1)->Click();
    ASSERT_EQ(object->VerbsDone(), std::vector<LONG>{7});
    EXPECT_EQ(object->LastVerbWindow(), Window());
    const RECT r = object->LastVerbRect();
    EXPECT_EQ(r.left, 8);
    EXPECT_EQ(r.top, 44);
    EXPECT_EQ(r.right, 708);
    EXPECT_EQ(r.bottom, 214);
    EXPECT_NE(object->LastVerbSite(), nullptr);

    // Asked again with the same object: the same menu, without asking the object again.
    object->FailEnumVerbs(true);
    EXPECT_EQ(edit_->GetPopupMenu(), menu);

    // With nothing selected the control's menu comes back and the verbs go.
    Select(0, 0);
    EXPECT_EQ(edit_->GetPopupMenu(), popup);
    EXPECT_EQ(edit_->VerbMenu(), nullptr);
    EXPECT_EQ(edit_->VerbList(), nullptr);
    EXPECT_EQ(edit_->SelectedObject(), nullptr);

    // A failed enumeration means no verbs and no menu at all.
    Select(1, 2);
    EXPECT_EQ(edit_->GetPopupMenu(), nullptr);
    EXPECT_EQ(edit_->GetPopupMenu(), nullptr);

    // Without AutoVerbMenu the control's own menu shows.
    edit_->SetAutoVerbMenu(false);
    EXPECT_EQ(edit_->GetPopupMenu(), popup);
}

TEST_F(OleTest, TheVerbListEndsAtTheFirstVerbNotForTheMenu) {
    edit_->SetText("abc");
    Insert(1, {{0, u"&Edit", 0x0008, Menu}, {1, u"Hidden", 0, 0}, {2, u"&Later", 0, Menu}});
    Insert(3, {{0, u"&Show", 0, Menu}, {-1, u"Negative", 0, Menu}, {3, u"&After", 0, Menu}});
    Select(1, 2);
    ASSERT_NE(edit_->GetPopupMenu(), nullptr);
    ASSERT_EQ(edit_->VerbList()->Count(), 1);
    EXPECT_EQ(edit_->VerbList()->Get(0), "&Edit");
    // The verb number in the low half of the entry's value, its menu flags in the high half.
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(edit_->VerbList()->GetObject(0)), 0x00080000u);

    Select(3, 4);
    ASSERT_NE(edit_->GetPopupMenu(), nullptr);
    ASSERT_EQ(edit_->VerbList()->Count(), 1);
    EXPECT_EQ(edit_->VerbList()->Get(0), "&Show");
}

TEST_F(OleTest, VerbsRunByIndexByPrimaryOrByNumber) {
    edit_->SetText("ab");
    SampleObject* object =
        Insert(1, {{0, u"&Edit", 0, Menu}, {5, u"&Five", 0, Menu}, {9, u"&Nine", 0, Menu}});
    edit_->ExecuteVerb(1); // nothing selected yet: nothing runs
    EXPECT_TRUE(object->VerbsDone().empty());

    Select(1, 2);
    ASSERT_NE(edit_->GetPopupMenu(), nullptr);
    edit_->ExecuteVerb(2);             // the list's third entry: verb 9
    edit_->ExecuteVerb(-65536);        // the primary verb
    edit_->ExecuteVerb(0);             // 0 is a verb number
    edit_->ExecuteVerb(OLEIVERB_SHOW); // a standard verb goes unchanged
    EXPECT_EQ(object->VerbsDone(), (std::vector<LONG>{9, 0, 0, OLEIVERB_SHOW}));

    try {
        edit_->ExecuteVerb(3);
        ADD_FAILURE() << "no exception for a verb index past the list";
    } catch (const EOleError& e) {
        EXPECT_EQ(e.Message(), "Invalid Verb");
    }

    object->FailDoVerb(OLEOBJ_E_NOVERBS);
    try {
        edit_->ExecuteVerb(1);
        ADD_FAILURE() << "no exception for a failed verb";
    } catch (const EOleSysError& e) {
        EXPECT_EQ(e.ErrorCode(), OLEOBJ_E_NOVERBS);
    }
    EXPECT_THROW(edit_->VerbMenuClick(edit_), EInvalidCast);
}

TEST_F(OleTest, ARightClickOnAnObjectShowsItsVerbs) {
    auto* popup = new TPopupMenu(form_.get());
    edit_->SetPopupMenu(popup);
    edit_->SetText("ab");
    Insert(1);
    std::vector<TPopupMenu*> shown;
    TPopupMenu::PopupHook = [&](TPopupMenu& m) { shown.push_back(&m); };
    Send(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Window()), LPARAM(-1));
    Select(1, 2);
    Send(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Window()), LPARAM(-1));
    TPopupMenu::PopupHook = nullptr;
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0], popup);
    EXPECT_EQ(shown[1], edit_->VerbMenu());
    EXPECT_EQ(shown[1]->Items()->Count(), 2);
}

// --- closing ----------------------------------------------------------------------------------

TEST_F(OleTest, ClearAndTheWindowsEndCloseEveryObject) {
    edit_->SetText("abc");
    std::vector<SampleObject*> objects{Insert(0), Insert(2), Insert(4)};
    EXPECT_EQ(edit_->RichEditOle()->GetObjectCount(), 3);
    Select(2, 3);
    ASSERT_NE(edit_->GetPopupMenu(), nullptr);

    edit_->Clear();
    EXPECT_EQ(WindowText(), u"");
    EXPECT_EQ(edit_->SelectedObject(), nullptr);
    for (SampleObject* object : objects) {
        EXPECT_GE(object->CloseCount(), 1);
        EXPECT_EQ(object->LastCloseOption(), OLECLOSE_NOSAVE);
    }

    // The window's end closes its objects; the next window has its own interface, and the
    // object comes back from the content kept in between.
    edit_->SetText("xy");
    SampleObject* last = Insert(1);
    IRichEditOle* before = edit_->RichEditOle();
    before->AddRef();
    edit_->SetHideScrollBars(false); // re-creates the window
    EXPECT_GE(last->CloseCount(), 1);
    ASSERT_NE(edit_->RichEditOle(), nullptr);
    EXPECT_NE(edit_->RichEditOle(), before);
    EXPECT_EQ(edit_->RichEditOle()->GetObjectCount(), 1);
    before->Release();
}

} // namespace
