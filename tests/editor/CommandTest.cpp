// The key-down route and the command executor, through the control's messages.
#include "editor/CodeMemo.h"
#include "highlight/KeyboardActionController.h"
#include "highlight/Settings.h"
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

    std::string Stored() { return Memo.Store().StoredText(0, Memo.Store().CharCount()); }
    void Key(int vk, bool ctrl = false, bool shift = false) {
        Host.SetKeyDown(VK_CONTROL, ctrl);
        Host.SetKeyDown(VK_SHIFT, shift);
        Memo.Perform(WM_KEYDOWN, WPARAM(vk), 0);
        Host.SetKeyDown(VK_CONTROL, false);
        Host.SetKeyDown(VK_SHIFT, false);
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

} // namespace
} // namespace quillet
