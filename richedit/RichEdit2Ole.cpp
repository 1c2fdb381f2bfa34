// Embedded objects in the rich text control: the callback the platform control asks about
// storage, insertion, deletion, drops and menus; the verb menu of a selected object; and
// closing every object when the text is cleared or the window goes.

#include "framework/Forms.h"
#include "platform/locale/Locale.h"
#include "richedit/RichEdit2.h"

#include <cstdint>

namespace {

TForm* ParentFormOf(TControl* control) {
    for (TControl* c = control; c; c = c->Parent()) {
        if (auto* form = dynamic_cast<TForm*>(c)) {
            return form;
        }
    }
    return nullptr;
}

// A verb list entry's value: the verb number in the low 16 bits, its menu flags above.
DWORD VerbValue(const TStringList& list, int index) {
    return DWORD(reinterpret_cast<std::uintptr_t>(list.GetObject(index)));
}

TObject* AsVerbValue(const OLEVERB& verb) {
    const DWORD value = (DWORD(verb.lVerb) & 0xFFFF) | (verb.fuFlags << 16);
    return reinterpret_cast<TObject*>(std::uintptr_t(value));
}

REOBJECT EmptyObjectInfo() {
    REOBJECT info{};
    info.cbStruct = sizeof info;
    return info;
}

} // namespace

// --- the callback ----------------------------------------------------------------------------

HRESULT TRichEditOleCallback::GetInterface(REFIID riid, void** Obj) {
    if (riid == IID_IUnknown || riid == IID_IRichEditOleCallback) {
        *Obj = static_cast<IRichEditOleCallback*>(this);
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT TRichEditOleCallback::GetNewStorage(IStorage** Storage) {
    if (!Storage) {
        return E_POINTER;
    }
    *Storage = nullptr;
    // Memory that goes with the storage; the storage keeps its own reference to it.
    ILockBytes* bytes = nullptr;
    if (FAILED(CreateILockBytesOnHGlobal(nullptr, TRUE, &bytes)) || !bytes) {
        return E_OUTOFMEMORY;
    }
    const HRESULT created = StgCreateDocfileOnILockBytes(
        bytes, STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_CREATE, 0, Storage);
    bytes->Release();
    if (FAILED(created) || !*Storage) {
        *Storage = nullptr;
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT TRichEditOleCallback::GetInPlaceContext(IOleInPlaceFrame** Frame, IOleInPlaceUIWindow** Doc,
                                                OLEINPLACEFRAMEINFO* FrameInfo) {
    if (!Frame || !FrameInfo) {
        return E_POINTER;
    }
    *Frame = nullptr;
    if (Doc) {
        *Doc = nullptr;
    }
    // Without a form around the control there is no frame to activate in.
    TForm* form = FRichEdit ? ParentFormOf(FRichEdit) : nullptr;
    if (!form) {
        return E_FAIL;
    }
    *Frame = form->OleFormFrame();
    FrameInfo->fMDIApp = FALSE;
    HWND window = nullptr;
    (*Frame)->GetWindow(&window);
    FrameInfo->hwndFrame = window;
    FrameInfo->haccel = nullptr;
    FrameInfo->cAccelEntries = 0;
    return S_OK;
}

HRESULT TRichEditOleCallback::ShowContainerUI(BOOL) {
    return E_NOTIMPL;
}

HRESULT TRichEditOleCallback::QueryInsertObject(CLSID*, IStorage*, LONG) {
    return S_OK;
}

HRESULT TRichEditOleCallback::DeleteObject(IOleObject* Object) {
    if (FRichEdit) {
        FRichEdit->ReleaseSelectedObject();
    }
    if (Object) {
        Object->Close(OLECLOSE_NOSAVE);
    }
    return S_OK;
}

HRESULT TRichEditOleCallback::QueryAcceptData(IDataObject*, CLIPFORMAT*, DWORD, BOOL, HGLOBAL) {
    return S_OK;
}

HRESULT TRichEditOleCallback::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL;
}

HRESULT TRichEditOleCallback::GetClipboardData(CHARRANGE*, DWORD, IDataObject** Data) {
    if (Data) {
        *Data = nullptr;
    }
    return E_NOTIMPL; // the platform control builds the data itself
}

HRESULT TRichEditOleCallback::GetDragDropEffect(BOOL Drag, DWORD KeyState, DWORD* Effect) {
    if (Drag || !Effect) {
        return S_OK;
    }
    DWORD wanted = DROPEFFECT_MOVE;
    if ((KeyState & MK_CONTROL) && (KeyState & MK_SHIFT)) {
        wanted = DROPEFFECT_LINK;
    } else if (KeyState & MK_CONTROL) {
        wanted = DROPEFFECT_COPY;
    }
    if (*Effect & wanted) {
        *Effect = wanted;
    }
    return S_OK;
}

HRESULT TRichEditOleCallback::GetContextMenu(WORD, IOleObject*, CHARRANGE*, HMENU* Menu) {
    if (Menu) {
        *Menu = 0;
    }
    return S_OK;
}

// --- the verb menu ---------------------------------------------------------------------------

TPopupMenu* TCustomRichEdit20::GetPopupMenu() {
    TPopupMenu* result = TCustomMemo::GetPopupMenu();
    if (!FAutoVerbMenu || !FRichEditOle) {
        return result;
    }
    REOBJECT info = EmptyObjectInfo();
    if (FAILED(FRichEditOle->GetObject(REO_IOB_SELECTION, &info, REO_GETOBJ_POLEOBJ)) ||
        !info.poleobj) {
        ReleaseSelectedObject();
        FreeVerbs();
        return result;
    }
    if (info.poleobj == FSelectedObject) {
        info.poleobj->Release();
        return FVerbMenu; // none when the object has no verbs for the menu
    }
    ReleaseSelectedObject();
    FSelectedObject = info.poleobj; // keeps the reference GetObject gave
    BuildVerbList();
    if (FVerbList->Count() == 0) {
        return nullptr;
    }
    FVerbMenu = new TPopupMenu(this);
    for (int i = 0; i < FVerbList->Count(); ++i) {
        auto* item = new TMenuItem(FVerbMenu);
        item->SetCaption(FVerbList->Get(i));
        item->SetTag(i);
        item->SetDefault(LOWORD(VerbValue(*FVerbList, i)) == 0); // the primary verb
        item->OnClick = [this](TObject* Sender) { VerbMenuClick(Sender); };
        FVerbMenu->Items()->Add(item);
    }
    return FVerbMenu;
}

void TCustomRichEdit20::BuildVerbList() {
    FreeVerbs();
    FVerbList = std::make_unique<TStringList>();
    IEnumOLEVERB* verbs = nullptr;
    if (!FSelectedObject || FAILED(FSelectedObject->EnumVerbs(&verbs)) || !verbs) {
        return;
    }
    // Up to the first verb that is not for a container's menu: verbs after it are the
    // object's own business, even when they are marked for the menu.
    OLEVERB verb{};
    while (verbs->Next(1, &verb, nullptr) == S_OK) {
        const std::u16string name = verb.lpszVerbName ? verb.lpszVerbName : u"";
        CoTaskMemFree(verb.lpszVerbName);
        if (verb.lVerb < 0 || !(verb.grfAttribs & OLEVERBATTRIB_ONCONTAINERMENU)) {
            break;
        }
        FVerbList->AddObject(WideToAnsi(name, GetACP()), AsVerbValue(verb));
    }
    verbs->Release();
}

void TCustomRichEdit20::VerbMenuClick(TObject* Sender) {
    auto* item = dynamic_cast<TMenuItem*>(Sender);
    if (!item) {
        throw EInvalidCast(SInvalidCast);
    }
    ExecuteVerb(int(item->Tag()));
}

void TCustomRichEdit20::ExecuteVerb(int Verb) {
    if (!FRichEditOle || !FSelectedObject) {
        return;
    }
    LONG verb = Verb;
    if (Verb > 0) {
        if (!FVerbList) {
            BuildVerbList();
        }
        if (Verb >= FVerbList->Count()) {
            throw EOleError("Invalid Verb");
        }
        verb = SHORT(LOWORD(VerbValue(*FVerbList, Verb)));
    } else if (Verb == -65536) {
        verb = OLEIVERB_PRIMARY;
    }
    const RECT bounds{Left(), Top(), Left() + Width(), Top() + Height()};
    IOleClientSite* site = nullptr;
    OleCheck(FRichEditOle->GetClientSite(&site));
    const HRESULT done = FSelectedObject->DoVerb(verb, nullptr, site, 0, Handle(), &bounds);
    ReleaseInterface(site);
    OleCheck(done);
}

void TCustomRichEdit20::CloseEmbeddedObjects() {
    if (!FRichEditOle) {
        return;
    }
    if (FSelectedObject) {
        FSelectedObject->Close(OLECLOSE_NOSAVE);
        ReleaseSelectedObject();
    }
    const LONG count = FRichEditOle->GetObjectCount();
    for (LONG i = 0; i < count; ++i) {
        REOBJECT info = EmptyObjectInfo();
        if (SUCCEEDED(FRichEditOle->GetObject(i, &info, REO_GETOBJ_POLEOBJ)) && info.poleobj) {
            info.poleobj->Close(OLECLOSE_NOSAVE);
            info.poleobj->Release();
        }
    }
}

void TCustomRichEdit20::FreeVerbs() {
    delete FVerbMenu; // leaves the control's components as it goes
    FVerbMenu = nullptr;
    FVerbList.reset();
}

void TCustomRichEdit20::ReleaseSelectedObject() {
    ReleaseInterface(FSelectedObject);
}

// --- IncludeOLE ------------------------------------------------------------------------------

void TCustomRichEdit20::SetIncludeOLE(bool Value) {
    FIncludeOLE = Value;
    if (Value) {
        auto* callback = new TRichEditOleCallback(this);
        callback->AddRef();
        DetachOleCallback();
        FOleCallback = callback;
    }
    RecreateWnd();
}

void TCustomRichEdit20::ConnectOle() {
    ReleaseInterface(FRichEditOle);
    if (!SendMessage(FHandle, EM_GETOLEINTERFACE, 0, reinterpret_cast<LPARAM>(&FRichEditOle)) ||
        !FRichEditOle) {
        FRichEditOle = nullptr;
        throw Exception("Unable to get interface");
    }
    if (!SendMessage(FHandle, EM_SETOLECALLBACK, 0, reinterpret_cast<LPARAM>(FOleCallback))) {
        throw Exception("Unable to set callback");
    }
}

void TCustomRichEdit20::DetachOleCallback() {
    if (auto* callback = dynamic_cast<TRichEditOleCallback*>(FOleCallback)) {
        callback->ControlDestroyed();
    }
    ReleaseInterface(FOleCallback);
}
