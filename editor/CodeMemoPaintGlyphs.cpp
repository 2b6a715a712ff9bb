#include "editor/CodeMemoPaintGlyphs.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace quillet {

namespace {

#include "resources/glyphs/Glyphs.inc"

uint32_t ArgbOf(char key) {
    switch (key) {
    case '#':
        return 0xFF000080u;
    case 'o':
        return 0xFFFFFFC0u;
    case 'r':
        return 0xFFFF0000u;
    case 'R':
        return 0xFF800000u;
    case 'g':
        return 0xFF00FF00u;
    case 'G':
        return 0xFF008000u;
    case 's':
        return 0xFFC0C0C0u;
    case 'k':
        return 0xFF000000u;
    case 'w':
        return 0xFFFFFFFFu;
    case 'b':
        return 0xFF0000FFu;
    default:
        return 0;
    }
}

// Paints character art into an image at (x0, y0); blanks become `mask`.
template <size_t Rows>
void Blit(TImage& img, int x0, int y0, const char* const (&art)[Rows], uint32_t mask,
          uint32_t ink = 0) {
    for (size_t y = 0; y < Rows; ++y) {
        size_t n = std::strlen(art[y]);
        for (size_t x = 0; x < n; ++x) {
            int px = x0 + int(x), py = y0 + int(y);
            if (px < 0 || py < 0 || px >= img.Width || py >= img.Height) continue;
            uint32_t c = ArgbOf(art[y][x]);
            if (c && ink) c = ink;
            if (c || mask) img.Pixels[size_t(py) * size_t(img.Width) + size_t(px)] = c ? c : mask;
        }
    }
}

template <size_t Rows> TImage FromArt(const char* const (&art)[Rows]) {
    TImage img;
    img.Height = int(Rows);
    for (const char* row : art)
        img.Width = std::max(img.Width, int(std::strlen(row)));
    img.Pixels.assign(size_t(img.Width) * size_t(img.Height), 0);
    Blit(img, 0, 0, art, 0);
    return img;
}

TImage MakeStrip() {
    TImage img;
    img.Width = GutterGlyphWidth * GutterGlyphCount;
    img.Height = GutterGlyphHeight;
    img.Pixels.assign(size_t(img.Width) * size_t(img.Height), GlyphMaskArgb);
    for (int d = 0; d < 10; ++d) {
        // A tag: navy frame, light fill, the digit in navy.
        int x0 = d * GutterGlyphWidth + 1, y0 = 2;
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 11; ++x) {
                bool edge = x == 0 || y == 0 || x == 10 || y == 11;
                img.Pixels[size_t(y0 + y) * size_t(img.Width) + size_t(x0 + x)] =
                    edge ? ArgbOf('#') : ArgbOf('o');
            }
        Blit(img, x0 + 3, y0 + 2, GlyphDigits[d], 0);
    }
    for (int k = 0; k < 6; ++k)
        Blit(img, (10 + k) * GutterGlyphWidth, 0, GlyphStrip[k], GlyphMaskArgb);
    return img;
}

} // namespace

const TImage& TPaintGlyphs::GutterStrip() {
    static const TImage strip = MakeStrip();
    return strip;
}

const TImage& TPaintGlyphs::GutterGlyph(int index) {
    static const std::array<TImage, GutterGlyphCount> glyphs = [] {
        std::array<TImage, GutterGlyphCount> out;
        const TImage& s = GutterStrip();
        for (int i = 0; i < GutterGlyphCount; ++i) {
            TImage& g = out[size_t(i)];
            g.Width = GutterGlyphWidth;
            g.Height = GutterGlyphHeight;
            g.Pixels.resize(size_t(g.Width) * size_t(g.Height));
            for (int y = 0; y < g.Height; ++y)
                for (int x = 0; x < g.Width; ++x)
                    g.Pixels[size_t(y) * size_t(g.Width) + size_t(x)] =
                        s.Pixels[size_t(y) * size_t(s.Width) + size_t(i * GutterGlyphWidth + x)];
            const uint32_t key = g.Pixels[size_t(g.Height - 1) * size_t(g.Width)];
            for (uint32_t& p : g.Pixels)
                if (p == key) p = 0;
        }
        return out;
    }();
    return glyphs[size_t(index & (GutterGlyphCount - 1))];
}

const TImage& TPaintGlyphs::Wrapped() {
    static const TImage img = FromArt(GlyphWrapped);
    return img;
}

const TImage& TPaintGlyphs::Tab() {
    static const TImage img = FromArt(GlyphTab);
    return img;
}

const TImage& TPaintGlyphs::LineEnd() {
    static const TImage img = FromArt(GlyphEol);
    return img;
}

const TImage& TPaintGlyphs::Continuation() {
    static const TImage img = FromArt(GlyphContinuation);
    return img;
}

} // namespace quillet
