#pragma once
// A gap buffer: one array with a movable hole at the last edit point, so edits that follow
// each other (typing, appending) cost O(1) amortized and reads are a plain index.

#include "platform/richedit/GrowableStorage.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <type_traits>

template <typename T> class SplitVector {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    using Index = std::int64_t;

    explicit SplitVector(std::size_t maxElements = std::numeric_limits<std::uint32_t>::max())
        : storage_(maxElements * sizeof(T)) {}

    Index Length() const { return length_; }

    T ValueAt(Index pos) const {
        assert(pos >= 0 && pos < length_);
        return pos < part1_ ? Data()[pos] : Data()[pos + gap_];
    }
    void SetValueAt(Index pos, T value) {
        assert(pos >= 0 && pos < length_);
        (pos < part1_ ? Data()[pos] : Data()[pos + gap_]) = value;
    }
    T& operator[](Index pos) {
        assert(pos >= 0 && pos < length_);
        return pos < part1_ ? Data()[pos] : Data()[pos + gap_];
    }

    // The insertions throw std::bad_alloc when the storage cannot grow.
    void Insert(Index pos, T value) { InsertValue(pos, 1, value); }
    void InsertValue(Index pos, Index count, T value) {
        if (count <= 0) {
            return;
        }
        RoomFor(count);
        GapTo(pos);
        std::fill_n(Data() + part1_, count, value);
        Added(count);
    }
    void InsertFromArray(Index pos, const T* values, Index count) {
        if (count <= 0) {
            return;
        }
        RoomFor(count);
        GapTo(pos);
        std::memcpy(static_cast<void*>(Data() + part1_), values, std::size_t(count) * sizeof(T));
        Added(count);
    }
    // Opens count elements at pos and returns them for the caller to fill.
    T* InsertUninitialized(Index pos, Index count) {
        RoomFor(count);
        GapTo(pos);
        T* at = Data() + part1_;
        Added(count);
        return at;
    }
    void Delete(Index pos) { DeleteRange(pos, 1); }
    void DeleteRange(Index pos, Index count) {
        assert(pos >= 0 && count >= 0 && pos + count <= length_);
        if (count == 0) {
            return;
        }
        if (pos == 0 && count == length_) {
            DeleteAll();
            return;
        }
        GapTo(pos);
        length_ -= count;
        gap_ += count;
    }
    void DeleteAll() {
        storage_.Release();
        length_ = part1_ = gap_ = 0;
    }

    void GetRange(T* out, Index pos, Index count) const {
        assert(pos >= 0 && count >= 0 && pos + count <= length_);
        const Index first = std::clamp<Index>(part1_ - pos, 0, count);
        if (first > 0) {
            std::memcpy(static_cast<void*>(out), Data() + pos, std::size_t(first) * sizeof(T));
        }
        if (count > first) {
            std::memcpy(static_cast<void*>(out + first), Data() + pos + first + gap_,
                        std::size_t(count - first) * sizeof(T));
        }
    }

    // Calls fn(const T*, count) for the one or two contiguous pieces of [pos, pos + count).
    template <typename Fn> void ForEachSegment(Index pos, Index count, Fn&& fn) const {
        const Index first = std::clamp<Index>(part1_ - pos, 0, count);
        if (first > 0) {
            fn(Data() + pos, first);
        }
        if (count > first) {
            fn(Data() + pos + first + gap_, count - first);
        }
    }

    // A contiguous view of [pos, pos + count), moving the gap away from it if needed.
    const T* RangePointer(Index pos, Index count) {
        if (pos < part1_ && pos + count > part1_) {
            GapTo(pos);
        }
        return pos < part1_ ? Data() + pos : Data() + pos + gap_;
    }

    std::size_t FootprintBytes() const { return storage_.FootprintBytes(); }

private:
    T* Data() const { return reinterpret_cast<T*>(storage_.Data()); }

    void GapTo(Index pos) {
        assert(pos >= 0 && pos <= length_);
        if (pos == part1_) {
            return;
        }
        T* d = Data();
        if (pos < part1_) {
            std::memmove(static_cast<void*>(d + pos + gap_), d + pos,
                         std::size_t(part1_ - pos) * sizeof(T));
        } else {
            std::memmove(static_cast<void*>(d + part1_), d + part1_ + gap_,
                         std::size_t(pos - part1_) * sizeof(T));
        }
        part1_ = pos;
    }

    void RoomFor(Index count) {
        if (gap_ >= count) {
            return;
        }
        // Growth happens with the gap at the end, so the new room simply extends the gap.
        GapTo(length_);
        const std::size_t need = std::size_t(length_ + count) * sizeof(T);
        if (!storage_.Grow(need, std::size_t(length_) * sizeof(T))) {
            throw std::bad_alloc();
        }
        gap_ = Index(storage_.Capacity() / sizeof(T)) - length_;
    }

    void Added(Index count) {
        part1_ += count;
        length_ += count;
        gap_ -= count;
    }

    GrowableStorage storage_;
    Index length_ = 0;
    Index part1_ = 0;
    Index gap_ = 0;
};
