// What several fuzz targets share: the program's fixed-pitch cell, and painting the control,
// which every byte of the text reaches.
#pragma once

#include "editor/CodeMemo.h"
#include "platform/Platform.h"
#include "platform/headless/HeadlessFonts.h"

#include <memory>

namespace quillet::fuzz {

// Installs the 7 × 17 fixed-pitch font the play scripts count in, once per process.
inline void UseFixedPitchFont() {
    static const bool installed = [] {
        TPlatformServices services;
        services.Fonts = std::make_unique<THeadlessFonts>(true, 7, 17);
        InstallPlatform(std::move(services));
        return true;
    }();
    (void)installed;
}

inline void Paint(TCodeMemo& memo) { memo.Perform(WM_PAINT, 0, 0); }

} // namespace quillet::fuzz
