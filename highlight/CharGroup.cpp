#include "highlight/CharGroup.h"

#include "highlight/DefinitionError.h"
#include "resources/Strings.h"

namespace quillet {

bool TByteSet::Empty() const {
    for (uint8_t b : Bits)
        if (b) return false;
    return true;
}

void TByteSet::Unite(const TByteSet& other) {
    for (int i = 0; i < 32; ++i)
        Bits[i] |= other.Bits[i];
}

void TByteSet::Subtract(const TByteSet& other) {
    for (int i = 0; i < 32; ++i)
        Bits[i] &= uint8_t(~other.Bits[i]);
}

TByteSet TByteSet::Of(std::initializer_list<int> members) {
    TByteSet s;
    for (int m : members)
        s.Include(uint8_t(m));
    return s;
}

void TCM_CharGroup::Add(uint8_t c) {
    FSet.Include(c);
    if (FLow < 0 || c < FLow) FLow = c;
    if (c > FHigh) FHigh = c;
}

void TCM_CharGroup::AddRange(uint8_t lo, uint8_t hi) {
    for (int c = lo; c <= hi; ++c)
        Add(uint8_t(c));
}

int TCM_CharGroupManager::Add(const TCM_CharGroup& group) {
    for (size_t i = 0; i < FGroups.size(); ++i)
        if (FGroups[i].SameAs(group)) return int(i);
    FGroups.push_back(group);
    return int(FGroups.size()) - 1;
}

const TCM_CharGroup& TCM_CharGroupManager::Group(int index) const {
    if (index < 0 || index >= int(FGroups.size()))
        throw EDefinitionError(FmtLoadStr(SInvalidSetId, index));
    return FGroups[size_t(index)];
}

} // namespace quillet
