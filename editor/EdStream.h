// Read-only streams over the line records and over a zero-terminated character block.
#pragma once

#include "platform/Stream.h"

namespace quillet {

class TTextStore;

// A cursor over the store's records, stepping across line boundaries.
class TEdStream : public TStream {
public:
    explicit TEdStream(const TTextStore& store) : FStore(&store) { Aim(0, 0); }
    // Aims at offset 'offset' inside record 'line'.
    void Aim(int line, int offset);
    int AbsolutePos() const { return FPos; }
    bool AtEnd() const { return FPos >= FLength; }
    // The character under the cursor, 0 at the end.
    char Current() const;
    // Moves one character on; false at the end.
    bool Next();

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return FLength; }

private:
    const TTextStore* FStore;
    int FLine = 0;
    int FOffset = 0;
    int FPos = 0;
    int FLength = 0;
};

// A read-only stream laid over a zero-terminated block without copying it.
class TFastMemoryStream : public TReadOnlyMemoryStream {
public:
    explicit TFastMemoryStream(const char* text);
    int64_t Write(const void* buffer, int64_t count) override;
};

} // namespace quillet
