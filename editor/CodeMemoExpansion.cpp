// Template and auto-replace expansion over the control.
#include "editor/CodeMemoExpansion.h"

#include "editor/CodeMemo.h"
#include "editor/CodeMemoUndoLink.h"
#include "editor/EdStream.h"
#include "editor/UndoStack.h"

#include <algorithm>

namespace quillet {

std::string TCodeMemoExpansion::LineBeforeCaret() const {
    const TTextStore& store = *FMemo.FStore;
    int line = store.LineFromPos(FMemo.FCaret);
    int start = store.PosFromLine(line);
    return store.StoredText(start, FMemo.FCaret);
}

int TCodeMemoExpansion::CharAtCaret() const {
    const TTextStore& store = *FMemo.FStore;
    if (FMemo.FCaret >= store.CharCount()) return -1;
    char c = store.StoredText(FMemo.FCaret, FMemo.FCaret + 1)[0];
    return c == '\r' ? -1 : static_cast<unsigned char>(c);
}

void TCodeMemoExpansion::GetSelection(int& start, int& end) const {
    start = std::min(FMemo.FAnchor, FMemo.FCaret);
    end = std::max(FMemo.FAnchor, FMemo.FCaret);
}

void TCodeMemoExpansion::SetSelection(int start, int end) {
    FMemo.ApplySelection(FMemo.ClampOffset(start), FMemo.ClampOffset(end), true);
}

int TCodeMemoExpansion::DisplayColumn(int offset) const {
    const TTextStore& store = *FMemo.FStore;
    offset = FMemo.ClampOffset(offset);
    int line = store.LineFromPos(offset);
    return FMemo.VisualColumn(line, offset - store.PosFromLine(line));
}

void TCodeMemoExpansion::ReplaceRange(int start, int end, std::string_view text) {
    FMemo.ReplaceRange(FMemo.ClampOffset(start), FMemo.ClampOffset(end), text);
    FMemo.ApplySelection(FMemo.FCaret, FMemo.FCaret, true);
}

void TCodeMemoExpansion::SetCaret(int offset) {
    offset = FMemo.ClampOffset(offset);
    FMemo.ApplySelection(offset, offset, true);
}

void TCodeMemoExpansion::BeginUndoGroup(int id) {
    FMemo.CloseTyping();
    TUndoStack* undo = FMemo.FStore->UndoStack();
    if (!undo || !FMemo.FUndoLink) return;
    undo->SetTarget(FMemo.FUndoLink.get());
    undo->OpenGroup(id);
}

void TCodeMemoExpansion::EndUndoGroup(int id) {
    TUndoStack* undo = FMemo.FStore->UndoStack();
    if (!undo) return;
    if (FKeepGroupOpen && undo->OpenGroupId() == id) {
        FMemo.FExpansionOpen = true; // closed once the trigger's character is typed
        return;
    }
    undo->CloseGroup(id);
}

bool TCodeMemoExpansion::CharStartsWord(char c) const {
    return FMemo.CharStartsWord(c);
}

bool TCodeMemoExpansion::CharIsInWord(char c) const {
    return FMemo.CharIsInWord(c);
}

void TCodeMemoExpansion::TemplateEvent(const std::string& name, std::string& text) {
    if (FMemo.OnTemplateEvent) FMemo.OnTemplateEvent(FMemo, name, text);
}

void TCodeMemoExpansion::AutoReplaceEvent(int wordStart, const std::string& name, std::string& text,
                                          bool& canReplace) {
    if (!FMemo.OnAutoReplace) return;
    TEdStream stream(*FMemo.FStore);
    stream.Seek(std::clamp(wordStart, 0, FMemo.FStore->CharCount()), soBeginning);
    FMemo.OnAutoReplace(FMemo, stream, name, text, canReplace);
}

} // namespace quillet
