// The key-sequence store: one- and two-key sequences mapped to command ids, and its matcher.
#pragma once

#include "platform/Stream.h"
#include "platform/VirtualKeys.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quillet {

struct TKeyBinding {
    TShortCut First = 0;
    TShortCut Second = 0; // 0 for a one-key binding
    int32_t Command = -1;
    friend bool operator==(const TKeyBinding&, const TKeyBinding&) = default;
};

enum TKeyMatch : uint8_t { kmNoMatch, kmPrefix, kmRecognised };

class TKeyStore {
public:
    static constexpr int32_t NoNode = -1;

    struct TKeyNode {
        TShortCut Key = 0;
        int32_t Parent = NoNode; // the first key's node, for a second key
        int32_t Next = NoNode;
        int32_t Child = NoNode; // the second keys that may follow this one
        bool Terminal = false;
        int32_t Command = -1;
    };

    // Names commands in the duplicate error.
    using TNameOf = std::function<std::string(int)>;

    // Raises the duplicate error when the sequence clashes with one already held; a refused
    // binding leaves the store as it was.
    void AddBinding(TShortCut first, TShortCut second, int32_t command, const TNameOf& nameOf);
    void Clear();
    void ResetMatcher() { FAwaiting = NoNode; }
    bool AwaitingSecondKey() const { return FAwaiting != NoNode; }
    TKeyMatch Match(TShortCut key);
    int32_t RecognisedCommand() const { return FRecognised; }
    int Count() const;

    // Every binding in stream order: a node, then the rest of its sibling list, then its children.
    std::vector<TKeyBinding> Bindings() const;

    // The enumeration behind first-keys / next-keys of a command; false when there is no more.
    bool FirstKeysOfCommand(int32_t command, TShortCut& first, TShortCut& second);
    bool NextKeysOfCommand(int32_t command, TShortCut& first, TShortCut& second);

    void SaveToStream(TStream& stream) const;
    // Reads the bindings only; the caller has read the names before them.
    void LoadFromStream(TStream& stream, const TNameOf& nameOf);

    const std::vector<TKeyNode>& Nodes() const { return FNodes; }

private:
    int32_t Find(int32_t head, TShortCut key) const;
    int32_t Append(int32_t parent, TShortCut key);

    size_t FEnumIndex = 0;
    int32_t FAwaiting = NoNode; // the first key's node while a second key is awaited
    int32_t FRoot = NoNode;
    int32_t FRecognised = -1;
    std::vector<TKeyNode> FNodes;
};

} // namespace quillet
