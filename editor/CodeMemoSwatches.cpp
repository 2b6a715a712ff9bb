// Clicks on colour swatches: the colour dialog, and the piece rewritten as one undo step.
#include "editor/CodeMemo.h"
#include "editor/CodeMemoView.h"
#include "platform/Platform.h"

namespace quillet {

bool TCustomCodeMemo::SwatchClick(int x, int y) {
    if (!OnRowSwatches || !OnSwatchColor || !FView) return false;
    const int lh = FView->Metrics().LineHeight;
    const int side = SwatchSide(lh, FView->Metrics().CharWidth);
    // A square stands just left of its piece, a bar under it: look at the row right of the click.
    int at = FView->PixelToOffset(x + side + 1, y);
    if (at < 0) return false;
    // Past the end of a row cut by word wrap the offset is the next row's start.
    if (at > 0 && FView->OffsetToPixel(at).Y > y) --at;
    const int line = FStore->LineFromPos(at);
    const int lineStart = FStore->PosFromLine(line);
    const std::string row(FStore->Line(line).View());
    std::vector<TSwatch> swatches;
    OnRowSwatches(*this, row, swatches);
    for (const TSwatch& swatch : swatches) {
        const TPoint p = FView->OffsetToPixel(lineStart + swatch.Start);
        if (SwatchIsSquare(row, swatch)) {
            const int top = p.Y + (lh - side) / 2;
            if (x < p.X - side - 1 || x >= p.X - 1 || y < top || y >= top + side) continue;
        } else {
            // The bar's right end: where the piece ends on this row. The row's very end (a row
            // cut by word wrap has no break) maps onto the next row, so it is measured from the
            // last character instead.
            const int end = std::min(swatch.Start + swatch.Length, int(row.size()));
            if (end <= swatch.Start) continue;
            const int right = end < int(row.size()) ? FView->OffsetToPixel(lineStart + end).X
                                                    : FView->OffsetToPixel(lineStart + end - 1).X +
                                                          FView->Metrics().CharWidth;
            if (x < p.X || x >= right || y < p.Y + lh - SwatchBarReach(lh) || y >= p.Y + lh)
                continue;
        }
        if (!Platform().Dialogs) return true;
        const auto chosen = Platform().Dialogs->ChooseColor(swatch.Color);
        if (!chosen) return true;
        const std::string piece = row.substr(size_t(swatch.Start), size_t(swatch.Length));
        const std::string text = OnSwatchColor(*this, piece, *chosen);
        if (text == piece) return true;
        Perform(EM_SETSEL, WPARAM(lineStart + swatch.Start),
                LPARAM(lineStart + swatch.Start + swatch.Length));
        Perform(EM_REPLACESEL, 1, LPARAM(text.c_str()));
        return true;
    }
    return false;
}

} // namespace quillet
