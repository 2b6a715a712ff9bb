// The %%Language section: the language's editor properties and its state sets.
#include "highlight/CompilerSections.h"
#include "highlight/TabColumns.h"
#include "highlight/ScriptError.h"
#include "resources/Strings.h"

#include <climits>

namespace quillet {

namespace {

constexpr size_t MaxNameLength = 35;
constexpr size_t MaxStyleNameLength = 25;

std::string Cut(std::string s, size_t max) {
    if (s.size() <= max) return s;
    size_t n = max;
    // Never split a UTF-8 sequence.
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80)
        --n;
    s.resize(n);
    return s;
}

} // namespace


// `= [*] value`: the bracketed star marks the colour as the default one.
bool TScriptParser::ColourValue(TColor& colour) {
    Expect(ssEquals, SEqualsExpected);
    bool isDefault = false;
    if (S.Token() == ssOpenBracket) {
        S.Next();
        Expect(ssStar, SScriptSyntaxError);
        Expect(ssCloseBracket, SCloseBracketExpected);
        isDefault = true;
    }
    colour = WordValue();
    return isDefault;
}

void TScriptParser::LanguageSection() {
    while (LanguageProperty()) {
    }
}

void TScriptParser::EditableStyles() {
    auto& styles = D.Settings().EditableStyles;
    if (S.Token() != ssOpenParen) S.Error(SOpenParenExpected);
    while (S.Token() == ssOpenParen) {
        const TAt at = Here();
        S.Next();
        TEditableStyle entry;
        entry.Name = Cut(StringValue(), MaxStyleNameLength);
        Expect(ssComma, SCommaExpected);
        entry.Style = ByteValue();
        Expect(ssCloseParen, SCloseParenExpected);
        if (int(styles.size()) >= TCM_Settings::MaxEditableStyles)
            FailAt(at, LoadStr(STooManyEditableStyles));
        styles.push_back(std::move(entry));
        if (S.Token() == ssComma) S.Next();
    }
}

void TScriptParser::ContextStates() {
    Expect(ssEquals, SEqualsExpected);
    if (S.Token() != ssOpenParen) S.Error(SOpenParenExpected);
    while (S.Token() == ssOpenParen) {
        S.Next();
        std::vector<std::pair<uint8_t, TAt>> tokens;
        while (S.Token() != ssOpenBracket) {
            if (S.Token() == ssComma) {
                S.Next();
                continue;
            }
            if (!AtExpression()) S.Error(SOpenBracketExpected);
            const TAt at = Here();
            tokens.push_back({ByteValue(), at});
        }
        const TStateSet states = StateList();
        Expect(ssCloseParen, SCloseParenExpected);
        for (const auto& [token, at] : tokens) {
            if (D.Context[token]) FailAt(at, FmtLoadStr(STokenReSpecified, token));
            D.Context[token] = states;
        }
        if (S.Token() == ssComma) S.Next();
    }
}

bool TScriptParser::LanguageProperty() {
    TCM_Settings& st = D.Settings();
    const TScriptToken property = S.Token();
    switch (property) {
    case spEditableStyles:
        S.Next();
        EditableStyles();
        return true;
    case spContextStates:
        S.Next();
        ContextStates();
        return true;
    case spSelTextColor:
        S.Next();
        st.SelTextColorDefault = ColourValue(st.SelTextColor);
        return true;
    case spSelTextBack:
        S.Next();
        st.SelTextBackDefault = ColourValue(st.SelTextBack);
        return true;
    case spGutterColor:
        S.Next();
        st.GutterColorDefault = ColourValue(st.GutterColor);
        return true;
    case spMarginColor:
        S.Next();
        st.MarginColorDefault = ColourValue(st.MarginColor);
        return true;
    case spName:
    case spCase:
    case spOptions:
    case spExampleText:
    case spWordWrapColumn:
    case spFontName:
    case spFontSize:
    case spFontCharset:
    case spGutter:
    case spMarginWidth:
    case spAnchor:
    case spStartState:
    case spIndentStep:
    case spWrapOverride:
    case spRightMargin:
    case spTabColumns:
    case spTabDefault:
    case spBoundStates:
    case spGutterFontName:
    case spGutterFontSize:
    case spGutterFontColor:
    case spGutterFontStyle:
        break;
    default:
        return false;
    }
    S.Next();
    Expect(ssEquals, SEqualsExpected);
    switch (property) {
    case spName:
        st.Name = Cut(StringValue(), MaxNameLength);
        break;
    case spCase: {
        const TAt at = Here();
        SetCase(Expression() != 0, at);
    } break;
    case spOptions:
        st.Options = WordValue();
        break;
    case spExampleText:
        st.ExampleText = StringValue();
        break;
    case spWordWrapColumn:
        st.WordWrapColumn = int32_t(Ranged(0, MaxLayoutColumn));
        break;
    case spFontName:
        st.FontName = StringValue();
        break;
    case spFontSize:
        st.FontSize = int32_t(Ranged(0, MaxFontSize));
        break;
    case spFontCharset:
        st.FontCharset = ByteValue();
        break;
    case spGutter:
        st.GutterWidth = int32_t(Ranged(0, MaxLayoutPixels));
        break;
    case spMarginWidth:
        st.MarginWidth = int32_t(Ranged(0, MaxLayoutPixels));
        break;
    case spAnchor:
        D.Anchor = StateOrList();
        if (D.Anchor.Empty()) D.Anchor = TStateSet::Of({0});
        break;
    case spStartState:
        if (S.Token() == ssOpenBracket) {
            D.StartState = StateList();
        } else {
            D.StartState = TStateSet::Of({0});
            D.StartState.Include(StateValue(false));
        }
        break;
    case spIndentStep:
        st.IndentStep = int32_t(Ranged(0, MaxIndentStep));
        break;
    case spWrapOverride:
        st.WrapOverride = Cut(StringValue(), MaxNameLength);
        break;
    case spRightMargin:
        st.RightMargin = int32_t(Ranged(0, MaxLayoutColumn));
        break;
    case spTabColumns: {
        const TAt at = Here();
        const std::string text = StringValue();
        try {
            ParseTabColumns(text, st.TabColumns);
        } catch (const ETabColumnsError& e) {
            FailAt(at, e.what());
        }
        break;
    }
    case spTabDefault:
        // A zero width would leave no next tab stop.
        st.TabDefault = int32_t(Ranged(1, MaxTabDefault));
        break;
    case spBoundStates:
        D.BoundStates = StateOrList();
        break;
    case spGutterFontName:
        st.GutterFontName = StringValue();
        break;
    case spGutterFontSize:
        st.GutterFontSize = int32_t(Ranged(0, MaxFontSize));
        break;
    case spGutterFontColor:
        st.GutterFontColor = WordValue();
        break;
    case spGutterFontStyle:
        st.GutterFontStyle = FontStyles();
        break;
    default:
        break;
    }
    return true;
}

} // namespace quillet
