// The editor control through its messages: selection, typing, undo, text out and in.
#include "editor/CodeMemo.h"
#include "editor/CodeMemoStrings.h"
#include "platform/VirtualKeys.h"
#include "platform/headless/HeadlessWindowHost.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace quillet {
namespace {

struct TTextEvent {
    int Start, Extent;
    friend bool operator==(const TTextEvent&, const TTextEvent&) = default;
};

class CodeMemoTest : public ::testing::Test {
protected:
    THeadlessWindowHost Host{640, 400};
    TCodeMemo Memo{&Host};
    std::vector<TTextEvent> Events;

    void SetUp() override {
        Memo.OnTextChange = [this](TCustomCodeMemo&, int start, int extent) {
            Events.push_back({start, extent});
        };
    }
    void Type(std::u32string_view text) {
        for (char32_t c : text)
            Memo.Perform(WM_CHAR, c, 0);
    }
    std::string Stored() {
        return Memo.Store().StoredText(TOffset(0), TOffset(Memo.Store().CharCount()));
    }
};

TEST_F(CodeMemoTest, TypingInsertsUtf8AndEachKeyPressUndoesAlone) {
    Type(U"ab\u0436c");
    EXPECT_EQ(Stored(), "ab\xD0\xB6"
                        "c");
    EXPECT_EQ(Memo.SelStart(), 5);
    EXPECT_EQ(Events.size(), 4u);
    EXPECT_EQ(Events[2], (TTextEvent{2, 2}));
    EXPECT_TRUE(Memo.Modified());
    Memo.Undo();
    EXPECT_EQ(Stored(), "ab\xD0\xB6");
    Memo.Undo(); // the two-byte letter goes as one character
    EXPECT_EQ(Stored(), "ab");
    Memo.Undo();
    Memo.Undo();
    EXPECT_EQ(Stored(), "");
    EXPECT_FALSE(Memo.CanUndo());
    ASSERT_TRUE(Memo.CanRedo());
    for (int i = 0; i < 4; ++i)
        Memo.Redo();
    EXPECT_EQ(Stored(), "ab\xD0\xB6"
                        "c");
    EXPECT_EQ(Memo.SelStart(), 5);
}

TEST_F(CodeMemoTest, UndoAfterACaretMoveRestoresTheCaret) {
    Type(U"ab");
    Memo.Perform(WM_KEYDOWN, VK_LEFT, 0);
    Type(U"X");
    EXPECT_EQ(Stored(), "aXb");
    Memo.Undo();
    EXPECT_EQ(Stored(), "ab");
    EXPECT_EQ(Memo.SelStart(), 1);
    Memo.Undo();
    EXPECT_EQ(Stored(), "a");
}

TEST_F(CodeMemoTest, KeysEditAndMoveByCodePoints) {
    Type(U"x\u0436y");
    Memo.Perform(WM_KEYDOWN, VK_LEFT, 0);
    Memo.Perform(WM_KEYDOWN, VK_LEFT, 0);
    EXPECT_EQ(Memo.SelStart(), 1); // before the two-byte letter, never inside it
    Memo.Perform(WM_KEYDOWN, VK_DELETE, 0);
    EXPECT_EQ(Stored(), "xy");
    Memo.Perform(WM_KEYDOWN, VK_END, 0);
    Memo.Perform(WM_KEYDOWN, VK_RETURN, 0);
    Memo.Perform(WM_CHAR, 13, 0); // the character after the key is not a second break
    Type(U"z");
    EXPECT_EQ(Stored(), "xy\rz");
    Memo.Perform(WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(Memo.SelStart(), 1);
    Memo.Perform(WM_KEYDOWN, VK_HOME, 0);
    EXPECT_EQ(Memo.SelStart(), 0);
    Memo.Perform(WM_KEYDOWN, VK_DOWN, 0);
    Memo.Perform(WM_KEYDOWN, VK_END, 0);
    Memo.Perform(WM_KEYDOWN, VK_BACK, 0);
    EXPECT_EQ(Stored(), "xy\r");
    Memo.Perform(WM_KEYDOWN, VK_BACK, 0);
    EXPECT_EQ(Stored(), "xy");
}

TEST_F(CodeMemoTest, ReturnKeepsTheIndentOfTheLine) {
    Type(U"\tab");
    Memo.Perform(WM_CHAR, 13, 0);
    Type(U"c");
    EXPECT_EQ(Stored(), "\tab\r\tc");
    Memo.SetOptions(Memo.Options() & ~TCodeMemoOptions(smoAutoIndent));
    Memo.Perform(WM_CHAR, 13, 0);
    EXPECT_EQ(Stored(), "\tab\r\tc\r");
}

TEST_F(CodeMemoTest, SelectionMessagesClampSnapAndSelectAll) {
    Memo.SetText("ab\xD0\xB6\r\ncd");
    Memo.Perform(EM_SETSEL, 0, -1);
    int32_t anchor = -5, caret = -5;
    Memo.Perform(EM_GETSEL, WPARAM(&anchor), LPARAM(&caret));
    EXPECT_EQ(anchor, 0);
    EXPECT_EQ(caret, 7);

    TSelectionPair p{-20, 1000};
    Memo.Perform(SM_SELECTION, smSET, LPARAM(&p));
    p = {};
    Memo.Perform(SM_SELECTION, 0, LPARAM(&p));
    EXPECT_EQ(p.Anchor, 0);
    EXPECT_EQ(p.Caret, 7);

    Memo.SetSelection(3, 3); // inside the letter: moves to its start
    EXPECT_EQ(Memo.SelStart(), 2);
    p = {-1, 0};
    Memo.Perform(SM_SELECTION, smSET, LPARAM(&p));
    EXPECT_EQ(Memo.SelLength(), 8); // the break counts as CR LF
    EXPECT_EQ(Memo.SelText(), "ab\xD0\xB6\r\ncd");
    Memo.SetSelLineStyle(lsLF);
    EXPECT_EQ(Memo.SelLength(), 7);
    EXPECT_EQ(Memo.SelText(), "ab\xD0\xB6\rcd");
}

TEST_F(CodeMemoTest, LineQueries) {
    Memo.SetText("abc\r\n\r\nxy");
    EXPECT_EQ(Memo.Perform(EM_GETLINECOUNT, 0, 0), 3);
    EXPECT_EQ(Memo.Perform(EM_LINELENGTH, 0, 0), 3);
    EXPECT_EQ(Memo.Perform(EM_LINELENGTH, 3, 0), 3); // on the break itself
    EXPECT_EQ(Memo.Perform(EM_LINELENGTH, 4, 0), 0);
    EXPECT_EQ(Memo.Perform(EM_LINELENGTH, 6, 0), 2);
    EXPECT_EQ(Memo.Perform(EM_LINEINDEX, 2, 0), 5);
    EXPECT_EQ(Memo.Perform(EM_LINEINDEX, 9, 0), 7);
    EXPECT_EQ(Memo.Perform(EM_LINEFROMCHAR, 5, 0), 2);
    Memo.SetSelStart(4);
    EXPECT_EQ(Memo.Perform(EM_LINEINDEX, WPARAM(-1), 0), 4);
    char buffer[8] = {};
    uint16_t size = 2;
    std::memcpy(buffer, &size, 2);
    EXPECT_EQ(Memo.Perform(EM_GETLINE, 0, LPARAM(buffer)), 2);
    EXPECT_EQ(std::string(buffer, 2), "ab");
}

TEST_F(CodeMemoTest, GetTextAgreesWithItsLength) {
    Memo.SetText("a\rb\nc\r\nd");
    EXPECT_EQ(Stored(), "a\rb\rc\rd");
    LRESULT length = Memo.Perform(WM_GETTEXTLENGTH, 0, 0);
    EXPECT_EQ(length, 10);
    std::string buffer(size_t(length) + 1, 'X');
    EXPECT_EQ(Memo.Perform(WM_GETTEXT, buffer.size(), LPARAM(buffer.data())), length);
    EXPECT_EQ(buffer, std::string("a\r\nb\r\nc\r\nd\0", 11));
    // A short buffer never ends inside a CR LF pair.
    std::string small(3, 'X');
    EXPECT_EQ(Memo.Perform(WM_GETTEXT, small.size(), LPARAM(small.data())), 1);
    Memo.SetSelLineStyle(lsLF);
    EXPECT_EQ(Memo.Perform(WM_GETTEXTLENGTH, 0, 0), 7);
    EXPECT_EQ(Memo.Text(), "a\rb\rc\rd");
}

TEST_F(CodeMemoTest, InsertedTextIsNormalised) {
    Memo.SetSelText("a\x07"
                    "b\n\tc\r\r\n");
    EXPECT_EQ(Stored(), "a.b\r\tc\r\r");
    Memo.SetSelText("\n");
    EXPECT_EQ(Stored(), "a.b\r\tc\r\r\r");
}

TEST_F(CodeMemoTest, ReplaceSelectionUndoesAsOneStepAndReportsEachChange) {
    Memo.SetText("hello world");
    Events.clear();
    Memo.SetSelection(6, 11);
    Memo.Perform(EM_REPLACESEL, 0, LPARAM("there"));
    EXPECT_EQ(Stored(), "hello there");
    ASSERT_EQ(Events.size(), 2u);
    EXPECT_EQ(Events[0], (TTextEvent{6, -5}));
    EXPECT_EQ(Events[1], (TTextEvent{6, 5}));
    Memo.Undo();
    EXPECT_EQ(Stored(), "hello world");
    EXPECT_EQ(Memo.SelStart(), 6);
    EXPECT_EQ(Memo.SelLength(), 5);
    Memo.SelectAll();
    Events.clear();
    Memo.SetSelText("");
    ASSERT_EQ(Events.size(), 1u);
    EXPECT_EQ(Events[0], (TTextEvent{0, 0})); // the text became empty
}

TEST_F(CodeMemoTest, ReadOnlyRejectsEveryChange) {
    Memo.SetText("abc");
    Memo.SetReadOnly(true);
    Type(U"x");
    Memo.SetSelText("y");
    Memo.Perform(WM_KEYDOWN, VK_DELETE, 0);
    EXPECT_EQ(Stored(), "abc");
    Memo.SetReadOnly(false);
    Memo.SetTabStop(false);
    Type(U"x");
    EXPECT_EQ(Stored(), "abc");
}

TEST_F(CodeMemoTest, ModifiedFollowsTheUndoHistory) {
    EXPECT_FALSE(Memo.Modified());
    Memo.SetModified(true); // has no effect without changes
    EXPECT_FALSE(Memo.Modified());
    Type(U"a");
    EXPECT_TRUE(Memo.Modified());
    EXPECT_EQ(Memo.Perform(EM_GETMODIFY, 0, 0), 1);
    Memo.SetModified(false);
    EXPECT_FALSE(Memo.Modified());
    EXPECT_FALSE(Memo.CanUndo());
    EXPECT_EQ(Stored(), "a");
}

TEST_F(CodeMemoTest, OnChangeFiresOncePerMessage) {
    int changes = 0;
    Memo.OnChange = [&](TCustomCodeMemo&) { ++changes; };
    Memo.SetSelText("abc\r\ndef");
    EXPECT_EQ(changes, 1);
    Memo.SetSelStart(1);
    EXPECT_EQ(changes, 2);
    Memo.SetSelStart(1);
    EXPECT_EQ(changes, 2);
}

TEST_F(CodeMemoTest, LinesListOperations) {
    TCodeMemoStrings& lines = Memo.Lines();
    EXPECT_EQ(lines.Count(), 1);
    EXPECT_EQ(lines.Get(0), "");
    lines.Add("abc");
    EXPECT_EQ(Stored(), "abc");
    lines.Add("x");
    EXPECT_EQ(Stored(), "abc\rx");
    lines.Insert(0, "first");
    EXPECT_EQ(Stored(), "first\rabc\rx");
    lines.Put(1, "ABC");
    EXPECT_EQ(lines.Get(1), "ABC");
    lines.Put(7, "nothing");
    lines.Insert(-1, "nothing");
    lines.Insert(9, "nothing");
    lines.Delete(0);
    EXPECT_EQ(Stored(), "ABC\rx");
    lines.Delete(1);
    EXPECT_EQ(Stored(), "ABC\r");
    lines.Add("y"); // the last line is empty: y goes there
    EXPECT_EQ(Stored(), "ABC\ry");
    lines.Delete(5);
    EXPECT_EQ(lines.Count(), 2);
    lines.Clear();
    EXPECT_EQ(Stored(), "");
    EXPECT_FALSE(Memo.CanUndo());
}

TEST_F(CodeMemoTest, LinesCutLongLinesAndKeepEqualText) {
    std::string longLine(5000, 'q');
    longLine[4095] = '\xD0'; // a two-byte letter straddling the cut
    longLine[4096] = '\xB6';
    TCodeMemo bare; // without a window a long line stays one record
    bare.Lines().SetText(longLine + "\r\nend");
    EXPECT_EQ(bare.Lines().Get(0).size(), 4095u);
    EXPECT_EQ(bare.Lines().Get(1), "end");

    Memo.SetText("one\r\ntwo");
    Memo.SetSelStart(7);
    Memo.SetSelText("!");
    ASSERT_TRUE(Memo.CanUndo());
    Memo.Lines().SetText("one\ntwo!"); // same text in another line-break form
    EXPECT_TRUE(Memo.CanUndo());
    EXPECT_EQ(Memo.SelStart(), 8);
    Memo.Lines().SetText("other");
    EXPECT_FALSE(Memo.CanUndo());
    EXPECT_EQ(Memo.SelStart(), 0);
}

TEST_F(CodeMemoTest, LinesAddStringsAndUpdateBrackets) {
    TCodeMemo other;
    other.SetText("p\r\nq");
    Memo.SetText("old");
    Memo.Lines().BeginUpdate();
    Memo.Lines().AddStrings(other.Lines());
    Host.HeadlessCanvas().ClearLog();
    Memo.Perform(WM_PAINT, 0, 0);
    EXPECT_TRUE(Host.HeadlessCanvas().TextRuns().empty()); // painting is off
    Memo.Lines().EndUpdate();
    Memo.Perform(WM_PAINT, 0, 0);
    EXPECT_FALSE(Host.HeadlessCanvas().TextRuns().empty());
    EXPECT_EQ(Stored(), "p\rq");
}

} // namespace
} // namespace quillet
