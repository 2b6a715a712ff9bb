// The scanner and its preprocessor: lexical rules, positions, macros, conditionals, includes.
#include "highlight/CodeMemoParser.h"
#include "highlight/Compiler.h"
#include "highlight/ScriptError.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

using namespace quillet;
namespace fs = std::filesystem;

namespace {

struct TTok {
    TScriptToken Token;
    int64_t Number;
    std::string Raw;
    int Line;
    int Column;
};

std::vector<TTok> Scan(std::string_view text, TCompileOptions options = {}) {
    TCM_Compiler s(text, std::move(options));
    std::vector<TTok> out;
    for (s.Next(); s.Token() != stEOF; s.Next())
        out.push_back({s.Token(), s.Number(), s.Raw(), s.Line(), s.Column()});
    return out;
}

// The detail text of the scan's error with its position, or "" when there was none.
std::string ScanError(std::string_view text, int* line = nullptr, int* column = nullptr,
                      TCompileOptions options = {}) {
    try {
        Scan(text, std::move(options));
    } catch (const ECM_COMP_ERROR& e) {
        if (line) *line = e.Line();
        if (column) *column = e.Column();
        return e.Detail();
    }
    return "";
}

// A scratch folder removed at the end of the test.
class TTempDir {
public:
    TTempDir() {
        std::random_device rd;
        FPath = fs::temp_directory_path() / ("quillet-compiler-" + std::to_string(rd()));
        fs::create_directories(FPath);
    }
    ~TTempDir() {
        std::error_code ec;
        fs::remove_all(FPath, ec);
    }
    std::string Write(const std::string& name, const std::string& text) const {
        const fs::path p = FPath / name;
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << text;
        return p.string();
    }
    std::string Path() const { return FPath.string(); }

private:
    fs::path FPath;
};

} // namespace

TEST(CompilerScanner, LexicalRules) {
    auto t = Scan("%%WORDS\r\n  'ab' 12 /* a\r\n comment */ [ Is\t,\r// to the end\rNAME=");
    ASSERT_EQ(t.size(), 8u);
    EXPECT_EQ(t[0].Token, stWords);
    EXPECT_EQ(t[1].Token, stString);
    EXPECT_EQ(t[1].Raw, "ab");
    EXPECT_EQ(t[1].Line, 2);
    EXPECT_EQ(t[1].Column, 3);
    EXPECT_EQ(t[2].Number, 12);
    EXPECT_EQ(t[3].Token, ssOpenBracket);
    EXPECT_EQ(t[3].Line, 3);
    EXPECT_EQ(t[3].Column, 13);
    EXPECT_EQ(t[4].Token, swIs);
    EXPECT_EQ(t[5].Token, ssComma);
    EXPECT_EQ(t[6].Token, spName);
    EXPECT_EQ(t[6].Line, 5);
    EXPECT_EQ(t[7].Token, ssEquals);
    EXPECT_EQ(t[7].Column, 5);

    // Lines end at CR, at LF alone, and once at CR LF; character 160 is a blank.
    t = Scan("1\n2\r\n3\r4\xA0 5");
    ASSERT_EQ(t.size(), 5u);
    EXPECT_EQ(t[3].Line, 4);
    EXPECT_EQ(t[4].Line, 4);
    EXPECT_EQ(t[4].Column, 4);

    // The longest keyword wins, but not when glued to a word character.
    t = Scan("%%handlers %%handler gutterfontcolor(");
    EXPECT_EQ(t[0].Token, stHandlers);
    EXPECT_EQ(t[1].Token, stHandlers);
    EXPECT_EQ(t[2].Token, spGutterFontColor);
    EXPECT_EQ(t[3].Token, ssOpenParen);
    EXPECT_EQ(ScanError("names"), "Identifier \"names\" Unknown");
    EXPECT_EQ(ScanError("4294967295 4294967296"), "Numeric value out of range");

    // A string keeps its backslashes raw; one ending a line continues it.
    t = Scan("'a\\'b' 'one \\\r\n    \\two'");
    EXPECT_EQ(t[0].Raw, "a\\'b");
    EXPECT_EQ(t[1].Raw, "one two");
    EXPECT_EQ(t[1].Line, 1);
    int line = 0, column = 0;
    EXPECT_EQ(ScanError("\r  'open\r'", &line, &column), "Unterminated string");
    EXPECT_EQ(line, 2);
    EXPECT_EQ(column, 3);
    EXPECT_EQ(ScanError("\r\r  1 @", &line, &column), "Unknown character in input stream: #$40");
    EXPECT_EQ(line, 3);
    EXPECT_EQ(column, 5);
    // A '#' before anything but a directive is an ordinary character.
    EXPECT_EQ(ScanError("#defined x"), "Unknown character in input stream: #$23");
    EXPECT_EQ(ScanError("#DEFINE x"), "Unknown character in input stream: #$23");
}

TEST(CompilerScanner, MacrosExpandAndReportWhereTheyAreUsed) {
    auto t = Scan("#define TWO 2   \r#define SUM (TWO + clRed) \rSUM\r#define two 3\rTWO");
    ASSERT_EQ(t.size(), 6u);
    EXPECT_EQ(t[0].Token, ssOpenParen);
    EXPECT_EQ(t[1].Number, 2);
    EXPECT_EQ(t[1].Line, 3);
    EXPECT_EQ(t[3].Number, 255);
    EXPECT_EQ(t[4].Token, ssCloseParen);
    EXPECT_EQ(t[5].Number, 3) << "a later definition replaces an earlier one, ignoring case";
    EXPECT_EQ(t[5].Line, 5);

    // Predefined names stand for their numbers.
    t = Scan("caGOTOBOOKMARK9 F12 __OPT_CARET_AFTER_EOL __std_c_string_sq oem_charset");
    EXPECT_EQ(t[0].Number, 39);
    EXPECT_EQ(t[1].Number, 123);
    EXPECT_EQ(t[2].Number, 134217728);
    EXPECT_EQ(t[3].Number, 20);
    EXPECT_EQ(t[4].Number, 255);

    // A macro standing for its own name is not kept.
    EXPECT_EQ(ScanError("#define A a\rA"), "Identifier \"A\" Unknown");
    int line = 0, column = 0;
    EXPECT_EQ(ScanError("#define A B\r#define B A\r\r   A", &line, &column),
              "Recursive expansion of macro 'A'");
    EXPECT_EQ(line, 4);
    EXPECT_EQ(column, 4);
    EXPECT_EQ(ScanError("#define A 1 + A\rA"), "Recursive expansion of macro 'A'");
    // The same macro twice in a row is no recursion.
    EXPECT_EQ(Scan("#define X 1\rX X X").size(), 3u);
    EXPECT_EQ(ScanError("#define X @\r\r X", &line, &column),
              "Unknown character in input stream: #$40");
    EXPECT_EQ(line, 3);
    EXPECT_EQ(column, 2);
    EXPECT_EQ(ScanError("  #define   \r", &line, &column), "Macro name expected");
    EXPECT_EQ(column, 3);
    EXPECT_EQ(ScanError("#define 9x"), "Macro name expected");
}

TEST(CompilerScanner, ConditionalsNestAndSkipEverythingButDirectives) {
    const char* text = "#ifdef ver200\r 1\r #ifndef NOPE\r  2\r #else\r  @ unknown 'x\r"
                       " #endif\r #ifdef NOPE\r  #ifdef ver200\r   @@\r  #else\r   @@\r"
                       "  #endif\r #else\r  3\r #endif\r#else\r 4\r#endif\r5";
    auto t = Scan(text);
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t[0].Number, 1);
    EXPECT_EQ(t[1].Number, 2);
    EXPECT_EQ(t[2].Number, 3);
    EXPECT_EQ(t[3].Number, 5);
    // Definitions in skipped text are not made.
    t = Scan("#ifdef NOPE\r#define A 7\r#endif\r#ifndef A\r8\r#endif");
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].Number, 8);
    // An end of input while skipping just ends the input.
    EXPECT_TRUE(Scan("#ifdef NOPE\r1 2 3").empty());
    EXPECT_EQ(ScanError("#ifdef\r1"), "Macro name expected after #ifdef");
    EXPECT_EQ(ScanError("#ifndef 'x'"), "Macro name expected after #ifdef");
    int line = 0;
    EXPECT_EQ(ScanError("1\r#else", &line), "#else without #ifdef");
    EXPECT_EQ(line, 2);
    EXPECT_EQ(ScanError("#ifdef A\r#endif\r#endif"), "#endif without #ifdef");
}

TEST(CompilerScanner, IncludesBothFormsAndTheirFailures) {
    TTempDir dir;
    const std::string main = dir.Write("lang/main.scr", "");
    dir.Write("lang/sub/near.inc", "#include \"deeper.inc\"\r 2");
    dir.Write("lang/sub/deeper.inc", "1");
    dir.Write("lib/common.inc", "#define COMMON 30\r");
    dir.Write("lang/local.inc", "40");
    dir.Write("lang/bad.inc", "\r\r  @");
    dir.Write("lang/self.inc", "#include \"self.inc\"");

    TCompileOptions o;
    o.ScriptDir = dir.Path() + "/lang";
    o.SourceName = main;
    o.IncludePaths = {dir.Path() + "/lib"};
    // "..." is relative to the including file; <...> tries the include paths, then the
    // script's folder; a backslash separates folders as well.
    auto t = Scan("#include \"sub\\near.inc\"\r#include <common.inc>\rCOMMON\r"
                  "#include <local.inc> 5",
                  o);
    ASSERT_EQ(t.size(), 5u);
    EXPECT_EQ(t[0].Number, 1);
    EXPECT_EQ(t[1].Number, 2);
    EXPECT_EQ(t[2].Number, 30);
    EXPECT_EQ(t[3].Number, 40);
    EXPECT_EQ(t[4].Number, 5);

    EXPECT_EQ(ScanError("#include \"missing.inc\"", nullptr, nullptr, o),
              "Unable to open #include file \"missing.inc\"");
    EXPECT_EQ(ScanError("#include <common.inc", nullptr, nullptr, o),
              "#include filename missing terminating >");
    EXPECT_EQ(ScanError("#include \"common.inc\r\"", nullptr, nullptr, o),
              "#include filename missing terminating \"");
    EXPECT_EQ(ScanError("#include common.inc", nullptr, nullptr, o),
              "#include filename not enclosed in \"...\" or <...>");
    EXPECT_EQ(ScanError("#include \"self.inc\"", nullptr, nullptr, o),
              "Recursive #include of file " + dir.Path() + "/lang/self.inc");
    // An include inside skipped text is not even looked at.
    EXPECT_TRUE(Scan("#ifdef NOPE\r#include \"missing.inc\"\r#endif", o).empty());

    // An error inside an included file is placed in that file.
    try {
        Scan("1\r#include \"bad.inc\"", o);
        FAIL();
    } catch (const ECM_COMP_ERROR& e) {
        EXPECT_EQ(e.Line(), 3);
        EXPECT_EQ(e.Column(), 3);
        EXPECT_EQ(e.Source(), dir.Path() + "/lang/bad.inc");
        EXPECT_EQ(std::string(e.what()),
                  "** ERROR near line 3, Column 3: Unknown character in input stream: #$40");
    }

    // A caller can keep includes away from the file system.
    TCompileOptions sealed = o;
    std::vector<std::string> asked;
    sealed.OpenInclude = [&](const std::string& path, std::string& text) {
        asked.push_back(path);
        text = "77";
        return path.find("ok") != std::string::npos;
    };
    t = Scan("#include <ok.inc>", sealed);
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].Number, 77);
    EXPECT_EQ(ScanError("#include <common.inc>", nullptr, nullptr, sealed),
              "Unable to open #include file <common.inc>");
    EXPECT_EQ(asked.back(), dir.Path() + "/lang/common.inc");
}

TEST(CompilerScanner, ScriptFilesCompileWithTheirIncludes) {
    TTempDir dir;
    dir.Write("defs.inc", "#define KW_TOKEN 9\r");
    const std::string path =
        dir.Write("lang.scr", "#include \"defs.inc\"\r%%Language\rName = 'From file'\r"
                              "%%Words\r'begin' '' KW_TOKEN\r");
    TCodeMemoParser p;
    p.Compile(path);
    EXPECT_EQ(p.Settings().Name, "From file");
    EXPECT_EQ(p.Keywords.Count(), 1);
    ASSERT_TRUE(p.Effects[9]);

    // A script that cannot be read leaves the tables as they were.
    EXPECT_THROW(p.Compile(dir.Path() + "/none.scr"), EFileError);
    EXPECT_THROW(p.Compile(dir.Path()), EFileError);
    EXPECT_EQ(p.Settings().Name, "From file");

    const std::string bad = dir.Write("bad.scr", "%%Language\r\rName 'x'");
    try {
        CompileScriptFile(p, bad);
        FAIL();
    } catch (const ECM_COMP_ERROR& e) {
        EXPECT_EQ(std::string(e.what()), "** ERROR near line 3, Column 6: '=' expected");
        EXPECT_EQ(e.Source(), bad);
    }
}
