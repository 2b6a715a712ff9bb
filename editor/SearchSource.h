// The line store seen as a character source for the text search and the regex engine.
#pragma once

#include "highlight/RECharSource.h"

namespace quillet {

class TTextStore;

// Each line record is one run (its text ends with the CR of the line break). The last
// line asked for is remembered, so a scan that walks the text line by line never
// searches the line starts. The memory goes stale when the text changes: make a new
// source, or call Reset, after an edit.
class TStoreCharSource : public IRECharSource {
public:
    explicit TStoreCharSource(const TTextStore& store) : FStore(store) {}
    int64_t Size() const override;
    std::string_view RunAt(int64_t pos, int64_t& runStart) const override;
    void Reset() { FLine = 0, FLineStart = 0; }

private:
    const TTextStore& FStore;
    mutable int FLine = 0;
    mutable int64_t FLineStart = 0;
};

} // namespace quillet
