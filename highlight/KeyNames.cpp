#include "highlight/KeyNames.h"

#include "resources/Strings.h"

#include <algorithm>
#include <cctype>

namespace quillet {

namespace {

struct TNamedKey {
    const char* Name;
    int Vk;
};

// The names a key specification may give in braces.
constexpr TNamedKey kKeyNames[] = {
    {"backspace", VK_BACK}, {"delete", VK_DELETE}, {"down", VK_DOWN},   {"end", VK_END},
    {"home", VK_HOME},      {"insert", VK_INSERT}, {"left", VK_LEFT},   {"f1", VK_F1},
    {"f2", VK_F2},          {"f3", VK_F3},         {"f4", VK_F4},       {"f5", VK_F5},
    {"f6", VK_F6},          {"f7", VK_F7},         {"f8", VK_F8},       {"f9", VK_F9},
    {"f10", VK_F10},        {"f11", VK_F11},       {"f12", VK_F12},     {"pagedown", VK_NEXT},
    {"pageup", VK_PRIOR},   {"return", VK_RETURN}, {"right", VK_RIGHT}, {"space", VK_SPACE},
    {"up", VK_UP},          {"tab", VK_TAB},
};

// Names in shortcut texts; the first of a key is the one written.
constexpr TNamedKey kShortCutNames[] = {
    {"BkSp", VK_BACK},      {"Backspace", VK_BACK}, {"Tab", VK_TAB},        {"Enter", VK_RETURN},
    {"Return", VK_RETURN},  {"Esc", VK_ESCAPE},     {"Space", VK_SPACE},    {"PgUp", VK_PRIOR},
    {"PageUp", VK_PRIOR},   {"PgDn", VK_NEXT},      {"PageDown", VK_NEXT},  {"End", VK_END},
    {"Home", VK_HOME},      {"Left", VK_LEFT},      {"Up", VK_UP},          {"Right", VK_RIGHT},
    {"Down", VK_DOWN},      {"Ins", VK_INSERT},     {"Insert", VK_INSERT},  {"Del", VK_DELETE},
    {"Delete", VK_DELETE},  {";", VK_OEM_1},        {"=", VK_OEM_PLUS},     {",", VK_OEM_COMMA},
    {"-", VK_OEM_MINUS},    {".", VK_OEM_PERIOD},   {"/", VK_OEM_2},        {"`", VK_OEM_3},
    {"[", VK_OEM_4},        {"\\", VK_OEM_5},       {"]", VK_OEM_6},        {"'", VK_OEM_7},
    {"Num *", VK_MULTIPLY}, {"Num +", VK_ADD},      {"Num -", VK_SUBTRACT}, {"Num .", VK_DECIMAL},
    {"Num /", VK_DIVIDE},
};

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string KeyText(int vk) {
    if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return std::string(1, char(vk));
    if (vk >= VK_F1 && vk <= VK_F24) return "F" + std::to_string(vk - VK_F1 + 1);
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return "Num " + std::to_string(vk - VK_NUMPAD0);
    for (const auto& k : kShortCutNames)
        if (k.Vk == vk) return k.Name;
    return "#" + std::to_string(vk);
}

int KeyOfText(std::string_view t) {
    if (t.size() == 1) {
        char c = char(std::toupper(static_cast<unsigned char>(t[0])));
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return c;
    }
    for (const auto& k : kShortCutNames)
        if (SameText(t, k.Name)) return k.Vk;
    auto number = [](std::string_view digits, int& out) {
        if (digits.empty() || digits.size() > 3) return false;
        out = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') return false;
            out = out * 10 + (c - '0');
        }
        return true;
    };
    int n = 0;
    if (t.size() >= 2 && (t[0] == 'F' || t[0] == 'f') && number(t.substr(1), n) && n >= 1 &&
        n <= 24)
        return VK_F1 + n - 1;
    if (t.size() == 5 && SameText(t.substr(0, 4), "Num ") && number(t.substr(4), n))
        return VK_NUMPAD0 + n;
    if (t.size() >= 2 && t[0] == '#' && number(t.substr(1), n) && n >= 1 && n <= 255) return n;
    return 0;
}

} // namespace

int KeyFromName(std::string_view name) {
    for (const auto& k : kKeyNames)
        if (SameText(name, k.Name)) return k.Vk;
    return 0;
}

std::string ShortCutToText(TShortCut key) {
    if ((key & 0xFF) == 0) return "";
    std::string out;
    if (key & scShift) out += "Shift+";
    if (key & scCtrl) out += "Ctrl+";
    if (key & scAlt) out += "Alt+";
    return out + KeyText(key & 0xFF);
}

TShortCut TextToShortCut(std::string_view text) {
    if (text.empty()) return scNone;
    std::string_view rest = text;
    TShortCut mods = 0;
    for (bool more = true; more;) {
        more = false;
        for (auto [prefix, bit] : {std::pair<std::string_view, TShortCut>{"Shift+", scShift},
                                   {"Ctrl+", scCtrl},
                                   {"Alt+", scAlt}}) {
            if (rest.size() > prefix.size() && SameText(rest.substr(0, prefix.size()), prefix)) {
                mods |= bit;
                rest.remove_prefix(prefix.size());
                more = true;
            }
        }
    }
    int vk = KeyOfText(rest);
    if (vk == 0) throw EKeyError(FmtLoadStr(SBadShortCutText, Abbreviate(text)));
    return ShortCut(vk, mods);
}

TShortCut ShortCutOf(int key, TShiftState shift) {
    TShortCut mods = 0;
    if (shift & ssShift) mods |= scShift;
    if (shift & ssCtrl) mods |= scCtrl;
    if (shift & ssAlt) mods |= scAlt;
    return ShortCut(key, mods);
}

void WriteU8(TStream& s, uint8_t v) {
    s.WriteBuffer(&v, 1);
}

void WriteU16(TStream& s, uint16_t v) {
    uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
    s.WriteBuffer(b, 2);
}

void WriteU32(TStream& s, uint32_t v) {
    uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    s.WriteBuffer(b, 4);
}

void WriteStr8(TStream& s, std::string_view text) {
    WriteU8(s, uint8_t(text.size()));
    s.WriteBuffer(text.data(), int64_t(text.size()));
}

void WriteStr32(TStream& s, std::string_view text) {
    WriteU32(s, uint32_t(text.size()));
    s.WriteBuffer(text.data(), int64_t(text.size()));
}

uint8_t ReadU8(TStream& s) {
    uint8_t v = 0;
    s.ReadBuffer(&v, 1);
    return v;
}

uint16_t ReadU16(TStream& s) {
    uint8_t b[2];
    s.ReadBuffer(b, 2);
    return uint16_t(b[0] | (b[1] << 8));
}

uint32_t ReadU32(TStream& s) {
    uint8_t b[4];
    s.ReadBuffer(b, 4);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

namespace {
std::string ReadChars(TStream& s, uint32_t length) {
    if (int64_t(length) > s.Size() - s.Position()) throw EStreamError("Stream read error");
    std::string text(length, '\0');
    s.ReadBuffer(text.data(), length);
    return text;
}
} // namespace

std::string ReadStr8(TStream& s) {
    return ReadChars(s, ReadU8(s));
}
std::string ReadStr32(TStream& s) {
    return ReadChars(s, ReadU32(s));
}

std::string Abbreviate(std::string_view text, size_t keep) {
    if (text.size() <= keep) return std::string(text);
    // Never cut a UTF-8 sequence in two.
    while (keep > 0 && (static_cast<unsigned char>(text[keep]) & 0xC0) == 0x80)
        --keep;
    return std::string(text.substr(0, keep)) + "...";
}

} // namespace quillet
