// Embedded objects in the control: inserting and finding them for the control's
// IRichEditOle, and keeping the object table in line with the text and its undo history.
//
// The text decides which objects live. An object whose placeholder leaves the text by an edit
// (typing over it, deleting, replacing, new text, a stream-in of a whole document) is
// reported to the callback's DeleteObject; the control keeps its references as long as the
// undo or redo history holds the placeholder, so undo brings the same object back. Once
// neither does (the history was emptied or ran past its limit), the object is closed without
// saving and released.

#include "platform/richedit/RichEditControl.h"
#include "platform/richedit/RichEditObjects.h"

#include <unordered_set>

namespace {

bool ValidStruct(const REOBJECT* object) {
    return object && object->cbStruct == sizeof(REOBJECT);
}

} // namespace

RichEditControl::ObjectScope::~ObjectScope() {
    if (--control_.depth_ == 0 && !control_.objectTable_.Empty()) {
        control_.SettleObjects();
    }
}

void RichEditControl::SettleObjects() {
    if (settling_) {
        return;
    }
    settling_ = true;
    std::unordered_set<std::int32_t> inText;
    doc_.ForEachObject(0, doc_.Length(), [&inText](Pos, std::int32_t id) { inText.insert(id); });
    std::unordered_set<std::int32_t> held;
    doc_.ForEachHeldObject([&held](std::int32_t id) { held.insert(id); });
    std::vector<ComPtr<IOleObject>> deleted;
    std::vector<std::int32_t> unreachable;
    for (std::int32_t id : objectTable_.Ids()) {
        ObjectEntry* entry = objectTable_.Find(id);
        const bool present = inText.count(id) != 0;
        if (entry->inDocument && !present) {
            deleted.push_back(entry->object);
        }
        entry->inDocument = present;
        if (!present && held.count(id) == 0) {
            unreachable.push_back(id);
        }
    }
    // The callback hears of each object before the control lets go of it.
    for (const ComPtr<IOleObject>& object : deleted) {
        if (callback_) {
            callback_->DeleteObject(object.Get());
        }
    }
    for (std::int32_t id : unreachable) {
        objectTable_.Release(id);
    }
    settling_ = false;
}

void RichEditControl::ReleaseObjects() {
    if (ole_) {
        ole_->Detach();
        ole_.Reset();
    }
    objectTable_.ReleaseAll();
    callback_.Reset();
    clipboardData_.Reset();
}

LONG RichEditControl::OleObjectCount() const {
    return LONG(doc_.ObjectCount(0, doc_.Length()));
}

std::int32_t RichEditControl::SelectedObject() const {
    const Selection s = doc_.TextSelection();
    return s.max - s.min == 1 ? doc_.ObjectAt(s.min) : 0;
}

WORD RichEditControl::SelectionType() const {
    const Selection s = doc_.TextSelection();
    const Pos n = s.max - s.min;
    WORD type = n == 0 ? SEL_EMPTY : WORD(SEL_TEXT | (n > 1 ? SEL_MULTICHAR : 0));
    const Pos objects = doc_.ObjectCount(s.min, s.max);
    if (objects > 0) {
        type |= objects > 1 ? SEL_MULTIOBJECT : SEL_OBJECT;
    }
    return type;
}

HRESULT RichEditControl::OleGetObject(LONG iob, REOBJECT* object, DWORD flags) {
    if (!ValidStruct(object)) {
        return E_INVALIDARG;
    }
    Pos pos = -1;
    if (iob == REO_IOB_SELECTION) {
        if (SelectedObject() != 0) {
            pos = doc_.TextSelection().min;
        }
    } else if (iob == REO_IOB_USE_CP) {
        if (object->cp >= 0 && doc_.ObjectAt(object->cp) != 0) {
            pos = object->cp;
        }
    } else if (iob >= 0) {
        LONG n = 0;
        doc_.ForEachObject(0, doc_.Length(), [&](Pos at, std::int32_t) {
            if (n++ == iob) {
                pos = at;
            }
        });
    }
    const ObjectEntry* entry = pos < 0 ? nullptr : objectTable_.Find(doc_.ObjectAt(pos));
    if (!entry) {
        return E_INVALIDARG;
    }
    const Selection s = doc_.TextSelection();
    object->cp = LONG(pos);
    object->clsid = entry->clsid;
    object->sizel = entry->size;
    object->dvaspect = entry->aspect;
    object->dwFlags = entry->flags & ~REO_SELECTED;
    if (s.min <= pos && pos < s.max) {
        object->dwFlags |= REO_SELECTED;
    }
    object->dwUser = entry->user;
    object->poleobj = nullptr;
    object->pstg = nullptr;
    object->polesite = nullptr;
    if (flags & REO_GETOBJ_POLEOBJ) {
        entry->object.CopyTo(&object->poleobj);
    }
    if (flags & REO_GETOBJ_PSTG) {
        entry->storage.CopyTo(&object->pstg);
    }
    if (flags & REO_GETOBJ_POLESITE) {
        entry->site.CopyTo(&object->polesite);
    }
    return S_OK;
}

HRESULT RichEditControl::OleInsertObject(REOBJECT* object) {
    if (!ValidStruct(object) || !object->poleobj || object->cp < REO_CP_SELECTION) {
        return E_INVALIDARG;
    }
    const ObjectScope scope(*this);
    const Pos cp = object->cp == REO_CP_SELECTION ? doc_.TextSelection().min
                                                  : std::min<Pos>(object->cp, doc_.Length());
    if (callback_) {
        CLSID clsid = object->clsid;
        const HRESULT hr = callback_->QueryInsertObject(&clsid, object->pstg, LONG(cp));
        if (FAILED(hr)) {
            return hr;
        }
    }
    ObjectEntry entry;
    entry.object = ComPtr<IOleObject>::Share(object->poleobj);
    entry.storage = ComPtr<IStorage>::Share(object->pstg);
    entry.site = ComPtr<IOleClientSite>::Share(object->polesite);
    if (!entry.site) {
        CreateControlSite(ole_.Get(), entry.site.Put());
    }
    entry.clsid = object->clsid;
    if (entry.clsid == CLSID_NULL) {
        entry.object->GetUserClassID(&entry.clsid); // so that RTF can name the class
    }
    entry.aspect = object->dvaspect == 0 ? DVASPECT_CONTENT : object->dvaspect;
    entry.size = object->sizel;
    if (entry.size.cx == 0 && entry.size.cy == 0 &&
        FAILED(entry.object->GetExtent(entry.aspect, &entry.size))) {
        entry.size = {};
    }
    entry.flags = object->dwFlags & ~REO_SELECTED;
    entry.user = object->dwUser;
    entry.object->SetClientSite(entry.site.Get());
    const std::int32_t id = objectTable_.Add(std::move(entry));

    const Before before = Snapshot();
    if (object->cp != REO_CP_SELECTION) {
        doc_.SetSelection(cp, cp);
    }
    doc_.InsertObject(id);
    anchor_ = doc_.GetSelection().min;
    if (object->dwFlags & REO_SELECTED) {
        doc_.SetSelection(cp, cp + 1);
    }
    ScrollToShow(cp + 1);
    After(before, true, cp, cp + 1);
    return S_OK;
}

HRESULT RichEditControl::InsertNewObject(IOleObject* object, LONG cp) {
    if (!object) {
        return E_INVALIDARG;
    }
    const ObjectScope scope(*this);
    ComPtr<IStorage> storage;
    HRESULT hr = S_OK;
    if (callback_) {
        hr = callback_->GetNewStorage(storage.Put());
    } else {
        hr = CreateMemoryStorage(storage.Put());
    }
    if (SUCCEEDED(hr) && !storage) {
        hr = E_FAIL;
    }
    ComPtr<IPersistStorage> persist = ComPtr<IOleObject>::Share(object).As<IPersistStorage>();
    if (SUCCEEDED(hr) && persist) {
        hr = persist->Save(storage.Get(), FALSE);
        if (SUCCEEDED(hr)) {
            storage->Commit(STGC_DEFAULT);
        }
    }
    if (FAILED(hr)) {
        return hr;
    }
    ComPtr<IOleClientSite> site;
    CreateControlSite(ole_.Get(), site.Put());
    REOBJECT reo{};
    reo.cbStruct = sizeof reo;
    reo.cp = cp;
    if (persist) {
        persist->GetClassID(&reo.clsid);
    }
    reo.poleobj = object;
    reo.pstg = storage.Get();
    reo.polesite = site.Get();
    reo.dvaspect = DVASPECT_CONTENT;
    return OleInsertObject(&reo);
}

void RichEditControl::ObjectLayoutChanged(IOleClientSite* site) {
    ObjectEntry* entry = objectTable_.FindBySite(site);
    if (!entry) {
        return;
    }
    SIZEL size{};
    if (SUCCEEDED(entry->object->GetExtent(entry->aspect, &size))) {
        entry->size = size;
    }
    // The lines that hold the object are laid out again at its new size.
    doc_.ForEachObject(0, doc_.Length(), [&](Pos pos, std::int32_t id) {
        if (objectTable_.Find(id) == entry) {
            doc_.Lines().Restyled(pos, 1);
        }
    });
    doc_.Lines().Settle();
    NotifyResize();
    Invalidate();
}

HRESULT InsertObjectInto(HWND richEdit, IOleObject* object, LONG cp) {
    RichEditControl* control = RichEditControlOf(richEdit);
    return control ? control->InsertNewObject(object, cp) : E_INVALIDARG;
}
