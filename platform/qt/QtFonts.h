// Fonts on Qt: QFont and QFontMetrics behind the core's font interface.
#pragma once

#include "platform/Fonts.h"

#include <QFont>
#include <QFontMetrics>
#include <QRawFont>

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
    const QFontMetrics& Metrics() const { return FMetrics; }
    // The font's own glyphs, placed one by one without shaping (the canvas's grid runs); made
    // on first use.
    const QRawFont& RawFont() const;
    // The glyph of a code point in RawFont(); 0 when the font has none (another font must
    // draw it).
    quint32 Glyph(char32_t codePoint) const;

private:
    TFontDesc FDesc;
    QFont FFont;
    QFontMetrics FMetrics;
    // Widths of the ASCII characters, asked for on every painted cell.
    std::array<int, 128> FAscii{};
    mutable QRawFont FRaw;
    mutable bool FRawMade = false;
    // Glyphs of the ASCII characters, filled with the raw font.
    mutable std::array<quint32, 128> FAsciiGlyphs{};
};

class TQtFonts : public IFonts {
public:
    TFontHandle CreateFont(const TFontDesc& desc) override;
    // From the font database, with fontconfig's idea of each family's generic kind.
    std::vector<TFontFamily> Families() override;
    std::vector<std::string> FontNames(uint8_t charset) override;
};

// "Nimbus Sans [urw]" is "Nimbus Sans": the font database tags a family with its maker when
// two makers ship one name.
QString FamilyWithoutFoundry(const QString& family);

// The QFont a description names: a negative height is the character height
// in pixels, a positive one a size in points.
QFont MakeQFont(const TFontDesc& desc);

// Maps the Windows font names the program's descriptions use to the metric-
// compatible fonts found on this system (once per process).
void InstallFontSubstitutes();

} // namespace quillet
