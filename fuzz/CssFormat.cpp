// Fuzzes the style sheet formatter and the colour reader: formatting is idempotent, minified
// text formats to the formatted text, no non-blank character is lost or added, and every
// colour found reads back alone and survives a rewrite in its own notation.
#include "css/Colors.h"
#include "css/Format.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

std::string NonBlank(std::string_view s) {
    std::string out;
    for (char c : s)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '\f') out += c;
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quillet::css;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const TFormatResult formatted = Format(text);
    const TFormatResult minified = Minify(text);
    if (Format(formatted.Text).Text != formatted.Text) __builtin_trap();
    if (Format(minified.Text).Text != formatted.Text) __builtin_trap();
    if (NonBlank(formatted.Text) != NonBlank(text)) __builtin_trap();
    if (NonBlank(minified.Text) != NonBlank(text)) __builtin_trap();
    for (int offset = 0; offset <= int(size); offset += 7) {
        int at = formatted.MapOffset(offset);
        if (at < 0 || at > int(formatted.Text.size())) __builtin_trap();
    }
    for (const TColorLiteral& c : FindColors(text)) {
        const std::string_view piece = text.substr(size_t(c.Start), size_t(c.Length));
        if (!ParseColor(piece)) __builtin_trap();
        const auto back = ParseColor(ReplaceColor(piece, 0x123456));
        if (!back) __builtin_trap();
    }
    return 0;
}
