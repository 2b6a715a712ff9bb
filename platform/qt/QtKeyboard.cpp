#include "platform/qt/QtKeyboard.h"

#include <QGuiApplication>
#include <QInputMethod>
#include <QLocale>

namespace quillet {

namespace {

// The Russian characters on the US letter and punctuation keys, lower case.
struct TRuKey {
    int Vk;
    char32_t Plain;
    char32_t Shifted;
};

constexpr TRuKey kRussian[] = {
    {'Q', U'й', U'Й'},          {'W', U'ц', U'Ц'},           {'E', U'у', U'У'},
    {'R', U'к', U'К'},          {'T', U'е', U'Е'},           {'Y', U'н', U'Н'},
    {'U', U'г', U'Г'},          {'I', U'ш', U'Ш'},           {'O', U'щ', U'Щ'},
    {'P', U'з', U'З'},          {VK_OEM_4, U'х', U'Х'},      {VK_OEM_6, U'ъ', U'Ъ'},
    {'A', U'ф', U'Ф'},          {'S', U'ы', U'Ы'},           {'D', U'в', U'В'},
    {'F', U'а', U'А'},          {'G', U'п', U'П'},           {'H', U'р', U'Р'},
    {'J', U'о', U'О'},          {'K', U'л', U'Л'},           {'L', U'д', U'Д'},
    {VK_OEM_1, U'ж', U'Ж'},     {VK_OEM_7, U'э', U'Э'},      {'Z', U'я', U'Я'},
    {'X', U'ч', U'Ч'},          {'C', U'с', U'С'},           {'V', U'м', U'М'},
    {'B', U'и', U'И'},          {'N', U'т', U'Т'},           {'M', U'ь', U'Ь'},
    {VK_OEM_COMMA, U'б', U'Б'}, {VK_OEM_PERIOD, U'ю', U'Ю'}, {VK_OEM_3, U'ё', U'Ё'},
    {VK_OEM_2, U'.', U','},     {'1', U'1', U'!'},           {'2', U'2', U'"'},
    {'3', U'3', U'№'},          {'4', U'4', U';'},           {'5', U'5', U'%'},
    {'6', U'6', U':'},          {'7', U'7', U'?'},           {'8', U'8', U'*'},
    {'9', U'9', U'('},          {'0', U'0', U')'},           {VK_OEM_5, U'\\', U'/'},
};

} // namespace

char32_t RussianCharForKey(const TKeyStroke& key) {
    if (key.Shift & (ssCtrl | ssAlt)) return 0;
    for (const auto& k : kRussian)
        if (k.Vk == key.VirtualKey) return (key.Shift & ssShift) ? k.Shifted : k.Plain;
    // Keys the Russian layout leaves as they are (space, minus, equals, keypad...).
    return TUsKeyboardLayout().CharForKey(key);
}

std::optional<TKeyStroke> RussianKeyForChar(char32_t ch) {
    for (const auto& k : kRussian) {
        if (k.Plain == ch) return TKeyStroke{k.Vk, 0};
        if (k.Shifted == ch) return TKeyStroke{k.Vk, ssShift};
    }
    auto us = TUsKeyboardLayout().KeyForChar(ch);
    // Only the US keys the Russian layout does not reassign type the same character.
    if (us && RussianCharForKey(*us) == ch) return us;
    return std::nullopt;
}

bool TQtKeyboardLayout::RussianActive() const {
    if (FLayout != klAuto) return FLayout == klRussian;
    auto* im = QGuiApplication::inputMethod();
    return im && im->locale().language() == QLocale::Russian;
}

std::optional<TKeyStroke> TQtKeyboardLayout::KeyForChar(char32_t ch) const {
    // The active layout first; a character only the other one has still finds its key.
    if (RussianActive()) {
        if (auto k = RussianKeyForChar(ch)) return k;
        return FUs.KeyForChar(ch);
    }
    if (auto k = FUs.KeyForChar(ch)) return k;
    return RussianKeyForChar(ch);
}

char32_t TQtKeyboardLayout::CharForKey(const TKeyStroke& key) const {
    return RussianActive() ? RussianCharForKey(key) : FUs.CharForKey(key);
}

int VirtualKeyFromQt(int key, bool keypad) {
    if (keypad && key >= Qt::Key_0 && key <= Qt::Key_9) return VK_NUMPAD0 + (key - Qt::Key_0);
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return 'A' + (key - Qt::Key_A);
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return '0' + (key - Qt::Key_0);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return VK_F1 + (key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Backspace:
        return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return VK_TAB;
    case Qt::Key_Clear:
        return VK_CLEAR;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return VK_RETURN;
    case Qt::Key_Shift:
        return VK_SHIFT;
    case Qt::Key_Control:
        return VK_CONTROL;
    case Qt::Key_Alt:
        return VK_MENU;
    case Qt::Key_Pause:
        return VK_PAUSE;
    case Qt::Key_CapsLock:
        return VK_CAPITAL;
    case Qt::Key_Escape:
        return VK_ESCAPE;
    case Qt::Key_Space:
        return VK_SPACE;
    case Qt::Key_PageUp:
        return VK_PRIOR;
    case Qt::Key_PageDown:
        return VK_NEXT;
    case Qt::Key_End:
        return VK_END;
    case Qt::Key_Home:
        return VK_HOME;
    case Qt::Key_Left:
        return VK_LEFT;
    case Qt::Key_Up:
        return VK_UP;
    case Qt::Key_Right:
        return VK_RIGHT;
    case Qt::Key_Down:
        return VK_DOWN;
    case Qt::Key_Print:
        return VK_SNAPSHOT;
    case Qt::Key_Insert:
        return VK_INSERT;
    case Qt::Key_Delete:
        return VK_DELETE;
    case Qt::Key_Help:
        return VK_HELP;
    case Qt::Key_Meta:
        return VK_LWIN;
    case Qt::Key_Menu:
        return VK_APPS;
    case Qt::Key_NumLock:
        return VK_NUMLOCK;
    case Qt::Key_ScrollLock:
        return VK_SCROLL;
    case Qt::Key_Asterisk:
        return keypad ? int(VK_MULTIPLY) : int('8');
    case Qt::Key_Plus:
        return keypad ? VK_ADD : VK_OEM_PLUS;
    case Qt::Key_Minus:
        return keypad ? VK_SUBTRACT : VK_OEM_MINUS;
    case Qt::Key_Period:
        return keypad ? VK_DECIMAL : VK_OEM_PERIOD;
    case Qt::Key_Slash:
        return keypad ? VK_DIVIDE : VK_OEM_2;
    default:
        break;
    }
    // Other printable keys: the key that types the character (Qt reports the
    // character the layout gives, Cyrillic included).
    if (key > 0 && key < 0x10000) {
        char32_t ch = char32_t(key);
        if (ch >= 'A' && ch <= 'Z') ch = ch - 'A' + 'a';
        char32_t lower = QChar::toLower(char32_t(key));
        TQtKeyboardLayout layout;
        if (auto k = layout.KeyForChar(lower)) return k->VirtualKey;
        if (auto k = layout.KeyForChar(ch)) return k->VirtualKey;
    }
    return 0;
}

TShiftState ShiftStateFromQt(Qt::KeyboardModifiers modifiers) {
    TShiftState s = 0;
    if (modifiers & Qt::ShiftModifier) s |= ssShift;
    if (modifiers & Qt::ControlModifier) s |= ssCtrl;
    if (modifiers & Qt::AltModifier) s |= ssAlt;
    return s;
}

} // namespace quillet
