// A style record: how tokens of one style are drawn, with the font made from it cached.
#pragma once

#include "platform/Fonts.h"
#include "platform/Types.h"

#include <cstdint>

namespace quillet {

struct TCM_Style {
    uint8_t FontStyle = 0; // bit 0 bold, 1 italic, 2 underline, 3 strike-out
    TColor Foreground = 0x000000;
    TColor Background = 0xFFFFFF;
    bool ForegroundDefault = false; // paint with the default style's colour
    bool BackgroundDefault = false;
    bool Hotspot = false;
    bool Defined = false;
    // Made on first use from the settings' font; dropped when the style or font changes.
    TFontHandle Font{};

    void Reset() { *this = TCM_Style(); }
};

} // namespace quillet
