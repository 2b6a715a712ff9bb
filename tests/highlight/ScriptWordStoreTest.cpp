#include "highlight/WordStore.h"

#include <gtest/gtest.h>

using quillet::TWordStore;

TEST(WordStore, LookupIgnoresCaseAndRefusesDuplicates) {
    TWordStore<int> store;
    EXPECT_TRUE(store.Add("GutterFontName", 1));
    EXPECT_FALSE(store.Add("gutterfontname", 2));
    EXPECT_EQ(store.Count(), 1u);
    ASSERT_NE(store.Find("GUTTERFONTNAME"), nullptr);
    EXPECT_EQ(*store.Find("gutterFontName"), 1);
    EXPECT_EQ(store.Find("gutterfont"), nullptr);
    EXPECT_EQ(store.Find("gutterfontnames"), nullptr);
}

TEST(WordStore, MatchTakesLongestWordAndHonoursWordBoundary) {
    TWordStore<int> store;
    store.Add("%%handler", 1);
    store.Add("%%handlers", 2);
    store.Add("name", 3);
    store.Add("=", 4);
    store.Add("==", 5);

    auto m = store.Match("%%HANDLERS\r");
    EXPECT_EQ(m.Length, 10u);
    EXPECT_EQ(*m.Value, 2);
    // "%%handler" glued to "x" is no word; neither is the shorter prefix.
    EXPECT_EQ(store.Match("%%handlerx").Value, nullptr);
    EXPECT_EQ(store.Match("names").Value, nullptr);
    m = store.Match("name=");
    EXPECT_EQ(m.Length, 4u);
    // Symbols need no boundary.
    m = store.Match("==x");
    EXPECT_EQ(m.Length, 2u);
    EXPECT_EQ(*m.Value, 5);
    m = store.Match("=x");
    EXPECT_EQ(*m.Value, 4);
    EXPECT_EQ(store.Match("").Value, nullptr);
    store.Clear();
    EXPECT_EQ(store.Match("name").Value, nullptr);
}
