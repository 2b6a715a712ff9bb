// A CSS tokenizer for the language service: offsets into the text, no allocation per token.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace quillet::css {

enum class TTokenKind : std::uint8_t {
    Blank,
    Comment,
    BadComment, // "/*" without "*/"
    String,
    BadString, // ends at a line break or at the end of the text
    Ident,
    Function,  // a name and its "(" (the length takes both)
    AtKeyword, // "@" and a name
    Hash,      // "#" and name characters
    Number,    // a number, a percentage or a dimension
    Url,       // url( unquoted ) as one token
    Delim,     // any other single character: { } ( ) [ ] ; : , ! ...
};

struct TToken {
    TTokenKind Kind;
    std::uint32_t Offset;
    std::uint32_t Length;
};

// Every token of the text in order; the lengths add up to the text's length.
std::vector<TToken> Tokenize(std::string_view text);

// Whether a character may continue a name (ASCII letter, digit, '-', '_' or any non-ASCII byte).
inline bool IsNameChar(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c >= 0x80;
}

} // namespace quillet::css
