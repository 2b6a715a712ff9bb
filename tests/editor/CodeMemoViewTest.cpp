// The control on a headless window: painting what is dirty, pixels and offsets, mouse, scrolling.
#include "editor/CodeMemoView.h"
#include "FixedFontTest.h"
#include "editor/CodeMemo.h"
#include "editor/LineTrack.h"
#include "editor/UndoStack.h"
#include "highlight/KeyboardActionController.h"
#include "highlight/Settings.h"
#include "platform/Platform.h"
#include "platform/VirtualKeys.h"
#include "platform/headless/HeadlessFonts.h"
#include "platform/headless/HeadlessWindowHost.h"

#include <gtest/gtest.h>

#include <string>

namespace quillet {
namespace {

class CodeMemoViewTest : public FixedFontTest {
protected:
    THeadlessWindowHost Host{640, 170}; // ten rows of 17 pixels
    TCodeMemo Memo{&Host};
    // Gutter 34 + margin 2.
    static constexpr int Left = 36;

    void SetUp() override {
        Host.SetFocused(true);
        Memo.Perform(WM_SETFOCUS, 0, 0);
    }
    LPARAM At(int column, int row) { return MakePointParam(Left + column * 7 + 1, row * 17 + 3); }
    void Click(int column, int row, WPARAM keys = MK_LBUTTON) {
        Memo.Perform(WM_LBUTTONDOWN, keys, At(column, row));
        Memo.Perform(WM_LBUTTONUP, keys & ~MK_LBUTTON, At(column, row));
    }
    void Paint() { Memo.Perform(WM_PAINT, 0, 0); }
    std::vector<int> PaintedRows() {
        std::vector<int> rows;
        for (const auto& run : Host.HeadlessCanvas().TextRuns())
            if (run.X >= Left && (rows.empty() || rows.back() != run.Y / 17))
                rows.push_back(run.Y / 17);
        return rows;
    }
};

TEST_F(CodeMemoViewTest, MetricsFollowTheFont) {
    const TViewMetrics& m = Memo.View().Metrics();
    EXPECT_TRUE(m.FixedPitch);
    EXPECT_EQ(m.CharWidth, 7);
    EXPECT_EQ(m.LineHeight, 17);
    EXPECT_EQ(Memo.View().TextLeft(), Left);
    Memo.SetOptions(Memo.Options() & ~TCodeMemoOptions(smoShowGutter));
    EXPECT_EQ(Memo.View().TextLeft(), 2);
}

TEST_F(CodeMemoViewTest, PaintsOnlyTheLinesThatChanged) {
    Memo.SetText("one\r\ntwo\r\nthree");
    Paint();
    EXPECT_EQ(PaintedRows(), (std::vector<int>{0, 1, 2}));
    Host.HeadlessCanvas().ClearLog();
    Paint();
    EXPECT_TRUE(PaintedRows().empty());
    Memo.SetSelStart(5);
    Memo.Perform(WM_CHAR, 'X', 0);
    Host.ClearInvalidated();
    Paint();
    EXPECT_EQ(PaintedRows(), (std::vector<int>{1}));
    const auto& runs = Host.HeadlessCanvas().TextRuns();
    ASSERT_FALSE(runs.empty());
    EXPECT_EQ(runs[0].Text.substr(0, 2), "tX"); // the rest of the row moves with its pixels
    EXPECT_EQ(runs[0].Advances, std::vector<int>(runs[0].Text.size(), 7));
    // A new line shifts every row below it.
    Host.HeadlessCanvas().ClearLog();
    Memo.Perform(WM_CHAR, 13, 0);
    Paint();
    EXPECT_EQ(PaintedRows(), (std::vector<int>{0, 1, 2, 3}));
}

TEST_F(CodeMemoViewTest, TabsAreExpandedAndSelectionIsPaintedInItsColours) {
    Memo.SetText("\tab");
    Memo.SetSelection(1, 2);
    Paint();
    const auto& runs = Host.HeadlessCanvas().TextRuns();
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].Text, "    ");
    EXPECT_EQ(runs[1].Text, "a");
    EXPECT_EQ(runs[1].X, Left + 4 * 7);
    TColor selBack = TCodeMemoView::Resolve(Memo.SelTextBack());
    EXPECT_EQ(runs[1].Back, selBack);
    EXPECT_EQ(Host.HeadlessCanvas().Pixel(Left + 4 * 7, 1), selBack);
    EXPECT_EQ(Host.HeadlessCanvas().Pixel(Left + 5 * 7, 1), clWhite);
    EXPECT_NE(Host.HeadlessCanvas().Pixel(10, 5), clWhite); // the gutter
}

TEST_F(CodeMemoViewTest, OffsetsAndPixels) {
    Memo.SetText("ab\tc\r\n\xD0\xB6z");
    EXPECT_EQ(Memo.Perform(EM_CHARFROMPOS, 0, MakePointParam(10, 3)), -1); // the gutter
    EXPECT_EQ(Memo.Perform(EM_CHARFROMPOS, 0, MakePointParam(700, 3)), -1);
    EXPECT_EQ(Memo.Perform(EM_CHARFROMPOS, 0, MakePointParam(Left, 200)), -1);
    EXPECT_EQ(Memo.Perform(EM_CHARFROMPOS, 0, At(1, 0)), 1);
    EXPECT_EQ(Memo.Perform(EM_CHARFROMPOS, 0, At(3, 0)), 2); // inside the tab
    EXPECT_EQ(Memo.Perform(EM_CHARFROMPOS, 0, At(4, 0)), 3);
    EXPECT_EQ(Memo.Perform(EM_CHARFROMPOS, 0, At(30, 0)), 4);
    EXPECT_EQ(Memo.Perform(EM_CHARFROMPOS, 0, At(1, 1)), 7); // after the two-byte letter
    TPoint p;
    Memo.Perform(EM_POSFROMCHAR, WPARAM(&p), 3);
    EXPECT_EQ(p, (TPoint{Left + 28, 0}));
    Memo.Perform(EM_POSFROMCHAR, WPARAM(&p), 6); // inside the letter: its start
    EXPECT_EQ(p, (TPoint{Left, 17}));
}

TEST_F(CodeMemoViewTest, ClicksPlaceTheCaretAndShiftExtends) {
    Memo.SetText("alpha beta\r\ngamma");
    Click(2, 1);
    EXPECT_EQ(Memo.SelStart(), 13);
    EXPECT_EQ(Host.CaretPos(), (TPoint{Left + 14, 17}));
    EXPECT_TRUE(Host.CaretShown());
    Host.AdvanceTicks(1000);
    Click(8, 0, MK_LBUTTON | MK_SHIFT);
    EXPECT_EQ(Memo.Selection().Anchor, 13);
    EXPECT_EQ(Memo.Selection().Caret, 8);
    Host.AdvanceTicks(1000);
    Click(1, 0, MK_LBUTTON | MK_SHIFT); // before the start: only the start moves
    EXPECT_EQ(Memo.SelStart(), 1);
    EXPECT_EQ(Memo.SelStart() + Memo.Store().CharCount() - 16, 1);
    EXPECT_EQ(std::max(Memo.Selection().Anchor, Memo.Selection().Caret), 13);
}

TEST_F(CodeMemoViewTest, DragSelectsAndMultipleClicksSelectWordAndLine) {
    Memo.SetText("alpha beta\r\ngamma");
    Memo.Perform(WM_LBUTTONDOWN, MK_LBUTTON, At(1, 0));
    Memo.Perform(WM_MOUSEMOVE, MK_LBUTTON, At(4, 0));
    Memo.Perform(WM_LBUTTONUP, 0, At(4, 0));
    EXPECT_EQ(Memo.SelText(), "lph");
    Host.AdvanceTicks(1000);
    Memo.Perform(WM_LBUTTONDOWN, MK_LBUTTON, At(7, 0));
    Host.AdvanceTicks(100);
    Memo.Perform(WM_LBUTTONDOWN, MK_LBUTTON, At(7, 0));
    Memo.Perform(WM_LBUTTONDBLCLK, MK_LBUTTON, At(7, 0));
    EXPECT_EQ(Memo.SelText(), "beta");
    Host.AdvanceTicks(100);
    Memo.Perform(WM_LBUTTONDOWN, MK_LBUTTON, At(7, 0));
    EXPECT_EQ(Memo.SelText(), "alpha beta\r\n");
    Host.AdvanceTicks(100);
    // The fourth is a single click again: inside the selection it waits for a drag, and
    // the release places the caret.
    Memo.Perform(WM_LBUTTONDOWN, MK_LBUTTON, At(7, 0));
    EXPECT_EQ(Memo.SelText(), "alpha beta\r\n");
    Memo.Perform(WM_LBUTTONUP, 0, At(7, 0));
    EXPECT_EQ(Memo.SelText(), "");
    EXPECT_EQ(Memo.SelStart(), 7);
}

TEST_F(CodeMemoViewTest, TheRightMarginIsDraggedAsAnInvertedLineAndSetOnRelease) {
    Memo.SetText("short\r\nline");
    Paint();
    const int from = Left + 80 * 7, to = Left + 70 * 7;
    const TColor plain = Host.HeadlessCanvas().Pixel(to, 100);
    Memo.Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakePointParam(from + 1, 40));
    ASSERT_TRUE(Memo.MarginDragging());
    Memo.Perform(WM_MOUSEMOVE, MK_LBUTTON, MakePointParam(to - 2, 40));
    Paint();
    // Inverted over the whole height, text rows and the rows below the text alike.
    EXPECT_EQ(Memo.MarginDragX(), to);
    EXPECT_EQ(Host.HeadlessCanvas().Pixel(to, 5), plain ^ 0xFFFFFFu);
    EXPECT_EQ(Host.HeadlessCanvas().Pixel(to, 160), plain ^ 0xFFFFFFu);
    EXPECT_EQ(Memo.RightMargin(), 80); // nothing is applied before the release
    Memo.Perform(WM_LBUTTONUP, 0, MakePointParam(to - 2, 40));
    Paint();
    EXPECT_EQ(Memo.RightMargin(), 70);
    EXPECT_EQ(Memo.MarginDragX(), -1);
    EXPECT_NE(Host.HeadlessCanvas().Pixel(to, 160), plain ^ 0xFFFFFFu);
    EXPECT_EQ(Memo.SelLength(), 0);
    // Losing the focus in the middle of a drag keeps the old column.
    Memo.Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakePointParam(to, 40));
    Memo.Perform(WM_MOUSEMOVE, MK_LBUTTON, MakePointParam(to + 35, 40));
    Memo.Perform(WM_KILLFOCUS, 0, 0);
    Memo.Perform(WM_LBUTTONUP, 0, MakePointParam(to + 35, 40));
    EXPECT_EQ(Memo.RightMargin(), 70);
}

TEST_F(CodeMemoViewTest, AutoScrollingStopsWhenTheMouseComesBackInside) {
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += "row\r\n";
    Memo.SetText(text);
    Memo.Perform(WM_LBUTTONDOWN, MK_LBUTTON, At(0, 0));
    Host.HoldKey(VK_LBUTTON, 1000);
    Host.SetMousePos({Left + 3, 500});
    int pumps = Host.Pumps();
    // The loop follows the mouse the host reports: back inside after a few steps, it stops.
    Host.OnPump = [&] {
        if (Memo.TopLine() == 5) Host.SetMousePos({Left + 3, 40});
    };
    Memo.Perform(WM_MOUSEMOVE, MK_LBUTTON, MakePointParam(Left + 3, 500));
    EXPECT_EQ(Memo.TopLine(), 5);
    EXPECT_GT(Host.Pumps(), pumps);
    EXPECT_TRUE(Host.KeyDown(VK_LBUTTON)); // it ended on the position, not the button
    Memo.Perform(WM_LBUTTONUP, 0, MakePointParam(Left + 3, 40));
    EXPECT_EQ(Memo.SelStart(), 0);
    // The caret follows the mouse where it came back in (row 2 of the view, line 7).
    EXPECT_EQ(Memo.SelLength(), 7 * 4 + 7);
}

TEST_F(CodeMemoViewTest, GutterClicksReportTheLine) {
    Memo.SetText("a\r\nb\r\nc");
    int reported = -1;
    Memo.OnGutterClick = [&](TCustomCodeMemo&, int line) { reported = line; };
    Memo.Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakePointParam(5, 2 * 17 + 4));
    EXPECT_EQ(reported, 3);
    EXPECT_EQ(Memo.SelStart(), 0);
    // The margin strip selects the line with its break.
    Memo.Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakePointParam(Left - 1, 17 + 4));
    EXPECT_EQ(Memo.SelText(), "b\r\n");
}

TEST_F(CodeMemoViewTest, ScrollBarsAndScrolling) {
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += "line " + std::to_string(i) + "\r\n";
    Memo.SetText(text);
    TScrollInfo v = Host.GetScrollInfo(sbVertical);
    EXPECT_EQ(v.Max, 101);
    EXPECT_EQ(v.Page, 10);
    EXPECT_EQ(v.Pos, 0);
    Memo.Perform(WM_VSCROLL, MakeLong(SB_LINEDOWN, 0), 0);
    EXPECT_EQ(Memo.TopLine(), 1);
    Memo.Perform(WM_VSCROLL, MakeLong(SB_PAGEDOWN, 0), 0);
    EXPECT_EQ(Memo.TopLine(), 11);
    EXPECT_EQ(Host.GetScrollInfo(sbVertical).Pos, 11);
    Memo.Perform(WM_VSCROLL, MakeLong(SB_THUMBTRACK, 50), 0);
    EXPECT_EQ(Memo.Perform(EM_GETFIRSTVISIBLELINE, 0, 0), 50);
    Memo.Perform(SM_TOPLINE, smSET, 3);
    EXPECT_EQ(Memo.Perform(SM_TOPLINE, 0, 0), 3);
    // The caret brings the view with it.
    Memo.Perform(WM_KEYDOWN, VK_END, 0);
    Host.SetKeyDown(VK_CONTROL, true);
    Memo.Perform(WM_KEYDOWN, VK_END, 0);
    Host.SetKeyDown(VK_CONTROL, false);
    EXPECT_EQ(Memo.TopLine(), 100 - 10 + 1);
    Memo.Perform(WM_HSCROLL, MakeLong(SB_LINEDOWN, 0), 0);
    EXPECT_EQ(Memo.LeftColumn(), 1);
    EXPECT_EQ(Memo.Perform(SM_LEFTCOLUMN, 0, 0), 1);
    EXPECT_EQ(Host.GetScrollInfo(sbHorizontal).Max, Memo.Store().WidestLine());
}

TEST_F(CodeMemoViewTest, TheThumbReachesTheLastOfVeryManyLines) {
    std::string text;
    text.reserve(70000 * 2);
    for (int i = 0; i < 70000; ++i)
        text += "x\n";
    Memo.SetText(text);
    TScrollInfo v = Host.GetScrollInfo(sbVertical);
    int scale = 70001 / 32000 + 1;
    EXPECT_EQ(v.Max, 70001 / scale);
    Memo.Perform(WM_VSCROLL, MakeLong(SB_THUMBPOSITION, v.Max), 0);
    EXPECT_GE(Memo.TopLine(), 70000 - scale);
}

TEST_F(CodeMemoViewTest, ClipboardCutCopyPaste) {
    Memo.SetText("abc def");
    Memo.SetSelection(0, 3);
    Memo.CopyToClipboard();
    EXPECT_EQ(Platform().Clipboard->Text(), "abc");
    EXPECT_EQ(Memo.Perform(CM_CANPASTE, 0, 0), 1);
    Memo.SetSelection(4, 7);
    Memo.CutToClipboard();
    EXPECT_EQ(Memo.Text(), "abc ");
    EXPECT_EQ(Platform().Clipboard->Text(), "def");
    Memo.SetSelStart(0);
    Memo.PasteFromClipboard();
    EXPECT_EQ(Memo.Text(), "defabc ");
    Memo.Undo();
    EXPECT_EQ(Memo.Text(), "abc ");
    Memo.Undo();
    EXPECT_EQ(Memo.Text(), "abc def");
    // Only text is pasted: a question about another format is answered no.
    EXPECT_EQ(Memo.Perform(CM_CANPASTE, 5, 0), 0);
    EXPECT_EQ(Memo.Perform(CM_CANPASTE, 1, 0), 1);
    // A read-only control's cut neither removes nor copies; its copy still copies.
    Memo.SetReadOnly(true);
    Memo.SetSelection(0, 3);
    Memo.CutToClipboard();
    EXPECT_EQ(Platform().Clipboard->Text(), "def");
    EXPECT_EQ(Memo.Text(), "abc def");
    Memo.CopyToClipboard();
    EXPECT_EQ(Platform().Clipboard->Text(), "abc");
}

TEST_F(CodeMemoViewTest, UndoGroupsOfLineDeletionAndAnUnindentThatRemovesNothing) {
    Memo.SetText("one\r\ntwo\r\n  three");
    TUndoStack& undo = *Memo.Store().UndoStack();
    // Nothing to take away: no step is left to undo.
    Memo.SetSelection(0, 8);
    Memo.Perform(SM_UNINDENT, 2, 0);
    EXPECT_FALSE(undo.CanUndo());
    Memo.SetSelection(5, 5);
    Memo.ExecuteCommand(kcDeleteLine, 0, false);
    EXPECT_EQ(Memo.Text(), "one\r\n  three");
    int id = 0;
    undo.GroupQuery(ugcReset);
    EXPECT_EQ(undo.GroupQuery(ugcNextUndoGroup, &id), 1);
    EXPECT_EQ(id, ugReplaceSel);
}

TEST_F(CodeMemoViewTest, MarksAndBreakpointsReportThroughTheControlAndRepaint) {
    Memo.SetText("0123456789\r\nabcdefghij\r\nklmnopqrst");
    std::vector<std::string> seen;
    Memo.OnMarkChange = [&](TCustomCodeMemo&, TMark& m) {
        seen.push_back("change " + std::to_string(m.Start.Value()) + "-" +
                       std::to_string(m.End.Value()));
    };
    Memo.OnMarkFree = [&](TCustomCodeMemo&, TMark& m) {
        seen.push_back("free " + std::to_string(m.Value));
    };
    Memo.OnCustomBookmarkFree = [&](TCustomCodeMemo&, const std::string& name) {
        seen.push_back("bookmark " + name);
    };
    Memo.OnBreakpointFree = [&](TCustomCodeMemo&, TCM_BreakpointData& b) {
        seen.push_back("breakpoint " + std::to_string(b.UserNumber));
    };
    Memo.OnBreakpointStateChange = [&](TCustomCodeMemo&, TCM_BreakpointData& b) {
        seen.push_back(std::string("state ") + (b.Enabled() ? "on" : "off"));
    };
    TLineTracker& t = Memo.LineTracker();
    Paint();
    Host.ClearInvalidated();
    t.Marks().Add(TOffset(14), 4, 7);
    EXPECT_FALSE(Host.Invalidated().empty()) << "an added mark is drawn";
    t.Named.Set("n", TOffset(15));
    TCM_BreakpointData& b = t.Breakpoints.Add(12);
    b.UserNumber = 3;
    Host.ClearInvalidated();
    b.SetEnabled(false);
    EXPECT_FALSE(Host.Invalidated().empty());
    Memo.SetSelection(0, 0);
    Memo.SetSelText("xy");
    Memo.SetSelection(13, 26); // line 1 with its break, and all that was tracked on it
    Memo.SetSelText("");
    EXPECT_EQ(seen, (std::vector<std::string>{"state off", "change 16-20", "bookmark n", "free 7",
                                              "breakpoint 3"}));
}

TEST_F(CodeMemoViewTest, AttributesInAndOut) {
    Memo.SetText("ab\r\nc");
    uint8_t in[4] = {1, 2, 3, 4};
    EXPECT_EQ(Memo.Perform(SM_SETATTRIBUTES, 0, LPARAM(in)), 4);
    uint8_t out[4] = {};
    int range[2] = {1, 1};
    EXPECT_EQ(Memo.Perform(SM_GETATTRIBUTES, WPARAM(range), LPARAM(out)), 1);
    EXPECT_EQ(out[0], 4);
    Memo.SetSelection(0, 1);
    Memo.SetSelText("z"); // a rebuilt line drops its bytes
    EXPECT_EQ(Memo.Perform(SM_GETATTRIBUTES, 0, LPARAM(out)), 4);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[3], 4);
}

} // namespace
} // namespace quillet
