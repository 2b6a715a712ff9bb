#include "platform/headless/HeadlessWindowHost.h"

#include "platform/headless/HeadlessFonts.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace quillet {

namespace {

uint32_t ToArgb(TColor c) {
    return 0xFF000000u | (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) |
           uint32_t(GetBValue(c));
}

TColor FromArgb(uint32_t argb) {
    return RGB(int((argb >> 16) & 0xFF), int((argb >> 8) & 0xFF), int(argb & 0xFF));
}

// Visits the pixels of a line with their index; the end point is not
// drawn, as with the platform's line drawing.
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

THeadlessCanvas::THeadlessCanvas(int width, int height) {
    Resize(width, height);
}

void THeadlessCanvas::Resize(int width, int height) {
    FWidth = std::max(0, width);
    FHeight = std::max(0, height);
    FPixels.assign(size_t(FWidth) * size_t(FHeight), 0xFFFFFFFFu);
    FClip = {0, 0, FWidth, FHeight};
}

bool THeadlessCanvas::Inside(int x, int y) const {
    return x >= FClip.Left && x < FClip.Right && y >= FClip.Top && y < FClip.Bottom;
}

void THeadlessCanvas::Plot(int x, int y, uint32_t argb) {
    if (Inside(x, y)) FPixels[size_t(y) * FWidth + x] = argb;
}

void THeadlessCanvas::FillRect(const TRect& r, TColor color) {
    if (color == clNone) return;
    int l = std::max(r.Left, FClip.Left), t = std::max(r.Top, FClip.Top);
    int rt = std::min(r.Right, FClip.Right), b = std::min(r.Bottom, FClip.Bottom);
    if (l >= rt || t >= b) return; // wholly outside the clip: nothing to fill
    uint32_t argb = ToArgb(color);
    for (int y = t; y < b; ++y)
        std::fill(FPixels.begin() + size_t(y) * FWidth + l,
                  FPixels.begin() + size_t(y) * FWidth + rt, argb);
}

void THeadlessCanvas::TextOut(int x, int y, std::string_view utf8, TColor fore, TColor back,
                              const int* advances) {
    TTextRun run{x, y, std::string(utf8), fore, back, {}};
    int height = FFont ? FFont->Height() : 17;
    int pen = x;
    size_t index = 0;
    for (size_t i = 0; i < utf8.size(); ++index) {
        char32_t cp = DecodeUtf8(utf8, i);
        int step = advances ? advances[index] : FFont ? FFont->CharWidth(cp) : 7;
        run.Advances.push_back(step);
        if (back != clNone) FillRect({pen, y, pen + step, y + height}, back);
        // The glyph: a box inside the cell, one pixel in from each side; blanks draw none.
        if (cp != ' ' && cp != '\t' && step > 2)
            FillRect({pen + 1, y + 2, pen + step - 1, y + height - 2}, fore);
        pen += step;
    }
    FRuns.push_back(std::move(run));
}

TSize THeadlessCanvas::TextExtent(std::string_view utf8) {
    if (FFont) return {FFont->TextWidth(utf8), FFont->Height()};
    int n = 0;
    for (size_t i = 0; i < utf8.size(); ++n)
        DecodeUtf8(utf8, i);
    return {n * 7, 17};
}

void THeadlessCanvas::Line(int x1, int y1, int x2, int y2, TColor color, TPenStyle style) {
    uint32_t argb = ToArgb(color);
    WalkLine(x1, y1, x2, y2, [&](int x, int y, int n) {
        if (style == psSolid || n % 2 == 0) Plot(x, y, argb);
    });
}

void THeadlessCanvas::XorLine(int x1, int y1, int x2, int y2) {
    WalkLine(x1, y1, x2, y2, [&](int x, int y, int) {
        if (Inside(x, y)) FPixels[size_t(y) * FWidth + x] ^= 0x00FFFFFFu;
    });
}

void THeadlessCanvas::DrawImage(int x, int y, const TImage& image, const TRect& source) {
    for (int sy = std::max(0, source.Top); sy < std::min(source.Bottom, image.Height); ++sy)
        for (int sx = std::max(0, source.Left); sx < std::min(source.Right, image.Width); ++sx) {
            uint32_t p = image.Pixels[size_t(sy) * image.Width + sx];
            if (p >> 24) // fully transparent pixels leave the canvas alone
                Plot(x + sx - source.Left, y + sy - source.Top, p | 0xFF000000u);
        }
}

void THeadlessCanvas::SetClip(const TRect& r) {
    FClip = {std::max(0, r.Left), std::max(0, r.Top), std::min(FWidth, r.Right),
             std::min(FHeight, r.Bottom)};
}

void THeadlessCanvas::ResetClip() {
    FClip = {0, 0, FWidth, FHeight};
}

void THeadlessCanvas::Scroll(const TRect& r, int dx, int dy) {
    TRect area{std::max(0, r.Left), std::max(0, r.Top), std::min(FWidth, r.Right),
               std::min(FHeight, r.Bottom)};
    if (area.IsEmpty() || (dx == 0 && dy == 0)) return;
    // The part of the area whose pixels land inside it, walked in the order that reads every
    // source row before it is overwritten.
    const int left = std::max(area.Left, area.Left - dx),
              right = std::min(area.Right, area.Right - dx);
    const int top = std::max(area.Top, area.Top - dy),
              bottom = std::min(area.Bottom, area.Bottom - dy);
    if (left >= right || top >= bottom) return;
    const size_t n = size_t(right - left) * sizeof(uint32_t);
    auto move = [&](int y) {
        std::memmove(&FPixels[size_t(y + dy) * FWidth + size_t(left + dx)],
                     &FPixels[size_t(y) * FWidth + size_t(left)], n);
    };
    if (dy > 0)
        for (int y = bottom - 1; y >= top; --y)
            move(y);
    else
        for (int y = top; y < bottom; ++y)
            move(y);
}

TColor THeadlessCanvas::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return clNone;
    return FromArgb(FPixels[size_t(y) * FWidth + x]);
}

THeadlessWindowHost::THeadlessWindowHost(int width, int height)
    : FSize{width, height}, FCanvas(width, height) {}

void THeadlessWindowHost::SetClientSize(int width, int height) {
    FSize = {width, height};
    FCanvas.Resize(width, height);
}

void THeadlessWindowHost::CreateCaret(int width, int height) {
    FCaretExists = true;
    FCaretShown = false;
    FCaretSize = {width, height};
}

bool THeadlessWindowHost::KeyDown(int virtualKey) const {
    return virtualKey >= 0 && virtualKey < 256 && FKeys[size_t(virtualKey)];
}

void THeadlessWindowHost::SetKeyDown(int virtualKey, bool down) {
    if (virtualKey >= 0 && virtualKey < 256) FKeys[size_t(virtualKey)] = down;
}

void THeadlessWindowHost::HoldKey(int virtualKey, int pumps) {
    SetKeyDown(virtualKey, pumps > 0);
    FHeldKey = pumps > 0 ? virtualKey : -1;
    FHeldPumps = pumps;
}

void THeadlessWindowHost::PumpMessages() {
    ++FPumps;
    FTicks += 10;
    if (FHeldKey >= 0 && --FHeldPumps <= 0) {
        SetKeyDown(FHeldKey, false);
        FHeldKey = -1;
    }
    if (OnPump) OnPump();
}

} // namespace quillet
