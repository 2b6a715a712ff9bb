// Macro-keyword tables: named expansions that fire on a key when their name ends at the caret.
#pragma once

#include "highlight/AutoReplaceTarget.h"
#include "highlight/KeyNames.h"
#include "highlight/Keywords.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

struct TMacroEntry {
    std::string Description;
    std::string Expansion; // line breaks are CR only
    friend bool operator==(const TMacroEntry&, const TMacroEntry&) = default;
};

// Line breaks as the text store keeps them: CR LF and LF become CR, other control
// characters but TAB become ".".
std::string NormalizeMacroText(std::string_view text);

// The longest name a table takes (its stream keeps a name's length in a byte).
constexpr size_t MaxMacroName = 255;

class TMacroKeywords : public TPersistentTable {
public:
    // name is null when a chosen list entry, not a typed word, is expanded; text may be changed.
    using TFireEvent =
        std::function<void(TMacroKeywords& sender, const std::string* name, std::string& text)>;

    TMacroKeywords() = default;
    TMacroKeywords(const TMacroKeywords&) = default;
    TMacroKeywords& operator=(const TMacroKeywords&) = default;

    std::string ClassName() const override { return "TMacroKeywords"; }

    // The name is lower-cased; an entry of that name is replaced. Empty names and names or
    // descriptions longer than the stream can hold (255 bytes) are refused.
    virtual void AddEntry(std::string_view name, std::string_view description,
                          std::string_view expansion);
    void DeleteEntry(std::string_view name);
    void Clear();
    const std::string* FindExpansion(std::string_view word) const;
    const std::map<std::string, TMacroEntry>& Entries() const { return FEntries; }
    int Count() const { return int(FEntries.size()); }

    // The lower-case word before the caret when the last trigger matched no entry.
    const std::string& PartialWord() const { return FPartialWord; }

    TShortCut TriggerShortCut() const { return FTrigger; }
    void SetTriggerShortCut(TShortCut value) { FTrigger = value; }

    bool RecreatePopup() const { return FRecreatePopup; }
    void SetRecreatePopup(bool v) { FRecreatePopup = v; }
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool v) { FEnabled = v; }
    bool SwallowTrigger() const { return FSwallowTrigger; }
    void SetSwallowTrigger(bool v) { FSwallowTrigger = v; }
    bool IndentExpansion() const { return FIndentExpansion; }
    void SetIndentExpansion(bool v) { FIndentExpansion = v; }
    bool CaretMarker() const { return FCaretMarker; }
    void SetCaretMarker(bool v) { FCaretMarker = v; }
    bool PopupWhenNoMatch() const { return FPopupWhenNoMatch; }
    void SetPopupWhenNoMatch(bool v) { FPopupWhenNoMatch = v; }

    virtual bool IsTrigger(int key, TShiftState shift) const;
    // The control's key-down: when the key triggers this table, match the names backwards from
    // the caret and fire, or offer the list. Returns whether an expansion fired; handled is set
    // when the key must go no further.
    bool ProcessKey(IExpansionTarget& target, int key, bool& handled, TShiftState shift);
    // Fires an entry into the target: OnFire when set, else the standard expansion. The tables
    // live in settings that several controls share, so the target is the one the key came from.
    void Fire(IExpansionTarget& target, const std::string* name, std::string text);

    // Copies a table of the same class; another class raises "Cannot assign %s to %s".
    void Assign(const TPersistentTable& source);
    void SaveToStream(TStream& stream) const override;
    // All or nothing: a stream that fails to load leaves the table as it was.
    void LoadFromStream(TStream& stream) override;

    // Replaces the standard expansion when set.
    TFireEvent OnFire;

protected:
    // An empty table of the same class, to load into before taking its contents.
    virtual std::unique_ptr<TMacroKeywords> NewEmpty() const {
        return std::make_unique<TMacroKeywords>();
    }
    // What follows the common fields in the stream; and taking a loaded table's contents.
    virtual void SaveExtra(TStream& stream) const { (void)stream; }
    virtual void LoadExtra(TStream& stream) { (void)stream; }
    virtual void TakeContents(TMacroKeywords& loaded);

private:
    void RebuildMatcher();

    std::map<std::string, TMacroEntry> FEntries;
    std::vector<std::string> FMatchNames; // the matcher's values index this
    TKeywords FMatcher{false};
    std::string FPartialWord;
    TShortCut FTrigger = ShortCut('J', scCtrl);
    bool FRecreatePopup = true;
    bool FEnabled = true;
    bool FSwallowTrigger = true;
    bool FIndentExpansion = true;
    bool FCaretMarker = true;
    bool FPopupWhenNoMatch = true;
};

} // namespace quillet
