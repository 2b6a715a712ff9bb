// Read-only streams over the store's rows and over a zero-terminated character block.
#pragma once

#include "editor/Units.h"
#include "platform/Stream.h"

namespace quillet {

class TTextStore;

// A cursor over the store's rows, stepping across row boundaries.
class TEdStream : public TStream {
public:
    explicit TEdStream(const TTextStore& store) : FStore(&store) { Aim(TRow(0), TOffset(0)); }
    // Aims at offset 'offset' inside row 'row'.
    void Aim(TRow row, TOffset offset);
    int AbsolutePos() const { return FPos.Value(); }
    bool AtEnd() const { return FPos >= FLength; }
    // The character under the cursor, 0 at the end.
    char Current() const;
    // Moves one character on; false at the end.
    bool Next();

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return FLength.Value(); }

private:
    const TTextStore* FStore;
    TRow FLine{0};
    TOffset FOffset{0}; // in the row
    TOffset FPos{0};
    TOffset FLength{0};
};

// A read-only stream laid over a zero-terminated block without copying it.
class TFastMemoryStream : public TReadOnlyMemoryStream {
public:
    explicit TFastMemoryStream(const char* text);
    int64_t Write(const void* buffer, int64_t count) override;
};

} // namespace quillet
