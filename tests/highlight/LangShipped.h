// Helpers for the tests of the shipped language scripts: compile one, list its tables, walk text.
#pragma once

#include "highlight/CodeMemoParser.h"
#include "highlight/Compiler.h"

#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace quillet::langtest {

inline std::string ScriptPath(const std::string& language) {
    return std::string(QUILLET_SOURCE_DIR) + "/resources/languages/" + language + ".qls";
}

inline std::unique_ptr<TCodeMemoParser> CompileShipped(const std::string& language) {
    auto p = std::make_unique<TCodeMemoParser>();
    CompileScriptFile(*p, ScriptPath(language));
    return p;
}

inline int RuleCount(const TStartTable& table) {
    int n = 0;
    for (const auto& r : table.Rules)
        n += r.has_value();
    return n;
}

// Every keyword entry by its (folded) text.
inline std::multimap<std::string, TKeywordEntry> KeywordEntries(const TCodeMemoParser& p) {
    std::multimap<std::string, TKeywordEntry> out;
    p.Keywords.ForEach(
        [&](std::string_view text, const TKeywordEntry& e) { out.emplace(std::string(text), e); });
    return out;
}

// The entry of `text` whose states include `state`; null when there is none.
inline const TKeywordEntry* FindKeyword(const std::multimap<std::string, TKeywordEntry>& all,
                                        const std::string& text, int state) {
    auto [from, to] = all.equal_range(text);
    for (auto it = from; it != to; ++it)
        if (it->second.States.Has(uint8_t(state))) return &it->second;
    return nullptr;
}

struct TWalkStep {
    std::string Text;
    int Token;
    TStateSet State; // current state after the token
    friend bool operator==(const TWalkStep&, const TWalkStep&) = default;
};

// Tokens of the whole text as re-scanning finds them from the text start.
inline std::vector<TWalkStep> WalkStates(TCodeMemoParser& p, const std::string& text) {
    p.ResetState(0);
    TTokenCursor cur{reinterpret_cast<const uint8_t*>(text.data()), text.size(), 0};
    std::vector<TWalkStep> out;
    while (!cur.AtEnd()) {
        const size_t from = cur.Pos;
        int token = p.NextToken(cur);
        if (cur.Pos == from) ++cur.Pos; // a length of 0 is one character of the value
        out.push_back({text.substr(from, cur.Pos - from), token, p.State});
    }
    return out;
}

using TTokens = std::vector<std::pair<std::string, int>>;

inline TTokens Walk(TCodeMemoParser& p, const std::string& text) {
    TTokens out;
    for (const auto& s : WalkStates(p, text))
        out.emplace_back(s.Text, s.Token);
    return out;
}

// The walk without the blanks between tokens (token 0 of blanks only).
inline TTokens WalkWords(TCodeMemoParser& p, const std::string& text, int blankToken = 0) {
    TTokens out;
    for (auto& t : Walk(p, text))
        if (!(t.second == blankToken && t.first.find_first_not_of(" \r\t") == std::string::npos))
            out.push_back(t);
    return out;
}

} // namespace quillet::langtest
