#pragma once
// For the embedded-object tests: a rich edit window with an object callback that records
// every call and answers as a test tells it, and helpers over the control's IRichEditOle.

#include "RichEditFixture.h"
#include "platform/ole/SampleObject.h"
#include "platform/richedit/RichEditObjects.h"

#include <string>
#include <vector>

class RichEditControl;

class RecordingCallback final : public ComObject<IRichEditOleCallback> {
public:
    struct Call {
        std::string name;
        LONG cp = -1;            // QueryInsertObject
        std::u16string object;   // DeleteObject, GetContextMenu: the sample's text
        WORD selectionType = 0;  // GetContextMenu
        CHARRANGE range{-1, -1}; // GetContextMenu, GetClipboardData
        DWORD reco = 0;          // GetClipboardData
        DWORD keyState = 0;      // GetDragDropEffect
        BOOL drag = FALSE;
    };
    std::vector<Call> calls;
    HRESULT queryInsert = S_OK;
    HRESULT clipboard = E_NOTIMPL;
    DWORD dropEffect = DROPEFFECT_COPY;
    std::vector<IStorage*> storages; // those GetNewStorage handed out (not referenced)

    std::vector<std::string> Names() const;
    int Count(const std::string& name) const;

    HRESULT GetNewStorage(IStorage** storage) override;
    HRESULT GetInPlaceContext(IOleInPlaceFrame**, IOleInPlaceUIWindow**,
                              OLEINPLACEFRAMEINFO*) override {
        return E_NOTIMPL;
    }
    HRESULT ShowContainerUI(BOOL) override { return E_NOTIMPL; }
    HRESULT QueryInsertObject(CLSID* clsid, IStorage* storage, LONG cp) override;
    HRESULT DeleteObject(IOleObject* object) override;
    HRESULT QueryAcceptData(IDataObject*, CLIPFORMAT*, DWORD, BOOL, HGLOBAL) override {
        return E_NOTIMPL;
    }
    HRESULT ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT GetClipboardData(CHARRANGE* range, DWORD reco, IDataObject** data) override;
    HRESULT GetDragDropEffect(BOOL drag, DWORD keyState, DWORD* effect) override;
    HRESULT GetContextMenu(WORD selectionType, IOleObject* object, CHARRANGE* range,
                           HMENU* menu) override;
};

// Data a container hands out for the clipboard; counts how many are alive.
class TestData final : public ComObject<IDataObject> {
public:
    static int alive;
    TestData() { ++alive; }

protected:
    ~TestData() override { --alive; }
};

class ObjectTest : public RichEditTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // The control's interface, with a reference the test holds.
    ComPtr<IRichEditOle> Ole();
    // A new sample object with text, inserted at cp; S_OK or what the insertion answered.
    HRESULT InsertSample(const std::u16string& text, LONG cp = REO_CP_SELECTION);
    // The sample text of the object GetObject finds (empty when none), and its REOBJECT.
    std::u16string ObjectText(LONG iob, REOBJECT* out = nullptr, LONG cp = 0);
    void SetCallback(); // installs callback_
    RichEditControl* Control();

    RecordingCallback* callback_ = nullptr; // the test's own reference
    int aliveBefore_ = 0;
};

// Sample objects alive in this process.
int Alive();
