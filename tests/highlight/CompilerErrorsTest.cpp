// Every message a script can raise, with the line and column it is reported at.
#include "highlight/CodeMemoParser.h"
#include "highlight/Compiler.h"
#include "highlight/ScriptError.h"

#include <gtest/gtest.h>

#include <string>

using namespace quillet;

namespace {

struct TFailure {
    std::string Message;
    int Line = 0;
    int Column = 0;
};

TFailure Fail(const std::string& script) {
    TCodeMemoParser p;
    try {
        CompileScript(p, script);
    } catch (const ECM_COMP_ERROR& e) {
        return {e.Detail(), e.Line(), e.Column()};
    }
    return {"(compiled)", 0, 0};
}

#define EXPECT_FAILS_AT(script, message, line, column)                                             \
    do {                                                                                           \
        const TFailure f = Fail(script);                                                           \
        EXPECT_EQ(f.Message, message) << script;                                                   \
        EXPECT_EQ(f.Line, line) << script;                                                         \
        EXPECT_EQ(f.Column, column) << script;                                                     \
    } while (0)

#define EXPECT_FAILS(script, message) EXPECT_EQ(Fail(script).Message, message) << script

} // namespace

TEST(CompilerErrors, PunctuationAndValueKinds) {
    EXPECT_FAILS_AT("%%Language\r  Gutter 5", "'=' expected", 2, 10);
    EXPECT_FAILS_AT("%%States\r5 [1])", "'(' expected", 2, 3);
    EXPECT_FAILS_AT("%%States 5 (+1 'a')", "')' expected", 1, 16);
    EXPECT_FAILS_AT("%%Language EditableStyles ('a' 1)", "',' expected", 1, 32);
    EXPECT_FAILS("%%Language EditableStyles 'a'", "'(' expected");
    EXPECT_FAILS("%%Language EditableStyles ('a', 1", "')' expected");
    EXPECT_FAILS_AT("%%Language ContextStates = (1 2)", "'[' expected", 1, 32);
    EXPECT_FAILS("%%Language ContextStates = 1", "'(' expected");
    EXPECT_FAILS_AT("%%Words 'a' '' 1 [1 2 'x']", "']' expected", 1, 23);
    EXPECT_FAILS("%%Words 'a' '' 1 [1 2", "']' expected");
    EXPECT_FAILS_AT("%%Language Name = 5", "String value expected", 1, 19);
    EXPECT_FAILS("%%Words '' '' 1", "String value expected");
    EXPECT_FAILS("%%Handlers 1 'a' 2 0", "String value expected");
    EXPECT_FAILS("%%Language SelTextBack = [1] 5", "Script syntax error");
    EXPECT_FAILS("%%Language SelTextBack = [* 5", "']' expected");
}

TEST(CompilerErrors, SyntaxAndExpressions) {
    // Anything that is not a section at section level.
    EXPECT_FAILS_AT("%%Language\r Name = 'x'\r 5", "Script syntax error", 3, 2);
    EXPECT_FAILS_AT("'x'", "Script syntax error", 1, 1);
    // A number that is no standard recogniser cannot start a token.
    EXPECT_FAILS_AT("%%Tokens\r3 9", "Script syntax error", 2, 3);
    EXPECT_FAILS("%%Tokens 3 21", "Script syntax error");
    EXPECT_FAILS_AT("%%Map 1 'a'", "Expression expected", 1, 9);
    EXPECT_FAILS_AT("%%Map (1 + ]", "Expression expected", 1, 12);
    EXPECT_FAILS_AT("%%Map (1 2", "Expression expected", 1, 10);
    EXPECT_FAILS("%%Map 1 (2 or", "Expression expected");
    EXPECT_FAILS("%%KwTables forstate [1] ( 1 'a' )", "Script syntax error");
    // Deep nesting is refused instead of exhausting the stack.
    EXPECT_FAILS("%%Map 1 " + std::string(200, '(') + "1" + std::string(200, ')'), "(compiled)");
    EXPECT_FAILS("%%Map 1 " + std::string(100000, '('), "Expression nested too deeply");
}

TEST(CompilerErrors, RangesAndLimits) {
    EXPECT_FAILS_AT("%%Map 1 256", "Value must be 0..255", 1, 9);
    EXPECT_FAILS("%%Map (200 + 100) 1", "Value must be 0..255");
    EXPECT_FAILS("%%Map (1 - 2) 1", "Value must be 0..255");
    EXPECT_FAILS("%%Language EditableStyles ('a', 256)", "Value must be 0..255");
    EXPECT_FAILS("%%Language FontCharSet = 300", "Value must be 0..255");
    EXPECT_FAILS_AT("%%Language Name = 'a\\777'", "Value must be 0..255", 1, 19);
    EXPECT_FAILS_AT("%%Words 'a' '' 1 [5 256]", "Range error, value outwith 0 .. 255", 1, 21);
    EXPECT_FAILS("%%States 1 (+300)", "Range error, value outwith 0 .. 255");
    EXPECT_FAILS("%%Language IndentStep = 21", "Range error, value outwith 0 .. 20");
    // Layout numbers stop where a layout stops making sense.
    EXPECT_FAILS("%%Language TabDefault = 0", "Range error, value outwith 1 .. 256");
    EXPECT_FAILS("%%Language TabDefault = 2147483647", "Range error, value outwith 1 .. 256");
    EXPECT_FAILS("%%Language Gutter = (0 - 1)", "Range error, value outwith 0 .. 1024");
    EXPECT_FAILS("%%Language Gutter = 2147483647", "Range error, value outwith 0 .. 1024");
    EXPECT_FAILS("%%Language WordWrapColumn = 65536", "Range error, value outwith 0 .. 65535");
    EXPECT_FAILS("%%Language FontSize = 100000", "Range error, value outwith 0 .. 1000");
    EXPECT_FAILS("%%Language TabColumns = '9 2147483647'", "Tab stop column value expected");

    // Fifty editable styles fill the list, across sections; the next one fails.
    std::string script = "%%Language EditableStyles";
    for (int i = 0; i < 30; ++i)
        script += " ('s" + std::to_string(i) + "', 1),";
    script += "\r%%Language\rEditableStyles";
    for (int i = 30; i < 50; ++i)
        script += " ('s" + std::to_string(i) + "', 1)";
    EXPECT_EQ(Fail(script).Message, "(compiled)");
    EXPECT_FAILS_AT(script + "\r ('one more', 2)", "Too many editable styles", 4, 2);

    EXPECT_FAILS_AT("%%Language\rContextStates = (3 4 [1]),\r (5 4 [2])",
                    "Token value 4 re-specified in ContextState", 3, 5);
}

TEST(CompilerErrors, CharacterSpecifications) {
    EXPECT_FAILS_AT("%%Words 'a' 'bc' 1", "Single character specifier expected", 1, 13);
    EXPECT_FAILS("%%Tokens 1 'ab' [0]", "Single character specifier expected");
    EXPECT_FAILS("%%Tokens 1 '' [0]", "Single character specifier expected");
    EXPECT_FAILS("%%Handlers 1 '[a-z]x' '' 0", "Single character specifier expected");
    EXPECT_FAILS("%%KwTables forstate [1] endswith 'ab' (1 is 'x')",
                 "Single character specifier expected");
    EXPECT_FAILS_AT("%%Handlers 1 'a' 'ab\\n[0-9]'\r 0", "(compiled)", 0, 0);
    EXPECT_FAILS_AT("%%Handlers 1 'a' * 'abcde' 0", "Maximum of 4 character specifier allowed", 1,
                    20);
    EXPECT_FAILS("%%Tokens 1 'a' 'b' 'abcde' 0", "Maximum of 4 character specifier allowed");
    EXPECT_FAILS_AT("%%Words 'a' '[z-a]' 1", "Characters not in correct order for range specifier",
                    1, 13);
}

TEST(CompilerErrors, DuplicatesAndAmbiguities) {
    EXPECT_FAILS_AT("%%Words 'if' '' 1 [0 1]\r'if' '' 2 [1 2]", "Duplicate entry in %%word table",
                    2, 1);
    // Disjoint states may share a keyword; case folding makes IF and if one keyword.
    EXPECT_EQ(Fail("%%Words 'if' '' 1 [0] 'if' '' 2 [1] 'IF' '' 3").Message, "(compiled)");
    EXPECT_FAILS("%%Language Case = 0\r%%Words 'if' '' 1 'IF' '' 3",
                 "Duplicate entry in %%word table");
    // A case change after the words rebuilds them and finds the clash there.
    EXPECT_FAILS_AT("%%Words 'if' '' 1 'IF' '' 3\r%%Language\r  Case = 0",
                    "Duplicate entry in %%word table", 3, 10);

    EXPECT_FAILS_AT("%%Handlers 1 'a' '' 0\r 1 'b' '' 0", "Duplicate entry in %%handler table", 2,
                    2);
    // Start sets clash in one table even when the rules' states differ.
    EXPECT_FAILS_AT("%%Tokens 1 '[a-c]' [1]\r 2 'c' [2]", "Ambigious start set in %%token table", 2,
                    4);
    EXPECT_FAILS("%%Tokens 1 __STD_IDENTIFIER 2 '_'", "Ambigious start set in %%token table");
    EXPECT_FAILS("%%Tokens InState 3 (1 __STD_NUMBER) InState 3 (2 '5' [3])",
                 "Ambigious start set in %%token table");
    EXPECT_EQ(Fail("%%Tokens 1 __STD_NUMBER InState 3 (2 '5')").Message, "(compiled)");

    EXPECT_FAILS_AT("%%Effects 0 [] 0 0 0 [] 1 1\r3 [] 0 0\r3 [] 1 1", "Duplicate %%effect entry",
                    3, 1);
    EXPECT_FAILS_AT("%%Effects 3 0 0 0", "Bad font style specifier", 1, 13);
    EXPECT_FAILS("%%Effects 3 [fsBold 'x'] 0 0", "Bad font style specifier");
    EXPECT_FAILS("%%Language GutterFontStyle = fsBold", "Bad font style specifier");

    EXPECT_FAILS_AT("%%KwTables forstate [1 2] (1 is 'a')\r forstate [2 3] (2 is 'b')",
                    "Ambigious key table state definition", 2, 2);
    EXPECT_FAILS("%%KwTables forstate [1] (1 is 'a' 'b', 2 is 'a')", "Duplicate keyword - 'a'");
    // A table for the same states replaces the earlier one, so its words do not collide.
    EXPECT_EQ(Fail("%%KwTables forstate [1] (1 is 'a')\r forstate [1] (2 is 'a')").Message,
              "(compiled)");
    std::string tables = "%%KwTables";
    for (int i = 1; i <= 22; ++i)
        tables += " forstate [" + std::to_string(i) + "] (1 is 'w')";
    EXPECT_FAILS(tables, "Too many keyword tables (at most 21)");
}

TEST(CompilerErrors, HandlerNumbersOutsideTheBuiltInOnes) {
    const std::string bad = "Invalid handler number (3): built-in handlers are 0..2 and 10..20";
    EXPECT_FAILS_AT("%%Handlers 1 3 '' 0", bad, 1, 14);
    EXPECT_FAILS("%%Tokens 1 'a' 'b' 3 0", bad);
    EXPECT_FAILS("%%Tokens 1 'a' 21 '' 0",
                 "Invalid handler number (21): built-in handlers are 0..2 and 10..20");
    EXPECT_EQ(Fail("%%Handlers 1 2 '' 0 2 __STD_JS_LINE_COMMENT '' 0").Message, "(compiled)");
}

TEST(CompilerErrors, KeysAndExpansions) {
    EXPECT_FAILS_AT("%%Keys 1 (LEFT) ''", "Key function name cannot be blank", 1, 17);
    EXPECT_FAILS_AT("%%Keys 1 ( [ctrl] )", "Key specification required", 1, 19);
    EXPECT_FAILS("%%Keys 1 ( )", "Key specification required");
    EXPECT_FAILS("%%Keys 1 ( 'a', )", "Key specification required");
    EXPECT_FAILS("%%Keys 1 ( 0 )", "Key specification required");
    EXPECT_FAILS("%%Keys 1 ( 300 )", "Value must be 0..255");
    EXPECT_FAILS("%%Keys 1 ( 'ab' )", "Single character specifier expected");
    EXPECT_FAILS("%%Keys 1 ( [ctrl 'x'] 'a' )", "']' expected");
    EXPECT_FAILS("%%Keys 1 ( 'a' 'b' )", "')' expected");
    EXPECT_FAILS("%%Keys 1 'a'", "'(' expected");
    EXPECT_FAILS_AT("%%Keys 1 ( 'a' )\r 2 ( LEFT | 'A' )",
                    "Duplicate key sequence definition for\r\n\"Line start\" and \"Cursor right\"",
                    2, 13);
    EXPECT_FAILS_AT("%%AutoReplace\r actionkeys = '\\{Return'", "Bad key specifier", 2, 2);
    EXPECT_FAILS("%%AutoReplace actionkeys ';'", "'=' expected");
    EXPECT_FAILS("%%AutoReplace 'a' 'b'", "'=' expected");
    EXPECT_FAILS_AT("%%Templates 'x' = 'y'\r '' = 'z'", "An entry needs a name", 2, 2);
    EXPECT_FAILS("%%Templates 'x' ('y' = 'z'", "')' expected");
    EXPECT_FAILS("%%Templates hotkey = 'J'", "'(' expected");
    EXPECT_FAILS("%%Templates hotkey = ( [ctrl] )", "Key specification required");
}

TEST(CompilerErrors, TabColumns) {
    EXPECT_EQ(Fail("%%Language TabColumns = ' 3;5 9 '").Message, "(compiled)");
    EXPECT_FAILS_AT("%%Language TabColumns = '9 x'", "Tab stop column value expected", 1, 25);
    EXPECT_FAILS("%%Language TabColumns = '9 12a'", "Tab stop column value expected");
    EXPECT_FAILS("%%Language TabColumns = '9 5'", "Tab columns must be in order and unique");
    EXPECT_FAILS("%%Language TabColumns = '9 9'", "Tab columns must be in order and unique");
    EXPECT_FAILS("%%Language TabColumns = '1 5'", "Tab column must be > 1");
    std::string many;
    for (int i = 2; i <= 34; ++i)
        many += std::to_string(i) + " ";
    EXPECT_FAILS("%%Language TabColumns = '" + many + "'", "Too many tab stops - maximum of 32");
}

TEST(CompilerErrors, ReportTextCarriesLineAndColumn) {
    TCodeMemoParser p;
    try {
        CompileScript(p, "%%Language\r\n  Name = 'ok'\r\n  Case = 'x'");
        FAIL();
    } catch (const EQuilletError& e) {
        EXPECT_EQ(std::string(e.what()), "** ERROR near line 3, Column 10: Expression expected");
    }
    // What was built before the error stays.
    EXPECT_EQ(p.Settings().Name, "ok");
}
