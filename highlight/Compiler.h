// The script compiler: the scanner with its preprocessor (TCM_Compiler) and the entry points
// that compile a language script into a definition's tables.
#pragma once

#include "highlight/WordStore.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

class TCodeMemoParser;

enum TScriptToken : int {
    stEOF = 0,
    stNumber,
    stString,
    // Sections.
    stLanguage,
    stWords,
    stHandlers,
    stTokens,
    stMap,
    stEffects,
    stStates,
    stContainers,
    stKeys,
    stAutoReplace,
    stTemplates,
    stKwTables,
    // Language properties.
    spName,
    spCase,
    spOptions,
    spExampleText,
    spEditableStyles,
    spWordWrapColumn,
    spFontName,
    spFontSize,
    spFontCharset,
    spGutter,
    spGutterColor,
    spMarginColor,
    spMarginWidth,
    spAnchor,
    spStartState,
    spContextStates,
    spIndentStep,
    spWrapOverride,
    spSelTextColor,
    spSelTextBack,
    spRightMargin,
    spTabColumns,
    spTabDefault,
    spBoundStates,
    spGutterFontName,
    spGutterFontSize,
    spGutterFontColor,
    spGutterFontStyle,
    // Other words.
    swInState,
    swShift,
    swCtrl,
    swAlt,
    swOr,
    swMatch,
    swActionKeys,
    swHotkey,
    swForState,
    swEndsWith,
    swIs,
    swPush,
    swPop,
    // Symbols.
    ssEquals,
    ssOpenParen,
    ssCloseParen,
    ssOpenBracket,
    ssCloseBracket,
    ssComma,
    ssPlus,
    ssMinus,
    ssQuestion,
    ssBar,
    ssStar,
};

// Reads an #include file into text; answers false when it cannot be opened.
using TIncludeOpener = std::function<bool(const std::string& path, std::string& text)>;

struct TCompileOptions {
    // Directory of the script: "..." includes of the top text and the last place <...> looks.
    std::string ScriptDir;
    // Searched in order for <...> includes before ScriptDir.
    std::vector<std::string> IncludePaths;
    // Named in error reports for the top text (a path, or empty for text given directly).
    std::string SourceName;
    // Reads include files; empty means the file system.
    TIncludeOpener OpenInclude;
    // When set, receives the path of every file an #include read.
    std::vector<std::string>* Included = nullptr;
};

// The scanner: tokens of the script with #define, #ifdef/#ifndef/#else/#endif, #include and
// macro expansion applied. Errors raise ECM_COMP_ERROR at the current token's line and column.
class TCM_Compiler {
public:
    TCM_Compiler(std::string_view text, TCompileOptions options);
    ~TCM_Compiler();
    TCM_Compiler(const TCM_Compiler&) = delete;
    TCM_Compiler& operator=(const TCM_Compiler&) = delete;

    // Reads the next token; at the end of the input (or of text that is skipped) stEOF.
    void Next();
    TScriptToken Token() const { return FToken; }
    int64_t Number() const { return FNumber; }
    // The string as written between the quotes (backslashes kept).
    const std::string& Raw() const { return FRaw; }
    // Line and column of the current token, from 1; inside a macro, where the macro was used.
    int Line() const { return FLine; }
    int Column() const { return FColumn; }
    // The file the current token came from ("" for the top text given directly).
    const std::string& SourceName() const { return FSourceName; }

    [[noreturn]] void Error(const std::string& message) const;
    [[noreturn]] void Error(int stringId) const;

    bool IsDefined(std::string_view name) const { return FMacros.Find(name) != nullptr; }

private:
    struct TSource;

    TSource& Top();
    int Peek(size_t ahead = 0) const;
    void Advance();
    void MarkStart();
    bool PopExhausted();
    void SkipLineComment();
    void SkipBlockComment();
    void ReadString(bool skipping);
    void ReadNumber();
    std::string ReadIdentifier();
    void SkipInlineBlanks();
    std::string RestOfLine();
    bool Directive();
    void Define();
    void Conditional(bool wantDefined);
    void Include();
    void ExpandMacro(const std::string& name, const std::string& text);
    void AddPredefinedMacros();

    TCompileOptions FOptions;
    std::vector<TSource> FSources;
    TWordStore<TScriptToken> FKeywords;
    TWordStore<std::string> FMacros;
    std::vector<bool> FConditions; // enclosing skip state of each open conditional
    bool FSkipping = false;
    TScriptToken FToken = stEOF;
    int64_t FNumber = 0;
    std::string FRaw;
    int FLine = 1;
    int FColumn = 1;
    std::string FSourceName;
};

// Clears the definition and compiles the script text into it. Raises ECM_COMP_ERROR at the
// first error, leaving what was built so far.
void CompileScript(TCodeMemoParser& def, std::string_view text,
                   const TCompileOptions& options = {});

// Compiles a script file: "..." includes are relative to the including file, <...> includes are
// looked for in includePaths and then in the script's directory. A file that cannot be read
// raises EFileError and leaves the definition unchanged. `included`, when given, receives the
// path of every file an #include read.
void CompileScriptFile(TCodeMemoParser& def, const std::string& path,
                       const std::vector<std::string>& includePaths = {},
                       std::vector<std::string>* included = nullptr);

} // namespace quillet
