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

    // "navigate PATH" and "refresh", oldest first.
    const std::vector<std::string>& Calls() const { return FCalls; }
    void ClearCalls() { FCalls.clear(); }

private:
    std::vector<std::string> FCalls;
};

} // namespace quillet
