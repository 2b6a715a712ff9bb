// Random patterns and texts: the engine against a small recursive model of the same dialect.
// QUILLET_RE_CASES sets the cases per seed (default 2,000) for long runs.
#include "highlight/REParser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

using namespace quillet;

namespace {

enum TKind { kChar, kAny, kSet, kBol, kEol, kQuote, kGroup, kAlt, kSeq, kRepeat };

struct TNode {
    TKind Kind = kSeq;
    std::string Text;           // kChar: the byte; kQuote: the literal
    std::array<bool, 256> In{}; // kSet members, negation applied
    int Group = 0;              // kGroup
    char Op = 0;                // kRepeat: * + ? {
    int Min = 0, Max = -1;      // kRepeat: -1 is unbounded
    std::vector<TNode> Kids;    // kAlt, kSeq; kGroup and kRepeat hold one
};

// Generates a pattern tree and its text together; groups are numbered in text order.
class TGen {
public:
    explicit TGen(std::mt19937& rng) : R(rng) {}
    int Groups = 0;

    TNode Top(std::string& text) {
        for (;;) {
            Groups = 0;
            std::string t;
            TNode n = Alt(3, true, t);
            if (!t.empty()) {
                text = t;
                return n;
            }
        }
    }

private:
    std::mt19937& R;
    int Pick(int n) { return int(R() % unsigned(n)); }

    // At the top an empty alternative between two others would spell "||", the either-order
    // pair, so the top level has none.
    TNode Alt(int depth, bool top, std::string& text) {
        TNode n;
        n.Kind = kAlt;
        const int count = Pick(4) == 0 ? 2 + Pick(2) : 1;
        for (int i = 0; i < count; ++i) {
            if (i) text += '|';
            std::string part;
            TNode seq = Seq(depth, part);
            if (top && count > 1 && part.empty()) {
                part = "a";
                seq = Char('a');
            }
            text += part;
            n.Kids.push_back(std::move(seq));
        }
        return n;
    }

    TNode Seq(int depth, std::string& text) {
        TNode n;
        n.Kind = kSeq;
        for (int i = Pick(4); i > 0; --i)
            n.Kids.push_back(Piece(depth, text));
        return n;
    }

    static TNode Char(char c) {
        TNode n;
        n.Kind = kChar;
        n.Text = std::string(1, c);
        return n;
    }

    TNode Piece(int depth, std::string& text) {
        TNode atom = Atom(depth, text);
        if (Pick(3) != 0) return atom;
        TNode n;
        n.Kind = kRepeat;
        switch (Pick(7)) {
        case 0:
            n.Op = '*', n.Min = 0, n.Max = -1, text += '*';
            break;
        case 1:
            n.Op = '+', n.Min = 1, n.Max = -1, text += '+';
            break;
        case 2:
            n.Op = '?', n.Min = 0, n.Max = 1, text += '?';
            break;
        case 3:
            n.Op = '{', n.Min = n.Max = Pick(3), text += "{" + std::to_string(n.Min) + "}";
            break;
        case 4:
            n.Op = '{', n.Min = Pick(3), n.Max = -1, text += "{" + std::to_string(n.Min) + ",}";
            break;
        case 5:
            n.Op = '{', n.Min = 0, n.Max = 1 + Pick(3), text += "{," + std::to_string(n.Max) + "}";
            break;
        default:
            n.Op = '{', n.Min = Pick(3), n.Max = n.Min + Pick(3);
            text += "{" + std::to_string(n.Min) + "," + std::to_string(n.Max) + "}";
            break;
        }
        n.Kids.push_back(std::move(atom));
        return n;
    }

    TNode Atom(int depth, std::string& text) {
        const int kind = Pick(depth > 0 && Groups < TREParser::MaxGroups ? 12 : 10);
        TNode n;
        switch (kind) {
        case 0:
        case 1:
        case 2: {
            const char c = "abc"[Pick(3)];
            text += c;
            return Char(c);
        }
        case 3:
            text += "\\n";
            return Char('\r');
        case 4:
            n.Kind = kAny;
            text += '.';
            return n;
        case 5:
            n.Kind = kBol;
            text += '^';
            return n;
        case 6:
            n.Kind = kEol;
            text += '$';
            return n;
        case 7: {
            n.Kind = kQuote;
            static const char* const quotes[] = {"", "a", "ab", "ba", "b\r"};
            n.Text = quotes[Pick(5)];
            text += '"' + n.Text + '"'; // a quoted CR stands for itself
            return n;
        }
        case 8: {
            // A class: \w letters, digits and "_"; \s blanks and line ends; capitals negate.
            n.Kind = kSet;
            const char cls = "wsWS"[Pick(4)];
            text += std::string("\\") + cls;
            for (int c = 0; c < 256; ++c) {
                const bool w = std::isalnum(c) || c == '_';
                const bool sp = c == 13 || c == ' ' || c == 10 || c == 12 || c == 9 || c == 8;
                const bool in = (cls == 'w' || cls == 'W') ? w : sp;
                n.In[size_t(c)] = in != (cls == 'W' || cls == 'S');
            }
            return n;
        }
        case 9: {
            n.Kind = kSet;
            const bool negate = Pick(3) == 0;
            text += negate ? "[^" : "[";
            std::array<bool, 256> members{};
            if (Pick(4) == 0) { // first in the set, "]" is a member
                text += ']';
                members[']'] = true;
            }
            if (Pick(3) == 0) {
                text += "a-b";
                members['a'] = members['b'] = true;
            }
            for (char c : {'a', 'b', 'c', '\r'})
                if (Pick(2) == 0 || (c == 'c' && !members['a'] && !members['b'])) {
                    text += c == '\r' ? std::string("\\n") : std::string(1, c);
                    members[uint8_t(c)] = true;
                }
            text += ']';
            for (int c = 0; c < 256; ++c)
                n.In[size_t(c)] = members[size_t(c)] != negate;
            return n;
        }
        default: {
            n.Kind = kGroup;
            n.Group = ++Groups;
            text += '(';
            n.Kids.push_back(Alt(depth - 1, false, text));
            text += ')';
            return n;
        }
        }
    }
};

// Backtracking by continuations: alternatives left to right, repeats greedy, and an iteration
// of a loop that consumed nothing fails. Counted repeats of a compound atom are copies of it.
class TModel {
public:
    explicit TModel(const std::string& text) : T(text), N(int64_t(text.size())) {}
    struct TTooLong {};
    std::array<int64_t, 10> S{}, E{};
    int64_t MatchEnd = -1;

    bool TryAt(const TNode& n, int64_t p) {
        S.fill(-1);
        E.fill(-1);
        Calls = 0;
        return M(n, p, [&](int64_t q) {
            MatchEnd = q;
            return true;
        });
    }

private:
    using K = std::function<bool(int64_t)>;
    const std::string& T;
    int64_t N;
    int64_t Calls = 0;

    bool One(const TNode& n, int64_t p) const {
        if (p >= N) return false;
        const uint8_t c = uint8_t(T[size_t(p)]);
        if (n.Kind == kAny) return c != '\r';
        if (n.Kind == kSet) return n.In[c];
        return c == uint8_t(n.Text[0]);
    }
    static bool Simple(const TNode& n) {
        return n.Kind == kAny || n.Kind == kSet || n.Kind == kChar ||
               (n.Kind == kQuote && n.Text.size() == 1);
    }

    bool SeqFrom(const TNode& n, size_t i, int64_t p, const K& k) {
        if (i == n.Kids.size()) return k(p);
        return M(n.Kids[i], p, [&](int64_t q) { return SeqFrom(n, i + 1, q, k); });
    }
    bool Star(const TNode& x, int64_t p, const K& k) {
        return M(x, p, [&](int64_t q) { return q != p && Star(x, q, k); }) || k(p);
    }
    bool After(const TNode& x, int64_t s, int64_t q, const K& k) {
        return (q != s && M(x, q, [&](int64_t q2) { return After(x, q, q2, k); })) || k(q);
    }
    bool Copies(const TNode& x, int count, int64_t p, const K& then) {
        if (count == 0) return then(p);
        return M(x, p, [&](int64_t q) { return Copies(x, count - 1, q, then); });
    }
    bool Optional(const TNode& x, int count, int64_t p, const K& k) {
        return M(x, p,
                 [&](int64_t q) { return count > 1 ? Optional(x, count - 1, q, k) : k(q); }) ||
               k(p);
    }

    bool M(const TNode& n, int64_t p, const K& k) {
        if (++Calls > 200000) throw TTooLong{};
        switch (n.Kind) {
        case kChar:
        case kAny:
        case kSet:
            return One(n, p) && k(p + 1);
        case kBol:
            return (p == 0 || T[size_t(p - 1)] == '\r') && k(p);
        case kEol:
            return (p == N || T[size_t(p)] == '\r') && k(p);
        case kQuote:
            return T.compare(size_t(p), n.Text.size(), n.Text) == 0 &&
                   int64_t(n.Text.size()) <= N - p && k(p + int64_t(n.Text.size()));
        case kSeq:
            return SeqFrom(n, 0, p, k);
        case kAlt:
            for (const TNode& a : n.Kids)
                if (M(a, p, k)) return true;
            return false;
        case kGroup: {
            const int g = n.Group;
            const int64_t oldS = S[size_t(g)];
            S[size_t(g)] = p;
            const bool ok = M(n.Kids[0], p, [&](int64_t q) {
                const int64_t oldE = E[size_t(g)];
                E[size_t(g)] = q;
                if (k(q)) return true;
                E[size_t(g)] = oldE;
                return false;
            });
            if (!ok) S[size_t(g)] = oldS;
            return ok;
        }
        case kRepeat:
            break;
        }
        const TNode& x = n.Kids[0];
        if (Simple(x) && n.Op != '?') {
            int64_t run = 0;
            while ((n.Max < 0 || run < n.Max) && One(x, p + run))
                ++run;
            for (int64_t c = run; c >= n.Min; --c)
                if (k(p + c)) return true;
            return false;
        }
        switch (n.Op) {
        case '?':
            return M(x, p, k) || k(p);
        case '*':
            return Star(x, p, k);
        case '+':
            return M(x, p, [&](int64_t q) { return After(x, p, q, k); });
        default:
            return Copies(x, n.Min, p, [&](int64_t q) {
                if (n.Max < 0) return Star(x, q, k);
                return n.Max > n.Min ? Optional(x, n.Max - n.Min, q, k) : k(q);
            });
        }
    }
};

// The text in runs of a few bytes, so the engine crosses run boundaries as it does in the editor.
class TChunkSource : public IRECharSource {
public:
    TChunkSource(const std::string& text, int chunk) : FText(text), FChunk(chunk) {}
    int64_t Size() const override { return int64_t(FText.size()); }
    std::string_view RunAt(int64_t pos, int64_t& runStart) const override {
        runStart = pos - pos % FChunk;
        return std::string_view(FText).substr(size_t(runStart), size_t(FChunk));
    }

private:
    const std::string& FText;
    int64_t FChunk;
};

TEST(REDifferential, EngineAgreesWithTheModel) {
    const char* env = std::getenv("QUILLET_RE_CASES");
    const int cases = env ? std::atoi(env) : 2000;
    int compared = 0, skipped = 0;
    for (unsigned seed : {1u, 2u, 3u}) {
        std::mt19937 rng(seed);
        TGen gen(rng);
        for (int i = 0; i < cases; ++i) {
            std::string pattern;
            const TNode tree = gen.Top(pattern);
            // Now and then a longer text, where the engine's memory of failed states is
            // shared by many start positions and runs of a repeat are reused.
            std::string text;
            for (int len = int(rng() % 20 == 0 ? rng() % 600 : rng() % 11); len > 0; --len)
                text += "aabbc\r]"[rng() % 7];
            const int64_t n = int64_t(text.size());
            const bool forward = rng() % 3 != 0;
            const int64_t start = int64_t(rng() % unsigned(n + 1));

            TREParser re;
            ASSERT_TRUE(re.SetPattern(pattern)) << pattern << ": " << re.ErrorText();
            TChunkSource source(text, 1 + int(rng() % 4));
            bool found = false;
            try {
                found = re.Search(source, start, forward);
            } catch (const ERegexError&) {
                ++skipped; // too complex for the engine's budget
                continue;
            }
            TModel model(text);
            bool want = false;
            int64_t at = -1;
            try {
                if (forward) {
                    for (int64_t p = start; p <= n && !want; ++p)
                        if (model.TryAt(tree, p)) want = true, at = p;
                } else {
                    int64_t p = start == n && n > 0 ? start - 1 : start;
                    for (; p >= 0 && !want; --p)
                        if (model.TryAt(tree, p)) want = true, at = p;
                }
            } catch (const TModel::TTooLong&) {
                ++skipped;
                continue;
            }
            ++compared;
            const std::string what = "seed " + std::to_string(seed) + " case " + std::to_string(i) +
                                     ": /" + pattern + "/ on \"" + text + "\" from " +
                                     std::to_string(start) + (forward ? " forward" : " backward");
            ASSERT_EQ(found, want) << what;
            if (!found) continue;
            ASSERT_EQ(re.MatchStart(), at) << what;
            ASSERT_EQ(re.MatchEnd(), model.MatchEnd) << what;
            for (int g = 1; g <= gen.Groups; ++g) {
                const bool took = model.E[size_t(g)] >= 0;
                ASSERT_EQ(re.GroupStart(g), took ? model.S[size_t(g)] : -1)
                    << what << " group " << g;
                ASSERT_EQ(re.GroupEnd(g), took ? model.E[size_t(g)] : -1) << what << " group " << g;
            }
        }
    }
    EXPECT_LT(skipped, compared / 50) << "too many cases skipped";
}

} // namespace
