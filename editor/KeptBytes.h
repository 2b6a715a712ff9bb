// File bytes the text store cannot hold as they are, kept beside the text so a save writes them
// back.
#pragma once

#include "editor/TextEncoding.h"
#include "editor/Units.h"

#include <cstdint>
#include <deque>
#include <string_view>
#include <vector>

namespace quillet {

// The store keeps every line break as one CR and a control byte as '.'. A file whose breaks
// are not all of one kind, or that holds control bytes, would lose them on its way back; this
// list keeps, for each such stored character, the file bytes it stands for: a line break of
// another kind than the file's own (which the document's encoding remembers) or the control
// byte. The entries follow their characters through edits; a character deleted takes its entry
// with it, and typed text has none, so it is written as the document's encoding says. An undo
// or redo that puts deleted text back gives it back its entries.
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
    void Clear() {
        FEntries.clear();
        FUndoSide.clear();
        FRedoSide.clear();
    }

    // Reading a file's bytes (after its BOM) block by block, in order, as they were loaded:
    // `cp1251` when they were decoded from that code page, `fileBreak` the file's own break.
    void BeginFile(bool cp1251, TLineBreak fileBreak);
    void AddFileBytes(std::string_view block);
    void EndFile();

    // Text was inserted at pos, or deleted from it, by an edit, an undo or a redo.
    enum TCause { kcEdit, kcUndo, kcRedo };
    void Inserted(TOffset at, std::string_view text, TCause cause);
    void Deleted(TOffset at, std::string_view text, TCause cause);

    // The file bytes of an entry.
    static std::string_view Bytes(uint16_t code);

private:
    void Add(uint16_t code);

    // A deletion: where, its length, a digest of its bytes and its entries, offsets counted
    // from its start. Undo and redo replay the log in stack order, so the deletion a replayed
    // insertion puts back is the newest alike on its side: deletions by edits and redos are
    // undone, deletions by undos redone.
    struct TRemoved {
        int Pos;
        size_t Length;
        uint64_t Digest;
        std::vector<TEntry> Entries;
    };
    static constexpr size_t KRemovedKept = 1 << 16;
    static void Remember(std::deque<TRemoved>& side, TRemoved removed);

    std::vector<TEntry> FEntries;
    std::deque<TRemoved> FUndoSide, FRedoSide;
    // The reading's state.
    int FOffset = 0;
    bool FCp1251 = false;
    bool FPendingCR = false; // the last block ended in CR: an LF may follow in the next
    TLineBreak FBreak = lbDefault;
};

} // namespace quillet
