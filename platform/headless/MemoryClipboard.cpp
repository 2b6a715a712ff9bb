#include "platform/headless/MemoryClipboard.h"

namespace quillet {

bool TMemoryClipboard::HasFormat(std::string_view format) const {
    return FData.find(format) != FData.end();
}

std::string TMemoryClipboard::Get(std::string_view format) const {
    auto it = FData.find(format);
    return it == FData.end() ? std::string() : it->second;
}

void TMemoryClipboard::Set(std::string_view format, std::string_view bytes) {
    FData.insert_or_assign(std::string(format), std::string(bytes));
}

} // namespace quillet
