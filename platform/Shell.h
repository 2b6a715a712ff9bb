// What the program asks of the desktop: open a location, show help, look for a file.
#pragma once

#include <string>

namespace quillet {

class IShell {
public:
    virtual ~IShell() = default;
    // Opens a URL ("http://...", "mailto:...") with its default action, maximised. False when
    // the desktop has nothing that opens it; the caller tells the user.
    virtual bool OpenUrl(const std::string& url) = 0;
    // Shows a help file at a context number; the viewer reports a missing file itself.
    virtual void ShowHelp(const std::string& helpFile, int context) = 0;
    virtual bool FileExists(const std::string& path) const = 0;
};

} // namespace quillet
