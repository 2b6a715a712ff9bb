// The template pop-up list drawn on the headless canvas: layout at the caret, items, scrolling.
#include "editor/CodeMemoPaintPopup.h"
#include "editor/CodeMemoView.h"
#include "highlight/AutoReplace.h"
#include "highlight/AutoReplaceExpansion.h"
#include "platform/headless/HeadlessFonts.h"
#include "platform/headless/HeadlessWindowHost.h"

#include <gtest/gtest.h>

#include <string>

namespace quillet {
namespace {

TEST(PaintPopup, ItemsSitInTheirColumnsAndTheSelectedOneShows) {
    TCodeTemplates t;
    t.AddEntry("for", "for loop", "");
    t.AddEntry("while", "", "");
    for (char c = 'a'; c <= 'j'; ++c)
        t.AddEntry(std::string("x") + c, "extra", "");
    TMacroPopupList list(t);
    ASSERT_EQ(list.Count(), 12);
    THeadlessFonts fonts(true, 7, 17);
    TMacroPopupView view(list);
    view.Layout(&fonts, 50, 100, 117, {640, 400});
    EXPECT_EQ(view.ItemHeight(), 19);
    EXPECT_EQ(list.Width(), 56 + 35 + 48); // "for loop", "while"
    const TRect& b = view.Bounds();
    EXPECT_EQ(b.Left, 50);
    EXPECT_EQ(b.Top, 117);
    EXPECT_EQ(b.Width(), list.Width());
    EXPECT_EQ(b.Height(), TMacroPopupView::VisibleItems * 19 + 2);

    THeadlessCanvas canvas(640, 400);
    list.SetSelected(0);
    view.Paint(canvas);
    const auto& runs = canvas.TextRuns();
    ASSERT_EQ(runs.size(), 2u * TMacroPopupView::VisibleItems);
    EXPECT_EQ(runs[0].Text, "for loop");
    EXPECT_EQ(runs[0].X, 50 + 1 + 2);
    EXPECT_EQ(runs[1].Text, "for");
    EXPECT_EQ(runs[1].X, 50 + 1 + list.NameColumn());
    EXPECT_EQ(runs[0].Fore, clWhite);
    EXPECT_EQ(canvas.Pixel(b.Right - 3, b.Top + 5), TCodeMemoView::Resolve(clHighlight));
    EXPECT_EQ(canvas.Pixel(b.Right - 3, b.Top + 1 + 19 + 5), clWhite);
    EXPECT_EQ(canvas.Pixel(b.Left, b.Top + 5), TColor(0x808080)); // the border

    // Selecting past the visible items scrolls; hits map back to items.
    list.SetSelected(10);
    canvas.ClearLog();
    view.Paint(canvas);
    EXPECT_EQ(view.TopItem(), 10 - TMacroPopupView::VisibleItems + 1);
    EXPECT_EQ(view.ItemAt({b.Left + 5, b.Bottom - 3}), 10);
    EXPECT_EQ(view.ItemAt({b.Left + 5, b.Top + 3}), view.TopItem());
    EXPECT_EQ(view.ItemAt({b.Right + 5, b.Top + 3}), -1);
    EXPECT_EQ(canvas.TextRuns().back().Text, list.Name(10));

    // Near the bottom the list opens above the caret line; a short list is as tall as it is.
    TCodeTemplates two;
    two.AddEntry("a", "first", "");
    two.AddEntry("b", "second", "");
    TMacroPopupList small(two);
    TMacroPopupView above(small);
    above.Layout(&fonts, 600, 380, 397, {640, 400});
    EXPECT_EQ(above.Bounds().Height(), 2 * 19 + 2);
    EXPECT_EQ(above.Bounds().Bottom, 380);
    EXPECT_LE(above.Bounds().Right, 640);
}

} // namespace
} // namespace quillet
