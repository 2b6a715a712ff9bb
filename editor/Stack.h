// A log of records with a movable boundary between undoable and redoable ones.
#pragma once

#include "platform/Errors.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <utility>

namespace quillet {

class EStackError : public EQuilletError {
public:
    using EQuilletError::EQuilletError;
};

[[noreturn]] void RaiseStackUnderflow();

// A handle to one record of a stack: stays valid (and never aliases a later
// record) while the record is kept. 0 is "no node".
using TStackNode = uint64_t;

// Records up to and including the current node can be popped (undone); the
// records above it can be re-advanced (redone). Pushing discards those above.
// Every operation but the discards and Clear costs O(1): the accounted bytes
// are kept as a running sum, never recounted.
template <typename T> class TStack {
public:
    static constexpr int64_t NodeBytes = 16;

    // Called for every record that is discarded.
    std::function<void(T&)> OnRelease;

    TStack() = default;
    TStack(const TStack&) = delete;
    TStack& operator=(const TStack&) = delete;
    ~TStack() = default;

    void Push(T record, int64_t size) {
        DiscardRedoable();
        FNodes.push_back(TNode{std::move(record), size, ++FLastSerial});
        FTotalBytes += size + NodeBytes;
        FCurrent = FNodes.size();
    }

    // Takes the current record and moves the boundary one older.
    T& Pop() {
        if (FCurrent == 0) RaiseStackUnderflow();
        return FNodes[--FCurrent].Record;
    }

    // Moves the boundary one newer and gives the record it passed.
    T& Advance() {
        if (FCurrent >= FNodes.size()) RaiseStackUnderflow();
        return FNodes[FCurrent++].Record;
    }

    // The current record without moving.
    const T& Peek() const {
        if (FCurrent == 0) RaiseStackUnderflow();
        return FNodes[FCurrent - 1].Record;
    }
    // The next redoable record without moving.
    const T& PeekRedo() const {
        if (FCurrent >= FNodes.size()) RaiseStackUnderflow();
        return FNodes[FCurrent].Record;
    }

    void Clear() {
        while (!FNodes.empty())
            DiscardBack();
        FCurrent = 0;
    }

    // Drops the oldest record (trimming to a budget).
    void DiscardOldest() {
        if (FNodes.empty()) return;
        TNode node = std::move(FNodes.front());
        FNodes.pop_front();
        FTotalBytes -= node.Size + NodeBytes;
        if (FCurrent > 0) --FCurrent;
        if (OnRelease) OnRelease(node.Record);
    }

    void DiscardRedoable() {
        while (FNodes.size() > FCurrent)
            DiscardBack();
    }

    bool Empty() const { return FNodes.empty(); }
    size_t Count() const { return FNodes.size(); }
    size_t UndoableCount() const { return FCurrent; }
    bool CanRedo() const { return FCurrent < FNodes.size(); }
    int64_t TotalBytes() const { return FTotalBytes; }

    // Index-based access for walks that must not move the boundary. Index 0
    // is the bottom (oldest); the current node is CurrentIndex() (-1: none).
    ptrdiff_t CurrentIndex() const { return ptrdiff_t(FCurrent) - 1; }
    const T& At(size_t index) const { return FNodes[index].Record; }
    TStackNode NodeAt(ptrdiff_t index) const {
        return index < 0 || size_t(index) >= FNodes.size() ? 0 : FNodes[size_t(index)].Serial;
    }
    TStackNode CurrentNode() const { return NodeAt(CurrentIndex()); }
    TStackNode TopNode() const { return NodeAt(ptrdiff_t(FNodes.size()) - 1); }
    // The index of a node still kept, or -1. Serials rise from bottom to top.
    ptrdiff_t IndexOf(TStackNode node) const {
        if (node == 0 || FNodes.empty()) return -1;
        size_t lo = 0, hi = FNodes.size();
        while (lo < hi) {
            size_t mid = lo + (hi - lo) / 2;
            if (FNodes[mid].Serial < node)
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo < FNodes.size() && FNodes[lo].Serial == node ? ptrdiff_t(lo) : -1;
    }

private:
    struct TNode {
        T Record;
        int64_t Size;
        TStackNode Serial;
    };

    void DiscardBack() {
        TNode node = std::move(FNodes.back());
        FNodes.pop_back();
        FTotalBytes -= node.Size + NodeBytes;
        if (FCurrent > FNodes.size()) FCurrent = FNodes.size();
        if (OnRelease) OnRelease(node.Record);
    }

    std::deque<TNode> FNodes;
    size_t FCurrent = 0; // number of undoable records
    int64_t FTotalBytes = 0;
    TStackNode FLastSerial = 0;
};

} // namespace quillet
