// Search and replace commands of the editor: direct search, the find and replace dialogs,
// prompted replace and replace-all, over a small target the control implements.
#include "editor/Search.h"

#include "editor/ReplaceText.h"
#include "editor/SearchSource.h"
#include "editor/TextStore.h"
#include "editor/UndoStack.h"
#include "resources/Strings.h"

#include <algorithm>

namespace quillet {

namespace {

std::string StoredLineEnds(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i] == '\n' ? '\r' : text[i];
    }
    return out;
}

} // namespace

// The progress display of one search operation: asked for when the operation starts, closed
// when it ends. A search inside an operation that already shows one shares it.
class TSearchWatch {
public:
    TSearchWatch(TCM_Search& search, const std::string& text, int64_t origin)
        : FSearch(search), FOwn(!search.FProgress) {
        if (!FOwn) return;
        search.FProgress = search.FTarget.Dialogs().WatchProgress(
            LoadStr(SSearchProgressTitle), FmtLoadStr(SSearchProgress, text));
        search.FProgressOrigin = origin;
    }
    ~TSearchWatch() {
        if (FOwn) FSearch.FProgress = nullptr;
    }
    TSearchWatch(const TSearchWatch&) = delete;
    TSearchWatch& operator=(const TSearchWatch&) = delete;

private:
    TCM_Search& FSearch;
    bool FOwn;
};

TCM_Search::TCM_Search(ISearchTarget& target) : FTarget(target) {}

TCM_Search::~TCM_Search() {
    // The dialogs must not call back into a search that is gone.
    for (auto* d : {FFindDialog.get(), FReplaceDialog.get()})
        if (d) d->OnRequest = nullptr, d->OnClose = nullptr;
}

void TCM_Search::SelectionBounds(int& start, int& end) const {
    TSelectionPair sel = FTarget.Selection();
    int size = FTarget.Store().CharCount();
    if (sel.Anchor < 0) {
        start = 0;
        end = size;
        return;
    }
    start = std::clamp(std::min(sel.Anchor, sel.Caret), 0, size);
    end = std::clamp(std::max(sel.Anchor, sel.Caret), 0, size);
}

std::string TCM_Search::SelectedText() const {
    int start = 0, end = 0;
    SelectionBounds(start, end);
    return FTarget.Store().StoredText(TOffset(start), TOffset(end));
}

void TCM_Search::ReportFailure(const std::string& text) {
    if (FTarget.SearchFailed(text)) return;
    FTarget.Dialogs().MessageBox(FmtLoadStr(SSearchNotFound, text), "", mtInformation, mbOK);
}

void TCM_Search::ReportPatternError(const std::string& message, int column,
                                    const std::string& pattern) {
    std::string text = message + "\r\n" + pattern + "\r\n" +
                       std::string(static_cast<size_t>(std::max(column - 1, 0)), ' ') + "^";
    FTarget.Dialogs().MessageBox(text, "", mtError, mbOK);
}

TProgressFunc TCM_Search::ProgressFrom(int64_t start, bool forward, int64_t size) const {
    if (!FProgress) return nullptr;
    const int64_t origin = FProgressOrigin;
    const int64_t before = forward ? start - origin : origin - start;
    const int64_t total = forward ? size - origin : origin;
    return [this, before, total](int64_t done, int64_t) { return FProgress(before + done, total); };
}

TCM_Search::THit TCM_Search::FindHit(const std::string& text, uint32_t flags, int start,
                                     bool nonEmpty, const std::string* replacement,
                                     const IRECharSource* over) {
    THit hit;
    TStoreCharSource storeSource(FTarget.Store());
    const IRECharSource& source = over ? *over : storeSource;
    const int size = static_cast<int>(source.Size());
    const bool forward = !(flags & srfBackward);
    TSearchWatch watch(*this, text, start);
    if (flags & srfRegex) {
        if (!FRegex.SetPattern(text)) {
            ReportPatternError(FRegex.ErrorText(), FRegex.ErrorColumn(), text);
            hit.Status = hsBadPattern;
            return hit;
        }
        try {
            const int64_t pos = std::clamp(start, 0, size);
            // An empty match selects nothing: with nonEmpty the engine goes on past it.
            FRegex.SetProgress(ProgressFrom(pos, forward, size));
            bool found = FRegex.Search(source, pos, forward, nonEmpty);
            FRegex.SetProgress(nullptr);
            if (FRegex.Cancelled()) hit.Status = hsCancelled;
            if (hit.Status == hsCancelled) return hit;
            if (!found) return hit;
            hit.Status = hsFound;
            hit.Start = static_cast<int>(FRegex.MatchStart());
            hit.End = static_cast<int>(FRegex.MatchEnd());
            if (replacement)
                hit.Replacement = ExpandReplacement(
                    *replacement, [&](int n) { return MatchedGroup(FRegex, source, n); });
        } catch (const ERegexError& e) {
            FRegex.SetProgress(nullptr);
            // A failure inside the engine (an expression too complex) reads as a bad pattern.
            ReportPatternError(e.what(), 0, text);
            hit.Status = hsBadPattern;
        }
        return hit;
    }
    // The store keeps each line end as one CR: so must the text searched for.
    const std::string plain = StoredLineEnds(text);
    FStrings.SetProgress(ProgressFrom(start, forward, size));
    int64_t pos = FStrings.Search(source, plain, start, forward, flags & srfMatchCase,
                                  flags & srfWholeWord, FTarget.WordTests());
    FStrings.SetProgress(nullptr);
    if (FStrings.Cancelled()) hit.Status = hsCancelled;
    if (pos < 0 || pos >= size) return hit;
    hit.Status = hsFound;
    hit.Start = static_cast<int>(pos);
    hit.End = hit.Start + static_cast<int>(plain.size());
    if (replacement) hit.Replacement = *replacement;
    return hit;
}

int TCM_Search::DirectSearch(uint32_t flags, std::string_view text) {
    FRegexMode = flags & srfRegex;
    FLastText.assign(text);
    FLastFlags = flags;
    const int size = FTarget.Store().CharCount();
    if (size == 0) return -1;
    const bool backward = flags & srfBackward;
    int selStart = 0, selEnd = 0;
    SelectionBounds(selStart, selEnd);
    if (backward ? selStart <= 0 : selEnd >= size) return -1;
    int start = selStart == selEnd ? FTarget.Selection().Caret : backward ? selStart : selEnd;
    THit hit = FindHit(FLastText, flags, start, false);
    if (hit.Status != hsFound) return -1;
    if (flags & srfRegex) {
        FTarget.SetSelection(hit.Start, hit.End);
        FLastFound = hit.Start;
    }
    return hit.Start;
}

uint32_t TCM_Search::DialogFlags(const IFindDialog& dialog) const {
    uint32_t flags = 0;
    if (dialog.MatchCase()) flags |= srfMatchCase;
    if (!dialog.Down()) flags |= srfBackward;
    if (dialog.WholeWord()) flags |= srfWholeWord;
    if (FRegexMode) flags |= srfRegex;
    return flags;
}

bool TCM_Search::FindNext(const std::string& text, uint32_t flags) {
    FLastText = text;
    FLastFlags = flags;
    const int size = FTarget.Store().CharCount();
    const bool backward = flags & srfBackward;
    int selStart = 0, selEnd = 0;
    SelectionBounds(selStart, selEnd);
    bool found = false;
    if (!text.empty() && !(backward ? selStart <= 0 : selEnd >= size)) {
        int start;
        if (selStart == FLastFound)
            start = backward ? selStart - 1 : selStart + 1; // a repeat: not the same hit again
        else
            start = backward ? selStart : selEnd;
        THit hit = FindHit(text, flags, start, true);
        if (hit.Status == hsFound) {
            FTarget.SetSelection(hit.Start, hit.End);
            FLastFound = hit.Start;
            found = true;
        } else if (hit.Status == hsNotFound) {
            ReportFailure(text);
        }
    } else {
        ReportFailure(text);
    }
    FTarget.ChangeNotify();
    return found;
}

namespace {

// One undo group (unless the caller already opened one) and the bulk-change state of the
// control around a run of replacements, closed even when a replacement fails.
class TBulkReplace {
public:
    explicit TBulkReplace(ISearchTarget& target)
        : FTarget(target), FUndo(target.Store().UndoStack()),
          FOwnGroup(FUndo && !FUndo->GroupOpen()) {
        if (FOwnGroup) FUndo->OpenGroup(ugReplace);
        FTarget.BeginBulkReplace();
    }
    ~TBulkReplace() {
        FTarget.EndBulkReplace();
        if (FOwnGroup) FUndo->CloseGroup(ugReplace);
    }
    TBulkReplace(const TBulkReplace&) = delete;
    TBulkReplace& operator=(const TBulkReplace&) = delete;

private:
    ISearchTarget& FTarget;
    TUndoStack* FUndo;
    bool FOwnGroup;
};

} // namespace

bool TCM_Search::CollectHits(const std::string& text, const std::string& replacement,
                             uint32_t flags, int start, std::vector<THit>& hits) {
    const int size = FTarget.Store().CharCount();
    TSearchWatch watch(*this, text, std::max(start, 0));
    for (int pos = std::max(start, 0); pos <= size;) {
        THit hit = FindHit(text, flags, pos, true, &replacement);
        if (hit.Status == hsBadPattern || hit.Status == hsCancelled) return false;
        if (hit.Status != hsFound) break;
        pos = std::max(hit.End, hit.Start + 1);
        // Hits close together are found by short searches that never report: report here.
        if (FProgress && hits.size() % 1024 == 1023 &&
            !FProgress(pos - FProgressOrigin, size - FProgressOrigin))
            return false;
        hits.push_back(std::move(hit));
    }
    return true;
}

int TCM_Search::CollectHitsBackward(const std::string& text, const std::string& replacement,
                                    uint32_t flags, std::vector<THit>& hits, int& caret) {
    TPendingReplaceSource pending(FTarget.Store());
    TSearchWatch watch(*this, text, hits.front().Start);
    int count = 0;
    for (THit hit = hits.front();;) {
        std::string stored = TTextStore::Normalize(hit.Replacement);
        caret = hit.Start + static_cast<int>(stored.size());
        const int next = hit.Start - 1;
        pending.Replace(hit.Start, hit.End, std::move(stored));
        ++count;
        if (next < 0) break;
        // Hits close together are found by short searches that never report: report here.
        if (FProgress && count % 1024 == 0 && !FProgress(FProgressOrigin - next, FProgressOrigin))
            return 0;
        hit = FindHit(text, flags, next, true, &replacement, &pending);
        if (hit.Status == hsBadPattern || hit.Status == hsCancelled) return 0;
        if (hit.Status != hsFound) break;
    }
    hits.clear();
    const auto& edits = pending.Edits();
    for (auto e = edits.rbegin(); e != edits.rend(); ++e)
        hits.push_back({hsFound, static_cast<int>(e->Start), static_cast<int>(e->End), e->Text});
    return count;
}

int TCM_Search::ApplyHits(const std::vector<THit>& hits) {
    // Every edit of a line copies the line: the hits of one line go in as one edit, the text
    // between them carried over, so many hits on a long line cost one pass over it.
    int delta = 0, caret = 0;
    TStoreCharSource source(FTarget.Store());
    std::string joined;
    size_t first = 0;
    while (first < hits.size()) {
        const int from = hits[first].Start;
        joined = TTextStore::Normalize(hits[first].Replacement);
        size_t last = first;
        while (last + 1 < hits.size()) {
            std::string gap =
                SourceText(source, hits[last].End + delta, hits[last + 1].Start + delta);
            if (gap.find('\r') != std::string::npos) break;
            joined += gap;
            joined += TTextStore::Normalize(hits[++last].Replacement);
        }
        const int to = hits[last].End;
        int at = from + delta;
        int stored = FTarget.ReplaceRange(at, to + delta, joined);
        caret = at + stored;
        delta += stored - (to - from);
        first = last + 1;
        source.Reset(); // the text changed under it
    }
    return caret;
}

int TCM_Search::ReplaceAll(const std::string& text, const std::string& replacement, uint32_t flags,
                           int start) {
    FLastText = text;
    FLastFlags = flags;
    flags &= ~srfBackward;
    // All hits first, then the edits: a search cancelled on the way leaves the text as it was.
    std::vector<THit> hits;
    if (!CollectHits(text, replacement, flags, start, hits)) return 0;
    if (hits.empty()) {
        ReportFailure(text);
        return 0;
    }
    int caret = 0;
    {
        TBulkReplace bulk(FTarget);
        caret = ApplyHits(hits);
    }
    FTarget.SetSelection(caret, caret);
    FLastFound = caret;
    FTarget.ChangeNotify();
    return static_cast<int>(hits.size());
}

int TCM_Search::PromptedReplace(const std::string& text, const std::string& replacement,
                                uint32_t flags) {
    FLastText = text;
    FLastFlags = flags;
    const bool backward = flags & srfBackward;
    int made = 0;
    for (;;) {
        int pos = FLastFound;
        THit hit = pos < 0 ? THit{} : FindHit(text, flags, pos, true, &replacement);
        if (hit.Status == hsBadPattern || hit.Status == hsCancelled) break;
        if (hit.Status != hsFound) {
            ReportFailure(text);
            break;
        }
        FTarget.SetSelection(hit.Start, hit.End);
        FTarget.ChangeNotify();
        std::string question = FmtLoadStr(SReplaceConfirm, text, hit.Replacement);
        int x = 0, y = 0;
        const TModalResult answer =
            FTarget.ScreenPointOf(hit.Start, x, y)
                ? FTarget.Dialogs().MessageBoxAt(question, "", mtConfirmation, mbYesNoCancelAll,
                                                 x - 10, y - 10)
                : FTarget.Dialogs().MessageBox(question, "", mtConfirmation, mbYesNoCancelAll);
        if (answer == mrAll) {
            // The rest as replace-all does it: found first, then one edit per line, in one undo
            // group. A search cancelled on the way replaces only the hit answered and leaves the
            // rest as it was.
            std::vector<THit> hits;
            const int next = std::max(hit.End, hit.Start + 1);
            hits.push_back(std::move(hit));
            int caret = 0, count = 0;
            if (backward)
                count = CollectHitsBackward(text, replacement, flags, hits, caret);
            else if (CollectHits(text, replacement, flags, next, hits))
                count = static_cast<int>(hits.size());
            const bool whole = count > 0;
            if (!whole) hits.resize(1), count = 1;
            const int lowest = hits.front().Start;
            {
                TBulkReplace bulk(FTarget);
                const int end = ApplyHits(hits);
                if (!backward || !whole) caret = end;
            }
            FTarget.SetSelection(caret, caret);
            FLastFound = backward ? lowest - 1 : caret;
            made += count;
            break;
        }
        if (answer == mrYes) {
            int stored = FTarget.ReplaceRange(hit.Start, hit.End, hit.Replacement);
            FTarget.SetSelection(hit.Start, hit.Start + stored);
            FLastFound = backward ? hit.Start - 1 : hit.Start + stored;
            ++made;
        } else if (answer == mrNo) {
            FLastFound = backward ? hit.Start - 1 : hit.End;
        } else {
            break; // Cancel
        }
    }
    FTarget.ChangeNotify();
    return made;
}

void TCM_Search::ReplaceRequest(TFindRequest request, const std::string& text,
                                const std::string& replacement, uint32_t flags) {
    if (request == frFindNext) {
        FindNext(text, flags);
        return;
    }
    int selStart = 0, selEnd = 0;
    SelectionBounds(selStart, selEnd);
    int start = selEnd;
    // A selection that is itself a hit (as find-next leaves it) is replaced too, not skipped.
    if (selEnd > selStart && !text.empty()) {
        uint32_t exact = flags & ~srfBackward;
        THit here = FindHit(text, exact, selStart, true);
        if (here.Status == hsBadPattern || here.Status == hsCancelled) return;
        if (here.Status == hsFound && here.Start == selStart && here.End == selEnd)
            start = selStart;
    }
    FLastFound = start;
    if (request == frReplaceAll)
        ReplaceAll(text, replacement, flags, start);
    else
        PromptedReplace(text, replacement, flags);
}

IFindDialog& TCM_Search::EnsureDialog(TFindDialogKind kind, uint32_t flags) {
    auto& slot = kind == fdkFind ? FFindDialog : FReplaceDialog;
    if (!slot) {
        slot = FTarget.Dialogs().CreateFindDialog(kind);
        if (!slot) throw EQuilletError(LoadStr(SNoFindDialog));
        slot->SetMatchCase(flags & srfMatchCase);
        slot->OnRequest = [this](IFindDialog& d, TFindRequest r) { DialogRequest(d, r); };
        slot->OnClose = [this](IFindDialog&) {
            if (FHideSaved) FTarget.SetHideSelection(FSavedHide);
            FHideSaved = false;
        };
    }
    return *slot;
}

void TCM_Search::ShowDialog(IFindDialog& dialog, const std::string& initialText) {
    FLastFound = -1;
    IFindDialog* other = dialog.Kind() == fdkFind ? FReplaceDialog.get() : FFindDialog.get();
    if (other && other->Visible()) other->Close();
    if (!FHideSaved) {
        FSavedHide = FTarget.HideSelection();
        FHideSaved = true;
    }
    FTarget.SetHideSelection(false); // found text stays visible while the dialog has focus
    dialog.SetFindText(initialText);
    dialog.Show();
}

void TCM_Search::OpenFindDialog(uint32_t flags, const char* text) {
    FRegexMode = flags & srfRegex;
    IFindDialog& dialog = EnsureDialog(fdkFind, flags);
    std::string initial;
    if (text && *text)
        initial = text;
    else if (!FRegexMode)
        initial = SelectedText();
    ShowDialog(dialog, initial);
}

void TCM_Search::OpenReplaceDialog(uint32_t flags) {
    FRegexMode = flags & srfRegex;
    IFindDialog& dialog = EnsureDialog(fdkReplace, flags);
    ShowDialog(dialog, FRegexMode ? std::string() : SelectedText());
}

void TCM_Search::DialogRequest(IFindDialog& dialog, TFindRequest request) {
    uint32_t flags = DialogFlags(dialog);
    if (dialog.Kind() == fdkFind)
        FindNext(dialog.FindText(), flags);
    else
        ReplaceRequest(request, dialog.FindText(), dialog.ReplaceText(), flags);
}

LRESULT TCM_Search::FindMessage(uint32_t flags, const char* text) {
    if (flags & srfDirect) return DirectSearch(flags, text ? text : "");
    OpenFindDialog(flags, text);
    return 0;
}

LRESULT TCM_Search::ReplaceMessage(uint32_t flags) {
    OpenReplaceDialog(flags);
    return 0;
}

} // namespace quillet
