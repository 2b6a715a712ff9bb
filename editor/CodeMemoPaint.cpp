#include "editor/CodeMemoPaint.h"

#include "editor/CodeMemo.h"
#include "editor/CodeMemoWrap.h"
#include "editor/Rescan.h"
#include "highlight/Settings.h"
#include "platform/Platform.h"

#include <algorithm>

namespace quillet {

namespace {
constexpr TColor RightMarginColor = 0xC0C0C0;
constexpr TColor DisabledBack = 0xC0C0C0;
} // namespace

TCodeMemoPainter::TCodeMemoPainter(TCustomCodeMemo& memo) : TCodeMemoView(memo) {}

TCodeMemoPainter::~TCodeMemoPainter() = default;

void TCodeMemoPainter::RecalcMetrics() {
    TFontDesc desc = Memo().Font();
    desc.Style = Memo().ActiveSettings().Styles[0].FontStyle;
    IFonts* fonts = Platform().Fonts.get();
    FMeasure.Measure(fonts, desc, Memo().Host() != nullptr);
    FFonts.fill(nullptr);
    FGutterFont = nullptr;
    TFontHandle font = fonts ? StyleFont(desc.Style) : nullptr;
    SetMetrics(FMeasure.View(), font);
}

const TFontHandle& TCodeMemoPainter::StyleFont(uint8_t fontStyle) {
    TFontHandle& slot = FFonts[fontStyle & 15];
    if (!slot && Platform().Fonts) {
        TFontDesc desc = Memo().Font();
        desc.Style = TFontStyles(fontStyle & 15);
        slot = Platform().Fonts->CreateFont(desc);
    }
    return slot;
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

void TCodeMemoPainter::ScanVisible(int lastLine) {
    TTextStore& store = Memo().Store();
    auto* def = dynamic_cast<TCodeMemoParser*>(Memo().ActiveDefinition());
    if (FScanStore != &store) {
        FScanner.reset();
        FScanStore = &store;
        FScanDef = nullptr;
    }
    if (!def) {
        FScanner.reset();
        FScanDef = nullptr;
        return;
    }
    if (!FScanner) {
        FScanner = std::make_unique<TRescanner>(store);
        Memo().Wrap().Attach(store); // rows are re-cut after the scanner has heard of an edit
    }
    if (FScanDef != def) {
        FScanner->SetDefinition(def);
        FScanDef = def;
    }
    if (FScanner->Pending()) FScanner->ScanThrough(std::min(lastLine, store.LineCount() - 1));
}

void TCodeMemoPainter::Paint(ICanvas& canvas) {
    TCustomCodeMemo& memo = Memo();
    TTextStore& store = memo.Store();
    const int lh = Metrics().LineHeight;
    const int height = canvas.Size().Height;
    FWidth = canvas.Size().Width;
    FRowsDrawn = 0;
    const int top = memo.TopLine();
    ScanVisible(top + height / std::max(1, lh) + 1);
    const int count = store.LineCount();
    const bool all = AllDirty();
    for (int row = 0; row * lh < height; ++row) {
        int line = top + row;
        int y = row * lh;
        bool exists = line < count;
        bool dirty =
            all || !exists || count == 1 || (store.Line(line).Flags & (lfRepaint | lfRescan)) != 0;
        if (!dirty) continue;
        // Rows below the text are cheap and always redrawn, so a shrinking text leaves no ghosts.
        ++FRowsDrawn;
        PaintGutter(canvas, y, exists ? line : -1);
        const int left = TextLeft();
        const int margin = memo.Margin();
        const TCM_Settings& s = memo.ActiveSettings();
        if (margin > 0) {
            TColor mc = s.MarginColorDefault ? StyleBack(s, s.Styles[0]) : Resolve(s.MarginColor);
            canvas.FillRect({left - margin, y, left, y + lh}, mc);
        }
        if (!exists) {
            TColor back = StyleBack(s, s.Styles[0]);
            if (!memo.Enabled()) back = DisabledBack;
            canvas.FillRect({left, y, FWidth, y + lh}, back);
        } else {
            PaintText(canvas, y, line);
            store.Line(line).Flags &= ~uint32_t(lfRepaint | lfRescan | lfScanRestart);
        }
        PaintMarginLines(canvas, y);
    }
    ClearAllDirty();
}

void TCodeMemoPainter::PaintGutter(ICanvas& canvas, int y, int line) {
    TCustomCodeMemo& memo = Memo();
    const int g = memo.Gutter();
    if (!memo.HasOption(smoShowGutter) || g <= 0) return;
    const TCM_Settings& s = memo.ActiveSettings();
    const int lh = Metrics().LineHeight;
    canvas.SetClip({0, y, g, y + lh});
    canvas.FillRect({0, y, g, y + lh},
                    Resolve(s.GutterColorDefault ? TColor(0x80000000) : s.GutterColor));
    if (g > 9) canvas.Line(g - 2, y, g - 2, y + lh, clWhite);
    if (line >= 0 && memo.HasOption(smoLineNumbers)) {
        const TTextStore& store = memo.Store();
        const TLineRecord& rec = store.Line(line);
        bool startsLogical = line == 0 || store.Line(line - 1).View().ends_with('\r');
        bool hasGlyphs = rec.Glyphs != 0 || rec.Marks != 0;
        if (startsLogical && !hasGlyphs) {
            if (!FGutterFont && Platform().Fonts)
                FGutterFont = Platform().Fonts->CreateFont(memo.GutterFont());
            // Without wrapping every display line is a logical line; with it, count breaks.
            int number = line + 1;
            if (memo.HasOption(smoWordWrap)) {
                number = 1;
                for (int i = 0; i < line; ++i)
                    if (store.Line(i).View().ends_with('\r')) ++number;
            }
            std::string text = std::to_string(number).substr(0, 8);
            canvas.SetFont(FGutterFont);
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
    from = std::max(from, memo.LeftColumn());
    to = std::min(to, FLine.Columns());
    while (from < to && x < FWidth) {
        uint8_t token = FLine.HasTokens ? FLine.Tokens[size_t(from)] : 0;
        int end = from + 1;
        while (end < to && (FLine.HasTokens ? FLine.Tokens[size_t(end)] : 0) == token)
            ++end;
        const TCM_Style& style = s.Styles[s.StyleMap[token]];
        TColor fore, back;
        if (selected) {
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
        if (!memo.Enabled()) back = DisabledBack;
        const TFontHandle& font = StyleFont(highlight ? style.FontStyle : s.Styles[0].FontStyle);
        // A run reaching past the right edge is cut to what can show, with some slack for
        // narrow characters of a proportional font.
        int n = end - from;
        int fit = std::max(1, (FWidth - x) / std::max(1, cw));
        if (n > fit) {
            n = std::max(1, std::min(n, fit + fit / 2));
        } else if (static_cast<unsigned char>(
                       FLine.Text[size_t(FLine.ColumnByte[size_t(end - 1)])]) < 32) {
            --n; // a trailing control character is not drawn
        }
        int a = FLine.ColumnByte[size_t(from)];
        int b = FLine.ColumnByte[size_t(from + n)];
        std::string_view piece = std::string_view(FLine.Text).substr(size_t(a), size_t(b - a));
        int w;
        canvas.SetFont(font);
        if (Metrics().FixedPitch) {
            w = (end - from) * cw;
            canvas.FillRect({x, y, x + w, y + lh}, back);
            if (n > 0) canvas.TextOut(x, y, piece, fore, back, FMeasure.Advances(n));
        } else {
            w = font ? font->TextWidth(piece) : n * cw;
            canvas.FillRect({x, y, x + w, y + lh}, back);
            if (n > 0) canvas.TextOut(x, y, piece, fore, back);
        }
        x += w;
        from = end;
    }
    return x;
}

void TCodeMemoPainter::PaintText(ICanvas& canvas, int y, int line) {
    TCustomCodeMemo& memo = Memo();
    const TTextStore& store = memo.Store();
    const TCM_Settings& s = memo.ActiveSettings();
    const int lh = Metrics().LineHeight;
    const int left = TextLeft();
    Prepare(
        store, line, [&](int column) { return memo.NextTabStop(column); }, FLine);
    const TLineRecord& rec = store.Line(line);
    FLineColours = rec.PaintA != -1 && rec.PaintB != -1;
    FLineFore = Resolve(TColor(rec.PaintA));
    FLineBack = Resolve(TColor(rec.PaintB));

    // Selection in display columns.
    const int columns = FLine.Columns();
    const int lineStart = store.PosFromLine(line);
    const int lineLen = rec.Length;
    int selA = std::min(Anchor(), Caret()), selB = std::max(Anchor(), Caret());
    bool showSel = selA != selB && (Focused() || !memo.HideSelection());
    int colA = columns, colB = columns;
    bool selPastEnd = false;
    if (showSel && selA < lineStart + lineLen && selB > lineStart) {
        auto toColumn = [&](int offset) {
            int inLine = offset - lineStart;
            if (inLine <= 0) return 0;
            auto it = std::lower_bound(FLine.ColumnChar.begin(), FLine.ColumnChar.end(), inLine);
            return int(it - FLine.ColumnChar.begin());
        };
        colA = toColumn(selA);
        colB = std::min(columns, toColumn(std::min(selB, lineStart + lineLen)));
        selPastEnd = rec.View().ends_with('\r') && selB > lineStart + lineLen - 1;
    }
    canvas.SetClip({left, y, FWidth, y + lh});
    int x = left;
    x = DrawRuns(canvas, x, y, 0, colA, false);
    x = DrawRuns(canvas, x, y, colA, colB, true);
    x = DrawRuns(canvas, x, y, colB, columns, false);
    if (x < FWidth) {
        TColor back = selPastEnd ? Resolve(s.SelTextBackDefault ? clHighlight : s.SelTextBack)
                                 : StyleBack(s, s.Styles[0]);
        if (!memo.Enabled() && !selPastEnd) back = DisabledBack;
        canvas.FillRect({x, y, FWidth, y + lh}, back);
    }
    canvas.ResetClip();
}

void TCodeMemoPainter::PaintMarginLines(ICanvas& canvas, int y) {
    TCustomCodeMemo& memo = Memo();
    if (!memo.HasOption(smoShowRMargin)) return;
    const int lh = Metrics().LineHeight;
    int rm = memo.RightMargin(), first = memo.LeftColumn();
    int visible = FMeasure.VisibleColumns(FWidth, TextLeft());
    if (first < rm && rm - first < visible) {
        int x = TextLeft() + (rm - first) * Metrics().CharWidth;
        canvas.Line(x, y, x, y + lh, RightMarginColor);
    }
}

} // namespace quillet
