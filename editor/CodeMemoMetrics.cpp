#include "editor/CodeMemoMetrics.h"

#include <algorithm>

namespace quillet {

void TCodeMemoMetrics::Measure(IFonts* fonts, const TFontDesc& desc, bool hasWindow) {
    FView = TViewMetrics{};
    FAdvances.clear();
    if (!fonts || !hasWindow) return;
    TFontDesc boldItalic = desc;
    boldItalic.Style = TFontStyles(desc.Style | fsBold | fsItalic);
    TFontHandle wide = fonts->CreateFont(boldItalic);
    if (!wide) return;
    FView.LineHeight = wide->Height() > 0 ? wide->Height() : 17;
    FView.CharWidth = wide->AverageCharWidth() > 0 ? wide->AverageCharWidth() : 7;
    FView.FixedPitch = wide->CharWidth(U'i') == wide->CharWidth(U'W');
    if (FView.FixedPitch) {
        // The grid is the normal style's cell; bold and italic are squeezed onto it.
        TFontDesc normal = desc;
        normal.Style = 0;
        TFontHandle plain = fonts->CreateFont(normal);
        int w = plain ? plain->CharWidth(U'W') : 0;
        if (w <= 0 && plain) w = plain->AverageCharWidth();
        if (w > 0) FView.CharWidth = w;
    }
}

const int* TCodeMemoMetrics::Advances(int count) {
    if (!FView.FixedPitch) return nullptr;
    if (int(FAdvances.size()) < count) FAdvances.resize(size_t(count), FView.CharWidth);
    return FAdvances.empty() ? nullptr : FAdvances.data();
}

int TCodeMemoMetrics::VisibleColumns(int clientWidth, int textLeft) const {
    return std::max(0, (clientWidth - textLeft) / std::max(1, FView.CharWidth));
}

int TCodeMemoMetrics::VisibleLines(int clientHeight) const {
    return std::max(0, clientHeight / std::max(1, FView.LineHeight));
}

} // namespace quillet
