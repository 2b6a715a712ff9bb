// Tab stop columns as users write them ("9 17;25"): one parser for scripts and the control.
#pragma once

#include "platform/Errors.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillet {

class ETabColumnsError : public EQuilletError {
public:
    using EQuilletError::EQuilletError;
};

constexpr int MaxTabColumnCount = 32;
using TTabColumns = std::array<int32_t, MaxTabColumnCount>;

// 1-based, ascending, each > 1, at most 32, separated by blanks, tabs or ';'; stored
// zero-based with unused entries -1. Raises ETabColumnsError and leaves columns untouched.
void ParseTabColumns(std::string_view text, TTabColumns& columns);
// The inverse: "9 17 25".
std::string FormatTabColumns(const TTabColumns& columns);

} // namespace quillet
