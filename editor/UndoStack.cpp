#include "editor/UndoStack.h"

#include "resources/Strings.h"

#include <algorithm>
#include <exception>

namespace quillet {

namespace {

[[noreturn]] void BadState() {
    throw EUndoError(LoadStr(SBadUndoState));
}

TSelectionPair Ordered(TSelectionPair p) {
    if (p.Anchor > p.Caret) std::swap(p.Anchor, p.Caret);
    return p;
}

// Replay steps check every record they take: a log that was damaged (or
// written by an unbalanced caller) must not be replayed half-way silently.
const TUndoRecord& Expect(const TUndoRecord& r, int kind) {
    if (r.Kind != kind) BadState();
    return r;
}

} // namespace

TUndoStack::TUndoStack(TUndoTarget* target) : FTarget(target) {}

void TUndoStack::PushRecord(TUndoRecord record) {
    int64_t size = record.AccountedSize();
    FLog.Push(std::move(record), size);
}

void TUndoStack::PushMarker(int id, int role) {
    TUndoRecord r;
    r.Kind = urkMarker;
    r.Value = role;
    r.Payload = id;
    PushRecord(std::move(r));
}

void TUndoStack::PushRange(TSelectionPair range) {
    TUndoRecord r;
    r.Kind = urkRange;
    r.Payload = range.Anchor;
    r.Payload2 = range.Caret;
    PushRecord(std::move(r));
}

void TUndoStack::PushText(std::string_view text) {
    TUndoRecord r;
    r.Kind = urkText;
    r.Text.assign(text);
    PushRecord(std::move(r));
}

void TUndoStack::PushBracket(int id, int role, TSelectionPair range) {
    PushMarker(id, role);
    PushRange(range);
    PushMarker(id, role);
}

void TUndoStack::PushTransaction(TSelectionPair before, std::string_view removed,
                                 std::string_view inserted, TSelectionPair after) {
    PushMarker(uopReplace, umrTransaction);
    PushRange(before);
    PushText(removed);
    PushText(inserted);
    PushRange(after);
    PushMarker(uopReplace, umrTransaction);
}

void TUndoStack::BadTransaction() {
    Clear();
    if (FTarget) FTarget->Beep();
    throw EUndoError(LoadStr(SBadTransaction));
}

void TUndoStack::BeginTransaction(std::string_view textToInsert) {
    if (!FRecording || FReplaying) return;
    if (FTransactionOpen) BadTransaction();
    FTransStart = FTarget ? FTarget->Selection() : TSelectionPair{};
    TSelectionPair range = Ordered(FTransStart);
    FTransRemoved =
        FTarget ? FTarget->TextRange(TOffset(range.Anchor), TOffset(range.Caret)) : std::string();
    FTransInserted.assign(textToInsert);
    FTransactionOpen = true;
}

void TUndoStack::EndTransaction() {
    if (!FRecording || FReplaying) return;
    if (!FTransactionOpen) BadTransaction();
    FTransactionOpen = false;
    TSelectionPair after = FTarget ? FTarget->Selection() : TSelectionPair{};
    PushTransaction(FTransStart, FTransRemoved, FTransInserted, after);
    FTransRemoved.clear();
    FTransInserted.clear();
}

void TUndoStack::LogInsert(TOffset at, std::string_view text) {
    if (!FRecording || FReplaying || FTransactionOpen || text.empty()) return;
    const int position = at.Value();
    int end = position + int(text.size());
    PushTransaction({position, position}, {}, text, {end, end});
}

void TUndoStack::LogDelete(TOffset at, std::string_view removed) {
    if (!FRecording || FReplaying || FTransactionOpen || removed.empty()) return;
    const int position = at.Value();
    PushTransaction({position, position + int(removed.size())}, removed, {}, {position, position});
}

void TUndoStack::LogReplace(TSelectionPair before, std::string_view removed,
                            std::string_view inserted, TSelectionPair after) {
    if (!FRecording || FReplaying || FTransactionOpen) return;
    PushTransaction(before, removed, inserted, after);
}

void TUndoStack::LogIndent(TOffset at, std::string_view inserted) {
    if (!FRecording || FReplaying) return;
    const int offset = at.Value();
    int end = offset + int(inserted.size());
    PushTransaction({offset, offset}, {}, inserted, {end, end});
}

// The removed blanks are logged as they were (TABs included), so that undo
// gives back the exact text.
void TUndoStack::LogUnindent(TOffset at, std::string_view removed) {
    if (!FRecording || FReplaying) return;
    const int offset = at.Value();
    PushTransaction({offset, offset + int(removed.size())}, removed, {}, {offset, offset});
}

void TUndoStack::OpenGroup(int id) {
    if (!FRecording || FReplaying || FGroupOpen) return;
    FGroupOpen = true;
    FGroupId = id;
    PushBracket(id, umrGroupBegin, FTarget ? FTarget->Selection() : TSelectionPair{});
}

void TUndoStack::CloseGroup(int id) {
    if (!FRecording || FReplaying || !FGroupOpen || id != FGroupId) return;
    PushBracket(id, umrGroupEnd, FTarget ? FTarget->Selection() : TSelectionPair{});
    FGroupOpen = false;
    FGroupId = 0;
}

void TUndoStack::Clear() {
    FLog.Clear();
    FCursor = 0;
    FTransactionOpen = false;
}

void TUndoStack::SetModified(bool value) {
    if (!value) Clear();
}

void TUndoStack::ApplyReplace(const TUndoRecord& before, const std::string& oldText,
                              const std::string& newText, const TUndoRecord& after) {
    // The text to take out starts where the before-range starts and is as
    // long as what the transaction put there.
    const TOffset start(std::min(before.Payload, before.Payload2));
    if (!oldText.empty()) FTarget->DeleteRange(start, start + int(oldText.size()));
    if (!newText.empty()) FTarget->InsertText(start, newText);
    FTarget->SetSelection(TOffset(after.Payload), TOffset(after.Payload2));
}

bool TUndoStack::UndoStep(bool& inGroup) {
    const TUndoRecord& marker = Expect(FLog.Pop(), urkMarker);
    int id = marker.Payload;
    switch (marker.Value) {
    case umrGroupEnd: {
        if (inGroup) BadState();
        const TUndoRecord& range = Expect(FLog.Pop(), urkRange);
        (void)range;
        const TUndoRecord& open = Expect(FLog.Pop(), urkMarker);
        if (open.Payload != id || open.Value != umrGroupEnd) BadState();
        inGroup = true;
        break;
    }
    case umrGroupBegin: {
        const TUndoRecord& range = Expect(FLog.Pop(), urkRange);
        TSelectionPair sel{range.Payload, range.Payload2};
        const TUndoRecord& open = Expect(FLog.Pop(), urkMarker);
        if (open.Payload != id || open.Value != umrGroupBegin) BadState();
        inGroup = false;
        FTarget->SetSelection(TOffset(sel.Anchor), TOffset(sel.Caret));
        break;
    }
    case umrTransaction: {
        Expect(FLog.Pop(), urkRange); // the after-range
        const TUndoRecord& inserted = Expect(FLog.Pop(), urkText);
        const TUndoRecord& removed = Expect(FLog.Pop(), urkText);
        const TUndoRecord& before = Expect(FLog.Pop(), urkRange);
        const TUndoRecord& open = Expect(FLog.Pop(), urkMarker);
        if (open.Payload != id || open.Value != umrTransaction) BadState();
        // Undo turns the after-state back into the before-state.
        ApplyReplace(before, inserted.Text, removed.Text, before);
        break;
    }
    default:
        BadState();
    }
    return inGroup;
}

bool TUndoStack::RedoStep(bool& inGroup) {
    const TUndoRecord& marker = Expect(FLog.Advance(), urkMarker);
    int id = marker.Payload;
    switch (marker.Value) {
    case umrGroupBegin: {
        if (inGroup) BadState();
        Expect(FLog.Advance(), urkRange);
        const TUndoRecord& close = Expect(FLog.Advance(), urkMarker);
        if (close.Payload != id || close.Value != umrGroupBegin) BadState();
        inGroup = true;
        break;
    }
    case umrGroupEnd: {
        if (!inGroup) BadState();
        const TUndoRecord& range = Expect(FLog.Advance(), urkRange);
        TSelectionPair sel{range.Payload, range.Payload2};
        const TUndoRecord& close = Expect(FLog.Advance(), urkMarker);
        if (close.Payload != id || close.Value != umrGroupEnd) BadState();
        inGroup = false;
        FTarget->SetSelection(TOffset(sel.Anchor), TOffset(sel.Caret));
        break;
    }
    case umrTransaction: {
        const TUndoRecord& before = Expect(FLog.Advance(), urkRange);
        const TUndoRecord& removed = Expect(FLog.Advance(), urkText);
        const TUndoRecord& inserted = Expect(FLog.Advance(), urkText);
        const TUndoRecord& after = Expect(FLog.Advance(), urkRange);
        const TUndoRecord& close = Expect(FLog.Advance(), urkMarker);
        if (close.Payload != id || close.Value != umrTransaction) BadState();
        ApplyReplace(before, removed.Text, inserted.Text, after);
        break;
    }
    default:
        BadState();
    }
    return inGroup;
}

void TUndoStack::ReplayFailed(const std::string& message) {
    Clear();
    FTarget->Beep();
    if (OnReplayError) OnReplayError(*this, message);
}

void TUndoStack::Undo() {
    if (!CanUndo() || !FTarget || FReplaying) return;
    // A group left open by its caller is given up: closing it later would
    // log an end bracket without its begin.
    FGroupOpen = false;
    bool wasRecording = FRecording;
    FRecording = false;
    FReplaying = true;
    FUndoing = true;
    try {
        bool inGroup = false;
        do {
            if (UndoStep(inGroup)) FTarget->ReplayStep();
        } while (inGroup);
    } catch (const std::exception& e) {
        ReplayFailed(e.what());
    }
    FReplaying = false;
    FRecording = wasRecording;
    FTarget->ReplayDone();
}

void TUndoStack::Redo() {
    if (!CanRedo() || !FTarget || FReplaying) return;
    FGroupOpen = false;
    bool wasRecording = FRecording;
    FRecording = false;
    FReplaying = true;
    FUndoing = false;
    try {
        bool inGroup = false;
        do {
            if (RedoStep(inGroup)) FTarget->ReplayStep();
            // A group whose end was never logged runs to the top.
        } while (inGroup && FLog.CanRedo());
    } catch (const std::exception& e) {
        ReplayFailed(e.what());
    }
    FReplaying = false;
    FRecording = wasRecording;
    FTarget->ReplayDone();
}

void TUndoStack::ReplayTo(TStackNode node) {
    ptrdiff_t target = FLog.IndexOf(node);
    if (target < 0 || !FTarget) return;
    FTarget->BeginUpdate();
    if (target <= FLog.CurrentIndex()) {
        while (FLog.CurrentIndex() > target) {
            size_t before = FLog.UndoableCount();
            Undo();
            if (FLog.UndoableCount() >= before) break;
        }
        if (FLog.CurrentIndex() == target) Undo();
    } else {
        while (FLog.CurrentIndex() < target && FLog.CanRedo()) {
            size_t before = FLog.UndoableCount();
            Redo();
            if (FLog.UndoableCount() <= before) break;
        }
    }
    FTarget->EndUpdate();
}

bool TUndoStack::IsMarker(ptrdiff_t index, int role) const {
    if (index < 0 || size_t(index) >= FLog.Count()) return false;
    const TUndoRecord& r = FLog.At(size_t(index));
    return r.Kind == urkMarker && r.Value == role;
}

bool TUndoStack::SameRange(ptrdiff_t a, ptrdiff_t b) const {
    if (a < 0 || b < 0 || size_t(a) >= FLog.Count() || size_t(b) >= FLog.Count()) return false;
    const TUndoRecord& x = FLog.At(size_t(a));
    const TUndoRecord& y = FLog.At(size_t(b));
    return x.Kind == urkRange && y.Kind == urkRange && x.Payload == y.Payload &&
           x.Payload2 == y.Payload2;
}

ptrdiff_t TUndoStack::FindOlder(ptrdiff_t from, int role) const {
    for (ptrdiff_t i = std::min(from, ptrdiff_t(FLog.Count()) - 1); i >= 0; --i)
        if (IsMarker(i, role)) return i;
    return -1;
}

ptrdiff_t TUndoStack::FindNewer(ptrdiff_t from, int role) const {
    for (ptrdiff_t i = std::max<ptrdiff_t>(from, 0); size_t(i) < FLog.Count(); ++i)
        if (IsMarker(i, role)) return i;
    return -1;
}

// A group end bracket is [marker, range, marker] oldest first, as is a begin
// bracket; walking older, the first role-3 marker met is the end's last record.
int TUndoStack::StepBack(bool merge, int* id, TStackNode* node) {
    ptrdiff_t end = FindOlder(FLog.IndexOf(FCursor), umrGroupEnd);
    if (end < 0) return ugrNoGroup;
    int groupId = FLog.At(size_t(end)).Payload;
    for (;;) {
        FCursor = FLog.NodeAt(end - 3);
        if (!merge) break;
        ptrdiff_t begin = FindOlder(end - 3, umrGroupBegin);
        if (begin < 0) break;
        // The older neighbour must end right before this group begins, where it begins.
        ptrdiff_t prevEnd = begin - 3;
        if (!IsMarker(prevEnd, umrGroupEnd) || FLog.At(size_t(prevEnd)).Payload != groupId ||
            !SameRange(prevEnd - 1, begin - 1))
            break;
        end = prevEnd;
    }
    if (id) *id = groupId;
    if (node) *node = FLog.NodeAt(end);
    return ugrOK;
}

int TUndoStack::StepForward(bool merge, int* id, TStackNode* node) {
    ptrdiff_t cursor = FLog.IndexOf(FCursor);
    if (cursor >= ptrdiff_t(FLog.Count()) - 1) return ugrNoGroup;
    ptrdiff_t begin = FindNewer(cursor + 1, umrGroupBegin);
    if (begin < 0) return ugrNoGroup;
    int groupId = FLog.At(size_t(begin)).Payload;
    ptrdiff_t last = ptrdiff_t(FLog.Count()) - 1;
    for (;;) {
        ptrdiff_t end = FindNewer(begin + 3, umrGroupEnd);
        if (end < 0) {
            // An unfinished group at the top: redo runs to the top.
            break;
        }
        last = end + 2;
        if (!merge) break;
        ptrdiff_t next = end + 3;
        if (!IsMarker(next, umrGroupBegin) || FLog.At(size_t(next)).Payload != groupId ||
            !SameRange(next + 1, end + 1))
            break;
        begin = next;
    }
    FCursor = FLog.NodeAt(last);
    if (id) *id = groupId;
    if (node) *node = FLog.NodeAt(last);
    return ugrOK;
}

int TUndoStack::GroupQuery(uint32_t command, int* id, TStackNode* node) {
    bool merge = (command & ugcMerge) != 0;
    uint32_t base = command & ~ugcMerge;
    if (merge && base != ugcStepBack && base != ugcStepForward) return ugrBadCommand;
    switch (base) {
    case ugcReset:
        FCursor = FLog.CurrentNode();
        FQueryExhausted = FLog.Empty();
        return ugrOK;
    case ugcNextUndoGroup: {
        if (FQueryExhausted) return 0;
        ptrdiff_t end = FindOlder(FLog.IndexOf(FCursor), umrGroupEnd);
        if (end < 0) return 0;
        if (id) *id = FLog.At(size_t(end)).Payload;
        return 1;
    }
    case ugcNextRedoGroup: {
        ptrdiff_t cursor = FLog.IndexOf(FCursor);
        if (FQueryExhausted || cursor >= ptrdiff_t(FLog.Count()) - 1) return 0;
        ptrdiff_t begin = FindNewer(cursor + 1, umrGroupBegin);
        if (begin < 0) return 0;
        if (id) *id = FLog.At(size_t(begin)).Payload;
        return 1;
    }
    case ugcStepBack:
        return StepBack(merge, id, node);
    case ugcStepForward:
        return StepForward(merge, id, node);
    default:
        return ugrBadCommand;
    }
}

} // namespace quillet
