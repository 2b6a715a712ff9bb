// Key names, shortcut texts, and what the key and expansion tables share: their error type,
// the assignable-table base and the little-endian field readers of their stream formats.
#pragma once

#include "platform/Errors.h"
#include "platform/Stream.h"
#include "platform/VirtualKeys.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quillet {

// Key-table, key-specification and expansion-table failures.
class EKeyError : public EQuilletError {
public:
    using EQuilletError::EQuilletError;
};

// A table that can be copied from another of its own class through a stream.
class TPersistentTable {
public:
    virtual ~TPersistentTable() = default;
    virtual std::string ClassName() const = 0;
    virtual void SaveToStream(TStream& stream) const = 0;
    virtual void LoadFromStream(TStream& stream) = 0;
};

// The virtual key of a name in the key-name table ("pageup", "f5"; any case), 0 when unknown.
int KeyFromName(std::string_view name);

// Shortcut text as menus write it: "Ctrl+J", "Shift+Ctrl+Z", "Left"; "" for no key.
std::string ShortCutToText(TShortCut key);
// The reverse; modifiers in any order and case. "" gives 0; an unknown text raises EKeyError.
TShortCut TextToShortCut(std::string_view text);

// The shortcut of a key event: the key's low byte plus the modifier bits of the shift state.
TShortCut ShortCutOf(int key, TShiftState shift);

// Little-endian fields of the table streams. Lengths that run past the stream's end raise
// "Stream read error" instead of allocating what the stream cannot hold.
void WriteU8(TStream& s, uint8_t v);
void WriteU16(TStream& s, uint16_t v);
void WriteU32(TStream& s, uint32_t v);
void WriteStr8(TStream& s, std::string_view text); // caller has checked the length
void WriteStr32(TStream& s, std::string_view text);
uint8_t ReadU8(TStream& s);
uint16_t ReadU16(TStream& s);
uint32_t ReadU32(TStream& s);
std::string ReadStr8(TStream& s);
std::string ReadStr32(TStream& s);

// The first bytes of a long text, for messages that name it.
std::string Abbreviate(std::string_view text, size_t keep = 40);

} // namespace quillet
