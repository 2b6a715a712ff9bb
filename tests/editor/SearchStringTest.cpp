// The string search, the store as a character source and the replacement expansion.
#include "editor/BoyerMoore.h"
#include "editor/ReplaceText.h"
#include "editor/SearchSource.h"
#include "editor/TextStore.h"

#include <gtest/gtest.h>

#include <random>

using namespace quillet;

namespace {

// The plain scan every answer is checked against.
int64_t Naive(std::string_view text, std::string_view pat, int64_t start, bool forward,
              bool matchCase, bool wholeWord) {
    auto n = static_cast<int64_t>(text.size()), m = static_cast<int64_t>(pat.size());
    auto eq = [&](int64_t i) {
        for (int64_t k = 0; k < m; ++k) {
            auto a = static_cast<uint8_t>(text[i + k]), b = static_cast<uint8_t>(pat[k]);
            if (!matchCase) a = UpperByte(a), b = UpperByte(b);
            if (a != b) return false;
        }
        TWordTests w;
        if (wholeWord &&
            ((i > 0 && w.IsWordChar(text[i - 1])) || (i + m < n && w.IsWordChar(text[i + m]))))
            return false;
        return true;
    };
    if (m == 0) return -1;
    if (forward) {
        for (int64_t i = std::max<int64_t>(start, 0); i + m <= n; ++i)
            if (eq(i)) return i;
    } else {
        for (int64_t i = std::min(start, n - m); i >= 0; --i)
            if (eq(i)) return i;
    }
    return -1;
}

struct TStoreText {
    TTextStore Store;
    explicit TStoreText(std::string_view text) { Store.Insert(TOffset(0), text); }
};

} // namespace

TEST(StringSearch, AgreesWithAPlainScanOverLinesInBothDirections) {
    std::mt19937 rng(7);
    const char alphabet[] = "abAB-c\r";
    TBMSearch bm;
    for (int round = 0; round < 300; ++round) {
        std::string text;
        int len = 1 + int(rng() % 60);
        for (int i = 0; i < len; ++i)
            text += alphabet[rng() % 7];
        TStoreText st(text);
        TStoreCharSource source(st.Store);
        ASSERT_EQ(st.Store.StoredText(TOffset(0), st.Store.TextEnd()), text);
        for (int q = 0; q < 20; ++q) {
            std::string pat;
            int m = 1 + int(rng() % 5);
            for (int i = 0; i < m; ++i)
                pat += alphabet[rng() % 7];
            int64_t start = int64_t(rng() % (text.size() + 2)) - 1;
            bool forward = rng() & 1, matchCase = rng() & 1, word = rng() % 4 == 0;
            ASSERT_EQ(bm.Search(source, pat, start, forward, matchCase, word, {}),
                      Naive(text, pat, start, forward, matchCase, word))
                << "text '" << text << "' pattern '" << pat << "' from " << start
                << (forward ? " forward" : " backward") << (matchCase ? " case" : "")
                << (word ? " word" : "");
        }
    }
}

TEST(StringSearch, FindsHitsSpanningLineBreaksAndAtTheEdges) {
    TStoreText st("a {\rcolor: red\r}");
    TStoreCharSource source(st.Store);
    TBMSearch bm;
    EXPECT_EQ(bm.Find(source, "{\rcol", 0, true, true), 2);
    EXPECT_EQ(bm.Find(source, "red\r}", 0, true, true), 11);
    EXPECT_EQ(bm.Find(source, "red\r}", 16, false, true), 11);
    EXPECT_EQ(bm.Find(source, "a {", 16, false, true), 0);
    EXPECT_EQ(bm.Find(source, "}", 0, true, true), 15);
    // The same pattern from just past a hit finds nothing further.
    EXPECT_EQ(bm.Find(source, "a {", 1, true, true), -1);
    EXPECT_EQ(bm.Find(source, "}", 14, false, true), -1);
    EXPECT_EQ(bm.Find(source, "", 0, true, true), -1);
    EXPECT_EQ(bm.Find(source, "a {\rcolor: red\r}!", 0, true, true), -1);
}

TEST(StringSearch, WholeWordsUseTheWordTests) {
    TStoreText st("color font-col col; x_col col");
    TStoreCharSource source(st.Store);
    TBMSearch bm;
    // Neither inside "color" nor at the end of "font-col": the hyphen belongs to words.
    EXPECT_EQ(bm.Search(source, "col", 0, true, true, true, {}), 15);
    EXPECT_EQ(bm.Search(source, "col", 16, true, true, true, {}), 26);
    EXPECT_EQ(bm.Search(source, "col", 25, false, true, true, {}), 15);
    EXPECT_EQ(bm.Search(source, "col", 14, false, true, true, {}), -1);
    // With replaced tests the hyphen separates words.
    TWordTests words;
    words.IsInWord = [](char c) { return c != '-' && TWordTests::DefaultIsInWord(c); };
    EXPECT_EQ(bm.Search(source, "col", 0, true, true, true, words), 11);
}

TEST(StringSearch, CaseFoldingAndTheTableCache) {
    TStoreText st("Body { COLOR: Red; color: red }");
    TStoreCharSource source(st.Store);
    TBMSearch bm;
    EXPECT_EQ(bm.Find(source, "color", 0, true, true), 19);
    EXPECT_EQ(bm.Find(source, "color", 0, true, false), 7);
    EXPECT_EQ(bm.Find(source, "RED", 99, false, false), 26);
    EXPECT_EQ(bm.Find(source, "RED", 99, false, true), -1);
    EXPECT_EQ(bm.ExactBuilds(), 2);
    EXPECT_EQ(bm.FoldedBuilds(), 2);
    // Same pattern again, and another spelling with the same upper case: no new tables
    // for the folded search, but the exact ones follow the pattern.
    EXPECT_EQ(bm.Find(source, "red", 0, true, false), 14);
    EXPECT_EQ(bm.Find(source, "Red", 0, true, false), 14);
    EXPECT_EQ(bm.FoldedBuilds(), 2);
    EXPECT_EQ(bm.Find(source, "Red", 0, true, true), 14);
    EXPECT_EQ(bm.Find(source, "Red", 15, true, true), -1);
    EXPECT_EQ(bm.ExactBuilds(), 3);
    // Bytes of UTF-8 sequences are not folded.
    TStoreText cyr("\xd0\xb0\xd0\x90");
    TStoreCharSource cs(cyr.Store);
    EXPECT_EQ(bm.Find(cs, "\xd0\x90", 0, true, false), 2);
}

TEST(StoreSource, RunsAreTheLineRecordsInAnyOrderOfAsking) {
    TStoreText st("ab\rcde\r\rf");
    TStoreCharSource source(st.Store);
    EXPECT_EQ(source.Size(), 9);
    const int64_t starts[] = {0, 0, 0, 3, 3, 3, 3, 7, 8};
    const int order[] = {8, 0, 4, 7, 1, 6, 2, 5, 3, 8, 7};
    for (int pos : order) {
        int64_t runStart = -1;
        std::string_view run = source.RunAt(pos, runStart);
        EXPECT_EQ(runStart, starts[pos]) << pos;
        EXPECT_EQ(run, st.Store.RowText(st.Store.LineFromPos(TOffset(pos)))) << pos;
    }
    EXPECT_EQ(SourceText(source, 1, 8), "b\rcde\r\r");
}

TEST(ReplaceExpansion, GroupsPercentSignsAndEscapes) {
    auto group = [](int n) {
        if (n == 1) return std::string("one");
        std::string s(1, '<');
        s += std::to_string(n);
        s += '>';
        return s;
    };
    auto x = [&](std::string_view t) { return ExpandReplacement(t, group); };
    EXPECT_EQ(x("%1\\t"), "one\t");
    EXPECT_EQ(x("%%1 %"), "%1 %");
    EXPECT_EQ(x("%12%255%256"), "<12><255><25>6");
    EXPECT_EQ(x("%0%a"), "0a");
    EXPECT_EQ(x("\\\\\\b\\f\\n\\r\\s\\t\\q"), std::string("\\\b\f\r\n \tq"));
    EXPECT_EQ(x("\\N\\R\\T\\S"), std::string("\r\n\t "));
    EXPECT_EQ(x("\\101\\60\\0x\\8"), std::string("A0") + '\0' + "x8");
    EXPECT_EQ(x("\\x41\\X4a\\x7Z"), std::string("AJ\x07Z"));
    EXPECT_EQ(x("end\\"), "end\\");
    // No such byte, or no hex digit: the text ends there.
    EXPECT_EQ(x("ab\\777cd"), "ab");
    EXPECT_EQ(x("ab\\xgcd"), "ab");
}
