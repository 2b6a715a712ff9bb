// A clipboard kept in memory: tests and the command line.
#pragma once

#include "platform/Clipboard.h"

#include <map>
#include <string>

namespace quillet {

class TMemoryClipboard : public IClipboard {
public:
    bool HasFormat(std::string_view format) const override;
    std::string Get(std::string_view format) const override;
    void Clear() override { FData.clear(); }
    void Set(std::string_view format, std::string_view bytes) override;

private:
    std::map<std::string, std::string, std::less<>> FData;
};

} // namespace quillet
