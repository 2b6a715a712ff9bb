// The editor control as the search commands' target: SM_FIND and SM_REPLACE land here.
#include "editor/SearchControl.h"

#include "editor/CodeMemo.h"
#include "editor/CodeMemoView.h"
#include "platform/Errors.h"
#include "platform/Platform.h"
#include "resources/Strings.h"

namespace quillet {

TCodeMemoSearch& TCustomCodeMemo::Search() {
    if (!FSearch) FSearch = std::make_unique<TCodeMemoSearch>(*this);
    return *FSearch;
}

TTextStore& TCodeMemoSearch::Store() {
    return FMemo.Store();
}

TSelectionPair TCodeMemoSearch::Selection() const {
    return FMemo.SelectionPair();
}

void TCodeMemoSearch::SetSelection(int anchor, int caret) {
    FMemo.SetSelection(anchor, caret);
}

int TCodeMemoSearch::ReplaceRange(int start, int end, std::string_view text) {
    // Measured, not assumed: a read-only control changes nothing.
    int before = FMemo.Store().CharCount();
    FMemo.ReplaceRange(TOffset(start), TOffset(end), text);
    return FMemo.Store().CharCount() - before + (end - start);
}

IDialogs& TCodeMemoSearch::Dialogs() {
    if (!Platform().Dialogs) throw EQuilletError(LoadStr(SNoFindDialog));
    return *Platform().Dialogs;
}

TWordTests TCodeMemoSearch::WordTests() const {
    TWordTests words;
    words.StartsWord = [this](char c) { return FMemo.CharStartsWord(c); };
    words.IsInWord = [this](char c) { return FMemo.CharIsInWord(c); };
    return words;
}

bool TCodeMemoSearch::SearchFailed(const std::string& searchText) {
    if (!FMemo.OnSearchFail) return false;
    FMemo.OnSearchFail(FMemo, searchText);
    return true;
}

void TCodeMemoSearch::BeginBulkReplace() {
    ++FMemo.FUpdateCount;
    if (FMemo.FHost) FMemo.FHost->SetCursor(crHourGlass);
}

void TCodeMemoSearch::EndBulkReplace() {
    --FMemo.FUpdateCount;
    if (FMemo.FHost) FMemo.FHost->SetCursor(crDefault);
    FMemo.NoteChange(cfText);
    FMemo.MarkAllDirty();
    FMemo.UpdateScrollBars();
    FMemo.Repaint();
}

bool TCodeMemoSearch::HideSelection() const {
    return FMemo.HideSelection();
}

void TCodeMemoSearch::SetHideSelection(bool on) {
    FMemo.SetHideSelection(on);
}

bool TCodeMemoSearch::ScreenPointOf(int offset, int& x, int& y) {
    if (!FMemo.FHost) return false;
    TPoint p = FMemo.FHost->ClientToScreen(FMemo.View().OffsetToPixel(TOffset(offset)));
    x = p.X;
    y = p.Y;
    return true;
}

void TCodeMemoSearch::ChangeNotify() {
    FMemo.NoteChange(cfCaret);
    FMemo.Notify();
}

} // namespace quillet
