// The key-down route (templates, auto-replace, key table) and character input.
#include "editor/CodeMemo.h"

#include "editor/CodeMemoExpansion.h"
#include "editor/CodeMemoUndoLink.h"
#include "editor/UndoStack.h"
#include "highlight/KeyboardActionController.h"
#include "highlight/Settings.h"

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

// Keys that produce a character event after their key-down; only that character is swallowed.
bool MakesCharacter(int vk) {
    return vk == VK_BACK || vk == VK_TAB || vk == VK_RETURN || vk == VK_SPACE ||
           (vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z') || (vk >= 0x60 && vk <= 0x6F) ||
           (vk >= 0xBA && vk <= 0xFE);
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
} // namespace

void TCustomCodeMemo::RebuildMovementKeys() {
    // Shift with the keys of the movement commands extends the selection instead of being a
    // key of its own; which keys those are follows the key table.
    TKeyboardActionContoller& keys = ActiveSettings().KeyStore;
    keys.ClearShiftNeutral();
    for (const TKeyBinding& b : keys.Store().Bindings()) {
        if (!((b.Command >= kcCursorLeft && b.Command <= kcDocumentEnd) ||
              b.Command == kcDeleteCharBefore))
            continue;
        // The key that completes the binding is the one looked up with Shift taken off.
        TShortCut key = b.Second ? b.Second : b.First;
        keys.SetShiftNeutral(key & 0xFF, true);
    }
}

void TCustomCodeMemo::EndExpansionGroup() {
    if (!FExpansionOpen) return;
    FExpansionOpen = false;
    FTyping = false;
    FTypingEnd = TOffset(-1);
    if (TUndoStack* undo = FStore->UndoStack()) undo->CloseGroup(ugTemplate);
}

void TCustomCodeMemo::CommandRecognised(int command, bool extendSelection) {
    NoteChange(cfKey);
    if (OnCommandRecognised) OnCommandRecognised(*this, command);
    ExecuteCommand(command, 0, extendSelection);
}

LRESULT TCustomCodeMemo::KeyRoute(int key) {
    TShiftState shift = 0;
    if (FHost && FHost->KeyDown(VK_SHIFT)) shift |= ssShift;
    if (FHost && FHost->KeyDown(VK_CONTROL)) shift |= ssCtrl;
    if (FHost && FHost->KeyDown(VK_MENU)) shift |= ssAlt;
    FKeyConsumed = false;
    EndExpansionGroup(); // the last trigger made no character
    // While the list is shown a character key leaves its character to the list's search.
    if (PopupSearchKey(key, shift)) return 0;
    if (PopupKey(key, shift)) return 1;
    if (OnKeyDown) {
        OnKeyDown(*this, key, shift);
        if (key == 0) return 1;
    }
    if (key == VK_SPACE && shift == ssCtrl && FCompletion) {
        ShowCompletion();
        FKeyConsumed = true;
        return 1;
    }
    TCM_Settings& settings = ActiveSettings();
    if (FEnabled && FTabStop && !FReadOnly) {
        TCodeMemoExpansion target(*this);
        bool handled = false;
        settings.Templates.ProcessKey(target, key, handled, shift);
        if (!handled) {
            // The trigger's character joins the replacement's undo step: one Undo takes both.
            target.SetKeepGroupOpen(MakesCharacter(key));
            settings.AutoReplace.ProcessKey(target, key, handled, shift);
            if (handled) EndExpansionGroup();
        }
        if (handled) {
            FKeyConsumed = MakesCharacter(key);
            return 1;
        }
    }
    // Shift with a movement key runs the plain command with the selection extended.
    bool extend = (shift & ssShift) != 0;
    TKeyboardActionContoller& keys = settings.KeyStore;
    auto saved = std::move(keys.OnRecognised);
    keys.OnRecognised = [this, extend](TKeyboardActionContoller&, int32_t& command, bool) {
        CommandRecognised(command, extend);
    };
    int k = key;
    TShiftState s = shift;
    bool taken = false;
    try {
        taken = keys.ProcessKey(k, s);
    } catch (...) {
        keys.OnRecognised = std::move(saved);
        throw;
    }
    keys.OnRecognised = std::move(saved);
    if (taken) {
        FKeyConsumed = MakesCharacter(key); // a sequence prefix or a command: no character follows
        return 1;
    }
    if (key == 'A' && shift == ssCtrl) {
        SelectAll();
        FKeyConsumed = MakesCharacter(key);
        return 1;
    }
    return 0;
}

LRESULT TCustomCodeMemo::CharInput(char32_t cp) {
    // Whatever the character does, an expansion's undo step ends with it.
    struct TEndExpansion {
        TCustomCodeMemo& M;
        ~TEndExpansion() { M.EndExpansionGroup(); }
    } endExpansion{*this};
    if (FKeyConsumed) {
        FKeyConsumed = false;
        return 0;
    }
    if (FPopup && !FPopup->Completion()) {
        if (cp >= 32 && cp != 127 && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF)) {
            // Typed into the list: it searches the names, the text is left alone.
            FPopup->List().TypeChar(Utf8(cp));
            if (FHost) FHost->Invalidate(FPopup->View().Bounds());
            return 1;
        }
        // Any other character ends the list and goes on; the partial word stays.
        ClosePopup(true);
    }
    if (!FEnabled || !FTabStop) return 0;
    switch (cp) {
    case 13:
        if (!FWantReturns) return 0;
        InsertTyped(13);
        break;
    case 10:
        if (FWantReturns) return 0;
        InsertTyped(13);
        break;
    case 9:
        if (HasOption(smoTabToColumn) && !HasOption(smoWordWrap))
            SmartTab();
        else if (HasOption(smoUseTAB))
            InsertTyped(9);
        else
            SmartTab();
        break;
    default:
        if (cp < 32 || cp == 127 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
        InsertTyped(cp);
        break;
    }
    ScrollCaretIntoView();
    UpdateScrollBars();
    Notify();
    // The completion list follows the word; with AutoComplete the provider may open it.
    if (CompletionShown()) RefreshCompletion();
    if (FAutoComplete && FCompletion && !FPopup && cp >= 32 &&
        FCompletion->OpensOn(TextBeforeCaret()))
        ShowCompletion();
    Repaint();
    return 1;
}

void TCustomCodeMemo::FillTo(TColumn fromColumn, TColumn toColumn, bool repaint) {
    if (toColumn <= fromColumn) return;
    ReplaceRange(FCaret, FCaret, FillText(fromColumn, toColumn));
    ApplySelection(FCaret, FCaret, repaint);
}

void TCustomCodeMemo::InsertTyped(char32_t cp) {
    if (FReadOnly) return;
    bool lineBreak = cp == 13;
    NoteChange(cfText | cfCaret | cfKey);
    TUndoStack* undo = FStore->UndoStack();
    std::optional<TColumn> indent; // none: no auto-indent
    if (lineBreak && HasOption(smoAutoIndent)) {
        const TRow line = CaretRow();
        std::string_view text = FStore->RowText(line);
        int body = int(text.size()) - (!text.empty() && text.back() == '\r' ? 1 : 0);
        int limit = FCaret - FStore->PosFromLine(line);
        int n = 0;
        while (n < limit && n < body && IsBlank(text[size_t(n)]))
            ++n;
        if (n > 0 || body == 0) indent = VisualColumn(line, TOffset(n));
    }
    TOffset start = SelFirst(), end = SelLast();
    if (lineBreak) {
        // The break and its indent are one step.
        CloseTyping();
        if (undo && FUndoLink) undo->OpenGroup(ugTyping);
        ReplaceRange(start, end, "\r");
        ApplySelection(FCaret, FCaret, !indent || !HasOption(smoWordWrap));
        if (indent == TColumn(0)) {
            // The nearest line above that holds more than blanks sets the indent.
            for (TRow line = FStore->LineFromPos(FCaret) - 1; line >= TRow(0); --line) {
                std::string_view text = FStore->RowText(line);
                size_t n = 0;
                while (n < text.size() && IsBlank(text[n]))
                    ++n;
                if (n < text.size() && text[n] != '\r') {
                    indent = VisualColumn(line, TOffset(int(n)));
                    break;
                }
            }
        }
        if (indent > TColumn(0)) FillTo(TColumn(0), *indent, true);
        if (undo) undo->CloseGroup(ugTyping);
        return;
    }
    // Each key press is an undo step of its own; grouped undo joins a run of them.
    CloseTyping();
    if (undo && FUndoLink) undo->OpenGroup(ugTyping);
    if (start == end && CaretBeyondEnd()) {
        // Typing past the line end first fills the line up to the caret.
        FillToVirtualCaret(ugTyping);
        start = end = FCaret;
    }
    if (!FInsertMode && start == end && end < FStore->TextEnd() &&
        FStore->StoredText(end, end + 1) != "\r")
        end = NextCharOffset(end);
    ReplaceRange(start, end, cp == 9 ? std::string("\t") : Utf8(cp), ugTyping);
    if (undo) undo->CloseGroup(ugTyping);
    ApplySelection(FCaret, FCaret, true);
}

void TCustomCodeMemo::SmartTab() {
    if (FReadOnly) return;
    NoteChange(cfText | cfCaret | cfKey);
    TColumn column = CaretDisplayColumn();
    TColumn target = NextTabStop(column);
    // Past the line end the fill starts at the end and runs through the caret's column.
    if (FAnchor == FCaret && CaretBeyondEnd()) column = TextCaretColumn();
    const TRow line = CaretRow();
    if (line > TRow(0) && HasOption(smoTabToColumn)) {
        // Line up with the next word of the nearest longer line above.
        for (TRow above = line - 1; above >= TRow(0); --above) {
            std::string_view text = FStore->RowText(above);
            int body = int(text.size()) - (!text.empty() && text.back() == '\r' ? 1 : 0);
            const TColumn length = VisualColumn(above, TOffset(body));
            if (length <= column) continue;
            int i = OffsetFromVisualColumn(above, column).Value();
            while (i < body && !IsBlank(text[size_t(i)]))
                ++i;
            while (i < body && IsBlank(text[size_t(i)]))
                ++i;
            target = i < body ? VisualColumn(above, TOffset(i)) : length;
            break;
        }
    }
    CloseTyping();
    TUndoStack* undo = FStore->UndoStack();
    if (undo && FUndoLink) undo->OpenGroup(ugTyping);
    if (FAnchor != FCaret) {
        ReplaceRange(FAnchor, FCaret, {});
        ApplySelection(FCaret, FCaret, false);
        column = CaretDisplayColumn();
    }
    FillTo(column, target, true);
    if (undo) undo->CloseGroup(ugTyping);
}

} // namespace quillet
