// Undo and redo of one group at the top of logs of growing size: the cost
// must stay flat, since nothing walks or recounts the log.
#include "editor/UndoStack.h"

#include <benchmark/benchmark.h>

using namespace quillet;

namespace {

// Text operations cost nothing here, so the figure is the log's own cost.
class TNullTarget : public TUndoTarget {
public:
    TSelectionPair Sel{};
    TSelectionPair Selection() const override { return Sel; }
    void SetSelection(TOffset anchor, TOffset caret) override {
        Sel = {anchor.Value(), caret.Value()};
    }
    std::string TextRange(TOffset, TOffset) const override { return {}; }
    void InsertText(TOffset, std::string_view) override {}
    void DeleteRange(TOffset, TOffset) override {}
    void Beep() override {}
};

// Typed keys, one group each (12 records), until the log holds `records`.
void Fill(TUndoStack& u, TNullTarget& t, int64_t records) {
    int pos = 0;
    while (int64_t(u.RecordCount()) < records) {
        u.OpenGroup(ugTyping);
        u.LogInsert(TOffset(pos), "x");
        ++pos;
        t.Sel = {pos, pos};
        u.CloseGroup(ugTyping);
    }
}

void BM_UndoRedoOneGroup(benchmark::State& state) {
    TNullTarget target;
    TUndoStack undo(&target);
    Fill(undo, target, state.range(0));
    for (auto _ : state) {
        undo.Undo();
        undo.Redo();
    }
    if (!undo.CanUndo() || undo.CanRedo()) state.SkipWithError("replay failed");
    state.counters["records"] = double(undo.RecordCount());
}

// The main window's grouped undo: reset, merged step back, replay to the node.
void BM_GroupedUndoRedo(benchmark::State& state) {
    TNullTarget target;
    TUndoStack undo(&target);
    Fill(undo, target, state.range(0));
    // A caret jump, then a run of five keys at the top.
    target.Sel = {1 << 30, 1 << 30};
    for (int i = 0; i < 5; ++i) {
        undo.OpenGroup(ugTyping);
        undo.LogInsert(TOffset(target.Sel.Caret), "y");
        target.Sel = {target.Sel.Caret + 1, target.Sel.Caret + 1};
        undo.CloseGroup(ugTyping);
    }
    for (auto _ : state) {
        int id = 0;
        TStackNode node = 0;
        undo.GroupQuery(ugcReset);
        undo.GroupQuery(ugcStepBack | ugcMerge, &id, &node);
        undo.ReplayTo(node);
        undo.GroupQuery(ugcReset);
        undo.GroupQuery(ugcStepForward | ugcMerge, &id, &node);
        undo.ReplayTo(node);
    }
    if (undo.CanRedo()) state.SkipWithError("replay failed");
}

} // namespace

BENCHMARK(BM_UndoRedoOneGroup)->Arg(1000)->Arg(1000000);
BENCHMARK(BM_GroupedUndoRedo)->Arg(1000)->Arg(1000000);

BENCHMARK_MAIN();
