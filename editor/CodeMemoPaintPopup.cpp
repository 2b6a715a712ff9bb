#include "editor/CodeMemoPaintPopup.h"

#include "editor/CodeMemoView.h"
#include "highlight/AutoReplaceExpansion.h"

#include <algorithm>

namespace quillet {

namespace {
constexpr TColor BorderColor = 0x808080;
} // namespace

TFontDesc TMacroPopupView::ListFont(bool bold) {
    TFontDesc d;
    d.Name = "Arial";
    d.Height = 8; // points
    d.Style = bold ? TFontStyles(fsBold) : TFontStyles(0);
    return d;
}

void TMacroPopupView::Layout(IFonts* fonts, int caretX, int lineTop, int lineBottom, TSize client) {
    FFont = fonts ? fonts->CreateFont(ListFont(false)) : nullptr;
    FBold = fonts ? fonts->CreateFont(ListFont(true)) : nullptr;
    FList.Measure([this](std::string_view text, bool bold) {
        const TFontHandle& f = bold ? FBold : FFont;
        return f ? f->TextWidth(text) : int(text.size()) * 7;
    });
    // Variable item height: the bold "Wy" and 2 pixels.
    FItemHeight = (FBold ? FBold->Height() : 13) + 2;
    int rows = std::clamp(FList.Count(), 1, VisibleItems);
    TSize size{FList.Width(), rows * FItemHeight + 2}; // a single border round the items
    TPoint at = PlaceMacroPopup(caretX, lineTop, lineBottom, size, client);
    FBounds = {at.X, at.Y, at.X + size.Width, at.Y + size.Height};
    KeepSelectedInView();
}

void TMacroPopupView::KeepSelectedInView() {
    int sel = FList.Selected();
    int rows = std::min(FList.Count(), VisibleItems);
    if (sel < 0) return;
    if (sel < FTop) FTop = sel;
    if (sel >= FTop + rows) FTop = sel - rows + 1;
    FTop = std::clamp(FTop, 0, std::max(0, FList.Count() - rows));
}

void TMacroPopupView::Paint(ICanvas& canvas) {
    KeepSelectedInView();
    const TRect& b = FBounds;
    canvas.FillRect(b, TCodeMemoView::Resolve(clWindow));
    canvas.Line(b.Left, b.Top, b.Right - 1, b.Top, BorderColor);
    canvas.Line(b.Right - 1, b.Top, b.Right - 1, b.Bottom - 1, BorderColor);
    canvas.Line(b.Right - 1, b.Bottom - 1, b.Left, b.Bottom - 1, BorderColor);
    canvas.Line(b.Left, b.Bottom - 1, b.Left, b.Top, BorderColor);
    canvas.SetClip({b.Left + 1, b.Top + 1, b.Right - 1, b.Bottom - 1});
    const int rows = std::min(FList.Count(), VisibleItems);
    for (int k = 0; k < rows; ++k) {
        int i = FTop + k;
        bool selected = i == FList.Selected();
        TColor back = TCodeMemoView::Resolve(selected ? clHighlight : clWindow);
        TColor fore = TCodeMemoView::Resolve(selected ? clHighlightText : clWindowText);
        int y = b.Top + 1 + k * FItemHeight;
        canvas.FillRect({b.Left + 1, y, b.Right - 1, y + FItemHeight}, back);
        canvas.SetFont(FFont);
        canvas.TextOut(b.Left + 1 + 2, y + 1, FList.Description(i), fore, clNone);
        canvas.SetFont(FBold);
        canvas.TextOut(b.Left + 1 + FList.NameColumn(), y + 1, FList.Name(i), fore, clNone);
    }
    canvas.ResetClip();
}

int TMacroPopupView::ItemAt(TPoint p) const {
    if (!FBounds.Contains(p) || FItemHeight <= 0) return -1;
    int k = (p.Y - FBounds.Top - 1) / FItemHeight;
    int i = FTop + k;
    return k >= 0 && k < std::min(FList.Count(), VisibleItems) && i < FList.Count() ? i : -1;
}

} // namespace quillet
