// The shipped HTML script: its compiled tables and walks that cross HTML, script and style text.
#include "tests/highlight/LangShipped.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace quillet;
using namespace quillet::langtest;

namespace {

const TStateSet Html = TStateSet::Of({0});
const TStateSet Script = TStateSet::Of({2});
const TStateSet StyleSelector = TStateSet::Of({10, 50});
const TStateSet CfTag = TStateSet::Of({11});

class LangHtml : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Def = CompileShipped("html").release(); }
    static void TearDownTestSuite() {
        delete Def;
        Def = nullptr;
    }
    static TCodeMemoParser* Def;
    TCodeMemoParser& P = *Def;
};
TCodeMemoParser* LangHtml::Def = nullptr;

std::vector<std::string> Words(const std::string& list) {
    std::istringstream in(list);
    std::vector<std::string> out;
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

std::string Lower(std::string s) {
    for (auto& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c + 32);
    return s;
}

} // namespace

TEST_F(LangHtml, SharesTheEditorPropertiesOfTheCssDefinition) {
    const auto css = CompileShipped("css");
    const TCM_Settings& a = P.Settings();
    const TCM_Settings& b = css->Settings();
    EXPECT_EQ(a.Name, "HTML / JS / VBS");
    EXPECT_FALSE(P.CaseSensitive);
    EXPECT_EQ(a.Options, 0x03FFDBF0u);
    EXPECT_EQ(a.GutterColor, 0x8000000Fu);
    EXPECT_EQ(a.FontCharset, 204);
    EXPECT_EQ(a.GutterFontName, "MS Sans Serif");
    EXPECT_EQ(a.WrapOverride, ">|:");
    EXPECT_EQ(a.TabDefault, 4);
    EXPECT_EQ(std::tie(a.Options, a.MarginWidth, a.RightMargin, a.WordWrapColumn, a.GutterWidth,
                       a.IndentStep, a.MarginColor, a.GutterColor, a.SelTextColor, a.SelTextBack,
                       a.TabDefault, a.TabColumns, a.WrapOverride, a.FontName, a.FontSize,
                       a.FontCharset, a.GutterFontName, a.GutterFontSize, a.GutterFontCharset,
                       a.GutterFontColor, a.GutterFontStyle),
              std::tie(b.Options, b.MarginWidth, b.RightMargin, b.WordWrapColumn, b.GutterWidth,
                       b.IndentStep, b.MarginColor, b.GutterColor, b.SelTextColor, b.SelTextBack,
                       b.TabDefault, b.TabColumns, b.WrapOverride, b.FontName, b.FontSize,
                       b.FontCharset, b.GutterFontName, b.GutterFontSize, b.GutterFontCharset,
                       b.GutterFontColor, b.GutterFontStyle));

    EXPECT_EQ(P.Anchor, TStateSet::Of({6}));
    EXPECT_EQ(P.StartState, Html);
    EXPECT_TRUE(P.BoundStates.Empty());
    EXPECT_FALSE(P.CustomHandlers);
    for (int t = 0; t < 256; ++t) {
        ASSERT_TRUE(P.Context[size_t(t)]);
        const bool script = t == 30 || t == 38 || t == 39;
        EXPECT_EQ(*P.Context[size_t(t)], script ? Script : Html) << "token " << t;
    }
}

TEST_F(LangHtml, ExampleTextShowsEveryKindOfBlock) {
    const std::string text = P.Settings().ExampleText;
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.find('\n'), std::string::npos); // lines end with CR only
    std::vector<bool> seen(256, false);
    for (const auto& [part, token] : Walk(P, text))
        seen[size_t(token)] = true;
    // Tags, comments, entities, style-sheet and script tokens all occur.
    for (int t : {6,   10,  11,  12,  17,  22,  30,  34,  36,  38,  39,  40,
                  100, 102, 121, 122, 131, 133, 134, 135, 137, 138, 141, 145})
        EXPECT_TRUE(seen[size_t(t)]) << "token " << t;
}

TEST_F(LangHtml, StylesAreAllEditableInOrder) {
    const TCM_Settings& st = P.Settings();
    struct TWant {
        int Style;
        const char* Name;
        uint8_t Font;
        TColor Fore, Back;
        bool ForeDefault, BackDefault;
    };
    const TColor white = 0xFFFFFF;
    const TWant want[] = {{0, "Default Text", 0, 0x000000, white, false, false},
                          {1, "Numbers", 0, 0xFF0000, white, false, true},
                          {2, "Strings", 0, 0xFF0000, white, false, true},
                          {4, "HTML Tags/Attributes", 0, 0x800000, white, false, true},
                          {9, "Script Tags", 0, 0x000080, white, false, true},
                          {12, "Comments", 0, 0x808000, white, false, true},
                          {13, "Script Default", 0, 0x000080, white, false, true},
                          {17, "HTML Special Characters", 1, 0x808080, white, false, true},
                          {22, "HTML Form Tags", 0, 0x0080FF, white, false, true},
                          {30, "JavaScript Keywords", 1, 0x800000, white, false, true},
                          {34, "JavaScript Strings", 2, 0x000000, white, true, true},
                          {36, "JavaScript Identifiers", 0, 0x000000, white, true, true},
                          {37, "JavaScript Numbers", 0, 0xFF00FF, white, false, true},
                          {38, "JavaScript Symbols", 0, 0xFF0000, white, false, true},
                          {39, "JavaScript Methods", 1, 0x000000, white, true, true},
                          {100, "HTML Anchor Tags", 0, 0xFF00FF, white, false, true},
                          {101, "HTML Image Tags", 0, 0x800080, white, false, true},
                          {102, "HTML Table Tags", 0, 0x008000, white, false, true},
                          {103, "Macromedia Cold Fusion Ta", 0, 0x000080, white, false, true},
                          {104, "Microsoft ASP Tags", 0, 0x000000, 0x00FFFF, true, false},
                          {120, "HTML Style Tags", 0, 0x800080, white, false, true},
                          {131, "StyleSheet Selectors", 0, 0xFF00FF, white, false, true},
                          {133, "StyleSheet Properties", 0, 0x800000, white, false, true},
                          {134, "StyleSheet Values", 0, 0x0000FF, white, false, true},
                          {150, "Punctuation { } ; :", 1, 0x800000, white, false, true}};
    ASSERT_EQ(st.EditableStyles.size(), 25u);
    std::vector<bool> listed(256, false);
    for (size_t i = 0; i < std::size(want); ++i) {
        const TWant& w = want[i];
        SCOPED_TRACE(w.Name);
        EXPECT_EQ(st.EditableStyles[i].Name, w.Name);
        EXPECT_EQ(st.EditableStyles[i].Style, w.Style);
        const TCM_Style& s = st.Styles[size_t(w.Style)];
        EXPECT_TRUE(s.Defined);
        EXPECT_EQ(s.FontStyle, w.Font);
        EXPECT_EQ(s.Foreground, w.Fore);
        EXPECT_EQ(s.Background, w.Back);
        EXPECT_EQ(s.ForegroundDefault, w.ForeDefault);
        EXPECT_EQ(s.BackgroundDefault, w.BackDefault);
        EXPECT_FALSE(s.Hotspot);
        listed[size_t(w.Style)] = true;
    }
    for (int s = 0; s < 256; ++s)
        if (!listed[size_t(s)]) {
            EXPECT_FALSE(st.Styles[size_t(s)].Defined) << "style " << s;
        }
}

TEST_F(LangHtml, StyleMap) {
    std::array<uint8_t, 256> map{};
    auto to = [&](int style, std::initializer_list<int> tokens) {
        for (int t : tokens)
            map[size_t(t)] = uint8_t(style);
    };
    to(1, {1, 105, 141, 145});
    to(2, {2, 142, 143});
    to(4, {3, 4, 6});
    to(9, {9, 10, 11});
    to(12, {12, 14, 31, 42, 43, 106, 130, 144, 151});
    to(13, {13});
    to(17, {17});
    to(22, {20, 21, 22});
    to(30, {30});
    to(34, {34, 35});
    to(36, {36});
    to(37, {37, 40});
    to(38, {38});
    to(39, {39});
    to(100, {100});
    to(101, {101});
    to(102, {102});
    to(103, {103, 107});
    to(104, {104});
    to(120, {120, 121, 122});
    to(131, {131});
    to(133, {133});
    to(134, {134});
    to(150, {135, 136, 137, 138, 140, 150});
    EXPECT_EQ(P.Settings().StyleMap, map);
    EXPECT_EQ(std::count_if(map.begin(), map.end(), [](uint8_t s) { return s != 0; }), 53);
}

TEST_F(LangHtml, KeywordsWithTheirStatesAndEndConditions) {
    const auto all = KeywordEntries(P);
    EXPECT_EQ(P.Keywords.Count(), 247);
    EXPECT_EQ(all.size(), 247u);

    // What may follow a keyword: "any", a name character excluded, or a name start required.
    enum TEnd { Any, NotName, Name, Hex };
    auto check = [&](const std::string& text, int token, int state, TEnd end) {
        SCOPED_TRACE(text + " in state " + std::to_string(state));
        const TKeywordEntry* e = FindKeyword(all, Lower(text), state);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->Token, token);
        if (end == Any) {
            EXPECT_EQ(e->EndGroup, -1);
            return;
        }
        ASSERT_GE(e->EndGroup, 0);
        const TCM_CharGroup& g = P.Groups.Group(e->EndGroup);
        for (int c = 0; c < 256; ++c) {
            const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
            const bool digit = c >= '0' && c <= '9';
            bool want = false;
            if (end == NotName) want = !(letter || digit || c == '_');
            if (end == Name) want = letter || digit;
            if (end == Hex) want = c == 'x' || c == 'X';
            EXPECT_EQ(g.Contains(uint8_t(c)), want) << "character " << c;
        }
    };
    check("<", 6, 0, Name);
    check("</", 6, 0, Name);
    check("<!", 6, 0, Any);
    check("<script", 10, 0, NotName);
    check("</script", 11, 2, NotName);
    check("<style", 121, 0, NotName);
    check("</style", 122, 10, NotName);
    check("<!--", 12, 0, Any);
    check("<!---", 106, 0, Any);
    check("-->", 14, 2, Any);
    check("<!--", 151, 2, Any);
    check("<!--", 130, 10, Any);
    check("-->", 130, 10, Any);
    check("/*", 42, 2, Any);
    check("/*", 144, 10, Any);
    check("//", 43, 2, Any);
    check("<Mv", 13, 0, Any);
    check("</Mv", 13, 0, Any);
    check("<cf", 103, 0, Any);
    check("</cf", 103, 0, Any);
    check(">", 107, 11, Any);
    check("<%", 104, 0, Any);
    check("<a", 100, 0, NotName);
    check("</a", 100, 0, NotName);
    check("<img", 101, 0, NotName);
    for (const auto& tag : Words("table td th tr caption col colgroup tbody tfoot thead")) {
        check("<" + tag, 102, 0, NotName);
        check("</" + tag, 102, 0, NotName);
    }
    for (const auto& tag : Words("button fieldset form input isindex label legend optgroup option "
                                 "select textarea")) {
        check("<" + tag, 22, 0, NotName);
        if (tag != "input" && tag != "isindex") check("</" + tag, 22, 0, NotName);
    }
    EXPECT_EQ(FindKeyword(all, "</input", 0), nullptr);
    EXPECT_EQ(FindKeyword(all, "</img", 0), nullptr);

    const auto keywords = Words(
        "abstract boolean break byte case catch char class const continue default do double else "
        "extends false final finally float for function goto if implements import in instanceof "
        "int interface long native new null package private protected public return short static "
        "super switch synchroniz this throw throws transient true try var void while with");
    ASSERT_EQ(keywords.size(), 53u);
    for (const auto& w : keywords)
        check(w, 30, 2, NotName);
    const auto methods = Words(
        "abs acos alert anchor asin atan back big blink blur bold ceil charAt clear clearTimeout "
        "click close confirm cos escape eval exp fixed floor focus fontcolor fontsize forward "
        "getDate getDay getHours getMinutes getMonth getSeconds getTime getTimezoneOffset getYear "
        "go indexOf isNaN italics lastIndexOf link log max min open parse parseFloat parseInt pow "
        "prompt random round select setDate setHours setMinutes setMonth setSeconds setTimeout "
        "setTime setYear sin small sqrt strike sub submit substring sup tan toGMTString "
        "toLocaleString toLowerCase toUpperCase unescape UTC write writeln");
    ASSERT_EQ(methods.size(), 80u);
    for (const auto& w : methods)
        check(w, 39, 2, NotName);
    const auto symbols = Words(", = += -= *= /= %= <<= >>= >>>= &= ^= |= ?: || && | ^ & == != < "
                               "<= > >= << >> >>> + - * / % ! ~ ++ -- ( ) [ ] .");
    ASSERT_EQ(symbols.size(), 42u);
    for (const auto& w : symbols)
        check(w, 38, 2, Any);
    check("0", 40, 2, Hex);
    check("{", 135, 10, Any);
    check("}", 136, 52, Any);
    check(":", 137, 52, Any);
    check(";", 138, 53, Any);
    check(".", 140, 50, Any);
    check("#", 145, 52, Any);

    // Each entry counts in exactly the listed states.
    EXPECT_EQ(FindKeyword(all, "<", 2)->States, Script);
    EXPECT_EQ(FindKeyword(all, "}", 52)->States, TStateSet::Of({52, 53}));
    EXPECT_EQ(FindKeyword(all, "#", 53)->States, TStateSet::Of({52, 53}));
    EXPECT_EQ(FindKeyword(all, "var", 2)->States, Script);
    EXPECT_EQ(FindKeyword(all, "<table", 0)->States, Html);
    EXPECT_EQ(FindKeyword(all, "var", 0), nullptr);
}

TEST_F(LangHtml, Continuations) {
    const std::vector<int> tags = {6, 10, 11, 13, 22, 100, 101, 102, 121, 122};
    std::vector<int> all = tags;
    all.insert(all.end(), {12, 106, 104, 42, 144, 43, 151, 40, 105, 145});
    for (int t = 0; t < 256; ++t)
        EXPECT_EQ(bool(P.Continuations[size_t(t)]),
                  std::find(all.begin(), all.end(), t) != all.end())
            << "token " << t;

    auto endText = [&](const TRulePart& end) {
        std::string s;
        for (int i = 0; i < end.EndCount; ++i) {
            const TCM_CharGroup& g = P.Groups.Group(end.EndGroups[size_t(i)]);
            EXPECT_EQ(g.Lowest(), g.Highest()); // one character per position
            s.push_back(char(g.Lowest()));
        }
        return s;
    };
    auto anyBody = [&](const TContinuationRule& r) {
        if (r.Body.IsHandler || r.Body.Flag != 1) return false;
        for (int c = 0; c < 256; ++c)
            if (!P.Groups.Group(r.Body.Group).Contains(uint8_t(c))) return false;
        return true;
    };
    for (int t : tags) {
        SCOPED_TRACE("token " + std::to_string(t));
        const auto& r = *P.Continuations[size_t(t)];
        EXPECT_TRUE(anyBody(r));
        EXPECT_EQ(endText(r.End), ">");
        EXPECT_EQ(r.End.Flag, 1);
    }
    for (auto [t, end] : std::initializer_list<std::pair<int, const char*>>{
             {12, "->"}, {106, "--->"}, {104, "%>"}, {42, "*/"}, {144, "*/"}}) {
        SCOPED_TRACE("token " + std::to_string(t));
        const auto& r = *P.Continuations[size_t(t)];
        EXPECT_TRUE(anyBody(r));
        EXPECT_EQ(endText(r.End), end);
        EXPECT_EQ(r.End.Flag, 1);
    }
    const auto& line = *P.Continuations[43];
    EXPECT_TRUE(line.Body.IsHandler);
    EXPECT_FALSE(line.Body.Custom);
    EXPECT_EQ(line.Body.Handler, 19);

    const auto& rest = *P.Continuations[151];
    EXPECT_FALSE(P.Groups.Group(rest.Body.Group).Contains('\r'));
    EXPECT_TRUE(P.Groups.Group(rest.Body.Group).Contains('x'));
    EXPECT_EQ(endText(rest.End), "\r");
    EXPECT_EQ(rest.End.Flag, 0);

    for (int t : {40, 105, 145}) {
        SCOPED_TRACE("token " + std::to_string(t));
        const auto& r = *P.Continuations[size_t(t)];
        EXPECT_EQ(r.Body.Flag, 0);
        EXPECT_EQ(r.End.Flag, 0);
        const TCM_CharGroup& body = P.Groups.Group(r.Body.Group);
        EXPECT_TRUE(body.Contains('0') && body.Contains('f') && body.Contains('F'));
        EXPECT_FALSE(body.Contains('g') || body.Contains(';'));
        EXPECT_EQ(body.Contains('x'), t == 40);
        const TCM_CharGroup& end = P.Groups.Group(r.End.EndGroups[0]);
        EXPECT_TRUE(end.Contains(';') && end.Contains('g') && end.Contains('x'));
        EXPECT_FALSE(end.Contains('9') || end.Contains('a'));
    }
}

TEST_F(LangHtml, StartTables) {
    EXPECT_EQ(P.StatesWithTable, TStateSet::Of({2, 11, 50, 52, 53}));
    EXPECT_EQ(RuleCount(P.GlobalStart), 86);
    EXPECT_EQ(RuleCount(*P.StateStart[2]), 100);
    EXPECT_EQ(RuleCount(*P.StateStart[11]), 255);
    EXPECT_EQ(RuleCount(*P.StateStart[50]), 53);
    EXPECT_EQ(RuleCount(*P.StateStart[52]), 53);
    EXPECT_EQ(RuleCount(*P.StateStart[53]), 66);

    auto token = [&](const TStartTable& t, int c) { return t.Rules[size_t(c)]->Token; };
    auto handler = [&](const TStartTable& t, int c) {
        const auto& r = *t.Rules[size_t(c)];
        return r.Start.IsHandler ? r.Start.Handler : -1;
    };
    for (int c = 1; c <= 32; ++c) {
        EXPECT_EQ(token(P.GlobalStart, c), 15);
        EXPECT_EQ(token(*P.StateStart[2], c), 32);
    }
    EXPECT_FALSE(P.GlobalStart.Rules[0]);
    EXPECT_EQ(token(P.GlobalStart, '&'), 17);
    EXPECT_EQ(handler(P.GlobalStart, 'k'), 10);
    EXPECT_EQ(token(P.GlobalStart, 'k'), 16);
    EXPECT_FALSE(P.GlobalStart.Rules['<']);

    const TStartTable& script = *P.StateStart[2];
    EXPECT_EQ(handler(script, '"'), 13);
    EXPECT_EQ(token(script, '"'), 34);
    EXPECT_EQ(handler(script, '.'), 11);
    EXPECT_EQ(token(script, '9'), 37);
    for (char c : std::string(":{}"))
        EXPECT_EQ(token(script, c), 150);
    EXPECT_EQ(handler(script, 'Q'), 10);
    EXPECT_EQ(token(script, '_'), 36);
    EXPECT_FALSE(script.Rules[';']);

    const TStartTable& cf = *P.StateStart[11];
    EXPECT_FALSE(cf.Rules['\'']);
    EXPECT_EQ(handler(cf, '"'), 18);
    for (int c : std::initializer_list<int>{0, 1, '>', 'a', 255})
        EXPECT_EQ(token(cf, c), 103) << c;

    EXPECT_EQ(token(*P.StateStart[50], 'a'), 131);
    EXPECT_EQ(token(*P.StateStart[52], 'a'), 133);
    const TStartTable& value = *P.StateStart[53];
    EXPECT_EQ(handler(value, '"'), 18);
    EXPECT_EQ(token(value, '"'), 142);
    EXPECT_EQ(handler(value, '\''), 12);
    EXPECT_EQ(token(value, '\''), 143);
    EXPECT_EQ(token(value, '.'), 141);
    EXPECT_EQ(token(value, 'z'), 134);
    // Every rule of a state table is valid in its state only.
    for (int s : {2, 11, 50, 52, 53})
        for (const auto& r : P.StateStart[size_t(s)]->Rules)
            if (r) {
                EXPECT_EQ(r->Valid, TStateSet::Of({s}));
            }
}

TEST_F(LangHtml, TokenEffects) {
    struct TWant {
        int Token;
        TStateSet Valid, Add, Remove;
    };
    std::vector<TWant> want = {
        {10, Html, Script, Html},
        {11, TStateSet::Of({0, 2}), Html, Script},
        {121, Html, StyleSelector, TStateSet::Of({0, 2})},
        {122, TStateSet::Of({0, 10}), Html, TStateSet::Of({10, 50, 52, 53})},
        {103, TStateSet::Of({0, 11}), CfTag, Html},
        {107, TStateSet::Of({0, 11}), Html, CfTag},
        {135, TStateSet::Of({0, 10}), TStateSet::Of({52}), TStateSet::Of({50, 53})},
        {136, TStateSet::Of({0, 52, 53}), TStateSet::Of({50}), TStateSet::Of({52, 53})},
        {137, TStateSet::Of({0, 52}), TStateSet::Of({53}), TStateSet::Of({50, 52})},
        {138, TStateSet::Of({0, 53}), TStateSet::Of({52}), TStateSet::Of({50, 53})}};
    auto only = [&](TStateSet valid, std::initializer_list<int> tokens) {
        for (int t : tokens)
            want.push_back({t, valid, {}, {}});
    };
    only(Html, {6, 12, 13, 15, 16, 17, 22, 100, 101, 102, 104, 106});
    only(TStateSet::Of({0, 2}), {14, 30, 38, 39, 40, 42, 43, 151});
    only(Script, {32, 34, 36, 37, 150});
    only(TStateSet::Of({0, 10}), {130, 144});
    only(TStateSet::Of({50}), {131});
    only(TStateSet::Of({52}), {133});
    only(TStateSet::Of({53}), {134, 141, 142, 143});
    only(TStateSet::Of({0, 50}), {140});
    only(TStateSet::Of({0, 52, 53}), {145});
    ASSERT_EQ(want.size(), 45u);

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

TEST_F(LangHtml, TagsAreOneTokenToTheirClose) {
    EXPECT_EQ(Walk(P, "<table>"), (TTokens{{"<table>", 102}}));
    EXPECT_EQ(Walk(P, "<TABLE border=1\rwidth=\"100%\">x"),
              (TTokens{{"<TABLE border=1\rwidth=\"100%\">", 102}, {"x", 16}}));
    EXPECT_EQ(Walk(P, "</td><tr>"), (TTokens{{"</td>", 102}, {"<tr>", 102}}));
    // A longer tag name is an ordinary tag, not a table tag.
    EXPECT_EQ(Walk(P, "<tablex>"), (TTokens{{"<tablex>", 6}}));
    EXPECT_EQ(Walk(P, "<a href=x>y</a>"), (TTokens{{"<a href=x>", 100}, {"y", 16}, {"</a>", 100}}));
    EXPECT_EQ(Walk(P, "<abbr>"), (TTokens{{"<abbr>", 6}}));
    EXPECT_EQ(Walk(P, "<img src=a.gif>"), (TTokens{{"<img src=a.gif>", 101}}));
    EXPECT_EQ(Walk(P, "<input type=text>"), (TTokens{{"<input type=text>", 22}}));
    EXPECT_EQ(Walk(P, "<!DOCTYPE html>"), (TTokens{{"<!DOCTYPE html>", 6}}));
    // "<" before anything but a name is text; a tag cut off by the text end keeps its value.
    EXPECT_EQ(Walk(P, "a < b"), (TTokens{{"a", 16}, {" ", 15}, {"<", 0}, {" ", 15}, {"b", 16}}));
    EXPECT_EQ(Walk(P, "<p class=x"), (TTokens{{"<p class=x", 6}}));
    // Server tags.
    EXPECT_EQ(Walk(P, "<% x > 1 %>"), (TTokens{{"<% x > 1 %>", 104}}));
    EXPECT_EQ(Walk(P, "<MvEVAL x>"), (TTokens{{"<MvEVAL x>", 13}}));
}

TEST_F(LangHtml, CommentsAndTheLongestKeyword) {
    EXPECT_EQ(Walk(P, "<!-- a <b> -->c"), (TTokens{{"<!-- a <b> -->", 12}, {"c", 16}}));
    EXPECT_EQ(Walk(P, "<!--- a -- b --->c"), (TTokens{{"<!--- a -- b --->", 106}, {"c", 16}}));
    EXPECT_EQ(Walk(P, "<!-- open\rline"), (TTokens{{"<!-- open\rline", 12}}));
    // Script operators: the longest that fits wins.
    const auto steps = WalkStates(P, "<script>a>>>=b>>c</script>");
    const TTokens want = {{"<script>", 10}, {"a", 36}, {">>>=", 38},     {"b", 36},
                          {">>", 38},       {"c", 36}, {"</script>", 11}};
    ASSERT_EQ(steps.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i)
        EXPECT_EQ((std::pair{steps[i].Text, steps[i].Token}), want[i]);
}

TEST_F(LangHtml, EntitiesEndBeforeTheirSemicolon) {
    EXPECT_EQ(Walk(P, "a&amp;b"), (TTokens{{"a", 16}, {"&amp", 17}, {";", 0}, {"b", 16}}));
    EXPECT_EQ(Walk(P, "&nbsp x"), (TTokens{{"&nbsp", 17}, {" ", 15}, {"x", 16}}));
    EXPECT_EQ(Walk(P, "&#169;"), (TTokens{{"&#169", 17}, {";", 0}}));
    EXPECT_EQ(Walk(P, "&\rx"), (TTokens{{"&", 17}, {"\r", 15}, {"x", 16}}));
    EXPECT_EQ(Walk(P, "&copy"), (TTokens{{"&copy", 17}}));
}

TEST_F(LangHtml, ScriptBlockWithKeywordsAndComments) {
    const std::string text = "<script language=\"JavaScript\">\r"
                             "var n = 0x1F; // count\r"
                             "alert(\"a\\\"b\");\r"
                             "</script>var";
    const auto steps = WalkStates(P, text);
    std::vector<TWalkStep> want = {{"<script language=\"JavaScript\">", 10, Script},
                                   {"\r", 32, Script},
                                   {"var", 30, Script},
                                   {" ", 32, Script},
                                   {"n", 36, Script},
                                   {" ", 32, Script},
                                   {"=", 38, Script},
                                   {" ", 32, Script},
                                   {"0x1F", 40, Script},
                                   {";", 0, Script},
                                   {" ", 32, Script},
                                   {"// count", 43, Script},
                                   {"\r", 32, Script},
                                   {"alert", 39, Script},
                                   {"(", 38, Script},
                                   {"\"a\\\"b\"", 34, Script},
                                   {")", 38, Script},
                                   {";", 0, Script},
                                   {"\r", 32, Script},
                                   {"</script>", 11, Html},
                                   // Back in HTML text a script keyword is a plain word.
                                   {"var", 16, Html}};
    EXPECT_EQ(steps, want);

    // Keywords need a word end; numbers and block comments; an empty line comment.
    EXPECT_EQ(Walk(P, "<script>alerts 12.5/* c\r*/x//\r</script>"), (TTokens{{"<script>", 10},
                                                                             {"alerts", 36},
                                                                             {" ", 32},
                                                                             {"12.5", 37},
                                                                             {"/* c\r*/", 42},
                                                                             {"x", 36},
                                                                             {"//", 43},
                                                                             {"\r", 32},
                                                                             {"</script>", 11}}));
    // "0" before x or X starts a hexadecimal number, with or without digits after the x.
    EXPECT_EQ(Walk(P, "<script>0x;0XaF 0xg 0x</script>"), (TTokens{{"<script>", 10},
                                                                   {"0x", 40},
                                                                   {";", 0},
                                                                   {"0XaF", 40},
                                                                   {" ", 32},
                                                                   {"0x", 40},
                                                                   {"g", 36},
                                                                   {" ", 32},
                                                                   {"0x", 40},
                                                                   {"</script>", 11}}));
    // The old trick of hiding a script in an HTML comment.
    EXPECT_EQ(Walk(P, "<script><!-- hide\rf()// -->\r</script>"), (TTokens{{"<script>", 10},
                                                                           {"<!-- hide", 151},
                                                                           {"\r", 32},
                                                                           {"f", 36},
                                                                           {"(", 38},
                                                                           {")", 38},
                                                                           {"// ", 43},
                                                                           {"-->", 14},
                                                                           {"\r", 32},
                                                                           {"</script>", 11}}));
    // Restarting at a script token resumes inside the script.
    P.ResetState(38);
    EXPECT_EQ(P.State, Script);
    P.ResetState(6);
    EXPECT_EQ(P.State, Html);
}

TEST_F(LangHtml, StyleBlockUsesTheStyleSheetStates) {
    const std::string text = "<style type=\"text/css\">\r"
                             "H2.x { color: #F00; margin: 2px }\r"
                             "</style><p>";
    const TStateSet decl = TStateSet::Of({10, 52});
    const TStateSet value = TStateSet::Of({10, 53});
    std::vector<TWalkStep> want = {{"<style type=\"text/css\">", 121, StyleSelector},
                                   {"\r", 0, StyleSelector},
                                   {"H2", 131, StyleSelector},
                                   {".", 140, StyleSelector},
                                   {"x", 131, StyleSelector},
                                   {" ", 0, StyleSelector},
                                   {"{", 135, decl},
                                   {" ", 0, decl},
                                   {"color", 133, decl},
                                   {":", 137, value},
                                   {" ", 0, value},
                                   {"#F00", 145, value},
                                   {";", 138, decl},
                                   {" ", 0, decl},
                                   {"margin", 133, decl},
                                   {":", 137, value},
                                   {" ", 0, value},
                                   {"2", 141, value},
                                   {"px", 134, value},
                                   {" ", 0, value},
                                   {"}", 136, StyleSelector},
                                   {"\r", 0, StyleSelector},
                                   {"</style>", 122, Html},
                                   {"<p>", 6, Html}};
    EXPECT_EQ(WalkStates(P, text), want);
    // Comments of a style block, and strings of both kinds in values.
    EXPECT_EQ(WalkWords(P, "<style><!-- a{b:'x' \"y\"} /* c */ --></style>"),
              (TTokens{{"<style>", 121},
                       {"<!--", 130},
                       {"a", 131},
                       {"{", 135},
                       {"b", 133},
                       {":", 137},
                       {"'x'", 143},
                       {"\"y\"", 142},
                       {"}", 136},
                       {"/* c */", 144},
                       {"-->", 130},
                       {"</style>", 122}}));
}

TEST_F(LangHtml, ColdFusionTagsRunToTheirClose) {
    const auto steps = WalkStates(P, "<cfset x = \">\"><b>");
    ASSERT_GE(steps.size(), 4u);
    EXPECT_EQ(steps[0], (TWalkStep{"<cf", 103, CfTag}));
    // Each character is a token of the tag; a quoted ">" does not end it.
    std::string inside;
    size_t i = 1;
    for (; i < steps.size() && steps[i].Token == 103; ++i) {
        EXPECT_EQ(steps[i].State, CfTag);
        inside += steps[i].Text;
    }
    EXPECT_EQ(inside, "set x = \">\"");
    ASSERT_EQ(steps.size(), i + 2);
    EXPECT_EQ(steps[i], (TWalkStep{">", 107, Html}));
    EXPECT_EQ(steps[i + 1], (TWalkStep{"<b>", 6, Html}));
    // The apostrophe has no rule inside the tag.
    EXPECT_EQ(WalkStates(P, "<cf'")[1], (TWalkStep{"'", 0, CfTag}));
}
