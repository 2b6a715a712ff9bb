// Ties a text store to its undo stack and trackers: logs every edit, replays on the store.
#pragma once

#include "editor/LineTrack.h"
#include "editor/TextStore.h"
#include "editor/UndoStack.h"

namespace quillet {

// A store's undo logger without a control (the selection lives here): binds itself as the
// store's undo target unless another is bound.
class TUndoStoreLink : public ITextStoreObserver, public TUndoTarget {
public:
    explicit TUndoStoreLink(TTextStore& store, TLineTracker* tracker = nullptr);
    ~TUndoStoreLink() override;
    TUndoStoreLink(const TUndoStoreLink&) = delete;
    TUndoStoreLink& operator=(const TUndoStoreLink&) = delete;

    // Edits: logged in the store's stack while one is attached.
    void OnInsert(TOffset pos, std::string_view text) override;
    void OnDelete(TOffset pos, std::string_view deletedText) override;

    TSelectionPair Selection() const override { return FSel; }
    void SetSelection(TOffset anchor, TOffset caret) override {
        FSel = {anchor.Value(), caret.Value()};
    }
    std::string TextRange(TOffset start, TOffset end) const override;
    void InsertText(TOffset position, std::string_view text) override;
    void DeleteRange(TOffset start, TOffset end) override;
    void Beep() override { ++FBeeps; }
    int Beeps() const { return FBeeps; }

private:
    TTextStore& FStore;
    TLineTracker* FTracker;
    TSelectionPair FSel{};
    int FBeeps = 0;
};

} // namespace quillet
