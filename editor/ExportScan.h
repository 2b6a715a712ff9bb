// Attribute bytes of a whole text scanned front to back, for a writer that takes the text row by
// row and never lays it into a line store.
#pragma once

#include "highlight/CodeMemoParser.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace quillet {

// Runs the tokenizer over `text` (stored form: line ends as single CRs) as a re-scan of the whole
// text from its start finds the tokens, and hands out the bytes of each row once they are final.
// Only a window of bytes is held: rows are asked for in order, and the bytes before the row asked
// for are let go. The definition's scan state belongs to the scanner while it lives.
class TExportScanner {
public:
    TExportScanner(TCodeMemoParser& definition, std::string_view text);
    ~TExportScanner();
    TExportScanner(const TExportScanner&) = delete;
    TExportScanner& operator=(const TExportScanner&) = delete;

    // The bytes of text [start, end), start at or after the start of the row asked for last.
    const uint8_t* Row(size_t start, size_t end);
    // Bytes held at most so far (for tests: a window, not the text).
    size_t HeldMost() const { return FHeldMost; }

private:
    // Scans on from FPos to at least `want` (or the text's end).
    void ScanTo(size_t want);
    void Step(size_t want);
    void Reserve(size_t relativeEnd);
    TTokenCursor CursorAt(size_t pos) const;

    TCodeMemoParser& FDef;
    std::string_view FText;
    std::vector<uint8_t> FBytes; // FBytes[i] is the byte of FText[FBase + i]
    size_t FBase = 0;
    size_t FPos = 0; // bytes before this text offset are final
    size_t FHeldMost = 0;
    TCodeMemoParser::TScanSnapshot FSnap;
};

} // namespace quillet
