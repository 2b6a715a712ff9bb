// The line store seen as a character source for the text search and the regex engine.
#include "editor/SearchSource.h"

#include "editor/TextStore.h"

namespace quillet {

int64_t TStoreCharSource::Size() const {
    return FStore.CharCount();
}

std::string_view TStoreCharSource::RunAt(int64_t pos, int64_t& runStart) const {
    int count = FStore.LineCount();
    if (FLine >= count) FLine = 0, FLineStart = 0;
    // The same line or one of its neighbours: no search of the line starts.
    for (int step = 0; step < 2; ++step) {
        int64_t len = FStore.Line(FLine).Length;
        if (pos >= FLineStart && pos < FLineStart + len) {
            runStart = FLineStart;
            return FStore.Line(FLine).View();
        }
        if (pos >= FLineStart + len && FLine + 1 < count) {
            FLineStart += len;
            ++FLine;
        } else if (pos < FLineStart && FLine > 0) {
            --FLine;
            FLineStart -= FStore.Line(FLine).Length;
        } else {
            break;
        }
    }
    int64_t len = FStore.Line(FLine).Length;
    if (pos < FLineStart || pos >= FLineStart + len) {
        FLine = FStore.LineFromPos(static_cast<int>(pos));
        FLineStart = FStore.PosFromLine(FLine);
    }
    runStart = FLineStart;
    return FStore.Line(FLine).View();
}

} // namespace quillet
