#pragma once
// Embedded objects: the reference-counted interfaces that a container (the rich edit control
// and the rich text control above it) and the objects it holds talk through, with the
// platform's names, result codes and structure layouts. Only the operations this program
// relies on are declared; an interface is a C++ class of pure virtual operations, and an
// object's lifetime is its reference count (Release of the last reference frees it).
//
// Memory for strings handed out through an interface (verb names, user types) comes from
// CoTaskMemAlloc and is freed by the receiver with CoTaskMemFree.

#include "platform/WinTypes.h"
#include "platform/window/Gdi.h"
#include "platform/window/Window.h"

#include <cstdint>

using HRESULT = std::int32_t;
using ULONG = std::uint32_t;
using OLECHAR = char16_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using CLIPFORMAT = WORD;
using HGLOBAL = HANDLE;
using HACCEL = HANDLE;

struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
    friend bool operator==(const GUID&, const GUID&) = default;
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
inline constexpr CLSID CLSID_NULL{};

struct SIZEL {
    LONG cx;
    LONG cy;
};

// --- result codes ------------------------------------------------------------------------------

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = HRESULT(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = HRESULT(0x80004002);
inline constexpr HRESULT E_POINTER = HRESULT(0x80004003);
inline constexpr HRESULT E_FAIL = HRESULT(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = HRESULT(0x8000FFFF);
inline constexpr HRESULT E_OUTOFMEMORY = HRESULT(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = HRESULT(0x80070057);
inline constexpr HRESULT OLE_E_NOTRUNNING = HRESULT(0x80040005);
inline constexpr HRESULT OLEOBJ_E_NOVERBS = HRESULT(0x80040180);
inline constexpr HRESULT OLEOBJ_E_INVALIDVERB = HRESULT(0x80040181);
inline constexpr HRESULT STG_E_FILENOTFOUND = HRESULT(0x80030002);
inline constexpr HRESULT STG_E_ACCESSDENIED = HRESULT(0x80030005);
inline constexpr HRESULT STG_E_INVALIDPARAMETER = HRESULT(0x80030057);
inline constexpr HRESULT STG_E_FILEALREADYEXISTS = HRESULT(0x80030050);
inline constexpr HRESULT STG_E_INVALIDHEADER = HRESULT(0x800300FB);
inline constexpr HRESULT STG_E_INVALIDFUNCTION = HRESULT(0x80030001);
inline constexpr HRESULT STG_E_INVALIDPOINTER = HRESULT(0x80030009);
inline constexpr HRESULT STG_E_INVALIDNAME = HRESULT(0x800300FC);
inline constexpr HRESULT STG_E_INVALIDFLAG = HRESULT(0x800300FF);
inline constexpr HRESULT OLEOBJ_S_INVALIDVERB = HRESULT(0x00040180);
inline constexpr HRESULT DV_E_DVASPECT = HRESULT(0x8004006B);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = HRESULT(0x80040154);

constexpr bool SUCCEEDED(HRESULT hr) {
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr) {
    return hr < 0;
}

// --- storage modes, verbs, closing, drag and drop ----------------------------------------------

inline constexpr DWORD STGM_READ = 0x00000000;
inline constexpr DWORD STGM_WRITE = 0x00000001;
inline constexpr DWORD STGM_READWRITE = 0x00000002;
inline constexpr DWORD STGM_SHARE_EXCLUSIVE = 0x00000010;
inline constexpr DWORD STGM_CREATE = 0x00001000;
inline constexpr DWORD STGC_DEFAULT = 0;

inline constexpr LONG OLEIVERB_PRIMARY = 0;
inline constexpr LONG OLEIVERB_SHOW = -1;
inline constexpr LONG OLEIVERB_OPEN = -2;
inline constexpr LONG OLEIVERB_HIDE = -3;
inline constexpr LONG OLEIVERB_UIACTIVATE = -4;
inline constexpr LONG OLEIVERB_INPLACEACTIVATE = -5;
inline constexpr DWORD OLEVERBATTRIB_NEVERDIRTIES = 1;
inline constexpr DWORD OLEVERBATTRIB_ONCONTAINERMENU = 2;

inline constexpr DWORD OLECLOSE_SAVEIFDIRTY = 0;
inline constexpr DWORD OLECLOSE_NOSAVE = 1;
inline constexpr DWORD OLECLOSE_PROMPTSAVE = 2;

inline constexpr DWORD DVASPECT_CONTENT = 1;
inline constexpr DWORD USERCLASSTYPE_FULL = 1;
inline constexpr DWORD USERCLASSTYPE_SHORT = 2;
inline constexpr DWORD USERCLASSTYPE_APPNAME = 3;

inline constexpr DWORD DROPEFFECT_NONE = 0;
inline constexpr DWORD DROPEFFECT_COPY = 1;
inline constexpr DWORD DROPEFFECT_MOVE = 2;
inline constexpr DWORD DROPEFFECT_LINK = 4;
// A drag's key state uses the mouse message bits (MK_CONTROL, MK_SHIFT) and this one.
inline constexpr DWORD MK_ALT = 0x0020;

// --- interface identifiers (the platform's values) ---------------------------------------------

inline constexpr IID IID_IUnknown{0x00000000, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_ILockBytes{0x0000000A, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IStorage{0x0000000B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IStream{0x0000000C, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IPersistStorage{0x0000010A, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IDataObject{0x0000010E, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IEnumOLEVERB{0x00000104, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IOleObject{0x00000112, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IOleWindow{0x00000114, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IOleInPlaceUIWindow{0x00000115, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IOleInPlaceFrame{0x00000116, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IOleClientSite{0x00000118, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IViewObject{0x0000010D, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IRichEditOle{0x00020D00, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IRichEditOleCallback{0x00020D03, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// --- the interfaces ----------------------------------------------------------------------------
// Interfaces are never deleted through a pointer to them: Release frees the object.

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** ppvObject) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

// A byte array that a storage lives on (here: memory).
struct ILockBytes : IUnknown {
    virtual HRESULT ReadAt(std::uint64_t offset, void* pv, ULONG cb, ULONG* pcbRead) = 0;
    virtual HRESULT WriteAt(std::uint64_t offset, const void* pv, ULONG cb, ULONG* pcbWritten) = 0;
    virtual HRESULT Flush() = 0;
    virtual HRESULT SetSize(std::uint64_t cb) = 0;
    // The size in bytes (the platform's Stat, reduced to what is used).
    virtual HRESULT GetSize(std::uint64_t* pcb) = 0;

protected:
    ~ILockBytes() = default;
};

inline constexpr DWORD STREAM_SEEK_SET = 0;
inline constexpr DWORD STREAM_SEEK_CUR = 1;
inline constexpr DWORD STREAM_SEEK_END = 2;

// A named byte stream inside a storage.
struct IStream : IUnknown {
    virtual HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) = 0;
    virtual HRESULT Write(const void* pv, ULONG cb, ULONG* pcbWritten) = 0;
    virtual HRESULT Seek(std::int64_t move, DWORD origin, std::uint64_t* newPosition) = 0;
    virtual HRESULT SetSize(std::uint64_t size) = 0;

protected:
    ~IStream() = default;
};

// A compound document: named streams, kept in its lock bytes once committed.
struct IStorage : IUnknown {
    virtual HRESULT CreateStream(LPCOLESTR name, DWORD mode, IStream** stream) = 0;
    virtual HRESULT OpenStream(LPCOLESTR name, DWORD mode, IStream** stream) = 0;
    virtual HRESULT DestroyElement(LPCOLESTR name) = 0;
    virtual HRESULT Commit(DWORD flags) = 0;

protected:
    ~IStorage() = default;
};

// An object that saves itself into a storage and loads itself from one.
struct IPersistStorage : IUnknown {
    virtual HRESULT GetClassID(CLSID* clsid) = 0;
    virtual HRESULT InitNew(IStorage* storage) = 0;
    virtual HRESULT Load(IStorage* storage) = 0;
    virtual HRESULT Save(IStorage* storage, BOOL sameAsLoad) = 0;

protected:
    ~IPersistStorage() = default;
};

// Data offered for the clipboard or a drop; its formats are the platform's business.
struct IDataObject : IUnknown {
protected:
    ~IDataObject() = default;
};

struct OLEVERB {
    LONG lVerb;
    LPOLESTR lpszVerbName; // CoTaskMemAlloc'ed; the receiver frees it
    DWORD fuFlags;         // menu flags
    DWORD grfAttribs;      // OLEVERBATTRIB_...
};

struct IEnumOLEVERB : IUnknown {
    // S_OK when celt verbs were fetched, S_FALSE when fewer were left.
    virtual HRESULT Next(ULONG celt, OLEVERB* verbs, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG celt) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumOLEVERB** clone) = 0;

protected:
    ~IEnumOLEVERB() = default;
};

// The container's side of one object.
struct IOleClientSite : IUnknown {
    virtual HRESULT SaveObject() = 0;
    virtual HRESULT ShowObject() = 0;
    virtual HRESULT OnShowWindow(BOOL show) = 0;
    virtual HRESULT RequestNewObjectLayout() = 0;

protected:
    ~IOleClientSite() = default;
};

struct IOleObject : IUnknown {
    virtual HRESULT SetClientSite(IOleClientSite* site) = 0;
    virtual HRESULT GetClientSite(IOleClientSite** site) = 0;
    virtual HRESULT Close(DWORD saveOption) = 0;
    virtual HRESULT DoVerb(LONG verb, const MSG* msg, IOleClientSite* activeSite, LONG index,
                           HWND parent, const RECT* posRect) = 0;
    virtual HRESULT EnumVerbs(IEnumOLEVERB** enumVerbs) = 0;
    virtual HRESULT GetUserClassID(CLSID* clsid) = 0;
    virtual HRESULT GetUserType(DWORD formOfType, LPOLESTR* userType) = 0;
    virtual HRESULT SetExtent(DWORD aspect, const SIZEL* size) = 0;
    virtual HRESULT GetExtent(DWORD aspect, SIZEL* size) = 0;

protected:
    ~IOleObject() = default;
};

// Draws an object's presentation into a device context.
struct IViewObject : IUnknown {
    virtual HRESULT Draw(DWORD aspect, HDC dc, const RECT* bounds) = 0;

protected:
    ~IViewObject() = default;
};

struct IOleWindow : IUnknown {
    virtual HRESULT GetWindow(HWND* window) = 0;
    virtual HRESULT ContextSensitiveHelp(BOOL enterMode) = 0;

protected:
    ~IOleWindow() = default;
};

struct IOleInPlaceUIWindow : IOleWindow {
protected:
    ~IOleInPlaceUIWindow() = default;
};

struct IOleInPlaceFrame : IOleInPlaceUIWindow {
    virtual HRESULT SetStatusText(LPCOLESTR statusText) = 0;

protected:
    ~IOleInPlaceFrame() = default;
};

struct OLEINPLACEFRAMEINFO {
    UINT cb;
    BOOL fMDIApp;
    HWND hwndFrame;
    HACCEL haccel;
    UINT cAccelEntries;
};

// --- the rich edit control's object interfaces -------------------------------------------------

// A range of character positions (the rich edit control's).
struct CHARRANGE {
    LONG cpMin;
    LONG cpMax;
};

inline constexpr LONG REO_CP_SELECTION = -1;
inline constexpr LONG REO_IOB_SELECTION = -1;
inline constexpr LONG REO_IOB_USE_CP = -2;
inline constexpr DWORD REO_GETOBJ_NO_INTERFACES = 0;
inline constexpr DWORD REO_GETOBJ_POLEOBJ = 1;
inline constexpr DWORD REO_GETOBJ_PSTG = 2;
inline constexpr DWORD REO_GETOBJ_POLESITE = 4;
inline constexpr DWORD REO_GETOBJ_ALL_INTERFACES = 7;
inline constexpr DWORD REO_RESIZABLE = 0x00000001;
inline constexpr DWORD REO_BELOWBASELINE = 0x00000002;
inline constexpr DWORD REO_DYNAMICSIZE = 0x00000008;
inline constexpr DWORD REO_SELECTED = 0x08000000;

// What GetObject fills and InsertObject takes. The interfaces GetObject hands out carry a
// reference for the caller.
struct REOBJECT {
    DWORD cbStruct; // sizeof(REOBJECT)
    LONG cp;        // the object's character position
    CLSID clsid;
    IOleObject* poleobj;
    IStorage* pstg;
    IOleClientSite* polesite;
    SIZEL sizel; // in HIMETRIC; 0 x 0 asks the object for its extent
    DWORD dvaspect;
    DWORD dwFlags;
    DWORD dwUser;
};

struct IRichEditOle : IUnknown {
    // A client site for a new object, with a reference for the caller.
    virtual HRESULT GetClientSite(IOleClientSite** site) = 0;
    virtual LONG GetObjectCount() = 0;
    virtual LONG GetLinkCount() = 0;
    // Object iob (from 0, in text order), or the selected one (REO_IOB_SELECTION: the
    // selection is exactly one object), or the one at object->cp (REO_IOB_USE_CP).
    virtual HRESULT GetObject(LONG iob, REOBJECT* object, DWORD flags) = 0;
    // Inserts an object at object->cp (REO_CP_SELECTION: replacing the selection).
    virtual HRESULT InsertObject(REOBJECT* object) = 0;

protected:
    ~IRichEditOle() = default;
};

// The container's answers to the rich edit control, called on the UI thread.
struct IRichEditOleCallback : IUnknown {
    virtual HRESULT GetNewStorage(IStorage** storage) = 0;
    virtual HRESULT GetInPlaceContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                      OLEINPLACEFRAMEINFO* frameInfo) = 0;
    virtual HRESULT ShowContainerUI(BOOL show) = 0;
    virtual HRESULT QueryInsertObject(CLSID* clsid, IStorage* storage, LONG cp) = 0;
    virtual HRESULT DeleteObject(IOleObject* object) = 0;
    virtual HRESULT QueryAcceptData(IDataObject* data, CLIPFORMAT* format, DWORD reco, BOOL really,
                                    HGLOBAL metaPict) = 0;
    virtual HRESULT ContextSensitiveHelp(BOOL enterMode) = 0;
    virtual HRESULT GetClipboardData(CHARRANGE* range, DWORD reco, IDataObject** data) = 0;
    virtual HRESULT GetDragDropEffect(BOOL drag, DWORD keyState, DWORD* effect) = 0;
    virtual HRESULT GetContextMenu(WORD selectionType, IOleObject* object, CHARRANGE* range,
                                   HMENU* menu) = 0;

protected:
    ~IRichEditOleCallback() = default;
};

// Selection kinds handed to GetContextMenu.
inline constexpr WORD SEL_EMPTY = 0x0000;
inline constexpr WORD SEL_TEXT = 0x0001;
inline constexpr WORD SEL_OBJECT = 0x0002;
inline constexpr WORD SEL_MULTICHAR = 0x0004;
inline constexpr WORD SEL_MULTIOBJECT = 0x0008;
// Why data is asked for (GetClipboardData, QueryAcceptData).
inline constexpr DWORD RECO_PASTE = 0;
inline constexpr DWORD RECO_DROP = 1;
inline constexpr DWORD RECO_COPY = 2;
inline constexpr DWORD RECO_CUT = 3;
inline constexpr DWORD RECO_DRAG = 4;

// --- the platform's calls ----------------------------------------------------------------------

void* CoTaskMemAlloc(std::size_t size);
void CoTaskMemFree(void* memory);
// A copy of text in CoTaskMemAlloc'ed memory, zero-terminated; null when out of memory.
LPOLESTR CoTaskStrDup(LPCOLESTR text);

// Lock bytes on memory: new, empty memory for a null hGlobal, else the memory of a handle
// from GetHGlobalFromILockBytes. The memory goes with the last reference when
// deleteOnRelease is set.
HRESULT CreateILockBytesOnHGlobal(HGLOBAL hGlobal, BOOL deleteOnRelease, ILockBytes** lockBytes);
// A new, empty compound document on lock bytes; STGM_CREATE replaces what they held.
HRESULT StgCreateDocfileOnILockBytes(ILockBytes* lockBytes, DWORD mode, DWORD reserved,
                                     IStorage** storage);
// A new, empty compound document on new lock bytes in memory, which go with the document (and
// with *lockBytes, when asked for).
HRESULT CreateMemoryStorage(IStorage** storage, ILockBytes** lockBytes = nullptr);
// The compound document that lock bytes hold.
HRESULT StgOpenStorageOnILockBytes(ILockBytes* lockBytes, DWORD mode, IStorage** storage);

// Memory handles: lock bytes made with deleteOnRelease FALSE leave their memory behind as a
// handle that CreateILockBytesOnHGlobal opens again and GlobalFree frees.
HRESULT GetHGlobalFromILockBytes(ILockBytes* lockBytes, HGLOBAL* hGlobal);
// The size in bytes of the memory behind a handle; 0 for an unknown handle.
std::size_t GlobalSize(HGLOBAL hGlobal);
// Frees a handle's memory once no lock bytes use it; returns null on success, else hGlobal.
HGLOBAL GlobalFree(HGLOBAL hGlobal);

// Releases *p when it is set and clears it.
template <class T> void ReleaseInterface(T*& p) {
    if (p) {
        T* q = p;
        p = nullptr;
        q->Release();
    }
}
