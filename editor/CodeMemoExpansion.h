// The control seen by template and auto-replace expansion.
#pragma once

#include "highlight/AutoReplaceTarget.h"

namespace quillet {

class TCustomCodeMemo;

// Lives only while one key is routed; edits go through the control so they are undoable.
class TCodeMemoExpansion : public IExpansionTarget {
public:
    explicit TCodeMemoExpansion(TCustomCodeMemo& memo) : FMemo(memo) {}

    // The undo group of a replacement stays open for the character its trigger key types.
    void SetKeepGroupOpen(bool keep) { FKeepGroupOpen = keep; }

    std::string LineBeforeCaret() const override;
    int CharAtCaret() const override;
    void GetSelection(int& start, int& end) const override;
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

private:
    TCustomCodeMemo& FMemo;
    bool FKeepGroupOpen = false;
};

} // namespace quillet
