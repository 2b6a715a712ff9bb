// The read-only key box: records the last key combination pressed in it and shows its name.
#include "dialogs/HotKey.h"

#include "highlight/KeyNames.h"
#include "platform/qt/QtConvert.h"
#include "platform/qt/QtKeyboard.h"

#include <QEvent>
#include <QKeyEvent>
#include <QStyle>
#include <QStyleOptionFrame>

namespace quillet {

namespace {
bool IsModifierKey(int vk) {
    return vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU || vk == VK_LWIN;
}
} // namespace

TCM_HotKey::TCM_HotKey(QWidget* parent) : QLineEdit(parent) {
    setReadOnly(true);
    // Read-only boxes normally take no key focus; this one exists to be typed into.
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false); // keys, not composed text
    setContextMenuPolicy(Qt::NoContextMenu);
}

void TCM_HotKey::SetHotKey(TShortCut key) {
    if ((key & 0xFF) == 0) key = scNone;
    setText(ToQString(ShortCutToText(key)));
    if (key == FHotKey) return;
    FHotKey = key;
    if (OnChange) OnChange(*this);
}

QSize TCM_HotKey::sizeHint() const {
    // Wide enough for the longest names with all three modifiers.
    QSize size = QLineEdit::sizeHint();
    int text = fontMetrics().horizontalAdvance(QStringLiteral("Shift+Ctrl+Alt+PageDown"));
    QStyleOptionFrame option;
    initStyleOption(&option);
    int wanted =
        style()
            ->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(text + 8, size.height()), this)
            .width();
    return {std::max(size.width(), wanted), size.height()};
}

bool TCM_HotKey::event(QEvent* e) {
    switch (e->type()) {
    case QEvent::ShortcutOverride:
        // Menu shortcuts and mnemonics would otherwise take the key before the box sees it.
        e->accept();
        return true;
    case QEvent::KeyPress:
        // Before QWidget::event turns Tab into a focus move.
        keyPressEvent(static_cast<QKeyEvent*>(e));
        return true;
    default:
        return QLineEdit::event(e);
    }
}

void TCM_HotKey::keyPressEvent(QKeyEvent* e) {
    e->accept(); // never reaches the dialog: Return, Escape and Tab stay here
    int vk = VirtualKeyFromQt(e->key(), e->modifiers() & Qt::KeypadModifier);
    if (vk == 0 || IsModifierKey(vk)) return;
    SetHotKey(ShortCutOf(vk, ShiftStateFromQt(e->modifiers())));
}

} // namespace quillet
