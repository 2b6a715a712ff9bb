// What an editor control asks of the window it lives in.
#pragma once

#include "platform/Canvas.h"
#include "platform/DragDrop.h"
#include "platform/Types.h"

#include <cstdint>
#include <string>

namespace quillet {

enum TScrollBarKind : uint8_t { sbHorizontal = 0, sbVertical = 1 };

struct TScrollInfo {
    int Min = 0;
    int Max = 0;
    int Page = 0;
    int Pos = 0;
    bool Visible = true;
    friend bool operator==(const TScrollInfo&, const TScrollInfo&) = default;
};

enum TCursorShape : uint8_t {
    crDefault, crArrow, crIBeam, crHandPoint, crSizeWE, crDrag, crNoDrop, crHourGlass,
    crHSplit, // the column-line drag cursor: a vertical bar with arrows left and right
    crVSplit,
    // Numbers 22 to 30 are the control's own custom cursors.
    crCustomFirst = 22,
    crCustomLast = 30
};

class IWindowHost {
public:
    virtual ~IWindowHost() = default;

    // Painting: the persistent back buffer the control draws into, and a
    // request that the screen be updated from it.
    virtual ICanvas& Canvas() = 0;
    virtual void Invalidate(const TRect& r) = 0;
    virtual void InvalidateAll() = 0;
    virtual TSize ClientSize() const = 0;

    virtual void SetScrollInfo(TScrollBarKind bar, const TScrollInfo& info) = 0;
    virtual TScrollInfo GetScrollInfo(TScrollBarKind bar) const = 0;

    // Caret: created with a size, placed, shown or hidden.
    virtual void CreateCaret(int width, int height) = 0;
    virtual void DestroyCaret() = 0;
    virtual void SetCaretPos(int x, int y) = 0;
    virtual void ShowCaret(bool show) = 0;

    virtual void SetCursor(TCursorShape shape) = 0;
    virtual void SetCapture(bool capture) = 0;
    virtual bool HasFocus() const = 0;
    virtual void SetFocus() = 0;
    virtual bool IsVisible() const = 0;
    virtual TPoint ClientToScreen(TPoint p) const = 0;

    // Time and input state.
    virtual uint32_t TickCount() const = 0;
    virtual uint32_t DoubleClickTime() const = 0;
    // True while the virtual key (a mouse button included) is held down.
    virtual bool KeyDown(int virtualKey) const = 0;
    // Where the mouse is now, in client coordinates (it may be outside the client area).
    virtual TPoint MousePos() const = 0;
    virtual void Beep() = 0;
    // Lets the event loop run for a short while, about 10 ms (loops that wait on the mouse).
    virtual void PumpMessages() = 0;

    // Runs the drag loop for text dragged out of the window; a copy only unless allowMove.
    // Returns the effect of the drop, deNone when the drag was cancelled or refused.
    virtual TDropEffect DragText(const std::string& text, bool allowMove) = 0;
};

} // namespace quillet
