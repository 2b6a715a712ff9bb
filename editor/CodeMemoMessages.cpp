// The control's message dispatch: the one place that clamps, records undo, notifies, repaints.
#include "editor/CodeMemo.h"
#include "editor/CodeMemoWrap.h"

#include "editor/CodeMemoExpansion.h"
#include "editor/CodeMemoStrings.h"
#include "editor/CodeMemoUndoLink.h"
#include "editor/CodeMemoView.h"
#include "editor/EdStream.h"
#include "editor/EditPipeline.h"
#include "editor/LineTrack.h"
#include "editor/SearchControl.h"
#include "editor/UndoStack.h"
#include "highlight/CodeMemoParser.h"
#include "highlight/Settings.h"
#include "platform/Platform.h"
#include "platform/Utf8.h"
#include "resources/Strings.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace quillet {

// ---- undo link ---------------------------------------------------------------------------

TSelectionPair TCodeMemoUndoLink::Selection() const {
    return FMemo.SelectionPair();
}

void TCodeMemoUndoLink::SetSelection(TOffset anchor, TOffset caret) {
    FMemo.ApplySelection(FMemo.ClampOffset(anchor), FMemo.ClampOffset(caret), false);
}

std::string TCodeMemoUndoLink::TextRange(TOffset start, TOffset end) const {
    return FStore.StoredText(start, end);
}

void TCodeMemoUndoLink::InsertText(TOffset position, std::string_view text) {
    FMemo.FPipeline->Insert(position, text);
}

void TCodeMemoUndoLink::DeleteRange(TOffset start, TOffset end) {
    FMemo.FPipeline->Delete(start, end - start);
}

void TCodeMemoUndoLink::Beep() {
    if (FMemo.FHost) FMemo.FHost->Beep();
}

void TCodeMemoUndoLink::ReplayDone() {
    FMemo.MarkAllDirty();
    FMemo.ApplySelection(FMemo.FAnchor, FMemo.FCaret, true);
}

void TCodeMemoUndoLink::BeginUpdate() {
    ++FMemo.FUpdateCount;
}

void TCodeMemoUndoLink::EndUpdate() {
    if (FMemo.FUpdateCount > 0) --FMemo.FUpdateCount;
}

// ---- dispatch --------------------------------------------------------------------------

LRESULT TCustomCodeMemo::Perform(uint32_t msg, WPARAM wParam, LPARAM lParam) {
    ++FPerformDepth;
    LRESULT result = 0;
    try {
        result = Dispatch(msg, wParam, lParam);
    } catch (...) {
        --FPerformDepth;
        throw;
    }
    // The outermost message is the notification point.
    if (--FPerformDepth == 0) Notify();
    return result;
}

LRESULT TCustomCodeMemo::Dispatch(uint32_t msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case SM_SELECTION:
        return DoSelection(wParam, reinterpret_cast<TSelectionPair*>(lParam));
    case SM_OPTIONS:
        return DoOptions(wParam, lParam);
    case SM_REPLACESEL:
    case EM_REPLACESEL:
        return DoReplaceSel(msg == EM_REPLACESEL ? 0 : wParam,
                            reinterpret_cast<const char*>(lParam));
    case SM_PAINTLOCK:
        if (!(wParam & smSET)) return FPaintLock ? 1 : 0;
        FPaintLock = lParam != 0;
        if (!FPaintLock && !(wParam & smNOREPAINT)) {
            MarkAllDirty();
            UpdateScrollBars();
            Repaint();
        }
        return 0;
    case SM_LOADSTREAM: {
        auto* stream = reinterpret_cast<TStream*>(lParam);
        if (!stream) throw ECodeMemo(LoadStr(SBadStream));
        LoadStreamAtSelection(*stream);
        FAnchor = FCaret;
        if (!(wParam & smNOREPAINT)) {
            NoteChange(cfText);
            UpdateScrollBars();
            ApplySelection(FCaret, FCaret, true);
        }
        return 0;
    }
    case SM_SAVESTREAM: {
        auto* stream = reinterpret_cast<TStream*>(lParam);
        if (!stream) throw ECodeMemo(LoadStr(SBadStream));
        std::string out = FormatText(SelFirst(), SelLast(), wParam);
        return LRESULT(stream->Write(out.data(), int64_t(out.size())));
    }
    case SM_MODIFIED:
    case EM_GETMODIFY: {
        TUndoStack* undo = FStore->UndoStack();
        if (msg == SM_MODIFIED && (wParam & smSET)) {
            if (lParam == 0 && undo) {
                CloseTyping();
                undo->SetModified(false);
                NoteChange(cfText);
            }
            return 0;
        }
        return undo && undo->Modified() ? 1 : 0;
    }
    case SM_TOPLINE:
        if (wParam & smSET) ScrollTo(FLeftColumn, TRow(int(lParam)), !(wParam & smNOREPAINT));
        return FTopLine.Value();
    case SM_LEFTCOLUMN:
        if (wParam & smSET) ScrollTo(TColumn(int(lParam)), FTopLine, !(wParam & smNOREPAINT));
        return FLeftColumn.Value();
    case SM_FIND:
        return Search().Engine().FindMessage(uint32_t(wParam),
                                             reinterpret_cast<const char*>(lParam));
    case SM_REPLACE:
        return Search().Engine().ReplaceMessage(uint32_t(wParam));
    case SM_GETSELTEXT:
        return DoGetSelText(wParam, reinterpret_cast<char*>(lParam));
    case SM_CANREDO: {
        TUndoStack* undo = FStore->UndoStack();
        return undo && undo->CanRedo() ? 1 : 0;
    }
    case SM_REDO:
    case EM_UNDO:
    case WM_UNDO: {
        TUndoStack* undo = FStore->UndoStack();
        if (!undo || FReadOnly) return 0;
        CloseTyping();
        if (msg == SM_REDO)
            undo->Redo();
        else
            undo->Undo();
        UpdateScrollBars();
        Repaint();
        return 1;
    }
    case SM_INDENT:
        // wParam: the count (0: IndentStep); bit 0 of lParam asks for tab characters. A count
        // wider than a tab stop may be is refused: it would only fill memory with blanks.
        if (wParam > WPARAM(MaxTabDefault)) return 0;
        IndentBlock(wParam ? int(wParam) : IndentStep(), (lParam & 1) != 0);
        return 0;
    case SM_UNINDENT:
        if (wParam > WPARAM(MaxTabDefault)) return 0;
        UnindentBlock(wParam ? int(wParam) : IndentStep());
        return 0;
    case SM_REFRESH:
        RecalcMetrics();
        RebuildMovementKeys();
        if (FWrap) FWrap->RewrapAll();
        NoteChange(cfColors);
        UpdateScrollBars();
        Repaint();
        return 0;
    case SM_SETATTRIBUTES:
    case SM_GETATTRIBUTES:
        return DoAttributes(msg == SM_SETATTRIBUTES, reinterpret_cast<const int*>(wParam),
                            reinterpret_cast<uint8_t*>(lParam));
    case SM_UNDOSTACK:
        if (wParam & smSET) {
            // Ownership passes to the store: the caller released it from its unique_ptr.
            auto* stack = reinterpret_cast<TUndoStack*>(lParam);
            FStore->AttachUndoStack(std::unique_ptr<TUndoStack>(stack));
            NoteChange(cfText);
            return 0;
        }
        return LRESULT(FStore->UndoStack());
    case SM_TEXTSTORE:
        return DoTextStore(wParam, lParam);
    case SM_CHANGEDLINE:
        if (wParam & smSET) {
            FChangedLine = TRow(int(lParam));
            return 0;
        }
        return std::max(0, FChangedLine.Value());
    case SM_IDENTIFY: {
        static const std::string id = LoadStr(SIdentify) + Version();
        return LRESULT(id.c_str());
    }

    // ---- standard edit-control messages ----
    case EM_GETSEL: {
        if (wParam) *reinterpret_cast<int32_t*>(wParam) = FAnchor.Value();
        if (lParam) *reinterpret_cast<int32_t*>(lParam) = FCaret.Value();
        return LRESULT(uint32_t(uint16_t(SelFirst().Value())) |
                       (uint32_t(uint16_t(SelLast().Value())) << 16));
    }
    case EM_SETSEL: {
        TSelectionPair p{int32_t(intptr_t(wParam)), int32_t(lParam)};
        if (p.Anchor == 0 && p.Caret == -1) p = {-1, 0};
        return DoSelection(smSET, &p);
    }
    case EM_LINESCROLL: {
        // Any count scrolls at most to an end; the sum must not leave int.
        auto moved = [](int from, int64_t by) {
            return int(std::clamp<int64_t>(from + by, INT_MIN, INT_MAX));
        };
        ScrollTo(TColumn(moved(FLeftColumn.Value(), int(intptr_t(wParam)))),
                 TRow(moved(FTopLine.Value(), int(lParam))), true);
        return 1;
    }
    case EM_SCROLLCARET: {
        TSelectionPair p = SelectionPair();
        return DoSelection(smSET, &p);
    }
    case EM_GETLINECOUNT:
        return std::max(1, FStore->LineCount());
    case EM_LINEINDEX: {
        TRow line{int(intptr_t(wParam))};
        if (line == TRow(-1)) line = CaretRow();
        if (line < TRow(0)) return -1;
        if (line >= TRow(FStore->LineCount())) return FStore->CharCount();
        return FStore->PosFromLine(line).Value();
    }
    case EM_LINELENGTH: {
        int offset = int(intptr_t(wParam));
        const TRow line =
            offset < 0 ? CaretRow() : FStore->LineFromPos(ClampOffset(TOffset(offset)));
        std::string_view text = FStore->RowText(line);
        return LRESULT(text.size() - (!text.empty() && text.back() == '\r' ? 1 : 0));
    }
    case EM_GETLINE:
        return DoGetLine(int(intptr_t(wParam)), reinterpret_cast<char*>(lParam));
    case EM_CANUNDO: {
        TUndoStack* undo = FStore->UndoStack();
        return undo && undo->CanUndo() ? 1 : 0;
    }
    case EM_LINEFROMCHAR: {
        int offset = int(intptr_t(wParam));
        return (offset < 0 ? CaretRow() : FStore->LineFromPos(ClampOffset(TOffset(offset))))
            .Value();
    }
    case EM_EMPTYUNDOBUFFER:
        CloseTyping();
        if (TUndoStack* undo = FStore->UndoStack()) undo->Clear();
        return 0;
    case EM_GETFIRSTVISIBLELINE:
        return FTopLine.Value();
    case EM_POSFROMCHAR: {
        TPoint p = FView->OffsetToPixel(SnapOffset(TOffset(int(lParam))));
        if (wParam) *reinterpret_cast<TPoint*>(wParam) = p;
        return MakeLong(p.X, p.Y);
    }
    case EM_CHARFROMPOS:
        return FView->PixelToOffset(PointParamX(lParam), PointParamY(lParam))
            .value_or(TOffset(-1))
            .Value();

    // ---- window messages ----
    case WM_SIZE: {
        int width = LoWord(lParam), height = HiWord(lParam);
        bool widthChanged = width != FClientWidth;
        FClientWidth = width;
        FClientHeight = height;
        RecalcMetrics();
        if (widthChanged && HasOption(smoWordWrap)) {
            FLeftColumn = TColumn(0);
            if (WrapAtColumn() <= 0 && FWrap) FWrap->RewrapAll();
        }
        NoteChange(cfScroll);
        UpdateScrollBars();
        Repaint();
        return 0;
    }
    case WM_SETFOCUS:
        FFocused = true;
        FCaretCreated = false;
        MarkAllDirty();
        Repaint();
        return 0;
    case WM_KILLFOCUS:
        FFocused = false;
        ClosePopup(true);
        FSelecting = false;
        FDragPending = false;
        FMarginDragging = false; // a drag cut short keeps the old column
        if (FHost) FHost->DestroyCaret();
        FCaretCreated = false;
        MarkAllDirty();
        Repaint();
        return 0;
    case WM_SETREDRAW:
        FRedraw = wParam != 0;
        if (FRedraw) {
            MarkAllDirty();
            NoteChange(cfScroll);
            UpdateScrollBars();
            Repaint();
        }
        return 0;
    case WM_SETTEXT: {
        const char* text = reinterpret_cast<const char*>(lParam);
        TFastMemoryStream stream(text ? text : "");
        LoadFromStream(stream);
        return 1;
    }
    case WM_GETTEXT:
        return DoGetText(wParam, reinterpret_cast<char*>(lParam));
    case WM_GETTEXTLENGTH:
        return DoGetTextLength();
    case WM_PAINT:
        if (FHost && FRedraw && !FPaintLock && FUpdateCount == 0 && !FPrinting) {
            FView->Paint(FHost->Canvas());
            if (FPopup) FPopup->View().Paint(FHost->Canvas());
            FView->PlaceCaret();
        }
        return 0;
    case WM_ERASEBKGND:
        MarkAllDirty();
        return 1;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS | (FWantTab ? DLGC_WANTTAB : 0);
    case WM_HSCROLL:
    case WM_VSCROLL:
        return DoScroll(msg == WM_VSCROLL, wParam);
    case WM_MOUSEWHEEL: {
        int delta = int16_t(uint16_t(HiWord(intptr_t(wParam))));
        ScrollTo(FLeftColumn, FTopLine - delta / 120 * 3, true);
        return 0;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        LRESULT taken = KeyRoute(int(wParam));
        if (FCompletionRefresh) RefreshCompletion(); // a Backspace went on to the text
        return taken;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP:
        // A taken key's own character arrives before its key-up; one that comes later (from an
        // input method) is typed.
        FKeyConsumed = false;
        return 0;
    case WM_CHAR:
        return CharInput(char32_t(wParam));
    case WM_LBUTTONDOWN:
        return MouseDown(wParam, PointParamX(lParam), PointParamY(lParam));
    case WM_MOUSEMOVE:
        return MouseMove(wParam, PointParamX(lParam), PointParamY(lParam));
    case WM_LBUTTONUP:
        return MouseUp(wParam, PointParamX(lParam), PointParamY(lParam));
    case WM_LBUTTONDBLCLK:
        return DoubleClick(PointParamX(lParam), PointParamY(lParam));
    case WM_CUT:
    case WM_COPY:
    case WM_PASTE:
    case WM_CLEAR:
    case CM_CANPASTE:
        return DoClipboard(msg, wParam);
    case WM_ENABLE:
        FEnabled = wParam != 0;
        [[fallthrough]];
    case CM_ENABLEDCHANGED:
        RecalcMetrics();
        NoteChange(cfScroll);
        Repaint();
        return 0;
    case WM_SETFONT:
    case CM_FONTCHANGED:
        FActiveSettings->Styles[0].Font.reset();
        RecalcMetrics();
        NoteChange(cfColors);
        if (TCustomCodeMemoParser* parser = ActiveDefinition()) parser->NotifyUsers();
        UpdateScrollBars();
        Repaint();
        return 0;
    default:
        return 0;
    }
}

LRESULT TCustomCodeMemo::DoSelection(WPARAM flags, TSelectionPair* pair) {
    if (!pair) return 0;
    if (!(flags & smSET)) {
        *pair = SelectionPair();
        return 0;
    }
    CloseTyping();
    TOffset anchor(pair->Anchor), caret(pair->Caret);
    if (anchor == TOffset(-1)) {
        anchor = TOffset(0);
        caret = TextEnd();
    }
    ApplySelection(SnapOffset(anchor), SnapOffset(caret), !(flags & smNOREPAINT));
    return 0;
}

LRESULT TCustomCodeMemo::DoOptions(WPARAM flags, LPARAM value) {
    if (!(flags & smSET)) return LRESULT(FActiveSettings->Options);
    TCodeMemoOptions word = TCodeMemoOptions(value) & ~smoUnusedBits;
    TCodeMemoOptions old = FActiveSettings->Options;
    FActiveSettings->Options = word;
    if ((old ^ word) & smoWordWrap) {
        FLeftColumn = TColumn(0);
        MarkAllDirty();
    }
    if (((old ^ word) & (smoWordWrap | smoWrapOverride)) && FWrap) FWrap->RewrapAll();
    if (!(flags & smNOREPAINT)) {
        UpdateScrollBars();
        SettingsChanged(cfOptions);
    }
    return 0;
}

LRESULT TCustomCodeMemo::DoReplaceSel(WPARAM flags, const char* text) {
    if (FReadOnly) return 0;
    // One undo step of its own kind, so a caller's insertion is told apart from typing.
    TUndoStack* undo = FStore->UndoStack();
    if (undo && !undo->Replaying()) undo->OpenGroup(ugReplaceSel);
    ReplaceRange(FAnchor, FCaret, text ? std::string_view(text) : std::string_view());
    if (undo && !undo->Replaying()) undo->CloseGroup(ugReplaceSel);
    if (!(flags & smNOREPAINT) && FRedraw) {
        NoteChange(cfText);
        ApplySelection(FCaret, FCaret, true);
    }
    return 0;
}

LRESULT TCustomCodeMemo::DoGetSelText(WPARAM format, char* buffer) {
    std::string out = FormatText(SelFirst(), SelLast(), format);
    if (buffer) {
        std::memcpy(buffer, out.data(), out.size());
        buffer[out.size()] = '\0';
    }
    return LRESULT(out.size());
}

LRESULT TCustomCodeMemo::DoGetText(WPARAM size, char* buffer) {
    if (!buffer || size == 0) return 0;
    // The size counts the terminating zero, as the platform's edit control does.
    WPARAM format = SelLineStyle() == lsCRLF ? sfmCRLF : 0;
    std::string out = FormatAll(format);
    size_t n = std::min(out.size(), size_t(size) - 1);
    // Never end inside a CR LF pair or a UTF-8 sequence.
    if (n < out.size()) {
        n = Utf8CharStart(out, n);
        if (n > 0 && out[n - 1] == '\r' && out[n] == '\n') --n;
    }
    std::memcpy(buffer, out.data(), n);
    buffer[n] = '\0';
    return LRESULT(n);
}

LRESULT TCustomCodeMemo::DoGetTextLength() {
    int count = FStore->CharCount();
    // Each stored break goes out as two characters; rows cut by wrapping have none.
    if (SelLineStyle() == lsCRLF)
        count += FWrap->LogicalLineOf(TRow(FStore->LineCount() - 1)) - TLogicalLine(0);
    return count;
}

LRESULT TCustomCodeMemo::DoGetLine(int line, char* buffer) {
    if (!buffer || line < 0 || line >= FStore->LineCount()) return 0;
    uint16_t size;
    std::memcpy(&size, buffer, sizeof size);
    std::string_view text = FStore->RowText(TRow(line));
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    size_t n = std::min<size_t>(text.size(), size);
    std::memcpy(buffer, text.data(), n);
    return LRESULT(n);
}

LRESULT TCustomCodeMemo::DoAttributes(bool set, const int* range, uint8_t* buffer) {
    if (!buffer) return 0;
    TRow first(0), last(FStore->LineCount() - 1);
    if (range) {
        first = std::max(first, TRow(range[0]));
        last = std::min(last, TRow(range[1]));
    }
    size_t at = 0;
    for (TRow row = first; row <= last; ++row) {
        TLineRecord& rec = FStore->Line(row);
        size_t length = size_t(FStore->RowLength(row));
        if (set) {
            auto& attrs = rec.EnsureExtra().Attributes;
            attrs.assign(buffer + at, buffer + at + length);
            rec.Flags |= lfRescan;
        } else if (length > 0 && rec.Extra && rec.Extra->Attributes.size() == length) {
            // (an empty line's bytes may have no storage at all: no copy from nowhere)
            std::memcpy(buffer + at, rec.Extra->Attributes.data(), length);
        } else {
            std::memset(buffer + at, 0, length);
        }
        at += length;
    }
    if (set) {
        MarkAllDirty();
        Repaint();
    }
    return LRESULT(at);
}

LRESULT TCustomCodeMemo::DoScroll(bool vertical, WPARAM code) {
    int request = LoWord(intptr_t(code));
    int pos = HiWord(intptr_t(code));
    int count = FStore->LineCount();
    int scale = count > 32000 ? count / 32000 + 1 : 1;
    if (vertical) {
        TRow top = FTopLine;
        switch (request) {
        case SB_LINEUP:
            --top;
            break;
        case SB_LINEDOWN:
            ++top;
            break;
        case SB_PAGEUP:
            top -= std::max(1, FVisibleLines);
            break;
        case SB_PAGEDOWN:
            top += std::max(1, FVisibleLines);
            break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK:
            top = TRow(pos * scale);
            break;
        case SB_TOP:
            top = TRow(0);
            break;
        case SB_BOTTOM:
            top = TRow(count - 1);
            break;
        default:
            return 0;
        }
        ScrollTo(FLeftColumn, top, true);
    } else {
        TColumn left = FLeftColumn;
        switch (request) {
        case SB_LINEUP:
            --left;
            break;
        case SB_LINEDOWN:
            ++left;
            break;
        case SB_PAGEUP:
            left -= std::max(1, FVisibleColumns);
            break;
        case SB_PAGEDOWN:
            left += std::max(1, FVisibleColumns);
            break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK:
            left = TColumn(pos);
            break;
        case SB_TOP:
            left = TColumn(0);
            break;
        case SB_BOTTOM:
            left = TColumn(ScrollWidth(FTopLine));
            break;
        default:
            return 0;
        }
        ScrollTo(left, FTopLine, true);
    }
    return 0;
}

LRESULT TCustomCodeMemo::DoClipboard(uint32_t msg, WPARAM format) {
    IClipboard* clip = Platform().Clipboard.get();
    if (!clip) return 0;
    // Only text is pasted (HTML arrives as its text); a question about another format is no.
    if (msg == CM_CANPASTE)
        return format <= 1 && (clip->HasText() || clip->HasFormat(cbfHtml)) ? 1 : 0;
    const TOffset a = SelFirst(), b = SelLast();
    // A cut that cannot remove the text copies nothing either.
    if (msg == WM_COPY || (msg == WM_CUT && !FReadOnly)) {
        // Even an empty selection replaces what the clipboard held.
        clip->Clear();
        if (FClipFormats & smTEXT) clip->Set(cbfText, FormatText(a, b, sfmCRLF));
        if (FClipFormats & smRTF) clip->Set(cbfRichText, FormatText(a, b, sfmRTF));
    }
    if (FReadOnly) return 0;
    if ((msg == WM_CUT || msg == WM_CLEAR) && a != b) {
        TUndoStack* undo = FStore->UndoStack();
        if (undo && msg == WM_CUT) undo->OpenGroup(ugCut);
        ReplaceRange(a, b, {});
        if (undo && msg == WM_CUT) undo->CloseGroup(ugCut);
    } else if (msg == WM_PASTE) {
        // The same choice as a drop: plain text first, else HTML, each as OnDataDrop leaves it.
        TSourceTypes types =
            (clip->HasFormat(cbfHtml) ? dsHtml : 0) | (clip->HasText() ? dsText : 0);
        if (!types) return 0;
        types |= dsPaste;
        if (OnDataDrop) OnDataDrop(*this, types);
        std::string text;
        if (types & dsRefuse) return 0;
        if (types & dsText)
            text = clip->Text();
        else if (types & dsHtml)
            text = (types & dsInsertUnchanged) ? clip->Get(cbfHtml)
                                               : ProcessDroppedHtml(clip->Get(cbfHtml), types);
        else
            return 0;
        TUndoStack* undo = FStore->UndoStack();
        if (undo) undo->OpenGroup(ugPaste);
        ReplaceRange(a, b, text);
        if (undo) undo->CloseGroup(ugPaste);
    } else {
        return 0;
    }
    NoteChange(cfText);
    UpdateScrollBars();
    ApplySelection(FCaret, FCaret, true);
    return 0;
}

LRESULT TCustomCodeMemo::DoTextStore(WPARAM flags, LPARAM pointer) {
    if (!(flags & smSET)) {
        if (pointer) *reinterpret_cast<TTextStore**>(pointer) = FStore;
        return LRESULT(FStore);
    }
    auto* store = reinterpret_cast<TTextStore*>(pointer);
    if (!store) store = FOwnStore.get();
    if (store == FStore) return 0;
    ClosePopup(true);
    CloseTyping();
    FPipeline->Detach();
    FStore->DetachControl(this);
    FUndoLink.reset();
    FStore = store;
    FStore->AttachControl(this);
    // Only the store's owner logs undo, so a shared store records each edit once.
    if (FStore == FOwnStore.get()) FUndoLink = std::make_unique<TCodeMemoUndoLink>(*this, *FStore);
    FPipeline->Attach(*FStore);
    FKnownLineCount = FStore->LineCount();
    FAnchor = FCaret = TOffset(0);
    FTopLine = TRow(0);
    FLeftColumn = TColumn(0);
    // What the tracker holds are places in the old text.
    if (FTracker->HasMarks()) FTracker->Marks().Clear();
    FTracker->Named.Clear();
    FTracker->Breakpoints.Clear();
    FKept.Clear();
    FTracker->CodeBreak.Clear();
    FWrap->RewrapAll();
    MarkAllDirty();
    NoteChange(cfText);
    UpdateScrollBars();
    Repaint();
    return 0;
}

} // namespace quillet
