// The style sheet formatter on real sheets and on the shapes that trip formatters up: it keeps
// every token as the editor's highlighter reads them, is idempotent, and formatting the minified
// text gives the formatted text again.
#include "css/Format.h"
#include "editor/Rescan.h"
#include "editor/TextStore.h"
#include "highlight/CodeMemoParser.h"
#include "highlight/ShippedDefinition.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace quillet {
namespace {

using css::Format;
using css::Minify;

// The non-blank tokens of a text as the shipped CSS definition scans them: value and text.
std::vector<std::pair<int, std::string>> HighlightTokens(std::string_view text) {
    static TCodeMemoParser def;
    static bool loaded = (LoadShippedDefinition(def, "css"), true);
    (void)loaded;
    TTextStore store;
    store.Insert(TOffset(0), text);
    TRescanner scanner(store);
    scanner.SetSupplyTokenText(true);
    std::vector<std::pair<int, std::string>> out;
    scanner.OnTokenSeen = [&](TRescanner& sender, uint8_t& value, int, int) {
        std::string_view t = sender.TokenText();
        if (t.find_first_not_of(" \t\r\n\f") != std::string_view::npos)
            out.emplace_back(value, std::string(t));
    };
    scanner.SetDefinition(&def);
    scanner.ScanAll();
    return out;
}

std::string NonBlank(std::string_view s) {
    std::string out;
    for (char c : s)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '\f') out += c;
    return out;
}

// Every promise of the formatter for one text.
void CheckInvariants(const std::string& name, const std::string& text, bool viaHighlighter) {
    const std::string formatted = Format(text).Text;
    const std::string minified = Minify(text).Text;
    EXPECT_EQ(Format(formatted).Text, formatted) << name << ": not idempotent";
    EXPECT_EQ(Minify(minified).Text, minified) << name << ": minify not idempotent";
    EXPECT_EQ(Format(minified).Text, formatted) << name << ": format(minify(x)) != format(x)";
    EXPECT_EQ(NonBlank(formatted), NonBlank(text)) << name << ": a character lost or added";
    EXPECT_EQ(NonBlank(minified), NonBlank(text)) << name;
    EXPECT_LE(minified.size(), text.size()) << name;
    if (!viaHighlighter) return;
    const auto tokens = HighlightTokens(text);
    EXPECT_TRUE(HighlightTokens(formatted) == tokens) << name << ": tokens differ after format";
    EXPECT_TRUE(HighlightTokens(minified) == tokens) << name << ": tokens differ after minify";
}

TEST(Format, EveryCorpusSheetKeepsItsTokensAndRoundTrips) {
    const std::filesystem::path root = "/work/shared/corpus/css";
    if (!std::filesystem::exists(root)) GTEST_SKIP() << "no corpus";
    // The highlighter reads no single-quoted strings, so a double quote inside one starts a
    // string for it that ends with the line: such sheets are compared character by character.
    const std::regex quoteInQuote("'[^'\\n]*\"[^'\\n]*'");
    int sheets = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file() || entry.path().extension() != ".css") continue;
        std::ifstream f(entry.path(), std::ios::binary);
        std::stringstream ss;
        ss << f.rdbuf();
        const std::string text = ss.str();
        CheckInvariants(entry.path().filename().string(), text,
                        !std::regex_search(text, quoteInQuote));
        ++sheets;
    }
    EXPECT_GT(sheets, 20);
}

TEST(Format, LayoutOfTheShapesThatMatter) {
    struct TCase {
        const char* In;
        const char* Out;
    };
    const TCase cases[] = {
        // One declaration per line, a blank line between rules, selector lists one a line.
        {"a,b>c{color:red;margin:0 auto!important}p{}",
         "a,\nb > c {\n    color: red;\n    margin: 0 auto !important\n}\n\np {}\n"},
        // Braces and semicolons inside strings and url() are no structure.
        {"a{content:\"{;}\";background:url(x;y{}.png)}",
         "a {\n    content: \"{;}\";\n    background: url(x;y{}.png)\n}\n"},
        // Nested blocks; at-rule heads keep their own blanks.
        {"@media screen and (min-width:10px){a{b:c}d{e:f}}@import 'x';",
         "@media screen and (min-width:10px) {\n    a {\n        b: c\n    }\n\n    d {\n"
         "        e: f\n    }\n}\n\n@import 'x';\n"},
        // Comments stay where they stand: own line, end of line, inside a value.
        {"/* head */\na { /* open */\n  color: red; /* why */\n  /* own */\n  margin: 0 /* v */ "
         "1px;\n}",
         "/* head */\na { /* open */\n    color: red; /* why */\n    /* own */\n    margin: 0 /* v "
         "*/ "
         "1px;\n}\n"},
        // A comment before a rule belongs to the rule: the blank line goes above it.
        {"a{x:y}b:c;\n/* r */\nd{}", "a {\n    x: y\n}\n\nb: c;\n\n/* r */\nd {}\n"},
        // A string left open ends at its line: the line break stays after it.
        {"a{content:\"x\n;b:c}", "a {\n    content: \"x\n;\n    b: c\n}\n"},
        // Nothing is written after a comment or url( the end of the text leaves open.
        {"a{}/* open", "a {} /* open"},
        {"a{b:url(x", "a {\n    b: url(x"},
        // Descendant blanks are significant; a stray brace stands alone.
        {"a  .b :hover{}}", "a .b :hover {}\n\n}\n"},
        // Escapes and calc() keep their blanks.
        {"a\\{b{width:calc(1px + -2px)}", "a\\{b {\n    width: calc(1px + -2px)\n}\n"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(Format(c.In).Text, c.Out) << c.In;
        CheckInvariants(c.In, c.In, true);
    }
    EXPECT_EQ(Minify("a > b , c { color : red ; }\n/* x */\nd{}").Text,
              "a>b,c{color:red;}\n/* x */d{}");
}

TEST(Format, PiecesAndCaretPlaces) {
    // A piece cut out of a block is indented from the depth it starts at, and closes it.
    css::TFormatOptions options;
    options.BaseDepth = 1;
    options.IndentStep = 2;
    EXPECT_EQ(Format("color:red;b{c:d}}e{}", options).Text,
              "  color: red;\n\n  b {\n    c: d\n  }\n}\n\ne {}\n");
    EXPECT_EQ(css::DepthAt("@media x{a{/*{*/b:\"{\"", 21), 2);
    // An offset keeps its token; one in blanks goes to the next token.
    const auto r = Format("a{color:red}");
    EXPECT_EQ(r.Text.substr(size_t(r.MapOffset(9)), 2), "ed");
    EXPECT_EQ(r.Text.substr(size_t(r.MapOffset(2)), 5), "color");
    EXPECT_EQ(r.MapOffset(100), int(r.Text.size()));
    const auto s = Format("a {   b: c }");
    EXPECT_EQ(s.Text.substr(size_t(s.MapOffset(4)), 1), "b");
    EXPECT_EQ(s.Text.substr(size_t(s.MapOffset(10)) - 1, 2), "c\n"); // just after a token
}

} // namespace
} // namespace quillet
