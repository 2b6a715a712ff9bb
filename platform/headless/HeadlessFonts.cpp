#include "platform/headless/HeadlessFonts.h"

#include <memory>

namespace quillet {

THeadlessFont::THeadlessFont(TFontDesc desc, bool fixedPitch, int cellWidth, int lineHeight)
    : FDesc(std::move(desc)), FFixedPitch(fixedPitch), FCellWidth(cellWidth),
      FLineHeight(lineHeight) {}

int THeadlessFont::CharWidth(char32_t cp) const {
    if (FFixedPitch) return FCellWidth;
    switch (cp) {
    case 'i':
    case 'l':
    case 'j':
    case '.':
    case ',':
    case '\'':
    case '!':
    case '|':
    case 't':
    case 'f':
        return 3;
    case 'm':
    case 'w':
    case 'M':
    case 'W':
        return 11;
    default:
        return FCellWidth;
    }
}

int THeadlessFont::TextWidth(std::string_view utf8) const {
    int width = 0;
    for (size_t i = 0; i < utf8.size();)
        width += CharWidth(DecodeUtf8(utf8, i));
    return width;
}

TFontHandle THeadlessFonts::CreateFont(const TFontDesc& desc) {
    return std::make_shared<THeadlessFont>(desc, FFixedPitch, FCellWidth, FLineHeight);
}

std::vector<TFontFamily> THeadlessFonts::Families() {
    return {{"Arial", "Arial", gfSansSerif},
            {"C059", "C059", gfSerif},
            {"Courier New", "Courier New", gfMonospace},
            {"Monospace", "Monospace", gfMonospace},
            {"Sans", "Sans [test]", gfSansSerif}};
}

} // namespace quillet
