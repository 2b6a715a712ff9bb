// The embedded browser the preview page shows its sample page in.
#pragma once

#include <string>

namespace quillet {

// Navigating to a local file shows that HTML file with the style sheets it links, read from
// disk; Refresh shows the current page again, read from disk.
class IWebBrowser {
public:
    virtual ~IWebBrowser() = default;
    // A local file path or a URL, UTF-8.
    virtual void Navigate(const std::string& location) = 0;
    virtual void Refresh() = 0;
};

} // namespace quillet
