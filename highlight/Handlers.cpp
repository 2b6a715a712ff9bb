#include "highlight/Handlers.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace quillet {

namespace {
constexpr int CR = 13;

inline bool Is(uint8_t c, uint8_t cls) {
    return (kHandlerClass[c] & cls) != 0;
}
inline bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}

// The first position from `p` on whose byte has class `cls` missing; `end` when none.
inline size_t SkipClass(const uint8_t* text, size_t p, size_t end, uint8_t cls) {
    while (p < end && Is(text[p], cls))
        ++p;
    return p;
}
inline size_t SkipDigits(const uint8_t* text, size_t p, size_t end) {
    return SkipClass(text, p, end, ccDigit);
}
// The first `a` or `b` at or after `p`, else `end`.
inline size_t FindEither(const uint8_t* text, size_t p, size_t end, uint8_t a, uint8_t b) {
    if (p >= end) return end;
    const void* qa = std::memchr(text + p, a, end - p);
    const size_t ia = qa ? size_t(static_cast<const uint8_t*>(qa) - text) : end;
    const void* qb = std::memchr(text + p, b, ia - p);
    return qb ? size_t(static_cast<const uint8_t*>(qb) - text) : ia;
}

// Digits, an optional fraction and an exponent only when a digit follows the e (and its sign).
bool Number(TTokenCursor& cur) {
    const uint8_t* t = cur.Text;
    const size_t n = cur.Length;
    size_t p = cur.Pos;
    if (p >= n || !IsDigit(t[p])) return false;
    p = SkipDigits(t, p, n);
    if (p + 1 < n && t[p] == '.' && IsDigit(t[p + 1])) p = SkipDigits(t, p + 1, n);
    if (p < n && (t[p] == 'e' || t[p] == 'E')) {
        const size_t skip = p + 1 < n && (t[p + 1] == '+' || t[p + 1] == '-') ? 2 : 1;
        if (p + skip < n && IsDigit(t[p + skip])) p = SkipDigits(t, p + skip, n);
    }
    cur.Pos = p;
    return true;
}

// A quoted string opened at the cursor; `escapes`: backslash takes the next character.
bool Quoted(TTokenCursor& cur, int quote, bool escapes, bool doubled) {
    if (cur.AtEnd() || cur.Peek() != quote) return false;
    const uint8_t* t = cur.Text;
    const size_t n = cur.Length;
    size_t p = cur.Pos + 1;
    while (p < n) {
        // Straight to the next character that matters: the quote, CR or the escape.
        if (escapes) {
            while (p < n && t[p] != quote && t[p] != CR && t[p] != '\\')
                ++p;
        } else {
            p = FindEither(t, p, n, uint8_t(quote), CR);
        }
        if (p >= n) break;
        const int c = t[p];
        if (c == CR) break;
        ++p;
        if (escapes && c == '\\') {
            if (p < n && t[p] != CR) ++p;
        } else if (c == quote) {
            if (doubled && p < n && t[p] == quote) {
                ++p;
                continue;
            }
            break;
        }
    }
    cur.Pos = p;
    return true;
}

// Recognises at the cursor; `seen` becomes one past the furthest character looked at.
bool Recognise(int32_t number, TTokenCursor& cur, size_t tokenStart, size_t& seen) {
    const size_t from = cur.Pos;
    const size_t n = cur.Length;
    seen = from + 1; // the first character, or the end
    switch (number) {
    case 0: { // one character of a quoted body
        if (cur.AtEnd()) return false;
        int c = cur.Peek();
        if (c == CR) return false;
        if (c == '\'') {
            seen = from + 2;
            if (cur.Peek(1) != '\'' || cur.Pos + 1 >= cur.Length) return false;
            cur.Pos += 2;
            return true;
        }
        ++cur.Pos;
        return true;
    }
    case 1: {
        size_t p = SkipClass(cur.Text, from, n, ccWeb);
        seen = p + 1;
        if (p > from && cur.Text[p - 1] == '.') --p;
        cur.Pos = p;
        return p > from;
    }
    case 2: {
        seen = from;
        if (tokenStart != 0 ? cur.Text[tokenStart - 1] != CR : cur.MidLine) return false;
        const void* cr = from < n ? std::memchr(cur.Text + from, CR, n - from) : nullptr;
        cur.Pos = cr ? size_t(static_cast<const uint8_t*>(cr) - cur.Text) : std::max(from, n);
        seen = cur.Pos + 1;
        return true;
    }
    case 10: {
        const size_t end = IdentifierEnd(cur.Text, from, n);
        seen = end + 1;
        if (end == from) return false;
        cur.Pos = end;
        return true;
    }
    case 11:
    case 15: {
        if (number == 15 && !cur.AtEnd() && (cur.Peek() == '+' || cur.Peek() == '-')) ++cur.Pos;
        if (Number(cur)) {
            // The fraction and the exponent look up to two characters past the digits.
            seen = std::min(cur.Pos + 3, n + 1);
            return true;
        }
        seen = cur.Pos + 1;
        cur.Pos = from;
        return false;
    }
    case 12:
    case 13:
    case 14:
    case 20: {
        const int quote = number == 13 ? '"' : '\'';
        if (!Quoted(cur, quote, number != 12, number == 12)) return false;
        seen = cur.Pos + 1; // the closing quote's follower, CR or the end
        return true;
    }
    case 16:
        if (cur.AtEnd() || !IsDigit(cur.Peek())) return false;
        cur.Pos = SkipDigits(cur.Text, from, n);
        seen = cur.Pos + 1;
        return true;
    case 17: {
        size_t p = from;
        bool at = false;
        while (p < n && Is(cur.Text[p], ccMail)) {
            at = at || cur.Text[p] == '@';
            ++p;
        }
        seen = p + 1;
        if (!at) return false;
        if (cur.Text[p - 1] == '.') --p;
        cur.Pos = p;
        return true;
    }
    case 18: {
        if (cur.AtEnd() || cur.Peek() != '"') return false;
        // Through the closing quote, or up to CR or the text end.
        const size_t p = PlainQuotedStop(cur.Text, from + 1, n);
        seen = p + 1;
        cur.Pos = p < n && cur.Text[p] == '"' ? p + 1 : p;
        return true;
    }
    case 19: {
        const uint8_t* t = cur.Text;
        size_t p = from;
        while (p < n) {
            // Only CR and a run of `-` stop or end it.
            p = FindEither(t, p, n, CR, '-');
            if (p >= n || t[p] == CR) break;
            seen = std::max(seen, p + 2);
            if (p + 1 < n && t[p + 1] == '-') {
                size_t k = p;
                while (k < n && t[k] == '-')
                    ++k;
                seen = std::max(seen, k + 1);
                if (k < n && t[k] == '>') break;
                p = k;
                continue;
            }
            ++p;
        }
        seen = std::max(seen, p + 1);
        cur.Pos = p;
        return p > from;
    }
    default:
        seen = from;
        return false;
    }
}
} // namespace

size_t PlainQuotedStop(const uint8_t* text, size_t from, size_t end) {
    return FindEither(text, from, end, '"', CR);
}

bool RunBuiltinHandler(int32_t number, TTokenCursor& cur, size_t tokenStart) {
    size_t seen;
    const bool found = Recognise(number, cur, tokenStart, seen);
    if (seen > cur.Reach) cur.Reach = seen;
    return found;
}

} // namespace quillet
