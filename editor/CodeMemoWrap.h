// Display rows: where logical lines are cut under word wrap (and past 2,047 characters), and
// the queries between logical lines and the rows the store holds.
#pragma once

#include "editor/TextStore.h"
#include "editor/Units.h"
#include "platform/Fonts.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

class TCustomCodeMemo;

// A row never holds more characters than this (its line break aside), with or without wrap.
constexpr int MaxRowLength = 2047;
// The vertical scroll bar's width, kept free twice when wrapping at the window edge.
constexpr int WrapScrollBarWidth = 16;

// Word-break action codes, as an edit control's word-break callback takes them.
enum TWordBreakCode { wbLeft = 0, wbRight = 1, wbIsDelimiter = 2 };

using TWordBreakProc = std::function<int(const char* text, int current, int length, int code)>;

// The built-in word-break routine: white space is any code up to 32 and 160.
int DefaultWordBreak(const char* text, int current, int length, int code);

// How one logical line is cut.
struct TWrapParams {
    bool WordWrap = false;  // cut at the wrap width (else only past MaxRowLength)
    int Width = 8;          // wrap width in pixels
    int CharWidth = 7;      // average character width
    bool FixedPitch = true; // else characters are measured with Font
    TFontHandle Font;
    std::function<int(int column)> NextTabStop; // tab stops; null: every 8 columns
    std::string OverrideChars;                  // a line starting with one is not wrapped
    bool UseOverride = false;
    TWordBreakProc WordBreak; // null: DefaultWordBreak
};

// Row lengths of one logical line (`text` with its CR, if any, which stays on the last row).
// Cuts fall on code point starts, and no row is empty.
std::vector<int> CutLogicalLine(std::string_view text, const TWrapParams& params);

// Whether `rows` (row lengths) cut logical line `text` as the rows of an edited line may be cut:
// every row ends where CutLogicalLine would end a row that starts where it starts, except a row
// with no break opportunity (cut where it stands), which may end at any code point start up to
// there; no row is empty, the line break is on the last row and the last row is the rest that
// fits. Empty when so, else what is wrong (for the tests that compare rows after edits).
std::string CheckLogicalLineCuts(std::string_view text, const std::vector<int>& rows,
                                 const TWrapParams& params);
// The same for every logical line of a store, and the continuation bits of its rows.
std::string CheckStoreRows(const TTextStore& store, const TWrapParams& params);

// Keeps a control's rows cut to its wrap settings. Rows are cuts of the store's text (the store
// keeps where each starts, and the text stays where it is when they are cut anew), so the caret,
// the scroll position and painting work on display rows as they are; a logical line is a run of
// rows in which every row but the last carries lmContinuation and no CR.
//
// The control's edit pipeline hands it every edit once the re-scan has heard of it, so the rows
// are re-cut right after every edit: from the row above the edit until a cut meets an old row
// start again. In a run without break opportunities (data, a long digit run) an edit keeps the
// run's old cuts that still fit, so its rows are not those of a fresh load there (see
// CheckLogicalLineCuts); RewrapAll lays everything out afresh.
class TCodeMemoWrap : public ITextStoreObserver {
public:
    explicit TCodeMemoWrap(TCustomCodeMemo& memo);
    ~TCodeMemoWrap() override;
    TCodeMemoWrap(const TCodeMemoWrap&) = delete;
    TCodeMemoWrap& operator=(const TCodeMemoWrap&) = delete;

    // Follow the control's store (after it was shared or replaced).
    void Attach(TTextStore& store);
    void Detach();

    // Queries on rows (a row is a store line index), each O(log n) in the rows: the store keeps
    // where its logical lines start. Rows out of range are clamped.
    bool RowContinues(TRow row) const; // the row has no CR: its logical line goes on below
    TRow FirstRowOf(TRow row) const;   // first row of the logical line holding `row`
    TRow LastRowOf(TRow row) const;
    // 0-based number of the logical line holding `row`.
    TLogicalLine LogicalLineOf(TRow row) const;
    // First row of logical line `line` (0-based); none past the last line.
    std::optional<TRow> RowOfLogicalLine(TLogicalLine line) const;
    // The row and the byte offset in it of byte `index` of the logical line that starts at
    // row `firstRow`; an index at a cut belongs to the later row.
    void RowFromLineIndex(TRow firstRow, TOffset index, TRow& row, TOffset& indexInRow) const;
    // The byte offset in its logical line of byte `indexInRow` of `row`.
    TOffset LineIndexFromRow(TRow row, TOffset indexInRow) const;

    // The parameters the control's settings give now.
    TWrapParams Params() const;
    // Re-cuts the logical lines holding rows [firstRow, lastRow]; returns the rows changed.
    int Rewrap(TRow firstRow, TRow lastRow);
    // Re-cuts everything (options, wrap column, font, width changes).
    void RewrapAll();

    void OnInsert(TOffset pos, std::string_view text) override;
    void OnDelete(TOffset pos, std::string_view deletedText) override;

private:
    // Re-cuts the rows of one logical line from row `from` (its first row, or a row whose start
    // stays) past the edited rows up to `editLast`; `next` is the row after those re-cut. Returns
    // the rows made anew (0: the cuts stood).
    int RecutFrom(TRow from, TRow editLast, bool exempt, const TWrapParams& p, TRow& next);
    // Whether the logical line holding `row` is cut only past MaxRowLength.
    bool ExemptAt(TRow row, const TWrapParams& p) const;
    std::string LayoutKey() const;

    TCustomCodeMemo& FMemo;
    TTextStore* FStore = nullptr;
    bool FBusy = false;
    bool FFresh = false;  // cut as a fresh load would, keeping no old cut of a run without breaks
    std::string FLaidOut; // the layout key of the last whole pass; empty: none holds
};

} // namespace quillet
