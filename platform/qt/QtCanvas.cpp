#include "platform/qt/QtCanvas.h"

#include "platform/Utf8.h"
#include "platform/qt/QtConvert.h"
#include "platform/qt/QtFonts.h"

#include <QGlyphRun>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace quillet {

TQtCanvas::TQtCanvas(int width, int height)
    : FImage(std::max(1, width), std::max(1, height), QImage::Format_ARGB32) {
    FImage.fill(Qt::white);
}

void TQtCanvas::Resize(int width, int height) {
    width = std::max(1, width);
    height = std::max(1, height);
    if (width == FImage.width() && height == FImage.height()) return;
    EndPainting();
    QImage next(width, height, QImage::Format_ARGB32);
    next.fill(Qt::white);
    {
        QPainter p(&next);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(0, 0, FImage);
    }
    FImage = std::move(next);
}

TColor TQtCanvas::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= FImage.width() || y >= FImage.height()) return clNone;
    return FromQColor(QColor::fromRgb(FImage.pixel(x, y)));
}

QRect TQtCanvas::ClipRect() const {
    QRect all(0, 0, FImage.width(), FImage.height());
    return FClip ? FClip->intersected(all) : all;
}

QPainter& TQtCanvas::Painter() {
    if (!FPainter.isActive()) {
        FPainter.begin(&FImage);
        if (FClip) FPainter.setClipRect(*FClip);
        FPainterFont = nullptr;
    }
    return FPainter;
}

void TQtCanvas::EndPainting() const {
    if (FPainter.isActive()) FPainter.end();
}

void TQtCanvas::FillRect(const TRect& r, TColor color) {
    if (r.IsEmpty() || color == clNone) return;
    Painter().fillRect(ToQRect(r), ToQColor(color));
}

void TQtCanvas::SetFont(const TFontHandle& font) {
    FFont = font;
    FQtFont = dynamic_cast<const TQtFont*>(font.get());
}

void TQtCanvas::TextOut(int x, int y, std::string_view utf8, TColor fore, TColor back,
                        const int* advances) {
    if (utf8.empty()) return;
    QPainter& p = Painter();
    QFont made;
    if (!FQtFont) made = FFont ? MakeQFont(FFont->Desc()) : QFont();
    const QFont& font = FQtFont ? FQtFont->Font() : made;
    if (!FQtFont || FPainterFont != FQtFont) {
        p.setFont(font);
        FPainterFont = FQtFont;
    }
    std::optional<QFontMetrics> own;
    if (!FQtFont) own.emplace(font);
    const QFontMetrics& metrics = FQtFont ? FQtFont->Metrics() : *own;
    if (!advances) {
        QString text = ToQStringChars(utf8);
        if (back != clNone)
            p.fillRect(QRect(x, y, metrics.horizontalAdvance(text), metrics.height()),
                       ToQColor(back));
        p.setPen(ToQColor(fore));
        p.drawText(x, y + metrics.ascent(), text);
        return;
    }
    int width = 0, count = 0;
    for (size_t i = 0; i < utf8.size(); ++count) {
        DecodeUtf8(utf8, i);
        width += advances[count];
    }
    if (back != clNone) p.fillRect(QRect(x, y, width, metrics.height()), ToQColor(back));
    p.setPen(ToQColor(fore));
    DrawGridRun(p, x, y + metrics.ascent(), utf8, advances, font);
}

void TQtCanvas::DrawGridRun(QPainter& p, int x, int baseline, std::string_view utf8,
                            const int* advances, const QFont& font) {
    // Each code point sits at its own pen position, so the grid holds whatever the font's own
    // widths are. Decorations are drawn per character (blanks stay bare), so a decorated font
    // keeps the one-by-one path.
    const bool glyphRun = FQtFont && FQtFont->RawFont().isValid() && !font.underline() &&
                          !font.strikeOut() && !font.overline();
    FGlyphs.clear();
    FPositions.clear();
    int penX = x, n = 0;
    for (size_t i = 0; i < utf8.size(); ++n) {
        char32_t cp = DecodeUtf8(utf8, i);
        if (cp != ' ' && cp != '\t') {
            quint32 glyph = glyphRun ? FQtFont->Glyph(cp) : 0;
            if (glyph != 0) {
                FGlyphs.push_back(glyph);
                FPositions.push_back(QPointF(penX, baseline));
            } else {
                p.drawText(penX, baseline, QString::fromUcs4(&cp, 1));
            }
        }
        penX += advances[n];
    }
    if (FGlyphs.empty()) return;
    QGlyphRun run;
    run.setRawFont(FQtFont->RawFont());
    run.setRawData(FGlyphs.data(), FPositions.data(), int(FGlyphs.size()));
    p.drawGlyphRun(QPointF(0, 0), run);
}

TSize TQtCanvas::TextExtent(std::string_view utf8) {
    if (FFont) return {FFont->TextWidth(utf8), FFont->Height()};
    QFontMetrics metrics{QFont()};
    return {metrics.horizontalAdvance(ToQString(utf8)), metrics.height()};
}

namespace {

// Visits the pixels of a line; the end point is not drawn, as with the
// platform's line drawing. Done by hand so thin lines, dotted lines and XOR
// lines land on exactly the same pixels.
template <typename F> void WalkLine(int x1, int y1, int x2, int y2, F&& visit) {
    int dx = std::abs(x2 - x1), dy = -std::abs(y2 - y1);
    int sx = x1 < x2 ? 1 : -1, sy = y1 < y2 ? 1 : -1, err = dx + dy;
    for (int n = 0; x1 != x2 || y1 != y2; ++n) {
        visit(x1, y1, n);
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x1 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y1 += sy;
        }
    }
}

} // namespace

void TQtCanvas::Line(int x1, int y1, int x2, int y2, TColor color, TPenStyle style) {
    QRect clip = ClipRect();
    QRgb rgb = ToQColor(color).rgba();
    WalkLine(x1, y1, x2, y2, [&](int x, int y, int n) {
        if ((style == psDot && (n & 1)) || !clip.contains(x, y)) return;
        reinterpret_cast<QRgb*>(FImage.scanLine(y))[x] = rgb;
    });
}

void TQtCanvas::XorLine(int x1, int y1, int x2, int y2) {
    // Inverted by hand: a raster XOR through QPainter would flip alpha too.
    QRect clip = ClipRect();
    WalkLine(x1, y1, x2, y2, [&](int x, int y, int) {
        if (clip.contains(x, y)) reinterpret_cast<QRgb*>(FImage.scanLine(y))[x] ^= 0x00FFFFFFu;
    });
}

void TQtCanvas::DrawImage(int x, int y, const TImage& image, const TRect& source) {
    if (image.Width <= 0 || image.Height <= 0 ||
        image.Pixels.size() < size_t(image.Width) * size_t(image.Height))
        return;
    QImage view(reinterpret_cast<const uchar*>(image.Pixels.data()), image.Width, image.Height,
                image.Width * 4, QImage::Format_ARGB32);
    Painter().drawImage(QPoint(x, y), view, ToQRect(source));
}

void TQtCanvas::SetClip(const TRect& r) {
    FClip = ToQRect(r);
    if (FPainter.isActive()) FPainter.setClipRect(*FClip);
}

void TQtCanvas::ResetClip() {
    FClip.reset();
    if (FPainter.isActive()) FPainter.setClipping(false);
}

void TQtCanvas::Scroll(const TRect& r, int dx, int dy) {
    QRect area = ToQRect(r).intersected(QRect(0, 0, FImage.width(), FImage.height()));
    if (area.isEmpty() || (dx == 0 && dy == 0)) return;
    // The part of the area whose pixels land inside it, moved line by line in place: an edit
    // shifting the rest of a row scrolls a strip one row high, where a painter costs more
    // than the copy.
    const QRect source = area.intersected(area.translated(-dx, -dy));
    if (source.isEmpty()) return;
    EndPainting();
    const int bytes = FImage.depth() / 8;
    const size_t n = size_t(source.width()) * size_t(bytes);
    const qsizetype line = FImage.bytesPerLine();
    uchar* const bits = FImage.bits(); // a picture shared with a copy is detached once, here
    auto move = [&](int y) {
        std::memmove(bits + (y + dy) * line + (source.left() + dx) * bytes,
                     bits + y * line + source.left() * bytes, n);
    };
    if (dy > 0)
        for (int y = source.bottom(); y >= source.top(); --y)
            move(y);
    else
        for (int y = source.top(); y <= source.bottom(); ++y)
            move(y);
}

} // namespace quillet
