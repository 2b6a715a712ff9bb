// The read-only key box: records the last key combination pressed in it and shows its name.
#pragma once

#include "platform/VirtualKeys.h"

#include <QLineEdit>

#include <functional>

namespace quillet {

// Every key pressed in the box, Tab, Return, Escape and the arrows included, becomes its value
// with the modifiers held; none of them moves the focus or presses a button. A modifier pressed
// alone is not a key of its own and leaves the value as it is.
class TCM_HotKey : public QLineEdit {
public:
    explicit TCM_HotKey(QWidget* parent = nullptr);

    // The shortcut value (key code plus Shift, Ctrl and Alt bits); 0 is no key.
    TShortCut HotKey() const { return FHotKey; }
    // Shows the key's name; raises OnChange when the value changed.
    void SetHotKey(TShortCut key);

    std::function<void(TCM_HotKey& sender)> OnChange;

    QSize sizeHint() const override;

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    TShortCut FHotKey = scNone;
};

} // namespace quillet
