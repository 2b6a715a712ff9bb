// The CSS lint: one token pass for balance, then a walk of rules and declarations.
#include "css/Lint.h"

#include <algorithm>
#include <array>
#include <unordered_map>

#include "css/CssData.h"
#include "css/Lexer.h"
#include "resources/Strings.h"

namespace quillet::css {

namespace {

// Properties browsers still take that the data no longer lists.
constexpr std::array KAcceptedProperties{
    std::string_view("color-adjust"), // the old name of print-color-adjust
    std::string_view("speak"),        // aural style sheets, still written by icon fonts
    // Scroll-bar colours of old Internet Explorer, still set by frameworks that dress its bars.
    std::string_view("scrollbar-3dlight-color"),
    std::string_view("scrollbar-arrow-color"),
    std::string_view("scrollbar-base-color"),
    std::string_view("scrollbar-darkshadow-color"),
    std::string_view("scrollbar-face-color"),
    std::string_view("scrollbar-highlight-color"),
    std::string_view("scrollbar-shadow-color"),
    std::string_view("scrollbar-track-color"),
};

// At-rules the data does not list: the page-margin boxes inside @page and the feature blocks
// inside @font-feature-values.
constexpr std::array KAcceptedAtRules{
    std::string_view("top-left-corner"),
    std::string_view("top-left"),
    std::string_view("top-center"),
    std::string_view("top-right"),
    std::string_view("top-right-corner"),
    std::string_view("bottom-left-corner"),
    std::string_view("bottom-left"),
    std::string_view("bottom-center"),
    std::string_view("bottom-right"),
    std::string_view("bottom-right-corner"),
    std::string_view("left-top"),
    std::string_view("left-middle"),
    std::string_view("left-bottom"),
    std::string_view("right-top"),
    std::string_view("right-middle"),
    std::string_view("right-bottom"),
    std::string_view("swash"),
    std::string_view("annotation"),
    std::string_view("ornaments"),
    std::string_view("stylistic"),
    std::string_view("styleset"),
    std::string_view("character-variant"),
};

bool IsPageMarginBox(std::string_view name) {
    return std::find_if(KAcceptedAtRules.begin(), KAcceptedAtRules.end(), [&](std::string_view s) {
               return EqualsNoCase(s, name);
           }) < KAcceptedAtRules.begin() + 16;
}

// At-rules whose block holds rules; the others with a block hold declarations.
constexpr std::array KRuleBlockAtRules{
    std::string_view("media"),
    std::string_view("supports"),
    std::string_view("container"),
    std::string_view("layer"),
    std::string_view("scope"),
    std::string_view("starting-style"),
    std::string_view("document"),
    std::string_view("keyframes"),
    std::string_view("font-feature-values"),
};

template <std::size_t N>
bool InList(const std::array<std::string_view, N>& list, std::string_view name) {
    return std::any_of(list.begin(), list.end(),
                       [&](std::string_view s) { return EqualsNoCase(s, name); });
}

bool IsVendorPrefixed(std::string_view name) {
    return name.size() > 2 && name[0] == '-' && name[1] != '-' &&
           name.find('-', 1) != std::string_view::npos;
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::string Lowered(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return out;
}

// The edit distance with adjacent transpositions, or limit + 1 once it is sure to exceed limit.
std::size_t Distance(std::string_view a, std::string_view b, std::size_t limit) {
    if ((a.size() > b.size() ? a.size() - b.size() : b.size() - a.size()) > limit) return limit + 1;
    std::vector<std::size_t> prev2(b.size() + 1), prev(b.size() + 1), cur(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        prev[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        cur[0] = i;
        std::size_t best = cur[0];
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const bool same = (a[i - 1] | 0x20) == (b[j - 1] | 0x20);
            cur[j] = std::min({prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + (same ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                cur[j] = std::min(cur[j], prev2[j - 2] + 1);
            best = std::min(best, cur[j]);
        }
        if (best > limit) return limit + 1;
        std::swap(prev2, prev);
        std::swap(prev, cur);
    }
    return prev[b.size()];
}

class TLinter {
public:
    explicit TLinter(std::string_view text) : T(text), Tokens(Tokenize(text)) {
        for (std::size_t i = 0; i < Tokens.size(); ++i) {
            const TTokenKind k = Tokens[i].Kind;
            if (k == TTokenKind::Blank || k == TTokenKind::Comment || k == TTokenKind::BadComment)
                continue;
            Sig.push_back(i);
        }
    }

    std::vector<TProblem> Run() {
        CheckBalanceAndTerminators();
        while (Pos < Sig.size()) {
            if (IsDelim(Pos, '}')) {
                ++Pos; // reported by the balance pass
                continue;
            }
            ParseItem(false, nullptr);
        }
        std::stable_sort(Problems.begin(), Problems.end(),
                         [](const TProblem& a, const TProblem& b) { return a.Offset < b.Offset; });
        FillPositions();
        return std::move(Problems);
    }

private:
    std::string_view T;
    std::vector<TToken> Tokens;
    std::vector<std::size_t> Sig; // indexes of the tokens that are not blanks or comments
    std::size_t Pos = 0;          // into Sig
    std::vector<TProblem> Problems;

    const TToken& Tok(std::size_t sig) const { return Tokens[Sig[sig]]; }
    std::string_view Text(const TToken& t) const { return T.substr(t.Offset, t.Length); }
    std::string_view TextAt(std::size_t sig) const { return Text(Tok(sig)); }
    bool IsDelim(std::size_t sig, char c) const {
        return sig < Sig.size() && Tok(sig).Kind == TTokenKind::Delim && T[Tok(sig).Offset] == c;
    }

    void Report(std::size_t offset, std::size_t length, std::string message) {
        Problems.push_back({offset, length, 1, 1, std::move(message)});
    }
    void Report(const TToken& t, std::string message) {
        Report(t.Offset, t.Length, std::move(message));
    }

    // Brackets, parentheses and braces, checked on the raw tokens; a "}" closes what its block
    // left open, and every opener left at the end is reported where it stands.
    void CheckBalanceAndTerminators() {
        struct TOpen {
            char C;
            std::uint32_t Offset;
        };
        std::vector<TOpen> stack;
        auto never = [&](const TOpen& o) {
            Report(o.Offset, 1, FmtLoadStr(SCssNeverClosed, std::string(1, o.C)));
        };
        for (const TToken& t : Tokens) {
            switch (t.Kind) {
            case TTokenKind::BadComment:
                Report(t.Offset, 2, LoadStr(SCssUnterminatedComment));
                continue;
            case TTokenKind::BadString:
                Report(t.Offset, 1, LoadStr(SCssUnterminatedString));
                continue;
            case TTokenKind::Function:
                stack.push_back({'(', t.Offset + t.Length - 1});
                continue;
            case TTokenKind::Url:
                if (T[t.Offset + t.Length - 1] != ')')
                    Report(t.Offset + 3, 1, FmtLoadStr(SCssNeverClosed, "("));
                continue;
            case TTokenKind::Delim:
                break;
            default:
                continue;
            }
            const char c = T[t.Offset];
            if (c == '{' || c == '(' || c == '[') {
                stack.push_back({c, t.Offset});
            } else if (c == '}' || c == ')' || c == ']') {
                const char open = c == '}' ? '{' : c == ')' ? '(' : '[';
                // Look for the opener, but never past an enclosing block's "{".
                std::size_t i = stack.size();
                while (i > 0 && stack[i - 1].C != open && (c == '}' || stack[i - 1].C != '{'))
                    --i;
                if (i == 0 || stack[i - 1].C != open) {
                    Report(t, FmtLoadStr(SCssClosesNothing, std::string(1, c)));
                    continue;
                }
                for (std::size_t j = i; j < stack.size(); ++j)
                    never(stack[j]);
                stack.resize(i - 1);
            }
        }
        for (const TOpen& o : stack)
            never(o);
    }

    // The first of ";", "{" or "}" at the top level from sig on (parentheses and brackets
    // nest, a "}" ends them too); Sig.size() when none.
    std::size_t FindEnd(std::size_t sig, bool stopAtBrace) const {
        int depth = 0, braces = 0;
        for (; sig < Sig.size(); ++sig) {
            const TToken& t = Tok(sig);
            if (t.Kind == TTokenKind::Function) {
                ++depth;
                continue;
            }
            if (t.Kind != TTokenKind::Delim) continue;
            const char c = T[t.Offset];
            if (c == '(' || c == '[')
                ++depth;
            else if ((c == ')' || c == ']') && depth > 0)
                --depth;
            else if (c == '{' && !stopAtBrace)
                ++braces;
            else if (c == '}' && braces > 0)
                --braces;
            else if (c == '}')
                return sig;
            else if (depth == 0 && (c == ';' || (c == '{' && stopAtBrace)))
                return sig;
        }
        return sig;
    }

    // Skips a "{...}" block whose "{" is at sig; returns the index after its "}".
    std::size_t SkipBlock(std::size_t sig) const {
        int depth = 0;
        for (; sig < Sig.size(); ++sig) {
            if (IsDelim(sig, '{'))
                ++depth;
            else if (IsDelim(sig, '}') && --depth == 0)
                return sig + 1;
        }
        return sig;
    }

    // One rule or at-rule at Pos. Inside a declaration block (declarations) a nested rule is
    // told from a declaration by what ends it.
    void ParseItem(bool inDeclarations, const TAtRuleInfo* owner) {
        if (Tok(Pos).Kind == TTokenKind::AtKeyword) {
            ParseAtRule();
            return;
        }
        if (inDeclarations) {
            const std::size_t end = FindEnd(Pos, true);
            const bool custom = Tok(Pos).Kind == TTokenKind::Ident && TextAt(Pos).starts_with("--");
            if (end >= Sig.size() || !IsDelim(end, '{') || custom) {
                ParseDeclaration(custom ? FindEnd(Pos, false) : end, owner);
                return;
            }
        }
        // A qualified rule: its prelude, then its block of declarations.
        const std::size_t start = Pos;
        const std::size_t end = FindEnd(Pos, true);
        Pos = end;
        if (end >= Sig.size() || !IsDelim(end, '{')) {
            if (IsDelim(end, ';')) ++Pos;
            return;
        }
        ParseBlock(start, true, nullptr);
    }

    // The block whose "{" is at Pos; the rule started at sig `start`.
    void ParseBlock(std::size_t start, bool declarations, const TAtRuleInfo* owner) {
        // Blocks nest by recursion: beyond any depth a real sheet has, the rest of a block is
        // stepped over unread, so that a text of a million "{" cannot exhaust the stack.
        if (SeenStack.size() >= KMaxNesting) {
            Pos = SkipBlock(Pos);
            return;
        }
        const std::size_t open = Pos++;
        // Only blanks between the braces: a comment inside is taken as a placeholder.
        if (declarations && IsDelim(Pos, '}') &&
            (Sig[open] + 1 == Sig[Pos] ||
             (Sig[open] + 2 == Sig[Pos] && Tokens[Sig[open] + 1].Kind == TTokenKind::Blank)))
            Report(Tok(start), LoadStr(SCssEmptyRule));
        std::unordered_map<std::string, std::size_t>
            seen; // "name:value" -> line offset of the first
        SeenStack.push_back(&seen);
        while (Pos < Sig.size() && !IsDelim(Pos, '}')) {
            if (IsDelim(Pos, ';')) {
                ++Pos;
                continue;
            }
            ParseItem(declarations, owner);
        }
        SeenStack.pop_back();
        if (Pos < Sig.size()) ++Pos;
    }

    std::vector<std::unordered_map<std::string, std::size_t>*> SeenStack;
    static constexpr std::size_t KMaxNesting = 200;

    void ParseAtRule() {
        const TToken& at = Tok(Pos);
        const std::string_view name = Text(at).substr(1);
        const TAtRuleInfo* info = FindAtRule(name);
        if (!info && !IsVendorPrefixed(name) && !InList(KAcceptedAtRules, name)) {
            std::vector<std::string_view> names;
            for (const TAtRuleInfo& r : AtRules())
                names.push_back(r.Name);
            const std::string_view near = NearestName(name, names);
            Report(at, near.empty() ? FmtLoadStr(SCssUnknownAtRule, name)
                                    : FmtLoadStr(SCssUnknownAtRuleMeant, name, near));
        }
        const std::size_t start = Pos;
        Pos = FindEnd(Pos + 1, true);
        if (Pos >= Sig.size()) return;
        if (IsDelim(Pos, ';')) {
            ++Pos;
            return;
        }
        if (!IsDelim(Pos, '{')) return; // a "}" of the enclosing block
        std::string_view base = name;
        if (IsVendorPrefixed(base)) base = base.substr(base.find('-', 1) + 1);
        const bool rules = InList(KRuleBlockAtRules, base);
        if (EqualsNoCase(base, "keyframes")) {
            // Keyframe selectors with blocks of declarations.
            ParseBlock(start, false, nullptr);
            return;
        }
        const TAtRuleInfo* owner = info ? info : FindAtRule(base);
        // The blocks of an unknown at-rule and the feature blocks (names the author chooses)
        // hold nothing this lint can judge.
        if (!owner && !IsPageMarginBox(base)) {
            Pos = SkipBlock(Pos);
            return;
        }
        ParseBlock(start, !rules, owner);
    }

    void ParseDeclaration(std::size_t end, const TAtRuleInfo* owner) {
        const std::size_t first = Pos;
        Pos = end;
        if (IsDelim(end, ';')) ++Pos;
        const TToken& nameTok = Tok(first);
        if (nameTok.Kind != TTokenKind::Ident || first + 1 >= end || !IsDelim(first + 1, ':'))
            return; // not a declaration this lint can read (a hack or stray text): left alone
        const std::string_view name = Text(nameTok);
        const std::size_t valueStart = first + 2;
        RememberValue(name, valueStart, end, nameTok);
        if (name.starts_with("--")) return;
        const TPropertyInfo* prop = FindProperty(name);
        // The underscore hack hides a declaration from some browsers on purpose.
        if (!prop && !IsVendorPrefixed(name) && !InList(KAcceptedProperties, name) &&
            !name.starts_with("_") && !(owner && TakesDescriptor(*owner, name)))
            Report(nameTok, UnknownProperty(name));
        CheckValue(prop, valueStart, end);
    }

    std::string UnknownProperty(std::string_view name) {
        static const std::vector<std::string_view> names = [] {
            std::vector<std::string_view> out;
            for (const TPropertyInfo& p : Properties())
                if (!p.Name.starts_with("-")) out.push_back(p.Name);
            return out;
        }();
        // A sheet that repeats one unknown name pays for its search once.
        auto [it, added] = Nearest.try_emplace(std::string(name));
        if (added) it->second = NearestName(name, names);
        const std::string_view near = it->second;
        return near.empty() ? FmtLoadStr(SCssUnknownProperty, name)
                            : FmtLoadStr(SCssUnknownPropertyMeant, name, near);
    }
    std::unordered_map<std::string, std::string_view> Nearest;

    // The same name with the same value twice in one block.
    void RememberValue(std::string_view name, std::size_t from, std::size_t end,
                       const TToken& nameTok) {
        if (SeenStack.empty()) return;
        std::string key = Lowered(name);
        key += ':';
        for (std::size_t i = from; i < end; ++i) {
            if (i > from && Sig[i - 1] + 1 != Sig[i]) key += ' ';
            key += TextAt(i);
        }
        auto [it, added] = SeenStack.back()->emplace(std::move(key), nameTok.Offset);
        if (added) return;
        Report(nameTok, FmtLoadStr(SCssRepeated, name, LineOf(it->second)));
    }

    void CheckValue(const TPropertyInfo* prop, std::size_t from, std::size_t end) {
        // A substitution can stand for anything: such a value is not judged at all.
        for (std::size_t i = from; i < end; ++i) {
            if (Tok(i).Kind != TTokenKind::Function) continue;
            const std::string_view fn = TextAt(i);
            if (EqualsNoCase(fn, "var(") || EqualsNoCase(fn, "env(") || EqualsNoCase(fn, "attr("))
                return;
        }
        int depth = 0;
        for (std::size_t i = from; i < end; ++i) {
            const TToken& t = Tok(i);
            const std::string_view text = Text(t);
            if (t.Kind == TTokenKind::Function) {
                ++depth;
            } else if (t.Kind == TTokenKind::Delim && (text[0] == '(' || text[0] == '[')) {
                ++depth;
            } else if (t.Kind == TTokenKind::Delim && (text[0] == ')' || text[0] == ']')) {
                depth = std::max(0, depth - 1);
            } else if (t.Kind == TTokenKind::Hash) {
                CheckHash(t);
            } else if (t.Kind == TTokenKind::Ident && depth == 0 && prop && prop->Judged &&
                       !(i > from && IsDelim(i - 1, '!'))) {
                CheckKeyword(*prop, t);
            }
        }
    }

    void CheckHash(const TToken& t) {
        const std::string_view digits = Text(t).substr(1);
        const bool hex = std::all_of(digits.begin(), digits.end(), IsHexDigit);
        const std::size_t n = digits.size();
        if (!hex || !(n == 3 || n == 4 || n == 6 || n == 8))
            Report(t, FmtLoadStr(SCssBadHexColor, Text(t)));
    }

    void CheckKeyword(const TPropertyInfo& prop, const TToken& t) {
        const std::string_view word = Text(t);
        if (IsGlobalKeyword(word) || TakesKeyword(prop, word) || IsVendorPrefixed(word)) return;
        if (word.find('\\') != std::string_view::npos) return; // an escaped hack, not a keyword
        if (prop.TakesColor && (FindNamedColor(word) || IsColorKeyword(word))) return;
        std::string_view near = NearestName(word, prop.Keywords);
        if (near.empty() && prop.TakesColor) {
            std::vector<std::string_view> colours;
            for (const TNamedColor& c : NamedColors())
                colours.push_back(c.Name);
            near = NearestName(word, colours);
        }
        Report(t, near.empty() ? FmtLoadStr(SCssBadKeyword, word, prop.Name)
                               : FmtLoadStr(SCssBadKeywordMeant, word, prop.Name, near));
    }

    std::vector<std::size_t> LineStarts;

    int LineOf(std::size_t offset) {
        if (LineStarts.empty()) {
            LineStarts.push_back(0);
            for (std::size_t i = 0; i < T.size(); ++i)
                if (T[i] == '\n' || (T[i] == '\r' && (i + 1 >= T.size() || T[i + 1] != '\n')))
                    LineStarts.push_back(i + 1);
        }
        return int(std::upper_bound(LineStarts.begin(), LineStarts.end(), offset) -
                   LineStarts.begin());
    }

    // The problems come sorted by offset: each column is counted on from the one before on the
    // same line, so a one-line sheet with many problems is read once, not once per problem.
    void FillPositions() {
        std::size_t from = 0, col = 1;
        int line = 0;
        for (TProblem& p : Problems) {
            p.Line = LineOf(p.Offset);
            if (p.Line != line || p.Offset < from) {
                line = p.Line;
                from = LineStarts[p.Line - 1];
                col = 1;
            }
            for (; from < p.Offset; ++from)
                if ((static_cast<unsigned char>(T[from]) & 0xC0) != 0x80) ++col;
            p.Column = int(col);
        }
    }
};

} // namespace

std::string_view NearestName(std::string_view word, const std::vector<std::string_view>& names) {
    const std::size_t limit = word.size() <= 4 ? 1 : 2;
    std::string_view best;
    std::size_t bestDistance = limit + 1;
    for (std::string_view name : names) {
        const std::size_t d = Distance(word, name, limit);
        if (d < bestDistance) {
            bestDistance = d;
            best = name;
        }
    }
    return best;
}

std::vector<TProblem> Lint(std::string_view text) {
    return TLinter(text).Run();
}

} // namespace quillet::css
