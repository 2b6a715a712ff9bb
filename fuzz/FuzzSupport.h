// What several fuzz targets share: painting the control, which every byte of the text reaches.
#pragma once

#include "editor/CodeMemo.h"

namespace quillet::fuzz {

inline void Paint(TCodeMemo& memo) { memo.Perform(WM_PAINT, 0, 0); }

} // namespace quillet::fuzz
