// Keeps a text store's attribute bytes in step with its text by re-running the tokenizer over
// changed lines.
#pragma once

#include "editor/TextStore.h"
#include "highlight/CodeMemoParser.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

class TRescanner;

// Called once per token found while re-scanning: [extentStart, extentEnd) are text offsets; the
// handler may change the value before it is stored. It must not edit the text.
using TTokenSeenEvent =
    std::function<void(TRescanner& sender, uint8_t& value, int extentStart, int extentEnd)>;

// Watches one store (as its observer) and remembers which lines need scanning; Rescan() brings
// their attribute bytes up to date. An edit inside a long row is scanned from the last point kept
// in that row before it whose tokens looked at nothing from the edit on. Otherwise a scan resumes
// at the nearest row end before the first changed row whose stored state no token before it
// could have drawn from the changed text (each row keeps how far past its end those tokens
// looked; a row end inside a long token counts when the token can be gone on with from there:
// a string, a comment, a long word or run of digits), else at the nearest such anchor token
// (inside a long line: the rows of one are cut from it), and stops at the first row that ends in
// the very scanner state (set and stack, compared by value) stored there, with its bytes
// unchanged or no token spanning its end. Inside a long row it also stops behind an edit, at a
// token boundary in the state kept for the same text before the edit: the rest of the row keeps
// its old bytes. A token that runs on past its row end is gone on with a row at a time where it
// can be, so a keystroke in a token megabytes long scans a row or two of it.
//
// With a line budget a scan stops after that many lines; the next line then carries the restart
// mark (lfScanRestart) and stays pending, so a later Rescan() (or ScanThrough() for a line about to
// be painted) finishes the work. Lines past the budget may show stale bytes for a while, never for
// good.
class TRescanner : public ITextStoreObserver {
public:
    // observe: hear the store's edits as its observer; a control's edit pipeline passes false and
    // hands each edit on itself, in its turn.
    explicit TRescanner(TTextStore& store, bool observe = true);
    ~TRescanner() override;
    TRescanner(const TRescanner&) = delete;
    TRescanner& operator=(const TRescanner&) = delete;

    TCodeMemoParser* Definition() const { return FDef; }
    // Bytes made by another definition mean nothing: every line's bytes are dropped and the whole
    // text becomes pending. Call it again when the definition's tables change. nullptr: none.
    void SetDefinition(TCodeMemoParser* definition);

    // Most lines one Rescan() call scans; 0 means no limit.
    int LineBudget() const { return FBudget; }
    void SetLineBudget(int lines) { FBudget = lines > 0 ? lines : 0; }

    // For changes the store does not report (bytes set by hand): scan from this row next time.
    void MarkLine(TRow row);
    // True when lines wait for a scan that can run now.
    bool Pending() const;
    TRow FirstPending() const { return FPending.empty() ? TRow(-1) : FPending.front(); }

    // Scans the pending lines within the budget; returns how many lines were scanned.
    int Rescan();
    // Scans, without a budget, until no row up to `row` is pending.
    void ScanThrough(TRow row);
    void ScanAll() { ScanThrough(TRow(FStore.LineCount() - 1)); }

    // Characters the tokenizer went over in the last Rescan() or ScanThrough(), those it went
    // over twice counted twice: the work a scan did.
    size_t Tokenized() const { return FTokenized; }

    // Copy each token's characters into TokenText() before OnTokenSeen is called.
    bool SupplyTokenText() const { return FSupplyText; }
    void SetSupplyTokenText(bool value) { FSupplyText = value; }
    std::string_view TokenText() const { return FTokenText; }

    TTokenSeenEvent OnTokenSeen;

    void OnInsert(TOffset pos, std::string_view text) override;
    void OnDelete(TOffset pos, std::string_view deletedText) override;
    void OnRowsRecut(TRow first, int oldCount, int newCount) override;

private:
    bool CanScan() const;
    int Run(int budget, TRow throughRow);
    // Scans from the changed row; `last` is the last row it settled, `budgetStop` whether the
    // budget ended it. Returns the number of rows scanned.
    int ScanFrom(TRow changed, int budget, TRow& last, bool& budgetStop);
    // One pass of it; `inside`: it may resume inside a token at a row end.
    int ScanPass(TRow changed, int budget, TRow& last, bool& budgetStop, bool inside);
    // The nearest anchor token before the changed row that no token before it looked past, at
    // `offset` in `row`; `lookedTo`: a text offset those tokens looked short of.
    void FindRestart(TRow changed, TRow& row, TOffset& offset, uint8_t& token, bool& atStart,
                     size_t& lookedTo) const;
    // The nearest checkpoint before the changed row, in the rows just above it, whose tokens
    // looked at nothing from that row on; 0 when none. `reach`: how far past it they looked.
    // `inside`: a row end inside a token will do.
    uint32_t FindCheckpoint(TRow changed, TRow& row, TOffset& offset, size_t& reach,
                            bool inside) const;
    void AppendLines(size_t wantEnd);
    void AddPending(TRow row);
    void DropPendingThrough(TRow row);

    TTextStore& FStore;
    bool FObserving;
    TCodeMemoParser* FDef = nullptr;
    int FBudget = 0;
    bool FSupplyText = false;
    bool FScanning = false;
    bool FEditedWhileScanning = false;
    size_t FTokenized = 0;
    std::string FTokenText;
    std::vector<TRow> FPending; // sorted rows where a scan must start
    int FRows;                  // the store's row count at the last edit heard of
    int RowsChanged();

    // The text from a line start on, copied so that tokens may span lines; FNew holds the new
    // bytes for the same characters.
    std::vector<uint8_t> FWin;
    std::vector<uint8_t> FNew;
    TRow FNextLine{0}; // first row not yet in the window
    TCodeMemoParser::TScanSnapshot FSnap;
    // Token boundaries met inside long rows, for the rows' points: where (window index), the
    // state's number, and one past the furthest character (window index) the tokens before
    // looked at.
    struct TPointSeen {
        size_t Pos;
        uint32_t State;
        size_t Reach;
    };
    std::vector<TPointSeen> FPoints;
    // The last point of row `changed` before the first edit in it whose tokens looked at
    // nothing from the edit on, to start a scan from; nullptr when none will do.
    const TRowScan::TPoint* StartPoint(TRow changed) const;
    // Gives row `rec`, [from, to) in the window, the points recorded for it.
    void KeepPoints(TLineRecord& rec, size_t from, size_t to);
    // The row's bytes and points from before an edit in it, when they fit its text; else nullptr.
    static const TRowScan* KeptScan(const TLineRecord& rec, int length);
    // At a token boundary `pos` (window) of row `line`, in state `state`, behind the edit: when
    // the row kept that state there before the edit, its bytes become the new ones up to `pos`
    // and the old ones after it, and the scan may stop. `reach`: how far the tokens looked.
    bool KeepTail(TRow line, TRow changed, size_t lineStart, size_t pos, uint32_t state,
                  size_t reach);
};

} // namespace quillet
