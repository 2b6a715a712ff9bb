#include "editor/Bookmarks.h"

#include "resources/Strings.h"

#include <algorithm>

namespace quillet {

void TNumberedBookmarks::Check(int n) {
    if (n < 0 || n >= Count) throw EBookmarkError(LoadStr(SBookmarkRange));
}

int TNumberedBookmarks::Column(int n) const {
    Check(n);
    return Columns()[n];
}

std::optional<TRow> TNumberedBookmarks::RowOf(const TBookmarkHost& host, int n) const {
    const uint16_t bit = uint16_t(1u << n);
    for (TRow i(0), count(host.LineCount()); i < count; ++i)
        if (host.LineMarks(i) & bit) return i;
    return std::nullopt;
}

void TNumberedBookmarks::Set(TBookmarkHost& host, int n, int line, int column) {
    Check(n);
    const uint16_t bit = uint16_t(1u << n);
    TRow target;
    if (line == -1) {
        target = host.CaretLine();
        column = host.CaretColumn().Value() + 1;
    } else {
        target = TRow(std::max(line, 1) - 1);
        column = std::max(column, 1);
    }
    const int count = host.LineCount();
    if (count == 0) return;
    target = std::min(target, TRow(count - 1));
    // A bookmark belongs to a logical line: its first row.
    if (host.WordWrap())
        while (target > TRow(0) && (host.LineMarks(target) & lmContinuation))
            --target;

    const std::optional<TRow> old = Columns()[n] != 0 ? RowOf(host, n) : std::nullopt;
    // Only its own bit: a line joined from two bookmarked lines carries both.
    if (old) host.SetLineMarks(*old, uint16_t(host.LineMarks(*old) & ~bit));
    if (old == target) {
        // Setting it again where it is takes it away.
        Columns()[n] = 0;
        return;
    }
    host.SetLineMarks(target, uint16_t((host.LineMarks(target) & ~lmBookmarkBits) | bit));
    Columns()[n] = uint16_t(std::min(column, 0xFFFF));
    if (OnBookmarkSet) OnBookmarkSet(*this, n);
}

bool TNumberedBookmarks::Find(const TBookmarkHost& host, int n, TRow& row, TOffset& offset) const {
    Check(n);
    if (Columns()[n] == 0) return false;
    const uint16_t bit = uint16_t(1u << n);
    TOffset start(0);
    for (TRow i(0), count(host.LineCount()); i < count; ++i) {
        int length = host.LineLength(i);
        if (host.LineMarks(i) & bit) {
            // The column counts in the logical line, over the rows it was cut into.
            TRow last = i;
            while (last + 1 < count && !host.LineEndsWithCR(last)) {
                ++last;
                length += host.LineLength(last);
            }
            // The last line has no CR: its end is a valid caret place too.
            int textLength = length - (host.LineEndsWithCR(last) ? 1 : 0);
            row = i;
            offset = start + std::min(int(Columns()[n]) - 1, textLength);
            return true;
        }
        start += length;
    }
    return false;
}

void TCustomBookmarks::Free(const std::string& name) {
    if (OnFree) OnFree(*this, name);
}

void TCustomBookmarks::Set(const std::string& name, TOffset position) {
    auto it = std::find_if(FEntries.begin(), FEntries.end(),
                           [&](const TCustomBookmark& b) { return b.Name == name; });
    if (it != FEntries.end()) FEntries.erase(it);
    auto at =
        std::upper_bound(FEntries.begin(), FEntries.end(), position,
                         [](TOffset pos, const TCustomBookmark& b) { return pos < b.Position; });
    FEntries.insert(at, TCustomBookmark{name, position});
}

bool TCustomBookmarks::Remove(const std::string& name) {
    auto it = std::find_if(FEntries.begin(), FEntries.end(),
                           [&](const TCustomBookmark& b) { return b.Name == name; });
    if (it == FEntries.end()) return false;
    std::string gone = it->Name;
    FEntries.erase(it);
    Free(gone);
    return true;
}

bool TCustomBookmarks::Find(const std::string& name, TOffset& position) const {
    for (const auto& b : FEntries)
        if (b.Name == name) {
            position = b.Position;
            return true;
        }
    return false;
}

const TCustomBookmark* TCustomBookmarks::FindAt(TOffset position) const {
    auto at =
        std::lower_bound(FEntries.begin(), FEntries.end(), position,
                         [](const TCustomBookmark& b, TOffset pos) { return b.Position < pos; });
    return at == FEntries.end() ? nullptr : &*at;
}

void TCustomBookmarks::Clear() {
    std::vector<TCustomBookmark> gone;
    gone.swap(FEntries);
    for (const auto& b : gone)
        Free(b.Name);
}

void TCustomBookmarks::AdjustInsert(TOffset position, int length) {
    for (auto& b : FEntries)
        if (b.Position >= position) b.Position += length;
}

void TCustomBookmarks::AdjustDelete(TOffset position, int length) {
    const TOffset end = position + length;
    std::vector<std::string> gone;
    std::vector<TCustomBookmark> kept;
    kept.reserve(FEntries.size());
    for (auto& b : FEntries) {
        if (b.Position >= position && b.Position < end) {
            gone.push_back(b.Name);
            continue;
        }
        if (b.Position >= end) b.Position -= length;
        kept.push_back(std::move(b));
    }
    FEntries.swap(kept);
    // Callbacks run once the list is consistent again.
    for (const auto& name : gone)
        Free(name);
}

} // namespace quillet
