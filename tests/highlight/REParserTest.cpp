#include "highlight/REParser.h"
#include "resources/Strings.h"

#include <gtest/gtest.h>

#include <random>

using namespace quillet;

namespace {

struct TMatchCase {
    const char* Pattern;
    const char* Text;
    int Start, End; // -1 -1: no match
};

// Forward search from 0; the first alternative that leads to a match wins.
const TMatchCase MatchCases[] = {
    {"abc", "xxabcxx", 2, 5},
    {"a|ab", "ab", 0, 1},
    {"ab|a", "ab", 0, 2},
    {"a{2,3}", "aaaa", 0, 3},
    {"a{2}", "aaaa", 0, 2},
    {"a{2,}", "aaaa", 0, 4},
    {"a{,2}b", "aab", 0, 3},
    {"a{3}", "aa", -1, -1},
    {"(ab){2}", "ababab", 0, 4},
    {"(ab){1,2}c", "ababc", 0, 5},
    {"(ab){0,}c", "c", 0, 1},
    {"(ab)*c", "ababc", 0, 5},
    {"(ab)+", "xabab", 1, 5},
    {"(ab)?c", "c", 0, 1},
    {"a*", "bbb", 0, 0},
    {"a+", "baaa", 1, 4},
    {"ba?", "ba", 0, 2},
    {"x.z", "xyz", 0, 3},
    {".", "\r", -1, -1},
    {"\\n", "a\rb", 1, 2},
    {"\\r", "a\nb", 1, 2},
    {"a.*", "abc\rdef", 0, 3},
    {"c\\nd", "abc\rdef", 2, 5},
    {"^d", "abc\rdef", 4, 5},
    {"c$", "abc\rdef", 2, 3},
    {"f$", "abc\rdef", 6, 7},
    {"^b", "ab", -1, -1},
    {"[a-c]+", "xxbcaz", 2, 5},
    {"[^a-c]+", "abxyc", 2, 4},
    {"[-a]+", "-a-b", 0, 3},
    {"[a\\]]+", "a]]b", 0, 3},
    {"\\d+", "ab123c", 2, 5},
    {"\\D+", "12ab3", 2, 4},
    {"\\w+", "  ab_1 ", 2, 6},
    {"\\W+", "ab  cd", 2, 4},
    {"\\s+", "a \t\rb", 1, 4},
    {"\\S+", "  ab ", 2, 4},
    {"[\\d]+x", "a12x", 1, 4},
    {"\"a*b\"", "aab a*b", 4, 7},
    {"\\x41", "zA", 1, 2},
    {"\\x4", "z\x04", 1, 2},
    {"\\101", "zA", 1, 2},
    {"\\T", "a\tb", 1, 2},
    {"\\ ", "a b", 1, 2},
    {"\\.", "a.b", 1, 2},
    {"\\b", "a\bb", 1, 2},
    {"\\f", "a\fb", 1, 2},
    {"#[0-9a-fA-F]{6}", "c:#12aBcF;", 2, 9},
    {"(x)||(y)", "x", 0, 1},
    {"(x)||(y)", "y", 0, 1},
    {"(x)||(y)", "xy", 0, 2},
    {"(x)||(y)", "yx", 0, 2},
    {"a||b", "ba", 0, 2},
    {"a(b|c)*d", "abcbd", 0, 5},
    {"a(|b)c", "ac", 0, 2},
    {"(a|b)*b", "aab", 0, 3},
    {"a[bc]{2}d", "acbd", 0, 4},
    {"colou?r", "color", 0, 5},
    {"ABC", "abc", -1, -1},
    // A repeated group that can match empty: an empty iteration ends the loop.
    {"(a?)+b", "b", 0, 1},
    {"(a|)*b", "ab", 0, 2},
    {"(a*)*b", "aab", 0, 3},
    {"()*", "x", 0, 0},
    {"(a?){2,}b", "ab", 0, 2},
    {"(^)*a", "a", 0, 1},
    // The either-order pair sees a quoted backslash and a set's leading "]" as the compiler does.
    {"\"a\\\"||b", "ba\\", 0, 3},
    {"[](]||b", "b(", 0, 2},
};

TEST(REParserTest, MatchTable) {
    for (const auto& c : MatchCases) {
        TREParser re;
        ASSERT_TRUE(re.SetPattern(c.Pattern)) << c.Pattern << ": " << re.ErrorText();
        TStringCharSource src(c.Text);
        bool found = re.Search(src, 0, true);
        EXPECT_EQ(found, c.Start >= 0) << c.Pattern;
        if (found) {
            EXPECT_EQ(re.MatchStart(), c.Start) << c.Pattern;
            EXPECT_EQ(re.MatchEnd(), c.End) << c.Pattern;
        }
    }
}

struct TErrorCase {
    const char* Pattern;
    int Error, Column;
};

const TErrorCase ErrorCases[] = {
    {"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)", SRETooManySubexp, 28},
    {"(ab", SREUnmatchedParen, 1},
    {"ab)", SREUnmatchedParen, 3},
    {"*a", SREInvalidRepeat, 1},
    {"a|+", SREInvalidRepeat, 3},
    {"a**", SRENestedRepeat, 3},
    {"a{2}?", SRENestedRepeat, 5},
    {"[z-a]", SREInvalidRange, 2},
    {"a[b-]", SREInvalidRange, 3},
    {"a{}", SREInvalidRange, 3},
    {"a{,}", SREInvalidRange, 4},
    {"a{3,2}", SREInvalidRange, 6},
    {"a{2", SREInvalidRange, 2},
    {"[abc", SREUnmatchedBracket, 1},
    {"\\xg", SREHexDigitExpected, 3},
    {"ab\\", SREUnexpectedEnd, 4},
    {"a\"bc", SREQuoteExpected, 2},
    {"", SREInvalidParameter, 1},
};

TEST(REParserTest, CompileErrorsCarryColumn) {
    for (const auto& c : ErrorCases) {
        TREParser re;
        EXPECT_FALSE(re.SetPattern(c.Pattern)) << c.Pattern;
        EXPECT_EQ(re.ErrorNumber(), c.Error) << c.Pattern << ": " << re.ErrorText();
        EXPECT_EQ(re.ErrorColumn(), c.Column) << c.Pattern;
        EXPECT_FALSE(re.Compiled());
    }
}

TEST(REParserTest, CacheCompilesSamePatternOnce) {
    TREParser re;
    EXPECT_EQ(re.ErrorText(), "No errors detected");
    ASSERT_TRUE(re.SetPattern("a+b"));
    ASSERT_TRUE(re.SetPattern("a+b"));
    EXPECT_EQ(re.CompileCount(), 1);
    EXPECT_EQ(re.Program()[0], 0x9C);
    EXPECT_FALSE(re.SetPattern("a("));
    EXPECT_EQ(re.Pattern(), "");
    TStringCharSource src("ab");
    EXPECT_THROW(re.Search(src, 0, true), ERegexError); // no program after a failure
    ASSERT_TRUE(re.SetPattern("a+b"));
    EXPECT_EQ(re.CompileCount(), 2);
}

TEST(REParserTest, BackwardSearch) {
    TREParser re;
    ASSERT_TRUE(re.SetPattern("ab"));
    TStringCharSource src("ab ab ab");
    ASSERT_TRUE(re.Search(src, 8, false));
    EXPECT_EQ(re.MatchStart(), 6);
    ASSERT_TRUE(re.Search(src, 5, false));
    EXPECT_EQ(re.MatchStart(), 3);
    EXPECT_FALSE(re.Search(src, 2, true) && re.MatchStart() < 3);
    ASSERT_TRUE(re.SetPattern("x"));
    EXPECT_FALSE(re.Search(src, 8, false));
    EXPECT_THROW(re.Search(src, 9, true), ERegexError);
}

TEST(REParserTest, GroupsAndRecordedPositions) {
    TREParser re;
    ASSERT_TRUE(re.SetPattern("(a+)(x)?(b)"));
    TStringCharSource src("zaab");
    ASSERT_TRUE(re.Search(src, 0, true));
    EXPECT_EQ(re.GroupStart(1), 1);
    EXPECT_EQ(re.GroupEnd(1), 3);
    EXPECT_EQ(re.GroupStart(2), -1); // took no part
    EXPECT_EQ(re.GroupStart(3), 3);
    EXPECT_EQ(re.GroupEnd(3), 4);
    EXPECT_EQ(re.Position(0), 1);
    EXPECT_EQ(re.Position(1), 3);
    EXPECT_EQ(re.Position(255), -1);
    EXPECT_THROW(re.Position(256), ERegexError);
    try {
        re.Position(256);
    } catch (const ERegexError& e) {
        EXPECT_STREQ(e.what(), "Index range error");
    }
    EXPECT_THROW(re.GroupStart(10), ERegexError);
}

// Patterns that backtrack hard run in time linear in the text and find what they always found.
TEST(REParserTest, HardPatternsStayLinear) {
    TREParser re;
    struct TCase {
        const char* Pattern;
        int64_t Start, End; // -1: no match
    };
    // A 300,000-character line of short runs with one hit at its end.
    std::string line;
    while (line.size() < 300000)
        line += "ab;aab;";
    const int64_t tail = int64_t(line.size());
    line += "zzz;xc";
    TStringCharSource src(line);
    for (const TCase& c :
         {TCase{".*zzz", 0, tail + 3}, TCase{"[^;]*;x", tail, tail + 5},
          TCase{"(a|b)*c", tail + 5, tail + 6}, TCase{"(a|aa)*c", tail + 5, tail + 6},
          TCase{"(a|a)*y", -1, -1}, TCase{"(a*)*y", -1, -1}, TCase{"([ab]*;)*zz", 0, tail + 2},
          TCase{"(b|ab|a)*;z", tail - 4, tail + 1}}) {
        ASSERT_TRUE(re.SetPattern(c.Pattern));
        SCOPED_TRACE(c.Pattern);
        ASSERT_EQ(re.Search(src, 0, true), c.Start >= 0);
        EXPECT_EQ(re.MatchStart(), c.Start);
        EXPECT_EQ(re.MatchEnd(), c.End);
        // Backward from the end finds the last start with a match.
        if (c.Start < 0) {
            EXPECT_FALSE(re.Search(src, int64_t(line.size()), false));
        }
    }
    ASSERT_TRUE(re.SetPattern("(a|b)*;x"));
    ASSERT_TRUE(re.Search(src, int64_t(line.size()), false));
    EXPECT_EQ(re.MatchStart(), tail + 3);
    // Groups are those of the first match in the old order: the last iteration of the loop.
    ASSERT_TRUE(re.SetPattern("(a|ab)*;z"));
    ASSERT_TRUE(re.Search(src, 0, true));
    EXPECT_EQ(re.MatchStart(), tail - 4);
    EXPECT_EQ(re.GroupStart(1), tail - 3);
    ASSERT_TRUE(re.SetPattern("(a|b)*(;)z"));
    ASSERT_TRUE(re.Search(src, 0, true));
    EXPECT_EQ(re.GroupStart(1), tail - 2);
    EXPECT_EQ(re.GroupStart(2), tail - 1);

    // The step budget stays as a net for what is still exponential: many empty choices inside
    // a loop, tried again at every position.
    std::string text(5000, 'x');
    TStringCharSource xs(text);
    re.SetStepBudget(1000);
    ASSERT_TRUE(re.SetPattern("((|)(|)(|)(|)(|)(|)(|)x)*[cd]"));
    try {
        re.Search(xs, 0, true);
        FAIL() << "expected exhaustion";
    } catch (const ERegexError& e) {
        EXPECT_EQ(std::string(e.what()), LoadStr(SRETooComplex));
    }
    ASSERT_TRUE(re.SetPattern("x*"));
    ASSERT_TRUE(re.Search(xs, 0, true));
    EXPECT_EQ(re.MatchEnd(), 5000);
}

} // namespace

// A search that passes over empty matches, in either direction, finds what searching again
// from the position after (or before) each empty match finds.
TEST(REParserTest, NonEmptySearchSkipsEmptyMatches) {
    const char* const patterns[] = {"a*",  "(a|)b?", "b*c*",        "(ab|)a", "[ab]*c?",
                                    "^a*", "a*$",    "(a*)(b*)\\1", "c|a*b*"};
    std::mt19937 rng(7);
    TREParser fast, slow;
    for (int round = 0; round < 400; ++round) {
        std::string text;
        for (int i = int(rng() % 60); i > 0; --i)
            text += "abc\r"[rng() % (rng() % 5 ? 3 : 4)];
        const char* pattern = patterns[rng() % std::size(patterns)];
        ASSERT_TRUE(fast.SetPattern(pattern) && slow.SetPattern(pattern));
        TStringCharSource source(text);
        const int size = int(text.size());
        const bool forward = rng() % 2;
        const int start = int(rng() % (size + 1));
        int64_t want = -1, wantEnd = -1;
        for (int pos = start; pos >= 0 && pos <= size;
             pos = int(slow.MatchStart()) + (forward ? 1 : -1)) {
            if (!slow.Search(source, pos, forward)) break;
            if (slow.MatchEnd() > slow.MatchStart()) {
                want = slow.MatchStart(), wantEnd = slow.MatchEnd();
                break;
            }
        }
        EXPECT_EQ(fast.Search(source, start, forward, true), want >= 0)
            << pattern << " " << forward << " " << start;
        EXPECT_EQ(fast.MatchStart(), want) << pattern << " " << forward << " " << start;
        EXPECT_EQ(fast.MatchEnd(), wantEnd) << pattern << " " << forward << " " << start;
    }
}
