#include "highlight/CodeMemoParser.h"
#include "highlight/DefinitionError.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace quillet;

namespace {

int G(TCodeMemoParser& p, const char* chars, bool negate = false) {
    TCM_CharGroup g;
    for (const char* c = chars; *c; ++c)
        g.Add(uint8_t(*c));
    g.SetNegate(negate);
    return p.Groups.Add(g);
}

TTokenRule Recogniser(int handler, uint8_t token, TStateSet valid) {
    TTokenRule r;
    r.Start.IsHandler = true;
    r.Start.Handler = handler;
    r.Valid = valid;
    r.Token = token;
    return r;
}

void Effect(TCodeMemoParser& p, uint8_t token, TStateSet valid, TStateSet add = {},
            TStateSet remove = {}) {
    TTokenEffect e;
    e.Valid = valid;
    e.Add = add;
    e.Remove = remove;
    e.NoTransition = add.Empty() && remove.Empty();
    p.Effects[token] = e;
}

// A small style-sheet definition: states 0 base, 50 selector, 52 property, 53 value.
void BuildCss(TCodeMemoParser& p) {
    using S = TStateSet;
    p.StartState = S::Of({0, 50});
    p.Anchor = S::Of({10, 11});
    p.Keywords.Add("{", 15, S::Of({0}));
    p.Keywords.Add("}", 16, S::Of({52, 53}));
    p.Keywords.Add(":", 17, S::Of({52}));
    p.Keywords.Add(";", 18, S::Of({53}));
    p.Keywords.Add("/*", 19, S::Of({0}));
    p.Keywords.Add("#", 21, S::Of({53}));
    TContinuationRule comment;
    comment.Body.Flag = 1;
    comment.Body.Group = uint16_t(G(p, "", true));
    comment.End.Flag = 1;
    comment.End.EndCount = 2;
    comment.End.EndGroups = {uint16_t(G(p, "*")), uint16_t(G(p, "/")), 0, 0};
    p.Continuations[19] = comment;
    TContinuationRule hex;
    const char* hexDigits = "0123456789abcdefABCDEF";
    hex.Body.Group = uint16_t(G(p, hexDigits));
    hex.End.EndCount = 1;
    hex.End.EndGroups[0] = uint16_t(G(p, hexDigits, true));
    p.Continuations[21] = hex;
    auto ident = TCodeMemoParser::RecogniserStart(10);
    for (int c = 0; c < 256; ++c)
        if (ident.Contains(uint8_t(c))) {
            p.StateTable(50).Rules[size_t(c)] = Recogniser(10, 11, S::Of({50}));
            p.StateTable(52).Rules[size_t(c)] = Recogniser(10, 13, S::Of({52}));
            p.StateTable(53).Rules[size_t(c)] = Recogniser(10, 14, S::Of({53}));
        }
    for (const char* c = ".0123456789"; *c; ++c)
        p.StateTable(53).Rules[uint8_t(*c)] = Recogniser(11, 3, S::Of({53}));
    p.StateTable(53).Rules['-'] = Recogniser(15, 3, S::Of({53}));
    for (int t : {3, 14})
        Effect(p, uint8_t(t), S::Of({53}));
    Effect(p, 11, S::Of({50}));
    Effect(p, 13, S::Of({52}));
    Effect(p, 19, S::Of({0}));
    Effect(p, 21, S::Of({0, 53}));
    Effect(p, 15, S::Of({0}), S::Of({52}), S::Of({50, 53}));
    Effect(p, 16, S::Of({0, 52, 53}), S::Of({50}), S::Of({52, 53}));
    Effect(p, 17, S::Of({0, 52}), S::Of({53}), S::Of({50, 52}));
    Effect(p, 18, S::Of({0, 53}), S::Of({52}), S::Of({50, 53}));
    p.Context[10] = S::Of({0, 50});
}

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
