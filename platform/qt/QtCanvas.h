// The Qt drawing surface: QPainter on a persistent ARGB32 back buffer.
#pragma once

#include "platform/Canvas.h"

#include <QImage>
#include <QPainter>
#include <QRect>

#include <optional>

namespace quillet {

class TQtFont;

// The buffer keeps its pixels between paints, so the control only redraws
// what is dirty; the window shows it with one blit.
class TQtCanvas : public ICanvas {
public:
    TQtCanvas(int width, int height);

    // A new size keeps the overlapping pixels; the rest starts white.
    void Resize(int width, int height);
    const QImage& Image() const { return FImage; }
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
    void ResetClip() override { FClip.reset(); }
    void Scroll(const TRect& r, int dx, int dy) override;

private:
    // A painter on the buffer with the current clip applied.
    void Begin(QPainter& painter);
    QRect ClipRect() const;

    QImage FImage;
    std::optional<QRect> FClip;
    TFontHandle FFont;
    const TQtFont* FQtFont = nullptr;
};

} // namespace quillet
