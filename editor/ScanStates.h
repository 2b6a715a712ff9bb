// Scanner states at row ends, each kept once, so that two rows' states compare by value in O(1).
#pragma once

#include "highlight/CharGroup.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace quillet {

class TCodeMemoParser;

// A state is the scanner's state set on top of its stack of saved sets. Each is kept as a chain
// of nodes (a set on the node below it), and every node exists once: equal numbers mean equal
// states, never a chance match. The store owns one table, so every scanner of its rows numbers
// the same way.
class TScanStates {
public:
    // The number of the parser's state now; never 0 (a row's 0 means "no state known"), and
    // below 2^31 (the top bit is the row's ScanExact).
    uint32_t Of(const TCodeMemoParser& def);
    // The number of the parser's state inside a token that goes on past here: the state with
    // the token's resume code (TCodeMemoParser::ResumableAt), never equal to a state's own.
    uint32_t Of(const TCodeMemoParser& def, uint32_t resume);
    // Puts state `number` back into the parser (its set and its stack).
    void Load(uint32_t number, TCodeMemoParser& def) const;
    // The resume code of state `number`: 0 unless it stands inside a token.
    uint32_t ResumeOf(uint32_t number) const {
        return number && number <= FNodes.size() ? FNodes[number - 1].Resume : 0;
    }
    size_t Count() const { return FNodes.size(); }

private:
    struct TNode {
        TStateSet Top;
        uint32_t Below;      // 0: the bottom of the stack
        uint32_t Resume = 0; // a token under way, on top of the stack only
        friend bool operator==(const TNode&, const TNode&) = default;
    };
    struct THash {
        size_t operator()(const TNode& n) const;
    };
    uint32_t Intern(const TStateSet& top, uint32_t below, uint32_t resume = 0);

    std::vector<TNode> FNodes; // number = index + 1
    std::unordered_map<TNode, uint32_t, THash> FIndex;
    // States with an empty stack met lately, by their hash.
    struct TFlat {
        TStateSet State;
        uint32_t Number = 0;
    };
    std::array<TFlat, 16> FFlat{};
    // The chain of the last answer: a row end in the same state costs no look-up.
    std::vector<TStateSet> FLastStack;
    std::vector<uint32_t> FLastChain; // FLastChain[i]: the number of FLastStack[0..i]
    TStateSet FLastState;
    uint32_t FLast = 0;
};

} // namespace quillet
