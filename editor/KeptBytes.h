// File bytes the text store cannot hold as they are, kept beside the text so a save writes them
// back.
#pragma once

#include "editor/TextEncoding.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace quillet {

// The store keeps every line break as one CR and a control byte as '.'. A file whose breaks
// are not all of one kind, or that holds control bytes, would lose them on its way back; this
// list keeps, for each such stored character, the file bytes it stands for: a line break of
// another kind than the file's own (which the document's encoding remembers) or the control
// byte. The entries follow their characters through edits; a character deleted takes its entry
// with it, and typed text has none, so it is written as the document's encoding says.
class TKeptBytes {
public:
    // The original of the stored character at Offset: a byte, or KCrLf for CR LF.
    struct TEntry {
        int Offset;
        uint16_t Code;
    };
    static constexpr uint16_t KCrLf = 0x100;

    bool Empty() const { return FEntries.empty(); }
    const std::vector<TEntry>& Entries() const { return FEntries; }
    void Clear() { FEntries.clear(); }

    // Reading a file's bytes (after its BOM) block by block, in order, as they were loaded:
    // `cp1251` when they were decoded from that code page, `fileBreak` the file's own break.
    void BeginFile(bool cp1251, TLineBreak fileBreak);
    void AddFileBytes(std::string_view block);
    void EndFile();

    // Text was inserted at pos, or [pos, pos + length) deleted.
    void Inserted(int pos, int length);
    void Deleted(int pos, int length);

    // The file bytes of an entry.
    static std::string_view Bytes(uint16_t code);

private:
    void Add(uint16_t code);

    std::vector<TEntry> FEntries;
    // The reading's state.
    int FOffset = 0;
    bool FCp1251 = false;
    bool FPendingCR = false; // the last block ended in CR: an LF may follow in the next
    TLineBreak FBreak = lbDefault;
};

} // namespace quillet
