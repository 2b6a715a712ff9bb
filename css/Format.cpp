// Style sheet layout: a small tokenizer of its own, statements and blocks found on the fly,
// and one printer that writes either the indented or the minified form.
#include "css/Format.h"

#include <algorithm>
#include <cstdint>

namespace quillet::css {

namespace {

enum TTokKind : uint8_t { tkWord, tkString, tkBadString, tkComment, tkPunct, tkUrl };

struct TTok {
    int Start = 0;
    int Len = 0;
    TTokKind Kind = tkWord;
    char P = 0;           // the character of a punctuation token
    bool Space = false;   // blanks before it
    bool Newline = false; // a line break among those blanks
    bool Open = false;    // runs to the end of the text: a line break after it would join it
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}
bool IsBreak(char c) {
    return c == '\r' || c == '\n' || c == '\f';
}
bool IsPunct(char c) {
    switch (c) {
    case '{':
    case '}':
    case ';':
    case ':':
    case ',':
    case '(':
    case ')':
    case '[':
    case ']':
    case '>':
    case '~':
    case '+':
    case '!':
        return true;
    default:
        return false;
    }
}

bool IsUrlWord(std::string_view w) {
    return w.size() == 3 && (w[0] | 0x20) == 'u' && (w[1] | 0x20) == 'r' && (w[2] | 0x20) == 'l';
}

std::vector<TTok> Lex(std::string_view s) {
    std::vector<TTok> toks;
    toks.reserve(s.size() / 3 + 1);
    const size_t n = s.size();
    size_t i = 0;
    bool space = false, newline = false;
    while (i < n) {
        char c = s[i];
        if (IsBlank(c)) {
            space = true;
            newline = newline || IsBreak(c);
            ++i;
            continue;
        }
        TTok t;
        t.Start = int(i);
        t.Space = space;
        t.Newline = newline;
        space = newline = false;
        if (c == '/' && i + 1 < n && s[i + 1] == '*') {
            size_t end = s.find("*/", i + 2);
            i = end == std::string_view::npos ? n : end + 2;
            t.Open = end == std::string_view::npos;
            t.Kind = tkComment;
        } else if (c == '"' || c == '\'') {
            t.Kind = tkBadString;
            for (++i; i < n; ++i) {
                if (s[i] == '\\' && i + 1 == n) t.Open = true;
                if (s[i] == '\\' && i + 1 < n) {
                    ++i;
                } else if (s[i] == c) {
                    ++i;
                    t.Kind = tkString;
                    break;
                } else if (IsBreak(s[i])) {
                    break; // the line break ends the string, and must stay after it
                }
            }
            if (i >= n && t.Kind == tkBadString) t.Kind = tkString; // the end of the text is safe
        } else if (IsPunct(c)) {
            t.Kind = tkPunct;
            t.P = c;
            ++i;
        } else {
            while (i < n) {
                char d = s[i];
                if (d == '\\' && i + 1 < n) {
                    i += 2;
                    continue;
                }
                if (d == '\\') t.Open = true;
                if (IsBlank(d) || IsPunct(d) || d == '"' || d == '\'' ||
                    (d == '/' && i + 1 < n && s[i + 1] == '*'))
                    break;
                ++i;
            }
            // url( with an unquoted address is one token up to its ')': ';' and blanks in it
            // belong to the address.
            if (IsUrlWord(s.substr(size_t(t.Start), i - size_t(t.Start))) && i < n && s[i] == '(') {
                size_t k = i + 1;
                while (k < n && IsBlank(s[k]))
                    ++k;
                if (k >= n || (s[k] != '"' && s[k] != '\'')) {
                    for (k = i + 1; k < n && s[k] != ')'; ++k)
                        if (s[k] == '\\' && k + 1 < n) ++k;
                    t.Open = k >= n;
                    i = k < n ? k + 1 : n;
                    t.Kind = tkUrl;
                }
            }
            if (t.Kind != tkUrl) t.Kind = tkWord;
            if (i == size_t(t.Start)) ++i; // a lone backslash at the very end
        }
        t.Len = int(i - size_t(t.Start));
        toks.push_back(t);
    }
    return toks;
}

enum TItemKind { ikNone, ikBlock, ikStatement, ikComment };

class TPrinter {
public:
    TPrinter(std::string_view text, const TFormatOptions& options, bool minify)
        : FText(text), FOptions(options), FMinify(minify), FToks(Lex(text)) {
        FResult.Text.reserve(text.size() + text.size() / 4);
        FLevels.assign(size_t(std::max(0, options.BaseDepth)) + 1, TLevel{});
    }

    TFormatResult Run() {
        const size_t n = FToks.size();
        size_t i = 0;
        while (i < n) {
            const TTok& t = FToks[i];
            if (t.Kind == tkComment) {
                Comment(i);
                ++i;
                continue;
            }
            if (t.Kind == tkPunct && t.P == ';') {
                Append(";"); // an empty statement stays on the line before it
                ++i;
                continue;
            }
            if (t.Kind == tkPunct && t.P == '}') {
                Close(i);
                ++i;
                continue;
            }
            // A statement or a block's head: everything up to ';', '{' or '}'.
            size_t end = i;
            while (end < n &&
                   !(FToks[end].Kind == tkPunct &&
                     (FToks[end].P == ';' || FToks[end].P == '{' || FToks[end].P == '}')))
                ++end;
            if (end < n && FToks[end].P == '{') {
                Open(i, end++);
            } else {
                NewLine(ikStatement, false);
                Tokens(i, end, false);
                if (end < n && FToks[end].P == ';') Token(end++);
                Level().Prev = ikStatement;
                Level().Items++;
            }
            i = end;
        }
        if (!FMinify && FOptions.FinalNewline && !FResult.Text.empty() && !OpenAtEnd())
            Append("\n");
        return std::move(FResult);
    }

private:
    struct TLevel {
        TItemKind Prev = ikNone;
        int Items = 0;
    };

    bool OpenAtEnd() const { return !FToks.empty() && FToks.back().Open; }

    TLevel& Level() { return FLevels.back(); }
    int Depth() const { return int(FLevels.size()) - 1; }

    void Append(std::string_view s) {
        if (FNeedBreak) {
            FNeedBreak = false;
            if (s.empty() || s[0] != '\n') FResult.Text += '\n';
        }
        FResult.Text += s;
    }
    void Token(size_t k) {
        const TTok& t = FToks[k];
        if (FNeedBreak) Append("");
        FResult.Places.push_back({t.Start, t.Len, int(FResult.Text.size())});
        FResult.Text.append(FText.substr(size_t(t.Start), size_t(t.Len)));
        if (t.Kind == tkBadString) FNeedBreak = true;
    }
    void Indent(int depth) {
        if (FOptions.UseTabs)
            FResult.Text.append(size_t(std::max(0, depth)), '\t');
        else
            FResult.Text.append(size_t(std::max(0, depth * FOptions.IndentStep)), ' ');
    }

    // Starts the line of an item of the current level, with a blank line between rules.
    void NewLine(TItemKind kind, bool blockAhead) {
        if (FMinify) {
            if (kind == ikComment && !FResult.Text.empty()) Append("\n");
            return;
        }
        const TItemKind prev = Level().Prev;
        bool blank = prev == ikBlock || (prev == ikStatement &&
                                         (kind == ikBlock || (kind == ikComment && blockAhead)));
        if (!FResult.Text.empty()) Append(blank ? "\n\n" : "\n");
        FNeedBreak = false;
        Indent(Depth());
    }

    // A comment where an item may start: on a line of its own when it stood on one, else at
    // the end of the line before.
    void Comment(size_t k) {
        const TTok& t = FToks[k];
        if (t.Newline || FResult.Text.empty() || k == 0) {
            NewLine(ikComment, !FMinify && BlockAhead(k + 1));
            Token(k);
            Level().Prev = ikComment;
        } else {
            if (!FMinify) Append(" ");
            Token(k);
        }
        Level().Items++;
    }

    // Whether the next item after the comments from k on is a block.
    bool BlockAhead(size_t k) {
        if (k > FAheadFrom && k <= FAheadTo) return FAheadResult;
        FAheadFrom = k;
        size_t j = k;
        while (j < FToks.size() && FToks[j].Kind == tkComment)
            ++j;
        FAheadTo = j;
        while (j < FToks.size() && !(FToks[j].Kind == tkPunct &&
                                     (FToks[j].P == ';' || FToks[j].P == '{' || FToks[j].P == '}')))
            ++j;
        FAheadResult = j < FToks.size() && FToks[j].P == '{' && j > FAheadTo;
        return FAheadResult;
    }

    void Open(size_t from, size_t brace) {
        NewLine(ikBlock, true);
        Tokens(from, brace, true);
        if (!FMinify && brace > from) Append(" ");
        Token(brace);
        Level().Items++;
        FLevels.push_back(TLevel{});
    }

    void Close(size_t k) {
        if (Depth() == 0) {
            // A brace that closes nothing stands on a line of its own.
            NewLine(ikStatement, false);
            Token(k);
            Level().Prev = ikStatement;
            Level().Items++;
            return;
        }
        const bool empty = Level().Items == 0;
        FLevels.pop_back();
        if (!FMinify && !empty) {
            Append("\n");
            Indent(Depth());
        }
        Token(k);
        Level().Prev = ikBlock;
    }

    // The tokens of one statement or block head, with the blanks that matter between them.
    void Tokens(size_t from, size_t to, bool head) {
        if (from >= to) return;
        const bool atRule = FToks[from].Kind == tkWord && FText[size_t(FToks[from].Start)] == '@';
        const bool selector = head && !atRule;
        size_t colon = to; // the colon after a declaration's property name
        if (!head && !atRule)
            for (size_t k = from; k < to; ++k)
                if (FToks[k].Kind == tkPunct && FToks[k].P == ':') {
                    colon = k;
                    break;
                }
        int depth = 0;
        for (size_t k = from; k < to; ++k) {
            const TTok& b = FToks[k];
            if (k > from) {
                const TTok& a = FToks[k - 1];
                const bool combinator =
                    selector && depth == 0 && (IsCombinator(a) || IsCombinator(b));
                bool loose = false, wanted = false;
                if (a.Kind != tkComment && b.Kind != tkComment) {
                    loose = a.P == ',' || b.P == ',' || a.P == '(' || b.P == ')' || a.P == '[' ||
                            b.P == ']' || b.P == '!' || combinator || k == colon || k == colon + 1;
                    wanted = a.P == ',' || b.P == '!' || combinator || k == colon + 1;
                }
                const bool space = b.Space && !loose;
                if (FMinify) {
                    if (space) Append(" ");
                } else if (selector && depth == 0 && a.P == ',') {
                    Append("\n");
                    Indent(Depth());
                } else if (space || wanted) {
                    Append(" ");
                }
            }
            if (b.Kind == tkPunct) {
                if (b.P == '(' || b.P == '[') ++depth;
                if ((b.P == ')' || b.P == ']') && depth > 0) --depth;
            }
            Token(k);
        }
    }

    static bool IsCombinator(const TTok& t) {
        return t.Kind == tkPunct && (t.P == '>' || t.P == '~' || t.P == '+');
    }

    std::string_view FText;
    TFormatOptions FOptions;
    bool FMinify;
    std::vector<TTok> FToks;
    std::vector<TLevel> FLevels;
    TFormatResult FResult;
    bool FNeedBreak = false;
    size_t FAheadFrom = 0, FAheadTo = 0;
    bool FAheadResult = false;
};

} // namespace

int TFormatResult::MapOffset(int sourceOffset) const {
    auto it = std::upper_bound(Places.begin(), Places.end(), sourceOffset,
                               [](int offset, const TTokenPlace& p) { return offset < p.Source; });
    if (it != Places.begin()) {
        const TTokenPlace& p = *(it - 1);
        if (sourceOffset <= p.Source + p.Length) return p.Output + (sourceOffset - p.Source);
    }
    return it == Places.end() ? int(Text.size()) : it->Output;
}

TFormatResult Format(std::string_view text, const TFormatOptions& options) {
    return TPrinter(text, options, false).Run();
}

TFormatResult Minify(std::string_view text) {
    TFormatOptions options;
    options.FinalNewline = false;
    return TPrinter(text, options, true).Run();
}

int DepthAt(std::string_view text, int offset) {
    int depth = 0;
    const auto toks = Lex(text.substr(0, size_t(std::clamp(offset, 0, int(text.size())))));
    for (const TTok& t : toks) {
        if (t.Kind != tkPunct) continue;
        if (t.P == '{') ++depth;
        if (t.P == '}' && depth > 0) --depth;
    }
    return depth;
}

} // namespace quillet::css
