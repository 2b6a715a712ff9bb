// What to offer at a caret in a style sheet: property names, or the keywords of the property
// whose value is being written.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::css {

struct TCompletionEntry {
    std::string_view Name; // as offered (lower case)
    std::string Insert;    // what choosing it writes in place of the typed prefix
};

struct TCompletion {
    std::size_t PrefixLength = 0; // bytes before the caret the chosen entry replaces
    bool Values = false;          // keyword values, not property names
    std::vector<TCompletionEntry> Entries;
};

// The entries for a caret standing after `before` (the text before it; a few thousand bytes
// are enough to find the context). Nothing outside a declaration block.
TCompletion Complete(std::string_view before);

// Whether the character just typed (the last one of `before`) opens the list by itself: a
// letter where a declaration starts, or ':' after a property that takes keywords.
bool OpensCompletion(std::string_view before);

} // namespace quillet::css
