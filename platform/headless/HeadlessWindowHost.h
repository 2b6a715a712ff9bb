// A window without a screen: a pixel buffer canvas and a host whose state tests set and read.
#pragma once

#include "platform/WindowHost.h"

#include <string>
#include <functional>
#include <vector>

namespace quillet {

// Keeps an ARGB pixel buffer (0xAARRGGBB) and a log of what was drawn.
// Text is drawn as one solid box per character cell in the text colour,
// over the background colour, so a test can read colours back per cell.
class THeadlessCanvas : public ICanvas {
public:
    struct TTextRun {
        int X, Y;
        std::string Text;
        TColor Fore, Back;
        std::vector<int> Advances; // the pen step after each code point
    };

    THeadlessCanvas(int width, int height);
    void Resize(int width, int height);

    TSize Size() const override { return {FWidth, FHeight}; }
    void FillRect(const TRect& r, TColor color) override;
    void SetFont(const TFontHandle& font) override { FFont = font; }
    void TextOut(int x, int y, std::string_view utf8, TColor fore, TColor back,
                 const int* advances = nullptr) override;
    TSize TextExtent(std::string_view utf8) override;
    void Line(int x1, int y1, int x2, int y2, TColor color, TPenStyle style = psSolid) override;
    void XorLine(int x1, int y1, int x2, int y2) override;
    void DrawImage(int x, int y, const TImage& image, const TRect& source) override;
    void SetClip(const TRect& r) override;
    void ResetClip() override;
    void Scroll(const TRect& r, int dx, int dy) override;

    // The colour (as TColor, red in the low byte) of one pixel; clNone outside.
    TColor Pixel(int x, int y) const;
    const std::vector<TTextRun>& TextRuns() const { return FRuns; }
    void ClearLog() { FRuns.clear(); }

private:
    void Plot(int x, int y, uint32_t argb);
    bool Inside(int x, int y) const;

    int FWidth, FHeight;
    std::vector<uint32_t> FPixels;
    TRect FClip;
    TFontHandle FFont;
    std::vector<TTextRun> FRuns;
};

class THeadlessWindowHost : public IWindowHost {
public:
    explicit THeadlessWindowHost(int width = 640, int height = 400);

    ICanvas& Canvas() override { return FCanvas; }
    THeadlessCanvas& HeadlessCanvas() { return FCanvas; }
    void Invalidate(const TRect& r) override { FInvalidated.push_back(r); }
    void InvalidateAll() override { FInvalidated.push_back({0, 0, FSize.Width, FSize.Height}); }
    TSize ClientSize() const override { return FSize; }
    void SetClientSize(int width, int height);

    void SetScrollInfo(TScrollBarKind bar, const TScrollInfo& info) override {
        FScroll[bar] = info;
    }
    TScrollInfo GetScrollInfo(TScrollBarKind bar) const override { return FScroll[bar]; }

    void CreateCaret(int width, int height) override;
    void DestroyCaret() override { FCaretExists = FCaretShown = false; }
    void SetCaretPos(int x, int y) override { FCaretPos = {x, y}; }
    void ShowCaret(bool show) override { FCaretShown = show && FCaretExists; }

    void SetCursor(TCursorShape shape) override { FCursor = shape; }
    void SetCapture(bool capture) override { FCaptured = capture; }
    bool HasFocus() const override { return FFocused; }
    void SetFocus() override { FFocused = true; }
    bool IsVisible() const override { return FVisible; }
    TPoint ClientToScreen(TPoint p) const override { return {p.X + FOrigin.X, p.Y + FOrigin.Y}; }

    uint32_t TickCount() const override { return FTicks; }
    uint32_t DoubleClickTime() const override { return FDoubleClickTime; }
    bool KeyDown(int virtualKey) const override;
    TPoint MousePos() const override { return FMouse; }
    void Beep() override { ++FBeeps; }
    // Each pump advances the clock by 10 ms, so loops that wait on time end, and counts down
    // a key held with HoldKey.
    void PumpMessages() override;

    // What tests set.
    void SetFocused(bool focused) { FFocused = focused; }
    void SetVisible(bool visible) { FVisible = visible; }
    void SetTickCount(uint32_t ticks) { FTicks = ticks; }
    void AdvanceTicks(uint32_t ms) { FTicks += ms; }
    void SetDoubleClickTime(uint32_t ms) { FDoubleClickTime = ms; }
    void SetKeyDown(int virtualKey, bool down);
    // The key (a mouse button, say) is down now and goes up after `pumps` pumps.
    void HoldKey(int virtualKey, int pumps);
    void SetMousePos(TPoint p) { FMouse = p; }
    // The drag loop: what the user does with text dragged out (drop it somewhere, maybe back
    // into the control); without a handler every drag is cancelled.
    TDropEffect DragText(const std::string& text, bool allowMove) override {
        ++FDrags;
        return OnDragText ? OnDragText(text, allowMove) : deNone;
    }
    std::function<TDropEffect(const std::string& text, bool allowMove)> OnDragText;
    int Drags() const { return FDrags; }
    // Runs at every pump: what the user does while a loop waits on the mouse.
    std::function<void()> OnPump;
    void SetScreenOrigin(TPoint origin) { FOrigin = origin; }

    // What tests read.
    const std::vector<TRect>& Invalidated() const { return FInvalidated; }
    void ClearInvalidated() { FInvalidated.clear(); }
    bool CaretExists() const { return FCaretExists; }
    bool CaretShown() const { return FCaretShown; }
    TPoint CaretPos() const { return FCaretPos; }
    TSize CaretSize() const { return FCaretSize; }
    TCursorShape Cursor() const { return FCursor; }
    bool Captured() const { return FCaptured; }
    int Beeps() const { return FBeeps; }
    int Pumps() const { return FPumps; }

private:
    TSize FSize;
    THeadlessCanvas FCanvas;
    std::vector<TRect> FInvalidated;
    TScrollInfo FScroll[2];
    bool FCaretExists = false, FCaretShown = false;
    TPoint FCaretPos;
    TSize FCaretSize;
    TCursorShape FCursor = crDefault;
    bool FCaptured = false, FFocused = false, FVisible = true;
    TPoint FOrigin;
    uint32_t FTicks = 1000, FDoubleClickTime = 500;
    std::vector<bool> FKeys = std::vector<bool>(256, false);
    int FBeeps = 0, FPumps = 0;
    TPoint FMouse;
    int FHeldKey = -1, FHeldPumps = 0;
    int FDrags = 0;
};

} // namespace quillet
