// Lock bytes on memory, and the memory handles that outlive them.

#include "platform/ole/ComObject.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

// Memory that lock bytes made with deleteOnRelease FALSE leave behind, by handle. A handle
// is the address of its memory block, which stays put until GlobalFree.
struct Handles {
    std::mutex lock;
    std::unordered_map<HGLOBAL, std::shared_ptr<Bytes>> blocks;
};

Handles& GlobalHandles() {
    static Handles handles;
    return handles;
}

std::shared_ptr<Bytes> BlockOf(HGLOBAL handle) {
    Handles& h = GlobalHandles();
    const std::lock_guard guard(h.lock);
    auto it = h.blocks.find(handle);
    return it == h.blocks.end() ? nullptr : it->second;
}

// Lock bytes never grow past this: offsets and sizes beyond it are refused, not allocated.
constexpr std::uint64_t MaxSize = std::uint64_t(1) << 31;

class MemoryLockBytes final : public ComObject<ILockBytes> {
public:
    MemoryLockBytes(std::shared_ptr<Bytes> bytes, bool deleteOnRelease) : bytes_(std::move(bytes)) {
        if (!deleteOnRelease) {
            Handles& h = GlobalHandles();
            const std::lock_guard guard(h.lock);
            handle_ = bytes_.get();
            h.blocks.emplace(handle_, bytes_);
        }
    }

    HGLOBAL Handle() const { return handle_; }

    HRESULT ReadAt(std::uint64_t offset, void* pv, ULONG cb, ULONG* pcbRead) override {
        if (!pv && cb > 0) {
            return STG_E_INVALIDPOINTER;
        }
        const std::uint64_t size = bytes_->size();
        const ULONG n = offset >= size ? 0 : ULONG(std::min<std::uint64_t>(cb, size - offset));
        if (n > 0) {
            std::memcpy(pv, bytes_->data() + offset, n);
        }
        if (pcbRead) {
            *pcbRead = n;
        }
        return S_OK;
    }
    HRESULT WriteAt(std::uint64_t offset, const void* pv, ULONG cb, ULONG* pcbWritten) override {
        if (pcbWritten) {
            *pcbWritten = 0;
        }
        if (!pv && cb > 0) {
            return STG_E_INVALIDPOINTER;
        }
        if (offset > MaxSize || cb > MaxSize - offset) {
            return STG_E_INVALIDFUNCTION;
        }
        if (offset + cb > bytes_->size()) {
            bytes_->resize(offset + cb);
        }
        if (cb > 0) {
            std::memcpy(bytes_->data() + offset, pv, cb);
        }
        if (pcbWritten) {
            *pcbWritten = cb;
        }
        return S_OK;
    }
    HRESULT Flush() override { return S_OK; }
    HRESULT SetSize(std::uint64_t cb) override {
        if (cb > MaxSize) {
            return STG_E_INVALIDFUNCTION;
        }
        bytes_->resize(cb);
        return S_OK;
    }
    HRESULT GetSize(std::uint64_t* pcb) override {
        if (!pcb) {
            return STG_E_INVALIDPOINTER;
        }
        *pcb = bytes_->size();
        return S_OK;
    }

private:
    std::shared_ptr<Bytes> bytes_;
    HGLOBAL handle_ = nullptr;
};

} // namespace

HRESULT CreateILockBytesOnHGlobal(HGLOBAL hGlobal, BOOL deleteOnRelease, ILockBytes** lockBytes) {
    if (!lockBytes) {
        return E_INVALIDARG;
    }
    *lockBytes = nullptr;
    std::shared_ptr<Bytes> bytes = hGlobal ? BlockOf(hGlobal) : std::make_shared<Bytes>();
    if (!bytes) {
        return E_INVALIDARG;
    }
    if (hGlobal && deleteOnRelease) {
        // The handle's memory now belongs to these lock bytes alone.
        Handles& h = GlobalHandles();
        const std::lock_guard guard(h.lock);
        h.blocks.erase(hGlobal);
    }
    // Reopening a handle without deleteOnRelease keeps it registered under the same address.
    auto* object = MakeComObject<MemoryLockBytes>(std::move(bytes), deleteOnRelease != FALSE);
    if (!object) {
        return E_OUTOFMEMORY;
    }
    *lockBytes = object;
    return S_OK;
}

HRESULT GetHGlobalFromILockBytes(ILockBytes* lockBytes, HGLOBAL* hGlobal) {
    if (!hGlobal) {
        return E_INVALIDARG;
    }
    *hGlobal = nullptr;
    auto* memory = dynamic_cast<MemoryLockBytes*>(lockBytes);
    if (!memory || !memory->Handle()) {
        // Memory that goes with its lock bytes has no handle to outlive them.
        return E_INVALIDARG;
    }
    *hGlobal = memory->Handle();
    return S_OK;
}

std::size_t GlobalSize(HGLOBAL hGlobal) {
    const std::shared_ptr<Bytes> bytes = BlockOf(hGlobal);
    return bytes ? bytes->size() : 0;
}

HGLOBAL GlobalFree(HGLOBAL hGlobal) {
    Handles& h = GlobalHandles();
    const std::lock_guard guard(h.lock);
    return h.blocks.erase(hGlobal) > 0 ? nullptr : hGlobal;
}
