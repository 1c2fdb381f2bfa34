#pragma once
// The object classes this process knows: a class name (ProgID-like, "Vendor.Thing") and a
// class id, each leading to a factory. With it a container re-creates an object from its
// class and the storage the object saved itself into (an RTF \object group gives both).

#include "platform/ole/Ole.h"

#include <functional>
#include <string>
#include <string_view>

// Makes a new, uninitialised object of the class; *object receives a reference.
using ObjectFactory = std::function<HRESULT(IOleObject** object)>;

// Registers (or replaces) a class. Names are compared without regard to ASCII case.
HRESULT RegisterObjectClass(std::u16string_view className, REFCLSID clsid, ObjectFactory factory);
// Forgets a class; S_FALSE when it was not registered.
HRESULT UnregisterObjectClass(std::u16string_view className);

// The class id of a class name (the platform's CLSIDFromProgID); REGDB_E_CLASSNOTREG for
// names nobody registered.
HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid);
// The class name of a class id, in CoTaskMemAlloc'ed memory the caller frees.
HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* progId);

// A new object of class clsid that has loaded itself from storage (IPersistStorage::Load).
// *object stays null on failure.
HRESULT CreateObjectFromStorage(REFCLSID clsid, IStorage* storage, IOleObject** object);

// Saves object into a new storage on new memory lock bytes and commits it; *lockBytes
// receives the bytes (with a reference). For writing an object out as data.
HRESULT SaveObjectToLockBytes(IOleObject* object, ILockBytes** lockBytes);
// Copies all bytes of lockBytes (at most maxBytes; E_OUTOFMEMORY beyond).
HRESULT ReadAllLockBytes(ILockBytes* lockBytes, std::string& out, std::size_t maxBytes);
