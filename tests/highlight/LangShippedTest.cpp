// The definitions built into the program are the compiled scripts, read back through the stream.
#include "tests/highlight/LangShipped.h"
#include "highlight/ShippedDefinition.h"

#include <gtest/gtest.h>

using namespace quillet;
using namespace quillet::langtest;

namespace {

bool SameEffect(const std::optional<TTokenEffect>& a, const std::optional<TTokenEffect>& b) {
    if (bool(a) != bool(b)) return false;
    if (!a) return true;
    return a->Valid == b->Valid && a->Add == b->Add && a->Remove == b->Remove &&
           a->Bound == b->Bound && a->NoTransition == b->NoTransition &&
           a->StackFlags == b->StackFlags;
}

void ExpectSameDefinition(const TCodeMemoParser& shipped, const TCodeMemoParser& compiled) {
    const TCM_Settings& a = shipped.Settings();
    const TCM_Settings& b = compiled.Settings();
    EXPECT_EQ(a.Name, b.Name);
    EXPECT_EQ(a.ExampleText, b.ExampleText);
    EXPECT_EQ(a.Options, b.Options);
    EXPECT_EQ(a.FontName, b.FontName);
    EXPECT_EQ(a.FontCharset, b.FontCharset);
    EXPECT_EQ(a.GutterFontName, b.GutterFontName);
    EXPECT_EQ(a.GutterFontColor, b.GutterFontColor);
    EXPECT_EQ(a.StyleMap, b.StyleMap);
    ASSERT_EQ(a.EditableStyles.size(), b.EditableStyles.size());
    for (size_t i = 0; i < a.EditableStyles.size(); ++i) {
        EXPECT_EQ(a.EditableStyles[i].Name, b.EditableStyles[i].Name);
        EXPECT_EQ(a.EditableStyles[i].Style, b.EditableStyles[i].Style);
    }
    for (size_t s = 0; s < 256; ++s) {
        EXPECT_EQ(a.Styles[s].Defined, b.Styles[s].Defined) << "style " << s;
        EXPECT_EQ(a.Styles[s].Foreground, b.Styles[s].Foreground) << "style " << s;
        EXPECT_EQ(a.Styles[s].BackgroundDefault, b.Styles[s].BackgroundDefault) << "style " << s;
    }
    EXPECT_EQ(shipped.CaseSensitive, compiled.CaseSensitive);
    EXPECT_EQ(shipped.Anchor, compiled.Anchor);
    EXPECT_EQ(shipped.StartState, compiled.StartState);
    EXPECT_EQ(shipped.StatesWithTable, compiled.StatesWithTable);
    EXPECT_EQ(shipped.Keywords.Count(), compiled.Keywords.Count());
    EXPECT_EQ(RuleCount(shipped.GlobalStart), RuleCount(compiled.GlobalStart));
    for (size_t s = 0; s < 256; ++s) {
        EXPECT_EQ(bool(shipped.StateStart[s]), bool(compiled.StateStart[s])) << "state " << s;
        if (shipped.StateStart[s] && compiled.StateStart[s]) {
            EXPECT_EQ(RuleCount(*shipped.StateStart[s]), RuleCount(*compiled.StateStart[s]));
        }
    }
    for (size_t t = 0; t < 256; ++t) {
        EXPECT_TRUE(SameEffect(shipped.Effects[t], compiled.Effects[t])) << "token " << t;
        EXPECT_EQ(bool(shipped.Continuations[t]), bool(compiled.Continuations[t])) << t;
        // An entry never given restarts in the start state, however it is stored.
        EXPECT_EQ(shipped.Context[t].value_or(shipped.StartState),
                  compiled.Context[t].value_or(compiled.StartState))
            << "token " << t;
    }
}

} // namespace

TEST(LangShipped, BuiltInDefinitionsAreTheCompiledScripts) {
    for (const char* name : {"css", "html"}) {
        SCOPED_TRACE(name);
        const auto shipped = ShippedDefinition(name);
        auto compiled = CompileShipped(name);
        ExpectSameDefinition(*shipped, *compiled);
        // Both tokenize the example text alike.
        auto loaded = ShippedDefinition(name);
        const std::string& text = compiled->Settings().ExampleText;
        EXPECT_EQ(Walk(*loaded, text), Walk(*compiled, text));
    }
}
