// The %%Keys, %%AutoReplace and %%Templates sections: key bindings and typed expansions.
#include "highlight/CompilerSections.h"
#include "highlight/KeyNames.h"
#include "highlight/ScriptError.h"
#include "resources/Strings.h"

#include <climits>

namespace quillet {

// `[shift, ctrl, alt]` before a key.
TShortCut TScriptParser::Modifiers() {
    if (S.Token() != ssOpenBracket) return 0;
    S.Next();
    TShortCut mods = 0;
    while (S.Token() != ssCloseBracket) {
        switch (S.Token()) {
        case swShift:
            mods |= scShift;
            break;
        case swCtrl:
            mods |= scCtrl;
            break;
        case swAlt:
            mods |= scAlt;
            break;
        case ssComma:
            break;
        default:
            S.Error(SCloseBracketExpected);
        }
        S.Next();
    }
    S.Next();
    return mods;
}

// A virtual key: a number (or key name) 1..255, or a one-character string taken upper case.
TShortCut TScriptParser::KeyValue() {
    const TAt at = Here();
    int value = 0;
    if (S.Token() == stString) {
        const std::string text = StringValue();
        if (text.size() != 1) FailAt(at, LoadStr(SSingleCharSpecExpected));
        value = static_cast<unsigned char>(text[0]);
        if (value >= 'a' && value <= 'z') value -= 32;
    } else if (AtExpression()) {
        value = ByteValue();
    }
    if (value == 0) FailAt(at, LoadStr(SKeySpecRequired));
    return TShortCut(value);
}

void TScriptParser::KeysSection() {
    auto& keys = D.Settings().KeyStore;
    // The bindings start afresh; the commands keep their names unless the script renames them.
    keys.Store().Clear();
    while (AtExpression()) {
        const int32_t command = IntValue();
        Expect(ssOpenParen, SOpenParenExpected);
        for (;;) {
            const TAt at = Here();
            const TShortCut mods = Modifiers();
            const TShortCut first = TShortCut(KeyValue() | mods);
            TShortCut second = 0;
            if (S.Token() == ssComma) {
                S.Next();
                second = KeyValue();
            }
            try {
                keys.AddBinding(first, second, command);
            } catch (const EKeyError& e) {
                FailAt(at, e.what());
            }
            if (S.Token() != ssBar) break;
            S.Next();
        }
        Expect(ssCloseParen, SCloseParenExpected);
        if (S.Token() == stString) {
            const TAt at = Here();
            const std::string name = StringValue();
            if (name.empty()) FailAt(at, LoadStr(SKeyFunctionNameBlank));
            try {
                keys.SetCommandName(command, name);
            } catch (const EKeyError& e) {
                FailAt(at, e.what());
            }
        }
    }
}

void TScriptParser::AutoReplaceSection() {
    auto& list = D.Settings().AutoReplace;
    list.Reset();
    for (;;) {
        const TAt at = Here();
        try {
            if (S.Token() == swActionKeys) {
                S.Next();
                Expect(ssEquals, SEqualsExpected);
                if (S.Token() != stString) S.Error(SStringValueExpected);
                // The trigger specification reads its own backslash codes (\{Return}, \s).
                const std::string spec = S.Raw();
                list.SetTriggerKeys(spec);
                S.Next();
            } else if (S.Token() == stString) {
                const std::string from = StringValue();
                Expect(ssEquals, SEqualsExpected);
                list.AddEntry(from, "", StringValue());
            } else {
                return;
            }
        } catch (const EKeyError& e) {
            FailAt(at, e.what());
        }
    }
}

void TScriptParser::TemplatesSection() {
    auto& templates = D.Settings().Templates;
    templates.Clear();
    for (;;) {
        const TAt at = Here();
        if (S.Token() == swHotkey) {
            S.Next();
            Expect(ssEquals, SEqualsExpected);
            Expect(ssOpenParen, SOpenParenExpected);
            const TShortCut mods = Modifiers();
            const TShortCut key = TShortCut(KeyValue() | mods);
            Expect(ssCloseParen, SCloseParenExpected);
            templates.SetTriggerShortCut(key);
        } else if (S.Token() == stString) {
            const std::string name = StringValue();
            std::string description;
            if (S.Token() == ssOpenParen) {
                S.Next();
                description = StringValue();
                Expect(ssCloseParen, SCloseParenExpected);
            }
            Expect(ssEquals, SEqualsExpected);
            const std::string text = StringValue();
            try {
                templates.AddEntry(name, description, text);
            } catch (const EKeyError& e) {
                FailAt(at, e.what());
            }
        } else {
            return;
        }
    }
}

} // namespace quillet
