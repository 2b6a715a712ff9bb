// Whole scripts compiled into tables, checked table by table and by tokenizing sample text.
#include "highlight/CodeMemoParser.h"
#include "highlight/Compiler.h"
#include "highlight/ScriptError.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace quillet;

namespace {

// A small style-sheet language: keywords, continuations, state tables, effects, settings.
const char* const CssScript = R"(// a tiny style sheet language
%%Language
Name = 'Cascading Style Sheets and a name that is far too long'
Case = __insensitive
Options = __DEFAULT_OPTIONS
ExampleText = '/* c */\nH2 { color: red }'
EditableStyles ('Default Text', 0), ('Comments', 10)
EditableStyles ('Selectors', 11)
FontName = 'Courier New'
FontSize = 10
FontCharSet = RUSSIAN_CHARSET
SelTextColor = clWhite
SelTextBack = [*] 6956042
GutterFontName = 'MS Sans Serif'
GutterFontStyle = [fsBold, fsItalic]
StartState = 50
Anchor = [10 11]
TabColumns = '9 17;25'
IndentStep = 2
ContextStates = (30, 31 [2]), (32 [0 50])

%%Words
'{'  '' 15
'}'  '' 16 [52 53]
':'  '' 17 [52]
';'  '' 18 [53]
'/*' '' 19
'#'  '' 21 [53]
'important' '[^a-z]' 22 [53]

%%Handlers
19 '[^]' * '*/' 1
21 '[0-9a-fA-F]' '[^0-9a-fA-F]' 0

%%Tokens
InState 50 ( 11 __STD_IDENTIFIER )
InState 52 ( 13 __STD_IDENTIFIER )
InState 53 (
  3 __STD_NUMBER_OR_FP
  14 __STD_IDENTIFIER
  1 __STD_HTML_STRING
)
5 '[\1-\s]' '[\1-\s]' * '[^\1-\s]' 0

%%Map
1 1  3 3  11 11  13 13  14 14  15 4  16 4  17 4  18 4  19 10

%%Effects
0  []               clBlack clWhite
4  [fsBold]         clNavy  clWhite *
10 [fsItalic 2]     clGray  clWhite * 'HotSpot'
11 [9]              clPurple * clWhite

%%States
15 ( +52 -[50 53] )
16 ( +50 -52 -53 )
17 ( +53 -50 -52 )
18 ( +52 -[50, 53] )
)";

std::vector<std::pair<int, std::string>> Tokens(TCodeMemoParser& p, const std::string& text) {
    std::vector<std::pair<int, std::string>> out;
    p.ResetState(0);
    TTokenCursor cur{reinterpret_cast<const uint8_t*>(text.data()), text.size(), 0};
    while (!cur.AtEnd()) {
        const size_t start = cur.Pos;
        const int token = p.NextToken(cur);
        if (token != 0) out.push_back({token, text.substr(start, cur.Pos - start)});
    }
    return out;
}

} // namespace

TEST(CompilerScript, SettingsFromTheLanguageSection) {
    TCodeMemoParser p;
    CompileScript(p, CssScript);
    const auto& st = p.Settings();
    EXPECT_EQ(st.Name, "Cascading Style Sheets and a name t"); // 35 characters kept
    EXPECT_FALSE(p.CaseSensitive);
    EXPECT_EQ(st.Options, 67099632u);
    EXPECT_EQ(st.ExampleText, "/* c */\rH2 { color: red }");
    ASSERT_EQ(st.EditableStyles.size(), 3u);
    EXPECT_EQ(st.EditableStyles[1].Name, "Comments");
    EXPECT_EQ(st.EditableStyles[1].Style, 10);
    EXPECT_EQ(st.EditableStyles[2].Name, "Selectors"); // a second entry continues the list
    EXPECT_EQ(st.FontCharset, 204);
    EXPECT_EQ(st.SelTextColor, 0xFFFFFFu);
    EXPECT_FALSE(st.SelTextColorDefault);
    EXPECT_EQ(st.SelTextBack, 0x6A240Au);
    EXPECT_TRUE(st.SelTextBackDefault);
    EXPECT_EQ(st.GutterFontName, "MS Sans Serif");
    EXPECT_EQ(st.GutterFontStyle, 3);
    EXPECT_EQ(st.IndentStep, 2);
    EXPECT_EQ(st.TabColumns[0], 8);
    EXPECT_EQ(st.TabColumns[1], 16);
    EXPECT_EQ(st.TabColumns[2], 24);
    EXPECT_EQ(st.TabColumns[3], -1);
    EXPECT_EQ(p.StartState, TStateSet::Of({0, 50}));
    EXPECT_EQ(p.Anchor, TStateSet::Of({10, 11}));
    EXPECT_EQ(*p.Context[30], TStateSet::Of({2}));
    EXPECT_EQ(*p.Context[31], TStateSet::Of({2}));
    EXPECT_EQ(*p.Context[32], TStateSet::Of({0, 50}));
    // Tokens never given restart in the start state.
    EXPECT_EQ(*p.Context[7], TStateSet::Of({0, 50}));
}

TEST(CompilerScript, TablesFromWordsTokensEffectsAndStates) {
    TCodeMemoParser p;
    CompileScript(p, CssScript);
    EXPECT_EQ(p.Keywords.Count(), 7);
    // A keyword's token may count in state 0 as well as in its own states.
    ASSERT_TRUE(p.Effects[16]);
    EXPECT_EQ(p.Effects[16]->Valid, TStateSet::Of({0, 52, 53}));
    EXPECT_EQ(p.Effects[16]->Add, TStateSet::Of({50}));
    EXPECT_EQ(p.Effects[16]->Remove, TStateSet::Of({52, 53}));
    EXPECT_FALSE(p.Effects[16]->NoTransition);
    EXPECT_EQ(p.Effects[18]->Remove, TStateSet::Of({50, 53}));
    EXPECT_TRUE(p.Effects[19]->NoTransition);
    // A rule of a state table is valid in that state only.
    ASSERT_TRUE(p.Effects[11]);
    EXPECT_EQ(p.Effects[11]->Valid, TStateSet::Of({50}));
    EXPECT_TRUE(p.StatesWithTable.Has(50) && p.StatesWithTable.Has(52) &&
                p.StatesWithTable.Has(53));
    EXPECT_FALSE(p.StatesWithTable.Has(0));
    ASSERT_TRUE(p.StateStart[53]->Rules['7']);
    EXPECT_EQ(p.StateStart[53]->Rules['7']->Token, 3);
    EXPECT_EQ(p.StateStart[53]->Rules['"']->Start.Handler, 18);
    ASSERT_TRUE(p.GlobalStart.Rules[' ']);
    EXPECT_FALSE(p.GlobalStart.Rules['!']);
    ASSERT_TRUE(p.Continuations[19]);
    EXPECT_EQ(p.Continuations[19]->End.EndCount, 2);
    EXPECT_EQ(p.Continuations[19]->End.Flag, 1);
    EXPECT_EQ(p.Continuations[19]->Body.Flag, 1);
    EXPECT_EQ(p.Continuations[21]->End.Flag, 0);

    const auto& st = p.Settings();
    EXPECT_EQ(st.StyleMap[19], 10);
    EXPECT_EQ(st.StyleMap[15], 4);
    EXPECT_EQ(st.StyleMap[2], 0);
    EXPECT_EQ(st.Styles[4].FontStyle, 1);
    EXPECT_EQ(st.Styles[4].Foreground, 0x800000u);
    EXPECT_TRUE(st.Styles[4].BackgroundDefault);
    EXPECT_FALSE(st.Styles[4].ForegroundDefault);
    EXPECT_EQ(st.Styles[10].FontStyle, 2 | 4);
    EXPECT_TRUE(st.Styles[10].Hotspot);
    EXPECT_EQ(st.Styles[11].FontStyle, 0); // a style number beyond 7 is ignored
    EXPECT_TRUE(st.Styles[11].ForegroundDefault);
    EXPECT_TRUE(st.Styles[11].Defined);
    EXPECT_FALSE(st.Styles[12].Defined);
}

TEST(CompilerScript, CompiledTablesTokenizeStyleSheetText) {
    TCodeMemoParser p;
    CompileScript(p, CssScript);
    const auto toks = Tokens(p, "H2 { COLOR: #a0B; width: 1.5 }/* x */");
    // The state tables take over from the global one while their states are current.
    const std::vector<std::pair<int, std::string>> expected = {
        {11, "H2"},    {15, "{"}, {13, "COLOR"}, {17, ":"}, {21, "#a0B"},   {18, ";"},
        {13, "width"}, {17, ":"}, {3, "1.5"},    {16, "}"}, {19, "/* x */"}};
    EXPECT_EQ(toks, expected);
    // The keyword's end group: "important" only counts before a non-letter.
    const auto imp = Tokens(p, "a{b:important;c:importantx}");
    EXPECT_EQ(imp[4], (std::pair<int, std::string>{22, "important"}));
    EXPECT_EQ(imp[8], (std::pair<int, std::string>{14, "importantx"}));
}

TEST(CompilerScript, RecompilingStartsFromAClearDefinition) {
    TCodeMemoParser p;
    CompileScript(p, CssScript);
    CompileScript(p, "%%Words 'x' '' 3");
    EXPECT_EQ(p.Keywords.Count(), 1);
    EXPECT_EQ(p.Settings().Name, "<Custom language>");
    EXPECT_FALSE(p.Effects[16]);
    EXPECT_TRUE(p.CaseSensitive);
}

TEST(CompilerScript, StringEscapesFollowTheScriptConvention) {
    TCodeMemoParser p;
    // \n is a carriage return and \r a line feed; letters may be upper case.
    CompileScript(p,
                  "%%Language ExampleText = 'a\\nb\\rc\\N\\R\\s\\t\\b\\e\\101\\x41\\X4a\\q\\\\'");
    EXPECT_EQ(p.Settings().ExampleText, std::string("a\rb\nc\r\n \t\b\x1b"
                                                    "AAJq\\"));
    // In character specifications too.
    CompileScript(p, "%%Words 'x' '\\n' 1 'y' '\\r' 2");
    p.ResetState(0);
    const std::string text = "x\ry\n";
    TTokenCursor cur{reinterpret_cast<const uint8_t*>(text.data()), text.size(), 0};
    EXPECT_EQ(p.NextToken(cur), 1);
    EXPECT_EQ(p.NextToken(cur), 0);
    EXPECT_EQ(p.NextToken(cur), 2);
}

TEST(CompilerScript, LessCommonForms) {
    TCodeMemoParser p;
    CompileScript(p, R"(
%%Language
StartState = [3 4]
BoundStates = 7
Anchor = []
GutterColor = [*] 2147483663
MarginColor = [*] 1
GutterFontStyle = [3 8 fsUnderline]
WrapOverride = '>|:;'
Options = (__OPT_WORDWRAP or __OPT_AUTOINDENT or 1024) + 1
%%Handler
40 match(7) 1 __STD_IDENTIFIER 'x' 0
42 _WEB_CHAR * match(3) 1
%%Tokens
InState 9 (
  60 'a' match(2) [8]
  61 'b' '[0-9]' * __STD_NUMBER 1
  62 'c' [9]
  63 '[de]' 'x' '\n\n' 1
)
%%States
70 push ( +1 ) pop
71 pop ( -2 ) push
72 ( )
%%Containers
80 ( +[5 6] -1 )
%%KwTables
forstate [4] endswith '[^a-z]' ( 90 is 'alpha', 'beta' 91 is 'gamma' )
forstate [] ( 92 is 'delta' )
)",
                  {});
    EXPECT_EQ(p.StartState, TStateSet::Of({3, 4}));
    EXPECT_EQ(p.BoundStates, TStateSet::Of({7}));
    EXPECT_EQ(p.Anchor, TStateSet::Of({0}));
    const auto& st = p.Settings();
    EXPECT_TRUE(st.GutterColorDefault);
    EXPECT_EQ(st.GutterColor, 0x8000000Fu);
    EXPECT_TRUE(st.MarginColorDefault);
    EXPECT_EQ(st.GutterFontStyle, 8 | 4);
    EXPECT_EQ(st.WrapOverride, ">|:;");
    EXPECT_EQ(st.Options, 3073u);

    EXPECT_TRUE(p.CustomHandlers);
    ASSERT_TRUE(p.Continuations[40]);
    EXPECT_TRUE(p.Continuations[40]->Body.Custom);
    EXPECT_EQ(p.Continuations[40]->Body.Handler, 7);
    EXPECT_FALSE(p.Continuations[40]->End.IsHandler);
    EXPECT_EQ(p.Continuations[40]->End.EndCount, 0);
    EXPECT_TRUE(p.Continuations[1]->Body.IsHandler);
    EXPECT_EQ(p.Continuations[1]->Body.Handler, 10);
    EXPECT_EQ(p.Continuations[1]->End.Flag, 0);
    EXPECT_EQ(p.Continuations[42]->Body.Flag, 1);
    EXPECT_TRUE(p.Continuations[42]->End.Custom);
    EXPECT_EQ(p.Continuations[42]->End.Handler, 3);
    EXPECT_EQ(p.Continuations[42]->End.Flag, 1);

    ASSERT_TRUE(p.StateStart[9]);
    const auto& t = *p.StateStart[9];
    EXPECT_EQ(t.Rules['a']->Valid, TStateSet::Of({8, 9}));
    EXPECT_TRUE(t.Rules['a']->Body.Custom);
    EXPECT_EQ(t.Rules['b']->End.Handler, 16);
    EXPECT_EQ(t.Rules['b']->Body.Flag, 1);
    EXPECT_EQ(t.Rules['b']->End.Flag, 1);
    EXPECT_EQ(t.Rules['e']->End.EndCount, 2);
    EXPECT_EQ(p.Effects[60]->Valid, TStateSet::Of({8, 9}));
    EXPECT_FALSE(p.GlobalStart.Rules['a']);

    EXPECT_EQ(p.Effects[70]->StackFlags, sfPushBefore | sfPopAfter);
    EXPECT_TRUE(p.Effects[70]->Add.Empty()); // a pop afterwards empties the sets
    EXPECT_TRUE(p.Effects[70]->NoTransition);
    EXPECT_EQ(p.Effects[71]->StackFlags, sfPopBefore | sfPushAfter);
    EXPECT_EQ(p.Effects[71]->Remove, TStateSet::Of({2}));
    EXPECT_FALSE(p.Effects[71]->NoTransition);
    EXPECT_TRUE(p.Effects[72]->NoTransition);
    EXPECT_TRUE(p.Effects[80]->Bound);
    EXPECT_EQ(p.Effects[80]->Add, TStateSet::Of({5, 6}));
    EXPECT_EQ(p.Effects[80]->Remove, TStateSet::Of({1}));
    EXPECT_FALSE(p.Effects[70]->Bound);

    ASSERT_EQ(st.KeyTables.size(), 2u);
    EXPECT_EQ(st.KeyTables[0].States, TStateSet::Of({4}));
    EXPECT_GE(st.KeyTables[0].EndGroup, 0);
    EXPECT_TRUE(st.KeyTables[0].CaseSensitive);
    ASSERT_EQ(st.KeyTables[0].Words.size(), 3u);
    EXPECT_EQ(st.KeyTables[0].Words[1], (std::pair<std::string, uint8_t>{"beta", 90}));
    EXPECT_EQ(st.KeyTables[0].Words[2], (std::pair<std::string, uint8_t>{"gamma", 91}));
    EXPECT_EQ(st.KeyTables[1].States, TStateSet::Of({0}));
    EXPECT_EQ(st.KeyTables[1].EndGroup, -1);
    EXPECT_EQ(p.SecondaryKeywords.size(), 2u);
}

TEST(CompilerScript, GlobalRulesAndStartOnlyTokens) {
    TCodeMemoParser p;
    CompileScript(p, "%%Tokens\r5 '[\\1-\\s]' '[\\1-\\s]' * '[^\\1-\\s]' 0\r6 '[;,]' [0]\r"
                     "7 __STD_NUMBER\r8 '\"' '[^\"]' * '\"' 1");
    const auto toks = Tokens(p, "12 ;\t,\"q q\"x");
    const std::vector<std::pair<int, std::string>> expected = {{7, "12"}, {5, " "}, {6, ";"},
                                                               {5, "\t"}, {6, ","}, {8, "\"q q\""}};
    EXPECT_EQ(toks, expected);
}

TEST(CompilerScript, KeysAutoReplaceAndTemplates) {
    TCodeMemoParser p;
    // Before any %%Keys section the standard table is in place.
    EXPECT_GT(p.Settings().KeyStore.Store().Count(), 40);
    CompileScript(p, R"(
%%Keys
caLEFT ( LEFT | [ctrl] 'b' ) 'Back one'
caSETBOOKMARK3 ( [ctrl, shift] 'k', '3' | [alt] F2 )
%%AutoReplace
'teh' = 'the'
'sig' = 'Best\nregards'
actionkeys = ';\s\{Return}'
%%Templates
'ife' ('if else') = 'if () {\n} else {\n}'
'wh' = 'while'
hotkey = ( [ctrl, alt] 'T' )
)");
    const auto& keys = p.Settings().KeyStore;
    const auto bindings = keys.Store().Bindings();
    ASSERT_EQ(bindings.size(), 4u);
    auto has = [&](TShortCut first, TShortCut second, int32_t command) {
        for (const auto& b : bindings)
            if (b.First == first && b.Second == second && b.Command == command) return true;
        return false;
    };
    EXPECT_TRUE(has(37, 0, 0));
    EXPECT_TRUE(has(ShortCut('B', scCtrl), 0, 0));
    EXPECT_TRUE(has(ShortCut('K', scCtrl | scShift), '3', 23));
    EXPECT_TRUE(has(ShortCut(113, scAlt), 0, 23));
    EXPECT_EQ(keys.CommandName(0), "Back one");
    EXPECT_EQ(keys.CommandName(1), "Cursor right");

    const auto& ar = p.Settings().AutoReplace;
    ASSERT_EQ(ar.Count(), 2);
    EXPECT_EQ(*ar.FindExpansion("teh"), "the");
    EXPECT_EQ(*ar.FindExpansion("SIG"), "Best\rregards");
    EXPECT_EQ(ar.TriggerKeys(), ";\\s\\{Return}");
    EXPECT_EQ(ar.TriggerKeyList().size(), 3u);

    const auto& tp = p.Settings().Templates;
    ASSERT_EQ(tp.Count(), 2);
    EXPECT_EQ(tp.Entries().at("ife").Description, "if else");
    EXPECT_EQ(tp.Entries().at("ife").Expansion, "if () {\r} else {\r}");
    EXPECT_EQ(tp.TriggerShortCut(), ShortCut('T', scCtrl | scAlt));

    // Each section starts afresh: a second %%AutoReplace drops the entries and trigger keys.
    CompileScript(p, "%%AutoReplace 'a' = 'b' actionkeys = ':' %%AutoReplace 'c' = 'd'");
    EXPECT_EQ(p.Settings().AutoReplace.Count(), 1);
    EXPECT_EQ(p.Settings().AutoReplace.TriggerKeys(), TAutoReplace::DefaultTriggerKeys);
}
