// Block indent and un-indent of the logical lines the selection covers.
#include "editor/CodeMemo.h"
#include "editor/EditPipeline.h"

#include "editor/CodeMemoUndoLink.h"
#include "editor/CodeMemoWrap.h"
#include "editor/UndoStack.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace quillet {

namespace {
// An edit at a line start, in offsets before any edit is made.
struct TLineEdit {
    TOffset Start;
    int Length;
};

// `pos` after the edits: insertions (at starts before it) push it on, removals pull it back.
TOffset MapPos(TOffset pos, const std::vector<TLineEdit>& edits, bool inserted) {
    int shift = 0;
    for (const TLineEdit& e : edits) {
        if (inserted)
            shift += e.Start < pos ? e.Length : 0;
        else
            shift -= std::clamp(pos - e.Start, 0, e.Length);
    }
    return pos + shift;
}
} // namespace

std::vector<TOffset> TCustomCodeMemo::SelectedLineStarts(TOffset a, TOffset b) {
    // Whole logical lines, however they are cut into rows; an end at a line start leaves that
    // line out.
    std::vector<TOffset> starts;
    TRow row = FWrap->FirstRowOf(FStore->LineFromPos(a));
    const TRow lastRow = FWrap->FirstRowOf(FStore->LineFromPos(b));
    while (true) {
        const TOffset start = FStore->PosFromLine(row);
        if (row == lastRow && b == start && !starts.empty()) break;
        starts.push_back(start);
        if (row >= lastRow) break;
        row = FWrap->LastRowOf(row) + 1;
    }
    return starts;
}

void TCustomCodeMemo::IndentBlock(int count, bool useTabs) {
    if (FReadOnly || FAnchor == FCaret || count <= 0) return;
    CloseTyping();
    bool caretAtEnd = FCaret > FAnchor;
    const TOffset a = SelFirst(), b = SelLast();
    std::vector<TLineEdit> edits;
    for (TOffset start : SelectedLineStarts(a, b))
        edits.push_back({start, count});
    std::string pad(size_t(count), useTabs && HasOption(smoUseTAB) ? '\t' : ' ');
    TUndoStack* undo = FStore->UndoStack();
    if (undo && FUndoLink) undo->OpenGroup(ugIndent);
    // From the last line up, so that the offsets of the lines above still hold.
    for (auto it = edits.rbegin(); it != edits.rend(); ++it)
        FPipeline->Insert(it->Start, pad);
    if (undo) undo->CloseGroup(ugIndent);
    // The selection keeps covering the same text, now with its indent.
    const TOffset start = MapPos(a, edits, true), end = MapPos(b, edits, true);
    NoteChange(cfText);
    if (caretAtEnd)
        ApplySelection(start, end, true);
    else
        ApplySelection(end, start, true);
    Repaint();
}

void TCustomCodeMemo::UnindentBlock(int count) {
    if (FReadOnly || FAnchor == FCaret || count <= 0) return;
    CloseTyping();
    bool caretAtEnd = FCaret > FAnchor;
    const TOffset a = SelFirst(), b = SelLast();
    std::vector<TLineEdit> edits;
    for (TOffset start : SelectedLineStarts(a, b)) {
        // Blanks, tabs and no-break spaces each count as one, whatever their width. The line
        // is read across its rows: a row may end inside the blanks.
        const int limit = int(std::min<int64_t>(FStore->TextEnd() - start, int64_t(count) * 2));
        std::string text = FStore->StoredText(start, start + limit);
        size_t bytes = 0;
        for (int n = 0; n < count && bytes < text.size(); ++n) {
            if (text[bytes] == ' ' || text[bytes] == '\t')
                bytes += 1;
            else if (text.compare(bytes, 2, "\xC2\xA0") == 0)
                bytes += 2;
            else
                break;
        }
        if (bytes > 0) edits.push_back({start, int(bytes)});
    }
    if (edits.empty()) return;
    TUndoStack* undo = FStore->UndoStack();
    if (undo && FUndoLink) undo->OpenGroup(ugUnindent);
    for (auto it = edits.rbegin(); it != edits.rend(); ++it)
        FPipeline->Delete(it->Start, it->Length);
    if (undo) undo->CloseGroup(ugUnindent);
    const TOffset start = MapPos(a, edits, false), end = MapPos(b, edits, false);
    NoteChange(cfText);
    if (caretAtEnd)
        ApplySelection(start, end, true);
    else
        ApplySelection(end, start, true);
    Repaint();
}

} // namespace quillet
