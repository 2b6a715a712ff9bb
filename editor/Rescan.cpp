// Re-scanning: restart at an anchor token, tokenize forward, stop where lines come out unchanged.
#include "editor/Rescan.h"

#include "editor/ScanStates.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

namespace quillet {

namespace {

// The window always reaches this far past a token's start (or to the text end), so look-ahead
// of keywords and end sequences never runs off it; a token that ends closer than kMargin to the
// window's end is tokenized again over a longer window.
constexpr size_t kLookahead = 4096;
constexpr size_t kMargin = 64;
// Settled text is dropped from the window's front once this much has piled up.
constexpr size_t kCompactAt = size_t(1) << 20;
// How many rows ahead the row loop asks for the bytes it will compare.
constexpr int kPrefetch = 16;
// A long row keeps a point at the first token boundary past every this many characters.
constexpr size_t kPointEvery = 256;

// The attribute bytes of a row of `length` characters, when it holds one for each of them.
const std::vector<uint8_t>* BytesOf(const TLineRecord& rec, size_t length) {
    if (!rec.Extra || rec.Extra->Attributes.size() != length) return nullptr;
    return &rec.Extra->Attributes;
}
const std::vector<uint8_t>* BytesOf(const TTextStore& st, TRow row) {
    return BytesOf(st.Line(row), size_t(st.RowLength(row)));
}

bool HasBytes(const TLineRecord& rec, size_t length) {
    return length == 0 || BytesOf(rec, length) != nullptr;
}
bool HasBytes(const TTextStore& st, TRow row) {
    return HasBytes(st.Line(row), size_t(st.RowLength(row)));
}

inline void Fill(uint8_t* p, size_t n, uint8_t v) {
    if (n <= 8) {
        for (size_t i = 0; i < n; ++i)
            p[i] = v;
    } else {
        std::memset(p, v, n);
    }
}

} // namespace

TRescanner::TRescanner(TTextStore& store, bool observe)
    : FStore(store), FObserving(observe), FRows(store.LineCount()) {
    if (FObserving) FStore.AddObserver(this);
}

TRescanner::~TRescanner() {
    if (FObserving) FStore.RemoveObserver(this);
}

void TRescanner::SetDefinition(TCodeMemoParser* definition) {
    FDef = definition;
    FPending.clear();
    const TRow end(FStore.LineCount());
    for (TRow i(0); i < end; ++i) {
        TLineRecord& rec = FStore.Line(i);
        if (i + kPrefetch < end)
            if (const auto& ahead = FStore.Line(i + kPrefetch).Extra)
                __builtin_prefetch(ahead.get());
        if (rec.Extra) {
            rec.Extra->Attributes.clear();
            rec.Extra->Scan.reset();
        }
        rec.Flags |= lfRepaint | lfRescan;
    }
    if (FDef) FPending.push_back(TRow(0));
}

bool TRescanner::CanScan() const {
    // A definition with custom rules cannot tokenize without its handler.
    return FDef && !(FDef->CustomHandlers && !FDef->OnCustomParse);
}

bool TRescanner::Pending() const {
    return CanScan() && !FPending.empty();
}

void TRescanner::AddPending(TRow row) {
    if (!FDef) return;
    row = std::clamp(row, TRow(0), TRow(FStore.LineCount() - 1));
    auto it = std::lower_bound(FPending.begin(), FPending.end(), row);
    if (it == FPending.end() || *it != row) FPending.insert(it, row);
}

void TRescanner::DropPendingThrough(TRow row) {
    FPending.erase(FPending.begin(), std::upper_bound(FPending.begin(), FPending.end(), row));
}

void TRescanner::MarkLine(TRow row) {
    if (row < TRow(0) || row >= TRow(FStore.LineCount())) return;
    FStore.Line(row).Flags |= lfRescan;
    AddPending(row);
}

// Rows come and go with line breaks, and with the cuts of wrapped and long lines that an
// edit joins: the store's row count says how many.
int TRescanner::RowsChanged() {
    const int delta = FStore.LineCount() - FRows;
    FRows = FStore.LineCount();
    return delta;
}

void TRescanner::OnInsert(TOffset pos, std::string_view) {
    if (FScanning) FEditedWhileScanning = true;
    const int added = RowsChanged();
    if (!FDef) return;
    const TRow row = FStore.LineFromPos(pos);
    if (added)
        for (TRow& h : FPending)
            if (h > row) h += added;
    AddPending(row);
}

void TRescanner::OnDelete(TOffset pos, std::string_view) {
    if (FScanning) FEditedWhileScanning = true;
    const int removed = -RowsChanged();
    if (!FDef) return;
    const TRow row = FStore.LineFromPos(pos);
    if (removed) {
        for (TRow& h : FPending)
            h = h > row + removed ? h - removed : std::min(h, row);
        FPending.erase(std::unique(FPending.begin(), FPending.end()), FPending.end());
    }
    AddPending(row);
}

void TRescanner::OnRowsRecut(TRow first, int oldCount, int newCount) {
    if (FScanning) FEditedWhileScanning = true;
    RowsChanged();
    if (!FDef) return;
    // A scan waiting inside the recut rows starts at their first row, later ones shift.
    for (TRow& h : FPending)
        if (h >= first + oldCount)
            h += newCount - oldCount;
        else if (h > first)
            h = first;
    FPending.erase(std::unique(FPending.begin(), FPending.end()), FPending.end());
    // The recut rows keep the bytes they had; a scan is owed from the first that has none.
    for (TRow r = first; r < first + newCount && r < TRow(FStore.LineCount()); ++r)
        if (FStore.Line(r).Flags & lfRescan) {
            AddPending(r);
            break;
        }
}

int TRescanner::Rescan() {
    return Run(FBudget, TRow(INT_MAX));
}

void TRescanner::ScanThrough(TRow row) {
    Run(0, row);
}

int TRescanner::Run(int budget, TRow throughRow) {
    // One scan at a time: the definition holds the scan state.
    if (!CanScan() || FScanning) return 0;
    FTokenized = 0;
    int total = 0;
    while (!FPending.empty() && FPending.front() <= throughRow) {
        if (budget > 0 && total >= budget) break;
        const TRow row = std::min(FPending.front(), TRow(FStore.LineCount() - 1));
        const TLineRecord& rec = FStore.Line(row);
        if (!(rec.Flags & (lfRescan | lfScanRestart)) && HasBytes(FStore, row)) {
            FPending.erase(FPending.begin());
            continue;
        }
        TRow last = row;
        bool budgetStop = false;
        try {
            total += ScanFrom(row, budget > 0 ? budget - total : 0, last, budgetStop);
        } catch (...) {
            // A definition that fails here fails again: drop the request rather than retry forever.
            FPending.erase(FPending.begin());
            throw;
        }
        DropPendingThrough(last);
        if (budgetStop) {
            FStore.Line(last + 1).Flags |= lfScanRestart;
            AddPending(last + 1);
        }
        if (FEditedWhileScanning) {
            FEditedWhileScanning = false;
            break;
        }
    }
    return total;
}

void TRescanner::FindRestart(TRow changed, TRow& line, TOffset& offset, uint8_t& token,
                             bool& atStart, size_t& lookedTo) const {
    line = TRow(0);
    offset = TOffset(0);
    token = 0;
    atStart = true;
    lookedTo = 0;
    const TStateSet anchor = FDef->AnchorSet();
    // No anchor in or after a row whose tokens looked at the changed text: those before the
    // anchor would not be tokenized again.
    size_t room = 0;
    bool clear = false;
    // A line without bytes was never scanned: its start is no safe point, so look further back.
    for (TRow j = changed - 1; j >= TRow(0); --j) {
        if (!clear) {
            const TLineRecord& rec = FStore.Line(j);
            const uint32_t looked = RowReach(rec);
            clear = looked != RowReachFar && looked <= room;
            room += size_t(FStore.RowLength(j));
            if (!clear) continue;
            lookedTo = size_t((FStore.PosFromLine(j + 1)).Value()) + looked;
        }
        const auto* bytes = BytesOf(FStore, j);
        if (!bytes) continue;
        for (int i = int(bytes->size()) - 1; i >= 0; --i) {
            const uint8_t v = (*bytes)[size_t(i)];
            if (!anchor.Has(v)) continue;
            atStart = false;
            token = v;
            line = j;
            // Default text is no token of its own: restart at the line start instead. Else back
            // to the first character of the anchor token, across lines if it spans them.
            size_t at = size_t(i);
            for (;;) {
                const auto& cur = *BytesOf(FStore, line);
                while (at > 0 && cur[at - 1] == v)
                    --at;
                offset = TOffset(int(at));
                if (v == 0 || at > 0 || line == TRow(0)) return;
                const auto* prev = BytesOf(FStore, line - 1);
                if (!prev || prev->empty() || prev->back() != v) return;
                --line;
                at = prev->size();
            }
        }
    }
}

uint32_t TRescanner::FindCheckpoint(TRow changed, TRow& line, TOffset& offset, size_t& reach,
                                    bool inside) const {
    // Among short lines an anchor token is as near as a checkpoint this far back. Inside one
    // long line the walk goes on: a token that spans many of its rows (a string left open to
    // the line's end) has none at their ends, and the anchor search would read back through
    // every byte of them only to restart before the same token.
    constexpr int kLookBack = 64;
    // The tokens before a checkpoint may have looked at text after it (a failed attempt, a
    // keyword walk, an end test): it is safe only when all they looked at comes before the
    // changed row, where every edit since the last scan lies.
    size_t room = 0;
    for (TRow j = changed - 1; j >= TRow(0); --j) {
        const TLineRecord& rec = FStore.Line(j);
        // The rows from the checkpoint to the change must hold their settled bytes.
        if (!HasBytes(FStore, j) || (rec.Flags & (lfRescan | lfScanRestart))) return 0;
        const uint32_t looked = RowReach(rec);
        if ((rec.ScanEnd & ScanExact) && looked != RowReachFar && looked <= room &&
            (inside || !FStore.ScanStates().ResumeOf(rec.ScanEnd & ~ScanExact))) {
            line = j + 1;
            offset = TOffset(0);
            reach = looked;
            return rec.ScanEnd & ~ScanExact;
        }
        room += size_t(FStore.RowLength(j));
        if (j <= changed - kLookBack && !(rec.Marks & lmContinuation)) break;
    }
    return 0;
}

void TRescanner::AppendLines(size_t wantEnd) {
    const TRow count(FStore.LineCount());
    if (FWin.size() < wantEnd && FNextLine < count) {
        // Whole rows, up to the first that reaches wantEnd, copied as the text lies.
        const TOffset from = FStore.PosFromLine(FNextLine);
        TOffset to = from;
        while (FWin.size() + size_t(to - from) < wantEnd && FNextLine < count)
            to = FStore.RowEnd(FNextLine++);
        FStore.TextPieces(from, to, [&](std::string_view piece) {
            const auto* p = reinterpret_cast<const uint8_t*>(piece.data());
            FWin.insert(FWin.end(), p, p + piece.size());
        });
    }
    FNew.resize(FWin.size());
}

void TRescanner::KeepPoints(TLineRecord& rec, size_t from, size_t to) {
    size_t k = 0;
    while (k < FPoints.size() && FPoints[k].Pos < from)
        ++k;
    size_t e = k;
    while (e < FPoints.size() && FPoints[e].Pos < to)
        ++e;
    if (e == k) {
        if (rec.Extra) rec.Extra->Scan.reset();
    } else {
        std::unique_ptr<TRowScan>& scan = rec.EnsureExtra().Scan;
        if (!scan) scan = std::make_unique<TRowScan>();
        scan->Points.clear();
        for (size_t i = k; i < e; ++i) {
            const size_t r = FPoints[i].Reach - from; // the reach is at least the point
            scan->Points.push_back(
                {uint32_t(FPoints[i].Pos - from), FPoints[i].State,
                 r < TRowScan::UnknownReach ? uint32_t(r) : TRowScan::UnknownReach});
        }
        scan->Before.clear();
        scan->TailFrom = -1;
        scan->Shift = 0;
    }
    FPoints.erase(FPoints.begin(), FPoints.begin() + ptrdiff_t(e));
}

const TRowScan* TRescanner::KeptScan(const TLineRecord& rec, int length) {
    if (!rec.Extra || !rec.Extra->Scan) return nullptr;
    const TRowScan& scan = *rec.Extra->Scan;
    if (scan.TailFrom < 0 || long(scan.Before.size()) + scan.Shift != long(length))
        return nullptr;
    return &scan;
}

const TRowScan::TPoint* TRescanner::StartPoint(TRow changed) const {
    if (OnTokenSeen || changed < TRow(0) || changed >= TRow(FStore.LineCount())) return nullptr;
    const TLineRecord& rec = FStore.Line(changed);
    const TRowScan* kept = KeptScan(rec, FStore.RowLength(changed));
    // The row's points hold only while the state it starts in is the one they were found after.
    if (!kept || (rec.Flags & lfScanRestart) || kept->HeadTo > kept->TailFrom) return nullptr;
    if (changed > TRow(0)) {
        const TLineRecord& prev = FStore.Line(changed - 1);
        if (!HasBytes(FStore, changed - 1) || (prev.Flags & (lfRescan | lfScanRestart)))
            return nullptr;
    }
    const uint32_t head = uint32_t(std::max(kept->HeadTo, 0));
    for (size_t i = kept->Points.size(); i-- > 0;) {
        const TRowScan::TPoint& p = kept->Points[i];
        if (p.Offset < head && p.Reach <= head && p.Reach != TRowScan::UnknownReach) return &p;
    }
    return nullptr;
}

bool TRescanner::KeepTail(TRow line, TRow changed, size_t lineStart, size_t pos, uint32_t state,
                          size_t reach) {
    TLineRecord& rec = FStore.Line(line);
    TRowScan& scan = *rec.Extra->Scan;
    const size_t q = pos - lineStart;
    const size_t len = size_t(FStore.RowLength(line));
    // The character before the boundary is old text too: a token may look back at it.
    if (long(q) <= long(scan.TailFrom) || line < changed || rec.ScanEnd == 0 ||
        (rec.Flags & lfScanRestart) || reach > lineStart + len)
        return false;
    // The rows after start where they did, and the old tokens read no text changed since: the
    // rows as far as they looked hold settled bytes.
    const uint32_t looked = RowReach(rec);
    if (looked == RowReachFar) return false;
    size_t seen = 0;
    for (TRow j = line + 1; j < TRow(FStore.LineCount()); ++j) {
        const TLineRecord& next = FStore.Line(j);
        if (!HasBytes(FStore, j) || (next.Flags & (lfRescan | lfScanRestart))) return false;
        seen += size_t(FStore.RowLength(j));
        if (seen >= looked) break;
    }
    const long old = long(q) - scan.Shift;
    size_t k = 0;
    while (k < scan.Points.size() && long(scan.Points[k].Offset) < old)
        ++k;
    if (k == scan.Points.size() || long(scan.Points[k].Offset) != old ||
        scan.Points[k].State != state)
        return false;
    // The same state at the same text: the tokens from here to the row's end, the state there
    // and how far they looked are those of before, moved by the edit.
    std::vector<TRowScan::TPoint> tail(scan.Points.begin() + ptrdiff_t(k) + 1, scan.Points.end());
    // Before a kept point lie the new tokens up to here and the old ones after here: they looked
    // no further than the larger of the two reaches.
    const long now = long(std::max(reach, pos) - lineStart);
    for (TRowScan::TPoint& p : tail) {
        p.Offset = uint32_t(long(p.Offset) + scan.Shift);
        if (p.Reach != TRowScan::UnknownReach) {
            const long r = std::max(now, long(p.Reach) + scan.Shift);
            p.Reach = r < long(TRowScan::UnknownReach) ? uint32_t(r) : TRowScan::UnknownReach;
        }
    }
    std::vector<uint8_t>& bytes = rec.Extra->Attributes;
    bytes.resize(len);
    std::memcpy(bytes.data(), FNew.data() + lineStart, q);
    std::memcpy(bytes.data() + q, scan.Before.data() + old, len - q);
    KeepPoints(rec, lineStart, pos + 1);
    rec.Extra->Scan->Points.insert(rec.Extra->Scan->Points.end(), tail.begin(), tail.end());
    rec.Flags |= lfRepaint;
    rec.Flags &= ~(lfRescan | lfScanRestart);
    return true;
}

namespace {
// A token gone on with from a row end no longer matches there: scanned whole it would have
// coloured the text before that row end otherwise.
struct TResumeFailed {};
} // namespace

int TRescanner::ScanFrom(TRow changed, int budget, TRow& last, bool& budgetStop) {
    try {
        return ScanPass(changed, budget, last, budgetStop, !OnTokenSeen);
    } catch (const TResumeFailed&) {
        return ScanPass(changed, budget, last, budgetStop, false);
    }
}

int TRescanner::ScanPass(TRow changed, int budget, TRow& last, bool& budgetStop, bool inside) {
    TCodeMemoParser& def = *FDef;
    const TRow lineCount(FStore.LineCount());
    TRow restartLine;
    TOffset restartOffset;
    uint8_t restartToken;
    bool atStart;
    // One past the furthest character (window index) the tokens so far looked at; each row
    // keeps how far past its end that is.
    size_t reach = 0;
    // From a point inside the changed row, the text before it and its bytes are as they were.
    const TRowScan::TPoint* point = StartPoint(changed);
    // From a checkpoint the first row may be the last: its state and bytes before are settled.
    const uint32_t at =
        point ? 0 : FindCheckpoint(changed, restartLine, restartOffset, reach, inside);
    // A handler that sees each token sees it whole, from its start: it may colour a long token
    // by more than its rule.
    const bool record = !OnTokenSeen;
    // A token under way at `pos`, gone on with a row at a time: its resume code.
    uint32_t resume = 0;
    // Where the scan starts, the state is the one a scan from the text's start finds there.
    bool exact = at != 0;
    if (point) {
        restartLine = changed;
        restartOffset = TOffset(int(point->Offset));
        reach = point->Reach;
        restartToken = 0;
        def.ResetState(0);
        FStore.ScanStates().Load(point->State, def);
        def.SelectStartTable();
        exact = true;
    } else if (at) {
        restartToken = 0;
        def.ResetState(0);
        FStore.ScanStates().Load(at, def);
        resume = FStore.ScanStates().ResumeOf(at);
        def.SelectStartTable();
    } else {
        size_t lookedTo;
        FindRestart(changed, restartLine, restartOffset, restartToken, atStart, lookedTo);
        def.ResetState(restartToken);
        if (atStart) {
            def.State = def.StartState;
            def.SelectStartTable();
            exact = restartLine == TRow(0) && restartOffset == TOffset(0);
        }
        // An anchor restarts the state; the tokens before it looked no further than those up
        // to the row end where the search began, which stopped short of the changed row.
        reach = size_t(restartOffset.Value());
        if (!atStart) {
            const size_t from = size_t(FStore.PosFromLine(restartLine).Value());
            reach = std::max(reach, lookedTo > from ? lookedTo - from : 0);
        }
    }
    def.BeginRun();

    FWin.clear();
    FNew.clear();
    FPoints.clear();
    FNextLine = restartLine;
    size_t pos = size_t(restartOffset.Value());
    TOffset winPos = FStore.PosFromLine(restartLine); // text offset of FWin[0]
    AppendLines(pos + kLookahead);
    if (point) {
        // The bytes and points before it are those of the last scan.
        const TRowScan& kept = *FStore.Line(restartLine).Extra->Scan;
        std::memcpy(FNew.data(), kept.Before.data(), pos);
        for (const TRowScan::TPoint& p : kept.Points)
            if (p.Offset < pos)
                FPoints.push_back(
                    {p.Offset, p.State, p.Reach == TRowScan::UnknownReach ? SIZE_MAX : p.Reach});
    } else if (pos > 0) {
        std::memcpy(FNew.data(), BytesOf(FStore, restartLine)->data(), pos);
    }

    // The window begins at a row; one cut from a long line does not begin a line.
    auto insideLine = [&](TRow row) {
        return row > TRow(0) && !FStore.RowEndsInBreak(row - 1);
    };
    bool midLine = insideLine(restartLine);
    auto cursorAt = [&](size_t p) {
        TTokenCursor c{FWin.data(), FWin.size(), p};
        c.MidLine = midLine;
        return c;
    };

    TRow line = restartLine;
    size_t lineStart = 0; // window index where `line` begins
    size_t lineEnd = size_t(FStore.RowLength(line));
    int scanned = 0;
    // The scan state at `checkpoint`, taken once a line rather than before every token.
    // The stretch of the last bound region (window indexes): a row that ends inside it is
    // settled only after the region has closed, in the state after it, which is not its own.
    size_t regionFrom = SIZE_MAX, regionTo = 0;
    size_t checkpoint = pos;
    size_t checkpointReach = reach;
    size_t runReach = reach; // what the tokens looked at before the last call of the tokenizer
    bool needCheckpoint = true;
    TStateSet lastSet; // the state at the last row end when nothing was stacked, and its number
    uint32_t lastNumber = 0;
    budgetStop = false;
    last = changed - 1;
    FScanning = true;
    FEditedWhileScanning = false;
    try {
        for (;;) {
            if (pos >= lineEnd && !def.BoundOpen()) {
                bool stop = false;
                uint32_t state = 0; // the number of the state here, once asked for
                // The next row's length, once asked for: the row after takes it from here.
                TRow knownRow(-1);
                size_t knownLen = 0;
                while (line < lineCount) {
                    TLineRecord& rec = FStore.Line(line);
                    const size_t len =
                        knownRow == line ? knownLen : size_t(FStore.RowLength(line));
                    // Each row's attribute bytes sit in blocks of their own: ask for those of
                    // the rows ahead early, so that a scan over many short rows does not wait
                    // on each.
                    if (line + kPrefetch < lineCount) {
                        const TLineRecord& ahead = FStore.Line(line + kPrefetch);
                        if (ahead.Extra) {
                            __builtin_prefetch(ahead.Extra.get());
                            const TLineRecord& near = FStore.Line(line + kPrefetch / 2);
                            if (near.Extra) __builtin_prefetch(near.Extra->Attributes.data());
                        }
                    }
                    if (lineStart + len > pos) {
                        lineEnd = lineStart + len;
                        break;
                    }
                    const uint8_t* fresh = FNew.data() + lineStart;
                    const auto* old = BytesOf(rec, len);
                    const bool equal =
                        len == 0 || (old && std::memcmp(old->data(), fresh, len) == 0);
                    bool nextReady = true;
                    if (line + 1 < lineCount) {
                        const TLineRecord& next = FStore.Line(line + 1);
                        knownRow = line + 1;
                        knownLen = size_t(FStore.RowLength(knownRow));
                        nextReady = !(next.Flags & lfRescan) && HasBytes(next, knownLen);
                    }
                    last = line;
                    if (!state) {
                        // Most rows end in the state the row before ended in.
                        if (lastNumber && def.Stack.empty() && def.State == lastSet) {
                            state = lastNumber;
                        } else {
                            state = FStore.ScanStates().Of(def);
                            lastNumber = def.Stack.empty() ? state : 0;
                            lastSet = def.State;
                        }
                    }
                    const size_t rowEnd = lineStart + len;
                    uint32_t ended =
                        rowEnd == pos && !def.InBoundState() ? state | ScanExact : state;
                    size_t looked = std::max(reach, pos) - rowEnd;
                    // A row end inside a token is a checkpoint when the token can be gone on
                    // with from there; what it read of the row after counts from then on.
                    if (record && !def.InBoundState()) {
                        size_t before = 0;
                        uint32_t code = 0;
                        if (rowEnd == pos) {
                            code = resume;
                        } else if ((code = def.ResumableAt(FWin.data(), rowEnd, pos, before))) {
                            looked = std::max({runReach, before, rowEnd}) - rowEnd;
                        }
                        if (code) ended = FStore.ScanStates().Of(def, code) | ScanExact;
                    }
                    if (rowEnd > regionFrom && rowEnd < regionTo) ended = 0; // no state known
                    // Equal bytes with another state behind them (a blank line after a new
                    // brace) are no place to stop: the lines after would keep stale colours.
                    // Nor are tokens that now look further than the row says: the rows after
                    // count on it.
                    const bool settled = ended && rec.ScanEnd == ended &&
                                         (line > restartLine || exact) && line >= changed &&
                                         nextReady && !(rec.Flags & lfScanRestart) &&
                                         !def.InBoundState() && looked <= RowReach(rec);
                    KeepPoints(rec, lineStart, rowEnd);
                    if (settled && equal) {
                        rec.Flags &= ~lfRescan;
                        stop = true;
                        break;
                    }
                    // A row with new bytes of its own ends the scan too when no token spans its
                    // end: the next row starts in the very state it did.
                    stop = settled && (ended & ScanExact);
                    if (!equal) {
                        rec.EnsureExtra().Attributes.assign(fresh, fresh + len);
                        rec.Flags |= lfRepaint;
                    }
                    rec.Flags &= ~(lfRescan | lfScanRestart);
                    rec.ScanEnd = ended;
                    SetRowReach(rec, looked);
                    if (line >= changed) ++scanned; // lines before only recover the state
                    if (stop) break;
                    lineStart += len;
                    ++line;
                    if (budget > 0 && scanned >= budget && line < lineCount) {
                        budgetStop = true;
                        stop = true;
                        break;
                    }
                }
                if (stop || line >= lineCount) break;
                if (lineStart >= kCompactAt) {
                    FWin.erase(FWin.begin(), FWin.begin() + ptrdiff_t(lineStart));
                    FNew.erase(FNew.begin(), FNew.begin() + ptrdiff_t(lineStart));
                    pos -= lineStart;
                    midLine = insideLine(line);
                    reach = reach > lineStart ? reach - lineStart : 0;
                    regionFrom = regionFrom > lineStart ? regionFrom - lineStart : 0;
                    regionTo = regionTo > lineStart ? regionTo - lineStart : 0;
                    winPos += int(lineStart);
                    lineEnd -= lineStart;
                    lineStart = 0;
                    needCheckpoint = true; // the old one is gone with the front
                    FPoints.clear();
                }
            }
            // A checkpoint with every refill: a token that outruns the window is recovered by
            // tokenizing again from there, never from further back than a window or a line.
            if (FWin.size() - pos < kLookahead) {
                AppendLines(pos + 2 * kLookahead);
                needCheckpoint = true;
            }
            if (resume) {
                // The token under way goes on to this row's end, or ends within it.
                TTokenCursor cur = cursorAt(pos);
                uint8_t value;
                const auto why = def.ResumeToken(resume, cur, lineEnd, value);
                if (why == TCodeMemoParser::rmFailed) throw TResumeFailed();
                const size_t end = std::max(cur.Pos, pos);
                if (why == TCodeMemoParser::rmEnded && FNextLine < lineCount &&
                    end + kMargin > FWin.size()) {
                    AppendLines(pos + 2 * (FWin.size() - pos) + kLookahead);
                    continue;
                }
                runReach = reach;
                reach = std::max(reach, cur.Reach);
                FTokenized += end - pos;
                Fill(FNew.data() + pos, end - pos, value);
                pos = end;
                if (why == TCodeMemoParser::rmEnded) {
                    resume = 0;
                    needCheckpoint = true;
                }
                continue;
            }
            if (needCheckpoint) {
                def.SaveScan(FSnap);
                checkpoint = pos;
                checkpointReach = reach;
                needCheckpoint = false;
            }
            // The token at pos may go on past what the tokenizer saw: show it more text, and
            // recover the state before it by tokenizing again from the checkpoint.
            auto widen = [&] {
                def.RestoreScan(FSnap);
                reach = checkpointReach;
                AppendLines(pos + 2 * (FWin.size() - pos) + kLookahead);
                size_t p = checkpoint;
                while (p < pos) {
                    const bool wasOpen = def.BoundOpen();
                    TTokenCursor again = cursorAt(p);
                    def.NextToken(again);
                    reach = std::max(reach, again.Reach);
                    const size_t e = again.Pos > p ? again.Pos : p + 1;
                    FTokenized += e - p;
                    if (wasOpen || !def.BoundOpen()) p = e;
                }
            };

            if (!OnTokenSeen && !def.BoundOpen()) {
                // Plain text: the rest of the row in one call (a long row in steps), no work
                // here per token.
                const bool more = FNextLine < lineCount;
                // A long row is tokenized in steps, so that it keeps points inside it; behind an
                // edit in it the steps end where it kept points before the edit.
                size_t limit = lineEnd;
                const TRowScan* kept = nullptr;
                if (lineEnd - lineStart > kPointEvery) {
                    const size_t q = pos - lineStart;
                    limit = std::min(limit, lineStart + (q / kPointEvery + 1) * kPointEvery);
                    kept = KeptScan(FStore.Line(line), FStore.RowLength(line));
                    if (kept) {
                        const long from = std::max(long(q), long(kept->TailFrom));
                        for (const TRowScan::TPoint& p : kept->Points)
                            if (long(p.Offset) + kept->Shift > from) {
                                limit = std::min(limit, lineStart + size_t(p.Offset + kept->Shift));
                                break;
                            }
                    }
                }
                TTokenCursor cur = cursorAt(pos);
                size_t at = pos;
                runReach = reach;
                const auto why =
                    def.TokenRun(cur, limit, more ? FWin.size() - kLookahead : SIZE_MAX,
                                 more ? FWin.size() - kMargin : SIZE_MAX, FNew.data(), at);
                reach = std::max(reach, cur.Reach);
                FTokenized += std::max(cur.Pos, pos) - pos;
                switch (why) {
                case TCodeMemoParser::rsLimit:
                case TCodeMemoParser::rsRefill:
                    pos = cur.Pos;
                    break;
                case TCodeMemoParser::rsOpened:
                    pos = at; // scan the container's stretch again in its region's state
                    needCheckpoint = true;
                    regionFrom = at;
                    regionTo = def.BoundEnd();
                    break;
                case TCodeMemoParser::rsMargin: {
                    // A token longer than the window that runs on past its row end: go on with
                    // it from there a row at a time, where it can be, rather than show the
                    // tokenizer all of it. Only a token that nothing after can reject: the row
                    // end keeps the claim that it goes on, and a scan may stop there before it
                    // has seen the rest.
                    size_t before = 0;
                    const uint32_t code =
                        inside && !def.BoundOpen() && !def.InBoundState()
                            ? def.ResumableAt(FWin.data(), lineEnd, cur.Pos, before)
                            : 0;
                    if (code && !def.ResumeMayFail(code)) {
                        Fill(FNew.data() + at, lineEnd - at, def.LastToken());
                        reach = std::max(runReach, before);
                        pos = lineEnd;
                        resume = code;
                        break;
                    }
                    pos = at;
                    widen();
                    break;
                }
                }
                if (why == TCodeMemoParser::rsLimit && limit < lineEnd && pos < lineEnd &&
                    !def.BoundOpen() && !def.InBoundState()) {
                    const uint32_t state = FStore.ScanStates().Of(def);
                    FPoints.push_back({pos, state, std::max(reach, pos)});
                    if (kept && KeepTail(line, changed, lineStart, pos, state, reach)) {
                        last = line;
                        if (line >= changed) ++scanned;
                        break;
                    }
                }
                continue;
            }

            const bool inRegion = def.BoundOpen();
            const size_t regionEnd = def.BoundEnd();
            uint8_t value;
            size_t end;
            for (;;) {
                TTokenCursor cur = cursorAt(pos);
                runReach = reach;
                value = uint8_t(def.NextToken(cur));
                end = cur.Pos > pos ? cur.Pos : pos + 1;
                FTokenized += end - pos;
                if (FNextLine >= lineCount || end + kMargin <= FWin.size()) {
                    reach = std::max(reach, cur.Reach);
                    break;
                }
                widen();
            }
            if (OnTokenSeen) {
                if (FSupplyText)
                    FTokenText.assign(reinterpret_cast<const char*>(FWin.data() + pos), end - pos);
                OnTokenSeen(*this, value, (winPos + int(pos)).Value(), (winPos + int(end)).Value());
                if (FEditedWhileScanning) break;
            }
            uint8_t* out = FNew.data();
            if (!inRegion || value != 0) {
                Fill(out + pos, end - pos, value);
            } else if (end > regionEnd) {
                // Default text inside a region keeps the container's value.
                size_t from = std::max(pos, regionEnd);
                Fill(out + from, end - from, 0);
            }
            // A container just opened: scan its stretch again in the region's state.
            if (inRegion || !def.BoundOpen()) {
                pos = end;
            } else {
                needCheckpoint = true;
                regionFrom = pos;
                regionTo = def.BoundEnd();
            }
        }
    } catch (...) {
        FScanning = false;
        def.ResetState(restartToken);
        throw;
    }
    FScanning = false;
    def.ResetState(restartToken);
    return scanned;
}

} // namespace quillet
