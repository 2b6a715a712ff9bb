#include "highlight/AutoReplaceExpansion.h"

#include "highlight/AutoReplace.h"

#include <algorithm>
#include <cctype>

namespace quillet {

namespace {

// Closes the undo group however the replacement ends.
class TUndoGroupGuard {
public:
    explicit TUndoGroupGuard(IExpansionTarget& t) : FTarget(t) {
        FTarget.BeginUndoGroup(ExpansionUndoGroup);
    }
    ~TUndoGroupGuard() { FTarget.EndUndoGroup(ExpansionUndoGroup); }
    TUndoGroupGuard(const TUndoGroupGuard&) = delete;
    TUndoGroupGuard& operator=(const TUndoGroupGuard&) = delete;

private:
    IExpansionTarget& FTarget;
};

std::string Indented(const std::string& text, int column) {
    std::string indent(size_t(column > 0 ? column : 0), ' ');
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (text[i] == '\r' || text[i] == '\n') out += indent;
    }
    return out;
}

std::string Lower(std::string s) {
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

void ExpandMacro(IExpansionTarget& target, TMacroKeywords& table, const std::string* name,
                 std::string text) {
    int start = 0, end = 0;
    target.GetSelection(start, end);
    const int nameLength = name ? int(name->size()) : 0;
    // The name ends at the caret, which may be either end of a selection.
    const int wordStart = target.CaretOffset() - nameLength;

    if (!dynamic_cast<TAutoReplace*>(&table)) {
        target.TemplateEvent(name ? *name : std::string(), text);
    } else {
        bool allowed = true;
        if (name && !name->empty()) {
            std::string line = target.LineBeforeCaret(name->size() + 1);
            int after = target.CharAtCaret();
            // The name is only the end of a longer word, or the text would join the word
            // before it.
            if (target.CharIsInWord(name->back()) && after >= 0 && target.CharIsInWord(char(after)))
                allowed = false;
            if (!text.empty() && target.CharStartsWord(text[0]) && line.size() > name->size() &&
                target.CharIsInWord(line[line.size() - name->size() - 1]))
                allowed = false;
        }
        target.AutoReplaceEvent(wordStart, name ? *name : std::string(), text, allowed);
        if (!allowed) return;
    }

    // The name and the selection are replaced, and nothing before the name.
    if (name && wordStart >= 0) start = std::min(start, wordStart);
    if (table.IndentExpansion() && !text.empty())
        text = Indented(text, target.DisplayColumn(start));
    text = NormalizeMacroText(text);
    size_t marker = std::string::npos;
    if (table.CaretMarker()) {
        marker = text.find('|');
        if (marker != std::string::npos) text.erase(marker, 1);
    }

    TUndoGroupGuard group(target);
    target.ReplaceRange(start, end, text);
    target.SetCaret(start + int(marker != std::string::npos ? marker : text.size()));
}

void ConnectExpansion(TMacroKeywords& table, IExpansionTarget& target) {
    table.OnFire = [&target](TMacroKeywords& sender, const std::string* name, std::string& text) {
        ExpandMacro(target, sender, name, text);
    };
}

TMacroPopupList::TMacroPopupList(TMacroKeywords& table) : FTable(table) {
    for (const auto& [name, entry] : table.Entries())
        FNames.push_back(name);
    FSelected = InitialIndex();
}

const std::string& TMacroPopupList::Description(int index) const {
    // The table may have lost the entry since the list was made.
    static const std::string none;
    auto it = FTable.Entries().find(Name(index));
    return it == FTable.Entries().end() ? none : it->second.Description;
}

std::string TMacroPopupList::ItemText(int index) const {
    return Description(index) + "\t" + Name(index);
}

void TMacroPopupList::SelectPartialWord(IExpansionTarget& target) const {
    const std::string& partial = FTable.PartialWord();
    if (partial.empty()) return;
    int start = 0, end = 0;
    target.GetSelection(start, end);
    // The word was found before the caret, at whichever end of a selection it stands.
    const int caret = target.CaretOffset();
    if (caret >= int(partial.size())) target.SetSelection(caret - int(partial.size()), caret);
}

int TMacroPopupList::InitialIndex() const {
    if (FNames.empty()) return -1;
    const std::string& partial = FTable.PartialWord();
    if (!partial.empty())
        for (size_t i = 0; i < FNames.size(); ++i)
            if (FNames[i].find(partial) != std::string::npos) return int(i);
    return 0;
}

void TMacroPopupList::Measure(
    const std::function<int(std::string_view text, bool bold)>& textWidth) {
    FWidestDescription = FWidestName = 0;
    for (int i = 0; i < Count(); ++i) {
        FWidestDescription = std::max(FWidestDescription, textWidth(Description(i), false));
        FWidestName = std::max(FWidestName, textWidth(Name(i), true));
    }
}

TPoint PlaceMacroPopup(int caretX, int lineTop, int lineBottom, TSize list, TSize client) {
    TPoint p{caretX, lineBottom};
    if (lineBottom + list.Height > client.Height) p.Y = lineTop - list.Height;
    if (p.X + list.Width > client.Width) p.X = std::max(0, client.Width - list.Width - 24);
    return p;
}

int TMacroPopupList::FindPrefix(const std::string& prefix) const {
    std::string p = Lower(prefix);
    for (size_t i = 0; i < FNames.size(); ++i)
        if (FNames[i].compare(0, p.size(), p) == 0) return int(i);
    return -1;
}

void TMacroPopupList::TypeChar(std::string_view character) {
    if (character.empty()) return;
    const bool alone = FSearch.empty();
    FSearch += character;
    int found = FindPrefix(FSearch);
    if (found < 0 && !alone) {
        FSearch = std::string(character);
        found = FindPrefix(FSearch);
    }
    if (found < 0)
        FSearch.clear();
    else
        FSelected = found;
}

bool TMacroPopupList::Backspace() {
    if (FSearch.empty()) return false;
    size_t end = FSearch.size() - 1;
    while (end > 0 && (static_cast<unsigned char>(FSearch[end]) & 0xC0) == 0x80)
        --end;
    FSearch.erase(end);
    if (!FSearch.empty()) {
        int found = FindPrefix(FSearch);
        if (found >= 0) FSelected = found;
    }
    return true;
}

bool TMacroPopupList::Choose(IExpansionTarget& target) {
    if (FSelected < 0 || FSelected >= Count()) return false;
    const std::string& name = Name(FSelected);
    const std::string& partial = FTable.PartialWord();
    if (!partial.empty() && name.find(partial) == std::string::npos) {
        int start = 0, end = 0;
        target.GetSelection(start, end);
        target.SetSelection(end, end);
    }
    auto entry = FTable.Entries().find(name);
    if (entry == FTable.Entries().end()) return false;
    std::string text = entry->second.Expansion;
    FTable.Fire(target, nullptr, std::move(text));
    return true;
}

} // namespace quillet
