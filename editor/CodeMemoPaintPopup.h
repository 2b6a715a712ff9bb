// The template and auto-replace pop-up list as drawn over the text: its layout at the caret,
// its owner-drawn items, and hit tests.
#pragma once

#include "platform/Canvas.h"
#include "platform/Fonts.h"
#include "platform/Types.h"

namespace quillet {

class TMacroPopupList;

class TMacroPopupView {
public:
    // Items shown at once; more scroll.
    static constexpr int VisibleItems = 8;

    explicit TMacroPopupView(TMacroPopupList& list) : FList(list) {}

    // Measures the entries in the list fonts ("Arial" 8 points, names bold) and places the
    // list below the caret line (above it when it does not fit), within the client area.
    void Layout(IFonts* fonts, int caretX, int lineTop, int lineBottom, TSize client);
    const TRect& Bounds() const { return FBounds; }
    int ItemHeight() const { return FItemHeight; }
    // First item shown: keeps the selected one in view.
    int TopItem() const { return FTop; }

    // Description at 2 pixels, the name in bold in its column; the selected item highlighted.
    void Paint(ICanvas& canvas);
    // The item under a client point, or -1.
    int ItemAt(TPoint p) const;

    static TFontDesc ListFont(bool bold);

private:
    void KeepSelectedInView();

    TMacroPopupList& FList;
    TFontHandle FFont, FBold;
    TRect FBounds;
    int FItemHeight = 0;
    int FTop = 0;
};

} // namespace quillet
