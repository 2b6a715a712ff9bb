#include "platform/VirtualKeys.h"
#include "platform/headless/HeadlessFonts.h"
#include "platform/headless/HeadlessWindowHost.h"

#include <gtest/gtest.h>

#include <random>

using namespace quillet;

TEST(HeadlessCanvas, TextCellsFillsAndClipping) {
    THeadlessCanvas c(100, 40);
    THeadlessFonts fonts(true, 7, 17);
    c.SetFont(fonts.CreateFont({}));
    c.FillRect({0, 0, 100, 40}, clWhite);
    c.TextOut(10, 5, "a b", clRed, clNavy);
    // Cell 0 ('a'): glyph box in red, its border in the background colour.
    EXPECT_EQ(c.Pixel(13, 12), clRed);
    EXPECT_EQ(c.Pixel(10, 12), clNavy);
    // Cell 1 is a blank: background only.
    EXPECT_EQ(c.Pixel(20, 12), clNavy);
    EXPECT_EQ(c.Pixel(27, 12), clRed);
    EXPECT_EQ(c.Pixel(31, 12), clWhite); // past the run
    ASSERT_EQ(c.TextRuns().size(), 1u);
    EXPECT_EQ(c.TextRuns()[0].Advances, (std::vector<int>{7, 7, 7}));

    // Explicit advances keep a column grid whatever the glyph widths.
    const int adv[] = {9, 9};
    c.TextOut(0, 20, "\xD0\xAFi", clBlack, clNone, adv);
    EXPECT_EQ(c.TextRuns()[1].Advances, (std::vector<int>{9, 9}));
    EXPECT_EQ(c.TextExtent("\xD0\xAFi").Width, 14);

    c.SetClip({0, 0, 50, 40});
    c.FillRect({0, 0, 100, 40}, clSilver);
    EXPECT_EQ(c.Pixel(49, 0), clSilver);
    EXPECT_EQ(c.Pixel(50, 0), clWhite);
    c.ResetClip();
    EXPECT_EQ(c.Pixel(-1, 0), clNone);
}

TEST(HeadlessCanvas, LinesXorImagesAndScrolling) {
    THeadlessCanvas c(20, 20);
    c.Line(0, 5, 10, 5, clRed);
    EXPECT_EQ(c.Pixel(0, 5), clRed);
    EXPECT_EQ(c.Pixel(9, 5), clRed);
    EXPECT_EQ(c.Pixel(10, 5), clWhite); // end point not drawn
    c.Line(0, 7, 10, 7, clRed, psDot);
    EXPECT_EQ(c.Pixel(0, 7), clRed);
    EXPECT_EQ(c.Pixel(1, 7), clWhite);
    // XOR twice gives the pixels back.
    c.XorLine(3, 0, 3, 20);
    EXPECT_EQ(c.Pixel(3, 10), clBlack);
    c.XorLine(3, 0, 3, 20);
    EXPECT_EQ(c.Pixel(3, 10), clWhite);

    TImage img{2, 1, {0xFF00FF00u, 0x00000000u}}; // green, then transparent
    c.DrawImage(15, 15, img, {0, 0, 2, 1});
    EXPECT_EQ(c.Pixel(15, 15), RGB(0, 255, 0));
    EXPECT_EQ(c.Pixel(16, 15), clWhite);

    c.Scroll({0, 0, 20, 20}, 0, -10); // up by ten rows: row 15 moves to row 5
    EXPECT_EQ(c.Pixel(15, 5), RGB(0, 255, 0));
}

// Moving a rectangle of pixels, against copying each pixel from a snapshot: every direction,
// rectangles reaching past the canvas, and moves of more than the rectangle.
TEST(HeadlessCanvas, ScrollMovesExactlyThePixelsThatLandInTheRectangle) {
    const int w = 23, h = 11;
    auto paint = [&](THeadlessCanvas& c) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                c.FillRect({x, y, x + 1, y + 1}, TColor(y * 256 + x));
    };
    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        THeadlessCanvas c(w, h), snapshot(w, h);
        paint(c);
        paint(snapshot);
        const int l = int(rng() % 30) - 4, t = int(rng() % 16) - 3;
        const TRect r{l, t, l + int(rng() % 30), t + int(rng() % 16)};
        const int dx = int(rng() % 31) - 15, dy = round % 3 ? 0 : int(rng() % 15) - 7;
        c.Scroll(r, dx, dy);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const bool lands = r.Contains({x, y}) && r.Contains({x - dx, y - dy}) &&
                                   x - dx < w && y - dy < h && x - dx >= 0 && y - dy >= 0;
                ASSERT_EQ(c.Pixel(x, y),
                          lands ? snapshot.Pixel(x - dx, y - dy) : snapshot.Pixel(x, y))
                    << "round " << round << " at " << x << "," << y;
            }
    }
}

TEST(HeadlessWindowHost, RecordsWhatTheControlAsks) {
    THeadlessWindowHost h(640, 400);
    EXPECT_EQ(h.ClientSize(), (TSize{640, 400}));
    h.SetClientSize(300, 200);
    EXPECT_EQ(h.Canvas().Size(), (TSize{300, 200}));
    h.InvalidateAll();
    ASSERT_EQ(h.Invalidated().size(), 1u);
    EXPECT_EQ(h.Invalidated()[0], (TRect{0, 0, 300, 200}));

    h.ShowCaret(true);
    EXPECT_FALSE(h.CaretShown()); // no caret created yet
    h.CreateCaret(2, 17);
    h.SetCaretPos(30, 34);
    h.ShowCaret(true);
    EXPECT_TRUE(h.CaretShown());
    EXPECT_EQ(h.CaretPos(), (TPoint{30, 34}));
    h.DestroyCaret();
    EXPECT_FALSE(h.CaretExists());

    TScrollInfo info{0, 31999, 40, 100, true};
    h.SetScrollInfo(sbVertical, info);
    EXPECT_EQ(h.GetScrollInfo(sbVertical), info);
    EXPECT_EQ(h.GetScrollInfo(sbHorizontal), TScrollInfo{});

    h.SetKeyDown(VK_LBUTTON, true);
    EXPECT_TRUE(h.KeyDown(VK_LBUTTON));
    EXPECT_FALSE(h.KeyDown(999));
    uint32_t t = h.TickCount();
    h.PumpMessages();
    EXPECT_EQ(h.TickCount(), t + 10);
    h.Beep();
    EXPECT_EQ(h.Beeps(), 1);
    h.SetScreenOrigin({100, 50});
    EXPECT_EQ(h.ClientToScreen({1, 2}), (TPoint{101, 52}));
}
