// The line renderer: gutter, margin strip, highlighted text runs, selection and right margin.
#pragma once

#include "editor/CodeMemoMetrics.h"
#include "editor/CodeMemoView.h"
#include "editor/TextStore.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quillet {

class TCodeMemoParser;
class TRescanner;
struct TCM_Style;
class TCM_Settings;

// One display line made ready for drawing: tabs expanded to blanks that keep the tab's style,
// the line break dropped, and for each display column where it starts in Text, its style byte
// and the character it came from.
struct TPreparedLine {
    std::string Text;
    std::vector<int> ColumnByte; // byte in Text where each column starts, plus Text.size()
    std::vector<uint8_t> Tokens; // token value per column
    std::vector<int> ColumnChar; // character offset in the line per column, plus the length
    bool HasTokens = false;
    int Columns() const { return int(Tokens.size()); }
};

class TCodeMemoPainter : public TCodeMemoView {
public:
    explicit TCodeMemoPainter(TCustomCodeMemo& memo);
    ~TCodeMemoPainter() override;

    void RecalcMetrics() override;
    void Paint(ICanvas& canvas) override;
    void ScanThrough(int line) override { ScanVisible(line); }

    // Expands one line of the store; `nextStop` gives the tab stop after a column.
    template <class NextStop>
    static void Prepare(const TTextStore& store, int line, NextStop nextStop, TPreparedLine& out);

    // The colours a style paints with, the as-default rules applied against the default style.
    static TColor StyleFore(const TCM_Settings& s, const TCM_Style& style);
    static TColor StyleBack(const TCM_Settings& s, const TCM_Style& style);

    // How many rows the last Paint drew (tests and benchmarks).
    int RowsDrawn() const { return FRowsDrawn; }

private:
    void ScanVisible(int lastLine);
    void PaintGutter(ICanvas& canvas, int y, int line);
    void PaintText(ICanvas& canvas, int y, int line);
    void PaintMarginLines(ICanvas& canvas, int y);
    // Draws columns [from, to) of the prepared line at x in runs of equal style; returns the new x.
    int DrawRuns(ICanvas& canvas, int x, int y, int from, int to, bool selected);
    const TFontHandle& StyleFont(uint8_t fontStyle);

    TCodeMemoMetrics FMeasure;
    TPreparedLine FLine;
    std::array<TFontHandle, 16> FFonts{};
    TFontHandle FGutterFont;
    std::unique_ptr<TRescanner> FScanner;
    TTextStore* FScanStore = nullptr;
    TCodeMemoParser* FScanDef = nullptr;
    int FRowsDrawn = 0;
    int FWidth = 0;
    bool FLineColours = false; // the line's own colour pair applies
    TColor FLineFore = 0, FLineBack = 0;
};

template <class NextStop>
void TCodeMemoPainter::Prepare(const TTextStore& store, int line, NextStop nextStop,
                               TPreparedLine& out) {
    const TLineRecord& rec = store.Line(line);
    std::string_view text = rec.View();
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    const std::vector<uint8_t>* attrs = rec.Extra ? &rec.Extra->Attributes : nullptr;
    out.HasTokens = attrs && !attrs->empty();
    out.Text.clear();
    out.ColumnByte.clear();
    out.Tokens.clear();
    out.ColumnChar.clear();
    auto token = [&](size_t i) -> uint8_t {
        return out.HasTokens && i < attrs->size() ? (*attrs)[i] : 0;
    };
    int column = 0;
    for (size_t i = 0; i < text.size();) {
        if (text[i] == '\t') {
            int next = std::max(column + 1, nextStop(column));
            for (; column < next; ++column) {
                out.ColumnByte.push_back(int(out.Text.size()));
                out.Text += ' ';
                out.Tokens.push_back(token(i));
                out.ColumnChar.push_back(int(i));
            }
            ++i;
            continue;
        }
        // A whole UTF-8 sequence is one column.
        size_t j = i + 1;
        while (j < text.size() && (static_cast<unsigned char>(text[j]) & 0xC0) == 0x80)
            ++j;
        out.ColumnByte.push_back(int(out.Text.size()));
        out.Text.append(text.substr(i, j - i));
        out.Tokens.push_back(token(i));
        out.ColumnChar.push_back(int(i));
        ++column;
        i = j;
    }
    out.ColumnByte.push_back(int(out.Text.size()));
    out.ColumnChar.push_back(int(text.size()));
}

} // namespace quillet
