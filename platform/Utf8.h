// What a character of UTF-8 text is: the one rule the painter, the caret, the layout and
// both canvases share. A well-formed sequence is one character; every byte that is not part
// of one (a stray continuation byte, a lead byte without its continuation, an overlong form
// or a surrogate) is a character of its own, one column wide.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quillet {

// Shown for a byte that is not part of a well-formed sequence.
constexpr char32_t Utf8Replacement = 0xFFFD;

// The well-formed sequence at i: its length (1 to 4) and code point; 0 when the byte at i
// starts none.
int Utf8Sequence(std::string_view s, size_t i, uint32_t& cp);

// Bytes of the character at i: its sequence, or the one byte alone.
inline int Utf8CharLength(std::string_view s, size_t i) {
    if (static_cast<unsigned char>(s[i]) < 0x80) return 1;
    uint32_t cp;
    int n = Utf8Sequence(s, i, cp);
    return n > 0 ? n : 1;
}

// The code point of the character at i (Utf8Replacement for a lone byte); i moves past it.
char32_t DecodeUtf8(std::string_view s, size_t& i);

// The start of the character that holds byte i (i itself at or past the end).
size_t Utf8CharStart(std::string_view s, size_t i);

// Characters in s.
size_t Utf8CharCount(std::string_view s);

} // namespace quillet
