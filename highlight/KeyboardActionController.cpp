#include "highlight/KeyboardActionController.h"

#include "resources/Strings.h"

#include <algorithm>

namespace quillet {

TKeyboardActionContoller::TKeyboardActionContoller() {
    FShiftNeutral.set(VK_BACK);
    for (int vk = VK_PRIOR; vk <= VK_DOWN; ++vk)
        FShiftNeutral.set(size_t(vk));
}

const TKeyboardActionContoller& TKeyboardActionContoller::Default() {
    static const TKeyboardActionContoller table = [] {
        TKeyboardActionContoller t;
        InstallDefaultKeyTable(t);
        return t;
    }();
    return table;
}

void TKeyboardActionContoller::ResetToDefault() {
    const TKeyboardActionContoller& d = Default();
    FStore = d.FStore;
    FStore.ResetMatcher();
    FNames = d.FNames;
    FShiftNeutral = d.FShiftNeutral;
}

void TKeyboardActionContoller::Clear() {
    FStore.Clear();
    FNames.clear();
}

void TKeyboardActionContoller::SetCommandName(int32_t id, std::string_view name) {
    if (name.size() > 255) throw EKeyError(FmtLoadStr(SCommandNameTooLong, Abbreviate(name)));
    for (auto it = FNames.rbegin(); it != FNames.rend(); ++it)
        if (it->second == id) {
            FNames.erase(std::next(it).base());
            break;
        }
    FNames.emplace_back(std::string(name), id);
}

std::string TKeyboardActionContoller::CommandName(int32_t id) const {
    for (auto it = FNames.rbegin(); it != FNames.rend(); ++it)
        if (it->second == id) return it->first;
    return "";
}

void TKeyboardActionContoller::AddBinding(TShortCut first, TShortCut second, int32_t command) {
    FStore.AddBinding(first, second, command, NameOf());
}

bool TKeyboardActionContoller::FirstKeysOfCommand(int32_t command, TShortCut& first,
                                                  TShortCut& second) {
    return FStore.FirstKeysOfCommand(command, first, second);
}

bool TKeyboardActionContoller::NextKeysOfCommand(int32_t command, TShortCut& first,
                                                 TShortCut& second) {
    return FStore.NextKeysOfCommand(command, first, second);
}

void TKeyboardActionContoller::SetShiftNeutral(int vk, bool neutral) {
    if (vk >= 0 && vk < 256) FShiftNeutral.set(size_t(vk), neutral);
}

bool TKeyboardActionContoller::ProcessKey(int& key, TShiftState& shift) {
    // A modifier pressed on its own (or auto-repeating while held between the two keys of a
    // sequence) must neither cancel the sequence nor be looked up.
    if (key == VK_SHIFT || key == VK_CONTROL || key == VK_MENU) return false;
    TShiftState lookup = shift;
    bool extend = false;
    if (IsShiftNeutral(key)) {
        extend = (lookup & ssShift) != 0;
        lookup = TShiftState(lookup & ~ssShift);
    }
    switch (FStore.Match(ShortCutOf(key, lookup))) {
    case kmPrefix:
        key = 0;
        shift = 0;
        return true;
    case kmRecognised: {
        key = 0;
        shift = 0;
        int32_t command = FStore.RecognisedCommand();
        FStore.ResetMatcher();
        if (OnRecognised) OnRecognised(*this, command, extend);
        return true;
    }
    case kmNoMatch:
        break;
    }
    FStore.ResetMatcher();
    return false;
}

void TKeyboardActionContoller::Assign(const TPersistentTable& source) {
    if (!dynamic_cast<const TKeyboardActionContoller*>(&source))
        throw EKeyError(FmtLoadStr(SCannotAssignKeys, source.ClassName(), ClassName()));
    if (&source == this) return;
    TMemoryStream buffer;
    source.SaveToStream(buffer);
    buffer.SetPosition(0);
    LoadFromStream(buffer);
}

void TKeyboardActionContoller::SaveToStream(TStream& stream) const {
    WriteU32(stream, uint32_t(FNames.size()));
    for (const auto& [name, id] : FNames) {
        WriteU32(stream, uint32_t(id));
        WriteStr8(stream, name);
    }
    FStore.SaveToStream(stream);
}

void TKeyboardActionContoller::LoadFromStream(TStream& stream) {
    TKeyboardActionContoller loaded;
    uint32_t count = ReadU32(stream);
    for (uint32_t i = 0; i < count; ++i) {
        int32_t id = int32_t(ReadU32(stream));
        loaded.FNames.emplace_back(ReadStr8(stream), id);
    }
    loaded.FStore.LoadFromStream(stream, loaded.NameOf());
    FNames = std::move(loaded.FNames);
    FStore = std::move(loaded.FStore);
}

void InstallDefaultKeyTable(TKeyboardActionContoller& table) {
    table.Clear();
    for (int32_t id = 0; id < kcCommandCount; ++id)
        table.SetCommandName(id, LoadStr(SCommand0 + id));
    auto ctrl = [](int vk) { return ShortCut(vk, scCtrl); };
    auto key = [](int vk) { return ShortCut(vk, 0); };
    table.AddBinding(ctrl(VK_BACK), 0, kcDeleteWordBefore);
    table.AddBinding(ctrl(VK_DELETE), 0, kcDeleteWordAfter);
    const TKeyBinding inOrder[] = {
        {key(VK_LEFT), 0, kcCursorLeft},
        {key(VK_RIGHT), 0, kcCursorRight},
        {key(VK_HOME), 0, kcLineStart},
        {key(VK_END), 0, kcLineEnd},
        {key(VK_UP), 0, kcLineUp},
        {key(VK_DOWN), 0, kcLineDown},
        {key(VK_PRIOR), 0, kcPageUp},
        {key(VK_NEXT), 0, kcPageDown},
        {ctrl(VK_LEFT), 0, kcWordLeft},
        {ctrl(VK_RIGHT), 0, kcWordRight},
        {ctrl(VK_HOME), 0, kcDocumentStart},
        {ctrl(VK_END), 0, kcDocumentEnd},
        {ctrl('X'), 0, kcCut},
        {ctrl('C'), 0, kcCopy},
        {ctrl('V'), 0, kcPaste},
        {key(VK_DELETE), 0, kcDeleteChar},
        {key(VK_BACK), 0, kcDeleteCharBefore},
        {ctrl('K'), key('I'), kcIndentBlock},
        {ctrl('K'), key('U'), kcUnindentBlock},
        {key(VK_INSERT), 0, kcToggleInsert},
    };
    for (const auto& b : inOrder)
        table.AddBinding(b.First, b.Second, b.Command);
    for (int n = 0; n < 10; ++n)
        table.AddBinding(ctrl('K'), key('0' + n), kcSetBookmark0 + n);
    for (int n = 0; n < 10; ++n)
        table.AddBinding(ctrl('Q'), key('0' + n), kcGotoBookmark0 + n);
    table.AddBinding(ctrl('Y'), 0, kcDeleteLine);
    table.AddBinding(ctrl('Z'), 0, kcUndo);
    table.AddBinding(ShortCut('Z', scCtrl | scShift), 0, kcRedo);
    // Ctrl+Backspace (43) and Ctrl+Delete (45) went in first.
    table.AddBinding(ctrl('K'), key('P'), kcPrintSelection);
    table.AddBinding(ctrl(VK_UP), 0, kcScrollUp);
    table.AddBinding(ctrl(VK_DOWN), 0, kcScrollDown);
}

} // namespace quillet
