// Colour literals: every notation read, the look-alikes refused, and the rewrite that keeps the
// notation.
#include "css/Colors.h"

#include <gtest/gtest.h>

namespace quillet::css {
namespace {

TEST(Colors, EveryNotationAndItsLookAlikes) {
    struct TCase {
        const char* Text;
        long Rgb; // -1: not a colour
        int Alpha;
    };
    const TCase cases[] = {
        {"#abc", 0xAABBCC, 255},
        {"#ABCD", 0xAABBCC, 0xDD},
        {"#12345f", 0x12345F, 255},
        {"#12345678", 0x123456, 0x78},
        {"#12345", -1, 0},
        {"#1234567", -1, 0},
        {"#abg", -1, 0},
        {"#", -1, 0},
        {"rgb(255, 0, 0)", 0xFF0000, 255},
        {"RGBA(0,128,255,.5)", 0x0080FF, 128},
        {"rgb(0 0 0 / 50%)", 0x000000, 128},
        {"rgb(100% 50% 0%)", 0xFF8000, 255},
        {"rgba(300 -5 7)", 0xFF0007, 255},
        {"rgb( 1 , 2 , 3 )", 0x010203, 255},
        {"hsl(120, 100%, 50%)", 0x00FF00, 255},
        {"hsla(240deg 100% 50% / 0.25)", 0x0000FF, 64},
        {"hsl(0.5turn 100% 25%)", 0x008080, 255},
        {"hsl(-120 100% 50%)", 0x0000FF, 255},
        {"rgb(1, 2 3)", -1, 0},
        {"rgb(1 2)", -1, 0},
        {"rgb(1px 2 3)", -1, 0},
        {"rgb(var(--x))", -1, 0},
        {"rgb(1 2 3 / 4 / 5)", -1, 0},
        {"rgb(1, 2, 3", -1, 0},
        {"Navy", 0x000080, 255},
        {"rebeccapurple", 0x663399, 255},
        {"transparent", -1, 0},
        {"reddish", -1, 0},
    };
    for (const TCase& c : cases) {
        auto got = ParseColor(c.Text);
        if (c.Rgb < 0) {
            EXPECT_FALSE(got) << c.Text;
            continue;
        }
        ASSERT_TRUE(got) << c.Text;
        EXPECT_EQ(got->Rgb, std::uint32_t(c.Rgb)) << c.Text;
        EXPECT_EQ(got->Alpha, c.Alpha) << c.Text;
    }
}

TEST(Colors, FoundInTextButNotInSelectorsNamesOrPaths) {
    const std::string text =
        "#fff, .red a#add { color: red; background: url(img/red.png) #0f0 no-repeat; "
        "border: 1px solid rgb(0 0 0 / 50%); font-family: \"Tan Sans\"; --tan: tan; x: a-red red-b}"
        " @keyframes navy { } &#123;";
    std::vector<std::string> found;
    for (const TColorLiteral& c : FindColors(text))
        found.push_back(text.substr(size_t(c.Start), size_t(c.Length)));
    EXPECT_EQ(found, (std::vector<std::string>{"red", "#0f0", "rgb(0 0 0 / 50%)", "tan"}));
}

TEST(Colors, ReplacedInTheSameNotation) {
    struct TCase {
        const char* Old;
        std::uint32_t Rgb;
        const char* New;
    };
    const TCase cases[] = {
        {"#abc", 0x112233, "#123"},
        {"#abc", 0x123456, "#123456"},
        {"#ABCD", 0xFF0000, "#F00D"},
        {"#abcd", 0x123456, "#123456dd"},
        {"#000000", 0x0A0B0C, "#0A0B0C"},
        {"rgb(1, 2, 3)", 0x102030, "rgb(16, 32, 48)"},
        {"RGBA( 1,2,3,.5 )", 0x102030, "RGBA( 16,32,48,.5 )"},
        {"rgb(0 0 0 / 50%)", 0xFF8000, "rgb(255 128 0 / 50%)"},
        {"rgb(0% 0% 0%)", 0xFF0000, "rgb(100% 0% 0%)"},
        {"hsl(0, 0%, 0%)", 0x00FF00, "hsl(120, 100%, 50%)"},
        {"hsla(0deg 0% 0% / .3)", 0x0000FF, "hsla(240deg 100% 50% / .3)"},
        {"red", 0x000080, "navy"},
        {"RED", 0x000080, "NAVY"},
        {"red", 0x123456, "#123456"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(ReplaceColor(c.Old, c.Rgb), c.New) << c.Old;
        EXPECT_EQ(ParseColor(ReplaceColor(c.Old, c.Rgb))->Rgb, c.Rgb) << c.Old;
    }
}

} // namespace
} // namespace quillet::css
