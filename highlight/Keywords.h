// A character trie of words with values: longest-match lookups over a stream of characters.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

struct TKeywordMatch {
    int32_t Value = -1; // -1: no word matched
    size_t Length = 0;
    explicit operator bool() const { return Value >= 0; }
};

class TKeywords {
public:
    static constexpr int32_t NoNode = -1;

    explicit TKeywords(bool caseSensitive = true) : FCaseSensitive(caseSensitive) {
        FTop.fill(NoNode);
    }

    bool CaseSensitive() const { return FCaseSensitive; }
    // Only while empty: words are folded as they are added.
    void SetCaseSensitive(bool value) { FCaseSensitive = value; }

    // Adds a word, or gives an existing one the new value. Empty words are ignored.
    void Add(std::string_view word, int32_t value);
    void Clear();
    int Count() const { return FCount; }
    // The value of exactly this word, or -1.
    int32_t Find(std::string_view word) const;

    // The longest word that next() spells from its first character on; next() returns the
    // following byte or -1 when there is none.
    template <typename Next> TKeywordMatch MatchLongest(Next&& next) const {
        TKeywordMatch best;
        int c = next();
        if (c < 0) return best;
        int32_t n = FTop[Fold(uint8_t(c))];
        for (size_t length = 1; n != NoNode; ++length) {
            if (FNodes[size_t(n)].Value >= 0) best = {FNodes[size_t(n)].Value, length};
            c = next();
            if (c < 0) break;
            n = Child(n, uint8_t(c));
        }
        return best;
    }
    // The longest word that the text begins with.
    TKeywordMatch Match(std::string_view text) const;
    // The longest word that the text, read backwards from its end, spells: with reversed words
    // added, the word that ends the text.
    TKeywordMatch MatchBackward(std::string_view text) const;

private:
    struct TNode {
        uint8_t Ch = 0;
        int32_t Next = NoNode; // siblings by ascending character
        int32_t Child = NoNode;
        int32_t Value = -1; // -1: no word ends here
    };

    uint8_t Fold(uint8_t c) const {
        return (!FCaseSensitive && c >= 'A' && c <= 'Z') ? uint8_t(c + 32) : c;
    }
    int32_t Child(int32_t node, uint8_t c) const;

    bool FCaseSensitive;
    std::array<int32_t, 256> FTop;
    std::vector<TNode> FNodes;
    int FCount = 0;
};

} // namespace quillet
