// Keyboard and mouse input of the control: typing, caret movement, clicks.
#include "editor/CodeMemo.h"
#include "editor/CodeMemoWrap.h"

#include "editor/CodeMemoUndoLink.h"
#include "editor/CodeMemoView.h"
#include "editor/UndoStack.h"
#include "platform/VirtualKeys.h"

#include <algorithm>

namespace quillet {

void TCustomCodeMemo::MoveCaret(int offset, bool extend, bool vertical) {
    CloseTyping();
    FVerticalMove = vertical && !extend;
    int remembered = FRememberedColumn;
    ApplySelection(extend ? FAnchor : offset, offset, true);
    if (vertical) FRememberedColumn = remembered; // vertical moves keep returning to it
}

LRESULT TCustomCodeMemo::MouseDown(WPARAM keys, int x, int y) {
    if (!FEnabled || !FTabStop) return 0;
    CloseTyping();
    if (FHost && !FFocused) {
        FHost->SetFocus();
        Perform(WM_SETFOCUS, 0, 0);
    }
    if (x >= FClientWidth && FClientWidth > 0) return 0;
    uint32_t now = FHost ? FHost->TickCount() : 0;
    uint32_t dblTime = FHost ? FHost->DoubleClickTime() : 500;
    bool quick = now - FLastClickTick <= dblTime;
    switch (FClickCount) {
    case 1:
        FClickCount = quick ? 2 : 1;
        break;
    case 2:
        FClickCount = quick ? 3 : 1;
        break;
    case 3:
        FClickCount = quick ? 4 : 1;
        break;
    default:
        FClickCount = 1;
        break;
    }
    FLastClickTick = now;
    const int lh = FView->Metrics().LineHeight;
    int row = std::max(0, y) / lh;
    int line = std::min(FTopLine + row, FStore->LineCount() - 1);
    int textLeft = FView->TextLeft();
    if (textLeft > 0 && x < textLeft - Margin()) {
        if (HasOption(smoWordWrap)) line = FWrap->FirstRowOf(line); // a row's logical line
        if (OnGutterClick) OnGutterClick(*this, line + 1);
        return 0;
    }
    if (x < textLeft) {
        // Margin strip: the whole line with its break.
        int start = FStore->PosFromLine(line);
        int end = start + FStore->Line(line).Length;
        ApplySelection(start, end, true);
        FSelecting = true;
        if (FHost) FHost->SetCapture(true);
        return 0;
    }
    int offset = FView->PixelToOffsetClamped(x, y);
    bool shift = (keys & MK_SHIFT) != 0;
    if (!shift) {
        if (FClickCount == 3 && line == FLastClickLine) {
            if (OnTripleClick) {
                OnTripleClick(*this, {x, y}, offset);
            } else {
                int start = FStore->PosFromLine(line);
                ApplySelection(start, start + FStore->Line(line).Length, true);
            }
            return 0;
        }
        FLastClickLine = line;
        FVirtualTarget = VirtualColumnAt(x, offset); // a click past the end may stay there
        ApplySelection(offset, offset, true);
        FSelecting = FClickCount != 2;
    } else {
        int a = std::min(FAnchor, FCaret), b = std::max(FAnchor, FCaret);
        if (offset < a)
            ApplySelection(b, offset, true);
        else
            ApplySelection(a, offset, true);
        FSelecting = true;
    }
    if (FSelecting && FHost) FHost->SetCapture(true);
    return 0;
}

LRESULT TCustomCodeMemo::MouseMove(WPARAM, int x, int y) {
    if (!FEnabled || !FTabStop) return 0;
    if (!FSelecting) {
        if (FHost) FHost->SetCursor(x < FView->TextLeft() ? crDefault : crIBeam);
        return 0;
    }
    const int lh = FView->Metrics().LineHeight;
    if (y < 0 && FTopLine > 0)
        ScrollTo(FLeftColumn, FTopLine - 1, true);
    else if (y >= FClientHeight && FClientHeight > 0)
        ScrollTo(FLeftColumn, FTopLine + 1, true);
    int offset = FView->PixelToOffsetClamped(x, std::clamp(y, 0, std::max(0, FClientHeight - lh)));
    FVirtualTarget = VirtualColumnAt(x, offset);
    ApplySelection(FAnchor, offset, true);
    return 0;
}

LRESULT TCustomCodeMemo::MouseUp(WPARAM, int, int) {
    FSelecting = false;
    if (FHost) FHost->SetCapture(false);
    return 0;
}

LRESULT TCustomCodeMemo::DoubleClick(int x, int) {
    if (x < FView->TextLeft() || !HasOption(smoWordSelect)) return 0;
    if (FClickCount == 3 || FClickCount == 4) return 0;
    int line = FStore->LineFromPos(FCaret);
    int start = FStore->PosFromLine(line);
    std::string_view text = FStore->Line(line).View();
    int i = FCaret - start;
    int n = int(text.size());
    auto inWord = [&](int k) { return k >= 0 && k < n && CharIsInWord(text[size_t(k)]); };
    int a = i, b = i;
    if (inWord(i) || inWord(i - 1)) {
        while (inWord(a - 1))
            --a;
        while (inWord(b))
            ++b;
    } else {
        int k = i - 1;
        while (k >= 0 && !inWord(k))
            --k;
        if (k >= 0) {
            b = k + 1;
            a = k;
            while (inWord(a - 1))
                --a;
        } else {
            k = i;
            while (k < n && !inWord(k))
                ++k;
            if (k < n) {
                a = k;
                b = k;
                while (inWord(b))
                    ++b;
            } else {
                a = b = 0;
            }
        }
    }
    ApplySelection(start + a, start + b, true);
    FSelecting = true;
    return 0;
}

} // namespace quillet
