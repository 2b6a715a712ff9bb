// Read-only streams over the store's rows and over a zero-terminated character block.
#pragma once

#include "editor/Units.h"
#include "platform/Stream.h"

#include <cstdint>

namespace quillet {

class TTextStore;

// A cursor over the store's rows, stepping across row boundaries.
class TEdStream : public TStream {
public:
    explicit TEdStream(const TTextStore& store) : FStore(&store) { Aim(TRow(0), TOffset(0)); }
    // Aims at offset 'offset' inside row 'row'.
    void Aim(TRow row, TOffset offset);
    int AbsolutePos() const { return FPos.Value(); }
    // At the end of the text (as it is now: a cursor that outlived an edit finds its place again
    // by its offset, clamped to the text).
    bool AtEnd() const {
        Follow();
        return FPos >= FLength;
    }
    // The character under the cursor, 0 at the end.
    char Current() const;
    // Moves one character on; false at the end.
    bool Next();

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override {
        Follow();
        return FLength.Value();
    }

private:
    // Aims again at the same offset when the text changed since the cursor was aimed: the row it
    // stood in may be gone (a handler handed the stream may edit).
    void Follow() const;
    void AimAt(TRow row, TOffset offset) const;

    const TTextStore* FStore;
    // What the cursor knows of the text, brought up to date by Follow.
    mutable TRow FLine{0};
    mutable TOffset FOffset{0}; // in the row
    mutable TOffset FPos{0};
    mutable TOffset FLength{0};
    mutable uint64_t FEdits = 0; // the store's edit count when aimed
};

// A read-only stream laid over a zero-terminated block without copying it.
class TFastMemoryStream : public TReadOnlyMemoryStream {
public:
    explicit TFastMemoryStream(const char* text);
    int64_t Write(const void* buffer, int64_t count) override;
};

} // namespace quillet
