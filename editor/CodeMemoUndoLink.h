// How the control takes part in undo: the target that replays act on.
#pragma once

#include "editor/TextStore.h"
#include "editor/UndoStack.h"

namespace quillet {

class TCustomCodeMemo;

// The undo target of the control's own store: replays edit the text through the control's edit
// pipeline and move the control's caret.
class TCodeMemoUndoLink : public TUndoTarget {
public:
    TCodeMemoUndoLink(TCustomCodeMemo& memo, TTextStore& store) : FMemo(memo), FStore(store) {}
    TSelectionPair Selection() const override;
    void SetSelection(TOffset anchor, TOffset caret) override;
    std::string TextRange(TOffset start, TOffset end) const override;
    void InsertText(TOffset position, std::string_view text) override;
    void DeleteRange(TOffset start, TOffset end) override;
    void Beep() override;
    void ReplayDone() override;
    void BeginUpdate() override;
    void EndUpdate() override;

private:
    TCustomCodeMemo& FMemo;
    TTextStore& FStore;
};

} // namespace quillet
