// What the program knows about CSS: properties, keyword values, at-rules and named colours.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace quillet::css {

struct TPropertyInfo {
    std::string_view Name;                  // lower case
    std::string_view Syntax;                // the value syntax summary
    std::vector<std::string_view> Keywords; // lower case, in the order the syntax names them
    bool Judged = false;                    // its value is only keywords, numbers and colours
    bool TakesColor = false;                // a colour is one of its values
    bool Obsolete = false;                  // obsolete or non-standard
};

struct TAtRuleInfo {
    std::string_view Name;                     // without '@'
    std::vector<std::string_view> Descriptors; // sorted
};

struct TNamedColor {
    std::string_view Name; // lower case
    std::uint32_t Rgb;     // 0xRRGGBB
};

// The version of the data the table was generated from.
std::string_view DataVersion();

// Every known property, sorted by name.
const std::vector<TPropertyInfo>& Properties();
// A property by name, ASCII case-insensitive; nullptr when unknown.
const TPropertyInfo* FindProperty(std::string_view name);
// Whether the property lists the keyword (ASCII case-insensitive).
bool TakesKeyword(const TPropertyInfo& property, std::string_view keyword);

// Every known at-rule, sorted by name.
const std::vector<TAtRuleInfo>& AtRules();
// An at-rule by name without '@', ASCII case-insensitive; nullptr when unknown.
const TAtRuleInfo* FindAtRule(std::string_view name);
// Whether the at-rule's block takes the descriptor.
bool TakesDescriptor(const TAtRuleInfo& rule, std::string_view descriptor);

// Every named colour, sorted by name (transparent and currentcolor are not among them).
const std::vector<TNamedColor>& NamedColors();
// The 0xRRGGBB value of a named colour, ASCII case-insensitive.
std::optional<std::uint32_t> FindNamedColor(std::string_view name);
// Colour keywords that are not named colours: transparent, currentcolor, the system colours.
const std::vector<std::string_view>& ColorKeywords();
bool IsColorKeyword(std::string_view name);

// Global keywords every property takes.
bool IsGlobalKeyword(std::string_view name);

// ASCII case-insensitive comparison helpers shared by the CSS units.
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

} // namespace quillet::css
