// The one path every insertion and deletion of a control's text takes, in one fixed order.
#pragma once

#include "editor/KeptBytes.h"
#include "editor/TextStore.h"

#include <memory>
#include <string_view>
#include <vector>

namespace quillet {

class TCustomCodeMemo;
class TCodeMemoParser;
class TRescanner;

// A control's one observer of its store. Every insertion and deletion in the store reaches the
// control here, whoever made it: the control's own commands, a load, an undo or redo replay, or
// another control sharing the store. Each run of inserted or deleted text is followed, in this
// order:
//
//  1. the undo log: the store's undo stack records it when this control keeps the store's undo
//     (an open transaction or a replay already covers it, and the stack then ignores it);
//  2. range marks, named bookmarks, breakpoints and the code break move with their text (the
//     numbered bookmarks ride on their rows, which the store settled during the edit),
//     and so do the file bytes the control keeps for a save;
//  3. the re-scan learns the dirty range: highlighting is owed from the changed row on;
//  4. the row layout: the logical lines the edit touched are cut anew into display rows (after
//     the re-scan heard of the edit, since a re-cut carries bytes and checkpoints over);
//  5. the caret and the selection follow their text;
//  6. the view's bookkeeping (the first changed line, a repaint when the row count changed),
//     then OnTextChange, once for the run.
//
// Steps 1-3 run as the store reports the edit, steps 4-6 once every observer of the store heard
// it (AfterEdit): a re-cut is reported to all observers, and each must know of the edit first.
// Handlers of step 6 thus see the text, rows, caret, marks and bookmarks already updated, and a
// re-scan asked for there sees the edit. One OnChange follows per user action, at the control's
// notification point. An edit the control did not make itself (another control of a shared
// store made it) repaints the control at once.
//
// The pipeline owns the control's re-scanner and follows the control onto a store (Attach: on
// construction, when it shares another control's store, when it goes back to its own) and off
// it (Detach). Rows re-cut by any control of the store reach the re-scanner through
// OnRowsRecut (the layout keeps no row numbers of its own: the store answers its questions).
class TEditPipeline : public ITextStoreObserver {
public:
    explicit TEditPipeline(TCustomCodeMemo& memo);
    ~TEditPipeline() override;
    TEditPipeline(const TEditPipeline&) = delete;
    TEditPipeline& operator=(const TEditPipeline&) = delete;

    // Hears `store` from now on; binds the control's undo link as the store's undo target when
    // the control keeps the store's undo.
    void Attach(TTextStore& store);
    // Stops hearing the store; the store keeps no pointer into the control.
    void Detach();

    // The control's own edits: the store's Insert and Delete, known to come from this control.
    int Insert(TOffset pos, std::string_view text);
    void Delete(TOffset pos, int length);

    // The re-scanner bound to `def` (a new definition drops every line's bytes); null without
    // a definition.
    TRescanner* Scanner(TCodeMemoParser* def);

    void OnInsert(TOffset pos, std::string_view text) override;
    void OnDelete(TOffset pos, std::string_view deletedText) override;
    void AfterEdit() override;
    void OnRowsRecut(TRow first, int oldCount, int newCount) override;

private:
    // An edit between its report and AfterEdit; Length is negative for a deletion.
    struct THeard {
        TOffset Pos;
        int Length;
        std::string_view Text; // the store's, alive until AfterEdit
    };
    bool KeepsUndo() const;
    // What made the edit being reported, for the control's kept file bytes.
    TKeptBytes::TCause KeptCause() const;
    void MoveTrackers(TOffset pos, int length, std::string_view removed);
    void Finish(TOffset pos, int extent);

    TCustomCodeMemo& FMemo;
    TTextStore* FStore = nullptr;
    std::unique_ptr<TRescanner> FScanner;
    TCodeMemoParser* FScanDef = nullptr;
    int FOwnEdits = 0; // depth of this control's own Insert and Delete calls
    // Edits heard, awaiting AfterEdit; more than one only when an edit is made inside steps 1-3.
    std::vector<THeard> FHeard;
};

} // namespace quillet
