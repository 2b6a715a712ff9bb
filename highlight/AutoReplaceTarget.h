// What a word expansion needs of the editor control it works in.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillet {

class TMacroKeywords;

// The editor control implements this; offsets are byte offsets into its text, as everywhere.
class IExpansionTarget {
public:
    virtual ~IExpansionTarget() = default;

    // The caret's line from its start up to the caret; of a longer one only its last `limit`
    // characters (a minified sheet is one line of megabytes, and a name is short).
    virtual std::string LineBeforeCaret(size_t limit) const = 0;
    // The byte at the caret; -1 at a line end or at the end of the text.
    virtual int CharAtCaret() const = 0;
    // The selection, ordered (start <= end); both are the caret when nothing is selected.
    virtual void GetSelection(int& start, int& end) const = 0;
    // The caret: the end of a selection that LineBeforeCaret reads up to.
    virtual int CaretOffset() const {
        int start = 0, end = 0;
        GetSelection(start, end);
        return start;
    }
    virtual void SetSelection(int start, int end) = 0;
    // The display column of an offset, tabs expanded.
    virtual int DisplayColumn(int offset) const = 0;
    // Replaces the bytes from start to end with text (line breaks already CR only).
    virtual void ReplaceRange(int start, int end, std::string_view text) = 0;
    virtual void SetCaret(int offset) = 0;
    virtual void BeginUndoGroup(int id) = 0;
    virtual void EndUndoGroup(int id) = 0;

    // The control's word tests; these defaults are the control's own defaults.
    virtual bool CharStartsWord(char c) const {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
    }
    virtual bool CharIsInWord(char c) const {
        return CharStartsWord(c) || (c >= '0' && c <= '9') || c == '-' || c == '\'';
    }

    // The control's events: a template about to be inserted, and an auto-replacement the handler
    // may refuse (wordStart is where the matched word begins).
    virtual void TemplateEvent(const std::string& name, std::string& text) {
        (void)name, (void)text;
    }
    virtual void AutoReplaceEvent(int wordStart, const std::string& name, std::string& text,
                                  bool& canReplace) {
        (void)wordStart, (void)name, (void)text, (void)canReplace;
    }
    // Offers the list of the table's entries (nothing matched before the caret).
    virtual void ShowMacroPopup(TMacroKeywords& table) { (void)table; }
};

} // namespace quillet
