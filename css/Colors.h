// Colour literals in style sheet text: found, read into RGB and alpha, and written back in the
// notation they were written in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::css {

enum TColorNotation : uint8_t { cnHex, cnRgb, cnHsl, cnNamed };

struct TColorLiteral {
    int Start = 0; // byte offset in the text searched
    int Length = 0;
    std::uint32_t Rgb = 0; // 0xRRGGBB
    std::uint8_t Alpha = 255;
    TColorNotation Notation = cnHex;
};

// One whole literal ("#abc", "rgb(0 0 0 / 50%)", "hsla(120, 50%, 50%, .3)", "navy");
// nothing for anything else, "#12345" and "rgb(var(--x))" among it.
std::optional<TColorLiteral> ParseColor(std::string_view literal);

// Every colour literal in a piece of text, in order. Words that merely look like colours are
// left alone: class and id selectors, a head before "{", parts of longer names and of paths.
std::vector<TColorLiteral> FindColors(std::string_view text);

// `literal` rewritten to the colour 0xRRGGBB in its own notation: the digits' count and case of
// a hex colour, a function's name, commas or blanks, units and alpha. A named colour becomes the
// name of the new colour, or "#RRGGBB" when none has that value.
std::string ReplaceColor(std::string_view literal, std::uint32_t rgb);

} // namespace quillet::css
