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
    return FStarts.PartitionFromPosition(std::clamp(pos, 0, CharCount()));
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

void TTextStore::Reserve(int lines, int chars) {
    if (lines > FLines.Length()) {
        FLines.Reserve(lines);
        FStarts.Reserve(lines);
    }
    // With room for edits after it: the first keystroke in a loaded text copies nothing.
    if (chars > 0)
        FText.Reserve(int(std::min<long long>(INT_MAX, chars + (long long)chars / 16 + 256)));
}

void TTextStore::TouchRow(int row, bool keepDecor) {
    TLineRecord& rec = FLines[row];
    if (rec.Extra) {
        rec.Extra->Attributes.clear();
        rec.Extra->Scan.reset();
    }
    if (!keepDecor) {
        rec.Glyphs = 0;
        rec.PaintA = rec.PaintB = -1;
    }
    rec.Flags |= lfRepaint | lfRescan;
    const int start = FStarts.PositionFromPartition(row);
    const int end = FStarts.PositionFromPartition(row + 1);
    if (FText.Contains(start, end, '\t'))
        rec.Flags |= lfHasTab;
    else
        rec.Flags &= ~lfHasTab;
    FWidest = std::max(FWidest, end - start);
}

std::unique_ptr<TRowScan> TTextStore::KeepRowScan(TLineRecord& rec, int length, int at,
                                                  int removed, int added) {
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
        rec.Extra->Attributes.size() != size_t(length))
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
    if (text.size() > static_cast<size_t>(INT_MAX - CharCount()))
        throw EOutOfMemory(LoadStr(SOutOfMemory));
    const int pos = std::clamp(at.Value(), 0, CharCount());
    const int line = RowOf(pos);
    const int start = FStarts.PositionFromPartition(line);
    const int offset = pos - start;
    const int oldLength = RowLength(TRow(line));
    const int len = static_cast<int>(text.size());
    // Everything that may fail (running out of memory) comes before the first change: the
    // breaks found, room made for the rows they start, then the characters.
    std::vector<int> breaks; // offsets in `text` just past each CR
    size_t cr = text.find('\r');
    for (size_t e = cr; e != std::string::npos; e = text.find('\r', e + 1))
        breaks.push_back(int(e) + 1);
    const int added = static_cast<int>(breaks.size());
    if (added > 0) {
        // One big insertion may reserve exactly; a chunked load relies on geometric growth.
        if (breaks.size() > size_t(FLines.Length()) / 2) Reserve(FLines.Length() + added, 0);
        FLines.MakeRoom(added);
        FStarts.MakeRoom(added);
        FLogical.MakeRoom(added);
    }
    FText.Insert(pos, text.data(), len);

    if (cr == std::string::npos) {
        std::unique_ptr<TRowScan> kept = KeepRowScan(FLines[line], oldLength, offset, 0, len);
        FStarts.InsertText(line, len);
        TouchRow(line, true);
        if (kept) FLines[line].EnsureExtra().Scan = std::move(kept);
    } else {
        // Split: the row ends after the first break, and a row starts after every break.
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
        FLines.InsertEmpty(line + 1, added);
        for (int k = 1; k <= added; ++k)
            FStarts.InsertPartition(line + k, pos + breaks[size_t(k - 1)]);
        TouchRow(line, true);
        for (int k = 1; k <= added; ++k)
            TouchRow(line + k, false);
        FLines[line + added].ScanEnd = endState;
        SetRowReach(FLines[line + added], endReach);
        // Breaks typed at the start of a line push its text down, and its bookmarks with it.
        const uint16_t bits = FLines[line].Marks & lmBookmarkBits;
        if (bits && offset == 0 && (line == 0 || RowEndsInBreak(TRow(line - 1)))) {
            FLines[line].Marks &= uint16_t(~lmBookmarkBits);
            FLines[line + added].Marks |= bits;
        }
    }
    ++FEdits;
    if (line < FCachedTop && cr != std::string::npos) FCachedTop = 0;
    for (auto* o : FObservers)
        o->OnInsert(TOffset(pos), text);
    for (auto* o : FObservers)
        o->AfterEdit();
    return len;
}

void TTextStore::Delete(TOffset at, int length) {
    const int pos = std::clamp(at.Value(), 0, CharCount());
    length = std::clamp(length, 0, CharCount() - pos);
    if (length == 0) return;
    std::string deleted = FObservers.empty() ? std::string() : Output(pos, pos + length, "\r");
    int l1 = RowOf(pos), l2 = RowOf(pos + length);
    int o1 = pos - FStarts.PositionFromPartition(l1);
    const int oldLength = RowLength(TRow(l1));
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
        if (FStarts.PositionFromPartition(last + 1) > pos + length) bits |= b;
    }
    // The breaks that go: each removed row's own, when it ends in one (a cut row does not). The
    // logical lines they ended join the one holding l1, and those below move up.
    int gone = 0;
    for (int i = l1; i < l2; ++i)
        if (RowEndsInBreak(TRow(i))) ++gone;
    const int logical = FLogical.PartitionFromPosition(l1);
    for (int k = gone; k > 0; --k)
        FLogical.RemovePartition(logical + k);
    FLogical.InsertText(logical, -(l2 - l1));
    // The joined row ends where the last of them did, and keeps the scan state kept there.
    FLines[l1].ScanEnd = FLines[l2].ScanEnd;
    SetRowReach(FLines[l1], RowReach(FLines[l2]));
    for (int i = l2; i > l1; --i)
        FStarts.RemovePartition(i);
    FLines.DeleteRange(l1 + 1, l2 - l1);
    FStarts.InsertText(l1, -length);
    FText.Delete(pos, length);
    std::unique_ptr<TRowScan> kept =
        l1 == l2 ? KeepRowScan(FLines[l1], oldLength, o1, length, 0) : nullptr;
    TouchRow(l1, true);
    if (kept) FLines[l1].EnsureExtra().Scan = std::move(kept);
    // They belong on the first row of the joined logical line.
    FLines[l1].Marks &= uint16_t(~lmBookmarkBits);
    if (bits) {
        const int first = FirstRowOf(LogicalLineOf(TRow(l1))).Value();
        FLines[first].Marks |= bits;
        FLines[first].Flags |= lfRepaint; // the gutter shows them
    }
    ++FEdits;
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
    start = std::clamp(start, 0, CharCount());
    end = std::clamp(end, 0, CharCount());
    std::string out;
    const bool asStored = lineEnd[0] == '\r' && lineEnd[1] == 0;
    out.reserve(static_cast<size_t>(end - start));
    FText.Pieces(start, end, [&](std::string_view piece) {
        if (asStored) {
            out.append(piece);
            return;
        }
        for (size_t at = 0; at < piece.size();) {
            const size_t cr = piece.find('\r', at);
            out.append(piece.substr(at, cr == std::string_view::npos ? cr : cr - at));
            if (cr == std::string_view::npos) break;
            out += lineEnd;
            at = cr + 1;
        }
    });
    return out;
}

bool TTextStore::RecutRows(TRow firstRow, int count, const std::vector<int>& lengths) {
    const int first = firstRow.Value();
    if (first < 0 || count <= 0 || first + count > LineCount() || lengths.empty()) return false;
    int total = 0;
    bool same = int(lengths.size()) == count;
    for (int i = 0; i < count; ++i) {
        const int length = RowLength(TRow(first + i));
        total += length;
        if (same && lengths[size_t(i)] != length) same = false;
    }
    int sum = 0;
    for (int n : lengths) {
        if (n <= 0) return false;
        sum += n;
    }
    if (same || sum != total) return false;

    // What the old rows knew, by text offset from the first: their attribute bytes (a row
    // without them leaves a gap that must be scanned), their pending scans and checkpoints.
    struct TOldRow {
        int End;
        bool Known; // bytes present and no scan pending
        uint32_t ScanEnd;
        uint32_t Reach;
    };
    std::vector<uint8_t> attrs(size_t(total), 0);
    std::vector<TOldRow> old;
    uint16_t bookmarks = 0;
    uint32_t flags = 0;
    for (int i = 0; i < count; ++i) {
        const TLineRecord& rec = FLines[first + i];
        const int from = old.empty() ? 0 : old.back().End;
        const int length = RowLength(TRow(first + i));
        const auto* a = rec.Extra ? &rec.Extra->Attributes : nullptr;
        const bool haveAttrs = length == 0 || (a && int(a->size()) >= length);
        if (haveAttrs && length > 0)
            std::copy(a->begin(), a->begin() + length, attrs.begin() + from);
        old.push_back(
            {from + length, haveAttrs && !(rec.Flags & lfRescan), rec.ScanEnd, RowReach(rec)});
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

    // Room for the new rows before anything changes (see Insert).
    const int more = int(lengths.size()) - count;
    if (more > 0) {
        FLines.MakeRoom(more);
        FStarts.MakeRoom(more);
    }
    FLogical.MakeRoom(int(lengths.size()));
    // Logical lines that start inside the rows go, to come back where the new rows put them.
    const int logical = FLogical.PartitionFromPosition(first);
    int starts = 0;
    for (int i = first; i + 1 < first + count; ++i)
        if (RowEndsInBreak(TRow(i))) ++starts;
    for (int k = starts; k > 0; --k)
        FLogical.RemovePartition(logical + k);
    FLogical.InsertText(logical, int(lengths.size()) - count);
    for (int i = first + count - 1; i > first; --i)
        FStarts.RemovePartition(i);
    FLines.DeleteRange(first + 1, count - 1);
    // The new cuts first, so that each row reads as its own characters below.
    FLines.InsertEmpty(first + 1, int(lengths.size()) - 1);
    for (int k = 1, at = lengths[0]; k < int(lengths.size()); at += lengths[size_t(k++)])
        FStarts.InsertPartition(first + k, start + at);
    int at = 0;
    size_t o = 0; // the first old row that ends past `at`
    for (size_t k = 0; k < lengths.size(); ++k) {
        int n = lengths[k];
        int index = first + int(k);
        TouchRow(index, true);
        TLineRecord& rec = FLines[index];
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
        if (RowEndsInBreak(TRow(i))) FLogical.InsertPartition(++k, i + 1);
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
