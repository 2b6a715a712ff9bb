// The fixed US keyboard layout of the headless platform.
#pragma once

#include "platform/Keyboard.h"

namespace quillet {

class TUsKeyboardLayout : public IKeyboardLayout {
public:
    std::optional<TKeyStroke> KeyForChar(char32_t ch) const override;
    char32_t CharForKey(const TKeyStroke& key) const override;
};

} // namespace quillet
