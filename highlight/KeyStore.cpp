#include "highlight/KeyStore.h"

#include "highlight/KeyNames.h"
#include "resources/Strings.h"

namespace quillet {

namespace {
[[noreturn]] void Duplicate(const TKeyStore::TNameOf& nameOf, int32_t added, int32_t held) {
    throw EKeyError(FmtLoadStr(SDuplicateKeySequence, nameOf ? nameOf(added) : std::string(),
                               nameOf ? nameOf(held) : std::string()));
}
} // namespace

int32_t TKeyStore::Find(int32_t head, TShortCut key) const {
    for (int32_t n = head; n != NoNode; n = FNodes[size_t(n)].Next)
        if (FNodes[size_t(n)].Key == key) return n;
    return NoNode;
}

int32_t TKeyStore::Append(int32_t parent, TShortCut key) {
    int32_t index = int32_t(FNodes.size());
    TKeyNode node;
    node.Key = key;
    node.Parent = parent;
    FNodes.push_back(node);
    int32_t& head = parent == NoNode ? FRoot : FNodes[size_t(parent)].Child;
    if (head == NoNode) {
        head = index;
    } else {
        int32_t last = head;
        while (FNodes[size_t(last)].Next != NoNode)
            last = FNodes[size_t(last)].Next;
        FNodes[size_t(last)].Next = index;
    }
    return index;
}

void TKeyStore::AddBinding(TShortCut first, TShortCut second, int32_t command,
                           const TNameOf& nameOf) {
    if (command < 0) throw EKeyError(FmtLoadStr(SBadCommandId, command));
    // A second key is matched by its virtual key alone.
    second = TShortCut(second & 0xFF);
    // Every check comes before any change: a refused binding must not leave a bare first-key
    // node behind, which the matcher would take for a command of its own.
    int32_t top = Find(FRoot, first);
    if (second == 0) {
        if (top != NoNode) {
            const TKeyNode& t = FNodes[size_t(top)];
            if (t.Child != NoNode) Duplicate(nameOf, command, FNodes[size_t(t.Child)].Command);
            if (t.Command >= 0) Duplicate(nameOf, command, t.Command);
        } else {
            top = Append(NoNode, first);
        }
        FNodes[size_t(top)].Terminal = true;
        FNodes[size_t(top)].Command = command;
        return;
    }
    int32_t node = NoNode;
    if (top != NoNode) {
        if (FNodes[size_t(top)].Command >= 0)
            Duplicate(nameOf, command, FNodes[size_t(top)].Command);
        node = Find(FNodes[size_t(top)].Child, second);
        if (node != NoNode && FNodes[size_t(node)].Command >= 0)
            Duplicate(nameOf, command, FNodes[size_t(node)].Command);
    } else {
        top = Append(NoNode, first);
    }
    if (node == NoNode) node = Append(top, second);
    FNodes[size_t(node)].Terminal = true;
    FNodes[size_t(node)].Command = command;
}

void TKeyStore::Clear() {
    FNodes.clear();
    FRoot = NoNode;
    FAwaiting = NoNode;
    FRecognised = -1;
    FEnumIndex = 0;
}

TKeyMatch TKeyStore::Match(TShortCut key) {
    int32_t head = FRoot;
    if (FAwaiting != NoNode) {
        head = FNodes[size_t(FAwaiting)].Child;
        key = TShortCut(key & 0xFF);
    }
    int32_t n = Find(head, key);
    if (n == NoNode) {
        FAwaiting = NoNode;
        return kmNoMatch;
    }
    if (FNodes[size_t(n)].Child != NoNode) {
        FAwaiting = n;
        return kmPrefix;
    }
    FRecognised = FNodes[size_t(n)].Command;
    FAwaiting = NoNode;
    return kmRecognised;
}

int TKeyStore::Count() const {
    int count = 0;
    for (const auto& n : FNodes)
        if (n.Terminal && n.Command >= 0) ++count;
    return count;
}

std::vector<TKeyBinding> TKeyStore::Bindings() const {
    std::vector<TKeyBinding> out;
    // Iterative, so that a long sibling list read from a stream cannot exhaust the stack.
    std::vector<int32_t> pending{FRoot};
    while (!pending.empty()) {
        int32_t n = pending.back();
        pending.pop_back();
        if (n == NoNode) continue;
        const TKeyNode& node = FNodes[size_t(n)];
        if (node.Terminal && node.Command >= 0) {
            if (node.Parent == NoNode)
                out.push_back({node.Key, 0, node.Command});
            else
                out.push_back({FNodes[size_t(node.Parent)].Key, node.Key, node.Command});
        }
        pending.push_back(node.Child);
        pending.push_back(node.Next);
    }
    return out;
}

bool TKeyStore::FirstKeysOfCommand(int32_t command, TShortCut& first, TShortCut& second) {
    FEnumIndex = 0;
    return NextKeysOfCommand(command, first, second);
}

bool TKeyStore::NextKeysOfCommand(int32_t command, TShortCut& first, TShortCut& second) {
    std::vector<TKeyBinding> all = Bindings();
    while (FEnumIndex < all.size()) {
        const TKeyBinding& b = all[FEnumIndex++];
        if (b.Command == command) {
            first = b.First;
            second = b.Second;
            return true;
        }
    }
    first = second = 0;
    return false;
}

void TKeyStore::SaveToStream(TStream& stream) const {
    std::vector<TKeyBinding> all = Bindings();
    WriteU32(stream, uint32_t(all.size()));
    for (const auto& b : all) {
        WriteU16(stream, b.First);
        WriteU16(stream, b.Second);
        WriteU32(stream, uint32_t(b.Command));
    }
}

void TKeyStore::LoadFromStream(TStream& stream, const TNameOf& nameOf) {
    Clear();
    uint32_t count = ReadU32(stream);
    for (uint32_t i = 0; i < count; ++i) {
        TShortCut first = ReadU16(stream);
        TShortCut second = ReadU16(stream);
        int32_t command = int32_t(ReadU32(stream));
        AddBinding(first, second, command, nameOf);
    }
    // Saving writes the second keys of the last first key first. Put the first keys of two-key
    // sequences at the end of the list in reverse, so that saving again gives the same bytes.
    std::vector<int32_t> singles, prefixes;
    for (int32_t n = FRoot; n != NoNode; n = FNodes[size_t(n)].Next)
        (FNodes[size_t(n)].Child == NoNode ? singles : prefixes).push_back(n);
    singles.insert(singles.end(), prefixes.rbegin(), prefixes.rend());
    FRoot = NoNode;
    for (size_t i = singles.size(); i-- > 0;) {
        FNodes[size_t(singles[i])].Next = FRoot;
        FRoot = singles[i];
    }
    ResetMatcher();
}

} // namespace quillet
