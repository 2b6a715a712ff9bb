// Fuzzes the settings file: the REGEDIT4 text, then every value in it through the readers of
// the highlighting and key-assignment values, as the program reads them at start.
#include "highlight/RegistrySettings.h"
#include "platform/Errors.h"
#include "platform/RegistryFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using namespace quillet;

namespace {

// A value that reads must write and read again to the same text.
void Highlighting(const std::string& text) {
    TCM_Settings s;
    try {
        ParseHighlighting(text, s);
    } catch (const EQuilletError&) {
        return;
    }
    const std::string once = FormatHighlighting(s);
    TCM_Settings again;
    ParseHighlighting(once, again);
    if (FormatHighlighting(again) != once) __builtin_trap();
}

void KeyAssignments(const std::vector<uint8_t>& bytes) {
    TStoredKeyTable table;
    try {
        table = ParseKeyAssignments(bytes);
    } catch (const EQuilletError&) {
        return;
    }
    if (ParseKeyAssignments(FormatKeyAssignments(table)) != table) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    // The raw bytes as each value, so the value readers are reached without a file around them.
    Highlighting(text);
    KeyAssignments(std::vector<uint8_t>(data, data + size));
    TMemoryRegistry::TKeys keys;
    try {
        keys = ParseRegistryFile(text, "fuzz.reg");
    } catch (const EQuilletError&) {
        return 0;
    }
    // Whatever reads must write and read back to the same keys.
    if (ParseRegistryFile(FormatRegistryFile(keys), "again.reg") != keys) __builtin_trap();
    for (const auto& [path, key] : keys)
        for (const auto& [name, value] : key.Values) {
            Highlighting(value.Text);
            KeyAssignments(value.Data);
        }
    return 0;
}
