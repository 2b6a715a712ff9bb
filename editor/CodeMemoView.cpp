#include "editor/CodeMemoView.h"

#include "editor/CodeMemo.h"
#include "highlight/Settings.h"
#include "platform/Platform.h"
#include "platform/Utf8.h"

#include <algorithm>

namespace quillet {

TColor TCodeMemoView::Resolve(TColor c) {
    if (!IsSystemColor(c)) return c;
    switch (c & 0xFF) {
    case 0x00:
        return RGB(200, 200, 200); // scroll bar
    case 0x05:
        return clWhite; // window
    case 0x08:
        return clBlack; // window text
    case 0x0D:
        return RGB(10, 36, 106); // highlight
    case 0x0E:
        return clWhite; // highlight text
    case 0x0F:
        return RGB(212, 208, 200); // button face
    case 0x10:
        return RGB(128, 128, 128); // button shadow
    default:
        return clGray;
    }
}

void TCodeMemoView::RecalcMetrics() {
    TFontDesc desc = FMemo.Font();
    desc.Style = FMemo.ActiveSettings().Styles[0].FontStyle;
    FFont = Platform().Fonts ? Platform().Fonts->CreateFont(desc) : nullptr;
    FMetrics = TViewMetrics{};
    if (!FMemo.Host() || !FFont) return; // no window: the fixed defaults
    FMetrics.LineHeight = FFont->Height() > 0 ? FFont->Height() : 17;
    FMetrics.CharWidth = FFont->AverageCharWidth() > 0 ? FFont->AverageCharWidth() : 7;
    FMetrics.FixedPitch = FFont->CharWidth(U'i') == FFont->CharWidth(U'W');
    if (FMetrics.FixedPitch) FMetrics.CharWidth = std::max(1, FFont->CharWidth(U'W'));
    FAllDirty = true;
}

TOffset TCodeMemoView::Anchor() const {
    return FMemo.FAnchor;
}
TOffset TCodeMemoView::Caret() const {
    return FMemo.FCaret;
}
bool TCodeMemoView::Focused() const {
    return FMemo.FFocused;
}

int TCodeMemoView::TextLeft() const {
    int margin = FMemo.Margin();
    return FMemo.HasOption(smoShowGutter) ? FMemo.Gutter() + margin : margin;
}

std::string TCodeMemoView::Expand(TRow row, std::vector<int>& columnToChar) const {
    std::string_view text = FMemo.Store().RowText(row);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    std::string out;
    out.reserve(text.size());
    columnToChar.clear();
    int column = 0;
    for (size_t i = 0; i < text.size();) {
        char c = text[i];
        if (c == '\t') {
            int next = FMemo.NextTabStop(column);
            for (; column < next; ++column) {
                out += ' ';
                columnToChar.push_back(int(i));
            }
            ++i;
            continue;
        }
        size_t j = i + size_t(Utf8CharLength(text, i));
        out.append(text.substr(i, j - i));
        columnToChar.push_back(int(i));
        ++column;
        i = j;
    }
    columnToChar.push_back(int(text.size()));
    return out;
}

namespace {
// Byte range of display columns [from, to) in an expanded line.
std::pair<size_t, size_t> ColumnBytes(const std::string& expanded, int from, int to) {
    size_t a = 0, col = 0;
    while (a < expanded.size() && int(col) < from) {
        a += size_t(Utf8CharLength(expanded, a));
        ++col;
    }
    size_t b = a;
    while (b < expanded.size() && int(col) < to) {
        b += size_t(Utf8CharLength(expanded, b));
        ++col;
    }
    return {a, b};
}
} // namespace

int TCodeMemoView::ColumnsWidth(TRow row, TColumn fromColumn, TColumn toColumn) const {
    if (toColumn <= fromColumn) return 0;
    if (FMetrics.FixedPitch || !FFont) return (toColumn - fromColumn) * FMetrics.CharWidth;
    std::vector<int> map;
    std::string expanded = Expand(row, map);
    auto [a, b] = ColumnBytes(expanded, fromColumn.Value(), toColumn.Value());
    int columns = int(Utf8CharCount(std::string_view(expanded).substr(a, b - a)));
    // Columns past the line end are blanks of the average width.
    return FFont->TextWidth(std::string_view(expanded).substr(a, b - a)) +
           (toColumn - fromColumn - columns) * FMetrics.CharWidth;
}

void TCodeMemoView::PaintLine(ICanvas& canvas, int shown, TRow line) {
    const TCM_Settings& s = FMemo.ActiveSettings();
    const int lh = FMetrics.LineHeight;
    const int y = shown * lh;
    const int width = canvas.Size().Width;
    const int left = TextLeft();
    const TTextStore& store = FMemo.Store();
    bool exists = line < TRow(store.LineCount());
    if (FMemo.HasOption(smoShowGutter) && FMemo.Gutter() > 0) {
        int g = FMemo.Gutter();
        canvas.FillRect({0, y, g, y + lh}, Resolve(s.GutterColor));
        if (g > 9) canvas.Line(g - 2, y, g - 2, y + lh, clWhite);
        bool startsLogical =
            exists && (line == TRow(0) || store.RowEndsInBreak(line - 1));
        if (exists && FMemo.HasOption(smoLineNumbers) && startsLogical &&
            store.Line(line).Glyphs == 0) {
            std::string number = std::to_string(line.Value() + 1).substr(0, 8);
            canvas.SetFont(FFont);
            canvas.TextOut(2, lh < 9 ? y : y + (lh - 8) / 2 - 4, number, Resolve(s.GutterFontColor),
                           clNone);
        }
    }
    int margin = FMemo.Margin();
    if (margin > 0) canvas.FillRect({left - margin, y, left, y + lh}, Resolve(s.MarginColor));
    TColor fore = Resolve(s.Styles[0].ForegroundDefault ? clWindowText : s.Styles[0].Foreground);
    TColor back = Resolve(s.Styles[0].BackgroundDefault ? clWindow : s.Styles[0].Background);
    if (!FMemo.Enabled()) back = clSilver;
    if (!exists) {
        canvas.FillRect({left, y, width, y + lh}, back);
    } else {
        std::vector<int> map;
        std::string expanded = Expand(line, map);
        int lineStart = store.PosFromLine(line).Value();
        int columns = int(map.size()) - 1;
        int selA = FMemo.SelFirst().Value(), selB = FMemo.SelLast().Value();
        bool showSel = selA != selB && (FMemo.FFocused || !FMemo.HideSelection());
        int lineLen = store.RowLength(line);
        // Selection in display columns; past the end means the break is selected too.
        int selColA = columns, selColB = columns;
        bool selPastEnd = false;
        if (showSel && selA < lineStart + lineLen && selB > lineStart) {
            auto toColumn = [&](int offset) {
                int inLine = offset - lineStart;
                if (inLine <= 0) return 0;
                auto it = std::lower_bound(map.begin(), map.end(), inLine);
                return int(it - map.begin());
            };
            selColA = toColumn(selA);
            selColB = toColumn(std::min(selB, lineStart + lineLen));
            bool hasBreak = store.RowEndsInBreak(line);
            selPastEnd = hasBreak && selB > lineStart + lineLen - 1;
        }
        TColor selFore = Resolve(s.SelTextColorDefault ? clHighlightText : s.SelTextColor);
        TColor selBack = Resolve(s.SelTextBackDefault ? clHighlight : s.SelTextBack);
        canvas.SetFont(FFont);
        canvas.SetClip({left, y, width, y + lh});
        int x = left;
        int first = FMemo.LeftColumn();
        std::vector<int> advances;
        auto run = [&](int fromCol, int toCol, TColor f, TColor b) {
            fromCol = std::max(fromCol, first);
            if (toCol <= fromCol || x >= width) return;
            auto [a, e] = ColumnBytes(expanded, fromCol, toCol);
            std::string_view piece = std::string_view(expanded).substr(a, e - a);
            int n = int(Utf8CharCount(piece));
            int w;
            if (FMetrics.FixedPitch) {
                advances.assign(size_t(n), FMetrics.CharWidth);
                canvas.TextOut(x, y, piece, f, b, advances.data());
                w = n * FMetrics.CharWidth;
            } else {
                w = FFont ? FFont->TextWidth(piece) : n * FMetrics.CharWidth;
                canvas.FillRect({x, y, x + w, y + lh}, b);
                canvas.TextOut(x, y, piece, f, b);
            }
            x += w;
        };
        run(0, selColA, fore, back);
        run(selColA, selColB, selFore, selBack);
        run(selColB, columns, fore, back);
        if (x < width) canvas.FillRect({x, y, width, y + lh}, selPastEnd ? selBack : back);
        canvas.ResetClip();
    }
    if (FMemo.HasOption(smoShowRMargin)) {
        int rm = FMemo.RightMargin(), firstCol = FMemo.LeftColumn();
        if (firstCol < rm && rm - firstCol < FMemo.FVisibleColumns) {
            int mx = left + (rm - firstCol) * FMetrics.CharWidth;
            canvas.Line(mx, y, mx, y + lh, clSilver);
        }
    }
}

void TCodeMemoView::Paint(ICanvas& canvas) {
    TTextStore& store = FMemo.Store();
    const int lh = FMetrics.LineHeight;
    const int height = canvas.Size().Height;
    const int count = store.LineCount();
    for (int shown = 0; shown * lh < height; ++shown) {
        const TRow row = FMemo.FTopLine + shown;
        if (row < TRow(count)) {
            TLineRecord& rec = store.Line(row);
            if (FAllDirty || (rec.Flags & (lfRepaint | lfRescan)) || count == 1) {
                PaintLine(canvas, shown, row);
                rec.Flags &= ~uint32_t(lfRepaint | lfRescan | lfScanRestart);
            }
        } else if (FAllDirty) {
            PaintLine(canvas, shown, row);
        }
    }
    FAllDirty = false;
}

int TCodeMemoView::CaretWidth() const {
    if (!FMemo.InsertMode() && FMemo.HasOption(smoBlockOverwriteCursor)) return FMetrics.CharWidth;
    return 2;
}

void TCodeMemoView::PlaceCaret() {
    IWindowHost* host = FMemo.Host();
    const bool dropping = FMemo.DropPosition() >= 0; // the caret shows the drop point
    if (!host || (!FMemo.FFocused && !dropping)) return;
    TPoint p = dropping ? OffsetToPixel(TOffset(FMemo.DropPosition())) : CaretPixel();
    if (!dropping && FMemo.CaretBeyondEnd() && p.Y >= 0)
        p.X = TextLeft() + (FMemo.CaretColumn() - FMemo.LeftColumn()) * FMetrics.CharWidth;
    TSize size = host->ClientSize();
    bool inside = p.X >= TextLeft() && p.Y >= 0 && p.X < size.Width && p.Y < size.Height;
    int w = CaretWidth();
    if (!FMemo.FCaretCreated || w != FCaretWidth) {
        host->CreateCaret(w, FMetrics.LineHeight);
        FMemo.FCaretCreated = true;
        FCaretWidth = w;
    }
    if (inside) host->SetCaretPos(p.X, p.Y);
    host->ShowCaret(inside);
}

TPoint TCodeMemoView::PixelOnRow(TRow row, TOffset offset) const {
    const TRow top = FMemo.FTopLine;
    if (row < top) return {-1, -1};
    const TOffset inRow(offset - FMemo.Store().PosFromLine(row));
    const TColumn column = FMemo.VisualColumn(row, inRow);
    const TColumn first = FMemo.FLeftColumn;
    int x = TextLeft() + (column >= first ? ColumnsWidth(row, first, column)
                                          : -ColumnsWidth(row, column, first));
    return {x, (row - top) * FMetrics.LineHeight};
}

TPoint TCodeMemoView::OffsetToPixel(TOffset offset) const {
    const TTextStore& store = FMemo.Store();
    offset = std::clamp(offset, TOffset(0), store.TextEnd());
    return PixelOnRow(store.LineFromPos(offset), offset);
}

TPoint TCodeMemoView::CaretPixel() const {
    // At a row end the caret stands on the row before its offset's own.
    return PixelOnRow(FMemo.CaretRow(), FMemo.ClampOffset(FMemo.FCaret));
}

std::optional<TOffset> TCodeMemoView::PixelToOffset(int x, int y) const {
    IWindowHost* host = FMemo.Host();
    TSize size = host ? host->ClientSize() : TSize{FMemo.FClientWidth, FMemo.FClientHeight};
    if (x < TextLeft() || x >= size.Width || y < 0 || y >= size.Height) return std::nullopt;
    return PixelToOffsetClamped(x, y);
}

TOffset TCodeMemoView::PixelToOffsetClamped(int x, int y) const {
    const TTextStore& store = FMemo.Store();
    const TRow row = std::clamp(FMemo.FTopLine + std::max(0, y) / FMetrics.LineHeight, TRow(0),
                                TRow(store.LineCount() - 1));
    int dx = std::max(0, x - TextLeft());
    const TColumn left = FMemo.FLeftColumn;
    TColumn column = left;
    if (FMetrics.FixedPitch || !FFont) {
        column += dx / FMetrics.CharWidth;
    } else {
        while (ColumnsWidth(row, left, column + 1) <= dx && column < TColumn(1 << 20)) {
            if (column - left > 4096) break;
            ++column;
        }
    }
    return store.PosFromLine(row) + FMemo.OffsetFromVisualColumn(row, column).Value();
}

} // namespace quillet
