// The characters of a text in one gap buffer: an edit near the last one costs what it inserts or
// removes, and any run of characters is read in place.
#pragma once

#include "platform/Errors.h"
#include "resources/Strings.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

namespace quillet {

class TTextBuffer {
public:
    TTextBuffer() = default;
    TTextBuffer(const TTextBuffer&) = delete;
    TTextBuffer& operator=(const TTextBuffer&) = delete;

    int Length() const { return FLength; }
    size_t Capacity() const { return size_t(FCapacity); }

    char At(int pos) const { return pos < FPart1 ? FBody[pos] : FBody[pos + FGap]; }

    // [start, end) as one run of characters. When the gap lies inside it, the gap moves to the
    // run's nearer end first: it moves only characters of the run, so a view of any run that
    // does not overlap this one stays valid. Edits invalidate every view.
    std::string_view Run(int start, int end) const {
        if (end <= start) return std::string_view("", 0);
        if (start < FPart1 && FPart1 < end) MoveGapTo(FPart1 - start <= end - FPart1 ? start : end);
        const char* p = FBody.get() + (start < FPart1 ? start : start + FGap);
        return {p, size_t(end - start)};
    }

    // Calls f(std::string_view) for the one or two pieces that [start, end) lies in, in order,
    // without moving the gap.
    template <typename F> void Pieces(int start, int end, F&& f) const {
        if (end <= start) return;
        const char* b = FBody.get();
        if (start < FPart1) {
            const int e = std::min(end, FPart1);
            f(std::string_view(b + start, size_t(e - start)));
            start = e;
        }
        if (start < end) f(std::string_view(b + start + FGap, size_t(end - start)));
    }

    // Whether c occurs in [start, end).
    bool Contains(int start, int end, char c) const {
        bool found = false;
        Pieces(start, end, [&](std::string_view piece) {
            found = found || std::memchr(piece.data(), c, piece.size()) != nullptr;
        });
        return found;
    }

    void Insert(int pos, const char* p, int n) {
        if (n <= 0) return;
        RoomFor(n);
        MoveGapTo(pos);
        std::memcpy(FBody.get() + FPart1, p, size_t(n));
        FPart1 += n;
        FGap -= n;
        FLength += n;
    }

    void Delete(int pos, int n) {
        if (n <= 0) return;
        MoveGapTo(pos);
        FGap += n;
        FLength -= n;
    }

    // Room for n characters in all without growing.
    void Reserve(int n) {
        if (n > FCapacity) Reallocate(n);
    }

private:
    void RoomFor(int extra) {
        if (extra > INT_MAX - FLength) throw EOutOfMemory(LoadStr(SOutOfMemory));
        if (FGap >= extra) return;
        // A large insertion into a small buffer still leaves a gap, so that the edit after it
        // (the first keystroke in a text just loaded) does not copy it all again.
        const long long want = static_cast<long long>(FLength) + extra;
        const long long grown = static_cast<long long>(FCapacity) + FCapacity / 2 + 64;
        Reallocate(int(std::min<long long>(INT_MAX, std::max(want + want / 16 + 256, grown))));
    }

    void Reallocate(int size) {
        std::unique_ptr<char[]> body;
        try {
            body = std::make_unique_for_overwrite<char[]>(size_t(size));
        } catch (const std::bad_alloc&) {
            throw EOutOfMemory(LoadStr(SOutOfMemory));
        }
        const int tail = FLength - FPart1;
        if (FPart1 > 0) std::memcpy(body.get(), FBody.get(), size_t(FPart1));
        if (tail > 0) std::memcpy(body.get() + size - tail, FBody.get() + FPart1 + FGap, size_t(tail));
        FBody = std::move(body);
        FGap = size - FLength;
        FCapacity = size;
    }

    void MoveGapTo(int pos) const {
        char* b = FBody.get();
        if (pos < FPart1)
            std::memmove(b + pos + FGap, b + pos, size_t(FPart1 - pos));
        else if (pos > FPart1)
            std::memmove(b + FPart1, b + FPart1 + FGap, size_t(pos - FPart1));
        FPart1 = pos;
    }

    std::unique_ptr<char[]> FBody;
    int FCapacity = 0;
    int FLength = 0;
    // Reading a run may move the gap (see Run); the text stays the same.
    mutable int FPart1 = 0; // characters before the gap
    int FGap = 0;
};

} // namespace quillet
