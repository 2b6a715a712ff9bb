// Template and auto-replace expansion over the control.
#include "editor/CodeMemoExpansion.h"

#include "editor/CodeMemo.h"
#include "editor/CodeMemoUndoLink.h"
#include "editor/CodeMemoView.h"
#include "editor/CodeMemoWrap.h"
#include "editor/EdStream.h"
#include "editor/UndoStack.h"
#include "platform/Platform.h"
#include "platform/VirtualKeys.h"

#include <algorithm>

namespace quillet {

std::string TCodeMemoExpansion::LineBeforeCaret(size_t limit) const {
    // From the start of the logical line (a word cut at a row end goes on to the next row), but
    // only as many rows back as the limit reaches.
    const TTextStore& store = *FMemo.FStore;
    const TOffset caret = FMemo.FCaret;
    const TOffset from = limit < size_t(caret.Value()) ? caret - int(limit) : TOffset(0);
    TRow row = store.LineFromPos(caret);
    while (store.PosFromLine(row) > from && row > TRow(0) && FMemo.FWrap->RowContinues(row - 1))
        --row;
    return store.StoredText(std::max(from, store.PosFromLine(row)), caret);
}

int TCodeMemoExpansion::CharAtCaret() const {
    const TTextStore& store = *FMemo.FStore;
    const TOffset caret = FMemo.FCaret;
    if (caret >= store.TextEnd()) return -1;
    char c = store.StoredText(caret, caret + 1)[0];
    return c == '\r' ? -1 : static_cast<unsigned char>(c);
}

void TCodeMemoExpansion::GetSelection(int& start, int& end) const {
    start = FMemo.SelFirst().Value();
    end = FMemo.SelLast().Value();
}

int TCodeMemoExpansion::CaretOffset() const {
    return FMemo.FCaret.Value();
}

void TCodeMemoExpansion::SetSelection(int start, int end) {
    const TOffset last = FMemo.ClampOffset(TOffset(end));
    // Selecting the word before a caret at a row end leaves the caret on that row.
    FMemo.FRowEndTarget = FMemo.FCaretAtRowEnd && last == FMemo.FCaret;
    FMemo.ApplySelection(FMemo.ClampOffset(TOffset(start)), last, true);
}

int TCodeMemoExpansion::DisplayColumn(int offset) const {
    const TTextStore& store = *FMemo.FStore;
    const TOffset at = FMemo.ClampOffset(TOffset(offset));
    const TRow line = store.LineFromPos(at);
    return FMemo.VisualColumn(line, TOffset(at - store.PosFromLine(line))).Value();
}

void TCodeMemoExpansion::ReplaceRange(int start, int end, std::string_view text) {
    FMemo.ReplaceRange(FMemo.ClampOffset(TOffset(start)), FMemo.ClampOffset(TOffset(end)), text);
    FMemo.ApplySelection(FMemo.FCaret, FMemo.FCaret, true);
}

void TCodeMemoExpansion::SetCaret(int offset) {
    const TOffset at = FMemo.ClampOffset(TOffset(offset));
    FMemo.ApplySelection(at, at, true);
}

void TCodeMemoExpansion::BeginUndoGroup(int id) {
    FMemo.CloseTyping();
    TUndoStack* undo = FMemo.FStore->UndoStack();
    if (!undo || !FMemo.FUndoLink) return;
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

void TCodeMemoExpansion::ShowMacroPopup(TMacroKeywords& table) {
    FMemo.ShowMacroPopup(table);
}

bool TCodeMemoPopup::MoveKey(int key) {
    const int count = FList.Count();
    if (count == 0) return false;
    const int page = std::max(1, std::min(count, TMacroPopupView::VisibleItems) - 1);
    int sel = FList.Selected();
    switch (key) {
    case VK_UP:
        sel = sel < 0 ? 0 : sel - 1;
        break;
    case VK_DOWN:
        sel = sel + 1;
        break;
    case VK_PRIOR:
        sel = sel < 0 ? 0 : sel - page;
        break;
    case VK_NEXT:
        sel = sel + page;
        break;
    case VK_HOME:
        sel = 0;
        break;
    case VK_END:
        sel = count - 1;
        break;
    default:
        return false;
    }
    FList.SetSelected(std::clamp(sel, 0, count - 1));
    return true;
}

// ---- the list on the control ----------------------------------------------------------

// The list opens under the caret's row (above it when there is no room) and is shown.
void TCustomCodeMemo::PlacePopup(std::unique_ptr<TCodeMemoPopup> popup) {
    TPoint at = FView->CaretPixel();
    const int lh = FView->Metrics().LineHeight;
    TSize client = FHost ? FHost->ClientSize() : TSize{FClientWidth, FClientHeight};
    popup->View().Layout(Platform().Fonts.get(), at.X, at.Y, at.Y + lh, client);
    FPopup = std::move(popup);
    if (FHost) FHost->Invalidate(FPopup->View().Bounds());
}

void TCustomCodeMemo::ShowMacroPopup(TMacroKeywords& table) {
    if (FPopup) ClosePopup(true);
    if (table.Entries().empty()) return;
    auto popup = std::make_unique<TCodeMemoPopup>(table, FHideSelection);
    {
        TCodeMemoExpansion target(*this);
        popup->List().SelectPartialWord(target);
    }
    SetHideSelection(false);
    PlacePopup(std::move(popup));
}

void TCustomCodeMemo::CloseMacroPopup() {
    if (FPopup) ClosePopup(true);
}

TMacroPopupList* TCustomCodeMemo::MacroPopupList() {
    return FPopup ? &FPopup->List() : nullptr;
}

TRect TCustomCodeMemo::MacroPopupBounds() const {
    return FPopup ? FPopup->View().Bounds() : TRect{};
}

void TCustomCodeMemo::ClosePopup(bool collapse) {
    if (!FPopup) return;
    // Released first: anything below may come back here.
    std::unique_ptr<TCodeMemoPopup> popup = std::move(FPopup);
    SetHideSelection(popup->SavedHideSelection());
    if (collapse) {
        const TOffset end = SelLast();
        FRowEndTarget = FCaretAtRowEnd && end == FCaret;
        ApplySelection(end, end, true);
    }
    // The text under the list shows again.
    MarkAllDirty();
    Repaint();
}

void TCustomCodeMemo::ChoosePopupItem() {
    if (!FPopup) return;
    if (FPopup->Completion()) {
        ChooseCompletion();
        return;
    }
    std::unique_ptr<TCodeMemoPopup> popup = std::move(FPopup);
    SetHideSelection(popup->SavedHideSelection());
    {
        TCodeMemoExpansion target(*this);
        popup->List().Choose(target);
    }
    ScrollCaretIntoView();
    MarkAllDirty();
    Repaint();
}

bool PopupSearchKeyCode(int key) {
    return key == VK_SPACE || (key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z') ||
           (key >= 0x60 && key <= 0x6F) || (key >= 0xBA && key <= 0xFE);
}

bool TCustomCodeMemo::PopupSearchKey(int key, TShiftState shift) const {
    // The completion list leaves characters to the text.
    if (!FPopup || FPopup->Completion() || (shift & (ssCtrl | ssAlt))) return false;
    return PopupSearchKeyCode(key);
}

bool TCustomCodeMemo::PopupKey(int key, TShiftState shift) {
    if (!FPopup) return false;
    if (FPopup->Completion()) return CompletionKey(key, shift);
    switch (key) {
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_MENU:
        return true; // a modifier alone leaves the list as it is
    case VK_RETURN:
    case VK_TAB:
        ChoosePopupItem();
        FKeyConsumed = true; // the key's own character is not typed
        return true;
    case VK_ESCAPE:
        ClosePopup(true);
        FKeyConsumed = true;
        return true;
    case VK_BACK:
        // Shortens the search text; with none left it closes the list and deletes as always.
        if (!(shift & (ssCtrl | ssAlt)) && FPopup->List().Backspace()) {
            FKeyConsumed = true;
            if (FHost) FHost->Invalidate(FPopup->View().Bounds());
            return true;
        }
        ClosePopup(true);
        return false;
    default:
        if (FPopup->MoveKey(key)) {
            if (FHost) FHost->Invalidate(FPopup->View().Bounds());
            return true;
        }
        // Anything else closes the list and then does what it always does.
        ClosePopup(true);
        return false;
    }
}

bool TCustomCodeMemo::PopupClick(int x, int y) {
    if (!FPopup) return false;
    if (!FPopup->View().Bounds().Contains({x, y})) {
        ClosePopup(true);
        return false;
    }
    int item = FPopup->View().ItemAt({x, y});
    if (item >= 0) {
        FPopup->List().SetSelected(item);
        ChoosePopupItem();
    }
    return true; // a click on the border stays on the list
}

} // namespace quillet
