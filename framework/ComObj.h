#pragma once
// Reference-counted objects that implement interfaces of the embedded-object platform, and a
// form's in-place frame, which embedded objects see as the window they activate in.

#include "framework/Classes.h"
#include "framework/Exceptions.h"
#include "platform/ole/Ole.h"

class TForm;

KELVOR_EXCEPTION(EOleError, Exception);

// A failed interface call: its result code, and the system's text for it.
class EOleSysError : public EOleError {
public:
    explicit EOleSysError(HRESULT ErrorCode);
    std::string ClassName() const override { return "EOleSysError"; }
    HRESULT ErrorCode() const { return FErrorCode; }

private:
    HRESULT FErrorCode;
};

// Raises EOleSysError for a failed result; returns a successful one.
HRESULT OleCheck(HRESULT Result);

// A reference-counted object that hands out the interfaces its class implements. A class
// that implements an interface forwards that interface's QueryInterface, AddRef and Release
// here and names its interfaces in GetInterface.
class TInterfacedObject : public TObject {
public:
    std::string ClassName() const override { return "TInterfacedObject"; }
    ULONG RefCount() const { return FRefCount; }

protected:
    TInterfacedObject() = default;
    ULONG AddRefImpl() { return ++FRefCount; }
    // Releasing the last reference frees the object.
    ULONG ReleaseImpl();
    // Fills Obj with the interface riid of this object, or fails with E_NOINTERFACE; the
    // reference is added by QueryInterfaceImpl.
    virtual HRESULT GetInterface(REFIID riid, void** Obj) = 0;
    HRESULT QueryInterfaceImpl(REFIID riid, void** Obj);

private:
    ULONG FRefCount = 0;
};

// TInterfacedObject implementing the interface I (and those I derives from): I's reference
// counting and interface query go to the object's.
template <class I> class TInterfacedImpl : public TInterfacedObject, public I {
public:
    HRESULT QueryInterface(REFIID riid, void** Obj) override {
        return QueryInterfaceImpl(riid, Obj);
    }
    ULONG AddRef() override { return AddRefImpl(); }
    ULONG Release() override { return ReleaseImpl(); }
};

// The frame a form shows to objects activated in place: its window, and nothing of a menu
// or status bar of its own. The form keeps one reference and drops it when it goes; the
// frame then answers without a window.
class TOleFormFrame : public TInterfacedImpl<IOleInPlaceFrame> {
public:
    explicit TOleFormFrame(TForm* Form) : FForm(Form) {}
    std::string ClassName() const override { return "TOleFormFrame"; }

    HRESULT GetWindow(HWND* Window) override;
    HRESULT ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT SetStatusText(LPCOLESTR) override { return S_OK; }

    // The form is going: later calls have no window to give.
    void FormDestroyed() { FForm = nullptr; }

protected:
    HRESULT GetInterface(REFIID riid, void** Obj) override;

private:
    TForm* FForm;
};
