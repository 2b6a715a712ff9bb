// Bookmark commands and the caret past line ends, through keys, clicks and the control's calls.
#include "MemoInput.h"
#include "editor/Bookmarks.h"
#include "editor/CodeMemo.h"
#include "editor/CodeMemoView.h"
#include "highlight/KeyboardActionController.h"
#include "platform/Platform.h"
#include "platform/VirtualKeys.h"
#include "platform/headless/HeadlessFonts.h"
#include "platform/headless/HeadlessWindowHost.h"
#include "tests/StoreRows.h"

#include <gtest/gtest.h>

#include <string>

namespace quillet {
namespace {

void InstallFonts(bool fixedPitch) {
    TPlatformServices s;
    s.Fonts = std::make_unique<THeadlessFonts>(fixedPitch, 7, 17);
    InstallPlatform(std::move(s));
}

class CaretTestBase : public ::testing::Test {
protected:
    static void TearDownTestSuite() { InstallFonts(false); }

    THeadlessWindowHost Host{640, 170}; // ten rows of 17 pixels
    TCodeMemo Memo{&Host};
    static constexpr int Left = 36; // gutter 34 + margin 2

    void SetUp() override {
        Host.SetFocused(true);
        Memo.Perform(WM_SETFOCUS, 0, 0);
    }
    std::string Stored() { return StoredText(Memo); }
    void Key(int vk, bool ctrl = false, bool shift = false) {
        PressKey(Host, Memo, vk, ctrl, shift);
    }
    void Type(char c) {
        Key(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        Memo.Perform(WM_CHAR, WPARAM(static_cast<unsigned char>(c)), 0);
    }
    void Click(int column, int row) {
        LPARAM at = MakePointParam(Left + column * 7 + 1, row * 17 + 3);
        Host.AdvanceTicks(5000); // never a double click
        Memo.Perform(WM_LBUTTONDOWN, MK_LBUTTON, at);
        Memo.Perform(WM_LBUTTONUP, 0, at);
    }
    // Blanks fill past the end unless a test asks for smart fill.
    void AfterEOL() {
        Memo.SetOptions((Memo.Options() | smoCaretAfterEOL) & ~TCodeMemoOptions(smoSmartFill));
    }
};

class FixedCaretTest : public CaretTestBase {
protected:
    static void SetUpTestSuite() { InstallFonts(true); }
};

class ProportionalCaretTest : public CaretTestBase {
protected:
    static void SetUpTestSuite() { InstallFonts(false); }
};

std::string Lines(int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "line" + std::to_string(i) + (i + 1 < count ? "\r" : "");
    return text;
}

TEST_F(FixedCaretTest, SetBookmarkTogglesOnItsLineAndMovesFromAnother) {
    Memo.SetText(Lines(5));
    std::vector<int> raised;
    Memo.OnBookmarkSet = [&](TCustomCodeMemo&, int n) { raised.push_back(n); };
    Memo.SetSelection(8, 8); // line 1, column 2
    Memo.ExecuteCommand(kcSetBookmark0 + 3, 0, false);
    EXPECT_EQ(Memo.BookmarkLine(3), 1);
    Memo.ExecuteCommand(kcSetBookmark0 + 3, 0, false);
    EXPECT_EQ(Memo.BookmarkLine(3), -1);
    // Going to a bookmark no line carries does nothing.
    Memo.SetSelection(1, 3);
    Memo.ExecuteCommand(kcGotoBookmark0 + 3, 0, false);
    EXPECT_EQ(Memo.Selection().Anchor, 1);
    EXPECT_EQ(Memo.Selection().Caret, 3);

    Memo.SetSelection(8, 8);
    Memo.ExecuteCommand(kcSetBookmark0 + 3, 0, false);
    Memo.SetSelection(20, 20); // line 3, column 2
    Memo.ExecuteCommand(kcSetBookmark0 + 3, 0, false);
    EXPECT_EQ(Memo.BookmarkLine(3), 3);
    EXPECT_EQ(Memo.Store().Line(TRow(1)).Marks & lmBookmarkBits, 0);
    // A second bookmark on that line takes the first one's place.
    Memo.ExecuteCommand(kcSetBookmark0 + 4, 0, false);
    EXPECT_EQ(Memo.Store().Line(TRow(3)).Marks & lmBookmarkBits, 1 << 4);
    EXPECT_EQ(Memo.BookmarkLine(3), -1);
    EXPECT_EQ(raised, (std::vector<int>{3, 3, 3, 4})); // a removal raises nothing
}

TEST_F(FixedCaretTest, GotoBookmarkReturnsToItsColumnAndCentresTheLine) {
    Memo.SetText(Lines(40));
    int line30 = RowStart(Memo.Store(), 30);
    Memo.SetSelection(line30 + 4, line30 + 4);
    Key('K', true), Key('7'); // Ctrl+K 7
    Key(VK_HOME, true);
    EXPECT_EQ(Memo.TopLine(), 0);
    Key('Q', true), Key('7');
    EXPECT_EQ(Memo.SelStart(), line30 + 4);
    EXPECT_EQ(Memo.SelLength(), 0);
    EXPECT_EQ(Memo.TopLine(), 30 - 10 / 2);
    // The bookmark stays with its text when lines come before it.
    Key(VK_HOME, true);
    Type('\r');
    Key('Q', true), Key('7');
    EXPECT_EQ(Memo.Store().StoredText(TOffset(Memo.SelStart() - 4), TOffset(Memo.SelStart())),
              "line");
    EXPECT_EQ(Memo.CaretLine(), 31);
    // A line shortened below the stored column: its end.
    Memo.SetSelection(Memo.SelStart() - 3, Memo.SelStart() + 2);
    Memo.SetSelText("");
    Key(VK_HOME, true);
    Key('Q', true), Key('7');
    EXPECT_EQ(Memo.CaretColumn(), 1);
    EXPECT_EQ(Memo.Store().StoredText(TOffset(Memo.SelStart() - 1), TOffset(Memo.SelStart() + 1)),
              "l\r");
}

TEST_F(FixedCaretTest, BookmarkIndexOutsideTheTenRaisesAndChangesNothing) {
    Memo.SetText(Lines(3));
    for (int bad : {10, -1}) {
        try {
            Memo.SetBookmark(bad);
            FAIL() << "no error for " << bad;
        } catch (const ECodeMemo& e) {
            EXPECT_STREQ(e.what(), "Bookmark index range error");
        }
        EXPECT_THROW(Memo.GotoBookmark(bad), ECodeMemo);
    }
    for (int line = 0; line < 3; ++line)
        EXPECT_EQ(Memo.Store().Line(TRow(line)).Marks, 0);
    // Bookmarks are no edit: a read-only control sets and reaches them.
    Memo.SetReadOnly(true);
    Memo.SetBookmark(9, 3, 2);
    Memo.GotoBookmark(9);
    EXPECT_EQ(Memo.SelStart(), RowStart(Memo.Store(), 2) + 1);
}

TEST_F(FixedCaretTest, BookmarksBelongToTheStoreTheControlsShare) {
    Memo.SetText(Lines(6));
    THeadlessWindowHost otherHost{640, 170};
    TCodeMemo other{&otherHost};
    other.Perform(SM_TEXTSTORE, smSET, LPARAM(&Memo.Store()));
    Memo.SetSelection(RowStart(Memo.Store(), 4) + 2, RowStart(Memo.Store(), 4) + 2);
    Memo.ExecuteCommand(kcSetBookmark0 + 1, 0, false);
    other.ExecuteCommand(kcGotoBookmark0 + 1, 0, false);
    EXPECT_EQ(other.SelStart(), RowStart(Memo.Store(), 4) + 2);
    // With the whole text gone no line carries it: going there does nothing.
    Memo.SetText("");
    Memo.SetText(Lines(6));
    Memo.SetSelection(3, 3);
    Memo.ExecuteCommand(kcGotoBookmark0 + 1, 0, false);
    EXPECT_EQ(Memo.SelStart(), 3);
    EXPECT_EQ(Memo.BookmarkLine(1), -1);
    other.Perform(SM_TEXTSTORE, smSET, 0); // back to its own store before Memo goes
}

TEST_F(FixedCaretTest, RightPastTheEndThenTypingFillsWithBlanksInOneUndoStep) {
    AfterEOL();
    Memo.SetText("ab\rabcdef");
    Key(VK_END);
    Key(VK_RIGHT), Key(VK_RIGHT), Key(VK_RIGHT);
    EXPECT_EQ(Memo.SelStart(), 2); // the offset stays at the line end
    EXPECT_EQ(Memo.CaretColumn(), 5);
    EXPECT_TRUE(Memo.CaretBeyondEnd());
    EXPECT_EQ(Host.CaretPos().X, Left + 5 * 7);
    Key(VK_LEFT);
    EXPECT_EQ(Memo.CaretColumn(), 4);
    Type('x');
    EXPECT_EQ(Stored(), "ab  x\rabcdef");
    EXPECT_FALSE(Memo.CaretBeyondEnd());
    Memo.Undo();
    EXPECT_EQ(Stored(), "ab\rabcdef");

    // Pasting there too; one Undo takes the fill with the pasted text.
    Platform().Clipboard->SetText("pq");
    Memo.SetSelection(2, 2);
    Key(VK_RIGHT), Key(VK_RIGHT);
    Key('V', true);
    EXPECT_EQ(Stored(), "ab  pq\rabcdef");
    Memo.Undo();
    EXPECT_EQ(Stored(), "ab\rabcdef");

    // Smart fill puts tabs where whole tab stops fit.
    Memo.SetOptions(Memo.Options() | smoUseTAB | smoSmartFill);
    Memo.SetTabDefault(4);
    Memo.SetSelection(2, 2);
    for (int i = 0; i < 8; ++i)
        Key(VK_RIGHT);
    Type('y');
    EXPECT_EQ(Stored(), "ab\t\t  y\rabcdef");
}

TEST_F(FixedCaretTest, LeftBackspaceAndDeleteAtTheVirtualCaret) {
    AfterEOL();
    Memo.SetText("ab\rcd");
    Memo.SetSelection(3, 3);
    Key(VK_LEFT); // column 0: no wrap to the line above
    EXPECT_EQ(Memo.SelStart(), 3);
    Memo.SetSelection(2, 2);
    Key(VK_RIGHT), Key(VK_RIGHT);
    Key(VK_BACK); // beyond the end Backspace only moves left
    EXPECT_EQ(Stored(), "ab\rcd");
    EXPECT_EQ(Memo.CaretColumn(), 3);
    Key(VK_LEFT); // arriving at the end puts the caret on the text
    EXPECT_FALSE(Memo.CaretBeyondEnd());
    EXPECT_EQ(Memo.CaretColumn(), 2);
    Key(VK_RIGHT), Key(VK_RIGHT);
    Key(VK_DELETE); // fills up to the caret, then joins the next line there
    EXPECT_EQ(Stored(), "ab  cd");
    EXPECT_EQ(Memo.SelStart(), 4);
    Memo.Undo();
    EXPECT_EQ(Stored(), "ab\rcd");
    // Shift+Right past the end keeps the anchor.
    Memo.SetSelection(0, 0);
    Key(VK_RIGHT, false, true), Key(VK_RIGHT, false, true), Key(VK_RIGHT, false, true);
    EXPECT_EQ(Memo.Selection().Anchor, 0);
    EXPECT_EQ(Memo.Selection().Caret, 2);
    EXPECT_EQ(Memo.CaretColumn(), 3);
    // The column has a ceiling.
    Memo.SetSelection(2, 2);
    for (int i = 0; i < 2100; ++i)
        Key(VK_RIGHT);
    EXPECT_EQ(Memo.CaretColumn(), 2047);
}

TEST_F(FixedCaretTest, UpAndDownKeepTheColumnPastShortLinesAndClicksStayWhereClicked) {
    AfterEOL();
    Memo.SetText("abcdefgh\rab\rabcdefgh");
    Memo.SetSelection(6, 6);
    Key(VK_DOWN);
    EXPECT_EQ(Memo.CaretLine(), 1);
    EXPECT_EQ(Memo.CaretColumn(), 6);
    EXPECT_EQ(Memo.SelStart(), 11);
    Key(VK_DOWN);
    EXPECT_EQ(Memo.SelStart(), 12 + 6);
    EXPECT_FALSE(Memo.CaretBeyondEnd());
    Click(5, 1);
    EXPECT_EQ(Memo.CaretLine(), 1);
    EXPECT_EQ(Memo.CaretColumn(), 5);
    Type('z');
    EXPECT_EQ(Stored(), "abcdefgh\rab   z\rabcdefgh");
    // Dragging past the end selects to the line end, the caret where the mouse is.
    Host.AdvanceTicks(5000);
    Memo.Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakePointParam(Left + 1 * 7 + 1, 3));
    Memo.Perform(WM_MOUSEMOVE, MK_LBUTTON, MakePointParam(Left + 12 * 7 + 1, 3));
    EXPECT_EQ(Memo.Selection().Anchor, 1);
    EXPECT_EQ(Memo.Selection().Caret, 8);
    EXPECT_EQ(Memo.CaretColumn(), 12);
    Memo.Perform(WM_LBUTTONUP, 0, MakePointParam(Left + 12 * 7 + 1, 3));
    // A click on the text is an ordinary click.
    Click(1, 0);
    EXPECT_EQ(Memo.SelStart(), 1);
    EXPECT_FALSE(Memo.CaretBeyondEnd());
}

TEST_F(ProportionalCaretTest, WithoutFixedPitchTheCaretStaysOnTheText) {
    AfterEOL();
    EXPECT_FALSE(Memo.View().Metrics().FixedPitch);
    Memo.SetText("ab\rcd");
    Memo.SetSelection(2, 2);
    Key(VK_RIGHT);
    EXPECT_EQ(Memo.SelStart(), 3); // to the next line, as without the option
    EXPECT_FALSE(Memo.CaretBeyondEnd());
    Memo.SetSelection(2, 2);
    Click(20, 0);
    EXPECT_EQ(Memo.SelStart(), 2);
    EXPECT_EQ(Memo.CaretColumn(), 2);
    Type('x');
    EXPECT_EQ(Stored(), "abx\rcd"); // no blanks before it
}

} // namespace
} // namespace quillet
