// Read-only streams over the store's rows and over a character block.
#include "editor/EdStream.h"

#include "editor/TextStore.h"
#include "resources/Strings.h"

#include <algorithm>
#include <cstring>

namespace quillet {

// The row's length as an offset in it: the offset just past its last character.
static TOffset EndInRow(const TTextStore& store, TRow row) {
    return TOffset(store.RowLength(row));
}

void TEdStream::Follow() const {
    if (FStore->Edits() == FEdits) return;
    const TOffset pos = std::clamp(FPos, TOffset(0), FStore->TextEnd());
    const TRow row = FStore->LineFromPos(pos);
    AimAt(row, TOffset(0) + (pos - FStore->PosFromLine(row)));
}

void TEdStream::Aim(TRow row, TOffset offset) {
    AimAt(row, offset);
}

void TEdStream::AimAt(TRow row, TOffset offset) const {
    FEdits = FStore->Edits();
    FLength = TOffset(FStore->CharCount());
    FLine = std::clamp(row, TRow(0), TRow(FStore->LineCount() - 1));
    FOffset = std::clamp(offset, TOffset(0), EndInRow(*FStore, FLine));
    FPos = FStore->PosFromLine(FLine) + FOffset.Value();
    // An offset at the end of a record stands at the next one.
    while (FOffset >= EndInRow(*FStore, FLine) && FLine + 1 < TRow(FStore->LineCount())) {
        ++FLine;
        FOffset = TOffset(0);
    }
}

char TEdStream::Current() const {
    if (AtEnd()) return 0; // brings the cursor up to date first
    return FStore->RowText(FLine)[size_t(FOffset.Value())];
}

bool TEdStream::Next() {
    if (AtEnd()) return false;
    ++FPos;
    ++FOffset;
    while (FOffset >= EndInRow(*FStore, FLine) && FLine + 1 < TRow(FStore->LineCount())) {
        ++FLine;
        FOffset = TOffset(0);
    }
    return !AtEnd();
}

int64_t TEdStream::Read(void* buffer, int64_t count) {
    auto* out = static_cast<char*>(buffer);
    int64_t done = 0;
    while (done < count && !AtEnd()) {
        std::string_view v = FStore->RowText(FLine);
        const size_t at = size_t(FOffset.Value());
        int64_t n = std::min<int64_t>(count - done, static_cast<int64_t>(v.size() - at));
        std::memcpy(out + done, v.data() + at, static_cast<size_t>(n));
        done += n;
        FPos += static_cast<int>(n) - 1;
        FOffset += static_cast<int>(n) - 1;
        Next();
    }
    return done;
}

int64_t TEdStream::Write(const void*, int64_t) {
    throw EStreamError(LoadStr(SReadOnlyStream));
}

int64_t TEdStream::Seek(int64_t offset, TSeekOrigin origin) {
    Follow();
    int64_t target = origin == soBeginning ? offset
                     : origin == soCurrent ? FPos.Value() + offset
                                           : FLength.Value() + offset;
    const TOffset pos(static_cast<int>(std::clamp<int64_t>(target, 0, FLength.Value())));
    const TRow row = FStore->LineFromPos(pos);
    Aim(row, TOffset(0) + (pos - FStore->PosFromLine(row)));
    return FPos.Value();
}

TFastMemoryStream::TFastMemoryStream(const char* text)
    : TReadOnlyMemoryStream(text ? text : "", text ? static_cast<int64_t>(std::strlen(text)) : 0) {}

int64_t TFastMemoryStream::Write(const void*, int64_t) {
    throw EStreamError(LoadStr(SReadOnlyStream));
}

} // namespace quillet
