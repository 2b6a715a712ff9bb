// Character groups (256-bit byte sets with a negate flag), state sets and their interning manager.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace quillet {

// A 256-bit set: bit n of byte n/8 holds member n. Used for state sets and token sets.
struct TByteSet {
    std::array<uint8_t, 32> Bits{};

    bool Has(uint8_t n) const { return (Bits[n >> 3] >> (n & 7)) & 1; }
    void Include(uint8_t n) { Bits[n >> 3] |= uint8_t(1u << (n & 7)); }
    void Exclude(uint8_t n) { Bits[n >> 3] &= uint8_t(~(1u << (n & 7))); }
    bool Empty() const;
    // Word by word: the tokenizer asks this several times a token.
    bool Meets(const TByteSet& other) const {
        uint64_t any = 0;
        for (size_t i = 0; i < 32; i += 8) {
            uint64_t a, b;
            std::memcpy(&a, Bits.data() + i, sizeof a);
            std::memcpy(&b, other.Bits.data() + i, sizeof b);
            any |= a & b;
        }
        return any != 0;
    }
    void Unite(const TByteSet& other);
    void Subtract(const TByteSet& other);
    static TByteSet Of(std::initializer_list<int> members);
    friend bool operator==(const TByteSet& a, const TByteSet& b) {
        uint64_t diff = 0;
        for (size_t i = 0; i < 32; i += 8) {
            uint64_t x, y;
            std::memcpy(&x, a.Bits.data() + i, sizeof x);
            std::memcpy(&y, b.Bits.data() + i, sizeof y);
            diff |= x ^ y;
        }
        return diff == 0;
    }
};

using TStateSet = TByteSet;

class TCM_CharGroup {
public:
    bool Contains(uint8_t c) const { return FSet.Has(c) != FNegate; }
    void Add(uint8_t c);
    void AddRange(uint8_t lo, uint8_t hi);
    bool Negate() const { return FNegate; }
    void SetNegate(bool value) { FNegate = value; }
    int Lowest() const { return FLow; }   // -1 while empty
    int Highest() const { return FHigh; } // -1 while empty
    const TByteSet& Set() const { return FSet; }
    bool SameAs(const TCM_CharGroup& other) const {
        return FNegate == other.FNegate && FSet == other.FSet;
    }

private:
    TByteSet FSet;
    bool FNegate = false;
    int FLow = -1;
    int FHigh = -1;
};

// Holds each distinct group once; parts refer to groups by index.
class TCM_CharGroupManager {
public:
    // Returns the index of an equal group already held, else stores a copy.
    int Add(const TCM_CharGroup& group);
    // Stores a copy without looking for an equal one: for callers that intern on their own.
    int Append(const TCM_CharGroup& group) {
        FGroups.push_back(group);
        return int(FGroups.size()) - 1;
    }
    // Raises "Invalid Set ID (%d)" for an index out of range.
    const TCM_CharGroup& Group(int index) const;
    int Count() const { return int(FGroups.size()); }
    void Clear() { FGroups.clear(); }

private:
    std::vector<TCM_CharGroup> FGroups;
};

} // namespace quillet
