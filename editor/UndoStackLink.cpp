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

std::string TUndoStoreLink::TextRange(int start, int end) const {
    return FStore.StoredText(TOffset(start), TOffset(end));
}

void TUndoStoreLink::InsertText(int position, std::string_view text) {
    FStore.Insert(TOffset(position), text);
}

void TUndoStoreLink::DeleteRange(int start, int end) {
    FStore.Delete(TOffset(start), end - start);
}

} // namespace quillet
