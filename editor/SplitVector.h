// A gap-buffer sequence: inserts and deletes near the last edit point cost O(1) amortised.
#pragma once

#include "platform/Errors.h"
#include "resources/Strings.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <utility>

namespace quillet {

// Positions are 32-bit ints to match the message interface; growth past INT_MAX is refused.
template <typename T> class TSplitVector {
public:
    TSplitVector() = default;
    TSplitVector(const TSplitVector&) = delete;
    TSplitVector& operator=(const TSplitVector&) = delete;

    int Length() const { return FLength; }
    bool Empty() const { return FLength == 0; }

    T& operator[](int i) { return i < FPart1 ? FBody[i] : FBody[i + FGap]; }
    const T& operator[](int i) const { return i < FPart1 ? FBody[i] : FBody[i + FGap]; }

    // How many elements of [first, last) are not greater than value; the range must be
    // sorted. Searches the raw halves on either side of the gap directly.
    int CountNotGreater(int first, int last, const T& value) const {
        const T* body = FBody.get();
        int split = std::clamp(FPart1, first, last);
        int c = UpperBound(body + first, split - first, value);
        if (c < split - first) return c;
        return c + UpperBound(body + split + FGap, last - split, value);
    }

    void Insert(int pos, T value) {
        RoomFor(1);
        MoveGapTo(pos);
        FBody[FPart1] = std::move(value);
        ++FPart1;
        ++FLength;
        --FGap;
    }

    // Inserts count default values at pos.
    void InsertEmpty(int pos, int count) {
        if (count <= 0) return;
        RoomFor(count);
        MoveGapTo(pos);
        for (int i = 0; i < count; ++i)
            FBody[FPart1 + i] = T();
        FPart1 += count;
        FLength += count;
        FGap -= count;
    }

    void Delete(int pos) { DeleteRange(pos, 1); }

    void DeleteRange(int pos, int count) {
        if (count <= 0) return;
        MoveGapTo(pos);
        for (int i = 0; i < count; ++i)
            FBody[FPart1 + FGap + i] = T(); // release owned resources now
        FGap += count;
        FLength -= count;
    }

    void Clear() {
        FBody.reset();
        FCapacity = FLength = FPart1 = FGap = 0;
    }

    // Room for at least n elements without reallocating.
    void Reserve(int n) {
        if (n > FCapacity) Reallocate(n);
    }
    // Room for `extra` more elements, growing as insertions do: an edit that makes room first
    // can fail only before it changes anything.
    void MakeRoom(int extra) { RoomFor(extra); }

private:
    // Branch-free upper bound: the loads of a long search do not wait on mispredictions,
    // and the next probe on either side is fetched while this one is compared.
    static int UpperBound(const T* base, int n, const T& value) {
        if (n <= 0) return 0;
        const T* p = base;
        while (n > 1) {
            int half = n / 2;
            __builtin_prefetch(p + half / 2);
            __builtin_prefetch(p + half + half / 2);
            p = (p[half] <= value) ? p + half : p;
            n -= half;
        }
        return static_cast<int>(p - base) + (*p <= value ? 1 : 0);
    }

    void RoomFor(int extra) {
        if (extra > INT_MAX - FLength) throw EOutOfMemory(LoadStr(SOutOfMemory));
        if (FGap >= extra) return;
        long long want = static_cast<long long>(FLength) + extra;
        long long grown = static_cast<long long>(FCapacity) + FCapacity / 2 + 8;
        long long size = std::min<long long>(INT_MAX, std::max(want, grown));
        Reallocate(static_cast<int>(size));
    }

    void Reallocate(int size) {
        std::unique_ptr<T[]> body;
        try {
            body = std::make_unique<T[]>(static_cast<size_t>(size));
        } catch (const std::bad_alloc&) {
            throw EOutOfMemory(LoadStr(SOutOfMemory));
        }
        for (int i = 0; i < FPart1; ++i)
            body[i] = std::move(FBody[i]);
        int tail = FLength - FPart1;
        for (int i = 0; i < tail; ++i)
            body[size - tail + i] = std::move(FBody[FPart1 + FGap + i]);
        FBody = std::move(body);
        FGap = size - FLength;
        FCapacity = size;
    }

    void MoveGapTo(int pos) {
        if (pos < FPart1) {
            std::move_backward(FBody.get() + pos, FBody.get() + FPart1,
                               FBody.get() + FPart1 + FGap);
        } else if (pos > FPart1) {
            std::move(FBody.get() + FPart1 + FGap, FBody.get() + pos + FGap, FBody.get() + FPart1);
        }
        FPart1 = pos;
    }

    std::unique_ptr<T[]> FBody;
    int FCapacity = 0;
    int FLength = 0;
    int FPart1 = 0; // elements before the gap
    int FGap = 0;
};

} // namespace quillet
