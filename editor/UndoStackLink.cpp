#include "editor/UndoStackLink.h"

namespace quillet {

TUndoStoreLink::TUndoStoreLink(TTextStore& store, TLineTracker* tracker)
    : FStore(store), FTracker(tracker) {
    FStore.AddObserver(this);
    if (!FStore.UndoTarget()) FStore.SetUndoTarget(this);
}

TUndoStoreLink::~TUndoStoreLink() {
    FStore.RemoveObserver(this);
    if (FStore.UndoTarget() == this) FStore.SetUndoTarget(nullptr);
}

void TUndoStoreLink::OnInsert(TOffset pos, std::string_view text) {
    if (TUndoStack* undo = FStore.UndoStack()) undo->LogInsert(pos, text);
    if (FTracker) FTracker->TextInserted(pos, int(text.size()));
}

void TUndoStoreLink::OnDelete(TOffset pos, std::string_view deletedText) {
    if (TUndoStack* undo = FStore.UndoStack()) undo->LogDelete(pos, deletedText);
    if (FTracker) FTracker->TextDeleted(pos, deletedText, FStore.CharCount());
}

std::string TUndoStoreLink::TextRange(TOffset start, TOffset end) const {
    return FStore.StoredText(start, end);
}

void TUndoStoreLink::InsertText(TOffset position, std::string_view text) {
    FStore.Insert(position, text);
}

void TUndoStoreLink::DeleteRange(TOffset start, TOffset end) {
    FStore.Delete(start, end - start);
}

} // namespace quillet
