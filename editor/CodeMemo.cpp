// Construction, properties, settings binding and the editing core of the control.
#include "editor/CodeMemo.h"
#include "editor/CodeMemoPaint.h"
#include "editor/Columns.h"

#include "editor/CodeMemoExpansion.h"
#include "editor/CodeMemoStrings.h"
#include "editor/CodeMemoUndoLink.h"
#include "editor/CodeMemoView.h"
#include "editor/CodeMemoWrap.h"
#include "editor/EditPipeline.h"
#include "editor/LineTrack.h"
#include "editor/SearchControl.h"
#include "editor/UndoStack.h"
#include "highlight/CodeMemoParser.h"
#include "highlight/Settings.h"
#include "highlight/TabColumns.h"
#include "platform/Utf8.h"
#include "resources/Strings.h"

#include <algorithm>
#include <climits>

namespace quillet {

const std::array<TCodeMemoOptionName, 25> CodeMemoOptionNames = {{
    {smoSyntaxHighlight, "smoSyntaxHighlight"},
    {smoPrintWrap, "smoPrintWrap"},
    {smoPrintLineNos, "smoPrintLineNos"},
    {smoPrintFilename, "smoPrintFilename"},
    {smoPrintDate, "smoPrintDate"},
    {smoPrintPageNos, "smoPrintPageNos"},
    {smoWordWrap, "smoWordWrap"},
    {smoAutoIndent, "smoAutoIndent"},
    {smoTabToColumn, "smoTabToColumn"},
    {smoWrapOverride, "smoWrapOverride"},
    {smoWordSelect, "smoWordSelect"},
    {smoShowRMargin, "smoShowRMargin"},
    {smoShowGutter, "smoShowGutter"},
    {smoShowWrapColumn, "smoShowWrapColumn"},
    {smoTitleAsFilename, "smoTitleAsFilename"},
    {smoProcessDroppedFiles, "smoProcessDroppedFiles"},
    {smoBlockOverwriteCursor, "smoBlockOverwriteCursor"},
    {smoShowWrapGlyph, "smoShowWrapGlyph"},
    {smoColumnTrack, "smoColumnTrack"},
    {smoUseTAB, "smoUseTAB"},
    {smoSmartFill, "smoSmartFill"},
    {smoOLEDragSource, "smoOLEDragSource"},
    {smoCaretAfterEOL, "smoCaretAfterEOL"},
    {smoLineNumbers, "smoLineNumbers"},
    {smoShowAllChars, "smoShowAllChars"},
}};

// One per slot, so a definition going away empties exactly its slot.
class TCustomCodeMemo::TDefinitionUser : public IDefinitionUser {
public:
    TDefinitionUser(TCustomCodeMemo& memo, int slot) : FMemo(memo), FSlot(slot) {}
    void DefinitionChanged() override {
        if (FMemo.FActiveSlot == FSlot) FMemo.Perform(SM_REFRESH, 0, 0);
    }
    void DefinitionDestroyed() override {
        FMemo.FParsers[FSlot - 1] = nullptr;
        if (FMemo.FActiveSlot == FSlot) FMemo.BindSettings(FMemo.FOwnSettings.get());
    }

private:
    TCustomCodeMemo& FMemo;
    int FSlot;
};

TCustomCodeMemo::TCustomCodeMemo(IWindowHost* host) : FHost(host) {
    FOwnSettings = std::make_unique<TCM_Settings>();
    FActiveSettings = FOwnSettings.get();
    FOwnStore = std::make_unique<TTextStore>();
    FStore = FOwnStore.get();
    FStore->AttachControl(this);
    FUndoLink = std::make_unique<TCodeMemoUndoLink>(*this, *FStore);
    FLines = std::make_unique<TCodeMemoStrings>(*this);
    FView = std::make_unique<TCodeMemoPainter>(*this);
    FTracker = std::make_unique<TLineTracker>();
    WireTracker();
    static_cast<TCodeMemoPainter&>(*FView).SetLineTracker(FTracker.get());
    FWrap = std::make_unique<TCodeMemoWrap>(*this);
    for (int i = 0; i < ParserSlots; ++i)
        FDefUsers[i] = std::make_unique<TDefinitionUser>(*this, i + 1);
    if (!FStore->UndoStack()) FStore->AttachUndoStack(std::make_unique<TUndoStack>());
    FPipeline = std::make_unique<TEditPipeline>(*this);
    FPipeline->Attach(*FStore);
    if (TUndoStack* undo = FStore->UndoStack()) {
        undo->SetRecording(true);
        undo->Clear();
    }
    FLastClickTick = FHost ? FHost->TickCount() : 0;
    FView->RecalcMetrics();
    if (FHost) {
        TSize size = FHost->ClientSize();
        Perform(WM_SIZE, 0, MakeLong(size.Width, size.Height));
    }
}

TCustomCodeMemo::~TCustomCodeMemo() {
    for (int i = 0; i < ParserSlots; ++i)
        if (FParsers[i]) FParsers[i]->DetachUser(FDefUsers[i].get());
    if (TUndoStack* undo = FStore->UndoStack()) undo->Clear();
    FPipeline->Detach();
    FStore->DetachControl(this);
    FUndoLink.reset();
}

void TCustomCodeMemo::WireTracker() {
    TLineTracker& t = *FTracker;
    t.Named.OnFree = [this](TCustomBookmarks&, const std::string& name) {
        if (OnCustomBookmarkFree) OnCustomBookmarkFree(*this, name);
    };
    t.OnMarksCreated = [this](TMarkList& marks) {
        marks.OnMarkChange = [this](TMarkList&, TMark& m) {
            if (OnMarkChange) OnMarkChange(*this, m);
        };
        marks.OnMarkFree = [this](TMarkList&, TMark& m) {
            if (OnMarkFree) OnMarkFree(*this, m);
        };
        marks.OnRepaint = [this](TMarkList&) { TrackerRepaint(); };
    };
    for (TCM_Breakpoints* list : {&t.Breakpoints, static_cast<TCM_Breakpoints*>(&t.CodeBreak)}) {
        list->OnFree = [this](TCM_Breakpoints&, TCM_BreakpointData& item) {
            if (OnBreakpointFree) OnBreakpointFree(*this, item);
        };
        list->OnStateChange = [this](TCM_Breakpoints&, TCM_BreakpointData& item) {
            if (OnBreakpointStateChange) OnBreakpointStateChange(*this, item);
        };
        list->OnRepaint = [this](TCM_Breakpoints&) { TrackerRepaint(); };
    }
}

// Inside an edit the lines are not yet laid out again: the edit's own repaint shows it.
void TCustomCodeMemo::TrackerRepaint() {
    MarkAllDirty();
    if (!FTrackerAdjusting) Repaint();
}

void TCustomCodeMemo::SetHost(IWindowHost* host) {
    FHost = host;
    FCaretCreated = false;
    FView->RecalcMetrics();
    if (FHost) {
        TSize size = FHost->ClientSize();
        Perform(WM_SIZE, 0, MakeLong(size.Width, size.Height));
    }
    FWrap->RewrapAll();
}

// ---- text and selection ---------------------------------------------------------------

std::string TCustomCodeMemo::Text() {
    std::string buffer(size_t(Perform(WM_GETTEXTLENGTH, 0, 0)) + 1, '\0');
    LRESULT n = Perform(WM_GETTEXT, buffer.size(), LPARAM(buffer.data()));
    buffer.resize(size_t(n));
    return buffer;
}

void TCustomCodeMemo::SetText(std::string_view text) {
    std::string z(text);
    Perform(WM_SETTEXT, 0, LPARAM(z.c_str()));
}

void TCustomCodeMemo::Clear() {
    bool redraw = FRedraw;
    if (redraw) Perform(WM_SETREDRAW, 0, 0);
    SelectAll();
    Perform(SM_REPLACESEL, 0, LPARAM(""));
    if (redraw) Perform(WM_SETREDRAW, 1, 0);
    Perform(EM_EMPTYUNDOBUFFER, 0, 0);
}

void TCustomCodeMemo::SelectAll() {
    Perform(EM_SETSEL, 0, -1);
}

TSelectionPair TCustomCodeMemo::Selection() {
    TSelectionPair p;
    Perform(SM_SELECTION, 0, LPARAM(&p));
    return p;
}

void TCustomCodeMemo::SetSelection(int anchor, int caret) {
    TSelectionPair p{anchor, caret};
    Perform(SM_SELECTION, smSET, LPARAM(&p));
}

int TCustomCodeMemo::SelStart() {
    TSelectionPair p = Selection();
    return std::min(p.Anchor, p.Caret);
}

void TCustomCodeMemo::SetSelStart(int value) {
    SetSelection(value, value);
}

int TCustomCodeMemo::SelLength() {
    TSelectionPair p = Selection();
    int a = std::min(p.Anchor, p.Caret), b = std::max(p.Anchor, p.Caret);
    int length = b - a;
    if (SelLineStyle() == lsCRLF && length > 0) {
        // Each stored break inside goes out as two characters; a row cut by wrapping has none.
        const TRow last = FStore->LineFromPos(TOffset(b));
        for (TRow row = FStore->LineFromPos(TOffset(a)); row < last; ++row)
            if (FStore->RowEndsInBreak(row)) ++length;
    }
    return length;
}

void TCustomCodeMemo::SetSelLength(int value) {
    int start = SelStart();
    // A length past the text's end selects to the end; the sum must not leave int.
    SetSelection(start, int(std::min<int64_t>(int64_t(start) + std::max(0, value), INT_MAX)));
}

std::string TCustomCodeMemo::SelText() {
    WPARAM format = SelLineStyle() == lsCRLF ? sfmCRLF : 0;
    LRESULT n = Perform(SM_GETSELTEXT, format, 0);
    std::string buffer(size_t(n) + 1, '\0');
    n = Perform(SM_GETSELTEXT, format, LPARAM(buffer.data()));
    buffer.resize(size_t(n));
    return buffer;
}

void TCustomCodeMemo::SetSelText(std::string_view text) {
    std::string z(text);
    Perform(SM_REPLACESEL, 0, LPARAM(z.c_str()));
}

int TCustomCodeMemo::TextLength() {
    return int(Perform(WM_GETTEXTLENGTH, 0, 0));
}

bool TCustomCodeMemo::Modified() {
    return Perform(SM_MODIFIED, 0, 0) != 0;
}

void TCustomCodeMemo::SetModified(bool value) {
    Perform(SM_MODIFIED, smSET, value ? 1 : 0);
}

bool TCustomCodeMemo::CanUndo() {
    return Perform(EM_CANUNDO, 0, 0) != 0;
}
bool TCustomCodeMemo::CanRedo() {
    return Perform(SM_CANREDO, 0, 0) != 0;
}
void TCustomCodeMemo::Undo() {
    Perform(EM_UNDO, 0, 0);
}
void TCustomCodeMemo::Redo() {
    Perform(SM_REDO, 0, 0);
}
void TCustomCodeMemo::CutToClipboard() {
    Perform(WM_CUT, 0, 0);
}
void TCustomCodeMemo::CopyToClipboard() {
    Perform(WM_COPY, 0, 0);
}
void TCustomCodeMemo::PasteFromClipboard() {
    Perform(WM_PASTE, 0, 0);
}

int TCustomCodeMemo::CaretLine() {
    return CaretRow().Value();
}

TRow TCustomCodeMemo::CaretRow() {
    const TRow row = FStore->LineFromPos(FCaret);
    return FCaretAtRowEnd && SharedRowOffset(FCaret) ? row - 1 : row;
}

bool TCustomCodeMemo::CaretAtRowEnd() {
    return CaretRow() != FStore->LineFromPos(FCaret);
}

bool TCustomCodeMemo::SharedRowOffset(TOffset offset) const {
    if (offset <= TOffset(0) || offset > TOffset(FStore->CharCount())) return false;
    const TRow row = FStore->LineFromPos(offset);
    return row > TRow(0) && FStore->PosFromLine(row) == offset && FWrap->RowContinues(row - 1);
}

TOffset TCustomCodeMemo::RowOffsetAtColumn(TRow row, TColumn column, bool& atRowEnd) const {
    atRowEnd = false;
    std::string_view text = FStore->RowText(row);
    const TOffset rowStart = FStore->PosFromLine(row);
    if (FWrap->RowContinues(row) && !text.empty()) {
        char last = text.back();
        // A row ending in blanks keeps its caret before them; a word cut at the row end
        // leaves the end itself as the stop.
        const TOffset end(int(text.size()));
        if (last != ' ' && last != '\t' && column >= VisualColumn(row, end)) {
            atRowEnd = true;
            return rowStart + end.Value();
        }
    }
    return rowStart + OffsetFromVisualColumn(row, column).Value();
}

int TCustomCodeMemo::CaretColumn() {
    return CaretDisplayColumn().Value();
}

TColumn TCustomCodeMemo::CaretDisplayColumn() {
    if (CaretBeyondEnd()) return FRememberedColumn;
    return TextCaretColumn();
}

TColumn TCustomCodeMemo::VisualColumn(TRow row, TOffset offsetInRow) const {
    std::string_view text = FStore->RowText(row);
    const size_t end = size_t(std::clamp(offsetInRow.Value(), 0, int(text.size())));
    auto stop = [this](int column) { return NextTabStop(column); };
    return TColumn(WalkToByte(text, {}, end, stop).Column);
}

TOffset TCustomCodeMemo::OffsetFromVisualColumn(TRow row, TColumn column) const {
    std::string_view text = FStore->RowText(row);
    int usable = int(text.size());
    if (usable > 0 && text.back() == '\r') --usable;
    auto stop = [this](int c) { return NextTabStop(c); };
    int i = int(WalkToColumn(text, {}, size_t(usable), column.Value(), stop).Byte);
    // A wrapped row's end is the next row's start: past it, the last character is the stop.
    if (i == usable && usable > 0 && usable == int(text.size()) &&
        row.Value() + 1 < FStore->LineCount())
        i = int(Utf8CharStart(text, size_t(i - 1)));
    return TOffset(i);
}

TOffset TCustomCodeMemo::ClampOffset(TOffset offset) const {
    return std::clamp(offset, TOffset(0), TOffset(FStore->CharCount()));
}

TOffset TCustomCodeMemo::SnapOffset(TOffset offset) const {
    offset = ClampOffset(offset);
    if (offset == TOffset(0) || offset == TOffset(FStore->CharCount())) return offset;
    const TRow row = FStore->LineFromPos(offset);
    const TOffset start = FStore->PosFromLine(row);
    std::string_view text = FStore->RowText(row);
    return start + int(Utf8CharStart(text, size_t(offset - start)));
}

TOffset TCustomCodeMemo::PrevCharOffset(TOffset offset) const {
    if (offset <= TOffset(0)) return TOffset(0);
    const TRow row = FStore->LineFromPos(offset - 1);
    const TOffset start = FStore->PosFromLine(row);
    std::string_view text = FStore->RowText(row);
    return start + int(Utf8CharStart(text, size_t(offset - 1 - start)));
}

TOffset TCustomCodeMemo::NextCharOffset(TOffset offset) const {
    const TOffset count(FStore->CharCount());
    if (offset >= count) return count;
    const TRow row = FStore->LineFromPos(offset);
    const TOffset start = FStore->PosFromLine(row);
    std::string_view text = FStore->RowText(row);
    size_t i = Utf8CharStart(text, size_t(offset - start));
    return start + int(i) + Utf8CharLength(text, i);
}

void TCustomCodeMemo::ApplySelection(TOffset anchor, TOffset caret, bool repaint) {
    const TOffset oldAnchor = FAnchor, oldCaret = FCaret;
    const TRow oldRow = FStore->LineFromPos(ClampOffset(oldCaret)) - (FCaretAtRowEnd ? 1 : 0);
    const bool oldAtRowEnd = FCaretAtRowEnd;
    FAnchor = anchor;
    FCaret = caret;
    // Only a movement to a row end keeps the caret on the earlier of two rows sharing an offset.
    FCaretAtRowEnd = FRowEndTarget && SharedRowOffset(FCaret);
    FRowEndTarget = false;
    bool vertical = FVerticalMove;
    FVerticalMove = false;
    if (VirtualCaret()) {
        // Only a virtual move names a column past the end; any other change lands on the text.
        // A continuation row has no columns past its end: the cut is not a line end.
        const TRow line = CaretRow();
        std::string_view text = FStore->RowText(line);
        int body = int(text.size()) - (!text.empty() && text.back() == '\r' ? 1 : 0);
        const TColumn onText = TextCaretColumn();
        FBeyondEnd = FVirtualTarget > onText && FCaret == FStore->PosFromLine(line) + body &&
                     !FWrap->RowContinues(line);
        FRememberedColumn = FVirtualTarget.value_or(onText);
        FVirtualTarget.reset();
    } else {
        FBeyondEnd = false;
        if (vertical && anchor == caret && HasOption(smoColumnTrack)) {
            bool atRowEnd = false;
            FCaret = FAnchor = RowOffsetAtColumn(CaretRow(), FRememberedColumn, atRowEnd);
            FCaretAtRowEnd = atRowEnd && SharedRowOffset(FCaret);
        } else {
            FRememberedColumn = CaretDisplayColumn();
        }
    }
    bool changed = oldAnchor != FAnchor || oldCaret != FCaret || oldAtRowEnd != FCaretAtRowEnd;
    if (changed) {
        bool wasEmpty = oldAnchor == oldCaret, isEmpty = FAnchor == FCaret;
        if (!wasEmpty || !isEmpty) {
            const TOffset lo = std::min({oldAnchor, oldCaret, FAnchor, FCaret});
            const TOffset hi = std::max({oldAnchor, oldCaret, FAnchor, FCaret});
            MarkLinesDirty(FStore->LineFromPos(ClampOffset(lo)),
                           FStore->LineFromPos(ClampOffset(hi)));
        } else if (FShowFocusLine) {
            const TRow a = std::max(TRow(0), oldRow), b = CaretRow();
            MarkLinesDirty(a, a);
            MarkLinesDirty(b, b);
        }
        NoteChange(cfCaret);
    }
    if (repaint && FRedraw) {
        ScrollCaretIntoView();
        if (FUpdateCount == 0) UpdateScrollBars();
        Repaint();
    }
}

// ---- editing through the store --------------------------------------------------------

void TCustomCodeMemo::InsertChunked(TOffset pos, std::string_view text) {
    // A chunk never ends between a CR and its LF.
    constexpr size_t chunk = 8192;
    while (!text.empty()) {
        size_t n = std::min(chunk, text.size());
        if (n == chunk && text.size() > chunk && text[chunk - 1] == '\r') n = chunk - 1;
        pos += FPipeline->Insert(pos, text.substr(0, n));
        text.remove_prefix(n);
        FAnchor = FCaret = pos;
    }
}

void TCustomCodeMemo::ReplaceRange(TOffset start, TOffset end, std::string_view text, int groupId) {
    if (FReadOnly) return;
    if (groupId != ugTyping) CloseTyping();
    start = SnapOffset(start);
    end = SnapOffset(end);
    if (start > end) std::swap(start, end);
    std::string stored = TTextStore::Normalize(text);
    if (start == end && stored.empty()) return;
    TUndoStack* undo = FStore->UndoStack();
    bool logged = undo && FUndoLink && undo->Recording() && !undo->Replaying();
    if (logged) {
        FAnchor = start;
        FCaret = end;
        undo->BeginTransaction(stored);
    }
    try {
        FPipeline->Delete(start, end - start);
        FAnchor = FCaret = start;
        InsertChunked(start, text);
    } catch (...) {
        if (logged) undo->EndTransaction();
        throw;
    }
    if (logged) undo->EndTransaction();
    FRememberedColumn = CaretDisplayColumn();
}

void TCustomCodeMemo::CloseTyping() {
    if (!FTyping) return;
    FTyping = false;
    FTypingEnd = TOffset(-1);
    if (TUndoStack* undo = FStore->UndoStack()) undo->CloseGroup(ugTyping);
}

// ---- view bookkeeping -----------------------------------------------------------------

void TCustomCodeMemo::Notify() {
    if (FChangeFlags == 0 || FPaintLock || FUpdateCount > 0) return;
    FChangeFlags = 0;
    if (OnChange) OnChange(*this);
}

void TCustomCodeMemo::MarkLinesDirty(TRow first, TRow last) {
    const TRow lastRow(FStore->LineCount() - 1);
    // Only the visible rows matter for painting; the rest repaint when scrolled to.
    first = std::max({TRow(0), first, FTopLine});
    last = std::min({last, lastRow, FTopLine + FVisibleLines + 1});
    for (TRow row = first; row <= last; ++row)
        FStore->Line(row).Flags |= lfRepaint;
}

void TCustomCodeMemo::MarkAllDirty() {
    FView->InvalidateAll();
}

void TCustomCodeMemo::RecalcMetrics() {
    FView->RecalcMetrics();
    const TViewMetrics& m = FView->Metrics();
    if (FClientWidth > 0 || FClientHeight > 0) {
        FVisibleColumns = std::max(0, (FClientWidth - FView->TextLeft()) / m.CharWidth);
        FVisibleLines = FClientHeight / m.LineHeight;
    } else {
        FVisibleColumns = 80;
        FVisibleLines = 40;
    }
    MarkAllDirty();
}

void TCustomCodeMemo::Repaint() {
    if (!FHost || !FRedraw || FPaintLock || FUpdateCount > 0) return;
    FView->PlaceCaret();
    if (FView->AllDirty()) {
        FHost->InvalidateAll();
        return;
    }
    const int lh = FView->Metrics().LineHeight;
    const TRow end(FStore->LineCount());
    for (int shown = 0; shown <= FVisibleLines && FTopLine + shown < end; ++shown) {
        if (FStore->Line(FTopLine + shown).Flags & (lfRepaint | lfRescan))
            FHost->Invalidate({0, shown * lh, FClientWidth, (shown + 1) * lh});
    }
}

void TCustomCodeMemo::ScrollCaretIntoView() {
    if (FClientHeight <= 0) return;
    const TRow line = CaretRow();
    TRow top = FTopLine;
    TColumn left = FLeftColumn;
    if (line < top) top = line;
    const int lh = FView->Metrics().LineHeight;
    if (FClientHeight > lh) {
        int visible = std::max(1, FVisibleLines);
        if (line >= top + visible) top = line - visible + 1;
    }
    const TColumn column = CaretDisplayColumn();
    while (column < left)
        left = std::max(TColumn(0), left - 8);
    if (FVisibleColumns > 0)
        while (column >= left + FVisibleColumns)
            left += 8;
    if (HasOption(smoWordWrap) && column < TColumn(FVisibleColumns)) left = TColumn(0);
    if (top != FTopLine || left != FLeftColumn) {
        FTopLine = top;
        FLeftColumn = left;
        MarkAllDirty();
        NoteChange(cfScroll);
        UpdateScrollBars();
    }
}

int TCustomCodeMemo::ScrollWidth(TRow top) const {
    int widest = FStore->WidestLine();
    const TRow end = std::min(TRow(FStore->LineCount()), top + FVisibleLines + 1);
    for (TRow row = std::max(top, TRow(0)); row < end; ++row) {
        if (!(FStore->Line(row).Flags & lfHasTab)) continue;
        widest = std::max(widest, VisualColumn(row, TOffset(FStore->RowLength(row))) - TColumn(0));
    }
    return widest;
}

void TCustomCodeMemo::ScrollTo(TColumn column, TRow row, bool repaint) {
    row = std::clamp(row, TRow(0), TRow(std::max(0, FStore->LineCount() - 1)));
    column = std::clamp(column, TColumn(0), TColumn(std::max(0, ScrollWidth(row) - 1)));
    if (column != FLeftColumn || row != FTopLine) {
        FLeftColumn = column;
        FTopLine = row;
        FStore->SetCachedTopLine(row.Value());
        MarkAllDirty();
        NoteChange(cfScroll);
    }
    if (repaint) {
        UpdateScrollBars();
        Repaint();
    }
}

void TCustomCodeMemo::UpdateScrollBars() {
    if (!FHost || !FRedraw || FPaintLock) return;
    const int count = FStore->LineCount();
    const int top = FTopLine.Value();
    int scale = count > 32000 ? count / 32000 + 1 : 1;
    TScrollInfo v;
    v.Max = count / scale;
    v.Page = FVisibleLines / scale;
    if (top > 0 && count - top < FVisibleLines) v.Page = (count - top) / scale;
    v.Pos = top / scale;
    v.Visible = FScrollBars == ssVertical || FScrollBars == ssBoth;
    TScrollInfo h;
    bool horizontal = (FScrollBars == ssHorizontal || FScrollBars == ssBoth);
    h.Max = (HasOption(smoWordWrap) || !horizontal) ? 0 : ScrollWidth(FTopLine);
    h.Page = FVisibleColumns;
    h.Pos = FLeftColumn.Value();
    h.Visible = horizontal;
    FHost->SetScrollInfo(sbVertical, v);
    FHost->SetScrollInfo(sbHorizontal, h);
}

// ---- settings binding -----------------------------------------------------------------

TCustomCodeMemoParser* TCustomCodeMemo::Parser(int slot) const {
    if (slot < 1 || slot > ParserSlots) throw ECodeMemo(LoadStr(SParserIndex));
    return FParsers[slot - 1];
}

void TCustomCodeMemo::SetParser(int slot, TCustomCodeMemoParser* parser) {
    if (slot < 1 || slot > ParserSlots) throw ECodeMemo(LoadStr(SParserIndex));
    TCustomCodeMemoParser*& held = FParsers[slot - 1];
    if (held == parser) return;
    if (held) held->DetachUser(FDefUsers[slot - 1].get());
    held = parser;
    if (parser) parser->AttachUser(FDefUsers[slot - 1].get());
    if (slot == FActiveSlot) BindSettings(parser ? &parser->Settings() : FOwnSettings.get());
}

void TCustomCodeMemo::SetActiveParser(int slot) {
    if (slot < 1 || slot > ParserSlots) throw ECodeMemo(LoadStr(SParserIndex));
    FActiveSlot = slot;
    TCustomCodeMemoParser* parser = FParsers[slot - 1];
    BindSettings(parser ? &parser->Settings() : FOwnSettings.get());
}

void TCustomCodeMemo::BindSettings(TCM_Settings* settings) {
    TCM_Settings* old = FActiveSettings;
    // The list shows the old settings' table.
    if (old != settings) ClosePopup(true);
    FActiveSettings = settings;
    if (old != settings) {
        bool rewrap = (old->Options & smoWordWrap) != (settings->Options & smoWordWrap) ||
                      old->WordWrapColumn != settings->WordWrapColumn;
        if (rewrap) FLeftColumn = TColumn(0);
        NoteChange(cfOptions);
    }
    Perform(SM_REFRESH, 0, 0);
}

void TCustomCodeMemo::SettingsChanged(uint32_t reason) {
    NoteChange(reason);
    if (TCustomCodeMemoParser* parser = ActiveDefinition())
        parser->NotifyUsers(); // every control bound to the definition re-reads it
    else
        Perform(SM_REFRESH, 0, 0);
    Notify();
}

// ---- properties kept in the settings ---------------------------------------------------

TCodeMemoOptions TCustomCodeMemo::Options() {
    return TCodeMemoOptions(Perform(SM_OPTIONS, 0, 0)) & ~smoUnusedBits;
}

void TCustomCodeMemo::SetOptions(TCodeMemoOptions value) {
    Perform(SM_OPTIONS, smSET, LPARAM(value & ~smoUnusedBits));
}

void TCustomCodeMemo::SetWordWrap(bool value) {
    TCodeMemoOptions o = Options();
    SetOptions(value ? (o | smoWordWrap) : (o & ~TCodeMemoOptions(smoWordWrap)));
}

int TCustomCodeMemo::Gutter() const {
    return FActiveSettings->GutterWidth;
}

void TCustomCodeMemo::SetGutter(int value) {
    if (FClientWidth == 0) return;
    if (value < 0 || (value >= 1 && value <= 33) || value > MaxLayoutPixels) return;
    if (value * 100 / FClientWidth > 20) return;
    if (value == FActiveSettings->GutterWidth) return;
    FActiveSettings->GutterWidth = value;
    SettingsChanged(cfColors);
}

int TCustomCodeMemo::Margin() const {
    return FActiveSettings->MarginWidth;
}

void TCustomCodeMemo::SetMargin(int value) {
    if (value < 0 || value > FView->Metrics().CharWidth) return;
    if (value == FActiveSettings->MarginWidth) return;
    FActiveSettings->MarginWidth = value;
    SettingsChanged(cfColors);
}

int TCustomCodeMemo::RightMargin() const {
    return FActiveSettings->RightMargin;
}

void TCustomCodeMemo::SetRightMargin(int value) {
    if (value < 0 || value > MaxLayoutColumn || value == FActiveSettings->RightMargin) return;
    FActiveSettings->RightMargin = value;
    SettingsChanged(cfColors);
}

int TCustomCodeMemo::IndentStep() const {
    return FActiveSettings->IndentStep;
}

void TCustomCodeMemo::SetIndentStep(int value) {
    if (value <= 0 || value >= 20) return;
    FActiveSettings->IndentStep = value;
    SettingsChanged(cfOptions);
}

int TCustomCodeMemo::TabDefault() const {
    return FActiveSettings->TabDefault;
}

void TCustomCodeMemo::SetTabDefault(int value) {
    if (value <= 0) throw ECodeMemo(LoadStr(SIllegalTabDefault));
    // Wider than any sane layout: refused as other bad property values are.
    if (value > MaxTabDefault || value == FActiveSettings->TabDefault) return;
    FActiveSettings->TabDefault = value;
    SettingsChanged(cfOptions);
}

void TCustomCodeMemo::ParseTabColumns(std::string_view text, std::array<int32_t, 32>& out) {
    try {
        quillet::ParseTabColumns(text, out);
    } catch (const ETabColumnsError& e) {
        throw ECodeMemo(e.what());
    }
}

std::string TCustomCodeMemo::TabColumns() const {
    std::string text;
    for (int32_t c : FActiveSettings->TabColumns) {
        if (c < 0) break;
        text += (text.empty() ? "" : " ") + std::to_string(c + 1);
    }
    return text;
}

void TCustomCodeMemo::SetTabColumns(std::string_view value) {
    std::array<int32_t, 32> parsed;
    ParseTabColumns(value, parsed); // raises before anything changes
    if (parsed == FActiveSettings->TabColumns) return;
    FActiveSettings->TabColumns = parsed;
    SettingsChanged(cfOptions);
}

int TCustomCodeMemo::NextTabStop(int column) const {
    for (int32_t stop : FActiveSettings->TabColumns) {
        if (stop < 0) break;
        if (stop > column) return stop;
    }
    int d = std::clamp(FActiveSettings->TabDefault, 1, MaxTabDefault);
    return column + d - column % d;
}

bool TCustomCodeMemo::CharStartsWord(char c) const {
    if (fn_CharStartsWord) return fn_CharStartsWord(c);
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool TCustomCodeMemo::CharIsInWord(char c) const {
    if (fn_CharIsInWord) return fn_CharIsInWord(c);
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '\'';
}

int TCustomCodeMemo::WrapAtColumn() const {
    return FActiveSettings->WordWrapColumn;
}

void TCustomCodeMemo::SetWrapAtColumn(int value) {
    value = std::clamp(value, 0, MaxLayoutColumn);
    bool changed = value != FActiveSettings->WordWrapColumn;
    FActiveSettings->WordWrapColumn = value;
    if (changed && HasOption(smoWordWrap)) SettingsChanged(cfOptions);
}

std::string TCustomCodeMemo::WrapOverride() const {
    return FActiveSettings->WrapOverride;
}

void TCustomCodeMemo::SetWrapOverride(std::string_view value) {
    bool changed = value != FActiveSettings->WrapOverride;
    FActiveSettings->WrapOverride = std::string(value);
    if (changed && HasOption(smoWordWrap)) SettingsChanged(cfOptions);
}

#define QUILLET_COLOR_PROPERTY(Name, Field)                                                        \
    TColor TCustomCodeMemo::Name() const {                                                         \
        return FActiveSettings->Field;                                                             \
    }                                                                                              \
    void TCustomCodeMemo::Set##Name(TColor value) {                                                \
        if (value == FActiveSettings->Field) return;                                               \
        FActiveSettings->Field = value;                                                            \
        SettingsChanged(cfColors);                                                                 \
    }
QUILLET_COLOR_PROPERTY(GutterColor, GutterColor)
QUILLET_COLOR_PROPERTY(MarginColor, MarginColor)
QUILLET_COLOR_PROPERTY(SelTextColor, SelTextColor)
QUILLET_COLOR_PROPERTY(SelTextBack, SelTextBack)
QUILLET_COLOR_PROPERTY(DefTextColor, Styles[0].Foreground)
QUILLET_COLOR_PROPERTY(DefBackColor, Styles[0].Background)
#undef QUILLET_COLOR_PROPERTY

TFontStyles TCustomCodeMemo::DefFontStyle() const {
    return FActiveSettings->Styles[0].FontStyle;
}

void TCustomCodeMemo::SetDefFontStyle(TFontStyles value) {
    FActiveSettings->Styles[0].FontStyle = value & 0x0F;
    FActiveSettings->Styles[0].Font.reset();
    SettingsChanged(cfColors);
}

TFontDesc TCustomCodeMemo::Font() const {
    TFontDesc d;
    d.Name = FActiveSettings->FontName;
    d.Height = FActiveSettings->FontSize;
    d.Charset = FActiveSettings->FontCharset;
    d.Style = 0;
    return d;
}

void TCustomCodeMemo::SetFont(const TFontDesc& font) {
    if (font.Height < -MaxFontSize || font.Height > MaxFontSize) return;
    FActiveSettings->FontName = font.Name;
    FActiveSettings->FontSize = font.Height;
    FActiveSettings->FontCharset = font.Charset;
    Perform(CM_FONTCHANGED, 0, 0);
}

TFontDesc TCustomCodeMemo::GutterFont() const {
    TFontDesc d;
    d.Name = FActiveSettings->GutterFontName;
    d.Height = FActiveSettings->GutterFontSize;
    d.Charset = FActiveSettings->GutterFontCharset;
    d.Style = FActiveSettings->GutterFontStyle;
    return d;
}

void TCustomCodeMemo::SetGutterFont(const TFontDesc& font) {
    if (font.Height < -MaxFontSize || font.Height > MaxFontSize) return;
    FActiveSettings->GutterFontName = font.Name;
    FActiveSettings->GutterFontSize = font.Height;
    FActiveSettings->GutterFontCharset = font.Charset;
    FActiveSettings->GutterFontStyle = font.Style;
    SettingsChanged(cfColors);
}

// ---- properties of the control itself ---------------------------------------------------

void TCustomCodeMemo::SetHideSelection(bool v) {
    if (v == FHideSelection) return;
    FHideSelection = v;
    MarkAllDirty();
    Repaint();
}

void TCustomCodeMemo::SetShowFocusLine(bool v) {
    if (v == FShowFocusLine) return;
    FShowFocusLine = v;
    MarkAllDirty();
    Repaint();
}

void TCustomCodeMemo::SetEnabled(bool v) {
    if (v == FEnabled) return;
    FEnabled = v;
    Perform(CM_ENABLEDCHANGED, 0, 0);
}

void TCustomCodeMemo::SetScrollBars(TScrollStyle v) {
    FScrollBars = v;
    UpdateScrollBars();
}

std::string TCustomCodeMemo::Version() const {
    std::string v = "1.00.00";
    v.resize(13, ' ');
    return v;
}

} // namespace quillet
