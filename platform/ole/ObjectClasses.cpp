#include "platform/ole/ObjectClasses.h"

#include "platform/ole/ComObject.h"
#include "platform/ole/SampleObject.h"

#include <mutex>
#include <vector>

namespace {

struct ObjectClass {
    std::u16string name;
    CLSID clsid;
    ObjectFactory factory;
};

struct Registry {
    std::mutex lock;
    std::vector<ObjectClass> classes;
};

bool SameName(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

Registry& Classes() {
    static Registry registry;
    return registry;
}

// Our own classes are there from the first look on, without a registration call.
Registry& KnownClasses() {
    static const bool builtIn = [] {
        RegisterSampleObjectClass();
        return true;
    }();
    (void)builtIn;
    return Classes();
}

} // namespace

HRESULT RegisterObjectClass(std::u16string_view className, REFCLSID clsid, ObjectFactory factory) {
    if (className.empty() || !factory || clsid == CLSID_NULL) {
        return E_INVALIDARG;
    }
    Registry& r = Classes();
    const std::lock_guard guard(r.lock);
    std::erase_if(r.classes, [&](const ObjectClass& c) {
        return SameName(c.name, className) || c.clsid == clsid;
    });
    r.classes.push_back({std::u16string(className), clsid, std::move(factory)});
    return S_OK;
}

HRESULT UnregisterObjectClass(std::u16string_view className) {
    Registry& r = KnownClasses();
    const std::lock_guard guard(r.lock);
    return std::erase_if(r.classes,
                         [&](const ObjectClass& c) { return SameName(c.name, className); }) > 0
               ? S_OK
               : S_FALSE;
}

HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid) {
    if (!progId || !clsid) {
        return E_INVALIDARG;
    }
    *clsid = CLSID_NULL;
    Registry& r = KnownClasses();
    const std::lock_guard guard(r.lock);
    for (const ObjectClass& c : r.classes) {
        if (SameName(c.name, progId)) {
            *clsid = c.clsid;
            return S_OK;
        }
    }
    return REGDB_E_CLASSNOTREG;
}

HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* progId) {
    if (!progId) {
        return E_INVALIDARG;
    }
    *progId = nullptr;
    Registry& r = KnownClasses();
    const std::lock_guard guard(r.lock);
    for (const ObjectClass& c : r.classes) {
        if (c.clsid == clsid) {
            *progId = CoTaskStrDup(c.name.c_str());
            return *progId ? S_OK : E_OUTOFMEMORY;
        }
    }
    return REGDB_E_CLASSNOTREG;
}

HRESULT CreateObjectFromStorage(REFCLSID clsid, IStorage* storage, IOleObject** object) {
    if (!object || !storage) {
        return E_INVALIDARG;
    }
    *object = nullptr;
    ObjectFactory factory;
    {
        Registry& r = KnownClasses();
        const std::lock_guard guard(r.lock);
        for (const ObjectClass& c : r.classes) {
            if (c.clsid == clsid) {
                factory = c.factory;
            }
        }
    }
    if (!factory) {
        return REGDB_E_CLASSNOTREG;
    }
    ComPtr<IOleObject> created;
    HRESULT hr = factory(created.Put());
    if (FAILED(hr) || !created) {
        return FAILED(hr) ? hr : E_FAIL;
    }
    ComPtr<IPersistStorage> persist = created.As<IPersistStorage>();
    if (!persist) {
        return E_NOINTERFACE;
    }
    hr = persist->Load(storage);
    if (FAILED(hr)) {
        created->Close(OLECLOSE_NOSAVE);
        return hr;
    }
    *object = created.Detach();
    return S_OK;
}

HRESULT SaveObjectToLockBytes(IOleObject* object, ILockBytes** lockBytes) {
    if (!object || !lockBytes) {
        return E_INVALIDARG;
    }
    *lockBytes = nullptr;
    ComPtr<IPersistStorage> persist = ComPtr<IOleObject>::Share(object).As<IPersistStorage>();
    if (!persist) {
        return E_NOINTERFACE;
    }
    ComPtr<ILockBytes> bytes;
    ComPtr<IStorage> storage;
    HRESULT hr = CreateMemoryStorage(storage.Put(), bytes.Put());
    if (SUCCEEDED(hr)) {
        hr = persist->Save(storage.Get(), FALSE);
    }
    if (SUCCEEDED(hr)) {
        hr = storage->Commit(STGC_DEFAULT);
    }
    if (FAILED(hr)) {
        return hr;
    }
    *lockBytes = bytes.Detach();
    return S_OK;
}

HRESULT ReadAllLockBytes(ILockBytes* lockBytes, std::string& out, std::size_t maxBytes) {
    out.clear();
    std::uint64_t size = 0;
    HRESULT hr = lockBytes ? lockBytes->GetSize(&size) : E_INVALIDARG;
    if (FAILED(hr)) {
        return hr;
    }
    if (size > maxBytes || size > 0xFFFFFFFFu) {
        return E_OUTOFMEMORY;
    }
    out.resize(std::size_t(size));
    ULONG read = 0;
    hr = size == 0 ? S_OK : lockBytes->ReadAt(0, out.data(), ULONG(size), &read);
    out.resize(read);
    return hr;
}
