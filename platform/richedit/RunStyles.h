#pragma once
// Runs of equal values over positions [0, Length()): character formats, embedded objects.
// Neighbouring runs always differ and no run is empty (except the one run of an empty
// list), so a document formatted in one style is one run however long it is.

#include "platform/richedit/Partitioning.h"

#include <cstdint>
#include <stdexcept>

template <typename V> class RunStyles {
public:
    using Index = std::int64_t;

    explicit RunStyles(V initial = V{}) { values_.Insert(0, initial); }

    Index Length() const { return starts_.PositionFromPartition(starts_.Partitions()); }
    Index Runs() const { return starts_.Partitions(); }

    Index RunFromPosition(Index pos) const { return starts_.PartitionFromPosition(pos); }
    Index RunStart(Index run) const { return starts_.PositionFromPartition(run); }
    Index RunEnd(Index run) const { return starts_.PositionFromPartition(run + 1); }
    V RunValue(Index run) const { return values_.ValueAt(run); }

    V ValueAt(Index pos) const { return values_.ValueAt(RunFromPosition(pos)); }

    // Inserts count positions at pos, all of value.
    void InsertSpace(Index pos, Index count, V value) {
        if (count <= 0) {
            return;
        }
        if (Length() == 0) {
            values_.SetValueAt(0, value);
            starts_.InsertText(0, count);
            return;
        }
        const Index run = RunFromPosition(pos);
        const Index start = RunStart(run);
        if (values_.ValueAt(run) == value) {
            starts_.InsertText(run, count);
            return;
        }
        if (pos == start && run > 0 && values_.ValueAt(run - 1) == value) {
            starts_.InsertText(run - 1, count);
            return;
        }
        // A run of its own: split the current one at pos and put the new run between.
        const Index at = SplitAt(pos);
        // The new start duplicates start(at); at 0 it goes after the fixed start of run 0.
        starts_.InsertPartition(at == 0 ? 1 : at, pos);
        values_.Insert(at, value);
        starts_.InsertText(at, count);
    }

    void DeleteRange(Index pos, Index count) {
        if (count <= 0) {
            return;
        }
        const Index first = SplitAt(pos);
        const Index last = SplitAt(pos + count); // runs [first, last) are deleted
        if (first == 0) {
            if (last == Runs()) {
                starts_.RemovePartitions(1, last - 1);
                values_.DeleteRange(1, last - 1);
            } else {
                values_.SetValueAt(0, values_.ValueAt(last));
                starts_.RemovePartitions(1, last);
                values_.DeleteRange(1, last);
            }
            starts_.InsertText(0, -count);
            return;
        }
        starts_.RemovePartitions(first, last - first);
        values_.DeleteRange(first, last - first);
        starts_.InsertText(first - 1, -count);
        MergeWithNext(first - 1);
    }

    // Sets [pos, pos + count) to value; returns whether anything changed.
    bool SetValueRange(Index pos, Index count, V value) {
        if (count <= 0) {
            return false;
        }
        bool changed = false;
        for (Index run = RunFromPosition(pos); run < Runs() && RunStart(run) < pos + count; ++run) {
            if (values_.ValueAt(run) != value) {
                changed = true;
                break;
            }
        }
        if (!changed) {
            return false;
        }
        const Index first = SplitAt(pos);
        const Index last = SplitAt(pos + count);
        values_.SetValueAt(first, value);
        if (last - first > 1) {
            starts_.RemovePartitions(first + 1, last - first - 1);
            values_.DeleteRange(first + 1, last - first - 1);
        }
        MergeWithNext(first);
        if (first > 0) {
            MergeWithNext(first - 1);
        }
        return true;
    }

    void Clear(V value) {
        starts_.Clear();
        values_.DeleteAll();
        values_.Insert(0, value);
    }

    // Calls fn(start, length, value) for each run piece within [pos, pos + count).
    template <typename Fn> void ForEachRun(Index pos, Index count, Fn&& fn) const {
        const Index end = pos + count;
        for (Index run = RunFromPosition(pos); run < Runs() && pos < end; ++run) {
            const Index runEnd = std::min(RunEnd(run), end);
            if (runEnd > pos) {
                fn(pos, runEnd - pos, values_.ValueAt(run));
            }
            pos = std::max(pos, runEnd);
        }
    }

    // Invariant check for tests.
    void Check() const {
        if (Length() == 0) {
            if (Runs() != 1) {
                throw std::logic_error("empty list with several runs");
            }
            return;
        }
        for (Index run = 0; run < Runs(); ++run) {
            if (RunEnd(run) <= RunStart(run)) {
                throw std::logic_error("empty run");
            }
            if (run > 0 && values_.ValueAt(run) == values_.ValueAt(run - 1)) {
                throw std::logic_error("equal neighbouring runs");
            }
        }
        if (values_.Length() != Runs()) {
            throw std::logic_error("values out of step with runs");
        }
    }

    std::size_t FootprintBytes() const {
        return starts_.FootprintBytes() + values_.FootprintBytes();
    }

private:
    // Makes a run start at pos and returns its index; Runs() when pos is the end.
    Index SplitAt(Index pos) {
        if (pos >= Length()) {
            return Runs();
        }
        const Index run = RunFromPosition(pos);
        if (RunStart(run) == pos) {
            return run;
        }
        starts_.InsertPartition(run + 1, pos);
        values_.Insert(run + 1, values_.ValueAt(run));
        return run + 1;
    }

    void MergeWithNext(Index run) {
        if (run + 1 < Runs() && values_.ValueAt(run) == values_.ValueAt(run + 1)) {
            starts_.RemovePartition(run + 1);
            values_.Delete(run + 1);
        }
    }

    Partitioning starts_;
    SplitVector<V> values_;
};
