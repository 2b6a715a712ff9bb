// The CSS and HTML definitions built into the program, loaded through the stream reader.
#pragma once

#include "highlight/CodeMemoParser.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace quillet {

struct TShippedBytes {
    const uint8_t* Data = nullptr;
    size_t Size = 0;
};

// The stored value of "css" or "html"; any other name raises.
TShippedBytes ShippedDefinitionBytes(std::string_view name);
// A fresh definition loaded from the embedded value.
std::unique_ptr<TCodeMemoParser> ShippedDefinition(std::string_view name);
// Loads the embedded value into an existing definition (as the main window does).
void LoadShippedDefinition(TCodeMemoParser& def, std::string_view name);

} // namespace quillet
