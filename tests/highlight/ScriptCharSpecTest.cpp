#include "highlight/ScriptCharSpec.h"
#include "highlight/ScriptError.h"

#include <gtest/gtest.h>

using namespace quillet;

TEST(ScriptCharSpec, SinglesEscapesAndSequences) {
    auto specs = ParseCharSpecs("a\\n\\x41\\]");
    ASSERT_EQ(specs.size(), 4u);
    EXPECT_TRUE(specs[0].test('a'));
    EXPECT_EQ(specs[0].count(), 1u);
    EXPECT_TRUE(specs[1].test(13));
    EXPECT_TRUE(specs[2].test('A'));
    EXPECT_TRUE(specs[3].test(']'));
    EXPECT_TRUE(ParseCharSpecs("").empty());
}

TEST(ScriptCharSpec, ClassesWithRangesNegationAndEscapedBrackets) {
    auto specs = ParseCharSpecs("[a-c_\\]\\[]x");
    ASSERT_EQ(specs.size(), 2u);
    EXPECT_EQ(specs[0].count(), 6u);
    EXPECT_TRUE(specs[0].test('b') && specs[0].test('_') && specs[0].test('[') &&
                specs[0].test(']'));
    EXPECT_TRUE(specs[1].test('x'));

    auto neg = ParseCharSpecs("[^\\r\\n]");
    ASSERT_EQ(neg.size(), 1u);
    EXPECT_EQ(neg[0].count(), 254u);
    EXPECT_FALSE(neg[0].test(10) || neg[0].test(13));

    auto dash = ParseCharSpecs("[a-]");
    EXPECT_TRUE(dash[0].test('a') && dash[0].test('-'));
}

TEST(ScriptCharSpec, ReversedRangeIsRefused) {
    try {
        ParseCharSpecs("[z-a]");
        FAIL();
    } catch (const EScriptValueError& e) {
        EXPECT_STREQ(e.what(), "Characters not in correct order for range specifier");
    }
}
