#pragma once
// An ordered list of partitions (paragraphs, runs, display lines) kept as their start
// positions, with O(log n) lookup of the partition that holds a position.
//
// Shifting every later start after an edit would make each edit O(n). Instead one pending
// shift (the "step") is kept: starts of partitions after stepPartition_ still lack
// stepLength_. Edits near the previous edit only move the step a little, so typing and
// appending at the end cost O(1) amortized however many partitions there are.

#include "platform/richedit/SplitVector.h"

#include <cstdint>

class Partitioning {
public:
    using Index = std::int64_t;

    Partitioning() {
        starts_.Insert(0, 0);
        starts_.Insert(1, 0);
    }

    Index Partitions() const { return starts_.Length() - 1; }

    // Position where partition starts; Partitions() gives the end of the last one.
    Index PositionFromPartition(Index partition) const {
        assert(partition >= 0 && partition <= Partitions());
        Index pos = starts_.ValueAt(partition);
        if (partition > stepPartition_) {
            pos += stepLength_;
        }
        return pos;
    }

    // The partition that holds pos; positions at or past the end give the last partition,
    // negative ones the first.
    Index PartitionFromPosition(Index pos) const {
        const Index count = Partitions();
        if (count <= 1 || pos < PositionFromPartition(1)) {
            return 0;
        }
        if (pos >= PositionFromPartition(count - 1)) {
            return count - 1;
        }
        Index lower = 1;
        Index upper = count - 1; // invariant: start(lower) <= pos < start(upper)
        while (upper - lower > 1) {
            const Index middle = lower + (upper - lower) / 2;
            if (pos < PositionFromPartition(middle)) {
                upper = middle;
            } else {
                lower = middle;
            }
        }
        return lower;
    }

    // A new partition numbered partition, starting at pos (inside the old partition - 1).
    void InsertPartition(Index partition, Index pos) {
        assert(partition >= 1 && partition <= Partitions());
        if (stepPartition_ < partition) {
            ApplyStep(partition);
        }
        starts_.Insert(partition, pos); // exact: partition <= stepPartition_ here
        ++stepPartition_;
    }

    void SetPartitionStartPosition(Index partition, Index pos) {
        assert(partition >= 0 && partition <= Partitions());
        ApplyStep(partition);
        starts_.SetValueAt(partition, pos);
    }

    // Partition grew by delta (or shrank, when delta < 0): every later start moves.
    void InsertText(Index partition, Index delta) {
        if (delta == 0) {
            return;
        }
        if (stepLength_ != 0) {
            if (partition >= stepPartition_) {
                ApplyStep(partition);
                stepLength_ += delta;
            } else if (partition >= stepPartition_ - Partitions() / 10) {
                BackStep(partition);
                stepLength_ += delta;
            } else {
                ApplyStep(Partitions());
                stepPartition_ = partition;
                stepLength_ = delta;
            }
        } else {
            stepPartition_ = partition;
            stepLength_ = delta;
        }
    }

    // Removes the start of partition, so it merges into the one before it.
    void RemovePartition(Index partition) {
        assert(partition >= 1 && partition < Partitions());
        if (partition > stepPartition_) {
            ApplyStep(partition);
        }
        --stepPartition_;
        starts_.Delete(partition);
    }

    // Removes the starts of partitions [first, first + count).
    void RemovePartitions(Index first, Index count) {
        if (count <= 0) {
            return;
        }
        assert(first >= 1 && first + count <= Partitions());
        ApplyStep(first + count); // now stepPartition_ >= first + count
        starts_.DeleteRange(first, count);
        stepPartition_ -= count;
    }

    void Clear() {
        starts_.DeleteAll();
        starts_.Insert(0, 0);
        starts_.Insert(1, 0);
        stepPartition_ = 0;
        stepLength_ = 0;
    }

    std::size_t FootprintBytes() const { return starts_.FootprintBytes(); }

private:
    // Makes the starts of partitions (stepPartition_, upTo] exact.
    void ApplyStep(Index upTo) {
        if (upTo > Partitions()) {
            upTo = Partitions();
        }
        if (stepLength_ != 0) {
            for (Index p = stepPartition_ + 1; p <= upTo; ++p) {
                starts_[p] += stepLength_;
            }
        }
        if (upTo > stepPartition_) {
            stepPartition_ = upTo;
        }
        if (stepPartition_ >= Partitions()) {
            stepPartition_ = Partitions();
            stepLength_ = 0;
        }
    }

    // Takes the step back so that it starts after downTo.
    void BackStep(Index downTo) {
        if (stepLength_ != 0) {
            for (Index p = downTo + 1; p <= stepPartition_; ++p) {
                starts_[p] -= stepLength_;
            }
        }
        stepPartition_ = downTo;
    }

    SplitVector<Index> starts_;
    Index stepPartition_ = 0; // starts of partitions > stepPartition_ lack stepLength_
    Index stepLength_ = 0;
};
