// The line renderer: gutter, margin strip, highlighted text runs, selection and right margin.
#pragma once

#include "editor/CodeMemo.h"
#include "editor/CodeMemoMetrics.h"
#include "editor/CodeMemoView.h"
#include "editor/Columns.h"
#include "editor/TextStore.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

class TCodeMemoParser;
class TRescanner;
class TLineTracker;
class TCM_Breakpoints;
struct TMark;
struct TCM_Style;
class TCM_Settings;

// One display line made ready for drawing: tabs expanded to blanks that keep the tab's style,
// the line break dropped, and for each display column where it starts in Text, its style byte
// and the character it came from. On screen only a window of columns is prepared, from First
// on, and extended as drawing reaches further; printing prepares every column (First is 0).
struct TPreparedLine {
    std::string Text;
    std::vector<int> ColumnByte; // byte in Text where each column starts, plus Text.size()
    std::vector<uint8_t> Tokens; // token value per column
    std::vector<int> ColumnChar; // character offset in the line per column, plus Next.Byte
    bool HasTokens = false;
    int First = 0;                               // display column of the first entry
    TColumnWalk Next;                            // where preparing stopped
    std::string_view Source;                     // the text prepared from (no line break)
    const std::vector<uint8_t>* Attrs = nullptr; // its token values, or null
    // The column after the last prepared one.
    int Columns() const { return First + int(Tokens.size()); }
    bool Whole() const { return Next.Byte >= Source.size(); }
    uint8_t Token(int column) const { return HasTokens ? Tokens[size_t(column - First)] : 0; }
    int Byte(int column) const { return ColumnByte[size_t(column - First)]; }
    int Char(int column) const { return ColumnChar[size_t(column - First)]; }
    // The prepared text of columns [from, to), both within the window.
    std::string_view Piece(int from, int to) const {
        return std::string_view(Text).substr(size_t(Byte(from)), size_t(Byte(to) - Byte(from)));
    }
};

// What OnDrawLine receives (as its void* argument): the row about to be drawn. A handler that
// draws the row itself sets Handled; text runs, visible-character marks and marks are skipped.
struct TLineDrawData {
    int32_t Size = 1;           // always 1
    const char* Text = nullptr; // the row as prepared: tabs expanded, no line break
    uint8_t Kind = 1;           // always 1
    ICanvas* Canvas = nullptr;
    TRect Rect{};          // the row's text area
    int32_t LineStart = 0; // character offset of the row
    int32_t FirstColumn = 0;
    // Length of Text counted with its break: one more unless it ends in a blank.
    int32_t Length = 0;
    uint8_t Handled = 0;
};

class TCodeMemoPainter : public TCodeMemoView {
public:
    explicit TCodeMemoPainter(TCustomCodeMemo& memo);
    ~TCodeMemoPainter() override;

    void RecalcMetrics() override;
    void Paint(ICanvas& canvas) override;
    void ScanThrough(int line) override { ScanVisible(line); }
    void ScanThroughInSteps(int line, int lines) override;
    // Insert bar, overwrite bar, or a block as wide as the character under the caret.
    int CaretWidth() const override;

    // Marks and the two breakpoint containers to draw (owned elsewhere); nullptr: none.
    void SetLineTracker(TLineTracker* tracker);
    TLineTracker* LineTracker() const { return FTracker; }

    // Expands one line of the store; `nextStop` gives the tab stop after a column.
    template <class NextStop>
    static void Prepare(const TTextStore& store, TRow row, NextStop nextStop, TPreparedLine& out);
    // Expands a text (no line break) with its token values (null: none).
    template <class NextStop>
    static void PrepareText(std::string_view text, const std::vector<uint8_t>* attrs,
                            NextStop nextStop, TPreparedLine& out);
    // Appends to `out` the characters of its Source from `out.Next` on, leaving out columns
    // before `out.First`, until `stopColumn` is prepared or the text ends.
    template <class NextStop>
    static void PrepareMore(NextStop nextStop, int stopColumn, TPreparedLine& out);

    // Printing mode: metrics and fonts come from the printer's fonts; rows are drawn from
    // column 0, without selection, line colours or screen-only marks, in black on white with
    // MonoPrint, else in the styles' colours. Null: back to the screen.
    void SetPrinting(IFonts* printerFonts);
    bool Printing() const { return FPrintFonts != nullptr; }
    // The line PrintRuns draws from; fill it with PrepareText.
    TPreparedLine& PrintLine() { return FLine; }
    const TPreparedLine& PrintLine() const { return FLine; }
    // Printing: columns [from, to) of PrintLine() at (x, y), cut at `right`; transparent
    // leaves the background as it is. Returns the new x.
    int PrintRuns(ICanvas& canvas, int x, int y, int from, int to, int right, bool transparent);
    // The font of a style set (the printer's while printing).
    const TFontHandle& FontFor(uint8_t fontStyle) { return StyleFont(fontStyle); }

    // The colours a style paints with, the as-default rules applied against the default style.
    static TColor StyleFore(const TCM_Settings& s, const TCM_Style& style);
    static TColor StyleBack(const TCM_Settings& s, const TCM_Style& style);

    // How many rows the last Paint drew (tests and benchmarks).
    int RowsDrawn() const { return FRowsDrawn; }

private:
    struct TBreakLook {
        bool Reported = false;
        int Glyph = 0;
        TColor Fore = 0, Back = 0;
    };
    // The control's re-scanner, bound to the active definition; null without one.
    TRescanner* Scanner();
    void ScanVisible(int lastLine);
    TBreakLook BreakpointLook(TRow row) const;
    // number: the row's 1-based logical line number when it starts one, else 0; no row: below
    // the text.
    void PaintGutter(ICanvas& canvas, int y, std::optional<TRow> row, int number);
    // screenRow: the row's place on screen; all: the whole screen is drawn.
    void PaintText(ICanvas& canvas, int y, TRow row, int screenRow, bool all);
    void PaintMarginLines(ICanvas& canvas, int y);
    void PaintFocusLine(ICanvas& canvas);
    // Draws columns [from, to) of the prepared line at x in runs of equal style; returns the new x.
    int DrawRuns(ICanvas& canvas, int x, int y, int from, int to, bool selected);
    // Dots on blanks and the tab glyph over tabs, for columns [from, from + n) drawn at x.
    void DrawVisibleChars(ICanvas& canvas, int x, int y, int from, int n, TColor back,
                          const TFontHandle& font);
    // What a row looks like besides its columns' text and tokens.
    struct TRowLook {
        TRow Line{-1};
        int LeftColumn = 0, Width = 0, Left = 0;
        const void* Settings = nullptr;
        bool Enabled = true, Highlight = false, FocusLine = false, Break = false;
        TColor BreakFore = 0, BreakBack = 0;
        bool LineColours = false;
        TColor LineFore = 0, LineBack = 0;
        bool SelPastEnd = false;
        bool operator==(const TRowLook&) const = default;
    };
    // A rectangle filled, or a zigzag drawn along its bottom, by a swatch or a mark.
    struct TDecor {
        int Left, Top, Right, Bottom;
        TColor Color;
        bool Zigzag;
        bool operator==(const TDecor&) const = default;
    };
    // What the last paint left in a screen row: its look, the columns drawn from the first
    // visible one, where each run started, and the marks and swatches over them.
    struct TRowPicture {
        bool Valid = false;
        bool Ended = false; // the row's text ended left of the right edge
        TRowLook Look;
        int SelA = 0, SelB = 0; // selected display columns [SelA, SelB)
        std::string Text;
        std::vector<int> ColumnByte;
        std::vector<uint8_t> Tokens;
        std::vector<std::pair<int, int>> Runs; // (column, x)
        std::vector<TDecor> Decor;
        uint8_t Token(int column) const { return Tokens[size_t(column - Look.LeftColumn)]; }
    };
    // The run from which the row must be drawn again to show what a full paint would, when
    // everything left of it stands as before; INT32_MAX: nothing changed; -1: the whole row.
    // `changed` receives the first column that differs from the old picture.
    int RepaintFrom(const TRowPicture& old, const TRowLook& look, int selA, int selB, int& changed);
    // Where an edit left the columns right of the change as they were, only moved by whole
    // cells: the old columns from Tail on stand Delta columns further right (left when
    // negative) in the new row, with the same text, tokens, selection and marks, and Tail and
    // Tail + Delta both start runs.
    struct TShift {
        int Delta = 0;
        int Tail = 0;
    };
    // Looks for such a shift in the row being painted against its old picture, when the
    // runs from `from` on would be drawn again and `changed` is the first changed column.
    bool FindShift(const TRowPicture& old, int from, int changed, int selA, int selB, TShift& out);
    // Draws the row's picture by moving its old pixels and drawing only the columns the
    // shift brings in; returns the x where the row's text ends, FWidth when past the edge.
    int PaintShifted(ICanvas& canvas, int y, const TRowPicture& old, int from, int changed,
                     const TShift& shift, int selA, int selB, TColor endBack);
    // Columns [from, to) at x, split where the selection [selA, selB) starts and ends.
    int DrawSpan(ICanvas& canvas, int x, int y, int from, int to, int selA, int selB);
    // x of the right margin and the wrap column lines a row shows, -1 where none.
    std::array<int, 2> MarginLineXs();
    void CollectMarks(int y, TRow row);
    void CollectSwatches(int y, TRow row);
    void DrawDecor(ICanvas& canvas);
    // x of a display column of the prepared line (the first visible column is at TextLeft).
    int ColumnX(TColumn column);
    // Prepares the row's columns from `first` on, as far as the window shows and some more;
    // first < 0: the whole row.
    void PrepareWindow(TRow row, int first);
    // Whether the row has the column, preparing on to it when drawing reaches past the window.
    bool HasColumn(int column);
    // The first display column whose character starts at or after `inRow` (a byte offset in
    // the row), the column count of the row when none does.
    TColumn ColumnOfChar(TOffset inRow);
    const TFontHandle& StyleFont(uint8_t fontStyle);
    void UseFont(ICanvas& canvas, const TFontHandle& font);

    TCodeMemoMetrics FMeasure;
    TPreparedLine FLine;
    TRow FRow{0}; // the row FLine holds
    std::array<TFontHandle, 16> FFonts{};
    TFontHandle FGutterFont;
    int FRowsDrawn = 0;
    int FWidth = 0;
    bool FLineColours = false; // the line's own colour pair applies
    TColor FLineFore = 0, FLineBack = 0;
    TBreakLook FBreak;              // the row being drawn is reported by a breakpoint container
    std::string_view FRowText;      // the row being drawn as stored
    std::vector<TSwatch> FSwatches; // kept between rows to spare allocations
    std::vector<TDecor> FDecor;     // the row's marks and swatches, in drawing order
    std::vector<std::pair<TRect, TMark*>> FMarkCalls; // marks OnDrawMark draws
    std::vector<std::pair<int, int>> FRuns;           // runs drawn in the row: (column, x)
    int FDrawnEnd = 0;                                // the column after the last one drawn
    std::vector<TRowPicture> FPictures;               // per screen row
    int FFocusRow = -1; // the screen row the last paint drew the focus line over, or -1
    std::string FSwatchText;
    TLineTracker* FTracker = nullptr;
    TFontHandle FCanvasFont; // the font last selected into the canvas during this paint
    IFonts* FPrintFonts = nullptr;
    bool FTransparent = false; // printing: runs leave the background alone
};

template <class NextStop>
void TCodeMemoPainter::Prepare(const TTextStore& store, TRow row, NextStop nextStop,
                               TPreparedLine& out) {
    const TLineRecord& rec = store.Line(row);
    std::string_view text = store.RowText(row);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    PrepareText(text, rec.Extra ? &rec.Extra->Attributes : nullptr, nextStop, out);
}

template <class NextStop>
void TCodeMemoPainter::PrepareText(std::string_view text, const std::vector<uint8_t>* attrs,
                                   NextStop nextStop, TPreparedLine& out) {
    out.HasTokens = attrs && !attrs->empty();
    out.Source = text;
    out.Attrs = attrs;
    out.First = 0;
    out.Next = {};
    out.Text.clear();
    out.ColumnByte.assign(1, 0);
    out.Tokens.clear();
    out.ColumnChar.assign(1, 0);
    PrepareMore(nextStop, INT32_MAX, out);
}

template <class NextStop>
void TCodeMemoPainter::PrepareMore(NextStop nextStop, int stopColumn, TPreparedLine& out) {
    const std::string_view text = out.Source;
    const std::vector<uint8_t>* attrs = out.Attrs;
    auto token = [&](size_t i) -> uint8_t {
        return out.HasTokens && i < attrs->size() ? (*attrs)[i] : 0;
    };
    out.ColumnByte.pop_back();
    out.ColumnChar.pop_back();
    size_t i = out.Next.Byte;
    int column = out.Next.Column;
    while (i < text.size() && out.Columns() < stopColumn) {
        if (text[i] == '\t') {
            int next = std::max(column + 1, nextStop(column));
            for (column = std::max(column, out.First); column < next; ++column) {
                out.ColumnByte.push_back(int(out.Text.size()));
                out.Text += ' ';
                out.Tokens.push_back(token(i));
                out.ColumnChar.push_back(int(i));
            }
            ++i;
            continue;
        }
        // A whole UTF-8 sequence is one column.
        size_t j = i + size_t(Utf8CharLength(text, i));
        out.ColumnByte.push_back(int(out.Text.size()));
        out.Text.append(text.substr(i, j - i));
        out.Tokens.push_back(token(i));
        out.ColumnChar.push_back(int(i));
        ++column;
        i = j;
    }
    out.Next = {i, column};
    out.ColumnByte.push_back(int(out.Text.size()));
    out.ColumnChar.push_back(int(i));
}

} // namespace quillet
