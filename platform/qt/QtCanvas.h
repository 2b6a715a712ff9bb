// The Qt drawing surface: QPainter on a persistent ARGB32 back buffer.
#pragma once

#include "platform/Canvas.h"

#include <QImage>
#include <QPainter>
#include <QRect>

#include <optional>
#include <vector>

namespace quillet {

class TQtFont;

// The buffer keeps its pixels between paints, so the control only redraws
// what is dirty; the window shows it with one blit.
class TQtCanvas : public ICanvas {
public:
    TQtCanvas(int width, int height);

    // A new size keeps the overlapping pixels; the rest starts white.
    void Resize(int width, int height);
    // The pixels, with any drawing in progress finished.
    const QImage& Image() const {
        EndPainting();
        return FImage;
    }
    // The colour of one pixel (red in the low byte); clNone outside the buffer.
    TColor Pixel(int x, int y) const;

    TSize Size() const override { return {FImage.width(), FImage.height()}; }
    void FillRect(const TRect& r, TColor color) override;
    void SetFont(const TFontHandle& font) override;
    void TextOut(int x, int y, std::string_view utf8, TColor fore, TColor back,
                 const int* advances = nullptr) override;
    TSize TextExtent(std::string_view utf8) override;
    void Line(int x1, int y1, int x2, int y2, TColor color, TPenStyle style = psSolid) override;
    void XorLine(int x1, int y1, int x2, int y2) override;
    void DrawImage(int x, int y, const TImage& image, const TRect& source) override;
    void SetClip(const TRect& r) override;
    void ResetClip() override;
    void Scroll(const TRect& r, int dx, int dy) override;

private:
    // One painter serves every call until the pixels are read out, moved or resized: starting
    // a painter per run cost more than drawing the run.
    QPainter& Painter();
    void EndPainting() const;
    QRect ClipRect() const;
    // A run on the per-character grid: the font's glyphs in one glyph run, what it lacks
    // through the font's fallback one character at a time.
    void DrawGridRun(QPainter& p, int x, int baseline, std::string_view utf8, const int* advances,
                     const QFont& font);

    QImage FImage;
    std::optional<QRect> FClip;
    TFontHandle FFont;
    const TQtFont* FQtFont = nullptr;
    // Declared after the image, so it is ended before the image goes.
    mutable QPainter FPainter;
    const TQtFont* FPainterFont = nullptr; // the font the painter has; null: none set yet
    std::vector<quint32> FGlyphs;
    std::vector<QPointF> FPositions;
};

} // namespace quillet
