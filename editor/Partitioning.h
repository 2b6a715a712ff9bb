// Line start offsets with a lazily applied step: offset <-> line in O(log n).
#pragma once

#include "editor/SplitVector.h"

namespace quillet {

// Partition i starts at PositionFromPartition(i); partition Partitions() is the end sentinel.
// An edit inside one partition shifts all later starts by a step that is applied lazily,
// so typing inside a line costs O(1) amortised while the step point stays close.
class TPartitioning {
public:
    TPartitioning() {
        FBody.Insert(0, 0);
        FBody.Insert(1, 0);
    }

    int Partitions() const { return FBody.Length() - 1; }
    void Reserve(int partitions) { FBody.Reserve(partitions + 1); }
    void MakeRoom(int extra) { FBody.MakeRoom(extra); }

    int PositionFromPartition(int partition) const {
        int pos = FBody[partition];
        if (partition > FStepPartition) pos += FStepLength;
        return pos;
    }

    // The partition holding pos (the last one whose start <= pos). Lookups come in runs
    // (painting, the caret, a re-scan), so the previous answer is tried first; otherwise a
    // binary search over the raw starts on each side of the step point and the gap.
    int PartitionFromPosition(int pos) const {
        int parts = Partitions();
        if (parts <= 0 || pos < 0) return 0;
        if (pos >= PositionFromPartition(parts)) return parts - 1;
        int h = FHint;
        if (h < parts && PositionFromPartition(h) <= pos && pos < PositionFromPartition(h + 1))
            return h;
        int stepped = (FStepPartition < parts ? FStepPartition : parts) + 1;
        int count = FBody.CountNotGreater(0, stepped, pos);
        if (count == stepped) count += FBody.CountNotGreater(stepped, parts + 1, pos - FStepLength);
        FHint = count - 1;
        return count - 1;
    }

    // A new partition starting at pos, numbered partition.
    void InsertPartition(int partition, int pos) {
        if (FStepPartition < partition) ApplyStep(partition);
        FBody.Insert(partition, pos);
        ++FStepPartition;
    }

    void RemovePartition(int partition) {
        if (partition > FStepPartition) ApplyStep(partition);
        --FStepPartition;
        FBody.Delete(partition);
    }

    // Shifts the starts of every partition after 'partition' by delta.
    void InsertText(int partition, int delta) {
        if (FStepLength != 0) {
            if (partition >= FStepPartition) {
                ApplyStep(partition);
                FStepLength += delta;
            } else if (partition >= FStepPartition - Partitions() / 10) {
                BackStep(partition);
                FStepLength += delta;
            } else {
                ApplyStep(Partitions());
                FStepPartition = partition;
                FStepLength = delta;
            }
        } else {
            FStepPartition = partition;
            FStepLength = delta;
        }
    }

private:
    // Applies the step to starts up to and including partitionUpTo.
    void ApplyStep(int partitionUpTo) {
        if (FStepLength != 0)
            for (int i = FStepPartition + 1; i <= partitionUpTo; ++i)
                FBody[i] += FStepLength;
        FStepPartition = partitionUpTo;
        if (FStepPartition >= Partitions()) {
            FStepPartition = Partitions();
            FStepLength = 0;
        }
    }

    // Moves the step point back to partitionDownTo, unapplying on the way.
    void BackStep(int partitionDownTo) {
        if (FStepLength != 0)
            for (int i = partitionDownTo + 1; i <= FStepPartition; ++i)
                FBody[i] -= FStepLength;
        FStepPartition = partitionDownTo;
    }

    TSplitVector<int> FBody;
    int FStepPartition = 0;
    int FStepLength = 0;
    mutable int FHint = 0; // the last answer of PartitionFromPosition
};

} // namespace quillet
