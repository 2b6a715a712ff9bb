// The embedded browser the preview page shows its sample page in.
#pragma once

#include <string>

namespace quillet {

// A page shown from the editors' texts: the page's own text stands in for its file, and the
// style sheet file it links is answered from the style sheet's text. Paths are local, UTF-8.
struct TPreviewTexts {
    std::string Page;
    std::string PageText;
    std::string Sheet;
    std::string SheetText;
};

// Navigating to a local file shows that HTML file with the style sheets it links, read from
// disk; Refresh shows the current page again, read from disk.
class IWebBrowser {
public:
    virtual ~IWebBrowser() = default;
    // A local file path or a URL, UTF-8.
    virtual void Navigate(const std::string& location) = 0;
    virtual void Refresh() = 0;
    // Shows a page from texts that need not be saved: the page and its sheet from the texts,
    // every other file the page refers to from disk, relative to the page's folder. Showing
    // the same page again keeps where it was scrolled to; Refresh reads the texts again.
    virtual void ShowPreview(const TPreviewTexts& texts) = 0;
};

} // namespace quillet
