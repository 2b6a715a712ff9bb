// The line store: normalisation, insertion, deletion and plain-text output.
#include "editor/TextStore.h"

#include "editor/ScanStates.h"
#include "editor/UndoStack.h"

#include "platform/Errors.h"
#include "resources/Strings.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace quillet {

TLineExtra& TLineRecord::EnsureExtra() {
    if (!Extra) Extra = std::make_unique<TLineExtra>();
    return *Extra;
}

TTextStore::TTextStore() : FScanStates(std::make_unique<TScanStates>()) {
    FLines.Insert(0, TLineRecord());
    FLogical.InsertText(0, 1); // one logical line of one row
}
TTextStore::~TTextStore() = default;

int TTextStore::RowOf(int pos) const {
    return FStarts.PartitionFromPosition(std::clamp(pos, 0, FCharCount));
}

int TTextStore::RowStart(int line) const {
    if (line < 0 || line >= LineCount()) return -1;
    return FStarts.PositionFromPartition(line);
}

TLogicalLine TTextStore::LogicalLineOf(TRow row) const {
    return TLogicalLine(
        FLogical.PartitionFromPosition(std::clamp(row.Value(), 0, LineCount() - 1)));
}

TRow TTextStore::FirstRowOf(TLogicalLine line) const {
    if (line < TLogicalLine(0) || line.Value() > LogicalLineCount()) return TRow(-1);
    return TRow(FLogical.PositionFromPartition(line.Value()));
}

std::string TTextStore::Normalize(std::string_view text) {
    std::string out(text);
    out.resize(NormalizeInPlace(out.data(), out.size()));
    return out;
}

size_t TTextStore::NormalizeInPlace(char* p, size_t n) {
    // Written through a pointer: loads pass every byte of a file through here.
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    char* w = p;
    size_t i = 0;
    while (i < n) {
        // Eight bytes a step while none of them is below 32; the text only shrinks, so `w`
        // never passes the bytes still to read.
        while (i + 8 <= n) {
            uint64_t v;
            std::memcpy(&v, p + i, 8);
            if ((v - 32 * kOnes) & ~v & (0x80 * kOnes)) break;
            std::memcpy(w, &v, 8);
            w += 8;
            i += 8;
        }
        if (i >= n) break;
        const auto c = static_cast<unsigned char>(p[i]);
        if (c >= 32 || c == '\t') {
            *w++ = static_cast<char>(c);
        } else if (c == '\r') {
            *w++ = '\r';
            if (i + 1 < n && p[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            *w++ = '\r';
        } else {
            *w++ = '.';
        }
        ++i;
    }
    return size_t(w - p);
}

namespace {
// Insertions at least this long lay their new lines in the pool.
constexpr size_t kPoolFrom = 1024;
constexpr size_t kPoolBlock = size_t(1) << 20;

size_t PooledSize(int length) {
    return (size_t(length) + 2) & ~size_t(1); // the zero, rounded up to keep slices 2-aligned
}
} // namespace

char* TTextStore::PoolAlloc(size_t bytes) {
    if (FPoolFree < bytes) {
        const size_t block = std::max(bytes, kPoolBlock);
        try {
            FPool.push_back(std::make_unique_for_overwrite<char[]>(block));
        } catch (const std::bad_alloc&) {
            throw EOutOfMemory(LoadStr(SOutOfMemory));
        }
        FPoolNext = FPool.back().get();
        FPoolFree = block;
        FPoolHeld += block;
    }
    char* p = FPoolNext;
    FPoolNext += bytes;
    FPoolFree -= bytes;
    FPoolLive += bytes;
    return p;
}

void TTextStore::ReleaseText(TLineRecord& rec) {
    if (!rec.Text.IsPooled()) return;
    FPoolLive -= PooledSize(rec.Length);
    rec.Text = TLineText();
    if (FPoolLive == 0) {
        // No line uses the pool any more: what it holds is garbage of edited lines.
        FPool.clear();
        FPoolNext = nullptr;
        FPoolFree = FPoolHeld = 0;
    }
}

void TTextStore::RepackPool() {
    // Edited lines leave their pooled text behind; once that outweighs what lines still use,
    // move the live slices into fresh blocks so the garbage goes.
    const size_t garbage = FPoolHeld - FPoolLive;
    if (garbage < kPoolBlock * 16 || garbage < FPoolLive) return;
    std::vector<std::unique_ptr<char[]>> old = std::move(FPool);
    FPool.clear();
    FPoolNext = nullptr;
    FPoolFree = FPoolLive = FPoolHeld = 0;
    for (int i = 0; i < FLines.Length(); ++i) {
        TLineRecord& rec = FLines[i];
        if (!rec.Text.IsPooled()) continue;
        const size_t bytes = PooledSize(rec.Length);
        char* p = PoolAlloc(bytes);
        std::memcpy(p, rec.Text.get(), size_t(rec.Length) + 1);
        rec.Text = TLineText::Pooled(p);
    }
}

void TTextStore::ReserveLines(int lines) {
    if (lines <= FLines.Length()) return;
    FLines.Reserve(lines);
    FStarts.Reserve(lines);
}

void TTextStore::SetRecordText(TLineRecord& rec, std::string_view a, std::string_view b,
                               bool keepDecor, bool pool) {
    const size_t size = a.size() + b.size();
    const int length = static_cast<int>(size);
    char* p;
    TLineText text;
    if (pool) {
        p = PoolAlloc(PooledSize(length));
        text = TLineText::Pooled(p);
    } else {
        std::unique_ptr<char[]> buf;
        try {
            buf = std::make_unique_for_overwrite<char[]>(size + 1);
        } catch (const std::bad_alloc&) {
            throw EOutOfMemory(LoadStr(SOutOfMemory));
        }
        p = buf.get();
        text = TLineText(std::move(buf));
    }
    if (!a.empty()) std::memcpy(p, a.data(), a.size());
    if (!b.empty()) std::memcpy(p + a.size(), b.data(), b.size());
    p[size] = 0;
    ReleaseText(rec);
    rec.Text = std::move(text);
    rec.Length = length;
    if (rec.Extra) {
        rec.Extra->Attributes.clear();
        rec.Extra->Scan.reset();
    }
    if (!keepDecor) {
        rec.Glyphs = 0;
        rec.PaintA = rec.PaintB = -1;
    }
    rec.Flags |= lfRepaint | lfRescan;
    if (std::memchr(p, '\t', size))
        rec.Flags |= lfHasTab;
    else
        rec.Flags &= ~lfHasTab;
    FWidest = std::max(FWidest, rec.Length);
}

std::unique_ptr<TRowScan> TTextStore::KeepRowScan(TLineRecord& rec, int at, int removed,
                                                  int added) {
    if (!rec.Extra || !rec.Extra->Scan) return nullptr;
    std::unique_ptr<TRowScan> scan = std::move(rec.Extra->Scan);
    const int shift = added - removed;
    if (scan->TailFrom >= 0) {
        // Another edit before the scan came: the tail is what neither edit touched.
        scan->TailFrom = std::max(at + added, scan->TailFrom + shift);
        scan->Shift += shift;
        scan->HeadTo = std::min(scan->HeadTo, at);
        return scan;
    }
    // Only bytes the scan settled, with the state at the row's end known, are worth keeping.
    if ((rec.Flags & (lfRescan | lfScanRestart)) || rec.ScanEnd == 0 || scan->Points.empty() ||
        rec.Extra->Attributes.size() != size_t(rec.Length))
        return nullptr;
    scan->Before.swap(rec.Extra->Attributes);
    scan->TailFrom = at + added;
    scan->Shift = shift;
    scan->HeadTo = at;
    return scan;
}

int TTextStore::Insert(TOffset at, std::string_view raw) {
    std::string text = Normalize(raw);
    if (text.empty()) return 0;
    if (text.size() > static_cast<size_t>(INT_MAX - FCharCount))
        throw EOutOfMemory(LoadStr(SOutOfMemory));
    const int pos = std::clamp(at.Value(), 0, FCharCount);
    int line = RowOf(pos);
    int start = FStarts.PositionFromPartition(line);
    int offset = pos - start;
    // Copies: the record's text is replaced below.
    std::string old(FLines[line].View());
    std::string_view before = std::string_view(old).substr(0, size_t(offset));
    std::string_view after = std::string_view(old).substr(size_t(offset));
    int len = static_cast<int>(text.size());

    size_t cr = text.find('\r');
    if (cr == std::string::npos) {
        std::unique_ptr<TRowScan> kept = KeepRowScan(FLines[line], offset, 0, len);
        SetRecordText(FLines[line], before, text + std::string(after), true);
        if (kept) FLines[line].EnsureExtra().Scan = std::move(kept);
        FStarts.InsertText(line, len);
    } else {
        // Split: the first piece ends the old line, the rest become new records.
        std::vector<std::string_view> pieces;
        size_t from = 0;
        std::string_view tv(text);
        while (true) {
            size_t e = tv.find('\r', from);
            if (e == std::string_view::npos) {
                pieces.push_back(tv.substr(from));
                break;
            }
            pieces.push_back(tv.substr(from, e - from + 1));
            from = e + 1;
        }
        // One big insertion may reserve exactly; a chunked load relies on geometric growth.
        if (pieces.size() > size_t(FLines.Length()) / 2)
            ReserveLines(FLines.Length() + static_cast<int>(pieces.size()));
        const bool pool = text.size() >= kPoolFrom;
        const int added = static_cast<int>(pieces.size()) - 1;
        FStarts.InsertText(line, len);
        // Every new row starts a logical line of its own; those below move down by as many rows.
        const int logical = FLogical.PartitionFromPosition(line);
        FLogical.InsertText(logical, added);
        for (int k = 1; k <= added; ++k)
            FLogical.InsertPartition(logical + k, line + k);
        // The scan state kept for the old row's end goes with that end, to the last new row.
        const uint32_t endState = FLines[line].ScanEnd;
        const uint32_t endReach = RowReach(FLines[line]);
        FLines[line].ScanEnd = 0;
        SetRecordText(FLines[line], before, pieces[0], true);
        int at = start + static_cast<int>(before.size() + pieces[0].size());
        for (size_t k = 1; k < pieces.size(); ++k) {
            TLineRecord rec;
            SetRecordText(rec, pieces[k], k + 1 == pieces.size() ? after : std::string_view(),
                          false, pool);
            int index = line + static_cast<int>(k);
            if (k + 1 == pieces.size()) {
                rec.ScanEnd = endState;
                SetRowReach(rec, endReach);
            }
            FLines.Insert(index, std::move(rec));
            FStarts.InsertPartition(index, at);
            at += static_cast<int>(pieces[k].size());
        }
        // Breaks typed at the start of a line push its text down, and its bookmarks with it.
        const uint16_t bits = FLines[line].Marks & lmBookmarkBits;
        if (bits && offset == 0 && (line == 0 || FLines[line - 1].View().ends_with('\r'))) {
            FLines[line].Marks &= uint16_t(~lmBookmarkBits);
            FLines[line + int(pieces.size()) - 1].Marks |= bits;
        }
    }
    FCharCount += len;
    RepackPool();
    if (line < FCachedTop && cr != std::string::npos) FCachedTop = 0;
    for (auto* o : FObservers)
        o->OnInsert(TOffset(pos), text);
    for (auto* o : FObservers)
        o->AfterEdit();
    return len;
}

void TTextStore::Delete(TOffset at, int length) {
    const int pos = std::clamp(at.Value(), 0, FCharCount);
    length = std::clamp(length, 0, FCharCount - pos);
    if (length == 0) return;
    std::string deleted = FObservers.empty() ? std::string() : Output(pos, pos + length, "\r");
    int l1 = RowOf(pos), l2 = RowOf(pos + length);
    int o1 = pos - FStarts.PositionFromPartition(l1);
    int o2 = pos + length - FStarts.PositionFromPartition(l2);
    std::string head(FLines[l1].View().substr(0, size_t(o1)));
    std::string tail(FLines[l2].View().substr(size_t(o2)));
    // A numbered bookmark stays while some of its logical line (text or break) is left; it then
    // rides on the joined row. A line deleted whole takes its bookmark with it.
    uint16_t bits = 0;
    for (int i = l1; i <= l2; ++i) {
        const uint16_t b = FLines[i].Marks & lmBookmarkBits;
        if (!b) continue;
        const int start = FStarts.PositionFromPartition(i);
        if (start < pos || start >= pos + length) { // its start is not deleted
            bits |= b;
            continue;
        }
        const int last = FirstRowOf(LogicalLineOf(TRow(i)) + 1).Value() - 1;
        if (FStarts.PositionFromPartition(last) + FLines[last].Length > pos + length) bits |= b;
    }
    // The breaks that go: each removed row's own, when it ends in one (a cut row does not). The
    // logical lines they ended join the one holding l1, and those below move up.
    int gone = 0;
    for (int i = l1; i < l2; ++i)
        if (FLines[i].View().ends_with('\r')) ++gone;
    const int logical = FLogical.PartitionFromPosition(l1);
    for (int k = gone; k > 0; --k)
        FLogical.RemovePartition(logical + k);
    FLogical.InsertText(logical, -(l2 - l1));
    // The joined row ends where the last of them did, and keeps the scan state kept there.
    FLines[l1].ScanEnd = FLines[l2].ScanEnd;
    SetRowReach(FLines[l1], RowReach(FLines[l2]));
    for (int i = l2; i > l1; --i) {
        ReleaseText(FLines[i]);
        FStarts.RemovePartition(i);
    }
    FLines.DeleteRange(l1 + 1, l2 - l1);
    FStarts.InsertText(l1, -length);
    std::unique_ptr<TRowScan> kept = l1 == l2 ? KeepRowScan(FLines[l1], o1, length, 0) : nullptr;
    SetRecordText(FLines[l1], head, tail, true);
    if (kept) FLines[l1].EnsureExtra().Scan = std::move(kept);
    // They belong on the first row of the joined logical line.
    FLines[l1].Marks &= uint16_t(~lmBookmarkBits);
    if (bits) {
        const int first = FirstRowOf(LogicalLineOf(TRow(l1))).Value();
        FLines[first].Marks |= bits;
        FLines[first].Flags |= lfRepaint; // the gutter shows them
    }
    FCharCount -= length;
    RepackPool();
    if (l1 < FCachedTop) FCachedTop = 0;
    for (auto* o : FObservers)
        o->OnDelete(TOffset(pos), deleted);
    for (auto* o : FObservers)
        o->AfterEdit();
}

std::string TTextStore::StoredText(TOffset start, TOffset end) const {
    return Output(start.Value(), end.Value(), "\r");
}

std::string TTextStore::GetText(TOffset start, TOffset end, TSaveFormat format) const {
    return Output(start.Value(), end.Value(), LineEndOf(format));
}

std::string TTextStore::Output(int start, int end, const char* lineEnd) const {
    if (start > end) std::swap(start, end);
    start = std::clamp(start, 0, FCharCount);
    end = std::clamp(end, 0, FCharCount);
    std::string out;
    out.reserve(static_cast<size_t>(end - start));
    int line = RowOf(start);
    int at = FStarts.PositionFromPartition(line);
    while (at < end && line < LineCount()) {
        std::string_view v = FLines[line].View();
        int from = std::max(start - at, 0);
        int to = std::min(end - at, static_cast<int>(v.size()));
        for (int i = from; i < to; ++i) {
            if (v[i] == '\r')
                out += lineEnd;
            else
                out += v[i];
        }
        at += static_cast<int>(v.size());
        ++line;
    }
    return out;
}

bool TTextStore::RecutRows(TRow firstRow, int count, const std::vector<int>& lengths) {
    const int first = firstRow.Value();
    if (first < 0 || count <= 0 || first + count > LineCount() || lengths.empty()) return false;
    int total = 0;
    bool same = int(lengths.size()) == count;
    for (int i = 0; i < count; ++i) {
        total += FLines[first + i].Length;
        if (same && lengths[size_t(i)] != FLines[first + i].Length) same = false;
    }
    int sum = 0;
    for (int n : lengths) {
        if (n <= 0) return false;
        sum += n;
    }
    if (same || sum != total) return false;

    // What the old rows knew, by text offset from the first: their bytes (a row without them
    // leaves a gap that must be scanned), their pending scans and their checkpoints.
    struct TOldRow {
        int End;
        bool Known; // bytes present and no scan pending
        uint32_t ScanEnd;
        uint32_t Reach;
    };
    std::string text;
    text.reserve(size_t(total));
    std::vector<uint8_t> attrs(size_t(total), 0);
    std::vector<TOldRow> old;
    uint16_t bookmarks = 0;
    uint32_t flags = 0;
    for (int i = 0; i < count; ++i) {
        const TLineRecord& rec = FLines[first + i];
        const int from = int(text.size());
        text.append(rec.View());
        const auto* a = rec.Extra ? &rec.Extra->Attributes : nullptr;
        const bool haveAttrs = rec.Length == 0 || (a && int(a->size()) >= rec.Length);
        if (haveAttrs && rec.Length > 0)
            std::copy(a->begin(), a->begin() + rec.Length, attrs.begin() + from);
        old.push_back(
            {from + rec.Length, haveAttrs && !(rec.Flags & lfRescan), rec.ScanEnd, RowReach(rec)});
        bookmarks |= rec.Marks & ~lmContinuation;
        flags |= rec.Flags;
    }
    TLineRecord& head = FLines[first];
    const int start = FStarts.PositionFromPartition(first);
    const uint16_t headMarks = uint16_t((head.Marks & ~lmContinuation) | bookmarks);
    const uint16_t glyphs = head.Glyphs;
    const int32_t paintA = head.PaintA, paintB = head.PaintB;
    std::unique_ptr<TLineObject> object = head.Extra ? std::move(head.Extra->Object) : nullptr;
    const bool wasContinuation = head.Marks & lmContinuation;

    // Logical lines that start inside the rows go, to come back where the new rows put them.
    const int logical = FLogical.PartitionFromPosition(first);
    int starts = 0;
    for (int i = first; i + 1 < first + count; ++i)
        if (FLines[i].View().ends_with('\r')) ++starts;
    for (int k = starts; k > 0; --k)
        FLogical.RemovePartition(logical + k);
    FLogical.InsertText(logical, int(lengths.size()) - count);
    for (int i = first + count - 1; i > first; --i) {
        ReleaseText(FLines[i]);
        FStarts.RemovePartition(i);
    }
    FLines.DeleteRange(first + 1, count - 1);
    int at = 0;
    size_t o = 0; // the first old row that ends past `at`
    for (size_t k = 0; k < lengths.size(); ++k) {
        int n = lengths[k];
        int index = first + int(k);
        if (k > 0) {
            FLines.Insert(index, TLineRecord());
            FStarts.InsertPartition(index, start + at);
        }
        TLineRecord& rec = FLines[index];
        SetRecordText(rec, std::string_view(text).substr(size_t(at), size_t(n)), {}, true);
        // The new row is known when every old row it overlaps was; ending where an old row
        // ended, it ends in the same scan state.
        bool known = true;
        rec.ScanEnd = 0;
        SetRowReach(rec, RowReachFar);
        while (o < old.size() && old[o].End <= at)
            ++o;
        // An empty old row where this one ends (what an edit emptied) counts too: its pending
        // scan is that edit's, and may change the tokens before it.
        for (size_t q = o; q < old.size(); ++q) {
            known = known && old[q].Known;
            if (old[q].End == at + n) {
                rec.ScanEnd = old[q].ScanEnd;
                SetRowReach(rec, old[q].Reach);
            }
            if (old[q].End >= at + n && (q + 1 == old.size() || old[q + 1].End > at + n)) break;
        }
        if (known) {
            rec.EnsureExtra().Attributes.assign(attrs.begin() + at, attrs.begin() + at + n);
            rec.Flags &= ~uint32_t(lfRescan);
        }
        rec.Marks =
            k == 0 ? uint16_t(headMarks | (wasContinuation ? lmContinuation : 0)) : lmContinuation;
        rec.Glyphs = k == 0 ? glyphs : 0;
        rec.PaintA = paintA;
        rec.PaintB = paintB;
        at += n;
    }
    for (int i = first, k = logical; i + 1 < first + int(lengths.size()); ++i)
        if (FLines[i].View().ends_with('\r')) FLogical.InsertPartition(++k, i + 1);
    if (object) FLines[first].EnsureExtra().Object = std::move(object);
    if ((flags & lfScanRestart) != 0) FLines[first].Flags |= lfScanRestart;
    if (first < FCachedTop) FCachedTop = 0;
    for (auto* o : FObservers)
        o->OnRowsRecut(firstRow, count, int(lengths.size()));
    return true;
}

void TTextStore::ClearBookmarks() {
    for (int i = 0; i < LineCount(); ++i)
        if (FLines[i].Marks & lmBookmarkBits) {
            FLines[i].Marks &= uint16_t(~lmBookmarkBits);
            FLines[i].Flags |= lfRepaint;
        }
    std::fill(std::begin(Bookmarks), std::end(Bookmarks), uint16_t(0));
}

void TTextStore::AttachControl(TCustomCodeMemo* control) {
    if (std::find(FControls.begin(), FControls.end(), control) == FControls.end())
        FControls.push_back(control);
}

void TTextStore::DetachControl(TCustomCodeMemo* control) {
    FControls.erase(std::remove(FControls.begin(), FControls.end(), control), FControls.end());
}

std::unique_ptr<TUndoStack> TTextStore::DetachUndoStack() {
    return std::move(FUndo);
}
void TTextStore::AttachUndoStack(std::unique_ptr<TUndoStack> stack) {
    FUndo = std::move(stack);
    if (FUndo && FUndoTarget) FUndo->SetTarget(FUndoTarget);
}

void TTextStore::SetUndoTarget(TUndoTarget* target) {
    FUndoTarget = target;
    if (FUndo) FUndo->SetTarget(target);
}

void TTextStore::AddObserver(ITextStoreObserver* o) {
    if (std::find(FObservers.begin(), FObservers.end(), o) == FObservers.end())
        FObservers.push_back(o);
}

void TTextStore::RemoveObserver(ITextStoreObserver* o) {
    FObservers.erase(std::remove(FObservers.begin(), FObservers.end(), o), FObservers.end());
}

} // namespace quillet
