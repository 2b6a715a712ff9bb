// The desktop without a screen: calls are recorded, files are looked for on disk.
#pragma once

#include "platform/Shell.h"

#include <string>
#include <vector>

namespace quillet {

class TRecordingShell : public IShell {
public:
    bool OpenUrl(const std::string& url) override {
        FCalls.push_back("open " + url);
        return FOpens;
    }
    void ShowHelp(const std::string& helpFile, int context) override {
        FCalls.push_back("help " + helpFile + " " + std::to_string(context));
    }
    bool FileExists(const std::string& path) const override;

    // "open URL" and "help FILE CONTEXT", oldest first.
    const std::vector<std::string>& Calls() const { return FCalls; }
    // Whether the recorded desktop has a program for the URLs it is asked to open.
    void SetOpens(bool opens) { FOpens = opens; }

private:
    std::vector<std::string> FCalls;
    bool FOpens = true;
};

} // namespace quillet
