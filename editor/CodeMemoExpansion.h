// The control seen by template and auto-replace expansion.
#pragma once

#include "editor/CodeMemoPaintPopup.h"
#include "editor/Units.h"
#include "highlight/AutoReplaceExpansion.h"
#include "highlight/AutoReplaceTarget.h"

#include <memory>

namespace quillet {

class TCustomCodeMemo;

// Lives only while one key is routed; edits go through the control so they are undoable.
class TCodeMemoExpansion : public IExpansionTarget {
public:
    explicit TCodeMemoExpansion(TCustomCodeMemo& memo) : FMemo(memo) {}

    // The undo group of a replacement stays open for the character its trigger key types.
    void SetKeepGroupOpen(bool keep) { FKeepGroupOpen = keep; }

    std::string LineBeforeCaret(size_t limit) const override;
    int CharAtCaret() const override;
    void GetSelection(int& start, int& end) const override;
    int CaretOffset() const override;
    void SetSelection(int start, int end) override;
    int DisplayColumn(int offset) const override;
    void ReplaceRange(int start, int end, std::string_view text) override;
    void SetCaret(int offset) override;
    void BeginUndoGroup(int id) override;
    void EndUndoGroup(int id) override;
    bool CharStartsWord(char c) const override;
    bool CharIsInWord(char c) const override;
    void TemplateEvent(const std::string& name, std::string& text) override;
    void AutoReplaceEvent(int wordStart, const std::string& name, std::string& text,
                          bool& canReplace) override;
    void ShowMacroPopup(TMacroKeywords& table) override;

private:
    TCustomCodeMemo& FMemo;
    bool FKeepGroupOpen = false;
};

// A key whose character a shown list takes into its search (letters, digits, blank, punctuation).
bool PopupSearchKeyCode(int key);

// The entry list open over the control: it takes the keys and clicks until it closes.
class TCodeMemoPopup {
public:
    TCodeMemoPopup(TMacroKeywords& table, bool savedHideSelection)
        : FList(table), FView(FList), FSavedHideSelection(savedHideSelection) {}
    // A completion list: it owns its entries, and typed characters go into the text. start is
    // where the prefix the chosen entry replaces begins.
    TCodeMemoPopup(std::unique_ptr<TMacroKeywords> entries, TOffset start, bool savedHideSelection)
        : FEntries(std::move(entries)), FList(*FEntries), FView(FList),
          FSavedHideSelection(savedHideSelection), FCompletionStart(start) {}

    bool Completion() const { return FEntries != nullptr; }
    TOffset CompletionStart() const { return FCompletionStart; }
    // What choosing the entry writes (a completion list's entries only).
    const std::string& Insert(int index) const {
        return FEntries->Entries().at(FList.Name(index)).Expansion;
    }

    TMacroPopupList& List() { return FList; }
    TMacroPopupView& View() { return FView; }
    // The hide-selection setting to restore once the list closes.
    bool SavedHideSelection() const { return FSavedHideSelection; }

    // Up/Down/PgUp/PgDn/Home/End; false for any other key.
    bool MoveKey(int key);

private:
    std::unique_ptr<TMacroKeywords> FEntries; // first: the list refers to it
    TMacroPopupList FList;
    TMacroPopupView FView;
    bool FSavedHideSelection;
    TOffset FCompletionStart{0};
};

} // namespace quillet
