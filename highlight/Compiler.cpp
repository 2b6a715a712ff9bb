#include "highlight/Compiler.h"

#include "highlight/ScriptError.h"
#include "highlight/ScriptMacros.h"
#include "resources/Strings.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace quillet {

namespace fs = std::filesystem;

// One input source: the script, an included file or a macro's text.
struct TCM_Compiler::TSource {
    std::string Text;
    size_t Pos = 0;
    bool IsFile = true;
    std::string Name; // the file's path, or the macro's name
    std::string Key;  // files: the canonical path, for recursion checks
    std::string Dir;  // files: the directory "..." includes are relative to
    int Line = 1;
    int Column = 1;
    bool AfterCR = false;
    int UseLine = 1; // macros: where the macro was used
    int UseColumn = 1;
    bool Exhausted() const { return Pos >= Text.size(); }
};

namespace {

bool IsLetter(int c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}
bool IsWord(int c) {
    return IsLetter(c) || IsDigit(c);
}
bool IsInlineBlank(int c) {
    return c == ' ' || c == '\t' || c == 160;
}
bool IsLineEnd(int c) {
    return c == '\r' || c == '\n';
}

std::string Lower(std::string s) {
    for (auto& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c + 32);
    return s;
}

bool ReadFileText(const std::string& path, std::string& text) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    text = ss.str();
    return true;
}

std::string CanonicalKey(const std::string& path) {
    std::error_code ec;
    auto p = fs::weakly_canonical(fs::path(path), ec);
    return ec ? path : p.string();
}

std::string DirOf(const std::string& path) {
    return fs::path(path).parent_path().string();
}

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (dir.empty() || fs::path(name).is_absolute()) return name;
    if (dir.back() == '/' || dir.back() == '\\') return dir + name;
    return dir + "/" + name;
}

const struct {
    const char* Word;
    TScriptToken Token;
} Keywords[] = {
    {"%%language", stLanguage},
    {"%%words", stWords},
    {"%%handler", stHandlers},
    {"%%handlers", stHandlers},
    {"%%tokens", stTokens},
    {"%%map", stMap},
    {"%%effects", stEffects},
    {"%%states", stStates},
    {"%%containers", stContainers},
    {"%%keys", stKeys},
    {"%%autoreplace", stAutoReplace},
    {"%%templates", stTemplates},
    {"%%kwtables", stKwTables},
    {"name", spName},
    {"case", spCase},
    {"options", spOptions},
    {"exampletext", spExampleText},
    {"editablestyles", spEditableStyles},
    {"wordwrapcolumn", spWordWrapColumn},
    {"fontname", spFontName},
    {"fontsize", spFontSize},
    {"fontcharset", spFontCharset},
    {"gutter", spGutter},
    {"guttercolor", spGutterColor},
    {"margincolor", spMarginColor},
    {"marginwidth", spMarginWidth},
    {"anchor", spAnchor},
    {"startstate", spStartState},
    {"contextstates", spContextStates},
    {"indentstep", spIndentStep},
    {"wrapoverride", spWrapOverride},
    {"seltextcolor", spSelTextColor},
    {"seltextback", spSelTextBack},
    {"rightmargin", spRightMargin},
    {"tabcolumns", spTabColumns},
    {"tabdefault", spTabDefault},
    {"boundstates", spBoundStates},
    {"gutterfontname", spGutterFontName},
    {"gutterfontsize", spGutterFontSize},
    {"gutterfontcolor", spGutterFontColor},
    {"gutterfontstyle", spGutterFontStyle},
    {"instate", swInState},
    {"shift", swShift},
    {"ctrl", swCtrl},
    {"alt", swAlt},
    {"or", swOr},
    {"match", swMatch},
    {"actionkeys", swActionKeys},
    {"hotkey", swHotkey},
    {"forstate", swForState},
    {"endswith", swEndsWith},
    {"is", swIs},
    {"push", swPush},
    {"pop", swPop},
    {"=", ssEquals},
    {"(", ssOpenParen},
    {")", ssCloseParen},
    {"[", ssOpenBracket},
    {"]", ssCloseBracket},
    {",", ssComma},
    {"+", ssPlus},
    {"-", ssMinus},
    {"?", ssQuestion},
    {"|", ssBar},
    {"*", ssStar},
};

} // namespace

TCM_Compiler::TCM_Compiler(std::string_view text, TCompileOptions options)
    : FOptions(std::move(options)) {
    for (const auto& k : Keywords)
        FKeywords.Add(k.Word, k.Token);
    AddPredefinedMacros();
    TSource top;
    top.Text = std::string(text);
    top.Name = FOptions.SourceName;
    top.Key = top.Name.empty() ? std::string() : CanonicalKey(top.Name);
    top.Dir = FOptions.ScriptDir;
    FSources.push_back(std::move(top));
    FSourceName = FOptions.SourceName;
}

TCM_Compiler::~TCM_Compiler() = default;

void TCM_Compiler::AddPredefinedMacros() {
    for (const auto& [name, value] : PredefinedScriptMacros())
        FMacros.Set(name, value);
}

void TCM_Compiler::Error(const std::string& message) const {
    throw ECM_COMP_ERROR(FLine, FColumn, message, FSourceName);
}

void TCM_Compiler::Error(int stringId) const {
    Error(LoadStr(stringId));
}

TCM_Compiler::TSource& TCM_Compiler::Top() {
    return FSources.back();
}

int TCM_Compiler::Peek(size_t ahead) const {
    const TSource& s = FSources.back();
    return s.Pos + ahead < s.Text.size() ? static_cast<unsigned char>(s.Text[s.Pos + ahead]) : -1;
}

// CR ends a line; so does an LF that does not follow a CR, so that scripts with either line
// end count lines (and end // comments) the same way.
void TCM_Compiler::Advance() {
    TSource& s = Top();
    if (s.Exhausted()) return;
    const char c = s.Text[s.Pos++];
    if (!s.IsFile) return;
    if (c == '\r') {
        ++s.Line;
        s.Column = 1;
        s.AfterCR = true;
        return;
    }
    if (c == '\n') {
        if (!s.AfterCR) {
            ++s.Line;
            s.Column = 1;
        }
        s.AfterCR = false;
        return;
    }
    s.AfterCR = false;
    ++s.Column;
}

void TCM_Compiler::MarkStart() {
    const TSource& top = FSources.back();
    FLine = top.IsFile ? top.Line : top.UseLine;
    FColumn = top.IsFile ? top.Column : top.UseColumn;
    for (auto it = FSources.rbegin(); it != FSources.rend(); ++it)
        if (it->IsFile) {
            FSourceName = it->Name;
            break;
        }
}

// Drops the used-up source on top; false when only the bottom one is left.
bool TCM_Compiler::PopExhausted() {
    if (!Top().Exhausted()) return true;
    if (FSources.size() == 1) return false;
    FSources.pop_back();
    return true;
}

void TCM_Compiler::SkipLineComment() {
    while (Peek() >= 0 && !IsLineEnd(Peek()))
        Advance();
}

void TCM_Compiler::SkipBlockComment() {
    Advance();
    Advance();
    while (Peek() >= 0 && !(Peek() == '*' && Peek(1) == '/'))
        Advance();
    Advance();
    Advance();
}

void TCM_Compiler::SkipInlineBlanks() {
    while (IsInlineBlank(Peek()))
        Advance();
}

std::string TCM_Compiler::RestOfLine() {
    std::string text;
    while (Peek() >= 0 && !IsLineEnd(Peek())) {
        text += char(Peek());
        Advance();
    }
    while (!text.empty() && IsInlineBlank(static_cast<unsigned char>(text.back())))
        text.pop_back();
    return text;
}

std::string TCM_Compiler::ReadIdentifier() {
    std::string word;
    if (!IsLetter(Peek())) return word;
    while (IsWord(Peek())) {
        word += char(Peek());
        Advance();
    }
    return word;
}

void TCM_Compiler::ReadString(bool skipping) {
    Advance();
    FRaw.clear();
    for (;;) {
        const int c = Peek();
        if (c < 0 || IsLineEnd(c)) {
            if (skipping) return;
            Error(SUnterminatedString);
        }
        if (c == '\'') {
            Advance();
            return;
        }
        if (c == '\\') {
            Advance();
            const int n = Peek();
            if (n < 0) continue;
            if (IsLineEnd(n)) {
                // Continued on the next line, after its leading blanks and one backslash.
                Advance();
                if (n == '\r' && Peek() == '\n') Advance();
                SkipInlineBlanks();
                if (Peek() == '\\') Advance();
                continue;
            }
            FRaw += '\\';
            FRaw += char(n);
            Advance();
            continue;
        }
        FRaw += char(c);
        Advance();
    }
}

void TCM_Compiler::ReadNumber() {
    int64_t value = 0;
    while (IsDigit(Peek())) {
        value = value * 10 + (Peek() - '0');
        if (value > 0xFFFFFFFFLL) Error(SNumericValueOutOfRange);
        Advance();
    }
    FNumber = value;
}

void TCM_Compiler::ExpandMacro(const std::string& name, const std::string& text) {
    const std::string key = Lower(name);
    for (const auto& s : FSources)
        if (!s.IsFile && s.Name == key) Error(FmtLoadStr(SRecursiveMacro, name));
    TSource m;
    m.Text = text;
    m.IsFile = false;
    m.Name = key;
    m.UseLine = FLine;
    m.UseColumn = FColumn;
    FSources.push_back(std::move(m));
}

void TCM_Compiler::Define() {
    SkipInlineBlanks();
    if (FSkipping) {
        SkipLineComment();
        return;
    }
    const std::string name = ReadIdentifier();
    if (name.empty()) Error(SMacroNameExpected);
    SkipInlineBlanks();
    const std::string text = RestOfLine();
    // A macro standing for itself would only ever expand into itself.
    if (Lower(text) == Lower(name)) return;
    FMacros.Set(name, text);
}

void TCM_Compiler::Conditional(bool wantDefined) {
    SkipInlineBlanks();
    const std::string name = ReadIdentifier();
    if (name.empty()) Error(SMacroNameAfterIfdef);
    FConditions.push_back(FSkipping);
    if (!FSkipping) FSkipping = IsDefined(name) != wantDefined;
}

void TCM_Compiler::Include() {
    SkipInlineBlanks();
    if (FSkipping) {
        SkipLineComment();
        return;
    }
    const int open = Peek();
    if (open != '"' && open != '<') Error(SIncludeNotEnclosed);
    const char close = open == '"' ? '"' : '>';
    Advance();
    std::string name;
    while (Peek() != close) {
        if (Peek() < 0 || IsLineEnd(Peek()))
            Error(FmtLoadStr(SIncludeMissingTerminator, std::string(1, close)));
        name += char(Peek());
        Advance();
    }
    Advance();
#ifndef _WIN32
    for (auto& c : name)
        if (c == '\\') c = '/';
#endif

    std::vector<std::string> candidates;
    if (open == '"') {
        std::string dir = FOptions.ScriptDir;
        for (auto it = FSources.rbegin(); it != FSources.rend(); ++it)
            if (it->IsFile) {
                dir = it->Dir;
                break;
            }
        candidates.push_back(JoinPath(dir, name));
    } else {
        for (const auto& dir : FOptions.IncludePaths)
            candidates.push_back(JoinPath(dir, name));
        candidates.push_back(JoinPath(FOptions.ScriptDir, name));
    }
    std::string text;
    for (const auto& path : candidates) {
        const bool opened =
            FOptions.OpenInclude ? FOptions.OpenInclude(path, text) : ReadFileText(path, text);
        if (!opened) continue;
        if (FOptions.Included) FOptions.Included->push_back(path);
        const std::string key = CanonicalKey(path);
        for (const auto& s : FSources)
            if (s.IsFile && s.Key == key) Error(FmtLoadStr(SRecursiveInclude, path));
        TSource f;
        f.Text = std::move(text);
        f.Name = path;
        f.Key = key;
        f.Dir = DirOf(path);
        FSources.push_back(std::move(f));
        return;
    }
    Error(FmtLoadStr(SIncludeCannotOpen, std::string(1, char(open)), name, std::string(1, close)));
}

// A '#' directly followed by a directive name; false leaves the '#' unread.
bool TCM_Compiler::Directive() {
    size_t len = 0;
    while (IsWord(Peek(1 + len)))
        ++len;
    const TSource& s = FSources.back();
    const std::string word = s.Text.substr(s.Pos + 1, len);
    if (word != "define" && word != "ifdef" && word != "ifndef" && word != "else" &&
        word != "endif" && word != "include")
        return false;
    for (size_t i = 0; i <= len; ++i)
        Advance();
    if (word == "define") {
        Define();
    } else if (word == "ifdef" || word == "ifndef") {
        Conditional(word == "ifdef");
    } else if (word == "else") {
        if (FConditions.empty()) Error(SElseWithoutIfdef);
        if (!FConditions.back()) FSkipping = !FSkipping;
    } else if (word == "endif") {
        if (FConditions.empty()) Error(SEndifWithoutIfdef);
        FSkipping = FConditions.back();
        FConditions.pop_back();
    } else {
        Include();
    }
    return true;
}

void TCM_Compiler::Next() {
    for (;;) {
        if (!PopExhausted()) {
            MarkStart();
            FToken = stEOF;
            return;
        }
        if (Top().Exhausted()) continue;
        const int c = Peek();
        if (IsInlineBlank(c) || IsLineEnd(c)) {
            Advance();
            continue;
        }
        if (c == '/' && Peek(1) == '*') {
            SkipBlockComment();
            continue;
        }
        if (c == '/' && Peek(1) == '/') {
            SkipLineComment();
            continue;
        }
        MarkStart();
        if (c == '#' && Directive()) continue;
        if (FSkipping) {
            if (c == '\'')
                ReadString(true);
            else if (IsWord(c))
                while (IsWord(Peek()))
                    Advance();
            else
                Advance();
            continue;
        }
        if (c == '\'') {
            ReadString(false);
            FToken = stString;
            return;
        }
        if (IsDigit(c)) {
            ReadNumber();
            FToken = stNumber;
            return;
        }
        const TSource& s = FSources.back();
        const auto match = FKeywords.Match(std::string_view(s.Text).substr(s.Pos));
        if (match.Value) {
            for (size_t i = 0; i < match.Length; ++i)
                Advance();
            FToken = *match.Value;
            return;
        }
        if (IsLetter(c)) {
            const std::string name = ReadIdentifier();
            if (const std::string* text = FMacros.Find(name)) {
                ExpandMacro(name, *text);
                continue;
            }
            Error(LoadStr(SIdentifier) + " \"" + name + "\" " + LoadStr(SUnknown));
        }
        Error(FmtLoadStr(SUnknownCharInInput, c));
    }
}

} // namespace quillet
