// The line store seen as a character source for the text search and the regex engine.
#include "editor/SearchSource.h"

#include "editor/TextStore.h"

#include <algorithm>

namespace quillet {

int64_t TStoreCharSource::Size() const {
    return FStore.CharCount();
}

std::string_view TStoreCharSource::RunAt(int64_t pos, int64_t& runStart) const {
    const TRow count(FStore.LineCount());
    if (FLine >= count) FLine = TRow(0), FLineStart = 0;
    // The same line or one of its neighbours: no search of the line starts.
    for (int step = 0; step < 2; ++step) {
        int64_t len = FStore.RowLength(FLine);
        if (pos >= FLineStart && pos < FLineStart + len) {
            runStart = FLineStart;
            return FStore.RowText(FLine);
        }
        if (pos >= FLineStart + len && FLine + 1 < count) {
            FLineStart += len;
            ++FLine;
        } else if (pos < FLineStart && FLine > TRow(0)) {
            --FLine;
            FLineStart -= FStore.RowLength(FLine);
        } else {
            break;
        }
    }
    int64_t len = FStore.RowLength(FLine);
    if (pos < FLineStart || pos >= FLineStart + len) {
        FLine = FStore.LineFromPos(TOffset(static_cast<int>(pos)));
        FLineStart = FStore.PosFromLine(FLine).Value();
    }
    runStart = FLineStart;
    return FStore.RowText(FLine);
}

// Offsets of the text as it reads now are counted from its end where they can: the edits
// lower in the text, added later, do not move them.
int64_t TPendingReplaceSource::Size() const {
    return FStore.CharCount() + FDelta;
}

int64_t TPendingReplaceSource::StartOf(size_t k) const {
    const TEdit& e = FEdits[k];
    return FDelta + e.End - e.Above - static_cast<int64_t>(e.Text.size());
}

std::string_view TPendingReplaceSource::StoreRun(int64_t pos, int64_t from, int64_t to,
                                                 int64_t& runStart) const {
    std::string_view run = FSource.RunAt(pos, runStart);
    const int64_t begin = std::max(runStart, from);
    const int64_t end = std::min(runStart + static_cast<int64_t>(run.size()), to);
    run = run.substr(static_cast<size_t>(begin - runStart), static_cast<size_t>(end - begin));
    runStart = begin;
    return run;
}

std::string_view TPendingReplaceSource::RunAt(int64_t pos, int64_t& runStart) const {
    if (FEdits.empty()) return FSource.RunAt(pos, runStart);
    if (pos < FEdits.back().Start) return StoreRun(pos, 0, FEdits.back().Start, runStart);
    // The first edit whose text begins at or before pos (the starts fall as k grows).
    size_t lo = 0, hi = FEdits.size() - 1;
    while (lo < hi) {
        const size_t mid = (lo + hi) / 2;
        if (StartOf(mid) > pos)
            lo = mid + 1;
        else
            hi = mid;
    }
    const TEdit& e = FEdits[lo];
    const int64_t start = StartOf(lo);
    if (pos < start + static_cast<int64_t>(e.Text.size())) {
        runStart = start;
        return e.Text;
    }
    // The store's text after the edit, up to the edit before it.
    const int64_t shift = FDelta - e.Above;
    const int64_t to = lo > 0 ? FEdits[lo - 1].Start : FStore.CharCount();
    std::string_view run = StoreRun(pos - shift, e.End, to, runStart);
    runStart += shift;
    return run;
}

void TPendingReplaceSource::Replace(int64_t start, int64_t end, std::string text) {
    const int64_t n = FStore.CharCount();
    const int64_t fromEnd = n + FDelta - end;
    int64_t storeEnd = 0;
    for (;;) {
        if (FEdits.empty()) {
            storeEnd = n - fromEnd;
            break;
        }
        TEdit& e = FEdits.back();
        const int64_t length = static_cast<int64_t>(e.Text.size());
        const int64_t endFromEnd = n - e.End + e.Above;
        if (fromEnd >= endFromEnd + length) {
            storeEnd = n + FDelta - fromEnd; // in the store's text below every edit
            break;
        }
        FDelta -= length - (e.End - e.Start);
        if (fromEnd >= endFromEnd) {
            // Ends inside the edit's text: the rest of it stays, after the new text.
            text.append(e.Text, static_cast<size_t>(length - (fromEnd - endFromEnd)));
            storeEnd = e.End;
            FEdits.pop_back();
            break;
        }
        FEdits.pop_back(); // covered whole
    }
    const int64_t added = static_cast<int64_t>(text.size()) - (storeEnd - start);
    FEdits.push_back({start, storeEnd, std::move(text), FDelta});
    FDelta += added;
}

} // namespace quillet
