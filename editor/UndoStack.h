// The undo log of a text store: transactions in operation groups, undo, redo and queries.
#pragma once

#include "editor/Messages.h"
#include "editor/Stack.h"
#include "editor/Units.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quillet {

class EUndoError : public EQuilletError {
public:
    using EQuilletError::EQuilletError;
};

enum TUndoRecordKind : int32_t { urkRange = 0, urkText = 1, urkMarker = 5 };
enum TUndoMarkerRole : int32_t { umrTransaction = 0, umrGroupBegin = 2, umrGroupEnd = 3 };

// One log record: four words; a text record carries its text.
struct TUndoRecord {
    int32_t Value = 0; // marker role
    int32_t Kind = urkRange;
    int32_t Payload = 0;  // range: first offset; marker: operation id
    int32_t Payload2 = 0; // range: second offset
    std::string Text;

    int64_t AccountedSize() const { return 16 + (Kind == urkText ? int64_t(Text.size()) : 0); }
};

// Operation ids: 1 is a text replacement; groups are 13 and up.
constexpr int uopReplace = 1;
enum TUndoGroupId : int {
    ugDrag = 13,
    ugTyping = 14,
    ugDeleteChar = 15,
    ugPaste = 16,
    ugCut = 17,
    ugTemplate = 18,
    ugIndent = 19,
    ugUnindent = 20,
    ugDeletePrevWord = 21,
    ugDeleteNextWord = 22,
    ugReplace = 23,
    ugReplaceSel = 24,
    ugAutoIndentReturn = 25,
};

// Group navigation commands and results.
constexpr uint32_t ugcReset = 1;
constexpr uint32_t ugcNextUndoGroup = 4;
constexpr uint32_t ugcNextRedoGroup = 8;
constexpr uint32_t ugcStepBack = 16;
constexpr uint32_t ugcStepForward = 32;
constexpr uint32_t ugcMerge = 16777216; // with 16 or 32: take a whole adjacent run of one id
constexpr int ugrOK = 8000;
constexpr int ugrBadCommand = 8001;
constexpr int ugrNoGroup = 8002;

// What a replay acts on: the text and its selection.
class TUndoTarget {
public:
    virtual ~TUndoTarget() = default;
    virtual TSelectionPair Selection() const = 0;
    // Offsets in the text; the logged records keep them as the plain numbers of the selection
    // pairs they were taken from.
    virtual void SetSelection(TOffset anchor, TOffset caret) = 0;
    virtual std::string TextRange(TOffset start, TOffset end) const = 0;
    virtual void InsertText(TOffset position, std::string_view text) = 0;
    virtual void DeleteRange(TOffset start, TOffset end) = 0;
    virtual void Beep() = 0;
    // After each step inside a group (re-scan), and once at the end of a replay.
    virtual void ReplayStep() {}
    virtual void ReplayDone() {}
    // Around a replay to a node: painting is suspended.
    virtual void BeginUpdate() {}
    virtual void EndUpdate() {}
};

class TUndoStack {
public:
    explicit TUndoStack(TUndoTarget* target = nullptr);
    TUndoStack(const TUndoStack&) = delete;
    TUndoStack& operator=(const TUndoStack&) = delete;

    TUndoTarget* Target() const { return FTarget; }
    void SetTarget(TUndoTarget* target) { FTarget = target; }

    // Called for every record that is discarded.
    std::function<void(TUndoRecord&)>& OnRelease() { return FLog.OnRelease; }

    // Recording. Everything here is ignored while recording is off.
    bool Recording() const { return FRecording; }
    void SetRecording(bool on) { FRecording = on; }
    bool Replaying() const { return FReplaying; }
    // The replay under way goes back (Undo), not forward (Redo).
    bool Undoing() const { return FReplaying && FUndoing; }

    // A replacement of the target's selection by text: Begin captures the
    // selection and the text it removes; End logs it with the new selection.
    void BeginTransaction(std::string_view textToInsert);
    void EndTransaction();
    bool TransactionOpen() const { return FTransactionOpen; }

    // Changes reported by the store; ignored inside an open transaction,
    // which already covers them.
    void LogInsert(TOffset at, std::string_view text);
    void LogDelete(TOffset at, std::string_view removed);
    void LogReplace(TSelectionPair before, std::string_view removed, std::string_view inserted,
                    TSelectionPair after);
    // The two short transactions of the indent commands.
    void LogIndent(TOffset at, std::string_view inserted);
    void LogUnindent(TOffset at, std::string_view removed);

    void OpenGroup(int id);
    void CloseGroup(int id);
    bool GroupOpen() const { return FGroupOpen; }
    int OpenGroupId() const { return FGroupOpen ? FGroupId : 0; }

    void Clear();

    // Replay. A bad step clears the log and beeps instead of raising.
    void Undo();
    void Redo();
    void ReplayTo(TStackNode node);

    bool CanUndo() const { return FLog.UndoableCount() > 0; }
    bool CanRedo() const { return FLog.CanRedo(); }
    bool Modified() const { return CanUndo(); }
    void SetModified(bool value);

    // Group navigation over a query cursor; never changes the log.
    int GroupQuery(uint32_t command, int* id = nullptr, TStackNode* node = nullptr);

    size_t RecordCount() const { return FLog.Count(); }
    size_t UndoableCount() const { return FLog.UndoableCount(); }
    int64_t TotalBytes() const { return FLog.TotalBytes(); }
    TStackNode CurrentNode() const { return FLog.CurrentNode(); }
    const TStack<TUndoRecord>& Log() const { return FLog; }
    TStack<TUndoRecord>& Log() { return FLog; }
    // Pushes one record as it is, for callers that write their own layouts.
    void PushRecord(TUndoRecord record);

    // A replay step failed (the log is cleared and the target beeps).
    std::function<void(TUndoStack&, const std::string&)> OnReplayError;

private:
    void PushMarker(int id, int role);
    void PushRange(TSelectionPair range);
    void PushText(std::string_view text);
    void PushBracket(int id, int role, TSelectionPair range);
    void PushTransaction(TSelectionPair before, std::string_view removed, std::string_view inserted,
                         TSelectionPair after);
    [[noreturn]] void BadTransaction();
    void ReplayFailed(const std::string& message);

    bool UndoStep(bool& inGroup);
    bool RedoStep(bool& inGroup);
    void ApplyReplace(const TUndoRecord& before, const std::string& oldText,
                      const std::string& newText, const TUndoRecord& after);
    bool IsMarker(ptrdiff_t index, int role) const;
    bool SameRange(ptrdiff_t a, ptrdiff_t b) const;
    ptrdiff_t FindOlder(ptrdiff_t from, int role) const;
    ptrdiff_t FindNewer(ptrdiff_t from, int role) const;
    int StepBack(bool merge, int* id, TStackNode* node);
    int StepForward(bool merge, int* id, TStackNode* node);

    TStack<TUndoRecord> FLog;
    TUndoTarget* FTarget = nullptr;
    TStackNode FCursor = 0;
    int FGroupId = 0;
    bool FGroupOpen = false;
    bool FQueryExhausted = false;
    bool FRecording = true;
    bool FReplaying = false;
    bool FUndoing = false;
    bool FTransactionOpen = false;
    TSelectionPair FTransStart{};
    std::string FTransRemoved;
    std::string FTransInserted;
};

} // namespace quillet
