#include "platform/headless/RecordingShell.h"

#include <filesystem>

namespace quillet {

bool TRecordingShell::FileExists(const std::string& path) const {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

} // namespace quillet
