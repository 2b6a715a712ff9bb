// Fonts on Qt: QFont and QFontMetrics behind the core's font interface.
#pragma once

#include "platform/Fonts.h"

#include <QFont>
#include <QFontMetrics>

#include <array>

namespace quillet {

class TQtFont : public IFont {
public:
    explicit TQtFont(const TFontDesc& desc);

    const TFontDesc& Desc() const override { return FDesc; }
    int Height() const override { return FMetrics.height(); }
    int Ascent() const override { return FMetrics.ascent(); }
    int Descent() const override { return FMetrics.descent(); }
    int AverageCharWidth() const override { return FMetrics.averageCharWidth(); }
    int MaxCharWidth() const override { return FMetrics.maxWidth(); }
    int CharWidth(char32_t codePoint) const override;
    int TextWidth(std::string_view utf8) const override;

    const QFont& Font() const { return FFont; }

private:
    TFontDesc FDesc;
    QFont FFont;
    QFontMetrics FMetrics;
    // Widths of the ASCII characters, asked for on every painted cell.
    std::array<int, 128> FAscii{};
};

class TQtFonts : public IFonts {
public:
    TFontHandle CreateFont(const TFontDesc& desc) override;
};

// The QFont a description names: a negative height is the character height
// in pixels, a positive one a size in points.
QFont MakeQFont(const TFontDesc& desc);

// Maps the Windows font names the program's descriptions use to the metric-
// compatible fonts found on this system (once per process).
void InstallFontSubstitutes();

} // namespace quillet
