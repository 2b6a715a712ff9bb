// The desktop on Qt: URLs through the desktop services, help files with their viewer.
#pragma once

#include "platform/Shell.h"

namespace quillet {

class TQtShell : public IShell {
public:
    bool OpenUrl(const std::string& url) override;
    void ShowHelp(const std::string& helpFile, int context) override;
    bool FileExists(const std::string& path) const override;
};

} // namespace quillet
