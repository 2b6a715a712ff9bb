// The template / auto-replace list on the control: opening, keys and clicks while it is shown,
// painting over the text; and the control's own marks and breakpoints following edits.
#include "FixedFontTest.h"
#include "MemoInput.h"
#include "editor/CodeMemo.h"
#include "editor/CodeMemoView.h"
#include "editor/LineTrack.h"
#include "highlight/AutoReplaceExpansion.h"
#include "highlight/Settings.h"
#include "platform/Platform.h"
#include "platform/VirtualKeys.h"
#include "platform/headless/HeadlessFonts.h"
#include "platform/headless/HeadlessWindowHost.h"
#include "tests/StoreRows.h"

#include <gtest/gtest.h>

#include <string>

namespace quillet {
namespace {

constexpr TColor Red = 0x0000FF;

class PopupTest : public FixedFontTest {
protected:
    void SetUp() override {
        TCM_Settings& s = Memo.ActiveSettings();
        s.Templates.AddEntry("while", "while loop", "while (|) {}");
        s.Templates.AddEntry("for", "for loop", "for (|) {}");
        s.Templates.AddEntry("do", "do loop", "do {|} while ();");
    }

    THeadlessWindowHost Host{640, 400};
    TCodeMemo Memo{&Host};
    static constexpr int Left = 36;
    static constexpr int Lh = 17;

    std::string Stored() { return StoredText(Memo); }
    THeadlessCanvas& Canvas() { return Host.HeadlessCanvas(); }
    void Key(int vk, bool ctrl = false) { PressKey(Host, Memo, vk, ctrl); }
    // A key-down and the character it makes, as a keyboard sends them.
    void Press(int vk, char c, bool ctrl = false) {
        Key(vk, ctrl);
        Memo.Perform(WM_CHAR, WPARAM(static_cast<unsigned char>(c)), 0);
    }
    void Type(std::string_view text) {
        for (char c : text) {
            int vk = c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c == ' ' ? int(VK_SPACE) : int(c);
            Press(vk, c);
        }
    }
    void CtrlJ() { Press('J', 10, true); }
    std::string SelectedName() {
        TMacroPopupList* list = Memo.MacroPopupList();
        return list && list->Selected() >= 0 ? list->Name(list->Selected()) : "";
    }
    void Paint() {
        Memo.View().InvalidateAll();
        Canvas().ClearLog();
        Memo.Perform(WM_PAINT, 0, 0);
    }
    void Click(int x, int y) {
        Memo.Perform(WM_LBUTTONDOWN, 0, MakeLong(x, y));
        Memo.Perform(WM_LBUTTONUP, 0, MakeLong(x, y));
    }
};

TEST_F(PopupTest, TemplateKeyAfterAnUnknownWordOffersTheListAndReturnExpandsInOneStep) {
    Memo.SetText("");
    Type("x wh");
    CtrlJ();
    ASSERT_TRUE(Memo.MacroPopupShown());
    // The partial word is selected and shown, and the first name containing it is picked.
    EXPECT_EQ(Stored(), "x wh");
    EXPECT_EQ(Memo.SelStart(), 2);
    EXPECT_EQ(Memo.SelLength(), 2);
    EXPECT_FALSE(Memo.HideSelection());
    EXPECT_EQ(SelectedName(), "while");

    // Drawn over the text, just below the caret line.
    Paint();
    TRect b = Memo.MacroPopupBounds();
    EXPECT_EQ(b.Top, Lh);
    bool sawName = false, sawDescription = false;
    for (const auto& r : Canvas().TextRuns()) {
        if (!b.Contains({r.X, r.Y})) continue;
        sawName |= r.Text == "while";
        sawDescription |= r.Text == "while loop";
    }
    EXPECT_TRUE(sawName);
    EXPECT_TRUE(sawDescription);

    // Movement stays inside the list.
    Key(VK_UP);
    EXPECT_EQ(SelectedName(), "for");
    Key(VK_HOME);
    EXPECT_EQ(SelectedName(), "do");
    Key(VK_UP);
    EXPECT_EQ(SelectedName(), "do");
    Key(VK_NEXT);
    EXPECT_EQ(SelectedName(), "while");
    Key(VK_PRIOR);
    EXPECT_EQ(SelectedName(), "do");
    Key(VK_END);
    Key(VK_DOWN);
    EXPECT_EQ(SelectedName(), "while");
    EXPECT_EQ(Stored(), "x wh");

    Press(VK_RETURN, 13);
    EXPECT_FALSE(Memo.MacroPopupShown());
    EXPECT_EQ(Stored(), "x while () {}");
    EXPECT_EQ(Memo.SelStart(), 9);
    EXPECT_EQ(Memo.SelLength(), 0);
    EXPECT_TRUE(Memo.HideSelection());
    Memo.Undo();
    EXPECT_EQ(Stored(), "x wh");
}

TEST_F(PopupTest, EscapeAndOtherKeysCloseTheListLeavingTheText) {
    Memo.SetText("");
    Type("x fo");
    CtrlJ();
    ASSERT_TRUE(Memo.MacroPopupShown());
    Key(VK_SHIFT); // a modifier alone keeps it open
    EXPECT_TRUE(Memo.MacroPopupShown());
    Press(VK_ESCAPE, 27);
    EXPECT_FALSE(Memo.MacroPopupShown());
    EXPECT_EQ(Stored(), "x fo");
    EXPECT_EQ(Memo.SelStart(), 4);
    EXPECT_EQ(Memo.SelLength(), 0);
    EXPECT_TRUE(Memo.HideSelection());

    // A key that is no list key closes it and goes on to do its work.
    CtrlJ();
    Key(VK_LEFT);
    EXPECT_FALSE(Memo.MacroPopupShown());
    EXPECT_EQ(Memo.SelStart(), 3);
    Key(VK_END);

    // A character that types nothing closes it too, after the partial word, not over it.
    CtrlJ();
    ASSERT_EQ(Memo.SelLength(), 2);
    Memo.Perform(WM_CHAR, 1, 0);
    EXPECT_FALSE(Memo.MacroPopupShown());
    EXPECT_EQ(Stored(), "x fo");
    EXPECT_EQ(Memo.SelStart(), 4);
    EXPECT_EQ(Memo.SelLength(), 0);

    // Losing the focus hides it, restores the hide-selection setting and leaves the caret
    // at the end of the partial word.
    CtrlJ();
    ASSERT_FALSE(Memo.HideSelection());
    Memo.Perform(WM_KILLFOCUS, 0, 0);
    EXPECT_FALSE(Memo.MacroPopupShown());
    EXPECT_EQ(Stored(), "x fo");
    EXPECT_TRUE(Memo.HideSelection());
    EXPECT_EQ(Memo.SelStart(), 4);
    EXPECT_EQ(Memo.SelLength(), 0);
    // A control that shows its selection unfocused keeps doing so.
    Memo.SetHideSelection(false);
    CtrlJ();
    Memo.Perform(WM_KILLFOCUS, 0, 0);
    EXPECT_FALSE(Memo.HideSelection());
}

TEST_F(PopupTest, TypedCharactersSearchTheListAndNeverReachTheText) {
    TCM_Settings& s = Memo.ActiveSettings();
    s.Templates.AddEntry("Width", "width property", "width: |;");
    s.Templates.AddEntry("wrap", "wrap", "wrap");
    Memo.SetText("");
    Type("x fo");
    CtrlJ();
    ASSERT_EQ(SelectedName(), "for");
    // Names are matched from their start, ignoring case; the text and its selection stay.
    Type("W");
    EXPECT_EQ(SelectedName(), "while");
    Type("I");
    EXPECT_EQ(SelectedName(), "width");
    EXPECT_EQ(Memo.MacroPopupList()->SearchText(), "WI");
    EXPECT_EQ(Stored(), "x fo");
    EXPECT_EQ(Memo.SelLength(), 2);
    // No "wix": the search starts again with "x", which matches nothing and is dropped.
    Type("x");
    EXPECT_EQ(SelectedName(), "width");
    EXPECT_EQ(Memo.MacroPopupList()->SearchText(), "");
    // "dw" fails, so "w" alone is looked for; Backspace shortens the search text.
    Type("dw");
    EXPECT_EQ(SelectedName(), "while");
    Type("r");
    EXPECT_EQ(SelectedName(), "wrap");
    Press(VK_BACK, 8);
    EXPECT_EQ(Memo.MacroPopupList()->SearchText(), "w");
    EXPECT_EQ(SelectedName(), "while");
    EXPECT_TRUE(Memo.MacroPopupShown());
    EXPECT_EQ(Stored(), "x fo");
    // A character without a key of its own (an input method's) searches as well.
    Memo.Perform(WM_CHAR, 'i', 0);
    EXPECT_EQ(SelectedName(), "width");
    // Return expands what the search found; one Undo brings the typed word back.
    Press(VK_RETURN, 13);
    EXPECT_FALSE(Memo.MacroPopupShown());
    EXPECT_EQ(Stored(), "x fowidth: ;");
    EXPECT_EQ(Memo.SelStart(), 11);
    Memo.Undo();
    EXPECT_EQ(Stored(), "x fo");

    // With the search text empty Backspace closes the list and deletes as always.
    CtrlJ();
    Type("d");
    Press(VK_BACK, 8);
    EXPECT_TRUE(Memo.MacroPopupShown());
    Press(VK_BACK, 8);
    EXPECT_FALSE(Memo.MacroPopupShown());
    EXPECT_EQ(Stored(), "x f");
    // Ctrl with a letter is a command, not a search: the list closes and the command runs.
    CtrlJ();
    ASSERT_TRUE(Memo.MacroPopupShown());
    Press('A', 1, true);
    EXPECT_FALSE(Memo.MacroPopupShown());
    EXPECT_EQ(Memo.SelLength(), 3);
}

TEST_F(PopupTest, NoWordBeforeTheCaretOffersEveryEntryAndTabPicks) {
    Memo.SetText("");
    CtrlJ();
    ASSERT_TRUE(Memo.MacroPopupShown());
    EXPECT_EQ(SelectedName(), "do");
    EXPECT_EQ(Memo.MacroPopupList()->Count(), 3);
    Key(VK_DOWN);
    Press(VK_TAB, 9);
    EXPECT_EQ(Stored(), "for () {}");
    EXPECT_EQ(Memo.SelStart(), 5);
    Memo.Undo();
    EXPECT_EQ(Stored(), "");
}

TEST_F(PopupTest, ClickOnAnItemPicksItAndAClickElsewhereCloses) {
    Memo.SetText("");
    Type("x wh");
    CtrlJ();
    TRect b = Memo.MacroPopupBounds();
    // A click on the text closes the list and places the caret as usual.
    Click(Left, 2);
    EXPECT_FALSE(Memo.MacroPopupShown());
    EXPECT_EQ(Stored(), "x wh");
    EXPECT_EQ(Memo.SelStart(), 0);

    Memo.SetSelection(4, 4);
    CtrlJ();
    b = Memo.MacroPopupBounds();
    const int itemHeight = 17 + 2;
    // The first item: "do" does not contain "wh", so the partial word stays before it.
    Click(b.Left + 5, b.Top + 1 + itemHeight / 2);
    EXPECT_FALSE(Memo.MacroPopupShown());
    EXPECT_EQ(Stored(), "x whdo {} while ();");
    EXPECT_EQ(Memo.SelStart(), 8);
    Memo.Undo();
    EXPECT_EQ(Stored(), "x wh");
}

TEST_F(PopupTest, AutoReplaceOffersItsListWhenItsFlagIsOn) {
    TAutoReplace& ar = Memo.ActiveSettings().AutoReplace;
    ar.AddEntry("teh", "typo", "the");
    Memo.SetText("");
    Type("x q");
    ar.SetPopupWhenNoMatch(true);
    Press(VK_SPACE, ' ');
    ASSERT_TRUE(Memo.MacroPopupShown());
    EXPECT_EQ(Stored(), "x q"); // the key that opened it is not typed
    EXPECT_EQ(SelectedName(), "teh");
    Press(VK_RETURN, 13);
    EXPECT_EQ(Stored(), "x qthe");
    // Switched off, the same key just types.
    ar.SetPopupWhenNoMatch(false);
    Type(" q ");
    EXPECT_FALSE(Memo.MacroPopupShown());
    EXPECT_EQ(Stored(), "x qthe q ");
}

TEST_F(PopupTest, MarksAndBreakpointsOfTheControlFollowEditsAndAreDrawn) {
    Memo.SetText("abc\r\ndef\r\nghi");
    TLineTracker& t = Memo.LineTracker();
    TMark& mark = t.Marks().Add(TOffset(4), 3); // "def"
    t.Breakpoints.Add(RowStart(Memo.Store(), 2));
    Memo.SetSelection(1, 1);
    Type("XY");
    EXPECT_EQ(t.Marks().MarkStart(mark), TOffset(6));
    EXPECT_EQ(t.Marks().MarkEnd(mark), TOffset(9));
    Paint();
    // The zigzag under "def", which is on row 1 at column 0.
    const int low = Lh - 2;
    EXPECT_EQ(Canvas().Pixel(Left, Lh + low), Red);
    EXPECT_NE(Canvas().Pixel(Left, low), Red);
    // The breakpoint's line is drawn white on red.
    bool redLine = false;
    for (const auto& r : Canvas().TextRuns())
        if (r.Y == 2 * Lh && r.X >= Left) redLine |= r.Back == Red && r.Text.find("ghi") == 0;
    EXPECT_TRUE(redLine);

    // A deletion before it and undoing the edits move it back.
    Memo.SetSelection(0, 0);
    Key(VK_DELETE);
    EXPECT_EQ(t.Marks().MarkStart(mark), TOffset(5));
    for (int i = 0; i < 4 && Memo.CanUndo(); ++i)
        Memo.Undo();
    EXPECT_EQ(t.Marks().MarkStart(mark), TOffset(4));
    EXPECT_EQ(Stored(), "abc\rdef\rghi");
}

TEST_F(PopupTest, EntriesRemovedWhileTheListIsShownNeitherCrashNorExpand) {
    Memo.SetText("");
    Type("x wh");
    CtrlJ();
    ASSERT_TRUE(Memo.MacroPopupShown());
    Memo.ActiveSettings().Templates.DeleteEntry("while");
    Paint(); // its row has no description left
    Press(VK_RETURN, 13);
    EXPECT_FALSE(Memo.MacroPopupShown());
    EXPECT_EQ(Stored(), "x wh");
}

TEST_F(PopupTest, EditsOfASharedStoreMoveMarksAndAnotherStoreDropsThem) {
    TCodeMemo other{nullptr};
    other.SetText("one two");
    Memo.Perform(SM_TEXTSTORE, smSET, LPARAM(&other.Store()));
    TLineTracker& t = Memo.LineTracker();
    TMark& mark = t.Marks().Add(TOffset(4), 3); // "two"
    t.Breakpoints.Add(0);
    // The other control's edit reaches this control's marks.
    other.SetSelection(0, 0);
    other.SetSelText("zero ");
    EXPECT_EQ(t.Marks().MarkStart(mark), TOffset(9));
    // Back on its own store the places in the shared text mean nothing.
    Memo.Perform(SM_TEXTSTORE, smSET, 0);
    EXPECT_EQ(t.Marks().Count(), 0u);
    EXPECT_EQ(t.Breakpoints.Count(), 0u);
}

} // namespace
} // namespace quillet
