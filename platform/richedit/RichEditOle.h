#pragma once
// The rich edit control's object interfaces: its IRichEditOle, and the client site each
// object gets. Both may be held by others beyond the window's life: once the control is gone
// they answer E_UNEXPECTED (or 0) and touch nothing.

#include "platform/ole/ComObject.h"

class RichEditControl;

class ControlOle final : public ComObject<IRichEditOle> {
public:
    explicit ControlOle(RichEditControl* control) : control_(control) {}
    RichEditControl* Control() const { return control_; }
    void Detach() { control_ = nullptr; }

    HRESULT GetClientSite(IOleClientSite** site) override;
    LONG GetObjectCount() override;
    LONG GetLinkCount() override { return 0; }
    HRESULT GetObject(LONG iob, REOBJECT* object, DWORD flags) override;
    HRESULT InsertObject(REOBJECT* object) override;

private:
    RichEditControl* control_;
};

// A new client site of the control behind ole; *site receives a reference.
HRESULT CreateControlSite(ControlOle* ole, IOleClientSite** site);
