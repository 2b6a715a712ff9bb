// Benchmarks that paint measure text with the headless fixed-pitch fonts, 7 x 17 pixels.
#pragma once

#include "platform/Platform.h"
#include "platform/headless/HeadlessFonts.h"

#include <memory>

namespace quillet {

inline void UseFixedBenchFonts() {
    static const bool installed = [] {
        TPlatformServices s;
        s.Fonts = std::make_unique<THeadlessFonts>(true, 7, 17);
        InstallPlatform(std::move(s));
        return true;
    }();
    (void)installed;
}

} // namespace quillet
