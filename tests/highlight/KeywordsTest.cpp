#include "highlight/Keywords.h"

#include <gtest/gtest.h>

using namespace quillet;

TEST(Keywords, LongestMatchForwardAndBackward) {
    TKeywords kw(false);
    kw.Add("col", 1);
    kw.Add("color", 2);
    kw.Add("co", 3);
    kw.Add("", 9); // ignored
    EXPECT_EQ(kw.Count(), 3);

    TKeywordMatch m = kw.Match("colorful");
    EXPECT_EQ(m.Value, 2);
    EXPECT_EQ(m.Length, 5u);
    m = kw.Match("COLUMN");
    EXPECT_EQ(m.Value, 1);
    EXPECT_EQ(m.Length, 3u);
    EXPECT_FALSE(kw.Match("c"));
    EXPECT_FALSE(kw.Match(""));
    EXPECT_EQ(kw.Find("colo"), -1);
    EXPECT_EQ(kw.Find("Color"), 2);

    // Reversed words match the end of a text.
    TKeywords rev(false);
    rev.Add("het", 1);  // "teh"
    rev.Add("hetx", 2); // "xteh"
    m = rev.MatchBackward("say xTeh");
    EXPECT_EQ(m.Value, 2);
    EXPECT_EQ(m.Length, 4u);
    m = rev.MatchBackward("a teh");
    EXPECT_EQ(m.Value, 1);
    EXPECT_EQ(m.Length, 3u);
    EXPECT_FALSE(rev.MatchBackward("teh "));

    // A new value for an existing word; case-sensitive tables keep case apart.
    kw.Add("COLOR", 7);
    EXPECT_EQ(kw.Count(), 3);
    EXPECT_EQ(kw.Find("color"), 7);
    TKeywords cs(true);
    cs.Add("If", 1);
    EXPECT_EQ(cs.Find("if"), -1);
    EXPECT_EQ(cs.Find("If"), 1);
    cs.Clear();
    EXPECT_EQ(cs.Count(), 0);
    EXPECT_FALSE(cs.Match("If"));
}

TEST(Keywords, SiblingsStaySortedWhateverTheOrder) {
    TKeywords kw;
    for (const char* w : {"cz", "ca", "cm", "b", "cb"})
        kw.Add(w, int32_t(w[1]));
    for (const char* w : {"cz", "ca", "cm", "cb"})
        EXPECT_EQ(kw.Find(w), int32_t(w[1])) << w;
    EXPECT_EQ(kw.Find("b"), 0);
    EXPECT_EQ(kw.Find("cc"), -1);
}
