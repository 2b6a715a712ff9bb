// The key-down route and the command executor, through the control's messages.
#include "MemoInput.h"
#include "editor/CodeMemo.h"
#include "editor/EdStream.h"
#include "highlight/KeyboardActionController.h"
#include "highlight/Settings.h"
#include "platform/Platform.h"
#include "platform/VirtualKeys.h"
#include "platform/headless/HeadlessWindowHost.h"

#include <gtest/gtest.h>

#include <string>

namespace quillet {
namespace {

class CommandTest : public ::testing::Test {
protected:
    THeadlessWindowHost Host{640, 400};
    TCodeMemo Memo{&Host};

    std::string Stored() { return StoredText(Memo); }
    void Key(int vk, bool ctrl = false, bool shift = false) {
        PressKey(Host, Memo, vk, ctrl, shift);
    }
    // A key-down and the character it types, as a keyboard sends them.
    void Type(std::string_view text) {
        for (char c : text) {
            int vk = c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c == ' ' ? int(VK_SPACE) : int(c);
            Key(vk);
            Memo.Perform(WM_CHAR, WPARAM(static_cast<unsigned char>(c)), 0);
        }
    }
};

TEST_F(CommandTest, RecognisedCommandMayBeChangedAndSwallowsItsCharacter) {
    Memo.SetText("abc def");
    int seen = -1;
    Memo.OnCommandRecognised = [&](TCustomCodeMemo&, int& code) {
        seen = code;
        if (code == kcDeleteLine) code = kcDocumentEnd; // a handler redirects Ctrl+Y
    };
    Key('Y', true);
    EXPECT_EQ(seen, kcDeleteLine);
    EXPECT_EQ(Stored(), "abc def");
    EXPECT_EQ(Memo.SelStart(), 7);
    // The character event of the command's key is not typed; the next one is.
    Memo.Perform(WM_CHAR, 'y', 0);
    Memo.Perform(WM_CHAR, 'z', 0);
    EXPECT_EQ(Stored(), "abc defz");
}

TEST_F(CommandTest, ReadOnlyBlocksEditingCommandsButNotMovement) {
    Memo.SetText("abc def");
    Memo.SetReadOnly(true);
    Key(VK_DELETE);
    Key(VK_BACK, true);
    Key('Y', true);
    Memo.Perform(WM_CHAR, 'x', 0);
    EXPECT_EQ(Stored(), "abc def");
    Key(VK_RIGHT, true);
    EXPECT_EQ(Memo.SelStart(), 4);
}

TEST_F(CommandTest, DeleteWordsUndoAsOneStepEach) {
    Memo.SetText("one two three");
    Memo.SetSelection(7, 7);
    Key(VK_BACK, true);
    EXPECT_EQ(Stored(), "one  three");
    Key(VK_DELETE, true);
    EXPECT_EQ(Stored(), "one three");
    Memo.Undo();
    EXPECT_EQ(Stored(), "one  three");
    Memo.Undo();
    EXPECT_EQ(Stored(), "one two three");
}

TEST_F(CommandTest, LineEndStopsBeforeTrailingBlanksAndDownFromLastLineStays) {
    Memo.SetText("ab  \t\rcd");
    Key(VK_END);
    EXPECT_EQ(Memo.SelStart(), 2);
    Key(VK_END, true);
    Key(VK_DOWN);
    EXPECT_EQ(Memo.SelStart(), 8); // no break at the end: nothing happens
}

TEST_F(CommandTest, IndentMessageWithTabsAndSelectionEndingAtLineStart) {
    Memo.SetText("a\rb\rc");
    Memo.SetOptions(Memo.Options() | smoUseTAB);
    Memo.SetSelection(0, 4); // ends at the start of "c": that line stays
    Memo.Perform(SM_INDENT, 2, 1);
    EXPECT_EQ(Stored(), "\t\ta\r\t\tb\rc");
    EXPECT_EQ(Memo.SelStart(), 0);
    EXPECT_EQ(Memo.SelText(), "\t\ta\r\n\t\tb\r\n"); // widened over the new indents
    Memo.Perform(SM_UNINDENT, 1, 0);
    EXPECT_EQ(Stored(), "\ta\r\tb\rc");
    Memo.Undo();
    EXPECT_EQ(Stored(), "\t\ta\r\t\tb\rc");
}

TEST_F(CommandTest, ReadOnlyRefusesEveryEditingCommandButKeepsCopyAndBookmarks) {
    Memo.SetText("one two\r  three");
    Memo.SetSelection(0, 0);
    Type("x"); // something to undo
    Memo.SetReadOnly(true);
    Platform().Clipboard->Set(cbfText, "pasted");
    const std::string before = Stored();
    for (int command :
         {kcCut, kcPaste, kcDeleteChar, kcDeleteCharBefore, kcIndentBlock, kcUnindentBlock,
          kcDeleteLine, kcUndo, kcRedo, kcDeleteWordBefore, kcDeleteWordAfter}) {
        for (auto [a, c] : {std::pair{4, 4}, std::pair{0, 12}}) {
            Memo.SetSelection(a, c);
            Memo.ExecuteCommand(command, 0, false);
            EXPECT_EQ(Stored(), before) << "command " << command;
        }
    }
    Memo.SetSelection(4, 4);
    Type("a \r\t");
    Memo.Perform(WM_CHAR, 10, 0);
    EXPECT_EQ(Stored(), before);
    // Copy and bookmarks change no text and still work.
    Memo.SetSelection(1, 4);
    Memo.ExecuteCommand(kcCopy, 0, false);
    EXPECT_EQ(Platform().Clipboard->Get(cbfText), "one");
    Memo.ExecuteCommand(kcSetBookmark0 + 2, 0, false);
    Memo.SetSelection(12, 12);
    Memo.ExecuteCommand(kcGotoBookmark0 + 2, 0, false);
    EXPECT_EQ(Memo.SelStart(), 4);
}

TEST_F(CommandTest, AutoReplaceOnSpaceIsUndoneWithItsSpaceInOneStep) {
    TCM_Settings& s = Memo.ActiveSettings();
    s.AutoReplace.AddEntry("teh", "", "the");
    Memo.SetText("");
    Type("teh ");
    EXPECT_EQ(Stored(), "the ");
    Memo.Undo();
    EXPECT_EQ(Stored(), "teh");
    Memo.Redo();
    EXPECT_EQ(Stored(), "the ");
    // The tail of a longer word is no match; Return is a trigger too.
    Type("xteh teh\r");
    EXPECT_EQ(Stored(), "the xteh the\r");
    Memo.Undo();
    EXPECT_EQ(Stored(), "the xteh teh");
    // A trigger key whose character does not come closes the step all the same.
    Memo.SetText("");
    Type("teh");
    Key(VK_SPACE);
    Key(VK_END);
    Type("!");
    EXPECT_EQ(Stored(), "the!");
    Memo.Undo();
    EXPECT_EQ(Stored(), "the");
    Memo.Undo();
    EXPECT_EQ(Stored(), "teh");
}

TEST_F(CommandTest, ExpansionHandlersMayChangeOrRefuseTheText) {
    TCM_Settings& s = Memo.ActiveSettings();
    s.AutoReplace.AddEntry("teh", "", "the");
    s.Templates.AddEntry("pr", "", "print(|)");
    std::string seenItem;
    char seenAtStream = 0;
    Memo.OnAutoReplace = [&](TCustomCodeMemo&, TEdStream& stream, const std::string& item,
                             std::string& with, bool& can) {
        seenItem = item;
        seenAtStream = stream.Current();
        if (stream.AbsolutePos() == 0)
            can = false; // the first word of the text stays as typed
        else
            with = "THE";
    };
    Memo.OnTemplateEvent = [&](TCustomCodeMemo&, const std::string& name, std::string& text) {
        if (name == "pr") text = "echo(|);";
    };
    Memo.SetText("");
    Type("teh teh ");
    EXPECT_EQ(Stored(), "teh THE ");
    EXPECT_EQ(seenItem, "teh");
    EXPECT_EQ(seenAtStream, 't');
    Type("pr");
    Key('J', true);
    EXPECT_EQ(Stored(), "teh THE echo();");
    EXPECT_EQ(Memo.SelStart(), 13);
}

TEST_F(CommandTest, TemplateWithCaretMarkerIsIndentedAndUndoneInOneStep) {
    TCM_Settings& s = Memo.ActiveSettings();
    s.Templates.AddEntry("ife", "if block", "if (|) {\r}");
    Memo.SetText("");
    Type("    ife");
    Key('J', true);
    Memo.Perform(WM_CHAR, 10, 0); // Ctrl+J's own character is swallowed
    EXPECT_EQ(Stored(), "    if () {\r    }");
    EXPECT_EQ(Memo.SelStart(), 8);
    Type("a");
    EXPECT_EQ(Stored(), "    if (a) {\r    }");
    Memo.Undo();
    Memo.Undo();
    EXPECT_EQ(Stored(), "    ife");
}

TEST_F(CommandTest, ColumnTrackReturnsToTheRememberedColumnPastShortLines) {
    Memo.SetText("abcdefgh\rab\r\tcdefgh\rabcdefgh");
    ASSERT_TRUE(Memo.HasOption(smoColumnTrack));
    Memo.SetTabDefault(4);
    Memo.SetSelection(6, 6);
    Key(VK_DOWN);
    EXPECT_EQ(Memo.CaretColumn(), 2);
    Key(VK_DOWN); // a tab counts by its width: visual column 6 is "e"
    EXPECT_EQ(Memo.CaretColumn(), 6);
    EXPECT_EQ(Memo.Store().StoredText(TOffset(Memo.SelStart()), TOffset(Memo.SelStart() + 1)), "e");
    Key(VK_DOWN, false, true);
    EXPECT_EQ(Memo.CaretColumn(), 6);
    // A sideways move sets a new column to return to.
    Key(VK_UP);
    Key(VK_LEFT);
    Key(VK_UP), Key(VK_UP);
    EXPECT_EQ(Memo.CaretColumn(), 5);
    // Without the option each line starts from where the caret is.
    Memo.SetOptions(Memo.Options() & ~TCodeMemoOptions(smoColumnTrack));
    Memo.SetSelection(6, 6);
    Key(VK_DOWN), Key(VK_UP);
    EXPECT_EQ(Memo.CaretColumn(), 2);
    // Up on the first line goes to the text start, and the column is kept for the way down.
    Memo.SetOptions(Memo.Options() | smoColumnTrack);
    Memo.SetSelection(6, 6);
    Key(VK_UP);
    EXPECT_EQ(Memo.SelStart(), 0);
    Key(VK_DOWN), Key(VK_DOWN);
    EXPECT_EQ(Memo.CaretColumn(), 6);
}

TEST_F(CommandTest, MovementKeysFollowTheKeyTableOnRefresh) {
    TKeyboardActionContoller& keys = Memo.ActiveSettings().KeyStore;
    Memo.SetText("abc\rdef");
    // Shift+Home bound to a command of its own only works once Home stops being a movement key.
    keys.Clear();
    keys.AddBinding(ShortCut(VK_LEFT, 0), 0, kcCursorLeft);
    keys.AddBinding(ShortCut(VK_HOME, scShift), 0, kcDeleteLine);
    keys.AddBinding(ShortCut(VK_F2, 0), 0, kcLineEnd);
    Key(VK_HOME, false, true);
    EXPECT_EQ(Stored(), "abc\rdef");
    Memo.Perform(SM_REFRESH, 0, 0);
    Key(VK_HOME, false, true);
    EXPECT_EQ(Stored(), "def");
    // A new movement key extends with Shift; the old ones still do.
    Key(VK_F2, false, true);
    EXPECT_EQ(Memo.SelText(), "def");
    Key(VK_LEFT, false, true);
    EXPECT_EQ(Memo.SelText(), "de");
}

} // namespace
} // namespace quillet
