#include "platform/richedit/GrowableStorage.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>

namespace {

// Below this size a plain heap block and a copy on growth are cheaper than a reservation.
constexpr std::size_t ReserveThreshold = std::size_t(8) << 20;
constexpr std::size_t CommitStep = std::size_t(2) << 20;

std::size_t RoundUp(std::size_t v, std::size_t step) {
    return (v + step - 1) / step * step;
}

} // namespace

GrowableStorage::~GrowableStorage() {
    Release();
}

void GrowableStorage::Release() {
    if (reservedBytes_ != 0) {
        ::munmap(data_, reservedBytes_);
    } else {
        std::free(data_);
    }
    data_ = nullptr;
    capacity_ = 0;
    reservedBytes_ = 0;
}

bool GrowableStorage::Grow(std::size_t bytes, std::size_t keepBytes) {
    if (bytes <= capacity_) {
        return true;
    }
    if (bytes > maxBytes_) {
        return false;
    }
    if (reservedBytes_ != 0) {
        return GrowReserved(bytes);
    }
    if (bytes >= ReserveThreshold && maxBytes_ > ReserveThreshold) {
        void* range = ::mmap(nullptr, maxBytes_, PROT_NONE,
                             MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (range != MAP_FAILED) {
            std::byte* old = data_;
            const std::size_t oldCapacity = capacity_;
            data_ = static_cast<std::byte*>(range);
            reservedBytes_ = maxBytes_;
            capacity_ = 0;
            if (!GrowReserved(bytes)) {
                ::munmap(range, maxBytes_);
                data_ = old;
                capacity_ = oldCapacity;
                reservedBytes_ = 0;
                return false;
            }
            if (keepBytes != 0) {
                std::memcpy(data_, old, keepBytes);
            }
            std::free(old);
            return true;
        }
        // No address space to reserve: fall back to the heap.
    }
    // Geometric growth keeps appending amortized O(1) while the array is small.
    std::size_t want =
        std::min(std::max({bytes, capacity_ + capacity_ / 2, std::size_t(256)}), maxBytes_);
    void* block = std::realloc(data_, want);
    if (block == nullptr && want > bytes) {
        want = bytes;
        block = std::realloc(data_, want);
    }
    if (block == nullptr) {
        return false;
    }
    data_ = static_cast<std::byte*>(block);
    capacity_ = want;
    return true;
}

bool GrowableStorage::GrowReserved(std::size_t bytes) {
    // Commit ahead by an eighth so that steady growth costs few system calls, while the
    // unused tail stays small against the document.
    std::size_t target = std::max(bytes, capacity_ + capacity_ / 8);
    target = std::min(RoundUp(target, CommitStep), reservedBytes_);
    if (target < bytes) {
        return false;
    }
    if (::mprotect(data_ + capacity_, target - capacity_, PROT_READ | PROT_WRITE) != 0) {
        return false;
    }
    capacity_ = target;
    return true;
}
