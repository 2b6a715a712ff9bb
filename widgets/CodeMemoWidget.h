// The window of one editor control: its back buffer, its input and its scroll bars.
#pragma once

#include "editor/CodeMemo.h"
#include "platform/qt/QtWindowHost.h"

#include <memory>

namespace quillet {

// Owns a TCodeMemo and hosts it: Qt's events reach the control as its
// window messages, and the control paints into this window's back buffer.
class TCodeMemoWidget : public TQtWindowHost {
public:
    explicit TCodeMemoWidget(QWidget* parent = nullptr);
    ~TCodeMemoWidget() override;

    TCodeMemo& Memo() { return *FMemo; }
    const TCodeMemo& Memo() const { return *FMemo; }

    // The context menu shown on a right click (not owned).
    void SetPopupMenu(class QMenu* menu) { FPopup = menu; }
    class QMenu* PopupMenu() const {
        return FPopup;
    }

protected:
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    std::unique_ptr<TCodeMemo> FMemo;
    class QMenu* FPopup = nullptr;
};

} // namespace quillet
