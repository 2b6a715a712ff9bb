// A drawing surface: fills, text runs with per-character advances, lines, images, clipping.
#pragma once

#include "platform/Fonts.h"
#include "platform/Types.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace quillet {

// A small ARGB32 picture (glyph strips, bitmaps); pixels row by row.
struct TImage {
    int Width = 0;
    int Height = 0;
    std::vector<uint32_t> Pixels; // 0xAARRGGBB
};

enum TPenStyle : uint8_t { psSolid, psDot };

class ICanvas {
public:
    virtual ~ICanvas() = default;
    virtual TSize Size() const = 0;
    virtual void FillRect(const TRect& r, TColor color) = 0;
    virtual void SetFont(const TFontHandle& font) = 0;
    // Draws a UTF-8 run with its top-left corner at (x, y). With advances,
    // advances[i] is the pen step after the i-th code point (so a fixed
    // grid survives bold and italic); without, the font's own widths.
    // A background colour other than clNone fills the run's cell first.
    virtual void TextOut(int x, int y, std::string_view utf8, TColor fore, TColor back,
                         const int* advances = nullptr) = 0;
    virtual TSize TextExtent(std::string_view utf8) = 0;
    virtual void Line(int x1, int y1, int x2, int y2, TColor color, TPenStyle style = psSolid) = 0;
    // Inverts the pixels under a line (drag marks, margin dragging).
    virtual void XorLine(int x1, int y1, int x2, int y2) = 0;
    virtual void DrawImage(int x, int y, const TImage& image, const TRect& source) = 0;
    virtual void SetClip(const TRect& r) = 0;
    virtual void ResetClip() = 0;
    // Moves a rectangle of pixels by (dx, dy) (fast scrolling).
    virtual void Scroll(const TRect& r, int dx, int dy) = 0;
};

} // namespace quillet
