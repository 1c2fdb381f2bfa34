// Embedded objects in RTF. Written as
//   {\object\objemb{\*\objclass NAME}\objw W\objh H{\*\objdata HEX}{\result TEXT}}
// where the data are the bytes of a storage the object saved itself into, and the result is
// what a reader that does not know the class shows instead ("[" the object's user type "]").
// Read back, an object whose class is registered and whose data load becomes an object
// again; anything else keeps its result text.

#include "platform/ole/ObjectClasses.h"
#include "platform/richedit/RichEditControl.h"

namespace {

// Objects whose saved data would pass this are written as their result text only.
constexpr std::size_t MaxObjectData = std::size_t(64) << 20;

LONG TwipsFromHimetric(LONG himetric) {
    return LONG(std::int64_t(himetric) * 1440 / 2540);
}

LONG HimetricFromTwips(long long twips) {
    return LONG(std::clamp<long long>(twips * 2540 / 1440, 0, INT32_MAX));
}

// Text as RTF: ASCII as it is (with its specials escaped), the rest as \uN with a '?'.
std::string RtfEscaped(std::u16string_view text) {
    std::string out;
    for (char16_t c : text) {
        if (c == u'\\' || c == u'{' || c == u'}') {
            out.push_back('\\');
            out.push_back(char(c));
        } else if (c >= 0x20 && c < 0x7F) {
            out.push_back(char(c));
        } else {
            out += "\\u" + std::to_string(std::int16_t(c)) + "?";
        }
    }
    return out;
}

void AppendHex(std::string& out, const std::string& bytes) {
    static constexpr char digits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i % 64 == 0) {
            out += "\r\n"; // readers ignore line breaks; editors like short lines
        }
        const auto b = static_cast<unsigned char>(bytes[i]);
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
}

std::u16string UserType(IOleObject* object) {
    LPOLESTR name = nullptr;
    std::u16string type;
    if (SUCCEEDED(object->GetUserType(USERCLASSTYPE_SHORT, &name)) && name) {
        type = name;
    }
    CoTaskMemFree(name);
    return type.empty() ? u"Object" : type;
}

} // namespace

std::u16string RichEditControl::ObjectResultText(std::int32_t id) {
    const ObjectEntry* entry = objectTable_.Find(id);
    return entry ? u"[" + UserType(entry->object.Get()) + u"]" : u" ";
}

std::string RichEditControl::ObjectRtf(std::int32_t id) {
    const ObjectEntry* entry = objectTable_.Find(id);
    if (!entry) {
        return {};
    }
    LPOLESTR className = nullptr;
    ComPtr<ILockBytes> bytes;
    std::string data;
    if (FAILED(ProgIDFromCLSID(entry->clsid, &className)) ||
        FAILED(SaveObjectToLockBytes(entry->object.Get(), bytes.Put())) ||
        FAILED(ReadAllLockBytes(bytes.Get(), data, MaxObjectData))) {
        CoTaskMemFree(className);
        return {}; // an object we cannot write whole is written as its text
    }
    const std::u16string name = className;
    CoTaskMemFree(className);
    std::string out = "{\\object\\objemb{\\*\\objclass " + RtfEscaped(name) + "}";
    out += "\\objw" + std::to_string(TwipsFromHimetric(entry->size.cx));
    out += "\\objh" + std::to_string(TwipsFromHimetric(entry->size.cy));
    out += "{\\*\\objdata";
    AppendHex(out, data);
    out += "\r\n}{\\result " + RtfEscaped(ObjectResultText(id)) + "}}";
    return out;
}

std::int32_t RichEditControl::EmbedFromRtf(const RtfObjectData& data, std::int64_t base) {
    std::u16string name(data.className.begin(), data.className.end());
    while (!name.empty() && name.back() == u' ') {
        name.pop_back();
    }
    CLSID clsid{};
    if (name.empty() || FAILED(CLSIDFromProgID(name.c_str(), &clsid)) ||
        data.data.size() > 0xFFFFFFFFu) {
        return 0;
    }
    // The data as a storage of their own, for the object to load from.
    ComPtr<ILockBytes> bytes;
    ComPtr<IStorage> loaded;
    ULONG written = 0;
    if (FAILED(CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.Put())) ||
        FAILED(bytes->WriteAt(0, data.data.data(), ULONG(data.data.size()), &written)) ||
        FAILED(StgOpenStorageOnILockBytes(bytes.Get(), STGM_READWRITE | STGM_SHARE_EXCLUSIVE,
                                          loaded.Put()))) {
        return 0;
    }
    ComPtr<IOleObject> object;
    if (FAILED(CreateObjectFromStorage(clsid, loaded.Get(), object.Put()))) {
        return 0;
    }
    // With a callback, the container says where the object's storage lives; the object
    // saves itself there. Without one, the storage it came from serves.
    ComPtr<IStorage> storage = loaded;
    const auto fail = [&object] {
        object->Close(OLECLOSE_NOSAVE);
        return 0;
    };
    if (callback_) {
        ComPtr<IPersistStorage> persist = object.As<IPersistStorage>();
        if (FAILED(callback_->GetNewStorage(storage.Put())) || !storage || !persist ||
            FAILED(persist->Save(storage.Get(), FALSE)) || FAILED(storage->Commit(STGC_DEFAULT))) {
            return fail();
        }
        CLSID asked = clsid;
        if (FAILED(callback_->QueryInsertObject(&asked, storage.Get(), LONG(base + data.offset)))) {
            return fail();
        }
    }
    ObjectEntry entry;
    entry.object = object;
    entry.storage = storage;
    CreateControlSite(ole_.Get(), entry.site.Put());
    entry.clsid = clsid;
    if (data.width > 0 && data.height > 0) {
        entry.size = {HimetricFromTwips(data.width), HimetricFromTwips(data.height)};
        object->SetExtent(DVASPECT_CONTENT, &entry.size);
    } else if (FAILED(object->GetExtent(DVASPECT_CONTENT, &entry.size))) {
        entry.size = {};
    }
    object->SetClientSite(entry.site.Get());
    return objectTable_.Add(std::move(entry));
}

StreamContext RichEditControl::StreamInContext(WPARAM flags) {
    StreamContext context = streaming_;
    const Pos base = (flags & SFF_SELECTION) ? doc_.TextSelection().min : 0;
    context.embedObject = [this, base](const RtfObjectData& data) {
        return EmbedFromRtf(data, base);
    };
    return context;
}
