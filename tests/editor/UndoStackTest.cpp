#include "editor/UndoStack.h"

#include "resources/Strings.h"

#include <gtest/gtest.h>

#include <random>

using namespace quillet;

namespace {

// A plain string with a selection; edits are logged the way the store logs them.
class TStringTarget : public TUndoTarget {
public:
    std::string Text;
    TSelectionPair Sel{};
    int Beeps = 0;
    int Steps = 0;
    int Done = 0;
    TUndoStack* Log = nullptr;

    TSelectionPair Selection() const override { return Sel; }
    void SetSelection(TOffset anchor, TOffset caret) override {
        Sel = {anchor.Value(), caret.Value()};
    }
    std::string TextRange(TOffset from, TOffset to) const override {
        const int start = from.Value(), end = to.Value();
        return Text.substr(size_t(start), size_t(end - start));
    }
    void InsertText(TOffset at, std::string_view text) override {
        const int position = at.Value();
        if (position < 0 || size_t(position) > Text.size())
            throw EQuilletError("insert out of range");
        Text.insert(size_t(position), text);
        if (Log) Log->LogInsert(at, text);
    }
    void DeleteRange(TOffset from, TOffset to) override {
        const int start = from.Value(), end = to.Value();
        if (start < 0 || end < start || size_t(end) > Text.size())
            throw EQuilletError("delete out of range");
        std::string removed = Text.substr(size_t(start), size_t(end - start));
        Text.erase(size_t(start), size_t(end - start));
        if (Log) Log->LogDelete(from, removed);
    }
    void Beep() override { ++Beeps; }
    void ReplayStep() override { ++Steps; }
    void ReplayDone() override { ++Done; }

    // One typed key: its own group 14 at the caret.
    void Type(TUndoStack& u, char c) {
        u.OpenGroup(ugTyping);
        int at = Sel.Caret;
        InsertText(TOffset(at), std::string(1, c));
        Sel = {at + 1, at + 1};
        u.CloseGroup(ugTyping);
    }
};

struct UndoFixture : ::testing::Test {
    TStringTarget T;
    TUndoStack U{&T};
    UndoFixture() { T.Log = &U; }
};

} // namespace

TEST_F(UndoFixture, MixedTransactionsAndGroupsWalkBackAndForth) {
    T.Text = "hello world";
    std::vector<std::string> states{T.Text};
    // An ungrouped insertion.
    T.InsertText(TOffset(5), ",");
    states.push_back(T.Text);
    // A replacement through a transaction inside a group.
    U.OpenGroup(ugReplaceSel);
    T.Sel = {7, 12};
    U.BeginTransaction("there");
    T.Text.replace(7, 5, "there");
    T.Sel = {12, 12};
    U.EndTransaction();
    U.CloseGroup(ugReplaceSel);
    states.push_back(T.Text);
    T.InsertText(TOffset(0), "\t");
    states.push_back(T.Text);
    // A group of two changes: an indent and an un-indent of the TAB.
    U.OpenGroup(ugIndent);
    T.Text.insert(0, "  ");
    U.LogIndent(TOffset(0), "  ");
    T.Text.erase(2, 1);
    U.LogUnindent(TOffset(2), "\t");
    U.CloseGroup(ugIndent);
    states.push_back(T.Text);
    EXPECT_EQ(T.Text, "  hello, there");

    for (size_t i = states.size() - 1; i > 0; --i) {
        ASSERT_TRUE(U.CanUndo());
        U.Undo();
        EXPECT_EQ(T.Text, states[i - 1]); // the TAB comes back, not a blank
    }
    EXPECT_FALSE(U.CanUndo());
    EXPECT_FALSE(U.Modified());
    EXPECT_EQ(T.Beeps, 0);
    U.Redo();
    EXPECT_TRUE(U.Modified());
    EXPECT_EQ(T.Text, states[1]);
    U.Redo();
    EXPECT_EQ(T.Text, states[2]);
    EXPECT_EQ(T.Sel.Caret, 12); // the group end's selection
    U.Redo();
    U.Redo();
    EXPECT_EQ(T.Text, "  hello, there");
    EXPECT_FALSE(U.CanRedo());
}

TEST_F(UndoFixture, TypedRunUndoesOneKeyAtATimeUnlessMergedByQuery) {
    for (char c : std::string("abc"))
        T.Type(U, c);
    ASSERT_EQ(T.Text, "abc");
    int id = -1;
    EXPECT_EQ(U.GroupQuery(ugcReset), ugrOK);
    EXPECT_EQ(U.GroupQuery(ugcNextUndoGroup, &id), 1);
    EXPECT_EQ(id, ugTyping);
    EXPECT_EQ(U.GroupQuery(ugcNextRedoGroup, &id), 0);

    U.Undo();
    EXPECT_EQ(T.Text, "ab");
    U.Redo();

    TStackNode node = 0;
    U.GroupQuery(ugcReset);
    EXPECT_EQ(U.GroupQuery(ugcStepBack | ugcMerge, &id, &node), ugrOK);
    U.ReplayTo(node);
    EXPECT_EQ(T.Text, "");
    EXPECT_EQ(T.Sel.Caret, 0);

    U.GroupQuery(ugcReset);
    EXPECT_EQ(U.GroupQuery(ugcNextRedoGroup, &id), 1);
    EXPECT_EQ(U.GroupQuery(ugcStepForward | ugcMerge, &id, &node), ugrOK);
    U.ReplayTo(node);
    EXPECT_EQ(T.Text, "abc");
    EXPECT_FALSE(U.CanRedo());

    // Without the merge flag a step takes one key.
    U.GroupQuery(ugcReset);
    EXPECT_EQ(U.GroupQuery(ugcStepBack, &id, &node), ugrOK);
    U.ReplayTo(node);
    EXPECT_EQ(T.Text, "ab");
}

TEST_F(UndoFixture, CaretMoveBreaksTheMergedRun) {
    T.Text = "xy";
    T.Sel = {0, 0};
    T.Type(U, 'a');
    T.Type(U, 'b');
    T.Sel = {4, 4}; // caret moved to the end
    T.Type(U, 'c');
    T.Type(U, 'd');
    ASSERT_EQ(T.Text, "abxycd");
    int id = 0;
    TStackNode node = 0;
    U.GroupQuery(ugcReset);
    ASSERT_EQ(U.GroupQuery(ugcStepBack | ugcMerge, &id, &node), ugrOK);
    U.ReplayTo(node);
    EXPECT_EQ(T.Text, "abxy");
    U.GroupQuery(ugcReset);
    ASSERT_EQ(U.GroupQuery(ugcStepBack | ugcMerge, &id, &node), ugrOK);
    U.ReplayTo(node);
    EXPECT_EQ(T.Text, "xy");
    U.GroupQuery(ugcReset);
    EXPECT_EQ(U.GroupQuery(ugcStepBack | ugcMerge, &id, &node), ugrNoGroup);
    // Redo by merged runs comes back in the same two steps.
    U.GroupQuery(ugcReset);
    ASSERT_EQ(U.GroupQuery(ugcStepForward | ugcMerge, &id, &node), ugrOK);
    U.ReplayTo(node);
    EXPECT_EQ(T.Text, "abxy");
    U.GroupQuery(ugcReset);
    ASSERT_EQ(U.GroupQuery(ugcStepForward | ugcMerge, &id, &node), ugrOK);
    U.ReplayTo(node);
    EXPECT_EQ(T.Text, "abxycd");
    U.GroupQuery(ugcReset);
    EXPECT_EQ(U.GroupQuery(ugcStepForward, &id, &node), ugrNoGroup);
    // A different id next door does not merge either.
    U.OpenGroup(ugDeleteChar);
    T.DeleteRange(TOffset(5), TOffset(6));
    T.Sel = {5, 5};
    U.CloseGroup(ugDeleteChar);
    U.GroupQuery(ugcReset);
    ASSERT_EQ(U.GroupQuery(ugcStepBack | ugcMerge, &id, &node), ugrOK);
    EXPECT_EQ(id, ugDeleteChar);
    U.ReplayTo(node);
    EXPECT_EQ(T.Text, "abxycd");
}

TEST_F(UndoFixture, QueryCommandsAndResults) {
    int id = 0;
    EXPECT_EQ(U.GroupQuery(ugcReset), ugrOK);
    EXPECT_EQ(U.GroupQuery(ugcNextUndoGroup, &id), 0);
    EXPECT_EQ(U.GroupQuery(ugcNextRedoGroup, &id), 0);
    EXPECT_EQ(U.GroupQuery(ugcStepBack, &id), ugrNoGroup);
    EXPECT_EQ(U.GroupQuery(ugcStepForward, &id), ugrNoGroup);
    EXPECT_EQ(U.GroupQuery(2), ugrBadCommand);
    EXPECT_EQ(U.GroupQuery(64), ugrBadCommand);
    EXPECT_EQ(U.GroupQuery(ugcReset | ugcMerge), ugrBadCommand);
    // The queries never change the log.
    T.Type(U, 'a');
    T.Type(U, 'b');
    size_t records = U.RecordCount();
    U.GroupQuery(ugcReset);
    U.GroupQuery(ugcStepBack, &id);
    EXPECT_EQ(U.GroupQuery(ugcStepBack, &id), ugrOK);
    EXPECT_EQ(U.GroupQuery(ugcStepBack, &id), ugrNoGroup);
    EXPECT_EQ(U.RecordCount(), records);
    EXPECT_EQ(U.UndoableCount(), records);
    EXPECT_EQ(T.Text, "ab");
}

TEST_F(UndoFixture, GroupsDoNotNestAndCloseNeedsTheSameId) {
    U.OpenGroup(ugDeleteChar);
    size_t afterBegin = U.RecordCount();
    EXPECT_EQ(afterBegin, 3u);
    U.OpenGroup(ugTyping);
    EXPECT_EQ(U.RecordCount(), afterBegin);
    U.CloseGroup(ugTyping);
    EXPECT_EQ(U.RecordCount(), afterBegin);
    EXPECT_EQ(U.OpenGroupId(), ugDeleteChar);
    U.CloseGroup(ugDeleteChar);
    EXPECT_EQ(U.RecordCount(), 6u);
    EXPECT_FALSE(U.GroupOpen());
    // Recording off ignores groups and changes alike.
    U.SetRecording(false);
    U.OpenGroup(ugTyping);
    T.InsertText(TOffset(0), "q");
    EXPECT_EQ(U.RecordCount(), 6u);
}

TEST_F(UndoFixture, NewChangeAfterUndoDiscardsRedoAndItsBytes) {
    std::vector<std::string> released;
    U.OnRelease() = [&](TUndoRecord& r) {
        if (r.Kind == urkText && !r.Text.empty()) released.push_back(r.Text);
    };
    T.Type(U, 'a');
    int64_t oneGroup = U.TotalBytes();
    // 3 + 6 + 3 records, one text of one byte, 16 bytes a node and 16 a record.
    EXPECT_EQ(oneGroup, 12 * 32 + 1);
    T.Type(U, 'b');
    U.Undo();
    EXPECT_TRUE(U.CanRedo());
    T.Type(U, 'c');
    EXPECT_FALSE(U.CanRedo());
    EXPECT_EQ(T.Text, "ac");
    EXPECT_EQ(released, std::vector<std::string>{"b"});
    EXPECT_EQ(U.TotalBytes(), 2 * oneGroup);
    U.SetModified(true);
    EXPECT_TRUE(U.CanUndo());
    U.SetModified(false);
    EXPECT_FALSE(U.CanUndo());
    EXPECT_FALSE(U.Modified());
    EXPECT_EQ(U.TotalBytes(), 0);
    EXPECT_EQ(released.size(), 3u);
}

TEST_F(UndoFixture, UnbalancedTransactionClearsBeepsAndRaises) {
    T.Type(U, 'a');
    U.BeginTransaction("x");
    try {
        U.BeginTransaction("y");
        FAIL();
    } catch (const EUndoError& e) {
        EXPECT_STREQ(e.what(), "Bad transaction log entry");
    }
    EXPECT_FALSE(U.CanUndo());
    EXPECT_EQ(T.Beeps, 1);
    EXPECT_THROW(U.EndTransaction(), EUndoError);
    EXPECT_EQ(T.Beeps, 2);
    EXPECT_EQ(LoadStr(SBadTransaction), "Bad transaction log entry");
}

namespace {
TUndoRecord Rec(int kind, int value, int payload, int payload2 = 0) {
    TUndoRecord r;
    r.Kind = kind;
    r.Value = value;
    r.Payload = payload;
    r.Payload2 = payload2;
    return r;
}
TUndoRecord TextRec(const char* text) {
    TUndoRecord r = Rec(urkText, 0, 0);
    r.Text = text;
    return r;
}
} // namespace

TEST_F(UndoFixture, EveryReplayFaultEndsInClearAndBeep) {
    std::vector<std::string> errors;
    U.OnReplayError = [&](TUndoStack&, const std::string& m) { errors.push_back(m); };
    T.Log = nullptr;
    struct TCase {
        std::vector<TUndoRecord> Log;
        bool Redo;
        const char* Message;
    };
    std::vector<TCase> cases{
        // A range where a marker must be.
        {{Rec(urkRange, 0, 0)}, false, "Bad do/undo stack state"},
        // A group end whose opening marker has another id.
        {{Rec(urkMarker, umrGroupEnd, 14), Rec(urkRange, 0, 0), Rec(urkMarker, umrGroupEnd, 15)},
         false,
         "Bad do/undo stack state"},
        // A group end whose begin is missing runs out of records.
        {{Rec(urkMarker, umrGroupEnd, 14), Rec(urkRange, 0, 0), Rec(urkMarker, umrGroupEnd, 14)},
         false,
         "Stack underflow"},
        // A transaction whose offsets do not fit the text.
        {{Rec(urkMarker, 0, 1), Rec(urkRange, 0, 40, 40), Rec(urkText, 0, 0), TextRec("abc"),
          Rec(urkRange, 0, 43, 43), Rec(urkMarker, 0, 1)},
         false,
         "delete out of range"},
        // Redo meeting a group end outside any group.
        {{Rec(urkMarker, umrGroupEnd, 14), Rec(urkRange, 0, 0), Rec(urkMarker, umrGroupEnd, 14)},
         true,
         "Bad do/undo stack state"},
        // Redo of a transaction cut short.
        {{Rec(urkMarker, 0, 1), Rec(urkRange, 0, 0, 0)}, true, "Stack underflow"},
        // An unknown marker role.
        {{Rec(urkMarker, 7, 1)}, false, "Bad do/undo stack state"},
    };
    int beeps = 0;
    for (auto& c : cases) {
        T.Text = "0123456789";
        for (auto& r : c.Log)
            U.PushRecord(r);
        if (c.Redo) {
            // Move the boundary below the records without replaying them.
            while (U.UndoableCount() > 0)
                U.Log().Pop();
            U.Redo();
        } else {
            U.Undo();
        }
        ++beeps;
        EXPECT_EQ(T.Beeps, beeps) << c.Message;
        EXPECT_EQ(U.RecordCount(), 0u) << c.Message;
        ASSERT_FALSE(errors.empty());
        EXPECT_EQ(errors.back(), c.Message);
        EXPECT_EQ(T.Text, "0123456789");
    }
    EXPECT_THROW(
        {
            TStack<int> s;
            s.Pop();
        },
        EStackError);
}
