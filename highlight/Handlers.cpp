#include "highlight/Handlers.h"

namespace quillet {

namespace {
constexpr int CR = 13;

bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}
bool IsLetter(int c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsWebChar(int c) {
    return c == '#' || c == '&' || (c >= '-' && c <= ':') || c == '=' || (c >= '?' && c <= 'Z') ||
           c == '\\' || c == '_' || (c >= 'a' && c <= 'z') || c == '|' || c == '~';
}

// Digits, an optional fraction and an exponent only when a digit follows the e (and its sign).
bool Number(TTokenCursor& cur) {
    if (!IsDigit(cur.Peek()) || cur.AtEnd()) return false;
    while (!cur.AtEnd() && IsDigit(cur.Peek()))
        ++cur.Pos;
    if (cur.Peek() == '.' && IsDigit(cur.Peek(1))) {
        ++cur.Pos;
        while (!cur.AtEnd() && IsDigit(cur.Peek()))
            ++cur.Pos;
    }
    int e = cur.Peek();
    if (e == 'e' || e == 'E') {
        int s = cur.Peek(1);
        size_t skip = (s == '+' || s == '-') ? 2 : 1;
        if (IsDigit(cur.Peek(skip))) {
            cur.Pos += skip;
            while (!cur.AtEnd() && IsDigit(cur.Peek()))
                ++cur.Pos;
        }
    }
    return true;
}

// A quoted string opened at the cursor; `escapes`: backslash takes the next character.
bool Quoted(TTokenCursor& cur, int quote, bool escapes, bool doubled) {
    if (cur.AtEnd() || cur.Peek() != quote) return false;
    ++cur.Pos;
    while (!cur.AtEnd()) {
        int c = cur.Peek();
        if (c == CR) break;
        ++cur.Pos;
        if (escapes && c == '\\') {
            if (!cur.AtEnd() && cur.Peek() != CR) ++cur.Pos;
        } else if (c == quote) {
            if (doubled && cur.Peek() == quote && !cur.AtEnd()) {
                ++cur.Pos;
                continue;
            }
            break;
        }
    }
    return true;
}
} // namespace

bool RunBuiltinHandler(int32_t number, TTokenCursor& cur, size_t tokenStart) {
    const size_t from = cur.Pos;
    switch (number) {
    case 0: { // one character of a quoted body
        if (cur.AtEnd()) return false;
        int c = cur.Peek();
        if (c == CR) return false;
        if (c == '\'') {
            if (cur.Peek(1) != '\'' || cur.Pos + 1 >= cur.Length) return false;
            cur.Pos += 2;
            return true;
        }
        ++cur.Pos;
        return true;
    }
    case 1: {
        while (!cur.AtEnd() && IsWebChar(cur.Peek()))
            ++cur.Pos;
        if (cur.Pos > from && cur.Text[cur.Pos - 1] == '.') --cur.Pos;
        return cur.Pos > from;
    }
    case 2: {
        if (tokenStart != 0 && cur.Text[tokenStart - 1] != CR) return false;
        while (!cur.AtEnd() && cur.Peek() != CR)
            ++cur.Pos;
        return true;
    }
    case 10:
        if (cur.AtEnd() || !(IsLetter(cur.Peek()) || cur.Peek() == '_')) return false;
        while (!cur.AtEnd() && (IsLetter(cur.Peek()) || IsDigit(cur.Peek()) || cur.Peek() == '_'))
            ++cur.Pos;
        return true;
    case 11:
        return Number(cur);
    case 12:
        return Quoted(cur, '\'', false, true);
    case 13:
        return Quoted(cur, '"', true, false);
    case 14:
    case 20:
        return Quoted(cur, '\'', true, false);
    case 15: {
        if (!cur.AtEnd() && (cur.Peek() == '+' || cur.Peek() == '-')) ++cur.Pos;
        if (Number(cur)) return true;
        cur.Pos = from;
        return false;
    }
    case 16:
        if (cur.AtEnd() || !IsDigit(cur.Peek())) return false;
        while (!cur.AtEnd() && IsDigit(cur.Peek()))
            ++cur.Pos;
        return true;
    case 17: {
        bool at = false;
        while (!cur.AtEnd()) {
            int c = cur.Peek();
            if (!(IsLetter(c) || IsDigit(c) || c == '~' || c == '.' || c == '@' || c == '-' ||
                  c == '_'))
                break;
            at = at || c == '@';
            ++cur.Pos;
        }
        if (!at) {
            cur.Pos = from;
            return false;
        }
        if (cur.Text[cur.Pos - 1] == '.') --cur.Pos;
        return true;
    }
    case 18: {
        if (cur.AtEnd() || cur.Peek() != '"') return false;
        ++cur.Pos;
        while (!cur.AtEnd() && cur.Peek() != CR) {
            if (cur.Text[cur.Pos++] == '"') break;
        }
        return true;
    }
    case 19: {
        while (!cur.AtEnd() && cur.Peek() != CR) {
            if (cur.Peek() == '-' && cur.Peek(1) == '-') {
                size_t k = cur.Pos;
                while (k < cur.Length && cur.Text[k] == '-')
                    ++k;
                if (k < cur.Length && cur.Text[k] == '>') break;
                cur.Pos = k;
                continue;
            }
            ++cur.Pos;
        }
        return cur.Pos > from;
    }
    default:
        return false;
    }
}

} // namespace quillet
