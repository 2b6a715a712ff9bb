// The keyword trie: keywords with their token values, the states they count in and end groups.
#pragma once

#include "highlight/CharGroup.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

struct TKeywordEntry {
    uint8_t Token = 0;
    TStateSet States;
    int EndGroup = -1; // character group the next character must be in; -1: anything
};

class TSyntaxKeywords {
public:
    static constexpr int32_t NoNode = -1;

    struct TNode {
        uint8_t Ch = 0;
        int32_t Next = NoNode;  // next sibling, siblings by ascending character
        int32_t Child = NoNode; // first child
        TStateSet States;       // union of the states of every keyword through this node
        std::vector<TKeywordEntry> Entries;
    };

    explicit TSyntaxKeywords(bool caseSensitive = true) : FCaseSensitive(caseSensitive) {
        FTop.fill(NoNode);
    }

    bool CaseSensitive() const { return FCaseSensitive; }
    // Only while empty: the fold is applied when keywords are added.
    void SetCaseSensitive(bool value) { FCaseSensitive = value; }

    // Raises "Duplicate keyword - '%s'" when the text already has an entry whose states overlap.
    void Add(std::string_view text, uint8_t token, const TStateSet& states, int endGroup = -1);
    void Clear();
    int Count() const { return FCount; }

    // Trie walking for the tokenizer: top node of a first byte, child matching a byte.
    int32_t Top(uint8_t c) const { return FTop[Fold(c)]; }
    int32_t Child(int32_t node, uint8_t c) const {
        c = Fold(c);
        for (int32_t n = FNodes[size_t(node)].Child; n != NoNode; n = FNodes[size_t(n)].Next) {
            const uint8_t ch = FNodes[size_t(n)].Ch;
            if (ch == c) return n;
            if (ch > c) break;
        }
        return NoNode;
    }
    const TNode& Node(int32_t node) const { return FNodes[size_t(node)]; }
    uint8_t Fold(uint8_t c) const {
        return (!FCaseSensitive && c >= 'A' && c <= 'Z') ? uint8_t(c + 32) : c;
    }

    // Every keyword with its entries, in trie order (for saving and listing).
    template <typename F> void ForEach(F&& fn) const {
        std::string text;
        for (int c = 0; c < 256; ++c)
            if (FTop[size_t(c)] != NoNode) Walk(FTop[size_t(c)], text, fn);
    }

private:
    template <typename F> void Walk(int32_t n, std::string& text, F& fn) const {
        for (; n != NoNode; n = FNodes[size_t(n)].Next) {
            text.push_back(char(FNodes[size_t(n)].Ch));
            for (const auto& e : FNodes[size_t(n)].Entries)
                fn(std::string_view(text), e);
            Walk(FNodes[size_t(n)].Child, text, fn);
            text.pop_back();
        }
    }

    bool FCaseSensitive;
    std::array<int32_t, 256> FTop;
    std::vector<TNode> FNodes;
    int FCount = 0;
};

} // namespace quillet
