// Walking display columns along a row's bytes: a tab reaches the next stop, every other
// character (a UTF-8 sequence, or a byte that is part of none) is one column. Runs of eight
// plain ASCII bytes are stepped over at once; the result is the same as going character by
// character.
#pragma once

#include "platform/Utf8.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace quillet {

// Whether the eight bytes at p are ASCII and none of them is a tab.
inline bool PlainAsciiBlock(const char* p) {
    uint64_t w;
    std::memcpy(&w, p, sizeof w);
    constexpr uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
    const uint64_t t = w ^ (ones * '\t'); // a zero byte where w holds a tab
    return ((w | ((t - ones) & ~t)) & highs) == 0;
}

// A position on a row: the byte where a character starts and the column it starts at.
struct TColumnWalk {
    size_t Byte = 0;
    int Column = 0;
};

// Steps over every character that starts before byte `end`. `nextStop` gives the column after
// a tab that starts at a column.
template <class NextStop>
TColumnWalk WalkToByte(std::string_view text, TColumnWalk at, size_t end, NextStop nextStop) {
    end = std::min(end, text.size());
    while (at.Byte < end) {
        if (at.Byte + 8 <= end && PlainAsciiBlock(text.data() + at.Byte)) {
            at.Byte += 8;
            at.Column += 8;
            continue;
        }
        const char c = text[at.Byte];
        at.Column = c == '\t' ? nextStop(at.Column) : at.Column + 1;
        at.Byte += size_t(Utf8CharLength(text, at.Byte));
    }
    return at;
}

// Steps over whole characters, before byte `end`, while the column after them stays at or
// before `column`: the result is the character that covers `column` (or `end`).
template <class NextStop>
TColumnWalk WalkToColumn(std::string_view text, TColumnWalk at, size_t end, int column,
                         NextStop nextStop) {
    end = std::min(end, text.size());
    while (at.Byte < end) {
        if (at.Byte + 8 <= end && at.Column + 8 <= column &&
            PlainAsciiBlock(text.data() + at.Byte)) {
            at.Byte += 8;
            at.Column += 8;
            continue;
        }
        const int next = text[at.Byte] == '\t' ? nextStop(at.Column) : at.Column + 1;
        if (next > column) break;
        at.Column = next;
        at.Byte += size_t(Utf8CharLength(text, at.Byte));
    }
    return at;
}

} // namespace quillet
