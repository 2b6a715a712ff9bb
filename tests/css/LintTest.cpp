// The lint on small sheets (each kind of problem at its line and column) and on the corpus.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "css/Lint.h"

using namespace quillet::css;

namespace {

std::string Report(std::string_view text) {
    std::string out;
    for (const TProblem& p : Lint(text)) {
        if (!out.empty()) out += '\n';
        out += std::to_string(p.Line) + ":" + std::to_string(p.Column) + ": " + p.Message;
    }
    return out;
}

}  // namespace

TEST(Lint, EachKindOfProblemWhereItStands) {
    struct {
        const char* Text;
        const char* Want;
    } cases[] = {
        // Names.
        {"a { colr: red }", "1:5: unknown property 'colr'; did you mean 'color'?"},
        {"a {\n  zzzzzz: 1;\n}", "2:3: unknown property 'zzzzzz'"},
        {"a { -webkit-foo: 1; --my-var: #12; color-adjust: exact; _zoom: 1 }", ""},
        {"@font-face { font-family: X; src: url(x.woff); font-display: swap; unicode-range: U+0-7F }", ""},
        {"a { font-display: swap }", "1:5: unknown property 'font-display'"},
        {"@meda screen { a { color: red } }", "1:1: unknown at-rule '@meda'; did you mean '@media'?"},
        {"@zzzzzz x;\n@-moz-document url-prefix() { a { color: red } }", "1:1: unknown at-rule '@zzzzzz'"},
        {"@page { size: A4; margin: 1cm; @top-center { content: 'x' } }", ""},
        // Keyword values, only where the syntax is plain; globals and substitutions pass.
        {"a { display: blok }", "1:14: 'blok' is not a value of 'display'; did you mean 'block'?"},
        {"a { text-align: middle }", "1:17: 'middle' is not a value of 'text-align'"},
        {"a { display: INHERIT; float: revert-layer; position: var(--p); width: calc(100% - 2px) }", ""},
        {"a { border: 1px solid rebeccapurple; color: CurrentColor; margin: 0 auto !important }", ""},
        {"a { border: 1px solid redd }", "1:23: 'redd' is not a value of 'border'; did you mean 'red'?"},
        {"a { font-family: Whatever, sans-serif; animation: spin 1s; display: -webkit-box }", ""},
        // Colours.
        {"a { color: #12345; background: #abcd; border-color: #ggg }",
         "1:12: invalid hex colour '#12345'\n1:53: invalid hex colour '#ggg'"},
        {"#main { color: #fff } a[href='#x'] { background: url(#y) }", ""},
        // Repeats: the same value twice is a slip, another value a fallback.
        {"a {\n color: red;\n COLOR: red;\n}", "3:2: 'COLOR' repeats the same value as line 2"},
        {"a { width: 10px; width: calc(1px + 2px); } b { width: 10px }", ""},
        // Empty rules; a comment inside marks a placeholder.
        {"a {}\nb { }\nc { /* later */ }", "1:1: empty rule\n2:1: empty rule"},
        {"@media print { .x {} }", "1:16: empty rule"},
        // Blocks and brackets: reported where they open; a stray closer where it stands.
        {"a { color: red;\nb { color: blue }", "1:3: '{' is never closed"},
        {"a { color: red } }", "1:18: '}' closes nothing"},
        {"a { width: calc(1px + 2px; }", "1:16: '(' is never closed"},
        {"a[href { color: red }", "1:2: '[' is never closed"},
        {"a { color: red) }", "1:15: ')' closes nothing"},
        // Unterminated comments and strings.
        {"a { color: red }\n/* never ends", "2:1: unterminated comment"},
        {"a { content: \"abc\n}", "1:14: unterminated string"},
        // Columns count characters, not bytes.
        {"/* ё */ a { colr: red }", "1:13: unknown property 'colr'; did you mean 'color'?"},
        // Nested rules and keyframes.
        {"a { color: red; &:hover { colr: blue } }", "1:27: unknown property 'colr'; did you mean 'color'?"},
        {"@keyframes spin { from { opacity: 0 } 50% { opacity: .5 } to { opacity: 1 } }", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(Report(c.Text), c.Want) << c.Text;
}

// Real, published sheets: none of their property names or colours is unknown to us.
TEST(Lint, CorpusHasNoUnknownPropertyOrBadColour) {
    const std::filesystem::path root = "/work/shared/corpus/css";
    if (!std::filesystem::exists(root)) GTEST_SKIP() << "no corpus at " << root;
    int sheets = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file() || entry.path().extension() != ".css") continue;
        std::ifstream f(entry.path(), std::ios::binary);
        std::stringstream text;
        text << f.rdbuf();
        ++sheets;
        for (const TProblem& p : Lint(text.str())) {
            EXPECT_EQ(p.Message.find("unknown"), std::string::npos) << entry.path() << ':' << p.Line << ": " << p.Message;
            EXPECT_EQ(p.Message.find("colour"), std::string::npos) << entry.path() << ':' << p.Line << ": " << p.Message;
            EXPECT_EQ(p.Message.find("never closed"), std::string::npos) << entry.path() << ':' << p.Line;
        }
    }
    EXPECT_GT(sheets, 20);
}

// Nesting by the hundred thousand (typed, pasted or a damaged file) once ran the lint's block
// reader out of stack; past a depth no sheet has, blocks are stepped over and what follows them
// is still read.
TEST(Lint, DeepNestingIsSteppedOverAndTheSheetAfterItIsStillRead) {
    for (const std::string& prefix : {std::string(1000000, '{'), [] {
                                           std::string s;
                                           for (int i = 0; i < 200000; ++i)
                                               s += i % 2 ? "a{" : "@media x{";
                                           return s;
                                       }()}) {
        const size_t opened = size_t(std::count(prefix.begin(), prefix.end(), '{'));
        const std::vector<TProblem> open = Lint(prefix);
        ASSERT_EQ(open.size(), opened); // each "{" never closed, at its own column
        EXPECT_EQ(open.back().Column, int(prefix.size()));
        EXPECT_EQ(Report(prefix + std::string(opened, '}') + "\nb{colr:red}").substr(0, 4), "2:3:");
    }
}
