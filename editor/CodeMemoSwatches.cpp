// Clicks on colour swatches: the colour dialog, and the piece rewritten as one undo step.
#include "editor/CodeMemo.h"
#include "editor/CodeMemoView.h"
#include "editor/CodeMemoWrap.h"
#include "platform/Platform.h"

namespace quillet {

namespace {
// How far into the rows below a colour cut at a row's end is looked for: longer than any colour.
constexpr size_t SwatchLookAhead = 96;

bool WordChar(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '#' ||
           c == '-' || c == '_';
}
} // namespace

void TCustomCodeMemo::RowSwatches(TRow at, std::string_view row, std::string& scratch,
                                  std::vector<TSwatch>& out) {
    out.clear();
    if (!OnRowSwatches) return;
    const TRow end(FStore->LineCount());
    std::string_view text = row;
    if (at + 1 < end && FWrap->RowContinues(at)) {
        scratch.assign(row);
        for (TRow next = at + 1; next < end && scratch.size() < row.size() + SwatchLookAhead;
             ++next) {
            const std::string_view more = FStore->RowText(next);
            scratch.append(more.substr(0, row.size() + SwatchLookAhead - scratch.size()));
            if (!FWrap->RowContinues(next)) break;
        }
        text = scratch;
    }
    OnRowSwatches(*this, text, out);
    const std::string_view before = at > TRow(0) ? FStore->RowText(at - 1) : "";
    const bool tail = at > TRow(0) && FWrap->RowContinues(at - 1) &&
                      WordChar(before.empty() ? ' ' : before.back());
    std::erase_if(out, [&](const TSwatch& s) {
        return s.Start >= int(row.size()) || (tail && s.Start == 0);
    });
}

bool TCustomCodeMemo::SwatchClick(int x, int y) {
    if (!OnRowSwatches || !OnSwatchColor || !FView) return false;
    const int lh = FView->Metrics().LineHeight;
    const int side = SwatchSide(lh, FView->Metrics().CharWidth);
    // A square stands just left of its piece, a bar under it: look at the row right of the click.
    const std::optional<TOffset> hit = FView->PixelToOffset(x + side + 1, y);
    if (!hit) return false;
    TOffset at = *hit;
    // Past the end of a row cut by word wrap the offset is the next row's start.
    if (at > TOffset(0) && FView->OffsetToPixel(at).Y > y) --at;
    const TRow line = FStore->LineFromPos(at);
    const TOffset lineStart = FStore->PosFromLine(line);
    const std::string row(FStore->RowText(line));
    std::vector<TSwatch> swatches;
    std::string scratch;
    RowSwatches(line, row, scratch, swatches);
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
        const uint64_t edits = FStore->Edits();
        const auto chosen = Platform().Dialogs->ChooseColor(swatch.Color);
        if (!chosen) return true;
        const std::string piece =
            FStore->StoredText(lineStart + swatch.Start, lineStart + swatch.Start + swatch.Length);
        const std::string text = OnSwatchColor(*this, piece, *chosen);
        // The colour goes where the piece was found; a handler that changed the text meanwhile
        // left that place stale, and writing there would damage whatever stands there now.
        if (text == piece || FStore->Edits() != edits) return true;
        const TOffset from = lineStart + swatch.Start;
        Perform(EM_SETSEL, WPARAM(from.Value()), LPARAM((from + swatch.Length).Value()));
        Perform(EM_REPLACESEL, 1, LPARAM(text.c_str()));
        return true;
    }
    return false;
}

} // namespace quillet
