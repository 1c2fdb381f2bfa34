// A compound document on lock bytes: named streams held in memory while the storage is
// open, written to the lock bytes (StorageFormat.h) by Commit. Streams write straight into
// the storage's copy of their element; only Commit touches the lock bytes.

#include "platform/ole/ComObject.h"
#include "platform/ole/StorageFormat.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint64_t MaxStreamSize = std::uint64_t(1) << 31;

bool CanWrite(DWORD mode) {
    return (mode & 0x3) == STGM_WRITE || (mode & 0x3) == STGM_READWRITE;
}

bool CanRead(DWORD mode) {
    return (mode & 0x3) != STGM_WRITE;
}

class MemoryStream final : public ComObject<IStream> {
public:
    MemoryStream(std::shared_ptr<StorageBytes> bytes, DWORD mode)
        : bytes_(std::move(bytes)), mode_(mode) {}

    HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) override {
        if (pcbRead) {
            *pcbRead = 0;
        }
        if (!pv && cb > 0) {
            return STG_E_INVALIDPOINTER;
        }
        if (!CanRead(mode_)) {
            return STG_E_ACCESSDENIED;
        }
        const std::uint64_t size = bytes_->size();
        const ULONG n = pos_ >= size ? 0 : ULONG(std::min<std::uint64_t>(cb, size - pos_));
        if (n > 0) {
            std::memcpy(pv, bytes_->data() + pos_, n);
        }
        pos_ += n;
        if (pcbRead) {
            *pcbRead = n;
        }
        return S_OK;
    }
    HRESULT Write(const void* pv, ULONG cb, ULONG* pcbWritten) override {
        if (pcbWritten) {
            *pcbWritten = 0;
        }
        if (!pv && cb > 0) {
            return STG_E_INVALIDPOINTER;
        }
        if (!CanWrite(mode_)) {
            return STG_E_ACCESSDENIED;
        }
        if (pos_ > MaxStreamSize || cb > MaxStreamSize - pos_) {
            return STG_E_INVALIDFUNCTION;
        }
        if (pos_ + cb > bytes_->size()) {
            bytes_->resize(pos_ + cb);
        }
        if (cb > 0) {
            std::memcpy(bytes_->data() + pos_, pv, cb);
        }
        pos_ += cb;
        if (pcbWritten) {
            *pcbWritten = cb;
        }
        return S_OK;
    }
    HRESULT Seek(std::int64_t move, DWORD origin, std::uint64_t* newPosition) override {
        std::int64_t base = 0;
        switch (origin) {
        case STREAM_SEEK_SET:
            break;
        case STREAM_SEEK_CUR:
            base = std::int64_t(pos_);
            break;
        case STREAM_SEEK_END:
            base = std::int64_t(bytes_->size());
            break;
        default:
            return STG_E_INVALIDFUNCTION;
        }
        // Before the start is an error; past the end is allowed (a write there fills the gap).
        if ((move < 0 && -move > base) ||
            (move > 0 && std::uint64_t(move) > MaxStreamSize - std::uint64_t(base))) {
            return STG_E_INVALIDFUNCTION;
        }
        pos_ = std::uint64_t(base + move);
        if (newPosition) {
            *newPosition = pos_;
        }
        return S_OK;
    }
    HRESULT SetSize(std::uint64_t size) override {
        if (!CanWrite(mode_)) {
            return STG_E_ACCESSDENIED;
        }
        if (size > MaxStreamSize) {
            return STG_E_INVALIDFUNCTION;
        }
        bytes_->resize(size);
        return S_OK;
    }

private:
    std::shared_ptr<StorageBytes> bytes_;
    DWORD mode_;
    std::uint64_t pos_ = 0;
};

class DocStorage final : public ComObject<IStorage> {
public:
    DocStorage(ILockBytes* lockBytes, DWORD mode, StorageElements elements)
        : lockBytes_(ComPtr<ILockBytes>::Share(lockBytes)), mode_(mode),
          elements_(std::move(elements)) {}

    HRESULT CreateStream(LPCOLESTR name, DWORD mode, IStream** stream) override {
        if (!stream) {
            return STG_E_INVALIDPOINTER;
        }
        *stream = nullptr;
        if (!name) {
            return STG_E_INVALIDPOINTER;
        }
        if (!ValidElementName(name)) {
            return STG_E_INVALIDNAME;
        }
        if (!CanWrite(mode_) || !CanWrite(mode)) {
            return STG_E_ACCESSDENIED;
        }
        auto it = elements_.find(name);
        if (it != elements_.end() && !(mode & STGM_CREATE)) {
            return STG_E_FILEALREADYEXISTS;
        }
        // STGM_CREATE replaces: a fresh element, while streams still open on the old one keep it.
        auto bytes = std::make_shared<StorageBytes>();
        elements_[name] = bytes;
        return Hand(std::move(bytes), mode, stream);
    }
    HRESULT OpenStream(LPCOLESTR name, DWORD mode, IStream** stream) override {
        if (!stream) {
            return STG_E_INVALIDPOINTER;
        }
        *stream = nullptr;
        if (!name) {
            return STG_E_INVALIDPOINTER;
        }
        if (mode & STGM_CREATE) {
            return STG_E_INVALIDFUNCTION;
        }
        if (CanWrite(mode) && !CanWrite(mode_)) {
            return STG_E_ACCESSDENIED;
        }
        auto it = elements_.find(name);
        if (it == elements_.end()) {
            return STG_E_FILENOTFOUND;
        }
        return Hand(it->second, mode, stream);
    }
    HRESULT DestroyElement(LPCOLESTR name) override {
        if (!name) {
            return STG_E_INVALIDPOINTER;
        }
        if (!CanWrite(mode_)) {
            return STG_E_ACCESSDENIED;
        }
        return elements_.erase(name) > 0 ? S_OK : STG_E_FILENOTFOUND;
    }
    HRESULT Commit(DWORD) override {
        if (!CanWrite(mode_)) {
            return STG_E_ACCESSDENIED;
        }
        return WriteElements(lockBytes_.Get(), elements_);
    }

    static HRESULT WriteElements(ILockBytes* lockBytes, const StorageElements& elements) {
        const StorageBytes bytes = EncodeStorage(elements);
        if (bytes.size() > 0xFFFFFFFFu) {
            return STG_E_INVALIDFUNCTION;
        }
        HRESULT hr = lockBytes->SetSize(bytes.size());
        ULONG written = 0;
        if (SUCCEEDED(hr)) {
            hr = lockBytes->WriteAt(0, bytes.data(), ULONG(bytes.size()), &written);
        }
        if (SUCCEEDED(hr) && written != bytes.size()) {
            hr = STG_E_ACCESSDENIED;
        }
        return SUCCEEDED(hr) ? lockBytes->Flush() : hr;
    }

private:
    static HRESULT Hand(std::shared_ptr<StorageBytes> bytes, DWORD mode, IStream** stream) {
        auto* object = MakeComObject<MemoryStream>(std::move(bytes), mode);
        if (!object) {
            return E_OUTOFMEMORY;
        }
        *stream = object;
        return S_OK;
    }

    ComPtr<ILockBytes> lockBytes_;
    DWORD mode_;
    StorageElements elements_;
};

HRESULT HandStorage(ILockBytes* lockBytes, DWORD mode, StorageElements elements,
                    IStorage** storage) {
    auto* object = MakeComObject<DocStorage>(lockBytes, mode, std::move(elements));
    if (!object) {
        return E_OUTOFMEMORY;
    }
    *storage = object;
    return S_OK;
}

} // namespace

HRESULT CreateMemoryStorage(IStorage** storage, ILockBytes** lockBytes) {
    if (!storage) {
        return STG_E_INVALIDPOINTER;
    }
    *storage = nullptr;
    if (lockBytes) {
        *lockBytes = nullptr;
    }
    ComPtr<ILockBytes> bytes;
    HRESULT hr = CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.Put());
    if (SUCCEEDED(hr)) {
        hr = StgCreateDocfileOnILockBytes(
            bytes.Get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, storage);
    }
    if (SUCCEEDED(hr) && lockBytes) {
        *lockBytes = bytes.Detach();
    }
    return hr;
}

HRESULT StgCreateDocfileOnILockBytes(ILockBytes* lockBytes, DWORD mode, DWORD, IStorage** storage) {
    if (!storage || !lockBytes) {
        return STG_E_INVALIDPOINTER;
    }
    *storage = nullptr;
    if (!CanWrite(mode)) {
        return STG_E_INVALIDFUNCTION; // a new document that cannot be written is no use
    }
    std::uint64_t size = 0;
    HRESULT hr = lockBytes->GetSize(&size);
    if (FAILED(hr)) {
        return hr;
    }
    if (size > 0 && !(mode & STGM_CREATE)) {
        return STG_E_FILEALREADYEXISTS;
    }
    // Written at once, so that the lock bytes hold a valid (empty) document from now on.
    hr = DocStorage::WriteElements(lockBytes, {});
    return FAILED(hr) ? hr : HandStorage(lockBytes, mode, {}, storage);
}

HRESULT StgOpenStorageOnILockBytes(ILockBytes* lockBytes, DWORD mode, IStorage** storage) {
    if (!storage || !lockBytes) {
        return STG_E_INVALIDPOINTER;
    }
    *storage = nullptr;
    if (mode & STGM_CREATE) {
        return STG_E_INVALIDFLAG;
    }
    std::uint64_t size = 0;
    HRESULT hr = lockBytes->GetSize(&size);
    if (FAILED(hr)) {
        return hr;
    }
    if (size > 0x7FFFFFFFu) {
        return STG_E_INVALIDHEADER;
    }
    StorageBytes bytes(std::size_t(size), 0);
    ULONG read = 0;
    hr = size == 0 ? S_OK : lockBytes->ReadAt(0, bytes.data(), ULONG(size), &read);
    if (FAILED(hr)) {
        return hr;
    }
    bytes.resize(read);
    std::optional<StorageElements> elements = DecodeStorage(bytes);
    if (!elements) {
        return STG_E_INVALIDHEADER;
    }
    return HandStorage(lockBytes, mode, std::move(*elements), storage);
}
