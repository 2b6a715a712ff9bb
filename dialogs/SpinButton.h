// An up and a down arrow button beside a number box; a held arrow repeats its click.
#pragma once

#include <QWidget>

#include <functional>

class QToolButton;

namespace quillet {

class TSpinButton : public QWidget {
public:
    // A held arrow clicks again after this long, then at every interval while it stays pressed
    // under the mouse.
    static constexpr int RepeatDelay = 400;
    static constexpr int RepeatInterval = 100;

    explicit TSpinButton(QWidget* parent = nullptr);

    int Tag() const { return FTag; }
    void SetTag(int tag) { FTag = tag; }
    QToolButton* UpButton() const { return FUp; }
    QToolButton* DownButton() const { return FDown; }

    std::function<void(TSpinButton&)> OnUpClick;
    std::function<void(TSpinButton&)> OnDownClick;

private:
    QToolButton* FUp = nullptr;
    QToolButton* FDown = nullptr;
    int FTag = 0;
};

} // namespace quillet
