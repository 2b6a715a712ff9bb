// Completion: finds the context by walking back from the caret to the nearest ; { or }.
#include "css/Completion.h"

#include <algorithm>
#include <array>

#include "css/CssData.h"
#include "css/Lexer.h"

namespace quillet::css {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// At-rules whose blocks hold rules: after their "{" a selector is written, not a declaration.
bool OpensRuleBlock(std::string_view prelude) {
    static constexpr std::array names{"@media",
                                      "@supports",
                                      "@container",
                                      "@layer",
                                      "@scope",
                                      "@starting-style",
                                      "@document",
                                      "@keyframes",
                                      "@-webkit-keyframes",
                                      "@-moz-document",
                                      "@font-feature-values"};
    prelude = Trim(prelude);
    return std::any_of(names.begin(), names.end(), [&](std::string_view n) {
        return StartsWithNoCase(prelude, n) &&
               (prelude.size() == n.size() || !IsNameChar(prelude[n.size()]));
    });
}

} // namespace

TCompletion Complete(std::string_view before) {
    TCompletion out;
    std::size_t p = before.size();
    while (p > 0 && IsNameChar(static_cast<unsigned char>(before[p - 1])))
        --p;
    const std::string_view prefix = before.substr(p);
    out.PrefixLength = prefix.size();

    // Back to the delimiter that starts this declaration.
    std::size_t d = p;
    std::size_t colon = std::string_view::npos;
    while (d > 0 && before[d - 1] != ';' && before[d - 1] != '{' && before[d - 1] != '}') {
        if (before[d - 1] == ':') colon = d - 1;
        --d;
    }
    // Back past the declarations before this one to the brace that opens their block: after a
    // ';' among rules (an @import, say) selectors are written, not declarations.
    std::size_t open = d;
    while (open > 0 && before[open - 1] != '{' && before[open - 1] != '}')
        --open;
    if (open == 0 || before[open - 1] == '}') return out; // among rules
    std::size_t q = open - 1;
    while (q > 0 && before[q - 1] != ';' && before[q - 1] != '{' && before[q - 1] != '}')
        --q;
    if (OpensRuleBlock(before.substr(q, open - 1 - q))) return out;

    if (colon == std::string_view::npos) {
        if (!Trim(before.substr(d, p - d)).empty()) return out; // not where a name starts
        for (const TPropertyInfo& prop : Properties()) {
            if (!StartsWithNoCase(prop.Name, prefix)) continue;
            if (prop.Name.starts_with("-") && !prefix.starts_with("-")) continue;
            out.Entries.push_back({prop.Name, std::string(prop.Name) + ": "});
        }
        return out;
    }

    const TPropertyInfo* prop = FindProperty(Trim(before.substr(d, colon - d)));
    if (!prop) return out;
    out.Values = true;
    auto offer = [&](std::string_view word) {
        if (!StartsWithNoCase(word, prefix)) return;
        if (std::any_of(out.Entries.begin(), out.Entries.end(),
                        [&](const TCompletionEntry& e) { return e.Name == word; }))
            return;
        out.Entries.push_back({word, std::string(word)});
    };
    for (std::string_view k : prop->Keywords)
        offer(k);
    if (prop->TakesColor) {
        for (std::string_view k : ColorKeywords())
            offer(k);
        for (const TNamedColor& c : NamedColors())
            offer(c.Name);
    }
    for (std::string_view k : {"inherit", "initial", "unset", "revert", "revert-layer"})
        offer(k);
    return out;
}

bool OpensCompletion(std::string_view before) {
    if (before.empty()) return false;
    const char c = before.back();
    if (c == ':') {
        const TCompletion values = Complete(before);
        return values.Values && values.Entries.size() > 5; // more than the global keywords
    }
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!letter) return false;
    if (before.size() >= 2 && IsNameChar(static_cast<unsigned char>(before[before.size() - 2])))
        return false;
    const TCompletion names = Complete(before);
    return !names.Values && !names.Entries.empty();
}

} // namespace quillet::css
