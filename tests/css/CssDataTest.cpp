// The generated CSS table read back: lookups by name, colours, keywords and at-rule descriptors.
#include <gtest/gtest.h>

#include <algorithm>

#include "css/CssData.h"

using namespace quillet::css;

TEST(CssData, LookupsAreSortedAndCaseInsensitive) {
    const auto& props = Properties();
    ASSERT_GT(props.size(), 500u);
    EXPECT_TRUE(std::is_sorted(
        props.begin(), props.end(),
        [](const TPropertyInfo& a, const TPropertyInfo& b) { return a.Name < b.Name; }));
    for (const TPropertyInfo& p : props)
        ASSERT_EQ(FindProperty(p.Name), &p) << p.Name;
    ASSERT_NE(FindProperty("Text-Align"), nullptr);
    EXPECT_TRUE(TakesKeyword(*FindProperty("text-align"), "CENTER"));
    EXPECT_FALSE(TakesKeyword(*FindProperty("text-align"), "middle"));
    EXPECT_EQ(FindProperty("colour"), nullptr);
    EXPECT_EQ(FindProperty(""), nullptr);
    // Keywords reached through named syntaxes and other properties' syntaxes.
    EXPECT_TRUE(TakesKeyword(*FindProperty("display"), "inline-block"));
    EXPECT_TRUE(TakesKeyword(*FindProperty("border-top"), "dashed"));
    EXPECT_TRUE(FindProperty("color")->TakesColor);
    EXPECT_FALSE(FindProperty("font-family")->Judged); // takes names the author chooses
}

TEST(CssData, NamedColoursAndAtRules) {
    EXPECT_EQ(FindNamedColor("AliceBlue"), 0xF0F8FFu);
    EXPECT_EQ(FindNamedColor("rebeccapurple"), 0x663399u);
    EXPECT_EQ(FindNamedColor("transparent"), std::nullopt);
    EXPECT_EQ(FindNamedColor("currentcolor"), std::nullopt);
    EXPECT_EQ(NamedColors().size(), 148u);
    EXPECT_TRUE(IsColorKeyword("currentColor"));
    EXPECT_TRUE(IsColorKeyword("canvastext"));
    ASSERT_NE(FindAtRule("font-face"), nullptr);
    EXPECT_TRUE(TakesDescriptor(*FindAtRule("FONT-FACE"), "src"));
    EXPECT_TRUE(TakesDescriptor(*FindAtRule("font-face"), "unicode-range"));
    EXPECT_EQ(FindAtRule("mediaa"), nullptr);
}
