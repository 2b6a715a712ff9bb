// The line store seen as a character source for the text search and the regex engine.
#pragma once

#include "editor/Units.h"
#include "highlight/RECharSource.h"

#include <string>
#include <vector>

namespace quillet {

class TTextStore;

// Each row is one run (its text ends with the CR of the line break). The last
// line asked for is remembered, so a scan that walks the text line by line never
// searches the line starts. The memory goes stale when the text changes: make a new
// source, or call Reset, after an edit.
class TStoreCharSource : public IRECharSource {
public:
    explicit TStoreCharSource(const TTextStore& store) : FStore(store) {}
    int64_t Size() const override;
    std::string_view RunAt(int64_t pos, int64_t& runStart) const override;
    void Reset() { FLine = TRow(0), FLineStart = 0; }

private:
    const TTextStore& FStore;
    mutable TRow FLine{0};
    mutable int64_t FLineStart = 0; // the text offset where FLine begins
};

// The store as it will read once replacements not yet made are made, each one lower in the
// text than those before it: a backward replace finds its hits here first, as if it had edited
// the text after each, and then makes them all in a few edits.
class TPendingReplaceSource : public IRECharSource {
public:
    struct TEdit {
        int64_t Start, End; // the store's offsets
        std::string Text;   // as the store holds it
        int64_t Above;      // the length the edits above it in the text add
    };
    explicit TPendingReplaceSource(const TTextStore& store) : FStore(store), FSource(store) {}
    int64_t Size() const override;
    std::string_view RunAt(int64_t pos, int64_t& runStart) const override;
    // Replaces [start, end) of the text as it reads now; start lies before every edit so far,
    // end may reach into them (the edits it covers become part of this one).
    void Replace(int64_t start, int64_t end, std::string text);
    // The edits in the order made, each lower in the text than the one before (store offsets).
    const std::vector<TEdit>& Edits() const { return FEdits; }

private:
    int64_t StartOf(size_t k) const; // where edit k's text begins as the text reads now
    std::string_view StoreRun(int64_t pos, int64_t from, int64_t to, int64_t& runStart) const;

    const TTextStore& FStore;
    TStoreCharSource FSource;
    std::vector<TEdit> FEdits;
    int64_t FDelta = 0; // the length all edits add
};

} // namespace quillet
