// Block indent and un-indent of the lines the selection covers.
#include "editor/CodeMemo.h"

#include "editor/CodeMemoUndoLink.h"
#include "editor/UndoStack.h"

#include <algorithm>

namespace quillet {

namespace {
// The lines from the selection start through its end; an end at a line start leaves that line.
void SelectedLines(const TTextStore& store, int a, int b, int& first, int& last) {
    first = store.LineFromPos(a);
    last = store.LineFromPos(b);
    if (last > first && b == store.PosFromLine(last)) --last;
}

// Whether an un-indent of these lines would remove anything: one that would not must leave
// no empty step in the undo history.
bool AnyLeadingBlank(const TTextStore& store, int first, int last) {
    for (int line = first; line <= last; ++line) {
        std::string_view text = store.Line(line).View();
        if (text.starts_with(' ') || text.starts_with('\t') || text.starts_with("\xC2\xA0"))
            return true;
    }
    return false;
}
} // namespace

void TCustomCodeMemo::IndentBlock(int count, bool useTabs) {
    if (FReadOnly || FAnchor == FCaret || count <= 0) return;
    CloseTyping();
    bool caretAtEnd = FCaret > FAnchor;
    int a = std::min(FAnchor, FCaret), b = std::max(FAnchor, FCaret);
    int first = 0, last = 0;
    SelectedLines(*FStore, a, b, first, last);
    std::string pad(size_t(count), useTabs && HasOption(smoUseTAB) ? '\t' : ' ');
    TUndoStack* undo = FStore->UndoStack();
    if (undo && FUndoLink) {
        undo->SetTarget(FUndoLink.get());
        undo->OpenGroup(ugIndent);
    }
    for (int line = first; line <= last; ++line)
        FStore->Insert(FStore->PosFromLine(line), pad);
    if (undo) undo->CloseGroup(ugIndent);
    // The selection keeps covering the same text, now with its indent.
    int end = b + count * (last - first + 1);
    NoteChange(cfText);
    if (caretAtEnd)
        ApplySelection(a, end, true);
    else
        ApplySelection(end, a, true);
    Repaint();
}

void TCustomCodeMemo::UnindentBlock(int count) {
    if (FReadOnly || FAnchor == FCaret || count <= 0) return;
    CloseTyping();
    bool caretAtEnd = FCaret > FAnchor;
    int a = std::min(FAnchor, FCaret), b = std::max(FAnchor, FCaret);
    int first = 0, last = 0;
    SelectedLines(*FStore, a, b, first, last);
    if (!AnyLeadingBlank(*FStore, first, last)) return;
    TUndoStack* undo = FStore->UndoStack();
    if (undo && FUndoLink) {
        undo->SetTarget(FUndoLink.get());
        undo->OpenGroup(ugUnindent);
    }
    int removedTotal = 0, removedBeforeStart = 0;
    for (int line = first; line <= last; ++line) {
        int start = FStore->PosFromLine(line);
        std::string text(FStore->Line(line).View());
        // Blanks, tabs and no-break spaces each count as one, whatever their width.
        size_t bytes = 0;
        for (int n = 0; n < count && bytes < text.size(); ++n) {
            if (text[bytes] == ' ' || text[bytes] == '\t')
                bytes += 1;
            else if (text.compare(bytes, 2, "\xC2\xA0") == 0)
                bytes += 2;
            else
                break;
        }
        if (bytes == 0) continue;
        FStore->Delete(start, int(bytes));
        if (line == first) removedBeforeStart = std::min(int(bytes), a - start);
        removedTotal += int(bytes);
    }
    if (undo) undo->CloseGroup(ugUnindent);
    if (removedTotal == 0) return;
    int newStart = a - removedBeforeStart;
    int end = std::max(newStart, b - removedTotal);
    NoteChange(cfText);
    if (caretAtEnd)
        ApplySelection(newStart, end, true);
    else
        ApplySelection(end, newStart, true);
    Repaint();
}

} // namespace quillet
