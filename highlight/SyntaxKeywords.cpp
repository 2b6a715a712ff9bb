#include "highlight/SyntaxKeywords.h"

#include "highlight/DefinitionError.h"
#include "resources/Strings.h"

namespace quillet {

void TSyntaxKeywords::Add(std::string_view text, uint8_t token, const TStateSet& states,
                          int endGroup) {
    if (text.empty()) throw EDefinitionError(FmtLoadStr(SDuplicateKeyword, text));
    // Check first so that a refused keyword leaves the trie as it was.
    int32_t n = Top(uint8_t(text[0]));
    for (size_t i = 1; n != NoNode && i < text.size(); ++i)
        n = Child(n, uint8_t(text[i]));
    if (n != NoNode)
        for (const auto& e : FNodes[size_t(n)].Entries)
            if (e.States.Meets(states)) throw EDefinitionError(FmtLoadStr(SDuplicateKeyword, text));

    int32_t node = NoNode;
    for (size_t i = 0; i < text.size(); ++i) {
        uint8_t c = Fold(uint8_t(text[i]));
        // Indices, not pointers: push_back may move the nodes.
        int32_t head = i == 0 ? FTop[c] : FNodes[size_t(node)].Child;
        int32_t prev = NoNode, cur = head;
        while (cur != NoNode && FNodes[size_t(cur)].Ch < c) {
            prev = cur;
            cur = FNodes[size_t(cur)].Next;
        }
        if (cur == NoNode || FNodes[size_t(cur)].Ch != c) {
            TNode fresh;
            fresh.Ch = c;
            fresh.Next = cur;
            int32_t index = int32_t(FNodes.size());
            FNodes.push_back(std::move(fresh));
            if (prev != NoNode)
                FNodes[size_t(prev)].Next = index;
            else if (i == 0)
                FTop[c] = index;
            else
                FNodes[size_t(node)].Child = index;
            cur = index;
        }
        node = cur;
        FNodes[size_t(node)].States.Unite(states);
    }
    FNodes[size_t(node)].Entries.push_back({token, states, endGroup});
    ++FCount;
}

void TSyntaxKeywords::Clear() {
    FTop.fill(NoNode);
    FNodes.clear();
    FCount = 0;
}

} // namespace quillet
