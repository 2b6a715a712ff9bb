// The CSS tokenizer: a single forward pass, escapes taken inside names and strings.
#include "css/Lexer.h"

namespace quillet::css {

namespace {

bool IsNameStart(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80;
}

bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

class TLexer {
public:
    explicit TLexer(std::string_view text) : T(text) {}

    std::vector<TToken> Run() {
        std::vector<TToken> out;
        out.reserve(T.size() / 4 + 1);
        while (P < T.size()) {
            const std::size_t start = P;
            const TTokenKind kind = Next();
            out.push_back({kind, std::uint32_t(start), std::uint32_t(P - start)});
        }
        return out;
    }

private:
    std::string_view T;
    std::size_t P = 0;

    unsigned char At(std::size_t i) const { return i < T.size() ? (unsigned char)T[i] : 0; }

    // A backslash that starts an escape (not one before a line break or the end).
    bool IsEscape(std::size_t i) const {
        return At(i) == '\\' && i + 1 < T.size() && T[i + 1] != '\n' && T[i + 1] != '\r' &&
               T[i + 1] != '\f';
    }

    bool StartsName(std::size_t i) const {
        if (IsNameStart(At(i)) || IsEscape(i)) return true;
        if (At(i) == '-') return IsNameStart(At(i + 1)) || At(i + 1) == '-' || IsEscape(i + 1);
        return false;
    }

    bool StartsNumber(std::size_t i) const {
        if (At(i) == '+' || At(i) == '-') ++i;
        return IsDigit(At(i)) || (At(i) == '.' && IsDigit(At(i + 1)));
    }

    void SkipName() {
        while (P < T.size()) {
            if (IsEscape(P)) {
                P += 2;
            } else if (IsNameChar(At(P))) {
                ++P;
            } else {
                break;
            }
        }
    }

    TTokenKind Next() {
        const unsigned char c = At(P);
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
            while (P < T.size() && (At(P) == ' ' || At(P) == '\t' || At(P) == '\n' ||
                                    At(P) == '\r' || At(P) == '\f'))
                ++P;
            return TTokenKind::Blank;
        }
        if (c == '/' && At(P + 1) == '*') {
            const std::size_t end = T.find("*/", P + 2);
            if (end == std::string_view::npos) {
                P = T.size();
                return TTokenKind::BadComment;
            }
            P = end + 2;
            return TTokenKind::Comment;
        }
        if (c == '"' || c == '\'') return String(c);
        if (StartsNumber(P)) return Number();
        if (StartsName(P)) {
            const std::size_t start = P;
            SkipName();
            if (At(P) != '(') return TTokenKind::Ident;
            ++P;
            if (P - start == 4 && (T[start] | 0x20) == 'u' && (T[start + 1] | 0x20) == 'r' &&
                (T[start + 2] | 0x20) == 'l')
                return Url();
            return TTokenKind::Function;
        }
        if (c == '@' && StartsName(P + 1)) {
            ++P;
            SkipName();
            return TTokenKind::AtKeyword;
        }
        if (c == '#' && (IsNameChar(At(P + 1)) || IsEscape(P + 1))) {
            ++P;
            SkipName();
            return TTokenKind::Hash;
        }
        ++P;
        return TTokenKind::Delim;
    }

    TTokenKind String(unsigned char quote) {
        ++P;
        while (P < T.size()) {
            const unsigned char c = At(P);
            if (c == quote) {
                ++P;
                return TTokenKind::String;
            }
            if (c == '\n' || c == '\r' || c == '\f')
                return TTokenKind::BadString; // the break is not its
            if (c == '\\') {
                // An escaped line break continues the string.
                P += (At(P + 1) == '\r' && At(P + 2) == '\n') ? 3 : 2;
                continue;
            }
            ++P;
        }
        P = T.size();
        return TTokenKind::BadString;
    }

    TTokenKind Number() {
        if (At(P) == '+' || At(P) == '-') ++P;
        while (IsDigit(At(P)))
            ++P;
        if (At(P) == '.' && IsDigit(At(P + 1))) {
            ++P;
            while (IsDigit(At(P)))
                ++P;
        }
        if ((At(P) == 'e' || At(P) == 'E') &&
            (IsDigit(At(P + 1)) ||
             ((At(P + 1) == '+' || At(P + 1) == '-') && IsDigit(At(P + 2))))) {
            P += 2;
            while (IsDigit(At(P)))
                ++P;
        }
        if (At(P) == '%') {
            ++P;
        } else if (StartsName(P)) {
            SkipName();
        }
        return TTokenKind::Number;
    }

    // After "url(": a quoted argument leaves the call a function; otherwise the whole call is one
    // token.
    TTokenKind Url() {
        std::size_t i = P;
        while (At(i) == ' ' || At(i) == '\t' || At(i) == '\n' || At(i) == '\r')
            ++i;
        if (At(i) == '"' || At(i) == '\'') return TTokenKind::Function;
        while (P < T.size() && At(P) != ')') {
            if (IsEscape(P)) ++P;
            ++P;
        }
        if (P < T.size()) ++P;
        return TTokenKind::Url;
    }
};

} // namespace

std::vector<TToken> Tokenize(std::string_view text) {
    return TLexer(text).Run();
}

} // namespace quillet::css
