#pragma once
// Implementing interfaces: ComObject<I1, I2, ...> answers QueryInterface for the listed
// interfaces (and the interfaces they derive from), counts references and deletes itself
// on the last Release. ComPtr holds one reference and gives it back when it goes.

#include "platform/ole/Ole.h"

#include <atomic>
#include <new>
#include <tuple>
#include <type_traits>
#include <utility>

// The identifier of each interface, and the interface it derives from (IUnknown for most).
template <class I> struct InterfaceTraits;
#define KELVOR_INTERFACE(I, Base)                                                                  \
    template <> struct InterfaceTraits<I> {                                                        \
        static constexpr const IID& iid = IID_##I;                                                 \
        using BaseInterface = Base;                                                                \
    }
KELVOR_INTERFACE(IUnknown, void);
KELVOR_INTERFACE(ILockBytes, IUnknown);
KELVOR_INTERFACE(IStream, IUnknown);
KELVOR_INTERFACE(IStorage, IUnknown);
KELVOR_INTERFACE(IPersistStorage, IUnknown);
KELVOR_INTERFACE(IDataObject, IUnknown);
KELVOR_INTERFACE(IEnumOLEVERB, IUnknown);
KELVOR_INTERFACE(IOleClientSite, IUnknown);
KELVOR_INTERFACE(IOleObject, IUnknown);
KELVOR_INTERFACE(IViewObject, IUnknown);
KELVOR_INTERFACE(IOleWindow, IUnknown);
KELVOR_INTERFACE(IOleInPlaceUIWindow, IOleWindow);
KELVOR_INTERFACE(IOleInPlaceFrame, IOleInPlaceUIWindow);
KELVOR_INTERFACE(IRichEditOle, IUnknown);
KELVOR_INTERFACE(IRichEditOleCallback, IUnknown);

template <class... Interfaces> class ComObject : public Interfaces... {
    using First = std::tuple_element_t<0, std::tuple<Interfaces...>>;

public:
    ComObject() = default;
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT QueryInterface(REFIID riid, void** out) override {
        if (!out) {
            return E_POINTER;
        }
        *out = nullptr;
        if (riid == IID_IUnknown) {
            *out = static_cast<IUnknown*>(static_cast<First*>(this));
        } else {
            ((*out == nullptr && (*out = Match<Interfaces>(riid))), ...);
        }
        if (!*out) {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        const ULONG left = --refs_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    // The object's IUnknown, for code that holds it without knowing its interfaces.
    IUnknown* Unknown() { return static_cast<First*>(this); }

protected:
    virtual ~ComObject() = default;

private:
    // this as I when riid names I or an interface I derives from.
    template <class I, class Walk = I> void* Match(REFIID riid) {
        if constexpr (std::is_same_v<Walk, IUnknown>) {
            return nullptr;
        } else {
            if (riid == InterfaceTraits<Walk>::iid) {
                return static_cast<Walk*>(static_cast<I*>(this));
            }
            return Match<I, typename InterfaceTraits<Walk>::BaseInterface>(riid);
        }
    }

    std::atomic<ULONG> refs_{1};
};

// A new object of class T with one reference, which the caller owns.
template <class T, class... Args> T* MakeComObject(Args&&... args) {
    return new (std::nothrow) T(std::forward<Args>(args)...);
}

template <class T> class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes over a reference the caller owns.
    static ComPtr Attach(T* p) {
        ComPtr c;
        c.p_ = p;
        return c;
    }
    // Adds a reference of its own.
    static ComPtr Share(T* p) {
        if (p) {
            p->AddRef();
        }
        return Attach(p);
    }
    ComPtr(const ComPtr& other) : p_(other.p_) {
        if (p_) {
            p_->AddRef();
        }
    }
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~ComPtr() { Reset(); }

    void Reset() { ReleaseInterface(p_); }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For an out parameter: what was held goes first.
    T** Put() {
        Reset();
        return &p_;
    }
    // Gives the reference to the caller.
    T* Detach() { return std::exchange(p_, nullptr); }
    // A reference for an out parameter (which may be null: then nothing is handed out).
    void CopyTo(T** out) const {
        if (out) {
            *out = p_;
            if (p_) {
                p_->AddRef();
            }
        }
    }
    template <class U> ComPtr<U> As() const {
        ComPtr<U> other;
        if (p_) {
            p_->QueryInterface(InterfaceTraits<U>::iid, reinterpret_cast<void**>(other.Put()));
        }
        return other;
    }

private:
    T* p_ = nullptr;
};
