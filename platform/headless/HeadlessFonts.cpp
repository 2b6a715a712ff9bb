#include "platform/headless/HeadlessFonts.h"

#include <memory>

namespace quillet {

char32_t DecodeUtf8(std::string_view s, size_t& i) {
    unsigned char c = static_cast<unsigned char>(s[i++]);
    int extra = c >= 0xF0 && c < 0xF8 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 && c < 0xE0 ? 1 : 0;
    if (c >= 0xF8) extra = 0;
    char32_t cp = extra == 3 ? c & 0x07 : extra == 2 ? c & 0x0F : extra == 1 ? c & 0x1F : c;
    size_t start = i;
    for (int k = 0; k < extra; ++k) {
        if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            i = start; // malformed: the lead byte stands alone
            return c;
        }
        cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    }
    return cp;
}

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

} // namespace quillet
