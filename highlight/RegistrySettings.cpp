#include "highlight/RegistrySettings.h"

#include "resources/Strings.h"

#include <charconv>
#include <exception>
#include <string_view>

namespace quillet {

namespace {

constexpr std::string_view Magic = "Zendra6:";
constexpr std::string_view End = "#END#";

void Item(std::string& out, const char* tag, const std::string& value) {
    out += tag;
    out += '#';
    out += std::to_string(value.size());
    out += '#';
    out += value;
}

std::string Int(int64_t v) {
    return std::to_string(int32_t(uint32_t(v))); // colours and words as signed 32-bit
}

std::string Flag(bool v) {
    return v ? "1" : "0";
}

std::string Styles(const TCM_Settings& s) {
    int defined = 0;
    for (const auto& st : s.Styles)
        defined += st.Defined ? 1 : 0;
    std::string out = std::to_string(defined == 256 ? 255 : defined);
    if (defined > 0) out += ',';
    for (size_t i = 0; i < 256; ++i) {
        const TCM_Style& st = s.Styles[i];
        if (!st.Defined) continue;
        out += std::to_string(i) + "," + Int(st.Foreground) + "," + Int(st.Background) + ",";
        if (st.BackgroundDefault) out += 'X';
        if (st.ForegroundDefault) out += 'Y';
        if (st.FontStyle & 1) out += 'B';
        if (st.FontStyle & 2) out += 'I';
        if (st.FontStyle & 4) out += 'U'; // strike-out is not part of the value
        out += ';';
    }
    return out;
}

[[noreturn]] void BadEntry() {
    throw EDefinitionError(LoadStr(SRegInvalidEntry));
}

[[noreturn]] void BadStyle() {
    throw EDefinitionError(LoadStr(SRegInvalidStyle));
}

bool ToInt(std::string_view text, int64_t& v) {
    if (text.empty()) return false;
    const char* b = text.data();
    const char* e = b + text.size();
    auto r = std::from_chars(b, e, v);
    return r.ec == std::errc() && r.ptr == e;
}

int32_t Int32(std::string_view text) {
    int64_t v;
    if (!ToInt(text, v) || v < INT32_MIN || v > INT32_MAX) BadEntry();
    return int32_t(v);
}

uint8_t Byte(std::string_view text) {
    const int32_t v = Int32(text);
    if (v < 0 || v > 255) BadEntry();
    return uint8_t(v);
}

bool Bool(std::string_view text) {
    if (text != "0" && text != "1") BadEntry();
    return text == "1";
}

void ParseStyles(std::string_view text, TCM_Settings& s) {
    size_t comma = text.find(',');
    const std::string_view head = text.substr(0, comma);
    int64_t count;
    if (!ToInt(head, count) || count < 0 || count > 255) BadStyle();
    if (count == 0) {
        if (comma != std::string_view::npos) BadStyle();
        return;
    }
    if (comma == std::string_view::npos) BadStyle();
    std::string_view rest = text.substr(comma + 1);
    int seen = 0;
    std::array<bool, 256> listed{};
    while (!rest.empty()) {
        int64_t field[3];
        for (auto& f : field) {
            const size_t c = rest.find(',');
            if (c == std::string_view::npos || !ToInt(rest.substr(0, c), f)) BadStyle();
            rest.remove_prefix(c + 1);
        }
        if (field[0] < 0 || field[0] > 255 || listed[size_t(field[0])]) BadStyle();
        for (int k = 1; k < 3; ++k)
            if (field[k] < INT32_MIN || field[k] > UINT32_MAX) BadStyle();
        const size_t semi = rest.find(';');
        if (semi == std::string_view::npos) BadStyle();
        TCM_Style st;
        st.Defined = true;
        st.Foreground = TColor(uint32_t(field[1]));
        st.Background = TColor(uint32_t(field[2]));
        for (char c : rest.substr(0, semi)) {
            switch (c) {
            case 'X':
                st.BackgroundDefault = true;
                break;
            case 'Y':
                st.ForegroundDefault = true;
                break;
            case 'B':
                st.FontStyle |= 1;
                break;
            case 'I':
                st.FontStyle |= 2;
                break;
            case 'U':
                st.FontStyle |= 4;
                break;
            case 'S':
                st.FontStyle |= 8;
                break;
            default:
                BadStyle();
            }
        }
        rest.remove_prefix(semi + 1);
        listed[size_t(field[0])] = true;
        // Neither is written: they stay as they were, unless an older text carried "S".
        st.Hotspot = s.Styles[size_t(field[0])].Hotspot;
        st.FontStyle |= s.Styles[size_t(field[0])].FontStyle & 8;
        s.Styles[size_t(field[0])] = st;
        ++seen;
    }
    // All 256 defined is written as 255.
    if (seen != count && !(count == 255 && seen == 256)) BadStyle();
}

void ParseTabs(std::string_view text, TCM_Settings& s) {
    s.TabColumns.fill(-1);
    size_t n = 0;
    while (!text.empty()) {
        const size_t blank = text.find(' ');
        const int32_t column = Int32(text.substr(0, blank));
        if (column < 1 || n >= s.TabColumns.size()) BadEntry();
        s.TabColumns[n++] = column - 1;
        if (blank == std::string_view::npos) break;
        text.remove_prefix(blank + 1);
        if (text.empty()) BadEntry();
    }
}

void Apply(TCM_Settings& s, std::string_view tag, std::string_view v) {
    auto is = [&](const char* t) { return tag == t; };
    if (is("OPT"))
        s.Options = uint32_t(Int32(v));
    else if (is("GWD"))
        s.GutterWidth = Int32(v);
    else if (is("GCL"))
        s.GutterColor = TColor(uint32_t(Int32(v)));
    else if (is("WRC"))
        s.WordWrapColumn = Int32(v);
    else if (is("IDS"))
        s.IndentStep = Int32(v);
    else if (is("WRO"))
        s.WrapOverride = std::string(v);
    else if (is("FON"))
        s.FontName = std::string(v);
    else if (is("FOS"))
        s.FontSize = Int32(v);
    else if (is("STC"))
        s.SelTextColor = TColor(uint32_t(Int32(v)));
    else if (is("STB"))
        s.SelTextBack = TColor(uint32_t(Int32(v)));
    else if (is("TBC"))
        ParseTabs(v, s);
    else if (is("TBD"))
        s.TabDefault = Int32(v);
    else if (is("EFF"))
        ParseStyles(v, s);
    else if (is("GDF"))
        s.GutterColorDefault = Bool(v);
    else if (is("MDF"))
        s.MarginColorDefault = Bool(v);
    else if (is("SDF"))
        s.SelTextColorDefault = Bool(v);
    else if (is("BDF"))
        s.SelTextBackDefault = Bool(v);
    else if (is("FOC"))
        s.FontCharset = Byte(v);
    else if (is("RMG"))
        s.RightMargin = Int32(v);
    else if (is("LNN"))
        s.GutterFontName = std::string(v);
    else if (is("LNS"))
        s.GutterFontSize = Int32(v);
    else if (is("LNC"))
        s.GutterFontColor = TColor(uint32_t(Int32(v)));
    else if (is("LNT"))
        s.GutterFontCharset = Byte(v);
    else if (is("LNE")) {
        uint8_t style = 0;
        for (char c : v) {
            const uint8_t bit = c == 'B' ? 1 : c == 'I' ? 2 : c == 'U' ? 4 : c == 'S' ? 8 : 0;
            if (!bit) BadEntry();
            style |= bit;
        }
        s.GutterFontStyle = style;
    }
    // Tags of a later version are passed over.
}

} // namespace

std::string FormatHighlighting(const TCM_Settings& s) {
    std::string out(Magic);
    Item(out, "OPT", Int(s.Options));
    Item(out, "GWD", Int(s.GutterWidth));
    Item(out, "GCL", Int(s.GutterColor));
    Item(out, "WRC", Int(s.WordWrapColumn));
    Item(out, "IDS", Int(s.IndentStep));
    Item(out, "WRO", s.WrapOverride);
    Item(out, "FON", s.FontName);
    Item(out, "FOS", Int(s.FontSize));
    Item(out, "STC", Int(s.SelTextColor));
    Item(out, "STB", Int(s.SelTextBack));
    std::string tabs;
    for (int32_t t : s.TabColumns) {
        if (t < 0) break;
        if (!tabs.empty()) tabs += ' ';
        tabs += std::to_string(t + 1);
    }
    Item(out, "TBC", tabs);
    Item(out, "TBD", Int(s.TabDefault));
    Item(out, "EFF", Styles(s));
    Item(out, "GDF", Flag(s.GutterColorDefault));
    Item(out, "MDF", Flag(s.MarginColorDefault));
    Item(out, "SDF", Flag(s.SelTextColorDefault));
    Item(out, "BDF", Flag(s.SelTextBackDefault));
    Item(out, "FOC", Int(s.FontCharset));
    Item(out, "RMG", Int(s.RightMargin));
    Item(out, "LNN", s.GutterFontName);
    Item(out, "LNS", Int(s.GutterFontSize));
    Item(out, "LNC", Int(s.GutterFontColor));
    Item(out, "LNT", Int(s.GutterFontCharset));
    std::string style;
    if (s.GutterFontStyle & 2) style += 'I';
    if (s.GutterFontStyle & 1) style += 'B';
    if (s.GutterFontStyle & 4) style += 'U';
    if (s.GutterFontStyle & 8) style += 'S';
    Item(out, "LNE", style);
    out += End;
    return out;
}

void ParseHighlighting(const std::string& text, TCM_Settings& s) {
    std::string_view rest(text);
    if (rest.substr(0, Magic.size()) != Magic) BadEntry();
    rest.remove_prefix(Magic.size());
    TCM_Settings copy = s;
    while (rest != End) {
        // TAG#length#value
        if (rest.size() < 5 || rest[3] != '#') BadEntry();
        const std::string_view tag = rest.substr(0, 3);
        rest.remove_prefix(4);
        const size_t hash = rest.find('#');
        int64_t length;
        if (hash == std::string_view::npos || !ToInt(rest.substr(0, hash), length) || length < 0 ||
            uint64_t(length) > rest.size() - hash - 1)
            BadEntry();
        const std::string_view value = rest.substr(hash + 1, size_t(length));
        rest.remove_prefix(hash + 1 + size_t(length));
        Apply(copy, tag, value);
    }
    if (!LayoutOutOfBounds(copy).empty()) BadEntry();
    s = std::move(copy);
}

std::vector<uint8_t> FormatKeyAssignments(const TStoredKeyTable& keys) {
    TDefWriter w;
    w.SString(Magic);
    TDefinitionStream::WriteKeys(w, keys);
    return std::move(w.Bytes());
}

TStoredKeyTable ParseKeyAssignments(const std::vector<uint8_t>& data) {
    try {
        TDefReader r(data.data(), data.size());
        if (r.SString() != Magic) BadEntry();
        TStoredKeyTable keys = TDefinitionStream::ReadKeys(r);
        if (r.Remaining()) BadEntry();
        return keys;
    } catch (const EStreamError&) {
        BadEntry();
    }
}

std::string HighlightingValueName(const TCM_Settings& s) {
    return "Highlighting - " + s.Name;
}

std::string KeyAssignmentsValueName(const TCM_Settings& s) {
    return "Key Assignments - " + s.Name;
}

static void CheckEnabled(const TCodeMemoParser& def, const std::string& componentName) {
    if (!def.UseRegistry || def.RegistryKey.empty())
        throw EDefinitionError(LoadStr(SRegDisabled) + componentName);
}

void SaveToRegistry(const TCodeMemoParser& def, IRegistry& registry,
                    const std::string& componentName) {
    CheckEnabled(def, componentName);
    const TCM_Settings& s = def.Settings();
    registry.OpenKey(def.RegistryKey, true);
    registry.WriteString(def.RegistryKey, HighlightingValueName(s), FormatHighlighting(s));
    registry.WriteBinary(def.RegistryKey, KeyAssignmentsValueName(s),
                         FormatKeyAssignments(TDefinitionStream::EditingOf(s).Keys));
}

bool LoadFromRegistry(TCodeMemoParser& def, IRegistry& registry, const std::string& componentName) {
    CheckEnabled(def, componentName);
    TCM_Settings& s = def.Settings();
    const std::string text = HighlightingValueName(s), keys = KeyAssignmentsValueName(s);
    bool any = false;
    // Each value on its own: a damaged highlighting text does not cost the user the keys.
    std::exception_ptr failure;
    try {
        if (registry.ValueType(def.RegistryKey, text) != rtNone) {
            ParseHighlighting(registry.ReadString(def.RegistryKey, text), s);
            for (auto& st : s.Styles)
                st.Font = {}; // fonts are made again from the new styles
            any = true;
        }
    } catch (const std::exception&) {
        failure = std::current_exception();
    }
    try {
        if (registry.ValueType(def.RegistryKey, keys) != rtNone) {
            TStoredKeyTable table = ParseKeyAssignments(registry.ReadBinary(def.RegistryKey, keys));
            TStoredEditing e = TDefinitionStream::EditingOf(s);
            e.Keys = std::move(table);
            TDefinitionStream::SetEditing(s, std::move(e));
            any = true;
        }
    } catch (const std::exception&) {
        if (!failure) failure = std::current_exception();
    }
    if (failure) std::rethrow_exception(failure);
    return any;
}

} // namespace quillet
