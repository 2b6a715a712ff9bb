// The command executor: what each command of the key table does to text, caret and view.
#include "editor/CodeMemo.h"

#include "editor/Bookmarks.h"
#include "editor/CodeMemoUndoLink.h"
#include "editor/CodeMemoView.h"
#include "editor/CodeMemoWrap.h"
#include "editor/UndoStack.h"
#include "highlight/KeyboardActionController.h"
#include "platform/Platform.h"
#include "resources/Strings.h"

#include <algorithm>

namespace quillet {

namespace {
// Undo groups of the deleting commands.
constexpr int ugDelete = 15;
constexpr int ugDeleteWordBefore = 21;
constexpr int ugDeleteWordAfter = 22;
constexpr int ugDeleteLine =
    24; // logged as a replacement of the selection, as programmatic insertion is
// The virtual caret goes no further right than this.
constexpr TColumn MaxVirtualColumn(2047);

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
} // namespace

// Both walk a row's bytes in place: a word may be the whole of a long line.
TOffset TCustomCodeMemo::WordStartBefore(TOffset offset) const {
    // Back over characters whose word test gives `inWord`, row by row.
    auto back = [&](bool inWord) {
        while (offset > TOffset(0)) {
            const TRow row = FStore->LineFromPos(offset - 1);
            const TOffset start = FStore->PosFromLine(row);
            const std::string_view text = FStore->RowText(row);
            int i = offset - start;
            while (i > 0 && CharIsInWord(text[i - 1]) == inWord)
                --i;
            offset = start + i;
            if (i > 0) return;
        }
    };
    back(false);
    back(true);
    return offset;
}

TOffset TCustomCodeMemo::WordStartAfter(TOffset offset) const {
    const TOffset count(FStore->CharCount());
    const TOffset start = offset;
    auto on = [&](bool inWord) {
        while (offset < count) {
            const TRow row = FStore->LineFromPos(offset);
            const TOffset rowStart = FStore->PosFromLine(row);
            const std::string_view text = FStore->RowText(row);
            int i = offset - rowStart;
            while (i < int(text.size()) && CharIsInWord(text[i]) == inWord)
                ++i;
            offset = std::min(rowStart + i, count);
            if (i < int(text.size())) return;
        }
    };
    on(true);
    on(false);
    // No word follows: the caret stays.
    return offset >= count ? start : offset;
}

namespace {
// Numbered bookmarks over the control's store; the columns live in the store.
class TStoreBookmarkHost : public TBookmarkHost {
public:
    TStoreBookmarkHost(TTextStore& store, TRow caretLine, TOffset caretColumn, bool wrap)
        : FStore(store), FCaretLine(caretLine), FCaretColumn(caretColumn), FWrap(wrap) {}
    int LineCount() const override { return FStore.LineCount(); }
    uint16_t LineMarks(TRow row) const override { return FStore.Line(row).Marks; }
    void SetLineMarks(TRow row, uint16_t marks) override {
        FStore.Line(row).Marks = marks;
        FStore.Line(row).Flags |= lfRepaint; // the gutter shows it
    }
    int LineLength(TRow row) const override { return FStore.RowLength(row); }
    bool LineEndsWithCR(TRow row) const override { return FStore.RowEndsInBreak(row); }
    TRow CaretLine() const override { return FCaretLine; }
    TOffset CaretColumn() const override { return FCaretColumn; }
    bool WordWrap() const override { return FWrap; }

private:
    TTextStore& FStore;
    TRow FCaretLine;
    TOffset FCaretColumn;
    bool FWrap;
};

void CheckBookmark(int index) {
    if (index < 0 || index >= TNumberedBookmarks::Count) throw ECodeMemo(LoadStr(SBookmarkRange));
}
} // namespace

void TCustomCodeMemo::SetBookmark(int index, int line, int column) {
    CheckBookmark(index);
    // A bookmark belongs to a logical line (also one cut past 2,047 characters without word
    // wrap); its column counts from the line's start, so going to it finds the caret's place.
    const TRow firstRow = FWrap->FirstRowOf(CaretRow());
    TStoreBookmarkHost host(*FStore, firstRow,
                            TOffset(0) + (FCaret - FStore->PosFromLine(firstRow)), true);
    TNumberedBookmarks bookmarks;
    bookmarks.BindColumns(FStore->Bookmarks);
    bookmarks.OnBookmarkSet = [this](TNumberedBookmarks&, int n) {
        if (OnBookmarkSet) OnBookmarkSet(*this, n);
    };
    bookmarks.Set(host, index, line, column);
    Repaint();
}

void TCustomCodeMemo::GotoBookmark(int index) {
    CheckBookmark(index);
    TStoreBookmarkHost host(*FStore, TRow(0), TOffset(0), false);
    TNumberedBookmarks bookmarks;
    bookmarks.BindColumns(FStore->Bookmarks);
    TRow row;
    TOffset at;
    if (!bookmarks.Find(host, index, row, at)) return;
    // The stored column may fall inside a character that edits moved there.
    const TOffset place = SnapOffset(at);
    CloseTyping();
    NoteChange(cfCaret);
    ApplySelection(place, place, false);
    // The bookmarked line in the middle of the window.
    ScrollTo(FLeftColumn, std::max(TRow(0), row - FVisibleLines / 2), false);
    ScrollCaretIntoView();
    UpdateScrollBars();
    Repaint();
}

int TCustomCodeMemo::BookmarkLine(int index) const {
    CheckBookmark(index);
    if (FStore->Bookmarks[index] == 0) return -1;
    const uint16_t bit = uint16_t(1u << index);
    for (TRow row(0), end(FStore->LineCount()); row < end; ++row)
        if (FStore->Line(row).Marks & bit) return row.Value();
    return -1;
}

bool TCustomCodeMemo::VirtualCaret() {
    return HasOption(smoCaretAfterEOL) && FView->Metrics().FixedPitch;
}

bool TCustomCodeMemo::CaretBeyondEnd() {
    return FBeyondEnd && VirtualCaret();
}

TColumn TCustomCodeMemo::TextCaretColumn() {
    const TRow line = CaretRow();
    return VisualColumn(line, TOffset(FCaret - FStore->PosFromLine(line)));
}

std::string TCustomCodeMemo::FillText(TColumn fromColumn, TColumn toColumn) {
    std::string fill;
    if (toColumn <= fromColumn) return fill;
    TColumn column = fromColumn;
    if (HasOption(smoUseTAB) && HasOption(smoSmartFill)) {
        for (TColumn next = NextTabStop(column); next <= toColumn && next > column;
             next = NextTabStop(column)) {
            fill += '\t';
            column = next;
        }
    }
    fill.append(size_t(toColumn - column), ' ');
    return fill;
}

void TCustomCodeMemo::FillToVirtualCaret(int groupId) {
    if (!CaretBeyondEnd() || FReadOnly) return;
    std::string fill = FillText(TextCaretColumn(), FRememberedColumn);
    FBeyondEnd = false;
    ReplaceRange(FCaret, FCaret, fill, groupId);
    ApplySelection(FCaret, FCaret, false);
}

std::optional<TColumn> TCustomCodeMemo::VirtualColumnAt(int x, TOffset offset) {
    if (!VirtualCaret()) return std::nullopt;
    const TRow line = FStore->LineFromPos(offset);
    const TColumn column =
        FLeftColumn + std::max(0, x - FView->TextLeft()) / FView->Metrics().CharWidth;
    if (column <= VisualColumn(line, TOffset(offset - FStore->PosFromLine(line))))
        return std::nullopt;
    return std::min(column, MaxVirtualColumn);
}

void TCustomCodeMemo::ExecuteCommand(int command, int data, bool extend) {
    (void)data;
    // The row the caret is drawn on, which at a row end is the row before its offset's.
    const TRow line = CaretRow();
    const TOffset lineStart = FStore->PosFromLine(line);
    std::string_view text = FStore->RowText(line);
    int bodyLength = int(text.size()) - (!text.empty() && text.back() == '\r' ? 1 : 0);
    const TRow lastLine(FStore->LineCount() - 1);
    NoteChange(cfCaret);
    const bool virt = VirtualCaret();
    // A continuation row ends at a cut, not at its logical line's end.
    const bool rowContinues = FWrap->RowContinues(line);
    const bool atLineEnd = FCaret == lineStart + bodyLength;
    // Moves along the caret's line to a column that may lie past its end.
    auto moveVirtual = [&](TColumn column) {
        FVirtualTarget = column;
        MoveCaret(lineStart + bodyLength, extend);
    };
    auto vertical = [&](int delta) {
        const TRow target = std::clamp(line + delta, TRow(0), lastLine);
        TColumn column =
            virt || HasOption(smoColumnTrack) ? FRememberedColumn : CaretDisplayColumn();
        bool rowEnd = false;
        TOffset offset = RowOffsetAtColumn(target, column, rowEnd);
        if (virt && target != line) {
            // The caret keeps its column, past the end of a shorter line.
            FVirtualTarget = column;
            FRowEndTarget = rowEnd;
            MoveCaret(offset, extend);
            return;
        }
        if (target == line) {
            if (delta < 0)
                offset = TOffset(0);
            else if (FStore->CharCount() > 0 &&
                     FStore->StoredText(FStore->TextEnd() - 1, FStore->TextEnd()) == "\r")
                offset = FStore->TextEnd();
            else
                return;
        }
        TColumn keep = FRememberedColumn;
        FRowEndTarget = rowEnd && target != line;
        // Off the first or last line the caret goes to the text's start or end: no column to
        // track there.
        MoveCaret(offset, extend, target != line);
        if (HasOption(smoColumnTrack)) FRememberedColumn = std::max(keep, column);
    };
    auto deleteRange = [&](TOffset a, TOffset b, int group) {
        if (a == b) return;
        TUndoStack* undo = FStore->UndoStack();
        CloseTyping();
        if (undo && FUndoLink) undo->OpenGroup(group);
        ReplaceRange(a, b, {});
        ApplySelection(FCaret, FCaret, true);
        if (undo) undo->CloseGroup(group);
    };
    switch (command) {
    case kcCursorLeft:
        if (virt && CaretBeyondEnd()) {
            moveVirtual(FRememberedColumn - 1);
        } else if (virt && FCaret == lineStart && SharedRowOffset(FCaret)) {
            // From the start of a continuation row to the end of the row above it.
            FRowEndTarget = true;
            MoveCaret(FCaret, extend);
        } else if (!virt || FCaret != lineStart) { // the virtual caret does not wrap
            MoveCaret(PrevCharOffset(FCaret), extend);
        }
        break;
    case kcCursorRight:
        if (atLineEnd && rowContinues)
            MoveCaret(FCaret, extend); // over the cut to the next row's start, no columns beyond
        else if (virt && atLineEnd)
            moveVirtual(std::min(CaretDisplayColumn() + 1, MaxVirtualColumn));
        else
            MoveCaret(NextCharOffset(FCaret), extend);
        break;
    case kcLineStart:
        MoveCaret(lineStart, extend);
        break;
    case kcLineEnd: {
        int end = bodyLength; // in the row
        while (end > 0 && IsBlank(text[size_t(end - 1)]))
            --end;
        // A row cut inside a word ends where the next row starts: the caret stays on this row.
        FRowEndTarget = rowContinues && end == bodyLength;
        MoveCaret(lineStart + end, extend);
        break;
    }
    case kcLineUp:
        vertical(-1);
        break;
    case kcLineDown:
        vertical(1);
        break;
    case kcPageUp:
    case kcPageDown: {
        int page = std::max(1, FVisibleLines);
        int delta =
            command == kcPageUp ? -std::min(page, line - TRow(0)) : std::min(page, lastLine - line);
        if (delta == 0) break;
        ScrollTo(FLeftColumn, std::max(TRow(0), FTopLine + delta), false);
        vertical(delta);
        break;
    }
    case kcWordLeft:
        MoveCaret(WordStartBefore(FCaret), extend);
        break;
    case kcWordRight:
        MoveCaret(WordStartAfter(FCaret), extend);
        break;
    case kcDocumentStart:
        MoveCaret(TOffset(0), extend);
        break;
    case kcDocumentEnd:
        MoveCaret(TOffset(FStore->CharCount()), extend);
        FRememberedColumn = VisualColumn(lastLine, TOffset(FStore->RowLength(lastLine)));
        break;
    case kcCut:
        if (!FReadOnly) Perform(WM_CUT, 0, 0);
        break;
    case kcCopy:
        Perform(WM_COPY, 0, 0);
        break;
    case kcPaste:
        if (!FReadOnly) {
            IClipboard* clip = Platform().Clipboard.get();
            TUndoStack* undo = FStore->UndoStack();
            // Past the line end the blanks up to the caret and the pasted text are one step.
            bool fill = FAnchor == FCaret && CaretBeyondEnd() && clip && clip->HasText();
            if (fill) {
                CloseTyping();
                if (undo && FUndoLink) undo->OpenGroup(ugPaste);
                FillToVirtualCaret(0);
            }
            Perform(WM_PASTE, 0, 0);
            if (fill && undo) undo->CloseGroup(ugPaste);
            FRememberedColumn = CaretDisplayColumn();
        }
        break;
    case kcDeleteChar:
        if (FReadOnly) break;
        if (FAnchor != FCaret) {
            deleteRange(SelFirst(), SelLast(), ugDelete);
        } else if (CaretBeyondEnd()) {
            // The blanks up to the caret come first, then the break joins the next line.
            TUndoStack* undo = FStore->UndoStack();
            CloseTyping();
            if (undo && FUndoLink) undo->OpenGroup(ugDelete);
            FillToVirtualCaret(0);
            if (FCaret < TOffset(FStore->CharCount()))
                ReplaceRange(FCaret, NextCharOffset(FCaret), {});
            ApplySelection(FCaret, FCaret, true);
            if (undo) undo->CloseGroup(ugDelete);
        } else if (FCaret < TOffset(FStore->CharCount())) {
            deleteRange(FCaret, NextCharOffset(FCaret), ugDelete);
        }
        break;
    case kcDeleteCharBefore:
        if (FReadOnly) break;
        if (FAnchor == FCaret && CaretBeyondEnd())
            moveVirtual(FRememberedColumn - 1);
        else if (FAnchor != FCaret)
            deleteRange(SelFirst(), SelLast(), ugDelete);
        else if (FCaret > TOffset(0))
            deleteRange(PrevCharOffset(FCaret), FCaret, ugDelete);
        break;
    case kcIndentBlock:
        IndentBlock(IndentStep(), false);
        break;
    case kcUnindentBlock:
        UnindentBlock(IndentStep());
        break;
    case kcToggleInsert:
        FInsertMode = !FInsertMode;
        FCaretCreated = false; // the caret shape follows the mode
        NoteChange(cfKey);
        Repaint();
        break;
    case kcSetBookmark0 + 0:
    case kcSetBookmark0 + 1:
    case kcSetBookmark0 + 2:
    case kcSetBookmark0 + 3:
    case kcSetBookmark0 + 4:
    case kcSetBookmark0 + 5:
    case kcSetBookmark0 + 6:
    case kcSetBookmark0 + 7:
    case kcSetBookmark0 + 8:
    case kcSetBookmark0 + 9:
        SetBookmark(command - kcSetBookmark0);
        break;
    case kcGotoBookmark0 + 0:
    case kcGotoBookmark0 + 1:
    case kcGotoBookmark0 + 2:
    case kcGotoBookmark0 + 3:
    case kcGotoBookmark0 + 4:
    case kcGotoBookmark0 + 5:
    case kcGotoBookmark0 + 6:
    case kcGotoBookmark0 + 7:
    case kcGotoBookmark0 + 8:
    case kcGotoBookmark0 + 9:
        GotoBookmark(command - kcGotoBookmark0);
        break;
    case kcDeleteLine:
        if (FReadOnly || FAnchor != FCaret) break;
        deleteRange(lineStart, lineStart + FStore->RowLength(line), ugDeleteLine);
        break;
    case kcUndo:
        if (!FReadOnly) Perform(EM_UNDO, 0, 0);
        break;
    case kcRedo:
        if (!FReadOnly) Perform(SM_REDO, 0, 0);
        break;
    case kcDeleteWordBefore:
        if (!FReadOnly) deleteRange(WordStartBefore(FCaret), FCaret, ugDeleteWordBefore);
        break;
    case kcPrintSelection:
        // A key has nobody to hand a failed print to: it is shown, as a command's errors are.
        try {
            PrintSelection();
        } catch (const EQuilletError& e) {
            if (Platform().Dialogs) Platform().Dialogs->MessageBox(e.what(), "", mtError, mbOK);
        }
        break;
    case kcDeleteWordAfter:
        if (!FReadOnly) {
            TOffset end = WordStartAfter(FCaret);
            if (end == FCaret) end = TOffset(FStore->CharCount()); // the last word runs to the end
            deleteRange(FCaret, end, ugDeleteWordAfter);
        }
        break;
    case kcScrollUp:
        if (FTopLine > TRow(0)) {
            ScrollTo(FLeftColumn, FTopLine - 1, true);
            if (line >= FTopLine + FVisibleLines) vertical(-1);
        }
        break;
    case kcScrollDown:
        if (FTopLine < lastLine) {
            if (line == FTopLine) vertical(1);
            ScrollTo(FLeftColumn, FTopLine + 1, true);
        }
        break;
    default:
        break;
    }
}

} // namespace quillet
