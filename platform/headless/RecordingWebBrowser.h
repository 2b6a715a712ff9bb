// A browser without a screen: it keeps the calls it was given.
#pragma once

#include "platform/WebBrowser.h"

#include <string>
#include <vector>

namespace quillet {

class TRecordingWebBrowser : public IWebBrowser {
public:
    void Navigate(const std::string& location) override {
        FCalls.push_back("navigate " + location);
    }
    void Refresh() override { FCalls.push_back("refresh"); }
    void ShowPreview(const TPreviewTexts& texts) override {
        FCalls.push_back("preview " + texts.Page + " " + texts.Sheet);
        FPreview = texts;
    }

    // "navigate PATH", "refresh" and "preview PAGE SHEET", oldest first.
    const std::vector<std::string>& Calls() const { return FCalls; }
    void ClearCalls() { FCalls.clear(); }
    // The texts of the last preview.
    const TPreviewTexts& Preview() const { return FPreview; }

private:
    std::vector<std::string> FCalls;
    TPreviewTexts FPreview;
};

} // namespace quillet
