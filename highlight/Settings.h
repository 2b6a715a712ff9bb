// The language's editor properties shared with the controls that use the definition.
#pragma once

#include "highlight/AutoReplace.h"
#include "highlight/CharGroup.h"
#include "highlight/KeyboardActionController.h"
#include "highlight/Style.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quillet {

// Upper bounds of the layout numbers, kept wherever a value comes in (property, script, stored
// definition, registry): beyond them a value only costs time and memory, or overflows int.
constexpr int32_t MaxTabDefault = 256;     // columns from one default tab stop to the next
constexpr int32_t MaxLayoutColumn = 65535; // a tab stop, the right margin, the wrap column
constexpr int32_t MaxLayoutPixels = 1024;  // the gutter and the margin
constexpr int32_t MaxFontSize = 1000;      // either font; points, or pixels when negative
constexpr int32_t MaxIndentStep = 20;

class TCM_Settings;
// The first layout number of the settings outside its bounds, as "name = value"; empty when
// all are within them.
std::string LayoutOutOfBounds(const TCM_Settings& s);

struct TEditableStyle {
    std::string Name; // at most 25 characters
    uint8_t Style = 0;
};

// One secondary keyword table definition.
struct TKeyTableDef {
    TStateSet States;
    int EndGroup = -1; // -1: any character may follow
    bool CaseSensitive = true;
    std::vector<std::pair<std::string, uint8_t>> Words;
};

class TCM_Settings {
public:
    static constexpr int MaxKeyTables = 21;
    static constexpr int MaxEditableStyles = 50;

    TCM_Settings() { Reset(); }
    void Reset();

    // A definition whose states equal an existing one replaces it; a partial overlap
    // raises "Ambigious key table state definition".
    void AddKeyTable(const TKeyTableDef& def);

    std::string ExampleText;
    std::string Name;
    std::string WrapOverride;
    uint32_t Options = 0;
    int32_t MarginWidth = 0;
    int32_t RightMargin = 0;
    int32_t WordWrapColumn = 0;
    int32_t GutterWidth = 0;
    int32_t IndentStep = 1;
    TColor MarginColor = 0;
    TColor GutterColor = 0;
    TColor SelTextColor = 0;
    TColor SelTextBack = 0;
    int32_t TabDefault = 0;
    std::array<int32_t, 32> TabColumns{};
    std::string FontName;
    int32_t FontSize = 0;
    uint8_t FontCharset = 0;
    bool MarginColorDefault = false;
    bool SelTextColorDefault = false;
    bool SelTextBackDefault = false;
    bool GutterColorDefault = false;
    std::string GutterFontName;
    int32_t GutterFontSize = 0;
    uint8_t GutterFontCharset = 0;
    TColor GutterFontColor = 0;
    uint8_t GutterFontStyle = 0;
    std::array<TCM_Style, 256> Styles;
    std::array<uint8_t, 256> StyleMap{};
    std::vector<TEditableStyle> EditableStyles;
    std::vector<TKeyTableDef> KeyTables;
    // The key table (a copy of the default after a reset), auto-replace and templates.
    TKeyboardActionContoller KeyStore;
    TAutoReplace AutoReplace;
    TCodeTemplates Templates;
};

} // namespace quillet
