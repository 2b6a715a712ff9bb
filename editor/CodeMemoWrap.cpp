#include "editor/CodeMemoWrap.h"

#include "editor/CodeMemo.h"
#include "editor/CodeMemoView.h"
#include "platform/Utf8.h"

#include <algorithm>

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

// Where the row that starts at s ends: the next row's start, or len when the rest fits.
// text[0, len) is the line's content; a caller with only part of it passes len = what it has,
// at least MaxRowLength + 1 past s, so every decision falls inside it.
size_t CutRow(std::string_view text, size_t s, size_t len, bool exempt, const TWrapParams& p) {
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
    // start of the word it fell into.
    const char* seg = text.data() + s;
    const int segLen = int(len - s);
    int r = p.WordBreak ? p.WordBreak(seg, int(cut - s), segLen, wbLeft)
                        : DefaultWordBreak(seg, int(cut - s), segLen, wbLeft);
    size_t b = s + size_t(std::clamp(r, 0, segLen));
    if (b > limit) b = limit;
    if (b < len) b = std::max(s, Utf8CharStart(content, b));
    if (b <= s) b = cut; // a word longer than the row is cut where it stands
    return b;
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

// ---- TCodeMemoWrap ----------------------------------------------------------------------

TCodeMemoWrap::TCodeMemoWrap(TCustomCodeMemo& memo) : FMemo(memo) {}

TCodeMemoWrap::~TCodeMemoWrap() {
    Detach();
}

void TCodeMemoWrap::Attach(TTextStore& store) {
    FCacheRow = -1;
    FLaidOut.clear();
    FStore = &store;
}

void TCodeMemoWrap::Detach() {
    FStore = nullptr;
}

bool TCodeMemoWrap::RowContinues(int row) const {
    const TTextStore& st = FMemo.Store();
    return row >= 0 && row + 1 < st.LineCount() && !st.Line(row).View().ends_with('\r');
}

int TCodeMemoWrap::FirstRowOf(int row) const {
    row = std::clamp(row, 0, FMemo.Store().LineCount() - 1);
    while (row > 0 && RowContinues(row - 1))
        --row;
    return row;
}

int TCodeMemoWrap::LastRowOf(int row) const {
    row = std::clamp(row, 0, FMemo.Store().LineCount() - 1);
    while (RowContinues(row))
        ++row;
    return row;
}

int TCodeMemoWrap::LogicalLineOf(int row) const {
    const TTextStore& st = FMemo.Store();
    row = std::clamp(row, 0, st.LineCount() - 1);
    // Without cut rows every row is a logical line: the store's count says so at once.
    if (st.ContinuedRows() == 0) return row;
    int from = 0, line = 0;
    const bool cached = FStore == &st && FCacheRow >= 0;
    if (cached && FCacheRow <= row) {
        from = FCacheRow;
        line = FCacheLine;
    } else if (cached && FCacheRow - row < row) {
        // Back from the last answer (a page up) when that is the shorter walk.
        line = FCacheLine;
        for (int i = FCacheRow - 1; i >= row; --i)
            if (!RowContinues(i)) --line;
        from = row;
    }
    for (int i = from; i < row; ++i)
        if (!RowContinues(i)) ++line;
    if (FStore == &st) {
        FCacheRow = row;
        FCacheLine = line;
    }
    return line;
}

int TCodeMemoWrap::RowOfLogicalLine(int line) const {
    if (line < 0) return -1;
    const int count = FMemo.Store().LineCount();
    if (FMemo.Store().ContinuedRows() == 0) return line < count ? line : -1;
    int row = 0;
    for (; row < count && line > 0; ++row)
        if (!RowContinues(row)) --line;
    return line == 0 && row < count ? row : -1;
}

void TCodeMemoWrap::RowFromLineIndex(int firstRow, int index, int& row, int& indexInRow) const {
    const TTextStore& st = FMemo.Store();
    row = FirstRowOf(firstRow);
    index = std::max(0, index);
    while (RowContinues(row) && index >= st.Line(row).Length) {
        index -= st.Line(row).Length;
        ++row;
    }
    indexInRow = std::min(index, st.Line(row).Length);
}

int TCodeMemoWrap::LineIndexFromRow(int row, int indexInRow) const {
    const TTextStore& st = FMemo.Store();
    row = std::clamp(row, 0, st.LineCount() - 1);
    int first = FirstRowOf(row);
    return st.PosFromLine(row) - st.PosFromLine(first) + std::max(0, indexInRow);
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

int TCodeMemoWrap::RecutLine(int first, int last, int editFirst, int editLast,
                             const TWrapParams& p) {
    TTextStore& st = FMemo.Store();
    std::string_view head = st.Line(first).View();
    const bool exempt = Exempt(head, p);
    if (first == last) {
        size_t content = head.size() - (head.ends_with('\r') ? 1 : 0);
        if (content <= size_t(MaxRowLength) && exempt) return 0;
        std::vector<int> cuts = CutLogicalLine(head, p);
        return st.RecutRows(first, 1, cuts) ? int(cuts.size()) : 0;
    }
    long long total = 0;
    for (int r = first; r <= last; ++r)
        total += st.Line(r).Length;
    const long long content = total - (st.Line(last).View().ends_with('\r') ? 1 : 0);
    if (exempt && content <= MaxRowLength) {
        std::vector<int> whole{int(total)};
        return st.RecutRows(first, last - first + 1, whole) ? 1 : 0;
    }
    // Rows before the one above the edit keep their cuts. From there, cut again until a new
    // row starts where an old row after the edit starts: the rest is as it was.
    const int from = std::clamp(editFirst - 1, first, last);
    const size_t editEnd =
        size_t(std::max(0, editLast - from + 1)); // index of the first untouched row
    std::string window;
    std::vector<size_t> starts; // of the rows in the window
    int next = from;
    auto append = [&] {
        starts.push_back(window.size());
        window.append(st.Line(next).View());
        ++next;
    };
    append();
    std::vector<int> cuts;
    size_t s = 0, k = 1;
    int stop = last + 1;
    while (true) {
        while (next <= last && window.size() < s + size_t(MaxRowLength) + 2)
            append();
        const bool complete = next > last;
        const size_t len = complete && !window.empty() && window.back() == '\r' ? window.size() - 1
                                                                                : window.size();
        size_t b = s < len ? CutRow(window, s, len, exempt, p) : len;
        if (complete && b >= len) {
            cuts.push_back(int(window.size() - s));
            break;
        }
        cuts.push_back(int(b - s));
        s = b;
        while (k < starts.size() && starts[k] < s)
            ++k;
        if (k < starts.size() && k >= editEnd && starts[k] == s) {
            stop = from + int(k);
            break;
        }
    }
    return st.RecutRows(from, stop - from, cuts) ? int(cuts.size()) : 0;
}

int TCodeMemoWrap::Rewrap(int firstRow, int lastRow) {
    // Rows are laid out for a control that shows; without a window lines stay whole.
    if (!FMemo.Host()) FLaidOut.clear(); // edits now leave rows uncut: lay out afresh later
    if (FBusy || !FMemo.Host()) return 0;
    FBusy = true;
    TCustomCodeMemo& m = FMemo;
    TTextStore& st = m.Store();
    const TWrapParams p = Params();
    const int topStart = st.PosFromLine(std::clamp(m.FTopLine, 0, st.LineCount() - 1));
    const int editFirst = std::clamp(firstRow, 0, st.LineCount() - 1);
    const int editLast = std::clamp(std::max(firstRow, lastRow), 0, st.LineCount() - 1);
    int row = FirstRowOf(editFirst);
    int end = LastRowOf(editLast);
    int shift = 0; // rows added so far, for the edit's row numbers further down
    int changed = 0;
    int firstChanged = -1;
    while (row <= end && row < st.LineCount()) {
        const int last = LastRowOf(row);
        const int before = st.LineCount();
        int made = RecutLine(row, last, std::max(row, editFirst + shift),
                             std::min(last, editLast + shift), p);
        const int delta = st.LineCount() - before;
        if (made > 0) {
            changed += made;
            if (firstChanged < 0) firstChanged = row;
        }
        const int newLast = last + delta;
        // An edit may have joined or split logical lines: the continuation bits follow the CRs.
        for (int r = row; r <= newLast; ++r) {
            TLineRecord& rec = st.Line(r);
            uint16_t marks = r == row ? uint16_t(rec.Marks & ~lmContinuation)
                                      : uint16_t(rec.Marks | lmContinuation);
            if (marks != rec.Marks) {
                rec.Marks = marks;
                rec.Flags |= lfRepaint;
            }
        }
        shift += delta;
        end += delta;
        row = newLast + 1;
    }
    if (changed > 0) {
        m.FTopLine = st.LineFromPos(topStart);
        if (m.FChangedLine < 0 || firstChanged < m.FChangedLine) m.FChangedLine = firstChanged;
        if (st.LineCount() != m.FKnownLineCount) {
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
    if (Rewrap(0, st.LineCount() - 1) > 0) FMemo.MarkAllDirty();
    FLaidOut = FMemo.Host() ? key : std::string();
}

void TCodeMemoWrap::OnRowsRecut(int first, int, int) {
    Forget(first);
}

void TCodeMemoWrap::OnInsert(int pos, std::string_view text) {
    TTextStore& st = FMemo.Store();
    if (&st != FStore) return;
    Forget(st.LineFromPos(pos));
    Rewrap(st.LineFromPos(pos), st.LineFromPos(pos + int(text.size())));
}

void TCodeMemoWrap::OnDelete(int pos, std::string_view) {
    TTextStore& st = FMemo.Store();
    if (&st != FStore) return;
    int row = st.LineFromPos(pos);
    Forget(row);
    Rewrap(row, row);
}

} // namespace quillet
