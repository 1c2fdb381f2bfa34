#pragma once
// Raw storage for the gap buffer of trivially copyable elements. Small arrays live on the
// heap and grow by copying; once an array passes a few megabytes it moves, once, into a
// large reserved address range and from then on grows in place by committing more pages.
// A document of a gigabyte or more can thus keep growing without ever copying itself
// again, and without the transient double footprint of a reallocation.

#include <cstddef>
#include <cstdint>

class GrowableStorage {
public:
    // maxBytes is the most the array may ever need; it sizes the reservation.
    explicit GrowableStorage(std::size_t maxBytes) : maxBytes_(maxBytes) {}
    ~GrowableStorage();
    GrowableStorage(const GrowableStorage&) = delete;
    GrowableStorage& operator=(const GrowableStorage&) = delete;

    std::byte* Data() const { return data_; }
    std::size_t Capacity() const { return capacity_; }

    // Makes room for at least bytes (usually more, for the growth to come); keeps the first
    // keepBytes of the old content.
    // Returns false when the memory cannot be had (the content is then unchanged).
    bool Grow(std::size_t bytes, std::size_t keepBytes);

    // Gives all memory back.
    void Release();

    // Bytes the storage holds from the system (committed pages or heap block).
    std::size_t FootprintBytes() const { return capacity_; }

private:
    bool GrowReserved(std::size_t bytes);

    std::byte* data_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t maxBytes_;
    std::size_t reservedBytes_ = 0; // non-zero once data_ is a reserved range
};
