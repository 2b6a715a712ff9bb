#include "highlight/Keywords.h"

namespace quillet {

int32_t TKeywords::Child(int32_t node, uint8_t c) const {
    c = Fold(c);
    for (int32_t n = FNodes[size_t(node)].Child; n != NoNode; n = FNodes[size_t(n)].Next) {
        uint8_t ch = FNodes[size_t(n)].Ch;
        if (ch == c) return n;
        if (ch > c) break;
    }
    return NoNode;
}

void TKeywords::Add(std::string_view word, int32_t value) {
    if (word.empty()) return;
    int32_t node = NoNode;
    for (size_t i = 0; i < word.size(); ++i) {
        uint8_t c = Fold(uint8_t(word[i]));
        int32_t prev = NoNode;
        int32_t cur = i == 0 ? FTop[c] : FNodes[size_t(node)].Child;
        while (cur != NoNode && FNodes[size_t(cur)].Ch < c) {
            prev = cur;
            cur = FNodes[size_t(cur)].Next;
        }
        if (cur == NoNode || FNodes[size_t(cur)].Ch != c) {
            int32_t index = int32_t(FNodes.size());
            FNodes.push_back({c, cur, NoNode, -1});
            if (prev != NoNode)
                FNodes[size_t(prev)].Next = index;
            else if (i == 0)
                FTop[c] = index;
            else
                FNodes[size_t(node)].Child = index;
            cur = index;
        }
        node = cur;
    }
    if (FNodes[size_t(node)].Value < 0) ++FCount;
    FNodes[size_t(node)].Value = value;
}

void TKeywords::Clear() {
    FTop.fill(NoNode);
    FNodes.clear();
    FCount = 0;
}

int32_t TKeywords::Find(std::string_view word) const {
    TKeywordMatch m = Match(word);
    return m.Length == word.size() ? m.Value : -1;
}

TKeywordMatch TKeywords::Match(std::string_view text) const {
    size_t i = 0;
    return MatchLongest([&]() -> int { return i < text.size() ? uint8_t(text[i++]) : -1; });
}

TKeywordMatch TKeywords::MatchBackward(std::string_view text) const {
    size_t i = text.size();
    return MatchLongest([&]() -> int { return i > 0 ? uint8_t(text[--i]) : -1; });
}

} // namespace quillet
