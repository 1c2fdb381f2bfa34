#include "ObjectTestSupport.h"

#include "platform/richedit/RichEditControl.h"

#include <algorithm>

int TestData::alive = 0;

namespace {

std::u16string SampleText(IOleObject* object) {
    const SampleObject* sample = SampleObjectOf(object);
    return sample ? sample->Text() : u"<not a sample>";
}

} // namespace

int Alive() {
    return SampleObjectsAlive();
}

std::vector<std::string> RecordingCallback::Names() const {
    std::vector<std::string> names;
    for (const Call& call : calls) {
        names.push_back(call.name);
    }
    return names;
}

int RecordingCallback::Count(const std::string& name) const {
    return int(std::count_if(calls.begin(), calls.end(),
                             [&name](const Call& call) { return call.name == name; }));
}

HRESULT RecordingCallback::GetNewStorage(IStorage** storage) {
    calls.push_back({"GetNewStorage"});
    ComPtr<ILockBytes> bytes;
    HRESULT hr = CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.Put());
    if (SUCCEEDED(hr)) {
        hr = StgCreateDocfileOnILockBytes(
            bytes.Get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, storage);
    }
    if (SUCCEEDED(hr)) {
        storages.push_back(*storage);
    }
    return hr;
}

HRESULT RecordingCallback::QueryInsertObject(CLSID*, IStorage*, LONG cp) {
    Call call{"QueryInsertObject"};
    call.cp = cp;
    calls.push_back(call);
    return queryInsert;
}

HRESULT RecordingCallback::DeleteObject(IOleObject* object) {
    Call call{"DeleteObject"};
    call.object = SampleText(object);
    calls.push_back(call);
    return S_OK;
}

HRESULT RecordingCallback::GetClipboardData(CHARRANGE* range, DWORD reco, IDataObject** data) {
    Call call{"GetClipboardData"};
    call.range = *range;
    call.reco = reco;
    calls.push_back(call);
    *data = SUCCEEDED(clipboard) ? MakeComObject<TestData>() : nullptr;
    return clipboard;
}

HRESULT RecordingCallback::GetDragDropEffect(BOOL drag, DWORD keyState, DWORD* effect) {
    Call call{"GetDragDropEffect"};
    call.drag = drag;
    call.keyState = keyState;
    calls.push_back(call);
    *effect = dropEffect;
    return S_OK;
}

HRESULT RecordingCallback::GetContextMenu(WORD selectionType, IOleObject* object, CHARRANGE* range,
                                          HMENU* menu) {
    Call call{"GetContextMenu"};
    call.selectionType = selectionType;
    call.object = object ? SampleText(object) : u"";
    call.range = *range;
    calls.push_back(call);
    *menu = 0;
    return S_OK;
}

void ObjectTest::SetUp() {
    aliveBefore_ = Alive();
    RichEditTest::SetUp();
}

void ObjectTest::TearDown() {
    RichEditTest::TearDown(); // destroys the window, which lets go of every object
    EXPECT_EQ(Alive(), aliveBefore_) << "sample objects left alive";
    if (callback_) {
        EXPECT_EQ(callback_->Release(), 0u) << "the control kept its callback";
    }
}

ComPtr<IRichEditOle> ObjectTest::Ole() {
    ComPtr<IRichEditOle> ole;
    EXPECT_EQ(Send(EM_GETOLEINTERFACE, 0, ole.Put()), 1);
    return ole;
}

HRESULT ObjectTest::InsertSample(const std::u16string& text, LONG cp) {
    ComPtr<IOleObject> object;
    HRESULT hr = CreateSampleObject(DefaultSampleVerbs(), text, object.Put());
    return SUCCEEDED(hr) ? InsertObjectInto(edit_, object.Get(), cp) : hr;
}

std::u16string ObjectTest::ObjectText(LONG iob, REOBJECT* out, LONG cp) {
    REOBJECT reo{};
    reo.cbStruct = sizeof reo;
    reo.cp = cp;
    if (FAILED(Ole()->GetObject(iob, &reo, REO_GETOBJ_POLEOBJ))) {
        return {};
    }
    ComPtr<IOleObject> object = ComPtr<IOleObject>::Attach(reo.poleobj);
    if (out) {
        *out = reo;
        out->poleobj = nullptr;
    }
    return SampleText(object.Get());
}

void ObjectTest::SetCallback() {
    callback_ = MakeComObject<RecordingCallback>();
    EXPECT_EQ(Send(EM_SETOLECALLBACK, 0, static_cast<IRichEditOleCallback*>(callback_)), 1);
}

RichEditControl* ObjectTest::Control() {
    return RichEditControlOf(edit_);
}
