// Search and replace commands of the editor: direct search, the find and replace dialogs,
// prompted replace and replace-all, over a small target the control implements.
#pragma once

#include "editor/BoyerMoore.h"
#include "editor/Messages.h"
#include "highlight/REParser.h"
#include "platform/Dialogs.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

class TTextStore;

// Search flags: the first parameter of SM_FIND and SM_REPLACE.
constexpr uint32_t srfDirect = 0x08; // search at once, no dialog
constexpr uint32_t srfMatchCase = 0x10;
constexpr uint32_t srfRegex = 0x20;
constexpr uint32_t srfWholeWord = 0x40;
constexpr uint32_t srfBackward = 0x80;

// What the search commands need of the editor control.
class ISearchTarget {
public:
    virtual ~ISearchTarget() = default;
    virtual TTextStore& Store() = 0;
    // Anchor and caret; an anchor of -1 means the whole text.
    virtual TSelectionPair Selection() const = 0;
    // Selects from anchor to caret and brings the caret into view.
    virtual void SetSelection(int anchor, int caret) = 0;
    // Replaces [start, end) by text as a logged edit (re-tokenising the lines it touches);
    // returns the length the text has once stored.
    virtual int ReplaceRange(int start, int end, std::string_view text) = 0;
    virtual IDialogs& Dialogs() = 0;
    virtual TWordTests WordTests() const { return {}; }
    // True when an OnSearchFail handler took the report; else a message box tells.
    virtual bool SearchFailed(const std::string& /*searchText*/) { return false; }
    // Around a replace-all: the hourglass cursor, no repaint per replacement.
    virtual void BeginBulkReplace() {}
    virtual void EndBulkReplace() {}
    virtual bool HideSelection() const { return false; }
    virtual void SetHideSelection(bool /*on*/) {}
    // The screen point of a text offset, for placing the confirmation box.
    virtual bool ScreenPointOf(int /*offset*/, int& /*x*/, int& /*y*/) { return false; }
    // The control's change notification (caret moved, selection changed).
    virtual void ChangeNotify() {}
};

// One control's search state: the dialogs, the last search, the engines and their caches.
class TCM_Search {
public:
    explicit TCM_Search(ISearchTarget& target);
    ~TCM_Search();
    TCM_Search(const TCM_Search&) = delete;
    TCM_Search& operator=(const TCM_Search&) = delete;

    // SM_FIND: with srfDirect the position found or -1; otherwise opens the find dialog.
    LRESULT FindMessage(uint32_t flags, const char* text);
    // SM_REPLACE: opens the replace dialog.
    LRESULT ReplaceMessage(uint32_t flags);

    // The search without a dialog: the position found or -1.
    int DirectSearch(uint32_t flags, std::string_view text);
    void OpenFindDialog(uint32_t flags, const char* text);
    void OpenReplaceDialog(uint32_t flags);

    // The find-next step of the dialogs; true when a hit was selected.
    bool FindNext(const std::string& text, uint32_t flags);
    // The replace dialog's buttons.
    void ReplaceRequest(TFindRequest request, const std::string& text,
                        const std::string& replacement, uint32_t flags);
    // Replaces every hit from start to the text end in one undo group; the count.
    int ReplaceAll(const std::string& text, const std::string& replacement, uint32_t flags,
                   int start);
    // Asks before each replacement; returns how many were made.
    int PromptedReplace(const std::string& text, const std::string& replacement, uint32_t flags);

    // The flags a dialog's options give, with the remembered regular-expression flag.
    uint32_t DialogFlags(const IFindDialog& dialog) const;

    int LastFound() const { return FLastFound; }
    const std::string& LastText() const { return FLastText; }
    uint32_t LastFlags() const { return FLastFlags; }
    bool RegexMode() const { return FRegexMode; }
    TREParser& Regex() { return FRegex; }
    TBMSearch& StringSearch() { return FStrings; }
    IFindDialog* FindDialog() const { return FFindDialog.get(); }
    IFindDialog* ReplaceDialog() const { return FReplaceDialog.get(); }

private:
    enum THitStatus { hsFound, hsNotFound, hsBadPattern, hsCancelled };
    struct THit {
        THitStatus Status = hsNotFound;
        int Start = -1, End = -1;
        std::string Replacement; // the expanded replacement, when asked for
    };
    // The next hit from start (in source when given, else in the store); a bad pattern has
    // been reported when it says so.
    THit FindHit(const std::string& text, uint32_t flags, int start, bool nonEmpty,
                 const std::string* replacement = nullptr, const IRECharSource* source = nullptr);
    void ReportFailure(const std::string& text);
    // Appends the hits from start to the text end, each search going on after the previous
    // hit; false when the pattern is bad or the search was cancelled.
    bool CollectHits(const std::string& text, const std::string& replacement, uint32_t flags,
                     int start, std::vector<THit>& hits);
    // Backward from the one hit in hits: the hits before it as prompts answered Yes would meet
    // them, each found in the text the replacements above it leave. Leaves in hits the edits
    // that make them all, ascending, and in caret the end of the lowest replacement; the count
    // of hits, 0 (hits as they were) when the search was cancelled.
    int CollectHitsBackward(const std::string& text, const std::string& replacement, uint32_t flags,
                            std::vector<THit>& hits, int& caret);
    // Replaces the hits (ascending, found in the text as it is now); the caret after the last.
    int ApplyHits(const std::vector<THit>& hits);
    // The engines' progress report for a search from start, counted from where the whole
    // operation (a find, or the collection of a replace-all's hits) began.
    TProgressFunc ProgressFrom(int64_t start, bool forward, int64_t size) const;
    void ReportPatternError(const std::string& message, int column, const std::string& pattern);
    IFindDialog& EnsureDialog(TFindDialogKind kind, uint32_t flags);
    void ShowDialog(IFindDialog& dialog, const std::string& initialText);
    void DialogRequest(IFindDialog& dialog, TFindRequest request);
    std::string SelectedText() const;
    void SelectionBounds(int& start, int& end) const;

    ISearchTarget& FTarget;
    TREParser FRegex;
    TBMSearch FStrings;
    std::unique_ptr<IFindDialog> FFindDialog, FReplaceDialog;
    std::string FLastText;
    uint32_t FLastFlags = 0;
    int FLastFound = -1;
    bool FRegexMode = false;
    bool FSavedHide = false, FHideSaved = false;
    // While an operation searches: the platform's progress display and where the operation
    // began (empty between operations).
    TProgressFunc FProgress;
    int64_t FProgressOrigin = 0;
    friend class TSearchWatch;
};

} // namespace quillet
