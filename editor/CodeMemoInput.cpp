// Keyboard and mouse input of the control: typing, caret movement, clicks.
#include "editor/CodeMemo.h"
#include "editor/CodeMemoWrap.h"

#include "editor/CodeMemoUndoLink.h"
#include "editor/CodeMemoView.h"
#include "editor/UndoStack.h"
#include "highlight/Settings.h"
#include "platform/VirtualKeys.h"

#include <algorithm>

namespace quillet {

namespace {
// Between two steps of scrolling while the mouse is held outside the text.
constexpr uint32_t AutoScrollInterval = 30;
} // namespace

void TCustomCodeMemo::MoveCaret(TOffset offset, bool extend, bool vertical) {
    CloseTyping();
    FVerticalMove = vertical && !extend;
    const TColumn remembered = FRememberedColumn;
    ApplySelection(extend ? FAnchor : offset, offset, true);
    if (vertical) FRememberedColumn = remembered; // vertical moves keep returning to it
}

LRESULT TCustomCodeMemo::MouseDown(WPARAM keys, int x, int y) {
    if (!FEnabled || !FTabStop || (FHost && !FHost->IsVisible())) return 0;
    if (PopupClick(x, y)) return 0;
    if (SwatchClick(x, y)) return 0;
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
    FDragPending = false;
    const int lh = FView->Metrics().LineHeight;
    TRow line = std::min(FTopLine + std::max(0, y) / lh, TRow(FStore->LineCount() - 1));
    int textLeft = FView->TextLeft();
    if (textLeft > 0 && x < textLeft - Margin()) {
        if (HasOption(smoWordWrap)) line = FWrap->FirstRowOf(line); // its line
        if (OnGutterClick) OnGutterClick(*this, line.Value() + 1);
        return 0;
    }
    if (x < textLeft) {
        // Margin strip: the whole line with its break.
        const TOffset start = FStore->PosFromLine(line);
        ApplySelection(start, start + FStore->RowLength(line), true);
        FSelecting = true;
        if (FHost) FHost->SetCapture(true);
        return 0;
    }
    if (bool right = false; OverMarginLine(x, y, right)) {
        FMarginDragging = true;
        FDragRightMargin = right;
        FMarginDragColumn = TColumn(right ? RightMargin() : WrapAtColumn());
        if (FHost) FHost->SetCapture(true);
        MarkAllDirty();
        Repaint();
        return 0;
    }
    const TOffset offset = OffsetAtMouse(x, y);
    bool shift = (keys & MK_SHIFT) != 0;
    if (!shift) {
        const TOffset a = SelFirst(), b = SelLast();
        if ((FClickCount == 1 || FClickCount == 4) && a < b && offset >= a && offset < b) {
            FDragPending = true; // the selection stays as it is until the mouse says more
            FRowEndTarget = false;
            if (FHost) FHost->SetCapture(true);
            return 0;
        }
        if (FClickCount == 3 && line == FLastClickLine) {
            if (OnTripleClick) {
                OnTripleClick(*this, {x, y}, offset.Value());
            } else {
                const TOffset start = FStore->PosFromLine(line);
                ApplySelection(start, start + FStore->RowLength(line), true);
            }
            return 0;
        }
        FLastClickLine = line;
        FVirtualTarget = VirtualColumnAt(x, offset); // past the end it may stay there
        ApplySelection(offset, offset, true);
        if (FClickCount == 2) return 0; // the double-click message selects the word
        FSelecting = true;
        if (FHyperOffset && OnHyperlinkClick) {
            if (int style = HyperlinkStyleAt(*FHyperOffset); style >= 0)
                OnHyperlinkClick(*this, HyperlinkText(*FHyperOffset, uint8_t(style)), style);
        }
    } else {
        const TOffset a = SelFirst(), b = SelLast();
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
    if (!FEnabled || !FTabStop || (FHost && !FHost->IsVisible())) return 0;
    const int textLeft = FView->TextLeft();
    if (FDragPending) {
        // The selection is picked up; either way the press no longer waits to place the caret.
        FDragPending = false;
        if (FHost) FHost->SetCapture(false);
        if (HasOption(smoOLEDragSource)) DragSelection();
        return 0;
    }
    if (FSelecting || FMarginDragging) {
        if (!FAutoScrolling && AutoScroll({x, y})) {
            // The event loop ran: the mouse is where the host says now, not where it was.
            TPoint now = FHost->MousePos();
            x = now.X;
            y = now.Y;
        }
        if (!FSelecting && !FMarginDragging) return 0; // released while the view scrolled
        const int lh = FView->Metrics().LineHeight;
        int cx = std::max(x, textLeft);
        int cy = std::clamp(y, 0, std::max(0, FClientHeight - lh));
        if (FMarginDragging) {
            MoveMarginLine(MarginColumnAt(cx));
            return 0;
        }
        const TOffset offset = OffsetAtMouse(cx, cy);
        FVirtualTarget = VirtualColumnAt(cx, offset);
        ApplySelection(FAnchor, offset, true);
        return 0;
    }
    FHyperOffset.reset();
    if (x < textLeft) {
        ChangeCursor(crDefault);
        return 0;
    }
    bool right = false;
    bool overLine = OverMarginLine(x, y, right);
    const std::optional<TOffset> offset = FView->PixelToOffset(x, y);
    if (offset && HyperlinkStyleAt(*offset) >= 0) {
        FHyperOffset = offset;
        ChangeCursor(FHyperCursor);
        if (OnHyperlinkHover) OnHyperlinkHover(*this);
        return 0;
    }
    const TOffset a = SelFirst(), b = SelLast();
    if (overLine)
        ChangeCursor(crHSplit);
    else if (HasOption(smoOLEDragSource) && offset && *offset >= a && *offset < b)
        ChangeCursor(crDefault); // the selection can be picked up
    else
        ChangeCursor(crIBeam);
    return 0;
}

LRESULT TCustomCodeMemo::MouseUp(WPARAM, int x, int y) {
    if (FDragPending) {
        FDragPending = false;
        const TOffset offset = FView->PixelToOffsetClamped(std::max(x, FView->TextLeft()), y);
        FLastClickLine = FStore->LineFromPos(offset);
        FVirtualTarget = VirtualColumnAt(x, offset);
        ApplySelection(offset, offset, true);
    }
    FSelecting = false;
    if (FMarginDragging) {
        FMarginDragging = false;
        MarkAllDirty(); // the inverted line goes with the next paint
        if (FDragRightMargin)
            SetRightMargin(FMarginDragColumn.Value());
        else
            SetWrapAtColumn(FMarginDragColumn.Value());
        Repaint();
    }
    if (FHost) FHost->SetCapture(false);
    return 0;
}

TOffset TCustomCodeMemo::OffsetAtMouse(int x, int y) {
    const TOffset offset = FView->PixelToOffsetClamped(x, y);
    // Right of a row that word wrap cut, the caret goes to that row's end, which is the same
    // offset as the next row's start: the caret remembers it stands on this row.
    const int lh = FView->Metrics().LineHeight;
    const TRow row =
        std::clamp(FTopLine + std::max(0, y) / lh, TRow(0), TRow(FStore->LineCount() - 1));
    if (!FWrap || !FWrap->RowContinues(row)) return offset;
    const int length = FStore->RowLength(row);
    const TColumn endColumn = VisualColumn(row, TOffset(length));
    int end = FView->TextLeft() + FView->ColumnsWidth(row, FLeftColumn, endColumn);
    if (x < end) return offset;
    FRowEndTarget = true;
    return FStore->PosFromLine(row) + length;
}

void TCustomCodeMemo::SetCursor(TCursorShape shape) {
    FCursor = shape;
    if (FHost) FHost->SetCursor(shape);
}

void TCustomCodeMemo::ChangeCursor(TCursorShape shape) {
    bool ours = FCursor == crDefault || FCursor == crIBeam || FCursor == crHSplit ||
                FCursor == crVSplit || FCursor == FHyperCursor ||
                (FCursor >= crCustomFirst && FCursor <= crCustomLast);
    if (ours && shape != FCursor) SetCursor(shape);
}

bool TCustomCodeMemo::AutoScroll(TPoint p) {
    if (!AutoScrollStep(p) || !FHost || !FFocused) return false;
    FAutoScrolling = true;
    struct TReset {
        bool& Flag;
        ~TReset() { Flag = false; }
    } reset{FAutoScrolling};
    for (bool pumped = false;; pumped = true) {
        if (!FHost->KeyDown(VK_LBUTTON)) return pumped;
        // Let the event loop run between steps: a release or a move comes in through it.
        uint32_t start = FHost->TickCount();
        do {
            FHost->PumpMessages();
            if (!FSelecting && !FMarginDragging) return true;
        } while (FHost->TickCount() - start < AutoScrollInterval && FHost->KeyDown(VK_LBUTTON));
        if (!FHost->KeyDown(VK_LBUTTON) || !AutoScrollStep(FHost->MousePos())) return true;
    }
}

bool TCustomCodeMemo::AutoScrollStep(TPoint p) {
    const int lh = FView->Metrics().LineHeight;
    const int cw = FView->Metrics().CharWidth;
    const int textLeft = FView->TextLeft();
    int dx = 0, dy = 0;
    if (p.Y < 0 && FTopLine > TRow(0))
        dy = -1;
    else if (p.Y >= FClientHeight && FClientHeight > 0)
        dy = 1;
    else if (FMarginDragging ? p.X < textLeft + 2 * cw : p.X < textLeft - Margin())
        dx = -1;
    else if (FMarginDragging && FDragRightMargin ? p.X >= FClientWidth - 2 * cw
                                                 : p.X >= FClientWidth && FClientWidth > 0)
        dx = 1;
    if (dx == 0 && dy == 0) return false;
    const TRow top = FTopLine;
    const TColumn left = FLeftColumn;
    ScrollTo(FLeftColumn + dx, FTopLine + dy, true);
    if (top == FTopLine && left == FLeftColumn) return false; // the view is at its end
    if (FSelecting) {
        int py = std::clamp(p.Y, 0, std::max(0, FClientHeight - lh));
        TOffset offset;
        if (dy < 0)
            offset = FView->PixelToOffsetClamped(textLeft, 0);
        else if (dy > 0)
            offset = FView->PixelToOffsetClamped(textLeft, std::max(0, FVisibleLines - 1) * lh);
        else if (dx < 0)
            offset = FView->PixelToOffsetClamped(textLeft, py);
        else
            offset = FView->PixelToOffsetClamped(std::max(textLeft, FClientWidth - 1), py);
        ApplySelection(FAnchor, offset, true);
    } else if (FMarginDragging) {
        MoveMarginLine(MarginColumnAt(std::clamp(p.X, textLeft, std::max(textLeft, FClientWidth))));
    }
    return true;
}

TColumn TCustomCodeMemo::MarginColumnAt(int x) const {
    const int cw = std::max(1, FView->Metrics().CharWidth);
    return FLeftColumn + (std::max(0, x - FView->TextLeft()) + cw / 2) / cw;
}

bool TCustomCodeMemo::OverMarginLine(int x, int y, bool& rightMargin) {
    if (x < FView->TextLeft() || y < 0 || (FClientHeight > 0 && y >= FClientHeight)) return false;
    const TColumn column = MarginColumnAt(x);
    bool onRight = HasOption(smoShowRMargin) && column == TColumn(RightMargin());
    bool onWrap = HasOption(smoWordWrap) && HasOption(smoShowWrapColumn) && WrapAtColumn() > 0 &&
                  column == TColumn(WrapAtColumn());
    if (!onRight && !onWrap) return false;
    const TRow line = FTopLine + y / FView->Metrics().LineHeight;
    if (line < TRow(FStore->LineCount())) {
        std::string_view text = FStore->RowText(line);
        int body = int(text.size()) - (text.ends_with('\r') ? 1 : 0);
        if (column <= VisualColumn(line, TOffset(body))) return false; // the line is over text here
    }
    rightMargin = onRight;
    return true;
}

int TCustomCodeMemo::MarginDragX() const {
    if (!FMarginDragging) return -1;
    const int visible = FMarginDragColumn - FLeftColumn;
    if (visible <= 0 || visible >= FVisibleColumns) return -1;
    return FView->TextLeft() + visible * FView->Metrics().CharWidth;
}

void TCustomCodeMemo::MoveMarginLine(TColumn column) {
    // Outside the visible columns no line is drawn and the last one shown still counts.
    const int visible = column - FLeftColumn;
    if (visible <= 0 || visible >= FVisibleColumns || column == FMarginDragColumn) return;
    FMarginDragColumn = column;
    MarkAllDirty();
    Repaint();
}

int TCustomCodeMemo::HyperlinkStyleAt(TOffset offset) {
    const TCM_Settings& s = *FActiveSettings;
    if (!HasOption(smoSyntaxHighlight) || !ActiveDefinition()) return -1;
    bool any = false;
    for (const TCM_Style& style : s.Styles)
        if (style.Hotspot) {
            any = true;
            break;
        }
    if (!any || offset < TOffset(0) || offset >= TOffset(FStore->CharCount())) return -1;
    const TRow line = FStore->LineFromPos(offset);
    const int index = offset - FStore->PosFromLine(line);
    FView->ScanThrough(line.Value());
    const TLineRecord& rec = FStore->Line(line);
    std::string_view text = FStore->RowText(line);
    if (size_t(index) >= text.size() || text[size_t(index)] == '\r') return -1;
    if (!rec.Extra || size_t(index) >= rec.Extra->Attributes.size()) return -1;
    uint8_t token = rec.Extra->Attributes[size_t(index)];
    return s.Styles[s.StyleMap[token]].Hotspot ? token : -1;
}

std::string TCustomCodeMemo::HyperlinkText(TOffset offset, uint8_t style) {
    // Characters of the run, row by row: a token cut by word wrap (or at the longest row)
    // goes on across the cut.
    auto styleAt = [&](TRow line, int index) -> int {
        const TLineRecord& rec = FStore->Line(line);
        std::string_view text = FStore->RowText(line);
        if (index < 0 || size_t(index) >= text.size() || text[size_t(index)] == '\r') return -1;
        if (!rec.Extra || size_t(index) >= rec.Extra->Attributes.size()) return -1;
        return rec.Extra->Attributes[size_t(index)];
    };
    const TRow line = FStore->LineFromPos(offset);
    const int index = offset - FStore->PosFromLine(line);
    TRow firstLine = line;
    int first = index;
    for (;;) {
        if (styleAt(firstLine, first - 1) == style) {
            --first;
        } else if (first == 0 && firstLine > TRow(0) && FWrap->RowContinues(firstLine - 1) &&
                   styleAt(firstLine - 1, FStore->RowLength(firstLine - 1) - 1) == style) {
            --firstLine;
            first = FStore->RowLength(firstLine) - 1;
        } else {
            break;
        }
    }
    TRow lastLine = line;
    int last = index + 1; // exclusive
    const TRow end(FStore->LineCount());
    for (;;) {
        if (styleAt(lastLine, last) == style) {
            ++last;
        } else if (last == FStore->RowLength(lastLine) && lastLine + 1 < end &&
                   FWrap->RowContinues(lastLine)) {
            FView->ScanThrough(lastLine.Value() + 1);
            if (styleAt(lastLine + 1, 0) != style) break;
            ++lastLine;
            last = 1;
        } else {
            break;
        }
    }
    const TOffset from = FStore->PosFromLine(firstLine) + first;
    const TOffset to = FStore->PosFromLine(lastLine) + last;
    return FStore->StoredText(from, to);
}

LRESULT TCustomCodeMemo::DoubleClick(int x, int) {
    if (x < FView->TextLeft() || !HasOption(smoWordSelect)) return 0;
    if (FClickCount == 3 || FClickCount == 4) return 0;
    const TRow line = FStore->LineFromPos(FCaret);
    const TOffset start = FStore->PosFromLine(line);
    std::string_view text = FStore->RowText(line);
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
    FDragPending = false;
    return 0;
}

} // namespace quillet
