// The line store: the text, the display rows it is cut into, and the hooks that must follow every
// edit.
#pragma once

#include "editor/Partitioning.h"
#include "editor/TextBuffer.h"
#include "editor/Units.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillet {

class TUndoStack;
class TUndoTarget;
class TCustomCodeMemo;
class TScanStates;

// Anything attached to a line; freed with the line.
class TLineObject {
public:
    virtual ~TLineObject() = default;
};

// What the re-scan knows inside a long row: scan states at token boundaries within it, and,
// after an edit inside the row, its bytes from before the edit, so that a re-scan that comes out
// in a kept state behind the edit keeps the rest of the old bytes instead of scanning on.
struct TRowScan {
    static constexpr uint32_t UnknownReach = UINT32_MAX;
    struct TPoint {
        uint32_t Offset; // in the row; a token boundary with no bound region open
        uint32_t State;  // the store's TScanStates number there (set and stack)
        // One past the furthest character of the row (it may lie past its end) that the tokens
        // before the point looked at; UnknownReach when not known. A scan may start at the
        // point after an edit that leaves the text up to there as it was.
        uint32_t Reach;
    };
    // In offset order, for the row's bytes as they were last scanned.
    std::vector<TPoint> Points;
    // The bytes and points as scanned before the edits since; the text from TailFrom (in the
    // row as it is now) on is the old text from TailFrom - Shift, and the text before HeadTo is
    // the old text at the same offsets. TailFrom < 0: none kept.
    std::vector<uint8_t> Before;
    int TailFrom = -1;
    int Shift = 0;
    int HeadTo = 0;
};

// Created on first use so that a plain record stays small.
struct TLineExtra {
    std::vector<uint8_t> Attributes; // one style byte per character, empty = none
    std::unique_ptr<TLineObject> Object;
    std::unique_ptr<TRowScan> Scan; // only rows long enough to hold points
};

enum : uint32_t {
    lfRepaint = 1,
    lfRescan = 2,
    lfHasTab = 4,
    lfScanRestart = 16,
};
constexpr uint32_t ScanExact = 0x80000000u;
constexpr uint16_t lmContinuation = 4096;
constexpr uint16_t lmBookmarkBits = 0x03FF; // numbered bookmarks 0-9

// What the editor keeps of a display row beside its text: the row's characters are the store's
// text between the row's start and the next row's (TTextStore::RowText), so a row is where it
// is cut, not a copy of its characters.
struct TLineRecord {
    uint32_t Flags = 0;
    std::unique_ptr<TLineExtra> Extra;
    uint16_t Marks = 0;
    uint16_t Glyphs = 0;
    int32_t PaintA = -1;
    int32_t PaintB = -1;
    // The highlighter's state after this row: the number the store's TScanStates gives the scan
    // state at the first token boundary at or after the row's end, with ScanExact set when that
    // boundary is the row's end itself (a checkpoint a re-scan may resume from); 0: none. A row
    // end inside a string or comment the scan can go on with from there is a checkpoint too: its
    // number is the state before the token with the token's resume code (TScanStates::ResumeOf).
    uint32_t ScanEnd = 0;

    TLineExtra& EnsureExtra();
};

// Bits 8-31 of a row's Flags: how many characters past the row's end the tokens up to ScanEnd's
// boundary looked (so an edit that far on or further leaves them and that state as they are);
// RowReachFar when more than the bits hold.
constexpr int RowReachShift = 8;
constexpr uint32_t RowReachFar = 0xFFFFFFu;
inline uint32_t RowReach(const TLineRecord& rec) {
    return rec.Flags >> RowReachShift;
}
inline void SetRowReach(TLineRecord& rec, size_t chars) {
    const uint32_t r = chars < RowReachFar ? uint32_t(chars) : RowReachFar;
    rec.Flags = (rec.Flags & ((1u << RowReachShift) - 1)) | (r << RowReachShift);
}

// Told of every edit (undo logging, bookmarks, marks).
class ITextStoreObserver {
public:
    virtual ~ITextStoreObserver() = default;
    virtual void OnInsert(TOffset pos, std::string_view text) = 0;
    virtual void OnDelete(TOffset pos, std::string_view deletedText) = 0;
    // After every observer heard the insertion or deletion: the place for work that re-cuts rows,
    // so that each observer hears of an edit before the re-cuts that follow from it.
    virtual void AfterEdit() {}
    // Rows [first, first + oldCount) were cut anew into newCount rows; the text is the same.
    virtual void OnRowsRecut(TRow first, int oldCount, int newCount) {
        (void)first, (void)oldCount, (void)newCount;
    }
};

enum TSelLineStyle { lsCRLF = 0, lsLF = 1 };
enum TSaveFormat { sfTEXT = 0, sfRTF = 1, sfHTML = 2, sfUNIX = 3 };

class TTextStore {
public:
    TTextStore();
    ~TTextStore();

    int LineCount() const { return FLines.Length(); }
    int CharCount() const { return FText.Length(); }
    // Rises with every insertion or deletion that changes the text: a reader that handed control
    // to a handler can tell whether the text, and so every view of it, is still the one it read.
    uint64_t Edits() const { return FEdits; }
    // The offset just past the last character.
    TOffset TextEnd() const { return TOffset(CharCount()); }
    // Rows that end without a line break, the last row aside: the cuts of wrapped and of very
    // long lines. 0 means every row is a logical line of its own.
    int ContinuedRows() const { return LineCount() - LogicalLineCount(); }
    int WidestLine() const { return FWidest; }
    void ResetWidestLine() { FWidest = 0; }

    // Logical lines: the runs of rows from one line break to the next. A row starts a logical
    // line when it is the first or the row above ends in CR; the store keeps where each logical
    // line starts, so these are O(log n) wherever the row is and however long its line.
    int LogicalLineCount() const { return FLogical.Partitions(); }
    // The logical line holding `row` (clamped to the rows there are).
    TLogicalLine LogicalLineOf(TRow row) const;
    // The first row of logical `line`; LineCount() for LogicalLineCount(), -1 past that.
    TRow FirstRowOf(TLogicalLine line) const;

    // What the editor keeps of a display row; rows and text offsets have their own types, so
    // that neither stands for the other or for a logical line.
    const TLineRecord& Line(TRow row) const { return FLines[row.Value()]; }
    TLineRecord& Line(TRow row) { return FLines[row.Value()]; }
    // The characters of `row` (its CR, when it ends a logical line, included), in place: valid
    // until the next edit. Reading a row moves no other row's characters, so views of several
    // rows may be held at once.
    std::string_view RowText(TRow row) const {
        const int r = row.Value();
        return FText.Run(FStarts.PositionFromPartition(r), FStarts.PositionFromPartition(r + 1));
    }
    // Where `row` ends: the next row's start, or the text's end for the last row.
    TOffset RowEnd(TRow row) const { return TOffset(FStarts.PositionFromPartition(row.Value() + 1)); }
    // Calls f(std::string_view) for the one or two runs that hold [from, to), in order, as they
    // lie: a reader of many rows at once moves nothing.
    template <typename F> void TextPieces(TOffset from, TOffset to, F&& f) const {
        FText.Pieces(from.Value(), to.Value(), std::forward<F>(f));
    }
    int RowLength(TRow row) const {
        const int r = row.Value();
        return FStarts.PositionFromPartition(r + 1) - FStarts.PositionFromPartition(r);
    }
    // Whether `row` ends in a line break (every row of a logical line but its last does not).
    bool RowEndsInBreak(TRow row) const {
        const int end = FStarts.PositionFromPartition(row.Value() + 1);
        return end > FStarts.PositionFromPartition(row.Value()) && FText.At(end - 1) == '\r';
    }
    // The row holding offset `pos` (clamped to the text; at a row start, that row).
    TRow LineFromPos(TOffset pos) const { return TRow(RowOf(pos.Value())); }
    // Where `row` starts; -1 when there is no such row.
    TOffset PosFromLine(TRow row) const { return TOffset(RowStart(row.Value())); }

    // Normalises and inserts; returns the stored length.
    int Insert(TOffset pos, std::string_view text);
    void Delete(TOffset pos, int length);
    // Plain text of [start, end) in the given format.
    std::string GetText(TOffset start, TOffset end, TSaveFormat format = sfTEXT) const;
    std::string GetText() const { return Output(0, CharCount(), LineEndOf(sfTEXT)); }

    static std::string Normalize(std::string_view text);
    // The same over the n bytes at p, in place (the text only shrinks); returns the new length.
    static size_t NormalizeInPlace(char* p, size_t n);

    TSelLineStyle LineStyle() const { return FLineStyle; }
    void SetLineStyle(TSelLineStyle s) { FLineStyle = s; }

    int CachedTopLine() const { return FCachedTop; }
    void SetCachedTopLine(int line) { FCachedTop = line; }

    void AttachControl(TCustomCodeMemo* control);
    void DetachControl(TCustomCodeMemo* control);
    const std::vector<TCustomCodeMemo*>& Controls() const { return FControls; }

    TUndoStack* UndoStack() const { return FUndo.get(); }
    std::unique_ptr<TUndoStack> DetachUndoStack();
    void AttachUndoStack(std::unique_ptr<TUndoStack> stack);
    // What undo and redo act on (the selection, the text): bound once for the store and handed
    // to every stack attached to it, so that no edit has to point the stack anew.
    TUndoTarget* UndoTarget() const { return FUndoTarget; }
    void SetUndoTarget(TUndoTarget* target);

    // The numbers of the scanner states that rows end in, shared by every scanner of this store.
    TScanStates& ScanStates() { return *FScanStates; }

    void AddObserver(ITextStoreObserver* o);
    void RemoveObserver(ITextStoreObserver* o);

    uint16_t Bookmarks[10] = {};
    // A new text: no line carries a numbered bookmark any more.
    void ClearBookmarks();

    // Cuts the rows [first, first + count) again into rows of the given lengths (which sum to
    // theirs) without changing the text: word wrap. The first row keeps the glyphs, bookmarks
    // and line object; later rows carry lmContinuation. Each row keeps the attribute bytes of its
    // characters (it is marked for a scan only where some were missing or pending), and a row
    // that ends where an old one ended keeps its scan state. Returns false when nothing changed.
    bool RecutRows(TRow first, int count, const std::vector<int>& lengths);

    // The stored characters of [start, end), line ends as single CRs.
    std::string StoredText(TOffset start, TOffset end) const;

    // Room for this many rows and characters without growing: a loader that knows the counts
    // spares the copies (and the double memory) of growing the text and the rows.
    void Reserve(int lines, int chars);
    // Bytes the text holds room for (for tests and benchmarks).
    size_t TextCapacity() const { return FText.Capacity(); }

private:
    int RowOf(int pos) const;
    int RowStart(int row) const;
    std::string Output(int start, int end, const char* lineEnd) const;
    const char* LineEndOf(TSaveFormat format) const {
        return format != sfUNIX && FLineStyle == lsCRLF ? "\r\n" : "\n";
    }
    // The row's characters changed: what was known of them (attribute bytes, scan points) goes,
    // the row is to be painted and scanned again; `keepDecor` keeps its glyphs and paint range.
    void TouchRow(int row, bool keepDecor);
    // Before [at, at + removed) of a row of `length` characters becomes `added` new characters:
    // what the re-scan knew of the row, with the bytes of before kept for the text behind the
    // edit; nullptr if nothing.
    static std::unique_ptr<TRowScan> KeepRowScan(TLineRecord& rec, int length, int at,
                                                 int removed, int added);

    TTextBuffer FText;
    TSplitVector<TLineRecord> FLines;
    // Row i is FText[FStarts.PositionFromPartition(i), FStarts.PositionFromPartition(i + 1)).
    TPartitioning FStarts;
    // Logical line i starts at row FLogical.PositionFromPartition(i); the end is LineCount().
    TPartitioning FLogical;
    uint64_t FEdits = 0;
    int FWidest = 1;
    int FCachedTop = 0;
    TSelLineStyle FLineStyle = lsCRLF;
    std::vector<TCustomCodeMemo*> FControls;
    std::unique_ptr<TUndoStack> FUndo;
    TUndoTarget* FUndoTarget = nullptr;
    std::unique_ptr<TScanStates> FScanStates;
    std::vector<ITextStoreObserver*> FObservers;
};

} // namespace quillet
