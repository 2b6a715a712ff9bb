// The script compiler's section parsers over the scanner's tokens (used by highlight/Compiler).
#pragma once

#include "highlight/CodeMemoParser.h"
#include "highlight/Compiler.h"
#include "highlight/ScriptCharSpec.h"
#include "platform/VirtualKeys.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

class TScriptParser {
public:
    TScriptParser(TCM_Compiler& scanner, TCodeMemoParser& def);
    // Reads the first token and dispatches sections to the end of the input.
    void Run();

private:
    struct TWordDef {
        std::string Text;
        uint8_t Token = 0;
        TStateSet States;
        int EndGroup = -1;
    };

    struct TAt {
        int Line = 1;
        int Column = 1;
    };
    TAt Here() const { return {S.Line(), S.Column()}; }
    [[noreturn]] void FailAt(TAt at, const std::string& message) const;

    void Expect(TScriptToken token, int messageId);
    bool AtExpression() const;
    int64_t Term();
    int64_t Expression();
    uint8_t ByteValue();
    int64_t Ranged(int64_t lo, int64_t hi);
    int32_t IntValue();
    uint32_t WordValue();
    uint8_t StateValue(bool term);
    TStateSet StateList();
    TStateSet StateOrList();
    std::string StringValue();
    std::vector<TCharSet> CharSpecs();
    int SingleGroup();
    void EndSequence(TRulePart& end);
    void BuiltinHandler(TRulePart& part);
    void CustomHandler(TRulePart& part);
    TTokenEffect& Effect(uint8_t token);
    uint8_t FontStyles();
    bool ColourValue(TColor& colour);

    void Finish();
    void LanguageSection();
    bool LanguageProperty();
    void EditableStyles();
    void ContextStates();
    void WordsSection();
    void AddKeyword(const TWordDef& w, TAt at);
    void SetCase(bool caseSensitive, TAt at);
    void HandlersSection();
    void TokensSection();
    void TokenEntry(TStartTable* table, TStateSet valid);
    void TokenBody(TTokenRule& rule);
    void MapSection();
    void EffectsSection();
    void StatesSection(bool containers);
    void KwTablesSection();
    void KeysSection();
    void AutoReplaceSection();
    void TemplatesSection();
    TShortCut Modifiers();
    TShortCut KeyValue();

    TCM_Compiler& S;
    TCodeMemoParser& D;
    std::vector<TWordDef> FWords;
    static constexpr int MaxExpressionDepth = 200;
    int FDepth = 0;
};

} // namespace quillet
