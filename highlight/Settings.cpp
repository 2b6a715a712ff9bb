#include "highlight/Settings.h"

#include "highlight/DefinitionError.h"
#include "resources/Strings.h"

namespace quillet {

namespace {
constexpr uint32_t DefaultOptions = 0x03FFDBF0;
constexpr TColor SystemButtonFace = 0x8000000F;
// The usual system highlight pair; read when the settings are reset.
constexpr TColor SystemHighlightText = 0xFFFFFF;
constexpr TColor SystemHighlight = 0x006A240A;
} // namespace

void TCM_Settings::Reset() {
    ExampleText.clear();
    Name = LoadStr(SCustomLanguage);
    WrapOverride = ">|:";
    Options = DefaultOptions;
    MarginWidth = 2;
    RightMargin = 80;
    WordWrapColumn = 0;
    GutterWidth = 34;
    IndentStep = 1;
    MarginColor = 0xFFFFFF;
    GutterColor = SystemButtonFace;
    SelTextColor = SystemHighlightText;
    SelTextBack = SystemHighlight;
    MarginColorDefault = SelTextColorDefault = SelTextBackDefault = GutterColorDefault = false;
    TabDefault = 4;
    TabColumns.fill(-1);
    FontName = "Courier New";
    FontSize = 10;
    FontCharset = DEFAULT_CHARSET;
    GutterFontName = "Courier New";
    GutterFontSize = 8;
    GutterFontCharset = DEFAULT_CHARSET;
    GutterFontColor = 0;
    GutterFontStyle = 0;
    for (auto& s : Styles)
        s.Reset();
    Styles[0].Defined = true;
    StyleMap.fill(0);
    EditableStyles.clear();
    KeyTables.clear();
    KeyStore.ResetToDefault();
    AutoReplace.Reset();
    Templates.Clear();
    Templates.SetTriggerShortCut(ShortCut('J', scCtrl));
}

void TCM_Settings::AddKeyTable(const TKeyTableDef& def) {
    TKeyTableDef d = def;
    if (d.States.Empty()) d.States.Include(0);
    for (auto& t : KeyTables) {
        if (t.States == d.States) {
            t = std::move(d);
            return;
        }
        if (t.States.Meets(d.States)) throw EDefinitionError(LoadStr(SAmbiguousKeyTable));
    }
    if (int(KeyTables.size()) >= MaxKeyTables)
        throw EDefinitionError(FmtLoadStr(STooManyKeyTables, MaxKeyTables));
    KeyTables.push_back(std::move(d));
}

} // namespace quillet
