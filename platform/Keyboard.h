// The keyboard-layout question: which key, with which modifiers, types a character.
#pragma once

#include "platform/VirtualKeys.h"

#include <optional>

namespace quillet {

struct TKeyStroke {
    int VirtualKey = 0;
    TShiftState Shift = 0;
    friend bool operator==(const TKeyStroke&, const TKeyStroke&) = default;
};

class IKeyboardLayout {
public:
    virtual ~IKeyboardLayout() = default;
    // The key that types the character, or nothing when no key does.
    virtual std::optional<TKeyStroke> KeyForChar(char32_t ch) const = 0;
    // The character a key types with the modifiers, or 0 when it types none.
    virtual char32_t CharForKey(const TKeyStroke& key) const = 0;
};

} // namespace quillet
