// The script language's predefined macros: names with the numbers (or text) they stand for.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace quillet {

const std::vector<std::pair<std::string, std::string>>& PredefinedScriptMacros();

} // namespace quillet
