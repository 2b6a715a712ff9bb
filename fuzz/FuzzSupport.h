// What several fuzz targets share: the guard that keeps the painter off bytes that are not
// UTF-8 while that case over-reads its advances (stray continuation bytes); the run would stop at
// the first such input and find nothing else. Remove the guard once the painter is mended.
#pragma once

#include "editor/CodeMemo.h"

#include <string_view>

namespace quillet::fuzz {

inline bool ValidUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        const size_t n = b < 0x80         ? 1
                         : (b >> 5) == 6  ? 2
                         : (b >> 4) == 14 ? 3
                         : (b >> 3) == 30 ? 4
                                          : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

inline void Paint(TCodeMemo& memo) {
    if (ValidUtf8(memo.Text())) memo.Perform(WM_PAINT, 0, 0);
}

} // namespace quillet::fuzz
