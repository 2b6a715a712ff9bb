// The registry kept as a REGEDIT4 text file, saved whole and atomically after every change.
#pragma once

#include "platform/headless/MemoryRegistry.h"

#include <functional>
#include <memory>
#include <string>

namespace quillet {

class TFileRegistry : public TMemoryRegistry {
public:
    // Reads the file when it exists; a malformed file raises ERegistryError.
    explicit TFileRegistry(std::string path);

    const std::string& Path() const { return FPath; }
    // Writes the whole registry: a temporary file in the same folder, flushed, then renamed
    // over the old one, so a failure part-way leaves the old file whole.
    void Save();

    // Writes bytes to the temporary file; returns false on failure. Replaceable for tests.
    using TWriter = std::function<bool(int fd, const char* data, size_t size)>;
    TWriter Writer;

    // $QUILLET_REGISTRY, else $XDG_CONFIG_HOME/quillet/HKEY_CURRENT_USER.reg, else
    // ~/.config/quillet/HKEY_CURRENT_USER.reg.
    static std::string DefaultPath();

protected:
    void Changed(TKeys& before) override;

private:
    std::string FPath;
};

// REGEDIT4 text of the keys, and back; Parse raises ERegistryError naming source and line.
std::string FormatRegistryFile(const TMemoryRegistry::TKeys& keys);
TMemoryRegistry::TKeys ParseRegistryFile(const std::string& text, const std::string& source);

// The registry the program uses: in memory when QUILLET_REGISTRY is ":memory:", else the file.
// Without `notice` a file that cannot be read raises ERegistryError. With it the start goes on
// from default settings: the file is kept beside itself as NAME.bad (or NAME.bad.N) and a fresh
// one is begun, or, when it cannot be moved, the settings stay in memory for the run; `notice`
// receives the text that tells the user.
std::unique_ptr<IRegistry> MakeDefaultRegistry(std::string* notice = nullptr);

} // namespace quillet
