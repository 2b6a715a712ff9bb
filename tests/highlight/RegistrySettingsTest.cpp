#include "highlight/RegistrySettings.h"
#include "platform/Platform.h"
#include "platform/RegistryFile.h"
#include "platform/headless/MemoryRegistry.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <unistd.h>

using namespace quillet;

namespace {

void Configure(TCM_Settings& s) {
    s.Name = "Cascading Style Sheets";
    s.WrapOverride = "";
    s.GutterColor = 0x8000000F;
    s.TabColumns[0] = 4;
    s.TabColumns[1] = 10;
    s.Styles[1] = {2, 0x000000, 0xFFFFFF, true, true, false, true, {}};
    s.Styles[3] = {1 | 4 | 8, 0x000080, 0xFFFFFF, false, true, true, true, {}};
    s.GutterFontName = "MS Sans Serif";
    s.GutterFontStyle = 1 | 2;
    s.FontCharset = 204;
    s.SelTextBackDefault = true;
}

std::string Error(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const EQuilletError& e) {
        return e.what();
    }
    return "(no error)";
}

std::string Item(const std::string& text, const std::string& tag) {
    const size_t at = text.find(tag + "#");
    if (at == std::string::npos) return "(missing)";
    const size_t hash = text.find('#', at + 4);
    const size_t len = std::stoul(text.substr(at + 4, hash - at - 4));
    return text.substr(hash + 1, len);
}

} // namespace

TEST(RegistrySettings, HighlightingTextHasTheItemLayout) {
    TCM_Settings s;
    Configure(s);
    const std::string text = FormatHighlighting(s);
    EXPECT_EQ(text.substr(0, 8), "Zendra6:");
    EXPECT_EQ(text.substr(8, 14), "OPT#8#67099632");
    EXPECT_EQ(text.substr(text.size() - 5), "#END#");
    EXPECT_EQ(text.substr(text.size() - 8), "#IB#END#"); // the last item's value, then the end
    EXPECT_NE(text.find("WRO#0#FON#"), std::string::npos);
    EXPECT_EQ(Item(text, "GCL"), "-2147483633"); // system colours come out negative
    EXPECT_EQ(Item(text, "TBC"), "5 11");
    EXPECT_EQ(Item(text, "BDF"), "1");
    EXPECT_EQ(Item(text, "FOC"), "204");
    EXPECT_EQ(Item(text, "LNN"), "MS Sans Serif");
    const std::string eff = Item(text, "EFF");
    EXPECT_EQ(eff.substr(0, 2), "3,");
    EXPECT_EQ(std::count(eff.begin(), eff.end(), ';'), 3);
    EXPECT_EQ(eff, "3,0,0,16777215,;1,0,16777215,XYI;3,128,16777215,XBU;"); // no strike-out

    TCM_Settings none;
    for (auto& st : none.Styles)
        st.Defined = false;
    EXPECT_EQ(Item(FormatHighlighting(none), "EFF"), "0");
    for (auto& st : none.Styles)
        st.Defined = true;
    EXPECT_EQ(Item(FormatHighlighting(none), "EFF").substr(0, 4), "255,");
}

TEST(RegistrySettings, HighlightingTextReadsBackIntoTheSettings) {
    TCM_Settings s;
    Configure(s);
    TCM_Settings back;
    back.Styles[3].Hotspot = true; // not stored: kept as it was
    back.Styles[1].FontStyle = 8;  // strike-out neither
    ParseHighlighting(FormatHighlighting(s), back);
    EXPECT_EQ(back.GutterColor, 0x8000000Fu);
    EXPECT_EQ(back.WrapOverride, "");
    EXPECT_EQ(back.TabColumns[0], 4);
    EXPECT_EQ(back.TabColumns[1], 10);
    EXPECT_EQ(back.TabColumns[2], -1);
    EXPECT_EQ(back.Styles[1].FontStyle, 2 | 8);
    EXPECT_TRUE(back.Styles[1].ForegroundDefault && back.Styles[1].BackgroundDefault);
    EXPECT_EQ(back.Styles[3].FontStyle, 1 | 4);
    EXPECT_TRUE(back.Styles[3].Hotspot);
    EXPECT_EQ(back.GutterFontStyle, 3);
    EXPECT_EQ(back.FontCharset, 204);
    EXPECT_TRUE(back.SelTextBackDefault);
    EXPECT_EQ(FormatHighlighting(back), FormatHighlighting(s));

    // All 256 styles, written as 255, come back.
    TCM_Settings all;
    for (auto& st : all.Styles)
        st.Defined = true;
    all.Styles[255].Foreground = 0x123456;
    TCM_Settings allBack;
    ParseHighlighting(FormatHighlighting(all), allBack);
    EXPECT_TRUE(allBack.Styles[200].Defined);
    EXPECT_EQ(allBack.Styles[255].Foreground, 0x123456u);

    // Items in another order and unknown tags are taken.
    TCM_Settings loose;
    ParseHighlighting("Zendra6:XYZ#3#abcIDS#1#7#END#", loose);
    EXPECT_EQ(loose.IndentStep, 7);
    // A text written with strike-out letters still reads.
    ParseHighlighting("Zendra6:EFF#17#1,2,0,16777215,S;#END#", loose);
    EXPECT_EQ(loose.Styles[2].FontStyle, 8);
}

TEST(RegistrySettings, MalformedTextIsRefusedAndChangesNothing) {
    const std::string entry = "Invalid data in registry entry";
    const std::string style = "Invalid data in style string";
    const std::pair<std::string, std::string> cases[] = {
        {"", entry},
        {"Zendra5:#END#", entry},
        {"Zendra6:", entry},
        {"Zendra6:OPT#8#67099632", entry},
        {"Zendra6:OPT#99#1#END#", entry},
        {"Zendra6:OPT#-1#1#END#", entry},
        {"Zendra6:OPT#x#1#END#", entry},
        {"Zendra6:OP#1#1#END#", entry},
        {"Zendra6:OPT#2#1x#END#", entry},
        {"Zendra6:FOC#3#256#END#", entry},
        {"Zendra6:GDF#1#2#END#", entry},
        {"Zendra6:TBC#3#0 4#END#", entry},
        {"Zendra6:TBC#2#4 #END#", entry},
        {"Zendra6:LNE#1#Q#END#", entry},
        {"Zendra6:GWD#11#99999999999#END#", entry},
        {"Zendra6:GWD#10#2147483647#END#", entry}, // in int, but past any sane layout
        {"Zendra6:TBD#10#2147483647#END#", entry},
        {"Zendra6:WRC#11#-2147483648#END#", entry},
        {"Zendra6:TBC#7#9 70000#END#", entry},
        {"Zendra6:OPT#1#1#END#junk", entry},
        {"Zendra6:EFF#1#x#END#", style},
        {"Zendra6:EFF#2#0,#END#", style},
        {"Zendra6:EFF#1#2#END#", style},
        {"Zendra6:EFF#9#1,0,0,0,;#END#", "(no error)"},
        {"Zendra6:EFF#9#2,0,0,0,;#END#", style},
        {"Zendra6:EFF#8#1,0,0,0;#END#", style},
        {"Zendra6:EFF#10#1,0,0,0,Q;#END#", style},
        {"Zendra6:EFF#9#1,0,0,0,X#END#", style},
        {"Zendra6:EFF#11#1,256,0,0,;#END#", style},
        {"Zendra6:EFF#18#2,1,0,0,;1,0,0,;#END#", style},
    };
    for (const auto& [text, message] : cases) {
        TCM_Settings s;
        s.IndentStep = 9;
        const std::string bad = "Zendra6:IDS#1#3" + text.substr(text.size() >= 8 ? 8 : text.size());
        const std::string tried =
            text.compare(0, 8, "Zendra6:") == 0 && text.size() > 8 ? bad : text;
        EXPECT_EQ(Error([&] { ParseHighlighting(tried, s); }), message) << tried;
        if (message != "(no error)") {
            EXPECT_EQ(s.IndentStep, 9) << tried; // the good item before the bad one is not kept
        }
    }
}

TEST(RegistrySettings, KeyAssignmentsValueRoundTrips) {
    TStoredKeyTable keys;
    keys.Commands = {{0, "Left"}, {47, "Undo"}};
    keys.Bindings = {{0x25, 0, 0}, {0x4000 | 'K', 'I', 47}};
    const auto bytes = FormatKeyAssignments(keys);
    EXPECT_EQ(bytes[0], 8);
    EXPECT_EQ(std::string(bytes.begin() + 1, bytes.begin() + 9), "Zendra6:");
    EXPECT_EQ(ParseKeyAssignments(bytes), keys);
    auto cut = bytes;
    cut.pop_back();
    EXPECT_EQ(Error([&] { ParseKeyAssignments(cut); }), "Invalid data in registry entry");
    auto longer = bytes;
    longer.push_back(0);
    EXPECT_EQ(Error([&] { ParseKeyAssignments(longer); }), "Invalid data in registry entry");
    auto magic = bytes;
    magic[1] = 'X';
    EXPECT_EQ(Error([&] { ParseKeyAssignments(magic); }), "Invalid data in registry entry");
}

TEST(RegistrySettings, SaveAndLoadThroughTheRegistry) {
    TCodeMemoParser def;
    Configure(def.Settings());
    TMemoryRegistry registry;
    EXPECT_EQ(Error([&] { SaveToRegistry(def, registry, "CodeMemoParser"); }),
              "Registry interface disabled in: CodeMemoParser");
    def.UseRegistry = true;
    EXPECT_EQ(Error([&] { SaveToRegistry(def, registry, "CodeMemoParser"); }),
              "Registry interface disabled in: CodeMemoParser");
    def.RegistryKey = "Software\\Orvane\\Quillet\\Highlighting";
    EXPECT_FALSE(LoadFromRegistry(def, registry, "CodeMemoParser"));

    TStoredEditing editing;
    editing.Keys.Commands = {{3, "Up"}};
    editing.Keys.Bindings = {{0x26, 0, 3}};
    TStoredEditing applied;
    TDefinitionStream::CollectEditing = [&](const TCM_Settings&) { return editing; };
    TDefinitionStream::ApplyEditing = [&](TCM_Settings&, TStoredEditing&& e) { applied = e; };
    SaveToRegistry(def, registry, "CodeMemoParser");
    EXPECT_EQ(registry.ValueType(def.RegistryKey, "Highlighting - Cascading Style Sheets"),
              rtString);
    EXPECT_EQ(registry.ValueType(def.RegistryKey, "Key Assignments - Cascading Style Sheets"),
              rtBinary);

    TCodeMemoParser other;
    other.Settings().Name = "Cascading Style Sheets";
    other.UseRegistry = true;
    other.RegistryKey = def.RegistryKey;
    EXPECT_TRUE(LoadFromRegistry(other, registry, "CodeMemoParser"));
    TDefinitionStream::CollectEditing = nullptr;
    TDefinitionStream::ApplyEditing = nullptr;
    EXPECT_EQ(FormatHighlighting(other.Settings()), FormatHighlighting(def.Settings()));
    EXPECT_EQ(applied.Keys, editing.Keys);

    // A damaged value is reported and its part of the settings stays as it was; the other
    // value is still applied.
    registry.WriteString(def.RegistryKey, "Highlighting - Cascading Style Sheets", "Zendra6:EFF");
    other.Settings().IndentStep = 5;
    applied = {};
    TDefinitionStream::ApplyEditing = [&](TCM_Settings&, TStoredEditing&& e) { applied = e; };
    EXPECT_EQ(Error([&] { LoadFromRegistry(other, registry, "CodeMemoParser"); }),
              "Invalid data in registry entry");
    TDefinitionStream::ApplyEditing = nullptr;
    EXPECT_EQ(other.Settings().IndentStep, 5);
    EXPECT_EQ(applied.Keys, editing.Keys);
    registry.WriteDword(def.RegistryKey, "Highlighting - Cascading Style Sheets", 1);
    EXPECT_EQ(Error([&] { LoadFromRegistry(other, registry, "CodeMemoParser"); }),
              "Registry value 'Highlighting - Cascading Style Sheets' has the wrong type");
}

TEST(RegistrySettings, SavedSettingsSurviveInTheFileRegistry) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("quillet-regset-" + std::to_string(::getpid())) / "HKEY_CURRENT_USER.reg";
    TCodeMemoParser def;
    Configure(def.Settings());
    def.UseRegistry = true;
    def.RegistryKey = "Software\\Orvane\\Quillet";
    {
        TFileRegistry file(path.string());
        SaveToRegistry(def, file, "CodeMemoParser");
    }
    TFileRegistry again(path.string());
    TCodeMemoParser back;
    back.Settings().Name = def.Settings().Name;
    back.UseRegistry = true;
    back.RegistryKey = def.RegistryKey;
    EXPECT_TRUE(LoadFromRegistry(back, again, "CodeMemoParser"));
    EXPECT_EQ(FormatHighlighting(back.Settings()), FormatHighlighting(def.Settings()));
    std::filesystem::remove_all(path.parent_path());
}

// The options run: the dialog sees a working copy; Cancel and errors give the definition its
// own settings and users back, OK copies and saves, and an assigned event replaces the dialog.
TEST(RegistrySettings, OptionsRunWorksOnACopyAndSavesAfterOK) {
    struct TUser : IDefinitionUser {
        int Changes = 0;
        void DefinitionChanged() override { ++Changes; }
    } user;
    TCodeMemoParser def;
    def.Name = "CodeMemoParser";
    def.AttachUser(&user);
    TCM_Settings* own = &def.Settings();
    auto saved = std::move(Platform().Registry);
    Platform().Registry = std::make_unique<TMemoryRegistry>();
    const std::string key = "Software\\Test\\Editor";
    def.UseRegistry = true;
    def.RegistryKey = key;
    int runs = 0;
    OptionsDialogHook() = [&](TCodeMemoParser& d, uint8_t mask) {
        ++runs;
        EXPECT_NE(&d.Settings(), own);
        EXPECT_EQ(d.UserCount(), 0u);
        d.Settings().IndentStep = 9;
        if (mask == 2) throw EQuilletError("boom");
        return mask == 1;
    };
    EXPECT_FALSE(def.RunOptionsDialog(0));
    EXPECT_FALSE(def.RunOptionsDialog(4)); // Cancel
    EXPECT_THROW(def.RunOptionsDialog(2), EQuilletError);
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(&def.Settings(), own);
    EXPECT_EQ(def.Settings().IndentStep, 1);
    EXPECT_EQ(def.UserCount(), 1u);
    EXPECT_TRUE(Platform().Registry->ValueNames(key).empty());
    EXPECT_EQ(user.Changes, 0);

    EXPECT_TRUE(def.RunOptionsDialog(1));
    EXPECT_EQ(&def.Settings(), own);
    EXPECT_EQ(def.Settings().IndentStep, 9);
    EXPECT_EQ(user.Changes, 1);
    EXPECT_EQ(Platform().Registry->ValueNames(key).size(), 2u);

    int events = 0;
    def.OnModifyProperties = [&](TCustomCodeMemoParser&) { ++events; };
    def.ShowProperties();
    EXPECT_EQ(events, 1);
    EXPECT_EQ(runs, 3);
    OptionsDialogHook() = nullptr;
    Platform().Registry = std::move(saved);
}
