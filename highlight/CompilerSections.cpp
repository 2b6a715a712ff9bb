// The section parsers: each %% section of a script fills its part of the definition.
#include "highlight/CompilerSections.h"
#include "highlight/CodeMemoParser.h"
#include "highlight/Compiler.h"
#include "highlight/DefinitionError.h"
#include "highlight/ScriptCharSpec.h"
#include "highlight/ScriptError.h"
#include "highlight/ScriptString.h"
#include "resources/Strings.h"

#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace quillet {

namespace {

TCM_CharGroup GroupOf(const TCharSet& set) {
    TCM_CharGroup g;
    for (int c = 0; c < 256; ++c)
        if (set.test(size_t(c))) g.Add(uint8_t(c));
    return g;
}

bool ContainsNoCase(const std::string& text, const std::string& word) {
    auto lower = [](std::string s) {
        for (auto& c : s)
            if (c >= 'A' && c <= 'Z') c = char(c + 32);
        return s;
    };
    return lower(text).find(word) != std::string::npos;
}

} // namespace

TScriptParser::TScriptParser(TCM_Compiler& scanner, TCodeMemoParser& def) : S(scanner), D(def) {}

// --- Small pieces --------------------------------------------------------------------------

void TScriptParser::FailAt(TAt at, const std::string& message) const {
    throw ECM_COMP_ERROR(at.Line, at.Column, message, S.SourceName());
}

void TScriptParser::Expect(TScriptToken token, int messageId) {
    if (S.Token() != token) S.Error(messageId);
    S.Next();
}

bool TScriptParser::AtExpression() const {
    return S.Token() == stNumber || S.Token() == ssOpenParen;
}

int64_t TScriptParser::Term() {
    if (S.Token() == stNumber) {
        const int64_t v = S.Number();
        S.Next();
        return v;
    }
    if (S.Token() == ssOpenParen) {
        // Bounded so that a hostile script cannot exhaust the stack.
        if (FDepth >= MaxExpressionDepth) S.Error(SExpressionTooDeep);
        S.Next();
        ++FDepth;
        const int64_t v = Expression();
        --FDepth;
        if (S.Token() != ssCloseParen) S.Error(SExpressionExpected);
        S.Next();
        return v;
    }
    S.Error(SExpressionExpected);
}

int64_t TScriptParser::Expression() {
    int64_t v = Term();
    for (;;) {
        const TScriptToken op = S.Token();
        if (op != ssPlus && op != ssMinus && op != swOr) return v;
        S.Next();
        const int64_t t = Term();
        if (op == ssPlus)
            v += t;
        else if (op == ssMinus)
            v -= t;
        else
            v = int64_t(uint64_t(v) | uint64_t(t));
        // Keep the value within 32 bits so that long sums cannot overflow.
        v = int64_t(int32_t(uint32_t(uint64_t(v))));
    }
}

// Value errors point at the start of the value, not at what follows it.
uint8_t TScriptParser::ByteValue() {
    const TAt at = Here();
    const int64_t v = Expression();
    if (v < 0 || v > 255) FailAt(at, LoadStr(SValueMustBe0To255));
    return uint8_t(v);
}

int64_t TScriptParser::Ranged(int64_t lo, int64_t hi) {
    const TAt at = Here();
    const int64_t v = Expression();
    if (v < lo || v > hi) FailAt(at, FmtLoadStr(SRangeErrorOutwith, lo, hi));
    return v;
}

int32_t TScriptParser::IntValue() {
    return int32_t(Ranged(0, INT32_MAX));
}

uint32_t TScriptParser::WordValue() {
    return uint32_t(uint64_t(Expression()));
}

uint8_t TScriptParser::StateValue(bool term) {
    if (!term) return uint8_t(Ranged(0, 255));
    const TAt at = Here();
    const int64_t v = Term();
    if (v < 0 || v > 255) FailAt(at, FmtLoadStr(SRangeErrorOutwith, 0, 255));
    return uint8_t(v);
}

TStateSet TScriptParser::StateList() {
    Expect(ssOpenBracket, SOpenBracketExpected);
    TStateSet set;
    while (S.Token() != ssCloseBracket) {
        if (S.Token() == ssComma) {
            S.Next();
            continue;
        }
        if (!AtExpression()) S.Error(SCloseBracketExpected);
        set.Include(StateValue(false));
    }
    S.Next();
    return set;
}

TStateSet TScriptParser::StateOrList() {
    if (S.Token() == ssOpenBracket) return StateList();
    TStateSet set;
    set.Include(StateValue(false));
    return set;
}

std::string TScriptParser::StringValue() {
    if (S.Token() != stString) S.Error(SStringValueExpected);
    std::string value;
    try {
        value = DecodeScriptEscapes(S.Raw());
    } catch (const EScriptValueError& e) {
        S.Error(e.what());
    }
    S.Next();
    return value;
}

std::vector<TCharSet> TScriptParser::CharSpecs() {
    if (S.Token() != stString) S.Error(SStringValueExpected);
    std::vector<TCharSet> specs;
    try {
        specs = ParseCharSpecs(S.Raw());
    } catch (const EScriptValueError& e) {
        S.Error(e.what());
    }
    return specs; // the string stays current so errors point at it
}

// One group from a string of at most one specification; none gives an empty group.
int TScriptParser::SingleGroup() {
    const auto specs = CharSpecs();
    if (specs.size() > 1) S.Error(SSingleCharSpecExpected);
    S.Next();
    return D.Groups.Add(GroupOf(specs.empty() ? TCharSet() : specs[0]));
}

// A string of up to four specifications: the end sequence of a rule.
void TScriptParser::EndSequence(TRulePart& end) {
    const auto specs = CharSpecs();
    if (specs.size() > 4) S.Error(SMax4CharSpecs);
    S.Next();
    end.IsHandler = false;
    end.EndCount = uint8_t(specs.size());
    for (size_t i = 0; i < specs.size(); ++i)
        end.EndGroups[i] = uint16_t(D.Groups.Add(GroupOf(specs[i])));
}

void TScriptParser::BuiltinHandler(TRulePart& part) {
    const TAt at = Here();
    const int64_t n = Expression();
    try {
        if (n < INT32_MIN || n > INT32_MAX) throw EDefinitionError(FmtLoadStr(SInvalidHandler, n));
        TCodeMemoParser::ValidateHandler(int32_t(n));
    } catch (const EDefinitionError& e) {
        FailAt(at, e.what());
    }
    part.IsHandler = true;
    part.Custom = false;
    part.Handler = int32_t(n);
}

// match(n): the definition's OnCustomParse with ParseID n.
void TScriptParser::CustomHandler(TRulePart& part) {
    S.Next();
    Expect(ssOpenParen, SOpenParenExpected);
    const int64_t n = Expression();
    Expect(ssCloseParen, SCloseParenExpected);
    part.IsHandler = true;
    part.Custom = true;
    part.Handler = int32_t(n);
    D.CustomHandlers = true;
}

TTokenEffect& TScriptParser::Effect(uint8_t token) {
    auto& e = D.Effects[token];
    if (!e) {
        e.emplace();
        e->Valid = TStateSet::Of({0});
        e->NoTransition = true;
    }
    return *e;
}

uint8_t TScriptParser::FontStyles() {
    if (S.Token() != ssOpenBracket) S.Error(SBadFontStyleSpec);
    S.Next();
    uint8_t bits = 0;
    while (S.Token() != ssCloseBracket) {
        if (S.Token() == ssComma) {
            S.Next();
            continue;
        }
        if (!AtExpression()) S.Error(SBadFontStyleSpec);
        const int64_t v = Expression();
        if (v >= 0 && v <= 7) bits = uint8_t(bits | (1u << v));
    }
    S.Next();
    return bits;
}

// --- Dispatch ------------------------------------------------------------------------------

void TScriptParser::Run() {
    S.Next();
    while (S.Token() != stEOF) {
        const TScriptToken section = S.Token();
        switch (section) {
        case stLanguage:
            S.Next();
            LanguageSection();
            break;
        case stWords:
            S.Next();
            WordsSection();
            break;
        case stHandlers:
            S.Next();
            HandlersSection();
            break;
        case stTokens:
            S.Next();
            TokensSection();
            break;
        case stMap:
            S.Next();
            MapSection();
            break;
        case stEffects:
            S.Next();
            EffectsSection();
            break;
        case stStates:
        case stContainers:
            S.Next();
            StatesSection(section == stContainers);
            break;
        case stKwTables:
            S.Next();
            KwTablesSection();
            break;
        case stKeys:
            S.Next();
            KeysSection();
            break;
        case stAutoReplace:
            S.Next();
            AutoReplaceSection();
            break;
        case stTemplates:
            S.Next();
            TemplatesSection();
            break;
        default:
            S.Error(SScriptSyntaxError);
        }
    }
    Finish();
}

void TScriptParser::Finish() {
    for (auto& c : D.Context)
        if (!c) c = D.StartState;
    D.PrepareKeyTables();
    D.Stack.clear();
    D.State = D.StartState;
    D.SelectStartTable();
}

// --- %%Words -------------------------------------------------------------------------------

void TScriptParser::AddKeyword(const TWordDef& w, TAt at) {
    try {
        D.Keywords.Add(w.Text, w.Token, w.States, w.EndGroup);
    } catch (const EDefinitionError&) {
        FailAt(at, LoadStr(SDuplicateWordEntry));
    }
}

void TScriptParser::WordsSection() {
    while (S.Token() == stString) {
        TWordDef w;
        const TAt at = Here();
        if (S.Raw().empty()) S.Error(SStringValueExpected);
        w.Text = StringValue();
        const auto specs = CharSpecs();
        if (specs.size() > 1) S.Error(SSingleCharSpecExpected);
        w.EndGroup = (specs.empty() || specs[0].none()) ? -1 : D.Groups.Add(GroupOf(specs[0]));
        S.Next();
        w.Token = ByteValue();
        w.States = S.Token() == ssOpenBracket ? StateList() : TStateSet::Of({0});
        AddKeyword(w, at);
        FWords.push_back(w);
        Effect(w.Token).Valid.Unite(w.States);
    }
}

// The keyword trie folds case as words are added: a change of case rebuilds it.
void TScriptParser::SetCase(bool caseSensitive, TAt at) {
    D.CaseSensitive = caseSensitive;
    if (D.Keywords.CaseSensitive() == caseSensitive) return;
    D.Keywords.Clear();
    D.Keywords.SetCaseSensitive(caseSensitive);
    for (const auto& w : FWords)
        AddKeyword(w, at);
}

// --- %%Handlers ----------------------------------------------------------------------------

void TScriptParser::HandlersSection() {
    while (AtExpression()) {
        const TAt at = Here();
        const uint8_t token = ByteValue();
        TContinuationRule rule;
        if (S.Token() == swMatch) {
            CustomHandler(rule.Body);
        } else {
            if (S.Token() == stString)
                rule.Body.Group = uint16_t(SingleGroup());
            else if (AtExpression())
                BuiltinHandler(rule.Body);
            else
                S.Error(SStringValueExpected);
            if (S.Token() == ssStar) {
                rule.Body.Flag = 1;
                S.Next();
            }
            if (S.Token() == swMatch)
                CustomHandler(rule.End);
            else
                EndSequence(rule.End);
            rule.End.Flag = Expression() != 0 ? 1 : 0;
        }
        if (D.Continuations[token]) FailAt(at, LoadStr(SDuplicateHandlerEntry));
        D.Continuations[token] = rule;
    }
}

// --- %%Tokens ------------------------------------------------------------------------------

void TScriptParser::TokensSection() {
    for (;;) {
        if (S.Token() == swInState) {
            S.Next();
            const uint8_t state = StateValue(false);
            Expect(ssOpenParen, SOpenParenExpected);
            while (S.Token() != ssCloseParen) {
                if (!AtExpression()) S.Error(SCloseParenExpected);
                TokenEntry(&D.StateTable(state), TStateSet::Of({state}));
            }
            S.Next();
        } else if (AtExpression()) {
            TokenEntry(&D.GlobalStart, TStateSet::Of({0}));
        } else {
            return;
        }
    }
}

void TScriptParser::TokenEntry(TStartTable* table, TStateSet valid) {
    TTokenRule rule;
    rule.Token = ByteValue();
    TCM_CharGroup starts;
    const TAt at = Here();
    if (S.Token() == stString) {
        const auto specs = CharSpecs();
        if (specs.size() != 1) S.Error(SSingleCharSpecExpected);
        S.Next();
        starts = GroupOf(specs[0]);
        rule.Start.Group = uint16_t(D.Groups.Add(starts));
        const TScriptToken t = S.Token();
        if (t == stString || t == swMatch || AtExpression()) {
            TokenBody(rule);
        } else {
            // Only a start character: a token of that one character.
            rule.Body.Flag = 1;
            rule.Body.Group = uint16_t(D.Groups.Add(TCM_CharGroup()));
            TCM_CharGroup any;
            any.SetNegate(true);
            rule.End.EndCount = 1;
            rule.End.EndGroups[0] = uint16_t(D.Groups.Add(any));
        }
    } else if (AtExpression()) {
        const int64_t n = Expression();
        if (!TCodeMemoParser::IsStandardRecogniser(int32_t(n)) || n != int32_t(n))
            FailAt(at, LoadStr(SScriptSyntaxError));
        rule.Start.IsHandler = true;
        rule.Start.Handler = int32_t(n);
        // The recogniser reads the whole token: the body is unused and names the empty group.
        rule.Body.Group = uint16_t(D.Groups.Add(TCM_CharGroup()));
        starts = TCodeMemoParser::RecogniserStart(int32_t(n));
    } else {
        S.Error(SStringValueExpected);
    }
    if (S.Token() == ssOpenBracket) valid.Unite(StateList());
    rule.Valid = valid;

    for (int c = 0; c < 256; ++c)
        if (starts.Contains(uint8_t(c)) && table->Rules[size_t(c)])
            FailAt(at, LoadStr(SAmbiguousStartSet));
    for (int c = 0; c < 256; ++c)
        if (starts.Contains(uint8_t(c))) table->Rules[size_t(c)] = rule;
    auto& effect = D.Effects[rule.Token];
    if (!effect) {
        effect.emplace();
        effect->Valid = valid.Empty() ? TStateSet::Of({0}) : valid;
        effect->NoTransition = true;
    } else {
        effect->Valid.Unite(valid);
    }
}

void TScriptParser::TokenBody(TTokenRule& rule) {
    if (S.Token() == swMatch) {
        CustomHandler(rule.Body);
        return;
    }
    if (S.Token() == stString)
        rule.Body.Group = uint16_t(SingleGroup());
    else
        BuiltinHandler(rule.Body);
    if (S.Token() == ssStar) {
        rule.Body.Flag = 1;
        S.Next();
    }
    if (S.Token() == swMatch)
        CustomHandler(rule.End);
    else if (S.Token() == stString)
        EndSequence(rule.End);
    else if (AtExpression())
        BuiltinHandler(rule.End);
    else
        S.Error(SStringValueExpected);
    rule.End.Flag = Expression() != 0 ? 1 : 0;
}

// --- %%Map, %%Effects ----------------------------------------------------------------------

void TScriptParser::MapSection() {
    while (AtExpression()) {
        const uint8_t token = ByteValue();
        D.Settings().StyleMap[token] = ByteValue();
    }
}

void TScriptParser::EffectsSection() {
    while (AtExpression()) {
        const TAt at = Here();
        const uint8_t number = ByteValue();
        TCM_Style style;
        style.FontStyle = FontStyles();
        style.Foreground = WordValue();
        if (S.Token() == ssStar) {
            style.ForegroundDefault = true;
            S.Next();
        }
        style.Background = WordValue();
        if (S.Token() == ssStar) {
            style.BackgroundDefault = true;
            S.Next();
        }
        if (S.Token() == stString) style.Hotspot = ContainsNoCase(StringValue(), "hotspot");
        style.Defined = true;
        auto& slot = D.Settings().Styles[number];
        if (number != 0 && slot.Defined) FailAt(at, LoadStr(SDuplicateEffectEntry));
        slot = style;
    }
}

// --- %%States, %%Containers ----------------------------------------------------------------

void TScriptParser::StatesSection(bool containers) {
    while (AtExpression()) {
        TTokenEffect& e = Effect(ByteValue());
        if (!containers && (S.Token() == swPush || S.Token() == swPop)) {
            e.StackFlags |= S.Token() == swPush ? sfPushBefore : sfPopBefore;
            S.Next();
        }
        Expect(ssOpenParen, SOpenParenExpected);
        while (S.Token() != ssCloseParen) {
            const TScriptToken sign = S.Token();
            if (sign != ssPlus && sign != ssMinus) S.Error(SCloseParenExpected);
            S.Next();
            TStateSet set;
            if (S.Token() == ssOpenBracket)
                set = StateList();
            else
                set.Include(StateValue(true));
            (sign == ssPlus ? e.Add : e.Remove).Unite(set);
        }
        S.Next();
        if (!containers && (S.Token() == swPush || S.Token() == swPop)) {
            if (S.Token() == swPush) {
                e.StackFlags |= sfPushAfter;
            } else {
                e.StackFlags |= sfPopAfter;
                e.Add = {};
                e.Remove = {};
            }
            S.Next();
        }
        if (containers) e.Bound = true;
        e.NoTransition = e.Add.Empty() && e.Remove.Empty();
    }
}

// --- %%KwTables ----------------------------------------------------------------------------

void TScriptParser::KwTablesSection() {
    while (S.Token() == swForState) {
        const TAt at = Here();
        S.Next();
        TKeyTableDef def;
        def.CaseSensitive = D.CaseSensitive;
        if (S.Token() == ssOpenBracket) def.States = StateList();
        if (S.Token() == swEndsWith) {
            S.Next();
            const auto specs = CharSpecs();
            if (specs.size() > 1) S.Error(SSingleCharSpecExpected);
            if (!specs.empty() && specs[0].any()) def.EndGroup = D.Groups.Add(GroupOf(specs[0]));
            S.Next();
        }
        Expect(ssOpenParen, SOpenParenExpected);
        while (S.Token() != ssCloseParen) {
            if (S.Token() == ssComma) {
                S.Next();
                continue;
            }
            if (!AtExpression()) S.Error(SCloseParenExpected);
            const uint8_t value = ByteValue();
            Expect(swIs, SScriptSyntaxError);
            if (S.Token() != stString) S.Error(SStringValueExpected);
            while (S.Token() == stString) {
                std::string word = StringValue();
                if (word.empty()) S.Error(SStringValueExpected);
                def.Words.emplace_back(std::move(word), value);
                if (S.Token() == ssComma) S.Next();
            }
        }
        S.Next();
        try {
            D.Settings().AddKeyTable(def);
            D.PrepareKeyTables();
        } catch (const EDefinitionError& e) {
            FailAt(at, e.what());
        }
    }
}

// --- Entry points --------------------------------------------------------------------------

void CompileScript(TCodeMemoParser& def, std::string_view text, const TCompileOptions& options) {
    def.Clear();
    TCM_Compiler scanner(text, options);
    TScriptParser parser(scanner, def);
    parser.Run();
}

void CompileScriptFile(TCodeMemoParser& def, const std::string& path,
                       const std::vector<std::string>& includePaths,
                       std::vector<std::string>* included) {
    std::error_code ec;
    std::string text;
    bool ok = std::filesystem::is_regular_file(path, ec);
    if (ok) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream ss;
        ss << in.rdbuf();
        ok = bool(in) || in.eof();
        text = ss.str();
    }
    if (!ok) throw EFileError(FmtLoadStr(SScriptUnreadable, path));
    TCompileOptions options;
    options.ScriptDir = std::filesystem::path(path).parent_path().string();
    options.IncludePaths = includePaths;
    options.SourceName = path;
    options.Included = included;
    CompileScript(def, text, options);
}

void TCodeMemoParser::Compile(const std::string& scriptPath,
                              const std::vector<std::string>& includePaths) {
    CompileScriptFile(*this, scriptPath, includePaths);
    NotifyUsers();
}

} // namespace quillet
