// The Qt canvas and fonts: what is drawn lands in the back buffer where it should.
#include "platform/headless/HeadlessWindowHost.h"
#include "platform/qt/QtCanvas.h"
#include "platform/qt/QtFonts.h"

#include <gtest/gtest.h>

#include <random>

using namespace quillet;

namespace {

TFontHandle Mono() {
    InstallFontSubstitutes();
    return TQtFonts().CreateFont({"Courier New", -13, 0, RUSSIAN_CHARSET});
}

// How many pixels of a rectangle are close to a colour.
int CountNear(const TQtCanvas& c, QRect r, TColor color, int tolerance = 60) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            TColor p = c.Pixel(x, y);
            if (std::abs(GetRValue(p) - GetRValue(color)) <= tolerance &&
                std::abs(GetGValue(p) - GetGValue(color)) <= tolerance &&
                std::abs(GetBValue(p) - GetBValue(color)) <= tolerance)
                ++n;
        }
    return n;
}

} // namespace

TEST(QtFonts, WindowsNamesGiveSaneMetrics) {
    auto mono = Mono();
    EXPECT_GE(mono->Height(), 13);
    EXPECT_LE(mono->Height(), 20);
    EXPECT_EQ(mono->Ascent() + mono->Descent(), mono->Height());
    // "Courier New" must come out fixed pitch, or the editor's columns drift.
    EXPECT_EQ(mono->CharWidth('i'), mono->CharWidth('W'));
    EXPECT_EQ(mono->CharWidth(U'ж'), mono->CharWidth('a'));
    EXPECT_EQ(mono->TextWidth("abc"), 3 * mono->CharWidth('a'));
    EXPECT_EQ(mono->TextWidth("жж"), 2 * mono->CharWidth(U'ж'));
    EXPECT_GT(mono->AverageCharWidth(), 0);
    EXPECT_GE(mono->MaxCharWidth(), mono->AverageCharWidth());

    auto sans = TQtFonts().CreateFont({"MS Sans Serif", -11, 0, DEFAULT_CHARSET});
    EXPECT_LT(sans->CharWidth('i'), sans->CharWidth('W')); // proportional
    auto points = TQtFonts().CreateFont({"MS Sans Serif", 8, fsBold, DEFAULT_CHARSET});
    EXPECT_TRUE(static_cast<const TQtFont&>(*points).Font().bold());
    EXPECT_EQ(static_cast<const TQtFont&>(*points).Font().pointSize(), 8);
    EXPECT_EQ(points->Desc().Height, 8);
}

TEST(QtCanvas, TextInAColourLandsInItsCells) {
    TQtCanvas canvas(200, 40);
    canvas.FillRect({0, 0, 200, 40}, clWhite);
    auto font = Mono();
    canvas.SetFont(font);
    int w = font->CharWidth('W');
    int adv[3] = {w, w, w};
    canvas.TextOut(10, 5, "W W", clRed, RGB(255, 255, 0), adv);
    int h = font->Height();
    // The background covers exactly the run's cells.
    EXPECT_EQ(canvas.Pixel(10 + w + 1, 5 + h - 1), RGB(255, 255, 0)); // the blank cell
    EXPECT_EQ(canvas.Pixel(10 + 3 * w + 1, 6), clWhite);
    EXPECT_EQ(canvas.Pixel(9, 6), clWhite);
    // Red ink in the first and third cells, none in the blank middle one.
    EXPECT_GT(CountNear(canvas, QRect(10, 5, w, h), clRed), 3);
    EXPECT_GT(CountNear(canvas, QRect(10 + 2 * w, 5, w, h), clRed), 3);
    EXPECT_EQ(CountNear(canvas, QRect(10 + w, 5, w, h), clRed), 0);

    // Without advances the font's own widths are used and no background is drawn.
    canvas.TextOut(100, 5, "W", clNavy, clNone);
    EXPECT_GT(CountNear(canvas, QRect(100, 5, w, h), clNavy), 3);
    EXPECT_EQ(canvas.TextExtent("WW").Width, 2 * w);
}

TEST(QtCanvas, WideAdvancesSpreadTheRun) {
    TQtCanvas canvas(300, 30);
    canvas.FillRect({0, 0, 300, 30}, clWhite);
    canvas.SetFont(Mono());
    int adv[2] = {50, 50}; // a stretched grid: the second glyph starts 50 px on
    canvas.TextOut(0, 0, "ЖЖ", clBlack, clNone, adv);
    EXPECT_GT(CountNear(canvas, QRect(50, 0, 20, 20), clBlack), 3);
    EXPECT_EQ(CountNear(canvas, QRect(20, 0, 25, 20), clBlack), 0);
}

TEST(QtCanvas, FillsClipLinesAndXor) {
    TQtCanvas canvas(50, 50);
    canvas.FillRect({0, 0, 50, 50}, clWhite);
    canvas.SetClip({10, 10, 20, 20});
    canvas.FillRect({0, 0, 50, 50}, clRed);
    EXPECT_EQ(canvas.Pixel(15, 15), clRed);
    EXPECT_EQ(canvas.Pixel(5, 5), clWhite);
    EXPECT_EQ(canvas.Pixel(20, 20), clWhite); // right and bottom are outside
    canvas.ResetClip();

    canvas.Line(0, 30, 10, 30, clBlack);
    EXPECT_EQ(canvas.Pixel(0, 30), clBlack);
    EXPECT_EQ(canvas.Pixel(9, 30), clBlack);
    EXPECT_EQ(canvas.Pixel(10, 30), clWhite); // the end point is not drawn

    canvas.XorLine(0, 40, 0, 45);
    EXPECT_EQ(canvas.Pixel(0, 42), clBlack);
    canvas.XorLine(0, 40, 0, 45);
    EXPECT_EQ(canvas.Pixel(0, 42), clWhite); // twice restores
    EXPECT_EQ(qAlpha(canvas.Image().pixel(0, 42)), 255);
    EXPECT_EQ(canvas.Pixel(50, 0), clNone);
}

// The window's back buffer moves pixels as the headless canvas does (whose moves are checked
// pixel by pixel): sideways within a row strip, as an edit shifting a row's rest asks, and in
// every other direction, with rectangles reaching past the canvas.
TEST(QtCanvas, ScrollMovesThePixelsAsTheHeadlessCanvasDoes) {
    const int w = 23, h = 11;
    std::mt19937 rng(11);
    for (int round = 0; round < 60; ++round) {
        TQtCanvas qt(w, h);
        THeadlessCanvas plain(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                qt.FillRect({x, y, x + 1, y + 1}, TColor(y * 256 + x));
                plain.FillRect({x, y, x + 1, y + 1}, TColor(y * 256 + x));
            }
        const int l = int(rng() % 30) - 4, t = int(rng() % 16) - 3;
        const TRect r{l, t, l + int(rng() % 30), t + int(rng() % 16)};
        const int dx = int(rng() % 31) - 15, dy = round % 3 ? 0 : int(rng() % 15) - 7;
        qt.Scroll(r, dx, dy);
        plain.Scroll(r, dx, dy);
        qt.FillRect({0, 0, 1, 1}, clRed); // painting goes on after a move
        plain.FillRect({0, 0, 1, 1}, clRed);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(qt.Pixel(x, y), plain.Pixel(x, y))
                    << "round " << round << " at " << x << "," << y;
    }
}

TEST(QtCanvas, ScrollImagesAndResize) {
    TQtCanvas canvas(40, 40);
    canvas.FillRect({0, 0, 40, 40}, clWhite);
    canvas.FillRect({0, 10, 40, 12}, clRed);
    canvas.Scroll({0, 0, 40, 40}, 0, -5);
    EXPECT_EQ(canvas.Pixel(3, 5), clRed);
    EXPECT_EQ(canvas.Pixel(3, 6), clRed);
    EXPECT_NE(canvas.Pixel(3, 10), clRed);
    // Only the rectangle moves.
    canvas.FillRect({0, 0, 40, 40}, clWhite);
    canvas.FillRect({0, 20, 40, 21}, clRed);
    canvas.Scroll({0, 15, 20, 40}, 0, -10);
    EXPECT_EQ(canvas.Pixel(5, 20), clWhite);
    EXPECT_EQ(canvas.Pixel(25, 20), clRed);
    EXPECT_NE(canvas.Pixel(5, 10), clRed); // outside the scrolled rectangle

    TImage image{2, 1, {0xFF00FF00u, 0xFF0000FFu}}; // green, blue
    canvas.DrawImage(30, 30, image, {1, 0, 2, 1});
    EXPECT_EQ(canvas.Pixel(30, 30), RGB(0, 0, 255));
    EXPECT_EQ(canvas.Pixel(31, 30), clWhite);

    canvas.FillRect({0, 0, 1, 1}, clNavy);
    canvas.Resize(60, 10);
    EXPECT_EQ(canvas.Size(), (TSize{60, 10}));
    EXPECT_EQ(canvas.Pixel(0, 0), clNavy);
    EXPECT_EQ(canvas.Pixel(55, 5), clWhite);
}

TEST(QtCanvas, DottedLinesSkipEveryOtherPixelInsideTheClip) {
    TQtCanvas canvas(20, 5);
    canvas.FillRect({0, 0, 20, 5}, clWhite);
    canvas.SetClip({0, 0, 6, 5});
    canvas.Line(0, 2, 10, 2, clBlack, psDot);
    EXPECT_EQ(canvas.Pixel(0, 2), clBlack);
    EXPECT_EQ(canvas.Pixel(1, 2), clWhite);
    EXPECT_EQ(canvas.Pixel(4, 2), clBlack);
    EXPECT_EQ(canvas.Pixel(8, 2), clWhite); // clipped
}

TEST(QtCanvas, GridRunsDrawWhatTheFontLacksAndKeepDecorationsPerCell) {
    TQtCanvas canvas(200, 40);
    canvas.FillRect({0, 0, 200, 40}, clWhite);
    auto font = Mono();
    canvas.SetFont(font);
    const int w = font->CharWidth('W'), h = font->Height();
    // A character outside the font is drawn by its fallback in its own cell, between glyphs of
    // the font itself.
    int adv[3] = {w, 2 * w, w};
    canvas.TextOut(0, 0, "W漢W", clBlack, clNone, adv);
    EXPECT_GT(CountNear(canvas, QRect(0, 0, w, h), clBlack), 3);
    EXPECT_GT(CountNear(canvas, QRect(w, 0, 2 * w, h), clBlack), 3);
    EXPECT_GT(CountNear(canvas, QRect(3 * w, 0, w, h), clBlack), 3);

    // An underlined run underlines its characters, not the blank between them.
    auto underlined = TQtFonts().CreateFont({"Courier New", -13, fsUnderline, RUSSIAN_CHARSET});
    canvas.SetFont(underlined);
    int three[3] = {w, w, w};
    canvas.TextOut(100, 20, "W W", clBlack, clNone, three);
    const int y = 20;
    EXPECT_GT(CountNear(canvas, QRect(100, y, w, h), clBlack), 3);
    EXPECT_EQ(CountNear(canvas, QRect(100 + w + 1, y, w - 2, h), clBlack), 0);
    // Pixels drawn by hand between painted runs land in the same buffer.
    canvas.Line(0, 39, 10, 39, clRed);
    canvas.TextOut(150, 0, "W", clNavy, clNone, three);
    EXPECT_EQ(canvas.Pixel(5, 39), clRed);
    EXPECT_GT(CountNear(canvas, QRect(150, 0, w, h), clNavy), 3);
}
