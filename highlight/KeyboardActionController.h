// The key table: command names, the key-sequence store, the default table and key processing.
#pragma once

#include "highlight/KeyNames.h"
#include "highlight/KeyStore.h"

#include <bitset>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace quillet {

// The editing commands the key table names; the name of command n is string 4146 + n.
enum TKeyCommand : int32_t {
    kcCursorLeft = 0,
    kcCursorRight,
    kcLineStart,
    kcLineEnd,
    kcLineUp,
    kcLineDown,
    kcPageUp,
    kcPageDown,
    kcWordLeft,
    kcWordRight,
    kcDocumentStart,
    kcDocumentEnd,
    kcCut,
    kcCopy,
    kcPaste,
    kcDeleteChar,
    kcDeleteCharBefore,
    kcIndentBlock,
    kcUnindentBlock,
    kcToggleInsert,
    kcSetBookmark0 = 20,  // + n sets bookmark n
    kcGotoBookmark0 = 30, // + n goes to bookmark n
    kcDeleteLine = 40,
    kcUndo,
    kcRedo,
    kcDeleteWordBefore,
    kcPrintSelection,
    kcDeleteWordAfter,
    kcScrollUp,
    kcScrollDown,
    kcCommandCount
};

class TKeyboardActionContoller : public TPersistentTable {
public:
    // The recognised command, which a handler may change; extendSelection is the Shift that was
    // taken off a shift-neutral key.
    using TRecognisedEvent = std::function<void(TKeyboardActionContoller& sender, int32_t& command,
                                                bool extendSelection)>;

    TKeyboardActionContoller();

    // The process-wide default table, built on first use.
    static const TKeyboardActionContoller& Default();
    // Becomes a copy of the default table (names, bindings, shift-neutral keys).
    void ResetToDefault();

    std::string ClassName() const override { return "TKeyboardActionContoller"; }

    void Clear();
    // Replaces the name of the command; names longer than the stream can hold are refused.
    void SetCommandName(int32_t id, std::string_view name);
    std::string CommandName(int32_t id) const;
    const std::vector<std::pair<std::string, int32_t>>& CommandNames() const { return FNames; }

    void AddBinding(TShortCut first, TShortCut second, int32_t command);
    bool FirstKeysOfCommand(int32_t command, TShortCut& first, TShortCut& second);
    bool NextKeysOfCommand(int32_t command, TShortCut& first, TShortCut& second);

    TKeyStore& Store() { return FStore; }
    const TKeyStore& Store() const { return FStore; }

    // Keys whose Shift means "extend the selection" rather than a different binding.
    bool IsShiftNeutral(int vk) const { return vk >= 0 && vk < 256 && FShiftNeutral[size_t(vk)]; }
    void SetShiftNeutral(int vk, bool neutral);
    void ClearShiftNeutral() { FShiftNeutral.reset(); }

    // Feeds a key-down to the matcher. Returns true when the key was taken (a sequence prefix,
    // or a recognised command after OnRecognised ran); key and shift are then cleared.
    bool ProcessKey(int& key, TShiftState& shift);

    // Copies another key table; anything else raises "Cannot assign a %s to a %s".
    void Assign(const TPersistentTable& source);
    void SaveToStream(TStream& stream) const override;
    // All or nothing: a stream that fails to load leaves this table as it was.
    void LoadFromStream(TStream& stream) override;

    TRecognisedEvent OnRecognised;

private:
    TKeyStore::TNameOf NameOf() const {
        return [this](int id) { return CommandName(id); };
    }

    TKeyStore FStore;
    std::vector<std::pair<std::string, int32_t>> FNames;
    std::bitset<256> FShiftNeutral;
};

// Fills a table with the standard command names and bindings, in the standard order.
void InstallDefaultKeyTable(TKeyboardActionContoller& table);

} // namespace quillet
