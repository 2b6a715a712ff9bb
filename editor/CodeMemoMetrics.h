// Font measurement and client-area layout of the editor: cell size, pitch, advances, columns.
#pragma once

#include "editor/CodeMemoView.h"
#include "platform/Fonts.h"

#include <vector>

namespace quillet {

// Measures a font the way the painter draws it. The pitch test uses bold italic, the widest
// shapes, so that a font passing it keeps every style on one column grid.
class TCodeMemoMetrics {
public:
    // fonts == nullptr or !hasWindow: the fixed defaults (7 x 17, proportional).
    void Measure(IFonts* fonts, const TFontDesc& desc, bool hasWindow);

    int CharWidth() const { return FView.CharWidth; }
    int LineHeight() const { return FView.LineHeight; }
    bool FixedPitch() const { return FView.FixedPitch; }
    const TViewMetrics& View() const { return FView; }

    // Per-code-point advances for a run of `count` characters on the column grid; nullptr for a
    // proportional font (runs are measured instead). Grows to the longest run asked for.
    const int* Advances(int count);

    // Layout of a client area.
    static int TextLeft(bool showGutter, int gutter, int margin) {
        return showGutter ? gutter + margin : margin;
    }
    int VisibleColumns(int clientWidth, int textLeft) const;
    int VisibleLines(int clientHeight) const;

private:
    TViewMetrics FView;
    std::vector<int> FAdvances;
};

} // namespace quillet
