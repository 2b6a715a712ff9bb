// How the control hears of store edits and takes part in undo replays.
#pragma once

#include "editor/TextStore.h"
#include "editor/UndoStackLink.h"

namespace quillet {

class TCustomCodeMemo;

// The store's undo link with the control's selection: replays move the control's caret.
class TCodeMemoUndoLink : public TUndoStoreLink {
public:
    TCodeMemoUndoLink(TCustomCodeMemo& memo, TTextStore& store)
        : TUndoStoreLink(store), FMemo(memo) {}
    TSelectionPair Selection() const override;
    void SetSelection(int anchor, int caret) override;
    void Beep() override;
    void ReplayDone() override;
    void BeginUpdate() override;
    void EndUpdate() override;

private:
    TCustomCodeMemo& FMemo;
};

// Every insertion and deletion in the store, whoever made it (this control, a control
// sharing the store, an undo replay), reaches the control here.
class TCodeMemoStoreWatch : public ITextStoreObserver {
public:
    explicit TCodeMemoStoreWatch(TCustomCodeMemo& memo) : FMemo(memo) {}
    void OnInsert(int pos, std::string_view text) override;
    void OnDelete(int pos, std::string_view deletedText) override;

private:
    TCustomCodeMemo& FMemo;
};

} // namespace quillet
