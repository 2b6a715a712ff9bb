// The CSS lint: unknown names, values a property does not take, bad colours, repeats, empty
// rules, unbalanced blocks and unterminated comments and strings.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::css {

struct TProblem {
    std::size_t Offset = 0; // byte offset of what the message is about
    std::size_t Length = 0; // its length in bytes (at least 1 unless the text is empty)
    int Line = 1;           // from 1
    int Column = 1;         // from 1, in characters
    std::string Message;
};

// Every problem of a style sheet, in text order.
std::vector<TProblem> Lint(std::string_view text);

// The closest name of the list within a small edit distance of the word, or an empty view.
std::string_view NearestName(std::string_view word, const std::vector<std::string_view>& names);

} // namespace quillet::css
