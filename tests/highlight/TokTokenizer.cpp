#include "highlight/CodeMemoParser.h"
#include "highlight/DefinitionError.h"
#include "tests/highlight/SampleCssDefinition.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace quillet;
using namespace quillet::testdef;

namespace {

using Tokens = std::vector<std::pair<std::string, int>>;

Tokens Scan(TCodeMemoParser& p, const std::string& text, TStateSet state) {
    TTokenCursor cur{reinterpret_cast<const uint8_t*>(text.data()), text.size(), 0};
    p.ResetState(0);
    p.State = state;
    p.SelectStartTable();
    Tokens out;
    while (!cur.AtEnd()) {
        size_t from = cur.Pos;
        int t = p.NextToken(cur);
        out.emplace_back(text.substr(from, cur.Pos - from), t);
    }
    return out;
}

class TokTest : public ::testing::Test {
protected:
    void SetUp() override { BuildCss(P); }
    TCodeMemoParser P;
    TStateSet Base = TStateSet::Of({0, 50});
    TStateSet Value = TStateSet::Of({0, 53});
};

} // namespace

TEST_F(TokTest, RuleWalkChangesStates) {
    Tokens t = Scan(P, "h1 { color: #ff0000; }", Base);
    Tokens want = {{"h1", 11}, {" ", 0},        {"{", 15}, {" ", 0}, {"color", 13}, {":", 17},
                   {" ", 0},   {"#ff0000", 21}, {";", 18}, {" ", 0}, {"}", 16}};
    EXPECT_EQ(t, want);
    EXPECT_EQ(P.State, TStateSet::Of({0, 50}));
}

TEST_F(TokTest, Comments) {
    EXPECT_EQ(Scan(P, "/* a */x", Base), (Tokens{{"/* a */", 19}, {"x", 11}}));
    EXPECT_EQ(Scan(P, "/**/", Base), (Tokens{{"/**/", 19}}));
    EXPECT_EQ(Scan(P, "/* open\rmore", Base), (Tokens{{"/* open\rmore", 19}}));
}

TEST_F(TokTest, HexNeedsADigit) {
    EXPECT_EQ(Scan(P, "#;", Value), (Tokens{{"#", 0}, {";", 18}}));
    EXPECT_EQ(Scan(P, "#aB9", Value), (Tokens{{"#aB9", 21}}));
}

TEST_F(TokTest, Numbers) {
    EXPECT_EQ(Scan(P, "1.5em", Value), (Tokens{{"1.5", 3}, {"em", 14}}));
    EXPECT_EQ(Scan(P, "1e3", Value), (Tokens{{"1e3", 3}}));
    EXPECT_EQ(Scan(P, "-2", Value), (Tokens{{"-2", 3}}));
    EXPECT_EQ(Scan(P, "12.", Value), (Tokens{{"12", 3}, {".", 0}}));
    EXPECT_EQ(Scan(P, "1e+", Value), (Tokens{{"1", 3}, {"e", 14}, {"+", 0}}));
    // No number rule in the selector state.
    EXPECT_EQ(Scan(P, "7", Base), (Tokens{{"7", 0}}));
}

TEST_F(TokTest, KeywordsOnlyInTheirStates) {
    // ';' counts in the value state only; '}' not in the base state.
    EXPECT_EQ(Scan(P, ";}", Base), (Tokens{{";", 0}, {"}", 0}}));
}

TEST_F(TokTest, LongestAcceptableKeywordWins) {
    TCodeMemoParser p;
    TCM_CharGroup blank;
    blank.Add(' ');
    int g = p.Groups.Add(blank);
    p.Keywords.Add("ab", 1, TStateSet::Of({0}));
    p.Keywords.Add("abc", 2, TStateSet::Of({0}), g);
    EXPECT_EQ(Scan(p, "abc ", TStateSet::Of({0})).front(), (std::pair<std::string, int>{"abc", 2}));
    EXPECT_EQ(Scan(p, "abcd", TStateSet::Of({0})).front(), (std::pair<std::string, int>{"ab", 1}));
    // At the text end the following character counts as a zero byte.
    EXPECT_EQ(Scan(p, "abc", TStateSet::Of({0})).front(), (std::pair<std::string, int>{"ab", 1}));
}

TEST_F(TokTest, StackUnderflowIsReported) {
    P.Effects[15]->StackFlags = sfPopBefore;
    EXPECT_THROW(Scan(P, "{", Base), EDefinitionError);
}

TEST_F(TokTest, ContextGivesRestartState) {
    P.ResetState(10);
    EXPECT_EQ(P.State, TStateSet::Of({0, 50}));
    P.ResetState(99);
    EXPECT_EQ(P.State, P.StartState);
}
