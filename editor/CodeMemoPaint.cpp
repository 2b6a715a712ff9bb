#include "editor/CodeMemoPaint.h"

#include "editor/CodeMemo.h"
#include "editor/CodeMemoPaintGlyphs.h"
#include "editor/CodeMemoWrap.h"
#include "editor/EditPipeline.h"
#include "editor/LineTrack.h"
#include "editor/Rescan.h"
#include "highlight/Settings.h"
#include "platform/Platform.h"

#include <algorithm>

namespace quillet {

namespace {
constexpr TColor RightMarginColor = 0xC0C0C0;
constexpr TColor DisabledBack = 0xC0C0C0;
constexpr TColor MarkColor = 0x0000FF; // red
constexpr TColor SwatchFrameColor = 0x808080;

// Index of the highest set bit: the value halved until it is 1, at most 16 times.
int HighestBit(uint32_t v) {
    int i = 0;
    while (v > 1 && i < 16) {
        v >>= 1;
        ++i;
    }
    return i;
}

void DrawCentred(ICanvas& canvas, int x, int y, int height, const TImage& img) {
    int gy = img.Height < height ? y + (height - img.Height) / 2 : y;
    canvas.DrawImage(x, gy, img, {0, 0, img.Width, img.Height});
}

// Combines a picture's opaque pixels with the canvas by XOR, one row segment at a time.
void XorImage(ICanvas& canvas, int x, int y, const TImage& img) {
    for (int r = 0; r < img.Height; ++r) {
        int c = 0;
        while (c < img.Width) {
            while (c < img.Width && !(img.Pixels[size_t(r * img.Width + c)] >> 24))
                ++c;
            int start = c;
            while (c < img.Width && (img.Pixels[size_t(r * img.Width + c)] >> 24))
                ++c;
            if (c > start) canvas.XorLine(x + start, y + r, x + c, y + r); // end excluded
        }
    }
}
} // namespace

TCodeMemoPainter::TCodeMemoPainter(TCustomCodeMemo& memo) : TCodeMemoView(memo) {}

TCodeMemoPainter::~TCodeMemoPainter() = default;

void TCodeMemoPainter::RecalcMetrics() {
    TFontDesc desc = Memo().Font();
    desc.Style = Memo().ActiveSettings().Styles[0].FontStyle;
    IFonts* fonts = FPrintFonts ? FPrintFonts : Platform().Fonts.get();
    FMeasure.Measure(fonts, desc, FPrintFonts || Memo().Host() != nullptr);
    FFonts.fill(nullptr);
    FGutterFont = nullptr;
    TFontHandle font = fonts ? StyleFont(desc.Style) : nullptr;
    SetMetrics(FMeasure.View(), font);
}

const TFontHandle& TCodeMemoPainter::StyleFont(uint8_t fontStyle) {
    TFontHandle& slot = FFonts[fontStyle & 15];
    IFonts* fonts = FPrintFonts ? FPrintFonts : Platform().Fonts.get();
    if (!slot && fonts) {
        TFontDesc desc = Memo().Font();
        desc.Style = TFontStyles(fontStyle & 15);
        slot = fonts->CreateFont(desc);
    }
    return slot;
}

void TCodeMemoPainter::SetPrinting(IFonts* printerFonts) {
    FPrintFonts = printerFonts;
    RecalcMetrics();
}

int TCodeMemoPainter::PrintRuns(ICanvas& canvas, int x, int y, int from, int to, int right,
                                bool transparent) {
    FWidth = right;
    FTransparent = transparent;
    FBreak = {};
    FLineColours = false;
    FCanvasFont = nullptr;
    return DrawRuns(canvas, x, y, from, to, false);
}

TColor TCodeMemoPainter::StyleFore(const TCM_Settings& s, const TCM_Style& style) {
    const TCM_Style& def = s.Styles[0];
    if (!style.ForegroundDefault) return Resolve(style.Foreground);
    return def.ForegroundDefault ? Resolve(clWindowText) : Resolve(def.Foreground);
}

TColor TCodeMemoPainter::StyleBack(const TCM_Settings& s, const TCM_Style& style) {
    const TCM_Style& def = s.Styles[0];
    if (!style.BackgroundDefault) return Resolve(style.Background);
    return def.BackgroundDefault ? Resolve(clWindow) : Resolve(def.Background);
}

TRescanner* TCodeMemoPainter::Scanner() {
    return Memo().Pipeline().Scanner(dynamic_cast<TCodeMemoParser*>(Memo().ActiveDefinition()));
}

void TCodeMemoPainter::ScanVisible(int lastLine) {
    TRescanner* scanner = Scanner();
    const int count = Memo().Store().LineCount();
    if (scanner && scanner->Pending()) scanner->ScanThrough(TRow(std::min(lastLine, count - 1)));
}

void TCodeMemoPainter::ScanThroughInSteps(int line, int lines) {
    TRescanner* scanner = Scanner();
    if (!scanner) return;
    const int budget = scanner->LineBudget();
    scanner->SetLineBudget(lines);
    while (scanner->Pending() && scanner->FirstPending() <= TRow(line) && scanner->Rescan() > 0) {
    }
    scanner->SetLineBudget(budget);
}

void TCodeMemoPainter::SetLineTracker(TLineTracker* tracker) {
    FTracker = tracker;
    InvalidateAll();
}

TCodeMemoPainter::TBreakLook TCodeMemoPainter::BreakpointLook(TRow row) const {
    if (!FTracker) return {};
    const int pos = Memo().Store().PosFromLine(row).Value(); // the breakpoint lists' unit
    // The execution point shows over a breakpoint on the same line.
    if (TCM_BreakpointData* at = FTracker->CodeBreak.Find(pos);
        at && at->Valid() && at->Enabled()) {
        TCM_BreakpointLook look = FTracker->CodeBreak.Look(*at);
        return {true, look.Glyph, look.Foreground, look.Background};
    }
    if (TCM_BreakpointData* bp = FTracker->Breakpoints.Find(pos); bp && bp->Valid()) {
        TCM_BreakpointLook look = FTracker->Breakpoints.Look(*bp);
        return {true, look.Glyph, look.Foreground, look.Background};
    }
    return {};
}

void TCodeMemoPainter::UseFont(ICanvas& canvas, const TFontHandle& font) {
    if (font == FCanvasFont) return; // selecting a font is the costly part of a run
    canvas.SetFont(font);
    FCanvasFont = font;
}

void TCodeMemoPainter::Paint(ICanvas& canvas) {
    TCustomCodeMemo& memo = Memo();
    FCanvasFont = nullptr; // others draw on the canvas between paints
    TTextStore& store = memo.Store();
    const int lh = Metrics().LineHeight;
    const int height = canvas.Size().Height;
    FWidth = canvas.Size().Width;
    FRowsDrawn = 0;
    const TRow top(memo.TopLine());
    ScanVisible(top.Value() + height / std::max(1, lh) + 1);
    const int count = store.LineCount();
    const TRow end(count);
    const bool all = AllDirty();
    TCodeMemoWrap& wrap = memo.Wrap();
    const bool numbers = memo.HasOption(smoShowGutter) && memo.HasOption(smoLineNumbers);
    // Logical line numbers: counted once for the top row, then row by row.
    int number = numbers && top < end ? wrap.LogicalLineOf(top) - TLogicalLine(0) + 1 : 0;
    bool startsLogical = top == TRow(0) || !wrap.RowContinues(top - 1);
    // The row the focus line was drawn over last time is drawn again when the line moved away,
    // however the caret left it (an edit that re-cuts rows moves it without a caret move).
    const TRow caretRow = memo.CaretRow();
    const int focusRow = memo.ShowFocusLine() && caretRow >= top ? caretRow - top : -1;
    const int staleFocusRow = FFocusRow != focusRow ? FFocusRow : -1;
    FFocusRow = focusRow;
    for (int row = 0; row * lh < height; ++row) {
        const TRow line = top + row;
        int y = row * lh;
        bool exists = line < end;
        int rowNumber = 0;
        if (exists && numbers) {
            rowNumber = startsLogical ? number : 0;
            bool goesOn = wrap.RowContinues(line);
            if (!goesOn) ++number;
            startsLogical = !goesOn;
        }
        bool dirty = all || !exists || count == 1 || row == staleFocusRow ||
                     (store.Line(line).Flags & (lfRepaint | lfRescan)) != 0;
        if (!dirty) continue;
        // Rows below the text are cheap and always redrawn, so a shrinking text leaves no ghosts.
        ++FRowsDrawn;
        FBreak = exists ? BreakpointLook(line) : TBreakLook{};
        PaintGutter(canvas, y, exists ? std::optional<TRow>(line) : std::nullopt, rowNumber);
        const int left = TextLeft();
        const int margin = memo.Margin();
        const TCM_Settings& s = memo.ActiveSettings();
        if (margin > 0) {
            TColor mc = s.MarginColorDefault ? StyleBack(s, s.Styles[0]) : Resolve(s.MarginColor);
            canvas.FillRect({left - margin, y, left, y + lh}, mc);
        }
        if (!exists) {
            if (size_t(row) < FPictures.size()) FPictures[size_t(row)].Valid = false;
            TColor back = StyleBack(s, s.Styles[0]);
            if (!memo.Enabled()) back = DisabledBack;
            canvas.FillRect({left, y, FWidth, y + lh}, back);
        } else {
            const uint64_t edits = store.Edits();
            PaintText(canvas, y, line, row, all);
            if (store.Edits() != edits) {
                // A handler called while the row was drawn (OnDrawLine, OnRowSwatches,
                // OnDrawMark) changed the text: the rows counted above and the text read for
                // this one are gone. The paint stops, and the next one draws everything.
                InvalidateAll();
                if (IWindowHost* host = memo.Host()) host->InvalidateAll();
                return;
            }
            store.Line(line).Flags &= ~uint32_t(lfRepaint | lfRescan | lfScanRestart);
        }
        PaintMarginLines(canvas, y);
        // The line being dragged is inverted into each row as the row is drawn, so rows left
        // alone keep theirs.
        if (int dragX = memo.MarginDragX(); dragX >= 0) canvas.XorLine(dragX, y, dragX, y + lh);
    }
    if (memo.ShowFocusLine()) PaintFocusLine(canvas);
    ClearAllDirty();
}

void TCodeMemoPainter::PaintFocusLine(ICanvas& canvas) {
    TCustomCodeMemo& memo = Memo();
    const int lh = Metrics().LineHeight;
    int row = memo.CaretLine() - memo.TopLine();
    if (row < 0 || row * lh >= canvas.Size().Height) return;
    const TCM_Settings& s = memo.ActiveSettings();
    TColor c = StyleBack(s, s.Styles[0]) ^ 0xFFFFFF;
    int y = row * lh;
    canvas.Line(TextLeft(), y, FWidth, y, c);
    canvas.Line(TextLeft(), y + lh - 1, FWidth, y + lh - 1, c);
}

int TCodeMemoPainter::CaretWidth() const {
    TCustomCodeMemo& memo = Memo();
    if (memo.InsertMode() || !memo.HasOption(smoBlockOverwriteCursor)) return 2;
    // As wide as the character under the caret; the average width past the line end.
    const TTextStore& store = memo.Store();
    const TOffset caret = std::clamp(Caret(), TOffset(0), TOffset(store.CharCount()));
    const int cw = Metrics().CharWidth;
    const TRow line = memo.CaretRow();
    std::string_view text = store.RowText(line);
    int i = caret - store.PosFromLine(line);
    if (i >= int(text.size()) || text[size_t(i)] == '\r') return cw;
    int next = i + Utf8CharLength(text, size_t(i));
    if (text[size_t(i)] == '\t')
        return std::max(1, memo.VisualColumn(line, TOffset(next)) -
                               memo.VisualColumn(line, TOffset(i))) *
               cw;
    if (Metrics().FixedPitch || !Font()) return cw;
    return std::max(1, Font()->TextWidth(text.substr(size_t(i), size_t(next - i))));
}

void TCodeMemoPainter::PaintGutter(ICanvas& canvas, int y, std::optional<TRow> row, int number) {
    TCustomCodeMemo& memo = Memo();
    const int g = memo.Gutter();
    if (!memo.HasOption(smoShowGutter) || g <= 0) return;
    const TCM_Settings& s = memo.ActiveSettings();
    const int lh = Metrics().LineHeight;
    canvas.SetClip({0, y, g, y + lh});
    canvas.FillRect({0, y, g, y + lh},
                    Resolve(s.GutterColorDefault ? TColor(0x80000000) : s.GutterColor));
    if (g > 9) canvas.Line(g - 2, y, g - 2, y + lh, clWhite);
    if (row) {
        const TLineRecord& rec = memo.Store().Line(*row);
        uint16_t marks = rec.Marks;
        if (!memo.HasOption(smoShowWrapGlyph)) marks &= uint16_t(~lmContinuation);
        bool glyphs = false;
        if (marks != 0) {
            int index = HighestBit(marks);
            DrawCentred(canvas, 1, y, lh,
                        index == WrappedGlyphIndex ? TPaintGlyphs::Wrapped()
                                                   : TPaintGlyphs::GutterGlyph(index));
            glyphs = true;
        }
        if (FBreak.Reported && FBreak.Glyph >= 1) {
            DrawCentred(canvas, 1, y, lh, TPaintGlyphs::GutterGlyph(FBreak.Glyph - 1));
            glyphs = true;
        }
        if (rec.Glyphs != 0) {
            DrawCentred(canvas, 17, y, lh, TPaintGlyphs::GutterGlyph(HighestBit(rec.Glyphs)));
            glyphs = true;
        }
        if (number > 0 && !glyphs && memo.HasOption(smoLineNumbers)) {
            if (!FGutterFont && Platform().Fonts)
                FGutterFont = Platform().Fonts->CreateFont(memo.GutterFont());
            std::string text = std::to_string(number).substr(0, 8);
            UseFont(canvas, FGutterFont);
            canvas.TextOut(2, lh < 9 ? y : y + (lh - 8) / 2, text, Resolve(s.GutterFontColor),
                           clNone);
        }
    }
    canvas.ResetClip();
}

int TCodeMemoPainter::DrawRuns(ICanvas& canvas, int x, int y, int from, int to, bool selected) {
    TCustomCodeMemo& memo = Memo();
    const TCM_Settings& s = memo.ActiveSettings();
    const int lh = Metrics().LineHeight;
    const int cw = Metrics().CharWidth;
    const bool highlight = memo.HasOption(smoSyntaxHighlight);
    const bool printing = Printing();
    const bool showAll = !printing && memo.HasOption(smoShowAllChars);
    if (!printing) from = std::max(from, memo.LeftColumn());
    while (from < to && x < FWidth && HasColumn(from)) {
        if (!printing) FRuns.push_back({from, x});
        const uint8_t token = FLine.Token(from);
        const int fit = std::max(1, (FWidth - x) / std::max(1, cw));
        // On screen a run is followed no further than it can be drawn.
        const int limit = printing ? to : std::min(to, from + fit + fit / 2 + 1);
        int end = from + 1;
        while (end < limit && HasColumn(end) && FLine.Token(end) == token)
            ++end;
        const TCM_Style& style = s.Styles[s.StyleMap[token]];
        TColor fore, back;
        if (printing && memo.MonoPrint()) {
            fore = clBlack;
            back = clWhite;
        } else if (printing) {
            // Without highlighting the paper shows what the screen does: the default style.
            const TCM_Style& shown = highlight ? style : s.Styles[0];
            fore = StyleFore(s, shown);
            back = StyleBack(s, shown);
        } else if (FBreak.Reported) {
            fore = selected ? FBreak.Back : FBreak.Fore;
            back = selected ? FBreak.Fore : FBreak.Back;
        } else if (selected) {
            fore = Resolve(s.SelTextColorDefault ? clHighlightText : s.SelTextColor);
            back = Resolve(s.SelTextBackDefault ? clHighlight : s.SelTextBack);
        } else if (!highlight) {
            fore = StyleFore(s, s.Styles[0]);
            back = StyleBack(s, s.Styles[0]);
        } else if (FLineColours) {
            fore = FLineFore;
            back = FLineBack;
        } else {
            fore = StyleFore(s, style);
            back = StyleBack(s, style);
        }
        if (!memo.Enabled() && !printing) back = DisabledBack;
        if (printing && FTransparent) back = clNone;
        const TFontHandle& font = StyleFont(highlight ? style.FontStyle : s.Styles[0].FontStyle);
        if (printing) {
            // Paper needs no cut where nothing changes: tokens that look alike are one run.
            auto sameLook = [&](uint8_t other) {
                const TCM_Style& a = highlight ? style : s.Styles[0];
                const TCM_Style& b = highlight ? s.Styles[s.StyleMap[other]] : s.Styles[0];
                return a.FontStyle == b.FontStyle &&
                       (memo.MonoPrint() ||
                        (StyleFore(s, a) == StyleFore(s, b) && StyleBack(s, a) == StyleBack(s, b)));
            };
            while (end < to && HasColumn(end) && sameLook(FLine.Token(end)))
                ++end;
        }
        // A run reaching past the right edge is cut to what can show, with some slack for
        // narrow characters of a proportional font.
        int n = end - from;
        bool cut = false;
        if (n > fit) {
            n = std::max(1, std::min(n, fit + fit / 2 + 1)); // the cell cut by the edge too
            cut = n < end - from;
        } else if (static_cast<unsigned char>(FLine.Text[size_t(FLine.Byte(end - 1))]) < 32) {
            --n; // a trailing control character is not drawn
        }
        std::string_view piece = FLine.Piece(from, from + n);
        int w;
        UseFont(canvas, font);
        if (Metrics().FixedPitch) {
            w = (end - from) * cw;
            canvas.FillRect({x, y, x + w, y + lh}, back);
            if (n > 0) canvas.TextOut(x, y, piece, fore, back, FMeasure.Advances(n));
        } else {
            w = font ? font->TextWidth(piece) : n * cw;
            canvas.FillRect({x, y, x + w, y + lh}, back);
            if (n > 0) canvas.TextOut(x, y, piece, fore, back);
        }
        if (showAll && n > 0) DrawVisibleChars(canvas, x, y, from, n, back, font);
        x += w;
        FDrawnEnd = std::max(FDrawnEnd, end);
        // Narrow characters may leave room after a cut run: the rest of it comes next.
        from = cut ? from + n : end;
    }
    return x;
}

void TCodeMemoPainter::DrawVisibleChars(ICanvas& canvas, int x, int y, int from, int n, TColor back,
                                        const TFontHandle& font) {
    const int lh = Metrics().LineHeight;
    const int cw = Metrics().CharWidth;
    const bool fixed = Metrics().FixedPitch || !font;
    const TColor ink = back ^ 0xFFFFFF;
    // Positions of at most 2,048 characters of a run are placed.
    n = std::min(n, 2048);
    auto columnWidth = [&](int c) {
        if (fixed) return cw;
        return font->TextWidth(FLine.Piece(c, c + 1));
    };
    int cx = x;
    for (int c = from; c < from + n;) {
        size_t ch = size_t(FLine.Char(c));
        char orig = ch < FRowText.size() ? FRowText[ch] : '\0';
        if (orig == '\t') {
            // The tab's blanks, and any tabs right after it in this run, take one glyph.
            int e = c, extent = 0;
            while (e < from + n) {
                size_t k = size_t(FLine.Char(e));
                if (k >= FRowText.size() || FRowText[k] != '\t') break;
                extent += columnWidth(e);
                ++e;
            }
            const TImage& img = TPaintGlyphs::Tab();
            XorImage(canvas, cx + (extent - img.Width) / 2, y + (lh - img.Height) / 2, img);
            cx += extent;
            c = e;
            continue;
        }
        int w = columnWidth(c);
        if (orig == ' ')
            canvas.TextOut(cx, y - lh / 4, ".", ink, clNone,
                           fixed ? FMeasure.Advances(1) : nullptr);
        cx += w;
        ++c;
    }
}

int TCodeMemoPainter::ColumnX(TColumn wanted) {
    // The prepared line counts its columns as plain numbers.
    const int column = wanted.Value();
    const int first = Memo().LeftColumn();
    if (Metrics().FixedPitch || !Font()) return TextLeft() + (column - first) * Metrics().CharWidth;
    int lo = std::min(column, first), hi = std::max(column, first);
    if (lo < FLine.First) {
        // Left of the window: the row is prepared from its start (rare: a proportional font,
        // a view scrolled right and a mark or swatch reaching in from the left).
        PrepareWindow(FRow, 0);
    }
    if (hi > 0) HasColumn(hi - 1);
    auto at = [&](int c) { return std::clamp(c, FLine.First, FLine.Columns()); };
    int w = Font()->TextWidth(FLine.Piece(at(lo), at(hi)));
    w += std::max(0, hi - std::max(lo, FLine.Columns())) * Metrics().CharWidth;
    return column >= first ? TextLeft() + w : TextLeft() - w;
}

void TCodeMemoPainter::PrepareWindow(TRow row, int first) {
    TCustomCodeMemo& memo = Memo();
    const TLineRecord& rec = memo.Store().Line(row);
    std::string_view text = memo.Store().RowText(row);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    const std::vector<uint8_t>* attrs = rec.Extra ? &rec.Extra->Attributes : nullptr;
    auto stop = [&](int column) { return std::max(column + 1, memo.NextTabStop(column)); };
    if (first < 0) {
        PrepareText(text, attrs, stop, FLine);
    } else {
        FLine.HasTokens = attrs && !attrs->empty();
        FLine.Source = text;
        FLine.Attrs = attrs;
        FLine.First = first;
        FLine.Next = WalkToColumn(text, {}, text.size(), first, stop);
        FLine.Text.clear();
        FLine.ColumnByte.assign(1, 0);
        FLine.Tokens.clear();
        FLine.ColumnChar.assign(1, int(FLine.Next.Byte));
        const int shown = FMeasure.VisibleColumns(FWidth, TextLeft());
        PrepareMore(stop, first + shown + shown / 2 + 2, FLine);
    }
    FRow = row;
}

bool TCodeMemoPainter::HasColumn(int column) {
    if (column < FLine.Columns()) return true;
    if (FLine.Whole()) return false;
    TCustomCodeMemo& memo = Memo();
    auto stop = [&](int c) { return std::max(c + 1, memo.NextTabStop(c)); };
    PrepareMore(stop, std::max(column + 1, FLine.Columns() + 64), FLine);
    return column < FLine.Columns();
}

TColumn TCodeMemoPainter::ColumnOfChar(TOffset inRow) {
    const int inLine = inRow.Value();
    if (inLine <= 0) return TColumn(0);
    TCustomCodeMemo& memo = Memo();
    auto stop = [&](int c) { return std::max(c + 1, memo.NextTabStop(c)); };
    const std::string_view text = FLine.Source;
    if (FLine.First > 0 && inLine <= FLine.ColumnChar.front())
        return TColumn(WalkToByte(text, {}, size_t(inLine), stop).Column);
    if (inLine > int(FLine.Next.Byte))
        return TColumn(WalkToByte(text, FLine.Next, size_t(inLine), stop).Column);
    auto it = std::lower_bound(FLine.ColumnChar.begin(), FLine.ColumnChar.end(), inLine);
    return TColumn(FLine.First + int(it - FLine.ColumnChar.begin()));
}

void TCodeMemoPainter::CollectMarks(int y, TRow row) {
    if (!FTracker || !FTracker->HasMarks()) return;
    TCustomCodeMemo& memo = Memo();
    TMarkList& marks = FTracker->Marks();
    const int lh = Metrics().LineHeight;
    const TOffset rowStart = memo.Store().PosFromLine(row);
    int textLen = int(FRowText.size());
    if (textLen > 0 && FRowText.back() == '\r') --textLen; // the break is never marked
    const TOffset rowEnd = rowStart + textLen;
    auto toColumn = [&](TOffset offset) { return ColumnOfChar(TOffset(offset - rowStart)); };
    // Only the marks near the row: a lint of a long sheet may lay thousands.
    const auto [first, last] = marks.Near(rowStart, rowEnd);
    for (size_t i = first; i < last; ++i) {
        TMark& mark = marks[i];
        const TOffset a = std::min(mark.Start, mark.End), b = std::max(mark.Start, mark.End);
        if (a >= rowEnd || b <= rowStart || a == b) continue;
        TRect r{ColumnX(toColumn(std::max(a, rowStart))), y, ColumnX(toColumn(std::min(b, rowEnd))),
                y + lh - 1};
        if (memo.OnDrawMark)
            FMarkCalls.push_back({r, &mark});
        else
            FDecor.push_back({r.Left, r.Top, std::min(r.Right, FWidth), r.Bottom, MarkColor, true});
    }
}

void TCodeMemoPainter::DrawDecor(ICanvas& canvas) {
    TCustomCodeMemo& memo = Memo();
    for (const TDecor& d : FDecor) {
        if (!d.Zigzag) {
            canvas.FillRect({d.Left, d.Top, d.Right, d.Bottom}, d.Color);
            continue;
        }
        // A zigzag along the bottom: down and up two pixels every three.
        const int low = d.Bottom - 1, high = low - 2;
        bool down = true;
        for (int x = d.Left; x < d.Right; x += 3, down = !down) {
            int x2 = std::min(x + 3, d.Right);
            canvas.Line(x, down ? low : high, x2, down ? high : low, d.Color);
        }
    }
    for (auto& [r, mark] : FMarkCalls)
        memo.OnDrawMark(memo, canvas, r, mark);
}

int TCodeMemoPainter::RepaintFrom(const TRowPicture& old, const TRowLook& look, int selA, int selB,
                                  int& changed) {
    TCustomCodeMemo& memo = Memo();
    // Whatever another hand draws, or draws by inverting, is painted with the whole row.
    if (!old.Valid || !(old.Look == look) || Printing() || memo.OnDrawLine || memo.OnDrawMark ||
        memo.HasOption(smoShowAllChars) || memo.MarginDragX() >= 0 ||
        !memo.MacroPopupBounds().IsEmpty())
        return -1;
    auto selected = [](int a, int b, int c) { return c >= a && c < b; };
    const int oldEnd = old.Look.LeftColumn + int(old.Tokens.size());
    int c = look.LeftColumn;
    for (; c < oldEnd; ++c) {
        if (!HasColumn(c) || FLine.Token(c) != old.Token(c) ||
            selected(selA, selB, c) != selected(old.SelA, old.SelB, c))
            break;
        const size_t i = size_t(c - old.Look.LeftColumn);
        const std::string_view was(old.Text.data() + old.ColumnByte[i],
                                   size_t(old.ColumnByte[i + 1] - old.ColumnByte[i]));
        if (FLine.Piece(c, c + 1) != was) break;
    }
    changed = c;
    if (c == oldEnd && old.Ended && !HasColumn(c)) {
        // The same text to its end: nothing to draw unless a mark or swatch changed.
        return FDecor == old.Decor ? INT32_MAX : -1;
    }
    // The run that starts last before the first change starts where it did before.
    int from = -1;
    for (const auto& [column, x] : old.Runs)
        if (column < c) from = column;
    if (from < 0) return -1;
    auto runX = [&](int column) {
        for (const auto& [col, x] : old.Runs)
            if (col == column) return x;
        return 0;
    };
    // Marks and swatches left of there must stand as they did.
    const int x0 = runX(from);
    auto leftPart = [&](const std::vector<TDecor>& list) {
        std::vector<TDecor> out;
        for (TDecor d : list) {
            if (d.Left >= x0) continue;
            d.Right = std::min(d.Right, x0 + 3); // a zigzag's step across x0 depends on its end
            out.push_back(d);
        }
        return out;
    };
    if (!(leftPart(old.Decor) == leftPart(FDecor))) return -1;
    return from;
}

int TCodeMemoPainter::DrawSpan(ICanvas& canvas, int x, int y, int from, int to, int selA,
                               int selB) {
    if (from < std::min(to, selA)) x = DrawRuns(canvas, x, y, from, std::min(to, selA), false);
    if (std::max(from, selA) < std::min(to, selB))
        x = DrawRuns(canvas, x, y, std::max(from, selA), std::min(to, selB), true);
    if (std::max(from, selB) < to) x = DrawRuns(canvas, x, y, std::max(from, selB), to, false);
    return x;
}

bool TCodeMemoPainter::FindShift(const TRowPicture& old, int from, int changed, int selA, int selB,
                                 TShift& out) {
    // Pixels move by whole cells only where every column is one cell wide.
    if (!Metrics().FixedPitch || old.Runs.empty()) return false;
    const int first = old.Look.LeftColumn;
    const int oldEnd = first + int(old.Tokens.size());
    if (changed >= oldEnd) return false;
    const int cw = Metrics().CharWidth;
    auto selected = [](int a, int b, int c) { return c >= a && c < b; };
    // Whether new column k shows what old column j showed.
    auto same = [&](int j, int k) {
        if (!HasColumn(k) || FLine.Token(k) != old.Token(j) ||
            selected(selA, selB, k) != selected(old.SelA, old.SelB, j))
            return false;
        const size_t i = size_t(j - first);
        return FLine.Piece(k, k + 1) ==
               std::string_view(old.Text.data() + old.ColumnByte[i],
                                size_t(old.ColumnByte[i + 1] - old.ColumnByte[i]));
    };
    // Whether painting the new row whole would start a run at column k (right of `from`).
    auto startsRun = [&](int k) {
        return k == from || FLine.Token(k - 1) != FLine.Token(k) || k == selA || k == selB;
    };
    // Marks and swatches over the moved pixels must stand over them, moved alike, in the new
    // row; those left of the move are drawn again with the new columns.
    auto decorMoves = [&](int xTail, int dx) {
        auto key = [&](TDecor d) {
            d.Right = std::min(d.Right, FWidth + 3); // a zigzag's steps past the edge don't show
            return d;
        };
        for (TDecor d : old.Decor) {
            // A zigzag's last step may reach the pixel at its end.
            if (d.Right + (d.Zigzag ? 1 : 0) <= xTail) continue;
            if (d.Left < xTail) return false;
            d.Left += dx;
            d.Right += dx;
            if (d.Left >= FWidth) continue;
            if (std::none_of(FDecor.begin(), FDecor.end(),
                             [&](const TDecor& n) { return key(n) == key(d); }))
                return false;
        }
        return true;
    };
    constexpr int MaxShift = 16;
    int bestCost = INT32_MAX;
    for (int step = 0; step <= 2 * MaxShift; ++step) {
        // 1, -1, 0, 2, -2, 3, -3, ...: a typed or deleted character first.
        const int d = step < 3 ? (step == 0   ? 1
                                  : step == 1 ? -1
                                              : 0)
                               : (step % 2 ? (step + 1) / 2 : -(step / 2));
        if (oldEnd - 1 + d < first) continue;
        if (old.Ended && HasColumn(oldEnd + d)) continue; // the row must end where it moved to
        if (!same(oldEnd - 1, oldEnd - 1 + d)) continue;
        // The lowest old column from which every column matches.
        const int lowest = std::max(first, from - d);
        int m = oldEnd - 1;
        while (m > lowest && same(m - 1, m - 1 + d))
            --m;
        // The moved part starts where a run starts in both rows, or else one column into the
        // match, so the cell left of it shows the same character (and what that character's
        // glyph spills into its right neighbour) before and after.
        const bool bothStart =
            startsRun(m + d) && std::any_of(old.Runs.begin(), old.Runs.end(),
                                            [&](const auto& run) { return run.first == m; });
        const int tail = bothStart ? m : m + 1;
        const int tailX = TextLeft() + (tail - first) * cw;
        // The moved part lands right of the columns kept in place.
        if (tail >= oldEnd || tail + d < from || tail + d - from >= bestCost ||
            !decorMoves(tailX, d * cw))
            continue;
        bestCost = tail + d - from;
        out = {d, tail};
        if (m <= changed + std::max(0, -d)) break; // the match reaches the change itself
    }
    return bestCost < INT32_MAX;
}

int TCodeMemoPainter::PaintShifted(ICanvas& canvas, int y, const TRowPicture& old, int from,
                                   int changed, const TShift& shift, int selA, int selB,
                                   TColor endBack) {
    const int lh = Metrics().LineHeight, cw = Metrics().CharWidth, left = TextLeft();
    const int first = old.Look.LeftColumn, oldEnd = first + int(old.Tokens.size());
    const int d = shift.Delta, dx = d * cw;
    auto oldX = [&](int column) { return left + (column - first) * cw; };
    const int tailX = oldX(shift.Tail);
    // The row's end on screen after the move, FWidth when past the edge.
    int endX = old.Ended ? std::min(FWidth, oldX(oldEnd) + dx) : FWidth;
    if (d > 0)
        canvas.Scroll({tailX, y, FWidth, y + lh}, dx, 0);
    else if (d < 0)
        canvas.Scroll({tailX + dx, y, FWidth, y + lh}, dx, 0);
    // The new columns, cut where the moved ones start. Cells are fixed here, so they are drawn
    // from the column before the first change rather than from the start of its run (a long
    // token would have the whole row left of the caret drawn again): shown from the change on,
    // with that column's glyph spilling over as in a whole paint.
    const int start = std::max(from, changed - 1);
    for (const auto& run : old.Runs)
        if (run.first < start) FRuns.push_back(run);
    canvas.SetClip(
        {start > from ? oldX(start + 1) : left, y, std::min(FWidth, tailX + dx), y + lh});
    DrawSpan(canvas, oldX(start), y, start, shift.Tail + d, selA, selB);
    for (const auto& [column, x] : old.Runs)
        if (column >= shift.Tail && x + dx < FWidth) FRuns.push_back({column + d, x + dx});
    const size_t runs = FRuns.size();
    // Cells from `column` on drawn again, shown only through `clip`; drawing starts a column
    // earlier so whatever that character's glyph spills over shows as in a whole paint.
    auto redrawCells = [&](int column, int to, int clipLeft, int clipRight) {
        const int start = std::max(first, column - 1);
        canvas.SetClip({clipLeft, y, clipRight, y + lh});
        return DrawSpan(canvas, left + (start - first) * cw, y, start, to, selA, selB);
    };
    if (d < 0) {
        // Columns entering at the right edge.
        const int stripX = FWidth + dx;
        if (old.Ended) {
            canvas.SetClip({left, y, FWidth, y + lh});
            canvas.FillRect({stripX, y, FWidth, y + lh}, endBack);
        } else {
            const int end = redrawCells(first + (stripX - left) / cw, INT32_MAX,
                                        std::max(left, stripX), FWidth);
            if (end < FWidth) {
                canvas.FillRect({end, y, FWidth, y + lh}, endBack);
                endX = end;
            }
        }
    }
    // A margin line moved with the pixels leaves its trace where it landed.
    for (const int lineX : MarginLineXs()) {
        const int at = lineX + dx;
        if (lineX < tailX || lineX >= FWidth || at >= FWidth) continue;
        if (old.Ended && lineX >= oldX(oldEnd)) {
            canvas.SetClip({left, y, FWidth, y + lh});
            canvas.FillRect({at, y, at + 1, y + lh}, endBack);
        } else {
            const int column = first + (at - left) / cw;
            redrawCells(column, column + 2, at, at + 1);
        }
    }
    FRuns.resize(runs); // cells drawn again start no runs
    FDrawnEnd = std::max(FDrawnEnd, oldEnd + d);
    canvas.SetClip({left, y, FWidth, y + lh});
    DrawDecor(canvas);
    canvas.ResetClip();
    return endX;
}

void TCodeMemoPainter::PaintText(ICanvas& canvas, int y, TRow line, int screenRow, bool all) {
    TCustomCodeMemo& memo = Memo();
    const TTextStore& store = memo.Store();
    const TCM_Settings& s = memo.ActiveSettings();
    const int lh = Metrics().LineHeight;
    const int left = TextLeft();
    // A handler of OnDrawLine is given the whole row.
    PrepareWindow(line, memo.OnDrawLine ? -1 : memo.LeftColumn());
    const TLineRecord& rec = store.Line(line);
    FRowText = store.RowText(line);
    // The row's text is read in place: a handler below that edits ends its drawing (Paint).
    const uint64_t edits = store.Edits();
    FLineColours = rec.PaintA != -1 && rec.PaintB != -1;
    FLineFore = Resolve(TColor(rec.PaintA));
    FLineBack = Resolve(TColor(rec.PaintB));
    const int lineStart = store.PosFromLine(line).Value();
    if (size_t(screenRow) >= FPictures.size()) FPictures.resize(size_t(screenRow) + 1);
    TRowPicture& picture = FPictures[size_t(screenRow)];

    if (memo.OnDrawLine) {
        TLineDrawData data;
        data.Text = FLine.Text.c_str();
        data.Canvas = &canvas;
        data.Rect = {left, y, FWidth, y + lh};
        data.LineStart = lineStart;
        data.FirstColumn = memo.LeftColumn();
        bool endsBlank = !FLine.Text.empty() && FLine.Text.back() == ' ';
        data.Length = int(FLine.Text.size()) + (endsBlank ? 0 : 1);
        memo.OnDrawLine(memo, &data);
        if (data.Handled || store.Edits() != edits) {
            picture.Valid = false;
            return;
        }
    }

    // Selection in display columns.
    const int columns = INT32_MAX; // the row's end, wherever it is
    const int lineLen = int(FRowText.size());
    const TOffset rowStart = store.PosFromLine(line), rowEnd = rowStart + lineLen;
    const TOffset selA = std::min(Anchor(), Caret()), selB = std::max(Anchor(), Caret());
    bool showSel = selA != selB && (Focused() || !memo.HideSelection());
    int colA = columns, colB = columns;
    bool selPastEnd = false;
    if (showSel && selA < rowEnd && selB > rowStart) {
        // The spans drawn count columns as plain numbers.
        colA = ColumnOfChar(TOffset(selA - rowStart)).Value();
        colB = ColumnOfChar(TOffset(std::min(selB, rowEnd) - rowStart)).Value();
        selPastEnd = FRowText.ends_with('\r') && selB > rowEnd - 1;
    }
    TRowLook look;
    look.Line = line;
    look.LeftColumn = memo.LeftColumn();
    look.Width = FWidth;
    look.Left = left;
    look.Settings = &s;
    look.Enabled = memo.Enabled();
    look.Highlight = memo.HasOption(smoSyntaxHighlight);
    look.FocusLine = memo.ShowFocusLine() && memo.CaretRow() == line;
    look.Break = FBreak.Reported;
    look.BreakFore = FBreak.Fore;
    look.BreakBack = FBreak.Back;
    look.LineColours = FLineColours;
    look.LineFore = FLineFore;
    look.LineBack = FLineBack;
    look.SelPastEnd = selPastEnd;
    FDecor.clear();
    FMarkCalls.clear();
    if (memo.OnRowSwatches && !Printing()) {
        CollectSwatches(y, line);
        if (store.Edits() != edits) {
            picture.Valid = false;
            return;
        }
    }
    CollectMarks(y, line);
    // What shows right of the row's end.
    TColor endBack;
    if (FBreak.Reported)
        endBack = selPastEnd ? FBreak.Fore : FBreak.Back;
    else if (selPastEnd)
        endBack = Resolve(s.SelTextBackDefault ? clHighlight : s.SelTextBack);
    else
        endBack = StyleBack(s, s.Styles[0]);
    if (!memo.Enabled()) endBack = DisabledBack;
    // After an edit inside the row only the runs from the first change on are drawn again; the
    // canvas keeps the rest, and moves what the edit only moved.
    int changed = INT32_MAX;
    const int from = all ? -1 : RepaintFrom(picture, look, colA, colB, changed);
    TShift shift;
    const bool shifted =
        from >= 0 && from < INT32_MAX && FindShift(picture, from, changed, colA, colB, shift);
    int x = left;
    FRuns.clear();
    if (from >= 0 && !shifted) {
        for (const auto& run : picture.Runs)
            if (run.first < from) FRuns.push_back(run);
        for (const auto& run : picture.Runs)
            if (run.first == from) x = run.second;
    }
    const int start = std::max(from, 0);
    FDrawnEnd = memo.LeftColumn();
    if (shifted) {
        x = PaintShifted(canvas, y, picture, from, changed, shift, colA, colB, endBack);
    } else if (from < INT32_MAX) {
        canvas.SetClip({left, y, FWidth, y + lh});
        x = DrawSpan(canvas, x, y, start, columns, colA, colB);
        if (x < FWidth) canvas.FillRect({x, y, FWidth, y + lh}, endBack);
        if (memo.HasOption(smoShowAllChars) && x < FWidth) {
            if (FRowText.ends_with('\r'))
                DrawCentred(canvas, x + 1, y, lh, TPaintGlyphs::LineEnd());
            else if (memo.HasOption(smoWordWrap) && memo.Wrap().RowContinues(TRow(line)))
                DrawCentred(canvas, x + 1, y, lh, TPaintGlyphs::Continuation());
        }
        DrawDecor(canvas);
        canvas.ResetClip();
    } else {
        FRuns = picture.Runs; // nothing changed: the old picture stands
        FDrawnEnd = look.LeftColumn + int(picture.Tokens.size());
        x = picture.Ended ? 0 : FWidth;
    }
    // What the row shows now, for the next paint to compare with.
    picture.Valid = !Printing();
    picture.Look = look;
    picture.SelA = colA;
    picture.SelB = colB;
    picture.Ended = x < FWidth;
    picture.Runs.swap(FRuns);
    picture.Decor.swap(FDecor);
    const int end = std::max(look.LeftColumn, std::min(FDrawnEnd, FLine.Columns()));
    picture.Tokens.clear();
    picture.Text.clear();
    picture.ColumnByte.assign(1, 0);
    if (end > look.LeftColumn) { // the row reaches into the window
        const size_t a = size_t(look.LeftColumn - FLine.First), b = size_t(end - FLine.First);
        picture.Tokens.assign(FLine.Tokens.begin() + ptrdiff_t(a),
                              FLine.Tokens.begin() + ptrdiff_t(b));
        picture.Text.assign(FLine.Piece(look.LeftColumn, end));
        picture.ColumnByte.resize(b - a + 1);
        for (size_t i = a; i <= b; ++i)
            picture.ColumnByte[i - a] = FLine.ColumnByte[i] - FLine.ColumnByte[a];
    }
}

void TCodeMemoPainter::CollectSwatches(int y, TRow row) {
    TCustomCodeMemo& memo = Memo();
    const uint64_t edits = memo.Store().Edits();
    memo.RowSwatches(row, FRowText, FSwatchText, FSwatches);
    if (FSwatches.empty() || memo.Store().Edits() != edits) return;
    const int lh = Metrics().LineHeight;
    const int side = SwatchSide(lh, Metrics().CharWidth);
    const int top = y + (lh - side) / 2;
    auto columnX = [&](int inRow) {
        return ColumnX(ColumnOfChar(TOffset(std::min(inRow, int(FLine.Source.size())))));
    };
    for (const TSwatch& swatch : FSwatches) {
        const int x = columnX(swatch.Start);
        if (SwatchIsSquare(FRowText, swatch)) {
            if (x - side - 1 >= FWidth) break;
            // A grey frame keeps a white or background-coloured swatch visible.
            FDecor.push_back({x - side - 1, top, x - 1, top + side, SwatchFrameColor, false});
            FDecor.push_back({x - side, top + 1, x - 2, top + side - 1, swatch.Color, false});
            continue;
        }
        if (x >= FWidth) break;
        // A piece cut by word wrap has its bar under the part on this row.
        const int right = columnX(swatch.Start + swatch.Length);
        if (right - x < 3) continue;
        // The bottom row and the ends in grey, like the square's frame.
        const int bottom = y + lh;
        FDecor.push_back(
            {x + 1, bottom - SwatchBarHeight, right - 1, bottom, SwatchFrameColor, false});
        FDecor.push_back(
            {x + 2, bottom - SwatchBarHeight, right - 2, bottom - 1, swatch.Color, false});
    }
}

std::array<int, 2> TCodeMemoPainter::MarginLineXs() {
    TCustomCodeMemo& memo = Memo();
    const int first = memo.LeftColumn();
    const int visible = FMeasure.VisibleColumns(FWidth, TextLeft());
    auto at = [&](int column) {
        return first < column && column - first < visible
                   ? TextLeft() + (column - first) * Metrics().CharWidth
                   : -1;
    };
    std::array<int, 2> xs{-1, -1};
    if (memo.HasOption(smoShowRMargin)) xs[0] = at(memo.RightMargin());
    if (memo.HasOption(smoWordWrap) && memo.HasOption(smoShowWrapColumn) && memo.WrapAtColumn() > 0)
        xs[1] = at(memo.WrapAtColumn());
    return xs;
}

void TCodeMemoPainter::PaintMarginLines(ICanvas& canvas, int y) {
    const int lh = Metrics().LineHeight;
    const std::array<int, 2> xs = MarginLineXs();
    if (xs[0] >= 0) canvas.Line(xs[0], y, xs[0], y + lh, RightMarginColor, psSolid);
    if (xs[1] >= 0) canvas.Line(xs[1], y, xs[1], y + lh, RightMarginColor, psDot);
}

} // namespace quillet
