// Parses script character specifications (a character, an escape or a [...] class) into sets.
#pragma once

#include <bitset>
#include <string_view>
#include <vector>

namespace quillet {

using TCharSet = std::bitset<256>;

// Every specification in the raw (undecoded) string text, in order. Raises EScriptValueError.
std::vector<TCharSet> ParseCharSpecs(std::string_view raw);

} // namespace quillet
