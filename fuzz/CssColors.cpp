// Fuzzes the colour literals found in arbitrary text: each lies inside the text, in order, and
// reads alone as it was read in place; a literal given another colour reads back as exactly that
// colour, with its alpha and notation kept.
#include "css/Colors.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quillet::css;
    if (size < 3) return 0;
    const std::uint32_t rgb = uint32_t(data[0]) << 16 | uint32_t(data[1]) << 8 | data[2];
    const std::string_view text(reinterpret_cast<const char*>(data) + 3, size - 3);
    int end = 0;
    for (const TColorLiteral& c : FindColors(text)) {
        if (c.Start < end || c.Length <= 0 || size_t(c.Start) + size_t(c.Length) > text.size())
            __builtin_trap();
        end = c.Start + c.Length;
        const std::string_view literal = text.substr(size_t(c.Start), size_t(c.Length));
        const auto alone = ParseColor(literal);
        if (!alone || alone->Rgb != c.Rgb || alone->Alpha != c.Alpha ||
            alone->Notation != c.Notation)
            __builtin_trap();
        const std::string replaced = ReplaceColor(literal, rgb);
        const auto back = ParseColor(replaced);
        if (!back || back->Rgb != rgb || back->Alpha != c.Alpha) __builtin_trap();
        // A named colour with no name for the new value becomes hex; every other keeps its kind.
        if (back->Notation != c.Notation && c.Notation != cnNamed) __builtin_trap();
    }
    // Whatever the text, a lone literal never reads past itself.
    if (auto c = ParseColor(text); c && size_t(c->Length) != text.size()) __builtin_trap();
    return 0;
}
