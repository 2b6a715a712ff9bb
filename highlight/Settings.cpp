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

std::string LayoutOutOfBounds(const TCM_Settings& s) {
    const struct {
        const char* Name;
        int32_t Value, Lo, Hi;
    } numbers[] = {
        {"MarginWidth", s.MarginWidth, 0, MaxLayoutPixels},
        {"RightMargin", s.RightMargin, 0, MaxLayoutColumn},
        {"WordWrapColumn", s.WordWrapColumn, 0, MaxLayoutColumn},
        {"Gutter", s.GutterWidth, 0, MaxLayoutPixels},
        {"IndentStep", s.IndentStep, 0, MaxIndentStep},
        {"TabDefault", s.TabDefault, 1, MaxTabDefault},
        {"FontSize", s.FontSize, -MaxFontSize, MaxFontSize},
        {"GutterFontSize", s.GutterFontSize, -MaxFontSize, MaxFontSize},
    };
    for (const auto& n : numbers)
        if (n.Value < n.Lo || n.Value > n.Hi)
            return std::string(n.Name) + " = " + std::to_string(n.Value);
    // Stored zero-based; an unused entry holds -1.
    for (int32_t column : s.TabColumns)
        if (column < -1 || column >= MaxLayoutColumn)
            return "TabColumns = " + std::to_string(int64_t(column) + 1);
    return {};
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
