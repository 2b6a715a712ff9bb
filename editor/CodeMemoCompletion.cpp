// The completion list on the control: the popup's list in a mode where typing goes on in the text.
#include "editor/CodeMemo.h"
#include "editor/CodeMemoExpansion.h"
#include "editor/CodeMemoView.h"
#include "editor/UndoStack.h"
#include "highlight/AutoReplaceExpansion.h"
#include "platform/Platform.h"
#include "platform/VirtualKeys.h"

#include <algorithm>

namespace quillet {

namespace {

// Enough text for a provider to find the rule and declaration the caret is in.
constexpr int CompletionContext = 4096;

} // namespace

void TCustomCodeMemo::SetCompletionProvider(std::unique_ptr<ICompletionProvider> provider) {
    if (CompletionShown()) ClosePopup(false);
    FCompletion = std::move(provider);
}

bool TCustomCodeMemo::CompletionShown() const {
    return FPopup && FPopup->Completion();
}

std::string TCustomCodeMemo::TextBeforeCaret() const {
    return FStore->StoredText(std::max(TOffset(0), FCaret - CompletionContext), FCaret);
}

bool TCustomCodeMemo::ShowCompletion() {
    if (FPopup) ClosePopup(true);
    if (!FCompletion || FReadOnly || !FEnabled) return false;
    TCompletionList list = FCompletion->Complete(TextBeforeCaret());
    if (list.Items.empty()) return false;
    auto entries = std::make_unique<TMacroKeywords>();
    for (const TCompletionItem& item : list.Items)
        entries->AddEntry(item.Name, "", item.Insert);
    if (entries->Count() == 0) return false;
    ApplySelection(FCaret, FCaret, true);
    auto popup = std::make_unique<TCodeMemoPopup>(
        std::move(entries), std::max(TOffset(0), FCaret - list.PrefixLength), FHideSelection);
    // The provider's first item is its best: the list shows them sorted, with that one chosen.
    TMacroPopupList& names = popup->List();
    names.SetSelected(0);
    for (int i = 0; i < names.Count(); ++i)
        if (names.Name(i) == list.Items.front().Name) names.SetSelected(i);
    PlacePopup(std::move(popup));
    return true;
}

void TCustomCodeMemo::RefreshCompletion() {
    FCompletionRefresh = false;
    if (!CompletionShown()) return;
    const TOffset start = FPopup->CompletionStart();
    const int sel = FPopup->List().Selected();
    const std::string chosen = sel >= 0 ? FPopup->List().Name(sel) : std::string();
    TCompletionList list;
    if (FCaret >= start) list = FCompletion->Complete(TextBeforeCaret());
    // The list lives as long as the caret stays in the word it was opened for.
    if (list.Items.empty() || FCaret - list.PrefixLength != start) {
        ClosePopup(false);
        return;
    }
    ShowCompletion();
    if (!CompletionShown()) return;
    TMacroPopupList& names = FPopup->List();
    for (int i = 0; i < names.Count(); ++i)
        if (names.Name(i) == chosen) names.SetSelected(i);
}

void TCustomCodeMemo::ChooseCompletion() {
    std::unique_ptr<TCodeMemoPopup> popup = std::move(FPopup);
    SetHideSelection(popup->SavedHideSelection());
    const int sel = popup->List().Selected();
    // Only for the word it was opened for: text changed since from elsewhere is not replaced.
    const TCompletionList now = FCompletion->Complete(TextBeforeCaret());
    if (sel >= 0 && !FReadOnly && !now.Items.empty() &&
        FCaret - now.PrefixLength == popup->CompletionStart()) {
        const std::string text = popup->Insert(sel);
        const TOffset start = std::min(popup->CompletionStart(), FCaret);
        // One undo step, apart from the typing before it.
        TCodeMemoExpansion target(*this);
        target.BeginUndoGroup(ExpansionUndoGroup);
        target.ReplaceRange(start.Value(), FCaret.Value(), text);
        target.EndUndoGroup(ExpansionUndoGroup);
        NoteChange(cfText | cfCaret);
        ScrollCaretIntoView();
        UpdateScrollBars();
        Notify();
    }
    MarkAllDirty();
    Repaint();
}

// A key-down while the completion list is shown; true when the list took it. Keys that type
// pass on to the text and the list follows; other keys close it and do what they always do.
bool TCustomCodeMemo::CompletionKey(int key, TShiftState shift) {
    const bool plain = !(shift & (ssCtrl | ssAlt));
    switch (key) {
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_MENU:
        return true;
    case VK_RETURN:
    case VK_TAB:
        if (!plain) break;
        ChooseCompletion();
        FKeyConsumed = true;
        return true;
    case VK_ESCAPE:
        ClosePopup(false);
        FKeyConsumed = true;
        return true;
    case VK_BACK:
        if (!plain) break;
        FCompletionRefresh = true;
        return false;
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT:
        if (!plain || !FPopup->MoveKey(key)) break;
        if (FHost) FHost->Invalidate(FPopup->View().Bounds());
        return true;
    default:
        // Characters come as WM_CHAR after this key-down and refresh the list there.
        if (plain && key != VK_SPACE && PopupSearchKeyCode(key)) return false;
        break;
    }
    ClosePopup(false);
    return false;
}

} // namespace quillet
