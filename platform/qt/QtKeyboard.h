// The keyboard on Qt: Qt key codes to virtual keys, and the layout question.
#pragma once

#include "platform/Keyboard.h"
#include "platform/headless/UsKeyboard.h"

#include <Qt>

namespace quillet {

// The US layout and the Russian one on the same keys; the input method's
// locale says which one is active.
class TQtKeyboardLayout : public IKeyboardLayout {
public:
    std::optional<TKeyStroke> KeyForChar(char32_t ch) const override;
    char32_t CharForKey(const TKeyStroke& key) const override;

    // Tests (and a user without an input method) can pin the layout.
    enum TLayout { klAuto, klUs, klRussian };
    void SetLayout(TLayout layout) { FLayout = layout; }
    bool RussianActive() const;

private:
    TUsKeyboardLayout FUs;
    TLayout FLayout = klAuto;
};

// The Russian layout's character for a key, or 0.
char32_t RussianCharForKey(const TKeyStroke& key);
std::optional<TKeyStroke> RussianKeyForChar(char32_t ch);

// The virtual key of a Qt key event: `key` is QKeyEvent::key(), `keypad`
// whether the key is on the numeric keypad. 0 when there is none.
int VirtualKeyFromQt(int key, bool keypad);
TShiftState ShiftStateFromQt(Qt::KeyboardModifiers modifiers);

} // namespace quillet
