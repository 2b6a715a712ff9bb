// Read-only streams over the line records and over a character block.
#include "editor/EdStream.h"

#include "editor/TextStore.h"
#include "resources/Strings.h"

#include <algorithm>
#include <cstring>

namespace quillet {

void TEdStream::Aim(int line, int offset) {
    FLength = FStore->CharCount();
    FLine = std::clamp(line, 0, FStore->LineCount() - 1);
    FOffset = std::clamp(offset, 0, FStore->Line(FLine).Length);
    FPos = FStore->PosFromLine(FLine) + FOffset;
    // An offset at the end of a record stands at the next one.
    while (FOffset >= FStore->Line(FLine).Length && FLine + 1 < FStore->LineCount()) {
        ++FLine;
        FOffset = 0;
    }
}

char TEdStream::Current() const {
    if (AtEnd()) return 0;
    return FStore->Line(FLine).View()[FOffset];
}

bool TEdStream::Next() {
    if (AtEnd()) return false;
    ++FPos;
    ++FOffset;
    while (FOffset >= FStore->Line(FLine).Length && FLine + 1 < FStore->LineCount()) {
        ++FLine;
        FOffset = 0;
    }
    return !AtEnd();
}

int64_t TEdStream::Read(void* buffer, int64_t count) {
    auto* out = static_cast<char*>(buffer);
    int64_t done = 0;
    while (done < count && !AtEnd()) {
        std::string_view v = FStore->Line(FLine).View();
        int64_t n = std::min<int64_t>(count - done, static_cast<int64_t>(v.size()) - FOffset);
        std::memcpy(out + done, v.data() + FOffset, static_cast<size_t>(n));
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
    int64_t target = origin == soBeginning ? offset
                     : origin == soCurrent ? FPos + offset
                                           : FLength + offset;
    int pos = static_cast<int>(std::clamp<int64_t>(target, 0, FLength));
    int line = FStore->LineFromPos(pos);
    Aim(line, pos - FStore->PosFromLine(line));
    return FPos;
}

TFastMemoryStream::TFastMemoryStream(const char* text)
    : TReadOnlyMemoryStream(text ? text : "", text ? static_cast<int64_t>(std::strlen(text)) : 0) {}

int64_t TFastMemoryStream::Write(const void*, int64_t) {
    throw EStreamError(LoadStr(SReadOnlyStream));
}

} // namespace quillet
