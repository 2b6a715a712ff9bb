#include "platform/headless/UsKeyboard.h"

namespace quillet {

namespace {

// Punctuation keys: the key, its plain character and its shifted one.
struct TPunctKey {
    int Vk;
    char Plain;
    char Shifted;
};

constexpr TPunctKey kPunct[] = {
    {VK_OEM_1, ';', ':'},     {VK_OEM_PLUS, '=', '+'},   {VK_OEM_COMMA, ',', '<'},
    {VK_OEM_MINUS, '-', '_'}, {VK_OEM_PERIOD, '.', '>'}, {VK_OEM_2, '/', '?'},
    {VK_OEM_3, '`', '~'},     {VK_OEM_4, '[', '{'},      {VK_OEM_5, '\\', '|'},
    {VK_OEM_6, ']', '}'},     {VK_OEM_7, '\'', '"'},
};

constexpr char kShiftedDigits[] = ")!@#$%^&*(";

} // namespace

std::optional<TKeyStroke> TUsKeyboardLayout::KeyForChar(char32_t ch) const {
    if (ch >= 'a' && ch <= 'z') return TKeyStroke{int('A' + (ch - 'a')), 0};
    if (ch >= 'A' && ch <= 'Z') return TKeyStroke{int(ch), ssShift};
    if (ch >= '0' && ch <= '9') return TKeyStroke{int(ch), 0};
    for (int d = 0; d < 10; ++d)
        if (ch == char32_t(kShiftedDigits[d])) return TKeyStroke{'0' + d, ssShift};
    for (const auto& k : kPunct) {
        if (ch == char32_t(k.Plain)) return TKeyStroke{k.Vk, 0};
        if (ch == char32_t(k.Shifted)) return TKeyStroke{k.Vk, ssShift};
    }
    switch (ch) {
    case ' ':
        return TKeyStroke{VK_SPACE, 0};
    case '\t':
        return TKeyStroke{VK_TAB, 0};
    case '\r':
    case '\n':
        return TKeyStroke{VK_RETURN, 0};
    case 8:
        return TKeyStroke{VK_BACK, 0};
    case 27:
        return TKeyStroke{VK_ESCAPE, 0};
    default:
        return std::nullopt;
    }
}

char32_t TUsKeyboardLayout::CharForKey(const TKeyStroke& key) const {
    // Ctrl and Alt combinations type nothing on this layout.
    if (key.Shift & (ssCtrl | ssAlt)) return 0;
    bool shift = key.Shift & ssShift;
    int vk = key.VirtualKey;
    if (vk >= 'A' && vk <= 'Z') return shift ? char32_t(vk) : char32_t(vk - 'A' + 'a');
    if (vk >= '0' && vk <= '9') return shift ? char32_t(kShiftedDigits[vk - '0']) : char32_t(vk);
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return char32_t('0' + (vk - VK_NUMPAD0));
    for (const auto& k : kPunct)
        if (vk == k.Vk) return char32_t(shift ? k.Shifted : k.Plain);
    switch (vk) {
    case VK_SPACE:
        return ' ';
    case VK_TAB:
        return '\t';
    case VK_RETURN:
        return '\r';
    case VK_BACK:
        return 8;
    case VK_ESCAPE:
        return 27;
    default:
        return 0;
    }
}

} // namespace quillet
