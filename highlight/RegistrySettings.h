// A definition's highlighting and key choices kept in the registry under its RegistryKey.
#pragma once

#include "highlight/CodeMemoParser.h"
#include "highlight/DefStream.h"
#include "platform/Registry.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quillet {

// The text value: "Zendra6:", 24 tagged items ("TAG#length#value"), then "#END#".
std::string FormatHighlighting(const TCM_Settings& s);
// Reads the items back into s; anything malformed raises "Invalid data in registry entry"
// (or "Invalid data in style string" for the styles) and leaves s as it was.
void ParseHighlighting(const std::string& text, TCM_Settings& s);

// The binary value: the sstring "Zendra6:" and the stored key-binding block.
std::vector<uint8_t> FormatKeyAssignments(const TStoredKeyTable& keys);
TStoredKeyTable ParseKeyAssignments(const std::vector<uint8_t>& data);

std::string HighlightingValueName(const TCM_Settings& s);
std::string KeyAssignmentsValueName(const TCM_Settings& s);

// Both values under def.RegistryKey; raises "Registry interface disabled in: NAME" when
// UseRegistry is off or the key is empty. Registry failures pass through.
void SaveToRegistry(const TCodeMemoParser& def, IRegistry& registry,
                    const std::string& componentName);
// Applies whichever of the two values are stored and readable; returns whether any was. A
// value that fails to load leaves its part of the settings alone; the first failure is raised
// after the other value had its turn.
bool LoadFromRegistry(TCodeMemoParser& def, IRegistry& registry, const std::string& componentName);

} // namespace quillet
