// The command executor: what each command of the key table does to text, caret and view.
#include "editor/CodeMemo.h"

#include "editor/CodeMemoUndoLink.h"
#include "editor/UndoStack.h"
#include "highlight/KeyboardActionController.h"

#include <algorithm>

namespace quillet {

namespace {
// Undo groups of the deleting commands.
constexpr int ugDelete = 15;
constexpr int ugDeleteWordBefore = 21;
constexpr int ugDeleteWordAfter = 22;
constexpr int ugDeleteLine = 23;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
} // namespace

int TCustomCodeMemo::WordStartBefore(int offset) const {
    while (offset > 0 && !CharIsInWord(FStore->StoredText(offset - 1, offset)[0]))
        --offset;
    while (offset > 0 && CharIsInWord(FStore->StoredText(offset - 1, offset)[0]))
        --offset;
    return offset;
}

int TCustomCodeMemo::WordStartAfter(int offset) const {
    int count = FStore->CharCount();
    int start = offset;
    while (offset < count && CharIsInWord(FStore->StoredText(offset, offset + 1)[0]))
        ++offset;
    while (offset < count && !CharIsInWord(FStore->StoredText(offset, offset + 1)[0]))
        ++offset;
    // No word follows: the caret stays.
    return offset >= count ? start : offset;
}

void TCustomCodeMemo::PrintSelection() {}

void TCustomCodeMemo::ExecuteCommand(int command, int data, bool extend) {
    (void)data;
    int line = FStore->LineFromPos(FCaret);
    int lineStart = FStore->PosFromLine(line);
    std::string_view text = FStore->Line(line).View();
    int bodyLength = int(text.size()) - (!text.empty() && text.back() == '\r' ? 1 : 0);
    int lastLine = FStore->LineCount() - 1;
    NoteChange(cfCaret);
    auto vertical = [&](int delta) {
        int target = std::clamp(line + delta, 0, lastLine);
        int column = HasOption(smoColumnTrack) ? FRememberedColumn : CaretColumn();
        int offset = FStore->PosFromLine(target) + OffsetFromVisualColumn(target, column);
        if (target == line) {
            if (delta < 0)
                offset = 0;
            else if (FStore->CharCount() > 0 &&
                     FStore->StoredText(FStore->CharCount() - 1, FStore->CharCount()) == "\r")
                offset = FStore->CharCount();
            else
                return;
        }
        int keep = FRememberedColumn;
        MoveCaret(offset, extend, true);
        if (HasOption(smoColumnTrack)) FRememberedColumn = std::max(keep, column);
    };
    auto deleteRange = [&](int a, int b, int group) {
        if (a == b) return;
        TUndoStack* undo = FStore->UndoStack();
        CloseTyping();
        if (undo && FUndoLink) {
            undo->SetTarget(FUndoLink.get());
            undo->OpenGroup(group);
        }
        ReplaceRange(a, b, {});
        ApplySelection(FCaret, FCaret, true);
        if (undo) undo->CloseGroup(group);
    };
    switch (command) {
    case kcCursorLeft:
        MoveCaret(PrevCharOffset(FCaret), extend);
        break;
    case kcCursorRight:
        MoveCaret(NextCharOffset(FCaret), extend);
        break;
    case kcLineStart:
        MoveCaret(lineStart, extend);
        break;
    case kcLineEnd: {
        int end = bodyLength;
        while (end > 0 && IsBlank(text[size_t(end - 1)]))
            --end;
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
        int delta = command == kcPageUp ? -std::min(page, line) : std::min(page, lastLine - line);
        if (delta == 0) break;
        ScrollTo(FLeftColumn, std::max(0, FTopLine + delta), false);
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
        MoveCaret(0, extend);
        break;
    case kcDocumentEnd:
        MoveCaret(FStore->CharCount(), extend);
        FRememberedColumn = VisualColumn(lastLine, FStore->Line(lastLine).Length);
        break;
    case kcCut:
        if (!FReadOnly) Perform(WM_CUT, 0, 0);
        break;
    case kcCopy:
        Perform(WM_COPY, 0, 0);
        break;
    case kcPaste:
        if (!FReadOnly) {
            Perform(WM_PASTE, 0, 0);
            FRememberedColumn = CaretColumn();
        }
        break;
    case kcDeleteChar:
        if (FReadOnly) break;
        if (FAnchor != FCaret)
            deleteRange(std::min(FAnchor, FCaret), std::max(FAnchor, FCaret), ugDelete);
        else if (FCaret < FStore->CharCount())
            deleteRange(FCaret, NextCharOffset(FCaret), ugDelete);
        break;
    case kcDeleteCharBefore:
        if (FReadOnly) break;
        if (FAnchor != FCaret)
            deleteRange(std::min(FAnchor, FCaret), std::max(FAnchor, FCaret), ugDelete);
        else if (FCaret > 0)
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
    case kcDeleteLine:
        if (FReadOnly || FAnchor != FCaret) break;
        deleteRange(lineStart, lineStart + FStore->Line(line).Length, ugDeleteLine);
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
        PrintSelection();
        break;
    case kcDeleteWordAfter:
        if (!FReadOnly) {
            int end = WordStartAfter(FCaret);
            if (end == FCaret) end = FStore->CharCount(); // the last word runs to the end
            deleteRange(FCaret, end, ugDeleteWordAfter);
        }
        break;
    case kcScrollUp:
        if (FTopLine > 0) {
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
