// A test suite whose controls measure text with the headless fixed-pitch fonts, 7 x 17 pixels.
#pragma once

#include "platform/Platform.h"
#include "platform/headless/HeadlessFonts.h"

#include <gtest/gtest.h>

#include <memory>

namespace quillet {

class FixedFontTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        TPlatformServices s;
        s.Fonts = std::make_unique<THeadlessFonts>(true, 7, 17);
        InstallPlatform(std::move(s));
    }
    static void TearDownTestSuite() {
        TPlatformServices s;
        s.Fonts = std::make_unique<THeadlessFonts>();
        InstallPlatform(std::move(s));
    }
};

} // namespace quillet
