// The shipped CSS script: its compiled tables and how they tokenize style sheets.
#include "tests/highlight/LangShipped.h"

#include <gtest/gtest.h>

using namespace quillet;
using namespace quillet::langtest;

namespace {

const TStateSet Base = TStateSet::Of({0, 50});
const TStateSet InDeclaration = TStateSet::Of({0, 52});
const TStateSet InValue = TStateSet::Of({0, 53});

class LangCss : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Css = CompileShipped("css").release(); }
    static void TearDownTestSuite() {
        delete Css;
        Css = nullptr;
    }
    static TCodeMemoParser* Css;
    TCodeMemoParser& P = *Css;
};
TCodeMemoParser* LangCss::Css = nullptr;

} // namespace

TEST_F(LangCss, EditorProperties) {
    const TCM_Settings& st = P.Settings();
    EXPECT_EQ(st.Name, "Cascading Style Sheets");
    EXPECT_FALSE(P.CaseSensitive);
    EXPECT_EQ(st.Options, 0x03FFDBF0u);
    EXPECT_EQ(st.MarginWidth, 2);
    EXPECT_EQ(st.RightMargin, 80);
    EXPECT_EQ(st.WordWrapColumn, 0);
    EXPECT_EQ(st.GutterWidth, 34);
    EXPECT_EQ(st.IndentStep, 1);
    EXPECT_EQ(st.MarginColor, 0xFFFFFFu);
    EXPECT_EQ(st.GutterColor, 0x8000000Fu);
    EXPECT_EQ(st.SelTextColor, 0xFFFFFFu);
    EXPECT_EQ(st.SelTextBack, 0x006A240Au);
    EXPECT_FALSE(st.MarginColorDefault || st.GutterColorDefault || st.SelTextColorDefault ||
                 st.SelTextBackDefault);
    EXPECT_EQ(st.TabDefault, 4);
    for (int32_t column : st.TabColumns)
        EXPECT_EQ(column, -1);
    EXPECT_EQ(st.WrapOverride, ">|:");
    EXPECT_EQ(st.FontName, "Courier New");
    EXPECT_EQ(st.FontSize, 10);
    EXPECT_EQ(st.FontCharset, 204);
    EXPECT_EQ(st.GutterFontName, "MS Sans Serif");
    EXPECT_EQ(st.GutterFontSize, 8);
    EXPECT_EQ(st.GutterFontCharset, 1);
    EXPECT_EQ(st.GutterFontColor, 0x80000008u);
    EXPECT_EQ(st.GutterFontStyle, 0);
    EXPECT_TRUE(st.KeyTables.empty());
}

TEST_F(LangCss, ExampleTextIsACommentAndARule) {
    const std::string& text = P.Settings().ExampleText;
    EXPECT_EQ(text, "/* Комментарий */\r"
                    "H2, .head2\r"
                    "{\r"
                    "  font-family: Arial, sans-serif;\r"
                    "  font-weight: bold;\r"
                    "  color: #000080;\r"
                    "}");
    // The options dialog shows it highlighted: every part of the rule gets its own token.
    const TTokens want = {{"/* Комментарий */", 19},
                          {"H2", 11},
                          {",", 0},
                          {".", 20},
                          {"head2", 11},
                          {"{", 15},
                          {"font", 13},
                          {"-", 0}, // names are identifiers: the hyphen is plain text
                          {"family", 13},
                          {":", 17},
                          {"Arial", 14},
                          {",", 0},
                          {"sans", 14},
                          {"-", 0},
                          {"serif", 14},
                          {";", 18},
                          {"font", 13},
                          {"-", 0},
                          {"weight", 13},
                          {":", 17},
                          {"bold", 14},
                          {";", 18},
                          {"color", 13},
                          {":", 17},
                          {"#000080", 21},
                          {";", 18},
                          {"}", 16}};
    EXPECT_EQ(WalkWords(P, text), want);
}

TEST_F(LangCss, StylesNamesAndMap) {
    const TCM_Settings& st = P.Settings();
    struct TWant {
        int Style;
        const char* Name;
        uint8_t Font;
        TColor Fore;
        bool ForeDefault;
    };
    const TWant want[] = {
        {0, "Default Text", 0, 0x000000, false}, {1, "Strings", 2, 0x000000, true},
        {3, "Numbers", 0, 0x000080, false},      {4, "Punctuation", 1, 0x800000, false},
        {10, "Comments", 0, 0x808080, false},    {11, "Selectors", 0, 0x800080, false},
        {13, "Properties", 0, 0xFF0000, false},  {14, "Values", 0, 0x0000FF, false}};
    ASSERT_EQ(st.EditableStyles.size(), std::size(want));
    std::vector<bool> listed(256, false);
    for (size_t i = 0; i < std::size(want); ++i) {
        SCOPED_TRACE(want[i].Name);
        EXPECT_EQ(st.EditableStyles[i].Name, want[i].Name);
        EXPECT_EQ(st.EditableStyles[i].Style, want[i].Style);
        const TCM_Style& s = st.Styles[size_t(want[i].Style)];
        EXPECT_TRUE(s.Defined);
        EXPECT_EQ(s.FontStyle, want[i].Font);
        EXPECT_EQ(s.Foreground, want[i].Fore);
        EXPECT_EQ(s.ForegroundDefault, want[i].ForeDefault);
        EXPECT_EQ(s.Background, 0xFFFFFFu);
        EXPECT_TRUE(s.BackgroundDefault);
        EXPECT_FALSE(s.Hotspot);
        listed[size_t(want[i].Style)] = true;
    }
    for (int s = 0; s < 256; ++s)
        if (!listed[size_t(s)]) {
            EXPECT_FALSE(st.Styles[size_t(s)].Defined) << "style " << s;
        }

    std::array<uint8_t, 256> map{};
    for (auto [token, style] : std::initializer_list<std::pair<int, int>>{{1, 1},
                                                                          {2, 1},
                                                                          {3, 3},
                                                                          {10, 10},
                                                                          {11, 11},
                                                                          {13, 13},
                                                                          {14, 14},
                                                                          {15, 4},
                                                                          {16, 4},
                                                                          {17, 4},
                                                                          {18, 4},
                                                                          {20, 4},
                                                                          {19, 10},
                                                                          {21, 3}})
        map[size_t(token)] = uint8_t(style);
    EXPECT_EQ(st.StyleMap, map);
}

TEST_F(LangCss, KeywordsStatesAndSets) {
    const auto all = KeywordEntries(P);
    EXPECT_EQ(P.Keywords.Count(), 7);
    struct TWant {
        const char* Text;
        int Token;
        TStateSet States;
    };
    const TWant want[] = {{"{", 15, TStateSet::Of({0})},  {"}", 16, TStateSet::Of({52, 53})},
                          {".", 20, TStateSet::Of({50})}, {":", 17, TStateSet::Of({52})},
                          {";", 18, TStateSet::Of({53})}, {"/*", 19, TStateSet::Of({0})},
                          {"#", 21, TStateSet::Of({53})}};
    ASSERT_EQ(all.size(), std::size(want));
    for (const auto& w : want) {
        SCOPED_TRACE(w.Text);
        ASSERT_EQ(all.count(w.Text), 1u);
        const TKeywordEntry& e = all.find(w.Text)->second;
        EXPECT_EQ(e.Token, w.Token);
        EXPECT_EQ(e.States, w.States);
        EXPECT_EQ(e.EndGroup, -1); // anything may follow
    }

    EXPECT_EQ(P.StartState, Base);
    EXPECT_EQ(P.Anchor, TStateSet::Of({10, 11}));
    EXPECT_TRUE(P.BoundStates.Empty());
    EXPECT_FALSE(P.CustomHandlers);
    for (int t = 0; t < 256; ++t) {
        ASSERT_TRUE(P.Context[size_t(t)]);
        EXPECT_EQ(*P.Context[size_t(t)], Base) << "token " << t;
    }
}

TEST_F(LangCss, ContinuationsAndStartTables) {
    for (int t = 0; t < 256; ++t)
        EXPECT_EQ(bool(P.Continuations[size_t(t)]), t == 19 || t == 21) << "token " << t;

    const TContinuationRule& comment = *P.Continuations[19];
    EXPECT_FALSE(comment.Body.IsHandler);
    EXPECT_EQ(comment.Body.Flag, 1); // "/**/" has an empty body
    for (int c = 0; c < 256; ++c)
        EXPECT_TRUE(P.Groups.Group(comment.Body.Group).Contains(uint8_t(c)));
    EXPECT_EQ(comment.End.EndCount, 2);
    EXPECT_EQ(comment.End.Flag, 1);
    EXPECT_TRUE(P.Groups.Group(comment.End.EndGroups[0]).Contains('*'));
    EXPECT_FALSE(P.Groups.Group(comment.End.EndGroups[0]).Contains('/'));
    EXPECT_TRUE(P.Groups.Group(comment.End.EndGroups[1]).Contains('/'));

    const TContinuationRule& colour = *P.Continuations[21];
    EXPECT_EQ(colour.Body.Flag, 0); // at least one digit
    EXPECT_EQ(colour.End.EndCount, 1);
    EXPECT_EQ(colour.End.Flag, 0);
    const std::string hex = "0123456789abcdefABCDEF";
    for (int c = 0; c < 256; ++c) {
        const bool isHex = c != 0 && hex.find(char(c)) != std::string::npos;
        EXPECT_EQ(P.Groups.Group(colour.Body.Group).Contains(uint8_t(c)), isHex) << c;
        EXPECT_EQ(P.Groups.Group(colour.End.EndGroups[0]).Contains(uint8_t(c)), !isHex) << c;
    }

    EXPECT_EQ(RuleCount(P.GlobalStart), 0);
    EXPECT_EQ(P.StatesWithTable, TStateSet::Of({50, 52, 53}));
    EXPECT_EQ(RuleCount(*P.StateStart[50]), 53);
    EXPECT_EQ(RuleCount(*P.StateStart[52]), 53);
    EXPECT_EQ(RuleCount(*P.StateStart[53]), 65);
    struct TWant {
        int State;
        char Ch;
        int Handler;
        int Token;
    };
    for (const TWant& w : {TWant{50, 'a', 10, 11}, TWant{50, '_', 10, 11}, TWant{52, 'Z', 10, 13},
                           TWant{53, '"', 18, 1}, TWant{53, '.', 11, 3}, TWant{53, '7', 11, 3},
                           TWant{53, 'q', 10, 14}}) {
        SCOPED_TRACE(std::string(1, w.Ch) + " in " + std::to_string(w.State));
        const auto& rule = P.StateStart[size_t(w.State)]->Rules[uint8_t(w.Ch)];
        ASSERT_TRUE(rule);
        EXPECT_TRUE(rule->Start.IsHandler);
        EXPECT_EQ(rule->Start.Handler, w.Handler);
        EXPECT_EQ(rule->Token, w.Token);
        EXPECT_EQ(rule->Valid, TStateSet::Of({w.State}));
    }
    // No rule for digits in the selector state nor for the apostrophe in values.
    EXPECT_FALSE(P.StateStart[50]->Rules['1']);
    EXPECT_FALSE(P.StateStart[53]->Rules['\'']);
    EXPECT_FALSE(P.StateStart[53]->Rules['-']);
}

TEST_F(LangCss, TokenEffects) {
    struct TWant {
        int Token;
        TStateSet Valid, Add, Remove;
    };
    const TStateSet none;
    const TWant want[] = {
        {1, TStateSet::Of({53}), none, none},
        {2, TStateSet::Of({53}), none, none},
        {3, TStateSet::Of({53}), none, none},
        {11, TStateSet::Of({50}), none, none},
        {13, TStateSet::Of({52}), none, none},
        {14, TStateSet::Of({53}), none, none},
        {15, TStateSet::Of({0}), TStateSet::Of({52}), TStateSet::Of({50, 53})},
        {16, TStateSet::Of({0, 52, 53}), TStateSet::Of({50}), TStateSet::Of({52, 53})},
        {17, TStateSet::Of({0, 52}), TStateSet::Of({53}), TStateSet::Of({50, 52})},
        {18, TStateSet::Of({0, 53}), TStateSet::Of({52}), TStateSet::Of({50, 53})},
        {19, TStateSet::Of({0}), none, none},
        {20, TStateSet::Of({0, 50}), none, none},
        {21, TStateSet::Of({0, 53}), none, none},
    };
    std::vector<bool> listed(256, false);
    for (const TWant& w : want) {
        SCOPED_TRACE("token " + std::to_string(w.Token));
        const auto& e = P.Effects[size_t(w.Token)];
        ASSERT_TRUE(e);
        EXPECT_EQ(e->Valid, w.Valid);
        EXPECT_EQ(e->Add, w.Add);
        EXPECT_EQ(e->Remove, w.Remove);
        EXPECT_EQ(e->NoTransition, w.Add.Empty() && w.Remove.Empty());
        EXPECT_EQ(e->StackFlags, 0);
        EXPECT_FALSE(e->Bound);
        listed[size_t(w.Token)] = true;
    }
    for (int t = 0; t < 256; ++t)
        if (!listed[size_t(t)]) {
            EXPECT_FALSE(P.Effects[size_t(t)]) << "token " << t;
        }
}

TEST_F(LangCss, RuleWalkMovesThroughTheStates) {
    const std::vector<TWalkStep> want = {{"h1", 11, Base},
                                         {" ", 0, Base},
                                         {"{", 15, InDeclaration},
                                         {" ", 0, InDeclaration},
                                         {"color", 13, InDeclaration},
                                         {":", 17, InValue},
                                         {" ", 0, InValue},
                                         {"#ff0000", 21, InValue},
                                         {";", 18, InDeclaration},
                                         {" ", 0, InDeclaration},
                                         {"}", 16, Base}};
    EXPECT_EQ(WalkStates(P, "h1 { color: #ff0000; }"), want);
    // The last declaration may go without its ";", and the case of the text does not matter.
    EXPECT_EQ(WalkWords(P, "P.Note{FONT-SIZE:12PT}"), (TTokens{{"P", 11},
                                                               {".", 20},
                                                               {"Note", 11},
                                                               {"{", 15},
                                                               {"FONT", 13},
                                                               {"-", 0},
                                                               {"SIZE", 13},
                                                               {":", 17},
                                                               {"12", 3},
                                                               {"PT", 14},
                                                               {"}", 16}}));
}

TEST_F(LangCss, CommentsEndAtTheirCloseOrAtTheTextEnd) {
    EXPECT_EQ(Walk(P, "/* a */"), (TTokens{{"/* a */", 19}}));
    EXPECT_EQ(Walk(P, "/**/b"), (TTokens{{"/**/", 19}, {"b", 11}}));
    // Over lines, and inside a declaration without changing its state.
    const auto steps = WalkStates(P, "a{/* x\r*/color");
    ASSERT_EQ(steps.size(), 4u);
    EXPECT_EQ(steps[2], (TWalkStep{"/* x\r*/", 19, InDeclaration}));
    EXPECT_EQ(steps[3].Token, 13);
    // An unterminated comment runs to the end of the text and keeps its value.
    EXPECT_EQ(Walk(P, "/* open\rh1 { }"), (TTokens{{"/* open\rh1 { }", 19}}));
    EXPECT_EQ(Walk(P, "/*"), (TTokens{{"/*", 19}}));
}

TEST_F(LangCss, ColoursNeedAHexadecimalDigit) {
    EXPECT_EQ(
        WalkWords(P, "a{b:#;}"),
        (TTokens{{"a", 11}, {"{", 15}, {"b", 13}, {":", 17}, {"#", 0}, {";", 18}, {"}", 16}}));
    EXPECT_EQ(
        WalkWords(P, "a{b:#fG}"),
        (TTokens{{"a", 11}, {"{", 15}, {"b", 13}, {":", 17}, {"#f", 21}, {"G", 14}, {"}", 16}}));
    // "#" is a colour only in values; in a selector it is plain text.
    EXPECT_EQ(WalkWords(P, "#id"), (TTokens{{"#", 0}, {"id", 11}}));
}

TEST_F(LangCss, NumbersOnlyInValues) {
    // A selector has no rule for digits: each is one character of default text.
    EXPECT_EQ(Walk(P, "12"), (TTokens{{"1", 0}, {"2", 0}}));
    EXPECT_EQ(WalkWords(P, "a{b:12.5}"),
              (TTokens{{"a", 11}, {"{", 15}, {"b", 13}, {":", 17}, {"12.5", 3}, {"}", 16}}));
    EXPECT_EQ(
        WalkWords(P, "a{b:12.}"),
        (TTokens{{"a", 11}, {"{", 15}, {"b", 13}, {":", 17}, {"12", 3}, {".", 0}, {"}", 16}}));
    EXPECT_EQ(WalkWords(P, "a{b:1.5em 2e+3}"), (TTokens{{"a", 11},
                                                        {"{", 15},
                                                        {"b", 13},
                                                        {":", 17},
                                                        {"1.5", 3},
                                                        {"em", 14},
                                                        {"2e+3", 3},
                                                        {"}", 16}}));
    // Strings in values keep their quotes.
    EXPECT_EQ(WalkWords(P, "a{b:\"x y\"}")[4], (std::pair<std::string, int>{"\"x y\"", 1}));
}

TEST_F(LangCss, KeywordsOfInactiveStatesAreText) {
    // ":" and ";" count only inside declarations; a pseudo-class colon is text.
    EXPECT_EQ(Walk(P, "a:hover;"), (TTokens{{"a", 11}, {":", 0}, {"hover", 11}, {";", 0}}));
    // "}" before any "{" does not leave the selector state.
    const auto steps = WalkStates(P, "}a");
    EXPECT_EQ(steps[0], (TWalkStep{"}", 0, Base}));
    EXPECT_EQ(steps[1].Token, 11);
    // "." is a class only in selectors; in a value a number must start with a digit.
    EXPECT_EQ(WalkWords(P, "a{b:.5}"),
              (TTokens{{"a", 11}, {"{", 15}, {"b", 13}, {":", 17}, {".", 0}, {"5", 3}, {"}", 16}}));
}
