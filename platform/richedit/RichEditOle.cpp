#include "platform/richedit/RichEditOle.h"

#include "platform/richedit/RichEditControl.h"

namespace {

// The container's side of one object. It keeps the control's interface (not the control)
// alive, so a site outliving the window finds it detached.
class ControlSite final : public ComObject<IOleClientSite, IOleWindow> {
public:
    explicit ControlSite(ControlOle* ole) : ole_(ComPtr<ControlOle>::Share(ole)) {}

    HRESULT SaveObject() override {
        // The object's storage is saved whenever the document is written; nothing to do now.
        return ole_->Control() ? S_OK : E_UNEXPECTED;
    }
    HRESULT ShowObject() override { return ole_->Control() ? S_OK : E_UNEXPECTED; }
    HRESULT OnShowWindow(BOOL) override { return ole_->Control() ? S_OK : E_UNEXPECTED; }
    HRESULT RequestNewObjectLayout() override {
        RichEditControl* control = ole_->Control();
        if (!control) {
            return E_UNEXPECTED;
        }
        control->ObjectLayoutChanged(this);
        return S_OK;
    }
    HRESULT GetWindow(HWND* window) override {
        if (!window) {
            return E_POINTER;
        }
        RichEditControl* control = ole_->Control();
        *window = control ? control->Window() : nullptr;
        return control ? S_OK : E_UNEXPECTED;
    }
    HRESULT ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

private:
    ComPtr<ControlOle> ole_;
};

} // namespace

HRESULT CreateControlSite(ControlOle* ole, IOleClientSite** site) {
    if (!site) {
        return E_INVALIDARG;
    }
    *site = nullptr;
    if (!ole) {
        return E_UNEXPECTED;
    }
    *site = MakeComObject<ControlSite>(ole);
    return *site ? S_OK : E_OUTOFMEMORY;
}

HRESULT ControlOle::GetClientSite(IOleClientSite** site) {
    if (!site) {
        return E_INVALIDARG;
    }
    *site = nullptr;
    return control_ ? CreateControlSite(this, site) : E_UNEXPECTED;
}

LONG ControlOle::GetObjectCount() {
    return control_ ? control_->OleObjectCount() : 0;
}

HRESULT ControlOle::GetObject(LONG iob, REOBJECT* object, DWORD flags) {
    return control_ ? control_->OleGetObject(iob, object, flags) : E_UNEXPECTED;
}

HRESULT ControlOle::InsertObject(REOBJECT* object) {
    return control_ ? control_->OleInsertObject(object) : E_UNEXPECTED;
}
