// Drag and drop: the control as a drop target, dragging its selection out, and the HTML a drop
// or a paste brings.
#include "editor/CodeMemo.h"

#include "editor/CodeMemoView.h"
#include "editor/UndoStack.h"

#include <algorithm>
#include <sstream>

namespace quillet {

std::string ProcessDroppedHtml(std::string text, TSourceTypes types) {
    if (!(types & (dsHtmlFromFirstTag | dsHtmlFragment))) return text;
    size_t tag = text.find('<');
    text.erase(0, tag == std::string::npos ? text.size() : tag);
    if (types & dsHtmlFromFirstTag) return text;
    static constexpr std::string_view start = "<!--StartFragment-->";
    static constexpr std::string_view end = "<!--EndFragment-->";
    size_t from = text.find(start);
    if (from == std::string::npos) return text;
    size_t to = text.find(end, from + start.size());
    if (to == std::string::npos) return text;
    return text.substr(from + start.size(), to - from - start.size());
}

namespace {

TDropEffect EffectOf(TShiftState shift) {
    return (shift & ssCtrl) ? deCopy : deMove;
}

} // namespace

TSourceTypes TCustomCodeMemo::OfferedFormats(const IDropData& data) {
    TSourceTypes types = 0;
    if (data.HasFormat(cbfUnicodeText)) types |= dsUnicodeText;
    if (data.HasFormat(cbfText)) types |= dsText;
    if (data.HasFormat(cbfHtml)) types |= dsHtml;
    if (HasOption(smoProcessDroppedFiles) && data.HasFormat(cbfFiles)) types |= dsFiles;
    return types;
}

TDropEffect TCustomCodeMemo::DragEnter(const IDropData& data, TShiftState shift, TPoint at) {
    FDropData = &data;
    // A read-only control takes nothing: a move into it would lose the text at its source.
    FDropTypes = FEnabled && !FReadOnly ? OfferedFormats(data) : 0;
    if (!FDropTypes) return deNone;
    FDropCaret = true;
    return DragOver(shift, at);
}

TDropEffect TCustomCodeMemo::DragOver(TShiftState shift, TPoint at) {
    if (!FDropTypes || !FDropCaret) return deNone;
    // Near an edge the view scrolls towards it, a step per move.
    const int lh = FView->Metrics().LineHeight;
    const int cw = FView->Metrics().CharWidth;
    const int textLeft = FView->TextLeft();
    int dx = 0, dy = 0;
    if (at.Y < 2 * lh && FTopLine > TRow(0))
        dy = -1;
    else if (FClientHeight > 0 && at.Y >= FClientHeight - 2 * lh)
        dy = 1;
    else if (at.X < textLeft + 2 * cw && FLeftColumn > TColumn(0))
        dx = -1;
    else if (FClientWidth > 0 && at.X >= FClientWidth - 2 * cw)
        dx = 1;
    if (dx || dy) ScrollTo(FLeftColumn + dx, FTopLine + dy, true);
    FDropPos = FView->PixelToOffsetClamped(std::max(at.X, textLeft),
                                           std::clamp(at.Y, 0, std::max(0, FClientHeight - lh)));
    TDropEffect effect = FReadOnly ? deNone : EffectOf(shift);
    if (OnOLEDragOver && FDropData) OnOLEDragOver(*this, *FDropData, at, effect);
    FView->PlaceCaret();
    if (FHost) FHost->InvalidateAll();
    return effect;
}

void TCustomCodeMemo::DragLeave() {
    EndDropCaret();
}

void TCustomCodeMemo::EndDropCaret() {
    bool was = FDropCaret;
    FDropCaret = false;
    FDropData = nullptr;
    FDropTypes = 0;
    if (was && FHost) {
        FView->PlaceCaret();
        if (!FFocused) FHost->ShowCaret(false);
        FHost->InvalidateAll();
    }
}

TDropEffect TCustomCodeMemo::Drop(const IDropData& data, TShiftState shift, TPoint at) {
    FDropData = &data;
    TSourceTypes offered = FEnabled ? OfferedFormats(data) : 0;
    if (!offered) {
        EndDropCaret();
        return deNone;
    }
    const int lh = FView->Metrics().LineHeight;
    FDropPos = FView->PixelToOffsetClamped(std::max(at.X, FView->TextLeft()),
                                           std::clamp(at.Y, 0, std::max(0, FClientHeight - lh)));
    TSourceTypes types = offered | dsInsertUnchanged | dsFilesDropped;
    if (OnDataDrop) OnDataDrop(*this, types);
    if ((types & dsRefuse) || !(types & offered & dsFormats)) {
        EndDropCaret();
        return deNone;
    }
    static constexpr struct {
        TSourceTypes Bit;
        std::string_view Format;
    } order[] = {
        {dsHtml, cbfHtml}, {dsText, cbfText}, {dsUnicodeText, cbfUnicodeText}, {dsFiles, cbfFiles}};
    for (const auto& f : order) {
        if (!(types & offered & f.Bit)) continue;
        std::string text = data.Get(f.Format);
        return DropText(std::move(text), EffectOf(shift), TSourceTypes((types & dsActions) | f.Bit),
                        at);
    }
    EndDropCaret();
    return deNone;
}

TDropEffect TCustomCodeMemo::DropText(std::string text, TDropEffect effect, TSourceTypes types,
                                      TPoint at) {
    if ((types & dsHtml) && !(types & dsInsertUnchanged)) text = ProcessDroppedHtml(text, types);
    if (types & dsFiles) {
        // Files are only ever copied: a move would have the file manager delete them.
        effect = deCopy;
        if ((types & dsFilesDropped) && HasOption(smoProcessDroppedFiles) && OnFilesDropped) {
            std::vector<std::string> names;
            std::istringstream in(text);
            for (std::string name; std::getline(in, name);)
                if (!name.empty()) names.push_back(name);
            OnFilesDropped(*this, names, at);
            text.clear();
            for (size_t i = 0; i < names.size(); ++i)
                text += (i ? "\r\n" : "") + names[i];
            if (!(types & dsInsertUnchanged)) {
                EndDropCaret();
                if (FHost) FHost->SetFocus();
                return effect;
            }
        }
    }
    const TOffset a = SelFirst(), b = SelLast();
    TOffset pos = FDropPos;
    EndDropCaret();
    if (FOwnDrag && pos >= a && pos <= b) return deNone; // dropped onto itself
    if (FReadOnly || text.empty()) return deNone;
    TUndoStack* undo = FStore->UndoStack();
    if (undo) undo->OpenGroup(ugDrag);
    if (FOwnDrag && effect == deMove) {
        if (pos > b) pos -= b - a;
        ReplaceRange(a, b, {});
    }
    ReplaceRange(pos, pos, text);
    const TOffset end = FCaret;
    if (FOwnDrag) {
        // The drag loop closes the group when it ends, and selects what was dropped.
        FOwnDropStart = pos;
        FOwnDropLength = end - pos;
    } else if (undo) {
        undo->CloseGroup(ugDrag);
    }
    NoteChange(cfText);
    UpdateScrollBars();
    ApplySelection(end, end, true);
    if (FHost) FHost->SetFocus();
    return effect;
}

void TCustomCodeMemo::DragSelection() {
    const TOffset a = SelFirst(), b = SelLast();
    if (a == b || !FHost) return;
    std::string text = FStore->GetText(a, b, sfTEXT);
    FOwnDrag = true;
    FOwnDropStart.reset();
    TDropEffect effect = deNone;
    try {
        effect = FHost->DragText(text, !FReadOnly);
    } catch (...) {
        FOwnDrag = false;
        throw;
    }
    FOwnDrag = false;
    TUndoStack* undo = FStore->UndoStack();
    if (FOwnDropStart) {
        ApplySelection(*FOwnDropStart, *FOwnDropStart + FOwnDropLength, true);
    } else if (effect == deMove && !FReadOnly) {
        // Moved to another window: the text leaves this one, in one undo step.
        if (undo) undo->OpenGroup(ugDrag);
        ReplaceRange(a, b, {});
        NoteChange(cfText);
        UpdateScrollBars();
        ApplySelection(a, a, true);
    }
    if (undo && undo->OpenGroupId() == ugDrag) undo->CloseGroup(ugDrag);
    FOwnDropStart.reset();
    Notify();
}

} // namespace quillet
