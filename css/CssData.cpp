// The generated table read into sorted lookups on first use.
#include "css/CssData.h"

#include <algorithm>

#include "resources/CssTable.h"

namespace quillet::css {

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

int CompareNoCase(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char x = Lower(a[i]), y = Lower(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t end = std::min(text.find(' ', i), text.size());
        if (end > i) out.push_back(text.substr(i, end - i));
        i = end + 1;
    }
    return out;
}

// Binary search over a vector sorted by lower-case Name.
template <class T> const T* FindByName(const std::vector<T>& rows, std::string_view name) {
    auto it =
        std::lower_bound(rows.begin(), rows.end(), name, [](const T& row, std::string_view key) {
            return CompareNoCase(row.Name, key) < 0;
        });
    return it != rows.end() && EqualsNoCase(it->Name, name) ? &*it : nullptr;
}

bool ContainsNoCase(const std::vector<std::string_view>& words, std::string_view word) {
    return std::any_of(words.begin(), words.end(),
                       [&](std::string_view w) { return EqualsNoCase(w, word); });
}

} // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

std::string_view DataVersion() {
    return res::CssDataVersion;
}

const std::vector<TPropertyInfo>& Properties() {
    static const std::vector<TPropertyInfo> rows = [] {
        std::vector<TPropertyInfo> out;
        out.reserve(res::CssPropertyCount);
        for (std::size_t i = 0; i < res::CssPropertyCount; ++i) {
            const res::TCssPropertyRow& r = res::CssPropertyRows[i];
            out.push_back({r.Name, r.Syntax, Words(r.Keywords), (r.Flags & res::cpfJudged) != 0,
                           (r.Flags & res::cpfColor) != 0, (r.Flags & res::cpfObsolete) != 0});
        }
        return out;
    }();
    return rows;
}

const TPropertyInfo* FindProperty(std::string_view name) {
    return FindByName(Properties(), name);
}

bool TakesKeyword(const TPropertyInfo& property, std::string_view keyword) {
    return ContainsNoCase(property.Keywords, keyword);
}

const std::vector<TAtRuleInfo>& AtRules() {
    static const std::vector<TAtRuleInfo> rows = [] {
        std::vector<TAtRuleInfo> out;
        for (std::size_t i = 0; i < res::CssAtRuleCount; ++i)
            out.push_back({res::CssAtRuleRows[i].Name, Words(res::CssAtRuleRows[i].Descriptors)});
        return out;
    }();
    return rows;
}

const TAtRuleInfo* FindAtRule(std::string_view name) {
    return FindByName(AtRules(), name);
}

bool TakesDescriptor(const TAtRuleInfo& rule, std::string_view descriptor) {
    return ContainsNoCase(rule.Descriptors, descriptor);
}

const std::vector<TNamedColor>& NamedColors() {
    static const std::vector<TNamedColor> rows = [] {
        std::vector<TNamedColor> out;
        for (std::size_t i = 0; i < res::CssColorCount; ++i)
            out.push_back({res::CssColorRows[i].Name, res::CssColorRows[i].Rgb});
        return out;
    }();
    return rows;
}

std::optional<std::uint32_t> FindNamedColor(std::string_view name) {
    const TNamedColor* c = FindByName(NamedColors(), name);
    if (!c) return std::nullopt;
    return c->Rgb;
}

const std::vector<std::string_view>& ColorKeywords() {
    static const std::vector<std::string_view> words = Words(res::CssColorKeywords);
    return words;
}

bool IsColorKeyword(std::string_view name) {
    return ContainsNoCase(ColorKeywords(), name);
}

bool IsGlobalKeyword(std::string_view name) {
    static const std::vector<std::string_view> globals{"inherit", "initial", "unset", "revert",
                                                       "revert-layer"};
    return ContainsNoCase(globals, name);
}

} // namespace quillet::css
