#include "dialogs/SpinButton.h"

#include <QToolButton>
#include <QVBoxLayout>

namespace quillet {

TSpinButton::TSpinButton(QWidget* parent) : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto make = [&](Qt::ArrowType arrow, auto handler) {
        auto* b = new QToolButton(this);
        b->setArrowType(arrow);
        b->setAutoRepeat(true);
        b->setAutoRepeatDelay(RepeatDelay);
        b->setAutoRepeatInterval(RepeatInterval);
        b->setFocusPolicy(Qt::NoFocus); // the number box keeps the keyboard
        b->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
        b->setFixedWidth(16);
        QObject::connect(b, &QToolButton::clicked, this, [this, handler] {
            if (this->*handler) (this->*handler)(*this);
        });
        column->addWidget(b);
        return b;
    };
    FUp = make(Qt::UpArrow, &TSpinButton::OnUpClick);
    FDown = make(Qt::DownArrow, &TSpinButton::OnDownClick);
}

} // namespace quillet
