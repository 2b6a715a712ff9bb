// The rows of the generated CSS knowledge table (resources/CssTable.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillet::res {

// Flags of a property row.
enum : unsigned {
    cpfJudged = 1,    // its value is keywords, numbers and colours only: keywords can be checked
    cpfColor = 2,     // it takes a colour
    cpfObsolete = 4,  // obsolete or non-standard
};

struct TCssPropertyRow {
    const char* Name;      // lower case, sorted
    const char* Syntax;    // the value syntax as the data writes it
    const char* Keywords;  // lower-case keywords, blank-separated
    unsigned Flags;
};

struct TCssAtRuleRow {
    const char* Name;         // without '@', sorted
    const char* Descriptors;  // blank-separated, sorted
};

struct TCssColorRow {
    const char* Name;  // lower case, sorted
    std::uint32_t Rgb;  // 0xRRGGBB
};

extern const char* const CssDataVersion;
extern const TCssPropertyRow CssPropertyRows[];
extern const std::size_t CssPropertyCount;
extern const TCssAtRuleRow CssAtRuleRows[];
extern const std::size_t CssAtRuleCount;
extern const TCssColorRow CssColorRows[];
extern const std::size_t CssColorCount;
// Colour keywords that are not named colours: transparent, currentcolor, system colours.
extern const char* const CssColorKeywords;

}  // namespace quillet::res
