#include "editor/CodeMemoWrap.h"

#include "editor/CodeMemo.h"
#include "editor/CodeMemoView.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <cstdint>

namespace quillet {

namespace {

// White space in UTF-8 text: control codes and blanks, and U+00A0 (C2 A0) as one unit.
bool IsBreakSpace(const char* text, int i, int length) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c <= 32) return true;
    if (c == 0xC2) return i + 1 < length && static_cast<unsigned char>(text[i + 1]) == 0xA0;
    if (c == 0xA0) return i > 0 && static_cast<unsigned char>(text[i - 1]) == 0xC2;
    return false;
}

} // namespace

int DefaultWordBreak(const char* text, int current, int length, int code) {
    if (!text || length <= 0) return 0;
    current = std::clamp(current, 0, length);
    switch (code) {
    case wbLeft:
        if (current < length && IsBreakSpace(text, current, length)) {
            while (current < length && IsBreakSpace(text, current, length))
                ++current;
            return current;
        }
        while (current > 0 && !IsBreakSpace(text, current - 1, length))
            --current;
        return current;
    case wbRight:
        while (current < length && !IsBreakSpace(text, current, length))
            ++current;
        while (current < length && IsBreakSpace(text, current, length))
            ++current;
        return current;
    case wbIsDelimiter:
        return current < length && IsBreakSpace(text, current, length) ? 1 : 0;
    default:
        return 0;
    }
}

namespace {

bool Exempt(std::string_view text, const TWrapParams& p) {
    return !p.WordWrap || (p.UseOverride && !text.empty() && text[0] != '\r' &&
                           p.OverrideChars.find(text[0]) != std::string::npos);
}

// Besides white space, a row may also end after one of these marks, the last chance in the
// row winning either way: a minified style sheet or a data URL has no blanks, and a cut at a
// fixed width would move every later row on each keystroke, where a cut after a mark depends
// only on the text near it, so after an edit the new cuts soon fall on the old ones again.
bool BreaksAfter(unsigned char c) {
    switch (c) {
    case '}':
    case ')':
    case ']':
    case ';':
    case ',':
    case '>':
    case '?':
    case '|':
    case '/':
    case '&':
    case '+':
    case '=':
        return true;
    default:
        return false;
    }
}

// The position after the last such mark in (s, cut), or 0.
size_t AfterMark(std::string_view content, size_t s, size_t cut) {
    for (size_t i = cut; i > s + 1; --i)
        if (BreaksAfter(static_cast<unsigned char>(content[i - 1]))) return i;
    return 0;
}

// Bytes a built-in cut may fall at or after: white space (codes up to 32, both bytes of
// U+00A0) and the marks.
struct TBreakBytes {
    bool Is[256] = {};
    TBreakBytes() {
        for (int c = 0; c < 256; ++c)
            Is[c] = c <= 32 || c == 0xC2 || c == 0xA0 || BreaksAfter(static_cast<unsigned char>(c));
    }
};

// The last of them in content[s, cut], or npos. Past it the built-in search finds nothing: a
// run without breaks is learnt in one tight pass over the row.
size_t LastBreakByte(std::string_view content, size_t s, size_t cut) {
    static const TBreakBytes bytes;
    for (size_t i = std::min(cut + 1, content.size()); i > s; --i)
        if (bytes.Is[static_cast<unsigned char>(content[i - 1])]) return i - 1;
    return std::string_view::npos;
}

// Where the row that starts at s ends: the next row's start, or len when the rest fits.
// text[0, len) is the line's content; a caller with only part of it passes len = what it has,
// at least MaxRowLength + 1 past s, so every decision falls inside it. `standing` (when given)
// tells whether the row had no break opportunity and was cut where it stands: then any code
// point start up to the cut would do as well.
size_t CutRow(std::string_view text, size_t s, size_t len, bool exempt, const TWrapParams& p,
              bool* standing = nullptr) {
    if (standing) *standing = false;
    const std::string_view content = text.substr(0, len);
    const size_t limit = std::min(len, s + size_t(MaxRowLength));
    size_t cut = limit;
    if (!exempt) {
        // The first four characters always stay; then up to the last one that fits.
        const int cw = std::max(1, p.CharWidth);
        const bool measure = !p.FixedPitch && p.Font;
        int column = 0, width = 0, chars = 0;
        size_t i = s;
        while (i < limit) {
            size_t j = i;
            const char32_t cp = DecodeUtf8(content, j);
            int w;
            if (text[i] == '\t') {
                int next = p.NextTabStop ? p.NextTabStop(column) : (column / 8 + 1) * 8;
                next = std::max(column + 1, next);
                w = (next - column) * cw;
                column = next;
            } else {
                w = measure ? p.Font->CharWidth(cp) : cw;
                ++column;
            }
            if (chars >= 4 && width + w > p.Width) break;
            width += w;
            ++chars;
            i = j;
        }
        cut = i;
    }
    if (cut >= len) return len;
    cut = std::max(s, Utf8CharStart(content, cut));
    if (cut <= s) cut = std::min(limit, s + size_t(Utf8CharLength(content, s)));
    // Move the cut to a word boundary: past blanks (they stay on this row) or back to the
    // start of the word it fell into, or after the last mark, whichever is later. The built-in
    // search need not look left of that mark: it finds the same boundary or one before it.
    size_t look = cut; // where the search starts: it finds nothing between here and the cut
    if (!p.WordBreak) {
        const size_t last = LastBreakByte(content, s, cut);
        if (last == std::string_view::npos) {
            if (standing) *standing = true;
            return cut;
        }
        look = std::min(cut, last + 1);
    }
    const size_t mark = AfterMark(content, s, look);
    const size_t from = p.WordBreak ? s : std::max(s, mark);
    const char* seg = text.data() + from;
    const int segLen = int(len - from);
    int r = p.WordBreak ? p.WordBreak(seg, int(cut - from), segLen, wbLeft)
                        : DefaultWordBreak(seg, int(look - from), segLen, wbLeft);
    size_t b = from + size_t(std::clamp(r, 0, segLen));
    if (b > limit) b = limit;
    if (b < len) b = std::max(s, Utf8CharStart(content, b));
    b = std::max(b, mark);
    if (b <= s) { // a word longer than the row is cut where it stands
        b = cut;
        if (standing) *standing = true;
    }
    return b;
}

size_t CodePoints(std::string_view text) {
    size_t n = 0;
    for (char c : text)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

// The most characters a cut reads past its row's start under word wrap: with a fixed pitch at
// least four, then as many as fit (a tab is wider than one); SIZE_MAX when only bytes bound it.
size_t RowReachChars(const TWrapParams& p) {
    if (!p.WordWrap || !p.FixedPitch) return SIZE_MAX;
    return size_t(std::max(4, p.Width / std::max(1, p.CharWidth))) + 1;
}

} // namespace

std::vector<int> CutLogicalLine(std::string_view text, const TWrapParams& p) {
    const size_t n = text.size();
    const size_t len = n > 0 && text.back() == '\r' ? n - 1 : n;
    const bool exempt = Exempt(text, p);
    if (len <= size_t(MaxRowLength) && exempt) return {int(n)};
    std::vector<int> out;
    size_t s = 0;
    while (s < len) {
        size_t b = CutRow(text, s, len, exempt, p);
        if (b >= len) break;
        out.push_back(int(b - s));
        s = b;
    }
    out.push_back(int(n - s)); // the rest, with the break
    return out;
}

std::string CheckLogicalLineCuts(std::string_view text, const std::vector<int>& rows,
                                 const TWrapParams& p) {
    const size_t n = text.size();
    const size_t len = n > 0 && text.back() == '\r' ? n - 1 : n;
    const bool exempt = Exempt(text, p);
    size_t s = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::string where = "row " + std::to_string(i) + " at " + std::to_string(s);
        if (rows[i] < 0 || (rows[i] == 0 && n > 0)) return where + " is empty";
        const size_t e = s + size_t(rows[i]);
        if (e > n) return where + " runs past the line";
        if (i + 1 == rows.size()) {
            if (e != n) return "the rows stop short of the line's end";
            if (s < len && CutRow(text, s, len, exempt, p) < len)
                return where + " is the last row but longer than a row";
            return {};
        }
        if (e > len) return where + " holds the line break but is not the last row";
        bool standing = false;
        const size_t b = CutRow(text, s, len, exempt, p, &standing);
        if (b >= len) return where + " is cut though the rest fits in one row";
        if (!standing && e != b)
            return where + " ends at " + std::to_string(e) + ", not at its break at " +
                   std::to_string(b);
        if (standing && e > b)
            return where + " ends at " + std::to_string(e) + ", past the room up to " +
                   std::to_string(b);
        if (Utf8CharStart(text, e) != e) return where + " ends inside a character";
        s = e;
    }
    return "no rows";
}

std::string CheckStoreRows(const TTextStore& st, const TWrapParams& p) {
    std::string line;
    std::vector<int> rows;
    int first = 0, lines = 0;
    for (int r = 0; r < st.LineCount(); ++r) {
        const TLineRecord& rec = st.Line(TRow(r));
        const bool continued = (rec.Marks & lmContinuation) != 0;
        if (continued != (r > first))
            return "row " + std::to_string(r) +
                   (continued ? " is marked as a continuation"
                              : " is not marked as a continuation");
        const TLogicalLine logical = st.LogicalLineOf(TRow(r));
        if (logical != TLogicalLine(lines) || st.FirstRowOf(logical) != TRow(first))
            return "row " + std::to_string(r) + " of logical line " + std::to_string(lines) +
                   " is counted in line " + std::to_string(logical.Value()) + " starting at row " +
                   std::to_string(st.FirstRowOf(logical).Value());
        line.append(st.RowText(TRow(r)));
        rows.push_back(st.RowLength(TRow(r)));
        if (!st.RowEndsInBreak(TRow(r)) && r + 1 < st.LineCount()) continue;
        std::string fault = CheckLogicalLineCuts(line, rows, p);
        if (!fault.empty()) return "the line at row " + std::to_string(first) + ": " + fault;
        line.clear();
        rows.clear();
        first = r + 1;
        ++lines;
    }
    if (st.LogicalLineCount() != lines)
        return "the store counts " + std::to_string(st.LogicalLineCount()) +
               " logical lines, not " + std::to_string(lines);
    return {};
}

// ---- TCodeMemoWrap ----------------------------------------------------------------------

TCodeMemoWrap::TCodeMemoWrap(TCustomCodeMemo& memo) : FMemo(memo) {}

TCodeMemoWrap::~TCodeMemoWrap() {
    Detach();
}

void TCodeMemoWrap::Attach(TTextStore& store) {
    FLaidOut.clear();
    FStore = &store;
}

void TCodeMemoWrap::Detach() {
    FStore = nullptr;
}

bool TCodeMemoWrap::RowContinues(TRow row) const {
    const TTextStore& st = FMemo.Store();
    return row >= TRow(0) && row.Value() + 1 < st.LineCount() &&
           !st.RowEndsInBreak(row);
}

TRow TCodeMemoWrap::FirstRowOf(TRow row) const {
    const TTextStore& st = FMemo.Store();
    return st.FirstRowOf(st.LogicalLineOf(row));
}

TRow TCodeMemoWrap::LastRowOf(TRow row) const {
    const TTextStore& st = FMemo.Store();
    return st.FirstRowOf(st.LogicalLineOf(row) + 1) - 1;
}

TLogicalLine TCodeMemoWrap::LogicalLineOf(TRow row) const {
    return FMemo.Store().LogicalLineOf(row);
}

std::optional<TRow> TCodeMemoWrap::RowOfLogicalLine(TLogicalLine line) const {
    const TTextStore& st = FMemo.Store();
    if (line < TLogicalLine(0) || line.Value() >= st.LogicalLineCount()) return std::nullopt;
    return st.FirstRowOf(line);
}

void TCodeMemoWrap::RowFromLineIndex(TRow firstRow, TOffset index, TRow& row,
                                     TOffset& indexInRow) const {
    const TTextStore& st = FMemo.Store();
    const TRow first = FirstRowOf(firstRow);
    const TOffset start = st.PosFromLine(first);
    // The row holding the byte, found by offset; past the line's end, its last row.
    const TOffset at = start + std::clamp(index.Value(), 0, st.CharCount() - start.Value());
    row = std::min(st.LineFromPos(at), LastRowOf(first));
    indexInRow = TOffset(std::min(at - st.PosFromLine(row), st.RowLength(row)));
}

TOffset TCodeMemoWrap::LineIndexFromRow(TRow row, TOffset indexInRow) const {
    const TTextStore& st = FMemo.Store();
    row = std::clamp(row, TRow(0), TRow(st.LineCount() - 1));
    const TRow first = FirstRowOf(row);
    return TOffset(0) + (st.PosFromLine(row) - st.PosFromLine(first)) +
           std::max(0, indexInRow.Value());
}

TWrapParams TCodeMemoWrap::Params() const {
    TWrapParams p;
    TCustomCodeMemo& m = FMemo;
    const TViewMetrics& metrics = m.FView->Metrics();
    p.WordWrap = m.HasOption(smoWordWrap);
    p.CharWidth = std::max(1, metrics.CharWidth);
    p.Font = m.FView->Font();
    p.FixedPitch = metrics.FixedPitch || !p.Font;
    if (m.WrapAtColumn() > 0) {
        p.Width = m.WrapAtColumn() * p.CharWidth;
    } else if (m.FClientWidth > 0) {
        p.Width = m.FClientWidth - m.FView->TextLeft() - 2 * WrapScrollBarWidth;
    } else {
        p.Width = m.FVisibleColumns * p.CharWidth; // not laid out yet
    }
    if (p.Width < 1) p.Width = 8;
    p.NextTabStop = [&m](int column) { return m.NextTabStop(column); };
    p.UseOverride = m.HasOption(smoWrapOverride);
    p.OverrideChars = m.WrapOverride();
    p.WordBreak = m.OnWordBreakProc;
    return p;
}

bool TCodeMemoWrap::ExemptAt(TRow row, const TWrapParams& p) const {
    if (!p.WordWrap) return true;
    if (!p.UseOverride) return false;
    return Exempt(FMemo.Store().RowText(FirstRowOf(row)), p);
}

int TCodeMemoWrap::RecutFrom(TRow from, TRow editLast, bool exempt, const TWrapParams& p,
                             TRow& next) {
    TTextStore& st = FMemo.Store();
    const TRow count(st.LineCount());
    // A logical line of one row that fits stays as it is: the common case costs nothing.
    const std::string_view head = st.RowText(from);
    const bool ends = head.ends_with('\r') || from + 1 == count;
    if (ends && exempt && (from == TRow(0) || !RowContinues(from - 1)) &&
        head.size() - (head.ends_with('\r') ? 1 : 0) <= size_t(MaxRowLength)) {
        next = from + 1;
        return 0;
    }
    // Cut again from `from` until a new row starts where an old row after the edit starts (the
    // rest of the line is as it was) or the logical line ends. Only the rows that one row's cut
    // can reach are read, so the cost does not grow with the line.
    std::string window;
    std::vector<size_t> starts; // of the rows in the window
    TRow row = from;            // the next row to read
    bool complete = false;      // the window holds the rest of the logical line
    auto append = [&] {
        starts.push_back(window.size());
        const std::string_view v = st.RowText(row);
        window.append(v);
        ++row;
        complete = v.ends_with('\r') || row >= count;
    };
    append();
    const size_t editEnd = size_t(std::max(0, editLast - from + 1)); // first row past the edit
    std::vector<int> cuts;
    size_t s = 0, k = 1;
    TRow stop(-1);
    while (true) {
        while (!complete && window.size() < s + size_t(MaxRowLength) + 2)
            append();
        const size_t len = complete && window.ends_with('\r') ? window.size() - 1 : window.size();
        bool standing = false;
        size_t b = s < len ? CutRow(window, s, len, exempt, p, &standing) : len;
        if (complete && b >= len) {
            cuts.push_back(int(window.size() - s));
            break;
        }
        if (standing && !FFresh && !(complete && len - s <= size_t(MaxRowLength))) {
            // No break opportunity in reach: any cut that fits is as good as the one at the
            // edge, so the row ends where the next old row starts, if that fits. A run's cuts
            // then stand where they were: the edited row absorbs the edit (or leaves a short
            // row behind it) instead of moving every later cut of the run. A row left shorter
            // than a quarter of what fits joins the rows after it while they fit; one that
            // shrank less keeps its neighbour, so that typing and taking it back does not add
            // and remove a row each time. The last stretch of a line is cut afresh: it costs
            // little, and short lines look as they always did.
            auto next = std::upper_bound(starts.begin() + 1, starts.end(), s);
            if (next != starts.end() && *next <= b) {
                size_t q = *next;
                const size_t least = s + (b - s) / 4;
                for (++next; q < least && next != starts.end() && *next <= b; ++next)
                    q = *next;
                b = q;
            }
        }
        cuts.push_back(int(b - s));
        s = b;
        while (k < starts.size() && starts[k] < s)
            ++k;
        while (k < editEnd && k + 1 < starts.size() && starts[k + 1] == s)
            ++k; // past an emptied row that starts here too
        if (k < starts.size() && k >= editEnd && starts[k] == s) {
            stop = from + int(k);
            break;
        }
    }
    if (stop < TRow(0)) stop = row;
    const bool made = st.RecutRows(from, stop - from, cuts);
    next = from + int(cuts.size());
    return made ? int(cuts.size()) : 0;
}

int TCodeMemoWrap::Rewrap(TRow firstRow, TRow lastRow) {
    // Rows are laid out for a control that shows; without a window lines stay whole.
    if (!FMemo.Host()) FLaidOut.clear(); // edits now leave rows uncut: lay out afresh later
    if (FBusy || !FMemo.Host()) return 0;
    FBusy = true;
    TCustomCodeMemo& m = FMemo;
    TTextStore& st = m.Store();
    const TWrapParams p = Params();
    const TRow lastOne(st.LineCount() - 1);
    const TOffset topStart = st.PosFromLine(std::clamp(m.FTopLine, TRow(0), lastOne));
    const TRow editFirst = std::clamp(firstRow, TRow(0), lastOne);
    const TRow editLast = std::clamp(std::max(firstRow, lastRow), TRow(0), lastOne);
    // Rows before the one above the edit keep their cuts (the row above may take a word back),
    // unless the rows between are so short that one further up reaches the edit: a row's cut
    // depends on the text as far as a whole row would reach.
    TRow row = editFirst > TRow(0) && RowContinues(editFirst - 1) ? editFirst - 1 : editFirst;
    if (row < editFirst) {
        // A cut reads at most MaxRowLength + 1 bytes past the row's start, and with a fixed
        // pitch no more characters than fit.
        const size_t reachChars = ExemptAt(row, p) ? SIZE_MAX : RowReachChars(p);
        size_t bytes = size_t(st.RowLength(row));
        while (row > TRow(0) && RowContinues(row - 1)) {
            const size_t more = bytes + size_t(st.RowLength(row - 1));
            if (more > size_t(MaxRowLength) + 1) break;
            if (more > reachChars) { // as many bytes as that: count the characters
                size_t chars = 0;
                for (TRow r = row - 1; r < editFirst; ++r)
                    chars += CodePoints(st.RowText(r));
                if (chars > reachChars) break;
            }
            bytes = more;
            --row;
        }
    }
    int shift = 0;      // rows added so far, for the edit's row numbers further down
    bool moved = false; // some rows now stand at other indexes
    int changed = 0;
    TRow firstChanged(-1);
    while (row < TRow(st.LineCount()) && row <= editLast + shift) {
        const int before = st.LineCount();
        TRow next = row + 1;
        const int made = RecutFrom(row, editLast + shift, ExemptAt(row, p), p, next);
        if (made > 0) {
            changed += made;
            if (firstChanged < TRow(0)) firstChanged = row;
        }
        // An edit may have joined or split logical lines: the continuation bits follow the CRs.
        for (TRow r = row; r <= next && r < TRow(st.LineCount()); ++r) {
            TLineRecord& rec = st.Line(r);
            const uint16_t marks = r > TRow(0) && RowContinues(r - 1)
                                       ? uint16_t(rec.Marks | lmContinuation)
                                       : uint16_t(rec.Marks & ~lmContinuation);
            if (marks != rec.Marks) {
                rec.Marks = marks;
                rec.Flags |= lfRepaint;
            }
        }
        shift += st.LineCount() - before;
        moved = moved || st.LineCount() != before;
        row = next;
    }
    if (changed > 0) {
        const TRow top = m.FTopLine;
        m.FTopLine = st.LineFromPos(topStart);
        if (m.FChangedLine < TRow(0) || firstChanged < m.FChangedLine)
            m.FChangedLine = firstChanged;
        // Rows that moved to other indexes, or a top row that did, show other text where they
        // stand: every row is painted again.
        if (st.LineCount() != m.FKnownLineCount || moved || m.FTopLine != top) {
            m.FKnownLineCount = st.LineCount();
            m.MarkAllDirty();
        }
        m.NoteChange(cfOptions);
    }
    FBusy = false;
    return changed;
}

std::string TCodeMemoWrap::LayoutKey() const {
    // Everything a cut depends on besides the text; a routine of the user's own is unknowable.
    if (FMemo.OnWordBreakProc) return {};
    TWrapParams p = Params();
    return std::to_string(p.WordWrap) + ',' + std::to_string(p.Width) + ',' +
           std::to_string(p.CharWidth) + ',' + std::to_string(p.FixedPitch) + ',' +
           (p.Font ? p.Font->Desc().Name + ':' + std::to_string(p.Font->Desc().Height) + ':' +
                         std::to_string(p.Font->Desc().Style)
                   : std::string()) +
           ',' + std::to_string(p.UseOverride) + ',' + p.OverrideChars + ',' +
           std::to_string(FMemo.TabDefault()) + ',' + FMemo.TabColumns();
}

void TCodeMemoWrap::RewrapAll() {
    TTextStore& st = FMemo.Store();
    // Settings changes that leave the layout as it was (colours, margins) cost nothing.
    std::string key = LayoutKey();
    if (!key.empty() && key == FLaidOut && FMemo.Host()) return;
    // A whole pass gives the layout of a fresh load, wherever edits left rows cut otherwise.
    FFresh = true;
    const int changed = Rewrap(TRow(0), TRow(st.LineCount() - 1));
    FFresh = false;
    if (changed > 0) FMemo.MarkAllDirty();
    FLaidOut = FMemo.Host() ? key : std::string();
}

void TCodeMemoWrap::OnInsert(TOffset pos, std::string_view text) {
    TTextStore& st = FMemo.Store();
    if (&st != FStore) return;
    Rewrap(st.LineFromPos(pos), st.LineFromPos(pos + int(text.size())));
}

void TCodeMemoWrap::OnDelete(TOffset pos, std::string_view) {
    TTextStore& st = FMemo.Store();
    if (&st != FStore) return;
    const TRow row = st.LineFromPos(pos);
    Rewrap(row, row);
}

} // namespace quillet
