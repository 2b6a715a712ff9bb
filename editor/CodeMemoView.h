// The control's simple view: paints visible lines, places the caret, maps offsets and pixels.
#pragma once

#include "editor/Units.h"
#include "platform/Canvas.h"
#include "platform/Fonts.h"
#include "platform/Types.h"

#include <optional>
#include <string>
#include <vector>

namespace quillet {

class TCustomCodeMemo;

// Font metrics of the view; without a window: 7 x 17, proportional.
struct TViewMetrics {
    int CharWidth = 7;
    int LineHeight = 17;
    bool FixedPitch = false;
};

class TCodeMemoView {
public:
    explicit TCodeMemoView(TCustomCodeMemo& memo) : FMemo(memo) {}
    virtual ~TCodeMemoView() = default;

    // Re-measures the control's font (on font or settings changes).
    virtual void RecalcMetrics();
    const TViewMetrics& Metrics() const { return FMetrics; }
    const TFontHandle& Font() const { return FFont; }
    int TextLeft() const;

    // Draws what is dirty (everything after InvalidateAll) into the canvas.
    virtual void Paint(ICanvas& canvas);
    void InvalidateAll() { FAllDirty = true; }
    // Brings the attribute bytes up to date through `line`, as painting that line would.
    virtual void ScanThrough(int line) { (void)line; }
    // The same, but each scan stops after about `lines` lines instead of running on to where
    // the bytes come out unchanged: a reader going through the text once scans as it goes.
    virtual void ScanThroughInSteps(int line, int lines) {
        (void)lines;
        ScanThrough(line);
    }
    bool AllDirty() const { return FAllDirty; }
    void PlaceCaret();
    // The caret's width: a 2-pixel bar, or a block in overwrite mode; recreated on a change.
    virtual int CaretWidth() const;

    // Pixel of an offset in client coordinates; (-1, -1) above the top line.
    TPoint OffsetToPixel(TOffset offset) const;
    // Where the caret is drawn: as OffsetToPixel, but on the row the caret stands on, which at
    // an offset two rows share may be the earlier one (the virtual column aside).
    TPoint CaretPixel() const;
    // Pixel of text offset `offset` drawn on `row` (its own, or the row it ends).
    TPoint PixelOnRow(TRow row, TOffset offset) const;
    // Offset at a client point; none outside the text area.
    std::optional<TOffset> PixelToOffset(int x, int y) const;
    // As PixelToOffset, but clamped into the text area (clicks, drags).
    TOffset PixelToOffsetClamped(int x, int y) const;
    // Width in pixels of the display columns [from, to) of a row.
    int ColumnsWidth(TRow row, TColumn fromColumn, TColumn toColumn) const;

    // A colour with system colours resolved to their usual values.
    static TColor Resolve(TColor c);

protected:
    TCustomCodeMemo& Memo() const { return FMemo; }
    void SetMetrics(const TViewMetrics& metrics, TFontHandle font) {
        FMetrics = metrics;
        FFont = std::move(font);
        FAllDirty = true;
    }
    void ClearAllDirty() { FAllDirty = false; }
    TOffset Anchor() const;
    TOffset Caret() const;
    bool Focused() const;

private:
    // The line's text with tabs expanded, and for each display column its character offset.
    std::string Expand(TRow row, std::vector<int>& columnToChar) const;
    // `shown`: the row's place from the top of the window.
    void PaintLine(ICanvas& canvas, int shown, TRow row);

    TCustomCodeMemo& FMemo;
    TViewMetrics FMetrics;
    TFontHandle FFont;
    bool FAllDirty = true;
    int FCaretWidth = -1;
};

} // namespace quillet
