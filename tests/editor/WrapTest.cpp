// Display rows: cutting logical lines, the word-break routine, and rows kept in step with edits.
#include "FixedFontTest.h"
#include "editor/CodeMemo.h"
#include "editor/CodeMemoView.h"
#include "editor/CodeMemoWrap.h"
#include "editor/Rescan.h"
#include "highlight/Settings.h"
#include "platform/Platform.h"
#include "platform/VirtualKeys.h"
#include "platform/headless/HeadlessFonts.h"
#include "platform/headless/HeadlessWindowHost.h"
#include "tests/StoreRows.h"
#include "tests/highlight/SampleCssDefinition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace quillet {
namespace {

using Cuts = std::vector<int>;

TWrapParams Columns(int columns) {
    TWrapParams p;
    p.WordWrap = true;
    p.CharWidth = 7;
    p.Width = columns * 7;
    p.NextTabStop = [](int c) { return (c / 4 + 1) * 4; };
    return p;
}

TEST(WrapCut, BreaksAtWordsKeepingBlanksOnTheRow) {
    TWrapParams p = Columns(10);
    EXPECT_EQ(CutLogicalLine("hello world foobar\r", p), (Cuts{6, 6, 7}));
    EXPECT_EQ(CutLogicalLine("hello world foo\r", p), (Cuts{6, 10}));
    // Blanks at the cut stay on the row they follow.
    EXPECT_EQ(CutLogicalLine("abcdefghij    klm", p), (Cuts{14, 3}));
    // A word longer than the row is cut where it stands.
    EXPECT_EQ(CutLogicalLine("abcdefghijklmnopqrstuvwxy", p), (Cuts{10, 10, 5}));
    // What fits stays whole; an empty line is one row.
    EXPECT_EQ(CutLogicalLine("short\r", p), (Cuts{6}));
    EXPECT_EQ(CutLogicalLine("", p), (Cuts{0}));
    // The first four characters always stay, however narrow the width.
    p.Width = 8;
    EXPECT_EQ(CutLogicalLine("abcdefgh", p), (Cuts{4, 4}));
}

TEST(WrapCut, TabsUtf8OverrideAndTheOwnBreakRoutine) {
    TWrapParams p = Columns(8);
    // "a<tab>" reaches column 4, "bcd" column 7: "e" no longer fits after the blank.
    EXPECT_EQ(CutLogicalLine("a\tbcd efgh", p), (Cuts{6, 4}));
    // Cyrillic letters are two bytes each; a cut never falls inside one.
    std::string ru;
    for (int i = 0; i < 12; ++i)
        ru += "\xD0\xB6";
    Cuts c = CutLogicalLine(ru, p);
    EXPECT_EQ(c, (Cuts{16, 8}));
    // A line starting with an override character is left whole.
    p.UseOverride = true;
    p.OverrideChars = ">|:";
    EXPECT_EQ(CutLogicalLine("> quoted text longer than eight", p).size(), 1u);
    EXPECT_GT(CutLogicalLine("plain text longer than eight", p).size(), 1u);
    // ... unless it reaches the row limit, which holds for every line.
    EXPECT_EQ(CutLogicalLine(">" + std::string(2999, 'q'), p), (Cuts{2047, 953}));
    // A routine of one's own decides the boundary; one out of range cuts where the width does.
    p.UseOverride = false;
    int calls = 0;
    p.WordBreak = [&](const char*, int current, int, int code) {
        ++calls;
        EXPECT_EQ(code, wbLeft);
        return current - 2;
    };
    EXPECT_EQ(CutLogicalLine("abcdefghijkl", p), (Cuts{6, 6}));
    EXPECT_GT(calls, 0);
    p.WordBreak = [](const char*, int, int, int) { return -5; };
    EXPECT_EQ(CutLogicalLine("abcdefghijkl", p), (Cuts{8, 4}));
}

TEST(WrapCut, AProportionalFontIsMeasuredCharacterByCharacter) {
    THeadlessFonts fonts(false, 7, 17);
    TWrapParams p = Columns(10); // 70 pixels
    p.FixedPitch = false;
    p.Font = fonts.CreateFont(TFontDesc{});
    // Narrow letters (3 pixels) fit more than ten to a row, wide ones (11) fewer.
    EXPECT_EQ(CutLogicalLine("iiiiiiiiiiiiiiiiiiiiiiii", p), (Cuts{23, 1}));
    EXPECT_EQ(CutLogicalLine("wwwwwwwwwwww", p), (Cuts{6, 6}));
    EXPECT_EQ(CutLogicalLine("ill fill will mill", p), (Cuts{14, 4}));
}

TEST(WrapCut, LongLinesBreakAt2047WithOrWithoutWrap) {
    TWrapParams p;
    p.WordWrap = false;
    EXPECT_EQ(CutLogicalLine(std::string(2047, 'x') + "\r", p), (Cuts{2048}));
    EXPECT_EQ(CutLogicalLine(std::string(3000, 'x') + "\r", p), (Cuts{2047, 954}));
    // At a word boundary when there is one.
    std::string words;
    while (words.size() < 3000)
        words += "color:red; ";
    Cuts c = CutLogicalLine(words, p);
    ASSERT_EQ(c.size(), 2u);
    EXPECT_LE(c[0], 2047);
    EXPECT_EQ(words[size_t(c[0]) - 1], ' ');
    // Without blanks, after the last mark that ends a unit (not inside `#fff` or a name).
    std::string rules;
    while (rules.size() < 3000)
        rules += ".c" + std::to_string(rules.size()) + "{color:#fff;margin:1px}";
    c = CutLogicalLine(rules, p);
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(rules[size_t(c[0]) - 1], '}');
    EXPECT_GT(c[0], 2047 - 40);
    // Wrapping wide still keeps rows within the limit.
    p = Columns(5000);
    EXPECT_EQ(CutLogicalLine(std::string(4100, 'y'), p), (Cuts{2047, 2047, 6}));
}

// The built-in word search starts at the last mark before the cut; handed in as an own routine
// the same search runs from the row's start. Both must cut random lines alike.
TEST(WrapCut, TheShortenedWordSearchCutsAsTheFullOne) {
    static const char* pieces[] = {"a",        "bcd",      " ", "\t",   ";",   "}",
                                   "\xC2\xA0", "\xC3\xA9", "=", "\xA0", "\xC2"};
    for (unsigned seed = 1; seed <= 300; ++seed) {
        std::mt19937 rng(seed);
        std::string text;
        while (text.size() < 3000 + rng() % 3000)
            text += pieces[rng() % std::size(pieces)];
        TWrapParams p;
        p.WordWrap = seed % 3 != 0;
        p.Width = 20 + int(rng() % 900);
        const std::vector<int> shortened = CutLogicalLine(text, p);
        p.WordBreak = DefaultWordBreak;
        ASSERT_EQ(shortened, CutLogicalLine(text, p)) << "seed " << seed;
    }
}

TEST(WrapWordBreak, DefaultRoutineActions) {
    const char* t = "ab  cd\xC2\xA0"
                    "ef";
    int n = 10;
    EXPECT_EQ(DefaultWordBreak(t, 5, n, wbLeft), 4);  // inside "cd": back to its start
    EXPECT_EQ(DefaultWordBreak(t, 2, n, wbLeft), 4);  // on blanks: past them
    EXPECT_EQ(DefaultWordBreak(t, 6, n, wbLeft), 8);  // U+00A0 is a blank
    EXPECT_EQ(DefaultWordBreak(t, 0, n, wbRight), 4); // the word, then its blanks
    EXPECT_EQ(DefaultWordBreak(t, 3, n, wbIsDelimiter), 1);
    EXPECT_EQ(DefaultWordBreak(t, 7, n, wbIsDelimiter), 1);
    EXPECT_EQ(DefaultWordBreak(t, 1, n, wbIsDelimiter), 0);
    EXPECT_EQ(DefaultWordBreak(t, 1, n, 7), 0);
    EXPECT_EQ(DefaultWordBreak(nullptr, 1, 0, wbLeft), 0);
}

class WrapTest : public FixedFontTest {
protected:
    void SetUp() override {
        Memo.SetWrapAtColumn(10);
        Memo.SetWordWrap(true);
    }
    std::vector<std::string> Rows() {
        std::vector<std::string> out;
        for (int i = 0; i < Memo.Store().LineCount(); ++i)
            out.emplace_back(Memo.Store().RowText(TRow(i)));
        return out;
    }
    THeadlessWindowHost Host{640, 170};
    TCodeMemo Memo{&Host};
};

TEST_F(WrapTest, RowsFollowEditsAndUndoWithoutTouchingTheText) {
    Memo.SetText("hello world foobar\r\nnext");
    using R = std::vector<std::string>;
    EXPECT_EQ(Rows(), (R{"hello ", "world ", "foobar\r", "next"}));
    EXPECT_EQ(Memo.Store().Line(TRow(0)).Marks & lmContinuation, 0);
    EXPECT_EQ(Memo.Store().Line(TRow(1)).Marks & lmContinuation, lmContinuation);
    EXPECT_EQ(Memo.Store().Line(TRow(2)).Marks & lmContinuation, lmContinuation);
    EXPECT_EQ(Memo.Store().Line(TRow(3)).Marks & lmContinuation, 0);
    EXPECT_EQ(Memo.Text(), "hello world foobar\r\nnext");

    // Typing into the first row fills it up to the column.
    Memo.SetSelection(5, 5);
    Memo.SetSelText("XXXX");
    EXPECT_EQ(Rows(), (R{"helloXXXX ", "world ", "foobar\r", "next"}));
    EXPECT_EQ(Memo.Text(), "helloXXXX world foobar\r\nnext");
    // A break typed inside a continuation row starts a logical line there.
    Memo.SetSelection(13, 13);
    Memo.SetSelText("\r\n");
    EXPECT_EQ(Rows(), (R{"helloXXXX ", "wor\r", "ld foobar\r", "next"}));
    EXPECT_EQ(Memo.Store().Line(TRow(2)).Marks & lmContinuation, 0);
    // Deleting a break joins logical lines, and the rows after it become continuations.
    Memo.SetSelection(13, 14);
    Memo.SetSelText("");
    EXPECT_EQ(Rows(), (R{"helloXXXX ", "world ", "foobar\r", "next"}));
    EXPECT_EQ(Memo.Store().Line(TRow(1)).Marks & lmContinuation, lmContinuation);
    EXPECT_EQ(Memo.Store().Line(TRow(2)).Marks & lmContinuation, lmContinuation);

    Memo.Undo();
    Memo.Undo();
    Memo.Undo();
    EXPECT_EQ(Memo.Text(), "hello world foobar\r\nnext");
    EXPECT_EQ(Rows(), (R{"hello ", "world ", "foobar\r", "next"}));

    // Turning wrap off joins the rows again; a wider column re-cuts them.
    Memo.SetWordWrap(false);
    EXPECT_EQ(Rows(), (R{"hello world foobar\r", "next"}));
    Memo.SetWordWrap(true);
    Memo.SetWrapAtColumn(12);
    EXPECT_EQ(Rows(), (R{"hello world ", "foobar\r", "next"}));
    Memo.SetOptions(Memo.Options() | smoWrapOverride);
    Memo.SetText(">hello world foobar");
    EXPECT_EQ(Rows().size(), 1u);

    // The control's own word-break routine decides its cuts: here every cut stays where the
    // width put it.
    int calls = 0;
    Memo.OnWordBreakProc = [&](const char*, int current, int, int) {
        ++calls;
        return current;
    };
    Memo.SetText("hello wonderful");
    EXPECT_GT(calls, 0);
    EXPECT_EQ(Rows(), (R{"hello wonder", "ful"}));
    Memo.OnWordBreakProc = nullptr;
    Memo.SetText("hello wonderful");
    EXPECT_EQ(Rows(), (R{"hello ", "wonderful"}));
}

TEST_F(WrapTest, QueriesBetweenLogicalLinesAndRows) {
    Memo.SetText("hello world foo\r\nab\r\nsome more words here");
    TCodeMemoWrap& w = Memo.Wrap();
    // Rows: "hello ", "world foo\r", "ab\r", "some more ", "words here".
    ASSERT_EQ(Memo.Store().LineCount(), 5);
    EXPECT_EQ(w.FirstRowOf(TRow(1)), TRow(0));
    EXPECT_EQ(w.LastRowOf(TRow(0)), TRow(1));
    EXPECT_EQ(w.FirstRowOf(TRow(2)), TRow(2));
    EXPECT_EQ(w.LastRowOf(TRow(3)), TRow(4));
    EXPECT_EQ(w.LogicalLineOf(TRow(1)), TLogicalLine(0));
    EXPECT_EQ(w.LogicalLineOf(TRow(2)), TLogicalLine(1));
    EXPECT_EQ(w.LogicalLineOf(TRow(4)), TLogicalLine(2));
    EXPECT_EQ(w.RowOfLogicalLine(TLogicalLine(2)), TRow(3));
    EXPECT_EQ(w.RowOfLogicalLine(TLogicalLine(3)), std::nullopt);
    TRow row(-1);
    TOffset index(-1);
    w.RowFromLineIndex(TRow(3), TOffset(12), row, index); // "some more wo|rds"
    EXPECT_EQ(row, TRow(4));
    EXPECT_EQ(index, TOffset(2));
    w.RowFromLineIndex(TRow(0), TOffset(6), row, index); // at a cut: the later row
    EXPECT_EQ(row, TRow(1));
    EXPECT_EQ(index, TOffset(0));
    EXPECT_EQ(w.LineIndexFromRow(TRow(4), TOffset(2)), TOffset(12));
    EXPECT_EQ(w.LineIndexFromRow(TRow(0), TOffset(3)), TOffset(3));

    // Logical numbers stay true through edits above and below the last row asked about.
    auto fresh = [&](int row) {
        std::string before =
            Memo.Store().StoredText(TOffset(0), TOffset(RowStart(Memo.Store(), row)));
        return int(std::count(before.begin(), before.end(), '\r'));
    };
    auto logical = [&](int row) { return w.LogicalLineOf(TRow(row)).Value(); };
    EXPECT_EQ(logical(4), 2);
    Memo.Store().Insert(TOffset(1), "\r");
    EXPECT_EQ(logical(4), fresh(4));
    EXPECT_EQ(logical(5), fresh(5));
    Memo.Store().Insert(TOffset(RowStart(Memo.Store(), 5) + 1), "\r\r");
    EXPECT_EQ(logical(4), fresh(4));
    EXPECT_EQ(logical(7), fresh(7));
    Memo.Store().Delete(TOffset(0), 3);
    EXPECT_EQ(logical(6), fresh(6));
}

// Paging up and down, and jumps back from far below, give every top row its true logical
// line number, in the gutter too; without cut rows a row is its own logical line.
TEST_F(WrapTest, LineNumbersStayTrueWhilePagingBothWays) {
    std::string text;
    for (int i = 0; i < 400; ++i)
        text += i % 7 == 3 ? "some words that wrap here\r\n" : "a: 1;\r\n";
    Memo.SetText(text);
    Memo.SetOptions(Memo.Options() | smoShowGutter | smoLineNumbers);
    Memo.Perform(WM_SETFOCUS, 0, 0);
    TTextStore& st = Memo.Store();
    TCodeMemoWrap& w = Memo.Wrap();
    ASSERT_GT(st.ContinuedRows(), 0);
    auto fresh = [&](int row) {
        std::string before = st.StoredText(TOffset(0), TOffset(RowStart(st, row)));
        return int(std::count(before.begin(), before.end(), '\r'));
    };
    // The number the gutter shows first: that of the first row at the top that starts a line.
    auto firstNumberShown = [&] {
        THeadlessCanvas& canvas = Host.HeadlessCanvas();
        canvas.ClearLog();
        Memo.View().InvalidateAll();
        Memo.Perform(WM_PAINT, 0, 0);
        for (const auto& run : canvas.TextRuns())
            if (run.X == 2) return std::stoi(run.Text);
        return -1;
    };
    auto expectTrue = [&](const char* what) {
        SCOPED_TRACE(what);
        int top = Memo.TopLine();
        int shown = firstNumberShown();
        EXPECT_EQ(w.LogicalLineOf(TRow(top)).Value(), fresh(top)) << "top " << top;
        int first = top;
        while (first > 0 && w.RowContinues(TRow(first - 1)))
            ++first;
        EXPECT_EQ(shown, fresh(first) + 1) << "top " << top;
    };
    for (int i = 0; i < 30; ++i)
        Memo.Perform(WM_KEYDOWN, VK_NEXT, 0);
    expectTrue("paged down");
    for (int i = 0; i < 3; ++i) {
        Memo.Perform(WM_KEYDOWN, VK_PRIOR, 0);
        expectTrue("a page up");
    }
    Memo.Perform(SM_TOPLINE, smSET, 5);
    expectTrue("far back");
    Memo.Perform(SM_TOPLINE, smSET, st.LineCount() - 3);
    expectTrue("the end");
    Memo.Perform(SM_TOPLINE, smSET, st.LineCount() - 40);
    expectTrue("back a little");
    // An edit above the last answer is heard of.
    st.Insert(TOffset(RowStart(st, 2)), "x\r");
    expectTrue("after an edit above");

    Memo.SetWordWrap(false);
    ASSERT_EQ(st.ContinuedRows(), 0);
    Memo.Perform(SM_TOPLINE, smSET, 301);
    EXPECT_EQ(w.LogicalLineOf(TRow(301)), TLogicalLine(301));
    EXPECT_EQ(firstNumberShown(), 302);
    EXPECT_EQ(w.RowOfLogicalLine(TLogicalLine(300)), TRow(300));
    EXPECT_EQ(w.RowOfLogicalLine(TLogicalLine(st.LineCount())), std::nullopt);
}

TEST_F(WrapTest, SettingsThatKeepTheLayoutKeepTheRowsAndALostWindowLaysOutAgain) {
    Memo.SetText("hello world foobar");
    using R = std::vector<std::string>;
    Memo.SetGutterColor(0x123456);
    Memo.SetRightMargin(40);
    EXPECT_EQ(Rows(), (R{"hello ", "world ", "foobar"}));
    // Edits while the control has no window leave rows uncut; the window back cuts them.
    Memo.SetHost(nullptr);
    Memo.SetSelection(0, 0);
    Memo.SetSelText("big ");
    EXPECT_EQ(Rows(), (R{"big hello ", "world ", "foobar"}));
    Memo.SetSelection(4, 4);
    Memo.SetSelText("and ");
    Memo.SetHost(&Host);
    EXPECT_EQ(Rows(), (R{"big and ", "hello ", "world ", "foobar"}));
    Memo.SetTabDefault(8); // tab stops change the layout
    EXPECT_EQ(Rows(), (R{"big and ", "hello ", "world ", "foobar"}));
}

TEST_F(WrapTest, UpAndDownMoveByRowsAndNeverLandOnACutThatBelongsBelow) {
    Memo.SetText("hello world foobar");
    Memo.SetSelection(18, 18); // row 2, column 6
    ASSERT_EQ(Memo.CaretLine(), 2);
    Memo.Perform(WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(Memo.CaretLine(), 1);
    EXPECT_EQ(Memo.SelStart(), 11); // the blank ending "world "
    Memo.Perform(WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(Memo.CaretLine(), 0);
    Memo.Perform(WM_KEYDOWN, VK_DOWN, 0);
    Memo.Perform(WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(Memo.CaretLine(), 2);
    // A click past the end of a continuation row stays on that row.
    Memo.Perform(WM_LBUTTONDOWN, 0, MakeLong(36 + 7 * 30, 17 + 5));
    Memo.Perform(WM_LBUTTONUP, 0, MakeLong(36 + 7 * 30, 17 + 5));
    EXPECT_EQ(Memo.CaretLine(), 1);
}

TEST_F(WrapTest, AGutterClickOnAContinuationRowReportsItsFirstRow) {
    Memo.SetText("one\r\nhello world foobar");
    std::vector<int> clicks;
    Memo.OnGutterClick = [&](TCustomCodeMemo&, int line) { clicks.push_back(line); };
    for (int row : {0, 1, 2, 3})
        Memo.Perform(WM_LBUTTONDOWN, 0, MakeLong(5, row * 17 + 5));
    EXPECT_EQ(clicks, (std::vector<int>{1, 2, 2, 2}));
}

TEST_F(WrapTest, BookmarksStayOnTheFirstRowAndTheTopKeepsItsText) {
    std::string text;
    for (int i = 0; i < 30; ++i)
        text += "line " + std::to_string(i) + " with some words\r\n";
    Memo.SetWordWrap(false);
    Memo.SetText(text);
    Memo.Store().Line(TRow(3)).Marks = 1 << 4; // bookmark 4
    Memo.Perform(WM_VSCROLL, SB_THUMBPOSITION | (20 << 16), 0);
    ASSERT_EQ(Memo.TopLine(), 20);
    int topOffset = RowStart(Memo.Store(), 20);
    Memo.SetWordWrap(true);
    const TTextStore& st = Memo.Store();
    EXPECT_EQ(RowStart(st, Memo.TopLine()), topOffset);
    int row3 = Memo.Wrap().RowOfLogicalLine(TLogicalLine(3)).value().Value();
    EXPECT_EQ(st.Line(TRow(row3)).Marks, 1 << 4);
    EXPECT_EQ(st.Line(TRow(row3 + 1)).Marks, lmContinuation);
    Memo.SetWordWrap(false);
    EXPECT_EQ(st.Line(TRow(3)).Marks, 1 << 4);
    EXPECT_EQ(st.LineCount(), 31);
}

TEST_F(WrapTest, WithoutWrapA3000CharacterLineIsTwoRowsAndAWindowlessControlKeepsIt) {
    Memo.SetWordWrap(false);
    Memo.SetText(std::string(3000, 'z') + "\r\nend");
    ASSERT_EQ(Memo.Store().LineCount(), 3);
    EXPECT_EQ(Memo.Store().RowLength(TRow(0)), 2047);
    EXPECT_EQ(Memo.Store().RowLength(TRow(1)), 954);
    EXPECT_EQ(Memo.Text(), std::string(3000, 'z') + "\r\nend");
    Memo.Perform(EM_SETSEL, 2040, 2040);
    Memo.SetSelText("  "); // still over the limit: re-cut, the break stays one CR
    EXPECT_EQ(Memo.Store().LineCount(), 3);
    EXPECT_EQ(Memo.Store().CharCount(), 3000 + 2 + 1 + 3);

    TCodeMemo bare;
    bare.SetText(std::string(3000, 'z'));
    EXPECT_EQ(bare.Store().LineCount(), 1);
}

TEST_F(WrapTest, EditsInALongWrappedLineCutItAsAFreshLayoutWould) {
    // Only the rows near an edit are cut again; each row must end where cutting from scratch
    // would end a row that starts there (a word longer than a row may keep an older cut).
    std::string text;
    uint32_t seed = 12345;
    auto next = [&](uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    while (text.size() < 3000)
        text += std::string(1 + next(9), char('a' + next(26))) + (next(7) ? " " : "  ");
    Memo.SetText(text + "\r\ntail");
    const char* pieces[] = {"x", " ", "ab cd", "\r\n", "\t", "longwordlongword"};
    for (int step = 0; step < 300; ++step) {
        int at = int(next(uint32_t(Memo.TextLength())));
        if (next(3) == 0) {
            Memo.Perform(EM_SETSEL, at, std::min(Memo.TextLength(), at + 1 + int(next(4))));
            Memo.SetSelText("");
        } else {
            Memo.Perform(EM_SETSEL, at, at);
            Memo.SetSelText(pieces[next(6)]);
        }
        ASSERT_EQ(CheckStoreRows(Memo.Store(), Memo.Wrap().Params()), "") << "step " << step;
    }
}

TEST_F(WrapTest, AKeystrokeInAMinifiedLineRecutsOnlyTheRowsNearIt) {
    // A line of 200,000 characters without a blank: typing at its start or in its middle
    // leaves the later rows (and their scan states) as they were, with or without wrap.
    struct TRecuts : ITextStoreObserver {
        int Rows = 0;
        void OnInsert(TOffset, std::string_view) override {}
        void OnDelete(TOffset, std::string_view) override {}
        void OnRowsRecut(TRow, int oldCount, int) override { Rows += oldCount; }
    } recuts;
    std::string rules;
    while (rules.size() < 200000)
        rules += ".c" + std::to_string(rules.size()) + "{color:#abcdef;margin:2px}";
    for (bool wrap : {false, true}) {
        Memo.SetOptions(wrap ? Memo.Options() | smoWordWrap : Memo.Options() & ~smoWordWrap);
        Memo.SetText(rules);
        const int rows = Memo.Store().LineCount();
        ASSERT_GT(rows, 90);
        Memo.Store().AddObserver(&recuts);
        for (int at : {0, int(rules.size() / 2)}) {
            for (const char* piece : {"x", "yy}", ""}) {
                Memo.Perform(EM_SETSEL, at, at + (*piece ? 0 : 4));
                Memo.SetSelText(piece);
            }
        }
        Memo.Store().RemoveObserver(&recuts);
        EXPECT_LE(recuts.Rows, 6 * 6) << "wrap " << wrap;
        recuts.Rows = 0;
    }
}

TEST_F(WrapTest, EditsInARunWithoutBreaksLeaveItsOtherCutsAndAFreshLayoutComesBack) {
    // 200,000 characters of data (no blank, no mark; some two-byte characters): typing, taking
    // it back and pasting at its start, middle and near its end re-cut only the rows near the
    // edit and leave at most two short rows at each place, with or without wrap. A whole
    // re-layout gives the rows of a fresh load again.
    struct TRecuts : ITextStoreObserver {
        int Most = 0;
        void OnInsert(TOffset, std::string_view) override {}
        void OnDelete(TOffset, std::string_view) override {}
        void OnRowsRecut(TRow, int oldCount, int) override { Most = std::max(Most, oldCount); }
    } recuts;
    static const char* pieces[] = {"A", "z", "0", "-", "_", "\xC3\xA9"};
    std::mt19937 rng(15);
    std::string data;
    while (data.size() < 200000)
        data += pieces[rng() % 6];
    const std::string paste = std::string(150, 'Q') + "\xD0\xB6" + std::string(148, 'q');
    for (bool wrap : {false, true}) {
        Memo.SetWordWrap(wrap);
        Memo.SetText(data);
        const TTextStore& st = Memo.Store();
        const int loaded = st.LineCount();
        Memo.Store().AddObserver(&recuts);
        const int places[] = {1, 100001, 196001}; // code point starts: the text is ASCII there
        for (int at : places) {
            ASSERT_NE(static_cast<unsigned char>(Memo.Text()[size_t(at)]) & 0xC0, 0x80);
            for (int i = 0; i < 30; ++i) {
                Memo.Perform(EM_SETSEL, at + i, at + i);
                Memo.SetSelText("x");
            }
            for (int i = 30; i > 0; --i) {
                Memo.Perform(EM_SETSEL, at + i - 1, at + i);
                Memo.SetSelText("");
            }
            Memo.Perform(EM_SETSEL, at, at);
            Memo.SetSelText(paste);
            Memo.Perform(EM_SETSEL, at, at + int(paste.size()));
            Memo.SetSelText("");
            ASSERT_EQ(CheckStoreRows(st, Memo.Wrap().Params()), "") << "wrap " << wrap;
        }
        Memo.Store().RemoveObserver(&recuts);
        EXPECT_EQ(Memo.Text(), data);
        EXPECT_LE(recuts.Most, 4) << "wrap " << wrap;
        recuts.Most = 0;
        // Rows by characters: the two-byte ones make bytes vary.
        auto chars = [&](int r) {
            std::string_view v = st.RowText(TRow(r));
            return std::count_if(v.begin(), v.end(), [](char c) { return (c & 0xC0) != 0x80; });
        };
        long longest = 0, shorter = 0;
        for (int r = 0; r < st.LineCount(); ++r)
            longest = std::max(longest, long(chars(r)));
        for (int r = 0; r + 1 < st.LineCount(); ++r)
            shorter += chars(r) < longest * 2 / 3;
        EXPECT_LE(shorter, 6) << "wrap " << wrap;
        EXPECT_LE(st.LineCount(), loaded + 6) << "wrap " << wrap;
        // Switching wrap lays everything out afresh.
        Memo.SetWordWrap(!wrap);
        Memo.SetWordWrap(wrap);
        std::vector<int> rows;
        for (int r = 0; r < st.LineCount(); ++r)
            rows.push_back(st.RowLength(TRow(r)));
        EXPECT_EQ(rows, CutLogicalLine(data, Memo.Wrap().Params())) << "wrap " << wrap;
    }
}

TEST_F(WrapTest, HighlightingSurvivesRecutRowsAndEditsAboveThem) {
    TCodeMemoParser css;
    testdef::BuildCss(css);
    Memo.SetParser(1, &css);
    Memo.SetActiveParser(1);
    Memo.SetWrapAtColumn(12);
    Memo.SetWordWrap(true);
    std::string text = "p { color: red; background: blue; }\r\n/* a comment that wraps */\r\n"
                       "a { margin: 0 }";
    Memo.SetText(text);
    Memo.Perform(WM_PAINT, 0, 0);
    // Edit the first line, then the last, then paint: each line's bytes must equal a fresh
    // scan of the same text without wrap.
    Memo.Perform(EM_SETSEL, 2, 2);
    Memo.SetSelText("div, span ");
    int end = Memo.TextLength();
    Memo.Perform(EM_SETSEL, end - 1, end - 1);
    Memo.SetSelText(" padding: 1px;");
    Memo.Perform(WM_PAINT, 0, 0);
    auto bytesOf = [](const TTextStore& st) {
        std::vector<uint8_t> all;
        for (int i = 0; i < st.LineCount(); ++i) {
            const TLineRecord& r = st.Line(TRow(i));
            for (int k = 0; k < st.RowLength(TRow(i)); ++k)
                all.push_back(r.Extra && size_t(k) < r.Extra->Attributes.size()
                                  ? r.Extra->Attributes[size_t(k)]
                                  : 0);
        }
        return all;
    };
    std::vector<uint8_t> wrapped = bytesOf(Memo.Store());
    TTextStore flat;
    flat.Insert(TOffset(0), Memo.Store().StoredText(TOffset(0), TOffset(Memo.TextLength())));
    TRescanner scan(flat);
    scan.SetDefinition(&css);
    scan.ScanAll();
    EXPECT_EQ(wrapped, bytesOf(flat));
    Memo.SetParser(1, nullptr);
}

// A word longer than the row is cut inside it: the end of such a row and the start of the next
// are one offset, and the caret remembers which of the two rows it stands on.
class WrapCaretTest : public WrapTest {
protected:
    void SetUp() override {
        WrapTest::SetUp();
        Host.SetFocused(true);
        Memo.Perform(WM_SETFOCUS, 0, 0);
        // Rows: "abcdefghij", "klmnopqrst", "uvwxy\r", "short".
        Memo.SetText("abcdefghijklmnopqrstuvwxy\r\nshort");
        ASSERT_EQ(Rows().size(), 4u);
    }
    void Key(int vk) { Memo.Perform(WM_KEYDOWN, WPARAM(vk), 0); }
    // Offset, row and column of the caret in one value for readable expectations.
    std::string Caret() {
        return std::to_string(Memo.SelStart()) + "@" + std::to_string(Memo.CaretLine()) + ":" +
               std::to_string(Memo.CaretColumn());
    }
    int Left() { return Memo.View().TextLeft(); }
};

TEST_F(WrapCaretTest, EndHomeUpAndDownStayOnTheRowTheCaretIsDrawnOn) {
    Memo.SetSelection(3, 3);
    Key(VK_END);
    EXPECT_EQ(Caret(), "10@0:10");
    EXPECT_TRUE(Memo.CaretAtRowEnd());
    // Drawn at the end of the first row; the offset's own pixel is still the next row's start.
    EXPECT_EQ(Host.CaretPos(), (TPoint{Left() + 70, 0}));
    EXPECT_EQ(Memo.Perform(EM_POSFROMCHAR, 0, 10), MakeLong(Left(), 17));
    // The caret's line is the row it is on; an offset asked for is the later row.
    EXPECT_EQ(Memo.Perform(EM_LINEFROMCHAR, WPARAM(-1), 0), 0);
    EXPECT_EQ(Memo.Perform(EM_LINEFROMCHAR, 10, 0), 1);
    EXPECT_EQ(Memo.Perform(EM_LINELENGTH, WPARAM(-1), 0), 10);
    Key(VK_HOME);
    EXPECT_EQ(Caret(), "0@0:0");
    Key(VK_END);
    Key(VK_END); // again: no further
    EXPECT_EQ(Caret(), "10@0:10");
    // Down and Up keep the column: the next cut row ends there too, the last row is shorter.
    Key(VK_DOWN);
    EXPECT_EQ(Caret(), "20@1:10");
    EXPECT_EQ(Host.CaretPos(), (TPoint{Left() + 70, 17}));
    Key(VK_DOWN);
    EXPECT_EQ(Caret(), "25@2:5");
    Key(VK_UP);
    EXPECT_EQ(Caret(), "20@1:10");
    Key(VK_HOME);
    EXPECT_EQ(Caret(), "10@1:0");
    EXPECT_FALSE(Memo.CaretAtRowEnd());
    Key(VK_END);
    Key(VK_UP);
    EXPECT_EQ(Caret(), "10@0:10");
    Key(VK_UP); // from the first row: the text start
    EXPECT_EQ(Caret(), "0@0:0");
    // Shift+End selects to the row end and stays there.
    Memo.SetSelection(12, 12);
    Host.SetKeyDown(VK_SHIFT, true);
    Key(VK_END);
    Host.SetKeyDown(VK_SHIFT, false);
    EXPECT_EQ(Memo.SelText(), "mnopqrst");
    EXPECT_EQ(Memo.CaretLine(), 1);
    EXPECT_EQ(Memo.SelLength(), 8);
    // Only real line breaks count twice in the length, not the cuts between rows.
    Memo.SetSelection(5, 28);
    EXPECT_EQ(Memo.SelLength(), 24);
    EXPECT_EQ(Memo.Perform(WM_GETTEXTLENGTH, 0, 0), 32);
    // Any other placement at the shared offset is the start of the later row.
    Memo.SetSelection(20, 20);
    EXPECT_EQ(Caret(), "20@2:0");
    Key(VK_END);
    Memo.Perform(WM_LBUTTONDOWN, 0, MakeLong(Left() + 1, 17 + 5));
    Memo.Perform(WM_LBUTTONUP, 0, MakeLong(Left() + 1, 17 + 5));
    EXPECT_EQ(Caret(), "10@1:0");
    Key(VK_END);
    Memo.Perform(EM_SETSEL, 20, 20);
    EXPECT_EQ(Caret(), "20@2:0");
    EXPECT_EQ(Host.CaretPos(), (TPoint{Left(), 34}));
    // A row ending in a blank keeps the caret before it, as without wrap.
    Memo.SetText("hello world foobar");
    Memo.SetSelection(0, 0);
    Key(VK_END);
    EXPECT_EQ(Caret(), "5@0:5");
    Key(VK_DOWN);
    EXPECT_EQ(Caret(), "11@1:5");
}

TEST_F(WrapCaretTest, AClickRightOfACutRowPutsTheCaretAtThatRowsEnd) {
    // Right of "abcdefghij" (row 0): the row's end, drawn on row 0, not the next row's start.
    Memo.Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakePointParam(Left() + 70 + 20, 5));
    Memo.Perform(WM_LBUTTONUP, 0, MakePointParam(Left() + 70 + 20, 5));
    EXPECT_EQ(Caret(), "10@0:10");
    EXPECT_TRUE(Memo.CaretAtRowEnd());
    EXPECT_EQ(Host.CaretPos(), (TPoint{Left() + 70, 0}));
    // On the row's last character it is an ordinary click; on the last row of a logical line
    // past its end the caret goes before the break as always.
    Memo.Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakePointParam(Left() + 66, 5));
    Memo.Perform(WM_LBUTTONUP, 0, MakePointParam(Left() + 66, 5));
    EXPECT_EQ(Caret(), "9@0:9");
    EXPECT_FALSE(Memo.CaretAtRowEnd());
    Memo.Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakePointParam(Left() + 200, 2 * 17 + 5));
    Memo.Perform(WM_LBUTTONUP, 0, MakePointParam(Left() + 200, 2 * 17 + 5));
    EXPECT_EQ(Caret(), "25@2:5");
    // A drag from row 1 back to the right of row 0 selects from row 0's end.
    Memo.Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakePointParam(Left() + 36, 17 + 5));
    Memo.Perform(WM_MOUSEMOVE, MK_LBUTTON, MakePointParam(Left() + 300, 5));
    Memo.Perform(WM_LBUTTONUP, 0, MakePointParam(Left() + 300, 5));
    EXPECT_EQ(Memo.SelText(), "klmno");
    EXPECT_TRUE(Memo.CaretAtRowEnd());
}

TEST_F(WrapCaretTest, CursorRightAndLeftAcrossTheCut) {
    Memo.SetSelection(9, 9);
    Key(VK_RIGHT); // onto the cut: the next row's start
    EXPECT_EQ(Caret(), "10@1:0");
    Key(VK_RIGHT);
    EXPECT_EQ(Caret(), "11@1:1");
    Key(VK_LEFT);
    Key(VK_LEFT);
    EXPECT_EQ(Caret(), "9@0:9");
    // From the row end Right steps over the cut to the next row's start, Left back into the word.
    Memo.SetSelection(0, 0);
    Key(VK_END);
    Key(VK_RIGHT);
    EXPECT_EQ(Caret(), "10@1:0");
    Key(VK_END);
    Key(VK_LEFT);
    EXPECT_EQ(Caret(), "19@1:9");
}

TEST_F(WrapCaretTest, TheVirtualCaretGoesPastALogicalLineEndButNeverIntoACut) {
    Memo.SetOptions(Memo.Options() | smoCaretAfterEOL);
    Memo.SetSelection(0, 0);
    Key(VK_END);
    EXPECT_EQ(Caret(), "10@0:10");
    Key(VK_RIGHT); // no columns past a cut: the next row's start
    EXPECT_EQ(Caret(), "10@1:0");
    EXPECT_FALSE(Memo.CaretBeyondEnd());
    Key(VK_LEFT); // and back to the end of the row above, the same offset
    EXPECT_EQ(Caret(), "10@0:10");
    Key(VK_LEFT);
    EXPECT_EQ(Caret(), "9@0:9");
    // At the end of the logical line the caret goes on past it, as on an unwrapped line.
    Memo.SetSelection(25, 25);
    Key(VK_RIGHT);
    Key(VK_RIGHT);
    EXPECT_EQ(Caret(), "25@2:7");
    EXPECT_TRUE(Memo.CaretBeyondEnd());
    for (int i = 0; i < 5; ++i)
        Key(VK_RIGHT);
    EXPECT_EQ(Caret(), "25@2:12");
    EXPECT_EQ(Host.CaretPos(), (TPoint{Left() + 12 * 7, 34}));
    // Up onto the cut row stops at its end, but the column is kept for the way back.
    Key(VK_UP);
    EXPECT_EQ(Caret(), "20@1:10");
    EXPECT_FALSE(Memo.CaretBeyondEnd());
    Key(VK_DOWN);
    EXPECT_EQ(Caret(), "25@2:12");
    EXPECT_TRUE(Memo.CaretBeyondEnd());
    Key(VK_DOWN); // "short": past its end too
    EXPECT_EQ(Caret(), "31@3:12");
    // Typing there fills the line up to the caret (tab stops every 4 columns).
    Memo.Perform(WM_CHAR, 'z', 0);
    EXPECT_EQ(Memo.Text(), "abcdefghijklmnopqrstuvwxy\r\nshort\t\tz");
}

TEST_F(WrapCaretTest, TypingAtARowEndInsertsAtTheOffsetAndTheCaretFollowsItsText) {
    Memo.SetSelection(0, 0);
    Key(VK_END);
    Memo.Perform(WM_CHAR, 'X', 0);
    EXPECT_EQ(Memo.Text(), "abcdefghijXklmnopqrstuvwxy\r\nshort");
    using R = std::vector<std::string>;
    EXPECT_EQ(Rows(), (R{"abcdefghij", "Xklmnopqrs", "tuvwxy\r", "short"}));
    EXPECT_EQ(Caret(), "11@1:1");
    Memo.Undo();
    EXPECT_EQ(Memo.Text(), "abcdefghijklmnopqrstuvwxy\r\nshort");
    // A line break typed at the row end ends the first row's logical line there.
    Memo.SetSelection(0, 0);
    Key(VK_END);
    Memo.Perform(WM_CHAR, 13, 0);
    EXPECT_EQ(Rows(), (R{"abcdefghij\r", "klmnopqrst", "uvwxy\r", "short"}));
    EXPECT_EQ(Caret(), "11@1:0");
    // Backspace at the row end deletes the character before it.
    Memo.SetSelection(11, 11);
    Key(VK_END);
    ASSERT_EQ(Caret(), "21@1:10");
    Key(VK_BACK);
    EXPECT_EQ(Memo.Text(), "abcdefghij\r\nklmnopqrsuvwxy\r\nshort");
    EXPECT_EQ(Caret(), "20@1:9");
}

TEST_F(WrapCaretTest, AWordCutByTheRowEndIsStillTheWordBeforeTheCaretForATemplate) {
    Memo.ActiveSettings().Templates.AddEntry("abcdefghijklm", "long", "Z|;");
    Memo.SetText("x abcdefghijklm");
    ASSERT_EQ(Rows(), (std::vector<std::string>{"x ", "abcdefghij", "klm"}));
    Memo.SetSelection(15, 15);
    Host.SetKeyDown(VK_CONTROL, true);
    Key('J');
    Host.SetKeyDown(VK_CONTROL, false);
    EXPECT_EQ(Memo.Text(), "x Z;");
    EXPECT_EQ(Memo.SelStart(), 3);
    EXPECT_FALSE(Memo.MacroPopupShown());
}

TEST_F(WrapCaretTest, TheListOpensAndClosesAtACaretOnARowEnd) {
    Memo.ActiveSettings().Templates.AddEntry("zz", "z", "z");
    Memo.SetText("qqqqqqqqqqqqq");
    Memo.SetSelection(0, 0);
    Key(VK_END);
    Host.SetKeyDown(VK_CONTROL, true);
    Key('J');
    Host.SetKeyDown(VK_CONTROL, false);
    ASSERT_TRUE(Memo.MacroPopupShown());
    // The word is selected up to the caret, which stays on the first row; the list goes
    // below that row.
    EXPECT_EQ(Memo.SelStart(), 0);
    EXPECT_EQ(Memo.SelLength(), 10); // a cut is no line break
    EXPECT_EQ(Memo.CaretLine(), 0);
    EXPECT_EQ(Memo.MacroPopupBounds().Top, 17);
    Key(VK_ESCAPE);
    EXPECT_FALSE(Memo.MacroPopupShown());
    EXPECT_EQ(Caret(), "10@0:10");
}

} // namespace
} // namespace quillet
