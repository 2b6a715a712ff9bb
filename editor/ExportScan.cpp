// The export's scan: the re-scan's loop over one flat text, with the bytes in a sliding window.
#include "editor/ExportScan.h"

#include <algorithm>
#include <cstring>

namespace quillet {

namespace {

// Bytes scanned ahead of the row asked for in one go: the window stays in the cache while the
// writer walks it.
constexpr size_t kBlock = size_t(1) << 15;
// Room kept past the furthest character a run may start at: the tokenizer writes eight bytes at
// once for a short token.
constexpr size_t kSlack = 16;

} // namespace

TExportScanner::TExportScanner(TCodeMemoParser& definition, std::string_view text)
    : FDef(definition), FText(text) {
    // The state of a scan from the text's start.
    FDef.ResetState(0);
    FDef.State = FDef.StartState;
    FDef.SelectStartTable();
    FDef.BeginRun();
    FBytes.resize(2 * kBlock + kSlack);
}

TExportScanner::~TExportScanner() {
    FDef.ResetState(0);
}

TTokenCursor TExportScanner::CursorAt(size_t pos) const {
    TTokenCursor c;
    c.Text = reinterpret_cast<const uint8_t*>(FText.data()) + FBase;
    c.Length = FText.size() - FBase;
    c.Pos = pos - FBase;
    // The window starts at a row, and every row starts a line (no control lays these rows out).
    c.MidLine = FBase > 0 && FText[FBase - 1] != '\r';
    return c;
}

void TExportScanner::Reserve(size_t relativeEnd) {
    if (relativeEnd <= FBytes.size()) return;
    FBytes.resize(std::max(relativeEnd, FBytes.size() * 2));
}

const uint8_t* TExportScanner::Row(size_t start, size_t end) {
    // The bytes before the row are written: drop them, unless a bound region still counts
    // on offsets from the window's start.
    if (start - FBase >= kBlock && !FDef.BoundOpen() && start <= FPos) {
        std::memmove(FBytes.data(), FBytes.data() + (start - FBase), FPos - start);
        FBase = start;
    }
    if (FPos < end) ScanTo(std::max(end, std::min(FText.size(), FPos + kBlock)));
    return FBytes.data() + (start - FBase);
}

void TExportScanner::ScanTo(size_t want) {
    while (FPos < want && FPos < FText.size())
        Step(want);
    FHeldMost = std::max(FHeldMost, FBytes.size());
}

void TExportScanner::Step(size_t want) {
    TCodeMemoParser& def = FDef;
    if (!def.BoundOpen()) {
        // Runs of tokens in one call, in the room the window has; a token that outgrows it is
        // tokenized again over a wider one.
        Reserve(want - FBase + kSlack);
        def.SaveScan(FSnap);
        for (;;) {
            TTokenCursor cur = CursorAt(FPos);
            const size_t room = FBytes.size() - kSlack;
            size_t at = cur.Pos;
            const auto why = def.TokenRun(cur, std::min(want - FBase, room), SIZE_MAX,
                                          FBytes.size(), FBytes.data(), at);
            if (why == TCodeMemoParser::rsMargin) {
                def.RestoreScan(FSnap);
                Reserve(FBytes.size() * 2);
                continue;
            }
            // A bound region just opened: its container's stretch is scanned again in the
            // region's state.
            FPos = FBase + (why == TCodeMemoParser::rsOpened ? at : cur.Pos);
            return;
        }
    }
    // Inside a bound region: token by token.
    const size_t regionEnd = FBase + def.BoundEnd();
    TTokenCursor cur = CursorAt(FPos);
    const auto value = uint8_t(def.NextToken(cur));
    const size_t end = std::max(FBase + cur.Pos, FPos + 1);
    Reserve(end - FBase + kSlack);
    if (value != 0) {
        std::memset(FBytes.data() + (FPos - FBase), value, end - FPos);
    } else if (end > regionEnd) {
        // Default text inside a region keeps the container's value.
        const size_t from = std::max(FPos, regionEnd);
        std::memset(FBytes.data() + (from - FBase), 0, end - from);
    }
    FPos = end;
}

} // namespace quillet
