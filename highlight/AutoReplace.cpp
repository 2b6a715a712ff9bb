#include "highlight/AutoReplace.h"

#include "platform/Platform.h"
#include "resources/Strings.h"

#include <algorithm>

namespace quillet {

void TCodeTemplates::AddEntry(std::string_view name, std::string_view description,
                              std::string_view expansion) {
    DeleteEntry(name);
    TMacroKeywords::AddEntry(name, description, expansion);
}

namespace {

uint16_t CodeOf(const TKeyStroke& k, bool withModifiers) {
    if (k.VirtualKey <= 0 || k.VirtualKey > 255) return 0;
    uint16_t mods = 0;
    if (k.Shift & ssShift) mods |= tkShift;
    if (k.Shift & ssCtrl) mods |= tkCtrl;
    if (k.Shift & ssAlt) mods |= tkAlt;
    if (!withModifiers) return mods ? 0 : uint16_t(k.VirtualKey);
    return uint16_t(k.VirtualKey | mods);
}

// One UTF-8 sequence from text at i (advanced past it); a stray byte stands for itself.
char32_t NextChar(std::string_view text, size_t& i) {
    auto b = static_cast<unsigned char>(text[i++]);
    int more = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
    if (more == 0 || i + size_t(more) > text.size()) return b;
    char32_t c = b & (0x3F >> more);
    for (int k = 0; k < more; ++k) {
        auto t = static_cast<unsigned char>(text[i + size_t(k)]);
        if ((t & 0xC0) != 0x80) return b;
        c = (c << 6) | (t & 0x3F);
    }
    i += size_t(more);
    return c;
}

uint16_t KeyOfChar(char32_t c, const IKeyboardLayout* layout, bool withModifiers) {
    if (!layout) return 0;
    std::optional<TKeyStroke> k = layout->KeyForChar(c);
    return k ? CodeOf(*k, withModifiers) : 0;
}

} // namespace

std::vector<uint16_t> ParseTriggerKeys(std::string_view keyText, const IKeyboardLayout* layout) {
    std::vector<uint16_t> keys;
    auto add = [&](uint16_t code) {
        // "No key" is not a trigger.
        if (code != 0 && std::find(keys.begin(), keys.end(), code) == keys.end())
            keys.push_back(code);
    };
    size_t i = 0;
    while (i < keyText.size()) {
        if (keyText[i] != '\\') {
            add(KeyOfChar(NextChar(keyText, i), layout, true));
            continue;
        }
        if (++i >= keyText.size()) break; // a final lone backslash escapes nothing
        char e = keyText[i];
        switch (e) {
        case 'n':
        case 'r':
            add(VK_RETURN), ++i;
            break;
        case 's':
            add(VK_SPACE), ++i;
            break;
        case 't':
            add(VK_TAB), ++i;
            break;
        case '{': {
            size_t close = keyText.find('}', i + 1);
            if (close == std::string_view::npos) throw EKeyError(LoadStr(SBadKeySpecifier));
            std::string name;
            for (char c : keyText.substr(i + 1, close - i - 1))
                if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
                    name += c;
                else if (c >= 'A' && c <= 'Z')
                    name += char(c + 32);
            add(uint16_t(KeyFromName(name)));
            i = close + 1;
            break;
        }
        default:
            add(KeyOfChar(NextChar(keyText, i), layout, false));
            break;
        }
    }
    return keys;
}

TAutoReplace::TAutoReplace() {
    SetSwallowTrigger(false);
    SetIndentExpansion(false);
    SetCaretMarker(false);
    SetPopupWhenNoMatch(false);
    SetTriggerKeys(DefaultTriggerKeys);
}

void TAutoReplace::SetKeyboardLayout(const IKeyboardLayout* layout) {
    FLayout = layout;
    // The characters of the specification may sit on other keys now.
    FTriggerList = ParseTriggerKeys(FTriggerSpec, Layout());
}

const IKeyboardLayout* TAutoReplace::Layout() const {
    return FLayout ? FLayout : Platform().Keyboard.get();
}

void TAutoReplace::Reset() {
    Clear();
    SetTriggerKeys(DefaultTriggerKeys);
}

void TAutoReplace::SetTriggerKeys(std::string_view keyText) {
    if (keyText.size() > 255)
        throw EKeyError(
            FmtLoadStr(SMacroTextTooLong, "trigger key specification", Abbreviate(keyText)));
    FTriggerList = ParseTriggerKeys(keyText, Layout());
    FTriggerSpec = std::string(keyText);
}

bool TAutoReplace::IsTrigger(int key, TShiftState shift) const {
    if (!Enabled() || FTriggerSpec.empty()) return false;
    uint16_t code = CodeOf(TKeyStroke{key, shift}, true);
    return code != 0 &&
           std::find(FTriggerList.begin(), FTriggerList.end(), code) != FTriggerList.end();
}

std::unique_ptr<TMacroKeywords> TAutoReplace::NewEmpty() const {
    auto t = std::make_unique<TAutoReplace>();
    t->SetKeyboardLayout(FLayout);
    return t;
}

void TAutoReplace::SaveExtra(TStream& stream) const {
    WriteStr8(stream, FTriggerSpec);
}

void TAutoReplace::LoadExtra(TStream& stream) {
    SetTriggerKeys(ReadStr8(stream));
}

void TAutoReplace::TakeContents(TMacroKeywords& loaded) {
    TMacroKeywords::TakeContents(loaded);
    auto& a = static_cast<TAutoReplace&>(loaded);
    FTriggerSpec = std::move(a.FTriggerSpec);
    FTriggerList = std::move(a.FTriggerList);
}

} // namespace quillet
