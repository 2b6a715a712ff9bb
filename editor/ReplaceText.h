// The replacement text of a regular-expression replace: group references and escapes.
#pragma once

#include "highlight/RECharSource.h"

#include <functional>
#include <string>
#include <string_view>

namespace quillet {

class TREParser;

// Expands "%%", "%N" (group N, 1..255) and the backslash escapes of a replacement text.
// group(n) gives the text of group n of the match (empty when it took no part).
std::string ExpandReplacement(std::string_view replacement,
                              const std::function<std::string(int)>& group);

// The text of group n of the parser's last match over source ("" when it took no part).
std::string MatchedGroup(const TREParser& parser, const IRECharSource& source, int n);

// The characters [start, end) of a source.
std::string SourceText(const IRECharSource& source, int64_t start, int64_t end);

} // namespace quillet
