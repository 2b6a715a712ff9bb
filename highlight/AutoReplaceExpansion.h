// Expanding a fired template or auto-replace entry into the editor, and the entry list model.
#pragma once

#include "highlight/AutoReplaceTarget.h"
#include "highlight/KeywordsMacro.h"
#include "platform/Types.h"

#include <functional>

#include <string>
#include <vector>

namespace quillet {

// The undo group an expansion is recorded in.
constexpr int ExpansionUndoGroup = 18;

// The standard expansion of a fired entry. name is the word as typed before the caret (null for an
// entry chosen from the list). Auto-replacements inside a longer word are refused; a handler of the
// control's events may change the text or refuse. The replacement is one undo group; a "|" in
// the text marks the caret when the table says so, and later lines are indented to the word.
void ExpandMacro(IExpansionTarget& target, TMacroKeywords& table, const std::string* name,
                 std::string text);

// Points the table's fire callback at ExpandMacro on one target, for a table that serves only it.
void ConnectExpansion(TMacroKeywords& table, IExpansionTarget& target);

// The entries as the pop-up list shows them, and what its keys do.
class TMacroPopupList {
public:
    // Takes the entries in name order; the table must outlive the list.
    explicit TMacroPopupList(TMacroKeywords& table);

    int Count() const { return int(FNames.size()); }
    const std::string& Name(int index) const { return FNames[size_t(index)]; }
    const std::string& Description(int index) const;
    // Description, TAB, name.
    std::string ItemText(int index) const;

    // Selects the partial word before the caret so that a chosen entry replaces it.
    void SelectPartialWord(IExpansionTarget& target) const;
    // The first entry whose name contains the partial word, else the first; -1 when empty.
    int InitialIndex() const;
    int Selected() const { return FSelected; }
    void SetSelected(int index) { FSelected = index >= 0 && index < Count() ? index : -1; }

    // A character typed in the list: incremental search over name starts, ignoring case. The
    // first name starting with the search text is selected; when none does, a one-character
    // search text is dropped and a longer one starts again with the new character alone.
    void TypeChar(std::string_view character); // one character, UTF-8
    void TypeChar(char c) { TypeChar(std::string_view(&c, 1)); }
    // Takes the last character off the search text and selects the first name starting with
    // what is left (the selection stays when nothing is left); false when there was none.
    bool Backspace();
    const std::string& SearchText() const { return FSearch; }

    // Measures the texts (textWidth gives pixels, bold for names) for the list's layout.
    void Measure(const std::function<int(std::string_view text, bool bold)>& textWidth);
    int WidestDescription() const { return FWidestDescription; }
    int WidestName() const { return FWidestName; }
    // Names are drawn in a column right of the widest description.
    int NameColumn() const { return FWidestDescription + 24; }
    int Width() const { return FWidestDescription + FWidestName + 48; }

    // Return: expands the selected entry into the target. When the partial
    // word is not part of the chosen name the selection collapses first, so the word stays.
    bool Choose(IExpansionTarget& target);

private:
    int FindPrefix(const std::string& prefix) const;

    TMacroKeywords& FTable;
    std::vector<std::string> FNames;
    std::string FSearch;
    int FSelected = -1;
    int FWidestDescription = 0;
    int FWidestName = 0;
};

// Where the list goes: at the caret's x, below the caret line when it fits in the client area,
// else above it; moved left when it would pass the right edge, but never past the left one.
TPoint PlaceMacroPopup(int caretX, int lineTop, int lineBottom, TSize list, TSize client);

} // namespace quillet
