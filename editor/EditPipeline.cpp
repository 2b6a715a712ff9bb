// The edit pipeline: the steps that follow every insertion and deletion, in their order.
#include "editor/EditPipeline.h"

#include "editor/CodeMemo.h"
#include "editor/CodeMemoUndoLink.h"
#include "editor/CodeMemoView.h"
#include "editor/CodeMemoWrap.h"
#include "editor/LineTrack.h"
#include "editor/Rescan.h"
#include "editor/UndoStack.h"

namespace quillet {

namespace {
// Counts a control's own edits, also when the store raises.
class TOwnEdit {
public:
    explicit TOwnEdit(int& depth) : FDepth(depth) { ++FDepth; }
    ~TOwnEdit() { --FDepth; }
    TOwnEdit(const TOwnEdit&) = delete;
    TOwnEdit& operator=(const TOwnEdit&) = delete;

private:
    int& FDepth;
};
} // namespace

TEditPipeline::TEditPipeline(TCustomCodeMemo& memo) : FMemo(memo) {}

TEditPipeline::~TEditPipeline() {
    Detach();
}

void TEditPipeline::Attach(TTextStore& store) {
    Detach();
    FStore = &store;
    FScanner = std::make_unique<TRescanner>(store, false);
    FScanDef = nullptr;
    FMemo.FWrap->Attach(store);
    store.AddObserver(this);
    if (FMemo.FUndoLink) store.SetUndoTarget(FMemo.FUndoLink.get());
}

void TEditPipeline::Detach() {
    if (!FStore) return;
    FStore->RemoveObserver(this);
    if (KeepsUndo()) FStore->SetUndoTarget(nullptr);
    FMemo.FWrap->Detach();
    FScanner.reset();
    FScanDef = nullptr;
    FStore = nullptr;
    FHeard.clear();
}

bool TEditPipeline::KeepsUndo() const {
    return FMemo.FUndoLink && FStore->UndoTarget() == FMemo.FUndoLink.get();
}

int TEditPipeline::Insert(TOffset pos, std::string_view text) {
    TOwnEdit own(FOwnEdits);
    return FMemo.FStore->Insert(pos, text);
}

void TEditPipeline::Delete(TOffset pos, int length) {
    TOwnEdit own(FOwnEdits);
    FMemo.FStore->Delete(pos, length);
}

TRescanner* TEditPipeline::Scanner(TCodeMemoParser* def) {
    if (!FScanner) return nullptr;
    if (!def) {
        // A scanner without a definition only counts rows; the bytes it made stay as they are
        // until a definition comes back and drops them.
        if (FScanDef) FScanner = std::make_unique<TRescanner>(*FStore, false);
        FScanDef = nullptr;
        return nullptr;
    }
    if (FScanDef != def) {
        FScanner->SetDefinition(def);
        FScanDef = def;
    }
    return FScanner.get();
}

void TEditPipeline::MoveTrackers(TOffset pos, int length, std::string_view removed) {
    TCustomCodeMemo& m = FMemo;
    // The rows are not laid out again yet: a tracker's repaint only marks them dirty.
    m.FTrackerAdjusting = true;
    try {
        if (length >= 0)
            m.FTracker->TextInserted(pos, length);
        else
            m.FTracker->TextDeleted(pos, removed, FStore->CharCount());
    } catch (...) {
        m.FTrackerAdjusting = false;
        throw;
    }
    m.FTrackerAdjusting = false;
}

TKeptBytes::TCause TEditPipeline::KeptCause() const {
    const TUndoStack* undo = FStore->UndoStack();
    if (!undo || !undo->Replaying()) return TKeptBytes::kcEdit;
    return undo->Undoing() ? TKeptBytes::kcUndo : TKeptBytes::kcRedo;
}

// The steps are numbered as in EditPipeline.h.
void TEditPipeline::OnInsert(TOffset pos, std::string_view text) {
    // 1
    if (TUndoStack* undo = FStore->UndoStack(); undo && KeepsUndo()) undo->LogInsert(pos, text);
    // 2
    MoveTrackers(pos, int(text.size()), {});
    FMemo.FKept.Inserted(pos, text, KeptCause());
    // 3
    FScanner->OnInsert(pos, text);
    FHeard.push_back({pos, int(text.size()), text});
}

void TEditPipeline::OnDelete(TOffset pos, std::string_view deletedText) {
    // 1
    if (TUndoStack* undo = FStore->UndoStack(); undo && KeepsUndo())
        undo->LogDelete(pos, deletedText);
    // 2
    MoveTrackers(pos, -int(deletedText.size()), deletedText);
    FMemo.FKept.Deleted(pos, deletedText, KeptCause());
    // 3
    FScanner->OnDelete(pos, deletedText);
    FHeard.push_back({pos, -int(deletedText.size()), deletedText});
}

void TEditPipeline::AfterEdit() {
    if (FHeard.empty()) return; // attached while the edit was being reported
    const THeard e = FHeard.back();
    FHeard.pop_back();
    TCustomCodeMemo& m = FMemo;
    const TOffset pos = e.Pos;
    if (e.Length >= 0) {
        // 4
        m.FWrap->OnInsert(pos, e.Text);
        // 5: the rows are cut anew, the caret follows its text
        m.FCaretAtRowEnd = false;
        if (m.FAnchor >= pos) m.FAnchor += e.Length;
        if (m.FCaret >= pos) m.FCaret += e.Length;
        // 6
        Finish(pos, e.Length);
        return;
    }
    const int length = -e.Length;
    // 4
    m.FWrap->OnDelete(pos, e.Text);
    // 5
    m.FCaretAtRowEnd = false;
    auto shift = [&](TOffset& v) {
        if (v >= pos + length)
            v -= length;
        else if (v > pos)
            v = pos;
    };
    shift(m.FAnchor);
    shift(m.FCaret);
    // 6: an emptied text reports (0, 0)
    Finish(pos, FStore->CharCount() == 0 ? 0 : e.Length);
}

void TEditPipeline::OnRowsRecut(TRow first, int oldCount, int newCount) {
    FScanner->OnRowsRecut(first, oldCount, newCount);
}

void TEditPipeline::Finish(TOffset pos, int extent) {
    TCustomCodeMemo& m = FMemo;
    const TRow line = FStore->LineFromPos(m.ClampOffset(pos));
    if (FStore->LineCount() != m.FKnownLineCount) {
        m.FKnownLineCount = FStore->LineCount();
        m.MarkAllDirty();
    }
    if (m.FChangedLine < TRow(0) || line < m.FChangedLine) m.FChangedLine = line;
    m.NoteChange(cfText);
    if (m.OnTextChange) m.OnTextChange(m, extent == 0 ? 0 : pos.Value(), extent);
    // The control that made the edit repaints when its command is done.
    if (FOwnEdits == 0) {
        m.UpdateScrollBars();
        m.Repaint();
    }
}

} // namespace quillet
