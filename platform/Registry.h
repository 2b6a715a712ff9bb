// The registry the core keeps settings in: typed values under keys of HKEY_CURRENT_USER.
#pragma once

#include "platform/Errors.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quillet {

class ERegistryError : public EQuilletError {
public:
    using EQuilletError::EQuilletError;
};

// Numbered as the platform numbers them (REG_SZ, REG_BINARY, REG_DWORD).
enum TRegValueType : uint32_t { rtNone = 0, rtString = 1, rtBinary = 3, rtDword = 4 };

// Key paths are relative to HKEY_CURRENT_USER ("Software\\Orvane\\Quillet"); key paths and
// value names compare without regard to ASCII case; "" names the key's default value.
// A missing value or one of another type raises ERegistryError.
class IRegistry {
public:
    virtual ~IRegistry() = default;

    // Opens the key; creates it (and its parents) when asked. Returns whether it exists now.
    virtual bool OpenKey(const std::string& key, bool create) = 0;
    virtual bool KeyExists(const std::string& key) const = 0;
    // rtNone when the value is missing.
    virtual TRegValueType ValueType(const std::string& key, const std::string& name) const = 0;
    virtual std::vector<std::string> ValueNames(const std::string& key) const = 0;

    virtual uint32_t ReadDword(const std::string& key, const std::string& name) const = 0;
    virtual std::string ReadString(const std::string& key, const std::string& name) const = 0;
    virtual std::vector<uint8_t> ReadBinary(const std::string& key,
                                            const std::string& name) const = 0;

    // Writing creates the key when it is missing.
    virtual void WriteDword(const std::string& key, const std::string& name, uint32_t value) = 0;
    virtual void WriteString(const std::string& key, const std::string& name,
                             const std::string& value) = 0;
    virtual void WriteBinary(const std::string& key, const std::string& name,
                             const std::vector<uint8_t>& value) = 0;
    // Returns false when there was no such value.
    virtual bool DeleteValue(const std::string& key, const std::string& name) = 0;
};

} // namespace quillet
