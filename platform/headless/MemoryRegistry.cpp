#include "platform/headless/MemoryRegistry.h"

#include "resources/Strings.h"

namespace quillet {

std::string TMemoryRegistry::Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c + 32);
    return s;
}

std::string TMemoryRegistry::NormalKey(const std::string& key) {
    std::string out;
    for (size_t i = 0; i < key.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(key[i]);
        if (c < 32 || c == 127) throw ERegistryError(FmtLoadStr(SRegBadKey, key));
        if (c == '\\') {
            // Separators at either end or doubled name no key part.
            if (out.empty() || out.back() == '\\') continue;
        }
        out += char(c);
    }
    while (!out.empty() && out.back() == '\\')
        out.pop_back();
    if (out.empty()) throw ERegistryError(FmtLoadStr(SRegBadKey, key));
    return out;
}

bool TMemoryRegistry::OpenKey(const std::string& key, bool create) {
    const std::string path = NormalKey(key);
    if (KeyExists(path)) return true;
    if (!create) return false;
    TKeys before = FKeys;
    FKeys[Lower(path)].Path = path;
    Changed(before);
    return true;
}

bool TMemoryRegistry::KeyExists(const std::string& key) const {
    const std::string lower = Lower(NormalKey(key));
    if (FKeys.count(lower)) return true;
    // A parent of a stored key exists too.
    auto it = FKeys.lower_bound(lower + "\\");
    return it != FKeys.end() && it->first.compare(0, lower.size() + 1, lower + "\\") == 0;
}

TRegValueType TMemoryRegistry::ValueType(const std::string& key, const std::string& name) const {
    auto k = FKeys.find(Lower(NormalKey(key)));
    if (k == FKeys.end()) return rtNone;
    auto v = k->second.Values.find(Lower(name));
    return v == k->second.Values.end() ? rtNone : v->second.Type;
}

std::vector<std::string> TMemoryRegistry::ValueNames(const std::string& key) const {
    std::vector<std::string> names;
    auto k = FKeys.find(Lower(NormalKey(key)));
    if (k != FKeys.end())
        for (const auto& [lower, v] : k->second.Values)
            names.push_back(v.Name);
    return names;
}

const TMemoryRegistry::TValue&
TMemoryRegistry::Find(const std::string& key, const std::string& name, TRegValueType type) const {
    auto k = FKeys.find(Lower(NormalKey(key)));
    if (k != FKeys.end()) {
        auto v = k->second.Values.find(Lower(name));
        if (v != k->second.Values.end()) {
            if (v->second.Type != type) throw ERegistryError(FmtLoadStr(SRegWrongType, name));
            return v->second;
        }
    }
    throw ERegistryError(FmtLoadStr(SRegNotFound, name));
}

uint32_t TMemoryRegistry::ReadDword(const std::string& key, const std::string& name) const {
    return Find(key, name, rtDword).Dword;
}

std::string TMemoryRegistry::ReadString(const std::string& key, const std::string& name) const {
    return Find(key, name, rtString).Text;
}

std::vector<uint8_t> TMemoryRegistry::ReadBinary(const std::string& key,
                                                 const std::string& name) const {
    return Find(key, name, rtBinary).Data;
}

void TMemoryRegistry::Put(const std::string& key, TValue value) {
    const std::string path = NormalKey(key);
    TKeys before = FKeys;
    TKey& k = FKeys[Lower(path)];
    if (k.Path.empty()) k.Path = path;
    auto& slot = k.Values[Lower(value.Name)];
    if (!slot.Name.empty()) value.Name = slot.Name; // keep the spelling it was created with
    slot = std::move(value);
    Changed(before);
}

void TMemoryRegistry::WriteDword(const std::string& key, const std::string& name, uint32_t value) {
    TValue v;
    v.Name = name;
    v.Type = rtDword;
    v.Dword = value;
    Put(key, std::move(v));
}

void TMemoryRegistry::WriteString(const std::string& key, const std::string& name,
                                  const std::string& value) {
    TValue v;
    v.Name = name;
    v.Type = rtString;
    v.Text = value;
    Put(key, std::move(v));
}

void TMemoryRegistry::WriteBinary(const std::string& key, const std::string& name,
                                  const std::vector<uint8_t>& value) {
    TValue v;
    v.Name = name;
    v.Type = rtBinary;
    v.Data = value;
    Put(key, std::move(v));
}

bool TMemoryRegistry::DeleteValue(const std::string& key, const std::string& name) {
    auto k = FKeys.find(Lower(NormalKey(key)));
    if (k == FKeys.end()) return false;
    if (!k->second.Values.count(Lower(name))) return false;
    TKeys before = FKeys;
    k->second.Values.erase(Lower(name));
    Changed(before);
    return true;
}

} // namespace quillet
