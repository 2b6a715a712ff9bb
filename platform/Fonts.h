// Fonts: made from a name, height, style and character set; metrics and widths.
#pragma once

#include "platform/Types.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

enum TFontCharset : uint8_t { ANSI_CHARSET = 0, DEFAULT_CHARSET = 1, RUSSIAN_CHARSET = 204 };

struct TFontDesc {
    std::string Name = "Courier New";
    // Negative: character height in pixels; positive: size in points.
    int Height = -13;
    TFontStyles Style = 0;
    uint8_t Charset = DEFAULT_CHARSET;
    friend bool operator==(const TFontDesc&, const TFontDesc&) = default;
};

class IFont {
public:
    virtual ~IFont() = default;
    virtual const TFontDesc& Desc() const = 0;
    virtual int Height() const = 0; // line height in pixels (ascent + descent)
    virtual int Ascent() const = 0;
    virtual int Descent() const = 0;
    virtual int AverageCharWidth() const = 0;
    virtual int MaxCharWidth() const = 0;
    // Advance of one Unicode code point, in pixels.
    virtual int CharWidth(char32_t codePoint) const = 0;
    // Advance of a UTF-8 text, in pixels.
    virtual int TextWidth(std::string_view utf8) const = 0;
};

using TFontHandle = std::shared_ptr<const IFont>;

// The generic family a font falls back to in a style sheet.
enum TGenericFamily : uint8_t { gfSerif, gfSansSerif, gfMonospace };

// An installed font family: the name people know it by, the name that draws it here (it may
// carry the maker's tag that tells two families of one name apart), and its generic family.
struct TFontFamily {
    std::string Name;
    std::string Face;
    TGenericFamily Generic = gfSansSerif;
    friend bool operator==(const TFontFamily&, const TFontFamily&) = default;
};

class IFonts {
public:
    virtual ~IFonts() = default;
    virtual TFontHandle CreateFont(const TFontDesc& desc) = 0;
    // The scalable families installed for the screen, sorted by name, each name once.
    virtual std::vector<TFontFamily> Families() { return {}; }
    // The installed font families that can write the character set, sorted; every family for
    // the default set.
    virtual std::vector<std::string> FontNames(uint8_t /*charset*/) { return {"Courier New"}; }
};

} // namespace quillet
