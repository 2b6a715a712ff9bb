// Fonts without a screen: fixed, predictable metrics for tests and the command line.
#pragma once

#include "platform/Fonts.h"
#include "platform/Utf8.h"

namespace quillet {

// Every font is 17 pixels high (ascent 13, descent 4). A fixed-pitch font
// gives every character CellWidth pixels; a proportional one gives narrow
// letters ("i", "l", "j", ".", ",", "'", "!", "|", "t", "f") 3 pixels, wide
// ones ("m", "w", "M", "W") 11, the others CellWidth, so a metric test can
// tell the two apart.
class THeadlessFont : public IFont {
public:
    THeadlessFont(TFontDesc desc, bool fixedPitch, int cellWidth, int lineHeight);
    const TFontDesc& Desc() const override { return FDesc; }
    int Height() const override { return FLineHeight; }
    int Ascent() const override { return FLineHeight - FLineHeight / 4; }
    int Descent() const override { return FLineHeight / 4; }
    int AverageCharWidth() const override { return FCellWidth; }
    int MaxCharWidth() const override { return FFixedPitch ? FCellWidth : 11; }
    int CharWidth(char32_t codePoint) const override;
    int TextWidth(std::string_view utf8) const override;
    bool FixedPitch() const { return FFixedPitch; }

private:
    TFontDesc FDesc;
    bool FFixedPitch;
    int FCellWidth;
    int FLineHeight;
};

class THeadlessFonts : public IFonts {
public:
    // Proportional fonts unless fixedPitch; the cell and line height are
    // those of every font made.
    explicit THeadlessFonts(bool fixedPitch = false, int cellWidth = 7, int lineHeight = 17)
        : FFixedPitch(fixedPitch), FCellWidth(cellWidth), FLineHeight(lineHeight) {}
    TFontHandle CreateFont(const TFontDesc& desc) override;
    // A fixed set: one family of each generic kind and names that need quoting.
    std::vector<TFontFamily> Families() override;

private:
    bool FFixedPitch;
    int FCellWidth;
    int FLineHeight;
};

} // namespace quillet
