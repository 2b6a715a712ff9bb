// What the renderer draws besides text runs: wrapped rows, visible characters, marks, gutter
// glyphs, breakpoint lines, OnDrawLine, the focus line and the caret shapes.
#include "FixedFontTest.h"
#include "editor/CodeMemo.h"
#include "editor/CodeMemoPaint.h"
#include "editor/CodeMemoPaintGlyphs.h"
#include "editor/CodeMemoWrap.h"
#include "editor/LineTrack.h"
#include "highlight/Settings.h"
#include "platform/Platform.h"
#include "platform/headless/HeadlessFonts.h"
#include "platform/headless/HeadlessWindowHost.h"
#include "platform/headless/ScriptedDialogs.h"
#include "tests/StoreRows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace quillet {
namespace {

constexpr TColor Navy = 0x800000; // the glyph art's '#', red in the low byte
constexpr TColor Red = 0x0000FF;

class PaintDecorTest : public FixedFontTest {
protected:
    THeadlessWindowHost Host{640, 170};
    TCodeMemo Memo{&Host};
    TLineTracker Tracker;
    static constexpr int Left = 36;
    static constexpr int Lh = 17;
    THeadlessCanvas& Canvas() { return Host.HeadlessCanvas(); }
    TCodeMemoPainter& Painter() { return static_cast<TCodeMemoPainter&>(Memo.View()); }
    void Paint() {
        Memo.View().InvalidateAll();
        Canvas().ClearLog();
        Memo.Perform(WM_PAINT, 0, 0);
    }
    // Text runs drawn in the text area of a row, left to right.
    std::vector<THeadlessCanvas::TTextRun> RowRuns(int row) {
        std::vector<THeadlessCanvas::TTextRun> out;
        for (const auto& r : Canvas().TextRuns())
            if (r.X >= Left && r.Y == row * Lh) out.push_back(r);
        return out;
    }
    std::string RowText(int row) {
        std::string s;
        for (const auto& r : RowRuns(row))
            s += r.Text;
        return s;
    }
    // The line number drawn in a row's gutter, or "".
    std::string Number(int row) {
        for (const auto& r : Canvas().TextRuns())
            if (r.X == 2 && r.Y / Lh == row) return r.Text;
        return "";
    }
    bool GutterNumber(int row) { return !Number(row).empty(); }
    static bool Same(const TRect& a, const TRect& b) {
        return a.Left == b.Left && a.Top == b.Top && a.Right == b.Right && a.Bottom == b.Bottom;
    }
};

TEST_F(PaintDecorTest, WrappedLineShowsItsRowsGlyphsAndWrapColumn) {
    Memo.SetOptions(Memo.Options() | smoLineNumbers | smoShowWrapColumn);
    Memo.SetWrapAtColumn(10);
    Memo.SetWordWrap(true);
    Memo.SetText("hello world foobar\r\nnext");
    Paint();
    EXPECT_EQ(RowText(0), "hello ");
    EXPECT_EQ(RowText(1), "world ");
    EXPECT_EQ(RowText(2), "foobar");
    EXPECT_EQ(RowText(3), "next");
    // Numbers only where a logical line starts; continuation rows show the wrap arrow.
    EXPECT_TRUE(GutterNumber(0));
    EXPECT_FALSE(GutterNumber(1));
    EXPECT_FALSE(GutterNumber(2));
    EXPECT_TRUE(GutterNumber(3));
    EXPECT_EQ(Canvas().Pixel(6, Lh + 10), Navy);
    // The dotted wrap-column line, on text rows and below the text.
    for (int row : {0, 5}) {
        int silver = 0;
        for (int y = row * Lh; y < (row + 1) * Lh; ++y)
            if (Canvas().Pixel(Left + 70, y) == clSilver) ++silver;
        EXPECT_GT(silver, 4) << row;
        EXPECT_LT(silver, Lh) << row;
    }
    // Without the glyph option the continuation row is plain gutter.
    Memo.SetOptions(Memo.Options() & ~TCodeMemoOptions(smoShowWrapGlyph));
    Paint();
    EXPECT_NE(Canvas().Pixel(6, Lh + 10), Navy);
}

TEST_F(PaintDecorTest, LongLineWithoutWrapPaintsAsRowsOf2047) {
    std::string text = "A" + std::string(2046, 'x') + "B" + std::string(500, 'y');
    Memo.SetOptions(Memo.Options() | smoLineNumbers);
    Memo.SetText(text + "\r\nz");
    Paint();
    ASSERT_FALSE(RowRuns(0).empty());
    ASSERT_FALSE(RowRuns(1).empty());
    EXPECT_EQ(RowRuns(0)[0].Text[0], 'A');
    EXPECT_EQ(RowRuns(1)[0].Text[0], 'B');
    EXPECT_EQ(RowText(2), "z");
    EXPECT_EQ(Number(0), "1");
    EXPECT_EQ(Number(1), "");
    EXPECT_EQ(Number(2), "2");
}

TEST_F(PaintDecorTest, LineNumbersFollowEditsAboveTheTopUnderWrap) {
    Memo.SetOptions(Memo.Options() | smoLineNumbers);
    Memo.SetWrapAtColumn(10);
    Memo.SetWordWrap(true);
    std::string text;
    for (int i = 0; i < 40; ++i)
        text += "line " + std::to_string(i) + (i % 3 ? "\r\n" : " with more words\r\n");
    Memo.SetText(text);
    const TTextStore& st = Memo.Store();
    int top = Memo.Wrap().RowOfLogicalLine(TLogicalLine(20)).value().Value();
    Memo.Perform(WM_VSCROLL, SB_THUMBPOSITION | (top << 16), 0);
    Paint();
    EXPECT_EQ(Number(0), "21");
    // Breaks added above the top (the view stays put) renumber what shows; one below does not.
    auto expected = [&] {
        std::string before = st.StoredText(TOffset(0), TOffset(RowStart(st, Memo.TopLine())));
        return std::to_string(std::count(before.begin(), before.end(), '\r') + 1);
    };
    // Shift the text under the top row until it shows another logical line's start.
    do
        Memo.Store().Insert(TOffset(3), "\r");
    while (Memo.Wrap().RowContinues(TRow(Memo.TopLine() - 1)) || expected() == "21");
    Paint();
    EXPECT_EQ(Number(0), expected());
    std::string shown = Number(0);
    Memo.Store().Insert(TOffset(Memo.TextLength() - 2), "\r");
    Paint();
    EXPECT_EQ(Number(0), shown);
}

TEST_F(PaintDecorTest, ShowAllCharsMarksBlanksTabsAndLineEnds) {
    Memo.SetText("a b\tc\r\nd");
    Paint();
    for (const auto& r : Canvas().TextRuns())
        EXPECT_NE(r.Text, ".") << "no marks without the option";
    Memo.SetOptions(Memo.Options() | smoShowAllChars);
    Paint();
    // The blank gets a raised dot in the inverse of its background.
    bool dot = false;
    for (const auto& r : Canvas().TextRuns())
        if (r.Text == "." && r.X == Left + 7 && r.Y == -Lh / 4) {
            dot = true;
            EXPECT_EQ(r.Fore, TColor(0x000000));
        }
    EXPECT_TRUE(dot);
    // "a b" ends at column 3, the tab reaches column 4: one blank wide, the arrow XORed over it.
    int tabX = Left + 3 * 7;
    const TImage& arrow = TPaintGlyphs::Tab();
    int gx = tabX + (7 - arrow.Width) / 2, gy = (Lh - arrow.Height) / 2;
    EXPECT_EQ(Canvas().Pixel(gx + 3, gy + 2), TColor(0x000000)); // white XOR white
    EXPECT_EQ(Canvas().Pixel(gx + 3, gy), clWhite);
    // The line end glyph after "c"; the last line has none.
    int endX = Left + 5 * 7 + 1;
    const TImage& eol = TPaintGlyphs::LineEnd();
    EXPECT_EQ(Canvas().Pixel(endX + 2, (Lh - eol.Height) / 2), Navy);
    EXPECT_EQ(Canvas().Pixel(Left + 7 + 3, Lh + (Lh - eol.Height) / 2), clWhite);
}

TEST_F(PaintDecorTest, MarksGetAZigzagOrTheirOwnPainter) {
    Painter().SetLineTracker(&Tracker);
    Memo.SetText("abcdefgh\r\nxyz");
    Tracker.Marks().Add(TOffset(2), 3); // "cde"
    Tracker.Marks().Add(TOffset(8),
                        3); // from the end of line 0 (its break is not marked) into "xy"
    Paint();
    const int x0 = Left + 2 * 7, x1 = Left + 5 * 7;
    const int low = Lh - 2, high = low - 2;
    EXPECT_EQ(Canvas().Pixel(x0, low), Red);
    EXPECT_EQ(Canvas().Pixel(x0 + 3, high), Red);
    EXPECT_EQ(Canvas().Pixel(x0 + 6, low), Red);
    EXPECT_NE(Canvas().Pixel(x0 - 1, low), Red);
    EXPECT_NE(Canvas().Pixel(x1 + 1, low), Red);
    EXPECT_EQ(Canvas().Pixel(Left, Lh + low), Red); // the second mark on row 1
    EXPECT_NE(Canvas().Pixel(Left + 2 * 7 + 1, Lh + low), Red);

    std::vector<TRect> rects;
    Memo.OnDrawMark = [&](TCustomCodeMemo&, ICanvas&, const TRect& r, void* mark) {
        EXPECT_NE(mark, nullptr);
        rects.push_back(r);
    };
    Paint();
    ASSERT_EQ(rects.size(), 2u);
    EXPECT_TRUE(Same(rects[0], TRect{x0, 0, x1, Lh - 1}));
    EXPECT_TRUE(Same(rects[1], TRect{Left, Lh, Left + 2 * 7, 2 * Lh - 1}));
    EXPECT_NE(Canvas().Pixel(x0, low), Red);
}

TEST_F(PaintDecorTest, BookmarkGlyphReplacesTheNumberAndBreakpointsColourTheLine) {
    Painter().SetLineTracker(&Tracker);
    Memo.SetOptions(Memo.Options() | smoLineNumbers);
    Memo.SetText("one\r\ntwo\r\nthree\r\nfour");
    Memo.Store().Line(TRow(1)).Marks = 1 << 3; // bookmark 3
    Tracker.Breakpoints.Add(RowStart(Memo.Store(), 2));
    Memo.Store().Line(TRow(3)).Glyphs = 1 << 11;
    Paint();
    // The tag with its digit "3" at x = 1 + 1, and no number on that row.
    EXPECT_EQ(Canvas().Pixel(2, Lh + 2), Navy);
    EXPECT_EQ(Canvas().Pixel(4, Lh + 3), TColor(0xC0FFFF));
    EXPECT_EQ(Canvas().Pixel(5, Lh + 4), Navy); // the digit's top bar
    EXPECT_TRUE(GutterNumber(0));
    EXPECT_FALSE(GutterNumber(1));
    // The breakpoint line: its glyph (a red disc) and white on red text.
    EXPECT_EQ(Canvas().Pixel(1 + 7, 2 * Lh + 8), Red);
    EXPECT_FALSE(GutterNumber(2));
    auto runs = RowRuns(2);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].Fore, clWhite);
    EXPECT_EQ(runs[0].Back, Red);
    EXPECT_EQ(Canvas().Pixel(Left + 30 * 7, 2 * Lh + 5), Red);
    // A gutter glyph bit draws from x = 17 (the execution arrow, glyph 11).
    EXPECT_EQ(Canvas().Pixel(17 + 7, 3 * Lh + 8), TColor(0x00FF00));
    EXPECT_FALSE(GutterNumber(3));
    // A disabled breakpoint keeps its line but in the disabled look.
    Tracker.Breakpoints[0].SetEnabled(false);
    Paint();
    runs = RowRuns(2);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].Back, TColor(0x008000));
}

TEST_F(PaintDecorTest, OnDrawLineSeesThePreparedRowAndMayDrawItItself) {
    Memo.SetText("abc\r\n\tx \r\nlast");
    std::vector<TLineDrawData> seen;
    std::vector<std::string> texts;
    Memo.OnDrawLine = [&](TCustomCodeMemo&, void* data) {
        auto* d = static_cast<TLineDrawData*>(data);
        seen.push_back(*d);
        texts.emplace_back(d->Text);
        if (texts.back() == "last") d->Handled = 1;
        return 0;
    };
    Paint();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].Size, 1);
    EXPECT_EQ(seen[0].Kind, 1);
    EXPECT_EQ(seen[0].Canvas, &Host.Canvas());
    EXPECT_EQ(texts[1], "    x "); // the tab expanded to its stop
    EXPECT_TRUE(Same(seen[1].Rect, TRect{Left, Lh, 640, 2 * Lh}));
    EXPECT_EQ(seen[1].LineStart, 4);
    EXPECT_EQ(seen[1].FirstColumn, 0);
    EXPECT_EQ(seen[0].Length, 4); // "abc" and its break
    EXPECT_EQ(seen[1].Length, 6); // ends in a blank: no more
    EXPECT_EQ(seen[2].Length, 5);
    EXPECT_EQ(RowText(0), "abc");
    EXPECT_TRUE(RowRuns(2).empty()) << "a handled row is left to its handler";
}

TEST_F(PaintDecorTest, OnlyTheEditedRowRepaintsUnderWrap) {
    Memo.SetWrapAtColumn(10);
    Memo.SetWordWrap(true);
    Memo.SetText("hello world foobar\r\nsecond line here\r\nthird");
    Memo.Perform(WM_PAINT, 0, 0);
    Memo.Perform(EM_SETSEL, 8, 8); // inside "world "
    Memo.Perform(WM_PAINT, 0, 0);
    Canvas().ClearLog();
    Memo.SetSelText("!"); // "wo!rld " still fits its row
    Memo.Perform(WM_PAINT, 0, 0);
    int textRows = 0;
    for (const auto& r : Canvas().TextRuns())
        if (r.X >= Left) {
            EXPECT_EQ(r.Y, Lh) << r.Text;
            ++textRows;
        }
    EXPECT_GT(textRows, 0);
    // Drawn from the character before the insertion; what follows moved with its pixels.
    EXPECT_EQ(RowText(1).substr(0, 2), "o!");
}

TEST_F(PaintDecorTest, FocusLineCaretShapesAndDisabledBackground) {
    Memo.SetText("a\tb\r\nline two");
    Memo.Perform(WM_SETFOCUS, 0, 0);
    Host.SetFocused(true);
    Memo.SetShowFocusLine(true);
    Memo.SetSelection(6, 6); // on the second line
    Paint();
    EXPECT_EQ(Canvas().Pixel(Left + 40, Lh), clBlack); // white XOR white, top and bottom
    EXPECT_EQ(Canvas().Pixel(Left + 40, 2 * Lh - 1), clBlack);
    EXPECT_NE(Canvas().Pixel(Left + 40, 0), clBlack);
    EXPECT_EQ(Host.CaretSize().Width, 2);

    Memo.SetInsertMode(false);
    Memo.SetSelection(1, 1); // on the tab: a block to the tab stop
    Memo.SetOptions(Memo.Options() | smoBlockOverwriteCursor);
    Paint();
    EXPECT_EQ(Host.CaretSize().Width, (Memo.NextTabStop(1) - 1) * 7);
    Memo.SetSelection(0, 0);
    Paint();
    EXPECT_EQ(Host.CaretSize().Width, 7);
    EXPECT_EQ(Host.CaretSize().Height, Lh);
    Memo.SetOptions(Memo.Options() & ~TCodeMemoOptions(smoBlockOverwriteCursor));
    Paint();
    EXPECT_EQ(Host.CaretSize().Width, 2);

    Memo.SetEnabled(false);
    Paint();
    ASSERT_FALSE(RowRuns(1).empty());
    EXPECT_EQ(RowRuns(1)[0].Back, clSilver);
    EXPECT_EQ(Canvas().Pixel(Left + 300, 3 * Lh), clSilver);
}

} // namespace
} // namespace quillet

namespace quillet {
namespace {

TEST_F(PaintDecorTest, SwatchesStandBeforeTheirPiecesAndLeaveTheTextAlone) {
    Memo.SetText("a: #f00;\r\n\t#00f");
    Memo.OnRowSwatches = [](TCustomCodeMemo&, std::string_view row, std::vector<TSwatch>& out) {
        for (size_t at = row.find('#'); at != std::string_view::npos; at = row.find('#', at + 1))
            out.push_back({int(at), 4, row[at + 1] == 'f' ? Red : Navy});
    };
    Paint();
    EXPECT_EQ(RowText(0), "a: #f00;");
    const int side = SwatchSide(Lh, 7), top = (Lh - side) / 2;
    // Row 0: the piece starts at column 3, the swatch ends a pixel before it, framed in grey.
    const int x = Left + 3 * 7;
    EXPECT_EQ(Canvas().Pixel(x - side / 2 - 1, top + side / 2), Red);
    EXPECT_EQ(Canvas().Pixel(x - side - 1, top), TColor(0x808080));
    EXPECT_NE(Canvas().Pixel(x, top + side / 2), Red);
    // Row 1: after a tab the piece starts at its stop.
    const int x1 = Left + Memo.NextTabStop(0) * 7;
    EXPECT_EQ(Canvas().Pixel(x1 - side / 2 - 1, Lh + top + side / 2), Navy);
}

TEST_F(PaintDecorTest, WithoutABlankBeforeItASwatchIsABarThatCoversNoGlyph) {
    // `a{color:#fff}` and, on the next row, a colour at the row's start.
    Memo.SetText("a{color:#fff}\r\n#f00");
    Paint();
    std::vector<TColor> bare;
    for (int y = 0; y < 2 * Lh; ++y)
        for (int x = Left; x < Left + 13 * 7; ++x)
            bare.push_back(Canvas().Pixel(x, y));
    Memo.OnRowSwatches = [](TCustomCodeMemo&, std::string_view row, std::vector<TSwatch>& out) {
        const size_t at = row.find('#');
        if (at != std::string_view::npos) out.push_back({int(at), 4, Red});
    };
    Paint();
    // Nothing above the two lowest pixel rows changes: the ':' and every glyph stay whole.
    size_t i = 0;
    for (int y = 0; y < 2 * Lh; ++y)
        for (int x = Left; x < Left + 13 * 7; ++x, ++i) {
            if (y % Lh >= Lh - SwatchBarHeight) continue;
            ASSERT_EQ(Canvas().Pixel(x, y), bare[i]) << x << "," << y;
        }
    // The bar runs under the colour's four cells, in its colour, framed in grey at the bottom.
    for (int row = 0; row < 2; ++row) {
        const int x = Left + (row ? 0 : 8) * 7, bottom = row * Lh + Lh - 1;
        EXPECT_EQ(Canvas().Pixel(x + 2, bottom - 1), Red);
        EXPECT_EQ(Canvas().Pixel(x + 4 * 7 - 3, bottom - 1), Red);
        EXPECT_EQ(Canvas().Pixel(x + 14, bottom), TColor(0x808080));
        EXPECT_NE(Canvas().Pixel(x - 1, bottom - 1), Red);
        EXPECT_NE(Canvas().Pixel(x + 4 * 7, bottom - 1), Red);
    }
}

TEST_F(PaintDecorTest, AHandlerThatEditsWhileARowIsDrawnLeavesNoRowDrawnFromTheOldText) {
    // The row being drawn is read in place. A handler called for it that edits (here so much
    // that the text moves to a larger buffer) ends that paint, and the next one draws every row
    // from the text as it is.
    for (int which = 0; which < 2; ++which) {
        SCOPED_TRACE(which == 0 ? "OnRowSwatches" : "OnDrawLine");
        Memo.OnRowSwatches = nullptr;
        Memo.OnDrawLine = nullptr;
        Memo.SetText("a: #f00;\r\nb: #0f0;\r\nc");
        Paint();
        int calls = 0;
        auto edit = [&](TCustomCodeMemo& m) {
            if (calls++ > 0) return;
            m.Perform(EM_SETSEL, 0, 0);
            m.SetSelText("XYZ ");
            const int end = m.Store().CharCount();
            m.Perform(EM_SETSEL, WPARAM(end), LPARAM(end));
            m.SetSelText(std::string(size_t(1) << 16, 'q'));
            m.Perform(EM_SETSEL, 0, 0);
            m.Perform(EM_SCROLLCARET, 0, 0);
        };
        if (which == 0)
            Memo.OnRowSwatches = [&](TCustomCodeMemo& m, std::string_view, std::vector<TSwatch>&) {
                edit(m);
            };
        else
            Memo.OnDrawLine = [&](TCustomCodeMemo& m, void*) {
                edit(m);
                return 0;
            };
        Paint();
        ASSERT_GT(calls, 0);
        Canvas().ClearLog();
        Memo.Perform(WM_PAINT, 0, 0);
        EXPECT_EQ(RowText(0), "XYZ a: #f00;");
        EXPECT_EQ(RowText(1), "b: #0f0;");
    }
    Memo.OnRowSwatches = nullptr;
    Memo.OnDrawLine = nullptr;

    // A colour handler that edits leaves the place of the clicked piece stale: nothing is written
    // there (it once replaced "a: #" with the colour).
    TPlatformServices services;
    services.Fonts = std::make_unique<THeadlessFonts>(true, 7, 17);
    auto dialogs = std::make_unique<TScriptedDialogs>();
    TScriptedDialogs& scripted = *dialogs;
    services.Dialogs = std::move(dialogs);
    InstallPlatform(std::move(services));
    Memo.SetText("a: #f00;");
    Memo.OnRowSwatches = [](TCustomCodeMemo&, std::string_view row, std::vector<TSwatch>& out) {
        if (const size_t at = row.find('#'); at != std::string_view::npos)
            out.push_back({int(at), 4, Red});
    };
    Memo.OnSwatchColor = [](TCustomCodeMemo& m, std::string_view, TColor) {
        m.Perform(EM_SETSEL, 0, 0);
        m.SetSelText("XYZ ");
        return std::string("#00f");
    };
    Paint();
    const int side = SwatchSide(Lh, 7), top = (Lh - side) / 2;
    scripted.QueueColor(Navy);
    const LPARAM swatch = MakePointParam(Left + 3 * 7 - side / 2 - 1, top + side / 2);
    Memo.Perform(WM_LBUTTONDOWN, MK_LBUTTON, swatch);
    Memo.Perform(WM_LBUTTONUP, 0, swatch);
    EXPECT_FALSE(scripted.AnswersLeft()); // the click reached the colour dialog
    EXPECT_EQ(Memo.Text(), "XYZ a: #f00;");
    Memo.OnRowSwatches = nullptr;
    Memo.OnSwatchColor = nullptr;
    TPlatformServices fonts;
    fonts.Fonts = std::make_unique<THeadlessFonts>(true, 7, 17);
    InstallPlatform(std::move(fonts));
}

} // namespace
} // namespace quillet
