// The built-in handler routines: body handlers 0-2 and the standard recognisers 10-20.
#pragma once

#include "highlight/CodeMemoParser.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace quillet {

// Character classes of the built-in handlers.
enum : uint8_t { ccDigit = 1, ccLetter = 2, ccWeb = 4, ccMail = 8, ccIdent = 16 };

constexpr std::array<uint8_t, 256> MakeHandlerClasses() {
    std::array<uint8_t, 256> t{};
    for (int c = 0; c < 256; ++c) {
        uint8_t k = 0;
        if (c >= '0' && c <= '9') k |= ccDigit;
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) k |= ccLetter;
        if (c == '#' || c == '&' || (c >= '-' && c <= ':') || c == '=' || (c >= '?' && c <= 'Z') ||
            c == '\\' || c == '_' || (c >= 'a' && c <= 'z') || c == '|' || c == '~')
            k |= ccWeb;
        if ((k & (ccDigit | ccLetter)) || c == '~' || c == '.' || c == '@' || c == '-' || c == '_')
            k |= ccMail;
        if ((k & (ccDigit | ccLetter)) || c == '_') k |= ccIdent;
        t[size_t(c)] = k;
    }
    return t;
}
inline constexpr std::array<uint8_t, 256> kHandlerClass = MakeHandlerClasses();

// The standard identifier recogniser.
constexpr int32_t hIdentifier = 10;

// Where the identifier at `p` ends (a letter or `_`, then letters, digits and `_`); `p` when
// none starts there.
inline size_t IdentifierEnd(const uint8_t* text, size_t p, size_t length) {
    if (p >= length || !(kHandlerClass[text[p]] & ccIdent) || (kHandlerClass[text[p]] & ccDigit))
        return p;
    ++p;
    while (p < length && (kHandlerClass[text[p]] & ccIdent))
        ++p;
    return p;
}

// Numbers: digits with an optional fraction and exponent (the second takes a sign first), and
// a plain run of digits.
constexpr int32_t hNumber = 11;
constexpr int32_t hSignedNumber = 15;
constexpr int32_t hDigits = 16;

// The first position from `p` on, before `end`, whose byte lacks every class of `cls`.
inline size_t ClassRunEnd(const uint8_t* text, size_t p, size_t end, uint8_t cls) {
    while (p < end && (kHandlerClass[text[p]] & cls))
        ++p;
    return p;
}

// The string recogniser that ends at the next double quote or line end, with no escapes.
constexpr int32_t hPlainQuoted = 18;
// Its body from `from`: the index of the closing quote or CR, else `end`.
size_t PlainQuotedStop(const uint8_t* text, size_t from, size_t end);

// Runs built-in handler `number` at the cursor; the token began at `tokenStart`.
// Answers true when it recognised something; on false the cursor is where it was.
bool RunBuiltinHandler(int32_t number, TTokenCursor& cursor, size_t tokenStart);

} // namespace quillet
