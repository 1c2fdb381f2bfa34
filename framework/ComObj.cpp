#include "framework/ComObj.h"

#include "framework/Forms.h"

namespace {

// The system's message texts for the result codes interface calls give here.
std::string OleErrorMessage(HRESULT code) {
    static constexpr std::pair<HRESULT, const char*> kTexts[] = {
        {E_NOTIMPL, "Not implemented"},
        {E_NOINTERFACE, "No such interface supported"},
        {E_POINTER, "Invalid pointer"},
        {E_FAIL, "Unspecified error"},
        {E_UNEXPECTED, "Catastrophic failure"},
        {E_OUTOFMEMORY, "Not enough storage is available to complete this operation"},
        {E_INVALIDARG, "The parameter is incorrect"},
        {OLE_E_NOTRUNNING, "Object is not running"},
        {OLEOBJ_E_NOVERBS, "No verbs for OLE object"},
        {OLEOBJ_E_INVALIDVERB, "Invalid verb for OLE object"},
        {STG_E_FILENOTFOUND, "%1 could not be found."},
        {STG_E_ACCESSDENIED, "Access Denied."},
    };
    for (const auto& [value, text] : kTexts) {
        if (value == code) {
            return text;
        }
    }
    return Format("OLE error %.8X", unsigned(code));
}

} // namespace

EOleSysError::EOleSysError(HRESULT ErrorCode)
    : EOleError(OleErrorMessage(ErrorCode)), FErrorCode(ErrorCode) {}

HRESULT OleCheck(HRESULT Result) {
    if (FAILED(Result)) {
        throw EOleSysError(Result);
    }
    return Result;
}

ULONG TInterfacedObject::ReleaseImpl() {
    const ULONG count = --FRefCount;
    if (count == 0) {
        delete this;
    }
    return count;
}

HRESULT TInterfacedObject::QueryInterfaceImpl(REFIID riid, void** Obj) {
    if (!Obj) {
        return E_POINTER;
    }
    *Obj = nullptr;
    const HRESULT result = GetInterface(riid, Obj);
    if (SUCCEEDED(result) && *Obj) {
        static_cast<IUnknown*>(*Obj)->AddRef();
    }
    return result;
}

HRESULT TOleFormFrame::GetWindow(HWND* Window) {
    if (!Window) {
        return E_POINTER;
    }
    *Window = FForm && FForm->HandleAllocated() ? FForm->Handle() : nullptr;
    return *Window ? S_OK : E_FAIL;
}

HRESULT TOleFormFrame::GetInterface(REFIID riid, void** Obj) {
    if (riid == IID_IUnknown || riid == IID_IOleWindow || riid == IID_IOleInPlaceUIWindow ||
        riid == IID_IOleInPlaceFrame) {
        *Obj = static_cast<IOleInPlaceFrame*>(this);
        return S_OK;
    }
    return E_NOINTERFACE;
}
