#include "editor/ScanStates.h"

#include "highlight/CodeMemoParser.h"

#include <algorithm>
#include <cstring>

namespace quillet {

size_t TScanStates::THash::operator()(const TNode& n) const {
    uint64_t w[4];
    std::memcpy(w, n.Top.Bits.data(), sizeof w);
    uint64_t h = 0x9E3779B97F4A7C15ull ^ n.Below ^ (uint64_t(n.Resume) << 32);
    for (uint64_t x : w)
        h = (h ^ x) * 0x100000001B3ull + (h >> 29);
    return size_t(h ^ (h >> 32));
}

uint32_t TScanStates::Intern(const TStateSet& top, uint32_t below, uint32_t resume) {
    const TNode node{top, below, resume};
    auto [it, added] = FIndex.try_emplace(node, uint32_t(FNodes.size() + 1));
    if (added) FNodes.push_back(node);
    return it->second;
}

uint32_t TScanStates::Of(const TCodeMemoParser& def) {
    const std::vector<TStateSet>& stack = def.Stack;
    if (stack.empty()) {
        // Rows mostly end in one of a few states with nothing stacked: a small cache by the
        // set's bits spares the hash table.
        uint64_t w[4];
        std::memcpy(w, def.State.Bits.data(), sizeof w);
        const uint64_t h = (w[0] ^ (w[1] * 3) ^ (w[2] * 5) ^ (w[3] * 7)) * 0x9E3779B97F4A7C15ull;
        const size_t slot = size_t(h >> 60) % FFlat.size();
        TFlat& f = FFlat[slot];
        if (f.Number && f.State == def.State) return f.Number;
        f.State = def.State;
        f.Number = Intern(def.State, 0);
        return f.Number;
    }
    // Keep the part of the last chain that the stack still shares.
    size_t same = 0;
    while (same < stack.size() && same < FLastStack.size() && stack[same] == FLastStack[same])
        ++same;
    if (FLast && same == stack.size() && same == FLastStack.size() && def.State == FLastState)
        return FLast;
    FLastStack.resize(same);
    FLastChain.resize(same);
    for (size_t i = same; i < stack.size(); ++i) {
        FLastChain.push_back(Intern(stack[i], i ? FLastChain[i - 1] : 0));
        FLastStack.push_back(stack[i]);
    }
    FLastState = def.State;
    FLast = Intern(def.State, stack.empty() ? 0 : FLastChain.back());
    return FLast;
}

uint32_t TScanStates::Of(const TCodeMemoParser& def, uint32_t resume) {
    const uint32_t plain = Of(def);
    if (!resume) return plain;
    const TNode n = FNodes[plain - 1]; // a copy: interning may move the nodes
    return Intern(n.Top, n.Below, resume);
}

void TScanStates::Load(uint32_t number, TCodeMemoParser& def) const {
    def.Stack.clear();
    if (number == 0 || number > FNodes.size()) return;
    def.State = FNodes[number - 1].Top;
    for (uint32_t n = FNodes[number - 1].Below; n; n = FNodes[n - 1].Below)
        def.Stack.push_back(FNodes[n - 1].Top);
    std::reverse(def.Stack.begin(), def.Stack.end());
}

} // namespace quillet
