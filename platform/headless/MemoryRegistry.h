// A registry held in memory: the headless one, and the model the file registry saves.
#pragma once

#include "platform/Registry.h"

#include <map>
#include <string>
#include <vector>

namespace quillet {

class TMemoryRegistry : public IRegistry {
public:
    struct TValue {
        std::string Name; // as first written
        TRegValueType Type = rtNone;
        uint32_t Dword = 0;
        std::string Text;          // rtString
        std::vector<uint8_t> Data; // rtBinary
        friend bool operator==(const TValue&, const TValue&) = default;
    };
    struct TKey {
        std::string Path;                     // as first created
        std::map<std::string, TValue> Values; // by lower-case name
        friend bool operator==(const TKey&, const TKey&) = default;
    };
    using TKeys = std::map<std::string, TKey>; // by lower-case path

    bool OpenKey(const std::string& key, bool create) override;
    bool KeyExists(const std::string& key) const override;
    TRegValueType ValueType(const std::string& key, const std::string& name) const override;
    std::vector<std::string> ValueNames(const std::string& key) const override;
    uint32_t ReadDword(const std::string& key, const std::string& name) const override;
    std::string ReadString(const std::string& key, const std::string& name) const override;
    std::vector<uint8_t> ReadBinary(const std::string& key, const std::string& name) const override;
    void WriteDword(const std::string& key, const std::string& name, uint32_t value) override;
    void WriteString(const std::string& key, const std::string& name,
                     const std::string& value) override;
    void WriteBinary(const std::string& key, const std::string& name,
                     const std::vector<uint8_t>& value) override;
    bool DeleteValue(const std::string& key, const std::string& name) override;

    const TKeys& Keys() const { return FKeys; }
    void SetKeys(TKeys keys) { FKeys = std::move(keys); }

    // "Software\\A\\B" without stray separators; raises for an empty or unprintable path.
    static std::string NormalKey(const std::string& key);
    static std::string Lower(std::string s);

protected:
    // Called after every change with the state before it; the file registry saves here
    // and puts the old state back when saving fails.
    virtual void Changed(TKeys& before) { (void)before; }

private:
    const TValue& Find(const std::string& key, const std::string& name, TRegValueType type) const;
    void Put(const std::string& key, TValue value);

    TKeys FKeys;
};

} // namespace quillet
