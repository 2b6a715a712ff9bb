// Keyboard and mouse input of the control: typing, caret movement, clicks.
#include "editor/CodeMemo.h"

#include "editor/CodeMemoUndoLink.h"
#include "editor/CodeMemoView.h"
#include "editor/UndoStack.h"
#include "platform/VirtualKeys.h"

#include <algorithm>

namespace quillet {

namespace {
std::string Utf8(char32_t cp) {
    std::string out;
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
    return out;
}
} // namespace

void TCustomCodeMemo::MoveCaret(int offset, bool extend, bool vertical) {
    CloseTyping();
    FVerticalMove = vertical && !extend;
    int remembered = FRememberedColumn;
    ApplySelection(extend ? FAnchor : offset, offset, true);
    if (vertical) FRememberedColumn = remembered; // vertical moves keep returning to it
}

LRESULT TCustomCodeMemo::KeyDown(int key) {
    bool shift = FHost && FHost->KeyDown(VK_SHIFT);
    bool ctrl = FHost && FHost->KeyDown(VK_CONTROL);
    bool alt = FHost && FHost->KeyDown(VK_MENU);
    NoteChange(cfKey);
    FSuppressChar = 0;
    int line = FStore->LineFromPos(FCaret);
    int lineStart = FStore->PosFromLine(line);
    std::string_view text = FStore->Line(line).View();
    int lineEnd = lineStart + int(text.size()) - (!text.empty() && text.back() == '\r' ? 1 : 0);
    auto vertical = [&](int delta) {
        int target = std::clamp(line + delta, 0, FStore->LineCount() - 1);
        int column = HasOption(smoColumnTrack) ? FRememberedColumn : CaretColumn();
        int offset = FStore->PosFromLine(target) + OffsetFromVisualColumn(target, column);
        if (target == line) offset = delta < 0 ? 0 : FStore->CharCount();
        if (delta < 0 && line == 0) offset = 0;
        if (delta > 0 && line == FStore->LineCount() - 1) offset = FStore->CharCount();
        int keep = FRememberedColumn;
        MoveCaret(offset, shift, true);
        if (HasOption(smoColumnTrack)) FRememberedColumn = std::max(keep, column);
    };
    auto wordLeft = [&](int offset) {
        while (offset > 0 && !CharIsInWord(FStore->StoredText(offset - 1, offset)[0]))
            --offset;
        while (offset > 0 && CharIsInWord(FStore->StoredText(offset - 1, offset)[0]))
            --offset;
        return offset;
    };
    auto wordRight = [&](int offset) {
        int count = FStore->CharCount();
        while (offset < count && CharIsInWord(FStore->StoredText(offset, offset + 1)[0]))
            ++offset;
        while (offset < count && !CharIsInWord(FStore->StoredText(offset, offset + 1)[0]))
            ++offset;
        return offset;
    };
    if (alt) return 0;
    switch (key) {
    case VK_LEFT:
        if (!shift && FAnchor != FCaret)
            MoveCaret(std::min(FAnchor, FCaret), false);
        else
            MoveCaret(ctrl ? wordLeft(FCaret) : PrevCharOffset(FCaret), shift);
        return 1;
    case VK_RIGHT:
        if (!shift && FAnchor != FCaret)
            MoveCaret(std::max(FAnchor, FCaret), false);
        else
            MoveCaret(ctrl ? wordRight(FCaret) : NextCharOffset(FCaret), shift);
        return 1;
    case VK_UP:
        if (ctrl) {
            ScrollTo(FLeftColumn, FTopLine - 1, true);
            return 1;
        }
        vertical(-1);
        return 1;
    case VK_DOWN:
        if (ctrl) {
            ScrollTo(FLeftColumn, FTopLine + 1, true);
            return 1;
        }
        vertical(1);
        return 1;
    case VK_PRIOR:
        vertical(-std::max(1, FVisibleLines));
        return 1;
    case VK_NEXT:
        vertical(std::max(1, FVisibleLines));
        return 1;
    case VK_HOME:
        MoveCaret(ctrl ? 0 : lineStart, shift);
        return 1;
    case VK_END:
        MoveCaret(ctrl ? FStore->CharCount() : lineEnd, shift);
        return 1;
    case VK_INSERT:
        if (shift) {
            Perform(WM_PASTE, 0, 0);
        } else if (ctrl) {
            Perform(WM_COPY, 0, 0);
        } else {
            FInsertMode = !FInsertMode;
            FCaretCreated = false;
        }
        return 1;
    case VK_DELETE:
        if (FReadOnly) return 1;
        if (shift) {
            Perform(WM_CUT, 0, 0);
        } else if (FAnchor != FCaret) {
            ReplaceRange(FAnchor, FCaret, {});
            ApplySelection(FCaret, FCaret, true);
        } else if (FCaret < FStore->CharCount()) {
            ReplaceRange(FCaret, ctrl ? wordRight(FCaret) : NextCharOffset(FCaret), {});
            ApplySelection(FCaret, FCaret, true);
        }
        return 1;
    case VK_BACK:
    case VK_RETURN:
    case VK_TAB:
        // Acts here; the character message that follows the key is then swallowed.
        CharTyped(char32_t(key));
        FSuppressChar = key;
        return 1;
    default:
        break;
    }
    if (ctrl) {
        switch (key) {
        case 'A':
            SelectAll();
            return 1;
        case 'C':
            Perform(WM_COPY, 0, 0);
            return 1;
        case 'X':
            Perform(WM_CUT, 0, 0);
            return 1;
        case 'V':
            Perform(WM_PASTE, 0, 0);
            return 1;
        case 'Z':
            Perform(shift ? SM_REDO : EM_UNDO, 0, 0);
            return 1;
        case 'Y':
            Perform(SM_REDO, 0, 0);
            return 1;
        default:
            break;
        }
    }
    return 0;
}

LRESULT TCustomCodeMemo::CharTyped(char32_t cp) {
    if (FSuppressChar != 0 && char32_t(FSuppressChar) == cp) {
        FSuppressChar = 0;
        return 0;
    }
    FSuppressChar = 0;
    if (!FTabStop || FReadOnly || !FEnabled) return 0;
    if (FHost && FHost->KeyDown(VK_CONTROL) && !FHost->KeyDown(VK_MENU) && cp < 32 && cp != 10)
        return 0; // control combinations are commands, not text
    if (cp == 8) {
        if (FAnchor != FCaret)
            ReplaceRange(FAnchor, FCaret, {});
        else if (FCaret > 0)
            ReplaceRange(PrevCharOffset(FCaret), FCaret, {});
        ApplySelection(FCaret, FCaret, true);
        return 1;
    }
    std::string text;
    int groupId = 0;
    if (cp == 13 || cp == 10) {
        if (cp == 13 && !FWantReturns) return 0;
        text = "\r";
        if (HasOption(smoAutoIndent)) {
            // The new line starts with the blanks that start the current one.
            int line = FStore->LineFromPos(std::min(FAnchor, FCaret));
            int start = FStore->PosFromLine(line);
            std::string_view lineText = FStore->Line(line).View();
            size_t n = 0;
            size_t limit = size_t(std::min(FAnchor, FCaret) - start);
            while (n < lineText.size() && n < limit && (lineText[n] == ' ' || lineText[n] == '\t'))
                ++n;
            text += std::string(lineText.substr(0, n));
        }
    } else if (cp == 9) {
        if (HasOption(smoUseTAB)) {
            text = "\t";
        } else {
            int column = CaretColumn();
            text.assign(size_t(NextTabStop(column) - column), ' ');
        }
    } else if (cp < 32 || cp == 127 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    } else {
        text = Utf8(cp);
        groupId = ugTyping;
    }
    TUndoStack* undo = FStore->UndoStack();
    if (groupId == ugTyping) {
        // Consecutive characters make one undo step.
        if (FTyping && (FTypingEnd != FCaret || FAnchor != FCaret)) CloseTyping();
        if (!FTyping && undo && FUndoLink) {
            undo->SetTarget(FUndoLink.get());
            undo->OpenGroup(ugTyping);
            FTyping = undo->GroupOpen();
        }
    }
    int start = std::min(FAnchor, FCaret), end = std::max(FAnchor, FCaret);
    if (!FInsertMode && start == end && groupId == ugTyping && end < FStore->CharCount()) {
        std::string next = FStore->StoredText(end, NextCharOffset(end));
        if (next != "\r") end = NextCharOffset(end);
    }
    ReplaceRange(start, end, text, groupId);
    if (FTyping) FTypingEnd = FCaret;
    ApplySelection(FCaret, FCaret, true);
    return 1;
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
