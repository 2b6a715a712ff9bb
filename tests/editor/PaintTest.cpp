// The line renderer on a headless window: layout, style colours, tabs, selection, dirty rows.
#include "FixedFontTest.h"
#include "editor/CodeMemo.h"
#include "editor/CodeMemoMetrics.h"
#include "editor/CodeMemoPaint.h"
#include "highlight/Settings.h"
#include "platform/Platform.h"
#include "platform/Utf8.h"
#include "platform/VirtualKeys.h"
#include "platform/headless/HeadlessFonts.h"
#include "platform/headless/HeadlessWindowHost.h"
#include "tests/highlight/SampleCssDefinition.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace quillet {
namespace {

TEST(PaintMetrics, PitchTestDecidesTheAdvanceArray) {
    TCodeMemoMetrics m;
    m.Measure(nullptr, TFontDesc{}, true);
    EXPECT_EQ(m.CharWidth(), 7);
    EXPECT_EQ(m.LineHeight(), 17);
    EXPECT_FALSE(m.FixedPitch());

    THeadlessFonts proportional(false, 8, 15);
    m.Measure(&proportional, TFontDesc{}, true);
    EXPECT_FALSE(m.FixedPitch()); // "i" and "W" differ
    EXPECT_EQ(m.Advances(10), nullptr);
    EXPECT_EQ(m.LineHeight(), 15);

    THeadlessFonts fixed(true, 9, 16);
    m.Measure(&fixed, TFontDesc{}, false); // no window: the defaults
    EXPECT_EQ(m.CharWidth(), 7);
    m.Measure(&fixed, TFontDesc{}, true);
    ASSERT_TRUE(m.FixedPitch());
    EXPECT_EQ(m.CharWidth(), 9);
    const int* a = m.Advances(5);
    ASSERT_NE(a, nullptr);
    a = m.Advances(300); // grows for a longer run
    for (int i = 0; i < 300; ++i)
        ASSERT_EQ(a[i], 9) << i;
    EXPECT_EQ(m.VisibleColumns(36 + 9 * 10 + 8, 36), 10);
    EXPECT_EQ(m.VisibleLines(16 * 3 + 15), 3);
    EXPECT_EQ(TCodeMemoMetrics::TextLeft(true, 34, 2), 36);
    EXPECT_EQ(TCodeMemoMetrics::TextLeft(false, 34, 2), 2);
}

TEST(PaintPrepare, TabsExpandKeepingTheirStyleAndUtf8StaysWhole) {
    TTextStore store;
    store.Insert(TOffset(0), "a\t\xC3\xA9x\rnext");
    store.Line(TRow(0)).EnsureExtra().Attributes = {1, 2, 3, 3, 4, 0};
    TPreparedLine p;
    TCodeMemoPainter::Prepare(
        store, TRow(0), [](int c) { return (c / 4 + 1) * 4; }, p);
    ASSERT_EQ(p.Columns(), 6); // a, three blanks, é, x
    EXPECT_EQ(p.Text, std::string("a   \xC3\xA9x"));
    EXPECT_EQ(p.Tokens, (std::vector<uint8_t>{1, 2, 2, 2, 3, 4}));
    EXPECT_EQ(p.ColumnChar, (std::vector<int>{0, 1, 1, 1, 2, 4, 5}));
    EXPECT_EQ(p.ColumnByte.back(), int(p.Text.size()));
}

class PaintTest : public FixedFontTest {
protected:
    THeadlessWindowHost Host{640, 170};
    TCodeMemo Memo{&Host};
    static constexpr int Left = 36;
    THeadlessCanvas& Canvas() { return Host.HeadlessCanvas(); }
    void Paint() { Memo.Perform(WM_PAINT, 0, 0); }
    const THeadlessCanvas::TTextRun* RunAt(int x, int row) {
        for (const auto& r : Canvas().TextRuns())
            if (r.X == x && r.Y / 17 == row) return &r;
        return nullptr;
    }
};

TEST_F(PaintTest, EmptyDocumentPaintsGutterMarginBackgroundAndRightMargin) {
    Memo.SetRightMargin(80);
    Memo.SetOptions(Memo.Options() | smoShowRMargin | smoLineNumbers);
    Memo.SetGutterColor(0x00FF00);
    Memo.SetMarginColor(0x0000FF);
    Paint();
    EXPECT_EQ(Canvas().Pixel(5, 5), TColor(0x00FF00));
    EXPECT_EQ(Canvas().Pixel(32, 5), clWhite); // separator at Gutter - 2
    EXPECT_EQ(Canvas().Pixel(34, 5), TColor(0x0000FF));
    EXPECT_EQ(Canvas().Pixel(Left + 20, 5), clWhite);
    EXPECT_EQ(Canvas().Pixel(Left + 80 * 7, 5), clSilver);
    // Below the text: background and the margin segment, but no number.
    EXPECT_EQ(Canvas().Pixel(Left + 20, 17 * 5 + 3), clWhite);
    EXPECT_EQ(Canvas().Pixel(Left + 80 * 7, 17 * 5 + 3), clSilver);
    ASSERT_NE(RunAt(2, 0), nullptr);
    EXPECT_EQ(RunAt(2, 0)->Text, "1");
    EXPECT_EQ(RunAt(2, 1), nullptr);
}

TEST_F(PaintTest, NarrowGutterHasNoSeparatorAndNumbersFollowTheOption) {
    Memo.SetText("a\rb");
    Memo.SetGutter(9);
    Memo.SetGutterColor(0x00FF00);
    Memo.SetOptions(Memo.Options() & ~TCodeMemoOptions(smoLineNumbers));
    Paint();
    for (int x = 0; x < 9; ++x)
        EXPECT_EQ(Canvas().Pixel(x, 5), TColor(0x00FF00)) << x;
    EXPECT_EQ(RunAt(2, 0), nullptr);
    Memo.SetOptions(Memo.Options() | smoLineNumbers);
    Canvas().ClearLog();
    Paint();
    ASSERT_NE(RunAt(2, 1), nullptr);
    EXPECT_EQ(RunAt(2, 1)->Text, "2");
}

TEST_F(PaintTest, RunsComeOutInTheirStyleColoursOnTheGrid) {
    TCM_Settings& s = Memo.ActiveSettings();
    s.StyleMap[1] = 1; // selector
    s.StyleMap[2] = 2; // property
    s.StyleMap[3] = 3; // value
    s.Styles[1].Foreground = 0x0000FF;
    s.Styles[1].FontStyle = fsBold;
    s.Styles[2].Foreground = 0x008000;
    s.Styles[2].BackgroundDefault = true;
    s.Styles[0].Background = 0xEEEEEE;
    s.Styles[3].Foreground = 0xFF0000;
    s.Styles[3].Background = 0x00FFFF;
    Memo.SetText("p{c:red}");
    Memo.Store().Line(TRow(0)).EnsureExtra().Attributes = {1, 0, 2, 0, 3, 3, 3, 0};
    Memo.View().InvalidateAll();
    Paint();
    auto* sel = RunAt(Left, 0);
    ASSERT_NE(sel, nullptr);
    EXPECT_EQ(sel->Text, "p");
    EXPECT_EQ(sel->Fore, TColor(0x0000FF));
    auto* prop = RunAt(Left + 2 * 7, 0);
    ASSERT_NE(prop, nullptr);
    EXPECT_EQ(prop->Fore, TColor(0x008000));
    EXPECT_EQ(prop->Back, TColor(0xEEEEEE)); // background as default
    auto* value = RunAt(Left + 4 * 7, 0);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->Text, "red");
    EXPECT_EQ(value->Fore, TColor(0xFF0000));
    EXPECT_EQ(value->Advances, (std::vector<int>{7, 7, 7}));
    EXPECT_EQ(Canvas().Pixel(Left + 4 * 7 + 1, 1), TColor(0x00FFFF));
    // After the text the row is the default style's background.
    EXPECT_EQ(Canvas().Pixel(Left + 20 * 7, 5), TColor(0xEEEEEE));

    // Highlighting off: everything in the default style.
    Memo.SetOptions(Memo.Options() & ~TCodeMemoOptions(smoSyntaxHighlight));
    Canvas().ClearLog();
    Paint();
    ASSERT_NE(RunAt(Left + 4 * 7, 0), nullptr);
    EXPECT_EQ(RunAt(Left + 4 * 7, 0)->Fore, clBlack);
}

TEST_F(PaintTest, TabReachesTheNextStopAndSelectionSplitsTheRuns) {
    Memo.SetText("\tab\rxy");
    Memo.Store().Line(TRow(0)).EnsureExtra().Attributes = {0, 1, 1, 0};
    Memo.ActiveSettings().StyleMap[1] = 1;
    Memo.ActiveSettings().Styles[1].Foreground = 0x0000FF;
    Memo.View().InvalidateAll();
    Paint();
    int stop = Memo.NextTabStop(0);
    ASSERT_GT(stop, 1);
    auto* ab = RunAt(Left + stop * 7, 0);
    ASSERT_NE(ab, nullptr);
    EXPECT_EQ(ab->Text, "ab");

    Memo.Perform(WM_SETFOCUS, 0, 0);
    Host.SetFocused(true);
    Memo.SetSelection(2, 5); // "b", the break and "x"
    Memo.View().InvalidateAll();
    Canvas().ClearLog();
    Paint();
    const TCM_Settings& s = Memo.ActiveSettings();
    TColor selBack = TCodeMemoView::Resolve(s.SelTextBackDefault ? clHighlight : s.SelTextBack);
    auto* b = RunAt(Left + (stop + 1) * 7, 0);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->Text, "b");
    EXPECT_EQ(b->Back, selBack);
    EXPECT_EQ(Canvas().Pixel(Left + 30 * 7, 5), selBack); // the break is selected
    auto* x = RunAt(Left, 1);
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(x->Text, "x");
    EXPECT_EQ(x->Back, selBack);
    EXPECT_EQ(Canvas().Pixel(Left + 30 * 7, 17 + 5), clWhite);
}

TEST_F(PaintTest, OnlyTheDirtyLineIsRepainted) {
    Memo.SetText("one\rtwo\rthree");
    Paint();
    Canvas().ClearLog();
    Paint();
    for (const auto& r : Canvas().TextRuns())
        EXPECT_LT(r.X, Left) << "clean text row redrawn: " << r.Text;
    // A row marked dirty whose text did not change keeps what it shows.
    Memo.Store().Line(TRow(1)).Flags |= lfRepaint;
    Paint();
    for (const auto& r : Canvas().TextRuns())
        EXPECT_LT(r.X, Left) << "unchanged text row redrawn: " << r.Text;
    Memo.Perform(EM_SETSEL, 4, 4);
    Memo.Perform(WM_CHAR, 'x', 0);
    Canvas().ClearLog();
    Paint();
    int textRuns = 0;
    for (const auto& r : Canvas().TextRuns())
        if (r.X >= Left) {
            ++textRuns;
            EXPECT_EQ(r.Y, 17);
            EXPECT_EQ(r.Text, "xtwo");
        }
    EXPECT_EQ(textRuns, 1);
    EXPECT_EQ(Memo.Store().Line(TRow(1)).Flags & lfRepaint, 0u);
}

TEST_F(PaintTest, LongRunIsCutAtTheRightEdge) {
    Memo.SetText(std::string(500, 'w'));
    Paint();
    auto* r = RunAt(Left, 0);
    ASSERT_NE(r, nullptr);
    int fit = (640 - Left) / 7; // whole cells; one more is cut by the edge and drawn too
    EXPECT_EQ(int(r->Text.size()), fit + fit / 2 + 1);
}

// Narrow characters of a proportional font leave room after a run cut at the right edge: the
// rest of the run follows on, where before the row went blank from there.
TEST(PaintProportional, NarrowCharactersFillTheRowPastACutRun) {
    TPlatformServices s;
    s.Fonts = std::make_unique<THeadlessFonts>(); // 'i' is 3 pixels, the average 7
    InstallPlatform(std::move(s));
    THeadlessWindowHost host(640, 170);
    TCodeMemo memo(&host);
    memo.SetText(std::string(500, 'i'));
    memo.Perform(WM_PAINT, 0, 0);
    std::string drawn;
    for (const auto& r : host.HeadlessCanvas().TextRuns())
        if (r.X >= 36 && r.Y == 0) drawn += r.Text;
    EXPECT_GE(int(drawn.size()), (640 - 36) / 3);
    EXPECT_EQ(drawn, std::string(drawn.size(), 'i'));
}

TEST_F(PaintTest, StrayUtf8BytesAreOneColumnEachForThePainterTheCanvasAndTheCaret) {
    // A stray continuation byte after a character, a lone lead byte, and one after a tab.
    Host.SetFocused(true);
    Memo.Perform(WM_SETFOCUS, 0, 0);
    Memo.SetText("a\xBF\xC3\xA9\x80\xE2z\t\xBF");
    Memo.SetSelection(2, 2);
    Paint();
    int columns = 0;
    for (const auto& r : Canvas().TextRuns())
        if (r.Y / 17 == 0 && r.X >= Left) {
            EXPECT_EQ(r.Advances.size(), Utf8CharCount(r.Text)) << r.Text;
            columns += int(r.Advances.size());
        }
    EXPECT_EQ(columns, 9); // a, BF, e acute, 80, E2, z, two blanks to the stop, BF
    EXPECT_EQ(Host.CaretPos().X, Left + 2 * 7);
    Memo.Perform(WM_KEYDOWN, VK_END, 0);
    EXPECT_EQ(Host.CaretPos().X, Left + 9 * 7);
}

TEST_F(PaintTest, VisibleLinesAreScannedBeforeTheyArePainted) {
    TCodeMemoParser css;
    testdef::BuildCss(css);
    // Each token paints in a colour equal to its value, so a run's colour names its token.
    TCM_Settings& s = css.Settings();
    for (int t = 1; t < 256; ++t) {
        s.StyleMap[size_t(t)] = uint8_t(t);
        s.Styles[size_t(t)].Foreground = TColor(t);
    }
    s.Styles[0].Foreground = 0;
    Memo.SetParser(1, &css);
    Memo.SetActiveParser(1);
    Memo.SetText("p.x { color: red; }");
    Paint();
    const TLineRecord& rec = Memo.Store().Line(TRow(0));
    ASSERT_TRUE(rec.Extra);
    const std::vector<uint8_t>& attrs = rec.Extra->Attributes;
    ASSERT_FALSE(attrs.empty());
    std::set<uint8_t> seen;
    for (const auto& r : Canvas().TextRuns()) {
        if (r.X < Left) continue;
        size_t column = size_t((r.X - Left) / 7);
        ASSERT_LT(column, attrs.size());
        EXPECT_EQ(r.Fore, TColor(attrs[column])) << r.Text;
        if (attrs[column]) seen.insert(attrs[column]);
    }
    EXPECT_GE(seen.size(), 2u); // selector, property and value are told apart
    Memo.SetParser(1, nullptr);
}

} // namespace
} // namespace quillet
