#include "platform/ole/SampleObject.h"

#include "platform/LittleEndian.h"
#include "platform/ole/ObjectClasses.h"

#include <QPainter>
#include <QString>
#include <algorithm>
#include <atomic>

namespace {

std::atomic<int> alive{0};

constexpr char16_t ContentsStream[] = u"CONTENTS";
constexpr char16_t ExtentStream[] = u"EXTENT";
// A sample's text is a caption; anything longer in a storage is damage, not a caption.
constexpr std::uint64_t MaxTextBytes = 1 << 20;

// Hands out the verbs in turn; each name in new task memory, which the receiver frees.
class VerbEnumerator final : public ComObject<IEnumOLEVERB> {
public:
    VerbEnumerator(std::vector<SampleVerb> verbs, std::size_t next)
        : verbs_(std::move(verbs)), next_(next) {}

    HRESULT Next(ULONG celt, OLEVERB* verbs, ULONG* fetched) override {
        if (!verbs || (!fetched && celt != 1)) {
            return E_POINTER;
        }
        ULONG n = 0;
        for (; n < celt && next_ < verbs_.size(); ++n, ++next_) {
            const SampleVerb& v = verbs_[next_];
            LPOLESTR name = CoTaskStrDup(v.name.c_str());
            if (!name) {
                for (ULONG k = 0; k < n; ++k) {
                    CoTaskMemFree(verbs[k].lpszVerbName);
                    verbs[k].lpszVerbName = nullptr;
                }
                return E_OUTOFMEMORY;
            }
            verbs[n] = {v.number, name, v.menuFlags, v.attributes};
        }
        if (fetched) {
            *fetched = n;
        }
        return n == celt ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG celt) override {
        const std::size_t left = verbs_.size() - next_;
        next_ += std::min<std::size_t>(celt, left);
        return celt <= left ? S_OK : S_FALSE;
    }
    HRESULT Reset() override {
        next_ = 0;
        return S_OK;
    }
    HRESULT Clone(IEnumOLEVERB** clone) override {
        if (!clone) {
            return E_POINTER;
        }
        *clone = MakeComObject<VerbEnumerator>(verbs_, next_);
        return *clone ? S_OK : E_OUTOFMEMORY;
    }

private:
    std::vector<SampleVerb> verbs_;
    std::size_t next_;
};

HRESULT WriteStream(IStorage* storage, LPCOLESTR name, const void* data, ULONG size) {
    ComPtr<IStream> stream;
    HRESULT hr = storage->CreateStream(name, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE,
                                       stream.Put());
    if (SUCCEEDED(hr)) {
        ULONG written = 0;
        hr = stream->Write(data, size, &written);
        if (SUCCEEDED(hr) && written != size) {
            hr = STG_E_ACCESSDENIED;
        }
    }
    return hr;
}

HRESULT ReadStream(IStorage* storage, LPCOLESTR name, std::string& out) {
    ComPtr<IStream> stream;
    HRESULT hr = storage->OpenStream(name, STGM_READ | STGM_SHARE_EXCLUSIVE, stream.Put());
    if (FAILED(hr)) {
        return hr;
    }
    std::uint64_t size = 0;
    hr = stream->Seek(0, STREAM_SEEK_END, &size);
    if (SUCCEEDED(hr) && size > MaxTextBytes) {
        hr = STG_E_INVALIDHEADER;
    }
    if (SUCCEEDED(hr)) {
        hr = stream->Seek(0, STREAM_SEEK_SET, nullptr);
    }
    if (FAILED(hr)) {
        return hr;
    }
    out.assign(std::size_t(size), '\0');
    ULONG read = 0;
    hr = size == 0 ? S_OK : stream->Read(out.data(), ULONG(size), &read);
    out.resize(read);
    return hr;
}

} // namespace

std::vector<SampleVerb> DefaultSampleVerbs() {
    return {{0, u"&Edit", 0, OLEVERBATTRIB_ONCONTAINERMENU},
            {1, u"&Open", 0, OLEVERBATTRIB_ONCONTAINERMENU}};
}

HRESULT CreateSampleObject(std::vector<SampleVerb> verbs, std::u16string text,
                           IOleObject** object) {
    if (!object) {
        return E_POINTER;
    }
    *object = MakeComObject<SampleObject>(std::move(verbs), std::move(text));
    return *object ? S_OK : E_OUTOFMEMORY;
}

void RegisterSampleObjectClass() {
    RegisterObjectClass(SampleObjectClassName, CLSID_KelvorSampleObject, [](IOleObject** object) {
        return CreateSampleObject(DefaultSampleVerbs(), {}, object);
    });
}

SampleObject* SampleObjectOf(IOleObject* object) {
    return dynamic_cast<SampleObject*>(object);
}

int SampleObjectsAlive() {
    return alive.load();
}

SampleObject::SampleObject(std::vector<SampleVerb> verbs, std::u16string text)
    : verbs_(std::move(verbs)), text_(std::move(text)) {
    ++alive;
}

SampleObject::~SampleObject() {
    --alive;
}

void SampleObject::SetText(std::u16string text) {
    text_ = std::move(text);
    dirty_ = true;
    if (site_) {
        site_->RequestNewObjectLayout();
    }
}

// --- IOleObject ------------------------------------------------------------------------------

HRESULT SampleObject::SetClientSite(IOleClientSite* site) {
    site_ = ComPtr<IOleClientSite>::Share(site);
    return S_OK;
}

HRESULT SampleObject::GetClientSite(IOleClientSite** site) {
    if (!site) {
        return E_POINTER;
    }
    site_.CopyTo(site);
    return S_OK;
}

HRESULT SampleObject::Close(DWORD saveOption) {
    ++closeCount_;
    lastCloseOption_ = saveOption;
    // Nothing runs that could be asked, so "prompt" saves as "save if dirty" does.
    if (saveOption != OLECLOSE_NOSAVE && dirty_ && site_) {
        site_->SaveObject();
    }
    lastVerbSite_.Reset(); // a closed object lets go of what the last verb handed it
    return S_OK;
}

// A positive verb number the object does not list is carried out as the primary verb and
// answered with OLEOBJ_S_INVALIDVERB; a negative one it does not know (in-place activation
// among them: there is none here) is E_NOTIMPL. Both are the published rules for DoVerb.
HRESULT SampleObject::DoVerb(LONG verb, const MSG*, IOleClientSite* activeSite, LONG, HWND parent,
                             const RECT* posRect) {
    verbsDone_.push_back(verb);
    lastVerbWindow_ = parent;
    lastVerbRect_ = posRect ? *posRect : RECT{};
    lastVerbSite_ = ComPtr<IOleClientSite>::Share(activeSite);
    if (FAILED(failDoVerb_)) {
        return failDoVerb_;
    }
    if (verb < 0) {
        return verb == OLEIVERB_SHOW || verb == OLEIVERB_OPEN || verb == OLEIVERB_HIDE ? S_OK
                                                                                       : E_NOTIMPL;
    }
    const bool listed = std::any_of(verbs_.begin(), verbs_.end(),
                                    [verb](const SampleVerb& v) { return v.number == verb; });
    return listed || verb == OLEIVERB_PRIMARY ? S_OK : OLEOBJ_S_INVALIDVERB;
}

HRESULT SampleObject::EnumVerbs(IEnumOLEVERB** enumVerbs) {
    if (!enumVerbs) {
        return E_POINTER;
    }
    *enumVerbs = nullptr;
    if (failEnumVerbs_) {
        return E_FAIL;
    }
    if (verbs_.empty()) {
        return OLEOBJ_E_NOVERBS;
    }
    *enumVerbs = MakeComObject<VerbEnumerator>(verbs_, 0);
    return *enumVerbs ? S_OK : E_OUTOFMEMORY;
}

HRESULT SampleObject::GetUserClassID(CLSID* clsid) {
    return GetClassID(clsid);
}

HRESULT SampleObject::GetUserType(DWORD formOfType, LPOLESTR* userType) {
    if (!userType) {
        return E_POINTER;
    }
    const char16_t* text = formOfType == USERCLASSTYPE_SHORT     ? u"Sample Object"
                           : formOfType == USERCLASSTYPE_APPNAME ? u"Kelvor"
                                                                 : u"Kelvor Sample Object";
    *userType = CoTaskStrDup(text);
    return *userType ? S_OK : E_OUTOFMEMORY;
}

HRESULT SampleObject::SetExtent(DWORD aspect, const SIZEL* size) {
    if (!size) {
        return E_POINTER;
    }
    if (aspect != DVASPECT_CONTENT) {
        return DV_E_DVASPECT;
    }
    if (size->cx <= 0 || size->cy <= 0) {
        return E_INVALIDARG;
    }
    extent_ = *size;
    dirty_ = true;
    return S_OK;
}

HRESULT SampleObject::GetExtent(DWORD aspect, SIZEL* size) {
    if (!size) {
        return E_POINTER;
    }
    if (aspect != DVASPECT_CONTENT) {
        return DV_E_DVASPECT;
    }
    *size = extent_;
    return S_OK;
}

// --- IPersistStorage -------------------------------------------------------------------------

HRESULT SampleObject::GetClassID(CLSID* clsid) {
    if (!clsid) {
        return E_POINTER;
    }
    *clsid = CLSID_KelvorSampleObject;
    return S_OK;
}

HRESULT SampleObject::InitNew(IStorage* storage) {
    return storage ? S_OK : E_POINTER;
}

HRESULT SampleObject::Load(IStorage* storage) {
    if (!storage) {
        return E_POINTER;
    }
    std::string bytes;
    HRESULT hr = ReadStream(storage, ContentsStream, bytes);
    if (FAILED(hr)) {
        return hr;
    }
    if (bytes.size() % 2 != 0) {
        return STG_E_INVALIDHEADER;
    }
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    std::u16string text;
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        text.push_back(GetLittleEndian<char16_t>(data + i));
    }
    // The extent is optional: older saves and other writers may leave it out.
    std::string extent;
    if (SUCCEEDED(ReadStream(storage, ExtentStream, extent)) && extent.size() == 8) {
        const auto at = [&extent](std::size_t i) {
            return LONG(GetLittleEndian<std::uint32_t>(
                reinterpret_cast<const unsigned char*>(extent.data()) + i));
        };
        if (at(0) > 0 && at(4) > 0) {
            extent_ = {at(0), at(4)};
        }
    }
    text_ = std::move(text);
    dirty_ = false;
    return S_OK;
}

HRESULT SampleObject::Save(IStorage* storage, BOOL) {
    if (!storage) {
        return E_POINTER;
    }
    std::string bytes(text_.size() * 2, '\0');
    auto* out = reinterpret_cast<unsigned char*>(bytes.data());
    for (std::size_t i = 0; i < text_.size(); ++i) {
        PutLittleEndian(out + 2 * i, text_[i]);
    }
    HRESULT hr = WriteStream(storage, ContentsStream, bytes.data(), ULONG(bytes.size()));
    if (SUCCEEDED(hr)) {
        unsigned char extent[8];
        PutLittleEndian(extent, std::uint32_t(extent_.cx));
        PutLittleEndian(extent + 4, std::uint32_t(extent_.cy));
        hr = WriteStream(storage, ExtentStream, extent, sizeof extent);
    }
    if (SUCCEEDED(hr)) {
        dirty_ = false;
    }
    return hr;
}

// --- IViewObject -----------------------------------------------------------------------------

HRESULT SampleObject::Draw(DWORD aspect, HDC dc, const RECT* bounds) {
    if (!dc || !bounds) {
        return E_INVALIDARG;
    }
    if (aspect != DVASPECT_CONTENT) {
        return DV_E_DVASPECT;
    }
    ++drawCount_;
    QPainter* painter = PainterOf(dc);
    if (!painter) {
        return S_OK; // a measuring context draws nothing
    }
    const QRect box(bounds->left, bounds->top, bounds->right - bounds->left,
                    bounds->bottom - bounds->top);
    if (box.width() < 2 || box.height() < 2) {
        return S_OK;
    }
    painter->save();
    painter->setClipRect(box, Qt::IntersectClip);
    painter->fillRect(box, QColor(255, 255, 224));
    painter->setPen(QColor(64, 64, 64));
    painter->drawRect(box.adjusted(0, 0, -1, -1));
    const QString text = QString::fromStdU16String(text_);
    const QRect inner = box.adjusted(3, 1, -3, -1);
    painter->drawText(inner, Qt::AlignCenter,
                      painter->fontMetrics().elidedText(text, Qt::ElideRight, inner.width()));
    painter->restore();
    return S_OK;
}
