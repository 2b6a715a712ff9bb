// The painter's pictures: the gutter glyph strip, the wrapped-line arrow and the marks of
// visible blanks, tabs and line ends, made once from the character art in resources/glyphs.
#pragma once

#include "platform/Canvas.h"

namespace quillet {

constexpr int GutterGlyphWidth = 15;
constexpr int GutterGlyphHeight = 16;
constexpr int GutterGlyphCount = 16;
// Index in the strip of the wrapped-line mark (line-mark bit 0x1000).
constexpr int WrappedGlyphIndex = 12;
// The strip's mask colour, seen in each glyph's bottom-left pixel.
constexpr uint32_t GlyphMaskArgb = 0xFFFF00FFu;

struct TPaintGlyphs {
    // 16 glyphs side by side; 0-9 are the numbered bookmarks. Masked pixels are opaque in
    // the mask colour, as a bitmap resource would be.
    static const TImage& GutterStrip();
    // Glyph `index` of the strip with its bottom-left colour made transparent.
    static const TImage& GutterGlyph(int index);
    // These have transparent backgrounds.
    static const TImage& Wrapped();
    static const TImage& Tab();
    static const TImage& LineEnd();
    static const TImage& Continuation();
};

} // namespace quillet
