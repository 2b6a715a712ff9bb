// Printing: the lines of the selection laid out on pages by the line renderer in printing mode.
#include "editor/CodeMemo.h"

#include "editor/CodeMemoPaint.h"
#include "editor/CodeMemoWrap.h"
#include "highlight/Settings.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cstdio>

namespace quillet {

namespace {

// Lays out rows on pages: the header and footer of each page, line numbers, the pieces a long
// line is cut into, and page breaks. One per print job.
class TPageLayout {
public:
    TPageLayout(TCustomCodeMemo& memo, IPrinter& printer, const TRect& page)
        : FMemo(memo), FPrinter(printer), FCanvas(printer.Canvas()), FPainter(memo), FPage(page) {
        FPainter.SetPrinting(&printer.Fonts());
        FLineHeight = std::max(1, FPainter.Metrics().LineHeight);
        FCharWidth = std::max(1, FPainter.Metrics().CharWidth);
        FLineNumbers = memo.HasOption(smoPrintLineNos);
        FWrap = memo.HasOption(smoPrintWrap);
        FPlainFont = FPainter.FontFor(memo.ActiveSettings().Styles[0].FontStyle);
        FEdits = memo.Store().Edits();
    }

    void Run(TRow firstRow, TRow lastRow) {
        TCodeMemoWrap& wrap = FMemo.Wrap();
        auto nextStop = [this](int column) { return FMemo.NextTabStop(column); };
        int number = 0;
        for (TRow row = firstRow; row <= lastRow && !Stale(); ++row) {
            bool starts = row == TRow(0) || !wrap.RowContinues(row - 1);
            if (starts) ++number;
            if (FWrap) {
                // Paper has its own width: the rows a logical line was cut into on the screen
                // are joined again (within the range) and cut anew.
                TRow last = row;
                while (last < lastRow && wrap.RowContinues(last))
                    ++last;
                if (last == row) {
                    PrepareRow(row);
                } else {
                    JoinRows(row, last);
                    FHasTab = FJoined.find('\t') != std::string::npos;
                    TCodeMemoPainter::PrepareText(FJoined, &FJoinedAttrs, nextStop,
                                                  FPainter.PrintLine());
                }
                row = last;
            } else {
                PrepareRow(row);
            }
            PrintLine(starts ? number : 0);
        }
    }

private:
    // A header handler changed the text: the rows to print and the line prepared from them are
    // gone, and the document ends with the pages laid out so far.
    bool Stale() const { return FMemo.Store().Edits() != FEdits; }

    void PrepareRow(TRow row) {
        FHasTab = FMemo.Store().RowText(row).find('\t') != std::string_view::npos;
        TCodeMemoPainter::Prepare(
            FMemo.Store(), row, [this](int column) { return FMemo.NextTabStop(column); },
            FPainter.PrintLine());
    }

    void JoinRows(TRow first, TRow last) {
        const TTextStore& store = FMemo.Store();
        FJoined.clear();
        FJoinedAttrs.clear();
        for (TRow r = first; r <= last; ++r) {
            const TLineRecord& rec = store.Line(r);
            std::string_view text = store.RowText(r);
            if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
            FJoined.append(text);
            const std::vector<uint8_t>* attrs = rec.Extra ? &rec.Extra->Attributes : nullptr;
            for (size_t i = 0; i < text.size(); ++i)
                FJoinedAttrs.push_back(attrs && i < attrs->size() ? (*attrs)[i] : 0);
        }
    }

    bool Blank(int column) const {
        const TPreparedLine& line = FPainter.PrintLine();
        return line.Text[size_t(line.ColumnByte[size_t(column)])] == ' ';
    }

    // Where the piece that starts at `start` ends: at most `limit` columns, cut after the last
    // run of blanks inside the limit, or at the limit when there is none.
    int PieceEnd(int start, int limit) const {
        const int columns = FPainter.PrintLine().Columns();
        if (!FWrap || columns - start <= limit) return columns;
        int blank = -1;
        for (int c = start + limit - 1; c >= start; --c)
            if (Blank(c)) {
                blank = c;
                break;
            }
        if (blank < 0) return start + limit;
        int end = blank + 1;
        while (end < columns && Blank(end))
            ++end; // blanks never start the next piece
        return end;
    }

    // One logical line (or row): its pieces, each on a printed line of its own.
    void PrintLine(int number) {
        const TPreparedLine& line = FPainter.PrintLine();
        int start = 0;
        do {
            BeginLine();
            if (Stale()) return;
            // Tabs count in visual columns; a line holding one keeps a tab stop of slack.
            int limit = (FTextRight - FTextLeft) / FCharWidth - 1;
            if (FHasTab) limit -= FMemo.TabDefault();
            limit = std::max(1, limit);
            int end = PieceEnd(start, limit);
            if (start == 0 && number > 0 && FLineNumbers) PrintNumber(number);
            FCanvas.SetClip({FTextLeft, FY, FTextRight, FY + FLineHeight});
            FPainter.PrintRuns(FCanvas, FTextLeft, FY, start, end, FTextRight, FTransparent);
            FCanvas.ResetClip();
            FY += FLineHeight;
            ++FLinesOnPage;
            start = end;
        } while (start < line.Columns());
    }

    void PrintNumber(int number) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%6d:", number);
        FCanvas.SetFont(FPlainFont);
        FCanvas.SetClip({FPage.Left, FY, FTextLeft, FY + FLineHeight});
        FCanvas.TextOut(FPage.Left, FY, buf, clBlack, FTransparent ? clNone : clWhite);
        FCanvas.ResetClip();
    }

    // Before each printed line: the first page, or a new one when this line would pass the
    // text bottom. A page always takes one line, however small it is.
    void BeginLine() {
        if (!FPageOpen) {
            FPageOpen = true;
            StartPage();
        } else if (FLinesOnPage > 0 && FY + FLineHeight > FTextBottom) {
            FPrinter.NewPage();
            StartPage();
        }
    }

    void StartPage() {
        FLinesOnPage = 0;
        const int lh = FLineHeight;
        const int numbersWidth = FLineNumbers ? 10 * FCharWidth : 0;
        FTextLeft = FPage.Left + numbersWidth;
        FTextTop = FPage.Top;
        FTextRight = FPage.Right;
        FTextBottom = FPage.Bottom;
        FTransparent = false;
        if (FMemo.OnPrintHeaderFooter) {
            TRect r = FPage;
            bool transparent = false;
            FMemo.OnPrintHeaderFooter(FMemo, FCanvas, r, transparent);
            FTextLeft = r.Left + numbersWidth;
            FTextTop = r.Top;
            FTextRight = r.Right;
            FTextBottom = r.Bottom;
            FTransparent = transparent;
        } else {
            const bool title = FMemo.HasOption(smoPrintFilename);
            const bool date = FMemo.HasOption(smoPrintDate);
            const bool pageNumbers = FMemo.HasOption(smoPrintPageNos);
            FCanvas.SetFont(FPlainFont);
            if (title || date) {
                FCanvas.SetClip({FPage.Left, FPage.Top, FPage.Right, FPage.Top + lh});
                if (title)
                    FCanvas.TextOut(FPage.Left, FPage.Top, FMemo.PrintTitle(), clBlack, clWhite);
                if (date) {
                    std::string stamp = FPrinter.ShortDate() + " - " + FPrinter.ShortTime();
                    int w = FCanvas.TextExtent(stamp).Width;
                    FCanvas.TextOut(FPage.Right - w, FPage.Top, stamp, clBlack, clWhite);
                }
                FCanvas.ResetClip();
                FCanvas.Line(FPage.Left, FPage.Top + 2 * lh, FPage.Right, FPage.Top + 2 * lh,
                             clBlack);
                FTextTop = FPage.Top + 3 * lh;
            }
            if (pageNumbers) {
                char buf[32];
                std::snprintf(buf, sizeof buf, "- %d -", FPrinter.PageNumber());
                int w = FCanvas.TextExtent(buf).Width;
                int boxTop = FPage.Bottom - lh * 5 / 2;
                FCanvas.TextOut((FPage.Left + FPage.Right - w) / 2, boxTop, buf, clBlack, clWhite);
                FCanvas.Line(FPage.Left, FPage.Bottom - 3 * lh, FPage.Right, FPage.Bottom - 3 * lh,
                             clBlack);
                FTextBottom = FPage.Bottom - 4 * lh;
            }
        }
        // However narrow the area, the text keeps a column: line numbers give way first.
        FTextLeft = std::max(std::min(FTextLeft, FTextRight - FCharWidth),
                             std::min(FTextLeft - numbersWidth, FTextRight - FCharWidth));
        FY = FTextTop;
    }

    TCustomCodeMemo& FMemo;
    IPrinter& FPrinter;
    ICanvas& FCanvas;
    TCodeMemoPainter FPainter; // the line renderer, measuring on the printer
    TRect FPage;
    TFontHandle FPlainFont;
    int FLineHeight = 17, FCharWidth = 7;
    bool FLineNumbers = false, FWrap = false, FHasTab = false;
    bool FPageOpen = false, FTransparent = false;
    int FLinesOnPage = 0;
    int FY = 0, FTextLeft = 0, FTextTop = 0, FTextRight = 0, FTextBottom = 0;
    uint64_t FEdits = 0; // the store's edit count when the layout began
    std::string FJoined;
    std::vector<uint8_t> FJoinedAttrs;
};

} // namespace

void TCustomCodeMemo::SelectionRows(TRow& firstRow, TRow& lastRow) {
    const TOffset a = ClampOffset(SelFirst());
    const TOffset b = ClampOffset(SelLast());
    if (a == b) {
        firstRow = lastRow = CaretRow();
        return;
    }
    firstRow = FStore->LineFromPos(a);
    lastRow = FStore->LineFromPos(b);
    // A selection that ends where a line starts does not take that line.
    if (lastRow > firstRow && FStore->PosFromLine(lastRow) == b) --lastRow;
}

void TCustomCodeMemo::PrintSelection() {
    if (Platform().Printer) PrintSelection(*Platform().Printer);
}

void TCustomCodeMemo::PrintSelection(IPrinter& printer) {
    TRow first, last;
    SelectionRows(first, last);
    // Printing takes rows as numbers, as its callers give them.
    Print(printer, first.Value(), last.Value());
}

void TCustomCodeMemo::Print(IPrinter& printer, int firstRow, int lastRow) {
    if (FPrinting) return; // a handler that prints again while a page is being laid out
    const int count = FStore->LineCount();
    firstRow = std::clamp(firstRow, 0, count - 1);
    lastRow = std::clamp(lastRow, firstRow, count - 1);
    // The printed lines carry their token values, as painting them would have left them.
    FView->ScanThrough(lastRow);
    FPrinting = true;
    auto restore = [this] {
        FPrinting = false;
        RecalcMetrics();
        Notify();
        Repaint();
    };
    try {
        printer.BeginDoc(FPrintTitle);
        try {
            TSize size = printer.PageSize();
            TRect page = size.Width > 0 && size.Height > 0 ? TRect{0, 0, size.Width, size.Height}
                                                           : FPageRect;
            TPageLayout(*this, printer, page).Run(TRow(firstRow), TRow(lastRow));
        } catch (...) {
            printer.Abort();
            throw;
        }
        printer.EndDoc();
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

} // namespace quillet
